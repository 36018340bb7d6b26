#include "comm.h"

#include <cstdio>
#include <string>

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type)
{
    if (owner != nullptr || type != MB_OK) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    // One line, like the other lines the program writes there: the text's
    // own line breaks become spaces.
    std::string line = "comterm: " + std::string(caption ? caption : "Error") + ": " +
                       std::string(text ? text : "");
    for (char &c : line)
        if (c == '\n' || c == '\r')
            c = ' ';
    line += '\n';
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
    return IDOK;
}
