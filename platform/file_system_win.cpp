#include "file_system.h"

#include "system_text.h"

#include <windows.h>

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

FileRead unusable(std::string problem)
{
    return {FileRead::State::Unusable, {}, std::move(problem)};
}

} // namespace

std::string executableFolder()
{
    std::wstring exe(MAX_PATH, L'\0');
    DWORD n;
    while ((n = GetModuleFileNameW(nullptr, exe.data(), static_cast<DWORD>(exe.size()))) ==
               exe.size() &&
           exe.size() < 32768)
        exe.resize(exe.size() * 2);
    exe.resize(n < exe.size() ? n : 0);
    const auto slash = exe.find_last_of(L"\\/");
    return slash != std::wstring::npos ? ansiFolder(exe.substr(0, slash)) : std::string();
}

std::string userConfigFolder()
{
    std::wstring appData(32767, L'\0');
    appData.resize(
        GetEnvironmentVariableW(L"APPDATA", appData.data(), static_cast<DWORD>(appData.size())));
    if (!appData.empty() && appData.size() < 32767)
        return ansiFolder(appData);
    return {};
}

FileRead readSmallFile(const std::string &path, std::size_t maxSize)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            return {};
        return unusable(systemErrorText(error));
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return unusable("a folder, not a file");
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return unusable(systemErrorText(GetLastError()));
    FileRead read;
    LARGE_INTEGER size{};
    if (GetFileType(file) != FILE_TYPE_DISK) {
        read = unusable("not a file on a disk");
    } else if (!GetFileSizeEx(file, &size)) {
        read = unusable(systemErrorText(GetLastError()));
    } else if (static_cast<unsigned long long>(size.QuadPart) > maxSize) {
        read = unusable("larger than " + std::to_string(maxSize / 1024) + " KiB");
    } else {
        // One byte past the limit tells a file that grew meanwhile.
        read.state = FileRead::State::Read;
        read.text.resize(maxSize + 1);
        DWORD total = 0, n = 0;
        while (total < read.text.size() &&
               ReadFile(file, read.text.data() + total,
                        static_cast<DWORD>(read.text.size()) - total, &n, nullptr) &&
               n > 0)
            total += n;
        read.text.resize(total);
        if (total > maxSize)
            read = unusable("larger than " + std::to_string(maxSize / 1024) + " KiB");
    }
    CloseHandle(file);
    return read;
}
