// A long send through the Qt window on the offscreen platform: the progress
// window, Cancel, and the window closed while the send runs; against a
// pseudo-terminal that reads nothing.
#include "application.h"
#include "port.h"
#include "pty_device.h"
#include "qt_window.h"

#include <QElapsedTimer>
#include <QProgressDialog>
#include <QTimer>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

// Notes whether a progress window is shown while it lives.
class ProgressWatch : public QObject {
  public:
    ProgressWatch() { qApp->installEventFilter(this); }
    ~ProgressWatch() override { qApp->removeEventFilter(this); }
    bool eventFilter(QObject *object, QEvent *event) override
    {
        if (event->type() == QEvent::Show && qobject_cast<QProgressDialog *>(object))
            shown = true;
        return false;
    }
    bool shown = false;
};

// Lines of 64 characters, more than the line buffers hold while the device
// reads nothing; each line break goes out as CR LF.
const QString longText = (QString(63, u'x') + u'\n').repeated(4096);
constexpr std::size_t longTextBytes = 4096 * 65;

} // namespace

class TestSendProgress : public FormTest {
    Q_OBJECT

  private:
    // Opens COM1 on `device` and puts the long text in the send box.
    void prepareLongSend(PtyDevice &device)
    {
        const PortMapping map1("COM1", device.path());
        form->ui.Button1->click();
        QVERIFY(serial::isOpen());
        form->ui.mSend->setPlainText(longText);
    }

  private slots:
    void aLongSendShowsProgressAndCanBeCancelled()
    {
        PtyDevice com1;
        prepareLongSend(com1);
        const std::size_t total = longTextBytes;

        QString figures;
        int bar = -1;
        qint64 shownAfter = -1;
        bool formEnabled = true, repainted = false;
        QElapsedTimer clock;
        QTimer watch;
        connect(&watch, &QTimer::timeout, &watch, [&] {
            for (QWidget *w : QApplication::topLevelWidgets()) {
                auto *dialog = qobject_cast<QProgressDialog *>(w);
                if (dialog == nullptr || !dialog->isVisible() || !figures.isEmpty())
                    continue;
                shownAfter = clock.elapsed();
                figures = dialog->labelText();
                bar = dialog->value() * 1000 / dialog->maximum();
                formEnabled = form->isEnabled();
                // The form still paints while the send runs.
                form->ui.mReceive->setPlainText(u"painted"_s);
                repainted = !form->grab().isNull();
                dialog->findChild<QPushButton *>()->click();
            }
        });
        watch.start(20);
        clock.start();
        const Box box = dismissBox([this] { form->ui.Button2->click(); });
        const qint64 ended = clock.elapsed();
        watch.stop();

        // The window comes up about half a second into the send, with the
        // figures and the bar telling the same.
        QVERIFY2(shownAfter >= 400 && shownAfter < 2000, qPrintable(QString::number(shownAfter)));
        qulonglong shownSent = 0, shownTotal = 0;
        QVERIFY2(std::sscanf(figures.toUtf8().constData(), "已送出 %llu / %llu 位元組", &shownSent,
                             &shownTotal) == 2,
                 qPrintable(figures));
        QCOMPARE(shownTotal, qulonglong(total));
        QVERIFY(shownSent > 0);
        QVERIFY2(qAbs(bar - int(shownSent * 1000 / total)) <= 1,
                 qPrintable(u"bar %1 for %2"_s.arg(bar).arg(figures)));
        // Cancel ends the send at once, long before a stall would.
        QVERIFY2(ended < shownAfter + 3000, qPrintable(QString::number(ended)));
        QVERIFY(!formEnabled);
        QVERIFY(repainted);
        const std::size_t sent = com1.read(total, std::chrono::seconds(2)).size();
        QVERIFY(sent > 0 && sent < total);
        // The user's choice, not an error: no Send Error.
        QCOMPARE(box.title, u"Send Cancelled"_s);
        QCOMPARE(box.text, u"已取消傳送\n已送出 %1 / %2 位元組"_s.arg(sent).arg(total));

        // The window is usable again.
        QVERIFY(form->isEnabled());
        com1.write("after");
        QVERIFY(com1.waitQueued(5));
        QTest::mouseClick(form->ui.Button3, Qt::LeftButton);
        QCOMPARE(form->ui.mReceive->toPlainText(), u"after"_s);
    }

    // Closed before the progress window shows, the window stops the send
    // all the same, and shows nothing.
    void closingTheWindowEarlyStopsTheSend()
    {
        PtyDevice com1;
        prepareLongSend(com1);
        QTimer::singleShot(100, form.get(), [this] { form->close(); });
        ProgressWatch watch;
        QElapsedTimer clock;
        clock.start();
        form->ui.Button2->click();
        QVERIFY2(clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY2(!watch.shown, "the send went on until the progress window came up");
        QCOMPARE(QApplication::activeModalWidget(), nullptr);
        QVERIFY(com1.read(longTextBytes, std::chrono::seconds(1)).size() < longTextBytes);
    }
};

int main(int argc, char **argv)
{
    TApplication app(argc, argv);
    app.Initialize();
    TestSendProgress test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_send_progress.moc"
