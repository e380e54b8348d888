// Opens arbitrary bytes as an AVI file and reads what the demuxer hands out.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "media/avi_demuxer.h"
#include "media/media_error.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        velinor::AviDemuxer d(std::vector<uint8_t>(data, data + size), "fuzz.avi");
        std::vector<uint8_t> sample;
        for (int s = 0; s < int(d.streams().size()); ++s) {
            const auto& info = d.streams()[size_t(s)];
            (void)info.MediaFormat();
            (void)info.Codec();
            (void)d.IsDvStream(s);
            const int64_t n = int64_t(d.samples(s).size());
            for (int64_t i = 0; i < n && i < 64; ++i) {
                if (!d.Read(s, i, sample)) __builtin_trap();  // listed samples lie inside the file
                (void)d.SampleAt(s, d.samples(s)[size_t(i)].Start);
            }
            (void)d.Read(s, n, sample);
            (void)d.SampleAt(s, info.Length);
        }
        (void)d.InfoText(velinor::FourCC("IMRV"));
    } catch (const velinor::MediaError&) {
    }
    return 0;
}
