// The Windows window as a user meets it: the real comterm.exe, started in
// this test's Wine prefix (on an X server of its own, in a zh_TW locale whose
// ANSI code page is 950) and driven from outside through the Win32 API, with
// COM1 and COM2 on pseudo-terminals that the Linux driver plays. This file:
// what the window shows at start, what a screen reader hears of it, and how
// the keyboard moves through it.
#include "window_fixture_win32.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <oleacc.h>

#include <algorithm>
#include <optional>
#include <string>
#include <utility>

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

// Return presses the button that has the focus at start, before any key has
// moved it: the open button opens COM1 (which Wine holds open through more
// than one descriptor).
TEST_F(Window, ReturnAtStartPressesTheFocusedButton)
{
    SetForegroundWindow(program.form());
    ASSERT_TRUE(eventually([&] { return GetDlgCtrlID(program.focus()) == Button1; }));
    program.press(VK_RETURN);
    EXPECT_TRUE(eventually([&] { return com1.holders() > 0; }));
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

// A control's name as a screen reader asks for it: MSAA's accName through
// oleacc, whose proxies for the standard controls UI Automation also uses;
// nothing when oleacc gives no object for the control.
std::optional<std::wstring> accessibleName(HWND control)
{
    IAccessible *accessible = nullptr;
    if (FAILED(AccessibleObjectFromWindow(control, static_cast<DWORD>(OBJID_CLIENT),
                                          IID_IAccessible, reinterpret_cast<void **>(&accessible))))
        return std::nullopt;
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr;
    const HRESULT result = accessible->get_accName(self, &name);
    accessible->Release();
    std::wstring text = result == S_OK && name != nullptr ? name : L"(no name)";
    SysFreeString(name);
    return text;
}

// The captions' padding aside (what a screen reader does not speak).
std::wstring trimmed(const std::wstring &text)
{
    const auto first = text.find_first_not_of(L' ');
    return first == std::wstring::npos
               ? L""
               : text.substr(first, text.find_last_not_of(L' ') - first + 1);
}

// What a screen reader hears of each control: a box is named by the label
// above it, the others by their captions.
const std::pair<int, std::wstring> accessibleNames[] = {
    {mSend, L"傳送的資料"}, {mReceive, L"接收的資料"}, {Button1, L"開啟通訊阜"},
    {Button2, L"傳送資料"}, {Button3, L"接收資料"},    {Button4, L"結束"},
    {rdCOM, L"選擇通訊阜"}, {rdCOMItem0, L"COM1"},     {rdCOMItem1, L"COM2"},
};

// The classic rule by which oleacc names an edit control: the static text
// just before it in the order of the windows. Wine's oleacc takes the first
// static before it, however far, so each label must come right before its
// own box, or both boxes would be named by the second label.
TEST_F(Window, EachBoxFollowsTheLabelThatNamesIt)
{
    for (const int box : {mSend, mReceive}) {
        HWND label = GetWindow((*this)[box], GW_HWNDPREV);
        while (label != nullptr && classOf(label) != L"Static")
            label = GetWindow(label, GW_HWNDPREV);
        ASSERT_NE(label, nullptr) << "no label before control " << box;
        const auto expected =
            std::ranges::find(accessibleNames, box, [](const auto &n) { return n.first; });
        EXPECT_EQ(trimmed(textOf(label)), expected->second) << "control " << box;
        EXPECT_EQ(GetWindow(label, GW_HWNDNEXT), (*this)[box])
            << "the label comes right before its box";
    }
}

TEST_F(Window, ScreenReadersHearEachControlsName)
{
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    const bool available = accessibleName((*this)[Button1]).has_value();
    if (!available) {
        CoUninitialize();
        // Wine 8's oleacc answers E_NOINTERFACE for a window of another
        // process, from AccessibleObjectFromWindow and CreateStdAccessibleObject alike.
        GTEST_SKIP() << "oleacc gives no accessible object for another process's window";
    }
    for (const auto &[id, name] : accessibleNames)
        EXPECT_EQ(trimmed(accessibleName((*this)[id]).value_or(L"(none)")), name)
            << "control " << id;
    CoUninitialize();
}

} // namespace
