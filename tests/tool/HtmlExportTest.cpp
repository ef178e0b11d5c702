// The HTML export: colours, fonts and file names, the translation of page rich text byte for byte, the
// files and picture copies it writes, and the command on the main window driven headless.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <memory>

#include "platform/vcl/TestDriver.h"
#include "platform/win/Paths.h"
#include "platform/win/SystemInfo.h"
#include "tests/platform/vcl/VclTestFixture.h"
#include "tests/tool/HelpTestSupport.h"
#include "tool/AboutUnit.h"
#include "tool/HtmlExport.h"
#include "tool/MainUnit.h"
#include "tool/ProjectFile.h"

using namespace vcl;
namespace vt = vcl::test;
namespace fs = std::filesystem;

namespace {

// A folder of its own for each test that writes files.
AnsiString NewFolder(const char* stem)
{
    static int run = 0;
    const AnsiString folder = AnsiString("C:\\") + stem + rtl::IntToStr(++run);
    fs::remove_all(HostPathOf(folder));
    fs::create_directories(HostPathOf(folder));
    return folder;
}

std::vector<AnsiString> Lines(const rtl::TStrings& list)
{
    std::vector<AnsiString> lines;
    for (int i = 0; i < list.Count(); ++i)
        lines.push_back(list[i]);
    return lines;
}

const char ArialPair[] = "</FONT><FONT face=\"Arial\" size=\"2\" color=\"#000000\">";

// One page's body translated on its own, with the page's links and the other pages of `pages`.
class HtmlTranslationTest : public ::testing::Test {
protected:
    void SetUp() override { state.HelpFileName = "Demo"; }

    AnsiString Translate(TPageObject& page, const AnsiString& body)
    {
        SetBody(page.Text, body);
        const THtmlExport html(pages.List, state, folder + "\\index.html");
        THtmlPageFile file(html, pages.List.IndexOfObject(&page));
        file.WritePageHtml(page.Text);
        return file.Text();
    }
    AnsiString Translate(const AnsiString& body)
    {
        if (pages.List.Count() == 0)
            pages.Add("Page");
        return Translate(PageAt(pages.List, 0), body);
    }

    TTestPages pages;
    TProjectState state;
    AnsiString folder = "C:\\out";
};

}  // namespace

// ---- colours, fonts, file names

TEST(HtmlTables, ColoursAndFontNames)
{
    EXPECT_EQ(ColorToHtml(clWhite), "#FFFFFF");
    EXPECT_EQ(ColorToHtml(static_cast<TColor>(0x00123456)), "#563412");  // 0x00BBGGRR
    EXPECT_EQ(ColorToHtml(static_cast<TColor>(0x000000AB)), "#AB0000");

    rtl::TStringList lines;
    SetLines(lines, {"{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fnil\\fcharset0 Arial;}{\\f1\\fnil\\fcharset0 Courier New;}"
                     "{\\f2\\fnil{\\*\\panose 0}Odd;}}",
                     "{\\colortbl ;\\red0\\green128\\blue0;\\red255\\green7\\blue300;\\redx\\green1\\blue16;}", "\\pard x", "}"});
    rtl::TStringList names;
    ExtractHtmlFontNames(lines, names);
    EXPECT_EQ(Lines(names), (std::vector<AnsiString>{"Arial", "Courier New", "Odd"}));
    rtl::TStringList colors;
    ExtractHtmlColors(lines, colors);
    // Entry 0 is black; a number past a byte is full intensity; digits that are not there give 0.
    EXPECT_EQ(Lines(colors), (std::vector<AnsiString>{"#000000", "#008000", "#FF07FF", "#000110"}));

    SetLines(lines, {"\\pard plain"});
    ExtractHtmlFontNames(lines, names);
    ExtractHtmlColors(lines, colors);
    EXPECT_EQ(names.Count(), 0);
    EXPECT_EQ(colors.Count(), 0);
}

