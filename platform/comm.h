// The communications functions the serial operations call, with the Win32
// names and calling conventions.
//
// On Windows this is <windows.h> itself. Elsewhere the same subset is declared
// here and implemented over termios (comm_posix.cpp and its neighbours) and
// standard error (message_box_posix.cpp), behaving like a Windows COM port:
// every function returns the failure value (INVALID_HANDLE_VALUE or FALSE)
// and leaves the reason in GetLastError().
#pragma once

#ifdef _WIN32

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

// A message box for UTF-8 text, whatever the system's ANSI code page: the
// texts are converted and shown through MessageBoxW.
int WINAPI MessageBoxUtf8(HWND owner, LPCSTR text, LPCSTR caption, UINT type);

#else

#include <cstdint>
#include <termios.h>

#define WINAPI

using BOOL = int;
using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using UINT = unsigned int;
using HANDLE = void *;
using HWND = void *;
using LPCSTR = const char *;
using LPVOID = void *;
using LPCVOID = const void *;
using LPDWORD = DWORD *;
struct OVERLAPPED;
using LPOVERLAPPED = OVERLAPPED *;
struct SECURITY_ATTRIBUTES;
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES *;

inline constexpr BOOL FALSE = 0;
inline constexpr BOOL TRUE = 1;
inline const HANDLE INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(-1);

inline constexpr DWORD GENERIC_READ = 0x80000000u;
inline constexpr DWORD GENERIC_WRITE = 0x40000000u;
inline constexpr DWORD OPEN_EXISTING = 3;

inline constexpr BYTE NOPARITY = 0;
inline constexpr BYTE ODDPARITY = 1;
inline constexpr BYTE EVENPARITY = 2;
inline constexpr BYTE MARKPARITY = 3;
inline constexpr BYTE SPACEPARITY = 4;
inline constexpr BYTE ONESTOPBIT = 0;
inline constexpr BYTE ONE5STOPBITS = 1;
inline constexpr BYTE TWOSTOPBITS = 2;

inline constexpr DWORD PURGE_TXABORT = 0x0001;
inline constexpr DWORD PURGE_RXABORT = 0x0002;
inline constexpr DWORD PURGE_TXCLEAR = 0x0004;
inline constexpr DWORD PURGE_RXCLEAR = 0x0008;

inline constexpr UINT MB_OK = 0;
inline constexpr int IDOK = 1;

inline constexpr DWORD ERROR_SUCCESS = 0;
inline constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
inline constexpr DWORD ERROR_ACCESS_DENIED = 5;
inline constexpr DWORD ERROR_INVALID_HANDLE = 6;
inline constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
inline constexpr DWORD ERROR_GEN_FAILURE = 31;
inline constexpr DWORD ERROR_SHARING_VIOLATION = 32;
inline constexpr DWORD ERROR_NOT_SUPPORTED = 50;
inline constexpr DWORD ERROR_INVALID_PARAMETER = 87;
inline constexpr DWORD ERROR_OPERATION_ABORTED = 995;
inline constexpr DWORD ERROR_DEVICE_NOT_CONNECTED = 1167;
inline constexpr DWORD ERROR_SEM_TIMEOUT = 121;

inline constexpr DWORD DTR_CONTROL_DISABLE = 0;
inline constexpr DWORD DTR_CONTROL_ENABLE = 1;
inline constexpr DWORD DTR_CONTROL_HANDSHAKE = 2;
inline constexpr DWORD RTS_CONTROL_DISABLE = 0;
inline constexpr DWORD RTS_CONTROL_ENABLE = 1;
inline constexpr DWORD RTS_CONTROL_HANDSHAKE = 2;
inline constexpr DWORD RTS_CONTROL_TOGGLE = 3;

