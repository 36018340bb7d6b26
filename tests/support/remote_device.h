// A device played by the Linux driver (wine_driver) on a pseudo-terminal,
// for the Windows build of the tests running under Wine. Every member asks
// the driver over the channel it names in COMTERM_DEVICE_CHANNEL and throws
// std::runtime_error when the driver cannot do what is asked.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

class RemoteDevice {
  public:
    RemoteDevice();
    ~RemoteDevice();
    RemoteDevice(const RemoteDevice &) = delete;
    RemoteDevice &operator=(const RemoteDevice &) = delete;

    // The Linux path of the device, for a COM name to be mapped to.
    const std::string &path() const { return path_; }
    void write(std::string_view bytes);
    bool waitQueued(std::size_t count);
    std::string read(std::size_t count,
                     std::chrono::milliseconds timeout = std::chrono::seconds(10));
    void unplug();
    std::string lineSettings() const;
    // How many processes hold the device open, the driver aside: Wine's
    // server keeps the descriptors of the handles that its clients hold.
    int holders() const;

  private:
    std::string id_;
    std::string path_;
};

// Maps the COM name `name` to `path` while it lives, then back.
class RemotePortMapping {
  public:
    RemotePortMapping(const char *name, const std::string &path);
    ~RemotePortMapping();
    RemotePortMapping(const RemotePortMapping &) = delete;
    RemotePortMapping &operator=(const RemotePortMapping &) = delete;

  private:
    std::string name_;
    std::string previous_;
};