TEST(HtmlTables, FileNamesAreReducedAndMadeUnique)
{
    TTestPages pages;
    for (const char* name : {"Getting Started", "A B", "A_B", "A-B", "a b", "Caf\xe9", "index", "INDEX", "x1", "x", "x"})
        pages.Add(name);
    rtl::TStringList names;
    BuildHtmlFileNames(pages.List, "C:\\site\\Index.HTML", names);
    EXPECT_EQ(Lines(names), (std::vector<AnsiString>{"Getting_Started", "A_B", "A_B1", "A_B2", "a_b3", "Caf_", "index1",
                                                     "INDEX2", "x1", "x", "x2"}));
    // Only an index that a page file could be named like is kept free.
    BuildHtmlFileNames(pages.List, "C:\\site\\index.htm", names);
    EXPECT_EQ(names[6], "index");
    BuildHtmlFileNames(pages.List, "C:\\site\\start.html", names);
    EXPECT_EQ(names[6], "index");
}

TEST(HtmlTables, ProjectTextNeverBecomesMarkup)
{
    EXPECT_EQ(HtmlText("a < b && c > \"d\""), "a &lt; b &amp;&amp; c &gt; \"d\"");
    EXPECT_EQ(HtmlAttribute("a<\"b\">&"), "a&lt;&quot;b&quot;&gt;&amp;");
    EXPECT_EQ(HtmlText("plain text, 100% \xe9"), "plain text, 100% \xe9");
}

// ---- the translation

TEST_F(HtmlTranslationTest, TheWorkedExample)
{
    TPageObject& page = pages.Add("Getting Started");
    EXPECT_EQ(Translate(page, "\\f0\\fs20 Hello \\b world\\b0\\par"),
              AnsiString(ArialPair) + ArialPair + " Hello <B> world</B><BR>\r\n");
}

TEST_F(HtmlTranslationTest, TextBeforeTheFirstPardIsSkipped)
{
    rtl::TStringList lines;
    SetLines(lines, {"{\\rtf1 skipped", "also skipped \\PARDkept", "next \\par"});
    pages.Add("P");
    const THtmlExport html(pages.List, state, folder + "\\index.html");
    THtmlPageFile file(html, 0);
    file.WritePageHtml(lines);
    // "\PARD" in any letter case starts the text; later lines are taken whole.
    EXPECT_EQ(file.Text(), "keptnext <BR>\r\n");
}

TEST_F(HtmlTranslationTest, ParagraphsTablesAndStyles)
{
    EXPECT_EQ(Translate("\\QC x\\pard y"), "<P Align=\"Center\">\r\n x</P>\r\n y");
    EXPECT_EQ(Translate("\\qr x\\par"), "<P Align=\"Right\">\r\n x<BR>\r\n");
    EXPECT_EQ(Translate("\\intbl a\\cell b\\cell\\row\\intbl c\\cell\\row\\pard"),
              "<TABLE Width=\"100%\" Border=\"1\"><TR><TD>\r\n a</TD><TD> b</TD><TD></TD></TR><TR><TD> c</TD><TD>"
              "</TD></TR><TR><TD></TABLE>\r\n");
    EXPECT_EQ(Translate("\\tab x"), "&nbsp;&nbsp;&nbsp;&nbsp;&nbsp; x");
    // What is left open is closed after the text, in the order it was opened.
    EXPECT_EQ(Translate("\\b x"), "<B> x</B>\r\n");
    EXPECT_EQ(Translate("\\i a\\b\\i b\\i0 c"), "<I> a<B><I> b</I> c</I>\r\n</B>\r\n");
    EXPECT_EQ(Translate("\\b0 x"), "</B> x");
    // Words no rule knows, and closing braces, write nothing.
    EXPECT_EQ(Translate("\\ul\\protect x}\\strike0 y}"), " x y");
}

