#include "startup.h"

#include "command_line.h"

#include <QString>
#include <QtGlobal>

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace {

// The options QApplication takes out of argv itself, by name without the
// leading dash; Qt also accepts each with two dashes. These take the next
// argument as their value...
constexpr std::string_view qtOptionsWithValue[] = {"platform",
                                                   "platformpluginpath",
                                                   "platformtheme",
                                                   "plugin",
                                                   "qwindowgeometry",
                                                   "geometry",
                                                   "qwindowicon",
                                                   "icon",
                                                   "qwindowtitle",
                                                   "title",
                                                   "session",
                                                   "display",
                                                   "name",
                                                   "style",
                                                   "stylesheet"};
// ...these stand alone...
constexpr std::string_view qtFlags[] = {"reverse", "widgetcount", "nograb", "dograb"};
// ...and these carry their value after '='.
constexpr std::string_view qtOptionsWithEquals[] = {"style=", "stylesheet=", "qmljsdebugger="};

template <std::size_t n> bool listed(const std::string_view (&names)[n], std::string_view name)
{
    for (const std::string_view listedName : names)
        if (name == listedName)
            return true;
    return false;
}

int refuse(const std::string &what)
{
    std::fputs(refusalLine(what).c_str(), stderr);
    return 2;
}

} // namespace

std::optional<int> answerCommandLine(int argc, char **argv)
{
    // Every argument is checked before one is answered: "--help extra" is
    // refused, not half understood.
    Request answer = Request::None;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (const Request request = requestOf(arg); request != Request::None) {
            if (answer == Request::None)
                answer = request;
            continue;
        }
        if (arg.size() < 2 || arg[0] != '-')
            return refuse(refusedArgument(arg));
        std::string_view name = arg.substr(arg.starts_with("--") ? 2 : 1);
        if (listed(qtOptionsWithValue, name)) {
            if (++i == argc)
                return refuse("option " + std::string(arg) + " needs a value");
            continue;
        }
        const auto equals = name.find('=');
        if (listed(qtFlags, name) || (equals != std::string_view::npos &&
                                      listed(qtOptionsWithEquals, name.substr(0, equals + 1))))
            continue;
        return refuse(refusedArgument(arg));
    }
    if (answer == Request::None)
        return std::nullopt;
    std::fputs(answerText(answer, " [Qt options such as -platform NAME]").c_str(), stdout);
    return 0;
}

namespace {

// A message Qt wrote while the trap held it, with the parts of its context
// that Qt's handler uses.
struct HeldMessage {
    QtMsgType type;
    std::string file, function, category;
    int line;
    QString text;
};

std::mutex heldLock;
std::vector<HeldMessage> held;

bool set(const char *name)
{
    const char *value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

void hold(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    const std::lock_guard lock(heldLock);
    if (type != QtFatalMsg) {
        held.push_back({type, context.file ? context.file : "",
                        context.function ? context.function : "",
                        context.category ? context.category : "", context.line, text});
        return;
    }
    // Qt gives up on its platform only when it could not reach a display,
    // or could not find the platform it was asked for. Qt's own reason is
    // the plugin loader's warning in the second case, and in the first the
    // first message of the platform plugin ("could not connect to display
    // :1"), unless the variables that name a display are not set at all.
    const auto firstOf = [](auto wanted) {
        for (const HeldMessage &message : held)
            if (wanted(message))
                return message.text.toStdString();
        return std::string();
    };
    std::string reason = firstOf([](const HeldMessage &m) {
        return m.category == "qt.qpa.plugin" && m.type == QtWarningMsg;
    });
    if (reason.empty() && !set("DISPLAY") && !set("WAYLAND_DISPLAY"))
        reason = "DISPLAY and WAYLAND_DISPLAY are not set";
    if (reason.empty())
        reason = firstOf([](const HeldMessage &m) {
            return m.category.starts_with("qt.qpa.") && m.category != "qt.qpa.plugin";
        });
    if (reason.empty())
        reason = firstOf([](const HeldMessage &m) { return m.category == "qt.qpa.plugin"; });
    if (reason.empty())
        reason = text.section(u'\n', 0, 0).toStdString();
    std::fprintf(stderr, "comterm: no display to open the window on (%s)\n", reason.c_str());
    std::fflush(stderr);
    // Nothing is open yet, and Qt is half made: end here, without exit handlers.
    std::_Exit(1);
}

} // namespace

DisplayFailureTrap::DisplayFailureTrap() : previous_(qInstallMessageHandler(&hold)) {}

DisplayFailureTrap::~DisplayFailureTrap()
{
    release();
}

void DisplayFailureTrap::release()
{
    if (!holding_)
        return;
    holding_ = false;
    qInstallMessageHandler(previous_);
    std::vector<HeldMessage> messages;
    {
        const std::lock_guard lock(heldLock);
        messages.swap(held);
    }
    for (const HeldMessage &m : messages)
        qt_message_output(
            m.type,
            QMessageLogContext(m.file.c_str(), m.line, m.function.c_str(), m.category.c_str()),
            m.text);
}
