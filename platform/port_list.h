// What `comterm --ports` shows, for a user hunting for their adapter's name:
// the device COM1 and COM2 stand for and where that came from (or why the
// port cannot be used), the ports file read and its unusable lines, and the
// serial devices present. The same text on both front ends.
#pragma once

#include <string>
#include <vector>

// A serial device present on the system.
struct SerialDevice {
    std::string name;   // as the user writes it in the ports file: "/dev/ttyUSB0", "COM7"
    std::string about;  // what else to know, for the list: "-> /dev/ttyUSB0" for a
                        // link, "\Device\VCP0" for a Windows port; empty when nothing
    std::string path;   // what opening it opens: the name on Linux, "\\.\COM7" on Windows
    std::string target; // for a link, the path of the device it leads to; else empty
};

// The serial devices present, in the order the list shows them. On Linux:
// the links in /dev/serial/by-id with the devices they lead to, then
// /dev/ttyUSB*, /dev/ttyACM*, and the /dev/ttyS* whose UART the kernel found
// (told by sysfs, /sys/class/tty/ttySn/type, so that no port is opened: an
// open can raise DTR and wake a device). `root` is a folder that stands for
// the file system's root (a test's tree); empty for the system's own. On
// Windows: the system's list of serial ports (the SERIALCOMM device map), by
// port number; `root` is not used.
std::vector<SerialDevice> serialDevices(const std::string &root = {});

// Whether the device at `path` (as the device map gives it) is there, asked
// without opening it. `root` as for serialDevices().
bool devicePresent(const std::string &path, const std::string &root = {});

// The text `comterm --ports` prints, each line ending in '\n'. `root` as for
// serialDevices().
std::string portsReport(const std::string &root = {});
