#include "program_window.h"

#include <algorithm>
#include <functional>
#include <future>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

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
    return pollFor([&] { return findWindow(process_.dwProcessId, titled); }, timeout);
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
    HWND box = pollFor(
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
    eventually([&] { return GetForegroundWindow() == form_; }, 5s);
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

namespace {

// The boxes the hook below has seen, for the thread that installed it.
thread_local std::vector<std::wstring> *boxesSeen = nullptr;

// Events come after the fact: a window that is gone by then has no class,
// and is counted too, named "?".
void CALLBACK windowCreated(HWINEVENTHOOK, DWORD, HWND window, LONG object, LONG, DWORD, DWORD)
{
    if (boxesSeen == nullptr || object != OBJID_WINDOW || window == nullptr)
        return;
    if (!IsWindow(window)) {
        boxesSeen->push_back(L"?");
    } else if (classOf(window) == L"#32770") {
        wchar_t caption[256] = {};
        GetWindowTextW(window, caption, 256);
        boxesSeen->push_back(caption);
    }
}

} // namespace

ProgramWindow::End ProgramWindow::endWatchingBoxes(std::chrono::milliseconds timeout)
{
    End end;
    boxesSeen = &end.boxes;
    const HWINEVENTHOOK hook =
        SetWinEventHook(EVENT_OBJECT_CREATE, EVENT_OBJECT_CREATE, nullptr, &windowCreated,
                        process_.dwProcessId, 0, WINEVENT_OUTOFCONTEXT);
    if (hook == nullptr)
        throw std::runtime_error("cannot watch the program's windows");
    // The hook's events arrive as messages of this thread.
    eventually(
        [&] {
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageW(&message);
            return WaitForSingleObject(process_.hProcess, 0) == WAIT_OBJECT_0;
        },
        timeout);
    UnhookWinEvent(hook);
    boxesSeen = nullptr;
    end.status = exitStatus(std::chrono::milliseconds(0));
    return end;
}
