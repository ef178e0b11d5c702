// The driver's restart work in one process: the install key found by its file's date and size, the
// unfinished list, the RunOnce command, the saved language, the restart request, the resume and the
// clean-up of a temporary copy.
#include <gtest/gtest.h>

#include <filesystem>

#include "installer/support/TrwkRegistry.h"
#include "installer/support/TrwkTranslator.h"
#include "platform/vcl/Registry.h"
#include "platform/win/Files.h"
#include "platform/win/Paths.h"
#include "platform/win/Registry.h"
#include "platform/win/Restart.h"
#include "platform/win/Settings.h"
#include "platform/win/SystemInfo.h"
#include "tests/installer/engine/EngineTestSupport.h"

using rtl::AnsiString;
namespace fs = std::filesystem;

namespace {

// A component that notes when the resume finishes it.
class TFinishingItem : public TTestInstallItem {
    VCL_CLASS(TFinishingItem, TTestInstallItem)
public:
    explicit TFinishingItem(vcl::TComponent* owner) : TTestInstallItem(owner) {}
    void FinishAfterReboot() override { EngineLog().push_back(Name() + " finish"); }
};

}  // namespace

VCL_IMPLEMENT_CLASS_NOPROPS(TFinishingItem)

namespace {

const char* const InstallRoot = "\\SOFTWARE\\ULO\\Install";
const char* const UserRunOnce = "\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
const char* const NoKeyMessage = "The TInstall could not either write or read unfinished business from the registry";

class RestartTest : public FileEngineTest {
protected:
    void SetUp() override
    {
        FileEngineTest::SetUp();
        install_->SetInstalling(false);
        WriteHost(DriveC("dev/setup.exe"), "the setup program");
        win::SetProgramPath("C:\\dev\\setup.exe");
    }
    void TearDown() override
    {
        if (install_)
            install_->SetCleanupBatchPending(false);
        FileEngineTest::TearDown();
        if (vcl::GetApplication())
            vcl::GetApplication()->ResetRunState();
    }

    static AnsiString TempFolder()
    {
        char buffer[win::MAX_PATH + 1] = {};
        win::GetTempPath(sizeof buffer, buffer);
        return RemoveBackslash(buffer);
    }
    static std::string Host(const AnsiString& windowsPath) { return *win::HostPathFromWindows(windowsPath); }

    static bool KeyExists(const AnsiString& key)
    {
        vcl::TRegistry registry;
        registry.SetRootKey(win::HKEY_LOCAL_MACHINE);
        return registry.KeyExists(key);
    }

    std::vector<std::string> Unfinished()
    {
        rtl::TStringList list;
        install_->ReadUnfinished(list);
        std::vector<std::string> lines;
        for (int i = 0; i < list.Count(); ++i)
            lines.push_back(list.Strings(i));
        return lines;
    }

    void MakeKey()
    {
        InstallKey() = install_->FindInstallKey(true);
        ASSERT_EQ(InstallKey(), "\\SOFTWARE\\ULO\\Install\\Install0");
    }
};

}  // namespace

