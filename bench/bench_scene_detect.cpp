// Cost per PAL frame of the datecode scene detector's Transform, on frames written by FFmpeg's DV
// encoder and muxer (picture, audio, date, time, timecode and aspect packs where a camcorder puts
// them). Falls back on the test builder's frames when the ffmpeg program is missing.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "filters/dv_scene_detect.h"
#include "support/dv_builder.h"

namespace {

using namespace velinor;

constexpr int kFrames = 250;  // 10 s of PAL

std::vector<std::vector<uint8_t>> EncoderFrames() {
    const auto path =
        std::filesystem::temp_directory_path() / ("velinor-bench-" + std::to_string(getpid()) + ".dv");
    const std::string command =
        "TZ=UTC ffmpeg -v error -y -f lavfi -i testsrc=size=720x576:rate=25 -f lavfi -i "
        "sine=frequency=1000:sample_rate=48000 -t 10 -c:v dvvideo -c:a pcm_s16le -ac 2 "
        "-metadata creation_time=2026-05-17T14:03:09 -timecode 01:02:03:04 -f dv '" +
        path.string() + "'";
    std::vector<std::vector<uint8_t>> frames;
    if (std::system(command.c_str()) == 0) {
        std::ifstream in(path, std::ios::binary);
        const std::vector<char> bytes{std::istreambuf_iterator<char>(in), {}};
        for (size_t at = 0; at + kDvFrameBytes625 <= bytes.size(); at += kDvFrameBytes625)
            frames.emplace_back(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                                bytes.begin() + static_cast<std::ptrdiff_t>(at + kDvFrameBytes625));
    }
    std::filesystem::remove(path);
    return frames;
}

// Frames from the test builder: the same encoder, with packs laid out by our own writers.
std::vector<std::vector<uint8_t>> BuilderFrames() {
    DvClip clip;
    clip.scenes = {{kFrames, DatecodeFields{2026, 5, 17, 14, 3, 9}, 0}};
    clip.timecode = Timecode{1, 2, 3, 4};
    clip.audio = AudioInfo{48'000, 2, 16};
    return test::BuildDvStream(clip);
}

const std::vector<std::vector<uint8_t>>& Frames() {
    static const auto frames = [] {
        auto encoded = EncoderFrames();
        return encoded.size() == kFrames ? encoded : BuilderFrames();
    }();
    return frames;
}

void RunTransform(benchmark::State& state, Tdv_sceneDetect& detector) {
    const auto& frames = Frames();
    detector.StartStreaming(kFrameDuration625);
    size_t next = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(detector.Transform(frames[next]));
        if (++next == frames.size()) next = 0;
    }
    detector.Stop();
    state.SetItemsProcessed(state.iterations());
}

// The file probe and the scene scan: no text callback, no template.
void BM_TransformTextsOff(benchmark::State& state) {
    OverlayTextSettingsStore settings;
    Tdv_sceneDetect detector(nullptr, &settings);
    RunTransform(state, detector);
}
BENCHMARK(BM_TransformTextsOff);

// The preview's detector: the default templates are filled, but nobody takes the texts.
void BM_TransformTemplatesNoCallback(benchmark::State& state) {
    OverlayTextSettingsStore settings;
    settings.setTemplates("%D1", "%D2");
    Tdv_sceneDetect detector(nullptr, &settings);
    RunTransform(state, detector);
}
BENCHMARK(BM_TransformTemplatesNoCallback);

// The subtitle command: a template with the timecode, so the text changes at every frame.
void BM_TransformTemplateOn(benchmark::State& state) {
    OverlayTextSettingsStore settings;
    settings.setTemplates("%D1 - %T", "%D2");
    settings.setDateFormats("dddd d mmmm yyyy", "tt");
    Tdv_sceneDetect detector(nullptr, &settings);
    size_t given = 0;
    detector.StartStreaming(kFrameDuration625);
    detector.SetTextCallback([&](const TDVFrameInfo&, const std::string&, const std::string&) { ++given; });
    RunTransform(state, detector);
    benchmark::DoNotOptimize(given);
}
BENCHMARK(BM_TransformTemplateOn);

}  // namespace

BENCHMARK_MAIN();
