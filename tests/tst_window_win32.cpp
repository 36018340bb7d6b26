// The Windows window as a user meets it: the real comterm.exe, started in
// this test's Wine prefix (on an X server of its own, in a zh_TW locale whose
// ANSI code page is 950) and driven from outside through the Win32 API, with
// COM1 and COM2 on pseudo-terminals that the Linux driver plays.
//
// Expected values are written out here, not taken from the program's layout
// table, so that a wrong entry there fails; only the control ids are the table's.
#include "device.h"
#include "program_window.h"
#include "tform1_layout.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <cwchar>
#include <future>
#include <string>
#include <string_view>
#include <thread>
#include <utility>

void PrintTo(const MessageBoxSeen &box, std::ostream *out)
{
    *out << "box " << ::testing::PrintToString(box.caption) << ": "
         << ::testing::PrintToString(box.text);
}

void PrintTo(const ClientRect &r, std::ostream *out)
{
    *out << '(' << r.left << ", " << r.top << ", " << r.width << " x " << r.height << ')';
}

namespace {

using namespace std::chrono_literals;
using namespace std::string_literals;

// Controls are found by the layout table's ids.
constexpr int idOf(std::string_view name)
{
    return layout::control(name).id;
}
constexpr int Button1 = idOf("Button1"), Button2 = idOf("Button2"), Button3 = idOf("Button3"),
              Button4 = idOf("Button4"), Label1 = idOf("Label1"), Label2 = idOf("Label2"),
              rdCOM = idOf("rdCOM"), mSend = idOf("mSend"), mReceive = idOf("mReceive"),
              rdCOMItem0 = layout::radioItems[0].id, rdCOMItem1 = layout::radioItems[1].id;

class Window : public ::testing::Test {
  protected:
    Device com1, com2;
    PortMapping map1{"COM1", com1.path()};
    PortMapping map2{"COM2", com2.path()};
    ProgramWindow program{programPath()};

