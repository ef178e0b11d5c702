// The Make command driven headless on the main window: the checks before a build with their stops and
// questions, then the three help-compiler files and the start of a stand-in compiler.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <thread>
#include <vector>

#include "platform/richedit/RtfReader.h"
#include "platform/vcl/TestDriver.h"
#include "platform/win/Files.h"
#include "platform/win/Paths.h"
#include "platform/win/SystemInfo.h"
#include "tests/platform/vcl/VclTestFixture.h"
#include "tests/tool/HelpTestSupport.h"
#include "tool/AboutUnit.h"
#include "tool/HelpBuild.h"
#include "tool/MainUnit.h"
#include "tool/PageTranslation.h"
#include "tool/ProjectFile.h"

using namespace vcl;
namespace vt = vcl::test;

namespace {

const char LinkEnd[] = "\r\n\r\nDo you wish to continue (this link will not work and may cause errors)?";
const char TocEnd[] = "\r\n\r\nDo you wish to continue (this TOC item will not work and may cause errors)?";

std::vector<AnsiString> Texts(const std::vector<vt::TShownMessage>& messages)
{
    std::vector<AnsiString> texts;
    for (const vt::TShownMessage& shown : messages)
        texts.push_back(shown.Text);
    return texts;
}

// Each test plays a program in a folder of its own, with a project folder of its own.
class MakeHelpFileTest : public VclTest {
protected:
    void SetUp() override
    {
        VclTest::SetUp();
        static int run = 0;
        programFolder = StartProgramIn("Make");
        projectFolder = "C:\\make" + rtl::IntToStr(++run);
        std::filesystem::create_directories(HostPathOf(projectFolder));
        form = OpenMainWindow();
        TProjectState& state = ProjectState();
        state.ProjectFileName = projectFolder + "\\demo.wkp";
        state.HelpFileName = "demo";
    }
    void TearDown() override
    {
        form.reset();
        win::SetProgramPath("");
        VclTest::TearDown();
    }

    rtl::TStrings& Pages() { return *form->lstPages->Items(); }

    TPageObject& AddPage(const AnsiString& name, const AnsiString& topicId)
    {
        auto* page = new TPageObject;
        page->Name = name;
        page->TopicID = topicId;
        Pages().AddObject(name, page);
        return *page;
    }

    void AddToc(const AnsiString& line, const AnsiString& name, const AnsiString& pageName, bool group)
    {
        auto* entry = new TTocObject;
        entry->Name = name;
        entry->PageName = pageName;
        entry->IsGroup = group;
        ProjectState().TocList->AddObject(line, entry);
    }

    // Runs the checks with these answers queued; every answer must be used.
    bool Validate(std::initializer_list<int> answers = {})
    {
        for (int answer : answers)
            vt::AnswerMessage(answer);
        const bool result = form->ValidateProject();
        EXPECT_EQ(vt::PendingAnswers(), 0);
        return result;
    }

    void InstallCompiler() { InstallStandInCompiler(programFolder); }
    AnsiString RecordedArguments() { return RecordedCompilerArguments(programFolder); }

    void Make(std::initializer_list<int> answers = {mrOk})
    {
        for (int answer : answers)
            vt::AnswerMessage(answer);
        vt::Find<TMenuItem>(*form, "MakeHelpFile1").Click();
        vt::ProcessMessages();
        EXPECT_EQ(vt::PendingAnswers(), 0);
    }

    // After any command: no progress window left and the main window takes input again.
    void ExpectProgressGone()
    {
        vt::ProcessMessages();
        EXPECT_EQ(form->CheckProgressWindow(), nullptr);
        EXPECT_EQ(ProgressWindowsAlive(), 0);
        EXPECT_TRUE(form->Enabled());
    }

    AnsiString File(const AnsiString& extension) { return rtl::ReadWholeFile(projectFolder + "\\demo" + extension); }
    bool Exists(const AnsiString& name) { return rtl::FileExists(projectFolder + "\\" + name); }

