// The project file: reader tolerance, versions, byte-exact saving, picture paths, backups, failures that
// lose nothing, and mutated files that must load or fail cleanly.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <initializer_list>
#include <random>

#include "platform/richedit/RtfReader.h"
#include "platform/richedit/RtfWriter.h"
#include "platform/win/Paths.h"
#include "tests/platform/win/WinTestFixture.h"
#include "tool/ProjectFile.h"

namespace {

AnsiString Crlf(std::initializer_list<const char*> lines)
{
    AnsiString text;
    for (const char* line : lines)
        text += AnsiString(line) + "\r\n";
    return text;
}

template <typename F>
AnsiString InOutError(F&& f)
{
    try {
        f();
    } catch (const rtl::EInOutError& e) {
        return e.Message();
    }
    return "no error";
}

// One page with a link of each kind, a contents group, an absolute picture and bytes above 127.
const AnsiString Sample = Crlf({"WKPFILEVERSION", "3", "Caf\xe9 help", "255", "-1", "-10", "20", "640", "480", "2",
                                "Group", "Group", "", "TRUE", "\tTopic \x81\x9d", "Topic", "Start", "FALSE", "1",
                                "Start", "7", "IDH_START", "Start \x80", "a;b", "2", "{\\rtf1 x\n#C:\\\\proj\\\\pics\\\\a.bmp#",
                                "}", "0", "3", "To", "0", "Start", "see", "TRUE", "Web", "1", "http://x", "web", "FALSE",
                                "Mail", "2", "a@b", "mail", "FALSE", "1", "C:\\proj\\pics\\a.bmp"});

// The sample with a second page appended; `secondPage` starts at the page's name.
AnsiString TwoPages(const AnsiString& secondPage)
{
    AnsiString text = Sample;
    text.replace(text.find("\r\n1\r\nStart\r\n7"), 5, "\r\n2\r\n");
    return text + secondPage;
}

const AnsiString SamplePage = Sample.substr(Sample.find("Start\r\n7"));

class ProjectFileTest : public WinPrefixTest {
protected:
    void SetUp() override
    {
        WinPrefixTest::SetUp();
        state.TocList = NewTocList();
    }
    void TearDown() override
    {
        FreeObjectsAndClear(pages);
        state.TocList.reset();
        WinPrefixTest::TearDown();
    }
    void Read(const AnsiString& bytes, const AnsiString& folder = "C:\\proj\\")
    {
        TProjectReader reader(bytes);
        ReadProject(reader, folder, state, pages);
    }
    TPageObject& Page(int i) { return *static_cast<TPageObject*>(pages.Objects(i)); }
    TLinkObject& Link(int page, int i) { return *static_cast<TLinkObject*>(Page(page).Links.Objects(i)); }
    std::vector<std::string> HostFiles(const std::string& folder)
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(DriveC(folder)))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    TProjectState state;
    rtl::TStringList pages;
};

}  // namespace

TEST(ProjectReader, LinesEndAtCarriageReturnAndTheFileAtCharacter26)
{
    TProjectReader reader(AnsiString("one\ntwo\r\nthree\rfour\r\n\x1a" "five\r\n"));
    EXPECT_EQ(reader.ReadString(), "one\ntwo");
    EXPECT_EQ(reader.ReadString(), "three");
    EXPECT_EQ(reader.ReadString(), "four");
    EXPECT_TRUE(reader.AtEnd());
    EXPECT_EQ(reader.ReadString(), "");
    EXPECT_EQ(reader.ReadInteger(), 0);
    EXPECT_FALSE(reader.ReadBoolean());
}

