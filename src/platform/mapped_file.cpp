#include "platform/mapped_file.h"

#include <sys/mman.h>

#include <atomic>
#include <csetjmp>
#include <csignal>
#include <cstring>
#include <mutex>

namespace velinor {

namespace {

// The copy in progress on this thread: where to return to when its source range faults.
struct CopyInProgress {
    sigjmp_buf resume;
    const uint8_t* begin;
    const uint8_t* end;
};

thread_local CopyInProgress* tCopy = nullptr;
struct sigaction gPrevious {};
std::once_flag gInstalled;

void OnBusError(int signal, siginfo_t* info, void* context) {
    CopyInProgress* copy = tCopy;
    const auto* at = static_cast<const uint8_t*>(info->si_addr);
    if (copy && at >= copy->begin && at < copy->end) {
        tCopy = nullptr;
        siglongjmp(copy->resume, 1);
    }
    // Not a fault of ours.
    if (gPrevious.sa_flags & SA_SIGINFO) {
        if (gPrevious.sa_sigaction) {
            gPrevious.sa_sigaction(signal, info, context);
            return;
        }
    } else if (gPrevious.sa_handler != SIG_DFL && gPrevious.sa_handler != SIG_IGN) {
        gPrevious.sa_handler(signal);
        return;
    }
    // Returning runs the faulting access again, which now ends the process as it would have.
    std::signal(signal, SIG_DFL);
}

void InstallHandler() {
    struct sigaction action {};
    action.sa_sigaction = OnBusError;
    // SA_NODEFER: leaving the handler by siglongjmp must not leave SIGBUS blocked on the thread,
    // or its next fault would kill the process.
    action.sa_flags = SA_SIGINFO | SA_NODEFER | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    sigaction(SIGBUS, &action, &gPrevious);
}

// Kept out of line and apart from everything else so that nothing lives across sigsetjmp.
[[gnu::noinline]] bool GuardedCopy(void* dst, const uint8_t* src, size_t n) noexcept {
    CopyInProgress copy;
    copy.begin = src;
    copy.end = src + n;
    if (sigsetjmp(copy.resume, 0) != 0) return false;
    // The fences keep the compiler from moving the copy out from between the two stores, or from
    // dropping the first store as overwritten: the handler is the one reader of tCopy.
    tCopy = &copy;
    std::atomic_signal_fence(std::memory_order_seq_cst);
    std::memcpy(dst, copy.begin, size_t(copy.end - copy.begin));
    std::atomic_signal_fence(std::memory_order_seq_cst);
    tCopy = nullptr;
    return true;
}

}  // namespace

std::unique_ptr<MappedFile> MappedFile::Map(int fd, size_t size) noexcept {
    if (fd < 0 || size == 0) return nullptr;
    std::call_once(gInstalled, InstallHandler);
    void* at = ::mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
    if (at == MAP_FAILED) return nullptr;
    ::madvise(at, size, MADV_SEQUENTIAL);
    try {
        return std::unique_ptr<MappedFile>(new MappedFile(static_cast<const uint8_t*>(at), size));
    } catch (...) {
        ::munmap(at, size);
        return nullptr;
    }
}

MappedFile::~MappedFile() {
    ::munmap(const_cast<uint8_t*>(data_), size_);
}

bool MappedFile::Copy(uint64_t offset, void* dst, size_t n) const noexcept {
    if (offset > size_ || n > size_ - offset) return false;
    if (n == 0) return true;
    return GuardedCopy(dst, data_ + offset, n);
}

}  // namespace velinor
