// The fonts the windows draw their text in: the system's dialog font at the
// layout's height, made for a DPI and owned by the window that uses it.
#pragma once

#include <windows.h>

#include <memory>
#include <type_traits>

struct GdiObjectDeleter {
    void operator()(HGDIOBJ object) const { DeleteObject(object); }
};
// A font made by CreateFont, deleted with its handle. A stock font is never
// held in one: nothing may delete it.
using FontHandle = std::unique_ptr<std::remove_pointer_t<HFONT>, GdiObjectDeleter>;

// The dialog font ("MS Shell Dlg", which the system maps to its current
// dialog face) at layout::fontHeight scaled to `dpi`; null when it cannot be
// made.
FontHandle dialogFont(UINT dpi);

// `font`, or the stock GUI font when it is null.
HFONT fontOrStock(const FontHandle &font);
