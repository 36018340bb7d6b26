// The end of the user's session (logoff, shutdown) as the real comterm.exe
// meets it under Wine: WM_ENDSESSION sent to its window, as the system sends
// it once every program has agreed to end.
//
// On Windows the system may end the program as soon as its window has
// answered, so the port must be closed by then. The test sees that on the
// device: the number of processes that hold it open drops to 0 while the
// program still runs. (A second open of the port cannot show it under Wine,
// which lets a second handle open a port that is open with share mode 0.)
#include "window_fixture_win32.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace {

using namespace std::chrono_literals;

using namespace window_test;

struct SessionRow {
    const char *name;
    BOOL ending;            // WM_ENDSESSION's wParam: whether the session ends
    bool duringStalledSend; // a send to a device that reads nothing runs meanwhile
    bool released;          // the port is free afterwards
    bool exits;             // and the program ends, with status 0
};

void PrintTo(const SessionRow &row, std::ostream *out)
{
    *out << row.name;
}

class EndSession : public ::testing::TestWithParam<SessionRow> {
  protected:
    Device com1;
    PortMapping map1{"COM1", com1.path()};
    ProgramWindow program{programPath()};
};

TEST_P(EndSession, ClosesThePortBeforeTheSystemEndsTheProgram)
{
    const SessionRow &row = GetParam();
    EXPECT_EQ(program.clickForBox(program.control(Button1)), std::nullopt);
    ASSERT_GT(com1.holders(), 0) << "COM1 is open";
    if (row.duringStalledSend) {
        setText(program.control(mSend), Window::stallingText());
        PostMessageW(program.control(Button2), BM_CLICK, 0, 0);
        ASSERT_NE(program.window(progressTitle, 5s), nullptr) << "no progress window";
    }

    DWORD_PTR result = 0;
    ASSERT_NE(SendMessageTimeoutW(program.form(), WM_ENDSESSION, row.ending, ENDSESSION_LOGOFF,
                                  SMTO_NORMAL, 10000, &result),
              0)
        << "the window did not answer WM_ENDSESSION";

    if (row.released) {
        EXPECT_TRUE(eventually([&] { return com1.holders() == 0; })) << "COM1 is still open";
    } else {
        EXPECT_GT(com1.holders(), 0);
    }
    if (row.exits) {
        EXPECT_EQ(program.exitStatus(15s), 0u);
    } else {
        // Still running: the port was closed by the window, not by the end of
        // the process.
        EXPECT_EQ(program.exitStatus(0ms), std::nullopt);
    }
    EXPECT_EQ(program.messageBox(), std::nullopt) << "no Send Error, no other box";

    if (!row.released) {
        // The session goes on, and so does the port.
        setText(program.control(mSend), L"still open");
        EXPECT_EQ(program.clickForBox(program.control(Button2)), std::nullopt);
        EXPECT_EQ(com1.read(10), "still open");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Messages, EndSession,
    ::testing::Values(SessionRow{"SessionEndsWithThePortOpen", TRUE, false, true, false},
                      SessionRow{"SessionEndsDuringAStalledSend", TRUE, true, true, true},
                      SessionRow{"SessionGoesOn", FALSE, false, false, false}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
