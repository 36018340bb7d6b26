#include "crash_release_posix.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstddef>
#include <iterator>

#include <sys/ioctl.h>

namespace {

constexpr int crashSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};

// Each slot holds a descriptor + 1, so that the zero of static storage means
// free. Lock-free atomics are what a signal handler may read.
static_assert(std::atomic<int>::is_always_lock_free);
std::atomic<int> slots[16];

// What each crash signal did before the handler was installed; written once,
// before the handler can run.
struct sigaction previous[std::size(crashSignals)];

void onCrash(int signal, siginfo_t *info, void *)
{
    const int savedErrno = errno;
    // ioctl is a plain system call here: safe in a signal handler.
    for (std::atomic<int> &slot : slots)
        if (const int fd = slot.load() - 1; fd >= 0)
            ::ioctl(fd, TIOCNXCL);
    for (std::size_t i = 0; i < std::size(crashSignals); ++i)
        if (crashSignals[i] == signal)
            ::sigaction(signal, &previous[i], nullptr);
    errno = savedErrno;
    // A fault the processor raised happens again when the handler returns,
    // now under the previous action, with its own address and context. A
    // signal that was sent (kill, abort) is not repeated: send it again; it
    // stays blocked, and pending, until the handler returns.
    if (info == nullptr || info->si_code <= 0)
        ::raise(signal);
}

bool installHandler()
{
    struct sigaction action {};
    action.sa_sigaction = &onCrash;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK; // a stack overflow needs the alternate stack
    sigemptyset(&action.sa_mask);
    for (std::size_t i = 0; i < std::size(crashSignals); ++i)
        ::sigaction(crashSignals[i], &action, &previous[i]);
    return true;
}

} // namespace

void registerCrashRelease(int fd)
{
    static const bool installed = installHandler();
    (void)installed;
    if (fd < 0)
        return;
    for (std::atomic<int> &slot : slots) {
        int expected = 0;
        if (slot.compare_exchange_strong(expected, fd + 1))
            return;
    }
}

void unregisterCrashRelease(int fd)
{
    for (std::atomic<int> &slot : slots) {
        int expected = fd + 1;
        if (slot.compare_exchange_strong(expected, 0))
            return;
    }
}
