#include <gtest/gtest.h>

#include "tests/platform/vcl/VclTestFixture.h"
#include "tests/tool/HelpTestSupport.h"
#include "tool/PageTranslation.h"

namespace {

class PageTranslationTest : public VclTest {
protected:
    // The translation of `lines` against the merged tables of every page; `error` is what it must report.
    AnsiString Body(const rtl::TStrings& lines, const rtl::TStrings* links, bool error = false, const AnsiString& label = "P")
    {
        rtl::TStringList fonts;
        rtl::TStringList colors;
        BuildFontTable(pages.List, fonts);
        BuildColorTable(pages.List, colors);
        TTopicWriter writer(pages.List, fonts, colors);
        EXPECT_EQ(WriteTopicBody(writer, lines, links, label), error);
        return writer.Text();
    }

    AnsiString Topic(int index, bool error = false)
    {
        rtl::TStringList fonts;
        rtl::TStringList colors;
        BuildFontTable(pages.List, fonts);
        BuildColorTable(pages.List, colors);
        TTopicWriter writer(pages.List, fonts, colors);
        EXPECT_EQ(WriteTopic(writer, index), error);
        return writer.Text();
    }

    // A page P with a body, and the page Second that topic links go to.
    TPageObject& PageWithBody(const AnsiString& body)
    {
        TPageObject& page = pages.Add("P", "IDH_P");
        SetBody(page.Text, body);
        pages.Add("Second", "IDH_P2");
        return page;
    }

    void ExpectMessage(const AnsiString& text)
    {
        ASSERT_FALSE(vcl::test::Messages().empty());
        EXPECT_EQ(vcl::test::LastMessage().Kind, "ShowMessage");
        EXPECT_EQ(vcl::test::LastMessage().Text, text);
    }

    TTestPages pages;
};

}  // namespace

TEST_F(PageTranslationTest, WorkedExampleLineByLine)
{
    TPageObject& page = PageWithBody("\\f0\\fs20 See \\cf1\\ul ##Next##\\cf0\\ulnone  now.\\par");
    AddLink(page, "Next", 0, "second", "the next page");
    EXPECT_EQ(Body(page.Text, &page.Links),
              "\\f0\r\n\\fs20\r\nSee \\cf2\r\n\r\n{\\uldb the next page}{\\v IDH_P2}\\cf1\r\n\r\n now.\\par\r\n");

    // The same page as the editor writes it: protection adds its own (empty) lines and nothing else.
    SetTextWithMarker(page.Text, "##Next##");
    EXPECT_EQ(Body(page.Text, &page.Links),
              "\\f0\r\n\\fs20\r\nSee \\cf2\r\n\r\n\r\n{\\uldb the next page}{\\v IDH_P2}\\cf1\r\n\r\n \r\nnow.");
}

TEST_F(PageTranslationTest, ControlWordsAndPlainText)
{
    struct Case {
        const char* Body;
        const char* Expected;
    };
    const Case cases[] = {
        {"\\cf0 x", "\\cf1\r\nx"},              // black is merged colour 1
        {"\\cf7 x", "\\cf0\r\nx"},              // beyond the page's colours
        {"# and ## stay", "# and ## stay"},     // no marker outside underline
        {"\\'e9t\\'e9 x", "\\'e9t\r\n\\'e9\r\n x"},  // the blank after a character code is text
        {"a\\\\b", "a\\\\b"},
        {"\\up3 x", "\\up3\r\nx"},
        {"abc\\", "abc\\\r\n"},
        {"{\\b x}y", "{\\b\r\nxy"},
        {"\\fs20 \\fi-360 x", "\\fs20\r\n\\fi-360\r\nx"},
        {"\\protect x\\protect0 y", "\r\nx\r\ny"},
        {"\\ul #pics\\\\a.bmp#\\ulnone  x", "\r\n\\{bmc pics\\\\a.bmp\\}\r\n\r\n x"},
    };
    TPageObject& page = PageWithBody("");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Body);
        SetBody(page.Text, c.Body);
        EXPECT_EQ(Body(page.Text, &page.Links), c.Expected);
    }

    // Only what follows the first "\pard", in any case, is translated; without one nothing is.
    SetLines(page.Text, {"{\\rtf1{\\fonttbl{\\f0\\fnil Arial;}}", "junk\\PaRd\\b y", "z}"});
    EXPECT_EQ(Body(page.Text, &page.Links), "\\b\r\nyz");
    // A text without a colour table keeps the automatic colour.
    SetLines(page.Text, {"{\\rtf1{\\fonttbl{\\f0\\fnil Arial;}}", "\\pard\\cf0 x\\cf1 y"});
    EXPECT_EQ(Body(page.Text, &page.Links), "\\cf0\r\nx\\cf0\r\ny");
    SetLines(page.Text, {"{\\rtf1 no paragraph}"});
    EXPECT_EQ(Body(page.Text, &page.Links), "");
    page.Text.Clear();
    EXPECT_EQ(Body(page.Text, &page.Links), "");
}