TEST_F(HtmlTranslationTest, FontsSizesAndColours)
{
    pages.Add("P");
    TPageObject& page = PageAt(pages.List, 0);
    SetLines(page.Text, {"{\\rtf1\\ansi{\\fonttbl{\\f0\\fnil\\fcharset0 Arial;}{\\f1\\fnil\\fcharset0 Odd \"Face\" <x>;}}",
                         "{\\colortbl ;\\red0\\green128\\blue0;}", "\\pard\\f1\\cf1 a\\f7\\cf9 b\\cf0"});
    const THtmlExport html(pages.List, state, folder + "\\index.html");
    THtmlPageFile file(html, 0);
    file.WritePageHtml(page.Text);
    const AnsiString odd = "face=\"Odd &quot;Face&quot; &lt;x&gt;\"";
    EXPECT_EQ(file.Text(), "</FONT><FONT " + odd + " size=\"2\" color=\"#000000\">" + "</FONT><FONT " + odd +
                               " size=\"2\" color=\"#008000\"> a" +
                               // Unknown numbers fall back to Arial and black.
                               "</FONT><FONT face=\"Arial\" size=\"2\" color=\"#008000\">" + ArialPair + " b" + ArialPair);
    // The font carries on into the next translation of the same file.
    EXPECT_EQ(file.Face, "Arial");

    struct Case {
        const char* Word;
        const char* Size;
    };
    for (const Case& c : {Case{"\\fs17", "1"}, Case{"\\fs18", "2"}, Case{"\\fs23", "2"}, Case{"\\fs24", "3"},
                          Case{"\\fs28", "4"}, Case{"\\fs34", "5"}, Case{"\\fs40", "5"}, Case{"\\fs42", "6"},
                          Case{"\\fs61", "6"}, Case{"\\fs62", "7"}, Case{"\\fs72", "7"}, Case{"\\fs-2", "7"},
                          Case{"\\fs", "2"}, Case{"\\fsx", "2"}, Case{"\\FS0", "1"}}) {
        SCOPED_TRACE(c.Word);
        EXPECT_EQ(Translate(c.Word), AnsiString("</FONT><FONT face=\"Arial\" size=\"") + c.Size + "\" color=\"#000000\">");
    }
}

TEST_F(HtmlTranslationTest, CharactersAndBackslashes)
{
    // A character by its code keeps its ";", so a digit after it stays a digit.
    EXPECT_EQ(Translate("caf\\'e92 \\'E9"), "caf&#233;2 &#233;");
    EXPECT_EQ(Translate("\\'zz1\\'"), "1");
    // An escaped backslash is one backslash, and what follows it stays text.
    EXPECT_EQ(Translate("C:\\\\temp\\\\new \\\\b x"), "C:\\temp\\new \\b x");
    EXPECT_EQ(Translate("\\{a b\\} \\"), "{a b} ");
    // Markup characters of the text, also behind a control symbol, are entities.
    EXPECT_EQ(Translate("a < b && c > \"d\" \\<i>"), "a &lt; b &amp;&amp; c &gt; \"d\" &lt;i&gt;");
}

TEST_F(HtmlTranslationTest, LinkMarkers)
{
    TPageObject& home = pages.Add("Home");
    pages.Add("Other Page");
    AddLink(home, "Next", 0, "OTHER page", "the <other> & \"more\"");
    AddLink(home, "Web", 1, "Other Page", "web");
    AddLink(home, "Gone", 0, "Nowhere", "gone");
    EXPECT_EQ(Translate(home, "See \\cf1\\ul\\protect ##next##\\cf0\\ulnone  \\protect0 now."),
              "See " + AnsiString("</FONT><FONT face=\"Arial\" size=\"2\" color=\"#008000\">") +
                  " <A HREF=\"Other_Page.html\">the &lt;other&gt; &amp; \"more\"</A>\r\n" + ArialPair + "   now.");
    // Addresses, missing pages and unknown links write nothing, not even their text.
    EXPECT_EQ(Translate(home, "a##Web##b##Gone##c##Unknown##d"), "abcd");
    // The rich text holds a name with letters above 127, braces or backslashes escaped.
    AddLink(home, "Caf\xe9 {1} \\x", 0, "Other Page", "accented");
    EXPECT_EQ(Translate(home, "a##Caf\\'e9 \\{1\\} \\\\x##b"), "a<A HREF=\"Other_Page.html\">accented</A>\r\nb");
    // A marker that does not close on its line is text.
    EXPECT_EQ(Translate(home, "a ## b"), "a ## b");
    EXPECT_EQ(Translate(home, "C# x"), "C# x");
}

// ---- real tools: tidy finds no errors, a headless browser resolves every link and picture (the check
// script, which skips when they are missing)

namespace {

// scripts/check-html.sh on a host folder: its output, and its exit status (77: a tool is missing).
std::string CheckHtml(const std::string& hostFolder, int& status)
{
    const std::string command = std::string("'") + SCRIVANE_CHECK_HTML + "' '" + hostFolder + "' 2>&1";
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        status = -1;
        return output;
    }
    char buffer[4096];
    size_t got = 0;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        output.append(buffer, got);
    const int raw = pclose(pipe);
    status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return output;
}

