#include "form.h"

#include "application.h"
#include "dpi.h"

namespace {

constexpr wchar_t className[] = L"comterm.TForm";

void registerClass(HINSTANCE instance, WNDPROC windowProc)
{
    static const ATOM atom = [instance, windowProc] {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = windowProc;
        wc.hInstance = instance;
        wc.hIcon = static_cast<HICON>(
            LoadImageW(instance, L"MAINICON", IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
        wc.hIconSm = static_cast<HICON>(LoadImageW(instance, L"MAINICON", IMAGE_ICON,
                                                   GetSystemMetrics(SM_CXSMICON),
                                                   GetSystemMetrics(SM_CYSMICON), LR_SHARED));
        wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        // Button face, as dialogs are. No WS_CLIPCHILDREN on the form: a group
        // box is transparent and relies on its parent painting beneath it.
        wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
        wc.lpszClassName = className;
        return RegisterClassExW(&wc);
    }();
    if (atom == 0)
        throw Exception(L"The window class could not be registered.");
}

} // namespace

TForm::TForm(std::u16string_view title, const layout::Rect &outer)
{
    HINSTANCE instance = GetModuleHandleW(nullptr);
    registerClass(instance, &TForm::windowProc);
    const std::wstring caption(reinterpret_cast<const wchar_t *>(title.data()), title.size());
    handle_ =
        CreateWindowExW(0, className, caption.c_str(), WS_OVERLAPPEDWINDOW, outer.left, outer.top,
                        outer.width, outer.height, nullptr, nullptr, instance, nullptr);
    if (handle_ == nullptr)
        throw Exception(L"The window could not be created.");
    // Messages before this one (those of the creation) get the default handling.
    SetWindowLongPtrW(handle_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    const UINT windowDpi = dpi::of(handle_);
    if (windowDpi != dpi::base)
        SetWindowPos(handle_, nullptr, 0, 0, dpi::scale(outer.width, windowDpi),
                     dpi::scale(outer.height, windowDpi),
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

TForm::~TForm()
{
    if (handle_ != nullptr) {
        SetWindowLongPtrW(handle_, GWLP_USERDATA, 0);
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
    FontHandle font(CreateFontW(dpi::scale(layout::fontHeight, windowDpi), 0, 0, 0, FW_NORMAL,
                                FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                                L"MS Shell Dlg"));
    if (font == nullptr)
        font.reset(static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)));
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
                SetFocus(target);
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
    case WM_DESTROY:
        if (Application != nullptr)
            Application->FormDestroyed(this);
        break;
    case WM_NCDESTROY:
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        handle_ = nullptr;
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK TForm::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto *form = reinterpret_cast<TForm *>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (form == nullptr)
        return DefWindowProcW(window, message, wParam, lParam);
    try {
        return form->HandleMessage(message, wParam, lParam);
    } catch (...) {
        if (Application != nullptr)
            Application->HandleException();
        return 0;
    }
}
