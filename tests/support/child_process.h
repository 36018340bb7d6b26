// Child processes for the Linux tests and the Wine driver.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include <sys/types.h>

// Starts `argv` (searched in PATH) with the environment changes in `env`
// ("NAME=value" sets, "NAME" unsets). Its standard output and error go to
// `outFd` and `errFd` when they are given, and it inherits `keepFd`. It
// starts with every signal's default action and none blocked.
pid_t spawn(const std::vector<std::string> &argv, const std::vector<std::string> &env = {},
            int outFd = -1, int errFd = -1, int keepFd = -1);

// The exit status of `pid` (128 + the signal when a signal ended it) once it
// has ended.
int waitExit(pid_t pid);
// The same, or -1 when it has not ended by the deadline.
int waitExit(pid_t pid, std::chrono::milliseconds timeout);
