#include "program_window.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <future>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// Polls `found` until it returns a value or `timeout` passes.
template <class F> auto poll(F found, std::chrono::milliseconds timeout) -> decltype(found())
{
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        if (auto value = found())
            return value;
        if (Clock::now() > deadline)
            return {};
        std::this_thread::sleep_for(20ms);
    }
}

struct WindowSearch {
    DWORD pid;
    std::function<bool(HWND)> match;
    HWND found = nullptr;
};

BOOL CALLBACK searchWindow(HWND window, LPARAM param)
{
    auto &s = *reinterpret_cast<WindowSearch *>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != s.pid || !IsWindowVisible(window) || !s.match(window))
        return TRUE;
    s.found = window;
    return FALSE;
}

// The first visible top-level window of process `pid` for which `match` holds.
HWND findWindow(DWORD pid, std::function<bool(HWND)> match)
{
    WindowSearch search{pid, std::move(match)};
    EnumWindows(&searchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// A message box is a dialog whose text is the static control 0xFFFF.
HWND findMessageBox(DWORD pid)
{
    return findWindow(pid, [](HWND window) {
        return classOf(window) == L"#32770" && GetDlgItem(window, 0xFFFF) != nullptr;
    });
}

} // namespace

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

ProgramWindow::ProgramWindow(const std::wstring &exe, const std::wstring &title,
                             const std::wstring &errors)
{
    std::wstring command = L'"' + exe + L'"';
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    HANDLE errorFile = INVALID_HANDLE_VALUE;
    if (!errors.empty()) {
        // Inheritable, so that the program's C runtime takes it as stderr.
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        errorFile = CreateFileW(errors.c_str(), GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherit,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (errorFile == INVALID_HANDLE_VALUE)
            throw std::runtime_error("cannot create the file for the program's standard error");
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdError = errorFile;
    }
    const BOOL started =
        CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr,
                       errorFile != INVALID_HANDLE_VALUE, 0, nullptr, nullptr, &startup, &process_);
    if (errorFile != INVALID_HANDLE_VALUE)
        CloseHandle(errorFile); // the program holds its own copy
    if (!started)
        throw std::runtime_error("cannot start the program");
    form_ = window(title, 60s);
    if (form_ == nullptr) {
        TerminateProcess(process_.hProcess, 99);
        CloseHandle(process_.hThread);
        CloseHandle(process_.hProcess);
        throw std::runtime_error("the program showed no window in 60 s");
    }
}

ProgramWindow::~ProgramWindow()
{
    if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
        TerminateProcess(process_.hProcess, 99);
        WaitForSingleObject(process_.hProcess, 10000);
    }
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
}

HWND ProgramWindow::window(const std::wstring &title, std::chrono::milliseconds timeout) const
{
    const auto titled = [&](HWND window) {
        wchar_t text[64] = {};
        GetWindowTextW(window, text, 64);
        return title == text;
    };
    return poll([&] { return findWindow(process_.dwProcessId, titled); }, timeout);
}

HWND ProgramWindow::control(int id) const
{
    HWND found = GetDlgItem(form_, id);
    if (found == nullptr)
        throw std::runtime_error("the window has no control " + std::to_string(id));
    return found;
}

void ProgramWindow::click(HWND button, std::chrono::milliseconds timeout)
{
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(button, BM_CLICK, 0, 0, SMTO_NORMAL,
                             static_cast<UINT>(timeout.count()), &result))
        throw std::runtime_error("the click's handler did not return in time");
}

std::optional<MessageBoxSeen> ProgramWindow::clickForBox(HWND button,
                                                         std::chrono::milliseconds timeout)
{
    auto handler = std::async(std::launch::async, [button] {
        DWORD_PTR result = 0;
        return SendMessageTimeoutW(button, BM_CLICK, 0, 0, SMTO_NORMAL, 120000, &result) != 0;
    });
    const DWORD pid = process_.dwProcessId;
    HWND box = poll(
        [&]() -> HWND {
            if (HWND found = findMessageBox(pid))
                return found;
            if (handler.wait_for(0s) == std::future_status::ready)
                return HWND(-1);
            return nullptr;
        },
        timeout);
    if (box == nullptr)
        throw std::runtime_error("no message box and no end of the click's handler in time");
    if (box == HWND(-1))
        return std::nullopt;
    MessageBoxSeen seen{textOf(box), textOf(GetDlgItem(box, 0xFFFF))};
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
    if (handler.wait_for(30s) != std::future_status::ready || !handler.get())
        throw std::runtime_error("the click's handler did not return after its box");
    return seen;
}

std::optional<MessageBoxSeen> ProgramWindow::messageBox() const
{
    HWND box = findMessageBox(process_.dwProcessId);
    if (box == nullptr)
        return std::nullopt;
    return MessageBoxSeen{textOf(box), textOf(GetDlgItem(box, 0xFFFF))};
}

bool ProgramWindow::answers(std::chrono::milliseconds timeout) const
{
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(form_, WM_NULL, 0, 0, SMTO_ABORTIFHUNG,
                               static_cast<UINT>(timeout.count()), &result) != 0;
}

HWND ProgramWindow::focus() const
{
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(form_, nullptr), &info);
    return info.hwndFocus;
}

void ProgramWindow::press(WORD key, WORD modifier) const
{
    // Typed keys go to the foreground window; without a window manager
    // nothing else activates the form.
    SetForegroundWindow(form_);
    poll([&] { return GetForegroundWindow() == form_; }, 5s);
    std::vector<INPUT> inputs;
    const auto add = [&](WORD vk, bool up) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = vk;
        input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
        input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
        inputs.push_back(input);
    };
    if (modifier != 0)
        add(modifier, false);
    add(key, false);
    add(key, true);
    if (modifier != 0)
        add(modifier, true);
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

void ProgramWindow::closeBox() const
{
    PostMessageW(form_, WM_SYSCOMMAND, SC_CLOSE, 0);
}

std::optional<DWORD> ProgramWindow::exitStatus(std::chrono::milliseconds timeout)
{
    if (WaitForSingleObject(process_.hProcess, static_cast<DWORD>(timeout.count())) !=
        WAIT_OBJECT_0)
        return std::nullopt;
    DWORD status = 0;
    GetExitCodeProcess(process_.hProcess, &status);
    return status;
}

void ProgramWindow::screenshot(const std::wstring &path) const
{
    RECT r{};
    GetWindowRect(form_, &r);
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
