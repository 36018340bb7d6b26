// The real program as a user runs it, for the process tests: a child
// process on an X server of its own (Xvfb, no window manager), clicked with
// xdotool, with COM1 on a pseudo-terminal; and the helpers around it.
#pragma once

#include "child_process.h"
#include "comm.h"
#include "comterm_version.h"
#include "device_map.h"
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

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// The program under test: the one just built, or the one the environment
// variable COMTERM_BINARY names (an installed one, in the package's checks).
inline std::string programPath()
{
    const char *named = std::getenv("COMTERM_BINARY");
    return named != nullptr && *named != '\0' ? named : COMTERM_BINARY;
}

inline bool portIsFree()
{
    HANDLE port = CreateFileA(portDevice("COM1").path.c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (port == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(port);
    return true;
}

// Opens `path` as a program without root rights would, and returns 0, or the
// errno of the failed open. Root passes over exclusive mode (TIOCEXCL), so
// as root the path is made world-writable and the open done by a child that
// has become nobody (65534).
inline int openWithoutRoot(const std::string &path)
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
inline bool programHasAsan()
{
#if defined(__SANITIZE_ADDRESS__)
    return programPath() == COMTERM_BINARY;
#else
    return false;
#endif
}

// What the program is doing when it is told to end.
enum class Doing {
    Nothing,
    Sending,     // a send into a line that takes nothing, its progress window up
    ShowingABox, // the box of a cancelled send ("Send Cancelled"), modal
};

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
    // A command that runs the program (nohup), when a test needs one.
    std::vector<std::string> launcher;

    // The program's standard error.
    int errors = open(P_tmpdir, O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);

    void SetUp() override
    {
        ASSERT_GE(errors, 0);
        // The crashes the tests cause leave no core file behind.
        const rlimit noCore{0, 0};
        ASSERT_EQ(setrlimit(RLIMIT_CORE, &noCore), 0);
        ASSERT_TRUE(xserver.running()) << "Xvfb did not start";
        start();
    }

    // Starts the program and waits for its window to be mapped: a click
    // before that falls on the root window.
    void start()
    {
        std::vector<std::string> env{"DISPLAY=" + display, "QT_QPA_PLATFORM=xcb", "WAYLAND_DISPLAY",
                                     "COM1=" + device.path()};
        env.insert(env.end(), settings.begin(), settings.end());
        std::vector<std::string> argv = launcher;
        argv.push_back(programPath());
        const int quiet = open("/dev/null", O_WRONLY | O_CLOEXEC);
        program = spawn(argv, env, quiet, errors);
        close(quiet);
        ASSERT_TRUE(eventually([this] {
            return xdotool({"search", "--onlyvisible", "--name", "^Form1$"}) == 0;
        })) << "the window did not appear";
    }

    // Opens COM1 with the window's button, and checks that the program holds
    // it: locked, and exclusive against a program without root rights.
    void openCom1()
    {
        click(336 + 40, 32 + 12); // Button1: open COM1
        ASSERT_TRUE(eventually([] { return !portIsFree(); })) << "the port did not open\n"
                                                              << programErrors();
        ASSERT_EQ(openWithoutRoot(device.path()), EBUSY) << "the port is not held exclusively";
    }

    // Brings the program to `doing`, with COM1 open.
    void bringTo(Doing doing)
    {
        if (doing == Doing::Nothing)
            return;
        device.fillLine();
        click(96 + 48, 464 + 12); // Button2: send "mSend" into a line that takes nothing
        ASSERT_TRUE(eventually([this] { return windowShown("傳送資料"); }))
            << "no progress window came up\n"
            << programErrors();
        if (doing != Doing::ShowingABox)
            return;
        // Escape cancels the send, once the progress window is mapped and can
        // take the focus.
        ASSERT_TRUE(eventually([this] {
            return xdotool({"search", "--onlyvisible", "--name", "^傳送資料$"}) == 0;
        }));
        ASSERT_EQ(xdotool({"search", "--onlyvisible", "--name", "^傳送資料$", "windowfocus",
                           "--sync", "key", "Escape"}),
                  0);
        ASSERT_TRUE(eventually([this] { return windowShown("Send Cancelled"); }))
            << "no box came up after the send was cancelled";
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
            // The form's title names the open port before its own: "COM1 (...) - Form1".
            const std::string text =
                name == nullptr
                    ? std::string()
                    : std::string(static_cast<const char *>(xcb_get_property_value(name)),
                                  xcb_get_property_value_length(name));
            if (name != nullptr && (text == title || (text.size() > title.size() + 3 &&
                                                      text.ends_with(" - " + title))))
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
