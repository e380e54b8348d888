#pragma once
// Reads every sample of every stream of an AVI file, in file order, as a player takes them: each
// stream's samples land in that stream's buffer. Shared by bench_avi_read and the small reader
// program it times as a whole process.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "media/avi_demuxer.h"

namespace velinor::bench {

struct AviReadCount {
    uint64_t bytes = 0;
    int64_t samples = 0;
    int64_t videoFrames = 0;
};

inline AviReadCount ReadEverySample(const std::string& path) {
    velinor::AviDemuxer d(path);
    struct Ref {
        int64_t offset;
        int stream;
        int64_t n;
    };
    std::vector<Ref> order;
    for (int s = 0; s < int(d.streams().size()); ++s)
        for (int64_t n = 0; n < int64_t(d.samples(s).size()); ++n)
            order.push_back({d.samples(s)[size_t(n)].Offset, s, n});
    std::sort(order.begin(), order.end(), [](const Ref& a, const Ref& b) { return a.offset < b.offset; });
    std::vector<std::vector<uint8_t>> buffers(d.streams().size());
    AviReadCount read;
    for (const Ref& r : order) {
        std::vector<uint8_t>& buffer = buffers[size_t(r.stream)];
        if (!d.Read(r.stream, r.n, buffer)) {
            std::fprintf(stderr, "read failed at sample %lld of stream %d\n", static_cast<long long>(r.n),
                         r.stream);
            std::exit(1);
        }
        read.bytes += buffer.size();
        ++read.samples;
    }
    if (d.VideoStream() >= 0) read.videoFrames = d.streams()[size_t(d.VideoStream())].SampleCount;
    return read;
}

}  // namespace velinor::bench