// A 2 x 2 picture of one colour, as a 24-bit BMP file.
AnsiString Bitmap(uint8_t red, uint8_t green, uint8_t blue)
{
    // The file header (70 bytes, pixels from 54), then the info header: 2 x 2, one plane, 24 bits.
    const AnsiString headers("BM\x46\0\0\0\0\0\0\0\x36\0\0\0\x28\0\0\0\x02\0\0\0\x02\0\0\0\x01\0\x18\0\0\0\0\0"
                             "\x10\0\0\0\x13\x0b\0\0\x13\x0b\0\0\0\0\0\0\0\0\0\0",
                             54);
    const AnsiString pixel{static_cast<char>(blue), static_cast<char>(green), static_cast<char>(red)};
    const AnsiString row = pixel + pixel + AnsiString(2, '\0');
    return headers + row + row;
}

void SetDocument(rtl::TStrings& lines, const richedit::TRichDocument& document)
{
    lines.Clear();
    for (const AnsiString& line : richedit::WriteRtfLines(document))
        lines.Add(line);
}

// Runs the check and expects it to pass with these lines in its report; false when the tools are missing.
bool ExpectCheckPasses(const std::string& hostFolder, const std::vector<std::string>& expected)
{
    int status = 0;
    const std::string report = CheckHtml(hostFolder, status);
    if (status == 77) {
        std::printf("%s", report.c_str());
        return false;
    }
    EXPECT_EQ(status, 0) << report;
    for (const std::string& line : expected)
        EXPECT_NE(report.find(line), std::string::npos) << line << "\n" << report;
    return true;
}

}  // namespace

// ---- the files

namespace {

class HtmlFilesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        project = NewFolder("htmlproject");
        out = NewFolder("htmlout");
        state.ProjectFileName = project + "\\demo.wkp";
        state.HelpFileName = "Demo";
        state.PageColor = static_cast<TColor>(0x00F0E0D0);
    }

    void Picture(const AnsiString& path, const AnsiString& bytes)
    {
        fs::create_directories(fs::path(HostPathOf(path)).parent_path());
        rtl::WriteWholeFile(path, bytes);
    }
    AnsiString Read(const AnsiString& name) { return rtl::ReadWholeFile(out + "\\" + name); }
    bool Exists(const AnsiString& name) { return rtl::FileExists(out + "\\" + name); }

    TTestPages pages;
    TProjectState state;
    AnsiString project;
    AnsiString out;
};

}  // namespace

TEST_F(HtmlFilesTest, IndexAndPageFiles)
{
    state.HelpFileName = "Help & <More>";
    TPageObject& first = pages.Add("Getting Started");
    SetBody(first.Text, "\\f0\\fs20 Hello \\b world\\b0\\par");
    SetBody(first.Header, "Top");
    pages.Add("A <B>");

    const THtmlExport html(pages.List, state, out + "\\index.html");
    html.WriteIndex();
    EXPECT_EQ(Read("index.html"), "<HTML><HEAD><TITLE>Help &amp; &lt;More&gt;</TITLE></HEAD>\r\n"
                                  "<BODY BGCOLOR=\"#D0E0F0\">\r\n"
                                  "<A HREF=\"Getting_Started.html\">Getting Started</a><br><br>\r\n"
                                  "<A HREF=\"A__B_.html\">A &lt;B&gt;</a><br><br>\r\n"
                                  "</BODY></HTML>\r\n");

    const AnsiString start = "<HTML><HEAD><TITLE>Help &amp; &lt;More&gt; - Getting Started</TITLE></HEAD>\r\n"
                             "<BODY BGCOLOR=\"#D0E0F0\">\r\n"
                             "<FONT face=\"Arial\" size=\"2\" color=\"#000000\">\r\n";
    const AnsiString body = AnsiString(ArialPair) + ArialPair + " Hello <B> world</B><BR>\r\n";
    const AnsiString end = "</FONT>\r\n</BODY></HTML>\r\n";
    html.WritePage(0, false);
    EXPECT_EQ(Read("Getting_Started.html"), start + body + end);
    html.WritePage(0, true);
    EXPECT_EQ(Read("Getting_Started.html"), start + "Top<BR><HR><BR>\r\n" + body + end);
    // An empty page is its frame only.
    html.WritePage(1, false);
    EXPECT_EQ(Read("A__B_.html"), "<HTML><HEAD><TITLE>Help &amp; &lt;More&gt; - A &lt;B&gt;</TITLE></HEAD>\r\n"
                                  "<BODY BGCOLOR=\"#D0E0F0\">\r\n<FONT face=\"Arial\" size=\"2\" color=\"#000000\">\r\n" +
                                      end);
}

