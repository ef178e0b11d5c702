#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/richedit/RtfReader.h"
#include "platform/win/Files.h"
#include "platform/win/Paths.h"
#include "tests/platform/vcl/VclTestFixture.h"
#include "tests/tool/HelpTestSupport.h"
#include "tool/HelpBuild.h"
#include "tool/ProjectFile.h"

namespace {

using Lines = std::vector<AnsiString>;

Lines Entries(const rtl::TStrings& list)
{
    Lines entries;
    for (int i = 0; i < list.Count(); ++i)
        entries.push_back(list[i]);
    return entries;
}

Lines FontsOf(std::initializer_list<AnsiString> text)
{
    rtl::TStringList lines;
    SetLines(lines, text);
    rtl::TStringList fonts;
    fonts.Add("left over");
    ExtractFontTable(lines, fonts);
    return Entries(fonts);
}

Lines ColorsOf(std::initializer_list<AnsiString> text)
{
    rtl::TStringList lines;
    SetLines(lines, text);
    rtl::TStringList colors;
    colors.Add("left over");
    ExtractColorTable(lines, colors);
    return Entries(colors);
}

bool StartsWith(const AnsiString& text, const AnsiString& start) { return text.rfind(start, 0) == 0; }

const AnsiString Arial = "\\fnil\\fcharset0 Arial;}";
const AnsiString Black = "\\red0\\green0\\blue0;";
const AnsiString Green = "\\red0\\green128\\blue0;";

std::string HostPath(const AnsiString& windowsPath) { return win::HostPathFromWindows(windowsPath).value(); }

void AddToc(TProjectState& state, const AnsiString& line, const AnsiString& name, const AnsiString& pageName, bool group)
{
    auto* entry = new TTocObject;
    entry->Name = name;
    entry->PageName = pageName;
    entry->IsGroup = group;
    state.TocList->AddObject(line, entry);
}

// Braces balance when their escapes are left out, and the document closes with its last character.
bool IsWellFormedRtf(const AnsiString& text)
{
    if (text.rfind("{\\rtf1", 0) != 0)
        return false;
    int depth = 0;
    size_t i = 0;
    for (; i < text.size(); ++i) {
        if (text[i] == '\\')
            ++i;
        else if (text[i] == '{')
            ++depth;
        else if (text[i] == '}' && --depth == 0)
            break;
    }
    return depth == 0 && text.substr(i) == "}\r\n";
}

}  // namespace

TEST(HelpTables, FontTableEntriesAsTheEditorWritesThem)
{
    EXPECT_EQ(FontsOf({}), Lines{});
    EXPECT_EQ(FontsOf({"{\\rtf1 \\pard x}"}), Lines{});
    EXPECT_EQ(FontsOf({"{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fnil\\fcharset0 Arial;}{\\f1\\fnil\\fcharset0 Courier New;}}", "\\pard x"}),
              (Lines{Arial, "\\fnil\\fcharset0 Courier New;}"}));
    // Found in any letter case, on whichever line holds it; a group inside an entry comes whole.
    EXPECT_EQ(FontsOf({"{\\rtf1", "{\\FontTbl{\\f0\\froman{\\*\\panose 0202}Times;}{\\f1\\fswiss Helv;}}"}),
              (Lines{"\\froman{\\*\\panose 0202}Times;}", "\\fswiss Helv;}"}));
    // An entry cut off by the line end is not taken.
    EXPECT_EQ(FontsOf({"{\\fonttbl{\\f0\\fnil Arial;}{\\f1\\fnil Cut"}), Lines{"\\fnil Arial;}"});
}

TEST(HelpTables, ColourTableStartsWithBlack)
{
    EXPECT_EQ(ColorsOf({}), Lines{});
    EXPECT_EQ(ColorsOf({"{\\rtf1{\\fonttbl{\\f0\\fnil Arial;}}", "\\pard x"}), Lines{});
    EXPECT_EQ(ColorsOf({"{\\rtf1", "{\\colortbl ;\\red0\\green128\\blue0;}"}), (Lines{Black, Green}));
    EXPECT_EQ(ColorsOf({"{\\colortbl;\\red1\\green2\\blue3;\\red255\\green0\\blue0;}"}),
              (Lines{Black, "\\red1\\green2\\blue3;", "\\red255\\green0\\blue0;"}));
    EXPECT_EQ(ColorsOf({"{\\colortbl;}"}), Lines{Black});
    EXPECT_EQ(ColorsOf({"{\\colortbl;\\red1\\green2"}), Lines{Black});
}

