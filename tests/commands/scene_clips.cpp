#include "scene_clips.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "graph/dv_frame_maker.h"
#include "media/avi_writer.h"
#include "media/dvcodes.h"

namespace velinor::test {

namespace {

std::vector<DvFramePacks> PacksOf(const std::vector<Segment>& segments) {
    std::vector<DvFramePacks> packs;
    for (const Segment& s : segments)
        for (int i = 0; i < s.frames; ++i) {
            DvFramePacks p;
            if (s.start) p.datecode = AddSeconds(*s.start, i / 25);
            p.timecode = Timecode{0, 0, uint8_t(packs.size() / 25 % 60), uint8_t(packs.size() % 25)};
            p.audio = AudioInfo{s.audioRate, 2, 16};
            packs.push_back(p);
        }
    return packs;
}

}  // namespace

DatecodeFields SecondsAfter(const DatecodeFields& fields, int64_t seconds) {
    return AddSeconds(fields, seconds);
}

std::vector<std::vector<uint8_t>> FramesOf(const std::vector<Segment>& segments) {
    std::vector<std::vector<uint8_t>> frames;
    DvFrameMaker maker(false, false);
    const auto packs = PacksOf(segments);
    size_t k = 0;
    for (const Segment& s : segments)
        for (int i = 0; i < s.frames; ++i, ++k) {
            frames.emplace_back();
            maker.make(packs[k], s.picture, frames.back());
        }
    return frames;
}

void WriteAvi(const std::string& path, const std::vector<std::vector<uint8_t>>& frames, bool type1) {
    AviWriterSettings s;
    s.Type = type1 ? AviWriterSettings::Kind::DvType1 : AviWriterSettings::Kind::DvType2;
    s.DvInfoBlock = DvInfoFromFrame(frames.front());
    s.ReplaceExisting = true;
    AviWriter writer(path, s);
    std::vector<uint8_t> tone(48'000 / 25 * 2 * 2);
    for (size_t i = 0; i < frames.size(); ++i) {
        writer.WriteVideo(frames[i]);
        if (!type1) {
            // Audio that tells the frames apart, so a cut's audio can be matched to its frames.
            std::fill(tone.begin(), tone.end(), uint8_t(i));
            writer.WriteAudio(tone);
        }
    }
    writer.Finish();
}

// A run starts as after a stop: the frame before the first counts as having a datecode.
std::vector<uint32_t> ExpectedStarts(const std::vector<Segment>& segments) {
    const std::vector<DvFramePacks> packs = PacksOf(segments);
    constexpr double kGap = 5.0 / 86'400;
    constexpr int kReappear = 12;
    std::vector<uint32_t> starts{0};
    bool previousValid = true, referenceValid = false;
    double reference = 0;
    int sceneStart = 0;
    std::optional<AudioInfo> sceneAudio = packs.empty() ? std::nullopt : packs.front().audio;
    const auto cut = [&](int frame) {
        if (frame > sceneStart) starts.push_back(uint32_t(frame));
        sceneStart = frame;
        sceneAudio = packs[size_t(frame)].audio;
    };
    for (int i = 0; i < int(packs.size()); ++i) {
        const auto& p = packs[size_t(i)];
        const bool valid = p.datecode.has_value();
        const double value = valid ? *MakeDatecode(*p.datecode) : 0;
        if (sceneAudio && p.audio &&
            (sceneAudio->Frequency != p.audio->Frequency || sceneAudio->Bits != p.audio->Bits)) {
            cut(i);
            referenceValid = false;
        }
        if (!valid && previousValid && i > 0) {
            cut(i);
        } else if (valid && !previousValid) {
            if (std::abs(i - sceneStart) > kReappear) cut(i);
            reference = value;
        } else if (valid && previousValid) {
            if (referenceValid && std::fabs(value - reference) > kGap) cut(i);
            reference = value;
            referenceValid = true;
        }
        previousValid = valid;
    }
    return starts;
}

}  // namespace velinor::test