TEST_F(RestartTest, KeysAreNumberedFromZeroAndFoundAgainByDateAndSize)
{
    EXPECT_EQ(install_->FindInstallKey(false), "");
    EXPECT_FALSE(KeyExists("\\SOFTWARE\\ULO\\Install\\Install0"));
    EXPECT_EQ(install_->FindInstallKey(true), "\\SOFTWARE\\ULO\\Install\\Install0");
    EXPECT_EQ(RegReadInteger(win::HKEY_LOCAL_MACHINE, "\\SOFTWARE\\ULO\\Install\\Install0", "Size", 0), 17);
    EXPECT_EQ(RegReadString(win::HKEY_LOCAL_MACHINE, "\\SOFTWARE\\ULO\\Install\\Install0", "SelfExtract", "none"), "none");

    // Another setup program (another size) while the first key exists gets the next number, with -e its
    // self-extracting file recorded.
    WriteHost(DriveC("other/setup.exe"), "another setup program");
    win::SetProgramPath("C:\\other\\setup.exe");
    install_->ParseCommandLine({"-sC:\\dist", "-esetup.exe"});
    EXPECT_EQ(install_->FindInstallKey(true), "\\SOFTWARE\\ULO\\Install\\Install1");
    EXPECT_EQ(RegReadString(win::HKEY_LOCAL_MACHINE, "\\SOFTWARE\\ULO\\Install\\Install1", "SelfExtract", ""),
              "C:\\dist\\setup.exe");

    // A copy of the first program elsewhere, with its date and size, is the same program: its key answers
    // and takes the new path.
    fs::create_directories(DriveC("copy"));
    fs::copy_file(DriveC("dev/setup.exe"), DriveC("copy/setup.exe"));
    fs::last_write_time(DriveC("copy/setup.exe"), fs::last_write_time(DriveC("dev/setup.exe")));
    win::SetProgramPath("C:\\copy\\setup.exe");
    EXPECT_EQ(install_->FindInstallKey(false), "\\SOFTWARE\\ULO\\Install\\Install0");
    EXPECT_EQ(RegReadString(win::HKEY_LOCAL_MACHINE, "\\SOFTWARE\\ULO\\Install\\Install0", "Path", ""),
              "C:\\copy\\setup.exe");

    // The same size with another date is another program.
    fs::last_write_time(DriveC("copy/setup.exe"), fs::last_write_time(DriveC("dev/setup.exe")) - std::chrono::hours(1));
    EXPECT_EQ(install_->FindInstallKey(false), "");
}

TEST_F(RestartTest, UnfinishedListRoundTripsAndNeedsAKey)
{
    EXPECT_EQ(MessageOf<IEInstall>([&] { install_->AddUnfinished("App", 0); }), NoKeyMessage);
    EXPECT_EQ(MessageOf<IEInstall>([&] { Unfinished(); }), NoKeyMessage);
    EXPECT_EQ(MessageOf<IEInstall>([&] { install_->ClearUnfinished(); }), NoKeyMessage);

    MakeKey();
    EXPECT_TRUE(Unfinished().empty());  // no list yet: nothing, and nothing made
    EXPECT_FALSE(KeyExists("\\SOFTWARE\\ULO\\Install\\Install0\\Unfinished"));
    install_->AddUnfinished("App", 0);
    install_->AddUnfinished("C:\\temp\\bat1.bat", 1);
    install_->AddUnfinished("C:\\odd;name.bat", 1);
    EXPECT_EQ(install_->UnfinishedCount(), 3);
    // A ";" in a name cannot be told from the separator when the line is read back.
    EXPECT_EQ(Unfinished(), (std::vector<std::string>{"App;0", "C:\\odd;name.bat;1", "C:\\temp\\bat1.bat;1"}));
    install_->ClearUnfinished();
    EXPECT_TRUE(Unfinished().empty());
    EXPECT_FALSE(KeyExists("\\SOFTWARE\\ULO\\Install\\Install0\\Unfinished"));
}

TEST_F(RestartTest, ResumeFinishesTheListThenEndsWell)
{
    auto* finishing = new TFinishingItem(form_.get());
    finishing->SetName("Finisher");
    finishing->SetContainer(install_);
    MakeKey();
    WriteHost(DriveC("temp/bat1.bat"), "erase x");
    install_->AddUnfinished("FINISHER", 0);  // names match whatever their case
    install_->AddUnfinished("C:\\temp\\bat1.bat", 1);
    install_->AddUnfinished("Nobody", 0);
    install_->AddUnfinished("Other", 7);  // a kind nobody knows does nothing
    std::vector<std::string> events;
    install_->OnBeforeNotifyGoodInstall = [&](rtl::TObject*) { events.push_back("good"); };
    install_->OnBeforeShutdown = [&](TCustomInstall*, bool& quitOut) {
        events.push_back("shutdown");
        quitOut = false;
    };
    InstallKey().clear();  // the resume finds its key itself
    install_->FinishAfterReboot();

    EXPECT_EQ(EngineLog(), (std::vector<std::string>{"Finisher finish", "Finisher -995", "Finisher -979"}));
    EXPECT_FALSE(HostExists(DriveC("temp/bat1.bat")));
    EXPECT_EQ(events, (std::vector<std::string>{"good", "shutdown"}));
    EXPECT_FALSE(install_->Installing());
    EXPECT_TRUE(InstallKey().empty());
    EXPECT_FALSE(KeyExists(InstallRoot));
}

