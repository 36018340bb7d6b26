// The main window: the port selector, the send and receive boxes, and the
// four buttons that open the port, send, receive and exit. Its layout lives
// in tform1.ui.
#pragma once

#include "ui_tform1.h"

#include <QWidget>

class TForm1 : public QWidget {
    Q_OBJECT
  public:
    explicit TForm1(QWidget *owner = nullptr);

    Ui::TForm1 ui;

  public slots:
    void Button1Click(); // open the selected port
    void Button2Click(); // send the send box's text
    void Button3Click(); // put what was received into the receive box
    void Button4Click(); // close the port and end the program
};

// The main window, once the application has created it.
extern TForm1 *Form1;
