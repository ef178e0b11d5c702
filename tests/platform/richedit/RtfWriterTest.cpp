#include <gtest/gtest.h>

#include <vector>

#include "platform/richedit/Charsets.h"
#include "platform/richedit/RtfReader.h"
#include "platform/richedit/RtfWriter.h"
#include "tests/platform/richedit/RichTestSupport.h"

using namespace richedit;
using namespace richtest;

namespace {

using TLines = std::vector<AnsiString>;

TRichDocument MixedDocument()
{
    TRichDocument doc = MarkerDocument();
    TCharAttributes bold;
    bold.Bold = true;
    doc.AppendParagraphEnd(Arial10(), paLeft);
    doc.AppendText("\xc9t\xe9", bold);
    doc.AppendText("\t2", Arial10());
    doc.AppendParagraphEnd(Arial10(), paCenter);
    TCharAttributes courier;
    courier.Face = "Courier New";
    courier.HalfPoints = 24;
    courier.Italic = true;
    courier.StrikeOut = true;
    doc.AppendText("a\\b{c}", courier);
    doc.SetLastAlignment(paCenter);
    return doc;
}

}  // namespace

TEST(RtfWriter, WritesTheFixedShape)
{
    EXPECT_EQ(WriteRtfLines(MixedDocument()),
              (TLines{
                  "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fnil\\fcharset0 Arial;}{\\f1\\fnil\\fcharset0 Courier New;}}",
                  "{\\colortbl ;\\red0\\green128\\blue0;}",
                  "\\pard\\f0\\fs20 See \\cf1\\ul\\protect ##Next##\\cf0\\ulnone  \\protect0 now.\\par",
                  "\\pard\\qc\\b\\'c9t\\'e9\\b0\\tab 2\\par",
                  "\\f1\\fs24\\i\\strike a\\\\b\\{c\\}",
                  "}",
              }));
}

TEST(RtfWriter, JoinsLinesWithCrLf)
{
    TRichDocument doc;
    doc.AppendText("x", Arial10());
    EXPECT_EQ(WriteRtf(doc),
              "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fnil\\fcharset0 Arial;}}\r\n\\pard\\f0\\fs20 x\r\n}\r\n");
}

TEST(RtfWriter, AnEmptyDocumentKeepsItsFontAndNoColourTable)
{
    TCharAttributes times;
    times.Face = "Times New Roman";
    times.HalfPoints = 24;
    EXPECT_EQ(WriteRtfLines(TRichDocument(times)),
              (TLines{"{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fnil\\fcharset0 Times New Roman;}}", "\\pard\\f0\\fs24", "}"}));
}

TEST(RtfWriter, ColoursAreNumberedByFirstUseAndBlackIsAutomatic)
{
    TRichDocument doc;
    TCharAttributes blue, red, black;
    blue.Color = 0xFF0000;
    red.Color = 0x0000FF;
    doc.AppendText("a", blue);
    doc.AppendText("b", red);
    doc.AppendText("c", black);
    doc.AppendText("d", blue);
    TLines lines = WriteRtfLines(doc);
    EXPECT_EQ(lines[1], "{\\colortbl ;\\red0\\green0\\blue255;\\red255\\green0\\blue0;}");
    EXPECT_EQ(lines[2], "\\pard\\f0\\fs20\\cf1 a\\cf2 b\\cf0 c\\cf1 d");
}

TEST(RtfWriter, SwitchesEveryAttributeOffExplicitly)
{
    TRichDocument doc;
    TCharAttributes all;
    all.Bold = all.Italic = all.Underline = all.StrikeOut = all.Protected = true;
    doc.AppendText("on", all);
    doc.AppendText("off", Arial10());
    EXPECT_EQ(WriteRtfLines(doc)[1], "\\pard\\f0\\fs20\\b\\i\\strike\\ul\\protect on\\b0\\i0\\strike0\\ulnone\\protect0 off");
}

TEST(RtfWriter, ParagraphEndsCarryTheirOwnAttributes)
{
    TRichDocument doc;
    TCharAttributes bold;
    bold.Bold = true;
    doc.AppendText("a", Arial10());
    doc.AppendParagraphEnd(bold, paRight);
    doc.AppendParagraphEnd(bold, paRight);
    doc.SetLastAlignment(paLeft);
    EXPECT_EQ(WriteRtfLines(doc),
              (TLines{"{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fnil\\fcharset0 Arial;}}",
                      "\\pard\\qr\\f0\\fs20 a\\b\\par", "\\par", "\\pard", "}"}));
}

TEST(RtfWriter, MarkersStandWholeOnOneLine)
{
    TRichDocument doc;
    doc.AppendText("Picture ", Arial10());
    doc.AppendText("#pics\\a.bmp#", Marker());
    doc.AppendText(" ", ProtectedBlank());
    doc.AppendText("and ", Arial10());
    doc.AppendText("##A long link name##", Marker());
    TLines lines = WriteRtfLines(doc);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_NE(lines[2].find("\\ul\\protect #pics\\\\a.bmp#\\cf0\\ulnone  \\protect0 and "), AnsiString::npos);
    EXPECT_NE(lines[2].find("\\ul\\protect ##A long link name##"), AnsiString::npos);
}

