// How the POSIX communications layer sets a port's line: the translation
// between the Win32 line settings and termios. Pure functions of their
// arguments, so that every row of them can be checked without a serial port.
#pragma once

#include "comm.h"

#include <termios.h>

// Takes the line discipline out of `tio`, as a Windows COM port has none: no
// echo, no line editing, no signals, no CR/LF translation, no XON/XOFF output
// control, no stripping of the eighth bit, reads that return at once, the
// receiver on and modem lines ignored. Speed, framing, hardware flow control
// (CRTSCTS, IXOFF) and HUPCL are left as they are.
void makeRaw(termios &tio);

// The c_cflag bits that byte size, parity, stop bits and hardware flow
// control are made of, and the c_iflag bits of software flow control and
// parity checking.
inline constexpr tcflag_t framingBits = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS;
inline constexpr tcflag_t flowInputBits = IXON | IXOFF | IXANY | INPCK;

// The speed code of a rate outside the Bnnn table (the kernel's BOTHER): the
// rate itself then travels apart, through termios2 (line_speed_posix.h).
inline constexpr tcflag_t otherRateCode = CBAUDEX;
inline bool hasOtherRate(const termios &tio)
{
    return (tio.c_cflag & CBAUD) == otherRateCode;
}

// Reads the DCB's fields from `tio` into `dcb` (as comm.h's DCB lists them),
// together with `tio` itself. A speed outside the Bnnn table reads as 0;
// DTR and RTS read as on unless RTS is the handshake line.
void readLineSettings(const termios &tio, DCB &dcb);

// Writes the DCB's fields from `dcb` into `tio`, leaving every other bit as
// it is and clearing IXANY and a separate input rate. A rate outside the
// Bnnn table is written as otherRateCode. False, with `tio` unchanged, for a
// value the layer does not offer: a rate of 0, a byte size outside 5
// to 8, an unknown parity, 1.5 stop bits, or a flag termios has no means for.
bool writeLineSettings(termios &tio, const DCB &dcb);
