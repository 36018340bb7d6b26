#include "port_list.h"

#include "device_map.h"

#include <algorithm>
#include <utility>

namespace {

using Ports = std::vector<std::pair<std::string, PortDevice>>;

// A device as the ports file would name it: in double quotes when it holds a
// blank.
std::string written(const std::string &path)
{
    return path.find_first_of(" \t") == std::string::npos ? path : '"' + path + '"';
}

std::string portLine(const std::string &name, const PortDevice &device, const std::string &root)
{
    std::string line = name + "  ";
    if (!device.problem.empty())
        return line + "cannot be used: " + device.problem + "  (" + sourceOf(name, device) + ")\n";
    line += written(device.path);
    if (!device.settings.empty())
        line += ' ' + device.settings;
    line += "  (" + sourceOf(name, device);
    if (!devicePresent(device.path, root))
        line += "; not present";
    return line + ")\n";
}

// The ports file in use and its unusable lines, or where one would be read.
std::string fileLines()
{
    const std::vector<std::string> files = portsFiles();
    for (const std::string &path : files) {
        const FileRead read = readPortsFile(path);
        if (read.state == FileRead::State::Missing)
            continue;
        if (read.state == FileRead::State::Unusable)
            return "ports file: " + path + " cannot be used: " + read.problem + '\n';
        std::string text = "ports file: " + path + '\n';
        for (const PortsFile::Unusable &bad : parsePortsFile(read.text).badLines)
            text += "  line " + std::to_string(bad.line) + ": " + bad.problem + '\n';
        return text;
    }
    if (files.empty())
        return "ports file: none, and no folder to look for one in\n";
    std::string text = "ports file: none; comterm would read ";
    for (std::size_t i = 0; i < files.size(); ++i)
        text += (i == 0 ? "" : ", else ") + files[i];
    return text + '\n';
}

// Whether `port` opens `device`: it names it, or a link that leads to it.
bool opens(const PortDevice &port, const SerialDevice &device,
           const std::vector<SerialDevice> &devices)
{
    if (port.path.empty())
        return false;
    if (port.path == device.path)
        return true;
    for (const SerialDevice &link : devices)
        if (!link.target.empty() && link.path == port.path && link.target == device.path)
            return true;
    return false;
}

std::string deviceLines(const std::vector<SerialDevice> &devices, const Ports &ports)
{
    if (devices.empty())
        return "serial devices: none found\n";
    std::string text = "serial devices:\n";
    for (const SerialDevice &device : devices) {
        text += "  " + written(device.name);
        if (!device.about.empty())
            text += ' ' + device.about;
        std::string users;
        for (const auto &[name, port] : ports)
            if (opens(port, device, devices))
                users += (users.empty() ? "" : " and ") + name;
        if (!users.empty())
            text += "  (" + users + (users.size() > 4 ? " open it)" : " opens it)");
        text += '\n';
    }
    return text;
}

} // namespace

std::string portsReport(const std::string &root)
{
    // The lines that name no port are listed below, not told on stderr.
    Ports ports;
    std::string text;
    for (const char *name : {"COM1", "COM2"}) {
        ports.emplace_back(name, portDevice(name, false));
        text += portLine(name, ports.back().second, root);
    }
    // COM2 before COM10, and the ports before the devices of other names.
    std::vector<SerialDevice> devices = serialDevices(root);
    std::stable_sort(devices.begin(), devices.end(),
                     [](const SerialDevice &a, const SerialDevice &b) {
                         const unsigned first = portNumber(a.name), second = portNumber(b.name);
                         return first != 0 && (second == 0 || first < second);
                     });
    return text + fileLines() + deviceLines(devices, ports);
}
