// Where the real program's windows land under a window manager (openbox on
// an Xvfb of the test's own, 1280x720): the main window moved up into the
// screen, and the progress window of each long send centred over it, whole
// on the screen, with a close box and nothing to minimize or maximize.
#include "child_process.h"
#include "polling.h"
#include "pty_device.h"
#include "xvfb.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#include <xcb/xcb.h>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

struct Rect {
    int x, y, width, height;
    int centreX() const { return x + width / 2; }
    int centreY() const { return y + height / 2; }
    bool inside(const Rect &area) const
    {
        return x >= area.x && y >= area.y && x + width <= area.x + area.width &&
               y + height <= area.y + area.height;
    }
    friend bool operator==(const Rect &, const Rect &) = default;
};

std::ostream &operator<<(std::ostream &out, const Rect &r)
{
    return out << r.width << 'x' << r.height << '+' << r.x << '+' << r.y;
}

const Rect screen{0, 0, 1280, 720};

// A connection to the test's display that finds the window manager's
// clients by title and tells where their frames are.
class XView {
  public:
    explicit XView(const std::string &display) : c_(xcb_connect(display.c_str(), nullptr))
    {
        if (!xcb_connection_has_error(c_))
            root_ = xcb_setup_roots_iterator(xcb_get_setup(c_)).data->root;
    }
    ~XView() { xcb_disconnect(c_); }
    XView(const XView &) = delete;
    XView &operator=(const XView &) = delete;

    bool connected() const { return root_ != XCB_WINDOW_NONE; }

    // Whether a window manager has announced itself on the root window.
    bool managed() { return !property(root_, "_NET_SUPPORTING_WM_CHECK").empty(); }

    // The frame (window manager's border and title bar included) of the
    // viewable client window titled `title` (UTF-8), once the window manager
    // has framed it.
    std::optional<Rect> frame(const std::string &title)
    {
        for (const uint32_t w : property(root_, "_NET_CLIENT_LIST")) {
            if (text(w, "_NET_WM_NAME") != title)
                continue;
            auto *attributes =
                xcb_get_window_attributes_reply(c_, xcb_get_window_attributes(c_, w), nullptr);
            const bool viewable = attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
            free(attributes);
            const std::vector<uint32_t> extents = property(w, "_NET_FRAME_EXTENTS");
            auto *geometry = xcb_get_geometry_reply(c_, xcb_get_geometry(c_, w), nullptr);
            auto *origin = xcb_translate_coordinates_reply(
                c_, xcb_translate_coordinates(c_, w, root_, 0, 0), nullptr);
            std::optional<Rect> found;
            if (viewable && extents.size() == 4 && geometry && origin) {
                const int left = int(extents[0]), right = int(extents[1]), top = int(extents[2]),
                          bottom = int(extents[3]);
                found = Rect{origin->dst_x - left, origin->dst_y - top,
                             geometry->width + left + right, geometry->height + top + bottom};
            }
            free(geometry);
            free(origin);
            if (found)
                return found;
        }
        return std::nullopt;
    }

    // The Motif window manager hints of the client window titled `title`:
    // flags, functions, decorations (window managers read the buttons to draw
    // from them); empty when it has none.
    std::vector<uint32_t> motifHints(const std::string &title)
    {
        for (const uint32_t w : property(root_, "_NET_CLIENT_LIST"))
            if (text(w, "_NET_WM_NAME") == title)
                return property(w, "_MOTIF_WM_HINTS");
        return {};
    }

  private:
    xcb_atom_t atom(const char *name)
    {
        auto *reply = xcb_intern_atom_reply(
            c_, xcb_intern_atom(c_, 0, static_cast<uint16_t>(strlen(name)), name), nullptr);
        const xcb_atom_t a = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
        free(reply);
        return a;
    }

    // A property of 32-bit items (windows, cardinals).
    std::vector<uint32_t> property(xcb_window_t w, const char *name)
    {
        auto *reply = xcb_get_property_reply(
            c_, xcb_get_property(c_, 0, w, atom(name), XCB_ATOM_ANY, 0, 1024), nullptr);
        std::vector<uint32_t> items;
        if (reply != nullptr && reply->format == 32) {
            const auto *data = static_cast<const uint32_t *>(xcb_get_property_value(reply));
            items.assign(data, data + xcb_get_property_value_length(reply) / 4);
        }
        free(reply);
        return items;
    }

    std::string text(xcb_window_t w, const char *name)
    {
        auto *reply = xcb_get_property_reply(
            c_, xcb_get_property(c_, 0, w, atom(name), XCB_ATOM_ANY, 0, 256), nullptr);
        std::string value;
        if (reply != nullptr)
            value.assign(static_cast<const char *>(xcb_get_property_value(reply)),
                         std::size_t(xcb_get_property_value_length(reply)));
        free(reply);
        return value;
    }

