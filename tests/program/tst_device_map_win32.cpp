// Which device COM1 and COM2 stand for in the real comterm.exe under Wine:
// the COMn variable, else ports.conf beside the program, else the one in
// %APPDATA%\comterm, else the port itself; and the line on standard error
// that names the device and where it came from when it does not open.
//
// The program runs from a copy in a folder of the test's own, so that a
// ports.conf can lie beside it without touching the build folder, from which
// the other window tests start the program. COM7 and COM12 are
// pseudo-terminals through the prefix's dosdevices links; COM1 and COM2 are
// pseudo-terminals too, so that bytes that go to the standard port instead
// of the mapped one arrive somewhere the test can see. The links are made
// while the test runs, after Wine's mount manager has made its own at start
// (from the ports it finds and HKLM\Software\Wine\Ports), so ours count.
//
// Last, what the program answers on its command line (--ports and a refused
// argument): in the console of the program that started it, else in a box.
#include "device.h"
#include "program_window.h"
#include "tform1_layout.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace std::chrono_literals;

constexpr int Button1 = layout::control("Button1").id, Button2 = layout::control("Button2").id,
              mSend = layout::control("mSend").id, rdCOMItem1 = layout::radioItems[1].id;

std::string narrow(const std::wstring &text)
{
    return std::string(text.begin(), text.end()); // the test's paths are ASCII
}

std::wstring wide(const std::string &text)
{
    return std::wstring(text.begin(), text.end());
}

// A fresh folder holding a copy of comterm.exe, an APPDATA folder that the
// programs started meanwhile use, and the file their standard error goes to.
class ProgramFolder {
  public:
    explicit ProgramFolder(const wchar_t *appDataName = L"appdata") : appDataName_(appDataName)
    {
        static int count = 0;
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        folder_ = std::wstring(temp) + L"comterm-map-" + std::to_wstring(GetCurrentProcessId()) +
                  L'-' + std::to_wstring(++count);
        if (!CreateDirectoryW(folder_.c_str(), nullptr) ||
            !CreateDirectoryW(appData().c_str(), nullptr) ||
            !CreateDirectoryW((appData() + L"\\comterm").c_str(), nullptr) ||
            !CopyFileW(programPath().c_str(), exe().c_str(), TRUE))
            throw std::runtime_error("cannot set up the program's folder");
    }
    ~ProgramFolder()
    {
        // The program's image may stay locked a moment after it has ended.
        eventually([&] {
            for (const std::wstring &file : {exe(), besideFile(), appDataFile(), errors(),
                                             appData() + L"\\comterm", appData()})
                DeleteFileW(file.c_str()) || RemoveDirectoryW(file.c_str());
            return RemoveDirectoryW(folder_.c_str()) != FALSE;
        });
    }
    ProgramFolder(const ProgramFolder &) = delete;
    ProgramFolder &operator=(const ProgramFolder &) = delete;

    std::wstring exe() const { return folder_ + L"\\comterm.exe"; }
    std::wstring besideFile() const { return folder_ + L"\\ports.conf"; }
    std::wstring appData() const { return folder_ + L'\\' + appDataName_; }
    std::wstring appDataFile() const { return appData() + L"\\comterm\\ports.conf"; }
    std::wstring errors() const { return folder_ + L"\\stderr.txt"; }

    static void write(const std::wstring &path, const std::string &text)
    {
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        DWORD written = 0;
        if (file == INVALID_HANDLE_VALUE ||
            !WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr))
            throw std::runtime_error("cannot write " + narrow(path));
        CloseHandle(file);
    }

  private:
    std::wstring folder_, appDataName_;
};

// The devices a COM name can lead to.
enum Target { StandardCom1, StandardCom2, Com7, Com12 };
constexpr const char *targetNames[] = {"the standard COM1", "the standard COM2", "COM7", "COM12"};

struct MapRow {
    const char *name;
    const char *beside;  // ports.conf beside comterm.exe, if any
    const char *appData; // ports.conf in %APPDATA%\comterm, if any
    const char *com1;    // the COM1 variable, if set
    Target com1Target, com2Target;
    const char *skipped; // what is said of an unusable line, after the file's name
    const wchar_t *appDataName = L"appdata";
    bool besideInUtf16 = false; // saved as Notepad's "Unicode": UTF-16 LE with its BOM
};

