// The real program as a user runs it (program_fixture.h): text in a Big5
// locale, and what it answers before it has a window.
#include "program_fixture.h"

namespace {

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
    const char *err; // what the one line of standard error holds; {display} is DISPLAY's value
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
    const std::string display = row.display == DisplayIs::Unserved ? unservedDisplay() : "";
    if (!display.empty())
        env.push_back("DISPLAY=" + display);
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
        std::string err = row.err;
        if (const auto at = err.find("{display}"); at != std::string::npos)
            err.replace(at, 9, display);
        EXPECT_NE(errors.find(err), std::string::npos) << errors;
        EXPECT_TRUE(errors.starts_with("comterm: ")) << errors;
    }
}

const CommandLine commandLines[] = {
    {"Help",
     {"--help"},
     DisplayIs::Unset,
     0,
     nullptr,
     {"Usage: comterm", "COM1", "ports.conf", "XDG_CONFIG_HOME", "locale", "--ports"},
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
    // Where the ports lead, and the devices: listed without a window.
    {"Ports",
     {"--ports"},
     DisplayIs::Unset,
     0,
     nullptr,
     {"\nCOM2  ", "\nports file: ", "\nserial devices"},
     nullptr},
    {"UnknownOption", {"--bogus"}, DisplayIs::Unset, 2, "", {}, "--bogus"},
    {"HelpWithAnExtraArgument", {"--help", "extra"}, DisplayIs::Unset, 2, "", {}, "extra"},
    {"QtOptionWithoutItsValue",
     {"-platform"},
     DisplayIs::Unset,
     2,
     "",
     {},
     "option -platform needs a value"},
    {"UnservedDisplay",
     {},
     DisplayIs::Unserved,
     1,
     "",
     {},
     "no display to open the window on (could not connect to display {display})"},
    // Qt's own reason, when it has one, whatever the display.
    {"UnknownPlatform",
     {"-platform", "nosuch"},
     DisplayIs::Unserved,
     1,
     "",
     {},
     "(Could not find the Qt platform plugin \"nosuch\""},
    {"NoDisplay", {}, DisplayIs::Unset, 1, "", {}, "DISPLAY and WAYLAND_DISPLAY are not set"},
};

INSTANTIATE_TEST_SUITE_P(, CommandLines, ::testing::ValuesIn(commandLines),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