    xcb_connection_t *c_;
    xcb_window_t root_ = XCB_WINDOW_NONE;
};

class UnderAWindowManager : public ::testing::Test {
  protected:
    PtyDevice device;
    Xvfb xserver{"1280x720x24"};
    std::string display = xserver.display();
    std::vector<pid_t> children; // ended in reverse order, before the X server
    int quiet = open("/dev/null", O_WRONLY | O_CLOEXEC);

    void SetUp() override
    {
        ASSERT_TRUE(xserver.running()) << "Xvfb did not start";
        children.push_back(
            spawn({"openbox", "--sm-disable"}, {"DISPLAY=" + display}, quiet, quiet));
        XView x(display);
        ASSERT_TRUE(x.connected());
        ASSERT_TRUE(eventually([&x] { return x.managed(); })) << "openbox did not start";
        children.push_back(spawn({COMTERM_BINARY},
                                 {"DISPLAY=" + display, "QT_QPA_PLATFORM=xcb", "WAYLAND_DISPLAY",
                                  "COM1=" + device.path()},
                                 quiet));
    }

    void TearDown() override
    {
        for (auto it = children.rbegin(); it != children.rend(); ++it) {
            kill(*it, SIGTERM);
            if (waitExit(*it, 10s) < 0) {
                kill(*it, SIGKILL);
                waitExit(*it, 10s);
            }
        }
        close(quiet);
    }

    int xdotool(const std::vector<std::string> &args)
    {
        std::vector<std::string> argv{"xdotool"};
        argv.insert(argv.end(), args.begin(), args.end());
        return waitExit(spawn(argv, {"DISPLAY=" + display}, quiet, quiet), 10s);
    }

    // Clicks at a point of the inside of the window titled `title` (or, as
    // the form with a port open, "... - title").
    void click(const std::string &title, int x, int y)
    {
        ASSERT_EQ(xdotool({"search", "--onlyvisible", "--name", "^(.* - )?" + title + "$",
                           "windowfocus", "--sync", "mousemove", "--window", "%1",
                           std::to_string(x), std::to_string(y), "click", "1"}),
                  0);
    }

    // Presses `key` in the window titled `title`.
    int key(const std::string &title, const std::string &key)
    {
        return xdotool({"search", "--onlyvisible", "--name", "^(.* - )?" + title + "$",
                        "windowfocus", "--sync", "key", key});
    }
};

TEST_F(UnderAWindowManager, ProgressWindowOpensCentredOverTheFormAndWhole)
{
    XView x(display);
    // Moved up from 288,208 into the screen, its size kept (where openbox
    // first pushed it, a pixel or a title bar's height off, is left aside).
    std::optional<Rect> form;
    ASSERT_TRUE(eventually([&] {
        return (form = x.frame("Form1")) && form->width == 870 && form->height == 640 &&
               form->inside(screen);
    })) << "the form's frame is "
        << (form ? *form : Rect{});
    click("Form1", 336 + 40, 32 + 12); // Button1: open COM1
    device.fillLine();
    for (int send = 1; send <= 5; ++send) {
        SCOPED_TRACE("send " + std::to_string(send));
        click("Form1", 96 + 48, 464 + 12); // Button2: send into a line that takes nothing
        std::optional<Rect> progress;
        const auto centred = [&] {
            progress = x.frame("傳送資料");
            return progress && progress->inside(screen) &&
                   std::abs(progress->centreX() - form->centreX()) <= 3 &&
                   std::abs(progress->centreY() - form->centreY()) <= 3;
        };
        ASSERT_TRUE(eventually(centred, 5s))
            << "the progress window's frame is " << (progress ? *progress : Rect{})
            << ", the form's " << *form;
        // A dialog: a title and a close box (which cancels), no minimize or
        // maximize button, nor those functions.
        const std::vector<uint32_t> hints = x.motifHints("傳送資料");
        ASSERT_GE(hints.size(), 3u) << "no Motif hints";
        const uint32_t flags = hints[0], functions = hints[1], decorations = hints[2];
        EXPECT_EQ(flags & 3, 3u) << "functions and decorations given";
        EXPECT_EQ(functions & (8 | 16), 0u) << "minimize or maximize allowed";
        EXPECT_NE(functions & 32, 0u) << "no closing";
        EXPECT_EQ(decorations & (1 | 32 | 64), 0u) << "a minimize or maximize button";
        // Escape cancels the send; Return dismisses the box that says so.
        ASSERT_TRUE(eventually([&] {
            key("傳送資料", "Escape"); // once the progress window has the focus
            return eventually([&] { return x.frame("Send Cancelled").has_value(); }, 1s);
        }));
        ASSERT_TRUE(eventually([&] {
            key("Send Cancelled", "Return"); // once the box has the focus
            return !x.frame("Send Cancelled") && !x.frame("傳送資料");
        }));
    }
}

} // namespace
