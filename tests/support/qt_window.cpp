#include "qt_window.h"

#include "port.h"

#include <QApplication>
#include <QTimer>

Box dismissBox(const std::function<void()> &action)
{
    Box seen;
    bool found = false;
    auto *poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, poll, [&] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            seen = {box->windowTitle(), box->text(), box->icon(), box->standardButtons(),
                    box->width()};
            found = true;
            box->button(QMessageBox::Ok)->click();
        }
    });
    poll->start(10);
    action();
    delete poll;
    if (!found)
        qWarning("no message box came up");
    return seen;
}

void FormTest::init()
{
    form = std::make_unique<TForm1>();
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
}

void FormTest::cleanup()
{
    serial::closePort();
    form.reset();
}
