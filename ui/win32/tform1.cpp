#include "tform1.h"

#include "ansi.h"
#include "application.h"
#include "controls.h"
#include "dpi.h"
#include "port.h"

#include <algorithm>
#include <vector>

TForm1 *Form1 = nullptr;

namespace {

constexpr int id(std::string_view name)
{
    return layout::control(name).id;
}

// Received text as an edit control holds it: every line break CR LF.
std::wstring boxLines(std::wstring_view text)
{
    std::wstring lines;
    lines.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\r' || text[i] == L'\n') {
            lines += L"\r\n";
            if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n')
                ++i;
        } else {
            lines += text[i];
        }
    }
    return lines;
}

} // namespace

TForm1::TForm1() : TForm(layout::title, layout::window)
{
    for (std::size_t i = 0; i < controls_.size(); ++i) {
        controls_[i] = controls::create(Handle(), layout::controls[i]);
        if (layout::controls[i].kind == layout::Kind::RadioGroup)
            for (std::size_t item = 0; item < items_.size(); ++item)
                items_[item] =
                    controls::createRadioItem(Handle(), layout::radioItems[item], item == 0);
    }
    if (std::ranges::count(controls_, nullptr) + std::ranges::count(items_, nullptr) > 0)
        throw Exception(L"The window's controls could not be created.");
    CheckRadioButton(Handle(), layout::radioItems[0].id, std::rbegin(layout::radioItems)->id,
                     layout::radioItems[layout::radioSelected].id);
    orderTabStops();
    ApplyDpi(dpi::of(Handle()));
}

// Tab and Shift+Tab follow the order of the windows; put the tab stops in the
// table's tab order, each radio item right after its group.
void TForm1::orderTabStops()
{
    std::vector<std::size_t> order;
    for (std::size_t i = 0; i < controls_.size(); ++i)
        if (layout::controls[i].tabOrder != layout::noTabStop)
            order.push_back(i);
    std::ranges::sort(order, {}, [](std::size_t i) { return layout::controls[i].tabOrder; });
    HWND previous = HWND_BOTTOM;
    const auto follow = [&previous](HWND window) {
        SetWindowPos(window, previous, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        previous = window;
    };
    for (std::size_t i : order) {
        follow(controls_[i]);
        if (layout::controls[i].kind == layout::Kind::RadioGroup)
            std::ranges::for_each(items_, follow);
    }
}

void TForm1::Arrange(UINT windowDpi)
{
    for (std::size_t i = 0; i < controls_.size(); ++i)
        controls::place(controls_[i], layout::controls[i].rect, windowDpi, Font());
    for (std::size_t i = 0; i < items_.size(); ++i)
        controls::place(items_[i], layout::radioItems[i].rect, windowDpi, Font());
}

HWND TForm1::Control(std::string_view name) const
{
    for (std::size_t i = 0; i < controls_.size(); ++i)
        if (layout::controls[i].name == name)
            return controls_[i];
    for (std::size_t i = 0; i < items_.size(); ++i)
        if (layout::radioItems[i].name == name)
            return items_[i];
    return nullptr;
}

int TForm1::ItemIndex() const
{
    for (std::size_t i = 0; i < items_.size(); ++i)
        if (SendMessageW(items_[i], BM_GETCHECK, 0, 0) == BST_CHECKED)
            return static_cast<int>(i);
    return -1;
}

LRESULT TForm1::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
        switch (LOWORD(wParam)) {
        case id("Button1"):
            Button1Click();
            return 0;
        case id("Button2"):
            Button2Click();
            return 0;
        case id("Button3"):
            Button3Click();
            return 0;
        case id("Button4"):
            Button4Click();
            return 0;
        }
    }
    return TForm::HandleMessage(message, wParam, lParam);
}

void TForm1::Button1Click()
{
    serial::openPort(ItemIndex());
}

void TForm1::Button2Click()
{
    serial::sendText(ansi::narrow(controls::text(Control("mSend"))));
}

void TForm1::Button3Click()
{
    if (const auto bytes = serial::receiveText())
        controls::setText(Control("mReceive"), boxLines(ansi::widen(*bytes)));
}

void TForm1::Button4Click()
{
    serial::closeAndExit();
}
