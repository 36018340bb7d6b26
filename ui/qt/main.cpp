#include "application.h"
#include "end_signals.h"
#include "port.h"
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
    // Every way out frees the port. Qt itself ends the process with exit(1)
    // when the display connection breaks; the port is closed on the way.
    std::atexit(&serial::closePort);
    // SIGTERM, SIGHUP and SIGINT end the program as the close box does.
    EndSignals endSignals;
    QObject::connect(&endSignals, &EndSignals::arrived, &application, &TApplication::Terminate);
    const int status = Application->RunProtected([] {
        Application->Initialize();
        Application->CreateForm(Form1);
        Application->Run();
    });
    serial::closePort(); // the close box, Alt+F4, a signal
    return status;
}
