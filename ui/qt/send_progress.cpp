#include "send_progress.h"

#include "screen_fit.h"

#include <QApplication>
#include <QScreen>
#include <QWindow>

namespace {

constexpr int showAfterMs = 500;
constexpr int barSteps = 1000;

QString figures(std::size_t sent, std::size_t total)
{
    return QStringLiteral("已送出 %1 / %2 位元組").arg(sent).arg(total);
}

} // namespace

SendProgress::SendProgress(QWidget *form, std::function<bool()> formClosed)
    : form_(form), focus_(QApplication::focusWidget()), formClosed_(std::move(formClosed))
{
    elapsed_.start();
}

SendProgress::~SendProgress()
{
    dialog_.reset();
    if (disabled_ && form_) {
        form_->setEnabled(true);
        if (focus_)
            focus_->setFocus();
    }
}

bool SendProgress::operator()(std::size_t sent, std::size_t total)
{
    if (sent >= total)
        return true; // done: nothing to show or wait for
    if (!disabled_) {
        form_->setEnabled(false);
        disabled_ = true;
    }
    if (!dialog_ && elapsed_.elapsed() >= showAfterMs) {
        // A title and a close box, as a dialog has: nothing to minimize or
        // maximize.
        dialog_ = std::make_unique<QProgressDialog>(form_, Qt::Dialog | Qt::CustomizeWindowHint |
                                                               Qt::WindowTitleHint |
                                                               Qt::WindowCloseButtonHint);
        dialog_->setWindowTitle(QStringLiteral("傳送資料"));
        dialog_->setCancelButtonText(QStringLiteral("取消"));
        dialog_->setWindowModality(Qt::NonModal); // the form must still take its close box
        dialog_->setAutoReset(false);
        dialog_->setAutoClose(false);
        dialog_->setMinimumDuration(0);
        dialog_->setRange(0, barSteps);
        placeOverForm(total);
        dialog_->show();
    }
    if (dialog_) {
        dialog_->setLabelText(figures(sent, total));
        dialog_->setValue(static_cast<int>(static_cast<double>(sent) / total * barSteps));
    }
    QApplication::processEvents();
    return form_ && !formClosed_() && !(dialog_ && dialog_->wasCanceled());
}

void SendProgress::placeOverForm(std::size_t total)
{
    // Sized for the widest figures the send can show, once and for good: a
    // window that grows after it is mapped can be put back where Qt last
    // thought it was (the screen's corner, before the window manager said).
    dialog_->setLabelText(figures(total, total));
    dialog_->setFixedSize(dialog_->sizeHint());
    // Centred over the form's frame and whole on its screen, given as the
    // frame's own place; the window manager draws the same border and title
    // bar around it as around the form.
    const QMargins frame =
        form_->windowHandle() ? form_->windowHandle()->frameMargins() : QMargins();
    QRect outer(QPoint(), dialog_->size().grownBy(frame));
    outer.moveCenter(form_->frameGeometry().center());
    dialog_->move(fitInto(outer, form_->screen()->availableGeometry()).topLeft());
}
