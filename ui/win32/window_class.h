// The window classes of the front end, and the object behind each window of
// theirs: the classic pattern in which CreateWindowEx hands the object over
// through CREATESTRUCT and the window keeps it in GWLP_USERDATA.
#pragma once

#include <windows.h>

namespace window_class {

// Registers the class `name` for this module, unless it already is: the
// arrow cursor, the button-face background that dialogs have, `windowProc`,
// and the program's icon (the MAINICON resource) when `withIcon`. Returns
// false when the class could not be registered.
bool add(const wchar_t *name, WNDPROC windowProc, bool withIcon);

// The object that `window` was created for, given as CreateWindowEx's last
// argument: stored at WM_NCCREATE, found for every message after it; null
// for the few messages before it, and once forget() has run.
template <class T> T *object(HWND window, UINT message, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        void *created = reinterpret_cast<const CREATESTRUCTW *>(lParam)->lpCreateParams;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
        return static_cast<T *>(created);
    }
    return reinterpret_cast<T *>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

// Unlinks `window` from its object, at WM_NCDESTROY or when the object goes
// first.
inline void forget(HWND window)
{
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
}

} // namespace window_class
