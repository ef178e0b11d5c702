// Install and uninstall as a round trip: a setup's records written into a prefix, then the uninstaller run
// as a process with the command line the records give it, then the prefix compared with how it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <thread>

#include "installer/engine/InstallRegistry.h"
#include "installer/engine/UninstallRecords.h"
#include "installer/uninstall/Uninstaller.h"
#include "installer/support/TrwkSystem.h"
#include "installer/support/UninstallLayout.h"
#include "platform/win/Files.h"
#include "platform/win/KnownFolders.h"
#include "platform/win/Ole.h"
#include "platform/win/Paths.h"
#include "platform/win/Process.h"
#include "tests/installer/engine/EngineTestSupport.h"
#include "tests/installer/engine/RegistryTestSupport.h"
#include "tests/platform/win/TypeLibraryBytes.h"

using rtl::AnsiString;

namespace {

const AnsiString Folder = "C:\\Program Files\\Halvern Scrivane";
const AnsiString Key = UninstallKeyOf("Scrivane");
const win::HKEY HKLM = win::HKEY_LOCAL_MACHINE;

class UninstallRoundTripTest : public EngineTest {
protected:
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

    void RunSetup(const AnsiString& startMenu, const std::function<void(TfrmRegistrySetup&)>& addToSetup = {},
                  const AnsiString& uninstaller = Folder + "\\uninstall.exe")
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
        std::filesystem::create_directories(HostOf(ParentOf(uninstaller)));
        ASSERT_TRUE(WriteWindows(uninstaller, "uninstaller"));
        WriteUninstallValues(Key, *install.Information(), TControlPanelExtensionInformation(),
                             TRegistrationInformation(), {uninstaller, "", ""});
        RunRegistrySetup(*form);
        install.RemoveInstallKey();  // as the run's good ending does
        // Without a run's own key the removal above stops short of the parents its look-up made.
        RegDeleteKeyTree(win::HKEY_LOCAL_MACHINE, "\\SOFTWARE\\ULO");
    }

    std::string HostOf(const AnsiString& path) const
    {
        std::string relative = path.substr(3);
        std::replace(relative.begin(), relative.end(), '\\', '/');
        return DriveC(relative);
    }

    static AnsiString ParentOf(const AnsiString& path) { return path.substr(0, path.find_last_of('\\')); }

    static AnsiString StartMenu()
    {
        for (const win::TKnownFolder& folder : win::ShellFolders()) {
            if (folder.RegistryValue == "Programs" && !folder.Common)
                return folder.Path;
        }
        return {};
    }

    // A fresh prefix keeps its registry in memory until the first change: make both files exist, so that a
    // snapshot holds them.
    static void SettleRegistry()
    {
        for (win::HKEY root : {win::HKEY_LOCAL_MACHINE, win::HKEY_CURRENT_USER}) {
            RegWriteString(root, "\\Snapshot", "Taken", "now");
            RegDeleteKeyTree(root, "\\Snapshot");
        }
    }

    // Runs an uninstaller program silently for the product, then reads the prefix afresh.
    int Uninstall(std::string& errors, const std::string& program = UNINSTALL_EXE,
                  const std::vector<std::string>& environment = {})
    {
        const int code = RunProgram(program, {"/S", "Scrivane"}, errors, DriveC(), environment);
        win::ResetPlatform();
        win::InitializePlatform();
        return code;
    }

    static bool KeyExists(win::HKEY root, const AnsiString& key)
    {
        TtrwkRegistry registry;
        registry.SetRootKey(root);
        return registry.KeyExists(key);
    }

    // The paths a record subkey still lists.
    static std::vector<std::string> Listed(const AnsiString& subkey)
    {
        TtrwkRegistry registry;
        registry.SetRootKey(HKLM);
        rtl::TStringList names;
        if (registry.OpenKeyReadOnly(subkey))
            registry.GetValueNames(names);
        std::vector<std::string> paths;
        for (int i = 0; i < names.Count(); ++i) {
            if (names[i] != RecordEntries)
                paths.push_back(registry.ReadString(names[i]));
        }
        return paths;
    }

