#include "radio_group.h"

#include <QKeyEvent>

int RadioGroup::ItemIndex() const
{
    int index = 0;
    for (const auto *item : findChildren<QRadioButton *>(Qt::FindDirectChildrenOnly)) {
        if (item->isChecked())
            return index;
        ++index;
    }
    return -1;
}

bool RadioItem::hitButton(const QPoint &pos) const
{
    return rect().contains(pos);
}

void RadioItem::keyPressEvent(QKeyEvent *event)
{
    // Qt looks for the next item in the arrow's direction on the screen, so
    // Left and Right find nothing in a column of items: make them Up and Down.
    const int key = event->key();
    if (key != Qt::Key_Left && key != Qt::Key_Right)
        return QRadioButton::keyPressEvent(event);
    QKeyEvent vertical(event->type(), key == Qt::Key_Left ? Qt::Key_Up : Qt::Key_Down,
                       event->modifiers(), event->text(), event->isAutoRepeat(), event->count());
    QRadioButton::keyPressEvent(&vertical);
    event->setAccepted(vertical.isAccepted());
}
