#include "comm.h"
#include "crash_release_posix.h"
#include "line_settings_posix.h"
#include "port_posix.h"
#include "write_stall_posix.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

// A write gives up when the line has taken no byte for this long.
std::atomic<std::chrono::milliseconds::rep> writeStallMs{
    std::chrono::milliseconds(writeStallLimit).count()};

} // namespace

void setWriteStallLimit(std::chrono::milliseconds limit)
{
    writeStallMs = (limit > std::chrono::milliseconds::zero() ? limit : writeStallLimit).count();
}

HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                   DWORD disposition, DWORD flags, HANDLE templateFile)
{
    (void)security;
    const DWORD rw = access & (GENERIC_READ | GENERIC_WRITE);
    if (name == nullptr || rw == 0 || share != 0 || disposition != OPEN_EXISTING || flags != 0 ||
        templateFile != nullptr) {
        commFail(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    // The path as given, which the device map has already chosen: an
    // absolute one, since a relative one would depend on the folder the
    // program was started in.
    const std::string path = name;
    if (path.empty() || path.front() != '/') {
        commFail(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    const int mode = rw == (GENERIC_READ | GENERIC_WRITE) ? O_RDWR
                     : rw == GENERIC_READ                 ? O_RDONLY
                                                          : O_WRONLY;
    // O_NONBLOCK so that a port waiting for carrier cannot hold up the open.
    const int fd = ::open(path.c_str(), mode | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        failErrno();
        return INVALID_HANDLE_VALUE;
    }
    const auto giveUp = [fd] {
        failErrno();
        ::close(fd);
        return INVALID_HANDLE_VALUE;
    };
    // The lock keeps out every other handle, ours and other programs' that
    // lock too, root included; TIOCEXCL keeps out other programs that do not
    // lock. A path that is not a terminal fails later, at the settings.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        return giveUp();
    // Known to the crash release before it becomes exclusive; a failure from
    // here on drops exclusive mode before the descriptor goes (only now:
    // exclusive mode belongs to the terminal, and a port held by another
    // handle must keep it).
    registerCrashRelease(fd);
    const auto release = [fd, &giveUp] {
        const int err = errno;
        unregisterCrashRelease(fd);
        errno = err;
        return giveUp();
    };
    if (::ioctl(fd, TIOCEXCL) != 0 && errno != ENOTTY)
        return release();
    termios tio{};
    if (::tcgetattr(fd, &tio) == 0) {
        makeRaw(tio);
        if (::tcsetattr(fd, TCSANOW, &tio) != 0)
            return release();
    }
    const int fl = ::fcntl(fd, F_GETFL);
    if (fl < 0 || ::fcntl(fd, F_SETFL, fl & ~O_NONBLOCK) != 0)
        return release();
    return new Port{fd};
}

BOOL ClearCommError(HANDLE handle, LPDWORD errors, LPCOMSTAT stat)
{
    Port *port = portOf(handle);
    if (port == nullptr)
        return FALSE;
    // On a pseudo-terminal the kernel hands freshly written bytes to the input
    // queue from a work queue; polling makes it do so now, so the count below
    // is not short.
    pollfd pfd{port->fd, POLLIN, 0};
    if (::poll(&pfd, 1, 0) < 0 && errno != EINTR)
        return failErrno(port);
    int in = 0;
    if (::ioctl(port->fd, FIONREAD, &in) != 0)
        return failErrno(port);
    if (in == 0 && (pfd.revents & (POLLHUP | POLLERR))) {
        port->lost = true;
        return commFail(ERROR_DEVICE_NOT_CONNECTED);
    }
    int out = 0;
    if (::ioctl(port->fd, TIOCOUTQ, &out) != 0)
        out = 0;
    if (errors != nullptr)
        *errors = 0;
    if (stat != nullptr) {
        *stat = COMSTAT{};
        stat->cbInQue = static_cast<DWORD>(std::max(in, 0));
        stat->cbOutQue = static_cast<DWORD>(std::max(out, 0));
    }
    return TRUE;
}

BOOL ReadFile(HANDLE handle, LPVOID buffer, DWORD count, LPDWORD read, LPOVERLAPPED overlapped)
{
    Port *port = transferPort(handle, buffer, count, read, overlapped);
    if (port == nullptr)
        return FALSE;
    auto *bytes = static_cast<char *>(buffer);
    DWORD total = 0;
    while (total < count) {
        const ssize_t n = ::read(port->fd, bytes + total, count - total);
        if (n > 0) {
            total += static_cast<DWORD>(n);
        } else if (n == 0 || errno == EAGAIN) {
            break; // nothing more is waiting
        } else if (errno != EINTR) {
            const BOOL failed = failErrno(port);
            if (total == 0)
                return failed;
            break; // hand over what did arrive; the next call reports the error
        }
    }
    if (read != nullptr)
        *read = total;
    return TRUE;
}

BOOL WriteFile(HANDLE handle, LPCVOID buffer, DWORD count, LPDWORD written, LPOVERLAPPED overlapped)
{
    Port *port = transferPort(handle, buffer, count, written, overlapped);
    if (port == nullptr)
        return FALSE;
    using Clock = std::chrono::steady_clock;
    using std::chrono::milliseconds;
    const COMMTIMEOUTS &t = port->timeouts;
    const auto totalMs =
        std::uint64_t{t.WriteTotalTimeoutMultiplier} * count + t.WriteTotalTimeoutConstant;
    const auto start = Clock::now();
    // A deadline further away than the clock can count is no deadline.
    const auto room = std::chrono::floor<milliseconds>(Clock::time_point::max() - start).count();
    const auto deadline = totalMs > 0 && totalMs < static_cast<std::uint64_t>(room)
                              ? start + milliseconds(totalMs)
                              : Clock::time_point::max();
    const std::chrono::milliseconds writeStall(writeStallMs.load());
    auto stallDeadline = start + writeStall;
    const int fl = ::fcntl(port->fd, F_GETFL);
    if (fl < 0 || ::fcntl(port->fd, F_SETFL, fl | O_NONBLOCK) != 0)
        return failErrno(port);
    const auto *bytes = static_cast<const char *>(buffer);
    DWORD total = 0;
    BOOL ok = TRUE;
    while (ok && total < count) {
        const ssize_t n = ::write(port->fd, bytes + total, count - total);
        if (n > 0) {
            total += static_cast<DWORD>(n);
            stallDeadline = Clock::now() + writeStall;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN) {
            ok = failErrno(port);
            break;
        }
        const auto until = std::min(deadline, stallDeadline);
        const auto left = std::chrono::ceil<milliseconds>(until - Clock::now()).count();
        pollfd pfd{port->fd, POLLOUT, 0};
        if (left > 0 && ::poll(&pfd, 1, static_cast<int>(left)) != 0)
            continue;
        if (Clock::now() >= stallDeadline)
            ok = commFail(ERROR_SEM_TIMEOUT);
        else if (Clock::now() >= deadline)
            break; // the timeout passed: return what went out
    }
    ::fcntl(port->fd, F_SETFL, fl);
    if (written != nullptr)
        *written = total;
    return ok;
}

BOOL PurgeComm(HANDLE handle, DWORD flags)
{
    Port *port = portOf(handle);
    if (port == nullptr)
        return FALSE;
    if (flags & ~(PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR))
        return commFail(ERROR_INVALID_PARAMETER);
    const bool rx = flags & PURGE_RXCLEAR;
    const bool tx = flags & PURGE_TXCLEAR;
    if ((rx || tx) && ::tcflush(port->fd, rx && tx ? TCIOFLUSH : rx ? TCIFLUSH : TCOFLUSH) != 0)
        return failErrno(port);
    return TRUE;
}

BOOL CloseHandle(HANDLE handle)
{
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE)
        return commFail(ERROR_INVALID_HANDLE);
    auto *port = static_cast<Port *>(handle);
    unregisterCrashRelease(port->fd);
    // Exclusive mode stays with the terminal while any other descriptor
    // keeps it open (a pseudo-terminal's other side, a modem manager): drop
    // it, or nobody but root could open the port again. Closing the
    // descriptor releases the lock with it.
    ::ioctl(port->fd, TIOCNXCL);
    const int rc = ::close(port->fd);
    delete port;
    if (rc != 0 && errno != EINTR && errno != EIO)
        return failErrno();
    return TRUE;
}
