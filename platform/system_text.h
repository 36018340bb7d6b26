// Text as the system gives and takes it.
#pragma once

#include "comm.h"

#include <string>
#include <string_view>

// UTF-16 text as the narrow text the system's file names are written in:
// UTF-8 on Linux (a half of a surrogate pair alone is U+FFFD), the ANSI
// code page on Windows.
std::string nativeText(std::u16string_view text);

// The system's words for the error `error` (a GetLastError code), without
// the full stop and line break they end in: on Windows in the user's
// language, in the ANSI code page; on POSIX systems the words of the
// communications layer for the codes it sets itself ("error N" for others).
std::string systemErrorText(DWORD error);
