#pragma once
// Small filters for driving the graph engine in tests: a source of numbered samples, an in-place
// transform that watches what is in flight, and a renderer that records what it was given.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "graph/filter.h"

namespace velinor::graph::testing {

inline MediaType NumberedType(int64_t frameDuration) {
    VideoInfo info;
    info.avgTimePerFrame = frameDuration;
    info.width = 4;
    info.height = 2;
    info.bitCount = 24;
    info.compression = kSubtypeDvsd;
    return VideoType(kSubtypeDvsd, info);
}

// Sample i carries i in its first 8 bytes, starts at i × step (100 ns) and has media time i.
// With several outputs each step delivers sample i on every output in turn.
class NumberedSource : public SourceFilter {
public:
    struct Options {
        int64_t count = 10;
        int64_t step = 400'000;
        size_t bytes = 16;
        int outputs = 1;
        std::vector<MediaType> types{};  // one per output; default NumberedType(step)
        int64_t throwAt = -1;            // produce() throws before delivering this frame
        bool seekThrows = false;
    };
    explicit NumberedSource(Options options) : SourceFilter("Numbered source"), options_(std::move(options)) {
        for (int i = 0; i < options_.outputs; ++i) addOutput("Output" + std::to_string(i));
        if (options_.types.empty())
            options_.types.assign(size_t(options_.outputs), NumberedType(options_.step));
    }
    NumberedSource() : NumberedSource(Options{}) {}

    int64_t duration() const override { return options_.count * options_.step; }
    int64_t frameDuration() const override { return options_.step; }
    std::vector<MediaType> outputTypes(const OutputPin& pin) override {
        const auto outs = outputs();
        for (size_t i = 0; i < outs.size(); ++i)
            if (outs[i] == &pin) return {options_.types[i]};
        return {};
    }

protected:
    void seek(int64_t start, std::optional<int64_t> stop) override {
        if (options_.seekThrows) throw std::runtime_error("position impossible");
        next_ = frameAt(start);
        end_ = stop ? std::min(options_.count, frameAt(*stop)) : options_.count;
    }
    Flow produce() override {
        if (next_ >= end_) return Flow::EndOfStream;
        if (next_ == options_.throwAt) throw std::runtime_error("lecture impossible");
        for (auto* out : outputs()) {
            auto sample = std::make_shared<Sample>();
            sample->data.assign(options_.bytes, 0);
            for (int b = 0; b < 8; ++b) sample->data[size_t(b)] = uint8_t(uint64_t(next_) >> (8 * b));
            sample->hasTime = true;
            sample->start = next_ * options_.step;
            sample->stop = sample->start + options_.step;
            sample->hasMediaTime = true;
            sample->mediaStart = next_;
            sample->mediaStop = next_ + 1;
            const Flow flow = deliver(*out, sample);
            if (flow != Flow::Ok) return flow;
        }
        ++next_;
        return Flow::Ok;
    }

private:
    Options options_;
    int64_t next_ = 0;
    int64_t end_ = 0;
};

inline int64_t NumberOf(const Sample& sample) {
    uint64_t value = 0;
    for (int b = 0; b < 8; ++b) value |= uint64_t(sample.data[size_t(b)]) << (8 * b);
    return int64_t(value);
}

// Passes samples on; optionally writes 0xEE into byte 8, or fails at a given frame. Records
// what its stop routine saw.
class WatchingTransform : public InPlaceTransformFilter {
public:
    explicit WatchingTransform(bool writes = false, int64_t failAt = -1, bool reportsFailure = true)
        : InPlaceTransformFilter("Watching transform"),
          writes_(writes),
          failAt_(failAt),
          reportsFailure_(reportsFailure) {}

    std::atomic<int> inFlight{0};
    std::atomic<int> seen{0};
    std::atomic<int> stopCalls{0};
    std::atomic<int> inFlightAtStop{-1};
    std::thread::id stopThread;

protected:
    bool acceptsInput(const MediaType& type) override { return !type.isPartial(); }
    bool modifiesData() const override { return writes_; }
    Flow transform(Sample& sample) override {
        ++seen;
        if (NumberOf(sample) == failAt_)
            return reportsFailure_ ? reportError("Erreur dans le filtre") : Flow::Error;
        if (writes_) sample.data[8] = 0xEE;
        return Flow::Ok;
    }
    Flow receive(InputPin& pin, const SamplePtr& sample) override {
        ++inFlight;
        const Flow flow = InPlaceTransformFilter::receive(pin, sample);
        --inFlight;
        return flow;
    }
    void stopStreaming() override {
        ++stopCalls;
        inFlightAtStop = inFlight.load();
        stopThread = std::this_thread::get_id();
    }

private:
    bool writes_;
    int64_t failAt_;
    bool reportsFailure_;
};

// Records every sample it presents.
class RecordingRenderer : public RendererFilter {
public:
    struct Seen {
        int64_t number;
        int64_t mediaStart;
        bool discontinuity;
        bool writable;
        uint8_t byte8;
    };
    explicit RecordingRenderer(MediaType accepted = {})
        : RendererFilter("Recorder"), accepted_(std::move(accepted)) {
        addInput("In");
    }
    bool checkInputType(const InputPin&, const MediaType& type) override { return type.matches(accepted_); }
    Flow render(InputPin&, const SamplePtr& sample) override {
        std::lock_guard lock(mutex_);
        seen_.push_back({NumberOf(*sample), sample->mediaStart, sample->discontinuity, sample->writable,
                         sample->data.size() > 8 ? sample->data[8] : uint8_t(0)});
        cv_.notify_all();
        return Flow::Ok;
    }
    void endOfStream(InputPin& pin) override {
        {
            std::lock_guard lock(mutex_);
            ended_ = true;
            cv_.notify_all();
        }
        RendererFilter::endOfStream(pin);
    }
    std::vector<Seen> seen() const {
        std::lock_guard lock(mutex_);
        return seen_;
    }
    std::vector<int64_t> numbers() const {
        std::vector<int64_t> result;
        for (const auto& s : seen()) result.push_back(s.number);
        return result;
    }
    void clear() {
        std::lock_guard lock(mutex_);
        seen_.clear();
        ended_ = false;
    }
    bool waitForCount(size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(10)) const {
        std::unique_lock lock(mutex_);
        return cv_.wait_for(lock, timeout, [&] { return seen_.size() >= count; });
    }
    bool waitForEnd(std::chrono::milliseconds timeout = std::chrono::seconds(10)) const {
        std::unique_lock lock(mutex_);
        return cv_.wait_for(lock, timeout, [&] { return ended_; });
    }

private:
    MediaType accepted_;
    mutable std::mutex mutex_;
    mutable std::condition_variable cv_;
    std::vector<Seen> seen_;
    bool ended_ = false;
};

inline std::vector<int64_t> Range(int64_t first, int64_t end) {
    std::vector<int64_t> result;
    for (int64_t i = first; i < end; ++i) result.push_back(i);
    return result;
}

}  // namespace velinor::graph::testing
