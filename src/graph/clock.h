#pragma once
// The reference clock a running graph presents against. now() may be called from any thread.
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>

namespace velinor::graph {

class Clock {
public:
    virtual ~Clock() = default;
    // 100 ns units, never going backwards.
    virtual int64_t now() const = 0;
    // `wake` is called (on any thread) whenever now() moves other than with real time, so that
    // waits computed from real time re-check. One listener; the graph using the clock sets it.
    virtual void setJumpListener(std::function<void()> wake) { (void)wake; }
};

// The steady clock of the machine.
class SystemClock : public Clock {
public:
    int64_t now() const override {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
                   .count() /
               100;
    }
};

// A clock that moves only when told to; for tests and for stepping a graph by hand.
class ManualClock : public Clock {
public:
    int64_t now() const override {
        std::lock_guard lock(mutex_);
        return now_;
    }
    void advanceTo(int64_t time) {
        std::function<void()> wake;
        {
            std::lock_guard lock(mutex_);
            if (time > now_) now_ = time;
            wake = wake_;
        }
        if (wake) wake();
    }
    void setJumpListener(std::function<void()> wake) override {
        std::lock_guard lock(mutex_);
        wake_ = std::move(wake);
    }

private:
    mutable std::mutex mutex_;
    int64_t now_ = 0;
    std::function<void()> wake_;
};

}  // namespace velinor::graph
