// Keeping a window inside the work area of its monitor (the screen less the
// taskbar and other docked bars).
#pragma once

#include "window_fit.h"

#include <windows.h>

namespace work_area {

// layout::fitInto (ui/window_fit.h) for the system's rectangles.
constexpr RECT fit(const RECT &window, const RECT &area)
{
    const auto rect = [](const RECT &r) {
        return layout::Rect{r.left, r.top, r.right - r.left, r.bottom - r.top};
    };
    const layout::Rect fitted = layout::fitInto(rect(window), rect(area));
    return {fitted.left, fitted.top, fitted.left + fitted.width, fitted.top + fitted.height};
}

// The work area of `monitor`, or of the primary monitor when it has none.
RECT of(HMONITOR monitor);

// The work area of the monitor that `window` lies most on.
RECT of(HWND window);

} // namespace work_area
