#include "work_area.h"

namespace work_area {

RECT of(HMONITOR monitor)
{
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (GetMonitorInfoW(monitor, &info))
        return info.rcWork;
    RECT screen{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &screen, 0);
    return screen;
}

RECT of(HWND window)
{
    return of(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST));
}

} // namespace work_area
