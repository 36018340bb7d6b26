// How the POSIX layer's line settings translate to termios and back. A
// pseudo-terminal keeps 8 data bits and no parity whatever it is told, so
// these rows are checked on the translation itself.
#include "line_settings_posix.h"
#include "line_speed_posix.h"
#include "pty_device.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>

namespace {

// Every bit of every flag word set, or none: a translation must set what it
// owns and clear what it owns from either state, and keep the rest.
termios filled(bool set)
{
    termios tio{};
    const tcflag_t all = set ? ~tcflag_t{0} : 0;
    tio.c_iflag = tio.c_oflag = tio.c_lflag = all;
    tio.c_cflag = all & ~tcflag_t(CBAUD);
    for (cc_t &c : tio.c_cc)
        c = set ? 0x7f : 0;
    cfsetspeed(&tio, B9600);
    return tio;
}

DCB lineSettings(DWORD baud, int byteSize, int parity, int stopBits)
{
    return {.BaudRate = baud,
            .ByteSize = BYTE(byteSize),
            .Parity = BYTE(parity),
            .StopBits = BYTE(stopBits)};
}

// Every speed code the system has, against the system's own conversion: the
// code set on a pseudo-terminal with tcsetattr, the kernel reports the rate it
// stands for (termios2), and the layer must turn that rate into that code and
// the code back into that rate.
TEST(LineSettings, EveryBaudRateTranslatesToItsSpeedAndBack)
{
    PtyDevice device;
    termios original{};
    ASSERT_EQ(tcgetattr(device.slave(), &original), 0);
    int codes = 0;
    for (speed_t code = 1; code <= speed_t(CBAUD); ++code) {
        if (code == otherRateCode)
            continue; // the code that says the rate travels apart
        termios set = original;
        if (cfsetospeed(&set, code) != 0 || cfsetispeed(&set, code) != 0)
            continue; // not a speed code
        ASSERT_EQ(tcsetattr(device.slave(), TCSANOW, &set), 0) << code;
        const DWORD rate = terminalRate(device.slave());
        ASSERT_NE(rate, 0u) << "the system reports no rate for code " << code;
        ++codes;
        termios tio = filled(true);
        ASSERT_TRUE(writeLineSettings(tio, lineSettings(rate, 8, NOPARITY, ONESTOPBIT))) << rate;
        EXPECT_EQ(cfgetospeed(&tio), code) << rate;
        EXPECT_EQ(cfgetispeed(&tio), code) << rate;
        DCB back{};
        readLineSettings(tio, back);
        EXPECT_EQ(back.BaudRate, rate);
    }
    EXPECT_GE(codes, 30) << "fewer speed codes than the system has had since 2.6";
    // Other rates go as BOTHER, the rate itself apart (termios2), with no
    // separate input rate left over; no rate at all is refused and changes
    // nothing. A speed outside the table reads as 0 from termios alone.
    for (const DWORD baud : {1u, 14400u, 56000u, 250000u, 4000001u}) {
        termios tio = filled(true);
        ASSERT_TRUE(writeLineSettings(tio, lineSettings(baud, 8, NOPARITY, ONESTOPBIT))) << baud;
        EXPECT_EQ(tio.c_cflag & (CBAUD | CIBAUD), tcflag_t(CBAUDEX)) << baud;
        DCB back{};
        readLineSettings(tio, back);
        EXPECT_EQ(back.BaudRate, 0u);
    }
    termios unchanged = filled(true);
    EXPECT_FALSE(writeLineSettings(unchanged, lineSettings(0, 8, NOPARITY, ONESTOPBIT)));
    EXPECT_EQ(unchanged.c_cflag, filled(true).c_cflag);
    termios hungUp = filled(false);
    cfsetospeed(&hungUp, B0);
    DCB back{};
    readLineSettings(hungUp, back);
    EXPECT_EQ(back.BaudRate, 0u);
}

TEST(LineSettings, EveryFramingTranslatesToItsBitsAndBack)
{
    const tcflag_t sizes[] = {CS5, CS6, CS7, CS8}; // byte sizes 5 to 8
    // NOPARITY, ODDPARITY, EVENPARITY, MARKPARITY, SPACEPARITY
    const tcflag_t parities[] = {0, PARENB | PARODD, PARENB, PARENB | PARODD | CMSPAR,
                                 PARENB | CMSPAR};
    const tcflag_t stops[] = {0, 0, CSTOPB}; // ONESTOPBIT, (1.5), TWOSTOPBITS
    for (int size = 5; size <= 8; ++size)
        for (int parity = NOPARITY; parity <= SPACEPARITY; ++parity)
            for (const int stop : {ONESTOPBIT, TWOSTOPBITS})
                for (const bool start : {false, true}) {
                    SCOPED_TRACE(testing::Message()
                                 << size << " bits, parity " << parity << ", stop " << stop
                                 << ", from all " << (start ? "set" : "clear"));
                    termios tio = filled(start);
                    ASSERT_TRUE(writeLineSettings(tio, lineSettings(9600, size, parity, stop)));
                    EXPECT_EQ(tio.c_cflag & framingBits,
                              sizes[size - 5] | parities[parity] | stops[stop]);
                    const tcflag_t others = ~(framingBits | CIBAUD);
                    EXPECT_EQ(tio.c_cflag & others, filled(start).c_cflag & others);
                    DCB back{};
                    readLineSettings(tio, back);
                    EXPECT_EQ(int{back.ByteSize}, size);
                    EXPECT_EQ(int{back.Parity}, parity);
                    EXPECT_EQ(int{back.StopBits}, stop);
                }
    for (const auto &[size, parity, stop] : {std::tuple{4, NOPARITY, ONESTOPBIT},
                                             {9, NOPARITY, ONESTOPBIT},
                                             {8, SPACEPARITY + 1, ONESTOPBIT},
                                             {8, NOPARITY, ONE5STOPBITS},
                                             {8, NOPARITY, 3}}) {
        termios tio = filled(false);
        EXPECT_FALSE(writeLineSettings(tio, lineSettings(9600, size, parity, stop)))
            << size << ' ' << parity << ' ' << stop;
        EXPECT_EQ(tio.c_cflag, filled(false).c_cflag);
    }
}

TEST(LineSettings, RawModeClearsTheLineDisciplineAndKeepsTheRest)
{
    enum Effect { Cleared, Kept, Set };
    const std::tuple<const char *, tcflag_t termios::*, tcflag_t, Effect> rows[] = {
        {"IGNBRK", &termios::c_iflag, IGNBRK, Cleared},
        {"BRKINT", &termios::c_iflag, BRKINT, Cleared},
        {"PARMRK", &termios::c_iflag, PARMRK, Cleared},
        {"ISTRIP", &termios::c_iflag, ISTRIP, Cleared},
        {"INLCR", &termios::c_iflag, INLCR, Cleared},
        {"IGNCR", &termios::c_iflag, IGNCR, Cleared},
        {"ICRNL", &termios::c_iflag, ICRNL, Cleared},
        {"IXON", &termios::c_iflag, IXON, Cleared},
        {"IXOFF", &termios::c_iflag, IXOFF, Kept},
        {"INPCK", &termios::c_iflag, INPCK, Kept},
        {"OPOST", &termios::c_oflag, OPOST, Cleared},
        {"ECHO", &termios::c_lflag, ECHO, Cleared},
        {"ECHONL", &termios::c_lflag, ECHONL, Cleared},
        {"ICANON", &termios::c_lflag, ICANON, Cleared},
        {"ISIG", &termios::c_lflag, ISIG, Cleared},
        {"IEXTEN", &termios::c_lflag, IEXTEN, Cleared},
        {"CLOCAL", &termios::c_cflag, CLOCAL, Set},
        {"CREAD", &termios::c_cflag, CREAD, Set},
        {"CRTSCTS", &termios::c_cflag, CRTSCTS, Kept},
        {"HUPCL", &termios::c_cflag, HUPCL, Kept},
        {"CSTOPB", &termios::c_cflag, CSTOPB, Kept},
        {"PARENB", &termios::c_cflag, PARENB, Kept}};
    for (const bool start : {false, true}) {
        termios tio = filled(start);
        makeRaw(tio);
        for (const auto &[name, word, bit, effect] : rows)
            EXPECT_EQ((tio.*word & bit) != 0, effect == Set || (effect == Kept && start))
                << name << (start ? " from all set" : " from none set");
        EXPECT_EQ(tio.c_cflag & CSIZE, filled(start).c_cflag & CSIZE);
        EXPECT_EQ(cfgetospeed(&tio), speed_t(B9600));
        EXPECT_EQ(tio.c_cc[VMIN], 0) << "reads return at once";
        EXPECT_EQ(tio.c_cc[VTIME], 0);
        EXPECT_EQ(tio.c_cc[VINTR], filled(start).c_cc[VINTR]);
    }
}

TEST(LineSettings, FlowControlTranslatesToItsBitsAndBack)
{
    // A DCB field, set alone on top of no flow control, and the termios bits
    // it stands for; a field termios has no means for is refused.
    using Set = void (*)(DCB &);
    struct Row {
        const char *field;
        Set set;
        tcflag_t iflag, cflag;
        bool offered;
    };
    const Row rows[] = {
        {"none", [](DCB &) {}, 0, 0, true},
        {"fOutX", [](DCB &d) { d.fOutX = 1; }, IXON, 0, true},
        {"fInX", [](DCB &d) { d.fInX = 1; }, IXOFF, 0, true},
        {"fParity", [](DCB &d) { d.fParity = 1; }, INPCK, 0, true},
        {"fOutxCtsFlow", [](DCB &d) { d.fOutxCtsFlow = 1; }, 0, CRTSCTS, true},
        {"RTS handshake", [](DCB &d) { d.fRtsControl = RTS_CONTROL_HANDSHAKE; }, 0, CRTSCTS, true},
        {"fOutxDsrFlow", [](DCB &d) { d.fOutxDsrFlow = 1; }, 0, 0, false},
        {"fDsrSensitivity", [](DCB &d) { d.fDsrSensitivity = 1; }, 0, 0, false},
        {"DTR handshake", [](DCB &d) { d.fDtrControl = DTR_CONTROL_HANDSHAKE; }, 0, 0, false},
        {"RTS toggle", [](DCB &d) { d.fRtsControl = RTS_CONTROL_TOGGLE; }, 0, 0, false},
        {"fErrorChar", [](DCB &d) { d.fErrorChar = 1; }, 0, 0, false},
        {"fNull", [](DCB &d) { d.fNull = 1; }, 0, 0, false},
        {"fAbortOnError", [](DCB &d) { d.fAbortOnError = 1; }, 0, 0, false},
        {"not binary", [](DCB &d) { d.fBinary = 0; }, 0, 0, false},
    };
    for (const Row &row : rows)
        for (const bool start : {false, true}) {
            SCOPED_TRACE(testing::Message()
                         << row.field << " from all " << (start ? "set" : "clear"));
            DCB dcb = lineSettings(9600, 8, NOPARITY, ONESTOPBIT);
            dcb.fDtrControl = DTR_CONTROL_ENABLE;
            dcb.fRtsControl = RTS_CONTROL_ENABLE;
            row.set(dcb);
            termios tio = filled(start);
            ASSERT_EQ(writeLineSettings(tio, dcb), row.offered);
            if (!row.offered) {
                EXPECT_EQ(tio.c_iflag, filled(start).c_iflag) << "a refusal changes nothing";
                continue;
            }
            EXPECT_EQ(tio.c_iflag & flowInputBits, row.iflag) << "IXANY is always cleared";
            EXPECT_EQ(tio.c_cflag & CRTSCTS, row.cflag);
            EXPECT_EQ(tio.c_iflag & ~flowInputBits, filled(start).c_iflag & ~flowInputBits);
            DCB back{};
            readLineSettings(tio, back);
            EXPECT_EQ(back.fOutX, dcb.fOutX);
            EXPECT_EQ(back.fInX, dcb.fInX);
            EXPECT_EQ(back.fParity, dcb.fParity);
            EXPECT_EQ(back.fOutxCtsFlow || back.fRtsControl == RTS_CONTROL_HANDSHAKE,
                      row.cflag != 0);
        }
}

} // namespace

