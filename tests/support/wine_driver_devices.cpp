// The devices the driver plays: pseudo-terminal pairs, and the dosdevices
// links that map COM names to them.
#include "wine_driver.h"

#include "channel_codec.h"

#include <algorithm>
#include <cctype>
#include <sstream>

#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// How many processes besides this one hold `path` open. Processes come and
// go while it looks: a folder that vanishes is skipped.
int holders(const std::string &path)
{
    const std::string self = std::to_string(getpid());
    int count = 0;
    std::error_code ec;
    for (fs::directory_iterator process("/proc", ec), end; !ec && process != end;
         process.increment(ec)) {
        const std::string pid = process->path().filename();
        if (pid == self || !std::isdigit(static_cast<unsigned char>(pid[0])))
            continue;
        std::error_code fdError;
        for (fs::directory_iterator fd(process->path() / "fd", fdError); !fdError && fd != end;
             fd.increment(fdError)) {
            std::error_code linkError;
            if (fs::read_symlink(fd->path(), linkError) == path) {
                ++count;
                break;
            }
        }
    }
    return count;
}

} // namespace

std::string Driver::handle(const std::string &line)
{
    std::istringstream in(line);
    std::string verb, id;
    in >> verb;
    if (verb == "new") {
        const std::string key = std::to_string(next_++);
        auto &device = devices_[key] = std::make_unique<PtyDevice>();
        return "ok " + key + ' ' + device->path();
    }
    if (verb == "map" || verb == "unmap") {
        std::string name, path;
        in >> name >> path;
        std::transform(name.begin(), name.end(), name.begin(),
                       [](unsigned char c) { return std::tolower(c); });
        const fs::path link = dosdevices_ / name;
        std::error_code ec;
        const std::string previous = fs::read_symlink(link, ec).string();
        fs::remove(link, ec);
        if (verb == "map")
            fs::create_symlink(path, link);
        return "ok " + previous;
    }
    in >> id;
    const auto found = devices_.find(id);
    if (found == devices_.end())
        return "error no device " + id;
    PtyDevice &device = *found->second;
    if (verb == "write") {
        std::string hex;
        in >> hex;
        device.write(fromHex(hex));
        return "ok";
    }
    if (verb == "wait") {
        std::size_t count = 0;
        in >> count;
        return device.waitQueued(count) ? "ok 1" : "ok 0";
    }
    if (verb == "read") {
        std::size_t count = 0;
        long ms = 0;
        in >> count >> ms;
        return "ok " + toHex(device.read(count, std::chrono::milliseconds(ms)));
    }
    if (verb == "unplug") {
        device.unplug();
        return "ok";
    }
    if (verb == "settings")
        return "ok " + device.lineSettings();
    if (verb == "holders")
        return "ok " + std::to_string(holders(device.path()));
    if (verb == "free") {
        devices_.erase(found);
        return "ok";
    }
    return "error unknown request " + verb;
}
