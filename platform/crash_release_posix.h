// Exclusive mode survives the process on a terminal that someone else still
// holds open (a pseudo-terminal's other side, a modem manager): after a
// crash nobody but root could open the port again. The open ports'
// descriptors are kept here, and a handler for every signal whose default
// action ends the process with a core (SIGSEGV, SIGBUS, SIGFPE, SIGILL,
// SIGABRT, SIGQUIT, SIGTRAP, SIGSYS, SIGXCPU, SIGXFSZ) drops exclusive mode
// on each before the signal takes its course as it would have without us:
// the default action (a core dump where enabled) or the handler that was
// there before, such as a sanitizer's report. A signal ignored when the
// handler is installed stays ignored.
#pragma once

// Remembers `fd` as an open port's descriptor. The first call installs the
// handler, and gives the calling thread an alternate signal stack, unless it
// has one, so that a stack overflow in that thread (open the ports from the
// thread that runs the program's work) is handled too. Up to 16 descriptors
// are kept; a port beyond that still works but keeps exclusive mode if the
// process crashes.
void registerCrashRelease(int fd);

// Drops exclusive mode on `fd` and forgets it; call it before the descriptor
// is closed, so that the handler never touches a number the system has
// handed out again.
void unregisterCrashRelease(int fd);