TEST_F(PageTranslationTest, RenumbersFontsAndColoursIntoTheMergedTables)
{
    TPageObject& first = pages.Add("R", "IDH_R");
    SetLines(first.Text, {"{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fnil\\fcharset0 Times New Roman;}}",
                          "{\\colortbl ;\\red0\\green128\\blue0;}", "\\pard x", "}"});
    TPageObject& page = pages.Add("Q", "IDH_Q");
    SetLines(page.Text, {"{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fnil\\fcharset0 Arial;}{\\f1\\fnil\\fcharset0 Courier New;}}",
                         "{\\colortbl ;\\red255\\green0\\blue0;}", "\\pard\\f1 a\\f0 b\\cf1 c\\cf0 d", "}"});
    // Merged fonts: Arial, Times New Roman, Courier New; colours: black, green, red.
    EXPECT_EQ(Body(page.Text, &page.Links), "\\f2\r\na\\f0\r\nb\\cf3\r\nc\\cf1\r\nd");
}

TEST_F(PageTranslationTest, LinkHotspotsByKindWithTheirTextsEscaped)
{
    TPageObject& page = PageWithBody("\\ul ##Pop##\\ulnone  \\ul ##web##\\ulnone  \\ul ##Mail##\\ulnone  .");
    pages.Add("Other", "ID{1}");
    AddLink(page, "Pop", 0, "OTHER", "a{b}\\c", true);
    AddLink(page, "Web", 1, "http://x/?a=b", "web");
    AddLink(page, "Mail", 2, "me@example.com", "mail \xe9");
    EXPECT_EQ(Body(page.Text, &page.Links),
              "\r\n{\\ul a\\{b\\}\\\\c}{\\v ID\\{1\\}}\r\n \r\n{\\uldb web}{\\v !ExecFile(http://x/?a=b)}\r\n \r\n"
              "{\\uldb mail \\'e9}{\\v !ExecFile(mailto:me@example.com)}\r\n .");
}

TEST_F(PageTranslationTest, TopicFootnotesHeaderAndFrame)
{
    pages.Add("Bare", "IDH_BARE");
    TPageObject& full = pages.Add("Full", "ID}1");
    full.TopicTitle = "Caf\xe9\r\nMenu";
    full.IndexKeywords = "one;two";
    SetBody(full.Header, "\\f0\\fs24\\b Head\\par");
    SetBody(full.Text, "\\f0 Body");

    EXPECT_EQ(Topic(0), "#{\\footnote IDH_BARE}\r\n\\b0\\i0\\cf0\r\n\\pard\r\n\\b0\\i0\r\n\\pard\r\n");
    EXPECT_EQ(Topic(1),
              "#{\\footnote ID\\}1}\r\n"
              "${\\footnote Caf\\'e9  Menu}\r\n"
              "K{\\footnote one;two}\r\n"
              "\\keepn\\b0\\i0\\cf0\r\n"
              "\\f0\r\n\\fs24\r\n\\b\r\nHead\\par\r\n"
              "\\pard\r\n\\b0\\i0\r\n"
              "\\b0\\i0\\cf0\r\n\\pard\r\n"
              "\\f0\r\nBody\\b0\\i0\r\n\\pard\r\n");
}

