#include "comm.h"

#include <string>

namespace {

std::wstring wide(LPCSTR utf8)
{
    if (utf8 == nullptr)
        return {};
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
    if (length <= 0)
        return {};
    std::wstring text(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8, -1, text.data(), length);
    text.resize(static_cast<std::size_t>(length - 1));
    return text;
}

} // namespace

int WINAPI MessageBoxUtf8(HWND owner, LPCSTR text, LPCSTR caption, UINT type)
{
    const std::wstring wideCaption = wide(caption);
    return MessageBoxW(owner, wide(text).c_str(), caption ? wideCaption.c_str() : nullptr, type);
}
