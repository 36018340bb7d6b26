#include "device_map.h"

#include "file_system.h"

#include <cctype>
#include <string>

std::vector<std::string> portsFiles()
{
    // Beside the executable first: a folder or a stick that carries its own.
    std::vector<std::string> files;
    if (const std::string folder = executableFolder(); !folder.empty())
        files.push_back(folder + "\\ports.conf");
    if (const std::string folder = userConfigFolder(); !folder.empty())
        files.push_back(folder + "\\comterm\\ports.conf");
    return files;
}

std::string deviceOf(std::string_view value, std::string &problem)
{
    if (value.substr(0, 2) == "\\\\")
        return std::string(value);
    std::string name(value);
    for (char &c : name)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (portNumber(name) != 0)
        return "\\\\.\\" + name;
    problem = "not a port name (COM7) or a device path (\\\\.\\COM7): " + std::string(value);
    return {};
}
