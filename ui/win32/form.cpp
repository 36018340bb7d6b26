#include "form.h"

#include "dpi.h"
#include "exception.h"
#include "window_class.h"
#include "work_area.h"

namespace {

constexpr wchar_t className[] = L"comterm.TForm";

bool isPushButton(HWND control, LRESULT kind)
{
    return (SendMessageW(control, WM_GETDLGCODE, 0, 0) & kind) != 0;
}

// Gives `control` the focus as the dialog manager does when a key moves it:
// a push button that takes the focus becomes the default button, the one
// Return presses, and the one that was default stops being it.
void focusControl(HWND form, HWND control)
{
    SetFocus(control);
    if (!isPushButton(control, DLGC_UNDEFPUSHBUTTON))
        return;
    for (HWND child = GetWindow(form, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT))
        if (isPushButton(child, DLGC_DEFPUSHBUTTON))
            SendMessageW(child, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
    SendMessageW(control, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
}

} // namespace

TForm::TForm(std::u16string_view title, const layout::Rect &outer)
{
    if (!window_class::add(className, &TForm::windowProc, true))
        throw Exception(L"The window class could not be registered.");
    const std::wstring caption(reinterpret_cast<const wchar_t *>(title.data()), title.size());
    // The window procedure sets handle_ at WM_NCCREATE.
    CreateWindowExW(0, className, caption.c_str(), WS_OVERLAPPEDWINDOW, outer.left, outer.top,
                    outer.width, outer.height, nullptr, nullptr, GetModuleHandleW(nullptr), this);
    if (handle_ == nullptr)
        throw Exception(L"The window could not be created.");
    const UINT windowDpi = dpi::of(handle_);
    if (windowDpi != dpi::base)
        SetWindowPos(handle_, nullptr, 0, 0, dpi::scale(outer.width, windowDpi),
                     dpi::scale(outer.height, windowDpi),
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT placed{};
    GetWindowRect(handle_, &placed);
    const RECT fitted = work_area::fit(placed, work_area::of(handle_));
    if (fitted.left != placed.left || fitted.top != placed.top)
        SetWindowPos(handle_, nullptr, fitted.left, fitted.top, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

TForm::~TForm()
{
    if (handle_ != nullptr) {
        window_class::forget(handle_);
        DestroyWindow(handle_);
    }
}

void TForm::Show()
{
    ShowWindow(handle_, SW_SHOWNORMAL);
    UpdateWindow(handle_);
    SetForegroundWindow(handle_);
}

void TForm::ApplyDpi(UINT windowDpi)
{
    FontHandle font = dialogFont(windowDpi);
    std::swap(font_, font);
    Arrange(windowDpi); // the controls take the new font before the old one goes
}

LRESULT TForm::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    HWND window = handle_;
    switch (message) {
    case WM_ACTIVATE:
        // As a dialog does: the focus goes back to the control that had it.
        if (LOWORD(wParam) == WA_INACTIVE) {
            HWND focused = GetFocus();
            focus_ = focused != nullptr && IsChild(handle_, focused) ? focused : nullptr;
        } else if (!HIWORD(wParam)) {
            HWND target = focus_ != nullptr && IsWindow(focus_)
                              ? focus_
                              : GetNextDlgTabItem(handle_, nullptr, FALSE);
            if (target != nullptr) {
                focusControl(handle_, target);
                return 0;
            }
        }
        break;
    case WM_DPICHANGED: {
        const auto *suggested = reinterpret_cast<const RECT *>(lParam);
        SetWindowPos(handle_, nullptr, suggested->left, suggested->top,
                     suggested->right - suggested->left, suggested->bottom - suggested->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        ApplyDpi(HIWORD(wParam));
        return 0;
    }
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(Font());
    case WM_NCDESTROY:
        window_class::forget(window);
        handle_ = nullptr;
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK TForm::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto *form = window_class::object<TForm>(window, message, lParam);
    if (form == nullptr)
        return DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCCREATE)
        form->handle_ = window;
    try {
        return form->HandleMessage(message, wParam, lParam);
    } catch (...) {
        ReportException();
        return 0;
    }
}
