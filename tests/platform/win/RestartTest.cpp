// Asking for a restart (the shutdown privilege on the NT kinds) and the boot step that does the next
// start's work: WININIT.INI, the delayed moves, then the RunOnce commands, in that order.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/win/Files.h"
#include "platform/win/Handles.h"
#include "platform/win/Registry.h"
#include "platform/win/Restart.h"
#include "platform/win/Settings.h"
#include "platform/win/WinError.h"
#include "tests/platform/win/WinTestFixture.h"

namespace {

using RestartTest = WinPrefixTest;

bool EnableShutdownPrivilege()
{
    win::HANDLE token = nullptr;
    if (!win::OpenProcessToken(win::GetCurrentProcess(), win::TOKEN_ADJUST_PRIVILEGES | win::TOKEN_QUERY, &token))
        return false;
    win::TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = win::SE_PRIVILEGE_ENABLED;
    const bool ok = win::LookupPrivilegeValue(nullptr, win::SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid) &&
                    win::AdjustTokenPrivileges(token, win::FALSE, &privileges, 0, nullptr, nullptr);
    win::CloseHandle(token);
    return ok;
}

void SetRunOnce(const char* name, const std::string& command)
{
    win::HKEY key = nullptr;
    ASSERT_EQ(win::RegCreateKeyEx(win::HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", 0,
                                  nullptr, 0, win::KEY_WRITE, nullptr, &key, nullptr),
              win::ERROR_SUCCESS);
    ASSERT_EQ(win::RegSetValueEx(key, name, 0, win::REG_SZ, reinterpret_cast<const win::BYTE*>(command.c_str()),
                                 static_cast<win::DWORD>(command.size() + 1)),
              win::ERROR_SUCCESS);
    win::RegCloseKey(key);
}

TEST_F(RestartTest, TheNtKindsRestartOnlyWithTheShutdownPrivilege)
{
    win::SetWindowsKind(win::TWindowsKind::WinXP);
    EXPECT_FALSE(win::ExitWindowsEx(win::EWX_REBOOT, 0));
    EXPECT_EQ(win::GetLastError(), win::ERROR_PRIVILEGE_NOT_HELD);
    EXPECT_FALSE(win::RestartRequested());

    win::LUID luid{};
    EXPECT_FALSE(win::LookupPrivilegeValue(nullptr, "SeBackupPrivilege", &luid));
    EXPECT_EQ(win::GetLastError(), win::ERROR_NO_SUCH_PRIVILEGE);
    ASSERT_TRUE(EnableShutdownPrivilege());
    EXPECT_TRUE(win::ExitWindowsEx(win::EWX_REBOOT, 0));
    EXPECT_EQ(win::RestartRequested(), win::EWX_REBOOT);

    // A token opened for queries alone cannot change privileges.
    win::HANDLE token = nullptr;
    ASSERT_TRUE(win::OpenProcessToken(win::GetCurrentProcess(), win::TOKEN_QUERY, &token));
    win::TOKEN_PRIVILEGES privileges{};
    EXPECT_FALSE(win::AdjustTokenPrivileges(token, win::FALSE, &privileges, 0, nullptr, nullptr));
    EXPECT_EQ(win::GetLastError(), win::ERROR_ACCESS_DENIED);
    win::CloseHandle(token);
}

TEST_F(RestartTest, The9xKindsHaveNoTokensAndRestartAtOnceUnlessRefused)
{
    win::SetWindowsKind(win::TWindowsKind::Win98);
    win::HANDLE token = nullptr;
    EXPECT_FALSE(win::OpenProcessToken(win::GetCurrentProcess(), win::TOKEN_ADJUST_PRIVILEGES, &token));
    EXPECT_EQ(win::GetLastError(), win::ERROR_CALL_NOT_IMPLEMENTED);
    EXPECT_TRUE(win::ExitWindowsEx(win::EWX_REBOOT, 0));
    EXPECT_EQ(win::RestartRequested(), win::EWX_REBOOT);
    win::ClearRestartRequest();

    win::SetRestartRefused(true);
    EXPECT_FALSE(win::ExitWindowsEx(win::EWX_REBOOT, 0));
    EXPECT_FALSE(win::RestartRequested());
    win::SetRestartRefused(false);
}

// The RunOnce command's batch moves a file that only the delayed move puts in place, and WININIT.INI's
// lines run before both: the order of a real start.
TEST_F(RestartTest, TheBootStepRenamesMovesThenRunsOnce)
{
    WriteHost(DriveC("App/lib.new"), "new library");
    WriteHost(DriveC("App/lib.dll"), "old library");
    WriteHost(DriveC("App/old.tmp"), "left over");
    WriteHost(DriveC("App/y"), "not to be renamed");
    WriteHost(DriveC("App/b.new"), "second");
    WriteHost(DriveC("App/b.dll"), "locked before");
    WriteHost(DriveC("WINDOWS/WININIT.INI"),
              "[Other]\r\nC:\\App\\x=C:\\App\\y\r\n[Rename]\r\nC:\\App\\lib.dll=C:\\App\\lib.new\r\nNUL=C:\\App\\old.tmp\r\n");
    ASSERT_TRUE(win::MoveFileEx("C:\\App\\b.new", "C:\\App\\b.dll",
                                win::MOVEFILE_DELAY_UNTIL_REBOOT | win::MOVEFILE_REPLACE_EXISTING));
    WriteHost(DriveC("App/after.bat"), "MOVE C:\\App\\b.dll C:\\App\\c.dll\r\n");
    SetRunOnce("TarnwickUnfinished", "C:\\App\\after.bat");

    const win::TBootStep report = win::RunBootStep();
    EXPECT_TRUE(report.Failed.empty()) << report.Failed.front();
    EXPECT_EQ(ReadHost(DriveC("App/lib.dll")), "new library");
    EXPECT_FALSE(std::filesystem::exists(DriveC("App/lib.new")));
    EXPECT_FALSE(std::filesystem::exists(DriveC("App/old.tmp")));
    EXPECT_TRUE(std::filesystem::exists(DriveC("App/y")));  // its line is in another section
    EXPECT_FALSE(std::filesystem::exists(DriveC("App/x")));
    EXPECT_EQ(ReadHost(DriveC("App/c.dll")), "second");
    EXPECT_FALSE(std::filesystem::exists(DriveC("App/b.dll")));
    EXPECT_TRUE(std::filesystem::exists(DriveC("WINDOWS/WININIT.BAK")));
    EXPECT_FALSE(std::filesystem::exists(DriveC("WINDOWS/WININIT.INI")));
    EXPECT_TRUE(win::PendingMoves().empty());
    win::HKEY key = nullptr;
    ASSERT_EQ(win::RegOpenKeyEx(win::HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", 0,
                                win::KEY_READ, &key),
              win::ERROR_SUCCESS);
    EXPECT_EQ(win::RegQueryValueEx(key, "TarnwickUnfinished", nullptr, nullptr, nullptr, nullptr),
              win::ERROR_FILE_NOT_FOUND);
    win::RegCloseKey(key);

    // Nothing is done twice.
    EXPECT_TRUE(win::RunBootStep().Done.empty());
}

// The same as a command of its own, as a user runs it between two runs of a program.
TEST_F(RestartTest, TheBootCommandDoesTheWorkOverThePrefix)
{
    WriteHost(DriveC("App/a.new"), "new");
    ASSERT_TRUE(win::MoveFileEx("C:\\App\\a.new", "C:\\App\\a.dll", win::MOVEFILE_DELAY_UNTIL_REBOOT));
    win::ResetPlatform();
    const std::string command = std::string("SCRIVANE_PREFIX='") + Prefix() + "' '" SCRIVANE_BOOT "' > /dev/null";
    EXPECT_EQ(std::system(command.c_str()), 0);
    win::ResetPlatform();
    win::InitializePlatform();
    EXPECT_EQ(ReadHost(DriveC("App/a.dll")), "new");
    EXPECT_TRUE(win::PendingMoves().empty());
}

}  // namespace
