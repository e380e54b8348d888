#include "filters/dv_scene_detect.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace velinor {

namespace {

constexpr double kDisplayRetriggerGap = 2 * kOneSecond;  // mode 2: a new scene for the display
constexpr double kOneDay = 1.0;

const std::string kNoText;

}  // namespace

Tdv_sceneDetect::Tdv_sceneDetect(MainWindowMessages* messages, OverlayTextSettingsStore* settings)
    : messages_(messages), settingsStore_(settings) {
    // A fresh detector starts from the state Stop leaves, so the first run cuts like every other.
    ResetRun();
}

bool Tdv_sceneDetect::CheckInputType(const MediaTypeDescription& type) {
    return type.Major == MediaMajorType::Interleaved ||
           (type.Major == MediaMajorType::Video && type.Subtype == "dvsd");
}

void Tdv_sceneDetect::StartStreaming(std::optional<int64_t> frameDuration100ns) {
    FrameDuration = frameDuration100ns && *frameDuration100ns > 0 ? *frameDuration100ns : 0;
    UpdateDisplayFrames();
    Countdown = DisplayFrames - 1;
    Sent1.clear();
    Sent2.clear();
    Text1.clear();
    Text2.clear();
    SampleCount = 0;
    Current.Frame = 0;
    // Entries saved by an earlier run must not pass for this run's.
    for (auto& entry : HeaderStore) entry.Stamp = -1;
    // Readers must not take the previous run's last frame for this one's.
    Previous = TDVFrameInfo{};
    LastFrame = TDVFrameInfo{};
    Publish();
}

void Tdv_sceneDetect::SetDisplayMode(int mode) {
    DisplayMode = mode;
    Countdown = DisplayFrames - 1;
}

void Tdv_sceneDetect::SetDisplaySeconds(int seconds) {
    displaySeconds_ = seconds;
    UpdateDisplayFrames();
    Countdown = DisplayFrames - 1;
}

// The display period is set in seconds but counted in frames of the running stream; it is
// converted again whenever the frame duration becomes known.
void Tdv_sceneDetect::UpdateDisplayFrames() {
    if (!displaySeconds_ || FrameDuration <= 0) return;
    const double frames =
        std::nearbyint(*displaySeconds_ * 10'000'000.0 / static_cast<double>(FrameDuration));
    DisplayFrames = static_cast<int32_t>(std::clamp(frames, -2'147'483'647.0, 2'147'483'647.0));
}

bool Tdv_sceneDetect::Transform(std::span<const uint8_t> sample) {
    const int n = DifSequenceCount(sample.size());
    if (n == 0) {
        ++SampleCount;
        return false;
    }
    if (FrameDuration <= 0 && Current.Frame == 0) {
        FrameDuration = n == 10 ? kFrameDuration525 : kFrameDuration625;
        if (displaySeconds_) {
            UpdateDisplayFrames();
            Countdown = DisplayFrames - 1;
        }
    }

    Previous = Current;

    const auto fields = ReadDatecode(sample, n);
    const auto datecode = fields ? MakeDatecode(*fields) : std::nullopt;
    Current.DatecodeValid = datecode.has_value();
    Current.Datecode = datecode.value_or(0);

    const auto timecode = ReadTimecode(sample, n);
    Current.TimecodeValid = timecode.has_value();
    if (timecode) Current.Timecode = *timecode;

    const auto audio = ReadAudioInfo(sample, n);
    if (audio) {
        Current.AudioFrequency = audio->Frequency;
        Current.AudioBits = audio->Bits;
        Current.AudioChannels = audio->Channels;
    }
    const auto wide = ReadWideFlag(sample, n);
    if (wide) Current.Wide = *wide;
    if (Current.Wide != Previous.Wide && messages_)
        messages_->post(kMsgAspectChange, Current.Wide ? 1 : 0, 0);
    if (const auto is525 = ReadSystem(sample)) Current.Is525 = *is525;
    Current.AuxValid = audio && wide;

    // Display period.
    if (Countdown > 0) --Countdown;
    if (Current.DatecodeValid) {
        if (DisplayMode == 2) {
            if (Current.Datecode - LastDatecode > kDisplayRetriggerGap || Current.Datecode < LastDatecode)
                Countdown = DisplayFrames;
        } else if (DisplayMode == 3) {
            if (std::fabs(Current.Datecode - LastDatecode) > kOneDay ||
                DecodeDatecode(Current.Datecode).Day != DecodeDatecode(LastDatecode).Day)
                Countdown = DisplayFrames;
        }
    }
    LastDatecode = Current.Datecode;

    UpdateTexts();

    // Format break: the recording changed aspect, system or audio sampling.
    if (SceneStart.AuxValid && Current.AuxValid &&
        (SceneStart.Wide != Current.Wide || SceneStart.Is525 != Current.Is525 ||
         SceneStart.AudioFrequency != Current.AudioFrequency || SceneStart.AudioBits != Current.AudioBits)) {
        SceneBreak();
        ReferenceValid = false;
    }

    // Datecode breaks.
    if (!Current.DatecodeValid && Previous.DatecodeValid) {
        if (Current.Frame > 0) SceneBreak();  // the datecode vanished
    } else if (Current.DatecodeValid && !Previous.DatecodeValid) {
        // It came back: a short dropout continues the scene.
        if (std::abs(static_cast<int64_t>(Current.Frame) - SceneStart.Frame) > ReappearGap) SceneBreak();
        Reference = Current.Datecode;
    } else if (Current.DatecodeValid && Previous.DatecodeValid) {
        if (ReferenceValid && std::fabs(Current.Datecode - Reference) > GapThreshold) SceneBreak();
        Reference = Current.Datecode;
        ReferenceValid = true;
    }

    if (FirstFrame) {
        SceneStart = Current;
        FirstFrame = false;
    }
    LastFrame = Current;
    Publish();

    for (int i = 0; i < n; ++i) {
        std::memcpy(HeaderStore[i].Bytes.data(), sample.data() + i * kDifSequenceBytes, kSequenceHeaderBytes);
        HeaderStore[i].Stamp = SampleCount;
    }

    ++Current.Frame;
    ++SampleCount;
    return true;
}

