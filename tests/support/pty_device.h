// A pseudo-terminal pair that plays the device on the other end of a serial
// line: the program opens the slave's path as its port, the test talks on
// the master. The slave starts with the settings another program might have
// left (two stop bits, CR/LF translations, XON/XOFF both ways with IXANY,
// RTS/CTS flow control, echo, line editing).
// Every wait has a deadline; nothing sleeps a fixed time.
#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class PtyDevice {
  public:
    PtyDevice();
    ~PtyDevice();
    PtyDevice(const PtyDevice &) = delete;
    PtyDevice &operator=(const PtyDevice &) = delete;

    // The slave's path, for COMn to point at.
    const std::string &path() const { return path_; }
    // The test's own descriptor on the slave: the same terminal the program
    // opens, for reading its settings and queues.
    int slave() const { return slave_; }

    // Sends bytes to the program; throws when the master cannot take them.
    void write(std::string_view bytes);
    // Waits until the program's input queue holds at least `count` bytes.
    bool waitQueued(std::size_t count);
    // Reads what the program sent until `count` bytes have come or the
    // deadline passes; returns what came.
    std::string read(std::size_t count,
                     std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // Fills the line from the program to the device until it takes no more,
    // as a device that stopped reading (or holds flow control) leaves it.
    void fillLine();
    // Unplugs the device: closes the master.
    void unplug();
    // The line's rate and framing as the program left them, as "9600 8N1",
    // followed by the flow control still on: " ixon ixoff ixany crtscts".
    std::string lineSettings() const;

  private:
    int master_ = -1;
    int slave_ = -1;
    std::string path_;
};

// Points the environment variable `name` (COM1, COM2) at `path`, or unsets
// it for no path, while it lives; then puts it back as it was.
class PortMapping {
  public:
    PortMapping(const char *name, const std::optional<std::string> &path);
    ~PortMapping();
    PortMapping(const PortMapping &) = delete;
    PortMapping &operator=(const PortMapping &) = delete;

  private:
    const char *name_;
    std::optional<std::string> previous_;
};
