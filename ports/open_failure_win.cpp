#include "open_failure.h"

#include "system_text.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace {

// ANSI code-page text as UTF-8, the boxes' encoding.
std::string utf8FromAnsi(const std::string &text)
{
    const int wideSize =
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(std::max(wideSize, 0)), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                        wideSize);
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(std::max(size, 0)), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), size,
                        nullptr, nullptr);
    return utf8;
}

// The system's reason, and what the user can do about it where that is clear.
std::string reason(DWORD error, const std::string &name, const PortDevice &device)
{
    std::string text = systemErrorText(error);
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        // The standard port is missing: say where the user's own goes.
        if (device.source == PortDevice::Source::Default)
            text += "; " + mapHint(name, "COM7");
        break;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
        // A COM port opens once: this is how Windows says another handle has it.
        text += "; in use by another program or window";
        break;
    case ERROR_INVALID_FUNCTION:
    case ERROR_INVALID_HANDLE:
    case ERROR_NOT_SUPPORTED:
        // What the settings calls say of a device that is no serial port.
        text += "; not a serial port";
        break;
    default:
        break;
    }
    return text;
}

} // namespace

std::string systemReason(const std::string &name, const PortDevice &device)
{
    const DWORD error = GetLastError();
    std::string text = reason(error, name, device);
    SetLastError(error);
    return text;
}

std::string reportPortFailure(const std::string &name, const PortDevice &device,
                              const std::string &why)
{
    const DWORD error = GetLastError();
    const std::string line = describePort(name, device) + ": " + why;
    std::fprintf(stderr, "comterm: %s\n", line.c_str());
    std::fflush(stderr);
    SetLastError(error);
    return utf8FromAnsi(line);
}

std::string lastFailureText()
{
    const DWORD error = GetLastError();
    std::string text = utf8FromAnsi(systemErrorText(error));
    SetLastError(error);
    return text;
}
