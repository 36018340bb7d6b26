// The window that tform1.ui builds, on Qt's offscreen platform, against the
// layout table that the Win32 window is made from: a change to one of them
// that is not made to the other fails here.
#include "application.h"
#include "tform1.h"
#include "tform1_layout.h"

#include <QtTest>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

QString qt(std::u16string_view text)
{
    return QString::fromUtf16(text.data(), qsizetype(text.size()));
}

QRect qt(const layout::Rect &r)
{
    return {r.left, r.top, r.width, r.height};
}

// What the control shows, and whether its Qt class is the table's kind.
std::pair<QString, bool> textAndKind(QWidget *w, layout::Kind kind)
{
    switch (kind) {
    case layout::Kind::Label:
        if (auto *label = qobject_cast<QLabel *>(w))
            return {label->text(), true};
        break;
    case layout::Kind::Button:
        if (auto *button = qobject_cast<QPushButton *>(w))
            return {button->text(), true};
        break;
    case layout::Kind::RadioGroup:
        if (auto *group = qobject_cast<RadioGroup *>(w))
            return {group->title(), true};
        break;
    case layout::Kind::Memo:
        if (auto *box = qobject_cast<QPlainTextEdit *>(w))
            return {box->toPlainText(),
                    !box->isReadOnly() && box->verticalScrollBarPolicy() != Qt::ScrollBarAlwaysOff};
        break;
    }
    return {{}, false};
}

} // namespace

class TestLayout : public QObject {
    Q_OBJECT

    TForm1 form;

  private slots:
    void initTestCase()
    {
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
    }

    void window()
    {
        QCOMPARE(form.windowTitle(), qt(layout::title));
        QCOMPARE(form.property("outerGeometry").toRect(), qt(layout::window));
        // -11 pixels at 96 DPI is Qt's 8 points.
        QCOMPARE(form.font().pointSize(), qRound(-layout::fontHeight * 72.0 / 96.0));
    }

    void controls_data()
    {
        QTest::addColumn<int>("index");
        for (std::size_t i = 0; i < std::size(layout::controls); ++i)
            QTest::newRow(layout::controls[i].name.data()) << int(i);
    }
    void controls()
    {
        QFETCH(int, index);
        const layout::Control &c = layout::controls[index];
        auto *w = form.findChild<QWidget *>(QString::fromLatin1(c.name));
        QVERIFY(w);
        QCOMPARE(w->parentWidget(), &form);
        const auto [text, kindMatches] = textAndKind(w, c.kind);
        QVERIFY2(kindMatches, w->metaObject()->className());
        QCOMPARE(w->geometry(), qt(c.rect));
        QCOMPARE(text, qt(c.text));
        // Created in the table's order: the children list keeps it.
        const auto siblings = form.findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
        QCOMPARE(siblings.indexOf(w), index);
    }

    void radioItems_data()
    {
        QTest::addColumn<int>("index");
        for (std::size_t i = 0; i < std::size(layout::radioItems); ++i)
            QTest::newRow(layout::radioItems[i].name.data()) << int(i);
    }
    void radioItems()
    {
        QFETCH(int, index);
        const layout::RadioItem &item = layout::radioItems[index];
        auto *group = form.ui.rdCOM;
        const auto items = group->findChildren<RadioItem *>();
        QCOMPARE(items.size(), qsizetype(std::size(layout::radioItems)));
        auto *w = items[index];
        QCOMPARE(w->objectName(), QString::fromLatin1(item.name));
        QCOMPARE(w->text(), qt(item.text));
        QCOMPARE(QRect(w->mapTo(&form, QPoint(0, 0)), w->size()), qt(item.rect));
        QCOMPARE(w->isChecked(), index == layout::radioSelected);
    }

    // Each box is named by its label, for screen readers and the label's
    // mnemonic.
    void labelsLabelTheirBoxes()
    {
        QCOMPARE(form.ui.Label1->buddy(), form.ui.mSend);
        QCOMPARE(form.ui.Label2->buddy(), form.ui.mReceive);
    }

    void tabOrder()
    {
        QStringList expected;
        for (int order = 0;; ++order) {
            const auto it = std::ranges::find(layout::controls, order, &layout::Control::tabOrder);
            if (it == std::end(layout::controls))
                break;
            expected << QString::fromLatin1(it->name);
        }
        // The tab stops of Qt's focus chain from Button1 on, the group's
        // items counted as the group.
        QStringList chain;
        QWidget *w = form.ui.Button1;
        do {
            if (w->focusPolicy() & Qt::TabFocus && w->isVisibleTo(&form)) {
                const bool item = w->parentWidget() == form.ui.rdCOM;
                const QString name = item ? u"rdCOM"_s : w->objectName();
                if (!chain.contains(name))
                    chain << name;
            }
            w = w->nextInFocusChain();
        } while (w != form.ui.Button1);
        QCOMPARE(chain, expected);
    }
};

int main(int argc, char **argv)
{
    TApplication app(argc, argv);
    app.Initialize();
    TestLayout test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_layout.moc"
