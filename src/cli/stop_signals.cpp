#include "cli/stop_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace velinor::cli {
namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr int kCount = int(sizeof kSignals / sizeof kSignals[0]);

// Shared with the handler: written before the handlers are installed and after they are
// removed, only read while they are.
volatile sig_atomic_t gWriteFd = -1;
bool gInstalled[kCount] = {};
struct sigaction gPrevious[kCount];

extern "C" void OnStopSignal(int signal) {
    const int saved = errno;
    // From now on a signal ends the program at once.
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    for (int i = 0; i < kCount; ++i)
        if (gInstalled[i]) sigaction(kSignals[i], &fallback, nullptr);
    const unsigned char byte = static_cast<unsigned char>(signal);
    if (gWriteFd >= 0 && write(gWriteFd, &byte, 1) < 0) {
        // A full pipe already holds a stop for the watcher.
    }
    errno = saved;
}

}  // namespace

const char* StopSignalName(int signal) {
    switch (signal) {
        case SIGINT:
            return "Ctrl+C (SIGINT)";
        case SIGTERM:
            return "le signal SIGTERM";
        case SIGHUP:
            return "la fermeture du terminal (SIGHUP)";
        default:
            return "un signal";
    }
}

StopSignals::StopSignals(std::function<void(int)> onStop) : onStop_(std::move(onStop)) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("Impossible de surveiller les signaux d'arrêt.");
    // The handler never waits on a full pipe; one byte is all the watcher needs.
    fcntl(fds[1], F_SETFL, fcntl(fds[1], F_GETFL) | O_NONBLOCK);
    readFd_ = fds[0];
    gWriteFd = fds[1];
    watcher_ = std::thread([this] { watch(); });
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    for (const int signal : kSignals) sigaddset(&action.sa_mask, signal);
    action.sa_flags = SA_RESTART;
    for (int i = 0; i < kCount; ++i) {
        struct sigaction current {};
        gInstalled[i] = false;
        if (sigaction(kSignals[i], nullptr, &current) != 0 || current.sa_handler == SIG_IGN) continue;
        gPrevious[i] = current;
        gInstalled[i] = true;
        sigaction(kSignals[i], &action, nullptr);
    }
}

StopSignals::~StopSignals() {
    for (int i = 0; i < kCount; ++i)
        if (gInstalled[i]) sigaction(kSignals[i], &gPrevious[i], nullptr);
    // Byte 0, never a signal's number, tells the watcher to end.
    const unsigned char stop = 0;
    while (write(gWriteFd, &stop, 1) < 0 && errno == EINTR) {
    }
    watcher_.join();
    for (int i = 0; i < kCount; ++i) gInstalled[i] = false;
    close(gWriteFd);
    gWriteFd = -1;
    close(readFd_);
}

void StopSignals::watch() {
    for (;;) {
        unsigned char byte = 0;
        const ssize_t n = read(readFd_, &byte, 1);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0 || byte == 0) return;
        int expected = 0;
        if (received_.compare_exchange_strong(expected, int(byte)) && onStop_) onStop_(int(byte));
    }
}

}  // namespace velinor::cli
