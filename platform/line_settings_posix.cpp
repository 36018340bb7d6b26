#include "line_settings_posix.h"

namespace {

struct Speed {
    speed_t code;
    DWORD baud;
};

constexpr Speed speeds[] = {
    {B50, 50},           {B75, 75},           {B110, 110},         {B134, 134},
    {B150, 150},         {B200, 200},         {B300, 300},         {B600, 600},
    {B1200, 1200},       {B1800, 1800},       {B2400, 2400},       {B4800, 4800},
    {B9600, 9600},       {B19200, 19200},     {B38400, 38400},     {B57600, 57600},
    {B115200, 115200},   {B230400, 230400},   {B460800, 460800},   {B500000, 500000},
    {B576000, 576000},   {B921600, 921600},   {B1000000, 1000000}, {B1152000, 1152000},
    {B1500000, 1500000}, {B2000000, 2000000}, {B2500000, 2500000}, {B3000000, 3000000},
    {B3500000, 3500000}, {B4000000, 4000000},
};

bool speedOf(DWORD baud, speed_t &code)
{
    for (const Speed &s : speeds)
        if (s.baud == baud) {
            code = s.code;
            return true;
        }
    return false;
}

DWORD baudOf(speed_t code)
{
    for (const Speed &s : speeds)
        if (s.code == code)
            return s.baud;
    return 0;
}

} // namespace

void makeRaw(termios &tio)
{
    tio.c_iflag &= ~tcflag_t(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON);
    tio.c_oflag &= ~tcflag_t(OPOST);
    tio.c_lflag &= ~tcflag_t(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
}

void readLineSettings(const termios &tio, DCB &dcb)
{
    dcb.tio = tio;
    dcb.BaudRate = baudOf(cfgetospeed(&tio));
    dcb.ByteSize = static_cast<BYTE>(5 + (tio.c_cflag & CSIZE) / (CS6 - CS5));
    if ((tio.c_cflag & PARENB) == 0)
        dcb.Parity = NOPARITY;
    else if (tio.c_cflag & CMSPAR)
        dcb.Parity = (tio.c_cflag & PARODD) ? MARKPARITY : SPACEPARITY;
    else
        dcb.Parity = (tio.c_cflag & PARODD) ? ODDPARITY : EVENPARITY;
    dcb.StopBits = (tio.c_cflag & CSTOPB) ? TWOSTOPBITS : ONESTOPBIT;
    const bool handshake = tio.c_cflag & CRTSCTS;
    dcb.fBinary = 1;
    dcb.fParity = (tio.c_iflag & INPCK) != 0;
    dcb.fOutxCtsFlow = handshake;
    dcb.fOutxDsrFlow = 0;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fDsrSensitivity = 0;
    dcb.fOutX = (tio.c_iflag & IXON) != 0;
    dcb.fInX = (tio.c_iflag & IXOFF) != 0;
    dcb.fErrorChar = 0;
    dcb.fNull = 0;
    dcb.fRtsControl = handshake ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_ENABLE;
    dcb.fAbortOnError = 0;
}

bool writeLineSettings(termios &tio, const DCB &dcb)
{
    speed_t speed = 0;
    const bool tableRate = speedOf(dcb.BaudRate, speed);
    if (dcb.BaudRate == 0 || dcb.ByteSize < 5 || dcb.ByteSize > 8 || dcb.Parity > SPACEPARITY ||
        (dcb.StopBits != ONESTOPBIT && dcb.StopBits != TWOSTOPBITS))
        return false;
    if (!dcb.fBinary || dcb.fOutxDsrFlow || dcb.fDsrSensitivity || dcb.fErrorChar || dcb.fNull ||
        dcb.fAbortOnError || dcb.fDtrControl == DTR_CONTROL_HANDSHAKE ||
        dcb.fRtsControl == RTS_CONTROL_TOGGLE)
        return false;
    constexpr tcflag_t sizes[] = {CS5, CS6, CS7, CS8};
    tcflag_t cflag = sizes[dcb.ByteSize - 5];
    switch (dcb.Parity) {
    case ODDPARITY:
        cflag |= PARENB | PARODD;
        break;
    case EVENPARITY:
        cflag |= PARENB;
        break;
    case MARKPARITY:
        cflag |= PARENB | CMSPAR | PARODD;
        break;
    case SPACEPARITY:
        cflag |= PARENB | CMSPAR;
        break;
    default:
        break;
    }
    if (dcb.StopBits == TWOSTOPBITS)
        cflag |= CSTOPB;
    if (dcb.fOutxCtsFlow || dcb.fRtsControl == RTS_CONTROL_HANDSHAKE)
        cflag |= CRTSCTS;
    tcflag_t iflag = 0;
    if (dcb.fOutX)
        iflag |= IXON;
    if (dcb.fInX)
        iflag |= IXOFF;
    if (dcb.fParity)
        iflag |= INPCK;
    termios wanted = tio;
    wanted.c_cflag = (wanted.c_cflag & ~framingBits) | cflag;
    wanted.c_iflag = (wanted.c_iflag & ~flowInputBits) | iflag;
    // One rate both ways, as Windows has: no separate input rate.
    wanted.c_cflag &= ~tcflag_t(CIBAUD);
    if (!tableRate)
        wanted.c_cflag = (wanted.c_cflag & ~tcflag_t(CBAUD)) | otherRateCode;
    else if (cfsetispeed(&wanted, speed) != 0 || cfsetospeed(&wanted, speed) != 0)
        return false;
    tio = wanted;
    return true;
}