    AnsiString programFolder;
    AnsiString projectFolder;
    std::unique_ptr<TfrmMainMenu> form;
};

}  // namespace

// ---- the checks

TEST_F(MakeHelpFileTest, StopsComeFirstAndShowOnlyTheirMessage)
{
    // Neither a help file name nor pages: only the name is reported.
    ProjectState().HelpFileName.clear();
    EXPECT_FALSE(Validate({mrOk}));
    ASSERT_EQ(vt::Messages().size(), 1u);
    EXPECT_EQ(vt::LastMessage().Kind, "ShowMessage");
    EXPECT_EQ(vt::LastMessage().Caption, "Scrivane");
    EXPECT_EQ(vt::LastMessage().Buttons, std::vector<AnsiString>{"OK"});
    EXPECT_EQ(vt::LastMessage().Text, "You have not yet set a Help File Name for this project.");

    // A name from the project file that would write outside the project folder.
    for (const char* name : {"..\\outside", "C:\\elsewhere\\demo", "sub/demo"}) {
        SCOPED_TRACE(name);
        vt::ClearMessages();
        ProjectState().HelpFileName = name;
        EXPECT_FALSE(Validate({mrOk}));
        ASSERT_EQ(vt::Messages().size(), 1u);
        EXPECT_NE(vt::LastMessage().Text.find("cannot be used"), AnsiString::npos) << vt::LastMessage().Text;
    }

    vt::ClearMessages();
    ProjectState().HelpFileName = "demo";
    ProjectState().WindowWidth = 10;  // not asked: the stop comes first
    EXPECT_FALSE(Validate({mrOk}));
    EXPECT_EQ(Texts(vt::Messages()), std::vector<AnsiString>{"You have not yet added any pages to the help project."});

    // A page without a topic ID stops; its broken link is never looked at.
    vt::ClearMessages();
    ProjectState().WindowWidth = 200;
    TPageObject& page = AddPage("First", "");
    AddLink(page, "Broken", 0, "", "");
    EXPECT_FALSE(Validate({mrOk}));
    EXPECT_EQ(Texts(vt::Messages()),
              std::vector<AnsiString>{"You have not assigned a Topic ID to page: First\r\n\r\nPlease do so before "
                                      "making the help file."});
    // The stop came after the progress window was made: the caller closes it.
    ASSERT_NE(form->CheckProgressWindow(), nullptr);
    form->CloseCheckProgress();
    ExpectProgressGone();
}

TEST_F(MakeHelpFileTest, WindowSizeQuestions)
{
    AddPage("Only", "IDH_ONLY");
    const AnsiString width =
        "The help window width that you specified is less than 100.  You may want to consider making this larger "
        "as the window will be quite small.  \r\n\r\nWould you like to continue?";
    const AnsiString height =
        "The help window height that you specified is less than 100.  You may want to consider making this larger "
        "as the window will be quite small.  \r\n\r\nWould you like to continue?";

    ProjectState().WindowWidth = 100;
    ProjectState().WindowHeight = 100;
    EXPECT_TRUE(Validate());
    EXPECT_TRUE(vt::Messages().empty());

    ProjectState().WindowWidth = 99;
    ProjectState().WindowHeight = 99;
    EXPECT_FALSE(Validate({mrNo}));
    EXPECT_EQ(Texts(vt::Messages()), std::vector<AnsiString>{width});
    const vt::TShownMessage& question = vt::LastMessage();
    EXPECT_EQ(question.Caption, "Confirm");
    EXPECT_EQ(question.Type, "mtConfirmation");
    EXPECT_EQ(question.Buttons, (std::vector<AnsiString>{"&Yes", "&No"}));
    // No leaves the window open and the main window blocked until the caller closes it.
    EXPECT_NE(form->CheckProgressWindow(), nullptr);
    EXPECT_FALSE(form->Enabled());
    form->CloseCheckProgress();
    ExpectProgressGone();

    vt::ClearMessages();
    EXPECT_TRUE(Validate({mrYes, mrYes}));
    EXPECT_EQ(Texts(vt::Messages()), (std::vector<AnsiString>{width, height}));
    ExpectProgressGone();
}

