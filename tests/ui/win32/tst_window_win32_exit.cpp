// Every way the user ends the real comterm.exe: with a port open or not,
// and during a send to a device that reads nothing.
#include "window_fixture_win32.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;
using namespace window_test;

// How the user ends the program, and whether a port is open or a send to
// a stalled peer runs at that moment. Every way ends with status 0, shows no
// box and leaves the port free.
enum class Way { ExitButton, CloseBox, AltF4 };
struct ExitRow {
    const char *name;
    Way way;
    bool portOpen;
    bool duringStalledSend;
};

void PrintTo(const ExitRow &row, std::ostream *out)
{
    *out << row.name;
}

class Exit : public Window, public ::testing::WithParamInterface<ExitRow> {};

TEST_P(Exit, EndsWithStatusZeroAndFreesThePort)
{
    const ExitRow &row = GetParam();
    if (row.portOpen) {
        clickQuietly(Button1);
        ASSERT_GT(com1.holders(), 0);
    }
    if (row.duringStalledSend) {
        ASSERT_NE(startStalledSend(), nullptr) << "no progress window";
        // The device holds the send back; that alone ends nothing: the program
        // runs on, answering, with the port open, until the user ends it.
        EXPECT_FALSE(eventually([&] { return program.exitStatus(0ms).has_value(); }, 2s))
            << "the program ended during the send, before the user asked";
        EXPECT_TRUE(program.answers());
        EXPECT_GT(com1.holders(), 0);
    }
    const auto asked = std::chrono::steady_clock::now();
    switch (row.way) {
    case Way::ExitButton:
        PostMessageW((*this)[Button4], BM_CLICK, 0, 0);
        break;
    case Way::CloseBox:
        program.closeBox();
        break;
    case Way::AltF4:
        SetForegroundWindow(program.form());
        program.press(VK_F4, VK_MENU);
        break;
    }
    // The end comes within a few seconds: a send that runs is stopped, not
    // waited for (its stall limit is 30 s). No box shows on the way, not even
    // one that closes at once: a window that ended during a send would
    // otherwise report the send it cut short.
    const ProgramWindow::End end = program.endWatchingBoxes(3s);
    EXPECT_EQ(end.status, 0u) << "not ended "
                              << std::chrono::duration_cast<std::chrono::milliseconds>(
                                     std::chrono::steady_clock::now() - asked)
                                     .count()
                              << " ms after the user asked, or not with status 0";
    EXPECT_EQ(end.boxes, std::vector<std::wstring>{});
    EXPECT_TRUE(released(com1));
}

INSTANTIATE_TEST_SUITE_P(
    Ways, Exit,
    ::testing::Values(ExitRow{"ExitButtonWithAPortOpen", Way::ExitButton, true, false},
                      ExitRow{"CloseBoxWithAPortOpen", Way::CloseBox, true, false},
                      ExitRow{"AltF4", Way::AltF4, false, false},
                      ExitRow{"CloseBoxDuringAStalledSend", Way::CloseBox, true, true}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
