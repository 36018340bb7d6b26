// The Windows window as a user meets it: the real comterm.exe, started in
// this test's Wine prefix (on an X server of its own, in a zh_TW locale whose
// ANSI code page is 950) and driven from outside through the Win32 API, with
// COM1 and COM2 on pseudo-terminals that the Linux driver plays. This file:
// what the window shows at start, and how the keyboard moves through it.
#include "window_fixture_win32.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace {

using namespace std::chrono_literals;
using namespace window_test;

TEST_F(Window, ShowsItsControlsWhereTheLayoutPlacesThem)
{
    RECT outer{};
    GetWindowRect(program.form(), &outer);
    EXPECT_EQ(textOf(program.form()), L"Form1");
    EXPECT_EQ(
        (ClientRect{outer.left, outer.top, outer.right - outer.left, outer.bottom - outer.top}),
        (ClientRect{288, 208, 870, 640}));
    // The program's icon: MAINICON, marked Chinese (Taiwan).
    const HMODULE exe = LoadLibraryExW(programPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(exe, nullptr);
    EXPECT_NE(FindResourceExW(exe, MAKEINTRESOURCEW(14), L"MAINICON",
                              MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_TRADITIONAL)),
              nullptr);
    FreeLibrary(exe);

    for (const ControlRow &row : controls) {
        SCOPED_TRACE("control " + std::to_string(row.id));
        const HWND control = program.control(row.id);
        EXPECT_EQ(GetParent(control), program.form());
        EXPECT_EQ(classOf(control), row.className);
        EXPECT_EQ(clientRectOf(control), row.rect);
        EXPECT_EQ(textOf(control), row.text);
        const DWORD style = static_cast<DWORD>(GetWindowLongW(control, GWL_STYLE));
        EXPECT_EQ(style & row.style, row.style);
        EXPECT_TRUE(style & WS_VISIBLE);
        if (row.style & ES_MULTILINE) {
            EXPECT_FALSE(style & ES_READONLY);
        }
    }
    EXPECT_TRUE(checked(rdCOMItem0));
    EXPECT_FALSE(checked(rdCOMItem1));

    wchar_t folder[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, folder);
    program.screenshot(std::wstring(folder) + L"\\Form1-cp" + std::to_wstring(GetACP()) + L".bmp");
}

TEST_F(Window, KeysMoveTheFocusInOrderAndEditTheBoxes)
{
    SetForegroundWindow(program.form());
    ASSERT_TRUE(eventually([&] { return GetDlgCtrlID(program.focus()) == Button1; }))
        << "Button1 has the focus at start";
    for (const int next : {Button2, Button3, rdCOMItem0, mSend, mReceive, Button4, Button1})
        EXPECT_EQ(focusAfter(VK_TAB), next);
    for (const int next : {Button4, mReceive, mSend, rdCOMItem0, Button3})
        EXPECT_EQ(focusAfter(VK_TAB, VK_SHIFT), next);

    // In the radio group the arrow keys move between the items and select them.
    EXPECT_EQ(focusAfter(VK_TAB), rdCOMItem0);
    EXPECT_EQ(focusAfter(VK_DOWN), rdCOMItem1);
    EXPECT_TRUE(checked(rdCOMItem1));
    EXPECT_FALSE(checked(rdCOMItem0));
    EXPECT_EQ(focusAfter(VK_UP), rdCOMItem0);
    EXPECT_TRUE(checked(rdCOMItem0));

    // In a box Ctrl+A selects all, typing replaces it and Enter makes a new
    // line; Tab leaves the box.
    EXPECT_EQ(focusAfter(VK_TAB), mSend);
    program.press('A', VK_CONTROL);
    program.press('Q');
    program.press(VK_RETURN);
    program.press('W');
    EXPECT_TRUE(eventually([&] { return textOf((*this)[mSend]) == L"q\r\nw"; }))
        << ::testing::PrintToString(textOf((*this)[mSend]));
    EXPECT_EQ(focusAfter(VK_TAB), mReceive);
}

} // namespace