TEST_F(MakeHelpFileTest, LinkQuestionsInTheirOrder)
{
    TPageObject& home = AddPage("Home", "IDH_HOME");
    AddLink(home, "Fine", 0, "OTHER page", "to the other page");  // the page name in another case
    AddLink(home, "Web", 1, "http://www.example.com/", "the web");  // addresses are not pages
    AddLink(home, "Mail", 2, "someone@example.com", "mail");
    AddLink(home, "Empty", 0, "", "");
    AddPage("Other Page", "IDH_OTHER");
    const AnsiString prefix = "The link:  Empty  on page:  Home  ";

    EXPECT_TRUE(Validate({mrYes, mrYes, mrYes}));
    EXPECT_EQ(Texts(vt::Messages()), (std::vector<AnsiString>{prefix + "is not linked to any place." + LinkEnd,
                                                              prefix + "is linked to a page that no longer exists." + LinkEnd,
                                                              prefix + "does not have any text assigned to it." + LinkEnd}));

    // No at the second ends the walk there.
    vt::ClearMessages();
    EXPECT_FALSE(Validate({mrYes, mrNo}));
    EXPECT_EQ(vt::Messages().size(), 2u);
    EXPECT_NE(form->CheckProgressWindow(), nullptr);
}

TEST_F(MakeHelpFileTest, PicturesAreLookedForFromTheProjectFolder)
{
    std::filesystem::create_directories(HostPathOf(projectFolder + "\\pics"));
    rtl::WriteWholeFile(projectFolder + "\\pics\\a.bmp", "BM");
    const AnsiString elsewhere = "C:\\pictures elsewhere " + rtl::ExtractFileName(projectFolder);
    std::filesystem::create_directories(HostPathOf(elsewhere));
    rtl::WriteWholeFile(elsewhere + "\\b.bmp", "BM");

    TPageObject& page = AddPage("Pics", "IDH_PICS");
    page.Pictures.Add("pics\\a.bmp");
    page.Pictures.Add(elsewhere + "\\b.bmp");
    page.Pictures.Add("pics\\gone.bmp");
    win::SetCurrentDirectory(elsewhere.c_str());

    EXPECT_TRUE(Validate({mrYes}));
    EXPECT_EQ(Texts(vt::Messages()),
              std::vector<AnsiString>{"The picture:  pics\\gone.bmp  on page:  Pics  points to a file that no longer "
                                      "exists.\r\n\r\nDo you wish to continue (this picture will not work and may "
                                      "cause errors)?"});
    EXPECT_EQ(win::CurrentDirectory(), projectFolder);

    vt::ClearMessages();
    EXPECT_FALSE(Validate({mrNo}));
}

TEST_F(MakeHelpFileTest, ContentsLevelsAndPages)
{
    AddPage("Start", "IDH_START");
    AddToc("Group", "Group", "", true);                  // a group is never looked up as a page
    AddToc("\tStart", "Start", "start", false);
    AddToc(AnsiString(8, '\t') + "Nine", "Nine", "Start", false);
    AddToc(AnsiString(9, '\t') + "Ten", "Ten", "Nowhere", false);

    EXPECT_TRUE(Validate({mrYes, mrYes}));
    EXPECT_EQ(Texts(vt::Messages()),
              (std::vector<AnsiString>{
                  "The Table Of Contents topic:  Ten  is too deep into the hierarchy.  You may only use a total of 9 "
                  "levels." + AnsiString(TocEnd),
                  "The Table Of Contents topic:  Ten  is not linked to a valid page." + AnsiString(TocEnd)}));

    vt::ClearMessages();
    EXPECT_FALSE(Validate({mrNo}));
    EXPECT_EQ(vt::Messages().size(), 1u);
}

