#include <gtest/gtest.h>

#include "platform/richedit/RtfReader.h"
#include "platform/richedit/RtfWriter.h"
#include "tests/platform/richedit/RichTestSupport.h"

using namespace richedit;
using namespace richtest;

TEST(RtfReader, ReadsWhatTheWriterWroteBack)
{
    for (uint32_t seed = 1; seed <= 200; ++seed) {
        TRichDocument doc = RandomDocument(seed, 80);
        AnsiString written = WriteRtf(doc);
        TRichDocument read = ReadRtf(written);
        ASSERT_TRUE(read == doc) << "seed " << seed << "\n" << written;
        ASSERT_EQ(WriteRtf(read), written) << "seed " << seed;
    }
}

TEST(RtfReader, RoundTripsEmptyAndMarkerDocuments)
{
    TCharAttributes courier;
    courier.Face = "Courier New";
    courier.Bold = true;
    for (const TRichDocument& doc : {TRichDocument(), TRichDocument(courier), MarkerDocument()}) {
        AnsiString written = WriteRtf(doc);
        EXPECT_TRUE(ReadRtf(written) == doc) << written;
        EXPECT_EQ(WriteRtf(ReadRtf(written)), written);
    }
}

TEST(RtfReader, ReadsHandWrittenRichText)
{
    TRichDocument doc = ReadRtf(
        "{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1033\\deftab720"
        "{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}{\\f1\\froman\\fprq2\\fcharset0 Times New Roman;}}\r\n"
        "{\\colortbl ;\\red255\\green0\\blue0;}\r\n"
        "{\\*\\generator Hand 1.0;}\\viewkind4\\uc1\\pard\\f0\\fs20 Plain \\b bold\\b0  \\ul under\\ul0  "
        "\\cf1 red\\cf0\\par\r\n"
        "\\pard\\qc\\f1\\fs24 caf\\'e9\\line next\\plain  end\\par\r\n"
        "}\r\n");
    EXPECT_EQ(doc.Text(), "Plain bold under red\r\ncaf\xe9\r\nnext end\r\n");
    EXPECT_EQ(doc.AttributesAt(0).Face, "Arial");
    EXPECT_EQ(doc.AttributesAt(0).HalfPoints, 20);
    EXPECT_TRUE(doc.AttributesAt(6).Bold);
    EXPECT_FALSE(doc.AttributesAt(10).Bold);
    EXPECT_TRUE(doc.AttributesAt(11).Underline);
    EXPECT_FALSE(doc.AttributesAt(16).Underline);
    EXPECT_EQ(doc.AttributesAt(17).Color, 0x0000FFu);
    EXPECT_EQ(doc.AttributesAt(22).Face, "Times New Roman");
    EXPECT_EQ(doc.AttributesAt(22).HalfPoints, 24);
    EXPECT_EQ(doc.Alignment(0), paLeft);
    EXPECT_EQ(doc.Alignment(1), paCenter);
    EXPECT_EQ(doc.Alignment(2), paCenter);  // \line ends a paragraph that keeps the formatting
    // \plain goes back to the default font at 12 points.
    EXPECT_EQ(doc.AttributesAt(doc.Length() - 4).Face, "Arial");
    EXPECT_EQ(doc.AttributesAt(doc.Length() - 4).HalfPoints, 24);
}

TEST(RtfReader, UnicodeUsesTheCodePageOrItsFallback)
{
    EXPECT_EQ(ReadRtf("{\\rtf1 caf\\u233?s \\u8364? \\u12354?x \\uc2\\u233xy! \\u-3973ab}").Text(),
              "caf\xe9s \x80 ?x \xe9! ab");
    // Two in a row each skip their own fallback.
    EXPECT_EQ(ReadRtf("{\\rtf1 \\u233?\\u234?}").Text(), "\xe9\xea");
    EXPECT_EQ(ReadRtf("{\\rtf1 \\u233\\'e9z}").Text(), "\xe9z");
}

TEST(RtfReader, SkipsDestinationsAndUnknownWords)
{
    TRichDocument doc = ReadRtf(
        "{\\rtf1{\\stylesheet{\\s0 Normal;}}{\\info{\\title T}}"
        "{\\*\\unknowndest {nested {deeper}} text}A{\\*\\bkmkstart x}B\\madeupword42 C"
        "{\\pict\\bin4 }}{}}D{\\field{\\*\\fldinst HYPERLINK}{\\fldrslt E}}}");
    EXPECT_EQ(doc.Text(), "ABCDE");
}

