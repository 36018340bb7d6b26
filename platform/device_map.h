// Which device each port name stands for. The window offers COM1 and COM2;
// the user's real device is often elsewhere (a USB adapter at /dev/ttyUSB0 or
// COM7). The map, in order:
//   1. the environment variable of the port's name (COM1, COM2), when set
//      and not empty;
//   2. the user's ports file, one "COMn=device" a line: blank lines and lines
//      starting with '#' or ';' are ignored, spaces around the name, the '='
//      and the device are too; UTF-8 (a BOM is allowed), LF or CR LF. A line
//      that cannot be used is skipped with one line on standard error naming
//      the file and the line number;
//   3. the port's standard device.
// On Linux the file is $XDG_CONFIG_HOME/comterm/ports.conf (~/.config/... by
// default), a device is an absolute path and the standard device of COMn is
// /dev/ttyS<n-1>. On Windows the file is ports.conf beside the executable,
// else %APPDATA%\comterm\ports.conf; a device is a port name (COM7), opened
// as \\.\COM7 so that ports past COM9 work, or a path (\\.\COM12); the
// standard device of COMn is \\.\COMn. The file is read at every look-up, so
// an edit takes effect at the next open.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

// Where a port's device came from.
struct PortDevice {
    enum class Source { Variable, File, Default };
    std::string path;     // what to open; empty when the port cannot be used
    std::string settings; // the line settings after the device, in the words of
                          // Windows' mode command ("baud=115200 parity=e"); empty
                          // when none
    Source source = Source::Default;
    std::string file;    // the ports file, for Source::File (and for a file
                         // that cannot be used)
    unsigned line = 0;   // its line, for Source::File
    std::string problem; // why the line, variable or file that names this port
                         // cannot be used; when set, path is empty
};

// The port number n of "COMn" (1 to 256, no leading zero, upper case), or 0.
unsigned portNumber(std::string_view name);

// The device that `name` ("COM1") stands for, and where that came from.
PortDevice portDevice(std::string_view name);

// The port, its device and where that came from, for a message:
// "COM1 (/dev/ttyUSB0, from the COM1 variable)", "COM2 (/dev/ttyUSB1, from
// /home/u/.config/comterm/ports.conf line 3)", "COM1 (/dev/ttyS0, the
// default)"; just the name when it has no device.
std::string describePort(std::string_view name, const PortDevice &device);

// Where the user names the device of `name` when its standard device is
// missing, for a message: "name its device in <ports file> (COM1=<example>)
// or in the COM1 variable".
std::string mapHint(std::string_view name, std::string_view example);

// What a ports file says: the device of each port number with its line, and
// the numbers of the lines that cannot be used.
struct PortsFile {
    struct Entry {
        std::string path, settings;
        unsigned line;
    };
    std::map<unsigned, Entry> ports;
    std::vector<unsigned> badLines;
};
PortsFile parsePortsFile(std::string_view text);

// A value after "COMn=" split into the device and the line settings after it:
// `/dev/ttyUSB0 baud=115200` gives "/dev/ttyUSB0" and "baud=115200"; a
// device whose name holds blanks is written in double quotes. `problem` says
// why when the value cannot be split so.
struct PortValue {
    std::string device, settings, problem;
};
PortValue splitValue(std::string_view value);

// Platform parts: the ports files to look in, first found wins; the device a
// value from the file or a variable stands for (empty when it is none); the
// standard device of port number n.
std::vector<std::string> portsFiles();
std::string deviceOf(std::string_view value);
std::string defaultDevice(unsigned number);
