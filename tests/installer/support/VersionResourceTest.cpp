#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "installer/support/VersionResource.h"
#include "platform/rtl/DateUtils.h"
#include "platform/vcl/TypInfo.h"
#include "platform/win/FileTime.h"
#include "platform/win/Files.h"
#include "platform/win/SystemInfo.h"
#include "tests/platform/win/WinTestFixture.h"
#include "tests/support/PeFiles.h"

using namespace VersionResource;

namespace {

class VersionResourceTest : public WinPrefixTest {
protected:
    void SetUp() override
    {
        WinPrefixTest::SetUp();
        ASSERT_TRUE(win::CreateDirectory("C:\\ver", nullptr));
    }

    void TearDown() override
    {
        TVersionResource::FreeShared();
        WinPrefixTest::TearDown();
    }

    static void WritePe(const std::string& path, const testpe::TVersionLayout& layout)
    {
        ASSERT_TRUE(WriteWindows(path, testpe::BuildPe(testpe::VersionBlock(layout)).Bytes));
    }

    static testpe::TVersionLayout Versioned(const std::string& version)
    {
        testpe::TVersionLayout layout;
        layout.FileVersion = version;
        layout.Values = {{"FileVersion", version}};
        return layout;
    }

    // Local time, as the file's DOS date-time shows it.
    static rtl::TDateTime Moment(int day, int hour = 12)
    {
        return rtl::EncodeDate(2004, 5, day) + rtl::EncodeTime(hour, 30, 10, 0);
    }

    static void SetDate(const std::string& path, rtl::TDateTime moment)
    {
        uint16_t year, month, day, hour, minute, second, millisecond;
        rtl::DecodeDate(moment, year, month, day);
        rtl::DecodeTime(moment, hour, minute, second, millisecond);
        const win::SYSTEMTIME time{year, month, 0, day, hour, minute, second, 0};
        win::FILETIME local{};
        win::FILETIME utc{};
        ASSERT_TRUE(win::SystemTimeToFileTime(&time, &local));
        ASSERT_TRUE(win::LocalFileTimeToFileTime(&local, &utc));
        win::HANDLE file = Open(path, win::GENERIC_WRITE, win::FILE_SHARE_READ);
        ASSERT_NE(file, win::INVALID_HANDLE_VALUE);
        EXPECT_TRUE(win::SetFileTime(file, nullptr, nullptr, &utc));
        win::CloseHandle(file);
    }

    static void WriteTarget(const std::string& path, const std::string& version, rtl::TDateTime moment)
    {
        WritePe(path, Versioned(version));
        SetDate(path, moment);
    }
};

std::vector<std::string> PropertyNames(const vcl::TPersistent* object)
{
    std::vector<std::string> names;
    for (const vcl::TPropInfo* info : vcl::GetPropList(object))
        names.push_back(info->Name);
    return names;
}

}  // namespace

TEST(CompareVersionsTest, FieldByField)
{
    const struct {
        const char* A;
        const char* B;
        int Result;
    } cases[] = {
        {"1.10", "1.9", 1},          // numeric fields
        {"1.0", "1.0.0", 2},         // fewer fields
        {"1.0b", "1.0a", 1},         // text comparison
        {"1.0", "1.00", 0},          // by value
        {"", "", 0},
        {"1", "", 1},
        {"", "0", 2},
        {"2.0.0.56", "2.0.0.56", 0},
        {"1..5", "1", 0},            // an empty field ends the comparison
        {"1.B", "1.a", 2},           // by character code: 'B' < 'a'
        {"1.\xE9", "1.z", 1},        // codes above 127 are larger
        {"10000000000", "9999999999", 1},  // larger than 32 bits
        {"1.$A", "1.9", 1},          // integers in StrToInt's forms
        {"3.x", "10.x", 2},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TVersionResource::CompareVersions(c.A, c.B), c.Result) << c.A << " against " << c.B;
        const int reversed = c.Result == 0 ? 0 : 3 - c.Result;
        EXPECT_EQ(TVersionResource::CompareVersions(c.B, c.A), reversed) << c.B << " against " << c.A;
    }
}

TEST(VersionResourceTablesTest, LanguagesAndCodePages)
{
    EXPECT_EQ(vcl::EnumInfoOf<TLanguage>().Count(), 45);
    EXPECT_EQ(LanguageIdentifier(lnArabic), 0x0401);
    EXPECT_EQ(LanguageIdentifier(lnUSEnglish), 0x0409);
    EXPECT_EQ(LanguageIdentifier(lnBahasa), 0x0421);
    EXPECT_EQ(LanguageIdentifier(lnSimplifiedChinese), 2052);
    EXPECT_EQ(LanguageIdentifier(lnUKEnglish), 2057);
    EXPECT_EQ(LanguageIdentifier(lnSwissFrench), 4108);
    EXPECT_EQ(CodePage(csASCII), 0);
    EXPECT_EQ(CodePage(csUnicode), 1200);
    EXPECT_EQ(CodePage(csMultilingual), 1252);
    EXPECT_EQ(CodePage(csArabic), 1256);
}