TEST_F(MakeHelpFileTest, OnlyControlCharactersOfPageTextChange)
{
    TPageObject& first = AddPage("First", "IDH_FIRST");
    SetBody(first.Text, "a\tb\fc");
    SetLines(first.Header, {"{\\rtf1 head\ter}"});
    first.Pictures.Add("logo.bmp");
    rtl::WriteWholeFile(projectFolder + "\\logo.bmp", "BM");
    AddLink(first, "Next", 0, "Second", "next");
    TPageObject& second = AddPage("Second", "IDH_SECOND");
    SetBody(second.Text, "plain");
    AddToc("Group", "Group", "", true);
    AddToc("\tFirst", "First", "First", false);

    const AnsiString before = ProjectFileBytes(ProjectState(), Pages());
    EXPECT_TRUE(Validate());
    EXPECT_TRUE(vt::Messages().empty());
    EXPECT_EQ(first.Text[2], "\\pard" "a b c");
    EXPECT_EQ(first.Header[0], "{\\rtf1 head\ter}");
    EXPECT_FALSE(ProjectState().Modified);
    AnsiString expected = before;
    expected.replace(expected.find("a\tb\fc"), 5, "a b c");
    EXPECT_EQ(ProjectFileBytes(ProjectState(), Pages()), expected);
    ExpectProgressGone();

    // A walk that ends on a page leaves that page and the later ones as they were.
    SetBody(first.Text, "x\ty");
    second.TopicID.clear();
    SetBody(second.Text, "u\tv");
    AddPage("Third", "IDH_THIRD").Text.Add("p\tq");
    EXPECT_FALSE(Validate({mrOk}));
    EXPECT_EQ(first.Text[2], "\\pard" "x y");
    EXPECT_EQ(second.Text[2], "\\pard" "u\tv");
    EXPECT_EQ(PageAt(Pages(), 2).Text[0], "p\tq");
}

// ---- the Make command

TEST_F(MakeHelpFileTest, WithoutAProjectFileNameOnlyTheSaveMessageShows)
{
    ProjectState().ProjectFileName.clear();
    ProjectState().HelpFileName.clear();
    InstallCompiler();
    Make();
    EXPECT_EQ(Texts(vt::Messages()), std::vector<AnsiString>{SaveProjectFirstText});
    EXPECT_TRUE(std::filesystem::is_empty(HostPathOf(projectFolder)));
    ExpectProgressGone();
}

TEST_F(MakeHelpFileTest, MakesTheDemoProjectAndStartsTheCompiler)
{
    const std::string examples = SCRIVANE_EXAMPLES_DIR;
    for (const char* name : {"demo.wkp", "logo.bmp"})
        std::filesystem::copy_file(examples + "/" + name, HostPathOf(projectFolder) + "/" + name);
    LoadProjectFile(ProjectState().ProjectFileName, ProjectState(), Pages());
    ASSERT_GT(Pages().Count(), 0);
    ASSERT_EQ(ProjectState().HelpFileName, "Demo");
    rtl::WriteWholeFile(projectFolder + "\\Demo.gid", "old");
    InstallCompiler();

    Make();
    EXPECT_EQ(Texts(vt::Messages()), std::vector<AnsiString>{BuildSentText});
    EXPECT_EQ(RecordedArguments(), "-xh\n" + projectFolder + "\\Demo.whp\n");
    EXPECT_TRUE(Exists("Demo.wrt"));
    EXPECT_TRUE(Exists("Demo.cnt"));
    EXPECT_TRUE(Exists("Demo.whp"));
    EXPECT_FALSE(Exists("Demo.gid"));
    ExpectProgressGone();

    // The topic file reads as one document with the pages' text in it.
    const AnsiString topic = rtl::ReadWholeFile(projectFolder + "\\Demo.wrt");
    const AnsiString text = richedit::ReadRtf(topic).Text();
    EXPECT_NE(text.find("This sample project shows what a help project holds."), AnsiString::npos) << text;
    EXPECT_NE(rtl::ReadWholeFile(projectFolder + "\\Demo.whp").find("[FILES]\r\n.\\Demo.wrt\r\n"), AnsiString::npos);
}

