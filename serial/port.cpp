#include "port.h"

#include "open_failure.h"
#include "text.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <utility>

namespace serial {

HANDLE hCOM = nullptr;

namespace {

MessageBoxFunction showMessage = &MessageBoxUtf8;

void endAtOnce(int status)
{
    std::_Exit(status);
}

EndProcessFunction endProcess = &endAtOnce;

BOOL WINAPI writeCommState(HANDLE port, LPDCB dcb)
{
    return SetCommState(port, dcb);
}

BOOL WINAPI readCommState(HANDLE port, LPDCB dcb)
{
    return GetCommState(port, dcb);
}

CommStateFunction setCommState = &writeCommState;
CommStateFunction getCommState = &readCommState;
std::chrono::milliseconds stallLimit = sendStallLimit;

// A box with its fixed first line and, after a blank line, the reason.
void report(const std::string &text, const char *caption, const std::string &reason = {})
{
    const std::string shown = reason.empty() ? text : text + "\n\n" + reason;
    showMessage(nullptr, shown.c_str(), caption, MB_OK);
}

// "30 s", or "1500 ms" for a limit of no whole seconds.
std::string duration(std::chrono::milliseconds limit)
{
    return limit.count() % 1000 == 0 ? std::to_string(limit.count() / 1000) + " s"
                                     : std::to_string(limit.count()) + " ms";
}

// The open port's title (see openPortTitle), set when an open succeeds.
std::string openTitle;

// The line as the title shows it: "115200 7-E-2".
std::string lineText(DWORD rate, const DCB &line)
{
    constexpr char parities[] = "NOEMS";
    constexpr const char *stops[] = {"1", "1.5", "2"};
    const char parity = line.Parity < 5 ? parities[line.Parity] : '?';
    const char *stop = line.StopBits < 3 ? stops[line.StopBits] : "?";
    return std::to_string(rate) + ' ' + std::to_string(int{line.ByteSize}) + '-' + parity + '-' +
           stop;
}

// A device as the user names it: COM7 for Windows' \\.\COM7.
std::string shownDevice(const std::string &path)
{
    constexpr std::string_view devicePrefix = "\\\\.\\";
    if (path.compare(0, devicePrefix.size(), devicePrefix) == 0)
        return path.substr(devicePrefix.size());
    return path;
}

} // namespace

MessageBoxFunction setMessageBox(MessageBoxFunction show)
{
    return std::exchange(showMessage, show != nullptr ? show : &MessageBoxUtf8);
}

bool isOpen()
{
    return hCOM != nullptr && hCOM != INVALID_HANDLE_VALUE;
}

std::string portName(int index)
{
    return "COM" + std::to_string(static_cast<long long>(index) + 1);
}

void openPort(int index)
{
    closePort();
    portText().reset();
    const std::string name = portName(index);
    const PortDevice device = portDevice(name);
    // Read once on a scratch DCB, so that settings nobody can apply open
    // nothing; applied for real below, on what the driver holds.
    const auto applySettings = [&device](DCB &dcb) {
        return device.settings.empty() || BuildCommDCBA(device.settings.c_str(), &dcb);
    };
    if (DCB scratch{}; !applySettings(scratch)) {
        report(commErrorText, commErrorCaption,
               reportPortFailure(name, device, "line settings not understood: " + device.settings));
        return;
    }
    hCOM = CreateFileA(device.path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                       0, nullptr);
    if (hCOM == INVALID_HANDLE_VALUE) {
        report(commErrorText, commErrorCaption, reportOpenFailure(name, device));
        return;
    }
    // A driver that keeps its own queue size is no failure.
    SetupComm(hCOM, inputQueueSize, 4096);
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    bool configured = getCommState(hCOM, &dcb) != FALSE;
    if (configured) {
        defineLine(dcb);
        configured = applySettings(dcb) && setCommState(hCOM, &dcb) != FALSE;
    }
    if (!configured) {
        const std::string reason = reportOpenFailure(name, device);
        closePort();
        report(setErrorText, setErrorCaption, reason);
        return;
    }
    // The rate as the driver runs it (a UART may only come close); the
    // framing as set, which a pseudo-terminal does not keep.
    DCB running = dcb;
    const DWORD rate = GetCommState(hCOM, &running) ? running.BaudRate : dcb.BaudRate;
    openTitle = name + " (" + shownDevice(device.path) + ") " + lineText(rate, dcb);
}

std::string openPortTitle()
{
    return isOpen() ? openTitle : std::string();
}

void defineLine(DCB &dcb)
{
    dcb.BaudRate = 9600;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fParity = FALSE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.fAbortOnError = FALSE;
}

SendResult sendText(std::string_view bytes, const SendProgress &progress)
{
    SendResult result{0, bytes.size(), SendEnd::Done, {}};
    if (!isOpen()) {
        result.end = SendEnd::NoPort;
        return result;
    }
    // Short write timeouts, so that control comes back between pieces even
    // when the line takes nothing; the driver's own are put back afterwards.
    COMMTIMEOUTS saved{};
    const bool restore = GetCommTimeouts(hCOM, &saved) != FALSE;
    COMMTIMEOUTS piece = saved;
    piece.WriteTotalTimeoutMultiplier = 0;
    piece.WriteTotalTimeoutConstant = 100;
    SetCommTimeouts(hCOM, &piece);

    using Clock = std::chrono::steady_clock;
    auto lastProgress = Clock::now();
    while (result.sent < result.total) {
        const auto chunk = static_cast<DWORD>(
            std::min<std::size_t>(result.total - result.sent, std::numeric_limits<DWORD>::max()));
        DWORD written = 0;
        const bool ok = WriteFile(hCOM, bytes.data() + result.sent, chunk, &written, nullptr);
        result.sent += std::min<std::size_t>(written, chunk);
        const auto now = Clock::now();
        if (written > 0)
            lastProgress = now;
        // A timeout that passed is how a piece ends, not a failure.
        if (!ok && GetLastError() != ERROR_SEM_TIMEOUT) {
            result.end = SendEnd::Lost;
            result.failure = lastFailureText();
            break;
        }
        if (result.sent < result.total && now - lastProgress >= stallLimit) {
            result.end = SendEnd::Stalled;
            break;
        }
        if (progress && !progress(result.sent, result.total) && result.sent < result.total) {
            result.end = SendEnd::Cancelled;
            break;
        }
    }
    if (restore)
        SetCommTimeouts(hCOM, &saved);
    return result;
}

void reportSend(const SendResult &result)
{
    const std::string counts =
        "已送出 " + std::to_string(result.sent) + " / " + std::to_string(result.total) + " 位元組";
    switch (result.end) {
    case SendEnd::Done:
    case SendEnd::NoPort:
        return;
    case SendEnd::Cancelled:
        report(sendCancelledText + ("\n" + counts), sendCancelledCaption);
        return;
    case SendEnd::Stalled:
        report(sendErrorText + ("\n" + counts), sendErrorCaption,
               "the device took no byte for " + duration(stallLimit));
        return;
    case SendEnd::Lost:
        report(sendErrorText + ("\n" + counts), sendErrorCaption,
               "the device is gone: " + result.failure);
        return;
    }
}

ReceiveResult receiveText()
{
    ReceiveResult result;
    if (!isOpen()) {
        result.end = ReceiveEnd::NoPort;
        return result;
    }
    DWORD errors = 0;
    COMSTAT stat{};
    std::array<char, receiveLimit> buffer{};
    DWORD got = 0;
    if (!ClearCommError(hCOM, &errors, &stat) ||
        !ReadFile(hCOM, buffer.data(), std::min(stat.cbInQue, receiveLimit), &got, nullptr)) {
        result.end = ReceiveEnd::Lost;
        result.failure = lastFailureText();
        return result;
    }
    result.bytes.assign(buffer.data(), std::min<DWORD>(got, receiveLimit));
    return result;
}

void reportReceive(const ReceiveResult &result)
{
    if (result.end == ReceiveEnd::Lost)
        report(receiveErrorText, receiveErrorCaption, "the device is gone: " + result.failure);
}

void closePort()
{
    if (isOpen())
        CloseHandle(hCOM);
    hCOM = nullptr;
}

void closeAndExit()
{
    closePort();
    std::fflush(nullptr);
    endProcess(0);
    std::_Exit(0);
}

void setEndProcess(EndProcessFunction end)
{
    endProcess = end != nullptr ? end : &endAtOnce;
}

void setCommStateWriter(CommStateFunction write)
{
    setCommState = write != nullptr ? write : &writeCommState;
}

void setCommStateReader(CommStateFunction read)
{
    getCommState = read != nullptr ? read : &readCommState;
}

void setSendStallLimit(std::chrono::milliseconds limit)
{
    stallLimit = limit > std::chrono::milliseconds::zero() ? limit : sendStallLimit;
}

} // namespace serial