TEST_F(VersionResourceTest, ReadsEveryValueOfTheSelectedTable)
{
    testpe::TVersionLayout layout;
    layout.FileVersion = "4.3.2.1";
    layout.ProductVersion = "4.0.0.0";
    layout.Translations = {0x04E40C07, 0x04E40409};  // German (Austria) first
    layout.Values = {{"Comments", "a note"},           {"CompanyName", "Halvern"},
                   {"FileDescription", "Caf\xE9"},    {"FileVersion", "text, not used"},
                   {"InternalName", "app"},           {"LegalCopyright", "(c) Halvern"},
                   {"LegalTrademarks", "none"},       {"OriginalFilename", "APP.EXE"},
                   {"PrivateBuild", "p"},             {"ProductName", "Scrivane"},
                   {"ProductVersion", "4.0 beta"},    {"SpecialBuild", "s"}};
    WritePe("C:\\ver\\app.exe", layout);

    TVersionResource reader(nullptr);
    reader.SetFileName("C:\\ver\\app.exe");
    const TVersionInfo& info = *reader.VersionInfo();
    EXPECT_FALSE(reader.ReadFailed());
    EXPECT_EQ(info.Comment(), "a note");
    EXPECT_EQ(info.CompanyName(), "Halvern");
    EXPECT_EQ(info.FileDescription(), "Caf\xE9");
    EXPECT_EQ(info.FileVersion(), "4.3.2.1");  // always the fixed part
    EXPECT_EQ(info.InternalName(), "app");
    EXPECT_EQ(info.LegalCopyright(), "(c) Halvern");
    EXPECT_EQ(info.LegalTradeMarks(), "none");
    EXPECT_EQ(info.OriginalFileName(), "APP.EXE");
    EXPECT_EQ(info.PrivateBuild(), "p");
    EXPECT_EQ(info.ProductName(), "Scrivane");
    EXPECT_EQ(info.ProductVersion(), "4.0 beta");  // the string replaces the fixed part's
    EXPECT_EQ(info.SpecialBuild(), "s");
    EXPECT_EQ(info.FileOS(), "32 bit Windows");
    EXPECT_EQ(info.FileType(), "Application");
    EXPECT_EQ(info.FileSubType(), "");
    EXPECT_EQ(info.PrimaryLanguage(), 0x0007);  // of the first translation, of two

    // Another table: only the fixed part's values are left; setting the property re-read the file.
    reader.SetLanguage(lnGerman);
    EXPECT_EQ(info.CompanyName(), "");
    EXPECT_EQ(info.ProductVersion(), "4.0.0.0");
    EXPECT_EQ(info.FileVersion(), "4.3.2.1");
    vcl::SetEnumProp(&reader, "Language", "lnUSEnglish");
    EXPECT_EQ(info.CompanyName(), "Halvern");
    reader.SetCharacterSet(csUnicode);
    EXPECT_EQ(info.CompanyName(), "");
}

TEST_F(VersionResourceTest, FixedPartTexts)
{
    const struct {
        win::DWORD OS, Type, SubType;
        const char* FileOS;
        const char* FileType;
        const char* FileSubType;
    } cases[] = {
        {win::VOS_NT_WINDOWS32, win::VFT_DLL, 0, "Windows NT with 32 bit Windows", "Dynamic-Link Library", ""},
        {win::VOS_DOS_WINDOWS16, win::VFT_DRV, win::VFT2_DRV_COMM, "Windows 3.0 or later with MS-Dos",
         "Device Driver", "Communications"},
        {win::VOS_OS232_PM32, win::VFT_DRV, 11, "32 bit OS/2 with Presentation Manager", "Device Driver", "Unknown"},
        {win::VOS_DOS, win::VFT_FONT, win::VFT2_FONT_TRUETYPE, "MS-Dos", "Font", "TrueType"},
        {0x50000, 6, 3, "Unknown", "Unknown", ""},
    };
    TVersionResource reader(nullptr);
    for (const auto& c : cases) {
        testpe::TVersionLayout layout;
        layout.FileOS = c.OS;
        layout.FileType = c.Type;
        layout.FileSubtype = c.SubType;
        WritePe("C:\\ver\\x.dll", layout);
        reader.SetFileName("C:\\ver\\x.dll");
        EXPECT_EQ(reader.VersionInfo()->FileOS(), c.FileOS);
        EXPECT_EQ(reader.VersionInfo()->FileType(), c.FileType);
        EXPECT_EQ(reader.VersionInfo()->FileSubType(), c.FileSubType);
    }
}