// `text` (ASCII) as UTF-16 LE with its byte order mark.
std::string utf16(std::string_view text)
{
    std::string bytes = "\xFF\xFE";
    for (const char c : text) {
        bytes += c;
        bytes += '\0';
    }
    return bytes;
}

void PrintTo(const MapRow &row, std::ostream *out)
{
    *out << row.name;
}

const MapRow mapRows[] = {
    {"BesideTheProgram",
     "\xEF\xBB\xBF# the bench's adapters\r\n; COM1=COM3 is the old one\r\n\r\n"
     "  COM1 =  COM7 \r\nCOM2 = /dev/ttyUSB1\r\n\tCOM2=\\\\.\\COM12\r\n",
     nullptr, nullptr, Com7, Com12, nullptr},
    {"InAppDataWhenNoneIsBesideTheProgram", nullptr, "COM1=COM7\nCOM2=com12\n", nullptr, Com7,
     Com12, nullptr},
    {"BesideTheProgramHidesAppData", "COM1=COM12\r\n", "COM1=COM7\r\nCOM2=COM7\r\n", nullptr, Com12,
     StandardCom2, nullptr},
    // Korean is no part of code page 950: the short name stands in for it.
    {"InAppDataThatTheCodePageCannotSpell", nullptr, "COM1=COM12\nCOM2=COM7\n", nullptr, Com12,
     Com7, nullptr, L"appdata-\uD55C"},
    {"UnicodeBesideTheProgramInAnyCase", "com1=com7\r\n Com2 = \\\\.\\COM12 # the spare\r\n",
     nullptr, nullptr, Com7, Com12, nullptr, L"appdata", true},
    {"TheVariableBeforeTheFile", "COM1=COM12\r\nCOM2=\\\\.\\COM12\r\n", "COM1=COM12\r\n",
     "\\\\.\\COM7", Com7, Com12, nullptr},
};

class DeviceMap : public ::testing::TestWithParam<MapRow> {
  protected:
    Device devices[4];
    PortMapping map1{"COM1", devices[StandardCom1].path()};
    PortMapping map2{"COM2", devices[StandardCom2].path()};
    PortMapping map7{"COM7", devices[Com7].path()};
    PortMapping map12{"COM12", devices[Com12].path()};
    ProgramFolder folder{GetParam().appDataName};
    ScopedVariable appData{L"APPDATA", folder.appData()};
    ScopedVariable noCom2{L"COM2", std::nullopt};
};

TEST_P(DeviceMap, OpenSendsToTheMappedDevice)
{
    const MapRow &row = GetParam();
    if (row.beside)
        ProgramFolder::write(folder.besideFile(),
                             row.besideInUtf16 ? utf16(row.beside) : std::string(row.beside));
    if (row.appData)
        ProgramFolder::write(folder.appDataFile(), row.appData);
    const ScopedVariable com1(L"COM1", row.com1 ? std::optional(wide(row.com1)) : std::nullopt);
    ProgramWindow program(folder.exe(), L"Form1", folder.errors());

    for (const int index : {0, 1}) {
        const std::string port = "COM" + std::to_string(index + 1);
        const Target target = index == 0 ? row.com1Target : row.com2Target;
        SCOPED_TRACE(port + " should reach " + targetNames[target]);
        if (index == 1)
            program.click(program.control(rdCOMItem1));
        EXPECT_EQ(program.clickForBox(program.control(Button1)), std::nullopt);
        setText(program.control(mSend), wide("to " + port));
        EXPECT_EQ(program.clickForBox(program.control(Button2)), std::nullopt);
        EXPECT_EQ(devices[target].read(7, 5s), "to " + port);
        for (int other = StandardCom1; other <= Com12; ++other)
            if (other != target) {
                EXPECT_EQ(devices[other].read(1, 100ms), "") << "at " << targetNames[other];
            }
    }
    if (std::string_view(row.name) == mapRows[0].name)
        program.screenshot(L"Form1-ports-conf.bmp"); // for a person to look at

    // Each open reads the file again, and names the line it skips each time.
    std::vector<std::string> expected;
    if (row.skipped)
        expected.assign(2, "comterm: " + narrow(folder.besideFile()) + ' ' + row.skipped);
    EXPECT_EQ(fileLines(folder.errors()), expected);
}