namespace {

// The settings a driver may hold, every field other than any row names.
DCB heldByTheDriver()
{
    DCB dcb{};
    dcb.BaudRate = 1234;
    dcb.ByteSize = 6;
    dcb.Parity = SPACEPARITY;
    dcb.StopBits = ONE5STOPBITS;
    dcb.fBinary = FALSE;
    dcb.fParity = TRUE;
    dcb.fOutxCtsFlow = TRUE;
    dcb.fOutxDsrFlow = TRUE;
    dcb.fDtrControl = DTR_CONTROL_HANDSHAKE;
    dcb.fDsrSensitivity = TRUE;
    dcb.fTXContinueOnXoff = TRUE;
    dcb.fOutX = TRUE;
    dcb.fInX = TRUE;
    dcb.fErrorChar = TRUE;
    dcb.fNull = TRUE;
    dcb.fRtsControl = RTS_CONTROL_TOGGLE;
    dcb.fAbortOnError = TRUE;
    return dcb;
}

void frame(DCB &d, DWORD baud, int size, int parity, int stop)
{
    d.BaudRate = baud;
    d.ByteSize = BYTE(size);
    d.Parity = BYTE(parity);
    d.StopBits = BYTE(stop);
}

// The DCB's fields as one line, for comparing whole DCBs.
std::string fieldsOf(const DCB &d)
{
    return std::to_string(d.BaudRate) + ' ' + std::to_string(d.ByteSize) + ' ' +
           std::to_string(d.Parity) + ' ' + std::to_string(d.StopBits) + " bin" +
           std::to_string(d.fBinary) + " par" + std::to_string(d.fParity) + " cts" +
           std::to_string(d.fOutxCtsFlow) + " dsr" + std::to_string(d.fOutxDsrFlow) + " dtr" +
           std::to_string(d.fDtrControl) + " sens" + std::to_string(d.fDsrSensitivity) + " txc" +
           std::to_string(d.fTXContinueOnXoff) + " outx" + std::to_string(d.fOutX) + " inx" +
           std::to_string(d.fInX) + " err" + std::to_string(d.fErrorChar) + " null" +
           std::to_string(d.fNull) + " rts" + std::to_string(d.fRtsControl) + " abort" +
           std::to_string(d.fAbortOnError);
}

TEST(BuildCommDCB, ChangesWhatTheSettingsNameAndTurnsFlowControlOffUnlessNamed)
{
    using Change = void (*)(DCB &);
    // Each row: the settings and what they change in the driver's DCB beyond
    // flow control, which is off (DTR and RTS on) unless named.
    const std::pair<const char *, Change> rows[] = {
        {"baud=115200 parity=e data=7 stop=2",
         [](DCB &d) { frame(d, 115200, 7, EVENPARITY, TWOSTOPBITS); }},
        {"  BAUD=250000\tParity=M  DATA=5 Stop=1.5 ",
         [](DCB &d) { frame(d, 250000, 5, MARKPARITY, ONE5STOPBITS); }},
        {"parity=n data=8 stop=1", [](DCB &d) { frame(d, 1234, 8, NOPARITY, ONESTOPBIT); }},
        {"parity=o", [](DCB &d) { d.Parity = ODDPARITY; }},
        {"baud=96", [](DCB &d) { d.BaudRate = 9600; }},
        {"baud=110", [](DCB &d) { d.BaudRate = 110, d.StopBits = TWOSTOPBITS; }},
        {"stop=1 baud=110", [](DCB &d) { d.BaudRate = 110, d.StopBits = ONESTOPBIT; }},
        {"xon=on", [](DCB &d) { d.fOutX = d.fInX = TRUE; }},
        {"octs=on rts=hs",
         [](DCB &d) { d.fOutxCtsFlow = TRUE, d.fRtsControl = RTS_CONTROL_HANDSHAKE; }},
        {"odsr=on idsr=on dtr=hs rts=tg to=on",
         [](DCB &d) {
             d.fOutxDsrFlow = d.fDsrSensitivity = TRUE, d.fDtrControl = DTR_CONTROL_HANDSHAKE;
             d.fRtsControl = RTS_CONTROL_TOGGLE;
         }},
        {"dtr=off rts=off xon=off octs=off odsr=off idsr=off to=off",
         [](DCB &d) { d.fDtrControl = DTR_CONTROL_DISABLE, d.fRtsControl = RTS_CONTROL_DISABLE; }},
        {"COM3: baud=1200", [](DCB &d) { d.BaudRate = 1200; }},
        {"", [](DCB &) {}},
        // The older form, whose last field sets the handshake.
        {"96,n,8,1", [](DCB &d) { frame(d, 9600, 8, NOPARITY, ONESTOPBIT); }},
        {"com1:19200, e, 7", [](DCB &d) { frame(d, 19200, 7, EVENPARITY, d.StopBits); }},
        {"12,o,7,2,x",
         [](DCB &d) { frame(d, 1200, 7, ODDPARITY, TWOSTOPBITS), d.fOutX = d.fInX = TRUE; }},
        {"48,n,8,1,P",
         [](DCB &d) {
             frame(d, 4800, 8, NOPARITY, ONESTOPBIT);
             d.fOutxCtsFlow = d.fOutxDsrFlow = TRUE, d.fDtrControl = DTR_CONTROL_HANDSHAKE;
             d.fRtsControl = RTS_CONTROL_HANDSHAKE;
         }},
    };
    // Refused, changing nothing: unknown fields, values out of range, the
    // forms mixed.
    const char *const refused[] = {"speed=9600",
                                   "baud",
                                   "baud=",
                                   "baud=0",
                                   "baud=-9600",
                                   "baud=96k",
                                   "baud=4294967296",
                                   "parity=x",
                                   "parity=even",
                                   "data=4",
                                   "data=9",
                                   "stop=3",
                                   "stop=1.0",
                                   "xon=yes",
                                   "dtr=tg",
                                   "to=1",
                                   "baud=9600 parity",
                                   "96,n,8,1 xon=on",
                                   "96,n,8,1,z",
                                   "96,n,8,1,x,x",
                                   "96,,8",
                                   "com0: baud=9600"};
    for (const char *settings : refused) {
        DCB dcb = heldByTheDriver();
        SetLastError(ERROR_SUCCESS);
        EXPECT_FALSE(BuildCommDCBA(settings, &dcb)) << settings;
        EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER) << settings;
        EXPECT_EQ(fieldsOf(dcb), fieldsOf(heldByTheDriver())) << settings;
    }
    for (const auto &[settings, change] : rows) {
        SCOPED_TRACE(std::string("settings \"") + settings + '"');
        DCB dcb = heldByTheDriver();
        ASSERT_TRUE(BuildCommDCBA(settings, &dcb));
        DCB wanted = heldByTheDriver();
        wanted.fOutX = wanted.fInX = wanted.fOutxCtsFlow = wanted.fOutxDsrFlow = FALSE;
        wanted.fDsrSensitivity = FALSE;
        wanted.fDtrControl = DTR_CONTROL_ENABLE;
        wanted.fRtsControl = RTS_CONTROL_ENABLE;
        change(wanted);
        EXPECT_EQ(fieldsOf(dcb), fieldsOf(wanted));
    }
    EXPECT_FALSE(BuildCommDCBA(nullptr, nullptr));
}

} // namespace
