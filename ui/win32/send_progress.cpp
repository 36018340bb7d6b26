#include "send_progress.h"

#include "dpi.h"
#include "font.h"
#include "message_pump.h"
#include "window_class.h"
#include "work_area.h"

#include <commctrl.h>

#include <string>

namespace {

constexpr ULONGLONG showAfterMs = 500;
constexpr int barSteps = 1000;
constexpr wchar_t className[] = L"comterm.SendProgress";
constexpr DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
constexpr DWORD exStyle = WS_EX_DLGMODALFRAME;

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
    RECT outer = dpi::scale(inside, windowDpi);
    AdjustWindowRectEx(&outer, style, FALSE, exStyle);
    // Centred over the form and whole on its monitor's work area.
    RECT formRect{};
    GetWindowRect(form_, &formRect);
    const int width = outer.right - outer.left, height = outer.bottom - outer.top;
    const int left = (formRect.left + formRect.right - width) / 2,
              top = (formRect.top + formRect.bottom - height) / 2;
    const RECT placed =
        work_area::fit({left, top, left + width, top + height}, work_area::of(form_));
    window_ = CreateWindowExW(exStyle, className, L"傳送資料", style, placed.left, placed.top,
                              width, height, form_, nullptr, GetModuleHandleW(nullptr), this);
    if (window_ == nullptr)
        return;
    const auto child = [this](const wchar_t *windowClass, const wchar_t *text, DWORD childStyle,
                              int id) {
        return CreateWindowExW(0, windowClass, text, WS_CHILD | WS_VISIBLE | childStyle, 0, 0, 0, 0,
                               window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                               GetModuleHandleW(nullptr), nullptr);
    };
    figures_ = child(L"STATIC", L"", SS_LEFT | SS_NOPREFIX, 0);
    bar_ = child(PROGRESS_CLASSW, L"", 0, 0);
    SendMessageW(bar_, PBM_SETRANGE32, 0, barSteps);
    cancel_ = child(L"BUTTON", L"取消", BS_DEFPUSHBUTTON | WS_TABSTOP, IDCANCEL);
    arrange(dpi::of(window_));
    ShowWindow(window_, SW_SHOWNORMAL);
    SetFocus(cancel_);
}

void SendProgress::arrange(UINT windowDpi)
{
    FontHandle font = dialogFont(windowDpi);
    std::swap(font_, font);
    const auto place = [this, windowDpi](HWND control, const layout::Rect &rect) {
        const RECT r = dpi::scale(rect, windowDpi);
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(fontOrStock(font_)), FALSE);
        MoveWindow(control, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
    };
    place(figures_, figuresRect);
    place(bar_, barRect);
    place(cancel_, cancelRect);
}

LRESULT CALLBACK SendProgress::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto *progress = window_class::object<SendProgress>(window, message, lParam);
    if (progress != nullptr) {
        switch (message) {
        case WM_COMMAND:
            if (LOWORD(wParam) != IDCANCEL)
                break;
            [[fallthrough]];
        case WM_CLOSE: // the Cancel button, Escape and the close box all cancel the send
            progress->cancelled_ = true;
            return 0;
        case WM_DPICHANGED: {
            // Moved to a monitor of another DPI: the size the system suggests,
            // and the controls and their font scaled again.
            const auto *suggested = reinterpret_cast<const RECT *>(lParam);
            SetWindowPos(window, nullptr, suggested->left, suggested->top,
                         suggested->right - suggested->left, suggested->bottom - suggested->top,
                         SWP_NOZORDER | SWP_NOACTIVATE);
            progress->arrange(HIWORD(wParam));
            return 0;
        }
        case WM_NCDESTROY:
            window_class::forget(window);
            break;
        }
    }
    return DefWindowProcW(window, message, wParam, lParam);
}
