#include "controls.h"

#include "dpi.h"

#include <commctrl.h>

namespace controls {

namespace {

std::wstring wide(std::u16string_view text)
{
    return {reinterpret_cast<const wchar_t *>(text.data()), text.size()};
}

HWND createChild(HWND parent, const wchar_t *windowClass, DWORD style, DWORD exStyle, int id,
                 std::u16string_view caption)
{
    return CreateWindowExW(exStyle, windowClass, wide(caption).c_str(),
                           WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                           GetModuleHandleW(nullptr), nullptr);
}

// A multi-line edit asks for every key, Tab included, which would keep the
// focus in it; it keeps every key but Tab. It also gets Ctrl+A.
LRESULT CALLBACK memoProc(HWND memo, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                          DWORD_PTR)
{
    switch (message) {
    case WM_GETDLGCODE: {
        LRESULT code = DefSubclassProc(memo, message, wParam, lParam);
        const auto *key = reinterpret_cast<const MSG *>(lParam);
        if (key != nullptr && key->wParam == VK_TAB &&
            (key->message == WM_KEYDOWN || key->message == WM_CHAR))
            code &= ~static_cast<LRESULT>(DLGC_WANTALLKEYS | DLGC_WANTTAB);
        return code;
    }
    case WM_KEYDOWN:
        if (wParam == 'A' && GetKeyState(VK_CONTROL) < 0 && GetKeyState(VK_MENU) >= 0) {
            SendMessageW(memo, EM_SETSEL, 0, -1);
            return 0;
        }
        break;
    case WM_CHAR:
        if (wParam == 1) // the character Ctrl+A makes; the edit would beep at it
            return 0;
        break;
    case WM_NCDESTROY:
        RemoveWindowSubclass(memo, &memoProc, id);
        break;
    }
    return DefSubclassProc(memo, message, wParam, lParam);
}

} // namespace

HWND create(HWND parent, const layout::Control &control)
{
    switch (control.kind) {
    case layout::Kind::Label:
        return createChild(parent, L"STATIC", SS_LEFT | SS_NOPREFIX, 0, control.id, control.text);
    case layout::Kind::Button:
        return createChild(parent, L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP | WS_GROUP, 0, control.id,
                           control.text);
    case layout::Kind::RadioGroup:
        return createChild(parent, L"BUTTON", BS_GROUPBOX, 0, control.id, control.text);
    case layout::Kind::Memo: {
        HWND memo = createChild(parent, L"EDIT",
                                ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | WS_VSCROLL |
                                    WS_TABSTOP | WS_GROUP,
                                WS_EX_CLIENTEDGE, control.id, control.text);
        if (memo != nullptr) {
            SendMessageW(memo, EM_SETLIMITTEXT, 0, 0); // no limit but memory
            SetWindowSubclass(memo, &memoProc, 0, 0);
        }
        return memo;
    }
    }
    return nullptr;
}

HWND createRadioItem(HWND parent, const layout::RadioItem &item, bool first)
{
    return createChild(parent, L"BUTTON", BS_AUTORADIOBUTTON | (first ? WS_GROUP | WS_TABSTOP : 0),
                       0, item.id, item.text);
}

void place(HWND control, const layout::Rect &rect, UINT windowDpi, HFONT font)
{
    const RECT r = dpi::scale(rect, windowDpi);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    MoveWindow(control, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
}

std::wstring text(HWND control)
{
    const int length = GetWindowTextLengthW(control);
    if (length <= 0)
        return {};
    std::wstring value(static_cast<std::size_t>(length) + 1, L'\0');
    value.resize(static_cast<std::size_t>(GetWindowTextW(control, value.data(), length + 1)));
    return value;
}

void setText(HWND control, const std::wstring &text)
{
    SetWindowTextW(control, text.c_str());
}

} // namespace controls