TEST_F(HtmlFilesTest, APageNamedLikeTheIndexLeavesItWhole)
{
    pages.Add("Index");
    AddLink(pages.Add("Start"), "Back", 0, "index", "back");
    SetBody(PageAt(pages.List, 1).Text, "##Back##");
    const THtmlExport html(pages.List, state, out + "\\index.html");
    html.WriteIndex();
    html.WritePage(0, false);
    html.WritePage(1, false);
    EXPECT_EQ(html.FileName(0), "Index1");
    EXPECT_NE(Read("index.html").find("<A HREF=\"Index1.html\">Index</a>"), AnsiString::npos) << Read("index.html");
    EXPECT_NE(Read("Start.html").find("<A HREF=\"Index1.html\">back</A>"), AnsiString::npos);
    EXPECT_TRUE(Exists("Index1.html"));
}

TEST_F(HtmlFilesTest, PicturesAreCopiedPerPage)
{
    Picture(project + "\\logo.bmp", "LOGO");
    Picture(project + "\\one\\a&b.bmp", "ONE");
    Picture("C:\\elsewhere" + rtl::ExtractFileName(project) + "\\A&B.bmp", "TWO");
    Picture(project + "\\one\\a&b1.bmp", "ONE-1");
    const AnsiString two = "C:\\\\elsewhere" + rtl::ExtractFileName(project) + "\\\\A&B.bmp";

    TPageObject& first = pages.Add("First");
    SetBody(first.Text, "#logo.bmp#\\par #one\\\\a&b.bmp##" + two + "##one\\\\a&b.bmp##one\\\\a&b1.bmp##gone.bmp#x");
    TPageObject& second = pages.Add("Second");
    SetBody(second.Text, "#LOGO.BMP#");
    Picture(out + "\\First_images\\logo.bmp", "OLD");

    const THtmlExport html(pages.List, state, out + "\\index.html");
    html.WritePage(0, false);
    html.WritePage(1, false);
    // Same name from another folder: a second copy beside the first; the same file again: the same copy;
    // a missing picture: nothing.
    EXPECT_NE(Read("First.html").find("<IMG SRC=\"First_images\\logo.bmp\">\r\n<BR>\r\n <IMG SRC=\"First_images\\a&amp;b.bmp\">\r\n"
                                      "<IMG SRC=\"First_images\\A&amp;B1.bmp\">\r\n<IMG SRC=\"First_images\\a&amp;b.bmp\">\r\n"
                                      "<IMG SRC=\"First_images\\a&amp;b11.bmp\">\r\nx"),
              AnsiString::npos)
        << Read("First.html");
    EXPECT_EQ(Read("First_images\\logo.bmp"), "LOGO");  // an old copy is overwritten
    EXPECT_EQ(Read("First_images\\a&b.bmp"), "ONE");
    EXPECT_EQ(Read("First_images\\A&B1.bmp"), "TWO");
    EXPECT_EQ(Read("First_images\\a&b11.bmp"), "ONE-1");
    EXPECT_FALSE(Exists("First_images\\gone.bmp"));
    // Each page has its own copy, named as the marker spells it.
    EXPECT_NE(Read("Second.html").find("<IMG SRC=\"Second_images\\LOGO.BMP\">"), AnsiString::npos) << Read("Second.html");
    EXPECT_TRUE(fs::exists(HostPathOf(out + "\\Second_images") + "/LOGO.BMP"));
    // Pictures are looked for from the project's folder.
    EXPECT_EQ(win::CurrentDirectory(), project);
}

