// The plain-text and rich-text exports and the plain-text import: the rich-text document byte for byte,
// then the three commands driven headless on the main window.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <vector>

#include "platform/vcl/TestDriver.h"
#include "platform/win/Paths.h"
#include "platform/win/SystemInfo.h"
#include "tests/platform/vcl/VclTestFixture.h"
#include "tests/tool/HelpTestSupport.h"
#include "tool/AboutUnit.h"
#include "tool/MainUnit.h"
#include "tool/TextExport.h"

using namespace vcl;
namespace vt = vcl::test;

namespace {

// A contents list that owns its entries, as the project's does.
class TTestContents {
public:
    TTestContents() : List(NewTocList()) {}
    void Add(const AnsiString& line, const AnsiString& pageName, bool group)
    {
        auto* entry = new TTocObject;
        entry->Name = rtl::TrimLeft(line);
        entry->PageName = pageName;
        entry->IsGroup = group;
        List->AddObject(line, entry);
    }
    std::unique_ptr<rtl::TStringList> List;
};

// The document for these pages and contents.
AnsiString Export(const rtl::TStrings& pages, const rtl::TStrings& toc, const AnsiString& folder, bool* errors = nullptr)
{
    rtl::TStringList fonts;
    rtl::TStringList colors;
    BuildFontTable(pages, fonts);
    BuildColorTable(pages, colors);
    TTopicWriter writer(pages, fonts, colors);
    const bool failed = WriteRtfExport(writer, toc, folder);
    if (errors)
        *errors = failed;
    return writer.Text();
}

const char Frame[] =
    "{\\rtf1\\ansi\\deff0\r\n"
    "\r\n"
    "{\\fonttbl\r\n"
    "{\\f0\\fnil\\fcharset0 Arial;}\r\n"
    "}\r\n"
    "\r\n"
    "{\\colortbl;\r\n"
    "\\red0\\green0\\blue0;\r\n"
    "\\red0\\green128\\blue0;\r\n"
    "}\r\n"
    "\r\n"
    "\\plain\\fs20\\cf1\\f0\r\n"
    "\r\n";

// What each header and each body begins with: paragraph and character formatting back to the defaults.
const AnsiString Reset = "\\pard\r\n\\b0\\i0\\strike0\\cf0\r\n";

// "\pard" then a link marker as the editor writes it, inside "See ... now.".
AnsiString MarkerBody(const AnsiString& marker)
{
    return "\\f0\\fs20 See \\cf1\\ul\\protect " + marker + "\\cf0\\ulnone  \\protect0 now.\\par";
}
// What the help build's translation makes of MarkerBody around the marker's own output.
AnsiString TranslatedMarkerBody(const AnsiString& marker)
{
    return "\\f0\r\n\\fs20\r\nSee \\cf2\r\n\r\n\r\n" + marker + "\\cf1\r\n\r\n \r\nnow.\\par\r\n";
}

class RtfDocumentTest : public VclTest {
protected:
    void SetUp() override
    {
        VclTest::SetUp();
        static int run = 0;
        folder = "C:\\rtfdoc" + rtl::IntToStr(++run);
        std::filesystem::create_directories(HostPathOf(folder));
    }
    AnsiString folder;
    TTestPages pages;
    TTestContents toc;
};

class TextExportTest : public VclTest {
protected:
    void SetUp() override
    {
        VclTest::SetUp();
        static int run = 0;
        ++run;
        projectFolder = "C:\\export" + rtl::IntToStr(run);
        std::filesystem::create_directories(HostPathOf(projectFolder));
        StartProgramIn("Export");
        form = OpenMainWindow();
        ProjectState().ProjectFileName = projectFolder + "\\demo.wkp";
    }
    void TearDown() override
    {
        form.reset();
        VclTest::TearDown();
    }

    rtl::TStrings& Pages() { return *form->lstPages->Items(); }