// The line settings, with the Win32 fields a serial terminal sets. They are
// read from and written to the terminal as follows; `tio` is the whole
// termios they were read from, so that SetCommState writes every other
// setting back exactly as it was.
//   BaudRate, ByteSize, Parity, StopBits  speed and framing (c_cflag); a
//                                         rate outside the Bnnn table goes
//                                         as BOTHER through termios2
//   fOutX                                 IXON: the device's XOFF/XON hold output
//   fInX                                  IXOFF: XOFF/XON sent when input fills
//   fOutxCtsFlow, RTS_CONTROL_HANDSHAKE   CRTSCTS
//   fParity                               INPCK
//   fDtrControl, fRtsControl              the DTR and RTS lines (TIOCMBIS/BIC)
// IXANY has no Win32 counterpart and is always cleared. What termios cannot
// do reads as off, and SetCommState refuses it when asked: DSR flow control
// and sensitivity, DTR handshake, RTS toggle, error-character replacement,
// NUL stripping, abort on error, and non-binary mode.
struct DCB {
    DWORD DCBlength = sizeof(DCB);
    DWORD BaudRate = 0;
    DWORD fBinary : 1 = 1;
    DWORD fParity : 1 = 0;
    DWORD fOutxCtsFlow : 1 = 0;
    DWORD fOutxDsrFlow : 1 = 0;
    DWORD fDtrControl : 2 = 0;
    DWORD fDsrSensitivity : 1 = 0;
    DWORD fTXContinueOnXoff : 1 = 0;
    DWORD fOutX : 1 = 0;
    DWORD fInX : 1 = 0;
    DWORD fErrorChar : 1 = 0;
    DWORD fNull : 1 = 0;
    DWORD fRtsControl : 2 = 0;
    DWORD fAbortOnError : 1 = 0;
    BYTE ByteSize = 0;
    BYTE Parity = 0;
    BYTE StopBits = 0;
    termios tio{};
};
using LPDCB = DCB *;

// How long a read or write may take; 0 everywhere means no limit. A write
// takes at most WriteTotalTimeoutMultiplier ms per byte plus
// WriteTotalTimeoutConstant ms, then returns with the bytes written so far.
// The read members are kept but not used: reads here never wait.
struct COMMTIMEOUTS {
    DWORD ReadIntervalTimeout = 0;
    DWORD ReadTotalTimeoutMultiplier = 0;
    DWORD ReadTotalTimeoutConstant = 0;
    DWORD WriteTotalTimeoutMultiplier = 0;
    DWORD WriteTotalTimeoutConstant = 0;
};
using LPCOMMTIMEOUTS = COMMTIMEOUTS *;

struct COMSTAT {
    DWORD cbInQue = 0;
    DWORD cbOutQue = 0;
};
using LPCOMSTAT = COMSTAT *;

// The last error of the calling thread, as the functions below leave it.
DWORD GetLastError();
void SetLastError(DWORD error);

// Opens the serial port `name` for exclusive use and puts it in raw mode (no
// echo, no line editing, no character translation, 8-bit clean) with the
// receiver on and modem lines ignored. `name` is a device path; a port name
// such as "COM1" is for the caller to turn into one. Only exclusive (share
// 0), OPEN_EXISTING, non-overlapped opens are supported.
// Fails with ERROR_FILE_NOT_FOUND (no such name or device),
// ERROR_ACCESS_DENIED (no permission, or another handle holds the port),
// ERROR_INVALID_PARAMETER (an unsupported mode).
HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                   DWORD disposition, DWORD flags, HANDLE templateFile);

// Fills `dcb` with the port's current settings. Fails on anything that is not
// a terminal (ERROR_INVALID_HANDLE / ERROR_NOT_SUPPORTED) and on a lost device.
BOOL GetCommState(HANDLE port, LPDCB dcb);

// Applies the fields of `dcb` (see DCB) on top of the settings it was read
// with. Fails with ERROR_INVALID_PARAMETER for a value the line cannot take,
// and when the device refuses the settings.
BOOL SetCommState(HANDLE port, LPDCB dcb);

