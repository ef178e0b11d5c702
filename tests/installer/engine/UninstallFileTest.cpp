// The uninstaller file and the records of installed files, from a real install: compressed, installed into
// the prefix, recorded, and removed again by the uninstaller the key names.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "installer/engine/UninstallEXE.h"
#include "installer/engine/UninstallRecords.h"
#include "tests/installer/engine/EngineTestSupport.h"
#include "tests/installer/engine/RegistryTestSupport.h"

using rtl::AnsiString;

namespace {

const win::HKEY HKLM = win::HKEY_LOCAL_MACHINE;

class UninstallFileTest : public FileEngineTest {
protected:
    void SetUp() override
    {
        FileEngineTest::SetUp();
        install_->Information()->SetProductName("Scrivane");
        install_->Information()->SetVersion("");
        key_ = UninstallKeyOf("Scrivane");
        WriteHost(DriveC("src/uninstall.exe"), "uninstaller");
        uninstaller_ = new TUninstallEXE(form_.get());
        uninstaller_->SetName("Uninstaller");
        uninstaller_->SetContainer(group_);
        uninstaller_->SetIncludeFromDir("C:\\src");
        uninstaller_->SetFileName("uninstall.exe");
    }

    AnsiString key_;
    TUninstallEXE* uninstaller_ = nullptr;
};

TEST_F(UninstallFileTest, AnInstallRecordsItsFilesAndTheUninstallerRemovesThem)
{
    TCustomInstallFile* readme = AddFile("readme.txt", "read me");
    TCustomInstallFile* guide = AddFile("guide.hlp", "help");
    TCustomInstallFile* skipped = AddFile("extra.txt", "not this time");
    skipped->SetInclude(false);
    install_->Win2KExtendedInformation()->SetDisplayIcon(guide->Name());
    install_->Win2KExtendedInformation()->SetReadMe(skipped->Name());
    // A target kept by the overwrite rule is the user's: not recorded, so the uninstall leaves it.
    readme->SetOverwriteMode(owNever);
    install_->Compress(CompressOption::ForceNetFilesLocal);
    WriteHost(InstalledHost("Docs/readme.txt"), "the user's own");
    install_->InstallTree();

    const AnsiString folder = "C:\\Program Files\\MyApplication";
    EXPECT_EQ(ReadValue(HKLM, key_, "DisplayName"), "Scrivane");
    EXPECT_EQ(ReadValue(HKLM, key_, "UninstallString"), "\"" + folder + "\\uninstall.exe\" \"Scrivane\"");
    EXPECT_EQ(ReadValue(HKLM, key_, "DisplayIcon"), folder + "\\Docs\\guide.hlp");
    EXPECT_EQ(ReadValue(HKLM, key_, "Readme"), "<none>");  // not installed in this run
    EXPECT_EQ(ReadValue(HKLM, key_, "DisplayVersion"), "<none>");
    // The uninstaller itself is not listed.
    EXPECT_EQ(ReadValue(HKLM, key_ + "\\Files", "Entries"), "1");
    EXPECT_EQ(ReadValue(HKLM, key_ + "\\Files", "File1"), folder + "\\Docs\\guide.hlp");
    EXPECT_EQ(ReadHost(InstalledHost("uninstall.exe")), "uninstaller");
    // The help file's registration is recorded as a value of the help key.
    const AnsiString help = "\\SOFTWARE\\Microsoft\\Windows\\Help";
    EXPECT_EQ(ReadValue(HKLM, help, "GUIDE.HLP"), folder + "\\Docs");
    EXPECT_EQ(ReadValue(HKLM, key_ + "\\RegistryKeys\\RegistryKey1", "Key"), help);
    EXPECT_EQ(ReadValue(HKLM, key_ + "\\RegistryKeys\\RegistryKey1\\Entries", "GUIDE.HLP"), folder + "\\Docs");

    install_->SetInstalling(false);
    EXPECT_EQ(RunUninstallerProcess(ReadValue(HKLM, key_, "UninstallString")), 0);
    EXPECT_FALSE(HostExists(InstalledHost("Docs/guide.hlp")));
    EXPECT_EQ(ReadHost(InstalledHost("Docs/readme.txt")), "the user's own");
    EXPECT_EQ(ReadValue(HKLM, help, "GUIDE.HLP"), "<none>");
    EXPECT_TRUE(HostExists(InstalledHost("uninstall.exe")));
    EXPECT_EQ(ReadValue(HKLM, key_, "DisplayName"), "<none>");
}

TEST_F(UninstallFileTest, OnlyFilesThisRunWroteAreRecordedAndRemoved)
{
    TCustomInstallFile* settings = AddFile("settings.ini", "defaults");
    settings->SetOverwriteMode(owNever);
    TCustomInstallFile* notes = AddFile("notes.txt", "older notes");
    notes->SetOverwriteMode(owDate);
    TCustomInstallFile* skipped = AddFile("skip.txt", "skipped");
    skipped->OnBeforeInstall = [](TCustomInstallFile*) { throw rtl::EAbort(""); };
    AddFile("replaced.txt", "the product's");
    install_->Compress(CompressOption::ForceNetFilesLocal);
    // What was there before: the user's settings, newer notes, a file the skipped one would have replaced,
    // and an old file the setup replaces.
    WriteHost(InstalledHost("Docs/settings.ini"), "the user's settings");
    WriteHost(InstalledHost("Docs/notes.txt"), "newer notes");
    std::filesystem::last_write_time(InstalledHost("Docs/notes.txt"),
                                     std::filesystem::file_time_type::clock::now() + std::chrono::hours(48));
    WriteHost(InstalledHost("Docs/skip.txt"), "someone's");
    WriteHost(InstalledHost("Docs/replaced.txt"), "old");
    install_->InstallTree();
    const AnsiString folder = "C:\\Program Files\\MyApplication\\Docs\\";
    EXPECT_EQ(ReadValue(HKLM, key_ + "\\Files", "Entries"), "1");
    EXPECT_EQ(ReadValue(HKLM, key_ + "\\Files", "File1"), folder + "replaced.txt");

    // A second run replaces the file again and records it once.
    install_->InstallTree();
    EXPECT_EQ(ReadValue(HKLM, key_ + "\\Files", "Entries"), "1");
    EXPECT_EQ(ReadValue(HKLM, key_ + "\\Files", "File2"), "<none>");

    install_->SetInstalling(false);
    EXPECT_EQ(RunUninstallerProcess(ReadValue(HKLM, key_, "UninstallString")), 0);
    EXPECT_FALSE(HostExists(InstalledHost("Docs/replaced.txt")));
    EXPECT_EQ(ReadHost(InstalledHost("Docs/settings.ini")), "the user's settings");
    EXPECT_EQ(ReadHost(InstalledHost("Docs/notes.txt")), "newer notes");
    EXPECT_EQ(ReadHost(InstalledHost("Docs/skip.txt")), "someone's");
}

TEST_F(UninstallFileTest, ASharedLibraryStaysWhileAnotherProductCountsIt)
{
    TCustomInstallFile* shared = AddFile("shared.dll", "ours");
    shared->SetUpdateDLLCounter(true);
    TCustomInstallFile* own = AddFile("own.dll", "only ours");
    own->SetUpdateDLLCounter(true);
    // Kept by the rule, yet counted: the count is raised whether or not the file was written.
    TCustomInstallFile* kept = AddFile("kept.dll", "ours too");
    kept->SetUpdateDLLCounter(true);
    kept->SetOverwriteMode(owNever);
    install_->Compress(CompressOption::ForceNetFilesLocal);
    const AnsiString folder = "C:\\Program Files\\MyApplication\\Docs\\";
    // Another product installed and counted shared.dll and kept.dll before.
    WriteHost(InstalledHost("Docs/shared.dll"), "theirs");
    WriteHost(InstalledHost("Docs/kept.dll"), "theirs too");
    RegWriteInteger(HKLM, SharedDLLsKey, folder + "shared.dll", 1);
    RegWriteInteger(HKLM, SharedDLLsKey, folder + "kept.dll", 1);
    install_->InstallTree();
    install_->InstallTree();
    EXPECT_EQ(RegReadInteger(HKLM, SharedDLLsKey, folder + "shared.dll", -1), 3);
    EXPECT_EQ(RegReadInteger(HKLM, SharedDLLsKey, folder + "own.dll", -1), 2);
    // The product's own share of each count.
    EXPECT_EQ(RegReadInteger(HKLM, key_ + "\\SharedDLLs", folder + "shared.dll", -1), 2);
    EXPECT_EQ(RegReadInteger(HKLM, key_ + "\\SharedDLLs", folder + "own.dll", -1), 2);
    EXPECT_EQ(RegReadInteger(HKLM, key_ + "\\SharedDLLs", folder + "kept.dll", -1), 2);

    install_->SetInstalling(false);
    EXPECT_EQ(RunUninstallerProcess(ReadValue(HKLM, key_, "UninstallString")), 0);
    EXPECT_EQ(RegReadInteger(HKLM, SharedDLLsKey, folder + "shared.dll", -1), 1);
    EXPECT_EQ(ReadHost(InstalledHost("Docs/shared.dll")), "ours");
    EXPECT_EQ(RegReadInteger(HKLM, SharedDLLsKey, folder + "kept.dll", -1), 1);
    EXPECT_EQ(ReadHost(InstalledHost("Docs/kept.dll")), "theirs too");
    EXPECT_EQ(RegReadInteger(HKLM, SharedDLLsKey, folder + "own.dll", -1), -1);
    EXPECT_FALSE(HostExists(InstalledHost("Docs/own.dll")));
    EXPECT_EQ(ReadValue(HKLM, key_, "DisplayName"), "<none>");
}

TEST_F(UninstallFileTest, WithoutADriverTheUninstallerFileCannotWriteTheKey)
{
    install_->SetInstalling(false);
    delete install_;
    install_ = nullptr;
    try {
        uninstaller_->WriteUninstallInfo(key_);
        FAIL() << "no driver";
    } catch (const IEUninstallEXE& e) {
        EXPECT_STREQ(e.what(), "Uninstaller could not write information about the uninstall to the registry "
                               "because there was no TInstall component");
    }
    EXPECT_TRUE(uninstaller_->Net());
}

}  // namespace
