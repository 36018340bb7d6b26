// The application object: start-up, the event loop, and the box in which
// errors that reach the loop are reported.
#pragma once

#include "escaped_exception.h"

#include <QApplication>
#include <QPointer>
#include <QString>

#include <exception>
#include <functional>
#include <string>
#include <vector>

// An error the application reports to the user with its message.
class Exception : public std::exception {
  public:
    explicit Exception(QString message)
        : message_(std::move(message)), what_(message_.toStdString())
    {
    }
    const QString &Message() const { return message_; }
    const char *what() const noexcept override { return what_.c_str(); }

  private:
    QString message_;
    std::string what_;
};

class TApplication : public QApplication {
    Q_OBJECT
  public:
    // Also installs the Qt message box (message_box.h) as the one the serial
    // operations show their failures in, until the application ends.
    TApplication(int &argc, char **argv);
    ~TApplication() override;

    // Sets up what the windows rely on: the icon and the fonts the forms name.
    void Initialize();

    // Creates a form, stores it in `form` and, for the first one, makes it the
    // main window. The application owns its forms and deletes those still
    // there when it ends. A form may carry an `outerGeometry` property: the place and
    // size of its window, frame included.
    template <class Form> void CreateForm(Form *&form)
    {
        form = new Form;
        adoptForm(form);
    }

    // Shows the main window and handles events until it is closed.
    void Run();

    // Ends the program as closing the main window does: the main window is
    // closed, which stops a send in progress, and every event loop is left,
    // a modal box's included, so that Run returns.
    void Terminate();

    // Shows `error` in a modal box captioned with the application's name.
    void ShowException(const Exception &error);

    // Reports the exception being handled with ShowException, as
    // escaped_exception.h says (a what() read as UTF-8). Call only from
    // inside a catch block. RunProtected and notify both hand theirs here.
    void HandleException(escaped::Where where) noexcept;

    // Runs `body`, reporting whatever escapes it with HandleException.
    // Returns the process's exit status, 0.
    int RunProtected(const std::function<void()> &body);

    // Delivers events; an exception thrown while handling one is reported
    // with HandleException and the loop goes on.
    bool notify(QObject *receiver, QEvent *event) override;

  private:
    void adoptForm(QWidget *form);

    std::vector<QPointer<QWidget>> forms_; // the first is the main window
};

// The one application object, while it exists.
extern TApplication *Application;
