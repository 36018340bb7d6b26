// The Wine prefix the tests run in, and the locale its processes run in.
#include "wine_driver.h"

#include "child_process.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include <fcntl.h>
#include <locale.h>
#include <unistd.h>

namespace fs = std::filesystem;

int runQuietly(const std::vector<std::string> &argv)
{
    const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
    const int status = waitExit(spawn(argv, {}, null, null));
    close(null);
    return status;
}

bool useLocale(const std::string &name, const fs::path &dir)
{
    const locale_t system = newlocale(LC_ALL_MASK, name.c_str(), nullptr);
    if (system != nullptr) {
        freelocale(system);
    } else {
        if (runQuietly({COMTERM_MAKE_LOCALES, dir.string(), name}) != 0) {
            std::fprintf(stderr, "wine_driver: cannot make the locale %s\n", name.c_str());
            return false;
        }
        setenv("LOCPATH", dir.c_str(), 1);
    }
    setenv("LC_ALL", name.c_str(), 1);
    setenv("LANG", name.c_str(), 1);
    return true;
}

namespace {

// Sets a registry value with `wine reg add ARGS` unless the registry file
// `file` already holds `stored`, the line the value makes there; whether it
// holds it afterwards.
bool ensureValue(const fs::path &file, const std::string &stored, const std::string &wine,
                 const std::string &server, std::vector<std::string> args)
{
    const auto holds = [&] {
        std::ifstream registry(file);
        const std::string text{std::istreambuf_iterator<char>(registry), {}};
        return text.find(stored) != std::string::npos;
    };
    if (holds())
        return true;
    args.insert(args.begin(), {wine, "reg", "add"});
    args.push_back("/f");
    runQuietly(args);
    runQuietly({server, "-w"}); // the registry is written when the server ends
    return holds();
}

} // namespace

bool preparesDesktop(const fs::path &prefix, const std::string &wine, const std::string &server)
{
    // Windows draws the dialog font's missing glyphs, Chinese among them, from
    // the fonts its font links name; Wine links no Chinese font to its dialog
    // font (Tahoma) unless its locale is Chinese. The prefix gets the link
    // that Windows has, to the Traditional Chinese face of Noto Sans CJK.
    const std::string link = "NotoSansCJK-Regular.ttc,Noto Sans CJK TC";
    if (!ensureValue(prefix / "system.reg", "\"Tahoma\"=str(7):\"" + link, wine, server,
                     {"HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\FontLink\\SystemLink",
                      "/v", "Tahoma", "/t", "REG_MULTI_SZ", "/d", link})) {
        std::fprintf(stderr, "wine_driver: cannot link a Chinese font to Tahoma\n");
        return false;
    }
    // No window manager runs on the driver's X server. Wine then draws the
    // windows' frames itself and places them where they ask, as Windows
    // does; left to wait for a manager, it would spend 2 s on every window
    // that closes, waiting for one to withdraw it.
    if (!ensureValue(prefix / "user.reg", "\"Managed\"=\"N\"", wine, server,
                     {"HKCU\\Software\\Wine\\X11 Driver", "/v", "Managed", "/d", "N"})) {
        std::fprintf(stderr, "wine_driver: cannot leave the windows to Wine\n");
        return false;
    }
    return true;
}
