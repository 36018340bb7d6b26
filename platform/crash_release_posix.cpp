#include "crash_release_posix.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstddef>
#include <iterator>

#include <sys/ioctl.h>

namespace {

// Every signal whose default action ends the process with a core. The
// first four are the faults the processor raises.
constexpr int crashSignals[] = {SIGSEGV, SIGBUS,  SIGFPE, SIGILL,  SIGABRT,
                                SIGQUIT, SIGTRAP, SIGSYS, SIGXCPU, SIGXFSZ};
constexpr std::size_t processorFaults = 4;

// Each slot holds a descriptor + 1, so that the zero of static storage means
// free. Lock-free atomics are what a signal handler may read.
static_assert(std::atomic<int>::is_always_lock_free);
std::atomic<int> slots[16];

// What each crash signal did before the handler was installed; written once,
// before the handler can run.
struct sigaction previous[std::size(crashSignals)];

// The stack the handler runs on when the thread's own is used up. Besides
// the handler, it must hold a handler that was there before (a sanitizer's
// report) when a fault repeats under it.
constexpr std::size_t alternateStackSize = 64 * 1024;
alignas(16) char alternateStack[alternateStackSize];

void onCrash(int signal, siginfo_t *info, void *)
{
    const int savedErrno = errno;
    // ioctl is a plain system call here: safe in a signal handler.
    for (std::atomic<int> &slot : slots)
        if (const int fd = slot.load() - 1; fd >= 0)
            ::ioctl(fd, TIOCNXCL);
    std::size_t i = 0;
    while (crashSignals[i] != signal)
        ++i;
    ::sigaction(signal, &previous[i], nullptr);
    errno = savedErrno;
    // A fault the processor raised happens again when the handler returns,
    // now under the previous action, with its own address and context. Any
    // other signal (sent, or a breakpoint, a refused system call, a limit)
    // would not come again: send it again; it stays blocked, and pending,
    // until the handler returns.
    if (i >= processorFaults || info == nullptr || info->si_code <= 0)
        ::raise(signal);
}

bool installHandler()
{
    // The calling thread's alternate stack, unless it has one (a sanitizer
    // may have set up its own): a stack overflow leaves no room for the
    // handler on the thread's own stack.
    stack_t current{};
    if (::sigaltstack(nullptr, &current) == 0 && (current.ss_flags & SS_DISABLE) != 0) {
        stack_t ours{};
        ours.ss_sp = alternateStack;
        ours.ss_size = alternateStackSize;
        ::sigaltstack(&ours, nullptr);
    }
    struct sigaction action {};
    action.sa_sigaction = &onCrash;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    for (std::size_t i = 0; i < std::size(crashSignals); ++i) {
        // A signal ignored when the program started stays ignored; releasing
        // the port on it would leave a running program's port open to all.
        if (::sigaction(crashSignals[i], nullptr, &previous[i]) != 0 ||
            ((previous[i].sa_flags & SA_SIGINFO) == 0 && previous[i].sa_handler == SIG_IGN))
            continue;
        ::sigaction(crashSignals[i], &action, nullptr);
    }
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
    // Dropped first: a crash while the slot is being given up must not leave
    // the port exclusive.
    ::ioctl(fd, TIOCNXCL);
    for (std::atomic<int> &slot : slots) {
        int expected = fd + 1;
        if (slot.compare_exchange_strong(expected, 0))
            return;
    }
}
