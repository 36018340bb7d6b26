#include "open_failure.h"

#include <cstdio>
#include <string>

void reportOpenFailure(const std::string &name, const PortDevice &device)
{
    const DWORD error = GetLastError();
    char *text = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
    std::string reason = length > 0 && text != nullptr ? std::string(text, length)
                                                       : "error " + std::to_string(error);
    LocalFree(text);
    // The system's texts end in a full stop and a line break.
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' ||
                               reason.back() == ' ' || reason.back() == '.'))
        reason.pop_back();
    const std::string line = "comterm: " + describePort(name, device) + ": " + reason + "\n";
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
    SetLastError(error);
}
