// Every way out of the real program (program_fixture.h) frees the port.
#include "program_fixture.h"

namespace {

// What the program is doing when it is told to end.
enum class Doing {
    Nothing,
    Sending,     // a send into a line that takes nothing, its progress window up
    ShowingABox, // the box of a cancelled send, modal
};

// How it is told to end.
enum class Way { ExitButton, CloseBox, Signal, LostDisplay };

struct WayOut {
    const char *name;
    Way way;
    int signal; // for Way::Signal
    Doing doing;
    int status; // the exit status, 128 + the signal for a signal's default action
};

void PrintTo(const WayOut &row, std::ostream *out)
{
    *out << row.name;
}

// Every way out of the program frees the port: a program without root rights
// can open it afterwards, although the device's end of the line (the
// pseudo-terminal's master, and the test's own descriptor on it) stayed open
// the whole time and exclusive mode would otherwise outlive the program.
// Without a window manager the close box and Alt+F4 are the same message.
class WaysOut : public Program, public ::testing::WithParamInterface<WayOut> {
  protected:
    void SetUp() override
    {
        // A lost display ends the program from inside the event loop, with
        // the libraries' state (fontconfig's) still held: no leak of ours to
        // look for, and LeakSanitizer's status would hide the program's.
        if (GetParam().way == Way::LostDisplay) {
            const char *asan = std::getenv("ASAN_OPTIONS");
            settings.push_back("ASAN_OPTIONS=" + std::string(asan ? asan : "") + ":detect_leaks=0");
        }
        Program::SetUp();
    }
};

TEST_P(WaysOut, EndWithTheirStatusAndFreeThePort)
{
    const WayOut &row = GetParam();
    click(336 + 40, 32 + 12); // Button1: open COM1
    ASSERT_TRUE(eventually([] { return !portIsFree(); })) << "the port did not open";
    ASSERT_EQ(openWithoutRoot(device.path()), EBUSY) << "the port is not held exclusively";
    if (row.doing != Doing::Nothing) {
        device.fillLine();
        click(96 + 48, 464 + 12); // Button2: send "mSend" into a line that takes nothing
        ASSERT_TRUE(eventually([this] { return windowShown("傳送資料"); }))
            << "no progress window came up";
    }
    if (row.doing == Doing::ShowingABox) {
        // Escape cancels the send, once the progress window is mapped and can
        // take the focus.
        ASSERT_TRUE(eventually([this] {
            return xdotool({"search", "--onlyvisible", "--name", "^傳送資料$"}) == 0;
        }));
        ASSERT_EQ(xdotool({"search", "--onlyvisible", "--name", "^傳送資料$", "windowfocus",
                           "--sync", "key", "Escape"}),
                  0);
        ASSERT_TRUE(eventually([this] { return windowShown("Send Cancelled"); }))
            << "no box came up after the send was cancelled";
    }

    const auto start = Clock::now();
    switch (row.way) {
    case Way::ExitButton:
        click(504 + 56, 32 + 12); // Button4: exit
        break;
    case Way::CloseBox:
        closeWindow();
        break;
    case Way::Signal:
        ASSERT_EQ(kill(program, row.signal), 0);
        break;
    case Way::LostDisplay:
        killDisplay();
        break;
    }
    const int status = waitExit(program, 10s);
    const std::string errors = programErrors();
    if (row.way == Way::Signal && row.signal == SIGSEGV && programHasAsan()) {
        EXPECT_EQ(status, 1) << errors;
        EXPECT_NE(errors.find("AddressSanitizer: SEGV"), std::string::npos) << errors;
    } else {
        EXPECT_EQ(status, row.status) << errors;
        EXPECT_EQ(errors.find("Sanitizer"), std::string::npos) << errors;
        EXPECT_EQ(errors.find("runtime error"), std::string::npos) << errors;
    }
    if (row.doing == Doing::Sending) {
        EXPECT_LT(Clock::now() - start, 5s) << "the send went on after the program was told to end";
    }
    // First: the test's own open and close below drops exclusive mode itself.
    EXPECT_EQ(openWithoutRoot(device.path()), 0) << "exclusive mode outlived the program";
    EXPECT_TRUE(portIsFree()) << "the lock outlived the program";
}

const WayOut waysOut[] = {
    {"ExitButton", Way::ExitButton, 0, Doing::Nothing, 0},
    {"CloseBox", Way::CloseBox, 0, Doing::Nothing, 0},
    {"CloseBoxDuringAStalledSend", Way::CloseBox, 0, Doing::Sending, 0},
    {"Sigterm", Way::Signal, SIGTERM, Doing::Nothing, 0},
    {"Sighup", Way::Signal, SIGHUP, Doing::Nothing, 0},
    {"Sigint", Way::Signal, SIGINT, Doing::Nothing, 0},
    {"SigtermDuringAStalledSend", Way::Signal, SIGTERM, Doing::Sending, 0},
    {"SigtermWithABoxUp", Way::Signal, SIGTERM, Doing::ShowingABox, 0},
    {"LostDisplay", Way::LostDisplay, 0, Doing::Nothing, 1},
    {"CrashSigsegv", Way::Signal, SIGSEGV, Doing::Nothing, 128 + SIGSEGV},
    {"CrashSigabrt", Way::Signal, SIGABRT, Doing::Nothing, 128 + SIGABRT},
};

INSTANTIATE_TEST_SUITE_P(, WaysOut, ::testing::ValuesIn(waysOut),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
