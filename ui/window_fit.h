// Keeping a window whole on its screen, the one rule both front ends apply:
// a window is moved, never resized, so that no part of it reaches past the
// area that taskbars and panels leave free.
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

} // namespace layout
