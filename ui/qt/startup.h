// What the entry point does before the window exists: answers the command
// line, and turns a display that cannot be reached into one line and status 1
// instead of Qt's advice and an abort.
#pragma once

#include <QtGlobal>

#include <optional>

// Reads the command line before the application object sees it. Answers
// --help (the usage), --version ("comterm X.Y.Z") and --ports (the ports and
// the serial devices, port_list.h) on standard output, and refuses an option
// that neither the program nor Qt knows, or a Qt option without its value,
// with one line on standard error. Returns the
// exit status when the program should end here (0 after an answer, 2 after
// a refusal), nothing when it should go on to open its window. Qt's own
// options (-platform NAME, -style NAME, -display NAME, ...) are left in argv
// for QApplication, which takes them out. Needs no display.
std::optional<int> answerCommandLine(int argc, char **argv);

// While it exists, Qt's messages are held back; if Qt gives up for want of
// a display (a fatal message while the application object is made), the
// program writes one line on standard error saying why and ends with status
// 1. Once the application object stands, release() hands the held messages
// to Qt's own handler, so nothing else is lost, and stops holding.
class DisplayFailureTrap {
  public:
    DisplayFailureTrap();
    ~DisplayFailureTrap();
    DisplayFailureTrap(const DisplayFailureTrap &) = delete;
    DisplayFailureTrap &operator=(const DisplayFailureTrap &) = delete;

    void release();

  private:
    QtMessageHandler previous_;
    bool holding_ = true;
};