TEST(HelpTables, MergedOverEveryPageWithoutRegardToCase)
{
    TTestPages pages;
    rtl::TStringList fonts;
    rtl::TStringList colors;
    BuildFontTable(pages.List, fonts);
    BuildColorTable(pages.List, colors);
    EXPECT_EQ(Entries(fonts), Lines{Arial});
    EXPECT_EQ(Entries(colors), Lines{});

    TPageObject& first = pages.Add("One");
    SetLines(first.Text, {"{\\rtf1{\\fonttbl{\\f0\\fnil\\fcharset0 ARIAL;}{\\f1\\fnil Mono;}}", "\\pard x}"});
    TPageObject& second = pages.Add("Two");
    SetLines(second.Text, {"{\\rtf1{\\fonttbl{\\f0\\fnil\\fcharset0 Arial;}}", "{\\colortbl ;\\red9\\green9\\blue9;}", "\\pard x}"});
    SetLines(second.Header, {"{\\rtf1{\\fonttbl{\\f0\\fnil Head;}}", "{\\colortbl ;\\RED0\\green128\\blue0;}", "\\pard x}"});
    pages.Add("Empty");
    BuildFontTable(pages.List, fonts);
    BuildColorTable(pages.List, colors);
    EXPECT_EQ(Entries(fonts), (Lines{Arial, "\\fnil Mono;}", "\\fnil Head;}"}));
    EXPECT_EQ(Entries(colors), (Lines{Black, "\\red9\\green9\\blue9;", "\\RED0\\green128\\blue0;"}));
}

TEST(HelpFiles, ContentsFileText)
{
    TTestPages pages;
    pages.Add("Start", "IDH_START");
    pages.Add("Deep", "IDH_DEEP");
    TProjectState state;
    state.TocList = NewTocList();
    AddToc(state, "Intro", "Intro", "", true);
    AddToc(state, "\tStart", "Start", "start", false);
    AddToc(state, "\t\tDeep", "Deep\r\nDown", "Deep", false);
    AddToc(state, "\tGone", "Gone", "No Such Page", false);
    EXPECT_EQ(ContentsFileText("demo", *state.TocList, pages.List),
              ":Base demo.hlp\r\n1 Intro\r\n2 Start=IDH_START\r\n3 Deep  Down=IDH_DEEP\r\n");

    state.TocList->AddObject("Broken", nullptr);
    EXPECT_THROW(ContentsFileText("demo", *state.TocList, pages.List), EHelpBuildError);
}

TEST(HelpFiles, HelpProjectFileText)
{
    TTestPages pages;
    pages.Add("A", "IDH_A").ContextID = "10";
    pages.Add("B", "IDH_B");
    TProjectState state;
    state.HelpFileName = "demo";
    state.TocList = NewTocList();
    AddToc(state, "Intro", "Intro", "", true);
    EXPECT_EQ(HelpProjectFileText(state, pages.List),
              "[OPTIONS]\r\nCOMPRESS=12 Hall Zeck\r\nCNT=.\\demo.cnt\r\nHLP=.\\demo.hlp\r\n\r\n"
              "[FILES]\r\n.\\demo.wrt\r\n\r\n[MAP]\r\nIDH_A=10\r\n[WINDOWS]\r\n"
              "Main=\"\",(0,0,200,200),,(r16777215),(r16777215),\r\n");

    state.UseCompression = false;
    state.TocList->Clear();
    pages.List.Delete(0);
    state.WindowLeft = -5;
    state.WindowTop = 7;
    state.PageColor = vcl::RGBColor(1, 2, 3);
    state.HeaderColor = vcl::clBlack;
    EXPECT_EQ(HelpProjectFileText(state, pages.List),
              "[OPTIONS]\r\nHLP=.\\demo.hlp\r\n\r\n[FILES]\r\n.\\demo.wrt\r\n\r\n[MAP]\r\n[WINDOWS]\r\n"
              "Main=\"\",(-5,7,200,200),,(r197121),(r0),\r\n");
}

TEST(HelpFiles, HelpFileNameMustKeepTheFilesInTheProjectFolder)
{
    for (const char* name : {"demo", "my help", "demo.v2", "caf\xe9"})
        EXPECT_NO_THROW(CheckHelpFileName(name)) << name;
    for (const char* name : {"", ".", "..", "..\\demo", "sub\\demo", "sub/demo", "C:demo", "\\\\srv\\x", "a*b", "a?b",
                             "a\"b", "a<b", "a|b", "a\r\nb", "con", "Nul.txt", "lpt1"}) {
        SCOPED_TRACE(name);
        try {
            CheckHelpFileName(name);
            ADD_FAILURE() << "accepted";
        } catch (const EHelpBuildError& e) {
            EXPECT_NE(e.Message().find(*name ? "cannot be used" : "Help File Name"), AnsiString::npos) << e.Message();
        }
    }
}