    // Registers a type library file as the setup does.
    void InstallTypeLibrary(const AnsiString& path, const std::array<uint8_t, 16>& guid)
    {
        WriteHost(HostOf(path), TypeLibraryBytes(guid, 0x409, 1, 0, ""));
        win::TTypeLib* library = nullptr;
        ASSERT_EQ(win::LoadTypeLib(path.c_str(), &library), win::S_OK);
        EXPECT_EQ(win::RegisterTypeLib(library, path.c_str(), ""), win::S_OK);
        library->Release();
        AddActiveXRecordEntry(Key, path, path);
    }
};

TEST_F(UninstallRoundTripTest, TheUninstallerLeavesThePrefixAsItWasButForItself)
{
    const AnsiString startMenu = StartMenu();
    ASSERT_FALSE(startMenu.empty());
    SettleRegistry();
    const auto before = PrefixSnapshot();

    RunSetup(startMenu);
    RunSetup(startMenu);  // a second run of the same setup lists each file and key once
    EXPECT_EQ(ReadValue(win::HKEY_LOCAL_MACHINE, Key + "\\Files", "Entries"), "3");
    EXPECT_EQ(ReadValue(win::HKEY_LOCAL_MACHINE, Key + "\\ActiveX", "Entries"), "1");
    EXPECT_EQ(ReadValue(win::HKEY_LOCAL_MACHINE, Key + "\\RegistryKeys", "Entries"), "3");
    EXPECT_EQ(ReadValue(win::HKEY_CLASSES_ROOT, "\\.wkp", ""), "Scrivane.Project");

    const AnsiString commandLine = ReadValue(win::HKEY_LOCAL_MACHINE, Key, "UninstallString");
    EXPECT_EQ(RunUninstallerProcess(commandLine), 0);

    auto after = PrefixSnapshot();
    // The uninstaller stays where it was installed, and with it its folder.
    const std::string uninstaller = "drive_c/Program Files/Halvern Scrivane/uninstall.exe";
    EXPECT_EQ(after[uninstaller], "uninstaller");
    after.erase(uninstaller);
    after.erase("drive_c/Program Files/Halvern Scrivane");
    EXPECT_EQ(SnapshotDifferences(after, before), std::vector<std::string>());
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

TEST_F(UninstallRoundTripTest, SelfRegisteringFilesAreUnregisteredUnlessOthersStillCountThem)
{
    const std::array<uint8_t, 16> sharedGuid = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    const std::array<uint8_t, 16> ownGuid = {2, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    const AnsiString shared = Folder + "\\Shared Types.tlb";
    const AnsiString own = Folder + "\\Own Types.tlb";
    const AnsiString server = Folder + "\\Server.exe";
    InstallTypeLibrary(shared, sharedGuid);
    InstallTypeLibrary(own, ownGuid);
    std::filesystem::copy_file(ENGINE_TEST_SERVER_PROGRAM, HostOf(server));
    AddActiveXRecordEntry(Key, server, server);
    // Another product counted the shared library by its short name; this one raised that count to 2.
    const AnsiString sharedCounter = ShortPathName(shared);
    RegWriteInteger(HKLM, SharedDLLsKey, sharedCounter, 2);
    AddSharedDLLRecordEntry(Key, sharedCounter);
    RegWriteInteger(HKLM, SharedDLLsKey, own, 1);
    AddSharedDLLRecordEntry(Key, own);
    RegWriteString(HKLM, Key, "UninstallString", UninstallCommandLine(Folder + "\\uninstall.exe", "Scrivane"));

    std::string errors;
    const std::string log = Prefix() + "/server.log";
    EXPECT_EQ(Uninstall(errors, UNINSTALL_EXE, {"SCRIVANE_TEST_SERVER_LOG=" + log}), 0) << errors;
    // Still counted: the file, its registration and the rest of the count stay.
    EXPECT_EQ(RegReadInteger(HKLM, SharedDLLsKey, sharedCounter, -1), 1);
    EXPECT_TRUE(HostExists(HostOf(shared)));
    EXPECT_EQ(ReadValue(win::HKEY_CLASSES_ROOT, "\\" + win::TypeLibPathKey(sharedGuid, 1, 0, 0x409), ""), shared);
    // Only ours: the count, the registration and the file go.
    EXPECT_EQ(RegReadInteger(HKLM, SharedDLLsKey, own, -1), -1);
    EXPECT_FALSE(HostExists(HostOf(own)));
    EXPECT_FALSE(KeyExists(win::HKEY_CLASSES_ROOT, "\\TypeLib\\" + win::GuidText(ownGuid)));
    // The server program was asked to unregister, and waited for, before its file went.
    EXPECT_EQ(ReadHost(log), "/UNREGSERVER\n");
    EXPECT_FALSE(HostExists(HostOf(server)));
    EXPECT_FALSE(KeyExists(HKLM, Key));
}

TEST_F(UninstallRoundTripTest, OverwrittenValuesComeBackAndOnlyTheKeysTheSetupCreatedGo)
{
    // Before the setup: another program's values, a company key without anything in it yet, and an empty
    // key the setup writes into.
    const AnsiString editor = "\\Software\\Other\\Editor";
    RegWriteString(win::HKEY_CURRENT_USER, editor, "Editor", "theirs");
    RegWriteInteger(win::HKEY_CURRENT_USER, editor, "Size", 5);
    // A string stored without its terminating zero, as another program may have written it.
    ASSERT_TRUE(RegWriteRawValue(win::HKEY_CURRENT_USER, editor, "Bare", {win::REG_EXPAND_SZ, {'A'}}));
    {
        TtrwkRegistry registry;
        registry.SetRootKey(HKLM);
        ASSERT_TRUE(registry.OpenKey("\\SOFTWARE\\Halvern", true));
        ASSERT_TRUE(registry.OpenKey("\\SOFTWARE\\Empty Before", true));
    }
    RunSetup(Folder, [&editor](TfrmRegistrySetup& form) {
        const auto add = [](TInstallRegistry* component, const char* name, const char* text) {
            TRegistryEntry* entry = component->Entries()->Add();
            entry->SetIdent(name);
            entry->SetText(text);
        };
        auto* overwrite = new TInstallRegistry(&form);
        overwrite->SetRootKey(hkCurrentUser);
        overwrite->SetKey(editor);
        add(overwrite, "Editor", "Scrivane");
        add(overwrite, "Size", "9");
        add(overwrite, "Ours", "x");
        add(overwrite, "Bare", "Scrivane");
        auto* mark = new TInstallRegistry(&form);
        mark->SetKey("\\SOFTWARE\\Empty Before");
        add(mark, "Mark", "1");
    });
    ASSERT_EQ(ReadValue(win::HKEY_CURRENT_USER, editor, "Size"), "9");
    // The open command's record as an older setup wrote it, without the key it created.
    for (int n = 1; n <= 5; ++n) {
        const AnsiString record = Key + "\\RegistryKeys\\RegistryKey" + rtl::IntToStr(n);
        if (ReadValue(HKLM, record, "Key").find("open\\command") != AnsiString::npos) {
            TtrwkRegistry registry;
            registry.SetRootKey(HKLM);
            ASSERT_TRUE(registry.OpenKey(record, false));
            ASSERT_TRUE(registry.DeleteValue(RegistryKeyCreated));
        }
    }

    std::string errors;
    EXPECT_EQ(Uninstall(errors), 0) << errors;
    EXPECT_EQ(ReadValue(win::HKEY_CURRENT_USER, editor, "Editor"), "theirs");
    EXPECT_EQ(RegReadInteger(win::HKEY_CURRENT_USER, editor, "Size", -1), 5);  // a number again
    EXPECT_EQ(ReadValue(win::HKEY_CURRENT_USER, editor, "Ours"), "<none>");
    TRegRawValue bare;
    ASSERT_TRUE(RegReadRawValue(win::HKEY_CURRENT_USER, editor, "Bare", bare));
    EXPECT_EQ(bare.Type, win::REG_EXPAND_SZ);
    EXPECT_EQ(bare.Data, std::vector<win::BYTE>{'A'});  // byte for byte, no zero added
    // Keys go no higher than the setup created them, and a key it found stays, even empty.
    EXPECT_FALSE(KeyExists(HKLM, "\\SOFTWARE\\Halvern\\Scrivane"));
    EXPECT_TRUE(KeyExists(HKLM, "\\SOFTWARE\\Halvern"));
    EXPECT_TRUE(KeyExists(HKLM, "\\SOFTWARE\\Empty Before"));
    EXPECT_EQ(ReadValue(HKLM, "\\SOFTWARE\\Empty Before", "Mark"), "<none>");
    // Without a record of what it created, empty keys are taken as the setup's.
    EXPECT_FALSE(KeyExists(win::HKEY_CLASSES_ROOT, "\\Scrivane.Project"));
    EXPECT_FALSE(KeyExists(HKLM, Key));
}

TEST_F(UninstallRoundTripTest, AFileInUseStaysInTheRecordsUntilALaterRunRemovesIt)
{
    SettleRegistry();
    const auto before = PrefixSnapshot();
    RunSetup(StartMenu());
    const AnsiString help = Folder + "\\Help\\Scrivane.hlp";
    std::string errors;
    {
        THeldFile holder(help);
        ASSERT_TRUE(holder.Held());
        EXPECT_EQ(Uninstall(errors), 1) << errors;
    }
    EXPECT_NE(errors.find(help + " is in use and could not be removed."), std::string::npos) << errors;
    EXPECT_NE(errors.find("removed when Windows starts again"), std::string::npos) << errors;
    // The next start runs the uninstaller again, silently, for what the running program held.
    const auto rerun = [] {
        std::string found = "<none>";
        for (win::HKEY root : {win::HKEY_CURRENT_USER, HKLM}) {
            const std::string value = ReadValue(root, RunOnceValuesKey, "Uninstall Scrivane");
            if (value != "<none>")
                found = value;
        }
        return found;
    };
    EXPECT_NE(rerun().find("/S \"Scrivane\""), std::string::npos) << rerun();
    EXPECT_TRUE(HostExists(HostOf(help)));
    EXPECT_FALSE(HostExists(HostOf(Folder + "\\Scrivane.exe")));
    EXPECT_EQ(ReadValue(win::HKEY_CLASSES_ROOT, "\\.wkp", ""), "<none>");
    // The key stays for Add/Remove Programs, with only what is left to do.
    EXPECT_EQ(ReadValue(HKLM, Key, "DisplayName"), "Scrivane");
    EXPECT_NE(ReadValue(HKLM, Key, "UninstallString"), "<none>");
    EXPECT_EQ(Listed(Key + "\\Files"), std::vector<std::string>{help});
    EXPECT_FALSE(KeyExists(HKLM, Key + "\\ActiveX"));
    EXPECT_FALSE(KeyExists(HKLM, Key + "\\RegistryKeys"));

    // Let go, the file goes with a second run, and so do the key and the run left for the next start.
    EXPECT_EQ(Uninstall(errors), 0) << errors;
    EXPECT_EQ(rerun(), "<none>");
    auto after = PrefixSnapshot();
    after.erase("drive_c/Program Files/Halvern Scrivane/uninstall.exe");
    after.erase("drive_c/Program Files/Halvern Scrivane");
    EXPECT_EQ(SnapshotDifferences(after, before), std::vector<std::string>());
}

TEST_F(UninstallRoundTripTest, TheProductsOwnUninstallerGoesWithItsFolderAfterItEnds)
{
    SettleRegistry();
    const auto before = PrefixSnapshot();
    const AnsiString uninstaller = Folder + "\\Uninstall\\uninstall.exe";
    RunSetup(StartMenu(), {}, uninstaller);
    std::filesystem::copy_file(UNINSTALL_EXE, HostOf(uninstaller), std::filesystem::copy_options::overwrite_existing);

    std::string errors;
    EXPECT_EQ(Uninstall(errors, HostOf(uninstaller)), 0) << errors;
    char temp[win::MAX_PATH + 1] = {};
    win::GetTempPath(sizeof temp, temp);
    const std::string tempHost = *win::HostPathFromWindows(RemoveBackslash(temp));
    const auto batchLeft = [&tempHost] {
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(tempHost, error)) {
            if (entry.path().extension() == ".bat")
                return true;
        }
        return false;
    };
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while ((HostExists(HostOf(Folder)) || batchLeft()) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    // Everything is as it was: the uninstaller, its folder, the one above it and the batch are gone. The
    // layer keeps the short names the batch was written with, as a file system keeps them.
    auto after = PrefixSnapshot();
    EXPECT_EQ(SnapshotDifferences(after, before), std::vector<std::string>());
}

TEST_F(UninstallRoundTripTest, ARecordBrokenOffByAFailedSetupDoesNotKeepTheProductForGood)
{
    SettleRegistry();
    const auto before = PrefixSnapshot();
    RunSetup(StartMenu());
    // What an older setup left when its run failed after the record's first value.
    RegWriteString(HKLM, Key + "\\RegistryKeys\\RegistryKey9", "Key", "\\Scrivane.Project");

    std::string errors;
    EXPECT_EQ(Uninstall(errors), 0) << errors;
    EXPECT_FALSE(KeyExists(HKLM, Key));
    auto after = PrefixSnapshot();
    after.erase("drive_c/Program Files/Halvern Scrivane/uninstall.exe");
    after.erase("drive_c/Program Files/Halvern Scrivane");
    EXPECT_EQ(SnapshotDifferences(after, before), std::vector<std::string>());
}

TEST_F(UninstallRoundTripTest, AKeyThatAStayingRecordKeepsFilledKeepsItsOwnRecordUntilALaterRun)
{
    // The product's company key holds nothing of its own; its settings key below holds a value.
    const AnsiString company = "\\Software\\Scrivane Test";
    const AnsiString settings = company + "\\Settings";
    TRegistryWriteNotes notes;
    notes.Created = company;
    AddRegistryKeysRecordEntry(Key, hkCurrentUser, company, {}, notes);
    notes.Created = settings;
    RegWriteString(win::HKEY_CURRENT_USER, settings, "Size", "9");
    AddRegistryKeysRecordEntry(Key, hkCurrentUser, settings, {{"Size", "9"}}, notes);

    // The settings cannot be removed: the company key stays, and so must its record.
    win::SetRegistryAccessDenied(win::HKEY_CURRENT_USER, true);
    TUninstallReport first;
    ASSERT_TRUE(RunUninstall("Scrivane", first));
    win::SetRegistryAccessDenied(win::HKEY_CURRENT_USER, false);
    EXPECT_FALSE(first.Failed.empty());
    EXPECT_TRUE(KeyExists(HKLM, Key + "\\RegistryKeys\\RegistryKey1"));
    EXPECT_TRUE(KeyExists(HKLM, Key + "\\RegistryKeys\\RegistryKey2"));

    TUninstallReport second;
    ASSERT_TRUE(RunUninstall("Scrivane", second));
    EXPECT_EQ(second.Failed, std::vector<std::string>());
    EXPECT_FALSE(KeyExists(win::HKEY_CURRENT_USER, company));
    EXPECT_FALSE(KeyExists(HKLM, Key));
}

TEST_F(UninstallRoundTripTest, ARegistryThatCannotBeWrittenAtTheEndLeavesTheRecordsForTheNextRun)
{
    RunSetup(StartMenu());
    win::SetRegistryWriteFailure(win::ERROR_DISK_FULL);
    TUninstallReport first;
    ASSERT_TRUE(RunUninstall("Scrivane", first));
    ASSERT_EQ(first.Failed.size(), 1u);
    EXPECT_EQ(first.Failed.front(), "The registry could not be written (error 112).");
    EXPECT_TRUE(first.CleanupBatch.empty());
    EXPECT_FALSE(HostExists(HostOf(Folder + "\\Scrivane.exe")));

    // What the disk holds is the installation's registry: the next run finds the files gone and ends it.
    win::ResetPlatform();
    win::InitializePlatform();
    EXPECT_TRUE(KeyExists(HKLM, Key));
    EXPECT_EQ(Listed(Key + "\\Files").size(), 3u);
    TUninstallReport second;
    ASSERT_TRUE(RunUninstall("Scrivane", second));
    EXPECT_EQ(second.Failed, std::vector<std::string>());
    win::ResetPlatform();
    win::InitializePlatform();
    EXPECT_FALSE(KeyExists(HKLM, Key));
}

TEST_F(UninstallRoundTripTest, AnEmptiedFolderThatCannotBeRemovedIsAFailureAndALaterRunRemovesIt)
{
    // The file's own folder goes; the one above it cannot.
    const AnsiString help = Folder + "\\Help";
    const AnsiString topics = help + "\\Topics";
    InstallFile(topics + "\\Scrivane.hlp");
    RegWriteString(HKLM, Key, "UninstallString", UninstallCommandLine(Folder + "\\uninstall.exe", "Scrivane"));
    WriteHost(HostOf(Folder + "\\uninstall.exe"), "uninstaller");
    ASSERT_TRUE(win::SetFileAttributes(help.c_str(), win::FILE_ATTRIBUTE_READONLY));

    std::string errors;
    EXPECT_EQ(Uninstall(errors), 1) << errors;
    EXPECT_NE(errors.find("The folder " + help + " could not be removed"), std::string::npos) << errors;
    EXPECT_FALSE(HostExists(HostOf(topics)));
    EXPECT_TRUE(HostExists(HostOf(help)));
    EXPECT_EQ(Listed(Key + "\\Files"), std::vector<std::string>{topics + "\\Scrivane.hlp"});

    ASSERT_TRUE(win::SetFileAttributes(help.c_str(), win::FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(Uninstall(errors), 0) << errors;
    EXPECT_FALSE(HostExists(HostOf(help)));
    EXPECT_FALSE(KeyExists(HKLM, Key));
}

TEST_F(UninstallRoundTripTest, RegistrationsThatCannotBeTakenBackStayWithTheirFilesAndRecords)
{
    const std::array<uint8_t, 16> guid = {3, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    const AnsiString types = Folder + "\\Types.tlb";
    const AnsiString control = Folder + "\\Control.ocx";
    InstallTypeLibrary(types, guid);
    std::filesystem::copy_file(ENGINE_TEST_SERVER, HostOf(control));
    AddActiveXRecordEntry(Key, control, control);
    RegWriteString(HKLM, Key, "UninstallString", UninstallCommandLine(Folder + "\\uninstall.exe", "Scrivane"));
    // A key below the registration's own keeps it from being deleted.
    const AnsiString registration = "\\" + win::TypeLibPathKey(guid, 1, 0, 0x409);
    RegWriteString(win::HKEY_CLASSES_ROOT, registration + "\\Held", "", "x");

    std::string errors;
    EXPECT_EQ(Uninstall(errors, UNINSTALL_EXE, {"SCRIVANE_TEST_UNREGISTER_RESULT=0x80004005"}), 1) << errors;
    EXPECT_NE(errors.find(control + " stays registered"), std::string::npos) << errors;
    EXPECT_NE(errors.find("The type library registration " + win::GuidText(guid) + " of " + types), std::string::npos)
        << errors;
    EXPECT_TRUE(HostExists(HostOf(control)));
    EXPECT_TRUE(HostExists(HostOf(types)));
    EXPECT_EQ(ReadValue(win::HKEY_CLASSES_ROOT, registration, ""), types);
    EXPECT_EQ(Listed(Key + "\\ActiveX").size(), 2u);

    RegDeleteKeyTree(win::HKEY_CLASSES_ROOT, registration + "\\Held");
    EXPECT_EQ(Uninstall(errors), 0) << errors;
    EXPECT_FALSE(HostExists(HostOf(control)));
    EXPECT_FALSE(HostExists(HostOf(types)));
    EXPECT_FALSE(KeyExists(win::HKEY_CLASSES_ROOT, "\\TypeLib\\" + win::GuidText(guid)));
    EXPECT_FALSE(KeyExists(HKLM, Key));
}

TEST_F(UninstallRoundTripTest, ACleanupBatchThatCannotBeWrittenKeepsTheKeyForTheNextRun)
{
    SettleRegistry();
    const auto before = PrefixSnapshot();
    const AnsiString uninstaller = Folder + "\\uninstall.exe";
    RunSetup(StartMenu(), {}, uninstaller);
    std::filesystem::copy_file(UNINSTALL_EXE, HostOf(uninstaller), std::filesystem::copy_options::overwrite_existing);
    // A file where the temporary folder should be: no batch can be made there.
    const std::string temp = *win::HostPathFromWindows(win::TempFolder());
    const std::string aside = temp + ".aside";
    const bool hadTemp = HostExists(temp);
    if (hadTemp)
        std::filesystem::rename(temp, aside);
    WriteHost(temp, "not a folder");

    std::string errors;
    EXPECT_EQ(Uninstall(errors, HostOf(uninstaller)), 1) << errors;
    EXPECT_NE(errors.find("The removal of " + uninstaller + " could not be prepared"), std::string::npos) << errors;
    EXPECT_TRUE(HostExists(HostOf(uninstaller)));
    EXPECT_EQ(ReadValue(HKLM, Key, "UninstallString"), UninstallCommandLine(uninstaller, "Scrivane"));
    EXPECT_FALSE(HostExists(HostOf(Folder + "\\Scrivane.exe")));

    std::filesystem::remove(temp);
    if (hadTemp)
        std::filesystem::rename(aside, temp);
    EXPECT_EQ(Uninstall(errors, HostOf(uninstaller)), 0) << errors;
    EXPECT_FALSE(KeyExists(HKLM, Key));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (HostExists(HostOf(Folder)) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(HostExists(HostOf(Folder)));
}

}  // namespace
