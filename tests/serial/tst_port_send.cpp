// Sends against a device on the other end of the line: the bytes exactly,
// long sends in pieces, a device that stops taking bytes or vanishes. On
// Linux and, built for Windows, under Wine.
#include "port_fixture.h"

#include <algorithm>
#include <chrono>
#include <future>
#include <string>

namespace {

using namespace std::string_literals;

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

// The box of a send that ended early: the counts, then why.
Message sendError(std::size_t sent, std::size_t total, const std::string &reason)
{
    return {"傳送資料未完成!!\n已送出 " + std::to_string(sent) + " / " + std::to_string(total) +
                " 位元組\n\n" + reason,
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
    EXPECT_EQ(result, (serial::SendResult{text.size(), text.size(), serial::SendEnd::Done, {}}));
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
    EXPECT_EQ(result.end, serial::SendEnd::Stalled);
    EXPECT_GE(took, std::chrono::seconds(2));
    EXPECT_LT(took, std::chrono::seconds(10));
    EXPECT_GT(result.sent, 0u);
    EXPECT_EQ(com1.read(text.size(), std::chrono::seconds(3)).size(), result.sent)
        << "the count is what the device can read";
    serial::reportSend(result);
    serial::setSendStallLimit({});
    EXPECT_EQ(messages.take(),
              std::vector{sendError(result.sent, text.size(), "the device took no byte for 2 s")});
    expectOnly(com1, "the line works again");
}

// Cancel is the user's choice: a plain box that says how far the send got.
TEST_F(Port, ACancelledSendIsNoError)
{
    open();
    const std::string text = longText();
    const auto result = serial::sendText(text, [](std::size_t, std::size_t) { return false; });
    EXPECT_EQ(result.end, serial::SendEnd::Cancelled);
    serial::reportSend(result);
    const Message cancelled{"已取消傳送\n已送出 " + std::to_string(result.sent) + " / " +
                                std::to_string(text.size()) + " 位元組",
                            "Send Cancelled"};
    EXPECT_EQ(messages.take(), std::vector{cancelled});
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
    EXPECT_TRUE(isLostDeviceText(result.failure)) << result.failure;
    serial::reportSend(result);
    EXPECT_EQ(messages.take(), std::vector{sendError(result.sent, text.size(),
                                                     "the device is gone: " + result.failure)});

    // Already gone when the send starts: nothing is written, at once.
    const auto start = std::chrono::steady_clock::now();
    const auto again = serial::sendText("nobody listens");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(again.sent, 0u);
    EXPECT_EQ(again.end, serial::SendEnd::Lost);
    EXPECT_TRUE(isLostDeviceText(again.failure)) << again.failure;
    serial::reportSend(again);
    EXPECT_EQ(messages.take(),
              std::vector{sendError(0, 14, "the device is gone: " + again.failure)});
}

} // namespace
