#include <gtest/gtest.h>

#include "platform/rtl/IniFiles.h"
#include "tests/platform/rtl/TestFileSystem.h"

using namespace rtl;

namespace {

const AnsiString IniPath = "C:\\app\\config.ini";

std::vector<AnsiString> Lines(const TStrings& list)
{
    std::vector<AnsiString> lines;
    for (int i = 0; i < list.Count(); ++i)
        lines.push_back(list[i]);
    return lines;
}

using V = std::vector<AnsiString>;

}  // namespace

class IniFiles : public ::testing::Test {
protected:
    void SetUp() override { fixture.fs.MakeDirectory("C:\\app"); }
    void Write(const std::string& text) { fixture.fs.WriteHostFile(IniPath, text); }
    std::string Read() { return fixture.fs.ReadHostFile(IniPath); }
    rtltest::FileSystemFixture fixture;
};

TEST_F(IniFiles, LookUpsIgnoreCaseTrimAndUnquote)
{
    Write("; a comment\r\n"
          "stray=before any section\r\n"
          "[Preferences]\r\n"
          "  AutoSaveBackup =  0  \r\n"
          "Title=\"  quoted  \"\r\n"
          "Single='x'\r\n"
          "Half=\"open\r\n"
          "Empty=\r\n"
          "[Other]\n"
          "Title=other\n");
    TIniFile ini(IniPath);
    EXPECT_EQ(ini.ReadString("preferences", "AUTOSAVEBACKUP", "d"), "0");
    EXPECT_EQ(ini.ReadString("Preferences", "Title", "d"), "  quoted  ") << "quotes keep inner blanks";
    EXPECT_EQ(ini.ReadString("Preferences", "Single", "d"), "x");
    EXPECT_EQ(ini.ReadString("Preferences", "Half", "d"), "\"open");
    EXPECT_EQ(ini.ReadString("Preferences", "Empty", "d"), "");
    EXPECT_EQ(ini.ReadString("Preferences", "Missing", "d"), "d");
    EXPECT_EQ(ini.ReadString("Other", "Title", "d"), "other");
    EXPECT_EQ(ini.ReadString("", "stray", "d"), "d") << "keys before the first section belong to none";
    EXPECT_FALSE(ini.ReadBool("Preferences", "AutoSaveBackup", true));
    EXPECT_TRUE(ini.ValueExists("PREFERENCES", "empty"));
    EXPECT_FALSE(ini.ValueExists("Preferences", "Missing"));
}

TEST_F(IniFiles, MissingFilesAndMalformedLinesReadAsNothing)
{
    TIniFile missing("C:\\app\\none.ini");
    EXPECT_EQ(missing.ReadString("s", "k", "default"), "default");
    EXPECT_EQ(missing.ReadInteger("s", "k", 7), 7);
    EXPECT_FALSE(missing.SectionExists("s"));
    TStringList sections;
    missing.ReadSections(sections);
    EXPECT_EQ(sections.Count(), 0);

    Write("[Broken\r\n=novalue\r\nno equals sign\r\n]\r\n[Good]\r\n[]x\r\nk=v\r\n\x01\xFF\x80garbage\r\n");
    TIniFile ini(IniPath);
    ini.ReadSections(sections);
    EXPECT_EQ(Lines(sections), (V{"Good", ""}));
    EXPECT_EQ(ini.ReadString("", "k", "d"), "v") << "\"[]\" opens a section without a name";
    EXPECT_FALSE(ini.SectionExists("Good")) << "a section without keys does not exist";
    EXPECT_FALSE(ini.SectionExists("Broken"));

    fixture.fs.DenyAccess(IniPath);
    EXPECT_EQ(ini.ReadString("", "k", "unreadable"), "unreadable");
}

TEST_F(IniFiles, IntegersFollowTheProfileRules)
{
    Write("[n]\r\na=42\r\nb=-7\r\nc=0x1F\r\nd=12abc\r\ne=abc\r\nf=\r\ng=+3\r\nh=4294967297\r\n");
    TIniFile ini(IniPath);
    EXPECT_EQ(ini.ReadInteger("n", "a", 0), 42);
    EXPECT_EQ(ini.ReadInteger("n", "b", 0), -7);
    EXPECT_EQ(ini.ReadInteger("n", "c", 0), 31);
    EXPECT_EQ(ini.ReadInteger("n", "d", 0), 12) << "junk after the digits is ignored";
    EXPECT_EQ(ini.ReadInteger("n", "e", 5), 5);
    EXPECT_EQ(ini.ReadInteger("n", "f", 5), 5);
    EXPECT_EQ(ini.ReadInteger("n", "g", 0), 3);
    EXPECT_EQ(ini.ReadInteger("n", "h", 0), 1) << "overflow wraps instead of failing";
    EXPECT_EQ(GetPrivateProfileInt("n", "missing", -1, IniPath), -1);
}

