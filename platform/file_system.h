// What is asked of the file system: where the user's configuration lives,
// and a small file read without the risks of opening whatever has its name.
#pragma once

#include <cstddef>
#include <string>

// The folder of the user's configuration: $XDG_CONFIG_HOME when it is an
// absolute path, else ~/.config; on Windows %APPDATA%. Empty when there is
// none. On Windows the folder, like every path here, is in the ANSI code
// page, which the narrow file functions take.
std::string userConfigFolder();

#ifdef _WIN32
// The folder the running executable is in; empty when the code page cannot
// spell it.
std::string executableFolder();
#endif

// A file as found on disk: missing (simply no file), read (its bytes), or
// there but not to be read, and why.
struct FileRead {
    enum class State { Missing, Read, Unusable };
    State state = State::Missing;
    std::string text, problem;
};

// The bytes of the regular file at `path`, at most `maxSize` of them. What
// is no regular file (a folder, a FIFO, a device) is not read, nor opened
// where that can be told before; the open neither waits on a FIFO nor makes
// a terminal the controlling one, and its descriptor is not inherited. On
// Linux a link that leads nowhere is there, and unusable.
FileRead readSmallFile(const std::string &path, std::size_t maxSize);
