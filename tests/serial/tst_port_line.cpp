// The line as open leaves it, and a slow device, against a device on the
// other end of the line; on Linux and, built for Windows, under Wine. The
// device starts with the flow control an earlier program may leave: XON/XOFF
// both ways, IXANY and RTS/CTS.
#include "device.h"
#include "message_recorder.h"
#include "port.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
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

// The port as a driver may hold it, with every field open defines set to
// something else: open must write each of them.
BOOL WINAPI readEverythingElse(HANDLE port, LPDCB dcb)
{
    if (!GetCommState(port, dcb))
        return FALSE;
    dcb->BaudRate = 1200;
    dcb->ByteSize = 6;
    dcb->Parity = MARKPARITY;
    dcb->StopBits = ONE5STOPBITS;
    dcb->fBinary = FALSE;
    dcb->fParity = TRUE;
    dcb->fOutxCtsFlow = TRUE;
    dcb->fOutxDsrFlow = TRUE;
    dcb->fDtrControl = DTR_CONTROL_HANDSHAKE;
    dcb->fDsrSensitivity = TRUE;
    dcb->fOutX = TRUE;
    dcb->fInX = TRUE;
    dcb->fErrorChar = TRUE;
    dcb->fNull = TRUE;
    dcb->fRtsControl = RTS_CONTROL_TOGGLE;
    dcb->fAbortOnError = TRUE;
    return TRUE;
}

// Open with the settings read and written through the two functions above.
struct OpenSeen {
    OpenSeen()
    {
        written = DCB{};
        serial::setCommStateReader(&readEverythingElse);
        serial::setCommStateWriter(&recordCommState);
    }
    ~OpenSeen()
    {
        serial::setCommStateReader(nullptr);
        serial::setCommStateWriter(nullptr);
    }
};

// Each field of `got` that open defines, against `wanted`.
void expectFields(const DCB &got, const DCB &wanted)
{
    struct Field {
        const char *name;
        DWORD got, wanted;
    };
    const Field fields[] = {
        {"BaudRate", got.BaudRate, wanted.BaudRate},
        {"ByteSize", got.ByteSize, wanted.ByteSize},
        {"Parity", got.Parity, wanted.Parity},
        {"StopBits", got.StopBits, wanted.StopBits},
        {"fBinary", got.fBinary, wanted.fBinary},
        {"fParity", got.fParity, wanted.fParity},
        {"fOutxCtsFlow", got.fOutxCtsFlow, wanted.fOutxCtsFlow},
        {"fOutxDsrFlow", got.fOutxDsrFlow, wanted.fOutxDsrFlow},
        {"fDtrControl", got.fDtrControl, wanted.fDtrControl},
        {"fDsrSensitivity", got.fDsrSensitivity, wanted.fDsrSensitivity},
        {"fOutX", got.fOutX, wanted.fOutX},
        {"fInX", got.fInX, wanted.fInX},
        {"fErrorChar", got.fErrorChar, wanted.fErrorChar},
        {"fNull", got.fNull, wanted.fNull},
        {"fRtsControl", got.fRtsControl, wanted.fRtsControl},
        {"fAbortOnError", got.fAbortOnError, wanted.fAbortOnError},
    };
    for (const Field &field : fields)
        EXPECT_EQ(field.got, field.wanted) << field.name;
}

// The line open defines when no settings are named.
DCB definedLine()
{
    DCB dcb{};
    dcb.BaudRate = 9600;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    return dcb;
}