void Tdv_sceneDetect::UpdateTexts() {
    if (DisplayMode != 0 && Countdown <= 0) {
        if (OnText && (!Sent1.empty() || !Sent2.empty())) {
            OnText(Current, kNoText, kNoText);
            Sent1.clear();
            Sent2.clear();
        }
        return;
    }
    const uint64_t generation = settingsStore_->generation();
    if (!settings_ || generation != settingsGeneration_) {
        settings_ = settingsStore_->snapshot();
        settingsGeneration_ = generation;
    }
    texts_.build(settings_, Current, Text1, Text2);
    if (OnText && (Text1 != Sent1 || Text2 != Sent2)) {
        OnText(Current, Text1, Text2);
        Sent1 = Text1;
        Sent2 = Text2;
    }
}

// Ends the running scene [SceneStart.Frame, Current.Frame) and starts one at the current frame.
// A scene without frames (a second break at the same frame) is not delivered.
void Tdv_sceneDetect::SceneBreak() {
    if (OnSceneBreak && Current.Frame > SceneStart.Frame) OnSceneBreak(SceneStart, Current);
    SceneStart = Current;
}

void Tdv_sceneDetect::Stop() {
    if (OnSceneBreak && Current.Frame > SceneStart.Frame) OnSceneBreak(SceneStart, Current);
    if (OnText && (!Sent1.empty() || !Sent2.empty())) OnText(Current, kNoText, kNoText);
    Sent1.clear();
    Sent2.clear();
    if (OnStop) OnStop();
    ResetRun();
}

// The state every run starts from. The first frame of a run then sees a preceding datecode, so it
// never breaks and, when it has a datecode, becomes the reference for the next frame.
void Tdv_sceneDetect::ResetRun() {
    Current = TDVFrameInfo{};
    Current.DatecodeValid = true;
    SceneStart = TDVFrameInfo{};
    FirstFrame = true;
    Reference = 0;
    GapThreshold = 5 * kOneSecond;
    ReferenceValid = false;
    Countdown = 0;
    LastDatecode = 0;
    OnText = nullptr;
}

void Tdv_sceneDetect::Publish() {
    std::lock_guard lock(publishedMutex_);
    publishedPrevious_ = Previous;
    publishedLastFrame_ = LastFrame;
}

TDVFrameInfo Tdv_sceneDetect::ReadPrevious() const {
    std::lock_guard lock(publishedMutex_);
    return publishedPrevious_;
}

TDVFrameInfo Tdv_sceneDetect::ReadLastFrame() const {
    std::lock_guard lock(publishedMutex_);
    return publishedLastFrame_;
}

}  // namespace velinor