TEST(ProjectReader, IntegersSkipBlanksAcceptHexadecimalAndDropTheRestOfTheLine)
{
    TProjectReader reader("\r\n\r\n \t 12 and more\r\n$1f\r\n0x10\n-7\r\n+3\r\n" + AnsiString(40, '0') + "9\r\nnext\r\n");
    EXPECT_EQ(reader.ReadInteger(), 12);
    EXPECT_EQ(reader.ReadInteger(), 31);
    EXPECT_EQ(reader.ReadInteger(), 16);  // the lone LF ends the word, the rest of the line goes
    EXPECT_EQ(reader.ReadInteger(), 3);
    EXPECT_EQ(reader.ReadInteger(), 0);  // only the first 32 characters count
    EXPECT_EQ(reader.ReadString(), "next");

    for (const char* bad : {"abc\r\n", "12x\r\n", "2147483648\r\n", "$\r\n"}) {
        TProjectReader r(bad);
        try {
            r.ReadInteger();
            ADD_FAILURE() << bad;
        } catch (const rtl::EInOutError& e) {
            EXPECT_EQ(e.Message(), "Invalid numeric input");
            EXPECT_EQ(e.ErrorCode, 106);
        }
    }
    TProjectReader booleans(Crlf({"true", "TRUE ", "tRuE", "1"}));
    EXPECT_TRUE(booleans.ReadBoolean());
    EXPECT_FALSE(booleans.ReadBoolean());
    EXPECT_TRUE(booleans.ReadBoolean());
    EXPECT_FALSE(booleans.ReadBoolean());
}

TEST_F(ProjectFileTest, ANewProjectWithOneUntouchedPageSavesAsTwentyLines)
{
    TProjectState fresh;
    rtl::TStringList onePage;
    TPageObject page;
    page.Name = "New Page 1";
    onePage.AddObject(page.Name, &page);
    EXPECT_EQ(ProjectFileBytes(fresh, onePage), Crlf({"WKPFILEVERSION", "3", "", "16777215", "16777215", "0", "0", "200",
                                                      "200", "0", "1", "New Page 1", "", "", "", "", "0", "0", "0", "0"}));
}

TEST_F(ProjectFileTest, ReadsEveryFieldAndSavesTheSameBytesAgain)
{
    Read(Sample);
    EXPECT_EQ(state.HelpFileName, "Caf\xe9 help");
    EXPECT_EQ(state.HeaderColor, -1);
    EXPECT_EQ(state.WindowLeft, -10);
    ASSERT_EQ(state.TocList->Count(), 2);
    EXPECT_EQ(state.TocList->Strings(1), "\tTopic \x81\x9d");
    EXPECT_TRUE(static_cast<TTocObject*>(state.TocList->Objects(0))->IsGroup);
    ASSERT_EQ(pages.Count(), 1);
    EXPECT_EQ(Page(0).ContextID, "7");
    EXPECT_EQ(Page(0).Text.Strings(0), "{\\rtf1 x\n#pics\\\\a.bmp#") << "lone LF kept, marker made relative";
    EXPECT_EQ(Page(0).Pictures.Strings(0), "pics\\a.bmp");
    EXPECT_EQ(Link(0, 1).LinkType, 1);
    EXPECT_TRUE(Link(0, 0).Popup);

    ASSERT_TRUE(win::CreateDirectory("C:\\proj", nullptr));
    state.ProjectFileName = "C:\\proj\\p.wkp";
    SaveProjectFile(state, pages);
    AnsiString first = rtl::ReadWholeFile(state.ProjectFileName);
    NewProject(state, pages);
    LoadProjectFile("C:\\proj\\p.wkp", state, pages);
    EXPECT_EQ(ProjectFileBytes(state, pages), first);
}