    TPageObject& AddPage(const AnsiString& name, const AnsiString& topicId = "")
    {
        auto* page = new TPageObject;
        page->Name = name;
        page->TopicID = topicId;
        Pages().AddObject(name, page);
        return *page;
    }

    // Shows a page in the editor as a click on it would.
    void ShowPage(int index)
    {
        form->lstPages->SetItemIndex(index);
        form->lstPagesClick(nullptr);
    }

    // Runs an export command with the file dialog answered `fileName` and `messages` boxes answered.
    void RunExport(const char* command, const AnsiString& fileName, int messages = 1)
    {
        vt::AnswerFileDialog(fileName);
        for (int i = 0; i < messages; ++i)
            vt::AnswerMessage(mrOk);
        vt::Find<TMenuItem>(*form, command).Click();
        vt::ProcessMessages();
        EXPECT_EQ(vt::PendingAnswers(), 0);
    }

    void ExpectNoPageShown()
    {
        EXPECT_EQ(form->CurrentPageIndex, -1);
        EXPECT_EQ(form->lstPages->ItemIndex(), -1);
        EXPECT_FALSE(form->mmoPage->Visible());
        EXPECT_EQ(form->lstLinks->Items()->Count(), 0);
        EXPECT_EQ(form->lstPictures->Items()->Count(), 0);
        EXPECT_TRUE(form->Enabled());  // the progress window is gone
    }

    AnsiString projectFolder;
    std::unique_ptr<TfrmMainMenu> form;
};

}  // namespace

// ---- the rich-text document

TEST_F(RtfDocumentTest, FrameContentsPageLinksAndPictureFields)
{
    TPageObject& intro = pages.Add("Intro", "IDH_INTRO");
    SetBody(intro.Text, MarkerBody("##Next##"));
    AddLink(intro, "Next", 0, "second", "the second page", true);  // Popup plays no part
    TPageObject& second = pages.Add("Second", "IDH_SECOND");
    SetBody(second.Text, "\\f0\\fs20 Picture: \\cf1\\ul\\protect #pics\\\\a.bmp#\\cf0\\ulnone  \\protect0\\par");
    SetLines(second.Header, {"{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fnil\\fcharset0 Arial;}}", "\\pard\\f0 Top\\par", "}"});
    toc.Add("Start", "", true);
    toc.Add("\tIntro topic", "intro", false);
    toc.Add("\t\tGone", "Missing", false);

    const AnsiString picture =
        "{\\field{\\*\\fldinst { INCLUDEPICTURE \"" + rtl::StringReplace(folder, "\\", "\\\\\\\\", rtl::rfReplaceAll) +
        "\\\\\\\\pics\\\\\\\\a.bmp\" \\\\* MERGEFORMAT \\\\d }}{\\fldrslt {}}}\r\n";
    const AnsiString expected =
        AnsiString(Frame) +
        "\\fs28\\cf0\\f0Table Of Contents\\par\\par\r\n"
        " Start\\par\r\n"
        "\\tab\\ul{\\field{\\*\\fldinst { HYPERLINK  \\\\l \"IDH_INTRO\" }}{\\fldrslt {\\cf2 Intro topic}}}\\ul0\\par"
        "\\tab\\tab Gone\\par\r\n"
        "\\fs20\\cf0\\f0\\page\r\n"
        "{\\*\\bkmkstart IDH_INTRO}\r\n"
        "{\\*\\bkmkend IDH_INTRO}\r\n" + Reset +
        TranslatedMarkerBody(
            "\\ul{\\field{\\*\\fldinst { HYPERLINK  \\\\l \"IDH_SECOND\" }}{\\fldrslt {the second page}}}\\ul0") +
        "\r\n\\page\r\n\r\n"
        "{\\*\\bkmkstart IDH_SECOND}\r\n"
        "{\\*\\bkmkend IDH_SECOND}\r\n" + Reset +
        "\\keepn\r\n"
        "\\f0\r\nTop\\par\r\n"
        "\\pard\r\n"
        "\\b0\r\n" + Reset +
        "\\f0\r\n\\fs20\r\nPicture: \\cf2\r\n\r\n\r\n" +
        picture +
        "\\cf1\r\n\r\n \r\n\\par\r\n"
        "\r\n\\page\r\n\r\n"
        "}\r\n";
    bool errors = true;
    EXPECT_EQ(Export(pages.List, *toc.List, folder, &errors), expected);
    EXPECT_FALSE(errors);
}

