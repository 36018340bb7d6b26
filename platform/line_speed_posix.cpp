#include "line_speed_posix.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

bool setTerminalRate(int fd, std::uint32_t rate)
{
    termios2 tio{};
    if (::ioctl(fd, TCGETS2, &tio) != 0)
        return false;
    // The input rate follows the output rate (no CIBAUD), as Windows has one.
    tio.c_cflag = (tio.c_cflag & ~(CBAUD | CIBAUD)) | BOTHER;
    tio.c_ospeed = tio.c_ispeed = rate;
    return ::ioctl(fd, TCSETS2, &tio) == 0;
}

std::uint32_t terminalRate(int fd)
{
    termios2 tio{};
    if (::ioctl(fd, TCGETS2, &tio) != 0)
        return 0;
    return tio.c_ospeed;
}
