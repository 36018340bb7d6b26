// Runs a Windows build of the tests under Wine and plays the devices on the
// other end of its serial lines: each device is a pseudo-terminal pair whose
// slave a COM name is mapped to (Wine's dosdevices links), and whose master
// this driver works on the test's requests, one line each over two FIFOs.
//
//   wine_driver [--xvfb] [--locale NAME] WINE PREFIX TEST.exe [test arguments...]
//
// --xvfb runs Wine on an X server of its own (Xvfb, no window manager), for
// tests that show windows; without it Wine has no display. --locale runs Wine
// in that locale (so its ANSI code page follows it), generating the locale
// with tools/make-locales beside the prefix when the system does not have it.
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
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <csignal>

#include <fcntl.h>
#include <locale.h>
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

// Starts Xvfb on a free display and points DISPLAY at it; returns its pid.
pid_t startXvfb()
{
    int fds[2];
    if (pipe(fds) != 0)
        return -1;
    const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
    const pid_t pid = spawn({"Xvfb", "-displayfd", std::to_string(fds[1]), "-nolisten", "tcp",
                             "-noreset", "-screen", "0", "1280x1024x24"},
                            {}, null, null, fds[1]);
    close(null);
    close(fds[1]);
    std::string display;
    pollfd pfd{fds[0], POLLIN, 0};
    char c;
    while (poll(&pfd, 1, 30000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n')
        display += c;
    close(fds[0]);
    if (display.empty()) {
        kill(pid, SIGTERM);
        waitExit(pid);
        return -1;
    }
    setenv("DISPLAY", (':' + display).c_str(), 1);
    return pid;
}

// Makes `name` the locale of Wine's processes, compiling it into `dir` with
// tools/make-locales when the system lacks it.
bool useLocale(const std::string &name, const fs::path &dir)
{
    const locale_t system = newlocale(LC_ALL_MASK, name.c_str(), nullptr);
    if (system != nullptr) {
        freelocale(system);
    } else {
        if (runQuietly({COMTERM_MAKE_LOCALES, dir.string(), name}) != 0) {
            std::fprintf(stderr, "wine_driver: cannot make the locale %s\n", name.c_str());
            return false;
        }
        setenv("LOCPATH", dir.c_str(), 1);
    }
    setenv("LC_ALL", name.c_str(), 1);
    setenv("LANG", name.c_str(), 1);
    return true;
}

// Windows draws the dialog font's missing glyphs, Chinese among them, from
// the fonts its font links name; Wine links no Chinese font to its dialog font
// (Tahoma) unless its locale is Chinese. Gives the prefix the link that
// Windows has, to the Traditional Chinese face of the installed Noto Sans CJK.
bool linksChineseFont(const fs::path &prefix, const std::string &wine, const std::string &server)
{
    const std::string link = "NotoSansCJK-Regular.ttc,Noto Sans CJK TC";
    const auto linked = [&] {
        std::ifstream registry(prefix / "system.reg");
        const std::string text{std::istreambuf_iterator<char>(registry), {}};
        return text.find("\"Tahoma\"=str(7):\"" + link) != std::string::npos;
    };
    if (linked())
        return true;
    runQuietly({wine, "reg", "add",
                "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\FontLink\\SystemLink", "/v",
                "Tahoma", "/t", "REG_MULTI_SZ", "/d", link, "/f"});
    runQuietly({server, "-w"}); // the registry is written when the server ends
    if (!linked())
        std::fprintf(stderr, "wine_driver: cannot link a Chinese font to Tahoma\n");
    return linked();
}

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
        if (verb == "holders")
            return "ok " + std::to_string(holders(device.path()));
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
    bool xvfb = false;
    std::string localeName;
    int arg = 1;
    for (; arg < argc && argv[arg][0] == '-'; ++arg) {
        if (std::strcmp(argv[arg], "--xvfb") == 0)
            xvfb = true;
        else if (std::strcmp(argv[arg], "--locale") == 0 && arg + 1 < argc)
            localeName = argv[++arg];
        else
            break;
    }
    if (argc - arg < 3) {
        std::fprintf(stderr,
                     "usage: %s [--xvfb] [--locale NAME] WINE PREFIX TEST.exe [arguments...]\n",
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
    pid_t xserver = -1;
    if (xvfb && (xserver = startXvfb()) < 0) {
        std::fprintf(stderr, "wine_driver: cannot start Xvfb\n");
        return 2;
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
    if (xvfb && !linksChineseFont(prefix, wine, server))
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
    if (xserver > 0) {
        kill(xserver, SIGTERM);
        waitExit(xserver);
    }
    return status;
}
