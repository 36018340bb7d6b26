#include "startup.h"

#include "ansi.h"
#include "command_line.h"

#include <windows.h>

#include <cstdlib>
#include <string>

namespace {

// Writes `text` to `handle`: to a console as UTF-16, which shows right
// whatever the console's code page; to a file or a pipe as the ANSI text
// with CR LF line ends, as Windows' own tools write.
bool writeTo(HANDLE handle, const std::string &text)
{
    DWORD mode = 0, written = 0;
    if (GetConsoleMode(handle, &mode)) {
        const std::wstring wide = ansi::widen(text);
        return WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written,
                             nullptr) &&
               written == wide.size();
    }
    std::string lines;
    for (const char c : text) {
        if (c == '\n')
            lines += '\r';
        lines += c;
    }
    return WriteFile(handle, lines.data(), static_cast<DWORD>(lines.size()), &written, nullptr) &&
           written == lines.size();
}

void show(const std::string &text, bool refusal)
{
    // A file or a pipe the program's output was sent to.
    const HANDLE given = GetStdHandle(refusal ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    if (given != nullptr && given != INVALID_HANDLE_VALUE &&
        GetFileType(given) != FILE_TYPE_UNKNOWN && writeTo(given, text))
        return;
    // A window program gets no console of its own; the one of the command
    // prompt it was started from is borrowed for the answer. Access is
    // denied when the program has a console already (Wine hands a window
    // program its parent's): that one serves.
    const bool attached = AttachConsole(ATTACH_PARENT_PROCESS) != FALSE;
    if (attached || GetLastError() == ERROR_ACCESS_DENIED) {
        const HANDLE console =
            CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        const bool written = console != INVALID_HANDLE_VALUE && writeTo(console, text);
        if (console != INVALID_HANDLE_VALUE)
            CloseHandle(console);
        if (attached)
            FreeConsole();
        if (written)
            return;
    }
    MessageBoxW(nullptr, ansi::widen(text).c_str(), L"comterm",
                MB_OK | (refusal ? MB_ICONERROR : MB_ICONINFORMATION));
}

} // namespace

std::optional<int> answerCommandLine()
{
    // Every argument is checked before one is answered, as on Linux.
    Request answer = Request::None;
    for (int i = 1; i < __argc; ++i) {
        const std::string arg = ansi::narrow(__wargv[i]);
        if (const Request request = requestOf(arg); request != Request::None) {
            if (answer == Request::None)
                answer = request;
            continue;
        }
        show(refusalLine(refusedArgument(arg)), true);
        return 2;
    }
    if (answer == Request::None)
        return std::nullopt;
    show(answerText(answer), false);
    return 0;
}
