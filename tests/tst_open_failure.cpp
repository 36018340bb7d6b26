// The line on standard error that says why a port did not open, next to the
// unchanged message box, for the failures a user can meet without root:
// a missing device, one held by another handle, and a file that is no
// serial port.
#include "message_recorder.h"
#include "port.h"
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

    struct Row {
        const char *what;
        int index;
        std::string path; // where COMn points; empty: unset
        std::vector<Message> shown;
        std::string line;
    };
    const Row rows[] = {
        {"missing device",
         0,
         "/nonexistent/ttyUSB9",
         {commError},
         "comterm: COM1 (/nonexistent/ttyUSB9): No such file or directory\n"},
        {"missing default device",
         200,
         "",
         {commError},
         "comterm: COM201 (/dev/ttyS200): No such file or directory; set COM201 to the "
         "device's path\n"},
        {"held by another handle",
         0,
         held.path(),
         {commError},
         "comterm: COM1 (" + held.path() + "): in use by another program or window\n"},
        {"not a serial port",
         0,
         file,
         {setError},
         "comterm: COM1 (" + file + "): Inappropriate ioctl for device; not a serial port\n"},
        {"opens", 1, spare.path(), {}, ""},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        const std::string name = serial::portName(row.index);
        if (row.path.empty())
            unsetenv(name.c_str());
        else
            setenv(name.c_str(), row.path.c_str(), 1);
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
