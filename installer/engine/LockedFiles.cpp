#include "installer/engine/LockedFiles.h"

#include <cstdio>
#include <vector>

#include "installer/engine/Install.h"
#include "installer/engine/InstallFiles.h"
#include "installer/support/ProgramLauncher.h"
#include "installer/support/TrwkRegistry.h"
#include "installer/support/UninstallLayout.h"
#include "platform/rtl/IniFiles.h"
#include "platform/vcl/Registry.h"
#include "platform/win/Files.h"
#include "platform/win/Modules.h"
#include "platform/win/Ole.h"
#include "platform/win/Paths.h"
#include "platform/win/Platform.h"
#include "platform/win/Registry.h"
#include "platform/win/Version.h"

using rtl::AnsiString;

namespace {


using TDllRegisterServer = int32_t (*)();

bool IsLocked(const AnsiString& path)
{
    win::HANDLE handle = win::CreateFile(path.c_str(), win::DELETE,
                                         win::FILE_SHARE_READ | win::FILE_SHARE_WRITE | win::FILE_SHARE_DELETE,
                                         nullptr, win::OPEN_EXISTING, 0, nullptr);
    if (handle == win::INVALID_HANDLE_VALUE)
        return win::GetLastError() == win::ERROR_SHARING_VIOLATION;
    win::CloseHandle(handle);
    return false;
}

// The first "<name>.1", "<name>.2", ... that the folder does not hold.
AnsiString FreeNumberedName(const AnsiString& folder, const AnsiString& name)
{
    for (int n = 1;; ++n) {
        const AnsiString candidate = rtl::ChangeFileExt(name, "." + std::to_string(n));
        if (!rtl::FileExists(AddBackslash(folder) + candidate))
            return candidate;
    }
}

// Changes into a folder for the time of a registration and back; failures are ignored.
class TFolderChange {
public:
    explicit TFolderChange(const AnsiString& folder) : saved_(win::CurrentDirectory())
    {
        win::SetCurrentDirectory(folder.c_str());
    }
    ~TFolderChange() { win::SetCurrentDirectory(saved_.c_str()); }
    TFolderChange(const TFolderChange&) = delete;
    TFolderChange& operator=(const TFolderChange&) = delete;

private:
    std::string saved_;
};

class TOleSession {
public:
    TOleSession() { win::CoInitialize(nullptr); }
    ~TOleSession() { win::CoUninitialize(); }
    TOleSession(const TOleSession&) = delete;
    TOleSession& operator=(const TOleSession&) = delete;
};

void CheckOle(win::HRESULT result)
{
    if (result != win::S_OK)
        throw rtl::Exception(win::OleErrorText(result));
}

}  // namespace

bool OLESelfRegisterOf(const AnsiString& path)
{
    win::DWORD handle = 0;
    const win::DWORD size = win::GetFileVersionInfoSize(path.c_str(), &handle);
    if (size == 0)
        return false;
    std::vector<char> block(size);
    if (!win::GetFileVersionInfo(path.c_str(), handle, size, block.data()))
        return false;
    void* translation = nullptr;
    win::UINT length = 0;
    if (!win::VerQueryValue(block.data(), "\\VarFileInfo\\Translation", &translation, &length) || length < 4)
        return false;
    const auto* pair = static_cast<const uint8_t*>(translation);
    const unsigned language = pair[0] | (pair[1] << 8);
    const unsigned codePage = pair[2] | (pair[3] << 8);
    char key[64];
    std::snprintf(key, sizeof key, "\\StringFileInfo\\%04X%04X\\OLESelfRegister", language, codePage);
    void* value = nullptr;
    return win::VerQueryValue(block.data(), key, &value, &length) != 0;
}

bool TCustomInstallFile::IsOLESelfRegister()
{
    return OLESelfRegisterOf(SourcePath());
}

// ---------------------------------------------------------------------------------------------------------
// Clearing the way