TEST_F(VersionResourceTest, FilesWithoutVersionLeaveEverythingEmpty)
{
    ASSERT_TRUE(WriteWindows("C:\\ver\\plain.txt", "no executable"));
    testpe::TVersionLayout full = Versioned("1.2.3.4");
    WritePe("C:\\ver\\full.exe", full);
    std::string corrupt = testpe::BuildPe(testpe::VersionBlock(full)).Bytes;
    corrupt.resize(corrupt.size() - 0x180);
    ASSERT_TRUE(WriteWindows("C:\\ver\\cut.exe", corrupt));

    TVersionResource reader(nullptr);
    for (const char* path : {"C:\\ver\\plain.txt", "C:\\ver\\missing.exe", "C:\\ver\\cut.exe", "C:\\ver"}) {
        reader.SetFileName("C:\\ver\\full.exe");
        ASSERT_EQ(reader.VersionInfo()->FileVersion(), "1.2.3.4");
        reader.SetFileName(path);
        for (const vcl::TPropInfo* property : vcl::GetPropList(reader.VersionInfo()))
            EXPECT_EQ(vcl::GetPropValue(reader.VersionInfo(), property->Name).AsString(), "")
                << path << " " << property->Name;
        EXPECT_EQ(reader.VersionInfo()->PrimaryLanguage(), 0) << path;
        // A folder is there but cannot be read: its version is unknown rather than empty.
        EXPECT_EQ(reader.ReadFailed(), std::string(path) == "C:\\ver") << path;
    }
}

TEST_F(VersionResourceTest, PublishedPropertiesAndDefaults)
{
    RegisterVersionResourceClasses();
    TVersionResource reader(nullptr);
    EXPECT_EQ(PropertyNames(&reader), (std::vector<std::string>{"Name", "Tag", "FileName", "Language",
                                                                "CharacterSet", "VersionInfo"}));
    EXPECT_EQ(PropertyNames(reader.VersionInfo()),
              (std::vector<std::string>{"Comment", "CompanyName", "FileDescription", "FileVersion", "InternalName",
                                        "LegalCopyright", "LegalTradeMarks", "OriginalFileName", "PrivateBuild",
                                        "ProductName", "ProductVersion", "SpecialBuild", "FileOS", "FileType",
                                        "FileSubType"}));
    EXPECT_EQ(reader.Language(), lnUSEnglish);
    EXPECT_EQ(reader.CharacterSet(), csMultilingual);
    char path[win::MAX_PATH];
    ASSERT_GT(win::GetModuleFileName(nullptr, path, sizeof path), 0u);
    EXPECT_EQ(reader.FileName(), path);
}

// Each mode against an older, an equal, a newer and a locked target, for a new file of version 2.0.0.0
// dated the 10th.
TEST_F(VersionResourceTest, EveryModeAgainstEveryKindOfTarget)
{
    const rtl::TDateTime newDate = Moment(10);
    WriteTarget("C:\\ver\\new.dll", "2.0.0.0", newDate);
    WriteTarget("C:\\ver\\older.dll", "1.0.0.0", Moment(9));
    WriteTarget("C:\\ver\\equal.dll", "2.0.0.0", newDate);
    WriteTarget("C:\\ver\\newer.dll", "3.0.0.0", Moment(11));
    WriteTarget("C:\\ver\\locked.dll", "2.0.0.0", newDate);
    const char* const targets[] = {"C:\\ver\\older.dll", "C:\\ver\\equal.dll", "C:\\ver\\newer.dll",
                                   "C:\\ver\\locked.dll"};
    const struct {
        TOverwriteType Mode;
        TOverwriteResult Results[4];
    } expected[] = {
        {owAlways, {orReplace, orReplace, orReplace, orReplace}},
        {owNever, {orKeepExisting, orKeepExisting, orKeepExisting, orKeepExisting}},
        {owVersion, {orReplace, orSame, orKeepExisting, orCannotDecide}},
        {owDate, {orReplace, orSame, orKeepExisting, orCannotDecide}},
        {owVersionDate, {orReplace, orSame, orKeepExisting, orCannotDecide}},
        {owAsk, {orAsk, orAsk, orAsk, orAsk}},
    };
    win::HANDLE lock = Open("C:\\ver\\locked.dll", win::GENERIC_READ, 0);
    ASSERT_NE(lock, win::INVALID_HANDLE_VALUE);
    for (const auto& e : expected) {
        for (int i = 0; i < 4; ++i) {
            const std::string mode = vcl::EnumInfoOf<TOverwriteType>().Name(e.Mode);
            EXPECT_EQ(TVersionResource::CompareFileForOverwrite("2.0.0.0", targets[i], e.Mode, newDate), e.Results[i])
                << mode << " " << targets[i];
            EXPECT_EQ(TVersionResource::IsFileNewerByName("C:\\ver\\new.dll", targets[i], e.Mode), e.Results[i])
                << mode << " " << targets[i] << " by name";
        }
    }
    win::CloseHandle(lock);
    EXPECT_EQ(TVersionResource::CompareFileForOverwrite("2.0.0.0", targets[3], owVersion, newDate), orSame);

    // A locked new file cannot be judged either.
    lock = Open("C:\\ver\\new.dll", win::GENERIC_READ, 0);
    ASSERT_NE(lock, win::INVALID_HANDLE_VALUE);
    EXPECT_EQ(TVersionResource::IsFileNewerByName("C:\\ver\\new.dll", targets[0], owVersion), orCannotDecide);
    EXPECT_EQ(TVersionResource::IsFileNewerByName("C:\\ver\\new.dll", targets[0], owDate), orCannotDecide);
    win::CloseHandle(lock);
}