TEST_F(PageTranslationTest, ErrorsStopTheTextWithTheirMessage)
{
    TPageObject& page = PageWithBody("x \\ul ##Nope##\\ulnone  y");
    AddLink(page, "Lost", 0, "No Such Page", "t");

    vcl::test::AnswerMessage(vcl::mrOk);
    EXPECT_EQ(Body(page.Text, &page.Links, true), "x \r\n");
    ExpectMessage("Illegal link found in page P\r\n\r\nLink:  Nope  not found.");

    SetBody(page.Text, "x \\ul ##lost##\\ulnone  y");
    vcl::test::AnswerMessage(vcl::mrOk);
    EXPECT_EQ(Body(page.Text, &page.Links, true), "x \r\n{\\uldb t}");
    ExpectMessage("Illegal link found in page P\r\n\r\nLink:  lost  is linked to a page that does not exist.");

    const AnsiString contact = "\r\n\r\nPlease contact Halvern support at support@example.com about this problem.";
    for (const char* body : {"a\\f99999999999 x", "a\\f1 x"}) {
        SCOPED_TRACE(body);
        SetBody(page.Text, body);
        vcl::test::AnswerMessage(vcl::mrOk);
        EXPECT_EQ(Body(page.Text, &page.Links, true), "a");
        ExpectMessage("Illegal font found in page P" + contact);
    }
    for (const char* body : {"a\\cf x", "a\\cf99999999999 x"}) {
        SCOPED_TRACE(body);
        SetBody(page.Text, body);
        vcl::test::AnswerMessage(vcl::mrOk);
        EXPECT_EQ(Body(page.Text, &page.Links, true), "a");
        ExpectMessage("Illegal color found in page P" + contact);
    }

    // A header has no links to resolve markers with; the topic still gets its closing lines.
    SetBody(page.Header, "\\ul ##Lost##\\ulnone  h");
    SetBody(page.Text, "fine");
    vcl::test::AnswerMessage(vcl::mrOk);
    const AnsiString topic = Topic(0, true);
    ExpectMessage("Illegal link found in page P - Page Header\r\n\r\nLink:  Lost  not found.");
    EXPECT_NE(topic.find("\\keepn\\b0\\i0\\cf0\r\n\r\n\\pard\r\n\\b0\\i0\r\n\\b0\\i0\\cf0\r\n\\pard\r\nfine\\b0\\i0\r\n\\pard\r\n"),
              AnsiString::npos)
        << topic;
}

// The editor writes a marker's accented letters, braces and backslashes as RTF escapes; the link list
// holds the names as typed.
TEST_F(PageTranslationTest, LinkNamesWithEscapedCharactersAreFound)
{
    TPageObject& page = pages.Add("P", "IDH_P");
    pages.Add("Second", "IDH_P2");
    for (const char* name : {"Caf\xe9", "Stra\xdf" "e {neu}", "a\\b", "\xc9t\xe9\\{x}"}) {
        SCOPED_TRACE(name);
        page.Links.Clear();
        AddLink(page, name, 0, "Second", "go");
        SetTextWithMarker(page.Text, "##" + AnsiString(name) + "##");
        const AnsiString body = Body(page.Text, &page.Links);
        EXPECT_NE(body.find("{\\uldb go}{\\v IDH_P2}"), AnsiString::npos) << body;
        EXPECT_TRUE(vcl::test::Messages().empty());
    }

    // A name that is truly missing is reported as the author typed it.
    page.Links.Clear();
    SetTextWithMarker(page.Text, "##Caf\xe9 {2}##");
    vcl::test::AnswerMessage(vcl::mrOk);
    Body(page.Text, &page.Links, true);
    ExpectMessage("Illegal link found in page P\r\n\r\nLink:  Caf\xe9 {2}  not found.");
}
