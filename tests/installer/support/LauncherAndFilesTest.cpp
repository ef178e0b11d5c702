#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <thread>

#include "installer/support/ProgramLauncher.h"
#include "installer/support/TranslatorHooks.h"
#include "installer/support/TrwkExceptions.h"
#include "installer/support/TrwkFiles.h"
#include "platform/vcl/FormResource.h"
#include "platform/win/Files.h"
#include "platform/win/Handles.h"
#include "platform/win/Modules.h"
#include "tests/installer/support/FakeTranslator.h"
#include "tests/platform/win/WinTestFixture.h"

namespace {

// Records the arguments it receives, one a line, beside itself.
const char RecorderScript[] =
    "#!/bin/sh\n"
    "here=$(dirname \"$0\")\n"
    "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$here/args.tmp\"\n"
    "mv \"$here/args.tmp\" \"$here/args.txt\"\n";

class LauncherTest : public WinPrefixTest {
protected:
    void WriteProgram(const std::string& hostPath, const std::string& content)
    {
        WriteHost(hostPath, content);
        ::chmod(hostPath.c_str(), 0755);
    }

    static std::string AwaitHost(const std::string& path)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!HostExists(path) && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return ReadHost(path);
    }
};

using FileRoutinesTest = WinPrefixTest;

// ---------------------------------------------------------------------------------------------------------
// The program launcher

TEST_F(LauncherTest, TheStartedProgramReceivesEveryParameterAfterItsOwnName)
{
    WriteProgram(DriveC("Program Files/Halvern/server.exe"), RecorderScript);
    TProgramLauncher launcher(nullptr);
    launcher.SetFileName("C:\\Program Files\\Halvern\\server.exe");
    launcher.SetParameters("/REGSERVER \"two words\" C:\\x");
    launcher.SetShowMode(smHide);
    EXPECT_EQ(launcher.CommandLine(), "\"C:\\Program Files\\Halvern\\server.exe\" /REGSERVER \"two words\" C:\\x");
    launcher.Execute();
    EXPECT_EQ(AwaitHost(DriveC("Program Files/Halvern/args.txt")), "/REGSERVER\ntwo words\nC:\\x\n");

    // Without parameters the program gets none, and no stray blank.
    std::filesystem::remove(DriveC("Program Files/Halvern/args.txt"));
    launcher.SetParameters("");
    EXPECT_EQ(launcher.CommandLine(), "\"C:\\Program Files\\Halvern\\server.exe\"");
    launcher.Execute();
    EXPECT_EQ(AwaitHost(DriveC("Program Files/Halvern/args.txt")), "");
}

TEST_F(LauncherTest, AFailedStartRaisesItsCodeAndText)
{
    WriteHost(DriveC("t/windows.exe"), "MZ not a host program");
    const std::tuple<const char*, int32_t, const char*> cases[] = {
        {"C:\\t\\missing.exe", 2, "File not found"},
        {"C:\\nowhere\\missing.exe", 3, "Path not found"},
        {"C:\\t\\windows.exe", 11, "Invalid file"},
    };
    for (const auto& [file, code, text] : cases) {
        TProgramLauncher launcher(nullptr);
        launcher.SetFileName(file);
        try {
            launcher.Execute();
            ADD_FAILURE() << file << " started";
        } catch (const EProgramLauncherFailed& error) {
            EXPECT_EQ(error.ErrorCode, code) << file;
            EXPECT_STREQ(error.what(), text) << file;
        }
    }
    EXPECT_EQ(LaunchErrorText(0), "Out of memory");
    EXPECT_EQ(LaunchErrorText(31), "File type has no association");
    EXPECT_EQ(LaunchErrorText(21), "Application requires Win32");
    EXPECT_EQ(LaunchErrorText(7), "Unknown error");
    EXPECT_EQ(LaunchErrorText(-1), "Unknown error");
}

TEST_F(LauncherTest, PropertiesHaveTheirDefaultsAndShowModesTheirValues)
{
    RegisterProgramLauncherClasses();
    TProgramLauncher launcher(nullptr);
    EXPECT_EQ(launcher.Action(), "Open");
    EXPECT_EQ(launcher.Timeout(), -1);
    EXPECT_TRUE(launcher.Wait());
    EXPECT_EQ(launcher.ShowMode(), smNormal);
    EXPECT_EQ(ShowWindowValue(smNormal), 1);
    EXPECT_EQ(ShowWindowValue(smMaximized), 3);
    EXPECT_EQ(ShowWindowValue(smMinimized), 2);
    EXPECT_EQ(ShowWindowValue(smHide), 0);
    // Only what differs from the defaults is written.
    launcher.SetName("Launcher1");
    launcher.SetShowMode(smHide);
    const std::string text = vcl::WriteComponentResource(launcher);
    EXPECT_NE(text.find("ShowMode = smHide"), std::string::npos) << text;
    EXPECT_EQ(text.find("Action"), std::string::npos) << text;
}

// ---------------------------------------------------------------------------------------------------------
// File attributes, folders and library strings

