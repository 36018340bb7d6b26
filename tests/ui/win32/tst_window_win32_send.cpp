// Sending and receiving through the real comterm.exe's window: the boxes'
// texts in the ANSI code page, the boxes of open failures, and long sends
// with their progress window, their Cancel button and their stall limit.
#include "window_fixture_win32.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <future>
#include <string>
#include <thread>

namespace {

using namespace std::chrono_literals;
using namespace window_test;

using namespace std::string_literals;

// What Wine says, in Traditional Chinese, of a terminal whose other end has
// closed ("Not ready").
const std::wstring lostDeviceText = L"未就緒";

TEST_F(Window, SendsAndReceivesTheBoxesTextsInTheAnsiCodePage)
{
    ASSERT_EQ(GetACP(), 950u) << "run under a zh_TW locale (wine_driver --locale zh_TW.UTF-8)";
    clickQuietly(Button1);

    // The untouched send box sends its line exactly: no line end is added.
    clickQuietly(Button2);
    EXPECT_EQ(com1.read(5), "mSend");
    // Chinese text goes out as its Big5 bytes, a line break as CR LF, and a
    // character that code page 950 lacks as '?'.
    setText((*this)[mSend], L"傳送\r\n資料 한.");
    clickQuietly(Button2);
    const std::string big5 = "\xb6\xc7\xb0\x65\r\n\xb8\xea\xae\xc6 ?.";
    EXPECT_EQ(com1.read(big5.size() + 1, 1s), big5) << "nothing before it, nothing after it";

    // A receive replaces the box's text with the Big5 bytes shown as text.
    setText((*this)[mReceive], L"typed by the user");
    com1.write("\xb1\xb5\xa6\xac\r\nline 2");
    ASSERT_TRUE(com1.waitQueued(12));
    clickQuietly(Button3);
    EXPECT_EQ(textOf((*this)[mReceive]), L"接收\r\nline 2");

    // 1,025 waiting bytes: the first 1,024 now, the last on the next receive.
    // The 1,024th is the first byte of a character: it is shown with the next.
    com1.write(std::string(1023, 'a') + "\xb1\xb5" + "b"s + '\0' + "c");
    ASSERT_TRUE(com1.waitQueued(1027));
    clickQuietly(Button3);
    EXPECT_EQ(textOf((*this)[mReceive]), std::wstring(1023, L'a'));
    clickQuietly(Button3);
    EXPECT_EQ(textOf((*this)[mReceive]), L"接bc") << "NUL bytes are dropped";
    clickQuietly(Button3);
    EXPECT_EQ(textOf((*this)[mReceive]), L"");

    // COM2 by its radio item: opening it closes COM1.
    program.click((*this)[rdCOMItem1]);
    EXPECT_TRUE(checked(rdCOMItem1));
    EXPECT_FALSE(checked(rdCOMItem0));
    clickQuietly(Button1);
    setText((*this)[mSend], L"to COM2");
    clickQuietly(Button2);
    EXPECT_EQ(com2.read(7), "to COM2");
    EXPECT_EQ(com1.read(1, 200ms), "");
    EXPECT_TRUE(released(com1)) << "COM1 is closed";
    // Wine's serial driver keeps the IXANY that the device's terminal starts
    // with: the DCB has no such flag. With IXON off it stops nothing.
    EXPECT_EQ(com2.lineSettings(), "9600 8N1 ixany");
}

TEST_F(Window, OpenFailuresShowTheirBoxes)
{
    {
        // Wine opens /dev/ttyS0 for a COM1 whose link leads nowhere, so a
        // device that cannot be opened (a directory) stands in for a missing one.
        PortMapping cannotOpen("COM1", "/");
        // Under the fixed text, the port, its device, and the system's reason
        // with the hint Windows' "access denied" calls for.
        EXPECT_EQ(program.clickForBox((*this)[Button1]),
                  (MessageBoxSeen{L"Comm Error", L"開啟通訊阜錯誤!!\n\nCOM1 (\\\\.\\COM1, the "
                                                 L"default): 存取被拒; in use by another program "
                                                 L"or window"}));
    }
    {
        // A device that is not a terminal: its settings cannot be read or set.
        PortMapping notATerminal("COM1", "/dev/null");
        EXPECT_EQ(program.clickForBox((*this)[Button1]),
                  (MessageBoxSeen{L"Set Error", L"開啟通訊阜設定錯誤!!\n\nCOM1 (\\\\.\\COM1, "
                                                L"the default): 無效的控制代碼; not a serial "
                                                L"port"}));
    }
    // Neither left a port open: a send goes nowhere, and then COM1 opens.
    clickQuietly(Button2);
    clickQuietly(Button1);
    clickQuietly(Button2);
    EXPECT_EQ(com1.read(6, 1s), "mSend");
}

// A device that went away: a receive empties the receive box and says so,
// and so does a send, each with the system's reason.
TEST_F(Window, AVanishedDeviceIsToldOnReceiveAndOnSend)
{
    clickQuietly(Button1);
    com1.write("old reply");
    ASSERT_TRUE(com1.waitQueued(9));
    clickQuietly(Button3);
    ASSERT_EQ(textOf((*this)[mReceive]), L"old reply");
    com1.unplug();
    const auto received = program.clickForBox((*this)[Button3]);
    ASSERT_TRUE(received.has_value()) << "no box for a receive from a vanished device";
    EXPECT_EQ(received->caption, L"Receive Error");
    EXPECT_EQ(received->text, L"接收資料錯誤!!\n\nthe device is gone: " + lostDeviceText);
    EXPECT_EQ(textOf((*this)[mReceive]), L"");

    const auto sent = sendBox(program.clickForBox((*this)[Button2]));
    EXPECT_EQ(sent.total, 5u);
    EXPECT_EQ(sent.rest, L"\n\nthe device is gone: " + lostDeviceText);
}

TEST_F(Window, SendToAStalledPeerEndsWithItsCountsAndTheWindowAnswers)
{
    clickQuietly(Button1);
    const std::wstring text = stallingText();
    const std::string bytes(text.begin(), text.end());
    setText((*this)[mSend], text);

    // While the send runs, the window answers every message within 1 s: for
    // the first 25 s, before the send can end (showing a box can take Wine
    // a few seconds of font loading).
    const auto start = std::chrono::steady_clock::now();
    auto longestWait = std::async(std::launch::async, [&] {
        std::chrono::steady_clock::duration longest{};
        for (auto asked = start; asked < start + 25s; asked = std::chrono::steady_clock::now()) {
            program.answers(5s);
            longest = std::max(longest, std::chrono::steady_clock::now() - asked);
            std::this_thread::sleep_for(50ms);
        }
        return longest;
    });
    const auto box = program.clickForBox((*this)[Button2], 90s);
    const auto took = std::chrono::steady_clock::now() - start;
    const auto longest = longestWait.get();
    EXPECT_LT(longest, 1s) << "the window did not answer for "
                           << std::chrono::duration_cast<std::chrono::milliseconds>(longest).count()
                           << " ms during the send";
    const auto [sent, total, why] = sendBox(box);
    EXPECT_EQ(total, bytes.size()) << ::testing::PrintToString(box);
    EXPECT_GT(sent, 0u);
    EXPECT_LT(sent, total);
    EXPECT_EQ(why, L"\n\nthe device took no byte for 30 s");
    // The program's own limit, not a test's shortened one: 30 s without
    // progress, and the box soon after.
    const auto seconds = std::chrono::duration_cast<std::chrono::milliseconds>(took).count() / 1e3;
    EXPECT_GE(took, 30s) << "a stall ends the send after 30 s without progress, not after "
                         << seconds << " s";
    EXPECT_LT(took, 45s) << seconds << " s";
    // The device can read exactly the bytes that the box counts as sent.
    EXPECT_EQ(com1.read(total, 2s), bytes.substr(0, sent));

    // The window works on: a receive, then a send.
    EXPECT_TRUE(program.answers());
    com1.write("after");
    ASSERT_TRUE(com1.waitQueued(5));
    clickQuietly(Button3);
    EXPECT_EQ(textOf((*this)[mReceive]), L"after");
    setText((*this)[mSend], L"again");
    clickQuietly(Button2);
    EXPECT_EQ(com1.read(5), "again");
}

TEST_F(Window, ALongSendShowsItsProgressInsideTheScreenAndCancelEndsIt)
{
    clickQuietly(Button1);
    const std::wstring text = stallingText();
    const std::string bytes(text.begin(), text.end());
    setText((*this)[mSend], text);
    // The form mostly off the bottom right of the screen: the progress window
    // centred over it would reach past the work area, so it is moved in.
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(program.form(), MONITOR_DEFAULTTONEAREST), &monitor);
    const RECT work = monitor.rcWork;
    SetWindowPos(program.form(), nullptr, work.right - 200, work.bottom - 150, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);

