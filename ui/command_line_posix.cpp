#include "command_line.h"

std::string platformHelp()
{
    return "The window offers COM1 and COM2. Each is the device that its variable (COM1,\n"
           "COM2) names; else the one its line names in the ports file\n"
           "~/.config/comterm/ports.conf (or $XDG_CONFIG_HOME/comterm/ports.conf):\n"
           "\n"
           "  COM1=/dev/ttyUSB0 baud=115200 parity=e   # a blank then '#' starts a comment\n"
           "  com2=\"/dev/serial/by-id/usb-My Adapter-if00\"\n"
           "\n"
           "The port's name in any case, '=', an absolute path (in double quotes when it\n"
           "holds blanks), then its line settings, if any; the last line for a port\n"
           "counts. A line, variable or file that names a port but cannot be used makes\n"
           "its open fail and say why. Only a port that nothing names is /dev/ttyS0 or\n"
           "/dev/ttyS1. Text goes to the line in the character set of the locale\n"
           "(LC_ALL, LC_CTYPE, LANG).\n";
}
