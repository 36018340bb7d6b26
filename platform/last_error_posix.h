// The last error of the POSIX communications layer: per thread, as
// GetLastError reports it, with errno mapped to ERROR_* codes in one table,
// and the errno behind it for the messages that want the system's own words.
#pragma once

#include "comm.h"

// Sets this thread's last error to `error`, with no errno behind it; returns
// FALSE, for `return commFail(...)`.
BOOL commFail(DWORD error);

// Sets this thread's last error from the errno `err`; returns FALSE.
BOOL commFailErrno(int err);

// The errno behind this thread's last failure; 0 when it was not a system
// call's.
int commLastErrno();
