// The device on the other end of the program's serial line, for tests that
// run on every platform: a pseudo-terminal the test holds on Linux; on
// Windows under Wine, a pseudo-terminal that the Linux driver holds and plays
// on the test's requests. Both offer the same members.
#pragma once

#ifdef _WIN32
#include "remote_device.h"
using Device = RemoteDevice;
using PortMapping = RemotePortMapping;
#else
#include "pty_device.h"
using Device = PtyDevice;
#endif

// Whether the test runs under Wine, whose COM ports differ from Windows' in
// places; tests skip what Wine cannot show.
bool runningOnWine();
