#include "port.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace serial {

HANDLE hCOM = nullptr;

namespace {

MessageBoxFunction showMessage = &MessageBoxUtf8;

void endAtOnce(int status)
{
    std::_Exit(status);
}

EndProcessFunction endProcess = &endAtOnce;

void report(const char *text, const char *caption)
{
    showMessage(nullptr, text, caption, MB_OK);
}

} // namespace

void setMessageBox(MessageBoxFunction show)
{
    showMessage = show != nullptr ? show : &MessageBoxUtf8;
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
    hCOM = CreateFileA(portName(index).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                       OPEN_EXISTING, 0, nullptr);
    if (hCOM == INVALID_HANDLE_VALUE) {
        report(commErrorText, commErrorCaption);
        return;
    }
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    bool configured = GetCommState(hCOM, &dcb) != FALSE;
    if (configured) {
        dcb.BaudRate = 9600;
        dcb.ByteSize = 8;
        dcb.Parity = NOPARITY;
        dcb.StopBits = ONESTOPBIT;
        configured = SetCommState(hCOM, &dcb) != FALSE;
    }
    if (!configured) {
        report(setErrorText, setErrorCaption);
        closePort();
    }
}

void sendText(std::string_view bytes)
{
    if (!isOpen())
        return;
    // One write for any text a box can hold; the loop only matters past 4 GiB.
    while (!bytes.empty()) {
        const auto chunk = static_cast<DWORD>(
            std::min<std::size_t>(bytes.size(), std::numeric_limits<DWORD>::max()));
        DWORD written = 0;
        if (!WriteFile(hCOM, bytes.data(), chunk, &written, nullptr))
            return;
        bytes.remove_prefix(chunk);
    }
}

std::optional<std::string> receiveText()
{
    if (!isOpen())
        return std::nullopt;
    DWORD errors = 0;
    COMSTAT stat{};
    if (!ClearCommError(hCOM, &errors, &stat))
        return std::nullopt;
    std::array<char, receiveLimit> buffer{};
    DWORD got = 0;
    if (!ReadFile(hCOM, buffer.data(), std::min(stat.cbInQue, receiveLimit), &got, nullptr))
        return std::nullopt;
    std::string text(buffer.data(), std::min<DWORD>(got, receiveLimit));
    // A NUL would end the text in the box; drop it and keep what follows.
    std::erase(text, '\0');
    return text;
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

} // namespace serial
