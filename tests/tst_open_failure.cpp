// The line on standard error that says why a port did not open, next to the
// unchanged message box, for the failures a user can meet without root:
// a missing device, one held by another handle, and a file that is no
// serial port.
#include "message_recorder.h"
#include "port.h"
#include "ports_file.h"
#include "pty_device.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

const Message commError{"開啟通訊阜錯誤!!", "Comm Error"};
const Message setError{"開啟通訊阜設定錯誤!!", "Set Error"};

TEST(OpenFailure, OneLineOnStandardErrorSaysWhy)
{
    PtyDevice held, spare;
    HANDLE holder = INVALID_HANDLE_VALUE;
    {
        PortMapping map("COM2", held.path());
        holder = CreateFileA("COM2", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                             nullptr);
        ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    }
    char plainFile[] = "/tmp/comterm-plain-XXXXXX";
    const int plain = mkstemp(plainFile);
    ASSERT_GE(plain, 0);
    close(plain);
    const std::string file = plainFile;
    const PortsFileFixture ports("# the adapter\nCOM2 = /nonexistent/ttyACM7\n");
    const std::string hint = "; name its device in " + ports.path() +
                             " (COM201=/dev/ttyUSB0) or in the COM201 variable\n";

    struct Row {
        const char *what;
        int index;
        const char *variable; // the value of COMn; null: unset
        std::vector<Message> shown;
        std::string line;
    };
    const Row rows[] = {
        {"missing device",
         0,
         "/nonexistent/ttyUSB9",
         {commError},
         "comterm: COM1 (/nonexistent/ttyUSB9, from the COM1 variable): No such file or "
         "directory\n"},
        {"missing device from the ports file",
         1,
         nullptr,
         {commError},
         "comterm: COM2 (/nonexistent/ttyACM7, from " + ports.path() +
             " line 2): No such file or directory\n"},
        {"missing default device",
         200,
         nullptr,
         {commError},
         "comterm: COM201 (/dev/ttyS200, the default): No such file or directory" + hint},
        {"missing default device, empty variable",
         200,
         "",
         {commError},
         "comterm: COM201 (/dev/ttyS200, the default): No such file or directory" + hint},
        {"held by another handle",
         0,
         held.path().c_str(),
         {commError},
         "comterm: COM1 (" + held.path() +
             ", from the COM1 variable): in use by another program or window\n"},
        {"not a serial port",
         0,
         file.c_str(),
         {setError},
         "comterm: COM1 (" + file +
             ", from the COM1 variable): Inappropriate ioctl for device; not a serial port\n"},
        {"opens", 1, spare.path().c_str(), {}, ""},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        const std::string name = serial::portName(row.index);
        if (row.variable == nullptr)
            unsetenv(name.c_str());
        else
            setenv(name.c_str(), row.variable, 1);
        MessageRecorder messages;
        testing::internal::CaptureStderr();
        serial::openPort(row.index);
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(serial::isOpen(), row.shown.empty());
        EXPECT_EQ(messages.take(), row.shown);
        EXPECT_EQ(err, row.line);
        serial::closePort();
        unsetenv(name.c_str());
    }
    CloseHandle(holder);
    unlink(plainFile);
}

} // namespace
