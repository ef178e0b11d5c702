// Locked targets held by another process of ours, replaced at the next start on each kind of Windows;
// help, shared-DLL and COM registration of installed files, deferred and after the restart.
#include <gtest/gtest.h>

#include <filesystem>

#include "installer/support/TrwkRegistry.h"
#include "platform/rtl/IniFiles.h"
#include "platform/vcl/Registry.h"
#include "platform/win/Files.h"
#include "platform/win/Ole.h"
#include "platform/win/Paths.h"
#include "platform/win/Process.h"
#include "platform/win/Registry.h"
#include "platform/win/Settings.h"
#include "tests/installer/engine/EngineTestSupport.h"
#include "tests/platform/win/TypeLibraryBytes.h"

using rtl::AnsiString;
namespace fs = std::filesystem;

namespace {


class LockedFileTest : public FileEngineTest {
protected:
    void SetUp() override
    {
        FileEngineTest::SetUp();
        InstallKey() = "\\SOFTWARE\\ULO\\Install\\Locked";
        registerLog_ = Prefix() + "/register.log";
        setenv("SCRIVANE_TEST_REGISTER_LOG", registerLog_.c_str(), 1);
        unsetenv("SCRIVANE_TEST_REGISTER_RESULT");
    }
    void TearDown() override
    {
        unsetenv("SCRIVANE_TEST_REGISTER_LOG");
        unsetenv("SCRIVANE_TEST_REGISTER_RESULT");
        FileEngineTest::TearDown();
    }

    // A file of the directory compressed into the archive, with `old` in its place already.
    TCustomInstallFile* PreparedFile(const std::string& name, const std::string& content, const std::string& old)
    {
        TCustomInstallFile* file = AddFile(name, content);
        install_->Compress(CompressOption::ForceNetFilesLocal);
        WriteHost(InstalledHost("Docs/" + name), old);
        return file;
    }

    AnsiString Unfinished(const AnsiString& name) const
    {
        return RegReadString(win::HKEY_LOCAL_MACHINE, AddBackslash(InstallKey()) + "Unfinished", name, "");
    }

    static std::string HostOf(const AnsiString& windowsPath) { return *win::HostPathFromWindows(windowsPath); }

    static std::string Registrations(const std::string& log)
    {
        return fs::exists(log) ? ReadHost(log) : std::string();
    }

    std::string registerLog_;
};

}  // namespace

TEST_F(LockedFileTest, ATargetThatIsNotLockedIsReplacedInPlaceWithoutARestart)
{
    TCustomInstallFile* file = PreparedFile("guide.hlp", "new", "old");
    install_->InstallTree();
    EXPECT_EQ(ReadHost(InstalledHost("Docs/guide.hlp")), "new");
    EXPECT_FALSE(file->ReplacedAtRestart());
    EXPECT_FALSE(install_->Reboot());
    EXPECT_EQ(install_->UnfinishedCount(), 0);
}

TEST_F(LockedFileTest, On98ALockedTargetIsRenamedThroughWininit)
{
    win::SetWindowsKind(win::TWindowsKind::Win98);
    TCustomInstallFile* file = PreparedFile("guide.hlp", "new", "old");
    WriteHost(InstalledHost("Docs/guide.1"), "someone else's");
    THeldFile held("C:\\Program Files\\MyApplication\\Docs\\guide.hlp");
    ASSERT_TRUE(held.Held());
    std::vector<std::string> replacing;
    docs_->OnReplacing = [&](TCustomInstallFile* f) { replacing.push_back(f->Name()); };
    install_->InstallTree();

    EXPECT_EQ(ReadHost(InstalledHost("Docs/guide.hlp")), "old");
    EXPECT_EQ(ReadHost(InstalledHost("Docs/guide.2")), "new");
    EXPECT_EQ(ReadHost(InstalledHost("Docs/guide.1")), "someone else's");
    EXPECT_TRUE(file->ReplacedAtRestart());
    EXPECT_TRUE(install_->Reboot());
    EXPECT_EQ(replacing, (std::vector<std::string>{file->Name()}));
    const AnsiString shortTarget = ShortPathName("C:\\Program Files\\MyApplication\\Docs\\guide.hlp");
    const AnsiString shortNew = ShortPathName("C:\\Program Files\\MyApplication\\Docs\\guide.2");
    EXPECT_EQ(rtl::GetPrivateProfileString("Rename", shortTarget, "", 1000, WindowsDirectory() + "\\WININIT.INI"),
              shortNew);
    // What outlives the restart names the file the numbered one becomes.
    EXPECT_EQ(file->DestName(), "guide.hlp");
    EXPECT_EQ(RegReadString(win::HKEY_LOCAL_MACHINE, "\\SOFTWARE\\Microsoft\\Windows\\Help", "GUIDE.HLP", ""),
              "C:\\Program Files\\MyApplication\\Docs");
    EXPECT_EQ(Unfinished(file->Name()), "0");
}

