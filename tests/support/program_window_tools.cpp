// The helpers of program_window.h that work on any window or file: texts,
// classes, rectangles, the environment, files and screenshots.
#include "program_window.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <stdexcept>
#include <vector>

std::optional<DWORD> exitStatusOf(PROCESS_INFORMATION &child, DWORD timeoutMs)
{
    const bool ended = WaitForSingleObject(child.hProcess, timeoutMs) == WAIT_OBJECT_0;
    DWORD status = 0;
    if (ended)
        GetExitCodeProcess(child.hProcess, &status);
    else
        TerminateProcess(child.hProcess, 99);
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
    return ended ? std::optional(status) : std::nullopt;
}

std::wstring textOf(HWND window)
{
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, 10000, &length))
        throw std::runtime_error("the window does not answer WM_GETTEXTLENGTH");
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                             SMTO_NORMAL, 10000, &copied))
        throw std::runtime_error("the window does not answer WM_GETTEXT");
    text.resize(copied);
    return text;
}

void setText(HWND window, const std::wstring &text)
{
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                             SMTO_NORMAL, 10000, &result))
        throw std::runtime_error("the window does not answer WM_SETTEXT");
}

std::wstring classOf(HWND window)
{
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}

ClientRect clientRectOf(HWND window)
{
    RECT r{};
    GetWindowRect(window, &r);
    MapWindowPoints(nullptr, GetParent(window), reinterpret_cast<POINT *>(&r), 2);
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

std::wstring programPath()
{
    std::string path = COMTERM_EXE;
    if (path.front() == '/')
        path = "Z:" + path;
    std::wstring wide(path.begin(), path.end());
    for (wchar_t &c : wide)
        if (c == L'/')
            c = L'\\';
    return wide;
}

ScopedVariable::ScopedVariable(const wchar_t *name, const std::optional<std::wstring> &value)
    : name_(name)
{
    std::vector<wchar_t> old(32768);
    const DWORD length = GetEnvironmentVariableW(name, old.data(), static_cast<DWORD>(old.size()));
    if (length > 0 && length < old.size())
        old_ = std::wstring(old.data(), length);
    SetEnvironmentVariableW(name, value ? value->c_str() : nullptr);
}

ScopedVariable::~ScopedVariable()
{
    SetEnvironmentVariableW(name_.c_str(), old_ ? old_->c_str() : nullptr);
}

std::vector<std::string> fileLines(const std::wstring &path)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return {};
    std::string bytes;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0)
        bytes.append(buffer, got);
    CloseHandle(file);
    std::vector<std::string> lines;
    for (std::size_t start = 0, end; start < bytes.size(); start = end + 1) {
        end = std::min(bytes.find('\n', start), bytes.size());
        lines.push_back(bytes.substr(start, end - start));
        if (!lines.back().empty() && lines.back().back() == '\r')
            lines.back().pop_back();
    }
    return lines;
}

void ProgramWindow::screenshot(const std::wstring &path) const
{
    screenshotOf(form_, path);
}

void screenshotOf(HWND window, const std::wstring &path)
{
    RECT r{};
    GetWindowRect(window, &r);
    const int width = r.right - r.left, height = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
    SelectObject(memory, old);

    BITMAPINFOHEADER info{};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
    std::vector<char> pixels(stride * static_cast<DWORD>(height));
    GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), pixels.data(),
              reinterpret_cast<BITMAPINFO *>(&info), DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);

    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42; // "BM"
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
    FILE *out = _wfopen(path.c_str(), L"wb");
    if (out == nullptr)
        throw std::runtime_error("cannot write the screenshot");
    std::fwrite(&file, sizeof file, 1, out);
    std::fwrite(&info, sizeof info, 1, out);
    std::fwrite(pixels.data(), 1, pixels.size(), out);
    std::fclose(out);
}
