#pragma once
// A plain event loop standing for the UI thread in velinor-cli and the tests. The thread that
// constructs it is the UI thread; it runs queued calls in RunPending and RunUntil, any thread
// may queue them.
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/dispatcher.h"

namespace velinor {

class EventLoopDispatcher final : public UiDispatcher {
public:
    EventLoopDispatcher();
    ~EventLoopDispatcher() override;
    EventLoopDispatcher(const EventLoopDispatcher&) = delete;
    EventLoopDispatcher& operator=(const EventLoopDispatcher&) = delete;

    void invoke(const std::function<void()>& call) override;
    void post(std::function<void()> call) override;

    bool OnUiThread() const { return std::this_thread::get_id() == uiThread_; }

    // UI thread: runs the calls queued so far; returns how many ran.
    int RunPending();
    // UI thread: runs queued calls as they come until `done` answers true (checked after each
    // call and at least every `poll`).
    void RunUntil(const std::function<bool()>& done,
                  std::chrono::milliseconds poll = std::chrono::milliseconds(50));

private:
    struct Call {
        std::function<void()> run;
        // Set for invoke: the caller waits on it.
        std::shared_ptr<bool> finished;
    };
    void runOne(Call& call);

    std::thread::id uiThread_;
    std::mutex mutex_;
    std::condition_variable queued_;
    std::condition_variable finished_;
    std::deque<Call> queue_;
};

}  // namespace velinor
