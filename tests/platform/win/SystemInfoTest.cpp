#include <gtest/gtest.h>

#include <filesystem>

#include "platform/win/CodePage.h"
#include "platform/win/KnownFolders.h"
#include "platform/win/Paths.h"
#include "platform/win/SystemInfo.h"
#include "tests/platform/win/WinTestFixture.h"

using namespace win;

namespace {

using SystemInfoTest = WinPrefixTest;

struct TExpectedVersion {
    TWindowsKind Kind;
    DWORD Platform, Major, Minor, Build;
};

}  // namespace

TEST_F(SystemInfoTest, GetVersionExFollowsTheKindSetting)
{
    const TExpectedVersion expected[] = {
        {TWindowsKind::Win95, VER_PLATFORM_WIN32_WINDOWS, 4, 0, 950},
        {TWindowsKind::Win98, VER_PLATFORM_WIN32_WINDOWS, 4, 10, 1998},
        {TWindowsKind::WinME, VER_PLATFORM_WIN32_WINDOWS, 4, 90, 3000},
        {TWindowsKind::WinNT4, VER_PLATFORM_WIN32_NT, 4, 0, 1381},
        {TWindowsKind::Win2000, VER_PLATFORM_WIN32_NT, 5, 0, 2195},
        {TWindowsKind::WinXP, VER_PLATFORM_WIN32_NT, 5, 1, 2600},
    };
    for (const TExpectedVersion& version : expected) {
        SetWindowsKind(version.Kind);
        OSVERSIONINFO info{};
        info.dwOSVersionInfoSize = sizeof info;
        ASSERT_TRUE(GetVersionEx(&info)) << WindowsKindName(version.Kind);
        EXPECT_EQ(info.dwPlatformId, version.Platform) << WindowsKindName(version.Kind);
        EXPECT_EQ(info.dwMajorVersion, version.Major) << WindowsKindName(version.Kind);
        EXPECT_EQ(info.dwMinorVersion, version.Minor) << WindowsKindName(version.Kind);
        EXPECT_EQ(info.dwBuildNumber & 0xFFFF, version.Build) << WindowsKindName(version.Kind);
        EXPECT_EQ(GetVersion() & 0xFF, version.Major);
        EXPECT_EQ((GetVersion() & 0x80000000u) != 0, version.Platform == VER_PLATFORM_WIN32_WINDOWS);

        OSVERSIONINFOEX ex{};
        ex.dwOSVersionInfoSize = sizeof ex;
        EXPECT_EQ(GetVersionEx(&ex) != FALSE, IsNTKind(version.Kind)) << WindowsKindName(version.Kind);
    }
    OSVERSIONINFOEX ex{};
    ex.dwOSVersionInfoSize = sizeof ex;
    ASSERT_TRUE(GetVersionEx(&ex));
    EXPECT_STREQ(ex.szCSDVersion, "Service Pack 3");
    EXPECT_EQ(ex.wServicePackMajor, 3);

    OSVERSIONINFO wrong{};
    wrong.dwOSVersionInfoSize = 12;
    EXPECT_FALSE(GetVersionEx(&wrong));
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
}

TEST_F(SystemInfoTest, FoldersNamesAndLanguages)
{
    char buffer[MAX_PATH];
    EXPECT_EQ(GetWindowsDirectory(buffer, sizeof buffer), 10u);
    EXPECT_STREQ(buffer, "C:\\WINDOWS");
    EXPECT_EQ(GetSystemDirectory(buffer, 5), 20u);
    GetSystemDirectory(buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "C:\\WINDOWS\\system32");
    SetWindowsKind(TWindowsKind::WinME);
    GetSystemDirectory(buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "C:\\WINDOWS\\SYSTEM");
    EXPECT_NE(GetFileAttributes(buffer), INVALID_FILE_ATTRIBUTES);

    DWORD size = 1;
    EXPECT_FALSE(GetUserName(buffer, &size));
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(size, CurrentUserName().size() + 1);
    size = sizeof buffer;
    ASSERT_TRUE(GetUserName(buffer, &size));
    EXPECT_EQ(std::string(buffer), CurrentUserName());

    size = sizeof buffer;
    ASSERT_TRUE(GetComputerName(buffer, &size));
    EXPECT_EQ(size, std::string(buffer).size());
    EXPECT_LE(size, MAX_COMPUTERNAME_LENGTH);
    EXPECT_EQ(std::string(buffer), AnsiUpperCase(buffer));

    EXPECT_EQ(GetUserDefaultLangID(), 0x0409);
    SetUserLanguageId(0x0413);
    EXPECT_EQ(GetUserDefaultLangID(), 0x0413);
    EXPECT_EQ(GetUserDefaultLCID(), 0x0413u);
    EXPECT_EQ(GetSystemDefaultLangID(), 0x0409);
}

TEST_F(SystemInfoTest, TheCommandLineAndTheProgramPath)
{
    char path[MAX_PATH];
    const DWORD length = GetModuleFileName(nullptr, path, sizeof path);
    ASSERT_GT(length, 0u);
    EXPECT_EQ(std::string(path), WindowsPathFromHost(std::filesystem::read_symlink("/proc/self/exe").string()));
    EXPECT_EQ(ParamStr(0), path);
    char tiny[4];
    EXPECT_EQ(GetModuleFileName(nullptr, tiny, sizeof tiny), 4u);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(std::string(tiny), std::string(path).substr(0, 3));

    const char* argv[] = {"prog", "-b", "two words", "/home/ann/x.wkp", ""};
    SetCommandLine(5, argv);
    EXPECT_EQ(ParamCount(), 4);
    EXPECT_EQ(ParamStr(2), "two words");
    EXPECT_EQ(ParamStr(3), "/home/ann/x.wkp");  // a host path stays as given
    EXPECT_EQ(ParamStr(5), "");
    EXPECT_EQ(std::string(GetCommandLine()),
              "\"" + std::string(path) + "\" -b \"two words\" /home/ann/x.wkp \"\"");
    // A program started from a shell works in the shell's folder.
    EXPECT_EQ(CurrentDirectory(), WindowsPathFromHost(std::filesystem::current_path().string()));

    ResetPlatform();
    EXPECT_EQ(ParamCount(), 0);
    EXPECT_EQ(CurrentDirectory(), "C:\\");
}

TEST(SystemClock, TickCountAdvancesWithSleep)
{
    const uint64_t before = GetTickCount64();
    Sleep(20);
    EXPECT_GE(GetTickCount64() - before, 20u);
}
