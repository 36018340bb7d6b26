#include "radio_group.h"

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
