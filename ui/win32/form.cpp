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

TForm::TForm(std::u16string_view title, const layout::Rect &outer) : outer_(outer)
{
    if (!window_class::add(className, &TForm::windowProc, true))
        throw Exception(L"The window class could not be registered.");
    const std::wstring caption(reinterpret_cast<const wchar_t *>(title.data()), title.size());
    // The window procedure sets handle_ at WM_NCCREATE.
    CreateWindowExW(0, className, caption.c_str(), WS_OVERLAPPEDWINDOW, outer.left, outer.top,
                    outer.width, outer.height, nullptr, nullptr, GetModuleHandleW(nullptr), this);
    if (handle_ == nullptr)
        throw Exception(L"The window could not be created.");
    layoutDpi_ = fit(dpi::of(handle_), {outer.left, outer.top}, work_area::of(handle_));
}

UINT TForm::fit(UINT windowDpi, POINT place, const RECT &area)
{
    const UINT fitted = static_cast<UINT>(
        layout::fitDpi(static_cast<int>(windowDpi), outer_.width, outer_.height,
                       {area.left, area.top, area.right - area.left, area.bottom - area.top}));
    const int width = dpi::scale(outer_.width, fitted), height = dpi::scale(outer_.height, fitted);
    const RECT moved = work_area::fit({place.x, place.y, place.x + width, place.y + height}, area);
    SetWindowPos(handle_, nullptr, moved.left, moved.top, width, height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    return fitted;
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
        layoutDpi_ = fit(HIWORD(wParam), {suggested->left, suggested->top},
                         work_area::of(MonitorFromRect(suggested, MONITOR_DEFAULTTONEAREST)));
        ApplyDpi(layoutDpi_);
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