TEST_F(RtfDocumentTest, WithoutContentsOrMarkersOrTopicIds)
{
    // No contents: the first page follows the frame directly. A page without a topic ID has no bookmark.
    TPageObject& plain = pages.Add("Plain");
    SetLines(plain.Text, {"{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fnil\\fcharset0 Arial;}}", "\\pard\\f0 Hi\\par", "}"});
    const AnsiString noColors = rtl::StringReplace(Frame, "\\red0\\green0\\blue0;\r\n\\red0\\green128\\blue0;\r\n", "", rtl::rfNone);
    EXPECT_EQ(Export(pages.List, *toc.List, folder), noColors + Reset + "\\f0\r\nHi\\par\r\n\r\n\\page\r\n\r\n}\r\n");

    // Without green in any page the contents hyperlinks carry colour 0, and a link to a page without a
    // topic ID names an empty bookmark.
    toc.Add("Plain", "PLAIN", false);
    const AnsiString text = Export(pages.List, *toc.List, folder);
    EXPECT_NE(text.find("{ HYPERLINK  \\\\l \"\" }}{\\fldrslt {\\cf0 Plain}}}\\ul0\\par\\fs20\\cf0\\f0\\page\r\n"),
              AnsiString::npos)
        << text;
}

TEST_F(RtfDocumentTest, RecordTextsAreEscapedAndTabsInsideContentsLinesIndent)
{
    TPageObject& page = pages.Add("P", "ID{1}");
    SetBody(page.Text, MarkerBody("##Web##") + " " + MarkerBody("##Mail##"));
    AddLink(page, "Web", 1, "http://example.com/a\\b", "caf\xe9 {x}");
    AddLink(page, "Mail", 2, "ann@example.com", "write");
    toc.Add("Bo{ok}\tend", "", true);
    toc.Add("\tT\xe9", "p", false);
    const AnsiString text = Export(pages.List, *toc.List, folder);
    // A TAB after the text is written before it, as every TAB of the line is.
    EXPECT_NE(text.find("\r\n\\tab Bo\\{ok\\}end\\par\r\n"), AnsiString::npos) << text;
    EXPECT_NE(text.find("\\tab\\ul{\\field{\\*\\fldinst { HYPERLINK  \\\\l \"ID\\{1\\}\" }}{\\fldrslt {\\cf2 T\\'e9}}}"),
              AnsiString::npos)
        << text;
    EXPECT_NE(text.find("{\\*\\bkmkstart ID\\{1\\}}\r\n{\\*\\bkmkend ID\\{1\\}}\r\n"), AnsiString::npos);
    // Web and e-mail links jump to their addresses.
    EXPECT_NE(text.find("\\ul{\\field{\\*\\fldinst { HYPERLINK  \"http://example.com/a\\\\b\" }}{\\fldrslt {caf\\'e9 "
                        "\\{x\\}}}}\\ul0"),
              AnsiString::npos)
        << text;
    EXPECT_NE(text.find("{ HYPERLINK  \"mailto:ann@example.com\" }}{\\fldrslt {write}}}\\ul0"), AnsiString::npos);
}

TEST_F(RtfDocumentTest, AWebLinksQuotesCannotEndItsFieldEarly)
{
    TPageObject& page = pages.Add("P", "ID");
    SetBody(page.Text, MarkerBody("##Web##") + " " + MarkerBody("##Mail##"));
    AddLink(page, "Web", 1, "http://example.com/a\" \\* MERGEFORMAT \"b", "web");
    AddLink(page, "Mail", 2, "\"ann\"@example.com", "write");
    const AnsiString text = Export(pages.List, *toc.List, folder);
    EXPECT_NE(text.find("{ HYPERLINK  \"http://example.com/a%22 \\\\* MERGEFORMAT %22b\" }}{\\fldrslt {web}}}"),
              AnsiString::npos)
        << text;
    EXPECT_NE(text.find("{ HYPERLINK  \"mailto:%22ann%22@example.com\" }}{\\fldrslt {write}}}"), AnsiString::npos)
        << text;
}

