// Cost per PAL picture of the datecode overlay: the copy in, two lines (date and running
// timecode) each drawn with a 2-pixel outline, the copy out. Side by side: the overlay without
// an outline, the picture copies alone, and FFmpeg's drawtext doing the same work on 1 000 BGR
// pictures (per picture, wall time, the process start included), with and without the text.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "filters/dv_superposer.h"
#include "support/dv_builder.h"

namespace {

using namespace velinor;

constexpr int kFrames = 25;

struct Setup {
    OverlayTextSettingsStore settings;
    Tdv_sceneDetect detector{nullptr, &settings};
    Tdv_Superposer overlay{detector, &settings};
    std::vector<std::vector<uint8_t>> frames;
    BgrPicture input, output;

    explicit Setup(int border) {
        settings.setDateFormats("dddddd", "hh:nn:ss");
        settings.setTemplates("%D1", "%D2 - %T");
        DvClip clip;
        clip.scenes = {DvScene{kFrames, DatecodeFields{2007, 3, 4, 10, 11, 12}, 0}};
        clip.timecode = Timecode{0, 12, 34, 0};
        for (auto& frame : test::BuildDvStream(clip)) frames.push_back(std::move(frame));
        overlay.SetBorderSize(border);
        detector.StartStreaming(kFrameDuration625);
        overlay.StartStreaming(720, 576, kFrameDuration625);
        input = MakeBarsPicture(720, 576, 0);
        output.resize(720, 576);
    }
};

void BM_OverlayPerPalFrame(benchmark::State& state) {
    Setup setup(static_cast<int>(state.range(0)));
    size_t i = 0;
    for (auto _ : state) {
        setup.detector.Transform(setup.frames[i++ % kFrames]);
        benchmark::DoNotOptimize(setup.overlay.Transform(setup.input.pixels, setup.output.pixels));
    }
    state.SetLabel(setup.overlay.Line1() + " / " + setup.overlay.Line2());
}
BENCHMARK(BM_OverlayPerPalFrame)->Arg(2)->Arg(0)->Unit(benchmark::kMicrosecond);

// The detector's part of the loop above and the two picture copies, for comparison.
void BM_DetectorAndCopiesOnly(benchmark::State& state) {
    Setup setup(0);
    std::vector<uint8_t> work(setup.input.pixels.size());
    size_t i = 0;
    for (auto _ : state) {
        setup.detector.Transform(setup.frames[i++ % kFrames]);
        std::copy(setup.input.pixels.begin(), setup.input.pixels.end(), work.begin());
        std::copy(work.begin(), work.end(), setup.output.pixels.begin());
        benchmark::DoNotOptimize(setup.output.pixels.data());
    }
}
BENCHMARK(BM_DetectorAndCopiesOnly)->Unit(benchmark::kMicrosecond);

std::string FontFile() {
    std::string file;
    if (FILE* pipe = popen("fc-match -f '%{file}' 'Liberation Sans:bold'", "r")) {
        char buffer[512];
        while (fgets(buffer, sizeof buffer, pipe)) file += buffer;
        pclose(pipe);
    }
    return file;
}

// FFmpeg's drawtext: two outlined lines on 1 000 PAL pictures in BGR, as the overlay draws them.
void BM_FfmpegDrawtextPerPalFrame(benchmark::State& state) {
    constexpr int kPictures = 1000;
    const std::string font = FontFile();
    const std::string text =
        state.range(0) == 0
            ? std::string("null")
            : "drawtext=fontfile=" + font +
                  ":text='dimanche 4 mars 2007':fontsize=25:fontcolor=white:borderw=2:"
                  "x=648-text_w:y=462,drawtext=fontfile=" +
                  font + ":text='10\\:11\\:12 - %{n}':fontsize=25:fontcolor=white:borderw=2:x=598:y=490";
    const std::string command = "ffmpeg -v error -f lavfi -i color=c=gray:size=720x576:rate=25 -frames:v " +
                                std::to_string(kPictures) + " -vf \"format=bgr24," + text +
                                "\" -f null - 2>&1";
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("ffmpeg failed");
            return;
        }
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        state.SetIterationTime(elapsed.count() / kPictures);
    }
}
BENCHMARK(BM_FfmpegDrawtextPerPalFrame)
    ->Arg(1)
    ->Arg(0)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
