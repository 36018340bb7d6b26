#include "tform1.h"

#include "ansi.h"
#include "controls.h"
#include "exception.h"
#include "port.h"
#include "send_progress.h"
#include "text.h"

#include <algorithm>
#include <utility>
#include <vector>

TForm1 *Form1 = nullptr;

namespace {

constexpr int id(std::string_view name)
{
    return layout::control(name).id;
}

// An edit control's text as UTF-16, and back.
std::u16string_view utf16(const std::wstring &text)
{
    return {reinterpret_cast<const char16_t *>(text.data()), text.size()};
}

std::wstring wide(const std::u16string &text)
{
    return {reinterpret_cast<const wchar_t *>(text.data()), text.size()};
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
    ApplyDpi(LayoutDpi());
}

namespace {

// The label that names each box. Screen readers (MSAA, and UI Automation
// through it) name an edit control after the static text that comes right
// before it in the order of the windows.
constexpr std::pair<std::string_view, std::string_view> boxLabels[] = {
    {"mSend", "Label1"},
    {"mReceive", "Label2"},
};

} // namespace

// Tab and Shift+Tab follow the order of the windows; put the tab stops in the
// table's tab order, each radio item right after its group and each box right
// after its label.
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
        for (const auto &[box, label] : boxLabels)
            if (layout::controls[i].name == box)
                follow(Control(label));
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

void TForm1::enableControls(bool enable)
{
    for (HWND control : controls_)
        EnableWindow(control, enable);
    for (HWND item : items_)
        EnableWindow(item, enable);
}

LRESULT TForm1::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    // The close box or Alt+F4 during a send stops the send first; the window
    // closes once it has (Button2Click).
    if (message == WM_CLOSE && sending_) {
        closeRequested_ = true;
        return 0;
    }
    // Logoff or shutdown: the system may end the process as soon as this
    // returns, so the port is closed now, as the close box would close it. A
    // send that runs stops at its next piece (it finds the port gone and the
    // window closing) and then closes the window.
    if (message == WM_ENDSESSION) {
        if (wParam) {
            closeRequested_ = closeRequested_ || sending_;
            serial::closePort();
        }
        return 0;
    }
    // The close box, Alt+F4 and a close during a send all end here: the port
    // is free before the process ends, and the main window's end ends the
    // message loop.
    if (message == WM_DESTROY) {
        serial::closePort();
        PostQuitMessage(0);
    }
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
    // Open closes the port that was open first: no port is open while it
    // runs, nor after it fails.
    const std::wstring base(reinterpret_cast<const wchar_t *>(layout::title.data()),
                            layout::title.size());
    SetWindowTextW(Handle(), base.c_str());
    serial::openPort(ItemIndex());
    if (const std::string port = serial::openPortTitle(); !port.empty())
        SetWindowTextW(Handle(), (ansi::widen(port, CP_UTF8) + L" - " + base).c_str());
}

void TForm1::Button2Click()
{
    const std::string bytes = serial::portText().encode(utf16(controls::text(Control("mSend"))));
    serial::SendResult result;
    {
        sending_ = true;
        const struct Sent {
            bool &sending;
            ~Sent() { sending = false; }
        } sent{sending_};
        SendProgress progress(
            Handle(), [this](bool enable) { enableControls(enable); },
            [this] { return closeRequested_; });
        result = serial::sendText(bytes, std::ref(progress));
    }
    if (closeRequested_) {
        DestroyWindow(Handle()); // closed during the send: end as the close box does
        return;
    }
    serial::reportSend(result);
}

void TForm1::Button3Click()
{
    const serial::ReceiveResult result = serial::receiveText();
    if (result.end == serial::ReceiveEnd::NoPort)
        return;
    // Emptied before the box of a lost device shows, so that no earlier
    // reply stays in view as if it had just come.
    controls::setText(Control("mReceive"), wide(serial::portText().decode(result.bytes, u"\r\n")));
    serial::reportReceive(result);
}

void TForm1::Button4Click()
{
    serial::closeAndExit();
}