INSTANTIATE_TEST_SUITE_P(Sources, DeviceMap, ::testing::ValuesIn(mapRows),
                         [](const auto &info) { return std::string(info.param.name); });

// The system's text for `error` as the program's line gives it: in the
// user's language and ANSI code page, without its closing full stop (a
// Chinese one too) and line break.
std::string systemReason(DWORD error)
{
    wchar_t text[512] = {};
    std::wstring reason(text,
                        FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                       nullptr, error, 0, text, 512, nullptr));
    while (!reason.empty() &&
           (reason.back() == L'.' || reason.back() == L'\u3002' || reason.back() == L' ' ||
            reason.back() == L'\r' || reason.back() == L'\n'))
        reason.pop_back();
    char ansi[1024] = {};
    return std::string(ansi, WideCharToMultiByte(CP_ACP, 0, reason.c_str(),
                                                 static_cast<int>(reason.size()), ansi, 1024,
                                                 nullptr, nullptr));
}

enum class Source { Variable, File, Default };

struct FailureRow {
    const char *name;
    const char *com1;       // the COM1 variable, if set
    const char *beside;     // ports.conf beside comterm.exe, if any
    const char *nullDevice; // a port mapped to /dev/null, if any
    int index;              // the radio item
    const char *caption;    // of the box
    const char *device;     // the device the line names
    Source source;
    DWORD error;        // whose system text the line gives; 0: any
    const char *advice; // what the line ends in after the system's text
};

void PrintTo(const FailureRow &row, std::ostream *out)
{
    *out << row.name;
}

// Wine opens /dev/ttyS<n-1> for a COMn that no link maps; none of these exist here.
const FailureRow failureRows[] = {
    {"MissingDeviceFromTheVariable", "COM99", nullptr, nullptr, 0, "Comm Error", "\\\\.\\COM99",
     Source::Variable, ERROR_FILE_NOT_FOUND, ""},
    {"MissingDeviceFromTheFile", nullptr, "# spare\r\n COM2 = COM98\r\n", nullptr, 1, "Comm Error",
     "\\\\.\\COM98", Source::File, ERROR_FILE_NOT_FOUND, ""},
    {"MissingStandardPort", nullptr, nullptr, nullptr, 1, "Comm Error", "\\\\.\\COM2",
     Source::Default, ERROR_FILE_NOT_FOUND,
     "; name its device in %APPDATA% (COM2=COM7) or in the COM2 variable"},
    {"MissingStandardPortBesideAFile", nullptr, "COM1=COM7\r\n", nullptr, 1, "Comm Error",
     "\\\\.\\COM2", Source::Default, ERROR_FILE_NOT_FOUND,
     "; name its device in %BESIDE% (COM2=COM7) or in the COM2 variable"},
    {"NotASerialPort", "COM97", nullptr, "COM97", 0, "Set Error", "\\\\.\\COM97", Source::Variable,
     0, "; not a serial port"},
};

class OpenFailure : public ::testing::TestWithParam<FailureRow> {};

TEST_P(OpenFailure, OneLineOnStandardErrorNamesTheDeviceItsSourceAndTheReason)
{
    const FailureRow &row = GetParam();
    if (row.source == Source::Default &&
        GetFileAttributesW(L"Z:\\dev\\ttyS1") != INVALID_FILE_ATTRIBUTES)
        GTEST_SKIP() << "this machine has a /dev/ttyS1, which Wine opens as COM2";
    ProgramFolder folder;
    const ScopedVariable appData(L"APPDATA", folder.appData());
    const ScopedVariable com1(L"COM1", row.com1 ? std::optional(wide(row.com1)) : std::nullopt);
    const ScopedVariable com2(L"COM2", std::nullopt);
    std::optional<PortMapping> nullDevice;
    if (row.nullDevice)
        nullDevice.emplace(row.nullDevice, "/dev/null");
    if (row.beside)
        ProgramFolder::write(folder.besideFile(), row.beside);
    ProgramWindow program(folder.exe(), L"Form1", folder.errors());
    if (row.index == 1)
        program.click(program.control(rdCOMItem1));
    const auto box = program.clickForBox(program.control(Button1));
    EXPECT_EQ(box ? narrow(box->caption) : "no box", row.caption);

    const std::string port = "COM" + std::to_string(row.index + 1);
    const std::string source = row.source == Source::Variable ? "from the " + port + " variable"
                               : row.source == Source::File
                                   ? "from " + narrow(folder.besideFile()) + " line 2"
                                   : "the default";
    const std::string start = "comterm: " + port + " (" + row.device + ", " + source + "): ";
    std::string advice = row.advice;
    if (const auto at = advice.find("%APPDATA%"); at != std::string::npos)
        advice.replace(at, 9, narrow(folder.appDataFile()));
    if (const auto at = advice.find("%BESIDE%"); at != std::string::npos)
        advice.replace(at, 8, narrow(folder.besideFile()));
    const auto lines = fileLines(folder.errors());
    ASSERT_EQ(lines.size(), 1u) << ::testing::PrintToString(lines);
    const std::string &line = lines[0];
    if (row.error != 0) {
        EXPECT_EQ(line, start + systemReason(row.error) + advice);
    } else {
        EXPECT_EQ(line.substr(0, start.size()), start) << line;
        EXPECT_GT(line.size(), start.size() + advice.size()) << line << ": no system reason";
        EXPECT_EQ(line.substr(line.size() - std::min(line.size(), advice.size())), advice) << line;
    }
}

