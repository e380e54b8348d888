// Cost per PAL picture of the datecode overlay: the copy in, two lines (date and running
// timecode) each drawn with a 2-pixel outline, the copy out. Side by side: the overlay without
// an outline, and the picture copies alone, so the cost of the text can be read off.
#include <benchmark/benchmark.h>

#include <algorithm>
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

}  // namespace

BENCHMARK_MAIN();
