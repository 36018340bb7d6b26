// Conversions between the window's UTF-16 text and narrow text in the
// system's ANSI code page (or another code page).
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace ansi {

// `text` in `codePage`; a character the code page lacks becomes its default
// character ('?').
std::string narrow(std::wstring_view text, UINT codePage = CP_ACP);

// `bytes` read in `codePage`.
std::wstring widen(std::string_view bytes, UINT codePage = CP_ACP);

} // namespace ansi
