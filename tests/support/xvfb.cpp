#include "xvfb.h"

#include "child_process.h"

#include <csignal>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

Xvfb::Xvfb(const std::string &screen)
{
    // Xvfb picks a free display itself and writes its number to the pipe
    // once it takes clients.
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return;
    const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
    pid_ = spawn({"Xvfb", "-displayfd", std::to_string(fds[1]), "-nolisten", "tcp", "-noreset",
                  "-screen", "0", screen},
                 {}, null, null, fds[1]);
    close(null);
    close(fds[1]);
    std::string number;
    pollfd pfd{fds[0], POLLIN, 0};
    char c;
    while (poll(&pfd, 1, 30000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n')
        number += c;
    close(fds[0]);
    if (!number.empty())
        display_ = ':' + number;
}

Xvfb::~Xvfb()
{
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        waitExit(pid_);
    }
}

void Xvfb::kill()
{
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        waitExit(pid_);
        pid_ = -1;
    }
}
