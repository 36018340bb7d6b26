// A process that holds a port and crashes, for the tests of the crash
// release: crash_child PATH HOW FD opens PATH through the communications
// functions, waits for a byte on descriptor FD, and then
//   overflow  overflows its stack;
//   churn     (having first opened and closed the port more times than the
//             crash release keeps descriptors, and taken the number it had)
//             aborts.
#include "comm.h"

#include <cstdio>
#include <cstdlib>
#include <string_view>

#include <fcntl.h>
#include <unistd.h>

namespace {

HANDLE openPort(const char *path)
{
    return CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
}

// Each call keeps a kilobyte of its own on the stack, and uses it after
// the next call returns, so that no call can be folded into a loop.
[[gnu::noinline]] unsigned deeper(unsigned depth)
{
    volatile char frame[1024];
    frame[depth % sizeof frame] = static_cast<char>(depth);
    if (depth == ~0u)
        return 0;
    return deeper(depth + 1) + static_cast<unsigned>(frame[depth % sizeof frame]);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 4)
        return 2;
    const std::string_view how = argv[2];
    if (how == "churn") {
        for (int i = 0; i < 40; ++i) {
            HANDLE port = openPort(argv[1]);
            if (port == INVALID_HANDLE_VALUE)
                return 3;
            CloseHandle(port);
        }
        // The port's next descriptor is one it never had.
        if (::open("/dev/null", O_RDONLY | O_CLOEXEC) < 0)
            return 3;
    }
    if (openPort(argv[1]) == INVALID_HANDLE_VALUE)
        return 3;
    char go;
    if (::read(std::atoi(argv[3]), &go, 1) != 1)
        return 4;
    if (how == "overflow")
        return static_cast<int>(deeper(0));
    std::abort();
}
