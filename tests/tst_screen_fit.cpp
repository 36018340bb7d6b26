// The window kept whole on its screen: the rule as a table, and the main
// window created on a screen too short for its stored place (the offscreen
// platform's screen is 1280x720 here).
#include "application.h"
#include "screen_fit.h"
#include "tform1.h"

#include <QScreen>
#include <QtTest>

#include <memory>

class TestScreenFit : public QObject {
    Q_OBJECT

  private slots:
    void fitInto_data()
    {
        QTest::addColumn<QRect>("frame");
        QTest::addColumn<QRect>("area");
        QTest::addColumn<QPoint>("placed");
        const QRect form(288, 208, 870, 640);
        const QRect screen(0, 0, 1280, 1024);
        QTest::newRow("fits: unchanged") << form << screen << QPoint(288, 208);
        QTest::newRow("touches the bottom and right edges: unchanged")
            << form << QRect(0, 0, 1158, 848) << QPoint(288, 208);
        QTest::newRow("past the bottom: up just enough")
            << form << QRect(0, 0, 1280, 720) << QPoint(288, 80);
        QTest::newRow("past the bottom of a panel's area: up to its edge")
            << form << QRect(0, 0, 1280, 800) << QPoint(288, 160);
        QTest::newRow("past the right: left just enough")
            << form << QRect(0, 0, 1024, 1024) << QPoint(154, 208);
        QTest::newRow("above and left of an area below a top panel: in to its corner")
            << QRect(-40, 10, 870, 640) << QRect(0, 32, 1280, 992) << QPoint(0, 32);
        QTest::newRow("wider than the area: at its left edge")
            << form << QRect(100, 0, 800, 1024) << QPoint(100, 208);
        QTest::newRow("larger than the area: at its top-left")
            << form << QRect(10, 20, 800, 600) << QPoint(10, 20);
        QTest::newRow("on a second screen: moved within that screen")
            << QRect(1500, 500, 870, 640) << QRect(1280, 0, 1920, 1080) << QPoint(1500, 440);
    }
    void fitInto()
    {
        QFETCH(QRect, frame);
        QFETCH(QRect, area);
        QFETCH(QPoint, placed);
        QCOMPARE(::fitInto(frame, area), QRect(placed, frame.size()));
    }

    void createdWindowMovesIntoTheScreen()
    {
        QCOMPARE(QGuiApplication::primaryScreen()->availableGeometry(), QRect(0, 0, 1280, 720));
        TForm1 *created = nullptr;
        Application->CreateForm(created);
        std::unique_ptr<TForm1> owner(created);
        created->show();
        QVERIFY(QTest::qWaitForWindowExposed(created));
        QCOMPARE(created->frameGeometry(), QRect(288, 80, 870, 640));
    }
};

int main(int argc, char **argv)
{
    TApplication app(argc, argv);
    app.Initialize();
    TestScreenFit test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_screen_fit.moc"
