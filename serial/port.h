// The program's own logic: the one serial port it holds and the four
// operations that the main window's buttons carry. The operations take plain
// values and return what the window must show, so they know nothing of the
// window; the only things they show themselves are their boxes: the two open
// failures ("Comm Error", "Set Error"), a send that ended early ("Send
// Error") or was cancelled, and a receive from a device that is gone
// ("Receive Error"). Each failure box has its fixed text as its first line
// and, after a blank line, the reason.
#pragma once

#include "comm.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace serial {

// The open port, or null (or INVALID_HANDLE_VALUE after a failed open) when no
// port is open. Only the operations below change it.
extern HANDLE hCOM;

// The most bytes one receive takes in; more stay queued for the next receive.
inline constexpr DWORD receiveLimit = 1024;

// The two open-failure messages and their box captions, in UTF-8.
inline constexpr const char *commErrorText = "開啟通訊阜錯誤!!";
inline constexpr const char *commErrorCaption = "Comm Error";
inline constexpr const char *setErrorText = "開啟通訊阜設定錯誤!!";
inline constexpr const char *setErrorCaption = "Set Error";
inline constexpr const char *sendErrorText = "傳送資料未完成!!";
inline constexpr const char *sendErrorCaption = "Send Error";
// A cancelled send is the user's choice, not an error: a plain box.
inline constexpr const char *sendCancelledText = "已取消傳送";
inline constexpr const char *sendCancelledCaption = "Send Cancelled";
inline constexpr const char *receiveErrorText = "接收資料錯誤!!";
inline constexpr const char *receiveErrorCaption = "Receive Error";

// A send ends early when the line has taken no byte for this long. Generous:
// a device reading through a chain of buffers (a USB adapter, a pair of
// virtual ports) may take nothing for many seconds and then all at once, and
// the user can always cancel.
inline constexpr std::chrono::seconds sendStallLimit{30};

bool isOpen();

// "COM1" for index 0, "COM2" for index 1, and so on.
std::string portName(int index);

// The input queue open asks the driver for: at 115200 baud a device fills
// 64 KiB in about five seconds, so that much may come between two receives.
inline constexpr DWORD inputQueueSize = 64 * 1024;

// Opens the port at selector index `index` exclusively, through the device
// map (device_map.h), and defines its whole line: 9600 baud, 8 data bits, no
// parity, 1 stop bit, binary, and no handshaking of any kind (see
// defineLine), so that flow control another program left on the port can
// neither swallow the device's 0x11 and 0x13 nor hold a send; then the line
// settings the map gives the port ("baud=115200 parity=e", read by
// BuildCommDCBA) change what they name. The settings the driver holds
// besides (XON/XOFF characters and limits, and the like) are kept. A port
// that is already open is closed first.
// Settings BuildCommDCBA does not understand show "Comm Error" before
// anything is opened, as does a device that cannot be opened; settings that
// cannot be read or are refused show "Set Error" and close the port again.
// Each box gives, after its fixed text, the reason written to standard error.
void openPort(int index);

// The open port for the window's title: its name, its device as the user
// names it, and its line: "COM1 (/dev/ttyUSB0) 115200 8-N-1", with the
// rate the driver reports and parity as N, O, E, M or S. Empty while no
// port is open.
std::string openPortTitle();

// How a send ended.
enum class SendEnd {
    Done,      // every byte was written (or there was none to write)
    NoPort,    // no port is open: nothing was written
    Cancelled, // the progress callback asked to stop
    Stalled,   // the line took no byte for the stall limit
    Lost,      // the device is gone, or the write failed
};

struct SendResult {
    std::size_t sent = 0;  // the bytes the driver took
    std::size_t total = 0; // the bytes there were to send
    SendEnd end = SendEnd::Done;
    std::string failure; // for Lost: the system's words for the failed write
    bool operator==(const SendResult &) const = default;
};

// Sets in `dcb` everything open defines: 9600 8-N-1; XON/XOFF off both ways;
// no CTS or DSR output flow control, DSR sensitivity off; DTR and RTS on;
// binary; no parity checking, error-character replacement or NUL stripping;
// no abort on error.
void defineLine(DCB &dcb);

// Called between the pieces of a send with the bytes the driver has taken so
// far; returns false to stop the send.
using SendProgress = std::function<bool(std::size_t sent, std::size_t total)>;

// Writes `bytes` to the open port exactly as given (no terminator, no line
// ending), in pieces as the line takes them: each piece takes at most about
// a tenth of a second, and `progress`, when given, is called after each. The
// port's write timeouts are set for the send and restored afterwards.
SendResult sendText(std::string_view bytes, const SendProgress &progress = {});

// Shows the "Send Error" box for a send that ended early, with how far it
// got and why: the line took nothing for the stall limit, or the device is
// gone (with the system's words). A cancelled send shows a plain box with
// how far it got. A send that completed or had no port shows nothing.
void reportSend(const SendResult &result);

// How a receive ended.
enum class ReceiveEnd {
    Done,   // the bytes waiting, possibly none, were taken in
    NoPort, // no port is open: the receive box keeps its text
    Lost,   // the port cannot be read (its device is gone): the box empties
};

struct ReceiveResult {
    std::string bytes; // what came, as it came (portText() makes it the box's text)
    ReceiveEnd end = ReceiveEnd::Done;
    std::string failure; // for Lost: the system's words for the failed read
    bool operator==(const ReceiveResult &) const = default;
};

// Takes in the bytes waiting on the port, at most receiveLimit of them.
ReceiveResult receiveText();

// Shows the "Receive Error" box, with the reason, for a receive from a port
// that cannot be read; nothing otherwise.
void reportReceive(const ReceiveResult &result);

// Closes the port if one is open. Nothing is shown.
void closePort();

// Closes the port if one is open and ends the process with status 0 at once,
// without unwinding the caller, running static destructors or exit handlers
// (a GUI toolkit's global state may not survive being torn down from inside
// one of its own event handlers). Standard streams are flushed first.
[[noreturn]] void closeAndExit();

// How closeAndExit ends the process, given the exit status: std::_Exit unless
// replaced. Tests replace it to look at the state the process would end in;
// a replacement that returns is followed by std::_Exit.
using EndProcessFunction = void (*)(int status);
void setEndProcess(EndProcessFunction end);

// The functions open reads and writes the line settings with: GetCommState
// and SetCommState unless replaced (null puts them back). Tests replace them
// to hand open settings a pseudo-terminal cannot hold and to look at every
// field open asks for.
using CommStateFunction = BOOL(WINAPI *)(HANDLE, LPDCB);
void setCommStateWriter(CommStateFunction write);
void setCommStateReader(CommStateFunction read);

// How long a send may go without the line taking a byte: sendStallLimit
// unless replaced. Tests shorten it; zero puts sendStallLimit back.
void setSendStallLimit(std::chrono::milliseconds limit);

// The message box the operations show their failures in, given UTF-8 text:
// MessageBoxUtf8 unless replaced (null puts it back). That is the system's
// box on Windows; on POSIX, where the core has no window system, it is a line
// on standard error, so that a failure is never silent. Each front end
// installs its own box at start-up; tests install one that records what
// would be shown. Returns the function that was installed before, so that
// a temporary replacement can put it back.
using MessageBoxFunction = int(WINAPI *)(HWND, LPCSTR, LPCSTR, UINT);
MessageBoxFunction setMessageBox(MessageBoxFunction show);

} // namespace serial
