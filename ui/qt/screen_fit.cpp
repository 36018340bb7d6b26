#include "screen_fit.h"

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>

namespace {

// The start of a span of `length` at `start`, moved into [first, first + room).
int fitSpan(int start, int length, int first, int room)
{
    if (length >= room)
        return first;
    return std::clamp(start, first, first + room - length);
}

} // namespace

QRect fitInto(const QRect &frame, const QRect &area)
{
    return {QPoint(fitSpan(frame.x(), frame.width(), area.x(), area.width()),
                   fitSpan(frame.y(), frame.height(), area.y(), area.height())),
            frame.size()};
}

QRect fitToScreen(const QRect &frame)
{
    QScreen *screen = QGuiApplication::screenAt(frame.center());
    if (screen == nullptr)
        screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? fitInto(frame, screen->availableGeometry()) : frame;
}
