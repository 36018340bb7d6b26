// Which device a port name opens on Linux: the COMn variable, else the
// user's ports file, else the standard device; and what a ports file says.
#include "device_map.h"
#include "port_list.h"
#include "ports_file_fixture.h"
#include "pty_device.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <tuple>

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

TEST(DeviceMap, NamesMapToTheirVariableOrTheirStandardDevice)
{
    // The name, its environment variable (null: unset), and the path it
    // stands for (empty: none).
    const std::tuple<const char *, const char *, const char *> rows[] = {
        {"COM1", nullptr, "/dev/ttyS0"},
        {"COM2", nullptr, "/dev/ttyS1"},
        {"COM1", "", "/dev/ttyS0"},
        {"COM2", "", "/dev/ttyS1"},
        {"COM1", "/dev/ttyUSB0", "/dev/ttyUSB0"},
        {"COM2", "/dev/ttyACM3", "/dev/ttyACM3"},
        {"COM10", nullptr, "/dev/ttyS9"},
        {"COM256", nullptr, "/dev/ttyS255"},
        {"COM257", nullptr, ""},
        {"COM0", "/dev/ttyUSB0", ""},
        {"COM02", "/dev/ttyUSB0", ""},
        {"COM", nullptr, ""},
        {"COM2x", nullptr, ""},
        {"COM-1", nullptr, ""},
        {"COM+1", nullptr, ""},
        {"com1", "/dev/ttyUSB0", ""},
        {"LPT1", "/dev/lp0", ""},
        {"", nullptr, ""},
        {"COM99999999999", nullptr, ""},
        {"/dev/ttyS0", nullptr, ""}};
    for (const auto &[name, variable, path] : rows) {
        const PortMapping mapping(name,
                                  variable ? std::optional<std::string>(variable) : std::nullopt);
        EXPECT_EQ(portDevice(name).path, path)
            << name << " with the variable "
            << (variable ? '"' + std::string(variable) + '"' : "unset");
    }
}

TEST(DeviceMap, TheVariableThenThePortsFileThenTheStandardDevice)
{
    using Source = PortDevice::Source;
    struct Row {
        const char *what;
        const char *name;
        const char *variable; // null: unset
        const char *file;     // the ports file's text; null: no file
        std::string path;
        Source source;
        unsigned line;       // of the ports file, for Source::File
        std::string skipped; // the stderr lines about unusable lines, with "@" for the file
    };
    const Row rows[] = {
        {"file only", "COM1", nullptr, "COM1=/dev/ttyUSB0\n", "/dev/ttyUSB0", Source::File, 1, ""},
        {"variable only", "COM1", "/dev/ttyACM3", nullptr, "/dev/ttyACM3", Source::Variable, 0, ""},
        {"variable over file", "COM1", "/dev/ttyACM3", "COM1=/dev/ttyUSB0\n", "/dev/ttyACM3",
         Source::Variable, 0, ""},
        {"empty variable counts as unset", "COM1", "", "COM1=/dev/ttyUSB0\n", "/dev/ttyUSB0",
         Source::File, 1, ""},
        {"comments, blanks and spaces", "COM2", nullptr,
         "# my adapters\n; old ones\n\n \t COM2 \t=  /dev/serial/by-id/usb-FTDI_A50-if00  \n",
         "/dev/serial/by-id/usb-FTDI_A50-if00", Source::File, 4, ""},
        {"CR LF", "COM2", nullptr, "COM1=/dev/ttyUSB0\r\nCOM2=/dev/ttyUSB1\r\n", "/dev/ttyUSB1",
         Source::File, 2, ""},
        {"BOM, no final line break", "COM1", nullptr,
         "\xEF\xBB\xBF"
         "COM1=/dev/ttyUSB0",
         "/dev/ttyUSB0", Source::File, 1, ""},
        {"the last line for a port wins", "COM1", nullptr, "COM1=/dev/ttyUSB0\nCOM1=/dev/ttyUSB1\n",
         "/dev/ttyUSB1", Source::File, 2, ""},
        {"lines that name no port are named and ignored", "COM1", nullptr,
         "LPT1=/dev/lp0\nCOM0=/dev/ttyUSB0\nCOM1=/dev/ttyUSB2\n", "/dev/ttyUSB2", Source::File, 3,
         "comterm: @ line 1: not a COMn=device line; ignored\n"
         "comterm: @ line 2: not a COMn=device line; ignored\n"},
        {"a port the file does not name", "COM1", nullptr, "COM2=/dev/ttyUSB1\n", "/dev/ttyS0",
         Source::Default, 0, ""},
        {"no file", "COM2", nullptr, nullptr, "/dev/ttyS1", Source::Default, 0, ""},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        const PortsFileFixture file(row.file != nullptr ? row.file : "");
        if (row.file == nullptr)
            std::filesystem::remove(file.path());
        const PortMapping variable(row.name, row.variable != nullptr
                                                 ? std::optional<std::string>(row.variable)
                                                 : std::nullopt);
        testing::internal::CaptureStderr();
        const PortDevice device = portDevice(row.name);
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(device.path, row.path);
        EXPECT_EQ(device.source, row.source);
        if (row.source == Source::File) {
            EXPECT_EQ(device.file, file.path());
            EXPECT_EQ(device.line, row.line);
        }
        std::string skipped = row.skipped;
        for (std::size_t at; (at = skipped.find('@')) != std::string::npos;)
            skipped.replace(at, 1, file.path());
        EXPECT_EQ(err, skipped);
    }
}

