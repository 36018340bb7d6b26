// Runs a Windows build of the tests under Wine and plays the devices on the
// other end of its serial lines: each device is a pseudo-terminal pair whose
// slave a COM name is mapped to (Wine's dosdevices links), and whose master
// this driver works on the test's requests, one line each over two FIFOs.
//
//   wine_driver WINE PREFIX TEST.exe [test arguments...]
//
// Creates the Wine prefix on first use. Exits with the test's status.
#include "channel_codec.h"
#include "child_process.h"
#include "pty_device.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Runs `argv` to its end with its output thrown away; returns its status.
int runQuietly(const std::vector<std::string> &argv)
{
    const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
    const int status = waitExit(spawn(argv, {}, null, null));
    close(null);
    return status;
}

class Driver {
  public:
    explicit Driver(fs::path dosdevices) : dosdevices_(std::move(dosdevices)) {}

    // Carries out one request and returns the reply line.
    std::string handle(const std::string &line)
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
        if (verb == "free") {
            devices_.erase(found);
            return "ok";
        }
        return "error unknown request " + verb;
    }

  private:
    fs::path dosdevices_;
    std::map<std::string, std::unique_ptr<PtyDevice>> devices_;
    int next_ = 0;
};

} // namespace

int main(int argc, char **argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s WINE PREFIX TEST.exe [arguments...]\n", argv[0]);
        return 2;
    }
    const std::string wine = argv[1];
    const fs::path prefix = fs::absolute(argv[2]);
    setenv("WINEPREFIX", prefix.c_str(), 1);
    setenv("WINEDEBUG", "-all", 1);
    unsetenv("DISPLAY"); // no window is needed, and none should appear
    if (!fs::exists(prefix / "system.reg")) {
        std::fprintf(stderr, "wine_driver: creating the Wine prefix %s\n", prefix.c_str());
        if (const int status = waitExit(spawn({wine, "wineboot", "--init"})); status != 0)
            return status;
    }
    // Only the names the test maps exist.
    for (const char *name : {"com1", "com2", "com3", "com4"}) {
        std::error_code ec;
        fs::remove(prefix / "dosdevices" / name, ec);
    }

    char dir[] = "/tmp/comterm-channel-XXXXXX";
    if (mkdtemp(dir) == nullptr)
        return 2;
    const fs::path requests = fs::path(dir) / "requests", replies = fs::path(dir) / "replies";
    mkfifo(requests.c_str(), 0600);
    mkfifo(replies.c_str(), 0600);
    // Both ends read-write, so that neither open waits for the test.
    const int in = open(requests.c_str(), O_RDWR | O_CLOEXEC);
    const int out = open(replies.c_str(), O_RDWR | O_CLOEXEC);
    std::string windowsDir = "Z:" + std::string(dir);
    std::replace(windowsDir.begin(), windowsDir.end(), '/', '\\');
    setenv("COMTERM_DEVICE_CHANNEL", windowsDir.c_str(), 1);

    // Our own server for the prefix, started first so that its diagnostics
    // (object dumps when a line hangs up) stay out of the test's output. It
    // returns once it is ready.
    const std::string server = (fs::path(wine).parent_path() / "wineserver").string();
    runQuietly({server, "--persistent"});

    std::vector<std::string> test{wine};
    test.insert(test.end(), argv + 3, argv + argc);
    const pid_t child = spawn(test);

    Driver driver(prefix / "dosdevices");
    std::string pending;
    int status;
    while ((status = waitExit(child, std::chrono::milliseconds(0))) < 0) {
        pollfd pfd{in, POLLIN, 0};
        if (poll(&pfd, 1, 100) <= 0)
            continue;
        char buffer[65536];
        const ssize_t n = read(in, buffer, sizeof buffer);
        if (n <= 0)
            continue;
        pending.append(buffer, static_cast<std::size_t>(n));
        for (std::size_t end; (end = pending.find('\n')) != std::string::npos;) {
            std::string reply;
            try {
                reply = driver.handle(pending.substr(0, end)) + '\n';
            } catch (const std::exception &e) {
                reply = std::string("error ") + e.what() + '\n';
            }
            pending.erase(0, end + 1);
            for (std::size_t sent = 0; sent < reply.size();) {
                const ssize_t w = write(out, reply.data() + sent, reply.size() - sent);
                if (w <= 0 && errno != EINTR)
                    break;
                sent += static_cast<std::size_t>(std::max<ssize_t>(w, 0));
            }
        }
    }
    close(in);
    close(out);
    fs::remove_all(dir);
    runQuietly({server, "--kill"});
    return status;
}
