#pragma once
// Ctrl+C, SIGTERM and SIGHUP stop a velinor-cli command as Escape stops it in the window: the
// running command is interrupted through the engine, what it wrote is finished and listed, and
// the program ends with a failure status. A second signal while the command stops ends the
// program at once (the default action is back from the first signal on).
//
// The handler only writes the signal's number to a pipe (async-signal-safe); a watcher thread
// reads it and calls `onStop` there, once, at the first signal. A signal that was ignored when
// the program started (nohup, a background job of a script) stays ignored.
#include <atomic>
#include <functional>
#include <thread>

namespace velinor::cli {

class StopSignals {
public:
    // Installs the handlers and starts the watcher. `onStop` runs on the watcher thread.
    explicit StopSignals(std::function<void(int signal)> onStop);
    // Puts the dispositions back and stops the watcher.
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // The first signal received, 0 while none came. Any thread.
    int Received() const { return received_.load(); }

private:
    void watch();

    std::function<void(int)> onStop_;
    std::atomic<int> received_{0};
    int readFd_ = -1;
    std::thread watcher_;
};

// How the messages name a stop signal ("Ctrl+C (SIGINT)").
const char* StopSignalName(int signal);

// The exit status of a program stopped by `signal` after cleaning up, as a shell shows a
// program that the signal ended (130 for Ctrl+C).
inline int StoppedStatus(int signal) {
    return 128 + signal;
}

}  // namespace velinor::cli
