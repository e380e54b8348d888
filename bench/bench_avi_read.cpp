// Reading every sample of every stream of a type 2 OpenDML DV AVI of more than 1 GB, without
// decoding, each sample landing in a buffer:
//   in-process vs in-process: our AviDemuxer against libavformat's av_read_frame loop over every
//     packet, both in this process;
//   whole process vs whole process: `avi_read_all FILE` (our demuxer in a program of its own,
//     linked like the program's media layer) against
//     `ffmpeg -v error -nostdin -i FILE -map 0 -c copy -f null -`.
// Each from a warm cache and from a cold one (the file's pages evicted before each run of each
// contender). Prints the median and minimum wall and CPU times and the ratios (their time / ours).
// Usage: bench_avi_read [FILE]. Without FILE, a file is made once in the temporary folder.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

extern "C" {
#include <libavformat/avformat.h>
}

#include "media/avi_writer.h"
#include "support/avi_fixtures.h"

#include "avi_read_all.h"
#include "bench_support.h"

namespace {

using namespace velinor::bench;

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
    SyncFile(path);  // written pages are not evicted until they are on the disk
    return path;
}

using Read = AviReadCount;

// Every packet of every stream through libavformat, as ffmpeg's stream copy takes them.
Read ReadAllLibav(const std::string& path) {
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0) {
        std::fprintf(stderr, "libavformat cannot open %s\n", path.c_str());
        std::exit(1);
    }
    AVPacket* packet = av_packet_alloc();
    Read read;
    while (av_read_frame(format, packet) >= 0) {
        read.bytes += uint64_t(packet->size);
        ++read.samples;
        if (format->streams[packet->stream_index]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO)
            ++read.videoFrames;
        av_packet_unref(packet);
    }
    av_packet_free(&packet);
    avformat_close_input(&format);
    return read;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string path = argc > 1 ? argv[1] : MakeFile();
    if (path.empty()) {
        std::fprintf(stderr, "no input file, and ffmpeg is needed to make one\n");
        return 1;
    }
    const Read ours = ReadEverySample(path), theirs = ReadAllLibav(path);
    std::printf(
        "file: %s (%.2f GB)\n  velinor: %lld video frames, %lld samples, %.3f GB\n"
        "  libavformat: %lld video packets, %lld packets, %.3f GB\n",
        path.c_str(), double(std::filesystem::file_size(path)) / 1e9,
        static_cast<long long>(ours.videoFrames), static_cast<long long>(ours.samples),
        double(ours.bytes) / 1e9, static_cast<long long>(theirs.videoFrames),
        static_cast<long long>(theirs.samples), double(theirs.bytes) / 1e9);

    const std::string reader = (std::filesystem::path(SelfPath()).parent_path() / "avi_read_all").string();
    const std::vector<Contender> inProcess{
        {"velinor AviDemuxer", [&] { return Measure([&] { ReadEverySample(path); }); }},
        {"libavformat av_read_frame", [&] { return Measure([&] { ReadAllLibav(path); }); }}};
    const std::vector<Contender> wholeProcess{
        {"avi_read_all",
         [&] {
             return MustRun({reader, path}).time;
         }},
        {"ffmpeg -map 0 -c copy -f null", [&] {
             return MustRun({"ffmpeg", "-v", "error", "-nostdin", "-i", path, "-map", "0", "-c", "copy", "-f",
                             "null", "-"})
                 .time;
         }}};
    ContestOptions warm;
    warm.target = 1.5;
    warm.units = double(ours.bytes) / 1e6;
    warm.unit = "MB";
    ContestOptions cold = warm;
    cold.cache = "cold cache (the file evicted before each run)";
    cold.before = [&] { EvictFile(path); };
    Contest("reading every sample", Scope::InProcess, inProcess, warm);
    Contest("reading every sample", Scope::WholeProcess, wholeProcess, warm);
    Contest("reading every sample", Scope::InProcess, inProcess, cold);
    Contest("reading every sample", Scope::WholeProcess, wholeProcess, cold);
    return 0;
}
