// Opens arbitrary bytes as an AVI file and walks every stream's whole index: OpenDML files
// spread it over indx super indexes, the ix## standard indexes they point to in each RIFF form,
// and idx1. Every listed sample is read (up to a byte budget) and looked up by its time.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "media/avi_demuxer.h"
#include "media/media_error.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        const velinor::AviDemuxer d(std::vector<uint8_t>(data, data + size), "fuzz.avi");
        (void)d.IsOpenDml();
        (void)d.IndexRebuilt();
        std::vector<uint8_t> sample;
        // Samples may overlap, so reading them all could copy the input many times over.
        int64_t budget = int64_t(64) << 20;
        for (int s = 0; s < int(d.streams().size()); ++s) {
            const auto& info = d.streams()[size_t(s)];
            const auto& samples = d.samples(s);
            if (info.SampleCount != int64_t(samples.size())) __builtin_trap();
            for (size_t i = 0; i < samples.size(); ++i) {
                const velinor::AviSample& at = samples[i];
                // Listed samples lie inside the file.
                if (at.Offset < 0 || at.Offset + int64_t(at.Size) > d.fileSize()) __builtin_trap();
                if (budget > 0) {
                    budget -= at.Size;
                    if (!d.Read(s, int64_t(i), sample) || sample.size() != at.Size) __builtin_trap();
                }
                (void)d.SampleAt(s, at.Start);
                (void)d.SampleAtTime(s, d.TickTime100ns(s, at.Start));
            }
            (void)d.Read(s, int64_t(samples.size()), sample);
            (void)d.SampleAt(s, info.Length);
            (void)d.SampleAt(s, -1);
        }
        (void)d.VideoStream();
        (void)d.AudioStream();
    } catch (const velinor::MediaError&) {
    }
    return 0;
}