INSTANTIATE_TEST_SUITE_P(Devices, OpenFailure, ::testing::ValuesIn(failureRows),
                         [](const auto &info) { return std::string(info.param.name); });

// A run that asks for an ANSI code page (--ansi-code-page=N) runs in it, so
// that the tables above were seen there.
TEST(CodePage, IsTheOneTheRunAsksFor)
{
    const std::wstring_view line = GetCommandLineW();
    constexpr std::wstring_view option = L"--ansi-code-page=";
    const auto at = line.find(option);
    if (at == std::wstring_view::npos)
        GTEST_SKIP() << "no code page asked for; this run has " << GetACP();
    EXPECT_EQ(std::to_wstring(GetACP()), line.substr(at + option.size(), 5));
}

// A serial port in the system's list of them (the SERIALCOMM device map),
// as a driver enters it, while it lives.
class ListedPort {
  public:
    ListedPort(const wchar_t *driverDevice, const wchar_t *port) : driverDevice_(driverDevice)
    {
        const auto size = static_cast<DWORD>((wcslen(port) + 1) * sizeof(wchar_t));
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, nullptr,
                            REG_OPTION_VOLATILE, KEY_SET_VALUE, nullptr, &key_,
                            nullptr) != ERROR_SUCCESS ||
            RegSetValueExW(key_, driverDevice, 0, REG_SZ, reinterpret_cast<const BYTE *>(port),
                           size) != ERROR_SUCCESS)
            throw std::runtime_error("cannot list the port");
    }
    ~ListedPort()
    {
        RegDeleteValueW(key_, driverDevice_.c_str());
        RegCloseKey(key_);
    }
    ListedPort(const ListedPort &) = delete;
    ListedPort &operator=(const ListedPort &) = delete;

  private:
    HKEY key_ = nullptr;
    std::wstring driverDevice_;
};

// The console's text, one string a row, without the blanks after it.
std::vector<std::string> consoleRows(HANDLE console)
{
    CONSOLE_SCREEN_BUFFER_INFO info{};
    std::vector<std::string> rows;
    if (!GetConsoleScreenBufferInfo(console, &info))
        return rows;
    for (SHORT y = 0; y <= info.dwCursorPosition.Y; ++y) {
        std::wstring row(static_cast<std::size_t>(info.dwSize.X), L' ');
        DWORD read = 0;
        ReadConsoleOutputCharacterW(console, row.data(), static_cast<DWORD>(row.size()), {0, y},
                                    &read);
        row.resize(std::min<std::size_t>(read, row.find_last_not_of(L' ') + 1));
        rows.push_back(narrow(row));
    }
    return rows;
}

struct AnswerRow {
    const char *name;
    const wchar_t *argument;
    bool console; // started from a console; else from none (Explorer)
    DWORD status;
    std::vector<std::string> lines; // what it shows, after its first lines as given
};

void PrintTo(const AnswerRow &row, std::ostream *out)
{
    *out << row.name;
}

