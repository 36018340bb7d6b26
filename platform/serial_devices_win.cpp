#include "serial_devices.h"

#include <windows.h>

#include <algorithm>
#include <string_view>

std::vector<SerialDevice> serialDevices(const std::string &)
{
    // The system's list of the serial ports its drivers made: one value a
    // port, named after the driver's device and holding the port's name.
    std::vector<SerialDevice> devices;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_QUERY_VALUE,
                      &key) != ERROR_SUCCESS)
        return devices;
    for (DWORD index = 0;; ++index) {
        char driverDevice[256];
        BYTE data[256];
        DWORD nameSize = sizeof driverDevice, dataSize = sizeof data, type = 0;
        const LONG result =
            RegEnumValueA(key, index, driverDevice, &nameSize, nullptr, &type, data, &dataSize);
        if (result == ERROR_NO_MORE_ITEMS)
            break;
        if (result != ERROR_SUCCESS || type != REG_SZ)
            continue;
        std::string port(reinterpret_cast<const char *>(data), dataSize);
        port.resize(std::min(port.size(), port.find('\0')));
        if (port.empty())
            continue;
        devices.push_back({port, std::string(driverDevice, nameSize), "\\\\.\\" + port, {}});
    }
    RegCloseKey(key);
    std::sort(devices.begin(), devices.end(),
              [](const SerialDevice &a, const SerialDevice &b) { return a.name < b.name; });
    return devices;
}

std::string standardSerialDevice(unsigned number)
{
    return "\\\\.\\COM" + std::to_string(number);
}

bool devicePresent(const std::string &path, const std::string &)
{
    // A port name (\\.\COM7) is looked for among the system's device names
    // and its serial ports, neither of which opens it; a path of another form
    // is taken to be there.
    constexpr std::string_view prefix = "\\\\.\\";
    if (path.rfind(prefix, 0) != 0)
        return true;
    char target[1024];
    if (QueryDosDeviceA(path.substr(prefix.size()).c_str(), target, sizeof target) != 0 ||
        GetLastError() == ERROR_INSUFFICIENT_BUFFER)
        return true;
    for (const SerialDevice &device : serialDevices())
        if (device.path == path)
            return true;
    return false;
}
