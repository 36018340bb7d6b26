// The one message pump of the front end, for the application's loop and for
// the pauses of a long send alike. Every window of ours takes the dialog keys
// (Tab, Shift+Tab, the arrow keys, Enter, Escape) through IsDialogMessage.
#pragma once

#include <windows.h>

namespace pump {

// Dispatches messages, waiting for each, until the quit message arrives;
// returns its exit code (-1 when GetMessage fails).
int run();

// Dispatches the messages waiting now without waiting for more. Returns false
// when it took the quit message, which it posts again for run() to end on.
bool dispatchWaiting();

} // namespace pump
