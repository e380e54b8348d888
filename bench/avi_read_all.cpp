// avi_read_all FILE: reads every sample of FILE with our demuxer and prints the bytes and the
// samples read. bench_avi_read times it as a whole process against ffmpeg's stream copy; it links
// only the media layer, as the program does, and none of the libraries the benchmark compares with.
#include <cstdio>

#include "avi_read_all.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: avi_read_all FILE\n");
        return 2;
    }
    const auto r = velinor::bench::ReadEverySample(argv[1]);
    std::printf("%llu %lld\n", static_cast<unsigned long long>(r.bytes), static_cast<long long>(r.samples));
    return 0;
}
