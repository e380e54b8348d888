// Per-frame cost of the DV pack readers and writers, and raw DV reading against ffmpeg.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>

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

// Reads a 10-second PAL file frame by frame, then lets ffmpeg read the same file (demux only,
// no decoding); reports frames per second and the time ratio ours / ffmpeg.
void BM_RawDvReadVsFfmpeg(benchmark::State& state) {
    test::TempDir dir;
    const std::string path = dir.file("clip.dv");
    {
        test::DvStreamRecipe clip;
        clip.scenes = {{250, DatecodeFields{2026, 5, 17, 14, 3, 9}, 0}};
        clip.timecode = Timecode{};
        clip.audio = AudioInfo{48'000, 2, 16};
        test::WriteRawDv(path, test::BuildDvStream(clip));
    }
    double ours = 0, theirs = 0;
    int64_t frames = 0;
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        RawDvReader reader(path);
        std::vector<uint8_t> frame;
        while (reader.next(frame)) {
            benchmark::DoNotOptimize(frame.data());
            ++frames;
        }
        ours += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        start = std::chrono::steady_clock::now();
        test::RunCommand("ffmpeg -v fatal -f dv -i " + test::ShellQuote(path) +
                         " -map 0:v -c copy -f null -");
        theirs += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    state.counters["frames_per_s"] = static_cast<double>(frames) / ours;
    state.counters["ours_over_ffmpeg"] = ours / theirs;
}
BENCHMARK(BM_RawDvReadVsFfmpeg)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
