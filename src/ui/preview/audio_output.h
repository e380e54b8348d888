#pragma once
// The preview's sound: PCM from the graph's audio renderer played through Qt Multimedia's audio
// output, and the clock the graph presents the pictures against, which follows what the sound
// card has taken. The output runs on a thread of its own, so a busy UI never starves the card.
//   open, close, setVolume: the graph's controlling thread (the UI thread).
//   write, drain: the graph's streaming thread; write blocks while half a second of sound waits
//   already.
//   The clock: any thread.
#include <QAudioDevice>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "graph/clock.h"
#include "graph/sinks.h"

class QThread;

namespace velinor {

// 100 ns units that advance with the sound the card takes while an output plays (at the
// machine's pace, never past the sound taken), and with the machine's clock otherwise; never
// backwards.
class SoundCardClock final : public graph::Clock {
public:
    int64_t now() const override;
    // The output's side: `played` 100 ns of sound taken so far since the output opened.
    void outputStarted();
    void outputTook(int64_t played);
    void outputStopped();

private:
    static int64_t steady();
    mutable std::mutex mutex_;
    mutable int64_t last_ = 0;
    bool playing_ = false;
    int64_t base_ = 0;      // clock value when the output opened
    int64_t played_ = 0;    // sound taken at the latest pull
    int64_t from_ = 0;      // where the clock stood in the sound at the latest pull
    int64_t pulledAt_ = 0;  // steady time of the latest pull
    int64_t idleBase_ = 0;  // while no output plays: clock = idleBase_ + (steady - idleSince_)
    int64_t idleSince_ = steady();
};

class TQtAudioOutput final : public graph::AudioDevice {
public:
    // `device`: the output to play on (the system's default when null).
    explicit TQtAudioOutput(const QAudioDevice& device);
    ~TQtAudioOutput() override;

    // The machine's default output, or nothing when it has none (no sound server, no card).
    static std::shared_ptr<TQtAudioOutput> CreateDefault();

    bool open(const graph::WaveFormat& format) override;
    void write(std::span<const uint8_t> pcm, int64_t start) override;
    // Waits until the card took the ring's sound, a second at most.
    void drain() override;
    void close() override;
    void setVolume(double volume) override;

    double Volume() const { return volume_.load(); }
    std::shared_ptr<SoundCardClock> Clock() const { return clock_; }
    // Bytes the card has taken since the output opened, silence included.
    uint64_t BytesTaken() const;
    // Bytes of the stream's own sound written so far, and the stream time they reach (100 ns).
    uint64_t BytesWritten() const;
    bool IsOpen() const;
    QString ErrorText() const;

private:
    class Pull;
    class Host;
    int64_t pull(char* data, int64_t maxlen);

    QAudioDevice device_;
    std::shared_ptr<SoundCardClock> clock_;
    std::unique_ptr<QThread> thread_;
    Host* host_ = nullptr;  // lives on thread_
    std::atomic<double> volume_{1.0};

    mutable std::mutex mutex_;
    std::condition_variable space_;
    std::vector<uint8_t> ring_;
    size_t head_ = 0, size_ = 0;
    bool open_ = false;
    int bytesPerSecond_ = 0;
    int blockAlign_ = 1;
    uint64_t taken_ = 0;
    uint64_t written_ = 0;
    QString error_;
};

}  // namespace velinor
