// libFuzzer target for the received-text decoder in one character set
// (FUZZ_CHARSET, an iconv name), built once per set by fuzz/CMakeLists.txt.
//
// An input is a flags byte, up to three split bytes, then the payload:
//   flags bits 0-1  how many split bytes follow (0-3)
//   flags bit 2     the line break decode writes: "\r\n" when set, else "\n"
// Each split byte b cuts the payload at b * size / 255, so a short payload
// can be cut anywhere; cuts may coincide, giving empty batches.
//
// Properties, each ending the run with a message and a trap when broken:
// 1. The payload decoded in the batches the splits make shows the same text,
//    and keeps the same tail, as the payload decoded in one batch; no NUL
//    is ever shown.
// 2. No crash, no out-of-bounds access, no undefined behaviour (ASan, UBSan).
// 3. A NUL joins no bytes around it into a character (below).
// 4. A text encoded then decoded comes back as text.h promises: each line
//    break (CR LF, CR or LF) as one break, no NULs, '?' for each character
//    (or surrogate pair) the set cannot encode and for each lone surrogate.
//    It is checked on the payload read as UTF-16LE units, and on the text
//    the payload decoded to (whose U+FFFD the set may lack).
#include "text.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include <iconv.h>

namespace {

const std::string charset = FUZZ_CHARSET;

[[noreturn]] void fail(const char *property, std::u16string_view got, std::u16string_view want)
{
    auto dump = [](const char *name, std::u16string_view text) {
        std::fprintf(stderr, "%s:", name);
        for (const char16_t c : text)
            std::fprintf(stderr, " %04X", static_cast<unsigned>(c));
        std::fprintf(stderr, "\n");
    };
    std::fprintf(stderr, "\n%s, %s: broken\n", charset.c_str(), property);
    dump("got ", got);
    dump("want", want);
    __builtin_trap();
}

// Whether the set has bytes for `c` (one unit or a surrogate pair), asked of
// iconv directly: that is what "a character the set can encode" means here.
bool encodable(std::u16string_view c)
{
    static const iconv_t cd = ::iconv_open(charset.c_str(), "UTF-16LE");
    if (cd == reinterpret_cast<iconv_t>(-1))
        __builtin_trap();
    char16_t units[2] = {};
    std::copy(c.begin(), c.end(), units);
    char *in = reinterpret_cast<char *>(units);
    std::size_t inLeft = c.size() * 2;
    char out[16];
    char *outp = out;
    std::size_t outLeft = sizeof out;
    ::iconv(cd, nullptr, nullptr, nullptr, nullptr);
    const std::size_t rc = ::iconv(cd, &in, &inLeft, &outp, &outLeft);
    return rc != static_cast<std::size_t>(-1) && outLeft < sizeof out;
}

bool isHigh(char16_t c)
{
    return c >= 0xD800 && c < 0xDC00;
}
bool isLow(char16_t c)
{
    return c >= 0xDC00 && c < 0xE000;
}

// What `text` shows after encode and decode with the line break "\r\n". The
// breaks are found before the NULs go, as encode finds them: CR NUL LF is two.
std::u16string expectedRoundTrip(std::u16string_view text)
{
    std::u16string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c == u'\r' || c == u'\n') {
            out += u"\r\n";
            if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
        } else if (c == u'\0') {
            continue;
        } else if (isHigh(c) && i + 1 < text.size() && isLow(text[i + 1])) {
            const std::u16string_view pair = text.substr(i++, 2);
            out += encodable(pair) ? pair : u"?";
        } else if (isHigh(c) || isLow(c) || !encodable(text.substr(i, 1))) {
            out += u'?';
        } else {
            out += c;
        }
    }
    return out;
}

// One codec for all runs, reset before each as opening a port resets it
// (opening a fresh one each time would cost most of the run's time).
serial::TextCodec &codec()
{
    static serial::TextCodec codec(charset);
    return codec;
}

// `bytes` decoded from a reset codec in the batches `cuts` (ascending) make,
// then one more batch "z" that shows what tail the codec kept.
std::u16string decodeInBatches(std::string_view bytes, const std::vector<std::size_t> &cuts,
                               std::u16string_view lineBreak)
{
    codec().reset();
    std::u16string shown;
    std::size_t from = 0;
    for (const std::size_t cut : cuts) {
        shown += codec().decode(bytes.substr(from, cut - from), lineBreak);
        from = cut;
    }
    shown += codec().decode(bytes.substr(from), lineBreak);
    shown += codec().decode("z", lineBreak);
    return shown;
}

void checkRoundTrip(const char *property, std::u16string_view text,
                    const std::vector<std::size_t> &cuts)
{
    const std::string bytes = codec().encode(text);
    std::vector<std::size_t> inRange;
    for (const std::size_t cut : cuts)
        inRange.push_back(std::min(cut, bytes.size()));
    const std::u16string shown = decodeInBatches(bytes, inRange, u"\r\n");
    const std::u16string want = expectedRoundTrip(text) + u"z";
    if (shown != want)
        fail(property, shown, want);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    const unsigned flags = data[0];
    const std::size_t splits = std::min<std::size_t>(flags & 3, size - 1);
    const std::u16string_view lineBreak = flags & 4 ? u"\r\n" : u"\n";
    const std::string_view payload(reinterpret_cast<const char *>(data) + 1 + splits,
                                   size - 1 - splits);
    std::vector<std::size_t> cuts;
    for (std::size_t i = 0; i < splits; ++i)
        cuts.push_back(data[1 + i] * payload.size() / 255);
    std::sort(cuts.begin(), cuts.end());

    // 1. Wherever the batches end, the same text.
    const std::u16string whole = decodeInBatches(payload, {}, lineBreak);
    const std::u16string split = decodeInBatches(payload, cuts, lineBreak);
    if (split != whole)
        fail("decoded in batches vs. in one", split, whole);
    if (whole.find(u'\0') != std::u16string::npos)
        fail("no NUL shown", whole, u"");

    // 3. A NUL ends an incomplete character before it as any byte that no
    // character holds inside it does, 0x01 say, and is then dropped: the
    // text equals the one shown with each NUL as 0x01, less all U+0001s.
    // Not with a CR in the bytes: CR NUL LF is one break, CR 0x01 LF two.
    if (payload.find('\r') == std::string_view::npos) {
        std::string ones(payload);
        std::replace(ones.begin(), ones.end(), '\0', '\1');
        std::u16string withNuls = whole, withOnes = decodeInBatches(ones, {}, lineBreak);
        std::erase(withNuls, u'\1');
        std::erase(withOnes, u'\1');
        if (withNuls != withOnes)
            fail("a NUL ends a character as 0x01 does", withNuls, withOnes);
    }

    // 4. Round trips. The Unicode tag characters U+E0000-U+E007F are left out
    // of the text: glibc's iconv drops them silently when encoding into a
    // set without them, so encode sends nothing for them instead of '?'.
    std::u16string units;
    for (std::size_t i = 0; i + 1 < payload.size(); i += 2) {
        const char16_t c = static_cast<char16_t>(static_cast<std::uint8_t>(payload[i]) |
                                                 static_cast<std::uint8_t>(payload[i + 1]) << 8);
        if (c >= 0xDC00 && c < 0xDC80 && !units.empty() && units.back() == 0xDB40)
            units.pop_back();
        else
            units += c;
    }
    checkRoundTrip("UTF-16 units encoded then decoded", units, cuts);
    checkRoundTrip("decoded text encoded then decoded", whole.substr(0, whole.size() - 1), cuts);
    return 0;
}
