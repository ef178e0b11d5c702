#include <gtest/gtest.h>

#include "installer/support/InstallInformation.h"
#include "installer/support/TrwkExceptions.h"
#include "installer/support/TrwkSystem.h"
#include "platform/rtl/Classes.h"
#include "platform/vcl/Classes.h"
#include "platform/win/Files.h"
#include "platform/win/Modules.h"
#include "platform/win/Settings.h"
#include "platform/win/SystemInfo.h"
#include "tests/platform/win/WinTestFixture.h"

namespace {

using SupportSystemTest = WinPrefixTest;

// Stand-ins for the engine's install file classes, which the naming rule knows by name.
class TCustomInstallFile : public vcl::TComponent {
    VCL_CLASS(TCustomInstallFile, vcl::TComponent)
public:
    explicit TCustomInstallFile(vcl::TComponent* owner) : TComponent(owner) {}
};
class TInstallFile : public TCustomInstallFile {
    VCL_CLASS(TInstallFile, TCustomInstallFile)
public:
    explicit TInstallFile(vcl::TComponent* owner) : TCustomInstallFile(owner) {}
};
// An owner that refuses every name.
class TStrictOwner : public vcl::TComponent {
    VCL_CLASS(TStrictOwner, vcl::TComponent)
public:
    explicit TStrictOwner(vcl::TComponent* owner) : TComponent(owner) {}

protected:
    void ValidateRename(vcl::TComponent*, const rtl::AnsiString&, const rtl::AnsiString& newName) const override
    {
        if (!newName.empty())
            throw vcl::EComponentError("no names here");
    }
};

VCL_IMPLEMENT_CLASS_NOPROPS(TCustomInstallFile)
VCL_IMPLEMENT_CLASS_NOPROPS(TInstallFile)
VCL_IMPLEMENT_CLASS_NOPROPS(TStrictOwner)

std::vector<std::string> Fields(const std::string& text, char separator = ';')
{
    rtl::TStringList list;
    list.Add("old line");
    SplitFields(text, separator, list);
    std::vector<std::string> fields;
    for (int i = 0; i < list.Count(); ++i)
        fields.push_back(list[i]);
    return fields;
}

}  // namespace

// ---------------------------------------------------------------------------------------------------------
// Kinds of Windows

TEST(WindowsVersionTest, ClassificationOfEveryPlatformAndVersion)
{
    using namespace win;
    EXPECT_EQ(ClassifyWindowsVersion(VER_PLATFORM_WIN32s, 3, 10), os31win32);
    EXPECT_EQ(ClassifyWindowsVersion(VER_PLATFORM_WIN32_WINDOWS, 4, 0), oswin98);  // 95 counts as 98
    EXPECT_EQ(ClassifyWindowsVersion(VER_PLATFORM_WIN32_WINDOWS, 4, 10), oswin98);
    EXPECT_EQ(ClassifyWindowsVersion(VER_PLATFORM_WIN32_WINDOWS, 4, 90), oswinME);
    EXPECT_EQ(ClassifyWindowsVersion(VER_PLATFORM_WIN32_NT, 3, 51), oswinNT351);
    EXPECT_EQ(ClassifyWindowsVersion(VER_PLATFORM_WIN32_NT, 2, 0), oswinNT351);
    EXPECT_EQ(ClassifyWindowsVersion(VER_PLATFORM_WIN32_NT, 4, 0), oswinNT);
    EXPECT_EQ(ClassifyWindowsVersion(VER_PLATFORM_WIN32_NT, 5, 0), oswin2K);
    EXPECT_EQ(ClassifyWindowsVersion(VER_PLATFORM_WIN32_NT, 5, 1), oswinXP);
    EXPECT_EQ(ClassifyWindowsVersion(VER_PLATFORM_WIN32_NT, 5, 2), oswinXP);  // Server 2003
    EXPECT_EQ(ClassifyWindowsVersion(VER_PLATFORM_WIN32_NT, 6, 0), osUnidentified);
    EXPECT_EQ(ClassifyWindowsVersion(VER_PLATFORM_WIN32_NT, 10, 0), osUnidentified);
    EXPECT_EQ(ClassifyWindowsVersion(3, 5, 1), osUnidentified);
}

