// Which device each port name stands for. The window offers COM1 and COM2;
// the user's real device is often elsewhere (a USB adapter at /dev/ttyUSB0 or
// COM7). The map, in order:
//   1. the environment variable of the port's name (COM1, COM2), when set
//      and not empty: a device and its line settings, as in the file;
//   2. the user's ports file, one port a line:
//          COM1=/dev/ttyUSB0 baud=115200 parity=e    # the bench's adapter
//      The port's name in any case (com1 is COM1), '=', the device, then
//      its line settings, if any, in the words of Windows' mode command;
//      blanks around the name, the '=' and the device do not count, and a
//      device whose name holds blanks is written in double quotes. Blank
//      lines and lines starting with '#' or ';' are ignored; a blank then '#'
//      starts a comment that runs to the end of the line. UTF-8 (a BOM is
//      allowed) or UTF-16 with its BOM, as Notepad saves "Unicode"; LF or
//      CR LF; at most 64 KiB. When several lines name a port, the last one
//      counts;
//   3. the port's standard device, only when neither names the port.
// Nothing falls back silently: a variable or a line that names a port but
// cannot be used (no '=', no device, a device that is none, a NUL byte, an
// unbalanced quote), and a ports file that exists but cannot be read (not a
// regular file, unreadable, too large), leave the port without a device and
// say why in `problem`, so that its open fails instead of reaching another
// device. A line that names no port is named on standard error at each
// look-up and otherwise ignored.
// On Linux the file is $XDG_CONFIG_HOME/comterm/ports.conf (~/.config/... by
// default), a device is an absolute path and the standard device of COMn is
// /dev/ttyS<n-1>. On Windows the file is ports.conf beside the executable,
// else %APPDATA%\comterm\ports.conf; a device is a port name (COM7), opened
// as \\.\COM7 so that ports past COM9 work, or a path (\\.\COM12); the
// standard device of COMn is \\.\COMn. The file is read at every look-up, so
// an edit takes effect at the next open.
#pragma once

#include "file_system.h"

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
// Lines of the ports file that name no port are told on standard error
// unless `tellSkippedLines` is false (for a caller that lists them itself).
PortDevice portDevice(std::string_view name, bool tellSkippedLines = true);

// The port, its device and where that came from, for a message:
// "COM1 (/dev/ttyUSB0, from the COM1 variable)", "COM2 (/dev/ttyUSB1, from
// /home/u/.config/comterm/ports.conf line 3)", "COM1 (/dev/ttyS0, the
// default)"; just the name when it has no device.
std::string describePort(std::string_view name, const PortDevice &device);

// Where the device of `name` came from, as describePort says it: "from the
// COM1 variable", "from <file> line 3", "the default".
std::string sourceOf(std::string_view name, const PortDevice &device);

// Where the user names the device of `name` when its standard device is
// missing, for a message: "name its device in <ports file> (COM1=<example>)
// or in the COM1 variable".
std::string mapHint(std::string_view name, std::string_view example);

// What a ports file's bytes say: for each port number the last line that
// names it (its device and settings, or why it cannot be used), and every
// line that cannot be used (port 0: a line that names no port).
struct PortsFile {
    struct Entry {
        std::string path, settings;
        unsigned line;
        std::string problem;
    };
    struct Unusable {
        unsigned line, port;
        std::string problem;
    };
    std::map<unsigned, Entry> ports;
    std::vector<Unusable> badLines;
};
PortsFile parsePortsFile(std::string_view bytes);

// A value after "COMn=" split into the device and the line settings after it:
// `/dev/ttyUSB0 baud=115200` gives "/dev/ttyUSB0" and "baud=115200"; a
// device whose name holds blanks is written in double quotes. `problem` says
// why when the value cannot be split so.
struct PortValue {
    std::string device, settings, problem;
};
PortValue splitValue(std::string_view value);

// A ports file as found on disk (file_system.h): missing, read, or there but
// not to be used, and why; at most maxPortsFileSize bytes.
constexpr std::size_t maxPortsFileSize = 64 * 1024;
FileRead readPortsFile(const std::string &path);

// The parts that differ by system: the ports files to look in, first found
// wins; the device a value from the file or a variable stands for (empty,
// with `problem` set, when it is none).
std::vector<std::string> portsFiles();
std::string deviceOf(std::string_view value, std::string &problem);
