#include "device_map.h"

#include "serial_devices.h"
#include "system_text.h"

#include <cstdio>
#include <cstdlib>

namespace {

constexpr std::string_view separators = " \t";

std::string_view trimmed(std::string_view s)
{
    constexpr std::string_view blanks = " \t\r";
    const auto first = s.find_first_not_of(blanks);
    if (first == std::string_view::npos)
        return {};
    return s.substr(first, s.find_last_not_of(blanks) - first + 1);
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// `line` up to the comment it ends in: a '#' after a blank, outside a quoted
// device.
std::string_view withoutComment(std::string_view line)
{
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '"')
            quoted = !quoted;
        else if (line[i] == '#' && !quoted && i > 0 &&
                 separators.find(line[i - 1]) != std::string_view::npos)
            return trimmed(line.substr(0, i));
    }
    return line;
}

// The 16-bit units of UTF-16 text after its byte order mark; an odd last
// byte is U+FFFD.
std::u16string utf16Units(std::string_view bytes, bool bigEndian)
{
    std::u16string units;
    units.reserve(bytes.size() / 2 + 1);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const auto first = static_cast<unsigned char>(bytes[i]);
        const auto second = static_cast<unsigned char>(bytes[i + 1]);
        units += static_cast<char16_t>(bigEndian ? first << 8 | second : second << 8 | first);
    }
    if (bytes.size() % 2 != 0)
        units += u'\uFFFD';
    return units;
}

// The file's text without its byte order mark: UTF-16 in the narrow text of
// the platform's file names, UTF-8 and text without a mark as they are.
std::string decodedText(std::string_view bytes)
{
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF")
        return std::string(bytes.substr(3));
    if (bytes.substr(0, 2) == "\xFF\xFE")
        return nativeText(utf16Units(bytes.substr(2), false));
    if (bytes.substr(0, 2) == "\xFE\xFF")
        return nativeText(utf16Units(bytes.substr(2), true));
    return std::string(bytes);
}

// The device and settings a value names, or why it cannot be used.
PortValue portValue(std::string_view value)
{
    PortValue split = splitValue(value);
    if (split.problem.empty()) {
        const std::string device = deviceOf(split.device, split.problem);
        split.device = split.problem.empty() ? device : std::string();
    }
    if (!split.problem.empty()) {
        split.device.clear();
        split.settings.clear();
    }
    return split;
}

} // namespace

PortValue splitValue(std::string_view value)
{
    value = trimmed(value);
    PortValue split;
    std::string_view rest;
    if (!value.empty() && value.front() == '"') {
        const auto close = value.find('"', 1);
        if (close == std::string_view::npos) {
            split.problem = "no closing '\"' after the device";
            return split;
        }
        split.device = value.substr(1, close - 1);
        rest = value.substr(close + 1);
        if (!rest.empty() && separators.find(rest.front()) == std::string_view::npos) {
            split.problem = "no blank after the device's closing '\"'";
            return split;
        }
    } else {
        const auto end = value.find_first_of(separators);
        split.device = value.substr(0, end);
        rest = value.substr(end == std::string_view::npos ? value.size() : end);
    }
    split.settings = trimmed(rest);
    if (split.device.empty())
        split.problem = "no device after the '='";
    else if (split.device.find('\0') != std::string::npos)
        split.problem = "a NUL byte in the device";
    return split;
}

unsigned portNumber(std::string_view name)
{
    constexpr std::string_view prefix = "COM";
    if (name.size() <= prefix.size() || name.substr(0, prefix.size()) != prefix)
        return 0;
    const std::string_view digits = name.substr(prefix.size());
    if (digits.size() > 3 || digits.front() == '0')
        return 0;
    unsigned number = 0;
    for (const char c : digits) {
        if (!isDigit(c))
            return 0;
        number = number * 10 + static_cast<unsigned>(c - '0');
    }
    return number <= 256 ? number : 0;
}

