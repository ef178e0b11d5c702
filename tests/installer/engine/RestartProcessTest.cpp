// The restart as processes over a prefix: a setup whose target is held by another process asks for the
// restart and leaves its work in the registry; the boot step then replaces the file and starts the setup
// again, which finishes and removes its records. A setup run from a temporary copy leaves a batch that
// removes the copy after it has ended.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <set>
#include <thread>

#include "installer/support/TrwkRegistry.h"
#include "installer/support/TrwkSystem.h"
#include "installer/support/VersionResource.h"
#include "platform/rtl/DateUtils.h"
#include "platform/vcl/Registry.h"
#include "platform/win/Files.h"
#include "platform/win/Paths.h"
#include "platform/win/Registry.h"
#include "platform/win/Settings.h"
#include "tests/installer/engine/EngineTestSupport.h"

using rtl::AnsiString;
namespace fs = std::filesystem;

namespace {

const char* const InstallKey0 = "\\SOFTWARE\\ULO\\Install\\Install0";
const char* const RunOnceKey = "\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
const char* const Target = "C:\\Program Files\\MyApplication\\app.dll";
const char* const FailedRestart = "Could not reboot windows. Please manually reboot windows.";

class RestartProcessTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        fs::create_directories(DriveC("dev"));
        fs::copy_file(ENGINE_TEST_RESTART_SETUP, DriveC("dev/RestartSetup.exe"));
        WriteHost(DriveC("dev/BUILD.INF"), "C:\\build\r\n");
        WriteHost(DriveC("src/app.dll"), "new library");
        fs::create_directories(DriveC("ulo/lib"));
        fs::copy_file(ENGINE_TEST_LOADER, DriveC("ulo/lib/TarnwickLoadProgram.exe"));
        WriteHost(DriveC("ulo/lib/T32V52.TXT"), "marker");
        RegWriteString(win::HKEY_CURRENT_USER, "\\Software\\PESK\\T32V52\\Library", "Search Path", "$(ROOT)\\lib");
        RegWriteString(win::HKEY_LOCAL_MACHINE, "\\Software\\PESK\\T32V52", "RootDir", "C:\\ulo");
        std::string errors;
        ASSERT_EQ(Setup({"-b"}, errors), 0) << errors;
        WriteHost(DriveC("Program Files/MyApplication/app.dll"), "old library");
    }

    // Runs a program, then forgets what this process knew of the prefix (its registry above all), which
    // the program may have changed.
    int Run(const std::string& program, std::vector<std::string> arguments, std::string& errors,
            const std::string& folder, const std::vector<std::string>& environment = {})
    {
        const int code = RunProgram(program, std::move(arguments), errors, folder, environment);
        win::ResetPlatform();
        win::InitializePlatform();
        return code;
    }
    int Setup(std::vector<std::string> arguments, std::string& errors, const std::vector<std::string>& environment = {})
    {
        return Run(DriveC("dev/RestartSetup.exe"), std::move(arguments), errors, DriveC("dev"), environment);
    }
    int Boot(std::string& errors) { return Run(SCRIVANE_BOOT, {}, errors, DriveC()); }

    // Whether the run came to the good or the bad ending (a restart ending is neither).
    static bool Ended(const std::string& errors)
    {
        return errors.find("good ending") != std::string::npos || errors.find("bad ending") != std::string::npos;
    }
    bool RestartRecorded() const { return HostExists(Prefix() + "/restart-requested"); }
    static bool KeyExists(const AnsiString& key)
    {
        vcl::TRegistry registry;
        registry.SetRootKey(win::HKEY_LOCAL_MACHINE);
        return registry.KeyExists(key);
    }
    static AnsiString Value(const AnsiString& key, const AnsiString& name)
    {
        return RegReadString(win::HKEY_LOCAL_MACHINE, key, name, "<none>");
    }

    // Host path of the temporary folder, and what it holds.
    static std::string TempHost()
    {
        char buffer[win::MAX_PATH + 1] = {};
        win::GetTempPath(sizeof buffer, buffer);
        return *win::HostPathFromWindows(RemoveBackslash(buffer));
    }
    static std::set<std::string> TempContent()
    {
        std::set<std::string> names;
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(TempHost(), error))
            names.insert(entry.path().filename().string());
        return names;
    }
    static std::string Listed(const std::set<std::string>& names)
    {
        std::string text;
        for (const std::string& name : names)
            text += name + " ";
        return text;
    }
    // Waits up to 20 seconds for the temporary folder to hold `expected` again.
    static bool TempComesBackTo(const std::set<std::string>& expected)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (TempContent() != expected) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return true;
    }

    // Runs the setup while another process holds the target.
    int SetupWithHeldTarget(std::string& errors, const std::vector<std::string>& environment)
    {
        THeldFile held(Target);
        EXPECT_TRUE(held.Held());
        return Setup({"-sC:\\build"}, errors, environment);
    }
};

}  // namespace

