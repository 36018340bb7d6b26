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

  protected:
    // A close during a send is held back until the send has stopped, which
    // it does at its next piece; the form then closes (Button2Click).
    void closeEvent(QCloseEvent *event) override;

  private:
    bool sending_ = false;        // a send is running
    bool closeRequested_ = false; // the form was asked to close during it
};

// The main window, once the application has created it.
extern TForm1 *Form1;
