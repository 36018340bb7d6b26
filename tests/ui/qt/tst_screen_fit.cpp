// The window kept whole on its screen: Qt's rectangles through the shared
// rule, and the main window created on a screen too short for its stored
// place (the offscreen platform's screen is 1280x720 here; a second run has
// 1280x800 at 200 %).
#include "application.h"
#include "screen_fit.h"
#include "tform1.h"

#include <QScreen>
#include <QtTest>

#include <algorithm>
#include <iterator>
#include <memory>

using namespace Qt::StringLiterals;

class TestScreenFit : public QObject {
    Q_OBJECT

  private slots:
    // Qt's rectangles through the shared rule (tst_window_fit holds its
    // table): an area away from the origin, moved along both axes.
    void fitInto_data()
    {
        QTest::addColumn<QRect>("frame");
        QTest::addColumn<QRect>("area");
        QTest::addColumn<QPoint>("placed");
        QTest::newRow("above and left of an area below a top panel: in to its corner")
            << QRect(-40, 10, 870, 640) << QRect(0, 32, 1280, 992) << QPoint(0, 32);
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

    // The main window on the test's screen: moved into its available area;
    // where it would not fit at the screen's scale (1280x800 at 200 % is
    // 640x400 logical pixels), drawn at the largest scale at which it does,
    // controls and font together, every control inside it.
    void createdWindowFitsTheScreen()
    {
        struct Row {
            QRect area, frame;
            qreal pointSize;
        };
        const Row rows[] = {{QRect(0, 0, 1280, 720), QRect(288, 80, 870, 640), 8},
                            {QRect(0, 0, 640, 400), QRect(97, 0, 543, 400), 5}};
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        const auto row = std::find_if(std::begin(rows), std::end(rows),
                                      [&](const Row &r) { return r.area == area; });
        QVERIFY2(row != std::end(rows), "no row for the test's screen");
        TForm1 *created = nullptr;
        Application->CreateForm(created);
        std::unique_ptr<TForm1> owner(created);
        created->show();
        QVERIFY(QTest::qWaitForWindowExposed(created));
        QCOMPARE(created->frameGeometry(), row->frame);
        QCOMPARE(created->ui.Button4->font().pointSizeF(), row->pointSize);
        QCOMPARE(created->ui.mSend->font().pointSizeF(), row->pointSize);
        for (const QWidget *control : created->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
            QVERIFY2(created->rect().contains(control->geometry()),
                     qPrintable(control->objectName() + u" reaches past the window"_s));
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
