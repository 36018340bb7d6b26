#include "device_map.h"

#include <cstdlib>

std::vector<std::string> portsFiles()
{
    const char *config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && *config == '/')
        return {std::string(config) + "/comterm/ports.conf"};
    const char *home = std::getenv("HOME");
    if (home != nullptr && *home == '/')
        return {std::string(home) + "/.config/comterm/ports.conf"};
    return {};
}

std::string deviceOf(std::string_view value)
{
    return !value.empty() && value.front() == '/' ? std::string(value) : std::string();
}

std::string defaultDevice(unsigned number)
{
    return "/dev/ttyS" + std::to_string(number - 1);
}
