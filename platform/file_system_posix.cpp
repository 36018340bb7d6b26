#include "file_system.h"

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

FileRead unusable(std::string problem)
{
    return {FileRead::State::Unusable, {}, std::move(problem)};
}

std::string tooLarge(std::size_t maxSize)
{
    return "larger than " + std::to_string(maxSize / 1024) + " KiB";
}

} // namespace

std::string userConfigFolder()
{
    const char *config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && *config == '/')
        return config;
    const char *home = std::getenv("HOME");
    if (home != nullptr && *home == '/')
        return std::string(home) + "/.config";
    return {};
}

FileRead readSmallFile(const std::string &path, std::size_t maxSize)
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
    FileRead read;
    if (::fstat(fd, &st) != 0) {
        read = unusable(std::strerror(errno));
    } else if (!S_ISREG(st.st_mode)) {
        read = unusable(kindOf(st.st_mode) + ", not a regular file");
    } else if (static_cast<unsigned long long>(st.st_size) > maxSize) {
        read = unusable(tooLarge(maxSize));
    } else {
        // One byte past the limit tells a file that grew meanwhile.
        read.state = FileRead::State::Read;
        read.text.resize(maxSize + 1);
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
        if (read.state == FileRead::State::Read) {
            read.text.resize(size);
            if (size > maxSize)
                read = unusable(tooLarge(maxSize));
        }
    }
    ::close(fd);
    return read;
}
