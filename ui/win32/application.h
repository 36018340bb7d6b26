// The application object: start-up, the message loop, and the box in which
// errors that reach the loop are reported.
#pragma once

#include "form.h"

#include <windows.h>

#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// An error the application reports to the user with its message.
class Exception : public std::exception {
  public:
    explicit Exception(std::wstring message);
    const std::wstring &Message() const { return message_; }
    // The message in the ANSI code page.
    const char *what() const noexcept override { return what_.c_str(); }

  private:
    std::wstring message_;
    std::string what_;
};

class TApplication {
  public:
    TApplication();
    ~TApplication();
    TApplication(const TApplication &) = delete;
    TApplication &operator=(const TApplication &) = delete;

    // The caption of the exception box: the program's name.
    std::wstring Title = L"comterm";

    // Loads the common controls the windows are made of (the progress bar
    // of a long send among them).
    void Initialize();

    // Creates a form, stores it in `form` and, for the first one, makes it the
    // main window: the message boxes of the serial operations belong to it,
    // and closing it ends Run. The application owns its forms.
    template <class Form> void CreateForm(Form *&form)
    {
        auto created = std::make_unique<Form>();
        form = created.get();
        forms_.push_back(std::move(created));
    }

    // Shows the main window and dispatches messages until it is closed, then
    // closes the serial port if one is still open. The keyboard works as in a
    // dialog: Tab, Shift+Tab and the arrow keys move between the controls.
    void Run();

    // Dispatches the messages waiting for this thread without waiting for
    // more; returns false once the main window has been closed.
    bool ProcessMessages();

    // Shows `error` in a modal box captioned with Title, owned by the main
    // window while it is there.
    void ShowException(const Exception &error);

    // Reports the exception being handled: an Exception with its message, a
    // std::exception with its what(), anything else with an empty message.
    // Call only from inside a catch block. No exception may unwind through
    // the system's frames, so each window procedure catches and calls this.
    void HandleException() noexcept;

    // Runs `body`, reporting whatever escapes it: an Exception with its
    // message, anything else as an Exception with an empty message.
    // Returns the process's exit status, 0.
    int RunProtected(const std::function<void()> &body);

    // Called by a form whose window is being destroyed: the main window's
    // end ends Run.
    void FormDestroyed(const TForm *form);

  private:
    HWND mainWindow() const;
    void dispatch(MSG &message);

    std::vector<std::unique_ptr<TForm>> forms_; // the first is the main window
};

// The one application object, while it exists.
extern TApplication *Application;