TEST_F(HtmlFilesTest, PictureNamesAreReadAsTheRichTextEscapesThem)
{
    Picture(project + "\\caf\xe9 {x}.bmp", "CAFE");
    TPageObject& page = pages.Add("First");
    SetBody(page.Text, "#caf\\'e9 \\{x\\}.bmp#");
    const THtmlExport html(pages.List, state, out + "\\index.html");
    html.WritePage(0, false);
    EXPECT_NE(Read("First.html").find("<IMG SRC=\"First_images\\caf\xe9 {x}.bmp\">"), AnsiString::npos) << Read("First.html");
    EXPECT_EQ(Read("First_images\\caf\xe9 {x}.bmp"), "CAFE");
}

// ---- the command on the main window

namespace {

class HtmlCommandTest : public VclTest {
protected:
    void SetUp() override
    {
        VclTest::SetUp();
        project = NewFolder("htmlcmdproject");
        out = NewFolder("htmlcmdout");
        StartProgramIn("Html");
        form = OpenMainWindow();
        ProjectState().ProjectFileName = project + "\\demo.wkp";
        ProjectState().HelpFileName = "Demo";
    }
    void TearDown() override
    {
        form.reset();
        VclTest::TearDown();
    }

    rtl::TStrings& Pages() { return *form->lstPages->Items(); }

    void LoadDemo()
    {
        const std::string examples = SCRIVANE_EXAMPLES_DIR;
        for (const char* name : {"demo.wkp", "logo.bmp"})
            fs::copy_file(examples + "/" + name, HostPathOf(project) + "/" + name);
        LoadProjectFile(ProjectState().ProjectFileName, ProjectState(), Pages());
    }

    // The menu command with the save dialog answered `fileName` (cancelled when empty).
    void Export(const AnsiString& fileName)
    {
        if (fileName.empty())
            vt::CancelDialog();
        else
            vt::AnswerFileDialog(fileName);
        vt::AnswerMessage(mrOk);
        vt::Find<TMenuItem>(*form, "HTML1").Click();
        vt::ProcessMessages();
    }

    // However the command ended: nothing shown, the editor guarded again, no progress window.
    void ExpectRestored()
    {
        vt::ProcessMessages();
        EXPECT_FALSE(form->AllowProtectedEdit);
        EXPECT_EQ(ProgressWindowsAlive(), 0);
        EXPECT_TRUE(form->Enabled());
    }

    AnsiString Read(const AnsiString& name) { return rtl::ReadWholeFile(out + "\\" + name); }

    AnsiString project;
    AnsiString out;
    std::unique_ptr<TfrmMainMenu> form;
};

}  // namespace

TEST_F(HtmlCommandTest, WithoutPagesOrWithTheDialogCancelledNothingIsWritten)
{
    vt::AnswerMessage(mrOk);
    vt::Find<TMenuItem>(*form, "HTML1").Click();
    EXPECT_EQ(vt::LastMessage().Text, NoPagesToExportText);
    EXPECT_TRUE(vt::Dialogs().empty());

    TPageObject* page = new TPageObject;
    page->Name = "Only";
    Pages().AddObject(page->Name, page);
    vt::ClearMessages();
    vt::CancelDialog();
    vt::Find<TMenuItem>(*form, "HTML1").Click();
    EXPECT_TRUE(vt::Messages().empty());
    ASSERT_EQ(vt::Dialogs().size(), 1u);
    const vt::TShownDialog& dialog = vt::Dialogs()[0];
    EXPECT_EQ(dialog.Kind, "Save");
    EXPECT_EQ(dialog.Filter, "HTML File|*.HTML|All Files|*.*");
    EXPECT_EQ(dialog.FileName, "index.html");
    EXPECT_TRUE(fs::is_empty(HostPathOf(out)));
    ExpectRestored();

    // A name typed without an extension gets ".html".
    Export(out + "\\start");
    EXPECT_EQ(vt::LastMessage().Text, HtmlExportedText);
    EXPECT_TRUE(rtl::FileExists(out + "\\start.html"));
    EXPECT_TRUE(rtl::FileExists(out + "\\Only.html"));
}