// Sets in `dcb` the line settings that `def` names, in the words of Windows'
// mode command, and nothing else, with two exceptions: XON/XOFF and every
// kind of hardware flow control are turned off unless named (DTR and RTS
// then read as on), and a rate of 110 brings 2 stop bits unless stop= says
// otherwise. Names and values are case-insensitive; a leading port name
// ("COM1" or "COM1:") is allowed and ignored. Two forms, not mixed:
//   baud=b      bits per second: any rate above 0; 11, 15, 30, 60, 12, 24,
//               48, 96 and 19 stand for 110 to 19200 as in the mode command
//   parity=p    n, e, o, m or s      data=d   5 to 8     stop=s  1, 1.5, 2
//   xon=on|off  XON/XOFF both ways   octs=on|off, odsr=on|off  output flow
//               control by CTS, DSR  idsr=on|off  DSR sensitivity
//   dtr=on|off|hs  rts=on|off|hs|tg  to=on|off (a timeout matter: no effect
//               on the DCB)
// or the older "b[,p[,d[,s[,x|p]]]]" ("96,n,8,1"), whose last field turns on
// XON/XOFF (x) or every hardware handshake (p).
// Which of the values the port can take is for SetCommState to say. Fails
// with ERROR_INVALID_PARAMETER, leaving `dcb` as it was, for a field it does
// not know, a value out of range, a field without '=', or the forms mixed.
BOOL BuildCommDCBA(LPCSTR def, LPDCB dcb);

// Asks for driver queues of the given sizes. Linux's own queues hold more
// than a serial terminal needs, so a port that is open accepts any size.
BOOL SetupComm(HANDLE port, DWORD inQueue, DWORD outQueue);

// The port's timeouts, as last set (all 0 after the open).
BOOL GetCommTimeouts(HANDLE port, LPCOMMTIMEOUTS timeouts);
BOOL SetCommTimeouts(HANDLE port, LPCOMMTIMEOUTS timeouts);

// Reports the bytes waiting in the input and output queues. There are no
// pending line errors to clear on this platform: `errors` is set to 0.
BOOL ClearCommError(HANDLE port, LPDWORD errors, LPCOMSTAT stat);

// Reads up to `count` bytes that are waiting, without waiting for more.
BOOL ReadFile(HANDLE port, LPVOID buffer, DWORD count, LPDWORD read, LPOVERLAPPED overlapped);

// Writes `count` bytes. With a write timeout set, returns TRUE once they are
// written or the timeout has passed, whichever comes first. Either way, fails
// with ERROR_SEM_TIMEOUT when the line has taken no byte for 30 s (a stalled
// peer or flow control held), and with ERROR_DEVICE_NOT_CONNECTED when the
// device is gone. `written` says how many went out in every case.
BOOL WriteFile(HANDLE port, LPCVOID buffer, DWORD count, LPDWORD written, LPOVERLAPPED overlapped);

// Discards the input queue (PURGE_RXCLEAR) and/or the output queue
// (PURGE_TXCLEAR). The abort flags are accepted and do nothing: no operation
// runs in the background.
BOOL PurgeComm(HANDLE port, DWORD flags);

// Releases the port and its lock. The handle is invalid afterwards.
BOOL CloseHandle(HANDLE port);

// This layer has no window system: the "box" is one line on standard error,
// "<program>: caption: text" under the name the process was started by, with
// the text's line breaks as spaces; returns
// IDOK at once. Only the plain box (no owner, MB_OK) is offered; anything
// else fails with 0 and ERROR_INVALID_PARAMETER. A front end shows real
// boxes by installing its own function (serial::setMessageBox).
int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);

// A message box for UTF-8 text; UTF-8 is the narrow code page here.
inline int MessageBoxUtf8(HWND owner, LPCSTR text, LPCSTR caption, UINT type)
{
    return MessageBoxA(owner, text, caption, type);
}

#endif