TEST_F(RestartProcessTest, AHeldTargetEndsInARestartAndTheBootStepFinishesTheSetup)
{
    std::string errors;
    // The exit code says the installation waits for a restart.
    ASSERT_EQ(SetupWithHeldTarget(errors, {"RESTART_SETUP_LANGUAGE=7"}), secRestart) << errors;

    EXPECT_TRUE(RestartRecorded());
    EXPECT_FALSE(Ended(errors)) << errors;
    EXPECT_EQ(ReadHost(DriveC("Program Files/MyApplication/app.dll")), "old library");
    EXPECT_EQ(ReadHost(DriveC("Program Files/MyApplication/app.1")), "new library");
    // XP: the entry is the current user's.
    EXPECT_EQ(RegReadString(win::HKEY_CURRENT_USER, RunOnceKey, "TarnwickUnfinished", ""),
              "\"C:\\dev\\RestartSetup.exe\" -r \"-sC:\\build\"");
    EXPECT_EQ(Value(InstallKey0, "Path"), "C:\\dev\\RestartSetup.exe");
    EXPECT_EQ(RegReadInteger(win::HKEY_LOCAL_MACHINE, InstallKey0, "Size", -1),
              static_cast<int>(fs::file_size(DriveC("dev/RestartSetup.exe"))));
    EXPECT_EQ(RegReadInteger(win::HKEY_LOCAL_MACHINE, InstallKey0, "Language", -1), 7);
    EXPECT_EQ(Value(InstallKey0, "SelfExtract"), "<none>");
    EXPECT_EQ(Value(AnsiString(InstallKey0) + "\\Unfinished", "App"), "0");
    {
        vcl::TRegistry registry;
        registry.SetRootKey(win::HKEY_LOCAL_MACHINE);
        ASSERT_TRUE(registry.OpenKey(InstallKey0, false));
        rtl::TDateTime created = 0;
        ASSERT_TRUE(FileDateForOverwrite("C:\\dev\\RestartSetup.exe", created));
        EXPECT_NEAR(registry.ReadFloat("CreationDate"), created, 1e-7);
        EXPECT_NEAR(registry.ReadFloat("LastRunDate"), rtl::Now(), 1.0 / 24);
    }

    // The next start: the delayed move puts the file in place, then the setup resumes with -r.
    ASSERT_EQ(Boot(errors), 0) << errors;
    EXPECT_NE(errors.find("good ending, language 7"), std::string::npos) << errors;
    EXPECT_EQ(ReadHost(DriveC("Program Files/MyApplication/app.dll")), "new library");
    EXPECT_FALSE(HostExists(DriveC("Program Files/MyApplication/app.1")));
    // The resume finished the component: its attributes are applied.
    EXPECT_NE(win::GetFileAttributes(Target) & win::FILE_ATTRIBUTE_READONLY, 0u);
    EXPECT_FALSE(KeyExists(InstallKey0));
    EXPECT_FALSE(KeyExists("\\SOFTWARE\\ULO\\Install"));
    EXPECT_EQ(RegReadString(win::HKEY_CURRENT_USER, RunOnceKey, "TarnwickUnfinished", "<gone>"), "<gone>");
    EXPECT_FALSE(RestartRecorded());
}

