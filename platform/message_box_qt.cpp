#include "comm.h"

#include <QApplication>
#include <QMessageBox>

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type)
{
    // Only the plain box with one OK button is offered, and only while the
    // application runs; like the real call, anything else fails with 0.
    if (owner != nullptr || type != MB_OK) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (qobject_cast<QApplication *>(QCoreApplication::instance()) == nullptr) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return 0;
    }
    QMessageBox box(QMessageBox::NoIcon, QString::fromLocal8Bit(caption ? caption : "Error"),
                    QString::fromLocal8Bit(text ? text : ""), QMessageBox::Ok);
    box.exec();
    return IDOK;
}