    // What the progress window shows, once it shows, where it is and which
    // buttons its title bar has; then its Cancel button.
    RECT placed{};
    LONG style = 0;
    auto progressShown = std::async(std::launch::async, [&]() -> std::wstring {
        const HWND progress = program.window(progressTitle, 5s);
        if (progress == nullptr)
            return L"no progress window";
        GetWindowRect(progress, &placed);
        style = GetWindowLongW(progress, GWL_STYLE);
        const bool formDisabled =
            !IsWindowEnabled((*this)[Button1]) && !IsWindowEnabled((*this)[Button3]);
        const HWND figures = FindWindowExW(progress, nullptr, L"Static", nullptr);
        std::wstring shown;
        eventually([&] { return figures != nullptr && !(shown = textOf(figures)).empty(); });
        PostMessageW(GetDlgItem(progress, IDCANCEL), BM_CLICK, 0, 0);
        return formDisabled ? shown : L"the form stayed enabled";
    });
    const auto start = std::chrono::steady_clock::now();
    const auto box = program.clickForBox((*this)[Button2], 30s);
    const auto took = std::chrono::steady_clock::now() - start;
    const std::wstring shown = progressShown.get();

    unsigned shownSent = 0, shownTotal = 0;
    EXPECT_EQ(std::swscanf(shown.c_str(), L"已送出 %u / %u 位元組", &shownSent, &shownTotal), 2)
        << ::testing::PrintToString(shown);
    EXPECT_EQ(shownTotal, bytes.size());
    EXPECT_TRUE(placed.left >= work.left && placed.top >= work.top && placed.right <= work.right &&
                placed.bottom <= work.bottom)
        << "the progress window is at " << placed.left << "," << placed.top << " to "
        << placed.right << "," << placed.bottom;
    EXPECT_EQ(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX), 0) << "a minimize or maximize box";
    EXPECT_NE(style & WS_SYSMENU, 0) << "no close box";
    // The user's choice, not an error: a plain box, no Send Error.
    const auto [sent, total, rest] = sendBox(box, L"Send Cancelled", L"已取消傳送");
    EXPECT_EQ(total, bytes.size()) << ::testing::PrintToString(box);
    EXPECT_EQ(rest, L"");
    EXPECT_GE(sent, shownSent);
    EXPECT_LT(sent, total);
    EXPECT_LT(took, 9s) << "Cancel ends the send before a stall would";
    EXPECT_EQ(com1.read(total, 2s), bytes.substr(0, sent));
    EXPECT_EQ(program.window(progressTitle, 0s), nullptr);
    EXPECT_TRUE(IsWindowEnabled((*this)[Button1]));
}

} // namespace
