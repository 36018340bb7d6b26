// The application object: start-up, the message loop, and the box in which
// errors that reach the loop are reported. Only the entry point knows it.
#pragma once

#include "exception.h"
#include "form.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

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
    // main window: the message boxes of the serial operations and of
    // exceptions belong to it. The application owns its forms; the main form
    // ends Run by posting the quit message when its window ends.
    template <class Form> void CreateForm(Form *&form)
    {
        auto created = std::make_unique<Form>();
        form = created.get();
        forms_.push_back(std::move(created));
    }

    // Shows the main window and dispatches messages (message_pump.h) until
    // the quit message, then closes the serial port if one is still open.
    void Run();

    // Shows `error` in a modal box captioned with Title, owned by the main
    // window while it is there.
    void ShowException(const Exception &error);

    // Runs `body`, reporting whatever escapes it as every window procedure
    // does (exception.h). Returns the process's exit status, 0.
    int RunProtected(const std::function<void()> &body);

  private:
    HWND mainWindow() const;
    void setExceptionBox();

    std::vector<std::unique_ptr<TForm>> forms_; // the first is the main window
};

// The one application object, while it exists.
extern TApplication *Application;
