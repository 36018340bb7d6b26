#include "send_progress.h"

#include "dpi.h"
#include "message_pump.h"
#include "window_class.h"

#include <commctrl.h>

#include <string>

namespace {

constexpr ULONGLONG showAfterMs = 500;
constexpr int barSteps = 1000;
constexpr wchar_t className[] = L"comterm.SendProgress";

// The window's inside, at 96 DPI.
constexpr layout::Rect inside{0, 0, 320, 104};
constexpr layout::Rect figuresRect{12, 12, 296, 16};
constexpr layout::Rect barRect{12, 34, 296, 18};
constexpr layout::Rect cancelRect{224, 66, 84, 25};

std::wstring figures(std::size_t sent, std::size_t total)
{
    return L"已送出 " + std::to_wstring(sent) + L" / " + std::to_wstring(total) + L" 位元組";
}

} // namespace

SendProgress::SendProgress(HWND form, std::function<void(bool)> enableForm,
                           std::function<bool()> formClosed)
    : form_(form), focus_(GetFocus()), enableForm_(std::move(enableForm)),
      formClosed_(std::move(formClosed)), start_(GetTickCount64())
{
}

SendProgress::~SendProgress()
{
    if (window_ != nullptr)
        DestroyWindow(window_);
    if (disabled_) {
        enableForm_(true);
        if (focus_ != nullptr && IsWindow(focus_))
            SetFocus(focus_);
    }
}

bool SendProgress::operator()(std::size_t sent, std::size_t total)
{
    if (sent >= total)
        return true; // done: nothing to show or wait for
    if (!disabled_) {
        enableForm_(false);
        disabled_ = true;
    }
    if (window_ == nullptr && GetTickCount64() - start_ >= showAfterMs)
        createWindow();
    if (window_ != nullptr) {
        SetWindowTextW(figures_, figures(sent, total).c_str());
        SendMessageW(bar_, PBM_SETPOS,
                     static_cast<WPARAM>(static_cast<double>(sent) / total * barSteps), 0);
    }
    pump::dispatchWaiting();
    return !cancelled_ && !formClosed_();
}

void SendProgress::createWindow()
{
    if (!window_class::add(className, &SendProgress::windowProc, false))
        return; // the send goes on without a window
    const UINT windowDpi = dpi::of(form_);
    constexpr DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
    constexpr DWORD exStyle = WS_EX_DLGMODALFRAME;
    RECT outer = dpi::scale(inside, windowDpi);
    AdjustWindowRectEx(&outer, style, FALSE, exStyle);
    RECT formRect{};
    GetWindowRect(form_, &formRect);
    const int width = outer.right - outer.left, height = outer.bottom - outer.top;
    window_ = CreateWindowExW(exStyle, className, L"傳送資料", style,
                              (formRect.left + formRect.right - width) / 2,
                              (formRect.top + formRect.bottom - height) / 2, width, height, form_,
                              nullptr, GetModuleHandleW(nullptr), this);
    if (window_ == nullptr)
        return;
    const auto child = [this, windowDpi](const wchar_t *windowClass, const wchar_t *text,
                                         DWORD childStyle, int id, const layout::Rect &rect) {
        const RECT r = dpi::scale(rect, windowDpi);
        HWND control = CreateWindowExW(0, windowClass, text, WS_CHILD | WS_VISIBLE | childStyle,
                                       r.left, r.top, r.right - r.left, r.bottom - r.top, window_,
                                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                       GetModuleHandleW(nullptr), nullptr);
        SendMessageW(control, WM_SETFONT, SendMessageW(form_, WM_GETFONT, 0, 0), FALSE);
        return control;
    };
    figures_ = child(L"STATIC", L"", SS_LEFT | SS_NOPREFIX, 0, figuresRect);
    bar_ = child(PROGRESS_CLASSW, L"", 0, 0, barRect);
    SendMessageW(bar_, PBM_SETRANGE32, 0, barSteps);
    HWND cancel = child(L"BUTTON", L"取消", BS_DEFPUSHBUTTON | WS_TABSTOP, IDCANCEL, cancelRect);
    ShowWindow(window_, SW_SHOWNORMAL);
    SetFocus(cancel);
}

LRESULT CALLBACK SendProgress::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto *progress = window_class::object<SendProgress>(window, message, lParam);
    if (progress != nullptr) {
        // The Cancel button, Escape, and the close box all cancel the send.
        if ((message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) || message == WM_CLOSE) {
            progress->cancelled_ = true;
            return 0;
        }
        if (message == WM_NCDESTROY)
            window_class::forget(window);
    }
    return DefWindowProcW(window, message, wParam, lParam);
}
