#include "device_map.h"

#include <windows.h>

#include <cctype>
#include <cstdlib>

// Paths here are in the ANSI code page, as the narrow file functions take them.
std::vector<std::string> portsFiles()
{
    // Beside the executable first: a folder or a stick that carries its own.
    std::vector<std::string> files;
    std::string exe(MAX_PATH, '\0');
    DWORD n;
    while ((n = GetModuleFileNameA(nullptr, exe.data(), static_cast<DWORD>(exe.size()))) ==
               exe.size() &&
           exe.size() < 32768)
        exe.resize(exe.size() * 2);
    exe.resize(n < exe.size() ? n : 0);
    if (const auto slash = exe.find_last_of("\\/"); slash != std::string::npos)
        files.push_back(exe.substr(0, slash + 1) + "ports.conf");
    if (const char *appData = std::getenv("APPDATA"); appData != nullptr && *appData != '\0')
        files.push_back(std::string(appData) + "\\comterm\\ports.conf");
    return files;
}

std::string deviceOf(std::string_view value)
{
    if (value.substr(0, 2) == "\\\\")
        return std::string(value);
    std::string name(value);
    for (char &c : name)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return portNumber(name) != 0 ? "\\\\.\\" + name : std::string();
}

std::string defaultDevice(unsigned number)
{
    return "\\\\.\\COM" + std::to_string(number);
}
