#include "message_box.h"

#include <QGridLayout>
#include <QSpacerItem>

void fitCaption(QMessageBox &box)
{
    // Title bars usually draw a larger, bold face than the box's text, and
    // take about this much for their buttons and the window's icon.
    constexpr int titleBarButtons = 160;
    QFont title = box.font();
    title.setBold(true);
    title.setPointSizeF(title.pointSizeF() * 1.25);
    const int wanted = QFontMetrics(title).horizontalAdvance(box.windowTitle()) + titleBarButtons;
    if (auto *grid = qobject_cast<QGridLayout *>(box.layout()))
        grid->addItem(new QSpacerItem(wanted, 0, QSizePolicy::Minimum, QSizePolicy::Minimum),
                      grid->rowCount(), 0, 1, grid->columnCount());
}

int WINAPI showMessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT type)
{
    if (owner != nullptr || type != MB_OK) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(caption ? caption : "Error"),
                    QString::fromUtf8(text ? text : ""), QMessageBox::Ok);
    fitCaption(box);
    box.exec();
    return IDOK;
}
