#include "application.h"
#include "end_signals.h"
#include "port.h"
#include "startup.h"
#include "tform1.h"

#include <clocale>
#include <cstdlib>

int main(int argc, char **argv)
{
    // The text on the line is in the locale's character set.
    std::setlocale(LC_ALL, "");
    if (const std::optional<int> status = answerCommandLine(argc, argv))
        return *status;
    DisplayFailureTrap trap;
    TApplication application(argc, argv);
    trap.release();
    // Every way out frees the port: the return below (the close box, Alt+F4,
    // a signal) and Qt's own exit(1) when the display connection breaks both
    // run the exit handlers.
    std::atexit(&serial::closePort);
    // SIGTERM, SIGHUP and SIGINT end the program as the close box does.
    EndSignals endSignals;
    QObject::connect(&endSignals, &EndSignals::arrived, &application, &TApplication::Terminate);
    return Application->RunProtected([] {
        Application->Initialize();
        Application->CreateForm(Form1);
        Application->Run();
    });
}
