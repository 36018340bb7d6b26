#include "application.h"

#include <QFont>
#include <QIcon>
#include <QMessageBox>
#include <QPixmap>
#include <QWindow>

TApplication *Application = nullptr;

TApplication::TApplication(int &argc, char **argv) : QApplication(argc, argv)
{
    Application = this;
}

TApplication::~TApplication()
{
    Application = nullptr;
}

void TApplication::Initialize()
{
    // Naming the format keeps Qt from loading every image plugin to guess it.
    setWindowIcon(QIcon(QPixmap(QStringLiteral(":/icons/comterm.png"), "PNG")));
    // The forms name fonts of the system they were drawn on ("MS Sans Serif",
    // and a blank name for the system default). Both are drawn with a
    // Traditional Chinese face wherever they are missing; left to the
    // system's fallback, the captions could come out in Japanese glyph forms.
    const QStringList chinese{QStringLiteral("Noto Sans CJK TC"), QStringLiteral("AR PL UMing TW"),
                              QStringLiteral("Microsoft JhengHei"), QStringLiteral("PMingLiU")};
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"), chinese);
    QFont::insertSubstitutions(QStringLiteral(" "), chinese);
}

void TApplication::adoptForm(QWidget *form)
{
    const QRect outer = form->property("outerGeometry").toRect();
    if (outer.isValid()) {
        // A top-level widget's position is that of its frame, its size that of
        // its inside; the frame is known once the native window exists.
        form->winId();
        const QMargins frame = form->windowHandle()->frameMargins();
        form->move(outer.topLeft());
        form->resize(outer.size().shrunkBy(frame));
    }
    if (mainForm_.isNull())
        mainForm_ = form;
}

void TApplication::Run()
{
    if (mainForm_.isNull())
        return;
    mainForm_->show();
    exec();
}

void TApplication::ShowException(const Exception &error)
{
    QMessageBox::critical(nullptr, applicationName(), error.Message());
}

int TApplication::RunProtected(const std::function<void()> &body)
{
    try {
        body();
    } catch (const Exception &error) {
        ShowException(error);
    } catch (...) {
        try {
            throw Exception(QString());
        } catch (const Exception &error) {
            ShowException(error);
        }
    }
    return 0;
}

bool TApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const Exception &error) {
        ShowException(error);
    } catch (const std::exception &error) {
        ShowException(Exception(QString::fromLocal8Bit(error.what())));
    } catch (...) {
        ShowException(Exception(QString()));
    }
    return false;
}
