// The POSIX communications layer against real pseudo-terminals.
#include "comm.h"
#include "device.h"
#include "device_map.h"
#include "write_stall_posix.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace {

HANDLE openPath(const std::string &path)
{
    return CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                       nullptr);
}

// The port's device, as the serial layer opens it: through the device map.
HANDLE openPort(const char *name)
{
    return openPath(portDevice(name).path);
}

termios settingsOf(int fd)
{
    termios tio{};
    EXPECT_EQ(tcgetattr(fd, &tio), 0);
    return tio;
}

// The program's own descriptor of the port on `device`: the test's
// descriptors are other open files and can never show the port's flags.
int portDescriptor(const PtyDevice &device)
{
    for (const auto &entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        const int fd = std::stoi(entry.path().filename().string());
        std::error_code error;
        if (fd != device.slave() &&
            std::filesystem::read_symlink(entry.path(), error) == device.path())
            return fd;
    }
    return -1;
}

TEST(Comm, OpenTakesTheDevicePathAsGiven)
{
    // The map is asked once, by the serial layer: a port name given to the
    // open is a relative path like any other, even while its variable is set.
    PtyDevice device;
    PortMapping com2("COM2", device.path());
    HANDLE port = openPath(device.path());
    ASSERT_NE(port, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(CloseHandle(port));
    for (const char *path : {"COM2", "dev/ptmx", ""}) {
        SetLastError(ERROR_SUCCESS);
        EXPECT_EQ(openPath(path), INVALID_HANDLE_VALUE) << path;
        EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND) << path;
    }
    EXPECT_EQ(openPath("/dev/no-such-serial-device"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    const DWORD shareRead = 1; // a port is never shared
    EXPECT_EQ(CreateFileA(device.path().c_str(), GENERIC_READ, shareRead, nullptr, OPEN_EXISTING, 0,
                          nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(Comm, OpenIsExclusiveAcrossHandlesAndProcesses)
{
    PtyDevice device;
    PortMapping com1("COM1", device.path());
    const auto exclusive = [&device] {
        int on = -1;
        EXPECT_EQ(ioctl(device.slave(), TIOCGEXCL, &on), 0);
        return on;
    };
    EXPECT_EQ(exclusive(), 0);
    HANDLE first = openPort("COM1");
    ASSERT_NE(first, INVALID_HANDLE_VALUE);
    EXPECT_EQ(exclusive(), 1) << "programs that do not lock are kept out too";
    EXPECT_EQ(openPort("COM1"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_TRUE(CloseHandle(first));
    EXPECT_EQ(exclusive(), 0) << "closed, the port lets others in again, not only root";

    // Another process holds the port until told to let go.
    int ready[2], release[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(release), 0);
    const pid_t child = fork();
    if (child == 0) {
        close(release[1]);
        const char held = openPort("COM1") != INVALID_HANDLE_VALUE ? 'y' : 'n';
        (void)!write(ready[1], &held, 1);
        char ignored;
        (void)!read(release[0], &ignored, 1);
        _exit(0);
    }
    char held = 0;
    ASSERT_EQ(read(ready[0], &held, 1), 1);
    EXPECT_EQ(held, 'y');
    EXPECT_EQ(openPort("COM1"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    close(release[1]);
    int status = 0;
    waitpid(child, &status, 0);
    for (int fd : {ready[0], ready[1], release[0]})
        close(fd);

    HANDLE again = openPort("COM1");
    EXPECT_NE(again, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(CloseHandle(again));
}

TEST(Comm, OpenMakesTheLineRawAndSettingsChangeOnlyTheFraming)
{
    // The device starts as another program left it (see PtyDevice), and
    // with hardware flow control, which the open must keep.
    PtyDevice device;
    PortMapping com1("COM1", device.path());
    termios before = settingsOf(device.slave());
    before.c_cflag |= CRTSCTS;
    before.c_iflag |= IXOFF;
    ASSERT_EQ(tcsetattr(device.slave(), TCSANOW, &before), 0);

    HANDLE port = openPort("COM1");
    ASSERT_NE(port, INVALID_HANDLE_VALUE);
    termios raw = settingsOf(device.slave());
    EXPECT_EQ(raw.c_lflag & (ECHO | ICANON | ISIG | IEXTEN), 0u);
    EXPECT_EQ(raw.c_iflag & (INLCR | IGNCR | ICRNL | IXON | ISTRIP), 0u);
    EXPECT_EQ(raw.c_oflag & OPOST, 0u);
    EXPECT_EQ(raw.c_cflag & (CLOCAL | CREAD), tcflag_t(CLOCAL | CREAD));
    EXPECT_EQ(raw.c_cc[VMIN], 0);
    EXPECT_EQ(raw.c_cc[VTIME], 0);
    const int fd = portDescriptor(device);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(fcntl(fd, F_GETFL) & O_NONBLOCK, 0) << "reads and writes wait as on Windows";
    EXPECT_EQ(fcntl(fd, F_GETFD) & FD_CLOEXEC, FD_CLOEXEC) << "child processes do not inherit it";

    DCB dcb{};
    ASSERT_TRUE(GetCommState(port, &dcb));
    EXPECT_EQ(dcb.StopBits, TWOSTOPBITS) << "as the device was left";
    dcb.BaudRate = 9600;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    ASSERT_TRUE(SetCommState(port, &dcb));
    const termios after = settingsOf(device.slave());
    EXPECT_EQ(cfgetospeed(&after), speed_t(B9600));
    EXPECT_EQ(after.c_cflag & (CSIZE | PARENB | CSTOPB), tcflag_t(CS8));
    EXPECT_TRUE(after.c_cflag & CRTSCTS) << "hardware flow control is left as found";
    EXPECT_TRUE(after.c_iflag & IXOFF);
    EXPECT_EQ(after.c_lflag & ICANON, 0u) << "the line stays raw";

    // A rate outside the termios table runs as asked and reads back as such;
    // a pseudo-terminal takes any framing (it keeps 8 bits and no parity).
    DCB odd = dcb;
    odd.BaudRate = 250000;
    odd.ByteSize = 7;
    odd.Parity = EVENPARITY;
    odd.StopBits = TWOSTOPBITS;
    for (int time = 1; time <= 2; ++time) // the C library's own read-back differs the second
        ASSERT_TRUE(SetCommState(port, &odd)) << time;
    EXPECT_EQ(device.lineSettings(), "250000 8N2 ixoff crtscts");
    DCB back{};
    ASSERT_TRUE(GetCommState(port, &back));
    EXPECT_EQ(back.BaudRate, 250000u);
    ASSERT_TRUE(SetCommState(port, &dcb));
    EXPECT_EQ(device.lineSettings(), "9600 8N1 ixoff crtscts") << "back from BOTHER";

    // Refused: what termios has no means for, and no rate at all.
    DCB oneAndAHalf = dcb;
    oneAndAHalf.StopBits = ONE5STOPBITS;
    DCB dsrFlow = dcb;
    dsrFlow.fOutxDsrFlow = TRUE;
    DCB noRate = dcb;
    noRate.BaudRate = 0;
    for (DCB *bad : {&oneAndAHalf, &dsrFlow, &noRate}) {
        EXPECT_FALSE(SetCommState(port, bad));
        EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    }
    EXPECT_TRUE(SetupComm(port, 65536, 4096)) << "the kernel's queues are used";
    EXPECT_TRUE(CloseHandle(port));
    EXPECT_FALSE(SetupComm(INVALID_HANDLE_VALUE, 65536, 4096));
}

TEST(Comm, AnythingButATerminalHasNoSettings)
{
    PortMapping com1("COM1", notATerminal());
    HANDLE port = openPort("COM1");
    ASSERT_NE(port, INVALID_HANDLE_VALUE);
    DCB dcb{};
    EXPECT_FALSE(GetCommState(port, &dcb));
    EXPECT_TRUE(CloseHandle(port));
}

TEST(Comm, QueuesAreCountedReadAndPurged)
{
    PtyDevice device;
    PortMapping com1("COM1", device.path());
    HANDLE port = openPort("COM1");
    ASSERT_NE(port, INVALID_HANDLE_VALUE);

    device.write("hello\r\nworld");
    ASSERT_TRUE(device.waitQueued(12));
    COMSTAT stat{};
    DWORD errors = 99;
    ASSERT_TRUE(ClearCommError(port, &errors, &stat));
    EXPECT_EQ(stat.cbInQue, 12u);
    EXPECT_EQ(errors, 0u);
    char buffer[32] = {};
    DWORD got = 0;
    ASSERT_TRUE(ReadFile(port, buffer, 7, &got, nullptr));
    EXPECT_EQ(std::string(buffer, got), "hello\r\n");

    ASSERT_TRUE(PurgeComm(port, PURGE_RXCLEAR));
    ASSERT_TRUE(ClearCommError(port, &errors, &stat));
    EXPECT_EQ(stat.cbInQue, 0u);
    ASSERT_TRUE(ReadFile(port, buffer, sizeof buffer, &got, nullptr));
    EXPECT_EQ(got, 0u) << "a read takes only what is waiting";

    DWORD written = 0;
    ASSERT_TRUE(WriteFile(port, "\x00\xff\n", 3, &written, nullptr));
    EXPECT_EQ(written, 3u);
    EXPECT_EQ(device.read(3), std::string("\x00\xff\n", 3));
    EXPECT_TRUE(CloseHandle(port));
}

TEST(Comm, EveryCallFailsCleanlyOnceTheDeviceIsGone)
{
    PtyDevice device;
    PortMapping com1("COM1", device.path());
    HANDLE port = openPort("COM1");
    ASSERT_NE(port, INVALID_HANDLE_VALUE);
    device.unplug();

    COMSTAT stat{};
    EXPECT_FALSE(ClearCommError(port, nullptr, &stat));
    char buffer[8];
    DWORD count = 0;
    EXPECT_FALSE(ReadFile(port, buffer, sizeof buffer, &count, nullptr));
    EXPECT_FALSE(WriteFile(port, "x", 1, &count, nullptr));
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(GetLastError(), ERROR_DEVICE_NOT_CONNECTED);
    EXPECT_TRUE(CloseHandle(port));

    EXPECT_FALSE(ClearCommError(nullptr, nullptr, &stat));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(WriteFile(INVALID_HANDLE_VALUE, "x", 1, &count, nullptr));
}

// Write timeouts too long for the clock to count mean no deadline: the
// write goes out whole.
TEST(Comm, TheLongestWriteTimeoutsAreNoDeadline)
{
    PtyDevice device;
    HANDLE port = openPath(device.path());
    ASSERT_NE(port, INVALID_HANDLE_VALUE);
    COMMTIMEOUTS timeouts{};
    timeouts.WriteTotalTimeoutMultiplier = 0xFFFFFFFF;
    timeouts.WriteTotalTimeoutConstant = 0xFFFFFFFF;
    ASSERT_TRUE(SetCommTimeouts(port, &timeouts));
    const std::string text(3000, 'w');
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(port, text.data(), DWORD(text.size()), &written, nullptr));
    EXPECT_EQ(written, text.size());
    EXPECT_EQ(device.read(text.size()), text);
    EXPECT_TRUE(CloseHandle(port));
}

// A write of 8 bytes to a port whose line takes nothing: whether it
// succeeded, what it wrote, the error it left and how long it took.
struct StalledWrite {
    BOOL ok;
    DWORD written, error;
    std::chrono::steady_clock::duration took;
};

StalledWrite writeStalled(HANDLE port)
{
    StalledWrite result{};
    result.written = 99;
    const auto start = std::chrono::steady_clock::now();
    result.ok = WriteFile(port, "stalled!", 8, &result.written, nullptr);
    result.error = GetLastError();
    result.took = std::chrono::steady_clock::now() - start;
    return result;
}

TEST(Comm, AWriteTheLineDoesNotTakeEndsAtItsTimeoutOrAStall)
{
    PtyDevice device;
    PortMapping com1("COM1", device.path());
    HANDLE port = openPort("COM1");
    ASSERT_NE(port, INVALID_HANDLE_VALUE);
    device.fillLine();

    // With a write timeout, the write returns when it passes, with what went out.
    COMMTIMEOUTS timeouts{};
    ASSERT_TRUE(GetCommTimeouts(port, &timeouts));
    EXPECT_EQ(timeouts.WriteTotalTimeoutConstant, 0u);
    timeouts.WriteTotalTimeoutConstant = 200;
    ASSERT_TRUE(SetCommTimeouts(port, &timeouts));
    const StalledWrite timedOut = writeStalled(port);
    EXPECT_TRUE(timedOut.ok);
    EXPECT_EQ(timedOut.written, 0u);
    EXPECT_LT(timedOut.took, std::chrono::seconds(3));

    // Without one, it gives up once the line has taken nothing for the
    // stall limit (a moment here; the next test waits the real 30 s).
    timeouts.WriteTotalTimeoutConstant = 0;
    ASSERT_TRUE(SetCommTimeouts(port, &timeouts));
    setWriteStallLimit(std::chrono::milliseconds(300));
    const StalledWrite stalled = writeStalled(port);
    setWriteStallLimit(std::chrono::milliseconds::zero());
    EXPECT_FALSE(stalled.ok);
    EXPECT_EQ(stalled.error, ERROR_SEM_TIMEOUT);
    EXPECT_EQ(stalled.written, 0u);
    EXPECT_LT(stalled.took, std::chrono::seconds(10));
    EXPECT_TRUE(CloseHandle(port));
}

// The stall limit the program runs with: 30 s of a line that takes nothing.
TEST(CommRealStall, AStalledWriteGivesUpAfterThirtySeconds)
{
    PtyDevice device;
    HANDLE port = openPath(device.path());
    ASSERT_NE(port, INVALID_HANDLE_VALUE);
    device.fillLine();
    const StalledWrite stalled = writeStalled(port);
    EXPECT_FALSE(stalled.ok);
    EXPECT_EQ(stalled.error, ERROR_SEM_TIMEOUT);
    EXPECT_EQ(stalled.written, 0u);
    EXPECT_GE(stalled.took, std::chrono::seconds(29));
    EXPECT_LT(stalled.took, std::chrono::seconds(40));
    EXPECT_TRUE(CloseHandle(port));
}

} // namespace
