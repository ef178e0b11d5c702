// A run that fails or is cancelled while it installs puts the machine back: the prefix (its files and its
// registry files) reads as it did before the run, and the program's exit code says how it ended.
#include <gtest/gtest.h>

#include "installer/engine/InstallRegistry.h"
#include "installer/engine/InstallRollback.h"
#include "installer/engine/UninstallRecords.h"
#include "installer/support/TrwkRegistry.h"
#include "platform/win/Files.h"
#include "tests/installer/engine/EngineTestSupport.h"
#include "tests/installer/engine/RegistryTestSupport.h"

using rtl::AnsiString;

namespace {

// Installed after the files and links: ends the run with an error, or with the user's Cancel as the copy
// window's Cancel does.
class TFailingStep : public TTestInstallItem {
    VCL_CLASS(TFailingStep, TTestInstallItem)
public:
    explicit TFailingStep(vcl::TComponent* owner) : TTestInstallItem(owner) { code_ = 8700; }
    void Install() override
    {
        if (Cancel)
            throw EAIUserAbort();
        throw IEInstall(AnsiString("The disk is full."));
    }
    bool Cancel = false;
};

}  // namespace

VCL_IMPLEMENT_CLASS_NOPROPS(TFailingStep)

namespace {

const win::HKEY HKLM = win::HKEY_LOCAL_MACHINE;

class InstallRollbackTest : public FileEngineTest {
protected:
    void SetUp() override
    {
        FileEngineTest::SetUp();
        install_->SetInstalling(false);
        install_->Information()->SetProductName("Scrivane");
        SetupExitCode() = secGood;
        install_->OnBeforeShutdown = [](TCustomInstall*, bool& quitOut) { quitOut = false; };
    }
    void TearDown() override
    {
        FileEngineTest::TearDown();
        if (vcl::GetApplication())
            vcl::GetApplication()->ResetRunState();
        SetupExitCode() = secGood;
    }

    void RunInstall()
    {
        install_->ParseCommandLine({"-sC:\\dist"});
        try {
            install_->Install();
        } catch (...) {
            vcl::GetApplication()->HandleException(install_);
        }
    }

    // A setup of files (one replacing a read-only file of an earlier installation), a link-free registry
    // component that overwrites one value and creates another, and a step that fails after them.
    TFailingStep* PrepareFailingRun()
    {
        AddFile("readme.txt", "new readme");
        AddFile("guide.hlp", "help");  // registered as a help file
        TCustomInstallFile* library = AddFile("shared.dll", "library");
        library->SetUpdateDLLCounter(true);
        auto* registry = new TInstallRegistry(form_.get());
        registry->SetName("Registry");
        registry->SetContainer(install_);
        registry->SetKey("\\SOFTWARE\\Halvern\\Scrivane");
        registry->Entries()->Add()->SetIdent("Path");
        registry->Entries()->Items(0)->SetText("C:\\Program Files\\MyApplication");
        registry->Entries()->Add()->SetIdent("Owner");
        registry->Entries()->Items(1)->SetText("Scrivane");
        auto* step = new TFailingStep(form_.get());
        step->SetName("Failing");
        step->SetContainer(install_);
        install_->Compress(CompressOption::ForceNetFilesLocal);
        install_->SetInstalling(false);

        // What an earlier installation left: a read-only readme, a value of the key, the product's record.
        WriteHost(InstalledHost("Docs/readme.txt"), "old readme");
        win::SetFileAttributes("C:\\Program Files\\MyApplication\\Docs\\readme.txt", win::FILE_ATTRIBUTE_READONLY);
        RegWriteString(HKLM, "\\SOFTWARE\\Halvern\\Scrivane", "Owner", "Someone");
        AddFilesRecordEntry(UninstallKeyOf("Scrivane"), "C:\\Program Files\\MyApplication\\Docs\\readme.txt");
        // Another setup's key keeps the parent of the install keys, which the good ending would leave too.
        RegWriteString(HKLM, "\\SOFTWARE\\ULO\\Install\\Other", "Path", "C:\\other\\setup.exe");
        return step;
    }
};

TEST_F(InstallRollbackTest, AFailureWhileInstallingPutsEveryFileValueAndRecordBack)
{
    PrepareFailingRun();
    const auto before = PrefixSnapshot();

    RunInstall();

    EXPECT_EQ(SetupExitCode(), secFailed);
    EXPECT_TRUE(install_->Aborted());
    // The read-only readme came back with its attribute, the rest went with their folders, the values
    // and records are as they were, and the run's install key is gone.
    EXPECT_EQ(ReadHost(InstalledHost("Docs/readme.txt")), "old readme");
    EXPECT_NE(win::GetFileAttributes("C:\\Program Files\\MyApplication\\Docs\\readme.txt") & win::FILE_ATTRIBUTE_READONLY,
              0u);
    const auto differences = SnapshotDifferences(PrefixSnapshot(), before);
    EXPECT_TRUE(differences.empty()) << ::testing::PrintToString(differences);
}

TEST_F(InstallRollbackTest, ACancelWhileCopyingIsABadEndingThatPutsBackToo)
{
    PrepareFailingRun()->Cancel = true;
    const auto before = PrefixSnapshot();

    RunInstall();

    EXPECT_EQ(SetupExitCode(), secCancelled);
    const auto differences = SnapshotDifferences(PrefixSnapshot(), before);
    EXPECT_TRUE(differences.empty()) << ::testing::PrintToString(differences);
}

TEST_F(InstallRollbackTest, AGoodRunReplacesAReadOnlyTargetAndKeepsNoCopies)
{
    AddFile("readme.txt", "new readme");
    install_->Compress(CompressOption::ForceNetFilesLocal);
    install_->SetInstalling(false);
    WriteHost(InstalledHost("Docs/readme.txt"), "old readme");
    win::SetFileAttributes("C:\\Program Files\\MyApplication\\Docs\\readme.txt", win::FILE_ATTRIBUTE_READONLY);
    const auto before = PrefixSnapshot();

    RunInstall();

    EXPECT_EQ(SetupExitCode(), secGood);
    EXPECT_FALSE(install_->Aborted());
    EXPECT_EQ(ReadHost(InstalledHost("Docs/readme.txt")), "new readme");
    // Nothing was left in the temporary folder for putting back.
    for (const std::string& difference : SnapshotDifferences(PrefixSnapshot(), before))
        EXPECT_EQ(difference.find("Temp"), std::string::npos) << difference;
    EXPECT_FALSE(InstallRollback().Active());
}

TEST_F(InstallRollbackTest, WithoutARunNothingIsNotedOrUndone)
{
    // Components used on their own (the build, tests) keep no journal.
    AddFile("readme.txt", "new readme");
    install_->Compress(CompressOption::ForceNetFilesLocal);
    install_->SetInstalling(true);
    install_->InstallTree();
    InstallRollback().Undo();
    EXPECT_EQ(ReadHost(InstalledHost("Docs/readme.txt")), "new readme");
}

}  // namespace
