// The Win32 controls that stand for each kind of control in the layout.
#pragma once

#include "tform1_layout.h"

#include <windows.h>

#include <string>

namespace controls {

// Creates `control` as a visible child of `parent`, with its id and its
// caption or initial text; it is placed later (see place()).
//   Label:      a static text.
//   Button:     a push button, a tab stop.
//   RadioGroup: a group box; its items are created with createRadioItem().
//   Memo:       a multi-line edit with a vertical scroll bar and no length
//               limit: Enter makes a new line, Ctrl+A selects all, Tab and
//               Shift+Tab leave the box as they leave any control.
HWND create(HWND parent, const layout::Control &control);

// Creates a radio item; the first item of a group starts the group and is
// its tab stop (the arrow keys move between the items).
HWND createRadioItem(HWND parent, const layout::RadioItem &item, bool first);

// Moves `control` to `rect` (at 96 DPI) scaled to `dpi`, with `font`.
void place(HWND control, const layout::Rect &rect, UINT dpi, HFONT font);

std::wstring text(HWND control);
void setText(HWND control, const std::wstring &text);

} // namespace controls
