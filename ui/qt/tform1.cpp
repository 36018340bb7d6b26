#include "tform1.h"

#include "port.h"
#include "send_progress.h"
#include "text.h"
#include "tform1_layout.h"

#include <QApplication>
#include <QCloseEvent>

TForm1 *Form1 = nullptr;

TForm1::TForm1(QWidget *owner) : QWidget(owner)
{
    ui.setupUi(this);
    connect(ui.Button1, &QPushButton::clicked, this, &TForm1::Button1Click);
    connect(ui.Button2, &QPushButton::clicked, this, &TForm1::Button2Click);
    connect(ui.Button3, &QPushButton::clicked, this, &TForm1::Button3Click);
    connect(ui.Button4, &QPushButton::clicked, this, &TForm1::Button4Click);
}

void TForm1::Button1Click()
{
    // Open closes the port that was open first: no port is open while it
    // runs, nor after it fails.
    const QString base = QString::fromStdU16String(std::u16string(layout::title));
    setWindowTitle(base);
    serial::openPort(ui.rdCOM->ItemIndex());
    if (const std::string port = serial::openPortTitle(); !port.empty())
        setWindowTitle(QString::fromStdString(port) + " - " + base);
}

void TForm1::Button2Click()
{
    const QString text = ui.mSend->toPlainText();
    const std::string bytes = serial::portText().encode(
        {reinterpret_cast<const char16_t *>(text.utf16()), std::size_t(text.size())});
    serial::SendResult result;
    {
        sending_ = true;
        const struct Sent {
            bool &sending;
            ~Sent() { sending = false; }
        } sent{sending_};
        // Gone, and the form usable again, before any box.
        SendProgress progress(this, [this] { return closeRequested_; });
        result = serial::sendText(bytes, std::ref(progress));
    }
    if (closeRequested_) {
        close(); // closed during the send: end as the close box does
        return;
    }
    serial::reportSend(result);
}

void TForm1::closeEvent(QCloseEvent *event)
{
    if (sending_) {
        closeRequested_ = true;
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

void TForm1::Button3Click()
{
    const serial::ReceiveResult result = serial::receiveText();
    if (result.end == serial::ReceiveEnd::NoPort)
        return;
    // Emptied before the box of a lost device shows, so that no earlier
    // reply stays in view as if it had just come.
    const std::u16string text = serial::portText().decode(result.bytes);
    ui.mReceive->setPlainText(QString::fromUtf16(text.data(), qsizetype(text.size())));
    serial::reportReceive(result);
}

void TForm1::Button4Click()
{
    serial::closeAndExit();
}