// Pasted Greek text goes into the file with its font's character set and comes back as the editor
// writes it, so the Omega stays an Omega and does not turn into the Windows-1252 letter of its byte.
TEST_F(ProjectFileTest, AGreekPageKeepsItsFontsCharacterSetThroughSaveAndLoad)
{
    Read(Sample);
    Page(0).Text.SetText(richedit::WriteRtf(richedit::ReadRtf(
        "{\\rtf1\\ansi\\ansicpg1253{\\fonttbl{\\f0\\fswiss\\fcharset161 Arial;}}\\f0\\fs20 \\'d9\\'e1}")));
    ASSERT_TRUE(win::CreateDirectory("C:\\proj", nullptr));
    state.ProjectFileName = "C:\\proj\\p.wkp";
    SaveProjectFile(state, pages);
    NewProject(state, pages);
    LoadProjectFile("C:\\proj\\p.wkp", state, pages);

    ASSERT_EQ(pages.Count(), 1);
    const std::vector<AnsiString> stored{"{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fnil\\fcharset161 Arial;}}",
                                         "\\pard\\f0\\fs20\\'d9\\'e1", "}"};
    std::vector<AnsiString> loaded;
    for (int k = 0; k < Page(0).Text.Count(); ++k)
        loaded.push_back(Page(0).Text.Strings(k));
    EXPECT_EQ(loaded, stored);
    const richedit::TRichDocument doc = richedit::ReadRtf(Page(0).Text.Text());
    EXPECT_EQ(doc.AttributesAt(0).Charset, 161);
    EXPECT_EQ(richedit::WriteRtfLines(doc), stored);
}

TEST_F(ProjectFileTest, OlderVersionsAndALowerCaseMarker)
{
    // Version 1: no marker, no context line, no link type.
    Read(Crlf({"Old", "1", "2", "3", "4", "5", "6", "0", "1", "P", "ID", "Title", "k", "0", "0", "1", "L", "P", "t",
               "true", "0"}));
    EXPECT_EQ(state.HelpFileName, "Old");
    EXPECT_EQ(Page(0).TopicID, "ID");
    EXPECT_EQ(Page(0).ContextID, "");
    EXPECT_EQ(Link(0, 0).Target, "P");
    EXPECT_EQ(Link(0, 0).LinkType, 0);
    EXPECT_EQ(ProjectFileBytes(state, pages).substr(0, 18), "WKPFILEVERSION\r\n3\r");
    NewProject(state, pages);

    // Version 2: a context line, links of four lines.
    Read(Crlf({"WKPFILEVERSION", "2", "H", "1", "2", "3", "4", "5", "6", "0", "1", "P", "9", "ID", "T", "k", "0", "0", "1",
               "L", "P", "t", "FALSE", "0"}));
    EXPECT_EQ(Page(0).ContextID, "9");
    EXPECT_EQ(Link(0, 0).Text, "t");
    NewProject(state, pages);

    Read(Crlf({"wkpfileversion", "3", "4"}));
    EXPECT_EQ(state.HelpFileName, "wkpfileversion");
    EXPECT_EQ(state.PageColor, 3);
}

TEST_F(ProjectFileTest, DamagedAndShortFiles)
{
    // LF line ends: the whole file is the first line.
    Read("WKPFILEVERSION\n3\nH\n1\n");
    EXPECT_EQ(state.HelpFileName, "WKPFILEVERSION\n3\nH\n1\n");
    EXPECT_EQ(pages.Count(), 0);
    NewProject(state, pages);

    // Cut after the page count: that many empty pages.
    Read(Crlf({"WKPFILEVERSION", "3", "", "1", "1", "0", "0", "1", "1", "\r\n\r\n0", "", "3"}));
    ASSERT_EQ(pages.Count(), 3);
    EXPECT_EQ(Page(2).Name, "");
    EXPECT_EQ(Page(2).Text.Count(), 0);
    NewProject(state, pages);

    // Letters where a count belongs: what was complete stays, the page being read goes.
    AnsiString broken = SamplePage;
    broken.replace(broken.find("0\r\n3\r\nTo"), 1, "x");
    EXPECT_EQ(InOutError([&] { Read(TwoPages(broken)); }), "Invalid numeric input");
    EXPECT_EQ(state.TocList->Count(), 2);
    EXPECT_EQ(pages.Count(), 1);

    // A count far beyond the end of the file is damage, not a million empty pages.
    NewProject(state, pages);
    EXPECT_EQ(InOutError([&] { Read(Crlf({"H", "1", "1", "0", "0", "1", "1", "0", "2000000000"})); }),
              "Read beyond end of file");
    EXPECT_EQ(InOutError([&] { LoadProjectFile("C:\\nowhere.wkp", state, pages); }), "File not found");
}