const AnswerRow answerRows[] = {
    {"PortsInTheConsole",
     L"--ports",
     true,
     0,
     {"COM1  \\\\.\\COM7 baud=115200  (from @ line 1)",
      "COM2  cannot be used: no '=' after COM2  (from @ line 2)", "ports file: @",
      "  line 2: no '=' after COM2", "serial devices:"}},
    {"PortsInABox",
     L"--ports",
     false,
     0,
     {"COM1  \\\\.\\COM7 baud=115200  (from @ line 1)",
      "COM2  cannot be used: no '=' after COM2  (from @ line 2)", "ports file: @",
      "  line 2: no '=' after COM2", "serial devices:"}},
    {"RefusalInTheConsole",
     L"extra --help",
     true,
     2,
     {"comterm: unexpected argument extra (comterm --help lists the options)"}},
};

// What comterm.exe answers on its command line, where a user sees it: in
// the console of the command prompt it was started from, else in a box.
class Answers : public ::testing::TestWithParam<AnswerRow> {};

// A visible message box (a window with a static text 0xFFFF) of process
// `pid`, for EnumWindows.
struct BoxSearch {
    DWORD pid;
    HWND found = nullptr;
};

BOOL CALLBACK findBox(HWND window, LPARAM param)
{
    auto &search = *reinterpret_cast<BoxSearch *>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search.pid && IsWindowVisible(window) && GetDlgItem(window, 0xFFFF) != nullptr)
        search.found = window;
    return search.found == nullptr;
}

TEST_P(Answers, ShowWhereTheUserStartedTheProgram)
{
    const AnswerRow &row = GetParam();
    ProgramFolder folder;
    const ScopedVariable appData(L"APPDATA", folder.appData());
    const ScopedVariable com1(L"COM1", std::nullopt), com2(L"COM2", std::nullopt);
    ProgramFolder::write(folder.besideFile(), "COM1=COM7 baud=115200\r\nCOM2 COM12\r\n");
    Device device;
    const PortMapping com7("COM7", device.path());
    const ListedPort listed(L"\\Device\\ComtermTest7", L"COM7");

    // A console of the test's own, wide enough for every line, or none.
    FreeConsole();
    HANDLE console = INVALID_HANDLE_VALUE;
    if (row.console) {
        ASSERT_TRUE(AllocConsole());
        console =
            CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(console, INVALID_HANDLE_VALUE);
        SetConsoleScreenBufferSize(console, {300, 100});
    }
    // No standard handles: started from a prompt, a window program has none.
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    PROCESS_INFORMATION process{};
    std::wstring command = L'"' + folder.exe() + L"\" " + row.argument;
    ASSERT_TRUE(CreateProcessW(folder.exe().c_str(), command.data(), nullptr, nullptr, FALSE, 0,
                               nullptr, nullptr, &startup, &process));
    std::vector<std::string> shown;
    if (!row.console) {
        const auto box = [&process] {
            BoxSearch search{process.dwProcessId};
            EnumWindows(&findBox, reinterpret_cast<LPARAM>(&search));
            return search.found;
        };
        const HWND found = pollFor(box, 30s);
        ASSERT_NE(found, nullptr) << "no box";
        EXPECT_EQ(textOf(found), L"comterm");
        std::string text = narrow(textOf(GetDlgItem(found, 0xFFFF)));
        for (std::size_t end; (end = text.find('\n')) != std::string::npos; text.erase(0, end + 1))
            shown.push_back(text.substr(0, end));
        PostMessageW(found, WM_COMMAND, IDOK, 0);
    }
    const std::optional<DWORD> status = exitStatusOf(process, 30000);
    if (row.console) {
        shown = consoleRows(console);
        CloseHandle(console);
        FreeConsole();
    }

    EXPECT_EQ(status, std::optional<DWORD>(row.status));
    std::vector<std::string> expected = row.lines;
    for (std::string &line : expected)
        if (const auto at = line.find('@'); at != std::string::npos)
            line.replace(at, 1, narrow(folder.besideFile()));
    ASSERT_GE(shown.size(), expected.size()) << ::testing::PrintToString(shown);
    EXPECT_EQ(std::vector(shown.begin(), shown.begin() + std::ssize(expected)), expected);
    if (row.status == 0) {
        EXPECT_NE(
            std::find(shown.begin(), shown.end(), "  COM7 \\Device\\ComtermTest7  (COM1 opens it)"),
            shown.end())
            << ::testing::PrintToString(shown);
    }
}

INSTANTIATE_TEST_SUITE_P(CommandLine, Answers, ::testing::ValuesIn(answerRows),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
