// Per-frame cost of the DV pack readers and writers, and the frame rate of reading a raw DV file.
// Then, in-process vs in-process from a warm cache, the file read 20 times a run: our RawDvReader
// reading every frame of a 10-second PAL raw DV file, against libavformat's raw DV demuxer
// opening it as the ffmpeg program does (stream probing included) and reading every packet with
// the audio stream discarded (what `ffmpeg -f dv -i F -map 0:v -c copy` asks of it), both in this
// process; median and minimum wall and CPU times of alternated runs and the ratios (their time /
// ours).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" {
#include <libavformat/avformat.h>
}

#include "bench_support.h"
#include "libav_support.h"

#include "media/dvcodes.h"
#include "media/raw_dv.h"
#include "support/dv_builder.h"
#include "support/temp_dir.h"

namespace {

using namespace velinor;

std::vector<uint8_t> camcorderFrame(bool is525) {
    test::DvFrameOptions options;
    options.is525 = is525;
    options.packs = {DatecodeFields{2026, 5, 17, 14, 3, 9}, Timecode{1, 2, 3, 4}, AudioInfo{48'000, 2, 16}};
    return test::BuildDvFrame(options);
}

// Everything the datecode filter asks of a frame.
void readEverything(benchmark::State& state, const std::vector<uint8_t>& frame) {
    const int n = DifSequenceCount(frame.size());
    for (auto _ : state) {
        benchmark::DoNotOptimize(ReadSystem(frame));
        benchmark::DoNotOptimize(ReadDatecode(frame, n));
        benchmark::DoNotOptimize(ReadTimecode(frame, n));
        benchmark::DoNotOptimize(ReadAudioInfo(frame, n));
        benchmark::DoNotOptimize(ReadWideFlag(frame, n));
    }
}

void BM_ReadPacksCamcorderPal(benchmark::State& state) {
    readEverything(state, camcorderFrame(false));
}
BENCHMARK(BM_ReadPacksCamcorderPal);

// No packs at all: every search scans the whole frame.
void BM_ReadPacksEmptyPal(benchmark::State& state) {
    readEverything(state, test::BuildDvFrame({}));
}
BENCHMARK(BM_ReadPacksEmptyPal);

void BM_WriteDatecodePal(benchmark::State& state) {
    auto frame = camcorderFrame(false);
    const DatecodeFields fields{2007, 3, 4, 10, 11, 12};
    for (auto _ : state) {
        WriteDatecode(frame, 12, fields);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_WriteDatecodePal);

// A 10-second PAL raw DV file with audio, made once.
const std::string& RawDvFile() {
    static test::TempDir dir;
    static const std::string path = [] {
        const std::string p = dir.file("clip.dv");
        test::DvStreamRecipe clip;
        clip.scenes = {{250, DatecodeFields{2026, 5, 17, 14, 3, 9}, 0}};
        clip.timecode = Timecode{};
        clip.audio = AudioInfo{48'000, 2, 16};
        test::WriteRawDv(p, test::BuildDvStream(clip));
        return p;
    }();
    return path;
}

// Every frame of the file through our reader, each landing in a buffer; the frame count.
int64_t ReadOurs(const std::string& path) {
    RawDvReader reader(path);
    std::vector<uint8_t> frame;
    int64_t frames = 0;
    while (reader.next(frame)) {
        benchmark::DoNotOptimize(frame.data());
        ++frames;
    }
    return frames;
}

// Every packet libavformat's raw DV demuxer gives, the audio stream discarded as
// `ffmpeg -f dv -i F -map 0:v -c copy` discards it; the video packet count.
int64_t ReadLibav(const std::string& path) {
    int64_t frames = 0;
    bench::ForEachRawDvPacket(path, AVMEDIA_TYPE_VIDEO, [&frames](const AVPacket& packet) {
        benchmark::DoNotOptimize(packet.data);
        ++frames;
    });
    return frames;
}

// Reads the 10-second file frame by frame from a warm cache: frames per second.
void BM_RawDvRead(benchmark::State& state) {
    const std::string& path = RawDvFile();
    int64_t frames = 0;
    for (auto _ : state) frames += ReadOurs(path);
    state.counters["frames_per_s"] = benchmark::Counter(double(frames), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RawDvRead)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
    av_log_set_level(AV_LOG_ERROR);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    const std::string& path = RawDvFile();
    const int64_t ours = ReadOurs(path), theirs = ReadLibav(path);
    if (ours != theirs || ours == 0) {
        std::fprintf(stderr, "frame counts differ: ours %lld, libavformat %lld\n",
                     static_cast<long long>(ours), static_cast<long long>(theirs));
        return 1;
    }
    bench::ContestOptions options;
    options.runs = 5;
    options.units = double(ours);
    // Each run reads the file 20 times, so that a run lasts long enough to time.
    constexpr int kPasses = 20;
    options.units *= kPasses;
    bench::Contest("reading every frame of a 10-second PAL raw DV file (20 passes a run)",
                   bench::Scope::InProcess,
                   {{"velinor RawDvReader",
                     [&] {
                         return bench::Measure([&] {
                             for (int i = 0; i < kPasses; ++i) ReadOurs(path);
                         });
                     }},
                    {"libavformat dv, audio discarded",
                     [&] {
                         return bench::Measure([&] {
                             for (int i = 0; i < kPasses; ++i) ReadLibav(path);
                         });
                     }}},
                   options);
    return 0;
}