TEST_F(RtfDocumentTest, PicturePathsBecomeAbsoluteAndKeepTheirCharacters)
{
    struct Case {
        const char* Marker;  // as the rich text holds it
        AnsiString Expected;
    };
    const AnsiString base = rtl::StringReplace(folder, "\\", "\\\\\\\\", rtl::rfReplaceAll);
    const Case cases[] = {
        {"pics\\\\a.bmp", base + "\\\\\\\\pics\\\\\\\\a.bmp"},
        {"D:\\\\art\\\\b.bmp", "D:\\\\\\\\art\\\\\\\\b.bmp"},
        {"caf\\'e9\\\\\\{x\\}.bmp", base + "\\\\\\\\caf\\'e9\\\\\\\\\\{x\\}.bmp"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Marker);
        EXPECT_EQ(ExportPicturePath(c.Marker, folder), c.Expected);
    }
}

TEST_F(RtfDocumentTest, ATranslationErrorStopsOnlyThatText)
{
    TPageObject& broken = pages.Add("Broken", "IDH_B");
    SetBody(broken.Text, MarkerBody("##Away##"));
    AddLink(broken, "Away", 0, "Nowhere", "away");
    SetLines(broken.Header, {"{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fnil\\fcharset0 Arial;}}",
                             "{\\colortbl ;\\red0\\green128\\blue0;}", "\\pard\\ul ##Any##\\ulnone  after", "}"});
    TPageObject& next = pages.Add("Next", "IDH_N");
    SetBody(next.Text, "\\f0 fine\\par");
    vt::AnswerMessage(mrOk);
    vt::AnswerMessage(mrOk);
    bool errors = false;
    const AnsiString text = Export(pages.List, *toc.List, folder, &errors);
    EXPECT_TRUE(errors);
    EXPECT_EQ(MessageTexts(), (std::vector<AnsiString>{LinkNotFoundText("Broken - Page Header", "Any"),
                                                               LinkTargetMissingText("Broken", "Away")}));
    // The header stops at its marker, the body at its link; the frame lines around them and the next page
    // are whole.
    EXPECT_NE(text.find("\\keepn\r\n\r\n\\par\r\n\\pard\r\n\\b0\r\n" + Reset + "\\f0\r\n\\fs20\r\nSee \\cf2\r\n\r\n\r\n\r\n\\page\r\n"),
              AnsiString::npos)
        << text;
    EXPECT_NE(text.find("{\\*\\bkmkstart IDH_N}\r\n{\\*\\bkmkend IDH_N}\r\n" + Reset + "\\f0\r\nfine\\par\r\n"), AnsiString::npos);
}

TEST_F(RtfDocumentTest, AHeaderEndsItsLastParagraph)
{
    // The editor writes the last paragraph without "\par"; the header's must not run into the body.
    TPageObject& page = pages.Add("P");
    SetLines(page.Header, {"{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fnil\\fcharset0 Arial;}}", "\\pard\\f0 One\\par", "Two", "}"});
    SetBody(page.Text, "\\f0 Body");
    EXPECT_NE(Export(pages.List, *toc.List, folder).find("\\keepn\r\n\\f0\r\nOne\\par\r\nTwo\\par\r\n\\pard\r\n\\b0\r\n" + Reset + "\\f0\r\nBody\r\n"),
              AnsiString::npos);
    // A header without text adds no paragraph.
    SetLines(page.Header, {"{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fnil\\fcharset0 Arial;}}", "}"});
    EXPECT_NE(Export(pages.List, *toc.List, folder).find("\\keepn\r\n\\pard\r\n\\b0\r\n" + Reset), AnsiString::npos);
}

