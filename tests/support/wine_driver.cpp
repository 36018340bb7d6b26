// Runs a Windows build of the tests under Wine and plays the devices on the
// other end of its serial lines: each device is a pseudo-terminal pair whose
// slave a COM name is mapped to (Wine's dosdevices links), and whose master
// this driver works on the test's requests, one line each over two FIFOs.
//
//   wine_driver [--xvfb [--screen WxH]] [--locale NAME] WINE PREFIX TEST.exe [arguments...]
//
// --xvfb runs Wine on an X server of its own (Xvfb, no window manager), for
// tests that show windows, with a screen of 1280x1024 pixels or the size
// --screen gives; without it Wine has no display. --locale runs Wine
// in that locale (so its ANSI code page follows it), generating the locale
// with tools/make-locales beside the prefix when the system does not have it.
// Creates the Wine prefix on first use. Exits with the test's status.
#include "wine_driver.h"
#include "child_process.h"
#include "xvfb.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

int main(int argc, char **argv)
{
    bool xvfb = false;
    std::string screen = "1280x1024";
    std::string localeName;
    int arg = 1;
    for (; arg < argc && argv[arg][0] == '-'; ++arg) {
        if (std::strcmp(argv[arg], "--xvfb") == 0)
            xvfb = true;
        else if (std::strcmp(argv[arg], "--screen") == 0 && arg + 1 < argc)
            screen = argv[++arg];
        else if (std::strcmp(argv[arg], "--locale") == 0 && arg + 1 < argc)
            localeName = argv[++arg];
        else
            break;
    }
    if (argc - arg < 3) {
        std::fprintf(stderr,
                     "usage: %s [--xvfb [--screen WxH]] [--locale NAME] WINE PREFIX TEST.exe "
                     "[arguments...]\n",
                     argv[0]);
        return 2;
    }
    const std::string wine = argv[arg];
    const fs::path prefix = fs::absolute(argv[arg + 1]);
    setenv("WINEPREFIX", prefix.c_str(), 1);
    setenv("WINEDEBUG", "-all", 1);
    unsetenv("DISPLAY"); // no window appears anywhere but on our own server
    // Wine hands the Linux environment to its programs: a COMn left from a
    // Linux run (a /dev path) would override the ports the tests map.
    std::vector<std::string> comVariables;
    for (char **variable = environ; *variable != nullptr; ++variable) {
        const std::string entry = *variable;
        const auto equals = entry.find('=');
        if (entry.rfind("COM", 0) == 0 && equals > 3 &&
            entry.find_first_not_of("0123456789", 3) == equals)
            comVariables.push_back(entry.substr(0, equals));
    }
    for (const std::string &name : comVariables)
        unsetenv(name.c_str());
    if (!localeName.empty() && !useLocale(localeName, prefix.string() + "-locale"))
        return 2;
    std::optional<Xvfb> xserver;
    if (xvfb) {
        if (!xserver.emplace(screen + "x24").running()) {
            std::fprintf(stderr, "wine_driver: cannot start Xvfb\n");
            return 2;
        }
        setenv("DISPLAY", xserver->display().c_str(), 1);
    }
    const std::string server = (fs::path(wine).parent_path() / "wineserver").string();
    if (!fs::exists(prefix / "system.reg")) {
        std::fprintf(stderr, "wine_driver: creating the Wine prefix %s\n", prefix.c_str());
        if (const int status = waitExit(spawn({wine, "wineboot", "--init"})); status != 0)
            return status;
        // Wait for the server that wineboot started to end, so that ours
        // below is the one that runs the test.
        runQuietly({server, "-w"});
    }
    if (xvfb && !preparesDesktop(prefix, wine, server))
        return 2;
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
    runQuietly({server, "--persistent"});

    std::vector<std::string> test{wine};
    test.insert(test.end(), argv + arg + 2, argv + argc);
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
    return status; // the X server, if any, ends with xserver
}