// `text` as UTF-16 with its byte order mark, as Notepad saves "Unicode".
std::string utf16(std::u16string_view text, bool bigEndian)
{
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const char16_t unit : text) {
        const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
        bytes += bigEndian ? high : low;
        bytes += bigEndian ? low : high;
    }
    return bytes;
}

TEST(DeviceMap, AValueIsADeviceAndItsSettingsOrWhyThePortCannotBeUsed)
{
    // COM1's value, in the ports file or else in the variable; what it maps
    // to; and, when it cannot be used, why (then the port has no device, so
    // its open fails instead of reaching the standard one).
    struct Row {
        const char *what;
        std::string file; // the ports file's text (empty: the variable instead)
        const char *variable;
        std::string path, settings, problem;
        unsigned line = 1;
    };
    const std::string nul("COM1=/dev/ttyUSB0\0/x\n", 21);
    const Row rows[] = {
        {"settings", "COM1=/dev/ttyUSB0\t baud=115200  parity=e \n", nullptr, "/dev/ttyUSB0",
         "baud=115200  parity=e", ""},
        {"lower case", "com1 = /dev/ttyUSB0\n", nullptr, "/dev/ttyUSB0", "", ""},
        {"comment after the device", "COM1=/dev/ttyUSB0  # my adapter\n", nullptr, "/dev/ttyUSB0",
         "", ""},
        {"comment after the settings", "COM1=/dev/ttyUSB0 data=7\t# old\n", nullptr, "/dev/ttyUSB0",
         "data=7", ""},
        {"'#' inside a name", "COM1=/dev/tty#1\n", nullptr, "/dev/tty#1", "", ""},
        {"quoted path with spaces and ' #'",
         "COM1=\"/dev/serial/by-id/usb-My Adapter #2\" baud=9600\n", nullptr,
         "/dev/serial/by-id/usb-My Adapter #2", "baud=9600", ""},
        {"no '='", "COM1 /dev/ttyUSB0\n", nullptr, "", "", "no '=' after COM1"},
        {"a longer name", "COM1x=/dev/ttyUSB0\n", nullptr, "", "", "no '=' after COM1"},
        {"no device", "COM1= \n", nullptr, "", "", "no device after the '='"},
        {"relative path", "COM1=ttyUSB0\n", nullptr, "", "", "not an absolute path: ttyUSB0"},
        {"home folder", "COM1=~/ttyUSB0\n", nullptr, "", "",
         "'~' is not expanded: write the device's full path (~/ttyUSB0)"},
        {"COM1=COM1", "COM1=COM1\n", nullptr, "", "", "not an absolute path: COM1"},
        {"COM1=COM2", "COM1=COM2\n", nullptr, "", "", "not an absolute path: COM2"},
        {"unbalanced quote", "COM1=\"/dev/my adapter baud=9600\n", nullptr, "", "",
         "no closing '\"' after the device"},
        {"text after the quote", "COM1=\"/dev/my adapter\"x\n", nullptr, "", "",
         "no blank after the device's closing '\"'"},
        {"NUL", nul, nullptr, "", "", "a NUL byte in the line"},
        {"an unusable last line wins", "COM1=/dev/ttyUSB0\nCOM1 /dev/ttyUSB1\n", nullptr, "", "",
         "no '=' after COM1", 2},
        {"a usable last line wins", "COM1=ttyUSB0\nCOM1=/dev/ttyUSB1\n", nullptr, "/dev/ttyUSB1",
         "", "", 2},
        {"UTF-16 LE",
         utf16(u"# \u00e9\r\nCOM1=/dev/serial/by-id/usb-\u00c4-if00 data=7\r\n", false), nullptr,
         "/dev/serial/by-id/usb-\xC3\x84-if00", "data=7", "", 2},
        {"UTF-16 BE", utf16(u"COM1=/dev/ttyUSB3\n", true), nullptr, "/dev/ttyUSB3", "", ""},
        {"UTF-16 NUL", utf16(std::u16string(u"COM1=/dev/x\0y", 13), false), nullptr, "", "",
         "a NUL byte in the line"},
        {"variable with settings", "", "/dev/ttyUSB0 baud=115200", "/dev/ttyUSB0", "baud=115200",
         ""},
        {"variable, quoted", "", "\"/dev/my adapter\"", "/dev/my adapter", "", ""},
        {"variable, relative", "", "ttyUSB0", "", "", "not an absolute path: ttyUSB0"},
        {"variable COM2", "", "COM2", "", "", "not an absolute path: COM2"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        const PortsFileFixture file(row.file);
        const PortMapping variable("COM1", row.variable ? std::optional<std::string>(row.variable)
                                                        : std::nullopt);
        testing::internal::CaptureStderr();
        const PortDevice device = portDevice("COM1");
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "told at the open instead";
        EXPECT_EQ(device.path, row.path);
        EXPECT_EQ(device.settings, row.settings);
        EXPECT_EQ(device.problem, row.problem);
        if (row.variable != nullptr) {
            EXPECT_EQ(device.source, PortDevice::Source::Variable);
        } else {
            EXPECT_EQ(device.source, PortDevice::Source::File);
            EXPECT_EQ(device.line, row.line);
        }
    }
}

// COM1's and COM2's problems (empty: usable), looked up as a user without
// root when `asNobody` (root reads any file), in a child that tells them on
// a pipe.
std::pair<std::string, std::string> problems(bool asNobody)
{
    const auto lookUp = [] {
        return std::pair(portDevice("COM1").problem, portDevice("COM2").problem);
    };
    if (!asNobody || geteuid() != 0)
        return lookUp();
    int fds[2];
    if (pipe(fds) != 0)
        throw std::runtime_error("pipe failed");
    const pid_t child = fork();
    if (child == 0) {
        if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0)
            _exit(1);
        const auto [com1, com2] = lookUp();
        const std::string both = com1 + '\n' + com2;
        _exit(write(fds[1], both.data(), both.size()) == static_cast<ssize_t>(both.size()) ? 0 : 1);
    }
    close(fds[1]);
    std::string both;
    char buffer[256];
    for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0;)
        both.append(buffer, static_cast<std::size_t>(n));
    close(fds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    const auto newline = both.find('\n');
    return {both.substr(0, newline), newline == std::string::npos ? "" : both.substr(newline + 1)};
}

