#include "platform/event_loop_dispatcher.h"

#include <cstdio>
#include <exception>

namespace velinor {

EventLoopDispatcher::EventLoopDispatcher() : uiThread_(std::this_thread::get_id()) {}

// Calls still queued are dropped; a worker blocked in invoke must have been stopped before.
EventLoopDispatcher::~EventLoopDispatcher() = default;

void EventLoopDispatcher::invoke(const std::function<void()>& call) {
    if (OnUiThread()) {
        Call direct{call, nullptr};
        runOne(direct);
        return;
    }
    auto finished = std::make_shared<bool>(false);
    std::unique_lock lock(mutex_);
    queue_.push_back(Call{call, finished});
    queued_.notify_all();
    finished_.wait(lock, [&] { return *finished; });
}

void EventLoopDispatcher::post(std::function<void()> call) {
    std::lock_guard lock(mutex_);
    queue_.push_back(Call{std::move(call), nullptr});
    queued_.notify_all();
}

// A call that throws must not take the loop down, nor leave its invoker waiting.
void EventLoopDispatcher::runOne(Call& call) {
    try {
        call.run();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "Erreur inattendue\n");
    }
    if (call.finished) {
        std::lock_guard lock(mutex_);
        *call.finished = true;
        finished_.notify_all();
    }
}

int EventLoopDispatcher::RunPending() {
    std::deque<Call> batch;
    {
        std::lock_guard lock(mutex_);
        batch.swap(queue_);
    }
    for (auto& call : batch) runOne(call);
    return int(batch.size());
}

void EventLoopDispatcher::RunUntil(const std::function<bool()>& done, std::chrono::milliseconds poll) {
    while (!done()) {
        Call call;
        {
            std::unique_lock lock(mutex_);
            if (!queued_.wait_for(lock, poll, [&] { return !queue_.empty(); })) continue;
            call = std::move(queue_.front());
            queue_.pop_front();
        }
        runOne(call);
    }
}

}  // namespace velinor
