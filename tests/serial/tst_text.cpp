// The boxes' text on the line in the system's character set: the bytes a
// text becomes, the text bytes become however the batches fall, and the
// line breaks. On Linux the set is the locale's; built for Windows and run
// under Wine, the same rows run on the code pages that hold those bytes.
#include "text.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

namespace {

using namespace std::string_literals;

struct Row {
    const char *locale;   // the user's locale on Linux; null: no locale's row
    const char *codePage; // the ANSI code page with the same bytes; null: no code page's row
    std::u16string text;  // as a box holds it
    std::string bytes;    // as it travels on the line
    std::u16string shown; // those bytes received, as the box then shows them
};

// The set a row names on this platform, as the program would find it.
serial::TextCodec codecOf(const Row &row)
{
#ifdef _WIN32
    return serial::TextCodec(row.codePage);
#else
    EXPECT_NE(std::setlocale(LC_ALL, row.locale), nullptr)
        << row.locale << " is not there (tools/make-locales and LOCPATH)";
    serial::TextCodec codec = serial::TextCodec::system();
    std::setlocale(LC_ALL, "C");
    return codec;
#endif
}

// Big5, and what it shows for the byte 0xFF, which starts no character:
// code page 950 maps it to a private-use character of its own.
#ifdef _WIN32
constexpr const char *big5Set = "CP950";
constexpr char16_t big5FF = u'\uF8F8';
#else
constexpr const char *big5Set = "BIG5";
constexpr char16_t big5FF = u'\uFFFD';
#endif

using Text = ::testing::TestWithParam<Row>;

TEST_P(Text, EncodesInTheSystemsSetAndDecodesWholeCharactersWhereverABatchEnds)
{
    const Row &row = GetParam();
#ifdef _WIN32
    if (row.codePage == nullptr)
        GTEST_SKIP() << "a locale's set";
#else
    if (row.locale == nullptr)
        GTEST_SKIP() << "a code page's set";
#endif
    serial::TextCodec codec = codecOf(row);
    EXPECT_EQ(codec.encode(row.text), row.bytes);

    // Every way of splitting the bytes into two receives shows the same text:
    // no character broken or shown twice, no line break doubled.
    for (std::size_t split = 0; split <= row.bytes.size(); ++split) {
        codec.reset();
        std::u16string shown = codec.decode(row.bytes.substr(0, split));
        shown += codec.decode(row.bytes.substr(split));
        EXPECT_EQ(shown, row.shown) << "split at " << split;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Locales, Text,
    ::testing::Values(
        // Chinese as its Big5 bytes; an accented letter Big5 lacks becomes '?'.
        // A character outside the BMP is one '?', not one per UTF-16 half.
        Row{"zh_TW.BIG5", "CP950", u"你好 abc\n中文é\U0001F600",
            "\xa7\x41\xa6\x6e abc\r\n\xa4\xa4\xa4\xe5??", u"你好 abc\n中文??"},
        Row{"zh_TW.UTF-8", "CP65001", u"你好\r\nz\xD800", "\xe4\xbd\xa0\xe5\xa5\xbd\r\nz?",
            u"你好\nz?"},
        // Plain C is taken as UTF-8.
        Row{"C", nullptr, u"é\r€", "\xc3\xa9\r\n\xe2\x82\xac", u"é\n€"},
        Row{"en_US.ISO-8859-1", "CP1252", u"café 你\n", "caf\xe9 ?\r\n", u"café ?\n"},
        // The euro sign that Latin-1 lacks and code page 1252 has.
        Row{"en_US.ISO-8859-1", nullptr, u"5€", "5?", u"5?"},
        Row{nullptr, "CP1252", u"5€", "5\x80", u"5€"}),
    [](const ::testing::TestParamInfo<Row> &info) {
        std::string name = info.param.locale != nullptr ? info.param.locale : "";
        if (info.param.codePage != nullptr)
            name += std::string("_") + info.param.codePage;
        std::erase_if(name, [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); });
        return name;
    });

TEST(TextCodec, BytesThatFormNoCharacterShowAsReplacementsAndATailEndsWithReset)
{
    serial::TextCodec utf8("UTF-8");
    EXPECT_EQ(utf8.decode("a\xff\xc3(b"), u"a\uFFFD\uFFFD(b");
    EXPECT_EQ(utf8.decode("\xe4\xbd"), u"");
    utf8.reset(); // a new port: the two kept bytes are gone
    EXPECT_EQ(utf8.decode("\xa0z"), u"\uFFFDz");
    // NULs are dropped, after decoding: the bytes around one never join into
    // a character, and a CR NUL LF is still one break.
    EXPECT_EQ(utf8.decode("\xe4\0\xbd\xa0!ab\0c\r\0\nd"s), u"\uFFFD\uFFFD\uFFFD!abc\nd");

    serial::TextCodec big5(big5Set);
    EXPECT_EQ(big5.decode("\xffx\xa4"), (std::u16string{big5FF, u'x'}));
    EXPECT_EQ(big5.decode("\xa4\r"), u"中\n");
    EXPECT_EQ(big5.decode("\n\n", u"\r\n"), u"\r\n") << "the LF after a CR is the same break";

    // Lines as a Windows edit control wants them.
    EXPECT_EQ(utf8.decode("1\r\n2\n3\r4", u"\r\n"), u"1\r\n2\r\n3\r\n4");
}

TEST(TextCodec, AnUnknownSetFallsBackToUtf8AndSaysSo)
{
    ::testing::internal::CaptureStderr();
    serial::TextCodec codec("NO-SUCH-CHARSET");
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(codec.charset(), "UTF-8");
    EXPECT_EQ(codec.encode(u"é"), "\xc3\xa9");
    EXPECT_NE(said.find("NO-SUCH-CHARSET"), std::string::npos) << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
}

} // namespace
