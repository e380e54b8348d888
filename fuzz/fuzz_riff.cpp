// Fuzz target for the RIFF readers: the walk of TAviParam, the patch position scan and the
// structure report, over arbitrary bytes held in memory. Positions found must lie in the file.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "media/avi_param.h"
#include "media/avi_patch.h"
#include "media/riff_report.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const velinor::MemoryRiffSource source({data, size});

    const velinor::TAviParam param(source);
    if (param.VideoStream >= static_cast<int>(param.Streams.size())) std::abort();
    if (param.AudioStream >= static_cast<int>(param.Streams.size())) std::abort();
    (void)param.VideoFourCC();

    const velinor::PatchPositions at = velinor::ScanPatchPositions(source);
    const auto fits = [size](int64_t pos, int64_t bytes) {
        return pos == -1 || (pos >= 0 && static_cast<uint64_t>(pos + bytes) <= size);
    };
    if (!fits(at.HandlerPos, 4) || !fits(at.ScalePos, 8) || !fits(at.CompressionPos, 4)) std::abort();

    velinor::RiffReport report;
    report.Clock = [] { return std::time_t(0); };
    if (!report.Analyse(source, "/fuzz/input.avi")) std::abort();
    size_t plain = 0;
    for (const auto& line : report.Lines()) plain += velinor::PlainText(line).size();
    (void)plain;
    (void)velinor::ReportRichText(report.Lines());
    return 0;
}
