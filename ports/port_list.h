// What `comterm --ports` shows, for a user hunting for their adapter's name:
// the device COM1 and COM2 stand for and where that came from (or why the
// port cannot be used), the ports file read and its unusable lines, and the
// serial devices present. The same text on both front ends.
#pragma once

#include "serial_devices.h"

#include <string>

// The text `comterm --ports` prints, each line ending in '\n', with the
// serial devices present (serial_devices.h) in the order the list shows them:
// as the system gives them, COMn by number first. `root` as for
// serialDevices().
std::string portsReport(const std::string &root = {});