TEST(ProjectPaths, RelativePathRule)
{
    EXPECT_EQ(RelativePath("C:\\proj\\", "C:\\proj\\pics\\a.bmp"), "pics\\a.bmp");
    EXPECT_EQ(RelativePath("C:\\proj\\", "c:\\PROJ\\a.bmp"), "a.bmp");
    EXPECT_EQ(RelativePath("C:\\proj\\sub\\", "C:\\other\\a.bmp"), "..\\..\\other\\a.bmp");
    EXPECT_EQ(RelativePath("C:\\proj\\", "D:\\proj\\a.bmp"), "D:\\proj\\a.bmp");
    EXPECT_EQ(RelativePath("C:\\proj\\", "pics\\a.bmp"), "pics\\a.bmp");
    EXPECT_EQ(RelativePath("\\\\srv\\share\\p\\", "\\\\SRV\\Share\\q\\a.bmp"), "..\\q\\a.bmp");
    EXPECT_EQ(RelativePath("\\\\srv\\share\\p\\", "\\\\srv\\other\\p\\a.bmp"), "\\\\srv\\other\\p\\a.bmp");
    EXPECT_EQ(BackupFileName("C:\\p\\proj.wkp"), "C:\\p\\proj.bak");
    EXPECT_EQ(BackupFileName("C:\\p.d\\proj"), "C:\\p.d\\proj.bak");
}

TEST(ProjectPaths, PictureMarkersFollowTheirPaths)
{
    TPageObject page;
    page.Text.SetText("#C:\\\\p\\\\a.bmp# and #C:\\\\p\\\\a.bmp#\r\nx #D:\\\\a.bmp# #C:\\\\P\\\\A.BMP#\r\n");
    ApplyPictureRule(page, {"C:\\p\\a.bmp", "D:\\a.bmp", "C:\\P\\A.BMP"}, "C:\\p\\");
    EXPECT_EQ(page.Pictures.CommaText(), "a.bmp,D:\\a.bmp,A.BMP");
    EXPECT_EQ(page.Text.Strings(0), "#a.bmp# and #C:\\\\p\\\\a.bmp#");
    EXPECT_EQ(page.Text.Strings(1), "x #D:\\\\a.bmp# #A.BMP#");
}

// The editor writes a picture marker's accented letters and braces as RTF escapes; the marker must turn
// relative with its list entry, or the help build would name a picture the project no longer lists.
TEST(ProjectPaths, PictureMarkersWithEscapedCharactersFollowTheirPaths)
{
    for (const char* stored : {"C:\\p\\Caf\xe9.bmp", "C:\\p\\{x}\\a.bmp", "C:\\p\\\xc9t\xe9\\b.bmp"}) {
        SCOPED_TRACE(stored);
        const AnsiString relative = RelativePath("C:\\p\\", stored);
        richedit::TCharAttributes plain;
        plain.Face = "Arial";
        richedit::TCharAttributes marker = plain;
        marker.Underline = true;
        marker.Protected = true;
        richedit::TRichDocument document;
        document.AppendText("See ", plain);
        document.AppendText("#" + AnsiString(stored) + "#", marker);
        document.AppendText(" and #" + AnsiString(stored) + "#", plain);
        TPageObject page;
        for (const AnsiString& line : richedit::WriteRtfLines(document))
            page.Text.Add(line);

        ApplyPictureRule(page, {stored}, "C:\\p\\");
        EXPECT_EQ(page.Pictures.Text(), relative + "\r\n");
        // Read back, the first marker names the relative path and the second stays as it was.
        const AnsiString text = richedit::ReadRtf(page.Text.Text()).Text();
        EXPECT_EQ(text, "See #" + relative + "# and #" + stored + "#");
    }
}