TEST_F(LockedFileTest, OnXPALockedTargetIsMovedAtTheRestartEvenUnderAVersionRule)
{
    TCustomInstallFile* file = PreparedFile("tool.dll", "new library", "old library");
    file->SetOverwriteMode(owVersionDate);
    THeldFile held("C:\\Program Files\\MyApplication\\Docs\\tool.dll");
    ASSERT_TRUE(held.Held());
    install_->InstallTree();
    EXPECT_EQ(ReadHost(InstalledHost("Docs/tool.1")), "new library");
    const std::vector<win::TPendingMove> moves = win::PendingMoves();
    ASSERT_EQ(moves.size(), 1u);
    EXPECT_TRUE(rtl::SameText(moves[0].Source, "C:\\Program Files\\MyApplication\\Docs\\tool.1"));
    EXPECT_TRUE(rtl::SameText(moves[0].Target, "C:\\Program Files\\MyApplication\\Docs\\tool.dll"));
    EXPECT_TRUE(moves[0].ReplaceExisting);
    EXPECT_TRUE(install_->Reboot());
    EXPECT_FALSE(fs::exists(WindowsDirectory() + "\\WININIT.INI") &&
                 !rtl::GetPrivateProfileString("Rename", "x", "", 10, WindowsDirectory() + "\\WININIT.INI").empty());
}

TEST_F(LockedFileTest, WhenTheDelayedMoveFailsABatchFileRunsOnce)
{
    win::SetDelayedMovesFail(true);
    PreparedFile("tool.dll", "new library", "old library");
    {
        THeldFile held("C:\\Program Files\\MyApplication\\Docs\\tool.dll");
        ASSERT_TRUE(held.Held());
        install_->InstallTree();
    }

    const AnsiString batch = RegReadString(win::HKEY_CURRENT_USER,
                                           "\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", "TarnwickBatFile", "");
    ASSERT_FALSE(batch.empty());
    EXPECT_EQ(rtl::UpperCase(rtl::ExtractFileExt(batch)), ".BAT");
    const AnsiString shortTarget = ShortPathName("C:\\Program Files\\MyApplication\\Docs\\tool.dll");
    const AnsiString shortNew = ShortPathName("C:\\Program Files\\MyApplication\\Docs\\tool.1");
    rtl::TStringList lines;
    lines.LoadFromFile(batch);
    ASSERT_EQ(lines.Count(), 2);
    EXPECT_EQ(lines[0], "erase " + shortTarget);
    EXPECT_EQ(lines[1], "move " + shortNew + " " + shortTarget);
    EXPECT_EQ(Unfinished(batch), "1");
    EXPECT_TRUE(win::PendingMoves().empty());

    // Started after the restart, the batch file puts the new library in place.
    win::HANDLE process = nullptr;
    ASSERT_EQ(win::StartProcess(batch, "", &process), 0u);
    EXPECT_EQ(win::WaitForSingleObject(process, 20000), 0u);
    win::CloseHandle(process);
    EXPECT_EQ(ReadHost(InstalledHost("Docs/tool.dll")), "new library");
    EXPECT_FALSE(fs::exists(InstalledHost("Docs/tool.1")));
}