TEST_F(SupportSystemTest, EveryKindThePlatformReportsIsClassified)
{
    const std::pair<win::TWindowsKind, TOSVerType> expected[] = {
        {win::TWindowsKind::Win95, oswin98},  {win::TWindowsKind::Win98, oswin98},
        {win::TWindowsKind::WinME, oswinME},  {win::TWindowsKind::WinNT4, oswinNT},
        {win::TWindowsKind::Win2000, oswin2K}, {win::TWindowsKind::WinXP, oswinXP},
    };
    for (const auto& [kind, type] : expected) {
        win::SetWindowsKind(kind);
        EXPECT_EQ(WindowsVersion(), type) << win::WindowsKindName(kind);
        EXPECT_EQ(NTOSSet().Contains(WindowsVersion()), win::IsNTKind(kind)) << win::WindowsKindName(kind);
        EXPECT_EQ(Win9xOSSet().Contains(WindowsVersion()), !win::IsNTKind(kind)) << win::WindowsKindName(kind);
    }
}

TEST(WindowsVersionTest, OperatingSystemSets)
{
    EXPECT_TRUE((NTOSSet() * Win9xOSSet()).Empty());
    // The published OS property stores these identifiers.
    EXPECT_EQ(vcl::SetToString(vcl::EnumInfoOf<TOSVerType>(), NTOSSet().ToInt()), "[oswinNT, oswin2K, oswinXP]");
    EXPECT_EQ(vcl::SetToString(vcl::EnumInfoOf<TOSVerType>(), Win9xOSSet().ToInt()), "[oswin95, oswin98, oswinME]");
}

// ---------------------------------------------------------------------------------------------------------
// Folders and file names

TEST_F(SupportSystemTest, WindowsAndSystemFoldersFollowTheKind)
{
    EXPECT_EQ(WindowsDirectory(), "C:\\WINDOWS");
    EXPECT_EQ(SystemDirectory(), "C:\\WINDOWS\\system32");
    win::SetWindowsKind(win::TWindowsKind::Win98);
    EXPECT_EQ(SystemDirectory(), "C:\\WINDOWS\\SYSTEM");
}

TEST_F(SupportSystemTest, TempFileNameReservesOrKeepsTheFile)
{
    char tempFolder[win::MAX_PATH];
    ASSERT_NE(win::GetTempPath(sizeof tempFolder, tempFolder), 0u);

    const rtl::AnsiString kept = TempFileName(true);
    EXPECT_EQ(rtl::ExtractFilePath(kept), tempFolder);
    EXPECT_EQ(rtl::Copy(rtl::ExtractFileName(kept), 1, 3), "bat");
    EXPECT_TRUE(rtl::FileExists(kept));

    const rtl::AnsiString reserved = TempFileName(false);
    EXPECT_NE(reserved, kept);
    EXPECT_EQ(rtl::Copy(rtl::ExtractFileName(reserved), 1, 3), "bat");
    EXPECT_FALSE(rtl::FileExists(reserved));
}

TEST_F(SupportSystemTest, ShortPathNameOfExistingAndMissingPaths)
{
    ASSERT_TRUE(WriteWindows("C:\\Program Files\\readme.txt", "text"));
    EXPECT_TRUE(rtl::SameText(ShortPathName("C:\\Program Files\\readme.txt").substr(0, 3), "C:\\"));
    EXPECT_TRUE(rtl::FileExists(ShortPathName("C:\\Program Files\\readme.txt")));
    EXPECT_THROW(ShortPathName("C:\\no such folder\\file.txt"), EAPIRoutines);
    EXPECT_THROW(ShortPathName(""), EAPIRoutines);
}

// ---------------------------------------------------------------------------------------------------------
// Fields, backslashes, file names

TEST(FieldRoutines, Counting)
{
    EXPECT_EQ(FieldCount("a;b;c"), 3);
    EXPECT_EQ(FieldCount("a;b;"), 2);
    EXPECT_EQ(FieldCount(""), 0);
    EXPECT_EQ(FieldCount("a"), 1);
    EXPECT_EQ(FieldCount(";"), 1);
    EXPECT_EQ(FieldCount("a;;b"), 3);
    EXPECT_EQ(FieldCount(";;"), 2);
    EXPECT_EQ(FieldCount("1.2.3", '.'), 3);
    EXPECT_EQ(FieldCount("1.2.", '.'), 2);
    // A ";" ends no field of a text separated otherwise.
    EXPECT_EQ(FieldCount("x;", '.'), 1);
}

