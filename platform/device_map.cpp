#include "device_map.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>

namespace {

std::string_view trimmed(std::string_view s)
{
    constexpr std::string_view blanks = " \t\r";
    const auto first = s.find_first_not_of(blanks);
    if (first == std::string_view::npos)
        return {};
    return s.substr(first, s.find_last_not_of(blanks) - first + 1);
}

// The file's whole text; false when it cannot be read. (stdio rather than
// iostreams: the static Windows build would otherwise carry their locale
// machinery, several times the size of the rest of the program.)
bool readFile(const std::string &path, std::string &text)
{
    std::FILE *file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return false;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
        text.append(buffer, n);
    const bool read = std::ferror(file) == 0;
    std::fclose(file);
    return read;
}

constexpr std::string_view separators = " \t";

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
    return split;
}

unsigned portNumber(std::string_view name)
{
    constexpr std::string_view prefix = "COM";
    if (name.size() <= prefix.size() || name.substr(0, prefix.size()) != prefix)
        return 0;
    const std::string_view digits = name.substr(prefix.size());
    unsigned number = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    if (ec != std::errc{} || end != digits.data() + digits.size() || digits.front() == '0' ||
        number > 256)
        return 0;
    return number;
}

PortsFile parsePortsFile(std::string_view text)
{
    constexpr std::string_view bom = "\xEF\xBB\xBF";
    if (text.substr(0, bom.size()) == bom)
        text.remove_prefix(bom.size());
    PortsFile file;
    unsigned number = 0;
    while (!text.empty()) {
        ++number;
        const auto end = text.find('\n');
        const std::string_view line = trimmed(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.empty() || line.front() == '#' || line.front() == ';')
            continue;
        const auto equals = line.find('=');
        const unsigned port =
            equals == std::string_view::npos ? 0 : portNumber(trimmed(line.substr(0, equals)));
        PortValue value = port == 0 ? PortValue{} : splitValue(trimmed(line.substr(equals + 1)));
        std::string device = value.problem.empty() ? deviceOf(value.device) : std::string();
        if (device.empty())
            file.badLines.push_back(number);
        else
            file.ports[port] = {std::move(device), std::move(value.settings), number};
    }
    return file;
}

PortDevice portDevice(std::string_view name)
{
    const unsigned number = portNumber(name);
    if (number == 0)
        return {};
    if (const char *value = std::getenv(std::string(name).c_str()); value && *value) {
        // A value that names no device is still tried, so that the open
        // fails with the system's reason for it.
        PortValue split = splitValue(value);
        std::string path = deviceOf(split.device);
        PortDevice device;
        device.path = path.empty() ? split.device : std::move(path);
        device.settings = std::move(split.settings);
        device.source = PortDevice::Source::Variable;
        if (!split.problem.empty()) {
            device.path.clear();
            device.problem = std::move(split.problem);
        }
        return device;
    }
    for (const std::string &path : portsFiles()) {
        std::string text;
        if (!readFile(path, text))
            continue;
        const PortsFile file = parsePortsFile(text);
        for (const unsigned line : file.badLines)
            std::fprintf(stderr, "comterm: %s line %u: not a COMn=device line; skipped\n",
                         path.c_str(), line);
        if (const auto found = file.ports.find(number); found != file.ports.end()) {
            PortDevice device;
            device.path = found->second.path;
            device.settings = found->second.settings;
            device.source = PortDevice::Source::File;
            device.file = path;
            device.line = found->second.line;
            return device;
        }
        break; // the first file found is the user's; the others are not read
    }
    PortDevice device;
    device.path = defaultDevice(number);
    return device;
}

std::string describePort(std::string_view name, const PortDevice &device)
{
    std::string text(name);
    if (device.path.empty())
        return text;
    text += " (" + device.path + ", ";
    switch (device.source) {
    case PortDevice::Source::Variable:
        return text + "from the " + std::string(name) + " variable)";
    case PortDevice::Source::File:
        return text + "from " + device.file + " line " + std::to_string(device.line) + ")";
    case PortDevice::Source::Default:
        break;
    }
    return text + "the default)";
}

std::string mapHint(std::string_view name, std::string_view example)
{
    const std::vector<std::string> files = portsFiles();
    const std::string port(name);
    return "name its device in " + (files.empty() ? std::string("the ports file") : files.back()) +
           " (" + port + "=" + std::string(example) + ") or in the " + port + " variable";
}