TEST_F(HtmlCommandTest, ExportsTheDemoProjectWithItsPictures)
{
    LoadDemo();
    ASSERT_EQ(Pages().Count(), 3);
    // The shown page's edits are exported; afterwards no page is shown.
    form->lstPages->SetItemIndex(2);
    form->lstPagesClick(nullptr);
    form->mmoPage->SetText("Edited: a < b");

    Export(out + "\\index.html");
    EXPECT_EQ(vt::LastMessage().Text, HtmlExportedText);
    EXPECT_EQ(form->CurrentPageIndex, -1);
    EXPECT_EQ(form->lstPages->ItemIndex(), -1);
    EXPECT_FALSE(form->mmoPage->Visible());
    EXPECT_EQ(form->lstLinks->Items()->Count(), 0);
    ExpectRestored();

    EXPECT_EQ(Read("index.html"), "<HTML><HEAD><TITLE>Demo</TITLE></HEAD>\r\n<BODY BGCOLOR=\"#FFFFFF\">\r\n"
                                  "<A HREF=\"Welcome.html\">Welcome</a><br><br>\r\n"
                                  "<A HREF=\"Getting_Started.html\">Getting Started</a><br><br>\r\n"
                                  "<A HREF=\"Contact.html\">Contact</a><br><br>\r\n</BODY></HTML>\r\n");
    const AnsiString welcome = Read("Welcome.html");
    EXPECT_NE(welcome.find("<B> Scrivane Sample Help</B>\r\n<BR><HR><BR>\r\n"), AnsiString::npos) << welcome;
    EXPECT_NE(welcome.find("<A HREF=\"Getting_Started.html\">Getting Started</A>"), AnsiString::npos) << welcome;
    EXPECT_NE(welcome.find("<IMG SRC=\"Welcome_images\\logo.bmp\">"), AnsiString::npos) << welcome;
    EXPECT_EQ(Read("Welcome_images\\logo.bmp"), rtl::ReadWholeFile(project + "\\logo.bmp"));
    const AnsiString started = Read("Getting_Started.html");
    EXPECT_NE(started.find("<A HREF=\"Welcome.html\">Welcome</A>"), AnsiString::npos) << started;
    // Web and e-mail links write nothing.
    EXPECT_EQ(started.find("the Scrivane home page"), AnsiString::npos);
    EXPECT_EQ(started.find("write to us"), AnsiString::npos);
    EXPECT_NE(Read("Contact.html").find("Edited: a &lt; b"), AnsiString::npos) << Read("Contact.html");
    EXPECT_EQ(Read("Contact.html").find("<HR>"), AnsiString::npos);

    const std::string host = HostPathOf(out);
    ExpectCheckPasses(host, {"IMG-OK file://" + host + "/Welcome_images/logo.bmp",
                             "LINK-OK file://" + host + "/Getting_Started.html", "LINK-OK file://" + host + "/Welcome.html",
                             "Type commands in Courier New like this: make help"});
}

TEST_F(HtmlCommandTest, AFailedWriteEndsTheCommandAndRestoresTheWindow)
{
    LoadDemo();
    fs::create_directories(HostPathOf(out + "\\Contact.html"));
    vt::AnswerFileDialog(out + "\\index.html");
    EXPECT_THROW(vt::Find<TMenuItem>(*form, "HTML1").Click(), rtl::Exception);
    ExpectRestored();
    // What came before the failure is there.
    EXPECT_TRUE(rtl::FileExists(out + "\\Getting_Started.html"));
    EXPECT_TRUE(vt::Messages().empty());
}

