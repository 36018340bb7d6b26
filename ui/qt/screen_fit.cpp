#include "screen_fit.h"

#include "window_fit.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>

QRect fitInto(const QRect &frame, const QRect &area)
{
    const layout::Rect fitted =
        layout::fitInto({frame.x(), frame.y(), frame.width(), frame.height()},
                        {area.x(), area.y(), area.width(), area.height()});
    return {fitted.left, fitted.top, fitted.width, fitted.height};
}

QRect availableAround(const QRect &frame)
{
    QScreen *screen = QGuiApplication::screenAt(frame.center());
    if (screen == nullptr)
        screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->availableGeometry() : QRect();
}

QRect fitToScreen(const QRect &frame)
{
    const QRect area = availableAround(frame);
    return area.isValid() ? fitInto(frame, area) : frame;
}

void scaleForm(QWidget *form, int dpi)
{
    const auto scaled = [dpi](int pixels) { return pixels * dpi / 96; };
    const auto scaleFont = [dpi](QWidget *widget) {
        if (!widget->testAttribute(Qt::WA_SetFont))
            return;
        QFont font = widget->font();
        if (font.pointSizeF() > 0)
            font.setPointSizeF(font.pointSizeF() * dpi / 96);
        else
            font.setPixelSize(std::max(1, font.pixelSize() * dpi / 96));
        widget->setFont(font);
    };
    scaleFont(form);
    // The layout's widgets carry names; the parts that Qt's widgets make of
    // their own ("qt_scrollarea_viewport", ...) follow their owners.
    for (QWidget *widget : form->findChildren<QWidget *>()) {
        if (widget->objectName().isEmpty() || widget->objectName().startsWith(u"qt_"))
            continue;
        const QRect r = widget->geometry();
        widget->setGeometry(scaled(r.x()), scaled(r.y()), scaled(r.width()), scaled(r.height()));
        scaleFont(widget);
    }
    form->resize(scaled(form->width()), scaled(form->height()));
}
