// Keeping a window whole on its screen (ui/window_fit.h): drawn smaller where
// it would not fit at the screen's scale, then moved, never resized, so that
// no part of it reaches past the area that panels leave free.
#pragma once

#include <QRect>

class QWidget;

// layout::fitInto (ui/window_fit.h) for Qt's rectangles.
QRect fitInto(const QRect &frame, const QRect &area);

// The available geometry (taskbars and panels excluded) of the screen that
// holds the centre of `frame`, or of the primary screen when none does.
QRect availableAround(const QRect &frame);

// `frame`, a window's outer rectangle, fitted into availableAround(frame).
QRect fitToScreen(const QRect &frame);

// Draws `form` at `dpi` / 96 of the size its layout gives it: the place and
// size of each of its named widgets and their fonts scaled together.
void scaleForm(QWidget *form, int dpi);
