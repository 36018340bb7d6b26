// The four serial operations against real pseudo-terminals.
#include "message_recorder.h"
#include "port.h"
#include "pty_device.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>

#include <termios.h>

namespace {

using namespace std::string_literals;

const std::vector<Message> none;
const Message commError{serial::commErrorText, serial::commErrorCaption};
const Message setError{serial::setErrorText, serial::setErrorCaption};

class Port : public ::testing::Test {
  protected:
    PtyDevice com1, com2;
    PortMapping map1{"COM1", com1.path()};
    PortMapping map2{"COM2", com2.path()};
    MessageRecorder messages;

    ~Port() override { serial::closePort(); }

    // Opens COM1 and checks that it opened quietly.
    void open()
    {
        serial::openPort(0);
        ASSERT_TRUE(serial::isOpen());
        ASSERT_EQ(messages.take(), none);
    }

    // Proves that nothing but `marker` reached the device: anything sent
    // earlier would arrive first.
    void expectOnly(PtyDevice &device, const std::string &marker)
    {
        serial::sendText(marker);
        EXPECT_EQ(device.read(marker.size()), marker);
    }
};

TEST_F(Port, SelectorIndexPicksTheDevice)
{
    EXPECT_EQ(serial::portName(0), "COM1");
    EXPECT_EQ(serial::portName(1), "COM2");
    serial::openPort(1);
    ASSERT_TRUE(serial::isOpen());
    serial::sendText("to two");
    EXPECT_EQ(com2.read(6), "to two");
    serial::openPort(0);
    serial::sendText("to one");
    EXPECT_EQ(com1.read(6), "to one");
    EXPECT_EQ(messages.take(), none);

    // The line is set to 9600 8-N-1 on top of what the driver held.
    termios tio{};
    ASSERT_EQ(tcgetattr(com1.slave(), &tio), 0);
    EXPECT_EQ(cfgetospeed(&tio), speed_t(B9600));
    EXPECT_EQ(tio.c_cflag & (CSIZE | PARENB | CSTOPB), tcflag_t(CS8));
}

TEST_F(Port, OpenFailuresAreReportedAndLeaveNoPortOpen)
{
    serial::sendText("before any open"); // nothing to send to: no effect
    EXPECT_FALSE(serial::isOpen());

    PortMapping missing("COM1", "/dev/no-such-serial-device");
    serial::openPort(0);
    EXPECT_EQ(messages.take(), std::vector{commError});
    EXPECT_FALSE(serial::isOpen());
    EXPECT_EQ(serial::receiveText(), std::nullopt);

    serial::openPort(-1); // no item selected: "COM0" does not exist
    EXPECT_EQ(messages.take(), std::vector{commError});

    PortMapping notATerminal("COM1", "/dev/null");
    serial::openPort(0);
    EXPECT_EQ(messages.take(), std::vector{setError});
    EXPECT_FALSE(serial::isOpen());
    serial::sendText("after a refused open");

    // Held by another handle.
    HANDLE other =
        CreateFileA("COM2", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    serial::openPort(1);
    EXPECT_EQ(messages.take(), std::vector{commError});
    EXPECT_FALSE(serial::isOpen());
    CloseHandle(other);
    serial::openPort(1);
    EXPECT_TRUE(serial::isOpen());
    expectOnly(com2, "first");
}

TEST_F(Port, ReopeningThePortThatIsOpenSucceeds)
{
    open();
    open();
    expectOnly(com1, "still here");
}

TEST_F(Port, SendWritesTheTextsBytesExactly)
{
    open();
    serial::sendText("");
    const std::string text = "line 1\r\nline 2\n傳送\xff"s + '\0' + "end";
    serial::sendText(text);
    EXPECT_EQ(com1.read(text.size()), text);
    expectOnly(com1, "!");

    // A text larger than the line's buffers arrives whole while the device reads.
    std::string big(64 * 1024, '\0');
    for (std::size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>('A' + i % 26);
    auto received = std::async(std::launch::async, [&] { return com1.read(big.size()); });
    serial::sendText(big);
    EXPECT_EQ(received.get(), big);
}

TEST_F(Port, SendToAVanishedDeviceReturns)
{
    open();
    com1.unplug();
    const auto start = std::chrono::steady_clock::now();
    serial::sendText("nobody listens");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(serial::receiveText(), std::nullopt);
}

TEST_F(Port, ReceiveTakesWhatIsWaitingUpToTheLimit)
{
    open();
    EXPECT_EQ(serial::receiveText(), "");

    std::string block(1024, 'x');
    block.back() = 'y';
    com1.write(block);
    ASSERT_TRUE(com1.waitQueued(1024));
    EXPECT_EQ(serial::receiveText(), block);

    // One byte over the limit: the first 1,024 now, the rest on the next receive.
    com1.write(block + "z");
    ASSERT_TRUE(com1.waitQueued(1025));
    EXPECT_EQ(serial::receiveText(), block);
    EXPECT_EQ(serial::receiveText(), "z");
    EXPECT_EQ(serial::receiveText(), "");

    // Each receive shows only its own batch.
    com1.write("first");
    ASSERT_TRUE(com1.waitQueued(5));
    EXPECT_EQ(serial::receiveText(), "first");
    com1.write("second\r\n");
    ASSERT_TRUE(com1.waitQueued(8));
    EXPECT_EQ(serial::receiveText(), "second\r\n");

    // NUL bytes are dropped; what follows them is kept.
    com1.write("ab\0cd\0\0e\xe5\x82\xb3"s);
    ASSERT_TRUE(com1.waitQueued(11));
    EXPECT_EQ(serial::receiveText(), "abcde\xe5\x82\xb3");
}

TEST_F(Port, ReceiveWithoutAWorkingPortChangesNothing)
{
    EXPECT_EQ(serial::receiveText(), std::nullopt);
    open();
    com1.write("lost");
    ASSERT_TRUE(com1.waitQueued(4));
    com1.unplug();
    EXPECT_EQ(serial::receiveText(), std::nullopt);
    EXPECT_EQ(serial::receiveText(), std::nullopt);
}

// The message box, in a child process, says so on stderr.
int WINAPI announce(HWND, LPCSTR text, LPCSTR, UINT)
{
    fprintf(stderr, "message box: %s\n", text);
    return 1;
}

TEST_F(Port, CloseAndExitEndsWithStatusZeroAndReleasesThePort)
{
    serial::setMessageBox(&announce);
    EXPECT_EXIT(
        {
            serial::openPort(0);
            if (!serial::isOpen())
                _exit(3);
            serial::closeAndExit();
        },
        ::testing::ExitedWithCode(0), ::testing::Not(::testing::HasSubstr("message box")));
    EXPECT_EXIT(serial::closeAndExit(), ::testing::ExitedWithCode(0),
                ::testing::Not(::testing::HasSubstr("message box")));
    open();
}

} // namespace
