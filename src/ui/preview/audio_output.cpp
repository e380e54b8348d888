#include "ui/preview/audio_output.h"

#include <QAudioSink>
#include <QIODevice>
#include <QMediaDevices>
#include <QThread>
#include <algorithm>
#include <chrono>
#include <cstring>

namespace velinor {

// ---------------------------------------------------------------------------------------------
// The clock

int64_t SoundCardClock::steady() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
               .count() /
           100;
}

int64_t SoundCardClock::now() const {
    std::lock_guard lock(mutex_);
    const int64_t t = steady();
    int64_t value;
    if (playing_) {
        // The card plays what it took after taking it: the clock runs at the machine's pace
        // through the sound taken so far and stops at its end, so a stalled card stops it
        // instead of letting it run away from the sound, and a card that takes its sound in
        // large blocks does not make it jump.
        value = base_ + std::min(from_ + (t - pulledAt_), played_);
    } else {
        value = idleBase_ + (t - idleSince_);
    }
    last_ = std::max(last_, value);
    return last_;
}

void SoundCardClock::outputStarted() {
    now();
    std::lock_guard lock(mutex_);
    playing_ = true;
    base_ = last_;
    from_ = played_ = 0;
    pulledAt_ = steady();
}

void SoundCardClock::outputTook(int64_t played) {
    std::lock_guard lock(mutex_);
    const int64_t t = steady();
    from_ = std::min(from_ + (t - pulledAt_), played_);
    played_ = played;
    pulledAt_ = t;
}

void SoundCardClock::outputStopped() {
    now();
    std::lock_guard lock(mutex_);
    playing_ = false;
    idleBase_ = last_;
    idleSince_ = steady();
}

// ---------------------------------------------------------------------------------------------
// The output thread's objects

// The device the audio sink pulls from: the ring, silence when it is empty, so that the card
// keeps taking sound at its own pace and the clock keeps following it.
class TQtAudioOutput::Pull final : public QIODevice {
public:
    explicit Pull(TQtAudioOutput& owner) : owner_(owner) {}
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override { return 1 << 20; }

protected:
    qint64 readData(char* data, qint64 maxlen) override { return owner_.pull(data, maxlen); }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    TQtAudioOutput& owner_;
};

class TQtAudioOutput::Host final : public QObject {
public:
    explicit Host(TQtAudioOutput& owner) : owner_(owner) {}
    ~Host() override { stop(); }

