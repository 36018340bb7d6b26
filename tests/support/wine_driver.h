// The parts of the Wine driver (wine_driver.cpp): the Wine prefix and its
// locale, and the devices it plays.
#pragma once

#include "pty_device.h"

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

// Runs `argv` to its end with its output thrown away; returns its status.
int runQuietly(const std::vector<std::string> &argv);

// Makes `name` the locale of Wine's processes, compiling it into `dir` with
// tools/make-locales when the system lacks it. False, with a line on
// standard error, when it cannot.
bool useLocale(const std::string &name, const std::filesystem::path &dir);

// Makes the prefix's desktop as the window tests need it: a Chinese face
// linked to the dialog font, as Windows has it, and the windows' frames and
// places left to Wine, as no window manager runs (wine_driver_prefix.cpp).
// Whether it is so; a line on standard error says what failed.
bool preparesDesktop(const std::filesystem::path &prefix, const std::string &wine,
                     const std::string &server);

// The devices, played on the test's requests: one request line in, one reply
// line out ("ok [payload]" or "error why"). The requests:
//   new                      -> ok ID PATH   a fresh pseudo-terminal pair
//   map NAME PATH, unmap NAME -> ok PREVIOUS  the COM name's dosdevices link
//   write ID HEX, wait ID COUNT, read ID COUNT MS, unplug ID, settings ID,
//   holders ID, free ID      the device's members (pty_device.h)
class Driver {
  public:
    explicit Driver(std::filesystem::path dosdevices) : dosdevices_(std::move(dosdevices)) {}

    // Carries out one request and returns the reply line.
    std::string handle(const std::string &line);

  private:
    std::filesystem::path dosdevices_;
    std::map<std::string, std::unique_ptr<PtyDevice>> devices_;
    int next_ = 0;
};
