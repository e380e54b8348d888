#pragma once
// The preview module: plays the active file in the main window's video area through a graph of
// its own, with the datecode overlay drawn over the picture, and makes a chosen picture current
// for thumbnails and copies. The thread that constructs it owns the graph; every public call
// made on another thread (the command worker) is run on the owner's thread through the
// dispatcher, and waits for it.
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "filters/dv_frame_info.h"

namespace velinor {

class DeinterlaceFilter;
class DvSceneDetectFilter;
class MainWindowMessages;
class OverlayTextSettingsStore;
class SuperposerFilter;
class Tdv_sceneDetect;
class TaviFichier;
class UiDispatcher;

namespace graph {
class AudioDevice;
class AudioRenderer;
class AviSource;
class Clock;
class Graph;
class OutputPin;
class VideoSurface;
enum class TimeFormat;
}  // namespace graph

// The main window's video area as the preview sees it: where pictures and sound go. A missing
// device leaves that stream unrendered.
struct PreviewWindow {
    std::shared_ptr<graph::VideoSurface> video;
    std::shared_ptr<graph::AudioDevice> audio;
    // What the graph presents the pictures against while the sound plays (the sound card's
    // clock); null, or a file without sound: the machine's clock.
    std::shared_ptr<graph::Clock> clock;
};

// Notices the main window shows over the video area when an opening fails or shows no video.
enum PreviewNotice : int {
    kNoticeNone = 0,
    kNoticeNoSource = 1,     // the file could not be loaded
    kNoticeNoDecoder = 2,    // the DV decoder refused the stream
    kNoticeAudioOnly = 3,    // no picture; the sound plays (shown over the slider)
    kNoticeNoSplitter = 4,   // the container could not be split, or nothing plays
    kNoticeNoDvPath = 5,     // no DV stream reaches the datecode filter
    kNoticeVideoFailed = 6,  // the video could not be shown; the sound plays (over the slider)
    kNoticeNoVideo = 7,      // neither picture nor sound, though the file has sound
    kNoticeNothing = 8,      // neither picture nor sound
    kNoticeReleased = 9,     // the file was released for a command and cannot be opened again
};

class Tviewdm {
public:
    // Graph states as the main window reads them.
    static constexpr int kStateUninitialised = 0;
    static constexpr int kStateStopped = 1;
    static constexpr int kStatePaused = 2;
    static constexpr int kStateRunning = 3;

    // `dispatcher` reaches the owner thread (null: every call comes from the owner thread, which
    // then drains the graph's events itself with HandleEvents). `messages` receives the play
    // state (3027) and the aspect changes; may be null. `settings` holds the overlay texts and
    // the display shift, and must outlive the preview.
    explicit Tviewdm(OverlayTextSettingsStore& settings, UiDispatcher* dispatcher = nullptr,
                     MainWindowMessages* messages = nullptr);
    ~Tviewdm();
    Tviewdm(const Tviewdm&) = delete;
    // The window that receives the play state and the aspect changes from now on (null: none).
    // Set before the first opening, on the owner thread.
    void SetMessages(MainWindowMessages* messages) { messages_ = messages; }
    Tviewdm& operator=(const Tviewdm&) = delete;

    // What an opening needs to know of the file: its record's values.
    struct FileFacts {
        std::string path;
        bool isDV = false;
        double fps = 0;        // 0: positions count in media time
        double decalage = 0;   // display shift of the datecode, days
        bool hasImage = true;  // the record's ImageText is not "N/A"
        bool hasAudio = true;  // the record's AudioText is not "N/A"
    };

    // Opens the record in the preview and shows the first picture of the range, paused. False
    // (with ShownNotice saying why) when nothing can be shown. The record's Fps becomes 0 when
    // its video cannot be shown, so that positions count in media time.
    bool OpenRecord(TaviFichier* record, const PreviewWindow& window);
    // The same from the record's values; `facts.fps` is updated as the record's would be.
    bool OpenFile(FileFacts& facts, const PreviewWindow& window);

    // Stops and empties the graph; the detector's records are cleared so that the next file
    // never shows this one's datecode.
    void ResetPreview();
    // Stops and empties the graph and closes the file, so that a command may rename, patch or
    // delete it.
    void ReleasePreview();

