// The four serial operations against a device on the other end of the
// line. The same scenarios run natively on Linux and, built for Windows,
// under Wine against the system's own serial API.
#include "device.h"
#include "message_recorder.h"
#include "port.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <string>

namespace {

using namespace std::string_literals;

const std::vector<Message> none;
const Message commError{"開啟通訊阜錯誤!!", "Comm Error"};
const Message setError{"開啟通訊阜設定錯誤!!", "Set Error"};

class Port : public ::testing::Test {
  protected:
    Device com1, com2;
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
    void expectOnly(Device &device, const std::string &marker)
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

    EXPECT_EQ(com1.lineSettings(), "9600 8N1");
}

TEST_F(Port, OpenFailuresAreReportedAndLeaveNoPortOpen)
{
    EXPECT_EQ(serial::sendText("before any open").end, serial::SendEnd::NoPort);
    EXPECT_FALSE(serial::isOpen());

    // Nothing maps COM201, and no /dev/ttyS200 stands in for it.
    serial::openPort(200);
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
    serial::openPort(1);
    ASSERT_TRUE(serial::isOpen());
    expectOnly(com2, "nothing before this");
}

TEST_F(Port, OpeningAPortHeldByAnotherHandleFails)
{
    if (runningOnWine())
        GTEST_SKIP() << "Wine lets a second handle open a COM port that is open with share mode 0";
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

// A text larger than everything the line buffers between the program and the device.
std::string longText()
{
    std::string text(256 * 1024, '\0');
    for (std::size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<char>('a' + i * 7 % 26);
    return text;
}

Message sendError(std::size_t sent, std::size_t total)
{
    return {"傳送資料未完成!!\n已送出 " + std::to_string(sent) + " / " + std::to_string(total) +
                " 位元組",
            "Send Error"};
}

TEST_F(Port, ALongSendComesBackBetweenPiecesAndDeliversEveryByteOnceInOrder)
{
    open();
    COMMTIMEOUTS own{};
    own.WriteTotalTimeoutMultiplier = 7;
    own.ReadIntervalTimeout = 3;
    ASSERT_TRUE(SetCommTimeouts(serial::hCOM, &own));

    // The device starts reading only once the send has come back with the
    // line full, and then reads as fast as it can.
    const std::string text = longText();
    std::promise<void> lineFull;
    bool released = false;
    auto received = std::async(std::launch::async, [&, full = lineFull.get_future()] {
        full.wait();
        return com1.read(text.size());
    });
    std::vector<std::size_t> progress;
    const auto result = serial::sendText(text, [&](std::size_t sent, std::size_t total) {
        EXPECT_EQ(total, text.size());
        progress.push_back(sent);
        if (sent < total && !released) {
            released = true;
            lineFull.set_value();
        }
        return true;
    });
    if (!released)
        lineFull.set_value();
    EXPECT_EQ(result, (serial::SendResult{text.size(), text.size(), serial::SendEnd::Done}));
    EXPECT_TRUE(received.get() == text) << "bytes lost, repeated or out of order";
    EXPECT_GE(progress.size(), 2u);
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    EXPECT_EQ(progress.back(), text.size());

    serial::reportSend(result);
    EXPECT_EQ(messages.take(), none);
    COMMTIMEOUTS after{};
    ASSERT_TRUE(GetCommTimeouts(serial::hCOM, &after));
    EXPECT_EQ(after.WriteTotalTimeoutMultiplier, 7u) << "the port's own timeouts are put back";
    EXPECT_EQ(after.WriteTotalTimeoutConstant, 0u);
    EXPECT_EQ(after.ReadIntervalTimeout, 3u);
}

TEST_F(Port, ASendTheDeviceStopsTakingEndsAtTheStallLimitAndSaysHowFarItGot)
{
    open();
    serial::setSendStallLimit(std::chrono::seconds(2));
    const std::string text = longText();
    const auto start = std::chrono::steady_clock::now();
    const auto result = serial::sendText(text);
    const auto took = std::chrono::steady_clock::now() - start;
    serial::setSendStallLimit({});
    EXPECT_EQ(result.end, serial::SendEnd::Stalled);
    EXPECT_GE(took, std::chrono::seconds(2));
    EXPECT_LT(took, std::chrono::seconds(10));
    EXPECT_GT(result.sent, 0u);
    EXPECT_EQ(com1.read(text.size(), std::chrono::seconds(3)).size(), result.sent)
        << "the count is what the device can read";
    serial::reportSend(result);
    EXPECT_EQ(messages.take(), std::vector{sendError(result.sent, text.size())});
    expectOnly(com1, "the line works again");
}

TEST_F(Port, ASendToAVanishedDeviceEndsAndSaysSo)
{
    open();
    const std::string text = longText();
    const auto result = serial::sendText(text, [&](std::size_t sent, std::size_t total) {
        if (sent < total)
            com1.unplug();
        return true;
    });
    EXPECT_EQ(result.end, serial::SendEnd::Lost);
    EXPECT_LT(result.sent, text.size());
    serial::reportSend(result);
    EXPECT_EQ(messages.take(), std::vector{sendError(result.sent, text.size())});

    // Already gone when the send starts: nothing is written, at once.
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(serial::sendText("nobody listens"),
              (serial::SendResult{0, 14, serial::SendEnd::Lost}));
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

    // NUL bytes come in with the rest (the codec drops them); what follows
    // them is kept.
    com1.write("ab\0cd\0\0e\xe5\x82\xb3"s);
    ASSERT_TRUE(com1.waitQueued(11));
    EXPECT_EQ(serial::receiveText(), "ab\0cd\0\0e\xe5\x82\xb3"s);
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

// What the process looked like as closeAndExit ended it.
struct Ending {
    int status;
    bool portFree;
};

void recordEnding(int status)
{
    HANDLE port =
        CreateFileA("COM1", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
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