TEST_F(MakeHelpFileTest, ANoWritesNothingAndClosesTheChecksWindow)
{
    AddPage("Only", "IDH_ONLY");
    ProjectState().WindowWidth = 50;
    InstallCompiler();
    Make({mrNo});
    EXPECT_EQ(vt::Messages().size(), 1u);
    EXPECT_TRUE(std::filesystem::is_empty(HostPathOf(projectFolder)));
    ExpectProgressGone();
}

TEST_F(MakeHelpFileTest, FailuresAreReportedNotSuccess)
{
    TPageObject& page = AddPage("Only", "IDH_ONLY");
    SetBody(page.Text, "x");

    // No compiler beside the program.
    Make();
    ASSERT_EQ(vt::Messages().size(), 1u);
    EXPECT_EQ(vt::LastMessage().Text.find("The help compiler could not be started"), 0u) << vt::LastMessage().Text;
    EXPECT_NE(vt::LastMessage().Text.find(programFolder + "\\Tools\\hcrtf.exe"), AnsiString::npos);
    ExpectProgressGone();

    // A translation error still starts the compiler and ends with the errors message.
    InstallCompiler();
    vt::ClearMessages();
    SetBody(page.Text, "\\ul ##Missing##\\ulnone  x");
    Make({mrOk, mrOk});
    EXPECT_EQ(Texts(vt::Messages()), (std::vector<AnsiString>{LinkNotFoundText("Only", "Missing"), BuildHadErrorsText}));
    EXPECT_EQ(RecordedArguments(), "-xh\n" + projectFolder + "\\demo.whp\n");

    // A topic file that cannot be written ends the command: no later file, no compiler.
    std::filesystem::remove(HostPathOf(programFolder + "\\Tools\\hcrtf.exe.args"));
    std::filesystem::remove(HostPathOf(projectFolder + "\\demo.whp"));
    std::filesystem::remove(HostPathOf(projectFolder + "\\demo.wrt"));
    std::filesystem::create_directories(HostPathOf(projectFolder + "\\demo.wrt"));
    SetBody(page.Text, "x");
    EXPECT_THROW(Make({}), rtl::Exception);
    EXPECT_FALSE(Exists("demo.whp"));
    EXPECT_FALSE(rtl::FileExists(programFolder + "\\Tools\\hcrtf.exe.args"));
    ExpectProgressGone();
}

// ---- the translation of control symbols

TEST_F(MakeHelpFileTest, ABlankAfterAControlSymbolIsText)
{
    TPageObject& page = AddPage("P", "IDH_P");
    rtl::TStringList fonts;
    rtl::TStringList colors;
    BuildFontTable(Pages(), fonts);
    BuildColorTable(Pages(), colors);
    struct Case {
        const char* Body;
        const char* Expected;
    };
    const Case cases[] = {
        {"\\{abc def", "\\{abc\r\n def"},
        {"x\\} y", "x\\}\r\n y"},
        {"\\~ z", "\\~\r\n z"},
        {"\\b x", "\\b\r\nx"},     // a control word still loses its delimiter
        {"abc\\", "abc\\\r\n"},    // the blank added after a line-end backslash is not text
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Body);
        SetBody(page.Text, c.Body);
        TTopicWriter writer(Pages(), fonts, colors);
        EXPECT_FALSE(WriteTopicBody(writer, page.Text, &page.Links, "P"));
        EXPECT_EQ(writer.Text(), c.Expected);
    }

    // Through the whole build, text the editor wrote with braces reads back as typed.
    richedit::TRichDocument document;
    richedit::TCharAttributes plain;
    plain.Face = "Arial";
    document.AppendText("{abc def} ghi", plain);
    page.Text.Clear();
    for (const AnsiString& line : richedit::WriteRtfLines(document))
        page.Text.Add(line);
    InstallCompiler();
    Make();
    EXPECT_EQ(Texts(vt::Messages()), std::vector<AnsiString>{BuildSentText});
    EXPECT_NE(richedit::ReadRtf(File(".wrt")).Text().find("{abc def} ghi"), AnsiString::npos) << File(".wrt");
}
