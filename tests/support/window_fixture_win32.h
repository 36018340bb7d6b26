// What the tests of the real comterm.exe's window share: the controls' ids,
// the fixture that starts the program with COM1 and COM2 on devices the
// Linux driver plays, and the long text that stalls a device that reads
// nothing.
//
// Expected values are written out in the tests, not taken from the
// program's layout table, so that a wrong entry there fails; only the
// control ids are the table's.
#pragma once

#include "device.h"
#include "program_window.h"
#include "tform1_layout.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cwchar>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>

inline void PrintTo(const MessageBoxSeen &box, std::ostream *out)
{
    *out << "box " << ::testing::PrintToString(box.caption) << ": "
         << ::testing::PrintToString(box.text);
}

inline void PrintTo(const ClientRect &r, std::ostream *out)
{
    *out << '(' << r.left << ", " << r.top << ", " << r.width << " x " << r.height << ')';
}

namespace window_test {

// Controls are found by the layout table's ids.
constexpr int idOf(std::string_view name)
{
    return layout::control(name).id;
}
constexpr int Button1 = idOf("Button1"), Button2 = idOf("Button2"), Button3 = idOf("Button3"),
              Button4 = idOf("Button4"), Label1 = idOf("Label1"), Label2 = idOf("Label2"),
              rdCOM = idOf("rdCOM"), mSend = idOf("mSend"), mReceive = idOf("mReceive"),
              rdCOMItem0 = layout::radioItems[0].id, rdCOMItem1 = layout::radioItems[1].id;

// The title of the window that shows a long send's progress.
inline const std::wstring progressTitle = L"傳送資料";

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
    // Starts a send of stallingText() to COM1, which reads nothing, and waits
    // for its progress window; null when none showed.
    HWND startStalledSend()
    {
        setText(program.control(mSend), stallingText());
        PostMessageW(program.control(Button2), BM_CLICK, 0, 0);
        return program.window(progressTitle, std::chrono::seconds(5));
    }

  public:
    // Far more than the terminal's buffers hold while the device reads
    // nothing: 64 KiB in lines of 64 bytes, CR LF included.
    static std::wstring stallingText()
    {
        std::wstring text;
        for (int line = 0; line < 1024; ++line)
            text += std::wstring(62, L'x') + L"\r\n";
        return text;
    }
};

// Each control as the layout places it at 96 DPI.
struct ControlRow {
    int id;
    const wchar_t *className;
    ClientRect rect;
    const wchar_t *text;
    DWORD style; // style bits that must be set
};

inline const ControlRow controls[] = {
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

// What a box about a send says: the counts under its first line, and the
// rest of its text (a blank line and the reason); all empty when the box
// has another caption or first line.
struct SendBox {
    unsigned sent = 0, total = 0;
    std::wstring rest;
};

// The box of a send that ended early ("Send Error") or, with the caption
// "Send Cancelled" and the first line 已取消傳送, of a cancelled one.
inline SendBox sendBox(const std::optional<MessageBoxSeen> &box,
                       const std::wstring &caption = L"Send Error",
                       const std::wstring &firstLine = L"傳送資料未完成!!")
{
    SendBox seen;
    int end = 0;
    const std::wstring format = firstLine + L"\n已送出 %u / %u 位元組%n";
    if (!box || box->caption != caption ||
        std::swscanf(box->text.c_str(), format.c_str(), &seen.sent, &seen.total, &end) != 2)
        return {};
    seen.rest = box->text.substr(static_cast<std::size_t>(end));
    return seen;
}

} // namespace window_test
