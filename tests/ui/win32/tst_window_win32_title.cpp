// The real comterm.exe's title: "Form1" while no port is open, the open
// port's name, device and line before it while one is. COM1 is named in its
// variable with line settings after the device, as a user writes it (ones
// that a pseudo-terminal keeps: glibc, and so Wine, refuses a second open
// with parity on one, as it reads back no parity).
#include "window_fixture_win32.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <optional>
#include <string>

namespace {

using namespace std::chrono_literals;

using namespace window_test;

std::wstring titleOf(HWND window)
{
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    return text;
}

TEST(Title, NamesTheOpenPortAndOnlyWhileItIsOpen)
{
    Device com7;
    PortMapping link{"COM7", com7.path()};
    const ScopedVariable com1(L"COM1", L"COM7 baud=115200 stop=2");
    const ScopedVariable com2(L"COM2", L"COM98"); // no such device
    ProgramWindow program{programPath()};
    EXPECT_EQ(titleOf(program.form()), L"Form1");

    const std::wstring open = L"COM1 (COM7) 115200 8-N-2 - Form1";
    for (int time = 1; time <= 2; ++time) {
        SCOPED_TRACE(time);
        program.click(program.control(rdCOMItem0));
        EXPECT_EQ(program.clickForBox(program.control(Button1)), std::nullopt);
        EXPECT_EQ(titleOf(program.form()), open);
        EXPECT_GT(com7.holders(), 0);

        // COM2 does not open: the title says "Form1" while its box is up and
        // after it, as the port that was open is closed.
        program.click(program.control(rdCOMItem1));
        PostMessageW(program.control(Button1), BM_CLICK, 0, 0);
        const HWND box = program.window(L"Comm Error", 10s);
        ASSERT_NE(box, nullptr) << "no Comm Error box";
        EXPECT_EQ(titleOf(program.form()), L"Form1");
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        EXPECT_TRUE(eventually([&] { return program.window(L"Comm Error", 0ms) == nullptr; }));
        EXPECT_TRUE(program.answers());
        EXPECT_EQ(titleOf(program.form()), L"Form1");
    }
}

} // namespace