TEST_F(IniFiles, BufferSizeTruncatesLikeTheBufferWould)
{
    Write("[s]\r\nk=abcdef\r\n");
    EXPECT_EQ(GetPrivateProfileString("s", "k", "", 4, IniPath), "abc");
    EXPECT_EQ(GetPrivateProfileString("s", "k", "", 7, IniPath), "abcdef");
    EXPECT_EQ(GetPrivateProfileString("s", "k", "", 1, IniPath), "");
    EXPECT_EQ(GetPrivateProfileString("s", "k", "", 0, IniPath), "");
    EXPECT_EQ(GetPrivateProfileString("s", "none", "default", 4, IniPath), "def") << "the default too";
}

TEST_F(IniFiles, WritesKeepEveryOtherLine)
{
    Write("; keep me\n[A]\nx=1\n\n; about B\n[B]\ny = 2 \n");
    TIniFile ini(IniPath);
    ini.WriteString("A", "x", "10");
    ini.WriteString("a", "new", "n");
    ini.WriteInteger("C", "z", -3);
    ini.WriteBool("B", "flag", true);
    EXPECT_EQ(Read(), "; keep me\r\n[A]\r\nx=10\r\nnew=n\r\n\r\n; about B\r\n[B]\r\ny = 2 \r\nflag=1\r\n"
                      "[C]\r\nz=-3\r\n");
    EXPECT_EQ(fixture.fs.FilesIn("C:\\app"), (std::set<std::string>{"config.ini"}));

    ini.DeleteKey("A", "X");
    ini.EraseSection("b");
    EXPECT_EQ(Read(), "; keep me\r\n[A]\r\nnew=n\r\n\r\n; about B\r\n[C]\r\nz=-3\r\n")
        << "what stands before a header belongs to the section above";
    EXPECT_TRUE(WritePrivateProfileString("A", "gone", std::nullopt, IniPath)) << "deleting nothing is fine";

    TStringList values;
    ini.ReadSectionValues("C", values);
    EXPECT_EQ(Lines(values), (V{"z=-3"}));
}

TEST_F(IniFiles, WritingAFreshFileAndRefusedWrites)
{
    TIniFile ini("C:\\app\\fresh.ini");
    ini.WriteString("Preferences", "File0", "C:\\help\\demo.wkp");
    EXPECT_EQ(fixture.fs.ReadHostFile("C:\\app\\fresh.ini"), "[Preferences]\r\nFile0=C:\\help\\demo.wkp\r\n");

    Write("[s]\r\nk=old\r\n");
    fixture.fs.SetFailReplace(true);
    TIniFile refused(IniPath);
    try {
        refused.WriteString("s", "k", "new");
        FAIL();
    } catch (const EIniFileException& e) {
        EXPECT_EQ(e.Message(), "Unable to write to C:\\app\\config.ini");
    }
    EXPECT_EQ(Read(), "[s]\r\nk=old\r\n");
    EXPECT_FALSE(WritePrivateProfileString("s", "k", AnsiString("new"), IniPath));

    // So is a change that does not get its turn while another process keeps changing the file.
    fixture.fs.SetFailReplace(false);
    fixture.fs.SetRefuseTurns(true);
    EXPECT_THROW(refused.EraseSection("s"), EIniFileException);
    EXPECT_EQ(Read(), "[s]\r\nk=old\r\n");
    fixture.fs.SetRefuseTurns(false);

    // A file that exists but cannot be read is never overwritten with what little was read.
    fixture.fs.DenyAccess(IniPath);
    EXPECT_THROW(refused.WriteString("s", "other", "x"), EIniFileException);
    EXPECT_THROW(TIniFile("C:\\nodir\\x.ini").WriteString("s", "k", "v"), EIniFileException);
}

TEST_F(IniFiles, SectionListingsGiveEachNameOnce)
{
    Write("[One]\r\na=1\r\nB=2\r\nA=3\r\n[two]\r\n[ONE]\r\nc=4\r\n");
    TIniFile ini(IniPath);
    TStringList list;
    ini.ReadSections(list);
    EXPECT_EQ(Lines(list), (V{"One", "two"}));
    ini.ReadSection("one", list);
    EXPECT_EQ(Lines(list), (V{"a", "B"})) << "the first section of a name is the one";
    ini.ReadSectionValues("One", list);
    EXPECT_EQ(Lines(list), (V{"a=1", "B=2"}));
}