// ---- the commands on the main window

TEST_F(TextExportTest, PlainTextOfTwoPagesWithAHeader)
{
    TPageObject& first = AddPage("First", "IDH_1");
    SetLines(first.Header, {"{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fnil\\fcharset0 Arial;}}", "\\pard\\f0\\fs20 Top line\\par",
                            "}"});
    SetLines(first.Text, {"{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fnil\\fcharset0 Arial;}}", "\\pard\\f0\\fs20 One\\par",
                          "\\pard\\qc Two\\tab x\\par", "}"});
    TPageObject& second = AddPage("Second", "IDH_2");
    SetTextWithMarker(second.Text, "##Next##");
    AddLink(second, "Next", 0, "First", "first");

    // The shown page's edit reaches the file, and afterwards no page is shown.
    ShowPage(1);
    form->AllowProtectedEdit = true;
    form->mmoPage->SetSelStart(form->mmoPage->GetTextLen());
    form->mmoPage->SetSelText(" More.");
    form->AllowProtectedEdit = false;
    RunExport("TXT1", projectFolder + "\\out");

    EXPECT_EQ(vt::Dialogs().back().Kind, "Save");
    EXPECT_EQ(vt::Dialogs().back().Filter, "Text File|*.txt|All Files|*.*");
    EXPECT_EQ(MessageTexts(), std::vector<AnsiString>{TextExportedText});
    EXPECT_EQ(rtl::ReadWholeFile(projectFolder + "\\out.txt"),
              "Top line\r\n\r\n\r\n\r\n\r\n"
              "One\r\nTwo\tx\r\n"
              "\r\n\r\n---PAGE BREAK---\r\n\r\n\r\n"
              "See ##Next## now. More.\r\n"
              "\r\n\r\n---PAGE BREAK---\r\n\r\n\r\n");
    EXPECT_FALSE(rtl::FileExists(projectFolder + "\\out.*.txt"));
    ExpectNoPageShown();
    EXPECT_FALSE(ProjectState().Modified);
    // The marker reached the page record with its link.
    EXPECT_EQ(second.Links.Count(), 1);
}

TEST_F(TextExportTest, RefusalsAndCancelChangeNothing)
{
    for (const char* command : {"TXT1", "RTF1"}) {
        SCOPED_TRACE(command);
        vt::ClearMessages();
        vt::AnswerMessage(mrOk);
        vt::Find<TMenuItem>(*form, command).Click();
        EXPECT_EQ(MessageTexts(), std::vector<AnsiString>{NoPagesToExportText});
    }
    AddPage("Only", "IDH_ONLY");
    ShowPage(0);
    for (const char* command : {"TXT1", "RTF1"}) {
        SCOPED_TRACE(command);
        vt::ClearMessages();
        vt::CancelDialog();
        vt::Find<TMenuItem>(*form, command).Click();
        EXPECT_TRUE(vt::Messages().empty());
        EXPECT_EQ(form->CurrentPageIndex, 0);
        EXPECT_TRUE(form->mmoPage->Visible());
    }
}

