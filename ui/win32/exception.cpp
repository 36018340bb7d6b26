#include "exception.h"

#include "ansi.h"

namespace {

std::wstring boxTitle = L"comterm";
HWND boxOwner = nullptr;

} // namespace

Exception::Exception(std::wstring message)
    : message_(std::move(message)), what_(ansi::narrow(message_))
{
}

void SetExceptionBox(std::wstring title, HWND owner)
{
    boxTitle = std::move(title);
    boxOwner = owner;
}

void ShowException(const Exception &error)
{
    MessageBoxW(boxOwner != nullptr && IsWindow(boxOwner) ? boxOwner : nullptr,
                error.Message().c_str(), boxTitle.c_str(), MB_OK | MB_ICONERROR);
}

void ReportException(escaped::Where where) noexcept
{
    escaped::report<Exception>(where, &ShowException,
                               [](const char *what) { return ansi::widen(what); });
}