    // Makes `position` (clamped to the range) the current picture and waits, at most
    // PictureWait, until the overlay processed it. Leaves the graph paused. Afterwards the
    // detector's latest frame record and the overlay's snapshot belong to that picture.
    void SeekTo(int64_t position);
    // True when the latest SeekTo, StepFrames, StepTime or RefreshPreview got its picture.
    bool PictureShown() const { return pictureShown_; }
    // Current position + `delta`, clamped to the range; in frames.
    void StepFrames(int32_t delta);
    // The same in 100 ns; used when the file has no frame rate.
    void StepTime(int64_t delta);

    bool PlayPreview();
    // Pauses (when not paused already) and posts 3027 with 0.
    void PausePreview();
    void StopPreview();
    // Processes the current picture again with the current overlay settings (when not running).
    void RefreshPreview();
    void SetVolume(double volume);

    // The overlay editing mode: the end of the file restarts playback instead of stopping.
    void SetOverlayEditing(bool on);

    // Runs `call` on the owner thread and waits for it; directly when already there.
    void RunOnOwner(const std::function<void()>& call) const;

    // Owner thread: handles the graph's queued events (end of playback, errors). With a
    // dispatcher it is posted there whenever an event arrives.
    void HandleEvents();

    int State() const;
    // In the graph's time format: frames when the file has a frame rate, else 100 ns.
    bool FrameFormat() const { return frameFormat_; }
    int64_t Duration() const;
    int64_t CurrentPosition() const;
    std::string LastError() const;

    // The values of the frame the datecode filter saw last (the current picture after SeekTo);
    // empty records in the build for other files. Any thread.
    TDVFrameInfo CurrentFrameValues() const;
    // The overlay's snapshot at the picture's own size, 24-bit BGR, rows bottom-up, each row
    // padded to 4 bytes. False before any picture. Any thread.
    bool SnapshotPicture(int& width, int& height, std::vector<uint8_t>& pixels) const;

    // The program's filters the preview uses; the overlay settings are applied to them.
    SuperposerFilter& Overlay() const { return *overlay_; }
    DvSceneDetectFilter& DatecodeFilter() const { return *datecode_; }
    Tdv_sceneDetect& Detector() const { return *detector_; }
    DeinterlaceFilter& Deinterlacer() const { return *deinterlacer_; }
    graph::Graph& Graph() const { return *graph_; }

    // Called on the owner thread after each SeekTo with the current position and RangeLast, for
    // the position slider.
    std::function<void(int64_t position, int64_t rangeLast)> OnPosition;

    // The playable range in the graph's time format, both ends included: [0, last frame] at each
    // opening; the main window narrows it to a scene.
    int64_t RangeFirst = 0;
    int64_t RangeLast = 0;
    bool Opened = false;
    bool VideoShown = false;
    bool AudioRendered = false;
    bool ReleasedForCommand = false;
    int NoticeType = kNoticeNone;   // which notice a failure at the current build step shows
    int ShownNotice = kNoticeNone;  // the notice of the latest opening, none when it shows video
    std::chrono::milliseconds PictureWait{5000};

private:
    bool BuildDV(const std::string& path, const PreviewWindow& window);
    bool BuildOther(const std::string& path, const PreviewWindow& window);
    bool LoadSource(const std::string& path);
    bool ConnectPicture(const PreviewWindow& window);
    void RenderAudio(const std::vector<graph::OutputPin*>& outputs, const PreviewWindow& window);
    void ResetGraph();
    bool Open(FileFacts& facts, const PreviewWindow& window);
    void Seek(int64_t position);
    void Step(int64_t position, int64_t stop, graph::TimeFormat format);
    void WaitForPicture();
    int64_t UnitTime() const;
    void PostPlayState(int playing);

    UiDispatcher* dispatcher_;
    MainWindowMessages* messages_;
    OverlayTextSettingsStore* settings_;
    std::unique_ptr<Tdv_sceneDetect> detector_;
    std::shared_ptr<DvSceneDetectFilter> datecode_;
    std::shared_ptr<SuperposerFilter> overlay_;
    std::shared_ptr<DeinterlaceFilter> deinterlacer_;
    std::unique_ptr<graph::Graph> graph_;
    std::shared_ptr<graph::AviSource> source_;
    std::shared_ptr<graph::AudioRenderer> audio_;
    bool frameFormat_ = false;
    bool overlayEditing_ = false;
    bool pictureShown_ = false;
    // Posted event handlers run only while the module lives.
    std::shared_ptr<int> alive_;
};

}  // namespace velinor
