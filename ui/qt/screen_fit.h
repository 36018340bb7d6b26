// Keeping a window whole on its screen: a window is moved, never resized,
// so that no part of it reaches past the area that panels leave free.
#pragma once

#include <QRect>

// layout::fitInto (ui/window_fit.h) for Qt's rectangles.
QRect fitInto(const QRect &frame, const QRect &area);

// `frame`, a window's outer rectangle, fitted into the available geometry
// (taskbars and panels excluded) of the screen that holds its centre, or of
// the primary screen when none does.
QRect fitToScreen(const QRect &frame);
