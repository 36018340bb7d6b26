// What the POSIX communications layer keeps for an open port behind its
// HANDLE, and the checks every call makes of a handle and its arguments.
#pragma once

#include "comm.h"
#include "last_error_posix.h"

#include <cerrno>

struct Port {
    int fd;
    COMMTIMEOUTS timeouts{};
    // Set once the device has reported an I/O error: a vanished USB adapter
    // or a closed pseudo-terminal master. Every call then fails.
    bool lost = false;
};

// Fails with errno's error; an I/O error means the port's device is gone.
inline BOOL failErrno(Port *port = nullptr)
{
    const int err = errno;
    if (port != nullptr && err == EIO)
        port->lost = true;
    return commFailErrno(err);
}

// The port behind a handle, or null (with the last error set) when the handle
// is not an open port or its device is gone.
inline Port *portOf(HANDLE handle)
{
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
        commFail(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    auto *port = static_cast<Port *>(handle);
    if (port->lost) {
        commFail(ERROR_DEVICE_NOT_CONNECTED);
        return nullptr;
    }
    return port;
}

// The port for a call that fills in or reads `argument`; null (with the last
// error set) when the handle is no open port or the argument is missing.
inline Port *portFor(HANDLE handle, const void *argument)
{
    Port *port = portOf(handle);
    if (port != nullptr && argument == nullptr) {
        commFail(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return port;
}

// The port for a read or write of `count` bytes at `buffer`, with the count
// of bytes moved set to 0; null (with the last error set) when the call
// cannot go ahead. Overlapped I/O is not offered.
inline Port *transferPort(HANDLE handle, const void *buffer, DWORD count, LPDWORD moved,
                          LPOVERLAPPED overlapped)
{
    if (moved != nullptr)
        *moved = 0;
    Port *port = portOf(handle);
    if (port != nullptr && ((buffer == nullptr && count > 0) || overlapped != nullptr)) {
        commFail(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return port;
}
