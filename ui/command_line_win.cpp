#include "command_line.h"

std::string platformHelp()
{
    return "The window offers COM1 and COM2. Each is the port that its variable (COM1,\n"
           "COM2) names; else the one its line names in ports.conf beside comterm.exe, or\n"
           "else in %APPDATA%\\comterm\\ports.conf:\n"
           "\n"
           "  COM1=COM7 baud=115200 parity=e   # a blank then '#' starts a comment\n"
           "  com2=\\\\.\\COM12\n"
           "\n"
           "The port's name in any case, '=', a port name (COM7) or a device path\n"
           "(\\\\.\\COM12), then its line settings, if any; the last line for a port\n"
           "counts. A line, variable or file that names a port but cannot be used makes\n"
           "its open fail and say why. Only a port that nothing names is COM1 or COM2\n"
           "itself. Text goes to the line in the system's ANSI code page.\n";
}
