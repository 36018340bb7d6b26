#include "serial_devices.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string_view>

#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

// The number after `prefix` in a name such as ttyUSB12, or nothing when the
// name is not `prefix` and digits.
std::optional<unsigned long> numberAfter(std::string_view name, std::string_view prefix)
{
    if (name.size() <= prefix.size() || name.size() > prefix.size() + 9 ||
        name.substr(0, prefix.size()) != prefix)
        return std::nullopt;
    unsigned long number = 0;
    for (const char c : name.substr(prefix.size())) {
        if (c < '0' || c > '9')
            return std::nullopt;
        number = number * 10 + static_cast<unsigned long>(c - '0');
    }
    return number;
}

// `path` as a user writes it: without the leading `root`.
std::string shown(const fs::path &path, const std::string &root)
{
    const std::string text = path.string();
    if (!root.empty() && text.starts_with(root) && text.size() > root.size() &&
        text[root.size()] == '/')
        return text.substr(root.size());
    return text;
}

// Whether the kernel found a UART behind the 8250-style port `name`: sysfs
// gives its type (0 when there is none), or, for a driver that does not
// tell, whether a driver holds the port.
bool hasUart(const std::string &root, const std::string &name)
{
    const std::string sys = root + "/sys/class/tty/" + name;
    std::ifstream typeFile(sys + "/type");
    if (long type = 0; typeFile >> type)
        return type != 0;
    struct stat st {};
    return ::stat((sys + "/device/driver").c_str(), &st) == 0;
}

} // namespace

std::vector<SerialDevice> serialDevices(const std::string &root)
{
    std::vector<SerialDevice> devices;
    const fs::path dev = root + "/dev";
    std::error_code ec;

    // The names that stay the same for the same adapter, first.
    std::vector<SerialDevice> links;
    for (const fs::directory_entry &entry : fs::directory_iterator(dev / "serial" / "by-id", ec)) {
        std::error_code linkError;
        const fs::path target = fs::read_symlink(entry.path(), linkError);
        SerialDevice device{shown(entry.path(), root), {}, shown(entry.path(), root), {}};
        if (!linkError) {
            const fs::path resolved =
                target.is_absolute() ? target : (entry.path().parent_path() / target);
            device.target = shown(resolved.lexically_normal(), root);
            device.about = "-> " + device.target;
        }
        links.push_back(std::move(device));
    }
    std::sort(links.begin(), links.end(),
              [](const SerialDevice &a, const SerialDevice &b) { return a.name < b.name; });
    devices = std::move(links);

    // Then the devices themselves, each kind by number.
    constexpr std::string_view kinds[] = {"ttyUSB", "ttyACM", "ttyS"};
    std::vector<std::pair<unsigned long, std::string>> found[std::size(kinds)];
    for (const fs::directory_entry &entry : fs::directory_iterator(dev, ec)) {
        const std::string name = entry.path().filename().string();
        for (std::size_t kind = 0; kind < std::size(kinds); ++kind)
            if (const auto number = numberAfter(name, kinds[kind]))
                if (kinds[kind] != "ttyS" || hasUart(root, name))
                    found[kind].emplace_back(*number, name);
    }
    for (auto &names : found) {
        std::sort(names.begin(), names.end());
        for (const auto &[number, name] : names)
            devices.push_back({"/dev/" + name, {}, "/dev/" + name, {}});
    }
    return devices;
}

std::string standardSerialDevice(unsigned number)
{
    return "/dev/ttyS" + std::to_string(number - 1);
}

bool devicePresent(const std::string &path, const std::string &root)
{
    struct stat st {};
    return ::stat((root + path).c_str(), &st) == 0;
}
