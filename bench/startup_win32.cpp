// Start-up time of Windows programs: the time from CreateProcess to the
// program's first visible top-level window, for each program given, in turns,
// after one warm-up start of each. Prints each program's median and its ratio
// to the last program's.
//
//   startup_win32.exe ROUNDS PROGRAM.exe... (under Wine: through wine_driver --xvfb)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct WindowSearch {
    DWORD pid;
    HWND found;
};

BOOL CALLBACK searchWindow(HWND window, LPARAM param)
{
    auto &s = *reinterpret_cast<WindowSearch *>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != s.pid || !IsWindowVisible(window))
        return TRUE;
    s.found = window;
    return FALSE;
}

HWND visibleWindowOf(DWORD pid)
{
    WindowSearch search{pid, nullptr};
    EnumWindows(&searchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Milliseconds from start to a shown window, or a negative number when the
// program showed none within 60 s. Closes the program afterwards.
double startOnce(const std::wstring &program)
{
    std::wstring command = L'"' + program + L'"';
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    LARGE_INTEGER frequency, start, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    if (!CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process))
        return -1;
    HWND window = nullptr;
    double ms = -1;
    for (;;) {
        window = visibleWindowOf(process.dwProcessId);
        QueryPerformanceCounter(&now);
        const double elapsed = 1000.0 * static_cast<double>(now.QuadPart - start.QuadPart) /
                               static_cast<double>(frequency.QuadPart);
        if (window != nullptr) {
            ms = elapsed;
            break;
        }
        if (elapsed > 60000 || WaitForSingleObject(process.hProcess, 1) == WAIT_OBJECT_0)
            break;
    }
    if (window != nullptr)
        PostMessageW(window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0)
        TerminateProcess(process.hProcess, 1);
    WaitForSingleObject(process.hProcess, INFINITE);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return ms;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

} // namespace

int wmain(int argc, wchar_t **argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: startup_win32 ROUNDS PROGRAM.exe...\n");
        return 2;
    }
    const int rounds = std::max(1, _wtoi(argv[1]));
    const std::vector<std::wstring> programs(argv + 2, argv + argc);
    std::vector<std::vector<double>> times(programs.size());
    for (const std::wstring &program : programs)
        startOnce(program); // warm-up: loads the files into the page cache
    for (int round = 0; round < rounds; ++round) {
        for (std::size_t i = 0; i < programs.size(); ++i) {
            const double ms = startOnce(programs[i]);
            if (ms < 0) {
                std::fprintf(stderr, "%ls showed no window\n", programs[i].c_str());
                return 1;
            }
            times[i].push_back(ms);
        }
    }
    const double reference = median(times.back());
    std::printf("%-48s %16s %8s\n", "start to a shown window", "median (ms)", "ratio");
    for (std::size_t i = 0; i < programs.size(); ++i)
        std::printf("%-48ls %16.1f %8.2f\n", programs[i].c_str(), median(times[i]),
                    median(times[i]) / reference);
    std::printf("(%d rounds each, in turns, after one warm-up start of each)\n", rounds);
    return 0;
}