TEST_F(RestartTest, ResumeStopsAtAnEntryWhoseKindIsNoNumber)
{
    MakeKey();
    // The path cut at its ";" names a file that must survive: the entry stops the resume instead.
    WriteHost(DriveC("odd"), "not to be deleted");
    install_->AddUnfinished("C:\\odd;name.bat", 1);
    InstallKey().clear();
    EXPECT_EQ(MessageOf<IEInstall>([&] { install_->FinishAfterReboot(); }),
              "There is an invalid entry for the unfinished install list C:\\odd;name.bat;1");
    EXPECT_TRUE(HostExists(DriveC("odd")));

    RegWriteString(win::HKEY_LOCAL_MACHINE, "\\SOFTWARE\\ULO\\Install\\Install0\\Unfinished", "App", "x");
    EXPECT_EQ(MessageOf<IEInstall>([&] { install_->FinishAfterReboot(); }),
              "There is an invalid entry for the unfinished install list App;x");
    // Without a key of its own, the resume has no list to read.
    win::SetProgramPath("C:\\another.exe");
    WriteHost(DriveC("another.exe"), "another program");
    EXPECT_EQ(MessageOf<IEInstall>([&] { install_->FinishAfterReboot(); }), NoKeyMessage);
}

TEST_F(RestartTest, RemovingTheKeyTakesItsEmptyParentsAndOnlyTemporaryDownloads)
{
    MakeKey();
    const AnsiString temporaryCopy = TempFolder() + "\\bat5.1";
    WriteHost(Host(TempFolder()) + "/bat5.1", "downloaded");
    WriteHost(DriveC("dist/files.1"), "the distribution");
    RegWriteString(win::HKEY_LOCAL_MACHINE, InstallKey() + "\\Group", "LocalFile", temporaryCopy);
    RegWriteString(win::HKEY_LOCAL_MACHINE, InstallKey() + "\\Docs", "LocalFile", "C:\\dist\\files.1");
    RegWriteString(win::HKEY_LOCAL_MACHINE, "\\SOFTWARE\\ULO\\Install\\Install7", "Path", "C:\\other.exe");
    RegWriteString(win::HKEY_LOCAL_MACHINE, "\\Software\\Tarnwick\\Keep", "Value", "kept");

    install_->RemoveInstallKey();
    EXPECT_TRUE(InstallKey().empty());
    EXPECT_FALSE(KeyExists("\\SOFTWARE\\ULO\\Install\\Install0"));
    EXPECT_FALSE(HostExists(Host(temporaryCopy)));
    // A record naming a file outside the temporary folder is not followed.
    EXPECT_EQ(ReadHost(DriveC("dist/files.1")), "the distribution");
    // Parents that still hold something stay.
    EXPECT_TRUE(KeyExists("\\SOFTWARE\\ULO\\Install\\Install7"));
    EXPECT_TRUE(KeyExists("\\Software\\Tarnwick\\Keep"));

    InstallKey() = "\\SOFTWARE\\ULO\\Install\\Install7";
    RegDeleteKeyTree(win::HKEY_LOCAL_MACHINE, "\\Software\\Tarnwick\\Keep");
    install_->RemoveInstallKey();
    EXPECT_FALSE(KeyExists(InstallRoot));
    EXPECT_FALSE(KeyExists("\\Software\\Tarnwick"));
    // The maker's key goes too once nothing is left in it; "\SOFTWARE" stays.
    EXPECT_FALSE(KeyExists("\\SOFTWARE\\ULO"));
    EXPECT_TRUE(KeyExists("\\SOFTWARE"));
    install_->RemoveInstallKey();  // no key: nothing
}