TEST(HelpFiles, CompilerCommand)
{
    EXPECT_EQ(HelpCompilerPath("C:\\Program Files\\Scrivane\\"), "C:\\Program Files\\Scrivane\\Tools\\hcrtf.exe");
    EXPECT_EQ(HelpCompilerPath("C:\\S"), "C:\\S\\Tools\\hcrtf.exe");
    EXPECT_EQ(HelpCompilerParameters(true, "C:\\proj\\demo.whp"), "-xh C:\\proj\\demo.whp");
    EXPECT_EQ(HelpCompilerParameters(false, "C:\\proj\\demo.whp"), "-x C:\\proj\\demo.whp");
    EXPECT_EQ(HelpCompilerParameters(false, "C:\\my proj\\demo.whp"), "-x \"C:\\my proj\\demo.whp\"");
}

// ---------------------------------------------------------------------------------------------------------

namespace {

class HelpBuildTest : public VclTest {
protected:
    void SetUp() override
    {
        VclTest::SetUp();
        folder = "C:\\" + AnsiString(::testing::UnitTest::GetInstance()->current_test_info()->name());
        ASSERT_TRUE(win::CreateDirectory(folder.c_str(), nullptr));
        programFolder = folder + "\\Scrivane";
        state.ProjectFileName = folder + "\\demo.wkp";
        state.HelpFileName = "demo";
        state.TocList = NewTocList();
    }

    void InstallCompiler() { InstallStandInCompiler(programFolder); }
    AnsiString RecordedArguments() { return RecordedCompilerArguments(programFolder); }

    AnsiString File(const AnsiString& extension) { return rtl::ReadWholeFile(folder + "\\demo" + extension); }
    bool Exists(const AnsiString& extension) { return rtl::FileExists(folder + "\\demo" + extension); }

    // The whole Make sequence after the checks; the closing message.
    AnsiString Make(const std::function<void(int)>& onPage = {})
    {
        THelpBuild build(pages.List, state);
        build.WriteTopicFile(onPage);
        build.WriteContentsFile();
        build.RemoveGidFile();
        build.WriteHelpProjectFile();
        build.StartCompiler(programFolder);
        return build.ClosingMessage();
    }

    AnsiString folder;
    AnsiString programFolder;
    TProjectState state;
    TTestPages pages;
};

}  // namespace

TEST_F(HelpBuildTest, WritesTheThreeFilesAndStartsTheCompiler)
{
    TPageObject& start = pages.Add("Start", "IDH_START");
    start.TopicTitle = "Start {here}";
    start.ContextID = "1";
    SetTextWithMarker(start.Text, "##Next##");
    AddLink(start, "Next", 0, "Next Page", "the next page");
    TPageObject& next = pages.Add("Next Page", "IDH_NEXT");
    SetTextWithMarker(next.Text, "#pics\\logo.bmp#", "Courier New");
    AddToc(state, "Intro", "Intro", "", true);
    AddToc(state, "\tStart", "Start", "Start", false);
    rtl::WriteWholeFile(folder + "\\demo.gid", "old");
    InstallCompiler();

    std::vector<int> shown;
    EXPECT_EQ(Make([&](int i) { shown.push_back(i); }), BuildSentText);
    EXPECT_EQ(shown, (std::vector<int>{0, 1}));

    EXPECT_EQ(RecordedArguments(), "-xh\n" + folder + "\\demo.whp\n");
    EXPECT_EQ(File(".cnt"), ":Base demo.hlp\r\n1 Intro\r\n2 Start=IDH_START\r\n");
    EXPECT_TRUE(StartsWith(File(".whp"), "[OPTIONS]\r\nCOMPRESS=12 Hall Zeck\r\nCNT=.\\demo.cnt\r\nHLP=.\\demo.hlp\r\n"));
    EXPECT_FALSE(Exists(".gid"));

    const AnsiString topic = File(".wrt");
    EXPECT_TRUE(StartsWith(topic,
              "{\\rtf1\\ansi\\deff0\r\n\r\n{\\fonttbl\r\n{\\f0\\fnil\\fcharset0 Arial;}\r\n"
              "{\\f1\\fnil\\fcharset0 Courier New;}\r\n}\r\n\r\n{\\colortbl;\r\n\\red0\\green0\\blue0;\r\n"
              "\\red0\\green128\\blue0;\r\n}\r\n\r\n\\plain\\fs20\\cf1\r\n\r\n"));
    EXPECT_NE(topic.find("${\\footnote Start \\{here\\}}\r\n"), AnsiString::npos);
    EXPECT_NE(topic.find("\\f1\r\n\\fs20\r\nSee \\cf2\r\n\r\n\r\n\\{bmc pics\\\\logo.bmp\\}\r\n"), AnsiString::npos);
    EXPECT_TRUE(topic.ends_with("\r\n\r\n\\page\r\n\r\n}\r\n"));
    // A reader takes the file as one document: footnotes stay hidden, the pages' text comes through.
    ASSERT_TRUE(IsWellFormedRtf(topic));
    const AnsiString text = richedit::ReadRtf(topic).Text();
    EXPECT_NE(text.find("See the next page"), AnsiString::npos) << text;
    EXPECT_NE(text.find("{bmc pics\\logo.bmp}"), AnsiString::npos) << text;
    EXPECT_EQ(text.find("here"), AnsiString::npos) << text;
}

