#pragma once
// DV AVI files for the system filter and probe tests: dated, timecoded frames from the frame
// maker with a tone shuffled into their audio blocks, written as type 1 or type 2 by our writer,
// and the run-to-the-end helper for graphs that write them.
#include <chrono>
#include <cmath>
#include <string>
#include <vector>

#include "graph/graph.h"
#include "media/avi_writer.h"
#include "media/dif_audio.h"
#include "support/dv_builder.h"

namespace velinor::test {

inline const DatecodeFields kClipStart{2026, 3, 14, 10, 20, 30};
inline const Timecode kClipTimecode{1, 2, 3, 4};

struct DvAviClip {
    bool is525 = false;
    std::vector<DvFrame> frames;            // with the tone in their audio blocks
    std::vector<DvFrame> silentFrames;      // the same frames without audio blocks filled
    std::vector<std::vector<int16_t>> pcm;  // per frame, interleaved stereo 48 kHz
};

// `count` frames of one dated scene, a tone whose pitch differs per channel.
inline DvAviClip MakeDvAviClip(int count, bool is525) {
    DvAviClip clip;
    clip.is525 = is525;
    DvStreamRecipe recipe;
    recipe.is525 = is525;
    recipe.scenes = {DvScene{count, kClipStart, 0}};
    recipe.timecode = kClipTimecode;
    clip.silentFrames = BuildDvStream(recipe);
    clip.frames = clip.silentFrames;
    const DifAudioFormat format{48'000, 16, 2};
    int64_t t = 0;
    for (int i = 0; i < count; ++i) {
        const int32_t samples = DifAudioSequencer::SamplesForFrame(is525, 48'000, i);
        std::vector<int16_t> pcm(size_t(samples) * 2);
        for (int32_t s = 0; s < samples; ++s, ++t) {
            pcm[size_t(2 * s)] = int16_t(9000 * std::sin(double(t) * 0.0571));
            pcm[size_t(2 * s + 1)] = int16_t(7000 * std::sin(double(t) * 0.0213) + (t % 7));
        }
        EncodeDifAudio(clip.frames[size_t(i)], format, pcm, samples);
        clip.pcm.push_back(std::move(pcm));
    }
    return clip;
}

inline AviWriterSettings DvSettings(bool is525, AviWriterSettings::Kind kind) {
    AviWriterSettings s;
    s.Type = kind;
    s.Rate = is525 ? 30'000 : 25;
    s.Scale = is525 ? 1'001 : 1;
    s.Height = is525 ? 480 : 576;
    return s;
}

inline void WriteType1(const std::string& path, const std::vector<DvFrame>& frames, bool is525) {
    auto settings = DvSettings(is525, AviWriterSettings::Kind::DvType1);
    settings.DvInfoBlock = DvInfoFromFrame(frames.front());
    AviWriter writer(path, settings);
    for (const auto& f : frames) writer.WriteVideo(f);
    writer.Finish();
}

// Type 2 with the separate PCM stream; `frames` are written as they are.
inline void WriteType2(const std::string& path, const std::vector<DvFrame>& frames,
                       const std::vector<std::vector<int16_t>>& pcm, bool is525,
                       uint32_t handler = 0x64737664) {
    auto settings = DvSettings(is525, AviWriterSettings::Kind::DvType2);
    settings.VideoHandler = handler;
    AviWriter writer(path, settings);
    for (size_t i = 0; i < frames.size(); ++i) {
        writer.WriteVideo(frames[i]);
        const auto* bytes = reinterpret_cast<const uint8_t*>(pcm[i].data());
        writer.WriteAudio(std::span<const uint8_t>(bytes, pcm[i].size() * 2));
    }
    writer.Finish();
}

// Runs the graph until it completes or fails, then stops it; the last event, or nothing after
// the time-out.
inline std::optional<graph::GraphEvent> RunToEnd(graph::Graph& g) {
    std::optional<graph::GraphEvent> event;
    g.setClock(nullptr);
    if (g.run()) event = g.waitForEvent(std::chrono::seconds(60));
    g.stop();
    return event;
}

}  // namespace velinor::test