TEST(DeviceMap, APortsFileThatCannotBeReadLeavesEveryPortWithoutADevice)
{
    // What takes the place of ports.conf, and what COM1 and COM2 then meet.
    // A look-up that waited on a FIFO or read /dev/zero to its end would
    // never answer (the test's time limit catches it).
    namespace fs = std::filesystem;
    struct Row {
        const char *what;
        std::function<void(const fs::path &)> make;
        const char *problem; // for both ports; empty: COM1 maps to /dev/ttyUSB0
        bool asNobody = false;
    };
    const auto text = [](std::string content) {
        return [content](const fs::path &path) { std::ofstream(path) << content; };
    };
    std::string large(1024 * 1024, '#');
    large.replace(0, 18, "COM1=/dev/ttyUSB0\n");
    std::string atLimit(maxPortsFileSize, '#');
    atLimit.replace(atLimit.size() - 18, 18, "\nCOM1=/dev/ttyUSB0");
    const Row rows[] = {
        {"a FIFO", [](const fs::path &path) { mkfifo(path.c_str(), 0600); },
         "a FIFO, not a regular file"},
        {"a directory", [](const fs::path &path) { fs::create_directory(path); },
         "a directory, not a regular file"},
        {"a link to /dev/zero", [](const fs::path &path) { fs::create_symlink("/dev/zero", path); },
         "a device, not a regular file"},
        {"a link to nothing",
         [](const fs::path &path) { fs::create_symlink(path.string() + ".gone", path); },
         "a link to a missing file"},
        {"1 MiB", text(large), "larger than 64 KiB"},
        {"unreadable",
         [](const fs::path &path) {
             std::ofstream(path) << "COM1=/dev/ttyUSB0\n";
             fs::permissions(path, fs::perms::none);
             fs::permissions(path.parent_path().parent_path(), fs::perms::all);
         },
         "Permission denied", true},
        {"64 KiB", text(atLimit), ""},
        {"a link to a file",
         [](const fs::path &path) {
             std::ofstream(path.string() + ".real") << "COM1=/dev/ttyUSB0\n";
             fs::create_symlink(path.string() + ".real", path);
         },
         ""},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        const PortsFileFixture file("");
        fs::remove(file.path());
        row.make(file.path());
        const auto [com1, com2] = problems(row.asNobody);
        EXPECT_EQ(com1, row.problem);
        if (*row.problem != '\0') {
            EXPECT_EQ(com2, row.problem);
            if (row.asNobody)
                continue;
            const PortDevice device = portDevice("COM2");
            EXPECT_EQ(device.path, "");
            EXPECT_EQ(device.file, file.path());
        } else {
            EXPECT_EQ(portDevice("COM1").path, "/dev/ttyUSB0");
        }
    }
}

