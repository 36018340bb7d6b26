// Why the serial port did not open, for the user who started the program
// from a terminal or reads the desktop's log: the message box cannot tell a
// missing device from one in use or one the user may not open.
#pragma once

#include "comm.h"
#include "device_map.h"

// Writes one line to standard error naming the port `name` ("COM1"), the
// device it stands for and where that came from, and the system's reason for
// the failure of the last communications call of this thread, e.g.
//   comterm: COM1 (/dev/ttyUSB0, from the COM1 variable): Permission denied; is
//   the user in the dialout group?
// Call it right after the failed open or settings call.
void reportOpenFailure(const std::string &name, const PortDevice &device);
