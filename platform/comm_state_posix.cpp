// The line settings and timeouts of a port, over termios.
#include "line_settings_posix.h"
#include "port_posix.h"

#include <sys/ioctl.h>
#include <termios.h>

BOOL GetCommState(HANDLE handle, LPDCB dcb)
{
    Port *port = portFor(handle, dcb);
    if (port == nullptr)
        return FALSE;
    termios tio{};
    if (::tcgetattr(port->fd, &tio) != 0)
        return failErrno(port);
    readLineSettings(tio, *dcb);
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
    if (::tcsetattr(port->fd, TCSANOW, &wanted) != 0)
        return failErrno(port);
    // tcsetattr succeeds when the driver takes any part of the change; read
    // back to tell whether it took the framing and the speed.
    termios actual{};
    if (::tcgetattr(port->fd, &actual) != 0)
        return failErrno(port);
    if ((actual.c_cflag & framingBits) != (wanted.c_cflag & framingBits) ||
        (actual.c_iflag & flowInputBits) != (wanted.c_iflag & flowInputBits) ||
        cfgetospeed(&actual) != cfgetospeed(&wanted))
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
