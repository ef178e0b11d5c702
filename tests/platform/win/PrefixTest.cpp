#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <thread>

#include "platform/rtl/FileSystem.h"
#include "platform/win/KnownFolders.h"
#include "platform/win/Paths.h"
#include "platform/win/Settings.h"
#include "platform/win/WinFileSystem.h"
#include "tests/platform/win/WinTestFixture.h"

using namespace win;

namespace {

using PrefixTest = WinPrefixTest;

bool IsFolder(const std::string& windowsPath)
{
    std::optional<std::string> host = HostPathFromWindows(windowsPath);
    return host && std::filesystem::is_directory(*host);
}

}  // namespace

TEST_F(PrefixTest, AFreshPrefixHasTheWindowsTree)
{
    EXPECT_EQ(PrefixFolder(), Prefix());
    EXPECT_TRUE(std::filesystem::is_directory(DriveA()));
    for (const std::string& folder : {std::string(WindowsFolder), std::string(SystemFolder),
                                      std::string(ProgramFilesFolder), std::string(CommonFilesFolder),
                                      std::string("C:\\WINDOWS\\Fonts"), std::string("C:\\WINDOWS\\Temp"),
                                      UserProfileFolder(), TempFolder()})
        EXPECT_TRUE(IsFolder(folder)) << folder;
    int common = 0;
    for (const TKnownFolder& folder : ShellFolders()) {
        EXPECT_TRUE(IsFolder(folder.Path)) << folder.Path;
        common += folder.Common;
    }
    EXPECT_EQ(common, 8);
    // The exact spelling is on the host, for people looking at the prefix.
    EXPECT_TRUE(std::filesystem::is_directory(DriveC("Documents and Settings/All Users/Start Menu/Programs/Startup")));
}

TEST_F(PrefixTest, KnownFolderNames)
{
    const char* saved = std::getenv("USER");
    const std::string savedUser = saved ? saved : "";
    setenv("USER", "ann", 1);
    EXPECT_EQ(UserProfileFolder(), "C:\\Documents and Settings\\ann");
    EXPECT_EQ(TempFolder(), "C:\\Documents and Settings\\ann\\Local Settings\\Temp");
    std::map<std::string, std::string> byName;
    for (const TKnownFolder& folder : ShellFolders())
        byName[folder.RegistryValue] = folder.Path;
    EXPECT_EQ(byName["Programs"], "C:\\Documents and Settings\\ann\\Start Menu\\Programs");
    EXPECT_EQ(byName["Startup"], "C:\\Documents and Settings\\ann\\Start Menu\\Programs\\Startup");
    EXPECT_EQ(byName["Local AppData"], "C:\\Documents and Settings\\ann\\Local Settings\\Application Data");
    EXPECT_EQ(byName["Cache"], "C:\\Documents and Settings\\ann\\Local Settings\\Temporary Internet Files");
    EXPECT_EQ(byName["Fonts"], "C:\\WINDOWS\\Fonts");
    EXPECT_EQ(byName["Common Programs"], "C:\\Documents and Settings\\All Users\\Start Menu\\Programs");
    EXPECT_EQ(byName["Common Documents"], "C:\\Documents and Settings\\All Users\\Documents");
    unsetenv("USER");
    EXPECT_EQ(CurrentUserName(), "User");
    if (saved)
        setenv("USER", savedUser.c_str(), 1);
}

TEST_F(PrefixTest, AnExistingDriveIsNotPopulatedAgain)
{
    std::filesystem::remove_all(DriveC("Program Files"));
    ResetPlatform();
    PrefixFolder();
    EXPECT_FALSE(std::filesystem::exists(DriveC("Program Files")));
}

TEST_F(PrefixTest, ResetReadsThePrefixAgainAndRunsEveryHook)
{
    // Hooks stay registered for the rest of the run, so this one counts into a static.
    static int calls = 0;
    calls = 0;
    RegisterResetHook([] { ++calls; });
    const std::string other = Prefix() + "/other";
    setenv("SCRIVANE_PREFIX", other.c_str(), 1);
    EXPECT_EQ(PrefixFolder(), Prefix());  // kept until the reset
    ResetPlatform();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(PrefixFolder(), other);
    EXPECT_TRUE(std::filesystem::is_directory(other + "/drive_c/WINDOWS/system32"));
}

TEST_F(PrefixTest, TheLastErrorBelongsToEachThread)
{
    SetLastError(ERROR_ACCESS_DENIED);
    DWORD seen = 1;
    std::thread([&seen] { seen = GetLastError(); }).join();
    EXPECT_EQ(seen, 0u);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    ResetPlatform();
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
}

TEST_F(PrefixTest, SettingsPersistAndAMalformedFileIsReported)
{
    EXPECT_EQ(WindowsKind(), TWindowsKind::WinXP);
    EXPECT_EQ(FloppyCapacity(), 1457664);
    SetWindowsKind(TWindowsKind::Win98);
    SetUserLanguageId(0x0407);
    ResetPlatform();
    EXPECT_EQ(WindowsKind(), TWindowsKind::Win98);
    EXPECT_EQ(UserLanguageId(), 0x0407);
    EXPECT_EQ(SystemLanguageId(), 0x0409);
    EXPECT_NE(ReadHost(SettingsFilePath()).find("Kind=98\n"), std::string::npos);

    WriteHost(SettingsFilePath(), "[Windows]\nKind=98\n[Floppy]\nCapacity=lots\n");
    ResetPlatform();
    try {
        FloppyCapacity();
        FAIL() << "a malformed capacity must be reported";
    } catch (const rtl::Exception& e) {
        EXPECT_NE(e.Message().find("settings.ini:4:"), std::string::npos) << e.Message();
    }
    // A setter states a whole new file and keeps the bad one aside.
    SetFloppyCapacity(720 * 1024);
    EXPECT_EQ(FloppyCapacity(), 720 * 1024);
    EXPECT_EQ(WindowsKind(), TWindowsKind::WinXP);
    EXPECT_EQ(ReadHost(SettingsFilePath() + ".bad"), "[Windows]\nKind=98\n[Floppy]\nCapacity=lots\n");
    EXPECT_THROW(WindowsKindFromName("Vista"), rtl::Exception);
    EXPECT_EQ(WindowsKindFromName("nt4"), TWindowsKind::WinNT4);
}

TEST_F(PrefixTest, TheFileSeamIsInstalled)
{
    EXPECT_EQ(&rtl::FileSystem(), &WindowsFileSystem());
}