    QString start(const QAudioDevice& device, const QAudioFormat& format, double volume) {
        stop();
        sink_ = new QAudioSink(device, format, this);
        // 100 ms: short enough that the picture and the sound stay close, long enough for a
        // card that is pulled every 20 ms.
        sink_->setBufferSize(format.bytesForDuration(100'000));
        sink_->setVolume(volume);
        pull_ = new Pull(owner_);
        pull_->open(QIODevice::ReadOnly);
        sink_->start(pull_);
        if (sink_->error() != QAudio::NoError) {
            const QString error = "Erreur de la sortie audio";
            stop();
            return error;
        }
        return {};
    }
    void stop() {
        if (sink_) {
            sink_->stop();
            delete sink_;
            sink_ = nullptr;
        }
        delete pull_;
        pull_ = nullptr;
    }
    void setVolume(double volume) {
        if (sink_) sink_->setVolume(volume);
    }

private:
    TQtAudioOutput& owner_;
    QAudioSink* sink_ = nullptr;
    Pull* pull_ = nullptr;
};

// ---------------------------------------------------------------------------------------------

TQtAudioOutput::TQtAudioOutput(const QAudioDevice& device)
    : device_(device.isNull() ? QMediaDevices::defaultAudioOutput() : device),
      clock_(std::make_shared<SoundCardClock>()),
      thread_(std::make_unique<QThread>()) {
    thread_->setObjectName("Velinor audio");
    thread_->start();
    host_ = new Host(*this);
    host_->moveToThread(thread_.get());
}

TQtAudioOutput::~TQtAudioOutput() {
    close();
    QMetaObject::invokeMethod(
        host_, [host = host_] { delete host; }, Qt::BlockingQueuedConnection);
    thread_->quit();
    thread_->wait();
}

std::shared_ptr<TQtAudioOutput> TQtAudioOutput::CreateDefault() {
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull()) return nullptr;
    return std::make_shared<TQtAudioOutput>(device);
}

bool TQtAudioOutput::open(const graph::WaveFormat& wave) {
    close();
    QAudioFormat format;
    format.setSampleRate(int(wave.samplesPerSec));
    format.setChannelCount(wave.channels);
    format.setSampleFormat(wave.bitsPerSample == 8 ? QAudioFormat::UInt8 : QAudioFormat::Int16);
    if (!format.isValid() || wave.bitsPerSample != (wave.bitsPerSample == 8 ? 8 : 16)) return false;
    {
        std::lock_guard lock(mutex_);
        bytesPerSecond_ = format.bytesForDuration(1'000'000);
        blockAlign_ = std::max(1, format.bytesPerFrame());
        ring_.assign(size_t(bytesPerSecond_ / 2 / blockAlign_ * blockAlign_), 0);
        head_ = size_ = 0;
        taken_ = written_ = 0;
        open_ = true;
        error_.clear();
    }
    clock_->outputStarted();
    QString error;
    QMetaObject::invokeMethod(
        host_, [&] { error = host_->start(device_, format, volume_.load()); }, Qt::BlockingQueuedConnection);
    if (!error.isEmpty()) {
        std::lock_guard lock(mutex_);
        open_ = false;
        error_ = error;
        clock_->outputStopped();
        return false;
    }
    return true;
}

void TQtAudioOutput::write(std::span<const uint8_t> pcm, int64_t) {
    std::unique_lock lock(mutex_);
    while (!pcm.empty() && open_) {
        if (size_ == ring_.size()) {
            // The card takes the ring's half second well within a second; one that does not is
            // gone, and its sound is dropped rather than holding the pictures.
            if (!space_.wait_for(lock, std::chrono::seconds(1),
                                 [&] { return size_ < ring_.size() || !open_; })) {
                return;
            }
            continue;
        }
        const size_t tail = (head_ + size_) % ring_.size();
        const size_t n = std::min({pcm.size(), ring_.size() - size_, ring_.size() - tail});
        std::memcpy(ring_.data() + tail, pcm.data(), n);
        size_ += n;
        written_ += n;
        pcm = pcm.subspan(n);
    }
}

int64_t TQtAudioOutput::pull(char* data, int64_t maxlen) {
    std::unique_lock lock(mutex_);
    if (!open_ || ring_.empty()) return 0;
    maxlen = maxlen / blockAlign_ * blockAlign_;
    int64_t done = 0;
    while (done < maxlen && size_ > 0) {
        const size_t n = std::min({size_t(maxlen - done), size_, ring_.size() - head_});
        std::memcpy(data + done, ring_.data() + head_, n);
        head_ = (head_ + n) % ring_.size();
        size_ -= n;
        done += int64_t(n);
    }
    // Silence for the rest: the card plays on at its pace (0x80 is the zero of 8-bit sound).
    if (done < maxlen) std::memset(data + done, blockAlign_ == 1 ? 0x80 : 0, size_t(maxlen - done));
    taken_ += uint64_t(maxlen);
    const int64_t played = bytesPerSecond_ > 0 ? int64_t(taken_ * 10'000'000 / uint64_t(bytesPerSecond_)) : 0;
    lock.unlock();
    space_.notify_all();
    clock_->outputTook(played);
    return maxlen;
}

void TQtAudioOutput::drain() {
    std::unique_lock lock(mutex_);
    space_.wait_for(lock, std::chrono::seconds(1), [&] { return size_ == 0 || !open_; });
}

void TQtAudioOutput::close() {
    {
        std::lock_guard lock(mutex_);
        if (!open_) return;
        open_ = false;
    }
    space_.notify_all();
    QMetaObject::invokeMethod(
        host_, [this] { host_->stop(); }, Qt::BlockingQueuedConnection);
    clock_->outputStopped();
}

void TQtAudioOutput::setVolume(double volume) {
    volume_.store(std::clamp(volume, 0.0, 1.0));
    QMetaObject::invokeMethod(
        host_, [this, v = volume_.load()] { host_->setVolume(v); }, Qt::QueuedConnection);
}

uint64_t TQtAudioOutput::BytesTaken() const {
    std::lock_guard lock(mutex_);
    return taken_;
}

uint64_t TQtAudioOutput::BytesWritten() const {
    std::lock_guard lock(mutex_);
    return written_;
}

bool TQtAudioOutput::IsOpen() const {
    std::lock_guard lock(mutex_);
    return open_;
}

QString TQtAudioOutput::ErrorText() const {
    std::lock_guard lock(mutex_);
    return error_;
}

}  // namespace velinor
