// Every way out of the real program (program_fixture.h) frees the port.
#include "program_fixture.h"

namespace {

// How it is told to end.
enum class Way {
    ExitButton,
    CloseBox,
    Signal,         // one signal
    SignalRepeated, // a signal, then another again and again until the program is gone
    IgnoredSignal,  // a signal that must change nothing, then the close box
    LostDisplay,
};

struct WayOut {
    const char *name;
    Way way;
    int signal; // for the ways by signal
    int again;  // for Way::SignalRepeated
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
    openCom1();
    bringTo(row.doing);

    const auto start = Clock::now();
    int status = -1;
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
    case Way::SignalRepeated:
        // Into every moment of the shutdown, the port's release included.
        ASSERT_EQ(kill(program, row.signal), 0);
        for (const auto end = Clock::now() + 10s; (status = waitExit(program, 0ms)) < 0;) {
            ASSERT_LT(Clock::now(), end) << "the program did not end";
            kill(program, row.again);
            poll(nullptr, 0, 1);
        }
        break;
    case Way::IgnoredSignal:
        ASSERT_EQ(kill(program, row.signal), 0);
        closeWindow();
        break;
    case Way::LostDisplay:
        killDisplay();
        break;
    }
    if (status < 0)
        status = waitExit(program, 10s);
    const std::string errors = programErrors();
    if (row.way == Way::Signal && row.signal == SIGSEGV && programHasAsan()) {
        EXPECT_EQ(status, 1) << errors;
        EXPECT_NE(errors.find("AddressSanitizer: SEGV"), std::string::npos) << errors;
    } else {
        // Once the port is closed, a signal may end the program its own way.
        if (row.way == Way::SignalRepeated && status == 128 + row.again)
            status = row.status;
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
    {"ExitButton", Way::ExitButton, 0, 0, Doing::Nothing, 0},
    {"CloseBox", Way::CloseBox, 0, 0, Doing::Nothing, 0},
    {"CloseBoxDuringAStalledSend", Way::CloseBox, 0, 0, Doing::Sending, 0},
    {"Sigterm", Way::Signal, SIGTERM, 0, Doing::Nothing, 0},
    {"Sighup", Way::Signal, SIGHUP, 0, Doing::Nothing, 0},
    {"Sigint", Way::Signal, SIGINT, 0, Doing::Nothing, 0},
    {"SigtermDuringAStalledSend", Way::Signal, SIGTERM, 0, Doing::Sending, 0},
    {"SigtermWithABoxUp", Way::Signal, SIGTERM, 0, Doing::ShowingABox, 0},
    // More end signals while the program ends (a terminal that closes sends
    // SIGHUP twice).
    {"SigtermThenSigtermsDuringTheShutdown", Way::SignalRepeated, SIGTERM, SIGTERM, Doing::Nothing,
     0},
    {"SighupThenSigintsDuringTheShutdown", Way::SignalRepeated, SIGHUP, SIGINT, Doing::Nothing, 0},
    {"SigpipeIsIgnored", Way::IgnoredSignal, SIGPIPE, 0, Doing::Nothing, 0},
    {"LostDisplay", Way::LostDisplay, 0, 0, Doing::Nothing, 1},
    {"CrashSigsegv", Way::Signal, SIGSEGV, 0, Doing::Nothing, 128 + SIGSEGV},
    {"CrashSigabrt", Way::Signal, SIGABRT, 0, Doing::Nothing, 128 + SIGABRT},
    // The other signals whose default action ends the program with a core.
    {"CrashSigquit", Way::Signal, SIGQUIT, 0, Doing::Nothing, 128 + SIGQUIT},
    {"CrashSigtrap", Way::Signal, SIGTRAP, 0, Doing::Nothing, 128 + SIGTRAP},
    {"CrashSigsys", Way::Signal, SIGSYS, 0, Doing::Nothing, 128 + SIGSYS},
    {"CrashSigxcpu", Way::Signal, SIGXCPU, 0, Doing::Nothing, 128 + SIGXCPU},
    {"CrashSigxfsz", Way::Signal, SIGXFSZ, 0, Doing::Nothing, 128 + SIGXFSZ},
};

INSTANTIATE_TEST_SUITE_P(, WaysOut, ::testing::ValuesIn(waysOut),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace

namespace {

// Under nohup the program starts with SIGHUP ignored; a hang-up must leave
// it running, its port held, as the user asked.
class ProgramUnderNohup : public Program {
  protected:
    void SetUp() override
    {
        launcher = {"nohup"};
        Program::SetUp();
    }
};

TEST_F(ProgramUnderNohup, KeepsRunningAfterAHangUp)
{
    openCom1();
    ASSERT_EQ(kill(program, SIGHUP), 0);
    click(96 + 48, 464 + 12); // Button2: send "mSend"
    EXPECT_EQ(device.read(5), "mSend") << "the window no longer answers";
    EXPECT_LT(waitExit(program, 0ms), 0) << "the hang-up ended the program";
    EXPECT_EQ(openWithoutRoot(device.path()), EBUSY) << "the port was let go";
}

struct Crash {
    const char *name;
    const char *how; // what crash_child.cpp does
    int status;
};

void PrintTo(const Crash &row, std::ostream *out)
{
    *out << row.name;
}

// Crashes that the program cannot be made to have from outside, in a child
// of the test's own that holds the port through the same functions.
class Crashes : public ::testing::TestWithParam<Crash> {};

TEST_P(Crashes, FreeThePort)
{
    const Crash &row = GetParam();
    const rlimit noCore{0, 0};
    ASSERT_EQ(setrlimit(RLIMIT_CORE, &noCore), 0);
    PtyDevice device;
    int go[2];
    ASSERT_EQ(pipe2(go, O_CLOEXEC), 0);
    // AddressSanitizer sets up an alternate stack of its own: without it,
    // the one the crash release sets up is the one that must serve.
    const char *asan = std::getenv("ASAN_OPTIONS");
    const pid_t child = spawn(
        {COMTERM_CRASH_CHILD, device.path(), row.how, std::to_string(go[0])},
        {"ASAN_OPTIONS=" + std::string(asan ? asan : "") + ":use_sigaltstack=0"}, -1, -1, go[0]);
    close(go[0]);
    EXPECT_TRUE(eventually([&] { return openWithoutRoot(device.path()) == EBUSY; }))
        << "the child did not hold the port";
    EXPECT_EQ(write(go[1], "!", 1), 1);
    close(go[1]);
    EXPECT_EQ(waitExit(child, 30s), row.status);
    EXPECT_EQ(openWithoutRoot(device.path()), 0) << "exclusive mode outlived the child";
}

const Crash crashes[] = {
    {"StackOverflow", "overflow", 128 + SIGSEGV},
    // After more opens and closes than the release keeps descriptors for.
    {"AbortAfterManyOpens", "churn", 128 + SIGABRT},
};

INSTANTIATE_TEST_SUITE_P(, Crashes, ::testing::ValuesIn(crashes),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
