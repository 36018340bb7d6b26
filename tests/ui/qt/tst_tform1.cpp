// The main window on Qt's offscreen platform: its layout, its buttons driving
// a real pseudo-terminal, and its message boxes.
#include "application.h"
#include "device.h"
#include "message_recorder.h"
#include "port.h"
#include "qt_window.h"

#include <QSignalSpy>
#include <QTimer>

#include <algorithm>
#include <memory>

using namespace Qt::StringLiterals;

class TestTForm1 : public FormTest {
    Q_OBJECT

  private slots:
    void controls_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("className");
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<QString>("caption");
        QTest::newRow("Label1") << u"Label1"_s << u"QLabel"_s << QRect(104, 216, 75, 13)
                                << u"傳送的資料     "_s;
        QTest::newRow("Label2") << u"Label2"_s << u"QLabel"_s << QRect(368, 216, 72, 13)
                                << u"接收的資料    "_s;
        QTest::newRow("Button1") << u"Button1"_s << u"QPushButton"_s << QRect(336, 32, 81, 25)
                                 << u"    開啟通訊阜        "_s;
        QTest::newRow("Button2") << u"Button2"_s << u"QPushButton"_s << QRect(96, 464, 97, 25)
                                 << u"傳送資料"_s;
        QTest::newRow("Button3") << u"Button3"_s << u"QPushButton"_s << QRect(360, 464, 97, 25)
                                 << u"接收資料"_s;
        QTest::newRow("rdCOM") << u"rdCOM"_s << u"RadioGroup"_s << QRect(40, 24, 209, 129)
                               << u"選擇通訊阜"_s;
        QTest::newRow("mSend") << u"mSend"_s << u"QPlainTextEdit"_s << QRect(88, 248, 145, 185)
                               << u"mSend"_s;
        QTest::newRow("mReceive") << u"mReceive"_s << u"QPlainTextEdit"_s
                                  << QRect(344, 248, 137, 185) << u"mReceive"_s;
        QTest::newRow("Button4") << u"Button4"_s << u"QPushButton"_s << QRect(504, 32, 113, 25)
                                 << u"結束"_s;
    }
    void controls()
    {
        QFETCH(QString, name);
        QFETCH(QString, className);
        QFETCH(QRect, geometry);
        QFETCH(QString, caption);
        auto *w = form->findChild<QWidget *>(name);
        QVERIFY(w);
        QCOMPARE(w->parentWidget(), form.get());
        QCOMPARE(QString::fromLatin1(w->metaObject()->className()), className);
        QCOMPARE(w->geometry(), geometry);
        QString shown;
        if (auto *label = qobject_cast<QLabel *>(w))
            shown = label->text();
        else if (auto *button = qobject_cast<QAbstractButton *>(w))
            shown = button->text();
        else if (auto *group = qobject_cast<QGroupBox *>(w))
            shown = group->title();
        else if (auto *box = qobject_cast<QPlainTextEdit *>(w)) {
            shown = box->toPlainText();
            QVERIFY(!box->isReadOnly());
            QCOMPARE(box->font().family(), u" "_s);
            QVERIFY(!box->font().bold() && !box->font().italic());
        }
        QCOMPARE(shown, caption);
    }

    void window()
    {
        QCOMPARE(form->windowTitle(), u"Form1"_s);
        QCOMPARE(form->font().family(), u"MS Sans Serif"_s);
        QCOMPARE(form->font().pointSize(), 8);
        QVERIFY(!form->font().bold());
        // The window is drawn in the button face colour (a corner no control covers).
        QCOMPARE(form->grab().toImage().pixelColor(4, 4),
                 QApplication::palette().color(QPalette::Button));

        // Created by the application, the window takes its place and outer size.
        TForm1 *created = nullptr;
        Application->CreateForm(created);
        std::unique_ptr<TForm1> owner(created);
        created->show();
        QVERIFY(QTest::qWaitForWindowExposed(created));
        QCOMPARE(created->frameGeometry(), QRect(288, 208, 870, 640));

        // The selector: COM1 selected, its two items sharing the group's inside.
        auto *group = form->ui.rdCOM;
        QCOMPARE(group->ItemIndex(), 0);
        const auto items = group->findChildren<RadioItem *>();
        QCOMPARE(items.size(), 2);
        QCOMPARE(items[0]->text(), u"COM1"_s);
        QCOMPARE(items[1]->text(), u"COM2"_s);
        QCOMPARE(items[0]->width(), items[1]->width());
        QVERIFY(items[0]->width() >= group->contentsRect().width() - 16);
        QVERIFY(qAbs(items[0]->height() - items[1]->height()) <= 1);
        QVERIFY(items[1]->y() >= items[0]->geometry().bottom());
        QVERIFY(items[0]->height() * 2 >= group->contentsRect().height() - 4);
        // A click in the empty right-hand part of a row selects its item.
        QTest::mouseClick(items[1], Qt::LeftButton, {},
                          QPoint(items[1]->width() - 4, items[1]->height() / 2));
        QCOMPARE(group->ItemIndex(), 1);
        QTest::mouseClick(items[0], Qt::LeftButton, {},
                          QPoint(items[0]->width() - 4, items[0]->height() - 2));
        QCOMPARE(group->ItemIndex(), 0);
    }

    // Tab walks the controls in order and Shift+Tab back, the checked radio
    // item standing in the group's place; the arrow keys move the check.
    void tabOrder_data()
    {
        QTest::addColumn<int>("checked");
        QTest::addColumn<Qt::Key>("key");
        QTest::addColumn<QStringList>("order");
        const QStringList forward{u"Button1"_s, u"Button2"_s,  u"Button3"_s, u"rdCOMItem%1"_s,
                                  u"mSend"_s,   u"mReceive"_s, u"Button4"_s, u"Button1"_s};
        QStringList backward = forward;
        std::reverse(backward.begin(), backward.end());
        for (int item : {0, 1}) {
            const auto rows = [item](QStringList order) {
                return order.replaceInStrings(u"%1"_s, QString::number(item));
            };
            QTest::addRow("Tab, COM%d checked", item + 1) << item << Qt::Key_Tab << rows(forward);
            QTest::addRow("Shift+Tab, COM%d checked", item + 1)
                << item << Qt::Key_Backtab << rows(backward);
        }
    }
    void tabOrder()
    {
        QFETCH(int, checked);
        QFETCH(Qt::Key, key);
        QFETCH(QStringList, order);
        const auto items = form->ui.rdCOM->findChildren<RadioItem *>();
        // Down from the first item checks and focuses the second, as on Windows.
        items[0]->setFocus();
        if (checked == 1)
            QTest::keyClick(items[0], Qt::Key_Down);
        QCOMPARE(form->ui.rdCOM->ItemIndex(), checked);
        QCOMPARE(QApplication::focusWidget(), items[checked]);

        QStringList walked;
        form->ui.Button1->setFocus();
        for (qsizetype i = 0; i < order.size(); ++i) {
            QWidget *focused = QApplication::focusWidget();
            QVERIFY(focused);
            walked << focused->objectName();
            QTest::keyClick(focused, key);
        }
        QCOMPARE(walked, order);
    }

    // All four arrows move between the radio items and check the one they
    // reach, as in a Windows radio group.
    void arrowsMoveInTheGroup_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<Qt::Key>("key");
        QTest::addColumn<int>("to");
        QTest::newRow("Down") << 0 << Qt::Key_Down << 1;
        QTest::newRow("Right") << 0 << Qt::Key_Right << 1;
        QTest::newRow("Up") << 1 << Qt::Key_Up << 0;
        QTest::newRow("Left") << 1 << Qt::Key_Left << 0;
    }
    void arrowsMoveInTheGroup()
    {
        QFETCH(int, from);
        QFETCH(Qt::Key, key);
        QFETCH(int, to);
        const auto items = form->ui.rdCOM->findChildren<RadioItem *>();
        items[from]->setChecked(true);
        items[from]->setFocus();
        QTest::keyClick(items[from], key);
        QCOMPARE(QApplication::focusWidget(), items[to]);
        QCOMPARE(form->ui.rdCOM->ItemIndex(), to);
    }

    // Return and the keypad's Enter press the focused button, as Space does;
    // in a box they start a new line.
    void returnPressesTheFocusedButton_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<Qt::Key>("key");
        for (const char *name : {"Button1", "Button2", "Button3", "Button4"}) {
            QTest::addRow("%s Return", name) << QString::fromLatin1(name) << Qt::Key_Return;
            QTest::addRow("%s Enter", name) << QString::fromLatin1(name) << Qt::Key_Enter;
            QTest::addRow("%s Space", name) << QString::fromLatin1(name) << Qt::Key_Space;
        }
    }
    void returnPressesTheFocusedButton()
    {
        QFETCH(QString, button);
        QFETCH(Qt::Key, key);
        auto *pressed = form->findChild<QPushButton *>(button);
        QVERIFY(pressed);
        // Seen on the button itself, so that no port or box comes into it.
        disconnect(pressed, &QAbstractButton::clicked, form.get(), nullptr);
        QSignalSpy clicks(pressed, &QAbstractButton::clicked);
        pressed->setFocus();
        const Qt::KeyboardModifiers modifiers =
            key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier;
        QTest::keyClick(pressed, key, modifiers);
        QCOMPARE(clicks.count(), 1);

        for (QPlainTextEdit *box : {form->ui.mSend, form->ui.mReceive}) {
            box->setPlainText(u"a"_s);
            box->moveCursor(QTextCursor::End);
            box->setFocus();
            QTest::keyClick(box, key, modifiers);
            QTest::keyClicks(box, u"b"_s);
            QCOMPARE(box->toPlainText(), key == Qt::Key_Space ? u"a b"_s : u"a\nb"_s);
        }
        QCOMPARE(clicks.count(), 1);
    }

    void buttonsDriveThePort()
    {
        MessageRecorder messages;
        PtyDevice com1, com2;
        PortMapping map1("COM1", com1.path()), map2("COM2", com2.path());

        QTest::mouseClick(form->ui.Button1, Qt::LeftButton);
        QVERIFY(serial::isOpen());
        // The untouched send box sends its initial line as it holds it.
        QTest::mouseClick(form->ui.Button2, Qt::LeftButton);
        QCOMPARE(QByteArray::fromStdString(com1.read(5)), "mSend");
        form->ui.mSend->setPlainText(u"傳送\n2"_s);
        QTest::mouseClick(form->ui.Button2, Qt::LeftButton);
        QCOMPARE(QByteArray::fromStdString(com1.read(9)), "\xe5\x82\xb3\xe9\x80\x81\r\n2");

        // Receive replaces whatever the box holds, the user's typing included.
        QTest::keyClicks(form->ui.mReceive, u"typed"_s);
        com1.write("reply\r\n");
        QVERIFY(com1.waitQueued(7));
        QTest::mouseClick(form->ui.Button3, Qt::LeftButton);
        QCOMPARE(form->ui.mReceive->toPlainText(), u"reply\n"_s);

        // A backlog over the limit comes in 1,024 bytes at a time.
        com1.write(std::string(1024, 'a') + "bc");
        QVERIFY(com1.waitQueued(1026));
        QTest::mouseClick(form->ui.Button3, Qt::LeftButton);
        QCOMPARE(form->ui.mReceive->toPlainText(), QString(1024, u'a'));
        QTest::mouseClick(form->ui.Button3, Qt::LeftButton);
        QCOMPARE(form->ui.mReceive->toPlainText(), u"bc"_s);

        // A character that straddles the page shows whole, once, in the next receive.
        com1.write(std::string(1023, 'a') + "\xe4\xbd\xa0z");
        QVERIFY(com1.waitQueued(1027));
        QTest::mouseClick(form->ui.Button3, Qt::LeftButton);
        QCOMPARE(form->ui.mReceive->toPlainText(), QString(1023, u'a'));
        QTest::mouseClick(form->ui.Button3, Qt::LeftButton);
        QCOMPARE(form->ui.mReceive->toPlainText(), u"你z"_s);
        // What was kept of a character belongs to its port: an open drops it.
        com1.write("\xe4\xbd");
        QVERIFY(com1.waitQueued(2));
        QTest::mouseClick(form->ui.Button3, Qt::LeftButton);
        QCOMPARE(form->ui.mReceive->toPlainText(), QString());
        QTest::mouseClick(form->ui.Button1, Qt::LeftButton);
        com1.write("\xa0");
        QVERIFY(com1.waitQueued(1));
        QTest::mouseClick(form->ui.Button3, Qt::LeftButton);
        QCOMPARE(form->ui.mReceive->toPlainText(), u"\uFFFD"_s);

        // The second item opens COM2.
        QTest::mouseClick(form->findChildren<RadioItem *>()[1], Qt::LeftButton);
        QTest::mouseClick(form->ui.Button1, Qt::LeftButton);
        QTest::mouseClick(form->ui.Button2, Qt::LeftButton);
        QCOMPARE(QByteArray::fromStdString(com2.read(9)), "\xe5\x82\xb3\xe9\x80\x81\r\n2");
        QVERIFY(messages.take().empty());

        // Nothing received: the box empties.
        QTest::mouseClick(form->ui.Button3, Qt::LeftButton);
        QCOMPARE(form->ui.mReceive->toPlainText(), QString());
    }

    // No port: a receive changes nothing. A vanished device: the receive box
    // empties before a box says why, so that no old reply looks new.
    void receiveFromAVanishedDeviceEmptiesTheBoxAndSaysWhy()
    {
        form->ui.mReceive->setPlainText(u"old reply"_s);
        form->ui.Button3->click();
        QCOMPARE(form->ui.mReceive->toPlainText(), u"old reply"_s);

        PtyDevice com1;
        PortMapping map1("COM1", com1.path());
        form->ui.Button1->click();
        QVERIFY(serial::isOpen());
        com1.unplug();
        QString underTheBox = u"not looked at"_s;
        const Box box = dismissBox([&] {
            QTimer::singleShot(0, form.get(),
                               [&] { underTheBox = form->ui.mReceive->toPlainText(); });
            form->ui.Button3->click();
        });
        QCOMPARE(box.title, u"Receive Error"_s);
        QCOMPARE(box.text, u"接收資料錯誤!!\n\nthe device is gone: Input/output error"_s);
        QCOMPARE(underTheBox, QString());
        QCOMPARE(form->ui.mReceive->toPlainText(), QString());
    }

    // "Form1" while no port is open, the open port's name, device and line
    // before it while one is; an open that fails leaves none open, so its
    // box and the window after it say "Form1" again.
    void titleNamesTheOpenPort()
    {
        static QString titleDuringBox;
        static TForm1 *shown;
        shown = form.get();
        titleDuringBox.clear();
        const auto previous = serial::setMessageBox([](HWND, LPCSTR, LPCSTR, UINT) {
            titleDuringBox = shown->windowTitle();
            return IDOK;
        });
        PtyDevice com1;
        QCOMPARE(form->windowTitle(), u"Form1"_s);
        for (const std::string &failing : {std::string("/dev/no-such-serial-device"),
                                           notATerminal(), com1.path() + " parity=x"}) {
            {
                PortMapping map("COM1", com1.path() + " baud=115200 parity=e data=7");
                form->ui.Button1->click();
            }
            QCOMPARE(form->windowTitle(), u"COM1 ("_s + QString::fromStdString(com1.path()) +
                                              u") 115200 7-E-1 - Form1"_s);
            QVERIFY(titleDuringBox.isNull());
            PortMapping map("COM1", failing);
            form->ui.Button1->click();
            QCOMPARE(titleDuringBox, u"Form1"_s);
            QCOMPARE(form->windowTitle(), u"Form1"_s);
            titleDuringBox = QString();
        }
        serial::setMessageBox(previous);
    }

    void openFailuresShowRealMessageBoxes()
    {
        PortMapping missing("COM1", "/dev/no-such-serial-device");
        Box box = dismissBox([this] { form->ui.Button1->click(); });
        QCOMPARE(box.title, u"Comm Error"_s);
        QCOMPARE(box.text, u"開啟通訊阜錯誤!!\n\nCOM1 (/dev/no-such-serial-device, from the COM1 "
                           "variable): No such file or directory"_s);
        QCOMPARE(box.icon, QMessageBox::NoIcon);
        QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QVERIFY2(box.width >= 220, "room for the caption in a title bar");
        QVERIFY(!serial::isOpen());

        PortMapping plainFile("COM1", notATerminal());
        box = dismissBox([this] { form->ui.Button1->click(); });
        QCOMPARE(box.title, u"Set Error"_s);
        QVERIFY2(box.text.startsWith(u"開啟通訊阜設定錯誤!!\n\nCOM1 ("_s), qPrintable(box.text));
        QVERIFY(!serial::isOpen());
    }
};

int main(int argc, char **argv)
{
    TApplication app(argc, argv);
    app.Initialize();
    TestTForm1 test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_tform1.moc"
