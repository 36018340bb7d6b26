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
    // Code page 65001 (UTF-8) spells every name; it refuses the best-fit
    // flag and the used-default flag, so it is asked without them.
    const bool utf8 = GetACP() == CP_UTF8;
    const UINT codePage = utf8 ? CP_UTF8 : CP_ACP;
    const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    const auto narrow = [&](const std::wstring &path) -> std::string {
        BOOL lossy = FALSE;
        BOOL *lossyFlag = utf8 ? nullptr : &lossy;
        const int size =
            WideCharToMultiByte(codePage, flags, path.data(), static_cast<int>(path.size()),
                                nullptr, 0, nullptr, lossyFlag);
        if (size <= 0 || lossy)
            return {};
        std::string text(static_cast<std::size_t>(size), '\0');
        WideCharToMultiByte(codePage, flags, path.data(), static_cast<int>(path.size()),
                            text.data(), size, nullptr, nullptr);
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

// The system's text for `error`, without the line break it ends in.
std::string systemText(DWORD error)
{
    char *text = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
    std::string reason = length > 0 && text != nullptr ? std::string(text, length) : "";
    LocalFree(text);
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' ||
                               reason.back() == ' ' || reason.back() == '.'))
        reason.pop_back();
    return reason.empty() ? "error " + std::to_string(error) : reason;
}

PortsFileRead unusable(std::string problem)
{
    return {PortsFileRead::State::Unusable, {}, std::move(problem)};
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

PortsFileRead readPortsFile(const std::string &path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            return {};
        return unusable(systemText(error));
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return unusable("a folder, not a file");
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return unusable(systemText(GetLastError()));
    PortsFileRead read;
    LARGE_INTEGER size{};
    if (GetFileType(file) != FILE_TYPE_DISK) {
        read = unusable("not a file on a disk");
    } else if (!GetFileSizeEx(file, &size)) {
        read = unusable(systemText(GetLastError()));
    } else if (static_cast<unsigned long long>(size.QuadPart) > maxPortsFileSize) {
        read = unusable("larger than " + std::to_string(maxPortsFileSize / 1024) + " KiB");
    } else {
        // One byte past the limit tells a file that grew meanwhile.
        read.state = PortsFileRead::State::Read;
        read.text.resize(maxPortsFileSize + 1);
        DWORD total = 0, n = 0;
        while (total < read.text.size() &&
               ReadFile(file, read.text.data() + total,
                        static_cast<DWORD>(read.text.size()) - total, &n, nullptr) &&
               n > 0)
            total += n;
        read.text.resize(total);
        if (total > maxPortsFileSize)
            read = unusable("larger than " + std::to_string(maxPortsFileSize / 1024) + " KiB");
    }
    CloseHandle(file);
    return read;
}

std::string deviceOf(std::string_view value, std::string &problem)
{
    if (value.substr(0, 2) == "\\\\")
        return std::string(value);
    std::string name(value);
    for (char &c : name)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (portNumber(name) != 0)
        return "\\\\.\\" + name;
    problem = "not a port name (COM7) or a device path (\\\\.\\COM7): " + std::string(value);
    return {};
}

std::string nativeText(std::u16string_view text)
{
    const auto *wide = reinterpret_cast<const wchar_t *>(text.data());
    const int length = static_cast<int>(text.size());
    const int size = WideCharToMultiByte(CP_ACP, 0, wide, length, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    if (size > 0)
        WideCharToMultiByte(CP_ACP, 0, wide, length, out.data(), size, nullptr, nullptr);
    return out;
}

std::string defaultDevice(unsigned number)
{
    return "\\\\.\\COM" + std::to_string(number);
}
