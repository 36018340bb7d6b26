// The progress of a long send, for serial::sendText: while the send runs the
// form is disabled, so that nothing else starts, but it keeps repainting and
// answering the window system; once the send has taken longer than half a
// second a small window shows the bytes sent of the total, as a bar and as
// figures, with a Cancel button, centred over the form and whole on its
// screen. The send stops too when the form says it was asked to close.
#pragma once

#include <QElapsedTimer>
#include <QPointer>
#include <QProgressDialog>
#include <QWidget>

#include <cstddef>
#include <functional>
#include <memory>

class SendProgress {
  public:
    // `formClosed()` says whether the user has asked to close the form since.
    SendProgress(QWidget *form, std::function<bool()> formClosed);
    ~SendProgress();
    SendProgress(const SendProgress &) = delete;
    SendProgress &operator=(const SendProgress &) = delete;

    // Shows how far the send got and lets the toolkit run; false once the
    // user has cancelled the send or closed the form.
    bool operator()(std::size_t sent, std::size_t total);

  private:
    // Gives the new progress window its size and its place before it shows.
    void placeOverForm(std::size_t total);

    QPointer<QWidget> form_;
    QPointer<QWidget> focus_;
    std::function<bool()> formClosed_;
    QElapsedTimer elapsed_;
    std::unique_ptr<QProgressDialog> dialog_;
    bool disabled_ = false;
};