TEST(Line, OpenLeavesNoHandshakingFromAnEarlierProgram)
{
    Device com1;
    PortMapping map("COM1", com1.path());
    MessageRecorder messages;
    {
        const OpenSeen seen;
        serial::openPort(0);
    }
    ASSERT_TRUE(serial::isOpen());
    EXPECT_EQ(messages.take(), std::vector<Message>{});
    expectFields(written, definedLine());
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

// COM1 named in its variable with line settings after the device, as a
// user writes it: the device's path on Linux; under Wine COM7, which the
// prefix links to the device.
class Com1WithSettings {
  public:
    Com1WithSettings(const Device &device, const std::string &settings)
#ifdef _WIN32
        : link_("COM7", device.path())
    {
        shown_ = "COM7";
        set(shown_ + ' ' + settings);
    }
#else
    {
        shown_ = device.path();
        set(shown_ + ' ' + settings);
    }
#endif
    ~Com1WithSettings()
    {
        set({});
    }
    Com1WithSettings(const Com1WithSettings &) = delete;
    Com1WithSettings &operator=(const Com1WithSettings &) = delete;

    // The device as the messages name it.
    std::string described() const
    {
        return runningOnWine() ? "\\\\.\\" + shown_ : shown_;
    }
    // The device as the title names it.
    const std::string &shown() const
    {
        return shown_;
    }

  private:
    static void set(const std::string &value)
    {
#ifdef _WIN32
        _putenv_s("COM1", value.c_str());
#else
        if (value.empty())
            ::unsetenv("COM1");
        else
            ::setenv("COM1", value.c_str(), 1);
#endif
    }
#ifdef _WIN32
    PortMapping link_;
#endif
    std::string shown_;
};

// What the device reads of the line; under Wine without the IXANY that Wine
// leaves as it finds it (see openedLine).
std::string lineOf(const Device &device)
{
    std::string line = device.lineSettings();
    if (const auto ixany = line.find(" ixany"); runningOnWine() && ixany != std::string::npos)
        line.erase(ixany, 6);
    return line;
}

// The line settings through the map to the real port: what open writes, what
// the line runs at as the device and GetCommState read it back (a
// pseudo-terminal keeps 8 data bits and no parity whatever it is told, so
// those show in what open wrote and in the title), and the window's title.
// Settings that cannot be read open nothing.
TEST(Line, SettingsFromTheMapReachTheLine)
{
    using Change = void (*)(DCB &);
    struct Row {
        const char *name;
        const char *settings;
        Change change;      // to the line open defines; null: refused
        const char *device; // the line as the device reads it
        const char *title;  // the line in the title
        bool onWine = true;
    };
    const Row rows[] = {
        {"none", "", [](DCB &) {}, "9600 8N1", "9600 8-N-1"},
        {"framing", "baud=115200 parity=e data=7 stop=2",
         [](DCB &d) {
             d.BaudRate = 115200;
             d.ByteSize = 7;
             d.Parity = EVENPARITY;
             d.StopBits = TWOSTOPBITS;
         },
         "115200 8N2", "115200 7-E-2"},
        {"any case", "BAUD=19200 Parity=O",
         [](DCB &d) {
             d.BaudRate = 19200;
             d.Parity = ODDPARITY;
         },
         "19200 8N1", "19200 8-O-1"},
        {"a rate outside the termios table", "baud=250000", [](DCB &d) { d.BaudRate = 250000; },
         "250000 8N1", "250000 8-N-1", false},
        {"XON/XOFF", "xon=on",
         [](DCB &d) {
             d.fOutX = TRUE;
             d.fInX = TRUE;
         },
         "9600 8N1 ixon ixoff", "9600 8-N-1"},
        {"CTS", "octs=on", [](DCB &d) { d.fOutxCtsFlow = TRUE; }, "9600 8N1 crtscts", "9600 8-N-1"},
        // Wine's BuildCommDCBA knows no "hs".
        {"RTS/CTS", "octs=on rts=hs",
         [](DCB &d) {
             d.fOutxCtsFlow = TRUE;
             d.fRtsControl = RTS_CONTROL_HANDSHAKE;
         },
         "9600 8N1 crtscts", "9600 8-N-1", false},
        {"modem lines off", "dtr=off rts=off",
         [](DCB &d) {
             d.fDtrControl = DTR_CONTROL_DISABLE;
             d.fRtsControl = RTS_CONTROL_DISABLE;
         },
         "9600 8N1", "9600 8-N-1"},
        {"an unknown field", "speed=9600", nullptr, nullptr, nullptr},
        {"a rate that is no number", "baud=fast", nullptr, nullptr, nullptr},
        {"an unknown parity", "parity=x", nullptr, nullptr, nullptr},
        {"too many data bits", "baud=9600 data=9", nullptr, nullptr, nullptr},
        {"no value", "stop=", nullptr, nullptr, nullptr},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        if (runningOnWine() && !row.onWine)
            continue;
        Device com1;
        const std::string untouched = com1.lineSettings();
        const Com1WithSettings map(com1, row.settings);
        MessageRecorder messages;
        testing::internal::CaptureStderr();
        {
            const OpenSeen seen;
            serial::openPort(0);
        }
        const std::string errors = testing::internal::GetCapturedStderr();
        if (row.change == nullptr) {
            EXPECT_FALSE(serial::isOpen());
            const std::string reason =
                "COM1 (" + map.described() +
                ", from the COM1 variable): line settings not understood: " + row.settings;
            EXPECT_EQ(messages.take(),
                      (std::vector<Message>{{std::string(serial::commErrorText) + "\n\n" + reason,
                                             serial::commErrorCaption}}));
            EXPECT_EQ(errors, "comterm: " + reason + "\n");
            EXPECT_EQ(written.BaudRate, 0u) << "nothing was written";
            EXPECT_EQ(com1.lineSettings(), untouched) << "nothing was opened";
            EXPECT_EQ(serial::openPortTitle(), "");
            continue;
        }
        ASSERT_TRUE(serial::isOpen()) << errors;
        EXPECT_EQ(messages.take(), std::vector<Message>{});
        DCB wanted = definedLine();
        row.change(wanted);
        expectFields(written, wanted);
        EXPECT_EQ(lineOf(com1), row.device);
        DCB running{};
        ASSERT_TRUE(GetCommState(serial::hCOM, &running));
        EXPECT_EQ(running.BaudRate, wanted.BaudRate);
        EXPECT_EQ(running.StopBits, wanted.StopBits);
        EXPECT_EQ(running.fOutX && running.fInX, wanted.fOutX && wanted.fInX);
        EXPECT_EQ(running.fOutxCtsFlow, wanted.fOutxCtsFlow);
        EXPECT_EQ(serial::openPortTitle(), "COM1 (" + map.shown() + ") " + row.title);
        serial::closePort();
        EXPECT_EQ(serial::openPortTitle(), "");
    }
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
