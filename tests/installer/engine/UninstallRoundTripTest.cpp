// Install and uninstall as a round trip: a setup's records written into a prefix, then the uninstaller run
// as a process with the command line the records give it, then the prefix compared with how it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>

#include "installer/engine/InstallRegistry.h"
#include "installer/engine/UninstallRecords.h"
#include "platform/win/KnownFolders.h"
#include "platform/win/Process.h"
#include "tests/installer/engine/EngineTestSupport.h"
#include "tests/installer/engine/RegistryTestSupport.h"

using rtl::AnsiString;

namespace {

const AnsiString Folder = "C:\\Program Files\\Halvern Scrivane";
const AnsiString Key = UninstallKeyOf("Scrivane");

// The entries that differ, each with how it reads after and before.
std::vector<std::string> Differences(const std::map<std::string, std::string>& after,
                                     const std::map<std::string, std::string>& before)
{
    std::vector<std::string> differences;
    for (const auto& [path, content] : after) {
        auto it = before.find(path);
        if (it == before.end())
            differences.push_back("new: " + path);
        else if (it->second != content)
            differences.push_back("changed: " + path + "\n" + content + "\nwas\n" + it->second);
    }
    for (const auto& [path, content] : before) {
        if (!after.count(path))
            differences.push_back("gone: " + path);
    }
    return differences;
}

class UninstallRoundTripTest : public EngineTest {
protected:
    // Every file and folder of the prefix with its content (folders empty), by host path below the prefix.
    std::map<std::string, std::string> Snapshot() const
    {
        std::map<std::string, std::string> entries;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(Prefix())) {
            const std::string relative = std::filesystem::relative(entry.path(), Prefix()).string();
            entries[relative] = entry.is_regular_file() ? ReadHost(entry.path().string()) : std::string();
        }
        return entries;
    }

    // What the files and links of a setup leave: the files on the drive and their "Files" entries.
    void InstallFile(const AnsiString& path, bool activeX = false)
    {
        std::filesystem::create_directories(HostOf(ParentOf(path)));
        ASSERT_TRUE(WriteWindows(path, "content of " + path));
        if (activeX)
            AddActiveXRecordEntry(Key, path, path);
        else
            AddFilesRecordEntry(Key, path);
    }

    void RunSetup(const AnsiString& startMenu, const std::function<void(TfrmRegistrySetup&)>& addToSetup = {})
    {
        std::unique_ptr<TfrmRegistrySetup> form(new TfrmRegistrySetup(nullptr));
        if (addToSetup)
            addToSetup(*form);
        auto& install = form->Item<TInstall>("Install1");
        InstallFile(Folder + "\\Scrivane.exe");
        InstallFile(Folder + "\\Help\\Scrivane.hlp");
        InstallFile(Folder + "\\Help\\Types.tlb", true);
        InstallFile(startMenu + "\\Halvern\\Scrivane.lnk");
        // The uninstaller itself is installed but never listed.
        std::filesystem::create_directories(HostOf(Folder));
        ASSERT_TRUE(WriteWindows(Folder + "\\uninstall.exe", "uninstaller"));
        WriteUninstallValues(Key, *install.Information(), TControlPanelExtensionInformation(),
                             TRegistrationInformation(), {Folder + "\\uninstall.exe", "", ""});
        RunRegistrySetup(*form);
        install.RemoveInstallKey();  // as the run's good ending does
    }

    std::string HostOf(const AnsiString& path) const
    {
        std::string relative = path.substr(3);
        std::replace(relative.begin(), relative.end(), '\\', '/');
        return DriveC(relative);
    }

    static AnsiString ParentOf(const AnsiString& path) { return path.substr(0, path.find_last_of('\\')); }
};

