// The line settings and timeouts of a port, over termios.
#include "line_settings_posix.h"
#include "line_speed_posix.h"
#include "port_posix.h"

#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>

namespace {

// A pseudo-terminal carries every byte whole and has no line to frame: the
// kernel keeps it at 8 bits without parity whatever it is told. Any byte
// size and parity are as good as taken there, as on Windows' virtual ports.
bool isPseudoTerminal(int fd)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode))
        return false;
    const unsigned int kind = major(st.st_rdev);
    constexpr unsigned int firstSlave = 136, lastSlave = 143, oldSlave = 3;
    return (kind >= firstSlave && kind <= lastSlave) || kind == oldSlave;
}

// Whether the driver runs the line at the rate asked for: exactly for a rate
// of the Bnnn table, within the 3 % a UART's divisor may miss by otherwise.
bool rateTaken(int fd, const termios &wanted, const termios &actual, DWORD rate)
{
    if (!hasOtherRate(wanted))
        return cfgetospeed(&actual) == cfgetospeed(&wanted);
    const double real = terminalRate(fd);
    return real >= rate * 0.97 && real <= rate * 1.03;
}

} // namespace

BOOL GetCommState(HANDLE handle, LPDCB dcb)
{
    Port *port = portFor(handle, dcb);
    if (port == nullptr)
        return FALSE;
    termios tio{};
    if (::tcgetattr(port->fd, &tio) != 0)
        return failErrno(port);
    readLineSettings(tio, *dcb);
    if (const DWORD rate = terminalRate(port->fd); rate != 0)
        dcb->BaudRate = rate;
    // A pseudo-terminal has no modem lines: DTR reads as on.
    if (int lines = 0; ::ioctl(port->fd, TIOCMGET, &lines) == 0) {
        dcb->fDtrControl = (lines & TIOCM_DTR) ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
        if (dcb->fRtsControl != RTS_CONTROL_HANDSHAKE)
            dcb->fRtsControl = (lines & TIOCM_RTS) ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
    }
    return TRUE;
}

BOOL SetCommState(HANDLE handle, LPDCB dcb)
{
    Port *port = portFor(handle, dcb);
    if (port == nullptr)
        return FALSE;
    termios wanted = dcb->tio;
    if (!writeLineSettings(wanted, *dcb))
        return commFail(ERROR_INVALID_PARAMETER);
    // glibc reads the framing back after the kernel took the settings and
    // reports EINVAL when it differs, which on a pseudo-terminal it always
    // may: the read-back below judges that case.
    const bool pseudoTerminal = isPseudoTerminal(port->fd);
    if (::tcsetattr(port->fd, TCSANOW, &wanted) != 0 && !(errno == EINVAL && pseudoTerminal))
        return failErrno(port);
    if (hasOtherRate(wanted) && !setTerminalRate(port->fd, dcb->BaudRate))
        return failErrno(port);
    // tcsetattr succeeds when the driver takes any part of the change; read
    // back to tell whether it took the framing and the speed.
    termios actual{};
    if (::tcgetattr(port->fd, &actual) != 0)
        return failErrno(port);
    const tcflag_t framing = pseudoTerminal ? framingBits & ~tcflag_t(CSIZE | PARENB) : framingBits;
    if ((actual.c_cflag & framing) != (wanted.c_cflag & framing) ||
        (actual.c_iflag & flowInputBits) != (wanted.c_iflag & flowInputBits) ||
        !rateTaken(port->fd, wanted, actual, dcb->BaudRate))
        return commFail(ERROR_INVALID_PARAMETER);
    // DTR and RTS, where the port has them (a pseudo-terminal has not).
    const auto setLine = [fd = port->fd](int line, bool on) {
        ::ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &line);
    };
    setLine(TIOCM_DTR, dcb->fDtrControl == DTR_CONTROL_ENABLE);
    if (dcb->fRtsControl != RTS_CONTROL_HANDSHAKE)
        setLine(TIOCM_RTS, dcb->fRtsControl == RTS_CONTROL_ENABLE);
    return TRUE;
}

BOOL GetCommTimeouts(HANDLE handle, LPCOMMTIMEOUTS timeouts)
{
    Port *port = portFor(handle, timeouts);
    if (port == nullptr)
        return FALSE;
    *timeouts = port->timeouts;
    return TRUE;
}

BOOL SetCommTimeouts(HANDLE handle, LPCOMMTIMEOUTS timeouts)
{
    Port *port = portFor(handle, timeouts);
    if (port == nullptr)
        return FALSE;
    port->timeouts = *timeouts;
    return TRUE;
}

BOOL SetupComm(HANDLE handle, DWORD inQueue, DWORD outQueue)
{
    (void)inQueue;
    (void)outQueue;
    return portOf(handle) != nullptr ? TRUE : FALSE;
}
