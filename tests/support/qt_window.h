// Helpers for the tests of the Qt window on the offscreen platform.
#pragma once

#include "tform1.h"

#include <QMessageBox>
#include <QString>
#include <QtTest>

#include <functional>
#include <memory>

// A message box as it was shown.
struct Box {
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    int width = 0;
};

// Runs `action`, which must bring up a modal message box, records the box
// and dismisses it.
Box dismissBox(const std::function<void()> &action);

// A shown main window for each test function, and no port open after it.
class FormTest : public QObject {
    Q_OBJECT

  protected:
    std::unique_ptr<TForm1> form;

  protected slots:
    void init();
    void cleanup();
};
