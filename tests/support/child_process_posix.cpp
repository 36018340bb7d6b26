#include "child_process.h"

#include <csignal>
#include <cstdlib>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

int statusOf(int status)
{
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

} // namespace

pid_t spawn(const std::vector<std::string> &argv, const std::vector<std::string> &env, int outFd,
            int errFd, int keepFd)
{
    const pid_t pid = ::fork();
    if (pid != 0)
        return pid;
    // Signals the test runner ignores or blocks (nohup's SIGHUP, a background
    // job's SIGINT) would stay so in the child: start it with the defaults.
    for (const int number : {SIGHUP, SIGINT, SIGTERM, SIGPIPE})
        ::signal(number, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    for (const std::string &e : env) {
        const auto eq = e.find('=');
        if (eq == std::string::npos)
            ::unsetenv(e.c_str());
        else
            ::setenv(e.substr(0, eq).c_str(), e.substr(eq + 1).c_str(), 1);
    }
    if (outFd >= 0)
        ::dup2(outFd, STDOUT_FILENO);
    if (errFd >= 0)
        ::dup2(errFd, STDERR_FILENO);
    if (keepFd >= 0)
        ::fcntl(keepFd, F_SETFD, 0);
    std::vector<char *> args;
    for (const std::string &a : argv)
        args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(nullptr);
    ::execvp(args[0], args.data());
    ::_exit(127);
}

int waitExit(pid_t pid)
{
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid)
        return -1;
    return statusOf(status);
}

int waitExit(pid_t pid, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() >= deadline)
            return -1;
        ::poll(nullptr, 0, 10);
    }
    return statusOf(status);
}