TEST_F(UninstallRoundTripTest, TheUninstallerLeavesThePrefixAsItWasButForItself)
{
    AnsiString startMenu;
    for (const win::TKnownFolder& folder : win::ShellFolders()) {
        if (folder.RegistryValue == "Programs" && !folder.Common)
            startMenu = folder.Path;
    }
    ASSERT_FALSE(startMenu.empty());
    // A fresh prefix keeps its registry in memory until the first change: make both files exist.
    for (win::HKEY root : {win::HKEY_LOCAL_MACHINE, win::HKEY_CURRENT_USER}) {
        RegWriteString(root, "\\Snapshot", "Taken", "now");
        RegDeleteKeyTree(root, "\\Snapshot");
    }
    const auto before = Snapshot();

    RunSetup(startMenu);
    RunSetup(startMenu);  // a second run of the same setup appends to every record
    EXPECT_EQ(ReadValue(win::HKEY_LOCAL_MACHINE, Key + "\\Files", "Entries"), "6");
    EXPECT_EQ(ReadValue(win::HKEY_LOCAL_MACHINE, Key + "\\ActiveX", "Entries"), "2");
    EXPECT_EQ(ReadValue(win::HKEY_LOCAL_MACHINE, Key + "\\RegistryKeys", "Entries"), "6");
    EXPECT_EQ(ReadValue(win::HKEY_CLASSES_ROOT, "\\.wkp", ""), "Scrivane.Project");

    const AnsiString commandLine = ReadValue(win::HKEY_LOCAL_MACHINE, Key, "UninstallString");
    EXPECT_EQ(RunUninstallerProcess(commandLine), 0);

    // The parent of the setups' install keys stays, empty, as the good ending leaves it.
    RegDeleteKeyTree(win::HKEY_LOCAL_MACHINE, "\\SOFTWARE\\ULO");
    auto after = Snapshot();
    // The uninstaller stays where it was installed, and with it its folder.
    const std::string uninstaller = "drive_c/Program Files/Halvern Scrivane/uninstall.exe";
    EXPECT_EQ(after[uninstaller], "uninstaller");
    after.erase(uninstaller);
    after.erase("drive_c/Program Files/Halvern Scrivane");
    EXPECT_EQ(Differences(after, before), std::vector<std::string>());
    EXPECT_EQ(ReadValue(win::HKEY_CLASSES_ROOT, "\\.wkp", ""), "<none>");

    // Run again, nothing is left to remove: the product is unknown.
    EXPECT_EQ(RunUninstallerProcess(commandLine), 2);
}

TEST_F(UninstallRoundTripTest, ValuesOfOthersInASharedKeyStay)
{
    // Another program's value in the key that the setup also writes: the key and that value stay.
    RegWriteString(win::HKEY_LOCAL_MACHINE, "\\SOFTWARE\\Halvern\\Scrivane\\1.0", "Other", "theirs");
    RegWriteString(win::HKEY_LOCAL_MACHINE, Key + "\\Files", "Entries", "broken");
    // A value in a key that Windows keeps, empty or not.
    const AnsiString run = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
    RunSetup(Folder, [&run](TfrmRegistrySetup& form) {
        auto* startup = new TInstallRegistry(&form);
        startup->SetKey(run);
        TRegistryEntry* entry = startup->Entries()->Add();
        entry->SetIdent("Scrivane");
        entry->SetText("C:\\Program Files\\Halvern Scrivane\\Scrivane.exe");
    });
    EXPECT_EQ(ReadValue(win::HKEY_LOCAL_MACHINE, Key + "\\Files1", "Entries"), "3");
    EXPECT_EQ(ReadValue(win::HKEY_LOCAL_MACHINE, run, "Scrivane"), "C:\\Program Files\\Halvern Scrivane\\Scrivane.exe");

    EXPECT_EQ(RunUninstallerProcess(ReadValue(win::HKEY_LOCAL_MACHINE, Key, "UninstallString")), 0);
    EXPECT_EQ(ReadValue(win::HKEY_LOCAL_MACHINE, "\\SOFTWARE\\Halvern\\Scrivane\\1.0", "Other"), "theirs");
    EXPECT_EQ(ReadValue(win::HKEY_LOCAL_MACHINE, "\\SOFTWARE\\Halvern\\Scrivane\\1.0", "Path"), "<none>");
    EXPECT_EQ(ReadValue(win::HKEY_LOCAL_MACHINE, run, "Scrivane"), "<none>");
    TtrwkRegistry registry;
    registry.SetRootKey(win::HKEY_LOCAL_MACHINE);
    EXPECT_TRUE(registry.KeyExists(run));
    // The files listed behind the broken count are gone all the same.
    EXPECT_FALSE(HostExists(HostOf(Folder + "\\Scrivane.exe")));
    EXPECT_FALSE(HostExists(HostOf(Folder + "\\Help")));
    EXPECT_TRUE(HostExists(HostOf(Folder + "\\uninstall.exe")));
    EXPECT_EQ(ReadValue(win::HKEY_LOCAL_MACHINE, Key, "DisplayName"), "<none>");
}

}  // namespace
