// Character sets through the C library's iconv.
#include "text_converter.h"

#include <bit>
#include <cerrno>
#include <cstring>

#include <iconv.h>
#include <langinfo.h>

namespace serial {

namespace {

constexpr const char *utf16 = std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";

class Iconv {
  public:
    Iconv(const char *to, const char *from) : cd_(::iconv_open(to, from)) {}
    ~Iconv()
    {
        if (ok())
            ::iconv_close(cd_);
    }
    Iconv(const Iconv &) = delete;
    Iconv &operator=(const Iconv &) = delete;

    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // Converts from `in` into `out` (appending) until the input ends or
    // cannot go on; returns 0 or the errno that stopped it (EILSEQ, EINVAL),
    // with `in` advanced past what was converted.
    int convert(std::string_view &in, std::string &out)
    {
        ::iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        for (;;) {
            const std::size_t used = out.size();
            out.resize(used + in.size() * 2 + 16);
            char *src = const_cast<char *>(in.data());
            std::size_t srcLeft = in.size();
            char *dst = out.data() + used;
            std::size_t dstLeft = out.size() - used;
            const std::size_t rc = ::iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
            const int err = rc == static_cast<std::size_t>(-1) ? errno : 0;
            out.resize(out.size() - dstLeft);
            in.remove_prefix(in.size() - srcLeft);
            if (err != E2BIG)
                return err;
        }
    }

  private:
    iconv_t cd_;
};

class IconvConverter final : public TextCodec::Converter {
  public:
    explicit IconvConverter(const std::string &charset)
        : encoder_(charset.c_str(), utf16), decoder_(utf16, charset.c_str())
    {
    }
    bool ok() const { return encoder_.ok() && decoder_.ok(); }

    std::string encode(std::u16string_view text) override
    {
        std::string_view in(reinterpret_cast<const char *>(text.data()), text.size() * 2);
        std::string out;
        while (!in.empty()) {
            if (encoder_.convert(in, out) == 0)
                break;
            // A character the set has no bytes for (or a lone surrogate).
            out += '?';
            const char16_t c = unitAt(in, 0);
            const bool pair = c >= 0xD800 && c < 0xDC00 && in.size() >= 4 &&
                              unitAt(in, 1) >= 0xDC00 && unitAt(in, 1) < 0xE000;
            in.remove_prefix(std::min<std::size_t>(in.size(), pair ? 4 : 2));
        }
        return out;
    }

    std::size_t decode(std::string_view bytes, std::u16string &out) override
    {
        std::string converted;
        for (;;) {
            const int err = decoder_.convert(bytes, converted);
            if (err == EILSEQ && !bytes.empty()) {
                // A byte that no character starts with here.
                const char16_t replacement = u'\uFFFD';
                converted.append(reinterpret_cast<const char *>(&replacement), 2);
                bytes.remove_prefix(1);
                continue;
            }
            break; // done, or EINVAL: what is left begins an incomplete character
        }
        out.append(reinterpret_cast<const char16_t *>(converted.data()), converted.size() / 2);
        return bytes.size();
    }

  private:
    static char16_t unitAt(std::string_view bytes, std::size_t index)
    {
        char16_t c;
        std::memcpy(&c, bytes.data() + index * 2, 2);
        return c;
    }

    Iconv encoder_;
    Iconv decoder_;
};

} // namespace

std::unique_ptr<TextCodec::Converter> TextCodec::Converter::open(const std::string &charset)
{
    auto converter = std::make_unique<IconvConverter>(charset);
    if (!converter->ok())
        return nullptr;
    return converter;
}

std::string TextCodec::Converter::systemCharset()
{
    const std::string codeset = ::nl_langinfo(CODESET);
    // The C and POSIX locales name plain ASCII; like Qt and Python, take it as UTF-8.
    if (codeset.empty() || codeset == "ANSI_X3.4-1968" || codeset == "ASCII")
        return "UTF-8";
    return codeset;
}

} // namespace serial
