#include "system_text.h"

#include <algorithm>

namespace {

std::string ansiText(const std::wstring &text)
{
    const int size = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<std::size_t>(std::max(size, 0)), '\0');
    if (size > 0)
        WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), narrow.data(),
                            size, nullptr, nullptr);
    return narrow;
}

} // namespace

std::string nativeText(std::u16string_view text)
{
    return ansiText(std::wstring(text.begin(), text.end()));
}

std::string systemErrorText(DWORD error)
{
    // Without the full stop, a Chinese one too, and the line break.
    wchar_t *text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
    std::wstring reason = length > 0 && text != nullptr ? std::wstring(text, length) : L"";
    LocalFree(text);
    while (!reason.empty() &&
           std::wstring_view(L" \r\n.\u3002").find(reason.back()) != std::wstring_view::npos)
        reason.pop_back();
    const std::string narrow = ansiText(reason);
    return narrow.empty() ? "error " + std::to_string(error) : narrow;
}
