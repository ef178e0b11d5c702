// The uninstaller file and the records of installed files, from a real install: compressed, installed into
// the prefix, recorded, and removed again by the uninstaller the key names.
#include <gtest/gtest.h>

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
    // A target kept by the overwrite rule is recorded all the same.
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
    // In install order; the uninstaller itself is not listed.
    EXPECT_EQ(ReadValue(HKLM, key_ + "\\Files", "Entries"), "2");
    EXPECT_EQ(ReadValue(HKLM, key_ + "\\Files", "File1"), folder + "\\Docs\\guide.hlp");
    EXPECT_EQ(ReadValue(HKLM, key_ + "\\Files", "File2"), folder + "\\Docs\\readme.txt");
    EXPECT_EQ(ReadHost(InstalledHost("uninstall.exe")), "uninstaller");

    install_->SetInstalling(false);
    EXPECT_EQ(RunUninstallerProcess(ReadValue(HKLM, key_, "UninstallString")), 0);
    EXPECT_FALSE(HostExists(InstalledHost("Docs")));
    EXPECT_TRUE(HostExists(InstalledHost("uninstall.exe")));
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
