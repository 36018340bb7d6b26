// Where the front end reports exceptions. An exception must not unwind
// through the system's frames, so every window procedure and the entry point
// catch everything and report it here, in a modal box, as
// escaped_exception.h says (a what() read in the ANSI code page).
#pragma once

#include "escaped_exception.h"

#include <windows.h>

#include <exception>
#include <string>

// An error the program reports to the user with its message.
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

// Where reports go from now on: a box captioned `title`, owned by `owner`
// while that is a window (nullptr: no owner). Until this is called the
// caption is "comterm" and the box has no owner.
void SetExceptionBox(std::wstring title, HWND owner);

// Shows `error`'s message in the box.
void ShowException(const Exception &error);

// Reports the exception being handled, as escaped_exception.h says: a window
// procedure's as escaped from the event loop, the entry point's as escaped
// at start-up. Call only from inside a catch block. Never throws.
void ReportException(escaped::Where where = escaped::Where::EventLoop) noexcept;
