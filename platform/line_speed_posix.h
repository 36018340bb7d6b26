// A terminal's speed in bits per second through the kernel's termios2,
// which carries any rate, not only the Bnnn codes of <termios.h>. Kept
// apart from <termios.h>: the kernel's own struct termios clashes with it.
#pragma once

#include <cstdint>

// Runs the terminal `fd` at `rate` bits per second both ways (BOTHER),
// leaving every other setting as it is. False, with errno set, when the
// driver does not take the call.
bool setTerminalRate(int fd, std::uint32_t rate);

// The rate the terminal `fd` sends at, as the driver reports it: for a
// rate outside the Bnnn codes, or one a UART can only come close to, this
// is the real one. 0 when the driver cannot say.
std::uint32_t terminalRate(int fd);