void TCustomInstallFile::ReplaceLocked()
{
    if (OnReplacing)
        OnReplacing(this);
    BroadcastMessage(this, InstallMessage::Replacing, this);
    ReportToContainer(HookCode::FileReplacing, this);
    doInstall_ = true;
    const AnsiString folder = GetDestPath();
    const AnsiString target = AddBackslash(folder) + destName_;
    // A target that is not locked stays until the extraction puts its replacement in its place, so no
    // moment comes in which neither exists.
    if (!rtl::FileExists(target) || !IsLocked(target))
        return;
    replacedAtRestart_ = true;
    const AnsiString numbered = FreeNumberedName(folder, destName_);
    const AnsiString numberedPath = AddBackslash(folder) + numbered;
    finalName_ = destName_;
    destName_ = numbered;
    const AnsiString shortTarget = ShortPathName(target);
    const AnsiString shortNew = AddBackslash(rtl::ExtractFileDir(shortTarget)) + numbered;
    TCustomInstall* driver = InstallDriver();
    const TOSVerType os = WindowsVersion();
    if (os == oswin95 || os == oswin98 || os == oswinME) {
        const AnsiString wininit = AddBackslash(WindowsDirectory()) + "WININIT.INI";
        rtl::WritePrivateProfileString("Rename", shortTarget, shortNew, wininit);
        if (driver)
            driver->SetReboot(true);
        return;
    }
    if (driver)
        driver->SetReboot(true);
    const win::DWORD atRestart = win::MOVEFILE_REPLACE_EXISTING | win::MOVEFILE_DELAY_UNTIL_REBOOT;
    if (win::MoveFileEx(numberedPath.c_str(), target.c_str(), atRestart) || !driver)
        return;
    const AnsiString batch = rtl::ChangeFileExt(TempFileName(false), ".bat");
    rtl::TStringList lines;
    lines.Add("erase " + shortTarget);
    lines.Add("move " + shortNew + " " + shortTarget);
    lines.SaveToFile(batch);
    driver->AddUnfinished(batch, 1);
    if (!AddRunOnce("TarnwickBatFile", batch, true))
        throw IECustomInstallFile(Fmt,
                                  "%s cannot register a routine in the register to move the files after the computer is "
                                  "reboot",
                                  Name(), batch);
}

// ---------------------------------------------------------------------------------------------------------
// Finishing steps

void TCustomInstallFile::FinishInstall()
{
    if (registerAsHelp_) {
        helpNotes_.BeforeKey(win::HKEY_LOCAL_MACHINE, HelpFilesKey);
        helpNotes_.BeforeValue(win::HKEY_LOCAL_MACHINE, HelpFilesKey, HelpValueName());
        RegWriteString(win::HKEY_LOCAL_MACHINE, HelpFilesKey, HelpValueName(), HelpValueData());
        helpRegistered_ = true;
    }
    // A file another product counts on is shared whatever this file's settings say: counted, it outlives
    // this product's uninstall for as long as the other still counts on it.
    if ((updateDLLCounter_ || sharedBefore_) && !UpdateSharedDLLCount())
        throw IECustomInstallFile(Fmt, "Cannot update the DLL count for the following file :%s:", fileName_);
    TCustomInstall* driver = InstallDriver();
    if (replacedAtRestart_ && driver) {
        driver->AddUnfinished(Name(), 0);
        return;
    }
    if (!activeX_)
        return;
    try {
        RegisterActiveX();
    } catch (const rtl::Exception&) {
        if (!DeferRegistration())
            throw;
        DeferredRegistrations().Add(this);
    }
}

AnsiString TCustomInstallFile::HelpValueName() const
{
    return rtl::UpperCase(destName_);
}

AnsiString TCustomInstallFile::HelpValueData()
{
    return RemoveBackslash(GetDestPath());
}

void TCustomInstallFile::FinishAfterReboot()
{
    if (activeX_)
        RegisterActiveX();
    SetFileAttributesChecked(InstalledPath(), installAttributes_);
}

bool TCustomInstallFile::HasSharedCount()
{
    vcl::TRegistry registry(win::KEY_READ);
    registry.SetRootKey(win::HKEY_LOCAL_MACHINE);
    if (!registry.OpenKeyReadOnly(SharedDLLsKey))
        return false;
    const AnsiString full = GetDestFileName();
    AnsiString shortName;
    try {
        shortName = ShortPathName(full);
    } catch (const rtl::Exception&) {
    }
    for (const AnsiString& name : {shortName, full}) {
        try {
            if (!name.empty() && registry.ValueExists(name) && registry.ReadInteger(name) >= 1)
                return true;
        } catch (const rtl::Exception&) {
            // Not a number: nobody's count.
        }
    }
    return false;
}

