#include "device_map.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// What a file that is no regular file is, for a message.
std::string kindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return "a directory";
    if (S_ISFIFO(mode))
        return "a FIFO";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "a device";
    if (S_ISSOCK(mode))
        return "a socket";
    return "not a regular file";
}

PortsFileRead unusable(std::string problem)
{
    return {PortsFileRead::State::Unusable, {}, std::move(problem)};
}

std::string tooLarge()
{
    return "larger than " + std::to_string(maxPortsFileSize / 1024) + " KiB";
}

void appendUtf8(std::string &out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

} // namespace

std::vector<std::string> portsFiles()
{
    const char *config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && *config == '/')
        return {std::string(config) + "/comterm/ports.conf"};
    const char *home = std::getenv("HOME");
    if (home != nullptr && *home == '/')
        return {std::string(home) + "/.config/comterm/ports.conf"};
    return {};
}

PortsFileRead readPortsFile(const std::string &path)
{
    // Looked at before it is opened, so that a device named here is never
    // opened (opening some has effects of its own); then looked at again
    // through the descriptor, in case the name changed hands meanwhile.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        const int err = errno;
        if (err == ENOENT || err == ENOTDIR) {
            // A link that leads nowhere is there all the same.
            struct stat link {};
            if (::lstat(path.c_str(), &link) == 0)
                return unusable("a link to a missing file");
            return {};
        }
        return unusable(std::strerror(err));
    }
    if (!S_ISREG(st.st_mode))
        return unusable(kindOf(st.st_mode) + ", not a regular file");
    // Non-blocking, so that a FIFO put in its place cannot hold the open.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return unusable(std::strerror(errno));
    PortsFileRead read;
    if (::fstat(fd, &st) != 0) {
        read = unusable(std::strerror(errno));
    } else if (!S_ISREG(st.st_mode)) {
        read = unusable(kindOf(st.st_mode) + ", not a regular file");
    } else if (static_cast<unsigned long long>(st.st_size) > maxPortsFileSize) {
        read = unusable(tooLarge());
    } else {
        // One byte past the limit tells a file that grew meanwhile.
        read.state = PortsFileRead::State::Read;
        read.text.resize(maxPortsFileSize + 1);
        std::size_t size = 0;
        while (size < read.text.size()) {
            const ssize_t n = ::read(fd, read.text.data() + size, read.text.size() - size);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                read = unusable(std::strerror(errno));
                break;
            }
            if (n == 0)
                break;
            size += static_cast<std::size_t>(n);
        }
        if (read.state == PortsFileRead::State::Read) {
            read.text.resize(size);
            if (size > maxPortsFileSize)
                read = unusable(tooLarge());
        }
    }
    ::close(fd);
    return read;
}

std::string deviceOf(std::string_view value, std::string &problem)
{
    if (!value.empty() && value.front() == '/')
        return std::string(value);
    if (!value.empty() && value.front() == '~')
        problem = "'~' is not expanded: write the device's full path (" + std::string(value) + ")";
    else
        problem = "not an absolute path: " + std::string(value);
    return {};
}

std::string defaultDevice(unsigned number)
{
    return "/dev/ttyS" + std::to_string(number - 1);
}

std::string nativeText(std::u16string_view text)
{
    // A half of a pair alone is U+FFFD.
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] < 0xE000)
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        else if (c >= 0xD800 && c < 0xE000)
            c = 0xFFFD;
        appendUtf8(out, c);
    }
    return out;
}
