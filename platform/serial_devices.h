// The serial devices the system has, found without opening any of them.
#pragma once

#include <string>
#include <vector>

// A serial device present on the system.
struct SerialDevice {
    std::string name;   // as a user names it: "/dev/ttyUSB0", "COM7"
    std::string about;  // what else the system tells of it: "-> /dev/ttyUSB0" for a
                        // link, "\Device\VCP0" for a Windows port; empty when nothing
    std::string path;   // what opening it opens: the name on Linux, "\\.\COM7" on Windows
    std::string target; // for a link, the path of the device it leads to; else empty
};

// The serial devices present. On Linux: the links in /dev/serial/by-id, by
// name, with the devices they lead to, then /dev/ttyUSB*, /dev/ttyACM*, and
// the /dev/ttyS* whose UART the kernel found (told by sysfs,
// /sys/class/tty/ttySn/type, so that no port is opened: an open can raise
// DTR and wake a device), each kind by number. `root` is a folder that
// stands for the file system's root (a test's tree); empty for the system's
// own. On Windows: the system's list of serial ports (the SERIALCOMM device
// map), by name; `root` is not used.
std::vector<SerialDevice> serialDevices(const std::string &root = {});

// The system's standard device of serial port number n (from 1): /dev/ttyS<n-1>
// on Linux, \\.\COMn on Windows.
std::string standardSerialDevice(unsigned number);

// Whether the device at `path` is there, asked without opening it. `root` as
// for serialDevices().
bool devicePresent(const std::string &path, const std::string &root = {});
