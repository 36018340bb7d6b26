// Why the serial port did not open, or stopped working, in words the user can
// act on: the message box cannot otherwise tell a missing device from one in
// use or one the user may not open, nor a device that went away from one that
// stopped reading.
#pragma once

#include "comm.h"
#include "device_map.h"

#include <string>

// Writes one line to standard error naming the port `name` ("COM1"), the
// device it stands for and where that came from, and `why` it failed:
//   comterm: COM1 (/dev/ttyUSB0, from the COM1 variable): <why>
// and returns that line without "comterm: " and the line break, for the box
// (in UTF-8, the boxes' encoding; standard error takes the ANSI code page on
// Windows). The last error is left as it was.
std::string reportPortFailure(const std::string &name, const PortDevice &device,
                              const std::string &why);

// reportPortFailure with the reason the port cannot be used: what is wrong
// with what names it, or the system's reason for the failure of the last
// communications call of this thread, with a hint where one helps, e.g.
//   comterm: COM1 (/dev/ttyUSB0, from the COM1 variable): Permission denied; is
//   the user in the dialout group?
// Call it right after the failed open or settings call.
std::string reportOpenFailure(const std::string &name, const PortDevice &device);

// The system's reason for the failure of this thread's last communications
// call on `device`, with a hint where one helps, in the system's narrow text.
// The last error is left as it was.
std::string systemReason(const std::string &name, const PortDevice &device);

// The system's own words for the failure of this thread's last
// communications call ("Input/output error"; on Windows in the user's
// language), without a full stop, in UTF-8. The last error is left as it was.
std::string lastFailureText();
