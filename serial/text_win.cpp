// Character sets through the system's code-page functions.
#include "text_converter.h"

#include "comm.h"

#include <charconv>

namespace serial {

namespace {

class CodePageConverter final : public TextCodec::Converter {
  public:
    explicit CodePageConverter(UINT codePage) : codePage_(codePage) {}

    std::string encode(std::u16string_view text) override
    {
        // A lone surrogate is no character: '?' in every set.
        std::u16string units(text);
        for (std::size_t i = 0; i < units.size(); ++i) {
            if (isPair(units, i))
                ++i;
            else if (units[i] >= 0xD800 && units[i] < 0xE000)
                units[i] = u'?';
        }
        if (codePage_ == CP_UTF8)
            return convert(units, nullptr);
        // A character outside the BMP that the code page lacks is one '?',
        // not one for each half, so pairs are converted one at a time.
        std::string out;
        std::size_t start = 0;
        for (std::size_t i = 0; i < units.size(); ++i) {
            if (!isPair(units, i))
                continue;
            out += convert(std::u16string_view(units).substr(start, i - start), nullptr);
            BOOL lacked = FALSE;
            const std::string pair = convert(std::u16string_view(units).substr(i, 2), &lacked);
            out += lacked ? std::string("?") : pair;
            start = ++i + 1;
        }
        return out + convert(std::u16string_view(units).substr(start), nullptr);
    }

    std::size_t decode(std::string_view bytes, std::u16string &out) override
    {
        const std::size_t incomplete = incompleteTail(bytes);
        const auto complete = static_cast<int>(bytes.size() - incomplete);
        if (complete > 0) {
            const int size = MultiByteToWideChar(codePage_, 0, bytes.data(), complete, nullptr, 0);
            if (size > 0) {
                const std::size_t used = out.size();
                out.resize(used + static_cast<std::size_t>(size));
                MultiByteToWideChar(codePage_, 0, bytes.data(), complete,
                                    reinterpret_cast<wchar_t *>(out.data() + used), size);
            }
        }
        return incomplete;
    }

  private:
    static bool isPair(std::u16string_view units, std::size_t i)
    {
        return i + 1 < units.size() && units[i] >= 0xD800 && units[i] < 0xDC00 &&
               units[i + 1] >= 0xDC00 && units[i + 1] < 0xE000;
    }

    // `text` in the code page. UTF-8 takes no default character; elsewhere a
    // character the code page lacks becomes '?' rather than a look-alike,
    // and `lacked` (when given) says whether one did.
    std::string convert(std::u16string_view text, BOOL *lacked) const
    {
        if (text.empty())
            return {};
        const auto *wide = reinterpret_cast<const wchar_t *>(text.data());
        const int length = static_cast<int>(text.size());
        const bool utf8 = codePage_ == CP_UTF8;
        const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
        const char *fallback = utf8 ? nullptr : "?";
        const int size =
            WideCharToMultiByte(codePage_, flags, wide, length, nullptr, 0, fallback, lacked);
        std::string out(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
        if (size > 0)
            WideCharToMultiByte(codePage_, flags, wide, length, out.data(), size, fallback, lacked);
        return out;
    }

    // How many bytes at the end begin a character that needs more bytes.
    std::size_t incompleteTail(std::string_view bytes) const
    {
        if (codePage_ == CP_UTF8) {
            // Look back over continuation bytes to the lead byte that needs them.
            for (std::size_t back = 1; back <= 3 && back <= bytes.size(); ++back) {
                const auto b = static_cast<unsigned char>(bytes[bytes.size() - back]);
                if ((b & 0xC0) == 0x80)
                    continue;
                const std::size_t needs = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
                return needs > back ? back : 0;
            }
            return 0;
        }
        // Double-byte code pages: walk the characters from the start, since
        // a trail byte may look like a lead byte.
        std::size_t i = 0;
        while (i < bytes.size()) {
            if (IsDBCSLeadByteEx(codePage_, static_cast<BYTE>(bytes[i]))) {
                if (i + 1 == bytes.size())
                    return 1;
                i += 2;
            } else {
                ++i;
            }
        }
        return 0;
    }

    UINT codePage_;
};

} // namespace

std::unique_ptr<TextCodec::Converter> TextCodec::Converter::open(const std::string &charset)
{
    const std::string_view name(charset);
    UINT codePage = 0;
    if (name == "UTF-8") {
        codePage = CP_UTF8;
    } else {
        if (name.substr(0, 2) != "CP")
            return nullptr;
        const auto [end, ec] =
            std::from_chars(name.data() + 2, name.data() + name.size(), codePage);
        if (ec != std::errc{} || end != name.data() + name.size())
            return nullptr;
    }
    CPINFO info;
    if (!GetCPInfo(codePage, &info))
        return nullptr;
    return std::make_unique<CodePageConverter>(codePage);
}

std::string TextCodec::Converter::systemCharset()
{
    return "CP" + std::to_string(GetACP());
}

} // namespace serial