TEST_F(HelpBuildTest, EmptyContentsRemoveTheOldFileAndErrorsStillStartTheCompiler)
{
    TPageObject& page = pages.Add("Only", "IDH_ONLY");
    SetBody(page.Text, "\\ul ##Missing##\\ulnone  x");
    rtl::WriteWholeFile(folder + "\\demo.cnt", "old");
    state.ShowHelpFile = false;
    InstallCompiler();

    vcl::test::AnswerMessage(vcl::mrOk);
    EXPECT_EQ(Make(), BuildHadErrorsText);
    EXPECT_EQ(vcl::test::LastMessage().Text, "Illegal link found in page Only\r\n\r\nLink:  Missing  not found.");
    EXPECT_FALSE(Exists(".cnt"));
    EXPECT_EQ(File(".whp").find("CNT="), AnsiString::npos);
    EXPECT_EQ(RecordedArguments(), "-x\n" + folder + "\\demo.whp\n");
    EXPECT_TRUE(IsWellFormedRtf(File(".wrt")));
}

TEST_F(HelpBuildTest, ACompilerThatCannotStartIsReported)
{
    pages.Add("Only", "IDH_ONLY");
    const AnsiString message = Make();
    EXPECT_TRUE(StartsWith(message, "The help compiler could not be started")) << message;
    EXPECT_NE(message.find(folder + "\\Scrivane\\Tools\\hcrtf.exe"), AnsiString::npos);
    // No page has a colour table: the merged one is empty.
    EXPECT_NE(File(".wrt").find("\r\n{\\colortbl;\r\n}\r\n"), AnsiString::npos);
}

TEST_F(HelpBuildTest, RefusalsAndWriteFailuresLeaveNoFiles)
{
    pages.Add("Only", "IDH_ONLY");
    state.HelpFileName = "..\\outside";
    EXPECT_THROW(THelpBuild(pages.List, state), EHelpBuildError);
    state.HelpFileName = "demo";
    state.ProjectFileName.clear();
    EXPECT_THROW(THelpBuild(pages.List, state), EHelpBuildError);

    state.ProjectFileName = folder + "\\missing\\demo.wkp";
    THelpBuild build(pages.List, state);
    EXPECT_THROW(build.WriteTopicFile(), rtl::EStreamError);
    EXPECT_TRUE(std::filesystem::is_empty(HostPath(folder))) << "nothing written, no temporary file left";
}

TEST_F(HelpBuildTest, TheDemoProject)
{
    const std::string examples = SCRIVANE_EXAMPLES_DIR;
    std::filesystem::copy_file(examples + "/demo.wkp", HostPath(folder) + "/demo.wkp");
    LoadProjectFile(state.ProjectFileName, state, pages.List);
    ASSERT_GT(pages.List.Count(), 0);
    InstallCompiler();

    EXPECT_EQ(Make(), BuildSentText);
    EXPECT_EQ(RecordedArguments(), "-xh\n" + folder + "\\Demo.whp\n");
    EXPECT_TRUE(IsWellFormedRtf(File(".wrt")));
    EXPECT_TRUE(StartsWith(File(".cnt"), ":Base Demo.hlp\r\n1 Introduction\r\n2 Welcome=IDH_WELCOME\r\n")) << File(".cnt");
    EXPECT_NE(File(".wrt").find("{\\uldb the Scrivane home page}{\\v !ExecFile(http://www.example.com/"), AnsiString::npos);
}
