// The boxes' text as the narrow bytes that travel on the line.
//
// Text goes out in the system's own 8-bit character set: on Linux the
// character set of the user's locale (LC_ALL, then LC_CTYPE, then LANG; the
// plain C locale counts as UTF-8), on Windows the ANSI code page. Every line
// break goes out as CR LF, whatever the window holds inside.
//
// Bytes come in in batches that may end in the middle of a character. The
// codec keeps such an incomplete tail and puts it in front of the next
// batch, so that every character shows whole, once.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace serial {

class TextCodec {
  public:
    // A codec for `charset`: an iconv name on POSIX ("BIG5", "UTF-8"), "CP"
    // and a code page number on Windows ("CP950"). A set the system does not
    // know is replaced by UTF-8, with one line on standard error naming it.
    explicit TextCodec(const std::string &charset);
    ~TextCodec();
    TextCodec(TextCodec &&) noexcept;
    TextCodec &operator=(TextCodec &&) noexcept;

    // The system's narrow character set, read when called: on POSIX the
    // locale's, so the program calls setlocale(LC_ALL, "") first.
    static TextCodec system();

    // The character set in use.
    const std::string &charset() const { return charset_; }

    // Box text (UTF-16, line breaks as "\r\n", "\n" or "\r") to the bytes for
    // the line: each line break becomes CR LF and nothing else is added; a
    // character the set cannot encode becomes '?'.
    std::string encode(std::u16string_view text) const;

    // Received bytes to box text: every complete character, the bytes that
    // can never form one as U+FFFD each, CR LF, LF or CR as one `lineBreak`
    // each (a CR LF split between two batches too), and no NULs, which would
    // end the text in a box. An incomplete character at the end is kept for
    // the next call.
    std::u16string decode(std::string_view bytes, std::u16string_view lineBreak = u"\n");

    // Forgets a kept tail: the next batch starts afresh.
    void reset();

    // The platform's converter between UTF-16 and the character set.
    struct Converter;

  private:
    std::string charset_;
    std::unique_ptr<Converter> converter_;
    std::string tail_;
    bool afterCR_ = false;
};

// The codec of the port's text, the system's until replaced. Opening a port
// resets it, so that nothing kept from one port shows on another.
TextCodec &portText();

} // namespace serial
