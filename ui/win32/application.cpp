#include "application.h"

#include "message_pump.h"
#include "port.h"

#include <commctrl.h>

TApplication *Application = nullptr;

TApplication::TApplication()
{
    Application = this;
}

TApplication::~TApplication()
{
    Application = nullptr;
    forms_.clear();
}

namespace {

HWND boxOwner = nullptr; // the main window while Run dispatches its messages

// The serial operations' failure boxes, owned by the main window so that it
// takes no clicks while one is up.
int WINAPI ownedMessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT type)
{
    if (owner == nullptr && boxOwner != nullptr && IsWindow(boxOwner))
        owner = boxOwner;
    return MessageBoxUtf8(owner, text, caption, type);
}

} // namespace

void TApplication::Initialize()
{
    const INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
}

HWND TApplication::mainWindow() const
{
    return forms_.empty() ? nullptr : forms_.front()->Handle();
}

void TApplication::setExceptionBox()
{
    ::SetExceptionBox(Title, mainWindow());
}

void TApplication::Run()
{
    HWND window = mainWindow();
    if (window == nullptr)
        return;
    setExceptionBox();
    boxOwner = window;
    serial::setMessageBox(&ownedMessageBox);
    forms_.front()->Show();
    pump::run();
    // However the loop ended (a quit message that no window's end posted,
    // among others), no port stays open after it.
    serial::closePort();
    boxOwner = nullptr;
    serial::setMessageBox(nullptr);
}

void TApplication::ShowException(const Exception &error)
{
    setExceptionBox();
    ::ShowException(error);
}

int TApplication::RunProtected(const std::function<void()> &body)
{
    try {
        body();
    } catch (...) {
        setExceptionBox();
        ReportException(escaped::Where::StartUp);
    }
    return 0;
}