// Body lines hold no groups; a control word ends at a backslash, a blank before text, or the line's end.
TEST(RtfWriter, BodyLinesKeepToTheScannersRules)
{
    for (uint32_t seed = 1; seed <= 40; ++seed) {
        TLines lines = WriteRtfLines(RandomDocument(seed, 60));
        EXPECT_EQ(lines.back(), "}");
        size_t firstBody = lines[1].rfind("{\\colortbl", 0) == 0 ? 2 : 1;
        EXPECT_EQ(lines[firstBody].rfind("\\pard", 0), 0u);
        for (size_t i = firstBody; i + 1 < lines.size(); ++i) {
            const AnsiString& line = lines[i];
            for (size_t p = 0; p < line.size(); ++p) {
                ASSERT_TRUE(line[p] != '{' && line[p] != '}') << "a group in " << line;
                if (line[p] != '\\')
                    continue;
                ASSERT_LT(p + 1, line.size()) << "a backslash ends " << line;
                char next = line[p + 1];
                if (next == '\\' || next == '{' || next == '}') {
                    ++p;
                    continue;
                }
                if (next == '\'') {
                    p += 3;
                    continue;
                }
                size_t q = p + 1;
                while (q < line.size() && isalnum(static_cast<unsigned char>(line[q])))
                    ++q;
                if (q < line.size()) {
                    ASSERT_TRUE(line[q] == '\\' || line[q] == ' ') << line;
                    ASSERT_TRUE(line[q] == '\\' || q + 1 < line.size()) << "a blank ends " << line;
                }
                p = q - 1;
            }
        }
    }
}

// Pasted rich text in another character set keeps it: the bytes and the font's set come back out, and
// plain text, display and HTML see the characters the bytes are in that set.
TEST(RtfWriter, FontCharacterSetsSurviveReadingAndWriting)
{
    // Greek Omega and alpha, in a Greek font: bytes D9 and E1 of code page 1253.
    TRichDocument greek = ReadRtf("{\\rtf1\\ansi\\ansicpg1253\\deff0{\\fonttbl{\\f0\\fswiss\\fcharset161 Arial;}}"
                                  "\\f0\\fs20 \\'d9\\'e1 x}");
    ASSERT_EQ(greek.Text(), "\xd9\xe1 x");
    EXPECT_EQ(greek.AttributesAt(0).Charset, 161);
    const TLines lines = WriteRtfLines(greek);
    EXPECT_EQ(lines[0], "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fnil\\fcharset161 Arial;}}");
    EXPECT_EQ(lines[1], "\\pard\\f0\\fs20\\'d9\\'e1 x");
    EXPECT_EQ(WriteRtf(ReadRtf(WriteRtf(greek))), WriteRtf(greek));
    EXPECT_EQ(greek.PlainLines(), TLines{"?? x"});  // Windows-1252 has no Greek letters

    // \cpg names the set when \fcharset does not; \ansicpg when the font names neither.
    EXPECT_EQ(ReadRtf("{\\rtf1{\\fonttbl{\\f0\\cpg1251 Arial;}}\\f0 \\'c4}").AttributesAt(0).Charset, 204);
    EXPECT_EQ(ReadRtf("{\\rtf1\\ansicpg1253{\\fonttbl{\\f0 Arial;}}\\f0 \\'c4}").AttributesAt(0).Charset, 161);
    EXPECT_EQ(ReadRtf("{\\rtf1\\mac{\\fonttbl{\\f0 Times;}}\\f0 \\'bd}").PlainLines(), TLines{"?"});  // Omega

    // One face in two sets is two fonts; typed text is Windows-1252 whatever it follows.
    TRichDocument mixed = ReadRtf("{\\rtf1{\\fonttbl{\\f0\\fcharset161 Arial;}{\\f1\\fcharset0 Arial;}}"
                                  "\\f0\\'d9\\f1\\'e9}");
    EXPECT_EQ(WriteRtfLines(mixed)[0],
              "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fnil\\fcharset161 Arial;}{\\f1\\fnil\\fcharset0 Arial;}}");
    EXPECT_EQ(mixed.InsertionAttributes(1).Charset, 0);
    EXPECT_EQ(mixed.PlainLines(), TLines{"?\xe9"});
}

TEST(RtfReader, UnicodeTakesTheFontsSetThenWindows1252ThenTheFallback)
{
    TRichDocument doc = ReadRtf("{\\rtf1{\\fonttbl{\\f0\\fcharset161 Arial;}}\\f0\\uc1"
                                "\\u937?\\u233?\\u12354?}");
    ASSERT_EQ(doc.Text(), "\xd9\xe9?");
    EXPECT_EQ(doc.AttributesAt(0).Charset, 161);  // Omega in the Greek set
    EXPECT_EQ(doc.AttributesAt(1).Charset, 0);    // e acute only Windows-1252 holds
    EXPECT_EQ(doc.AttributesAt(2).Charset, 161);  // no set holds Hiragana: the fallback
    EXPECT_EQ(doc.PlainLines(), TLines{"?\xe9?"});
}

TEST(Charsets, ConvertSingleByteSetsAndKeepTheOthersBytes)
{
    char32_t u = 0;
    unsigned char c = 0;
    EXPECT_TRUE(CharsetCharToUnicode(161, 0xD9, u));
    EXPECT_EQ(u, U'\u03A9');
    EXPECT_TRUE(UnicodeToCharsetChar(161, U'\u03A9', c));
    EXPECT_EQ(c, 0xD9);
    EXPECT_FALSE(CharsetCharToUnicode(161, 0xAA, u));  // unassigned in 1253
    EXPECT_FALSE(CharsetCharToUnicode(128, 0x82, u));  // double-byte Japanese: no table
    EXPECT_EQ(CharsetToUtf16(204, "\xc4"), u"\u0414");
    EXPECT_EQ(CharsetToAnsi(2, "\xd9"), "\xd9");  // a symbol font's bytes stay
}