TEST(RtfReader, FontsAndColoursOutOfRangeFallBack)
{
    TRichDocument doc = ReadRtf("{\\rtf1{\\fonttbl{\\f3 Verdana;}}\\f7 a\\f3 b\\cf9 c\\fs0 d}");
    EXPECT_EQ(doc.AttributesAt(0).Face, "Arial");
    EXPECT_EQ(doc.AttributesAt(1).Face, "Verdana");
    EXPECT_EQ(doc.AttributesAt(2).Color, 0u);
    EXPECT_EQ(doc.AttributesAt(3).HalfPoints, 24);
    // A table whose entries lack the semicolon, or have no group of their own.
    EXPECT_EQ(ReadRtf("{\\rtf1{\\fonttbl{\\f0 Tahoma}}x}").AttributesAt(0).Face, "Tahoma");
    EXPECT_EQ(ReadRtf("{\\rtf1{\\fonttbl\\f0 A;\\f1 Georgia;}\\f1 x}").AttributesAt(0).Face, "Georgia");
}

TEST(RtfReader, GroupsRestoreTheirOuterState)
{
    TRichDocument doc = ReadRtf("{\\rtf1\\f0\\fs20 a{\\b\\i b{\\ul c}}d\\protect e\\protect0 f}");
    EXPECT_EQ(doc.Text(), "abcdef");
    EXPECT_FALSE(doc.AttributesAt(0).Bold);
    EXPECT_TRUE(doc.AttributesAt(1).Bold && doc.AttributesAt(1).Italic);
    EXPECT_TRUE(doc.AttributesAt(2).Underline && doc.AttributesAt(2).Bold);
    EXPECT_FALSE(doc.AttributesAt(3).Bold || doc.AttributesAt(3).Underline);
    EXPECT_TRUE(doc.AttributesAt(4).Protected);
    EXPECT_FALSE(doc.AttributesAt(5).Protected);
}

TEST(RtfReader, MalformedInputIsReadAsFarAsItGoes)
{
    EXPECT_EQ(ReadRtf("{\\rtf1 unclosed {\\b group").Text(), "unclosed group");
    EXPECT_EQ(ReadRtf("{\\rtf1 a}}}} trailing").Text(), "a");
    EXPECT_EQ(ReadRtf("{\\rtf1 a\\'").Text(), "a");
    EXPECT_EQ(ReadRtf("{\\rtf1 a\\'4").Text(), "a");
    EXPECT_EQ(ReadRtf("{\\rtf1 a\\'zzb}").Text(), "azzb");
    EXPECT_EQ(ReadRtf("{\\rtf1 a\\").Text(), "a");
    EXPECT_EQ(ReadRtf("{\\rtf1 \\fs99999999999999999999999 x}").AttributesAt(0).HalfPoints, MaxHalfPoints);
    EXPECT_EQ(ReadRtf("{\\rtf1 \\u-99999999999999 x\\cf-5 y\\uc-3 z}").Text(), "xyz");
    EXPECT_EQ(ReadRtf("{\\rtf1 a\\bin999999999999 b}").Text(), "a");
    EXPECT_EQ(ReadRtf("{\\rtf1 a\\'0d\\'00\\'0ab}").Text(), "ab");
    EXPECT_EQ(ReadRtf("{\\rtf1 " + AnsiString(100, 'x') + "long\\" + AnsiString(200, 'w') + " y}").Text(),
              AnsiString(100, 'x') + "longy");

    AnsiString deep = "{\\rtf1 " + AnsiString(200000, '{') + "x" + AnsiString(200000, '}') + "y}";
    EXPECT_EQ(ReadRtf(deep).Text(), "xy");
}

TEST(RtfReader, RefusesTextThatIsNoRichText)
{
    EXPECT_TRUE(IsRtf("  \r\n{\\rtf1}"));
    EXPECT_FALSE(IsRtf("plain text"));
    EXPECT_FALSE(IsRtf(""));
    EXPECT_THROW(ReadRtf("plain text"), ERichTextError);
}