PortsFile parsePortsFile(std::string_view bytes)
{
    const std::string decoded = decodedText(bytes);
    std::string_view text = decoded;
    PortsFile file;
    unsigned number = 0;
    while (!text.empty()) {
        ++number;
        const auto end = text.find('\n');
        std::string_view line = trimmed(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.empty() || line.front() == '#' || line.front() == ';')
            continue;
        line = withoutComment(line);
        // The port the line names: "COM" in any case and its number.
        std::size_t digitsEnd = 3;
        while (digitsEnd < line.size() && isDigit(line[digitsEnd]))
            ++digitsEnd;
        std::string name(line.substr(0, digitsEnd));
        for (char &c : name)
            if (c >= 'a' && c <= 'z')
                c = static_cast<char>(c - 'a' + 'A');
        const unsigned port = portNumber(name);
        if (port == 0) {
            file.badLines.push_back({number, 0, "not a COMn=device line"});
            continue;
        }
        PortValue value;
        const std::string_view rest = trimmed(line.substr(digitsEnd));
        if (line.find('\0') != std::string_view::npos)
            value.problem = "a NUL byte in the line";
        else if (rest.empty() || rest.front() != '=')
            value.problem = "no '=' after " + name;
        else
            value = portValue(rest.substr(1));
        if (!value.problem.empty())
            file.badLines.push_back({number, port, value.problem});
        file.ports[port] = {std::move(value.device), std::move(value.settings), number,
                            std::move(value.problem)};
    }
    return file;
}

PortDevice portDevice(std::string_view name, bool tellSkippedLines)
{
    const unsigned number = portNumber(name);
    if (number == 0)
        return {};
    PortDevice device;
    if (const char *value = std::getenv(std::string(name).c_str()); value && *value) {
        PortValue split = portValue(value);
        device.path = std::move(split.device);
        device.settings = std::move(split.settings);
        device.source = PortDevice::Source::Variable;
        if (!split.problem.empty())
            device.problem = std::move(split.problem);
        return device;
    }
    for (const std::string &path : portsFiles()) {
        FileRead read = readPortsFile(path);
        if (read.state == FileRead::State::Missing)
            continue;
        // The first file found is the user's; the others are not read.
        device.source = PortDevice::Source::File;
        device.file = path;
        if (read.state == FileRead::State::Unusable) {
            device.problem = std::move(read.problem);
            return device;
        }
        const PortsFile file = parsePortsFile(read.text);
        for (const PortsFile::Unusable &bad : file.badLines)
            if (bad.port == 0 && tellSkippedLines)
                std::fprintf(stderr, "comterm: %s line %u: %s; ignored\n", path.c_str(), bad.line,
                             bad.problem.c_str());
        if (const auto found = file.ports.find(number); found != file.ports.end()) {
            device.path = found->second.path;
            device.settings = found->second.settings;
            device.line = found->second.line;
            device.problem = found->second.problem;
            return device;
        }
        device = {};
        break;
    }
    device.path = standardSerialDevice(number);
    return device;
}

FileRead readPortsFile(const std::string &path)
{
    return readSmallFile(path, maxPortsFileSize);
}

std::string sourceOf(std::string_view name, const PortDevice &device)
{
    switch (device.source) {
    case PortDevice::Source::Variable:
        return "from the " + std::string(name) + " variable";
    case PortDevice::Source::File:
        return "from " + device.file +
               (device.line != 0 ? " line " + std::to_string(device.line) : std::string());
    case PortDevice::Source::Default:
        break;
    }
    return "the default";
}

std::string describePort(std::string_view name, const PortDevice &device)
{
    std::string text(name);
    if (device.path.empty() && device.problem.empty())
        return text;
    text += " (";
    if (!device.path.empty())
        text += device.path + ", ";
    return text + sourceOf(name, device) + ")";
}

std::string mapHint(std::string_view name, std::string_view example)
{
    // The file in use: the first that exists, else the last place looked in.
    const std::vector<std::string> files = portsFiles();
    std::string file = files.empty() ? std::string("the ports file") : files.back();
    for (const std::string &path : files)
        if (readPortsFile(path).state != FileRead::State::Missing) {
            file = path;
            break;
        }
    const std::string port(name);
    return "name its device in " + file + " (" + port + "=" + std::string(example) +
           ") or in the " + port + " variable";
}
