// libFuzzer target for the ports file: the input is the file's bytes, as
// read from disk (any encoding, any length the reader lets through).
//
// Properties, each ending the run with a message and a trap when broken:
// 1. Every port the file names is COM1 to COM256, at a line of the file, and
//    has either a device (an absolute path without a NUL) or a reason why it
//    cannot be used, never both and never neither.
// 2. Every unusable line is a line of the file and says why; one that names
//    a port is the one that port's entry holds when it is the port's last.
// 3. No crash, no hang, no undefined behaviour (ASan, UBSan, -timeout).
#include "device_map.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string_view>

namespace {

[[noreturn]] void fail(const char *property, unsigned line)
{
    std::fprintf(stderr, "ports file line %u, %s: broken\n", line, property);
    __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char *>(data), size);
    const PortsFile file = parsePortsFile(bytes);
    // A line ends at each '\n' (of UTF-16 text, at each unit that is one).
    const auto lines = static_cast<unsigned>(std::count(bytes.begin(), bytes.end(), '\n') + 1);
    for (const auto &[port, entry] : file.ports) {
        if (port < 1 || port > 256)
            fail("a port outside COM1 to COM256", entry.line);
        if (entry.line < 1 || entry.line > lines)
            fail("a port's line outside the file", entry.line);
        if (entry.path.empty() == entry.problem.empty())
            fail("a port with both a device and a problem, or neither", entry.line);
        if (entry.path.find('\0') != std::string::npos ||
            entry.settings.find('\0') != std::string::npos)
            fail("a NUL in a device or its settings", entry.line);
        if (!entry.path.empty() && entry.path.front() != '/')
            fail("a device that is no absolute path", entry.line);
        if (!entry.problem.empty() && !entry.settings.empty())
            fail("settings for a port that cannot be used", entry.line);
    }
    for (const PortsFile::Unusable &bad : file.badLines) {
        if (bad.line < 1 || bad.line > lines || bad.problem.empty())
            fail("an unusable line outside the file or without a reason", bad.line);
        if (bad.port > 256)
            fail("an unusable line naming a port outside COM1 to COM256", bad.line);
        if (bad.port != 0) {
            const auto found = file.ports.find(bad.port);
            if (found == file.ports.end() || found->second.line < bad.line ||
                (found->second.line == bad.line && found->second.problem != bad.problem))
                fail("an unusable line that its port's entry does not account for", bad.line);
        }
    }
    return 0;
}
