// Why a port did not open, as one line on standard error and, after the
// box's fixed text and a blank line, in the box, for the failures a user can
// meet: a missing device, one the user may not open, one held by another
// handle, and a file that is no serial port.
#include "device_map.h"
#include "message_recorder.h"
#include "port.h"
#include "ports_file_fixture.h"
#include "pty_device.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const Message commError{"開啟通訊阜錯誤!!", "Comm Error"};
const Message setError{"開啟通訊阜設定錯誤!!", "Set Error"};

// The boxes `shown` with the reason of the standard error line `line` under
// their fixed text: what the user who never sees standard error is told.
std::vector<Message> withReason(std::vector<Message> shown, const std::string &line)
{
    const std::string prefix = "comterm: ";
    for (Message &box : shown)
        if (line.starts_with(prefix) && line.ends_with('\n'))
            box.text += "\n\n" + line.substr(prefix.size(), line.size() - prefix.size() - 1);
    return shown;
}

TEST(OpenFailure, OneLineOnStandardErrorSaysWhy)
{
    PtyDevice held, spare;
    HANDLE holder = INVALID_HANDLE_VALUE;
    {
        PortMapping map("COM2", held.path());
        holder = CreateFileA(portDevice("COM2").path.c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                             nullptr, OPEN_EXISTING, 0, nullptr);
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
        EXPECT_EQ(messages.take(), withReason(row.shown, row.line));
        EXPECT_EQ(err, row.line);
        serial::closePort();
        unsetenv(name.c_str());
    }
    CloseHandle(holder);
    unlink(plainFile);
}

TEST(OpenFailure, WhatNamesThePortButCannotBeUsedFailsTheOpenAndSaysWhy)
{
    // The standard device is never tried: its open would give another line
    // (or, where it exists and opens, no Comm Error).
    struct Row {
        const char *what;
        const char *file;     // the ports file's text; null: a directory in its place
        const char *variable; // COM1's; null: unset
        std::string line;     // with '@' for the ports file
    };
    const Row rows[] = {
        {"a line without '='", "# mine\nCOM1 /dev/ttyUSB0\n", nullptr,
         "comterm: COM1 (from @ line 2): no '=' after COM1\n"},
        {"COM1=COM2", "com1=COM2\n", nullptr,
         "comterm: COM1 (from @ line 1): not an absolute path: COM2\n"},
        {"a directory", nullptr, nullptr,
         "comterm: COM1 (from @): a directory, not a regular file\n"},
        {"the variable", "COM1=/dev/ttyUSB0\n", "ttyUSB0",
         "comterm: COM1 (from the COM1 variable): not an absolute path: ttyUSB0\n"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        const PortsFileFixture ports(row.file != nullptr ? row.file : "");
        if (row.file == nullptr) {
            unlink(ports.path().c_str());
            mkdir(ports.path().c_str(), 0700);
        }
        const PortMapping variable("COM1", row.variable != nullptr
                                               ? std::optional<std::string>(row.variable)
                                               : std::nullopt);
        MessageRecorder messages;
        testing::internal::CaptureStderr();
        serial::openPort(0);
        std::string expected = row.line;
        if (const auto at = expected.find('@'); at != std::string::npos)
            expected.replace(at, 1, ports.path());
        EXPECT_EQ(testing::internal::GetCapturedStderr(), expected);
        EXPECT_FALSE(serial::isOpen());
        EXPECT_EQ(messages.take(), withReason({commError}, expected));
        serial::closePort();
        rmdir(ports.path().c_str());
    }
}

// A device the user may not open: the box names the group that may, as
// serial devices belong to one (dialout on Debian). Root opens every device,
// so the open is made as nobody in a child process.
TEST(OpenFailure, AUserWithoutRightsIsToldWhoMayOpenTheDevice)
{
    PtyDevice device;
    const group *dialout = getgrnam("dialout");
    if (getuid() == 0 && dialout != nullptr) {
        ASSERT_EQ(chown(device.path().c_str(), 0, dialout->gr_gid), 0);
    }
    struct stat st {};
    ASSERT_EQ(stat(device.path().c_str(), &st), 0);
    const group *owner = getgrgid(st.st_gid);
    const std::string hint = owner != nullptr && st.st_gid != 0
                                 ? std::string("; is the user in the ") + owner->gr_name + " group?"
                                 : "";
    const PortMapping map("COM1", device.path());
    const passwd *nobody = getpwnam("nobody");
    ASSERT_NE(nobody, nullptr);

    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Without rights: nobody when started as root, else the device's
        // owner with the rights taken off the device.
        close(pipeEnds[0]);
        const bool dropped = getuid() == 0
                                 ? setgid(nobody->pw_gid) == 0 && setgroups(0, nullptr) == 0 &&
                                       setuid(nobody->pw_uid) == 0
                                 : chmod(device.path().c_str(), 0) == 0;
        MessageRecorder messages;
        testing::internal::CaptureStderr();
        if (dropped)
            serial::openPort(0);
        std::string report = testing::internal::GetCapturedStderr() + '\0';
        for (const Message &box : messages.take())
            report += box.caption + '\0' + box.text + '\0';
        if (serial::isOpen())
            report += "opened";
        const bool written =
            write(pipeEnds[1], report.data(), report.size()) == static_cast<ssize_t>(report.size());
        _exit(written ? 0 : 1);
    }
    close(pipeEnds[1]);
    std::string report;
    char buffer[4096];
    for (ssize_t n; (n = read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
        report.append(buffer, static_cast<std::size_t>(n));
    close(pipeEnds[0]);
    int status = -1;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_EQ(status, 0);
    const std::string reason =
        "COM1 (" + device.path() + ", from the COM1 variable): Permission denied" + hint;
    using namespace std::string_literals;
    EXPECT_EQ(report,
              "comterm: " + reason + "\n\0Comm Error\0開啟通訊阜錯誤!!\n\n"s + reason + '\0');
}

} // namespace