TEST_F(LockedFileTest, SharedDllCountersGrowUnderTheNameTheyWereCountedBy)
{
    TCustomInstallFile* counted = AddFile("counted.dll", "c");
    TCustomInstallFile* fresh = AddFile("fresh.dll", "f");
    counted->SetUpdateDLLCounter(true);
    fresh->SetUpdateDLLCounter(true);
    install_->Compress(CompressOption::ForceNetFilesLocal);
    WriteHost(InstalledHost("Docs/counted.dll"), "old");
    const AnsiString shortName = ShortPathName("C:\\Program Files\\MyApplication\\Docs\\counted.dll");
    vcl::TRegistry registry;
    registry.SetRootKey(win::HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(registry.OpenKey(SharedDLLsKey, true));
    registry.WriteInteger(shortName, 3);
    registry.CloseKey();
    install_->InstallTree();

    ASSERT_TRUE(registry.OpenKey(SharedDLLsKey, false));
    EXPECT_EQ(registry.ReadInteger(shortName), 4);
    EXPECT_FALSE(registry.ValueExists("C:\\Program Files\\MyApplication\\Docs\\counted.dll"));
    EXPECT_EQ(registry.ReadInteger("C:\\Program Files\\MyApplication\\Docs\\fresh.dll"), 1);
}

TEST_F(LockedFileTest, AKeptComLibraryIsRegisteredButNotTheProductsToRemove)
{
    WriteHost(DriveC("src/server.dll"), ReadHost(ENGINE_TEST_SERVER));
    TCustomInstallFile* server = TInstallFile::CreateInContainer(form_.get(), docs_, "C:\\src\\server.dll");
    server->SetName("Server");
    server->SetActiveX(true);
    server->SetOverwriteMode(owNever);
    install_->Compress(CompressOption::ForceNetFilesLocal);
    // Another product's library of that name is in the system folder already.
    WriteHost(HostOf(server->GetDestFileName()), ReadHost(ENGINE_TEST_SERVER));
    install_->InstallTree();
    EXPECT_EQ(Registrations(registerLog_), "registered\n");
    // Recorded, the uninstaller would unregister and delete the other product's library.
    const AnsiString key = UninstallKeyOf(install_->Information()->ProductName());
    EXPECT_EQ(RegReadString(win::HKEY_LOCAL_MACHINE, key + "\\ActiveX", "Entries", "<none>"), "<none>");

    // Written by the setup, it is recorded, once however often the setup runs.
    fs::remove(HostOf(server->GetDestFileName()));
    install_->InstallTree();
    install_->InstallTree();
    EXPECT_EQ(RegReadString(win::HKEY_LOCAL_MACHINE, key + "\\ActiveX", "Entries", "<none>"), "1");
    EXPECT_EQ(RegReadString(win::HKEY_LOCAL_MACHINE, key + "\\ActiveX", "File1", ""),
              server->GetDestFileName() + ";0");
}

TEST_F(LockedFileTest, ATestLibrarysDllRegisterServerRunsAndItsFailuresAreReported)
{
    WriteHost(DriveC("src/server.dll"), ReadHost(ENGINE_TEST_SERVER));
    TCustomInstallFile* server = TInstallFile::CreateInContainer(form_.get(), docs_, "C:\\src\\server.dll");
    server->SetName("Server");
    server->SetActiveX(true);
    install_->Compress(CompressOption::ForceNetFilesLocal);
    install_->InstallTree();
    EXPECT_EQ(Registrations(registerLog_), "registered\n");
    EXPECT_EQ(win::ComInitializeCount(), 0);

    setenv("SCRIVANE_TEST_REGISTER_RESULT", "5", 1);
    // A COM server is a system-wide library: it went to the system folder.
    const std::string installed = server->GetDestFileName();
    EXPECT_TRUE(rtl::SameText(installed, SystemDirectory() + "\\server.dll"));
    EXPECT_EQ(MessageOf<IECustomInstallFile>([&] { server->RegisterActiveX(); }),
              "Could not register the ActiveX component, " + installed +
                  ", because the DllRegisterServer function returned a value of 5. The file component is Server");

    // During a run that defers registrations, the failure waits for the end of the run.
    DeferRegistration() = true;
    install_->InstallTree();
    ASSERT_EQ(DeferredRegistrations().Count(), 1);
    EXPECT_EQ(DeferredRegistrations().Items(0), server);
    DeferRegistration() = false;

    WriteHost(HostOf(installed), ReadHost(ENGINE_TEST_PLAIN));
    EXPECT_EQ(MessageOf<IECustomInstallFile>([&] { server->RegisterActiveXLibrary(); }).find(
                  "Could not register the ActiveX component, " + installed +
                  ", because the DllRegisterServer function could not be found. The file component is Server."),
              0u);
    WriteHost(HostOf(installed), "not a library");
    EXPECT_EQ(MessageOf<IECustomInstallFile>([&] { server->RegisterActiveXLibrary(); }),
              "Could not register the ActiveX component, " + installed + ", because the LoadLibrary(" + installed +
                  ") procedure returned a value of 0. The file component is Server. The following value is the value "
                  "of the GetLastError function: 193");
    fs::remove(HostOf(installed));
    EXPECT_EQ(MessageOf<IECustomInstallFile>([&] { server->RegisterActiveXLibrary(); }),
              "Cannot compress,copy, or install the following file because it's destination directory is blank. File "
              "is :Server");
}

TEST_F(LockedFileTest, ALockedComServerIsRegisteredOnlyAfterTheRestart)
{
    WriteHost(DriveC("src/server.dll"), ReadHost(ENGINE_TEST_SERVER));
    TCustomInstallFile* server = TInstallFile::CreateInContainer(form_.get(), docs_, "C:\\src\\server.dll");
    server->SetName("Server");
    server->SetActiveX(true);
    server->SetInstallAttributes(TTrwkFileAttributesSet{tfaReadOnly});
    install_->Compress(CompressOption::ForceNetFilesLocal);
    const AnsiString installed = server->GetDestFileName();
    WriteHost(HostOf(installed), "old");
    {
        THeldFile held(installed);
        ASSERT_TRUE(held.Held());
        install_->InstallTree();
    }
    EXPECT_EQ(Registrations(registerLog_), "");
    EXPECT_EQ(Unfinished("Server"), "0");

    // The restart moves the new file into place; then the resume finishes the component.
    fs::rename(HostOf(rtl::ChangeFileExt(installed, ".1")), HostOf(installed));
    server->FinishAfterReboot();
    EXPECT_EQ(Registrations(registerLog_), "registered\n");
    EXPECT_NE(win::GetFileAttributes(installed.c_str()) & win::FILE_ATTRIBUTE_READONLY, 0u);
}

TEST_F(LockedFileTest, TypeLibrariesAreRegisteredOrFailWithTheOleError)
{
    // A type library with its identity, version 1.0, English, and a help file.
    const std::string library = TypeLibraryBytes({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}, 0x409, 1, 0,
                                                 "C:\\Help\\lib.hlp");
    WriteHost(DriveC("src/types.tlb"), library);
    TCustomInstallFile* types = AddFile("types.tlb", library);
    EXPECT_TRUE(types->ActiveX());
    install_->Compress(CompressOption::ForceNetFilesLocal);
    install_->InstallTree();
    const AnsiString key = "\\SOFTWARE\\Classes\\TypeLib\\{04030201-0605-0807-090A-0B0C0D0E0F10}\\1.0";
    EXPECT_EQ(RegReadString(win::HKEY_LOCAL_MACHINE, key + "\\409\\win32", "", ""), types->GetDestFileName());
    EXPECT_EQ(RegReadString(win::HKEY_LOCAL_MACHINE, key + "\\HELPDIR", "", ""), "C:\\Help");

    // The extension decides the routine whatever its case; an unreadable library fails with OLE's error.
    TCustomInstallFile* broken = AddFile("broken.tlb", "not a type library");
    WriteHost(HostOf(broken->GetDestFileName()), "not a type library");
    const std::string message = MessageOf<rtl::Exception>([&] { broken->RegisterActiveX(); });
    EXPECT_NE(message.find("Error loading type library/DLL"), std::string::npos) << message;
}

TEST_F(LockedFileTest, AFileHeldByAnotherProcessIsLockedUntilItLetsGo)
{
    WriteHost(DriveC("held.txt"), "held");
    WriteHost(DriveC("free.txt"), "free");
    const auto openFor = [](const char* path, win::DWORD access, win::DWORD share) {
        win::HANDLE handle = win::CreateFile(path, access, share, nullptr, win::OPEN_EXISTING, 0, nullptr);
        const win::DWORD error = handle == win::INVALID_HANDLE_VALUE ? win::GetLastError() : 0;
        if (handle != win::INVALID_HANDLE_VALUE)
            win::CloseHandle(handle);
        return error;
    };
    const win::DWORD everything = win::FILE_SHARE_READ | win::FILE_SHARE_WRITE | win::FILE_SHARE_DELETE;
    {
        THeldFile held("C:\\held.txt");
        ASSERT_TRUE(held.Held());
        EXPECT_EQ(openFor("C:\\held.txt", win::GENERIC_READ, everything), win::ERROR_SHARING_VIOLATION);
        EXPECT_EQ(openFor("C:\\held.txt", win::GENERIC_WRITE, everything), win::ERROR_SHARING_VIOLATION);
        EXPECT_EQ(openFor("C:\\held.txt", 0, 0), 0u);  // attributes only meet no share mode
        EXPECT_FALSE(win::DeleteFile("C:\\held.txt"));
        EXPECT_EQ(win::GetLastError(), win::ERROR_SHARING_VIOLATION);
        EXPECT_FALSE(win::MoveFileEx("C:\\free.txt", "C:\\held.txt", win::MOVEFILE_REPLACE_EXISTING));
        EXPECT_EQ(openFor("C:\\free.txt", win::GENERIC_WRITE, 0), 0u);
    }
    EXPECT_EQ(openFor("C:\\held.txt", win::GENERIC_WRITE, 0), 0u);
    EXPECT_TRUE(win::DeleteFile("C:\\held.txt"));
}

TEST_F(LockedFileTest, AnotherProcessMeetsTheShareModeOfThisOne)
{
    // This process reads the file sharing only reading: another process that wants to read it without
    // sharing anything is refused until this one lets go.
    WriteHost(DriveC("shared.txt"), "shared");
    win::HANDLE mine = win::CreateFile("C:\\shared.txt", win::GENERIC_READ, win::FILE_SHARE_READ, nullptr,
                                       win::OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(mine, win::INVALID_HANDLE_VALUE);
    {
        THeldFile other("C:\\shared.txt");  // asks for reading without sharing: refused while mine is open
        EXPECT_FALSE(other.Held());
    }
    win::CloseHandle(mine);
    THeldFile other("C:\\shared.txt");
    EXPECT_TRUE(other.Held());
}
