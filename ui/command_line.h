// What the program answers on its command line before it has a window, in
// the same words on both front ends; each front end reads its arguments and
// shows the text where its users look.
#pragma once

#include <string>
#include <string_view>

// What one of the program's own options asks for.
enum class Request { None, Help, Version, Ports };

// The request `arg` makes ("--help", "--version", "--ports"); None for any
// other argument.
Request requestOf(std::string_view arg);

// The text that answers `request`, each line ending in '\n': the usage (its
// first line names `frontEndOptions` after the program's own, as
// " [Qt options]"), "comterm X.Y.Z", or the ports and devices (port_list.h).
std::string answerText(Request request, std::string_view frontEndOptions = {});

// Why `arg`, which is none of the program's options, is refused: "unknown
// option --bogus", "unexpected argument extra".
std::string refusedArgument(std::string_view arg);

// The line that refuses an argument: "comterm: <why> (comterm --help lists
// the options)\n".
std::string refusalLine(std::string_view why);

// The platform's paragraphs of the usage: where COM1 and COM2 come from, and
// which character set the text on the line is in.
std::string platformHelp();