TEST_F(VersionResourceTest, EqualVersionsAreDecidedByDate)
{
    const rtl::TDateTime newDate = Moment(10);
    WriteTarget("C:\\ver\\earlier.dll", "2.0", Moment(10, 11));
    WriteTarget("C:\\ver\\later.dll", "2.0", Moment(10, 13));
    // The fixed part always has four fields: "2.0" is older than "2.0.0.0".
    EXPECT_EQ(TVersionResource::CompareFileForOverwrite("2.0", "C:\\ver\\earlier.dll", owVersionDate, newDate),
              orKeepExisting);
    EXPECT_EQ(TVersionResource::CompareFileForOverwrite("2.0.0.0", "C:\\ver\\earlier.dll", owVersionDate, newDate),
              orReplace);
    EXPECT_EQ(TVersionResource::CompareFileForOverwrite("2.0.0.0", "C:\\ver\\later.dll", owVersionDate, newDate),
              orKeepExisting);
    // Dates are DOS date-times in two-second steps: ten and eleven seconds are the same moment.
    EXPECT_EQ(TVersionResource::CompareFileForOverwrite("", "C:\\ver\\earlier.dll", owDate,
                                                        Moment(10, 11) + rtl::EncodeTime(0, 0, 1, 0)),
              orSame);
}

TEST_F(VersionResourceTest, MissingAndUnversionedTargets)
{
    ASSERT_TRUE(WriteWindows("C:\\ver\\plain.dat", "data"));
    const rtl::TDateTime date = Moment(10);
    EXPECT_EQ(TVersionResource::CompareFileForOverwrite("1.0", "   ", owNever, date), orReplace);
    EXPECT_EQ(TVersionResource::CompareFileForOverwrite("1.0", "C:\\ver\\missing.dll", owNever, date), orReplace);
    EXPECT_EQ(TVersionResource::CompareFileForOverwrite("1.0", "C:\\ver\\plain.dat", owNever, date), orKeepExisting);
    EXPECT_EQ(TVersionResource::CompareFileForOverwrite("1.0", "C:\\ver\\missing.dll", owDate, date), orCannotDecide);
    // No version resource: an empty version, older than any other and equal to another empty one.
    EXPECT_EQ(TVersionResource::CompareFileForOverwrite("1.0", "C:\\ver\\plain.dat", owVersion, date), orReplace);
    EXPECT_EQ(TVersionResource::CompareFileForOverwrite("", "C:\\ver\\plain.dat", owVersion, date), orSame);
    EXPECT_EQ(TVersionResource::CompareFileForOverwrite("1.0", "C:\\ver\\missing.dll", owVersion, date), orReplace);
    EXPECT_EQ(TVersionResource::IsFileNewerByName("C:\\ver\\plain.dat", "C:\\ver\\plain.dat", owVersionDate), orSame);
}

TEST_F(VersionResourceTest, TheSharedReaderComesBackAfterBeingFreed)
{
    TVersionResource& first = TVersionResource::Shared();
    EXPECT_EQ(&first, &TVersionResource::Shared());
    TVersionResource::FreeShared();
    WriteTarget("C:\\ver\\a.dll", "1.0", Moment(10));
    EXPECT_EQ(TVersionResource::CompareFileForOverwrite("1.0.0.0", "C:\\ver\\a.dll", owVersion, Moment(10)), orSame);
    EXPECT_EQ(TVersionResource::Shared().FileName(), "C:\\ver\\a.dll");
}
