#include "application.h"
#include "end_signals.h"
#include "port.h"
#include "startup.h"
#include "tform1.h"

#include <clocale>
#include <csignal>
#include <cstdlib>

int main(int argc, char **argv)
{
    // A write to a pipe nobody reads any more (standard error, after the
    // launcher went away) fails instead of ending the program.
    std::signal(SIGPIPE, SIG_IGN);
    // The text on the line is in the locale's character set.
    std::setlocale(LC_ALL, "");
    if (const std::optional<int> status = answerCommandLine(argc, argv))
        return *status;
    DisplayFailureTrap trap;
    TApplication application(argc, argv);
    trap.release();
    // Qt's own exit(1), when the display connection breaks, frees the port
    // through the exit handlers.
    std::atexit(&serial::closePort);
    // SIGTERM, SIGHUP and SIGINT end the program as the close box does.
    EndSignals endSignals;
    QObject::connect(&endSignals, &EndSignals::arrived, &application, &TApplication::Terminate);
    const int status = Application->RunProtected([] {
        Application->Initialize();
        Application->CreateForm(Form1);
        Application->Run();
    });
    // The other ways out (the close box, Alt+F4, a signal) come here. The
    // port is closed while the end signals are still caught: one more of
    // them must not end the program before it lets the port go.
    serial::closePort();
    return status;
}