    HWND operator[](int id) const { return program.control(id); }
    bool checked(int id) const
    {
        return SendMessageW(program.control(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
    }
    void clickQuietly(int id) { EXPECT_EQ(program.clickForBox(program.control(id)), std::nullopt); }
    // Whether no process holds the device open any more (Wine's server
    // closes a handle's descriptor soon after its process ends). Opening the
    // port again would show nothing under Wine, which does not enforce share
    // mode 0: a second handle opens a port that is open.
    static bool released(Device &device)
    {
        return eventually([&] { return device.holders() == 0; });
    }
    // The focus after pressing `key`, as a control id (0: none of the form's).
    int focusAfter(WORD key, WORD modifier = 0)
    {
        const HWND before = program.focus();
        program.press(key, modifier);
        eventually([&] { return program.focus() != before; });
        return GetDlgCtrlID(program.focus());
    }
};

struct ControlRow {
    int id;
    const wchar_t *className;
    ClientRect rect;
    const wchar_t *text;
    DWORD style; // style bits that must be set
};

const ControlRow controls[] = {
    {Label1, L"Static", {104, 216, 75, 13}, L"傳送的資料     ", 0},
    {Label2, L"Static", {368, 216, 72, 13}, L"接收的資料    ", 0},
    {Button1, L"Button", {336, 32, 81, 25}, L"    開啟通訊阜        ", WS_TABSTOP},
    {Button2, L"Button", {96, 464, 97, 25}, L"傳送資料", WS_TABSTOP},
    {Button3, L"Button", {360, 464, 97, 25}, L"接收資料", WS_TABSTOP},
    {rdCOM, L"Button", {40, 24, 209, 129}, L"選擇通訊阜", BS_GROUPBOX},
    {rdCOMItem0, L"Button", {51, 46, 187, 51}, L"COM1", BS_AUTORADIOBUTTON | WS_GROUP},
    {rdCOMItem1, L"Button", {51, 97, 187, 51}, L"COM2", BS_AUTORADIOBUTTON},
    {mSend,
     L"Edit",
     {88, 248, 145, 185},
     L"mSend",
     ES_MULTILINE | ES_WANTRETURN | WS_VSCROLL | WS_TABSTOP},
    {mReceive,
     L"Edit",
     {344, 248, 137, 185},
     L"mReceive",
     ES_MULTILINE | ES_WANTRETURN | WS_VSCROLL | WS_TABSTOP},
    {Button4, L"Button", {504, 32, 113, 25}, L"結束", WS_TABSTOP},
};

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

// Sets the screen's DPI for programs started while it lives (Wine reads it
// from the registry when a program starts), then puts the old value back.
class ScreenDpi {
  public:
    explicit ScreenDpi(DWORD dpi)
    {
        had_ = RegGetValueW(HKEY_CURRENT_USER, key, L"LogPixels", RRF_RT_REG_DWORD, nullptr, &old_,
                            &size_) == ERROR_SUCCESS;
        RegSetKeyValueW(HKEY_CURRENT_USER, key, L"LogPixels", REG_DWORD, &dpi, sizeof dpi);
    }
    ~ScreenDpi()
    {
        if (had_)
            RegSetKeyValueW(HKEY_CURRENT_USER, key, L"LogPixels", REG_DWORD, &old_, sizeof old_);
        else
            RegDeleteKeyValueW(HKEY_CURRENT_USER, key, L"LogPixels");
    }
    ScreenDpi(const ScreenDpi &) = delete;
    ScreenDpi &operator=(const ScreenDpi &) = delete;

  private:
    static constexpr const wchar_t *key = L"Control Panel\\Desktop";
    DWORD old_ = 0, size_ = sizeof old_;
    bool had_ = false;
};

TEST_F(Window, ScalesTheLayoutByTheScreensDpi)
{
    const ScreenDpi dpi(144);
    ProgramWindow scaled(programPath());
    for (const ControlRow &row : controls) {
        SCOPED_TRACE("control " + std::to_string(row.id));
        const ClientRect r = clientRectOf(scaled.control(row.id));
        const auto isScaled = [](int value, int at96) {
            return std::abs(value * 2 - at96 * 3) <= 2;
        };
        EXPECT_TRUE(isScaled(r.left, row.rect.left) && isScaled(r.top, row.rect.top) &&
                    isScaled(r.width, row.rect.width) && isScaled(r.height, row.rect.height))
            << ::testing::PrintToString(r) << " is not 1.5 times "
            << ::testing::PrintToString(row.rect);
    }
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
        EXPECT_EQ(program.clickForBox((*this)[Button1]),
                  (MessageBoxSeen{L"Comm Error", L"開啟通訊阜錯誤!!"}));
    }
    {
        // A device that is not a terminal: its settings cannot be read or set.
        PortMapping notATerminal("COM1", "/dev/null");
        EXPECT_EQ(program.clickForBox((*this)[Button1]),
                  (MessageBoxSeen{L"Set Error", L"開啟通訊阜設定錯誤!!"}));
    }
    // Neither left a port open: a send goes nowhere, and then COM1 opens.
    clickQuietly(Button2);
    clickQuietly(Button1);
    clickQuietly(Button2);
    EXPECT_EQ(com1.read(6, 1s), "mSend");
}

// Far more than the terminal's buffers hold while the device reads nothing:
// 64 KiB in lines of 64 bytes, CR LF included.
std::wstring stallingText()
{
    std::wstring text;
    for (int line = 0; line < 1024; ++line)
        text += std::wstring(62, L'x') + L"\r\n";
    return text;
}

// The counts of a "Send Error" box; {0, 0} when it is not one.
std::pair<unsigned, unsigned> sendErrorCounts(const std::optional<MessageBoxSeen> &box)
{
    unsigned sent = 0, total = 0;
    int end = 0;
    if (!box || box->caption != L"Send Error" ||
        std::swscanf(box->text.c_str(), L"傳送資料未完成!!\n已送出 %u / %u 位元組%n", &sent, &total,
                     &end) != 2 ||
        static_cast<std::size_t>(end) != box->text.size())
        return {0, 0};
    return {sent, total};
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
    const auto [sent, total] = sendErrorCounts(box);
    EXPECT_EQ(total, bytes.size()) << ::testing::PrintToString(box);
    EXPECT_GT(sent, 0u);
    EXPECT_LT(sent, total);
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

TEST_F(Window, ALongSendShowsItsProgressAndCancelEndsIt)
{
    clickQuietly(Button1);
    const std::wstring text = stallingText();
    const std::string bytes(text.begin(), text.end());
    setText((*this)[mSend], text);

    // What the progress window shows, once it shows; then its Cancel button.
    auto progressShown = std::async(std::launch::async, [&]() -> std::wstring {
        const HWND progress = program.window(L"傳送資料", 5s);
        if (progress == nullptr)
            return L"no progress window";
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
    const auto [sent, total] = sendErrorCounts(box);
    EXPECT_EQ(total, bytes.size()) << ::testing::PrintToString(box);
    EXPECT_GE(sent, shownSent);
    EXPECT_LT(sent, total);
    EXPECT_LT(took, 9s) << "Cancel ends the send before a stall would";
    EXPECT_EQ(com1.read(total, 2s), bytes.substr(0, sent));
    EXPECT_EQ(program.window(L"傳送資料", 0s), nullptr);
    EXPECT_TRUE(IsWindowEnabled((*this)[Button1]));
}

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
        setText((*this)[mSend], stallingText());
        PostMessageW((*this)[Button2], BM_CLICK, 0, 0);
        ASSERT_NE(program.window(L"傳送資料", 5s), nullptr) << "no progress window";
    }
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
    EXPECT_EQ(program.exitStatus(15s), 0u);
    EXPECT_EQ(program.messageBox(), std::nullopt);
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
