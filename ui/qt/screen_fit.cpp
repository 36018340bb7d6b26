#include "screen_fit.h"

#include "window_fit.h"

#include <QGuiApplication>
#include <QScreen>

QRect fitInto(const QRect &frame, const QRect &area)
{
    const layout::Rect fitted =
        layout::fitInto({frame.x(), frame.y(), frame.width(), frame.height()},
                        {area.x(), area.y(), area.width(), area.height()});
    return {fitted.left, fitted.top, fitted.width, fitted.height};
}

QRect fitToScreen(const QRect &frame)
{
    QScreen *screen = QGuiApplication::screenAt(frame.center());
    if (screen == nullptr)
        screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? fitInto(frame, screen->availableGeometry()) : frame;
}
