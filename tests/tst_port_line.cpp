// The line as open leaves it, and a slow device, against a device on the
// other end of the line; on Linux and, built for Windows, under Wine. The
// device starts with the flow control an earlier program may leave: XON/XOFF
// both ways, IXANY and RTS/CTS.
#include "device.h"
#include "message_recorder.h"
#include "port.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>
#include <thread>

namespace {

using namespace std::chrono_literals;

DCB written{};

BOOL WINAPI recordCommState(HANDLE port, LPDCB dcb)
{
    written = *dcb;
    return SetCommState(port, dcb);
}

TEST(Line, OpenLeavesNoHandshakingFromAnEarlierProgram)
{
    Device com1;
    PortMapping map("COM1", com1.path());
    MessageRecorder messages;
    serial::setCommStateWriter(&recordCommState);
    serial::openPort(0);
    serial::setCommStateWriter(nullptr);
    ASSERT_TRUE(serial::isOpen());
    EXPECT_EQ(messages.take(), std::vector<Message>{});

    // Every field open asks for, whatever the port could show of it.
    struct Field {
        const char *name;
        DWORD got, wanted;
    };
    const Field fields[] = {
        {"BaudRate", DWORD{written.BaudRate}, 9600},
        {"ByteSize", DWORD{written.ByteSize}, 8},
        {"Parity", DWORD{written.Parity}, NOPARITY},
        {"StopBits", DWORD{written.StopBits}, ONESTOPBIT},
        {"fBinary", DWORD{written.fBinary}, TRUE},
        {"fParity", DWORD{written.fParity}, FALSE},
        {"fOutxCtsFlow", DWORD{written.fOutxCtsFlow}, FALSE},
        {"fOutxDsrFlow", DWORD{written.fOutxDsrFlow}, FALSE},
        {"fDtrControl", DWORD{written.fDtrControl}, DTR_CONTROL_ENABLE},
        {"fDsrSensitivity", DWORD{written.fDsrSensitivity}, FALSE},
        {"fOutX", DWORD{written.fOutX}, FALSE},
        {"fInX", DWORD{written.fInX}, FALSE},
        {"fErrorChar", DWORD{written.fErrorChar}, FALSE},
        {"fNull", DWORD{written.fNull}, FALSE},
        {"fRtsControl", DWORD{written.fRtsControl}, RTS_CONTROL_ENABLE},
        {"fAbortOnError", DWORD{written.fAbortOnError}, FALSE},
    };
    for (const Field &field : fields)
        EXPECT_EQ(field.got, field.wanted) << field.name;
    // What the line itself kept: no flow control of any kind.
    EXPECT_EQ(com1.lineSettings(), openedLine());

    // The device's XOFF and XON are data, as every other byte.
    com1.write("A\x13"
               "B\x11"
               "C");
    ASSERT_TRUE(com1.waitQueued(5));
    EXPECT_EQ(serial::receiveText().bytes, "A\x13"
                                           "B\x11"
                                           "C");
    // A stray XOFF from the device holds no send.
    com1.write("\x13");
    ASSERT_TRUE(com1.waitQueued(1));
    const auto result = serial::sendText("after XOFF");
    EXPECT_EQ(result.end, serial::SendEnd::Done);
    EXPECT_EQ(com1.read(10, 2s), "after XOFF");
    serial::closePort();
}

// A device behind buffers that move in bursts: it takes nothing for 12 s at
// a time (longer than a careless stall limit), three times over, so that the
// whole send lasts longer than the real limit. Every byte arrives, and the
// send ends without a box.
TEST(Line, ADeviceThatReadsInLongBurstsGetsEveryByteAndNoBox)
{
    Device com1;
    PortMapping map("COM1", com1.path());
    MessageRecorder messages;
    serial::openPort(0);
    ASSERT_TRUE(serial::isOpen());
    std::string text(64 * 1024, '\0');
    for (std::size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<char>('a' + i * 7 % 26);

    auto received = std::async(std::launch::async, [&] {
        std::string got;
        for (int burst = 0; burst < 2; ++burst) {
            std::this_thread::sleep_for(12s); // the device's own pause, under test
            got += com1.read(4096, 1s);
        }
        std::this_thread::sleep_for(12s);
        return got + com1.read(text.size() - got.size(), 20s);
    });
    const auto start = std::chrono::steady_clock::now();
    const auto result = serial::sendText(text);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(result, (serial::SendResult{text.size(), text.size(), serial::SendEnd::Done, {}}));
    EXPECT_TRUE(received.get() == text) << "bytes lost, repeated or out of order";
    EXPECT_GT(took, serial::sendStallLimit) << "the device paused as planned";
    serial::reportSend(result);
    EXPECT_EQ(messages.take(), std::vector<Message>{});
    serial::closePort();
}

} // namespace
