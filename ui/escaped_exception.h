// What the user is shown of an exception that escapes to the application,
// the one rule of both front ends: the application's own Exception shows its
// message; a standard exception that escapes the event loop (a click
// handler) shows its what(), while at start-up it shows an empty message, as
// anything else that escapes does. Either way the program carries on to its
// normal end.
#pragma once

#include <exception>

namespace escaped {

enum class Where { StartUp, EventLoop };

// Reports the exception being handled through `show`, which takes the front
// end's Exception; `fromWhat` makes that Exception's message from a what().
// Call only inside a catch block. Never throws: when not even the box can be
// shown there is nothing left to report it with, and the caller must not be
// unwound from here.
template <class Exception, class Show, class FromWhat>
void report(Where where, Show show, FromWhat fromWhat) noexcept
{
    try {
        try {
            throw;
        } catch (const Exception &error) {
            show(error);
        } catch (const std::exception &error) {
            show(where == Where::EventLoop ? Exception(fromWhat(error.what())) : Exception({}));
        } catch (...) {
            show(Exception({}));
        }
    } catch (...) {
    }
}

} // namespace escaped
