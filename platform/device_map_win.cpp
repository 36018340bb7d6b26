#include "device_map.h"

#include <windows.h>

#include <cctype>
#include <string>

namespace {

// `folder` in the ANSI code page, as the narrow file functions take paths.
// A folder whose name the code page cannot spell (a Korean user name on a
// Chinese system, say) is given by its short name, which is plain ASCII;
// empty when it has none either.
std::string ansiFolder(const std::wstring &folder)
{
    const auto narrow = [](const std::wstring &path) -> std::string {
        BOOL lossy = FALSE;
        const int size =
            WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, path.data(),
                                static_cast<int>(path.size()), nullptr, 0, nullptr, &lossy);
        if (size <= 0 || lossy)
            return {};
        std::string text(static_cast<std::size_t>(size), '\0');
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, path.data(),
                            static_cast<int>(path.size()), text.data(), size, nullptr, nullptr);
        return text;
    };
    if (std::string text = narrow(folder); !text.empty())
        return text;
    std::wstring shortName(MAX_PATH, L'\0');
    DWORD n = GetShortPathNameW(folder.c_str(), shortName.data(), MAX_PATH);
    if (n >= MAX_PATH) {
        shortName.resize(n);
        n = GetShortPathNameW(folder.c_str(), shortName.data(), n);
    }
    shortName.resize(n < shortName.size() ? n : 0);
    return shortName.empty() ? std::string() : narrow(shortName);
}

} // namespace

std::vector<std::string> portsFiles()
{
    // Beside the executable first: a folder or a stick that carries its own.
    std::vector<std::string> files;
    std::wstring exe(MAX_PATH, L'\0');
    DWORD n;
    while ((n = GetModuleFileNameW(nullptr, exe.data(), static_cast<DWORD>(exe.size()))) ==
               exe.size() &&
           exe.size() < 32768)
        exe.resize(exe.size() * 2);
    exe.resize(n < exe.size() ? n : 0);
    if (const auto slash = exe.find_last_of(L"\\/"); slash != std::wstring::npos)
        if (const std::string folder = ansiFolder(exe.substr(0, slash)); !folder.empty())
            files.push_back(folder + "\\ports.conf");
    std::wstring appData(32767, L'\0');
    appData.resize(
        GetEnvironmentVariableW(L"APPDATA", appData.data(), static_cast<DWORD>(appData.size())));
    if (!appData.empty() && appData.size() < 32767)
        if (const std::string folder = ansiFolder(appData); !folder.empty())
            files.push_back(folder + "\\comterm\\ports.conf");
    return files;
}

std::string deviceOf(std::string_view value)
{
    if (value.substr(0, 2) == "\\\\")
        return std::string(value);
    std::string name(value);
    for (char &c : name)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return portNumber(name) != 0 ? "\\\\.\\" + name : std::string();
}

std::string defaultDevice(unsigned number)
{
    return "\\\\.\\COM" + std::to_string(number);
}
