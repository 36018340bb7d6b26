#include "end_signals.h"

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <iterator>

#include <fcntl.h>
#include <unistd.h>

namespace {

static_assert(std::atomic<int>::is_always_lock_free);
std::atomic<int> wakeFd{-1}; // the pipe's write end, for the handler

void onEndSignal(int)
{
    const int savedErrno = errno;
    const char byte = 0;
    // Non-blocking: when the pipe is full, the loop has been woken already.
    [[maybe_unused]] const ssize_t n = ::write(wakeFd.load(), &byte, 1);
    errno = savedErrno;
}

} // namespace

EndSignals::EndSignals(QObject *owner) : QObject(owner)
{
    if (::pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0)
        return; // the signals keep their default action: the program still ends
    wakeFd.store(pipe_[1]);
    notifier_ = std::make_unique<QSocketNotifier>(pipe_[0], QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &EndSignals::drain);

    struct sigaction action {};
    action.sa_handler = &onEndSignal;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (std::size_t i = 0; i < std::size(handled); ++i) {
        if (::sigaction(handled[i], nullptr, &previous_[i]) != 0 ||
            ((previous_[i].sa_flags & SA_SIGINFO) == 0 && previous_[i].sa_handler == SIG_IGN))
            continue;
        installed_[i] = ::sigaction(handled[i], &action, nullptr) == 0;
    }
}

EndSignals::~EndSignals()
{
    for (std::size_t i = 0; i < std::size(handled); ++i)
        if (installed_[i])
            ::sigaction(handled[i], &previous_[i], nullptr);
    wakeFd.store(-1);
    notifier_.reset();
    for (const int fd : pipe_)
        if (fd >= 0)
            ::close(fd);
}

void EndSignals::drain()
{
    char bytes[64];
    while (::read(pipe_[0], bytes, sizeof bytes) > 0) {
    }
    emit arrived();
}
