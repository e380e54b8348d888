// Reading every sample of a type 2 DV AVI of about 1 GB through our demuxer, side by side with
// `ffmpeg -i F -map 0 -c copy -f null -` on the same file from a warm cache; prints the ratio.
// Usage: bench_avi_read [FILE]. Without FILE, a file is made once in the temporary folder.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "media/avi_demuxer.h"
#include "media/avi_writer.h"
#include "support/avi_fixtures.h"

namespace {

using Clock = std::chrono::steady_clock;

std::string MakeFile() {
    const auto dir = std::filesystem::temp_directory_path() / "velinor-bench";
    const std::string path = (dir / "type2-1g.avi").string();
    if (std::filesystem::exists(path)) return path;
    std::filesystem::create_directories(dir);
    const auto frames = velinor::test::EncodeDvFrames(50, true);
    if (frames.empty()) return {};
    velinor::AviWriterSettings settings;
    settings.Type = velinor::AviWriterSettings::Kind::DvType2;
    velinor::AviWriter writer(path, settings);
    const std::vector<uint8_t> pcm(7680, 0);  // 1920 stereo samples per PAL frame
    for (int i = 0; i < 7000; ++i) {
        writer.WriteVideo(frames[size_t(i) % frames.size()]);
        writer.WriteAudio(pcm);
    }
    writer.Finish();
    return path;
}

// Every sample of every stream, in file order, as a player would take them.
double ReadAll(const std::string& path, uint64_t& bytes, int64_t& videoFrames) {
    const auto start = Clock::now();
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
    std::vector<uint8_t> buffer;
    bytes = 0;
    for (const Ref& r : order) {
        if (!d.Read(r.stream, r.n, buffer)) {
            std::fprintf(stderr, "read failed at sample %lld of stream %d\n", static_cast<long long>(r.n),
                         r.stream);
            std::exit(1);
        }
        bytes += buffer.size();
    }
    videoFrames = d.streams()[size_t(d.VideoStream())].SampleCount;
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double RunFfmpeg(const std::string& path) {
    const std::string cmd =
        "ffmpeg -v error -nostdin -i '" + path + "' -map 0 -c copy -f null - >/dev/null 2>&1";
    const auto start = Clock::now();
    if (std::system(cmd.c_str()) != 0) {
        std::fprintf(stderr, "ffmpeg failed\n");
        std::exit(1);
    }
    return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    const std::string path = argc > 1 ? argv[1] : MakeFile();
    if (path.empty()) {
        std::fprintf(stderr, "no input file, and ffmpeg is needed to make one\n");
        return 1;
    }
    uint64_t bytes = 0;
    int64_t frames = 0;
    ReadAll(path, bytes, frames);  // warms the cache
    RunFfmpeg(path);
    double ours = 1e9, theirs = 1e9;
    for (int run = 0; run < 5; ++run) {  // alternated, best of five each
        ours = std::min(ours, ReadAll(path, bytes, frames));
        theirs = std::min(theirs, RunFfmpeg(path));
    }
    std::printf("file: %s (%.2f GB, %lld video frames, %.2f GB of samples)\n", path.c_str(),
                double(std::filesystem::file_size(path)) / 1e9, static_cast<long long>(frames),
                double(bytes) / 1e9);
    std::printf("velinor demuxer: %.3f s (%.0f MB/s)\n", ours, double(bytes) / 1e6 / ours);
    std::printf("ffmpeg -c copy:  %.3f s (%.0f MB/s)\n", theirs, double(bytes) / 1e6 / theirs);
    std::printf("ratio (ffmpeg time / ours): %.2fx (target >= 1.5x)\n", theirs / ours);
    return 0;
}
