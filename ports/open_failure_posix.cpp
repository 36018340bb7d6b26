#include "open_failure.h"

#include "last_error_posix.h"
#include "system_text.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <grp.h>
#include <sys/stat.h>

namespace {

// "; is the user in the dialout group?" when the device belongs to a group
// other than root's that the user could be put in; empty otherwise.
std::string groupHint(const std::string &path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || st.st_gid == 0)
        return {};
    const group *owner = ::getgrgid(st.st_gid);
    if (owner == nullptr)
        return {};
    return std::string("; is the user in the ") + owner->gr_name + " group?";
}

std::string reason(const std::string &name, const PortDevice &device)
{
    const int err = commLastErrno();
    switch (err) {
    case 0:
        break;
    case EWOULDBLOCK: // the lock: another handle holds the port
        return "in use by another program or window";
    case EBUSY:
        return std::string(std::strerror(err)) + "; another program has it open exclusively";
    case EACCES:
    case EPERM:
        return std::strerror(err) + groupHint(device.path);
    case ENOENT:
        if (device.source == PortDevice::Source::Default)
            return std::string(std::strerror(err)) + "; " + mapHint(name, "/dev/ttyUSB0");
        return std::strerror(err);
    case ENOTTY:
        return std::string(std::strerror(err)) + "; not a serial port";
    default:
        return std::strerror(err);
    }
    switch (GetLastError()) {
    case ERROR_INVALID_PARAMETER:
        return "the device refused the line settings";
    case ERROR_DEVICE_NOT_CONNECTED:
        return "the device is gone";
    default:
        return "error " + std::to_string(GetLastError());
    }
}

} // namespace

std::string systemReason(const std::string &name, const PortDevice &device)
{
    return reason(name, device);
}

std::string reportPortFailure(const std::string &name, const PortDevice &device,
                              const std::string &why)
{
    const std::string line = describePort(name, device) + ": " + why;
    std::fprintf(stderr, "comterm: %s\n", line.c_str());
    std::fflush(stderr);
    return line;
}

std::string lastFailureText()
{
    const int err = commLastErrno();
    return err != 0 ? std::strerror(err) : systemErrorText(GetLastError());
}
