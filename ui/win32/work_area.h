// Keeping a window inside the work area of its monitor (the screen less the
// taskbar and other docked bars).
#pragma once

#include <windows.h>

namespace work_area {

// `window` moved just enough to lie inside `area`, its size unchanged: on
// each axis, a window that reaches past the area's far edge moves back to
// it, and one larger than the area starts at the area's near edge. A window
// that fits stays exactly where it is.
constexpr RECT fit(const RECT &window, const RECT &area)
{
    const auto place = [](LONG start, LONG size, LONG areaStart, LONG areaEnd) {
        if (size >= areaEnd - areaStart || start < areaStart)
            return areaStart;
        return start + size > areaEnd ? areaEnd - size : start;
    };
    const LONG width = window.right - window.left, height = window.bottom - window.top;
    const LONG left = place(window.left, width, area.left, area.right);
    const LONG top = place(window.top, height, area.top, area.bottom);
    return {left, top, left + width, top + height};
}

// The work area of the monitor that `window` lies most on.
RECT of(HWND window);

} // namespace work_area
