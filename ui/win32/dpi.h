// Sizes written at 96 DPI, scaled to the DPI of the monitor a window is on.
// The per-monitor functions exist from Windows 10 on; they are looked up when
// first needed, so that the program still starts on older systems, where the
// system DPI is used instead.
#pragma once

#include "tform1_layout.h"

#include <windows.h>

namespace dpi {

inline constexpr UINT base = 96;

// The DPI that `window` is drawn at.
UINT of(HWND window);

inline int scale(int pixels, UINT dpi)
{
    return MulDiv(pixels, static_cast<int>(dpi), static_cast<int>(base));
}

inline RECT scale(const layout::Rect &r, UINT dpi)
{
    const int left = scale(r.left, dpi), top = scale(r.top, dpi);
    return {left, top, left + scale(r.width, dpi), top + scale(r.height, dpi)};
}

} // namespace dpi
