#include "last_error_posix.h"

#include <cerrno>

namespace {

thread_local DWORD lastError = ERROR_SUCCESS;
thread_local int lastErrno = 0; // the errno behind lastError, else 0

DWORD errorFromErrno(int err)
{
    switch (err) {
    case ENOENT:
    case ENOTDIR:
    case ENXIO:
    case ENODEV:
        return ERROR_FILE_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EBUSY:
    case EWOULDBLOCK:
        return ERROR_ACCESS_DENIED;
    case EBADF:
        return ERROR_INVALID_HANDLE;
    case ENOTTY:
        return ERROR_NOT_SUPPORTED;
    case EINVAL:
        return ERROR_INVALID_PARAMETER;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    case EIO:
    case EPIPE:
        return ERROR_DEVICE_NOT_CONNECTED;
    case ETIMEDOUT:
        return ERROR_SEM_TIMEOUT;
    default:
        return ERROR_GEN_FAILURE;
    }
}

} // namespace

BOOL commFail(DWORD error)
{
    lastError = error;
    lastErrno = 0;
    return FALSE;
}

BOOL commFailErrno(int err)
{
    commFail(errorFromErrno(err));
    lastErrno = err;
    return FALSE;
}

int commLastErrno()
{
    return lastErrno;
}

DWORD GetLastError()
{
    return lastError;
}

void SetLastError(DWORD error)
{
    commFail(error);
}
