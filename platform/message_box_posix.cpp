#include "comm.h"

#include <cerrno>
#include <cstdio>
#include <string>

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type)
{
    if (owner != nullptr || type != MB_OK) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    // One line, under the name the program was started by, like the other
    // lines a program writes there: the text's own line breaks become spaces.
    std::string line = std::string(program_invocation_short_name) + ": " +
                       std::string(caption ? caption : "Error") + ": " +
                       std::string(text ? text : "");
    for (char &c : line)
        if (c == '\n' || c == '\r')
            c = ' ';
    line += '\n';
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
    return IDOK;
}
