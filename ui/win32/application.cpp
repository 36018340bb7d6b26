#include "application.h"

#include "ansi.h"
#include "port.h"

#include <commctrl.h>

TApplication *Application = nullptr;

Exception::Exception(std::wstring message)
    : message_(std::move(message)), what_(ansi::narrow(message_))
{
}

TApplication::TApplication()
{
    Application = this;
}

TApplication::~TApplication()
{
    Application = nullptr; // the forms' windows, if still there, end without it
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

void TApplication::Run()
{
    HWND window = mainWindow();
    if (window == nullptr)
        return;
    boxOwner = window;
    serial::setMessageBox(&ownedMessageBox);
    forms_.front()->Show();
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0)
        dispatch(message);
    // However the loop ended (a quit message that no window's end posted,
    // among others), no port stays open after it.
    serial::closePort();
    boxOwner = nullptr;
    serial::setMessageBox(nullptr);
}

void TApplication::FormDestroyed(const TForm *form)
{
    if (!forms_.empty() && forms_.front().get() == form)
        PostQuitMessage(0);
}

bool TApplication::ProcessMessages()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam)); // for Run's loop
            return false;
        }
        dispatch(message);
    }
    return mainWindow() != nullptr && IsWindow(mainWindow());
}

void TApplication::dispatch(MSG &message)
{
    // Every window of ours takes the dialog keys: Tab, Shift+Tab, the arrow
    // keys, Escape.
    HWND root = message.hwnd != nullptr ? GetAncestor(message.hwnd, GA_ROOT) : nullptr;
    if (root != nullptr && IsDialogMessageW(root, &message))
        return;
    TranslateMessage(&message);
    DispatchMessageW(&message);
}

void TApplication::ShowException(const Exception &error)
{
    HWND owner = mainWindow();
    MessageBoxW(owner != nullptr && IsWindow(owner) ? owner : nullptr, error.Message().c_str(),
                Title.c_str(), MB_OK | MB_ICONERROR);
}

void TApplication::HandleException() noexcept
{
    try {
        try {
            throw;
        } catch (const Exception &error) {
            ShowException(error);
        } catch (const std::exception &error) {
            ShowException(Exception(ansi::widen(error.what())));
        } catch (...) {
            ShowException(Exception(std::wstring()));
        }
    } catch (...) {
        // Nothing more can be reported: the box itself could not be shown.
    }
}

int TApplication::RunProtected(const std::function<void()> &body)
{
    try {
        body();
    } catch (const Exception &error) {
        ShowException(error);
    } catch (...) {
        try {
            throw Exception(std::wstring());
        } catch (const Exception &error) {
            ShowException(error);
        }
    }
    return 0;
}
