#include "command_line.h"

#include "comterm_version.h"
#include "port_list.h"

Request requestOf(std::string_view arg)
{
    if (arg == "--help")
        return Request::Help;
    if (arg == "--version")
        return Request::Version;
    if (arg == "--ports")
        return Request::Ports;
    return Request::None;
}

std::string answerText(Request request, std::string_view frontEndOptions)
{
    switch (request) {
    case Request::Help:
        return "Usage: comterm [--help | --version | --ports]" + std::string(frontEndOptions) +
               "\n"
               "Sends text to and receives text from a device on a serial line, in one window.\n"
               "\n" +
               platformHelp() +
               "\n"
               "  --help     show this text and end\n"
               "  --version  show the version and end\n"
               "  --ports    show the device COM1 and COM2 each open and where that comes\n"
               "             from, the ports file and its unusable lines, and the serial\n"
               "             devices present, then end\n";
    case Request::Version:
        return "comterm " COMTERM_VERSION_STRING "\n";
    case Request::Ports:
        return portsReport();
    case Request::None:
        break;
    }
    return {};
}

std::string refusedArgument(std::string_view arg)
{
    return (arg.size() >= 2 && arg[0] == '-' ? "unknown option " : "unexpected argument ") +
           std::string(arg);
}

std::string refusalLine(std::string_view why)
{
    return "comterm: " + std::string(why) + " (comterm --help lists the options)\n";
}
