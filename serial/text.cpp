#include "text_converter.h"

#include <cstdio>
#include <utility>

namespace serial {

namespace {

std::unique_ptr<TextCodec::Converter> openOrUtf8(std::string &charset)
{
    if (auto converter = TextCodec::Converter::open(charset))
        return converter;
    std::fprintf(stderr, "comterm: the character set %s is not known; using UTF-8\n",
                 charset.c_str());
    charset = "UTF-8";
    return TextCodec::Converter::open(charset);
}

} // namespace

TextCodec::TextCodec(const std::string &charset)
    : charset_(charset), converter_(openOrUtf8(charset_))
{
}

TextCodec::~TextCodec() = default;
TextCodec::TextCodec(TextCodec &&) noexcept = default;
TextCodec &TextCodec::operator=(TextCodec &&) noexcept = default;

TextCodec TextCodec::system()
{
    return TextCodec(Converter::systemCharset());
}

std::string TextCodec::encode(std::u16string_view text) const
{
    std::u16string lines;
    lines.reserve(text.size() + text.size() / 8);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c == u'\r' || c == u'\n') {
            lines += u"\r\n";
            if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
        } else {
            lines += c;
        }
    }
    return converter_->encode(lines);
}

std::u16string TextCodec::decode(std::string_view bytes, std::u16string_view lineBreak)
{
    tail_.append(bytes);
    std::u16string text;
    const std::size_t incomplete = converter_->decode(tail_, text);
    tail_.erase(0, tail_.size() - incomplete);

    std::u16string shown;
    shown.reserve(text.size());
    for (const char16_t c : text) {
        // Dropped only now: taken out of the bytes, a NUL inside a broken
        // character would join its neighbours into one the device never sent.
        if (c == u'\0')
            continue;
        if (c == u'\n' && afterCR_) {
            afterCR_ = false;
            continue; // the second half of a CR LF
        }
        afterCR_ = c == u'\r';
        if (c == u'\r' || c == u'\n')
            shown += lineBreak;
        else
            shown += c;
    }
    return shown;
}

void TextCodec::reset()
{
    tail_.clear();
    afterCR_ = false;
}

TextCodec &portText()
{
    static TextCodec codec = TextCodec::system();
    return codec;
}

} // namespace serial
