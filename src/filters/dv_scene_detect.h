#pragma once
// The datecode scene detector: decodes the packs of every DV frame of a stream, decides where a new
// scene starts, builds the overlay/subtitle texts, reports aspect changes to the main window and
// keeps the sequence header areas of the latest frame. It never changes the frames.
//
// Transform runs on the streaming thread; StartStreaming and Stop on the thread that controls the
// run, never while a frame is in Transform. The display setters may be called from any thread. The hooks run
// on the streaming thread, or on the controlling thread for the calls Stop makes. Other threads read the
// records only through ReadPrevious and ReadLastFrame.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "filters/dv_frame_info.h"
#include "filters/overlay_texts.h"
#include "media/datecode.h"
#include "media/dvcodes.h"
#include "platform/window_messages.h"

namespace velinor {

// The part of a connection's media type the detector looks at.
enum class MediaMajorType { Video, Audio, Interleaved, Stream, Other };
struct MediaTypeDescription {
    MediaMajorType Major = MediaMajorType::Other;
    std::string_view Subtype;  // FourCC text, e.g. "dvsd"
};

class Tdv_sceneDetect {
public:
    static constexpr const char* kName = "Morvane dv_sceneDetect";
    static constexpr int kHeaderEntries = 12;

    using SceneBreakHook = std::function<void(const TDVFrameInfo& sceneStart, const TDVFrameInfo& current)>;
    using TextHook =
        std::function<void(const TDVFrameInfo& current, const std::string& text1, const std::string& text2)>;
    using StopHook = std::function<void()>;

    // The first 480 bytes of one DIF sequence (header, subcode and VAUX blocks) of the latest frame.
    struct THeaderEntry {
        std::array<uint8_t, kSequenceHeaderBytes> Bytes{};
        int64_t Stamp = -1;  // SampleCount when saved; -1 when not saved since streaming started
    };

    // `messages` receives the aspect changes; may be null. `settings` defaults to the shared store.
    explicit Tdv_sceneDetect(MainWindowMessages* messages = nullptr,
                             OverlayTextSettingsStore* settings = &SharedOverlayTextSettings());
    Tdv_sceneDetect(const Tdv_sceneDetect&) = delete;
    Tdv_sceneDetect& operator=(const Tdv_sceneDetect&) = delete;

    // Interleaved DV, or video with subtype "dvsd".
    static bool CheckInputType(const MediaTypeDescription& type);
    // `frameDuration100ns` is the connection's frame duration; empty (or not positive) when the
    // format block does not give one, in which case the first DV frame's system gives it.
    void StartStreaming(std::optional<int64_t> frameDuration100ns);
    // One sample, DV or not. Returns whether it was a DV frame. Never throws.
    bool Transform(std::span<const uint8_t> sample);
    // Delivers the last scene and the final empty text, calls OnStop, then resets the scene state.
    void Stop();

    void SetDisplayMode(int mode);  // 0 always, 1 once, 2 at each new scene, 3 at each new day
    void SetDisplaySeconds(int seconds);
    // The display period as last set, in seconds; nothing before it was set.
    std::optional<int> DisplaySeconds() {
        std::lock_guard lock(displayMutex_);
        return displaySeconds_;
    }
    void SetTextCallback(TextHook hook) { OnText = std::move(hook); }

    // Copies for readers on other threads (the preview's timer).
    TDVFrameInfo ReadPrevious() const;
    TDVFrameInfo ReadLastFrame() const;

    // Frame records.
    TDVFrameInfo Current;
    TDVFrameInfo Previous;    // Current of the preceding frame
    TDVFrameInfo SceneStart;  // first frame of the running scene
    TDVFrameInfo LastFrame;   // Current once the frame was processed (before Frame moved on)
    std::array<THeaderEntry, kHeaderEntries> HeaderStore{};

    int32_t SampleCount = 0;    // samples since streaming started, DV or not
    int64_t FrameDuration = 0;  // 100 ns; 0 when unknown

    // Scene rules.
    double GapThreshold = 5 * kOneSecond;  // days
    int32_t ReappearGap = 12;              // frames
    double Reference = 0;                  // datecode of the latest frame compared
    bool FirstFrame = true;
    bool ReferenceValid = false;

    // Texts.
    int DisplayMode = 0;
    int32_t DisplayFrames = 125;
    int32_t Countdown = 0;
    double LastDatecode = 0;
    std::string Text1, Text2;  // texts of the latest frame
    std::string Sent1, Sent2;  // texts last given to OnText

    SceneBreakHook OnSceneBreak;
    TextHook OnText;
    StopHook OnStop;

private:
    void ResetRun();
    void UpdateDisplayFrames();
    void UpdateTexts(bool displayOver);
    void SceneBreak();
    void Publish();

    MainWindowMessages* messages_;
    OverlayTextSettingsStore* settingsStore_;
    std::shared_ptr<const OverlayTextSettings> settings_;
    uint64_t settingsGeneration_ = 0;
    OverlayTextBuilder texts_;
    std::optional<int> displaySeconds_;  // kept until a frame duration is known
    std::mutex displayMutex_;            // DisplayMode, DisplayFrames, Countdown, displaySeconds_

    mutable std::mutex publishedMutex_;
    TDVFrameInfo publishedPrevious_;
    TDVFrameInfo publishedLastFrame_;
};

}  // namespace velinor