TEST_F(HtmlFilesTest, AHostileProjectPassesTidyAndABrowser)
{
    state.HelpFileName = "Help & <More> \"quoted\"";
    Picture(project + "\\logo.bmp", Bitmap(0, 128, 0));
    Picture(project + "\\pics one\\a&b 'x'.bmp", Bitmap(255, 0, 0));
    const AnsiString other = "C:\\other pics " + rtl::ExtractFileName(project);
    Picture(other + "\\a&b 'x'.bmp", Bitmap(0, 0, 255));

    const richedit::TCharAttributes plain;
    const richedit::TCharAttributes marker = MarkerLook(plain);
    const richedit::TCharAttributes blank = MarkerBlank(plain);
    richedit::TCharAttributes odd = plain;
    odd.Face = "Courier New";
    odd.HalfPoints = 36;
    odd.Bold = true;
    odd.Color = 0x000000FF;

    // Markup characters, quotes, backslashes, digits after accented letters, every kind of marker.
    TPageObject& tom = pages.Add("Tom & Jerry <blink> \"1\"");
    AddLink(tom, "To Index", 0, "index", "<Index> & \"more\"");
    AddLink(tom, "Web", 1, "http://www.example.com/", "web");
    richedit::TRichDocument document;
    document.AppendText("a < b && c > \"d\" <foo>bar</foo> C:\\temp\\new caf\xe9" "2024 na\xefve1 50 # 3 ", plain);
    document.AppendText("bold red", odd);
    document.AppendParagraphEnd(plain, richedit::paCenter);
    for (const char* shown : {"##To Index##", "##Web##", "#logo.bmp#", "#pics one\\a&b 'x'.bmp#"}) {
        document.AppendText(shown, marker);
        document.AppendText(" ", blank);
    }
    document.AppendText(AnsiString("#") + other + "\\a&b 'x'.bmp#", marker);
    document.AppendText(" ", blank);
    document.AppendText("#missing.bmp#", marker);
    document.AppendText(" end", plain);
    SetDocument(tom.Text, document);

    // A page named like the index, with a header and a link back.
    TPageObject& index = pages.Add("index");
    richedit::TRichDocument header;
    header.AppendText("<Header & \"title\">", odd);
    SetDocument(index.Header, header);
    AddLink(index, "Back", 0, "TOM & JERRY <BLINK> \"1\"", "back <");
    richedit::TRichDocument back;
    back.AppendText("x > y ", plain);
    back.AppendText("##Back##", marker);
    back.AppendText(" #logo.bmp#", plain);
    SetDocument(index.Text, back);

    // Names that reduce alike, and the old table and alignment words; a link whose name the rich text
    // holds escaped.
    TPageObject& ab = pages.Add("A-B");
    AddLink(ab, "Caf\xe9 {1} \\x", 0, "index", "accented link");
    richedit::TRichDocument accented;
    accented.AppendText("##Caf\xe9 {1} \\x##", marker);
    SetDocument(ab.Text, accented);
    TPageObject& table = pages.Add("A B");
    SetBody(table.Text, "\\qc centred\\par\\pard\\intbl a\\cell b\\cell\\row\\intbl c\\cell d\\cell\\row\\pard\\qr after\\b\\i open");

    const THtmlExport html(pages.List, state, out + "\\index.html");
    html.WriteIndex();
    for (int i = 0; i < pages.List.Count(); ++i)
        html.WritePage(i, PageAt(pages.List, i).Header.Count() > 0);
    ASSERT_EQ(html.FileName(1), "index1");

    if (!ExpectCheckPasses(HostPathOf(out), {"TEXT Tom & Jerry <blink> \"1\" index A-B A B",
                                      "a < b && c > \"d\" <foo>bar</foo> C:\\temp\\new caf\xc3\xa9" "2024 na\xc3\xaf" "ve1 50 # 3",
                                      "/Tom___Jerry__blink___1__images/a&b%20'x'.bmp",
                                      "/Tom___Jerry__blink___1__images/a&b%20'x'1.bmp",
                                      "/Tom___Jerry__blink___1__images/logo.bmp",
                                      "LINK-OK file://" + HostPathOf(out) + "/index1.html",
                                      "<Header & \"title\">", "x > y back <", "TEXT accented link"}))
        GTEST_SKIP() << "tidy or chromium is not installed";
}

TEST_F(HtmlTranslationTest, ABytesCharacterIsTheOneItsFontsSetGivesIt)
{
    TPageObject& page = pages.Add("Page");
    SetLines(page.Text, {"{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fnil\\fcharset161 Arial;}{\\f1\\fnil\\fcharset0 Arial;}}",
                         "\\pard\\f0\\fs20\\'d9\\f1\\'d9", "}"});
    const THtmlExport html(pages.List, state, folder + "\\index.html");
    THtmlPageFile file(html, 0);
    file.WritePageHtml(page.Text);
    EXPECT_NE(file.Text().find("&#937;</FONT>"), AnsiString::npos) << file.Text();  // Greek Omega
    EXPECT_NE(file.Text().find("&#217;"), AnsiString::npos) << file.Text();         // U grave in 1252
}
