#pragma once
// The way worker threads reach the UI thread: `invoke` runs a call there and waits for it
// (a synchronized call), `post` queues it and returns at once (a posted window message).
// The Qt front implements it with queued calls; velinor-cli and the tests with a plain event loop.
#include <functional>

namespace velinor {

class UiDispatcher {
public:
    virtual ~UiDispatcher() = default;
    // Runs `call` on the UI thread and returns when it has run. Callable from any thread;
    // from the UI thread itself it runs the call directly.
    virtual void invoke(const std::function<void()>& call) = 0;
    // Queues `call` for the UI thread and returns at once. Callable from any thread.
    virtual void post(std::function<void()> call) = 0;
};

}  // namespace velinor
