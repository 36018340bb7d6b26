#include "device.h"
#include "line_speed_posix.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <utility>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

int msLeft(Clock::time_point deadline)
{
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    return static_cast<int>(std::max<long long>(left.count(), 0));
}

} // namespace

PtyDevice::PtyDevice()
{
    char name[128] = {};
    if (::openpty(&master_, &slave_, name, nullptr, nullptr) != 0)
        throw std::runtime_error(std::string("openpty: ") + std::strerror(errno));
    path_ = name;
    ::fcntl(master_, F_SETFD, FD_CLOEXEC);
    ::fcntl(slave_, F_SETFD, FD_CLOEXEC);
    // A port keeps whatever the last program left; leave this one as a login
    // shell or a modem tool might have, so that the program must set it up.
    termios tio{};
    if (::tcgetattr(slave_, &tio) != 0)
        throw std::runtime_error(std::string("tcgetattr: ") + std::strerror(errno));
    tio.c_cflag |= CSTOPB | CRTSCTS;
    tio.c_iflag |= INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY | ISTRIP;
    tio.c_lflag |= ECHO | ICANON | ISIG | IEXTEN;
    tio.c_oflag |= OPOST | ONLCR;
    if (::tcsetattr(slave_, TCSANOW, &tio) != 0)
        throw std::runtime_error(std::string("tcsetattr: ") + std::strerror(errno));
}

PtyDevice::~PtyDevice()
{
    unplug();
    if (slave_ >= 0)
        ::close(slave_);
}

void PtyDevice::write(std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = ::write(master_, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw std::runtime_error(std::string("writing to the master: ") + std::strerror(errno));
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

bool PtyDevice::waitQueued(std::size_t count)
{
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    for (;;) {
        pollfd pfd{slave_, POLLIN, 0};
        ::poll(&pfd, 1, 0);
        int queued = 0;
        if (::ioctl(slave_, FIONREAD, &queued) != 0)
            return false;
        if (static_cast<std::size_t>(queued) >= count)
            return true;
        if (msLeft(deadline) == 0)
            return false;
        ::poll(&pfd, 1, 1); // wait for the kernel to move more bytes over
    }
}

std::string PtyDevice::read(std::size_t count, std::chrono::milliseconds timeout)
{
    const auto deadline = Clock::now() + timeout;
    std::string got;
    char buffer[4096];
    while (got.size() < count) {
        pollfd pfd{master_, POLLIN, 0};
        if (::poll(&pfd, 1, msLeft(deadline)) <= 0)
            break;
        const ssize_t n = ::read(master_, buffer, std::min(sizeof buffer, count - got.size()));
        if (n <= 0)
            break;
        got.append(buffer, static_cast<std::size_t>(n));
    }
    return got;
}

void PtyDevice::fillLine()
{
    // Written through the test's own descriptor on the same terminal. The
    // kernel makes room in batches as it moves bytes along, so fill until no
    // room has come for a while.
    const int fl = ::fcntl(slave_, F_GETFL);
    ::fcntl(slave_, F_SETFL, fl | O_NONBLOCK);
    const std::string block(4096, 'f');
    for (pollfd pfd{slave_, POLLOUT, 0}; ::poll(&pfd, 1, 300) > 0;) {
        while (::write(slave_, block.data(), block.size()) > 0) {
        }
    }
    ::fcntl(slave_, F_SETFL, fl);
}

void PtyDevice::unplug()
{
    if (master_ >= 0)
        ::close(master_);
    master_ = -1;
}

std::string PtyDevice::lineSettings() const
{
    termios tio{};
    if (::tcgetattr(slave_, &tio) != 0)
        return "unknown";
    const char sizes[] = {'5', '6', '7', '8'};
    const char parity = (tio.c_cflag & PARENB) ? ((tio.c_cflag & PARODD) ? 'O' : 'E') : 'N';
    std::string settings = std::to_string(terminalRate(slave_)) + ' ' +
                           sizes[(tio.c_cflag & CSIZE) / CS6] + parity +
                           ((tio.c_cflag & CSTOPB) ? '2' : '1');
    for (const auto &[bit, name] : {std::pair{IXON, " ixon"}, {IXOFF, " ixoff"}, {IXANY, " ixany"}})
        if (tio.c_iflag & bit)
            settings += name;
    if (tio.c_cflag & CRTSCTS)
        settings += " crtscts";
    return settings;
}

PortMapping::PortMapping(const char *name, const std::optional<std::string> &path) : name_(name)
{
    if (const char *value = std::getenv(name))
        previous_ = value;
    if (path)
        ::setenv(name, path->c_str(), 1);
    else
        ::unsetenv(name);
}

PortMapping::~PortMapping()
{
    if (previous_)
        ::setenv(name_, previous_->c_str(), 1);
    else
        ::unsetenv(name_);
}

std::string notATerminal()
{
    // Plain storage, so that it is still there when the file is removed at exit.
    static char name[] = "/tmp/comterm-plain-XXXXXX";
    static const bool made = [] {
        const int fd = ::mkstemp(name);
        if (fd < 0)
            throw std::runtime_error(std::string("mkstemp: ") + std::strerror(errno));
        ::close(fd);
        std::atexit([] { ::unlink(name); });
        return true;
    }();
    (void)made;
    return name;
}

bool runningOnWine()
{
    return false;
}
