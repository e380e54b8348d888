// Cost per PAL frame of the datecode scene detector's Transform, on frames written by FFmpeg's DV
// encoder and muxer (picture, audio, date, time, timecode and aspect packs where a camcorder puts
// them). Falls back on frames whose packs are written by our own writers when ffmpeg is missing.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "filters/dv_scene_detect.h"

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

std::vector<std::vector<uint8_t>> PackFrames() {
    std::vector<std::vector<uint8_t>> frames;
    for (int f = 0; f < kFrames; ++f) {
        std::vector<uint8_t> frame(kDvFrameBytes625, 0xFF);
        frame[3] = 0xBF;
        const int s = 9 * 3600 + f / 25;
        WriteDatecode(frame, 12,
                      {2026, 5, 17, static_cast<uint8_t>(s / 3600), static_cast<uint8_t>(s / 60 % 60),
                       static_cast<uint8_t>(s % 60)});
        const uint8_t timecode[5] = {kPackTitleTimecode, static_cast<uint8_t>(f % 25 / 10 << 4 | f % 25 % 10),
                                     static_cast<uint8_t>(f / 25 / 10 << 4 | f / 25 % 10), 0, 0};
        std::copy(timecode, timecode + 5, frame.begin() + 2 * 80 + 6 + 8 * 4);  // block 2, pack 4
        const uint8_t aux[5] = {kPackVauxSourceControl, 0, 0, 0, 0};
        std::copy(aux, aux + 5, frame.begin() + 3 * 80 + 3);
        frame[(3 * 16 + 6) * 80 + 3] = kPackAauxSource;  // fourth audio block, as the encoder does
        frame[(3 * 16 + 6) * 80 + 7] = 0x00;             // 48 kHz, 16 bits
        frames.push_back(std::move(frame));
    }
    return frames;
}

const std::vector<std::vector<uint8_t>>& Frames() {
    static const auto frames = [] {
        auto encoded = EncoderFrames();
        return encoded.size() == kFrames ? encoded : PackFrames();
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