// The one-pass rewrite must agree with the rule applied picture by picture, line by line.
TEST(ProjectPaths, PictureRewriteAgreesWithTheRuleOnRandomPages)
{
    std::mt19937 random(7);
    const char* const paths[] = {"C:\\p\\a", "C:\\p\\q\\b", "C:\\x#y", "D:\\c", "C:\\p\\..\\a", "a", "C:\\p\\a"};
    for (int run = 0; run < 300; ++run) {
        std::vector<AnsiString> stored;
        for (int i = 0, n = static_cast<int>(random() % 4); i < n; ++i)
            stored.push_back(paths[random() % 7]);
        TPageObject page;
        for (int line = 0; line < 3; ++line) {
            AnsiString text;
            for (int k = 0, n = static_cast<int>(random() % 5); k < n; ++k)
                text += random() % 3 ? "#" + rtl::StringReplace(paths[random() % 7], "\\", "\\\\", rtl::rfReplaceAll) : "x#";
            page.Text.Add(text + "#");
        }
        rtl::TStringList expected;
        expected.Assign(page.Text);
        for (const AnsiString& s : stored) {
            AnsiString from = "#" + rtl::StringReplace(s, "\\", "\\\\", rtl::rfReplaceAll) + "#";
            AnsiString to = "#" + rtl::StringReplace(RelativePath("C:\\p\\", s), "\\", "\\\\", rtl::rfReplaceAll) + "#";
            for (int i = 0; i < expected.Count() && from != to; ++i)
                expected.SetStrings(i, rtl::StringReplace(expected[i], from, to, rtl::rfNone));
        }
        ApplyPictureRule(page, stored, "C:\\p\\");
        ASSERT_EQ(page.Text.Text(), expected.Text()) << run;
    }
}

TEST_F(ProjectFileTest, SavingKeepsABackupAndNeverHalfWritesTheProject)
{
    ASSERT_TRUE(win::CreateDirectory("C:\\proj", nullptr));
    state.ProjectFileName = "C:\\proj\\proj.wkp";
    state.Modified = true;
    SaveProjectFile(state, pages);  // the first save: nothing to back up, nothing reported
    EXPECT_FALSE(state.Modified);
    EXPECT_EQ(HostFiles("proj"), (std::vector<std::string>{"proj.wkp"}));
    const AnsiString first = rtl::ReadWholeFile(state.ProjectFileName);

    state.HelpFileName = "second";
    SaveProjectFile(state, pages);
    EXPECT_EQ(rtl::ReadWholeFile("C:\\proj\\proj.bak"), first);
    const AnsiString second = rtl::ReadWholeFile(state.ProjectFileName);

    // A locked project and a read-only one: the old file stays whole, no temporary file is left behind.
    state.HelpFileName = "third";
    state.Modified = true;
    win::HANDLE lock = Open("C:\\proj\\proj.wkp", win::GENERIC_READ, win::FILE_SHARE_READ);
    EXPECT_EQ(InOutError([&] { SaveProjectFile(state, pages); }), "I/O error 32");
    win::CloseHandle(lock);
    ASSERT_TRUE(win::SetFileAttributes("C:\\proj\\proj.wkp", win::FILE_ATTRIBUTE_READONLY));
    state.AutoSaveBackup = false;
    EXPECT_EQ(InOutError([&] { SaveProjectFile(state, pages); }), "File access denied");
    EXPECT_TRUE(state.Modified);
    EXPECT_EQ(rtl::ReadWholeFile(state.ProjectFileName), second);
    EXPECT_EQ(HostFiles("proj"), (std::vector<std::string>{"proj.bak", "proj.wkp"}));
}

TEST_F(ProjectFileTest, AFullDiskLeavesTheOldProject)
{
    state.ProjectFileName = "A:\\proj.wkp";
    SaveProjectFile(state, pages);
    const AnsiString old = rtl::ReadWholeFile(state.ProjectFileName);
    win::SetFloppyCapacity(250);
    Read(Sample);
    EXPECT_EQ(InOutError([&] { SaveProjectFile(state, pages); }), "Disk full");
    EXPECT_EQ(rtl::ReadWholeFile(state.ProjectFileName), old);
}

