// Which device a port name opens on Linux: the COMn variable, else the
// user's ports file, else the standard device; and what a ports file says.
#include "device_map.h"
#include "ports_file.h"
#include "pty_device.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <tuple>

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
        {"unusable lines are skipped and named", "COM1", nullptr,
         "COM1 /dev/ttyUSB0\nCOM1=ttyUSB0\nCOM0=/dev/ttyUSB0\ncom1=/dev/ttyUSB0\nCOM1=\n"
         "COM1=/dev/ttyUSB2\n",
         "/dev/ttyUSB2", Source::File, 6,
         "comterm: @ line 1: not a COMn=device line; skipped\n"
         "comterm: @ line 2: not a COMn=device line; skipped\n"
         "comterm: @ line 3: not a COMn=device line; skipped\n"
         "comterm: @ line 4: not a COMn=device line; skipped\n"
         "comterm: @ line 5: not a COMn=device line; skipped\n"},
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

TEST(DeviceMap, LineSettingsFollowTheDevice)
{
    // Through the file and through the variable alike: the value, the device
    // and the settings split off it.
    const std::tuple<const char *, const char *, const char *> rows[] = {
        {"/dev/ttyUSB0 baud=115200 parity=e", "/dev/ttyUSB0", "baud=115200 parity=e"},
        {"/dev/ttyUSB0\t baud=9600  data=7 ", "/dev/ttyUSB0", "baud=9600  data=7"},
        {"/dev/ttyUSB0", "/dev/ttyUSB0", ""},
        {"\"/dev/serial/by-id/usb-My Adapter-if00\" baud=115200",
         "/dev/serial/by-id/usb-My Adapter-if00", "baud=115200"},
        {"\"/dev/odd name\"", "/dev/odd name", ""},
    };
    for (const auto &[value, path, settings] : rows) {
        SCOPED_TRACE(value);
        const PortsFileFixture file(std::string("COM2=") + value + "\n");
        const PortDevice fromFile = portDevice("COM2");
        EXPECT_EQ(fromFile.path, path);
        EXPECT_EQ(fromFile.settings, settings);
        const PortMapping variable("COM2", std::string(value));
        const PortDevice fromVariable = portDevice("COM2");
        EXPECT_EQ(fromVariable.path, path);
        EXPECT_EQ(fromVariable.settings, settings);
    }
}

} // namespace
