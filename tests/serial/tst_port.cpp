// The serial operations against a device on the other end of the line:
// open, receive, and close-and-exit (sends are in tst_port_send.cpp). The
// same scenarios run natively on Linux and, built for Windows, under Wine
// against the system's own serial API.
#include "device_map.h"
#include "port_fixture.h"

#include <string>

namespace {

using namespace std::string_literals;

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

    EXPECT_EQ(com1.lineSettings(), openedLine());
}

TEST_F(Port, OpenFailuresAreReportedAndLeaveNoPortOpen)
{
    EXPECT_EQ(serial::sendText("before any open").end, serial::SendEnd::NoPort);
    EXPECT_FALSE(serial::isOpen());

    // Nothing maps COM201, and no /dev/ttyS200 stands in for it.
    serial::openPort(200);
    EXPECT_EQ(messages.takeFixed(), std::vector{commError});
    EXPECT_FALSE(serial::isOpen());
    EXPECT_EQ(serial::receiveText().end, serial::ReceiveEnd::NoPort);

    serial::openPort(-1); // no item selected: "COM0" does not exist
    EXPECT_EQ(messages.takeFixed(), std::vector{commError});

    PortMapping plainFile("COM1", notATerminal());
    serial::openPort(0);
    EXPECT_EQ(messages.takeFixed(), std::vector{setError});
    EXPECT_FALSE(serial::isOpen());
    serial::sendText("after a refused open");
    serial::openPort(1);
    ASSERT_TRUE(serial::isOpen());
    expectOnly(com2, "nothing before this");
}

TEST_F(Port, OpeningAPortHeldByAnotherHandleFails)
{
    if (runningOnWine())
        GTEST_SKIP() << "Wine lets a second handle open a COM port that is open with share mode 0";
    HANDLE other = CreateFileA(portDevice("COM2").path.c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                               nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    serial::openPort(1);
    EXPECT_EQ(messages.takeFixed(), std::vector{commError});
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

TEST_F(Port, ReceiveTakesWhatIsWaitingUpToTheLimit)
{
    open();
    EXPECT_EQ(serial::receiveText().bytes, "");

    std::string block(1024, 'x');
    block.back() = 'y';
    com1.write(block);
    ASSERT_TRUE(com1.waitQueued(1024));
    EXPECT_EQ(serial::receiveText().bytes, block);

    // One byte over the limit: the first 1,024 now, the rest on the next receive.
    com1.write(block + "z");
    ASSERT_TRUE(com1.waitQueued(1025));
    EXPECT_EQ(serial::receiveText().bytes, block);
    EXPECT_EQ(serial::receiveText().bytes, "z");
    EXPECT_EQ(serial::receiveText().bytes, "");

    // Each receive shows only its own batch.
    com1.write("first");
    ASSERT_TRUE(com1.waitQueued(5));
    EXPECT_EQ(serial::receiveText().bytes, "first");
    com1.write("second\r\n");
    ASSERT_TRUE(com1.waitQueued(8));
    EXPECT_EQ(serial::receiveText().bytes, "second\r\n");

    // NUL bytes come in with the rest (the codec drops them); what follows
    // them is kept.
    com1.write("ab\0cd\0\0e\xe5\x82\xb3"s);
    ASSERT_TRUE(com1.waitQueued(11));
    EXPECT_EQ(serial::receiveText().bytes, "ab\0cd\0\0e\xe5\x82\xb3"s);
}

// No port: nothing changes, nothing is shown. A device gone: the receive box
// empties and a box says why, at every receive, until another open.
TEST_F(Port, ReceiveWithoutAPortChangesNothingAndFromAVanishedDeviceSaysSo)
{
    EXPECT_EQ(serial::receiveText(), (serial::ReceiveResult{"", serial::ReceiveEnd::NoPort, ""}));
    serial::reportReceive(serial::receiveText());
    EXPECT_EQ(messages.take(), none);
    open();
    com1.write("lost");
    ASSERT_TRUE(com1.waitQueued(4));
    com1.unplug();
    for (int receive = 1; receive <= 2; ++receive) {
        SCOPED_TRACE("receive " + std::to_string(receive));
        const serial::ReceiveResult result = serial::receiveText();
        EXPECT_EQ(result.end, serial::ReceiveEnd::Lost);
        EXPECT_EQ(result.bytes, "");
        serial::reportReceive(result);
        EXPECT_EQ(messages.take(), std::vector{receiveError(result.failure)});
        EXPECT_TRUE(isLostDeviceText(result.failure)) << result.failure;
    }
}

// What the process looked like as closeAndExit ended it.
struct Ending {
    int status;
    bool portFree;
};

void recordEnding(int status)
{
    HANDLE port = CreateFileA(portDevice("COM1").path.c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    const bool free = port != INVALID_HANDLE_VALUE;
    if (free)
        CloseHandle(port);
    throw Ending{status, free};
}

TEST_F(Port, CloseAndExitClosesThePortThenEndsWithStatusZero)
{
    open();
    serial::setEndProcess(&recordEnding);
    Ending ending{-1, false};
    try {
        serial::closeAndExit();
    } catch (const Ending &e) {
        ending = e;
    }
    serial::setEndProcess(nullptr);
    EXPECT_EQ(ending.status, 0);
    // (Wine lets a second handle open a port that is open, closed or not.)
    EXPECT_TRUE(ending.portFree || runningOnWine()) << "the port is closed before the end";
    EXPECT_FALSE(serial::isOpen());
    EXPECT_EQ(messages.take(), none);
}

} // namespace