TEST_F(RestartTest, RunOnceStartsThisProgramWithTheDistributionsFolder)
{
    install_->ParseCommandLine({"-sC:\\dist"});
    EXPECT_EQ(install_->RunOnceCommand(), "\"C:\\dev\\setup.exe\" -r \"-sC:\\dist\"");
    install_->ParseCommandLine({"-sC:\\dist", "-c"});
    EXPECT_EQ(install_->RunOnceCommand(), "\"C:\\dev\\setup.exe\" -r \"-sC:\\dist\" -c");
    // A self-extracting distribution at a drive's root: the folder is the drive alone.
    install_->ParseCommandLine({"-sC:\\", "-eSETUP.EXE", "-c"});
    install_->SetSourceDir("C:\\");
    EXPECT_EQ(install_->RunOnceCommand(), "\"C:\\dev\\setup.exe\" -r \"-eSETUP.EXE\" \"-sC:\" -c");

    install_->RegisterRunOnce();
    install_->RegisterRunOnce();
    EXPECT_EQ(RegReadString(win::HKEY_CURRENT_USER, UserRunOnce, "TarnwickUnfinished", ""), install_->RunOnceCommand());
    EXPECT_EQ(RegReadString(win::HKEY_CURRENT_USER, UserRunOnce, "TarnwickUnfinished1", ""), install_->RunOnceCommand());
    win::SetWindowsKind(win::TWindowsKind::Win98);
    install_->RegisterRunOnce();
    EXPECT_EQ(RegReadString(win::HKEY_LOCAL_MACHINE, UserRunOnce, "TarnwickUnfinished", ""), install_->RunOnceCommand());
}

TEST_F(RestartTest, TheLanguageIsSavedWithTheKeyAndReadBackSafely)
{
    MakeKey();
    install_->SaveLanguage();  // no translator: nothing to save
    EXPECT_EQ(RegReadInteger(win::HKEY_LOCAL_MACHINE, InstallKey(), "Language", -1), -1);
    EXPECT_EQ(install_->ReadLanguage(), tlUser);

    auto* translator = new TTranslator(form_.get());
    translator->SetTranslateIntoLanguage(tlGerman);
    install_->SaveLanguage();
    EXPECT_EQ(RegReadInteger(win::HKEY_LOCAL_MACHINE, InstallKey(), "Language", -1), static_cast<int>(tlGerman));
    translator->SetTranslateIntoLanguage(tlFrench);
    EXPECT_EQ(install_->ReadLanguage(), tlGerman);
    RegWriteInteger(win::HKEY_LOCAL_MACHINE, InstallKey(), "Language", 99);
    EXPECT_EQ(install_->ReadLanguage(), tlFrench);  // no language: the translator's own
    RegWriteString(win::HKEY_LOCAL_MACHINE, InstallKey(), "Language", "7");
    EXPECT_EQ(install_->ReadLanguage(), tlFrench);
}

TEST_F(RestartTest, TheRestartIsRequestedOrItsFailureReported)
{
    install_->RebootWindows();  // XP: through the shutdown privilege
    EXPECT_EQ(win::RestartRequested(), std::optional<win::UINT>(win::EWX_REBOOT));
    win::ClearRestartRequest();
    win::SetWindowsKind(win::TWindowsKind::Win98);
    install_->RebootWindows();
    EXPECT_EQ(win::RestartRequested(), std::optional<win::UINT>(win::EWX_REBOOT));
    win::ClearRestartRequest();

    win::SetRestartRefused(true);
    int failures = 0;
    install_->OnFailedReboot = [&](rtl::TObject* sender) {
        EXPECT_EQ(sender, install_);
        ++failures;
    };
    // Reported, not raised; without a handler a message says so (a process test sees it).
    install_->RebootWindows();
    EXPECT_EQ(failures, 1);
    EXPECT_FALSE(win::RestartRequested().has_value());
}

