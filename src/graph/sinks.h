#pragma once
// The renderers at the end of a playback graph and the interfaces behind them: the window's
// video widget and audio output implement VideoSurface and AudioDevice; the headless ones stand
// in for them in velinor-cli and the tests.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

#include "graph/filter.h"

namespace velinor::graph {

// A picture as the video renderer hands it on: 24-bit BGR, rows bottom-up, `stride` bytes each.
struct VideoFrame {
    int width = 0;
    int height = 0;
    int stride = 0;
    std::vector<uint8_t> pixels;
    int64_t start = 0;         // 100 ns
    int64_t frameNumber = -1;  // media time, -1 when the stream has none
};

// One slot holding the newest picture: a slow reader misses pictures instead of stalling the
// stream. put() is called on the streaming thread, take() on the reader's thread.
class FrameMailbox {
public:
    void put(VideoFrame frame);
    std::optional<VideoFrame> take();
    // Buffers of taken frames come back here so that the streaming thread reuses them.
    void recycle(std::vector<uint8_t> pixels);
    std::vector<uint8_t> spareBuffer();

private:
    std::mutex mutex_;
    std::optional<VideoFrame> slot_;
    std::vector<uint8_t> spare_;
};

// Where pictures go: the window's video widget, or a headless surface.
class VideoSurface {
public:
    virtual ~VideoSurface() = default;
    // Streaming thread: a new picture waits in `mailbox`. Implementations take it on their own
    // thread (the widget posts a repaint); they must not block here.
    virtual void frameReady(FrameMailbox& mailbox) = 0;
};

// Presents RGB24 pictures on a surface; in pause, the first picture is handed over at once.
class VideoRenderer : public RendererFilter {
public:
    explicit VideoRenderer(std::shared_ptr<VideoSurface> surface);
    bool checkInputType(const InputPin& pin, const MediaType& type) override;
    void onConnected(Pin& pin) override;
    Flow render(InputPin& pin, const SamplePtr& sample) override;
    FrameMailbox& mailbox() { return mailbox_; }

private:
    std::shared_ptr<VideoSurface> surface_;
    FrameMailbox mailbox_;
    int width_ = 0;
    int height_ = 0;
    int stride_ = 0;
};

// Takes every picture as soon as it arrives and counts them; waits are bounded. Any thread.
class HeadlessVideoSurface : public VideoSurface {
public:
    void frameReady(FrameMailbox& mailbox) override;
    int64_t framesShown() const;
    std::optional<VideoFrame> lastFrame() const;
    // True once at least `count` pictures arrived, false after `timeout`.
    bool waitForFrames(int64_t count, std::chrono::milliseconds timeout) const;

private:
    mutable std::mutex mutex_;
    mutable std::condition_variable cv_;
    int64_t shown_ = 0;
    std::optional<VideoFrame> last_;
};

// Where PCM goes: the window's audio output, or a headless device.
class AudioDevice {
public:
    virtual ~AudioDevice() = default;
    // Controlling thread, when streaming starts. False when the format cannot be played.
    virtual bool open(const WaveFormat& format) = 0;
    // Streaming thread: PCM in the opened format starting at `start` (100 ns). A device may
    // block while its buffer is full; it paces the stream then.
    virtual void write(std::span<const uint8_t> pcm, int64_t start) = 0;
    // Streaming thread, at the end of the stream: returns once the device has played what it
    // was given, so that the end of playback is not told before its last sound (bounded).
    virtual void drain() {}
    // Controlling thread, after streaming stopped.
    virtual void close() = 0;
    // Controlling thread; 0 silent to 1 full.
    virtual void setVolume(double volume) { (void)volume; }
};

// Hands PCM samples to a device as they come; the device buffers ahead of the picture.
class AudioRenderer : public RendererFilter {
public:
    explicit AudioRenderer(std::shared_ptr<AudioDevice> device);
    bool checkInputType(const InputPin& pin, const MediaType& type) override;
    bool startStreaming(std::string& error) override;
    void stopStreaming() override;
    Flow render(InputPin& pin, const SamplePtr& sample) override;
    void endOfStream(InputPin& pin) override;
    bool waitsForSampleTime() const override { return false; }
    void setVolume(double volume) { device_->setVolume(volume); }

private:
    std::shared_ptr<AudioDevice> device_;
    bool open_ = false;
};

// Counts what it is given. Any thread.
class HeadlessAudioDevice : public AudioDevice {
public:
    bool open(const WaveFormat& format) override;
    void write(std::span<const uint8_t> pcm, int64_t start) override;
    void close() override;
    uint64_t bytesWritten() const;
    std::optional<WaveFormat> format() const;
    bool isOpen() const;

private:
    mutable std::mutex mutex_;
    std::optional<WaveFormat> format_;
    bool open_ = false;
    uint64_t bytes_ = 0;
};

}  // namespace velinor::graph
