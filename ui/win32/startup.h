// What the entry point does before the window exists: answers the command
// line as the Linux program does, where a user of a window program can see
// it.
#pragma once

#include <optional>

// Reads the program's arguments. Answers --help (the usage), --version
// ("comterm X.Y.Z") and --ports (the ports and the serial devices,
// port_list.h), and refuses any other argument with one line naming it. The
// text goes to the standard output (standard error for a refusal) when the
// program was given one, such as a file or a pipe; else to the console of the
// program that started it (a command prompt); else, started from Explorer or a
// shortcut, into a message box. Returns the exit status when the program
// should end here (0 after an answer, 2 after a refusal), nothing when it
// should go on to open its window.
std::optional<int> answerCommandLine();