TEST_F(FileRoutinesTest, AttributesAreSetExactlyAsTheSetSays)
{
    WriteHost(DriveC("f/a.txt"), "a");
    SetFileAttributesChecked("C:\\f\\a.txt", TTrwkFileAttributesSet{tfaReadOnly, tfaHidden, tfaArchive});
    EXPECT_EQ(win::GetFileAttributes("C:\\f\\a.txt"),
              win::FILE_ATTRIBUTE_READONLY | win::FILE_ATTRIBUTE_HIDDEN | win::FILE_ATTRIBUTE_ARCHIVE);
    SetFileAttributesChecked("C:\\f\\a.txt", TTrwkFileAttributesSet{tfaCompressed});
    EXPECT_EQ(win::GetFileAttributes("C:\\f\\a.txt"), win::FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(FileAttributesOf(TTrwkFileAttributesSet{tfaSystem, tfaTemporary, tfaOffline, tfaNormal, tfaDirectory}),
              0x4u | 0x100u | 0x1000u | 0x80u | 0x10u);

    TFakeTranslator translator({{"Cannot set file attributes. Error : %s", "Attribute nicht gesetzt: %s"}});
    try {
        SetFileAttributesChecked("C:\\f\\missing.txt", TTrwkFileAttributesSet{tfaHidden});
        FAIL() << "no error";
    } catch (const IEfcSetAttributes& error) {
        EXPECT_EQ(std::string(error.what()),
                  "Attribute nicht gesetzt: " + rtl::SysErrorMessage(win::ERROR_FILE_NOT_FOUND));
    }
}

TEST_F(FileRoutinesTest, ReadOnlyAttributeAnswersOnlyWhenTheFileCanBeOpened)
{
    WriteHost(DriveC("f/ro.txt"), "r");
    WriteHost(DriveC("f/rw.txt"), "w");
    ASSERT_TRUE(win::SetFileAttributes("C:\\f\\ro.txt", win::FILE_ATTRIBUTE_READONLY));
    TTrwkFileAttributesSet set{tfaHidden};
    ReadOnlyAttribute("C:\\f\\ro.txt", set, nullptr);
    EXPECT_EQ(set, TTrwkFileAttributesSet{tfaReadOnly});
    set = TTrwkFileAttributesSet{tfaHidden};
    ReadOnlyAttribute("C:\\f\\rw.txt", set, nullptr);
    EXPECT_TRUE(set.Empty());

    // Missing, or held open by someone else: the set stays.
    set = TTrwkFileAttributesSet{tfaSystem};
    ReadOnlyAttribute("C:\\f\\missing.txt", set, nullptr);
    EXPECT_EQ(set, TTrwkFileAttributesSet{tfaSystem});
    win::HANDLE held = Open("C:\\f\\rw.txt", win::GENERIC_READ, 0);
    ReadOnlyAttribute("C:\\f\\rw.txt", set, nullptr);
    EXPECT_EQ(set, TTrwkFileAttributesSet{tfaSystem});
    win::CloseHandle(held);
}

TEST_F(FileRoutinesTest, NearestExistingFolderWalksUpToWhatExists)
{
    EXPECT_EQ(NearestExistingFolder("C:\\Program Files\\New\\Sub"), "C:\\Program Files");
    EXPECT_EQ(NearestExistingFolder("C:\\Program Files"), "C:\\Program Files");
    EXPECT_EQ(NearestExistingFolder("C:\\nothing\\at\\all"), "C:");
    WriteHost(DriveC("f/file.txt"), "x");
    EXPECT_EQ(NearestExistingFolder("C:\\f\\file.txt\\below"), "C:\\f");  // a file is no folder
    EXPECT_EQ(NearestExistingFolder(""), "");
    EXPECT_EQ(NearestExistingFolder("   "), "");
    EXPECT_EQ(NearestExistingFolder("Q:\\a\\b"), "");  // an unmapped drive has nothing
    EXPECT_EQ(NearestExistingFolder("nothing"), "");
}

TEST_F(FileRoutinesTest, LibraryStringsComeFromBuiltInTablesOrAreEmpty)
{
    EXPECT_FALSE(LoadDllString("comdlg32.dll", 703).empty());
    EXPECT_NE(LoadDllString("shell32.dll", 9248).find("%s"), std::string::npos);
    EXPECT_EQ(LoadDllString("shell32.dll", 1), "");
    EXPECT_EQ(LoadDllString("nosuch.dll", 703), "");
    win::SetModuleMissing("comdlg32.dll", true);
    EXPECT_EQ(LoadDllString("comdlg32.dll", 703), "");
    win::SetModuleMissing("comdlg32.dll", false);

    win::RegisterBuiltinStrings("halvern.dll", {{7, std::string(5000, 'x')}});
    EXPECT_EQ(LoadDllString("C:\\WINDOWS\\HALVERN.DLL", 7), std::string(4095, 'x'));  // cut to the buffer
    win::HMODULE module = win::LoadLibrary("halvern.dll");
    char small[4];
    EXPECT_EQ(win::LoadString(module, 7, small, sizeof small), 3);
    EXPECT_STREQ(small, "xxx");
    EXPECT_EQ(win::LoadString(module, 8, small, sizeof small), 0);
    EXPECT_EQ(win::GetLastError(), win::ERROR_RESOURCE_NAME_NOT_FOUND);
    EXPECT_STREQ(small, "");
    win::FreeLibrary(module);
    EXPECT_EQ(win::LoadString(module, 7, small, sizeof small), 0);
    EXPECT_EQ(win::GetLastError(), win::ERROR_INVALID_HANDLE);
}

}  // namespace
