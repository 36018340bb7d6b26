#include "startup.h"

#include "command_line.h"

#include <windows.h>

#include <cstdlib>
#include <string>

namespace {

std::wstring wideText(const std::string &text)
{
    const int size =
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size > 0 ? size : 0), L'\0');
    if (size > 0)
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                            size);
    return wide;
}

std::string ansiText(const wchar_t *text)
{
    const int size = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string ansi(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    if (size > 0)
        WideCharToMultiByte(CP_ACP, 0, text, -1, ansi.data(), size, nullptr, nullptr);
    ansi.resize(ansi.find('\0') == std::string::npos ? ansi.size() : ansi.find('\0'));
    return ansi;
}

// Writes `text` to `handle`: to a console as UTF-16, which shows right
// whatever the console's code page; to a file or a pipe as the ANSI text
// with CR LF line ends, as Windows' own tools write.
bool writeTo(HANDLE handle, const std::string &text)
{
    DWORD mode = 0, written = 0;
    if (GetConsoleMode(handle, &mode)) {
        const std::wstring wide = wideText(text);
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
    MessageBoxW(nullptr, wideText(text).c_str(), L"comterm",
                MB_OK | (refusal ? MB_ICONERROR : MB_ICONINFORMATION));
}

} // namespace

std::optional<int> answerCommandLine()
{
    // Every argument is checked before one is answered, as on Linux.
    Request answer = Request::None;
    for (int i = 1; i < __argc; ++i) {
        const std::string arg = ansiText(__wargv[i]);
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
