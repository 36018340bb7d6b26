// The application object on Qt's offscreen platform: exceptions that reach
// the event loop or the entry point, and the exit button's immediate end.
#include "application.h"
#include "port.h"
#include "pty_device.h"
#include "qt_window.h"

#include <QProcess>
#include <QTimer>

#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <utility>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

constexpr const char *exitFromClickFlag = "--exit-from-click";

// The child's side of exitButtonEndsAtOnce: opens the port and clicks the
// exit button from inside the event loop, with the application and the window
// alive. An exit handler that ran would end it with status 5; a return from
// the loop, with 4.
int exitFromClick()
{
    std::atexit([] { std::_Exit(5); });
    TForm1 form;
    form.show();
    QTimer::singleShot(0, &form, [&form] {
        QTest::mouseClick(form.ui.Button1, Qt::LeftButton);
        QTest::mouseClick(form.ui.Button4, Qt::LeftButton);
    });
    QApplication::exec();
    return 4;
}

} // namespace

class TestApplication : public FormTest {
    Q_OBJECT

  private slots:
    void exceptionsInHandlersAreReported_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("message");
        QTest::newRow("Exception") << 0 << u"未能完成"_s;
        QTest::newRow("std::exception") << 1 << u"bad thing"_s;
        QTest::newRow("anything else") << 2 << QString();
    }
    void exceptionsInHandlersAreReported()
    {
        QFETCH(int, kind);
        QFETCH(QString, message);
        auto *button = form->ui.Button2;
        connect(button, &QPushButton::clicked, form.get(), [kind, message] {
            if (kind == 0)
                throw Exception(message);
            if (kind == 1)
                throw std::runtime_error(message.toStdString());
            throw 42;
        });
        const Box box = dismissBox([button] { QTest::mouseClick(button, Qt::LeftButton); });
        QCOMPARE(box.title, QCoreApplication::applicationName());
        QCOMPARE(box.text, message);
        QCOMPARE(box.icon, QMessageBox::Critical);
        // The loop went on and the window still answers.
        QVERIFY(form->isVisible());
        QTest::mouseClick(form->findChildren<RadioItem *>()[1], Qt::LeftButton);
        QCOMPARE(form->ui.rdCOM->ItemIndex(), 1);
    }

    void exitButtonEndsAtOnce()
    {
        PtyDevice com1;
        PortMapping map1("COM1", com1.path());
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        child.start(QCoreApplication::applicationFilePath(),
                    {QString::fromLatin1(exitFromClickFlag)});
        QVERIFY(child.waitForFinished(30000));
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.exitCode(), 0);
    }

    void entryPointReportsWhatEscapes()
    {
        int status = -1;
        Box box = dismissBox([&] {
            status = Application->RunProtected([] { throw Exception(u"start failed"_s); });
        });
        QCOMPARE(box.text, u"start failed"_s);
        QCOMPARE(status, 0);
        // Anything but an Exception shows an empty box here, a
        // std::exception included (in the event loop it shows its what()).
        const std::vector<std::pair<std::function<void()>, QString>> rows{
            {[] { throw std::runtime_error("開不了"); }, QString()}, {[] { throw 7; }, QString()}};
        for (const auto &[body, text] : rows) {
            status = -1;
            box = dismissBox([&] { status = Application->RunProtected(body); });
            QCOMPARE(box.title, QCoreApplication::applicationName());
            QCOMPARE(box.text, text);
            QCOMPARE(status, 0);
        }
    }
};

int main(int argc, char **argv)
{
    TApplication app(argc, argv);
    app.Initialize();
    if (argc > 1 && std::strcmp(argv[1], exitFromClickFlag) == 0)
        return exitFromClick();
    TestApplication test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_application.moc"