TEST(FieldRoutines, Picking)
{
    EXPECT_EQ(GetField("a;b;c", 2), "b");
    EXPECT_EQ(GetField("a;b", 1), "a");
    EXPECT_EQ(GetField("abc", 3), "");
    EXPECT_EQ(GetField("a;b;c", 3), "c");
    EXPECT_EQ(GetField("a;b;c", 4), "");
    EXPECT_EQ(GetField("a;;c", 2), "");
    EXPECT_EQ(GetField("a;b;", 3), "");
    EXPECT_EQ(GetField("", 1), "");
    EXPECT_EQ(GetField("a;b", 0), "a");
    EXPECT_EQ(GetField("a;b", -3), "a");
    EXPECT_EQ(GetField("1.22.333", 2, '.'), "22");
    EXPECT_EQ(GetField(" a ; b ", 2), " b ");  // nothing is trimmed
}

TEST(FieldRoutines, Splitting)
{
    EXPECT_EQ(Fields("a;b;c"), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(Fields("a;b;"), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(Fields(""), std::vector<std::string>{});
    EXPECT_EQ(Fields(";"), std::vector<std::string>{""});
    EXPECT_EQ(Fields("a;;b"), (std::vector<std::string>{"a", "", "b"}));
    EXPECT_EQ(Fields("1.0.0.56", '.'), (std::vector<std::string>{"1", "0", "0", "56"}));

    // Many fields in one pass, the same as picking them one by one.
    std::string text;
    for (int i = 0; i < 20000; ++i)
        text += std::to_string(i) + ";";
    const std::vector<std::string> fields = Fields(text);
    ASSERT_EQ(fields.size(), 20000u);
    EXPECT_EQ(fields[12345], GetField(text, 12346));
}

TEST(PathRoutines, Backslashes)
{
    EXPECT_EQ(AddBackslash(""), "");
    EXPECT_EQ(AddBackslash("C:"), "C:\\");
    EXPECT_EQ(AddBackslash("C:\\"), "C:\\");
    EXPECT_EQ(AddBackslash("C:\\a"), "C:\\a\\");
    EXPECT_EQ(RemoveBackslash("C:\\"), "C:");
    EXPECT_EQ(RemoveBackslash("C:\\a\\\\"), "C:\\a\\");  // one only
    EXPECT_EQ(RemoveBackslash("C:\\a"), "C:\\a");
    EXPECT_EQ(RemoveBackslash(""), "");
    EXPECT_EQ(RemoveBackslash("\\"), "");
}

TEST(PathRoutines, AfterColon)
{
    EXPECT_EQ(AfterColon("C:\\a"), "\\a");
    EXPECT_EQ(AfterColon("a:b:c"), "b:c");
    EXPECT_EQ(AfterColon("none"), "");
    EXPECT_EQ(AfterColon("end:"), "");
}

TEST(PathRoutines, CleanFileName)
{
    EXPECT_EQ(CleanFileName("a/b:c?.txt"), "a-bc.txt");
    EXPECT_EQ(CleanFileName("\"*:;<>?\\|"), "");
    EXPECT_EQ(CleanFileName("ftp.example.com/pub/setup"), "ftp.example.com-pub-setup");
    // Control characters and characters above 127 stay.
    EXPECT_EQ(CleanFileName(std::string("\x01" "caf\xE9\t.txt")), std::string("\x01" "caf\xE9\t.txt"));
    EXPECT_EQ(CleanFileName(""), "");
}

// ---------------------------------------------------------------------------------------------------------
// Unique component names

TEST(UniqueComponentNameTest, InstallFilesAreNamedAfterTheirFile)
{
    vcl::TComponent owner(nullptr);
    auto* first = new TInstallFile(&owner);
    auto* second = new TInstallFile(&owner);
    auto* third = new TCustomInstallFile(&owner);
    UniqueComponentName(first, "readme.txt");
    UniqueComponentName(second, "readme.txt");
    UniqueComponentName(third, "README.TXT");  // names clash without regard to case
    EXPECT_EQ(first->Name(), "IFreadme_txt");
    EXPECT_EQ(second->Name(), "IFreadme_txt1");
    EXPECT_EQ(third->Name(), "IFREADME_TXT2");

    auto* path = new TInstallFile(&owner);
    UniqueComponentName(path, "C:\\My Files\\setup-1.0\\SCRIVANE HELP.HLP");
    EXPECT_EQ(path->Name(), "IFCMyFilessetup10SCRIVANEHELP_HLP");

    auto* bare = new TInstallFile(&owner);
    UniqueComponentName(bare, "ifUninstallEXE");
    EXPECT_EQ(bare->Name(), "IFifUninstallEXE_");
    auto* odd = new TInstallFile(&owner);
    UniqueComponentName(odd, "");
    EXPECT_EQ(odd->Name(), "IF_");
}

TEST(UniqueComponentNameTest, OtherComponentsCountUpFromTheirBase)
{
    vcl::TComponent owner(nullptr);
    std::vector<vcl::TComponent*> parts;
    for (int i = 0; i < 4; ++i) {
        parts.push_back(new vcl::TComponent(&owner));
        UniqueComponentName(parts.back(), "Directory");
    }
    EXPECT_EQ(parts[0]->Name(), "Directory");
    EXPECT_EQ(parts[1]->Name(), "Directory1");
    EXPECT_EQ(parts[2]->Name(), "Directory2");
    EXPECT_EQ(parts[3]->Name(), "Directory3");

    // A freed name is taken again; the component's own name is no clash.
    delete parts[1];
    auto* again = new vcl::TComponent(&owner);
    UniqueComponentName(again, "Directory");
    EXPECT_EQ(again->Name(), "Directory1");
    UniqueComponentName(parts[2], "Directory");
    EXPECT_EQ(parts[2]->Name(), "Directory2");
}

TEST(UniqueComponentNameTest, OddBaseTextsStillGiveAName)
{
    vcl::TComponent owner(nullptr);
    auto named = [&](const rtl::AnsiString& base) {
        auto* component = new vcl::TComponent(&owner);
        UniqueComponentName(component, base);
        EXPECT_TRUE(vcl::IsValidIdent(component->Name())) << base;
        return component->Name();
    };
    EXPECT_EQ(named(""), "Component");
    EXPECT_EQ(named(""), "Component1");
    EXPECT_EQ(named("1abc"), "Component1abc");
    EXPECT_EQ(named("name Clash.3"), "nameClash3");
    EXPECT_EQ(named("\xE9t\xE9"), "t");
    EXPECT_EQ(named("..."), "Component2");
    EXPECT_EQ(named("Component1abc"), "Component1abc1");

    // Without an owner nothing clashes.
    vcl::TComponent alone(nullptr);
    UniqueComponentName(&alone, "Directory");
    EXPECT_EQ(alone.Name(), "Directory");
}

TEST(UniqueComponentNameTest, EndsWhenTheFrameworkRefusesEveryName)
{
    TStrictOwner owner(nullptr);
    auto* component = new vcl::TComponent(&owner);
    EXPECT_THROW(UniqueComponentName(component, "Directory"), vcl::EComponentError);
    EXPECT_EQ(component->Name(), "");
    UniqueComponentName(nullptr, "Directory");
}

// ---------------------------------------------------------------------------------------------------------
// Hard links and the modules behind them

TEST_F(SupportSystemTest, HardLinkOnKindsThatHaveIt)
{
    ASSERT_TRUE(win::CreateDirectory("C:\\data", nullptr));
    ASSERT_TRUE(WriteWindows("C:\\data\\file.txt", "shared"));
    win::SECURITY_ATTRIBUTES security{sizeof(win::SECURITY_ATTRIBUTES), nullptr, win::FALSE};
    for (win::TWindowsKind kind : {win::TWindowsKind::Win2000, win::TWindowsKind::WinXP}) {
        win::SetWindowsKind(kind);
        const std::string link = "C:\\data\\link" + win::WindowsKindName(kind) + ".txt";
        EXPECT_TRUE(CreateHardLinkChecked(link, "C:\\data\\file.txt", &security));
        EXPECT_EQ(ReadHost(DriveC("data/link" + win::WindowsKindName(kind) + ".txt")), "shared");
        // The system's refusals are a plain false.
        EXPECT_FALSE(CreateHardLinkChecked(link, "C:\\data\\file.txt", nullptr));
        EXPECT_EQ(win::GetLastError(), win::ERROR_ALREADY_EXISTS);
        EXPECT_FALSE(CreateHardLinkChecked("C:\\data\\other.txt", "C:\\data\\missing.txt", nullptr));
    }
}

TEST_F(SupportSystemTest, HardLinkWithoutTheFunctionRaises)
{
    ASSERT_TRUE(win::CreateDirectory("C:\\data", nullptr));
    ASSERT_TRUE(WriteWindows("C:\\data\\file.txt", "shared"));
    for (win::TWindowsKind kind : {win::TWindowsKind::Win95, win::TWindowsKind::Win98, win::TWindowsKind::WinME,
                                   win::TWindowsKind::WinNT4}) {
        win::SetWindowsKind(kind);
        try {
            CreateHardLinkChecked("C:\\data\\link.txt", "C:\\data\\file.txt", nullptr);
            ADD_FAILURE() << "no error on " << win::WindowsKindName(kind);
        } catch (const IEInstallHardLink& e) {
            EXPECT_EQ(e.Message(), "Could not create hardlink for Kernel32");
        }
        EXPECT_FALSE(HostExists(DriveC("data/link.txt")));
    }

    win::SetWindowsKind(win::TWindowsKind::WinXP);
    win::SetExportMissing("kernel32.dll", "CreateHardLinkA", true);
    EXPECT_THROW(CreateHardLinkChecked("C:\\data\\link.txt", "C:\\data\\file.txt", nullptr), IEInstallHardLink);
    win::SetModuleMissing("KERNEL32", true);
    try {
        CreateHardLinkChecked("C:\\data\\link.txt", "C:\\data\\file.txt", nullptr);
        ADD_FAILURE() << "no error without kernel32";
    } catch (const IEInstallHardLink& e) {
        EXPECT_EQ(e.Message(), "Could not create hardlink for from unloadable Kernel32");
    }
    // A new run of the program has its modules back.
    win::ResetPlatform();
    EXPECT_TRUE(CreateHardLinkChecked("C:\\data\\link.txt", "C:\\data\\file.txt", nullptr));
}

TEST_F(SupportSystemTest, ModulesAreCountedAndLookedUpByFileName)
{
    win::HMODULE kernel = win::LoadLibrary("kernel32.dll");
    ASSERT_NE(kernel, nullptr);
    EXPECT_EQ(win::LoadLibrary("C:\\WINDOWS\\system32\\KERNEL32"), kernel);
    EXPECT_NE(win::GetProcAddress(kernel, "CreateHardLinkA"), nullptr);
    EXPECT_EQ(win::GetProcAddress(kernel, "createhardlinka"), nullptr);  // export names keep their case
    EXPECT_EQ(win::GetLastError(), win::ERROR_PROC_NOT_FOUND);
    EXPECT_TRUE(win::FreeLibrary(kernel));
    EXPECT_NE(win::GetProcAddress(kernel, "CreateHardLinkA"), nullptr);  // one reference left
    EXPECT_TRUE(win::FreeLibrary(kernel));
    EXPECT_EQ(win::GetProcAddress(kernel, "CreateHardLinkA"), nullptr);
    EXPECT_EQ(win::GetLastError(), win::ERROR_INVALID_HANDLE);
    EXPECT_FALSE(win::FreeLibrary(kernel));
    EXPECT_NE(win::LoadLibrary("kernel32.dll"), kernel);  // handles are not reused

    EXPECT_EQ(win::LoadLibrary("nosuch.dll"), nullptr);
    EXPECT_EQ(win::GetLastError(), win::ERROR_MOD_NOT_FOUND);
    EXPECT_EQ(win::LoadLibrary(nullptr), nullptr);
}

// ---------------------------------------------------------------------------------------------------------
// Information holders

TEST(InformationHolders, PublishedDefaultsAndCopies)
{
    TInstallInformation info;
    EXPECT_EQ(vcl::GetStrProp(&info, "CompanyName"), "My Company");
    EXPECT_EQ(vcl::GetStrProp(&info, "ProductName"), "My product");
    EXPECT_EQ(vcl::GetStrProp(&info, "Version"), "1.0");
    for (const vcl::TPropInfo* prop : vcl::GetPropList(&info))
        EXPECT_FALSE(prop->IsStored(info)) << prop->Name;  // defaults are left out of a stored form
    vcl::SetStrProp(&info, "CompanyName", "ULO");
    TInstallInformation copy;
    copy.Assign(&info);
    EXPECT_EQ(copy.CompanyName(), "ULO");

    TRegistrationInformation registration;
    EXPECT_THROW(registration.Assign(&info), rtl::EConvertError);

    TControlPanelExtensionInformation extension;
    std::string names;
    for (const vcl::TPropInfo* prop : vcl::GetPropList(&extension)) {
        names += prop->Name + " ";
        EXPECT_EQ(vcl::GetStrProp(&extension, prop->Name), "");
    }
    EXPECT_EQ(names, "DisplayIcon HelpLink HelpTelephone ReadMe URLInfoAbout ProductID URLUpdateInfo Comments Contact ");
}