TEST_F(RestartProcessTest, On98TheRenameListAndTheMachinesRunOnceCarryTheWork)
{
    win::SetWindowsKind(win::TWindowsKind::Win98);
    std::string errors;
    ASSERT_EQ(SetupWithHeldTarget(errors, {}), secRestart) << errors;
    EXPECT_TRUE(RestartRecorded());
    EXPECT_EQ(Value(RunOnceKey, "TarnwickUnfinished"), "\"C:\\dev\\RestartSetup.exe\" -r \"-sC:\\build\"");
    // Without a translator's choice the user's language is kept.
    EXPECT_EQ(RegReadInteger(win::HKEY_LOCAL_MACHINE, InstallKey0, "Language", -1), static_cast<int>(tlUser));
    EXPECT_NE(ReadHost(*win::HostPathFromWindows(WindowsDirectory() + "\\WININIT.INI")).find("[Rename]"),
              std::string::npos);

    ASSERT_EQ(Boot(errors), 0) << errors;
    EXPECT_NE(errors.find("good ending"), std::string::npos) << errors;
    EXPECT_EQ(ReadHost(DriveC("Program Files/MyApplication/app.dll")), "new library");
    EXPECT_FALSE(KeyExists(InstallKey0));
    EXPECT_EQ(Value(RunOnceKey, "TarnwickUnfinished"), "<none>");
}

TEST_F(RestartProcessTest, AFailedRestartIsReportedAndTheWorkWaitsForTheNextStart)
{
    std::string errors;
    ASSERT_EQ(SetupWithHeldTarget(errors, {"RESTART_SETUP_REFUSE=1"}), secRestart) << errors;
    EXPECT_NE(errors.find(std::string("Restart Setup: ") + FailedRestart + " (nobody to answer"), std::string::npos)
        << errors;
    EXPECT_FALSE(RestartRecorded());
    EXPECT_FALSE(Ended(errors)) << errors;
    // The program ended as after a restart: a manual one finds everything in place.
    EXPECT_EQ(Value(AnsiString(InstallKey0) + "\\Unfinished", "App"), "0");
    ASSERT_EQ(Boot(errors), 0) << errors;
    EXPECT_EQ(ReadHost(DriveC("Program Files/MyApplication/app.dll")), "new library");
    EXPECT_FALSE(KeyExists(InstallKey0));
}

TEST_F(RestartProcessTest, ARunFromATemporaryCopyLeavesABatchThatRemovesTheCopy)
{
    fs::remove(DriveC("Program Files/MyApplication/app.dll"));
    const std::set<std::string> before = TempContent();
    std::string errors;
    // The loading program unpacks the setup into the temporary folder and starts it there with -c; a
    // folder left in the copy lets only the batch's DELTREE remove it.
    ASSERT_EQ(Run(DriveC("build/setup.exe"), {}, errors, DriveC("build"), {"RESTART_SETUP_SUBFOLDER=1"}), 0)
        << errors;
    EXPECT_NE(errors.find("good ending"), std::string::npos) << errors;
    EXPECT_EQ(ReadHost(DriveC("Program Files/MyApplication/app.dll")), "new library");
    EXPECT_TRUE(TempComesBackTo(before)) << "left in the temporary folder: " << Listed(TempContent());
    // Nothing else is touched: the distribution, the program's source and the installed files stay.
    for (const char* name : {"build/setup.exe", "build/files.1", "build/setup.1", "dev/RestartSetup.exe",
                             "dev/BUILD.INF", "Program Files/MyApplication/app.dll"})
        EXPECT_TRUE(HostExists(DriveC(name))) << name;
    EXPECT_FALSE(KeyExists(InstallKey0));
}

TEST_F(RestartProcessTest, CleanUpRequestedOutsideTheTemporaryFolderLeavesTheProgramsFolderAlone)
{
    const std::set<std::string> before = TempContent();
    std::string errors;
    ASSERT_EQ(Setup({"-sC:\\build", "-c"}, errors, {"RESTART_SETUP_SUBFOLDER=1"}), 0) << errors;
    EXPECT_NE(errors.find("good ending"), std::string::npos) << errors;
    EXPECT_EQ(ReadHost(DriveC("dev/BUILD.INF")), "C:\\build\r\n");
    EXPECT_TRUE(HostExists(DriveC("dev/RestartSetup.exe")));
    EXPECT_FALSE(HostExists(DriveC("dev/left")));  // not even asked
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(TempContent(), before);  // no batch was left
}