TEST_F(RestartTest, ATemporaryCopyIsCleanedUpAndLeavesABatchForTheProgram)
{
    const AnsiString copy = TempFolder() + "\\bat3.setup";
    WriteHost(Host(TempFolder()) + "/bat3.setup/Setup Program.exe", "setup");
    WriteHost(Host(TempFolder()) + "/bat3.setup/trwi.dat", "data");
    win::SetProgramPath(copy + "\\Setup Program.exe");
    const AnsiString shortProgram = ShortPathName(copy + "\\Setup Program.exe");
    const AnsiString shortCopy = ShortPathName(copy);
    const AnsiString shortTemp = ShortPathName(TempFolder());
    install_->ParseCommandLine({"-sC:\\dist", "-c"});
    bool asked = false;
    install_->OnBeforeCleanup = [&](TCustomInstall*, bool&) { asked = true; };
    install_->TempCleanup();

    EXPECT_TRUE(asked);
    EXPECT_FALSE(HostExists(Host(copy)));
    ASSERT_TRUE(install_->CleanupBatchPending());
    const AnsiString batch = install_->CleanupBatch();
    EXPECT_TRUE(rtl::SameText(rtl::ExtractFileDir(batch), TempFolder()));
    EXPECT_EQ(rtl::ExtractFileExt(batch), ".bat");
    const AnsiString shortBatch = shortTemp + "\\" + rtl::ExtractFileName(batch);
    // Short paths throughout, so no line holds a blank that could split its path.
    EXPECT_EQ(ReadHost(Host(batch)), "ERASE " + shortProgram + "\r\nDELTREE /Y " + shortCopy + "\r\nERASE " +
                                         rtl::ChangeFileExt(shortBatch, ".PIF") + "\r\nERASE " + shortBatch + "\r\n");
    EXPECT_EQ(shortProgram.find(' '), AnsiString::npos);
    EXPECT_EQ(shortBatch.find(' '), AnsiString::npos);
}

TEST_F(RestartTest, CleanUpTouchesNothingButACopyInsideTheTemporaryFolder)
{
    const auto refused = [&](const AnsiString& program, std::vector<AnsiString> arguments) {
        win::SetProgramPath(program);
        install_->ParseCommandLine(arguments);
        install_->TempCleanup();
        return !install_->CleanupBatchPending();
    };
    WriteHost(DriveC("dist/setup.exe"), "loader");
    WriteHost(DriveC("dist/files.1"), "archive");
    WriteHost(Host(TempFolder()) + "/other.tmp", "someone else's");
    WriteHost(Host(TempFolder()) + "/bat4.setup/setup.exe", "setup");
    // A distribution, the temporary folder itself, and a path that only starts there.
    EXPECT_TRUE(refused("C:\\dist\\setup.exe", {"-sC:\\dist", "-c"}));
    EXPECT_TRUE(refused(TempFolder() + "\\setup.exe", {"-sC:\\dist", "-c"}));
    EXPECT_TRUE(refused(TempFolder() + "\\..\\..\\..\\..\\dist\\setup.exe", {"-sC:\\dist", "-c"}));
    EXPECT_TRUE(refused(TempFolder() + "x\\setup.exe", {"-sC:\\dist", "-c"}));
    EXPECT_EQ(ReadHost(DriveC("dist/files.1")), "archive");
    EXPECT_EQ(ReadHost(Host(TempFolder()) + "/other.tmp"), "someone else's");
    // Inside it, but not asked for, asked for in a debug run, or without the loading program.
    const AnsiString copy = TempFolder() + "\\bat4.setup\\setup.exe";
    EXPECT_TRUE(refused(copy, {"-sC:\\dist"}));
    EXPECT_TRUE(refused(copy, {"-sC:\\dist", "-c", "-d"}));
    install_->SetUseLoadingProgram(false);
    EXPECT_TRUE(refused(copy, {"-sC:\\dist", "-c"}));
    install_->SetUseLoadingProgram(true);
    install_->OnBeforeCleanup = [](TCustomInstall*, bool& carryOn) { carryOn = false; };
    EXPECT_TRUE(refused(copy, {"-sC:\\dist", "-c"}));
    EXPECT_EQ(ReadHost(Host(copy)), "setup");
    EXPECT_TRUE(InsideTempFolder(copy));
    EXPECT_TRUE(InsideTempFolder(rtl::UpperCase(copy)));
}

TEST_F(RestartTest, AFirstRunAskedToEmptyTheListHasNoListToEmpty)
{
    bool good = false;
    install_->OnBeforeNotifyGoodInstall = [&](rtl::TObject*) { good = true; };
    install_->OnBeforeShutdown = [](TCustomInstall*, bool& quitOut) { quitOut = false; };
    install_->ParseCommandLine({"-sC:\\dist", "-n"});
    try {
        install_->Install();
    } catch (...) {
        vcl::GetApplication()->HandleException(install_);
    }
    EXPECT_TRUE(good);
    EXPECT_FALSE(install_->Aborted());
}