TEST_F(ProjectFileTest, ProgressIsReportedOncePerPage)
{
    std::vector<std::pair<int, int>> calls;
    auto record = [&](int position, int count) { calls.emplace_back(position, count); };
    TProjectReader reader(TwoPages(SamplePage));
    ReadProject(reader, "C:\\proj\\", state, pages, record);
    ProjectFileBytes(state, pages, record);
    EXPECT_EQ(calls, (std::vector<std::pair<int, int>>{{1, 2}, {2, 2}, {0, 2}, {1, 2}}));
}

TEST_F(ProjectFileTest, NewFreesEverythingOnceAndKeepsTheWindowPosition)
{
    Read(Sample);
    state.Modified = true;
    rtl::TStringList working;  // the shown page's records plus one added since
    working.AddStrings(Page(0).Links);
    working.AddObject("Extra", new TLinkObject);
    NewProject(state, pages, &working);
    EXPECT_EQ(pages.Count() + working.Count() + state.TocList->Count(), 0);
    EXPECT_EQ(state.WindowLeft, -10);
    EXPECT_EQ(state.WindowTop, 20);
    EXPECT_EQ(state.WindowWidth, 200);
    EXPECT_EQ(state.HeaderColor, vcl::clWhite);
    EXPECT_EQ(state.HelpFileName, "");
    EXPECT_FALSE(state.Modified);
}

TEST_F(ProjectFileTest, TheDemoProjectLoadsAndIsInTheEditorsOwnShape)
{
    const AnsiString demo = win::WindowsPathFromHost(SCRIVANE_EXAMPLES_DIR "/demo.wkp");
    LoadProjectFile(demo, state, pages);
    ASSERT_EQ(pages.Count(), 3);
    EXPECT_EQ(Page(0).Pictures.Strings(0), "logo.bmp");
    EXPECT_TRUE(rtl::FileExists(rtl::ExtractFilePath(demo) + "logo.bmp"));
    EXPECT_EQ(ProjectFileBytes(state, pages), rtl::ReadWholeFile(demo));
    for (int i = 0; i < pages.Count(); ++i)
        for (const rtl::TStrings* lines : {&Page(i).Text, &Page(i).Header})
            if (lines->Count() > 0) {
                std::vector<AnsiString> stored;
                for (int k = 0; k < lines->Count(); ++k)
                    stored.push_back(lines->Strings(k));
                EXPECT_EQ(richedit::WriteRtfLines(richedit::ReadRtf(lines->Text())), stored) << Page(i).Name;
            }
}

// Random mutations of valid files must load or raise the input/output error; what loads settles after one
// save.
TEST_F(ProjectFileTest, MutatedFilesLoadOrFailCleanly)
{
    const AnsiString seeds[] = {Sample, rtl::ReadWholeFile(win::WindowsPathFromHost(SCRIVANE_EXAMPLES_DIR "/demo.wkp"))};
    const char alphabet[] = "\r\n\x1a\t #$x0-9TRUEWKPFILEVERSION\\";
    std::mt19937 random(1103);
    auto pick = [&](size_t n) { return n == 0 ? size_t{0} : static_cast<size_t>(random() % n); };
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    int runs = 0, loaded = 0;
    for (; runs < 20000 && std::chrono::steady_clock::now() < deadline; ++runs) {
        AnsiString input = seeds[runs % 2];
        for (int s = 0, n = 1 + static_cast<int>(pick(5)); s < n; ++s) {
            size_t at = pick(input.size() + 1);
            switch (pick(5)) {
            case 0: if (at < input.size()) input[at] = static_cast<char>(random()); break;
            case 1: input.insert(at, 1, alphabet[pick(sizeof alphabet - 1)]); break;
            case 2: input.erase(at, pick(20)); break;
            case 3: input.insert(at, AnsiString(1 + pick(12), '9')); break;
            default: input.resize(at); break;
            }
        }
        try {
            Read(input);
            ++loaded;
            AnsiString once = ProjectFileBytes(state, pages);
            NewProject(state, pages);
            Read(once);
            ASSERT_EQ(ProjectFileBytes(state, pages), once) << input;
        } catch (const rtl::EInOutError&) {
        }
        NewProject(state, pages);
    }
    EXPECT_GE(runs, 2000);
    EXPECT_GT(loaded, runs / 10);
}
