#include "tform1.h"

#include "port.h"

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
    serial::openPort(ui.rdCOM->ItemIndex());
}

void TForm1::Button2Click()
{
    const QByteArray bytes = ui.mSend->toPlainText().toLocal8Bit();
    serial::sendText({bytes.constData(), std::size_t(bytes.size())});
}

void TForm1::Button3Click()
{
    if (const auto text = serial::receiveText())
        ui.mReceive->setPlainText(QString::fromLocal8Bit(text->data(), qsizetype(text->size())));
}

void TForm1::Button4Click()
{
    serial::closeAndExit();
}
