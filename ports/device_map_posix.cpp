#include "device_map.h"

#include "file_system.h"

std::vector<std::string> portsFiles()
{
    const std::string folder = userConfigFolder();
    if (folder.empty())
        return {};
    return {folder + "/comterm/ports.conf"};
}

std::string deviceOf(std::string_view value, std::string &problem)
{
    if (!value.empty() && value.front() == '/')
        return std::string(value);
    if (!value.empty() && value.front() == '~')
        problem = "'~' is not expanded: write the device's full path (" + std::string(value) + ")";
    else
        problem = "not an absolute path: " + std::string(value);
    return {};
}
