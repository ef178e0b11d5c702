#include <gtest/gtest.h>

#include <algorithm>

#include "platform/rtl/Encoding.h"

using namespace rtl;

namespace {

AnsiString AllBytes()
{
    AnsiString bytes;
    for (int c = 0; c < 256; ++c)
        bytes.push_back(static_cast<char>(c));
    return bytes;
}

}  // namespace

TEST(Encoding, EveryByteSurvivesUtf8AndUtf16)
{
    const AnsiString bytes = AllBytes();
    EXPECT_EQ(Utf8ToAnsi(AnsiToUtf8(bytes)), bytes);
    EXPECT_EQ(Utf16ToAnsi(AnsiToUtf16(bytes)), bytes);
    // Distinct bytes give distinct characters, or a round trip could not work.
    std::u16string wide = AnsiToUtf16(bytes);
    std::sort(wide.begin(), wide.end());
    EXPECT_EQ(std::unique(wide.begin(), wide.end()), wide.end());
}

TEST(Encoding, TheHighBlockIsWindows1252NotLatin1)
{
    EXPECT_EQ(AnsiCharToUnicode(0x80), U'\u20AC');  // euro
    EXPECT_EQ(AnsiCharToUnicode(0x85), U'\u2026');  // ellipsis
    EXPECT_EQ(AnsiCharToUnicode(0x93), U'\u201C');
    EXPECT_EQ(AnsiCharToUnicode(0x9F), U'\u0178');
    for (unsigned char undefined : {0x81, 0x8D, 0x8F, 0x90, 0x9D})
        EXPECT_EQ(AnsiCharToUnicode(undefined), static_cast<char32_t>(undefined));
    EXPECT_EQ(AnsiCharToUnicode(0xE9), U'\u00E9');
    EXPECT_EQ(AnsiToUtf8("\x80"), "\xE2\x82\xAC");
    EXPECT_EQ(AnsiToUtf8("caf\xE9"), "caf\xC3\xA9");
    EXPECT_EQ(Utf8ToAnsi("\xE2\x80\x9C" "a" "\xE2\x80\x9D"), "\x93" "a" "\x94");
    // Latin-1's C1 controls that 1252 replaces have no byte here.
    EXPECT_EQ(Utf8ToAnsi("\xC2\x80"), "?");
}

TEST(Encoding, CharactersOutsideTheCodePageBecomeQuestionMarks)
{
    EXPECT_EQ(Utf8ToAnsi("\xE4\xB8\xAD"), "?");          // a CJK character
    EXPECT_EQ(Utf8ToAnsi("\xF0\x9F\x98\x80!"), "?!");    // outside the BMP
    EXPECT_EQ(Utf16ToAnsi(u"\U0001F600!"), "?!") << "a surrogate pair is one character";
    EXPECT_EQ(Utf16ToAnsi(std::u16string(1, char16_t(0xD800)) + u"a"), "?a") << "a lone surrogate";
}

TEST(Encoding, MalformedUtf8NeverCrashesAndKeepsTheRest)
{
    EXPECT_EQ(Utf8ToAnsi("a\x80z"), "a?z");                 // stray continuation byte
    EXPECT_EQ(Utf8ToAnsi("a\xC3"), "a?");                   // truncated at the end
    EXPECT_EQ(Utf8ToAnsi("\xE2\x82z"), "??z");              // truncated inside
    EXPECT_EQ(Utf8ToAnsi("\xC0\xAF"), "??");                // overlong '/'
    EXPECT_EQ(Utf8ToAnsi("\xED\xA0\x80"), "???");           // encoded surrogate
    EXPECT_EQ(Utf8ToAnsi("\xF5\x80\x80\x80"), "????");      // past U+10FFFF
    EXPECT_EQ(Utf8ToAnsi("\xFF\xFE"), "??");
    EXPECT_EQ(Utf8ToAnsi(std::string("\0x", 2)), std::string("\0x", 2));
}

TEST(Encoding, MalformedUtf8CanKeepItsBytes)
{
    // A host file name in Latin-1 is not UTF-8; its bytes still name the same file.
    const std::string latin1Name = "caf\xE9.txt";
    EXPECT_EQ(rtl::Utf8ToAnsi(latin1Name), "caf?.txt");
    EXPECT_EQ(rtl::Utf8ToAnsi(latin1Name, rtl::TMalformedUtf8::KeepBytes), "caf\xE9.txt");
    EXPECT_EQ(rtl::Utf8ToAnsi("caf\xC3\xA9", rtl::TMalformedUtf8::KeepBytes), "caf\xE9");
}
