// The real program as a user runs it: a child process on an X server of its
// own (Xvfb, no window manager), clicked with xdotool, with COM1 on a
// pseudo-terminal.
#include "child_process.h"
#include "comm.h"
#include "comterm_version.h"
#include "polling.h"
#include "pty_device.h"
#include "xvfb.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <xcb/xcb.h>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// The program under test: the one just built, or the one the environment
// variable COMTERM_BINARY names (an installed one, in the package's checks).
std::string programPath()
{
    const char *named = std::getenv("COMTERM_BINARY");
    return named != nullptr && *named != '\0' ? named : COMTERM_BINARY;
}

bool portIsFree()
{
    HANDLE port =
        CreateFileA("COM1", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (port == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(port);
    return true;
}

// Opens `path` as a program without root rights would, and returns 0, or the
// errno of the failed open. Root passes over exclusive mode (TIOCEXCL), so
// as root the path is made world-writable and the open done by a child that
// has become nobody (65534).
int openWithoutRoot(const std::string &path)
{
    const auto tryOpen = [&path] {
        const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            return errno;
        close(fd);
        return 0;
    };
    if (geteuid() != 0)
        return tryOpen();
    if (chmod(path.c_str(), 0666) != 0)
        return errno;
    const pid_t child = fork();
    if (child == 0) {
        if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0)
            _exit(255);
        _exit(tryOpen());
    }
    return waitExit(child, 10s);
}

// Whether the program under test is the one just built, with AddressSanitizer
// as this test is: ASan then reports a SIGSEGV and ends with status 1.
bool programHasAsan()
{
#if defined(__SANITIZE_ADDRESS__)
    return programPath() == COMTERM_BINARY;
#else
    return false;
#endif
}

class Program : public ::testing::Test {
  protected:
    PtyDevice device;
    PortMapping com1{"COM1", device.path()};
    Xvfb xserver;
    std::string display = xserver.display();
    pid_t program = -1;
    // Environment settings of the program's own (a locale), when a test
    // needs them.
    std::vector<std::string> settings;

    // The program's standard error.
    int errors = open(P_tmpdir, O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);

    void SetUp() override
    {
        ASSERT_GE(errors, 0);
        // The crashes the tests cause leave no core file behind.
        const rlimit noCore{0, 0};
        ASSERT_EQ(setrlimit(RLIMIT_CORE, &noCore), 0);
        ASSERT_TRUE(xserver.running()) << "Xvfb did not start";

        std::vector<std::string> env{"DISPLAY=" + display, "QT_QPA_PLATFORM=xcb", "WAYLAND_DISPLAY",
                                     "COM1=" + device.path()};
        env.insert(env.end(), settings.begin(), settings.end());
        program = spawn({programPath()}, env, -1, errors);
        ASSERT_TRUE(eventually([this] {
            return xdotool({"search", "--name", "^Form1$"}) == 0;
        })) << "the window did not appear";
    }

    void TearDown() override
    {
        if (program > 0 && waitExit(program, 0ms) < 0) {
            kill(program, SIGKILL);
            waitExit(program, 10s);
        }
        close(errors);
    }

    // What the program has written to its standard error so far.
    std::string programErrors() const
    {
        std::string text;
        char buffer[4096];
        for (ssize_t n; (n = pread(errors, buffer, sizeof buffer, off_t(text.size()))) > 0;)
            text.append(buffer, std::size_t(n));
        return text;
    }

    // Ends the X server, as a display that goes away under the program.
    void killDisplay() { xserver.kill(); }

    int xdotool(const std::vector<std::string> &args)
    {
        std::vector<std::string> argv{"xdotool"};
        argv.insert(argv.end(), args.begin(), args.end());
        const int quiet = open("/dev/null", O_WRONLY | O_CLOEXEC);
        const int status = waitExit(spawn(argv, {"DISPLAY=" + display}, quiet, quiet), 10s);
        close(quiet);
        return status;
    }

    // Clicks at a point of the window's inside; without a window manager the
    // window has no frame and sits at its stored position.
    void click(int x, int y)
    {
        ASSERT_EQ(
            xdotool({"mousemove", std::to_string(288 + x), std::to_string(208 + y), "click", "1"}),
            0);
    }

    // The program's top-level windows titled `title` (UTF-8), found without a
    // window manager, among the root window's children.
    static std::vector<xcb_window_t> windowsTitled(xcb_connection_t *c, const std::string &title)
    {
        const char *netName = "_NET_WM_NAME";
        auto *reply = xcb_intern_atom_reply(
            c, xcb_intern_atom(c, 0, static_cast<uint16_t>(strlen(netName)), netName), nullptr);
        const xcb_atom_t utf8Name = reply ? reply->atom : xcb_atom_t{XCB_ATOM_WM_NAME};
        free(reply);
        std::vector<xcb_window_t> found;
        xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
        auto *tree = xcb_query_tree_reply(c, xcb_query_tree(c, root), nullptr);
        if (tree == nullptr)
            return found;
        const xcb_window_t *children = xcb_query_tree_children(tree);
        for (int i = 0; i < xcb_query_tree_children_length(tree); ++i) {
            auto *name = xcb_get_property_reply(
                c, xcb_get_property(c, 0, children[i], utf8Name, XCB_ATOM_ANY, 0, 64), nullptr);
            if (name != nullptr &&
                std::string(static_cast<const char *>(xcb_get_property_value(name)),
                            xcb_get_property_value_length(name)) == title)
                found.push_back(children[i]);
            free(name);
        }
        free(tree);
        return found;
    }

    bool windowShown(const std::string &title)
    {
        xcb_connection_t *c = xcb_connect(display.c_str(), nullptr);
        const bool shown = !xcb_connection_has_error(c) && !windowsTitled(c, title).empty();
        xcb_disconnect(c);
        return shown;
    }

    // Asks the window to close, as a window manager does for the close box.
    void closeWindow()
    {
        xcb_connection_t *c = xcb_connect(display.c_str(), nullptr);
        ASSERT_FALSE(xcb_connection_has_error(c));
        const auto atom = [c](const char *name) {
            auto *reply = xcb_intern_atom_reply(
                c, xcb_intern_atom(c, 0, static_cast<uint16_t>(strlen(name)), name), nullptr);
            const xcb_atom_t a = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
            free(reply);
            return a;
        };
        const xcb_atom_t protocols = atom("WM_PROTOCOLS"), deleteWindow = atom("WM_DELETE_WINDOW");
        const std::vector<xcb_window_t> forms = windowsTitled(c, "Form1");
        for (const xcb_window_t form : forms) {
            xcb_client_message_event_t event{};
            event.response_type = XCB_CLIENT_MESSAGE;
            event.format = 32;
            event.window = form;
            event.type = protocols;
            event.data.data32[0] = deleteWindow;
            event.data.data32[1] = XCB_CURRENT_TIME;
            xcb_send_event(c, 0, form, XCB_EVENT_MASK_NO_EVENT,
                           reinterpret_cast<const char *>(&event));
        }
        // A round trip, so that the server has sent the message before we go.
        free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
        xcb_disconnect(c);
        ASSERT_EQ(forms.size(), 1u);
    }
};

// What the program is doing when it is told to end.
enum class Doing {
    Nothing,
    Sending,     // a send into a line that takes nothing, its progress window up
    ShowingABox, // the "Send Error" box of a cancelled send, modal
};

// How it is told to end.
enum class Way { ExitButton, CloseBox, Signal, LostDisplay };

struct WayOut {
    const char *name;
    Way way;
    int signal; // for Way::Signal
    Doing doing;
    int status; // the exit status, 128 + the signal for a signal's default action
};

void PrintTo(const WayOut &row, std::ostream *out)
{
    *out << row.name;
}

// Every way out of the program frees the port: a program without root rights
// can open it afterwards, although the device's end of the line (the
// pseudo-terminal's master, and the test's own descriptor on it) stayed open
// the whole time and exclusive mode would otherwise outlive the program.
// Without a window manager the close box and Alt+F4 are the same message.
class WaysOut : public Program, public ::testing::WithParamInterface<WayOut> {
  protected:
    void SetUp() override
    {
        // A lost display ends the program from inside the event loop, with
        // the libraries' state (fontconfig's) still held: no leak of ours to
        // look for, and LeakSanitizer's status would hide the program's.
        if (GetParam().way == Way::LostDisplay) {
            const char *asan = std::getenv("ASAN_OPTIONS");
            settings.push_back("ASAN_OPTIONS=" + std::string(asan ? asan : "") + ":detect_leaks=0");
        }
        Program::SetUp();
    }
};

TEST_P(WaysOut, EndWithTheirStatusAndFreeThePort)
{
    const WayOut &row = GetParam();
    click(336 + 40, 32 + 12); // Button1: open COM1
    ASSERT_TRUE(eventually([] { return !portIsFree(); })) << "the port did not open";
    ASSERT_EQ(openWithoutRoot(device.path()), EBUSY) << "the port is not held exclusively";
    if (row.doing != Doing::Nothing) {
        device.fillLine();
        click(96 + 48, 464 + 12); // Button2: send "mSend" into a line that takes nothing
        ASSERT_TRUE(eventually([this] { return windowShown("傳送資料"); }))
            << "no progress window came up";
    }
    if (row.doing == Doing::ShowingABox) {
        // Escape cancels the send, once the progress window is mapped and can
        // take the focus.
        ASSERT_TRUE(eventually([this] {
            return xdotool({"search", "--onlyvisible", "--name", "^傳送資料$"}) == 0;
        }));
        ASSERT_EQ(xdotool({"search", "--onlyvisible", "--name", "^傳送資料$", "windowfocus",
                           "--sync", "key", "Escape"}),
                  0);
        ASSERT_TRUE(eventually([this] { return windowShown("Send Error"); }))
            << "no box came up after the send was cancelled";
    }

    const auto start = Clock::now();
    switch (row.way) {
    case Way::ExitButton:
        click(504 + 56, 32 + 12); // Button4: exit
        break;
    case Way::CloseBox:
        closeWindow();
        break;
    case Way::Signal:
        ASSERT_EQ(kill(program, row.signal), 0);
        break;
    case Way::LostDisplay:
        killDisplay();
        break;
    }
    const int status = waitExit(program, 10s);
    const std::string errors = programErrors();
    if (row.way == Way::Signal && row.signal == SIGSEGV && programHasAsan()) {
        EXPECT_EQ(status, 1) << errors;
        EXPECT_NE(errors.find("AddressSanitizer: SEGV"), std::string::npos) << errors;
    } else {
        EXPECT_EQ(status, row.status) << errors;
        EXPECT_EQ(errors.find("Sanitizer"), std::string::npos) << errors;
        EXPECT_EQ(errors.find("runtime error"), std::string::npos) << errors;
    }
    if (row.doing == Doing::Sending) {
        EXPECT_LT(Clock::now() - start, 5s) << "the send went on after the program was told to end";
    }
    // First: the test's own open and close below drops exclusive mode itself.
    EXPECT_EQ(openWithoutRoot(device.path()), 0) << "exclusive mode outlived the program";
    EXPECT_TRUE(portIsFree()) << "the lock outlived the program";
}

const WayOut waysOut[] = {
    {"ExitButton", Way::ExitButton, 0, Doing::Nothing, 0},
    {"CloseBox", Way::CloseBox, 0, Doing::Nothing, 0},
    {"CloseBoxDuringAStalledSend", Way::CloseBox, 0, Doing::Sending, 0},
    {"Sigterm", Way::Signal, SIGTERM, Doing::Nothing, 0},
    {"Sighup", Way::Signal, SIGHUP, Doing::Nothing, 0},
    {"Sigint", Way::Signal, SIGINT, Doing::Nothing, 0},
    {"SigtermDuringAStalledSend", Way::Signal, SIGTERM, Doing::Sending, 0},
    {"SigtermWithABoxUp", Way::Signal, SIGTERM, Doing::ShowingABox, 0},
    {"LostDisplay", Way::LostDisplay, 0, Doing::Nothing, 1},
    {"CrashSigsegv", Way::Signal, SIGSEGV, Doing::Nothing, 128 + SIGSEGV},
    {"CrashSigabrt", Way::Signal, SIGABRT, Doing::Nothing, 128 + SIGABRT},
};

INSTANTIATE_TEST_SUITE_P(, WaysOut, ::testing::ValuesIn(waysOut),
                         [](const auto &info) { return std::string(info.param.name); });

class ProgramInBig5 : public Program {
  protected:
    void SetUp() override
    {
        settings = {"LOCPATH=" COMTERM_LOCALES, "LC_ALL=zh_TW.BIG5"};
        Program::SetUp();
    }
};

TEST_F(ProgramInBig5, TextCrossesTheLineAsBig5)
{
    click(336 + 40, 32 + 12);
    ASSERT_TRUE(eventually([] { return !portIsFree(); })) << "the port did not open";
    device.write("\xa4\xa4\xa4\xe5"); // 中文
    ASSERT_TRUE(device.waitQueued(4));
    click(360 + 48, 464 + 12); // Button3: receive
    // Copy what was received into the send box, and send it back.
    click(344 + 60, 248 + 60);
    ASSERT_EQ(xdotool({"key", "ctrl+a", "ctrl+c"}), 0);
    click(88 + 60, 248 + 60);
    ASSERT_EQ(xdotool({"key", "ctrl+a", "ctrl+v"}), 0);
    click(96 + 48, 464 + 12); // Button2: send
    EXPECT_EQ(device.read(4), "\xa4\xa4\xa4\xe5");
}

// A display number that nothing serves: no X server's socket or lock file.
std::string unservedDisplay()
{
    for (int n = 4000;; ++n) {
        const std::string number = std::to_string(n);
        if (access(("/tmp/.X11-unix/X" + number).c_str(), F_OK) != 0 &&
            access(("/tmp/.X" + number + "-lock").c_str(), F_OK) != 0)
            return ":" + number;
    }
}

enum class DisplayIs { Unset, Unserved };

struct CommandLine {
    const char *name;
    std::vector<std::string> args;
    DisplayIs display;
    int status;
    const char *out;                 // the whole standard output, unless null
    std::vector<std::string> outHas; // what the standard output holds
    const char *err;                 // what the one line of standard error holds
};

void PrintTo(const CommandLine &row, std::ostream *out)
{
    *out << row.name;
}

// What the program answers before it has a window, with no X server at all:
// the command line, and a display that is missing or does not answer. Each
// says so in one line, and none needs a display.
class CommandLines : public ::testing::TestWithParam<CommandLine> {};

TEST_P(CommandLines, AnswerWithoutADisplay)
{
    const CommandLine &row = GetParam();
    std::vector<std::string> env{"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM",
                                 "XDG_SESSION_TYPE"};
    if (row.display == DisplayIs::Unserved)
        env.push_back("DISPLAY=" + unservedDisplay());
    const int out = open(P_tmpdir, O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    const int err = open(P_tmpdir, O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    ASSERT_GE(out, 0);
    ASSERT_GE(err, 0);
    std::vector<std::string> argv{programPath()};
    argv.insert(argv.end(), row.args.begin(), row.args.end());
    const int status = waitExit(spawn(argv, env, out, err), 30s);
    const auto text = [](int fd) {
        std::string all;
        char buffer[4096];
        for (ssize_t n; (n = pread(fd, buffer, sizeof buffer, off_t(all.size()))) > 0;)
            all.append(buffer, std::size_t(n));
        close(fd);
        return all;
    };
    const std::string output = text(out), errors = text(err);

    EXPECT_EQ(status, row.status) << errors;
    if (row.out != nullptr) {
        EXPECT_EQ(output, row.out);
    }
    for (const std::string &part : row.outHas) {
        EXPECT_NE(output.find(part), std::string::npos) << part << " is not in:\n" << output;
    }
    if (row.err == nullptr) {
        EXPECT_EQ(errors, "");
    } else {
        EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
        EXPECT_NE(errors.find(row.err), std::string::npos) << errors;
        EXPECT_TRUE(errors.starts_with("comterm: ")) << errors;
    }
}

const CommandLine commandLines[] = {
    {"Help",
     {"--help"},
     DisplayIs::Unset,
     0,
     nullptr,
     {"Usage: comterm", "COM1", "ports.conf", "XDG_CONFIG_HOME", "locale"},
     nullptr},
    {"Version",
     {"--version"},
     DisplayIs::Unset,
     0,
     "comterm " COMTERM_VERSION_STRING "\n",
     {},
     nullptr},
    // Qt's options, with their values, are Qt's: they are let through.
    {"VersionAfterQtOptions",
     {"-platform", "xcb", "--style=Fusion", "-reverse", "--version"},
     DisplayIs::Unset,
     0,
     "comterm " COMTERM_VERSION_STRING "\n",
     {},
     nullptr},
    {"UnknownOption", {"--bogus"}, DisplayIs::Unset, 2, "", {}, "--bogus"},
    {"UnservedDisplay", {}, DisplayIs::Unserved, 1, "", {}, "no display"},
    {"NoDisplay", {}, DisplayIs::Unset, 1, "", {}, "DISPLAY and WAYLAND_DISPLAY are not set"},
};

INSTANTIATE_TEST_SUITE_P(, CommandLines, ::testing::ValuesIn(commandLines),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
