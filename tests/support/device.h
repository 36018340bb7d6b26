// The device on the other end of the program's serial line, for tests that
// run on every platform: a pseudo-terminal the test holds on Linux; on
// Windows under Wine, a pseudo-terminal that the Linux driver holds and plays
// on the test's requests. Both offer the same members.
#pragma once

#include <string>

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

// A path that opens but is no terminal, for a port whose settings cannot be
// read: a regular file of this test process's own on Linux (/dev/null would
// do, but every test process that opens it locks the same file), /dev/null
// under Wine.
std::string notATerminal();

// What the device reads of the line a successful open leaves: 9600 8N1 and
// no flow control. Wine's SetCommState leaves IXANY as it finds it (Windows
// has no such setting); with IXON off it holds nothing back.
inline std::string openedLine()
{
    return runningOnWine() ? "9600 8N1 ixany" : "9600 8N1";
}
