// How the POSIX communications layer decides what a port is and how its line
// is set: the device map from COM names to paths, and the translation
// between the Win32 line settings and termios. Pure functions of their
// arguments (and, for the map, the environment), so that every row of them
// can be checked without a serial port.
#pragma once

#include "comm.h"

#include <string>
#include <string_view>

#include <termios.h>

// The device path that `name` stands for: for "COMn" (n from 1 to 256,
// written without leading zeros) the environment variable COMn when it is
// set and not empty, else /dev/ttyS<n-1>. Empty for any other name.
std::string devicePath(std::string_view name);

// Takes the line discipline out of `tio`, as a Windows COM port has none: no
// echo, no line editing, no signals, no CR/LF translation, no XON/XOFF output
// control, no stripping of the eighth bit, reads that return at once, the
// receiver on and modem lines ignored. Speed, framing, hardware flow control
// (CRTSCTS, IXOFF) and HUPCL are left as they are.
void makeRaw(termios &tio);

// The termios bits that byte size, parity and stop bits are made of.
inline constexpr tcflag_t framingBits = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB;

// Reads baud rate, byte size, parity and stop bits from `tio` into `dcb`,
// together with `tio` itself. A speed the layer does not offer reads as 0.
void readLineSettings(const termios &tio, DCB &dcb);

// Writes baud rate, byte size, parity and stop bits from `dcb` into `tio`,
// leaving every other bit as it is. False, with `tio` unchanged, for a value
// the layer does not offer: a baud rate not in its table, a byte size outside
// 5 to 8, an unknown parity, or 1.5 stop bits.
bool writeLineSettings(termios &tio, const DCB &dcb);
