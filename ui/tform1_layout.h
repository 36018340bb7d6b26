// The main window's layout, written once for every front end: the window's
// title, place and size, and each control's class, name, id, rectangle,
// caption or initial text and place in the tab order. Sizes are pixels at
// 96 DPI; a front end scales them by the screen's DPI / 96.
//
// The Qt front end stores the same layout in qt/tform1.ui, and a test checks
// that the two agree; the Win32 front end creates its controls from this table.
#pragma once

#include <string_view>

namespace layout {

struct Rect {
    int left, top, width, height;
    friend constexpr bool operator==(const Rect &, const Rect &) = default;
};

// What a control is, whatever the toolkit calls it.
enum class Kind {
    Label,      // static text
    Button,     // push button
    RadioGroup, // captioned frame whose radio items are rows of its inside
    Memo,       // multi-line editable text box with a vertical scroll bar
};

inline constexpr int noTabStop = -1;

struct Control {
    std::string_view name;
    Kind kind;
    int id;                   // the Win32 control id; a test finds a control by it
    Rect rect;                // in the window's client area
    std::u16string_view text; // caption, or a box's initial text
    int tabOrder;             // place in the Tab order, from 0, or noTabStop
};

// A radio item of the group: a row of the group's inside, below its caption,
// 8 pixels in from either side and 2 above the bottom edge.
struct RadioItem {
    std::string_view name;
    int id;
    Rect rect; // in the window's client area, like the group's own
    std::u16string_view text;
};

inline constexpr std::u16string_view title = u"Form1";
inline constexpr Rect window{288, 208, 870, 640}; // outer: frame and title bar included
// The form's font: the system's dialog font at this height (negative: the
// character height without internal leading), as the boxes' font too.
inline constexpr int fontHeight = -11;

// In the order in which they are created.
inline constexpr Control controls[] = {
    {"Label1", Kind::Label, 21, {104, 216, 75, 13}, u"傳送的資料     ", noTabStop},
    {"Label2", Kind::Label, 22, {368, 216, 72, 13}, u"接收的資料    ", noTabStop},
    {"Button1", Kind::Button, 11, {336, 32, 81, 25}, u"    開啟通訊阜        ", 0},
    {"Button2", Kind::Button, 12, {96, 464, 97, 25}, u"傳送資料", 1},
    {"Button3", Kind::Button, 13, {360, 464, 97, 25}, u"接收資料", 2},
    {"rdCOM", Kind::RadioGroup, 30, {40, 24, 209, 129}, u"選擇通訊阜", 3},
    {"mSend", Kind::Memo, 41, {88, 248, 145, 185}, u"mSend", 4},
    {"mReceive", Kind::Memo, 42, {344, 248, 137, 185}, u"mReceive", 5},
    {"Button4", Kind::Button, 14, {504, 32, 113, 25}, u"結束", 6},
};

// The items of rdCOM, numbered from 0 (the selector's index); the first is
// selected at start.
inline constexpr RadioItem radioItems[] = {
    {"rdCOMItem0", 31, {51, 46, 187, 51}, u"COM1"},
    {"rdCOMItem1", 32, {51, 97, 187, 51}, u"COM2"},
};
inline constexpr int radioSelected = 0;

// The control of that name. Naming one the table lacks fails the build in a
// constant expression, and throws otherwise.
constexpr const Control &control(std::string_view name)
{
    for (const Control &c : controls)
        if (c.name == name)
            return c;
    throw "no control of that name";
}

// Every id and every name appears once.
consteval bool distinct()
{
    for (const Control &a : controls) {
        for (const Control &b : controls)
            if (&a != &b && (a.id == b.id || a.name == b.name))
                return false;
        for (const RadioItem &item : radioItems)
            if (a.id == item.id || a.name == item.name)
                return false;
    }
    return radioItems[0].id != radioItems[1].id && radioItems[0].name != radioItems[1].name;
}
static_assert(distinct());

} // namespace layout
