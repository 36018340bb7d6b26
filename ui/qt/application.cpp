#include "application.h"

#include "message_box.h"
#include "port.h"
#include "screen_fit.h"
#include "window_fit.h"

#include <QEvent>
#include <QFont>
#include <QIcon>
#include <QMessageBox>
#include <QPixmap>
#include <QWindow>

TApplication *Application = nullptr;

TApplication::TApplication(int &argc, char **argv) : QApplication(argc, argv)
{
    Application = this;
    serial::setMessageBox(&showMessageBox);
}

TApplication::~TApplication()
{
    for (const QPointer<QWidget> &form : forms_)
        delete form.data();
    serial::setMessageBox(nullptr);
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

namespace {

// Keeps a window's frame at a place and size of its own. A top-level widget's
// position is that of its frame but its size that of its inside, and the
// frame's margins are known only once the window system has framed the
// window, so the inside is sized again whenever they change.
class OuterGeometry : public QObject {
  public:
    OuterGeometry(QWidget *form, QRect outer) : QObject(form), form_(form), outer_(outer)
    {
        form->winId(); // the native window, whose frame margins are asked for
        form->windowHandle()->installEventFilter(this);
        apply();
    }

    bool eventFilter(QObject *, QEvent *event) override
    {
        // A window manager frames the window before it is first exposed.
        if (event->type() == QEvent::Expose || event->type() == QEvent::Move)
            apply();
        return false;
    }

  private:
    void apply()
    {
        const QMargins frame = form_->windowHandle()->frameMargins();
        if (applied_ && frame == frame_)
            return;
        applied_ = true;
        frame_ = frame;
        form_->move(outer_.topLeft());
        form_->resize(outer_.size().shrunkBy(frame));
    }

    QWidget *form_;
    QRect outer_;
    QMargins frame_;
    bool applied_ = false;
};

} // namespace

void TApplication::adoptForm(QWidget *form)
{
    QRect outer = form->property("outerGeometry").toRect();
    if (outer.isValid()) {
        const QRect area = availableAround(outer);
        const int dpi = area.isValid()
                            ? layout::fitDpi(96, outer.width(), outer.height(),
                                             {area.x(), area.y(), area.width(), area.height()})
                            : 96;
        if (dpi < 96) {
            scaleForm(form, dpi);
            outer.setSize({outer.width() * dpi / 96, outer.height() * dpi / 96});
        }
        new OuterGeometry(form, fitToScreen(outer));
    }
    forms_.emplace_back(form);
}

void TApplication::Run()
{
    if (forms_.empty() || forms_.front().isNull())
        return;
    forms_.front()->show();
    exec();
}

void TApplication::Terminate()
{
    if (!forms_.empty() && forms_.front())
        forms_.front()->close();
    // exit leaves every event loop, a modal box's too, whether or not its
    // window agrees to close; a box opened after it returns at once.
    QCoreApplication::exit(0);
}

void TApplication::ShowException(const Exception &error)
{
    QMessageBox box(QMessageBox::Critical, applicationName(), error.Message(), QMessageBox::Ok);
    fitCaption(box);
    box.exec();
}

void TApplication::HandleException(escaped::Where where) noexcept
{
    escaped::report<Exception>(
        where, [this](const Exception &error) { ShowException(error); },
        [](const char *what) { return QString::fromUtf8(what); });
}

int TApplication::RunProtected(const std::function<void()> &body)
{
    try {
        body();
    } catch (...) {
        HandleException(escaped::Where::StartUp);
    }
    return 0;
}

bool TApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        HandleException(escaped::Where::EventLoop);
    }
    return false;
}