TEST_F(TextExportTest, RichTextCommandWritesTheDocumentAndReportsErrors)
{
    TPageObject& page = AddPage("Only", "IDH_ONLY");
    SetTextWithMarker(page.Text, "##Self##");
    AddLink(page, "Self", 0, "Only", "me");
    ShowPage(0);
    RunExport("RTF1", projectFolder + "\\book");
    EXPECT_EQ(vt::Dialogs().back().Filter, "Rich Text File|*.rtf|All Files|*.*");
    EXPECT_EQ(MessageTexts(), std::vector<AnsiString>{RtfExportedText});
    const AnsiString text = rtl::ReadWholeFile(projectFolder + "\\book.rtf");
    EXPECT_EQ(text.find("{\\rtf1\\ansi\\deff0\r\n"), 0u);
    EXPECT_NE(text.find("{ HYPERLINK  \\\\l \"IDH_ONLY\" }}{\\fldrslt {me}}}\\ul0"), AnsiString::npos) << text;
    ExpectNoPageShown();

    // A link whose page is gone stops that page's text: the export still ends, but not as a success.
    vt::ClearMessages();
    page.Name = "Renamed";
    RunExport("RTF1", projectFolder + "\\book.rtf", 2);
    EXPECT_EQ(MessageTexts(),
              (std::vector<AnsiString>{LinkTargetMissingText("Renamed", "Self"), RtfExportHadErrorsText}));
    const AnsiString cut = rtl::ReadWholeFile(projectFolder + "\\book.rtf");
    EXPECT_EQ(cut.substr(cut.size() - 3), "}\r\n");

    // A file that cannot be written is the platform's error, and the window takes input again.
    page.Name = "Only";
    std::filesystem::create_directories(HostPathOf(projectFolder + "\\folder.rtf"));
    vt::AnswerFileDialog(projectFolder + "\\folder.rtf");
    EXPECT_THROW(vt::Find<TMenuItem>(*form, "RTF1").Click(), rtl::Exception);
    vt::ProcessMessages();
    EXPECT_TRUE(form->Enabled());
}

TEST_F(TextExportTest, ImportMakesTheNextFreePageAndShowsIt)
{
    AddPage("New Page 1");
    AddPage("new page 2");
    ShowPage(0);
    const AnsiString file = projectFolder + "\\notes.txt";
    rtl::WriteWholeFile(file, "First line\r\nSecond # and ## line\n\tTabbed\r\n");
    vt::AnswerFileDialog(file);
    vt::AnswerMessage(mrOk);
    vt::Find<TMenuItem>(*form, "TextFileTXT1").Click();

    EXPECT_EQ(vt::Dialogs().back().Kind, "Open");
    EXPECT_EQ(vt::Dialogs().back().Filter, "Text File|*.txt|All Files|*.*");
    EXPECT_EQ(vt::Dialogs().back().DefaultExt, "txt");
    EXPECT_EQ(MessageTexts(), std::vector<AnsiString>{TextImportedText});
    ASSERT_EQ(Pages().Count(), 3);
    EXPECT_EQ(Pages()[2], "New Page 3");
    auto* page = static_cast<TPageObject*>(Pages().Objects(2));
    EXPECT_EQ(page->Name, "New Page 3");
    EXPECT_TRUE(page->TopicID.empty());
    EXPECT_EQ(form->lstPages->ItemIndex(), 2);
    EXPECT_EQ(form->CurrentPageIndex, 2);
    EXPECT_TRUE(form->mmoPage->Visible());
    EXPECT_EQ(form->mmoPage->Text(), "First line\r\nSecond # and ## line\r\n\tTabbed");
    EXPECT_TRUE(ProjectState().Modified);
    // The page record holds the text as rich text: shown again, it is the same.
    ShowPage(0);
    ShowPage(2);
    EXPECT_EQ(form->mmoPage->Text(), "First line\r\nSecond # and ## line\r\n\tTabbed");

    // A file that cannot be read makes no page.
    ProjectState().Modified = false;
    {
        const rtl::TFileStream lock(file, rtl::fmOpenRead | rtl::fmShareExclusive);
        vt::AnswerFileDialog(file);
        EXPECT_THROW(vt::Find<TMenuItem>(*form, "TextFileTXT1").Click(), rtl::Exception);
    }
    EXPECT_EQ(Pages().Count(), 3);
    EXPECT_FALSE(ProjectState().Modified);

    // Cancelled: nothing.
    vt::CancelDialog();
    vt::Find<TMenuItem>(*form, "TextFileTXT1").Click();
    EXPECT_EQ(Pages().Count(), 3);

    // The rich-text import does nothing.
    vt::Find<TMenuItem>(*form, "RichTextFileRTF1").Click();
    EXPECT_EQ(Pages().Count(), 3);
    EXPECT_FALSE(ProjectState().Modified);
}
