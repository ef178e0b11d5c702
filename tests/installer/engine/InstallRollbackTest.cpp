// A run that fails or is cancelled while it installs puts the machine back: the prefix (its files and its
// registry files) reads as it did before the run, and the program's exit code says how it ended.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "installer/engine/InstallRegistry.h"
#include "installer/engine/InstallRollback.h"
#include "installer/engine/UninstallRecords.h"
#include "installer/support/TrwkRegistry.h"
#include "platform/win/Files.h"
#include "platform/win/Restart.h"
#include "tests/platform/win/TypeLibraryBytes.h"
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
        if (Before)
            Before();
        if (!Fail)
            return;
        if (Cancel)
            throw EAIUserAbort();
        throw IEInstall(AnsiString("The disk is full."));
    }
    bool Cancel = false;
    bool Fail = true;
    std::function<void()> Before;
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

    TFailingStep* AddFailingStep()
    {
        auto* step = new TFailingStep(form_.get());
        step->SetName("Failing");
        step->SetContainer(install_);
        return step;
    }

    static bool KeyExists(const AnsiString& key)
    {
        TtrwkRegistry registry;
        registry.SetRootKey(HKLM);
        return registry.KeyExists(key);
    }

    // A fresh prefix keeps its registry in memory until the first change: make the files exist, so that a
    // snapshot holds them.
    static void SettleRegistry()
    {
        for (win::HKEY root : {win::HKEY_LOCAL_MACHINE, win::HKEY_CURRENT_USER}) {
            RegWriteString(root, "\\Snapshot", "Taken", "now");
            RegDeleteKeyTree(root, "\\Snapshot");
        }
    }

    static void MakeEmptyKey(const AnsiString& key)
    {
        TtrwkRegistry registry;
        registry.SetRootKey(HKLM);
        ASSERT_TRUE(registry.OpenKey(key, true));
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

TEST_F(InstallRollbackTest, AnOriginalHeldWhenTheRunFailsIsKeptSaidAndBackAtTheNextStart)
{
    const AnsiString readme = "C:\\Program Files\\MyApplication\\Docs\\readme.txt";
    AddFile("readme.txt", "new readme");
    AddFile("guide.txt", "guide");
    TFailingStep* step = AddFailingStep();
    install_->Compress(CompressOption::ForceNetFilesLocal);
    install_->SetInstalling(false);
    WriteHost(InstalledHost("Docs/readme.txt"), "the user's readme");
    SettleRegistry();
    const auto before = PrefixSnapshot();
    // Another program opens the installed readme before a later step fails.
    std::unique_ptr<THeldFile> held;
    step->Before = [&] { held = std::make_unique<THeldFile>(readme); };
    const std::string log = Prefix() + "/../windows.log";
    setenv("SCRIVANE_WINDOW_LOG", log.c_str(), 1);

    RunInstall();
    unsetenv("SCRIVANE_WINDOW_LOG");
    const std::string shown = ReadHost(log);
    std::filesystem::remove(log);
    const bool said = shown.find("could not put back everything") != std::string::npos &&
                      shown.find(readme + ": it is in use by another program (it is put back when Windows starts "
                                          "again)") != std::string::npos;

    ASSERT_TRUE(held && held->Held());
    EXPECT_EQ(SetupExitCode(), secFailed);
    EXPECT_EQ(ReadHost(InstalledHost("Docs/readme.txt")), "new readme");
    EXPECT_FALSE(std::filesystem::exists(InstalledHost("Docs/guide.txt")));
    EXPECT_TRUE(said) << shown;
    // The user's readme is kept until it is back in its place.
    held.reset();
    win::RunBootStep();
    EXPECT_EQ(ReadHost(InstalledHost("Docs/readme.txt")), "the user's readme");
    const auto differences = SnapshotDifferences(PrefixSnapshot(), before);
    EXPECT_TRUE(differences.empty()) << ::testing::PrintToString(differences);
}

TEST_F(InstallRollbackTest, RegistrationsAndDelayedMovesOfTheRunGoWithItsBadEnding)
{
    const std::string library = TypeLibraryBytes({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}, 0x409, 1, 0, "");
    AddFile("types.tlb", library);
    AddFile("tool.dll", "new library");
    AddFailingStep();
    install_->Compress(CompressOption::ForceNetFilesLocal);
    install_->SetInstalling(false);
    WriteHost(InstalledHost("Docs/tool.dll"), "old library");
    SettleRegistry();
    const auto before = PrefixSnapshot();
    THeldFile held("C:\\Program Files\\MyApplication\\Docs\\tool.dll");
    ASSERT_TRUE(held.Held());
    std::vector<win::TPendingMove> pending;
    bool registered = false;
    dynamic_cast<TFailingStep*>(form_->FindComponent("Failing"))->Before = [&] {
        pending = win::PendingMoves();
        registered = KeyExists("\\SOFTWARE\\Classes\\TypeLib\\{04030201-0605-0807-090A-0B0C0D0E0F10}");
    };

    RunInstall();

    // The run had both before it failed; neither outlives it.
    EXPECT_EQ(pending.size(), 1u);
    EXPECT_TRUE(registered);
    EXPECT_EQ(SetupExitCode(), secFailed);
    EXPECT_TRUE(win::PendingMoves().empty());
    EXPECT_FALSE(KeyExists("\\SOFTWARE\\Classes\\TypeLib\\{04030201-0605-0807-090A-0B0C0D0E0F10}"));
    const auto differences = SnapshotDifferences(PrefixSnapshot(), before);
    EXPECT_TRUE(differences.empty()) << ::testing::PrintToString(differences);
}

TEST_F(InstallRollbackTest, KeysOfTheMakerThatWereThereStayWhateverTheEnding)
{
    AddFile("readme.txt", "new readme");
    TFailingStep* step = AddFailingStep();
    install_->Compress(CompressOption::ForceNetFilesLocal);
    install_->SetInstalling(false);
    MakeEmptyKey("\\Software\\Tarnwick");
    MakeEmptyKey("\\SOFTWARE\\ULO");
    const auto before = PrefixSnapshot();

    RunInstall();
    EXPECT_EQ(SetupExitCode(), secFailed);
    EXPECT_TRUE(KeyExists("\\Software\\Tarnwick"));
    EXPECT_TRUE(KeyExists("\\SOFTWARE\\ULO"));
    EXPECT_FALSE(KeyExists("\\SOFTWARE\\ULO\\Install"));
    const auto differences = SnapshotDifferences(PrefixSnapshot(), before);
    EXPECT_TRUE(differences.empty()) << ::testing::PrintToString(differences);

    step->Fail = false;
    vcl::GetApplication()->ResetRunState();
    SetupExitCode() = secGood;
    RunInstall();
    EXPECT_EQ(SetupExitCode(), secGood);
    EXPECT_TRUE(KeyExists("\\Software\\Tarnwick"));
    EXPECT_TRUE(KeyExists("\\SOFTWARE\\ULO"));
    EXPECT_FALSE(KeyExists("\\SOFTWARE\\ULO\\Install"));
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
