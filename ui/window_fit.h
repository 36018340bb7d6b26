// Keeping a window whole on its screen, the one rule both front ends apply:
// a window is drawn at the screen's scale unless it would then be larger
// than the area that taskbars and panels leave free, in which case it is
// drawn at the largest scale at which it fits; then it is moved, never
// resized, so that no part of it reaches past that area.
#pragma once

#include "tform1_layout.h"

#include <algorithm>

namespace layout {

// The start of a span of `length` at `start`, moved into [first, first +
// room); a span longer than the room starts at `first`.
constexpr int fitSpan(int start, int length, int first, int room)
{
    return length >= room ? first : std::clamp(start, first, first + room - length);
}

// `frame` moved just enough to lie inside `area`, its size unchanged. Along
// an axis on which it is longer than the area, it starts where the area
// starts, so that its title bar and top-left corner stay reachable. A frame
// that fits stays exactly where it is.
constexpr Rect fitInto(const Rect &frame, const Rect &area)
{
    return {fitSpan(frame.left, frame.width, area.left, area.width),
            fitSpan(frame.top, frame.height, area.top, area.height), frame.width, frame.height};
}

// The scale, as a DPI (96 is the layout's own size), to draw a window at that
// measures `width` x `height` at 96 DPI: `wanted` when the window fits into
// `area` at it, else the largest DPI at which it does (its controls and
// their font scaled together), so that every control and the close box stay
// on the screen.
constexpr int fitDpi(int wanted, int width, int height, const Rect &area)
{
    constexpr int base = 96;
    const auto most = [](int room, int length) {
        return length > 0 ? room * base / length : room * base;
    };
    return std::max(1, std::min({wanted, most(area.width, width), most(area.height, height)}));
}

} // namespace layout