bool TCustomInstallFile::UpdateSharedDLLCount()
{
    vcl::TRegistry registry;
    registry.SetRootKey(win::HKEY_LOCAL_MACHINE);
    if (!registry.OpenKey(SharedDLLsKey, true))
        throw IECustomInstallFile(Fmt,
                                  "Could not open the key SharedDLLs key in the registry. File component %s. "
                                  "GetLastError return: %d",
                                  Name(), static_cast<int>(win::GetLastError()));
    const AnsiString full = GetDestFileName();
    AnsiString shortName;
    try {
        shortName = ShortPathName(full);
    } catch (const rtl::Exception&) {
    }
    if (!shortName.empty() && registry.ValueExists(shortName)) {
        registry.WriteInteger(shortName, registry.ReadInteger(shortName) + 1);
        countedName_ = shortName;
        return true;
    }
    const int count = registry.ValueExists(full) ? registry.ReadInteger(full) : 0;
    registry.WriteInteger(full, count + 1);
    countedName_ = full;
    return true;
}

// ---------------------------------------------------------------------------------------------------------
// COM registration

void TCustomInstallFile::RegisterActiveX()
{
    const AnsiString ext = rtl::UpperCase(rtl::ExtractFileExt(fileName_));
    if (ext == ".EXE")
        RegisterActiveXServer();
    else if (ext == ".TLB")
        RegisterTypeLibrary();
    else
        RegisterActiveXLibrary();
}

AnsiString TCustomInstallFile::RequireInstalledFile()
{
    const AnsiString installed = InstalledPath();
    if (rtl::Trim(GetDestPath() + destName_).empty() || !rtl::FileExists(installed))
        RaiseBlankDestination();
    return installed;
}

void TCustomInstallFile::RegisterActiveXLibrary()
{
    const AnsiString installed = RequireInstalledFile();
    TOleSession ole;
    TFolderChange folder(GetDestPath());
    win::HMODULE library = win::LoadLibrary(installed.c_str());
    if (!library)
        throw IECustomInstallFile(Fmt,
                                  "Could not register the ActiveX component, %s, because the LoadLibrary(%s) procedure "
                                  "returned a value of 0. The file component is %s. The following value is the value of "
                                  "the GetLastError function: %d",
                                  installed, installed, Name(), static_cast<int>(win::GetLastError()));
    struct TFree {
        win::HMODULE module;
        ~TFree() { win::FreeLibrary(module); }
    } freeLibrary{library};
    auto registerServer = reinterpret_cast<TDllRegisterServer>(win::GetProcAddress(library, "DllRegisterServer"));
    if (!registerServer)
        throw IECustomInstallFile(Fmt,
                                  "Could not register the ActiveX component, %s, because the DllRegisterServer function "
                                  "could not be found. The file component is %s. The following value is the value of "
                                  "the GetLastError function: %d",
                                  installed, Name(), static_cast<int>(win::GetLastError()));
    const int32_t result = registerServer();
    if (result != 0)
        throw IECustomInstallFile(Fmt,
                                  "Could not register the ActiveX component, %s, because the DllRegisterServer function "
                                  "returned a value of %d. The file component is %s",
                                  installed, result, Name());
}

void TCustomInstallFile::RegisterTypeLibrary()
{
    const AnsiString installed = RequireInstalledFile();
    TFolderChange folder(GetDestPath());
    win::TTypeLib* library = nullptr;
    CheckOle(win::LoadTypeLib(installed.c_str(), &library));
    struct TRelease {
        win::TTypeLib* library;
        ~TRelease() { library->Release(); }
    } release{library};
    win::TLIBATTR* attributes = nullptr;
    CheckOle(library->GetLibAttr(&attributes));
    std::string helpFile;
    const win::HRESULT documented = library->GetDocumentation(-1, nullptr, nullptr, nullptr, &helpFile);
    const win::HRESULT registered =
        documented == win::S_OK
            ? win::RegisterTypeLib(library, installed.c_str(), rtl::ExtractFileDir(helpFile).c_str())
            : documented;
    library->ReleaseTLibAttr(attributes);
    CheckOle(registered);
}

void TCustomInstallFile::RegisterActiveXServer()
{
    const AnsiString installed = RequireInstalledFile();
    TFolderChange folder(GetDestPath());
    TProgramLauncher launcher(nullptr);
    launcher.SetFileName(installed);
    launcher.SetParameters("/REGSERVER");
    launcher.SetShowMode(smHide);
    launcher.SetStartDir(GetDestPath());
    launcher.Execute();
}
