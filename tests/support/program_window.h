// The real program, started as a child process in the test's own Wine prefix
// (or on Windows) and driven from outside through the Win32 API, the way a
// user's input reaches it: its window found by title and process, controls
// by id, clicks as BM_CLICK, texts through WM_GETTEXT and WM_SETTEXT, keys
// through SendInput, message boxes found, read and dismissed. Every wait has
// a deadline; a member that cannot do what it says throws std::runtime_error.
#pragma once

#include "polling.h"

#include <windows.h>

#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

// A message box as the user sees it.
struct MessageBoxSeen {
    std::wstring caption;
    std::wstring text;
    friend bool operator==(const MessageBoxSeen &, const MessageBoxSeen &) = default;
};

// A control's rectangle in its window's client area: left, top, width, height.
struct ClientRect {
    int left, top, width, height;
    friend bool operator==(const ClientRect &, const ClientRect &) = default;
};

class ProgramWindow {
  public:
    // Starts `exe` and waits until it shows its window titled `title`. The
    // program inherits this process's environment; its standard error goes to
    // the file `errors` (created empty) when one is named.
    explicit ProgramWindow(const std::wstring &exe, const std::wstring &title = L"Form1",
                           const std::wstring &errors = {});
    // Ends the program if it still runs.
    ~ProgramWindow();
    ProgramWindow(const ProgramWindow &) = delete;
    ProgramWindow &operator=(const ProgramWindow &) = delete;

    HWND form() const { return form_; }
    // The form's child control with `id`; throws when there is none.
    HWND control(int id) const;

    // Clicks `button` and returns once its handler has returned, or throws
    // when the handler has not returned after `timeout`.
    void click(HWND button, std::chrono::milliseconds timeout = std::chrono::seconds(30));
    // Clicks `button` and waits for a message box of the program while the
    // handler runs; reads it, dismisses it with its OK button and waits for the
    // handler to return. Nothing when the handler returned without a box.
    std::optional<MessageBoxSeen>
    clickForBox(HWND button, std::chrono::milliseconds timeout = std::chrono::seconds(30));
    // A message box of the program that is up now, if any.
    std::optional<MessageBoxSeen> messageBox() const;

    // Whether the window's thread answers a message within `timeout`.
    bool answers(std::chrono::milliseconds timeout = std::chrono::seconds(2)) const;
    // The window that has the keyboard focus in the program.
    HWND focus() const;
    // Presses and releases `key` as typed, with `modifier` (VK_SHIFT,
    // VK_CONTROL, VK_MENU) held down if one is given.
    void press(WORD key, WORD modifier = 0) const;
    // A visible top-level window of the program with this title, once one
    // shows; nothing when none has shown after `timeout`.
    HWND window(const std::wstring &title, std::chrono::milliseconds timeout) const;

    // Asks the window to close, as its close box does.
    void closeBox() const;
    // The program's exit status once it has ended, or nothing when it still
    // runs after `timeout`.
    std::optional<DWORD> exitStatus(std::chrono::milliseconds timeout = std::chrono::seconds(10));

    // How the program ended: its exit status (nothing when it still runs)
    // and the captions of the dialog boxes it created meanwhile ("?" for a
    // window gone before it could be looked at).
    struct End {
        std::optional<DWORD> status;
        std::vector<std::wstring> boxes;
    };
    // Waits up to `timeout` for the program to end, watching the windows it
    // creates (through an out-of-context WinEvent hook), so that a box is
    // seen even when it closes as soon as it was made.
    End endWatchingBoxes(std::chrono::milliseconds timeout);

    // Saves what the screen shows of the window as a 24-bit BMP file.
    void screenshot(const std::wstring &path) const;

  private:
    PROCESS_INFORMATION process_{};
    HWND form_ = nullptr;
};

// The Windows path of the comterm.exe the build made (COMTERM_EXE; a Linux
// path is drive Z: in Wine).
std::wstring programPath();

// Sets a variable of this process's environment, which the programs it
// starts inherit, or removes it for none; puts the old value back at the end.
class ScopedVariable {
  public:
    ScopedVariable(const wchar_t *name, const std::optional<std::wstring> &value);
    ~ScopedVariable();
    ScopedVariable(const ScopedVariable &) = delete;
    ScopedVariable &operator=(const ScopedVariable &) = delete;

  private:
    std::wstring name_;
    std::optional<std::wstring> old_;
};

// Waits up to `timeout` for the process `child` to end, ends it if it has
// not, and closes its handles; its exit status, or nothing when it had to be
// ended.
std::optional<DWORD> exitStatusOf(PROCESS_INFORMATION &child, DWORD timeoutMs);

// A text file's lines as they are now, without their CR LF (none when it
// cannot be read), while another process may still be writing it.
std::vector<std::string> fileLines(const std::wstring &path);

// A window's text, read through WM_GETTEXT.
std::wstring textOf(HWND window);
// Replaces a window's text through WM_SETTEXT.
void setText(HWND window, const std::wstring &text);
// A window's class name.
std::wstring classOf(HWND window);
// A child window's rectangle in its parent's client area.
ClientRect clientRectOf(HWND window);
// Saves what the screen shows of a window, with whatever lies over it, as a
// 24-bit BMP file.
void screenshotOf(HWND window, const std::wstring &path);
