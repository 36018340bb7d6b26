#include "application.h"
#include "tform1.h"

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Whether the window system Qt will use can be reached. Qt itself would end
// the program with an abort and several lines of advice; one line is enough.
bool displayAvailable(int argc, char **argv)
{
#if defined(Q_OS_LINUX) || defined(Q_OS_FREEBSD)
    const auto set = [](const char *name) {
        const char *value = std::getenv(name);
        return value != nullptr && *value != '\0';
    };
    const char *platform = std::getenv("QT_QPA_PLATFORM");
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "-platform") == 0)
            platform = argv[i + 1];
    if (platform == nullptr || *platform == '\0')
        return set("DISPLAY") || set("WAYLAND_DISPLAY");
    if (std::strncmp(platform, "xcb", 3) == 0)
        return set("DISPLAY");
    if (std::strncmp(platform, "wayland", 7) == 0)
        return set("WAYLAND_DISPLAY");
#else
    (void)argc;
    (void)argv;
#endif
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    // The text on the line is in the locale's character set.
    std::setlocale(LC_ALL, "");
    if (!displayAvailable(argc, argv)) {
        std::fputs("comterm: no display to open the window on (DISPLAY and WAYLAND_DISPLAY are "
                   "not set)\n",
                   stderr);
        return 1;
    }
    TApplication application(argc, argv);
    return Application->RunProtected([] {
        Application->Initialize();
        Application->CreateForm(Form1);
        Application->Run();
    });
}
