// The real program as a user runs it: a child process on an X server of its
// own (Xvfb, no window manager), clicked with xdotool, with COM1 on a
// pseudo-terminal.
#include "child_process.h"
#include "comm.h"
#include "pty_device.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>
#include <xcb/xcb.h>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// Polls `condition` until it holds or 10 s pass.
template <class F> bool eventually(F condition)
{
    const auto deadline = Clock::now() + 10s;
    while (!condition()) {
        if (Clock::now() > deadline)
            return false;
        poll(nullptr, 0, 20);
    }
    return true;
}

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

class Program : public ::testing::Test {
  protected:
    PtyDevice device;
    PortMapping com1{"COM1", device.path()};
    pid_t xserver = -1;
    std::string display;
    pid_t program = -1;
    // The program's locale settings, when a test needs one.
    std::vector<std::string> locale;

    void SetUp() override
    {
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        const int quiet = open("/dev/null", O_WRONLY | O_CLOEXEC);
        xserver = spawn({"Xvfb", "-displayfd", std::to_string(fds[1]), "-noreset", "-nolisten",
                         "tcp", "-screen", "0", "1280x1024x24"},
                        {}, quiet, quiet, fds[1]);
        close(quiet);
        close(fds[1]);
        pollfd pfd{fds[0], POLLIN, 0};
        char number[16] = {};
        if (poll(&pfd, 1, 20000) == 1 && read(fds[0], number, sizeof number - 1) > 0)
            display = ":" + std::string(number, strcspn(number, "\n"));
        close(fds[0]);
        ASSERT_FALSE(display.empty()) << "Xvfb did not start";

        std::vector<std::string> env{"DISPLAY=" + display, "QT_QPA_PLATFORM=xcb", "WAYLAND_DISPLAY",
                                     "COM1=" + device.path()};
        env.insert(env.end(), locale.begin(), locale.end());
        program = spawn({programPath()}, env);
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
        if (xserver > 0) {
            kill(xserver, SIGTERM);
            waitExit(xserver, 10s);
        }
    }

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

TEST_F(Program, ExitButtonEndsWithStatusZero)
{
    click(336 + 40, 32 + 12); // Button1: open COM1
    ASSERT_TRUE(eventually([] { return !portIsFree(); })) << "the port did not open";
    click(504 + 56, 32 + 12); // Button4: exit
    EXPECT_EQ(waitExit(program, 10s), 0);
}

TEST_F(Program, ClosingTheWindowEndsWithStatusZero)
{
    click(336 + 40, 32 + 12);
    ASSERT_TRUE(eventually([] { return !portIsFree(); })) << "the port did not open";
    closeWindow();
    EXPECT_EQ(waitExit(program, 10s), 0);
}

TEST_F(Program, ClosingTheWindowDuringAStalledSendEndsWithStatusZero)
{
    click(336 + 40, 32 + 12);
    ASSERT_TRUE(eventually([] { return !portIsFree(); })) << "the port did not open";
    device.fillLine();
    click(96 + 48, 464 + 12); // Button2: send "mSend" into a line that takes nothing
    ASSERT_TRUE(eventually([this] { return windowShown("傳送資料"); }))
        << "no progress window came up";
    const auto start = Clock::now();
    closeWindow();
    EXPECT_EQ(waitExit(program, 10s), 0);
    EXPECT_LT(Clock::now() - start, 5s) << "the send went on after the window closed";
}

class ProgramInBig5 : public Program {
  protected:
    void SetUp() override
    {
        locale = {"LOCPATH=" COMTERM_LOCALES, "LC_ALL=zh_TW.BIG5"};
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

TEST(ProgramWithoutDisplay, SaysSoInOneLineAndFails)
{
    int fds[2];
    ASSERT_EQ(pipe2(fds, O_CLOEXEC), 0);
    const pid_t pid =
        spawn({programPath()}, {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}, -1, fds[1]);
    close(fds[1]);
    std::string err;
    char buffer[512];
    for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0;)
        err.append(buffer, static_cast<std::size_t>(n));
    close(fds[0]);
    EXPECT_EQ(waitExit(pid, 10s), 1);
    EXPECT_NE(err.find("no display"), std::string::npos) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
}

} // namespace