TEST(PortsReport, TellsWhereEachPortLeadsTheFileAndTheDevicesPresent)
{
    // A tree of the test's own stands for / : devices are plain files, the
    // by-id name a link, and sysfs says which ttyS ports have a UART.
    namespace fs = std::filesystem;
    char rootName[] = "/tmp/comterm-root-XXXXXX";
    ASSERT_NE(mkdtemp(rootName), nullptr);
    const fs::path root = rootName;
    const std::string byId = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
    fs::create_directories(root / "dev/serial/by-id");
    for (const char *name : {"ttyUSB0", "ttyUSB10", "ttyUSB2", "ttyACM0", "ttyS0", "ttyS2", "ttyS4",
                             "ttyS5", "tty0", "ttyUSB", "console"})
        std::ofstream(root / "dev" / name);
    fs::create_symlink("../../ttyUSB0", root.string() + byId);
    // ttyS0 has a UART; ttyS2 has none (type 0); ttyS4's driver does not
    // give the type but holds the port; nothing holds ttyS5.
    for (const auto &[name, type] : {std::pair("ttyS0", "4\n"), std::pair("ttyS2", "0\n")}) {
        fs::create_directories(root / "sys/class/tty" / name);
        std::ofstream(root / "sys/class/tty" / name / "type") << type;
    }
    fs::create_directories(root / "sys/class/tty/ttyS4/device/driver");
    fs::create_directories(root / "sys/class/tty/ttyS5/device");

    // The devices' list, with what a port that opens ttyUSB0 (through the
    // link) or ttyACM0 adds to their lines.
    const auto devices = [&byId](const std::string &usb, const std::string &acm) {
        return "serial devices:\n  " + byId + " -> /dev/ttyUSB0" + usb + "\n  /dev/ttyUSB0" + usb +
               "\n  /dev/ttyUSB2\n  /dev/ttyUSB10\n  /dev/ttyACM0" + acm +
               "\n  /dev/ttyS0\n  /dev/ttyS4\n";
    };
    const std::string opens = "  (COM1 opens it)";
    struct Row {
        const char *what;
        std::string com1;     // the COM1 variable; empty: unset
        const char *file;     // the ports file's text; null: no file, "/": a directory
        std::string expected; // the report, with "@" for the ports file
    };
    const Row rows[] = {
        {"the variable, and the default that is not there", '"' + byId + "\" baud=115200", nullptr,
         "COM1  " + byId + " baud=115200  (from the COM1 variable)\n" +
             "COM2  /dev/ttyS1  (the default; not present)\n"
             "ports file: none; comterm would read @\n" +
             devices(opens, "")},
        {"lines of the file, one unusable", "",
         "# the bench\nCOM1=/dev/ttyACM0 data=7  # the board\nCOM2 /dev/ttyUSB2\nLPT1=/dev/lp0\n",
         "COM1  /dev/ttyACM0 data=7  (from @ line 2)\n"
         "COM2  cannot be used: no '=' after COM2  (from @ line 3)\n"
         "ports file: @\n"
         "  line 3: no '=' after COM2\n"
         "  line 4: not a COMn=device line\n" +
             devices("", opens)},
        {"a file that cannot be read", "", "/",
         "COM1  cannot be used: a directory, not a regular file  (from @)\n"
         "COM2  cannot be used: a directory, not a regular file  (from @)\n"
         "ports file: @ cannot be used: a directory, not a regular file\n" +
             devices("", "")},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        const PortsFileFixture file(row.file != nullptr ? row.file : "");
        if (row.file == nullptr || std::string_view(row.file) == "/")
            fs::remove(file.path());
        if (row.file != nullptr && std::string_view(row.file) == "/")
            fs::create_directory(file.path());
        const PortMapping com1("COM1", row.com1.empty() ? std::nullopt
                                                        : std::optional<std::string>(row.com1));
        const PortMapping com2("COM2", std::nullopt);
        std::string expected = row.expected;
        for (std::size_t at; (at = expected.find('@')) != std::string::npos;)
            expected.replace(at, 1, file.path());
        testing::internal::CaptureStderr();
        EXPECT_EQ(portsReport(root.string()), expected);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "listed, not told";
    }
    fs::remove_all(root);
}

} // namespace
