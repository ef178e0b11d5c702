// The driver's restart, resume and clean-up: the unfinished list read back, the RunOnce entry that starts
// the setup again with -r, the saved language, the restart itself, the resume run, and the clean-up of a
// setup program that runs from a temporary copy (-c).
#include "installer/engine/Install.h"

#include "installer/engine/InstallFiles.h"
#include "installer/support/ProgramLauncher.h"
#include "installer/support/TrwkRegistry.h"
#include "installer/support/TrwkTranslator.h"
#include "platform/vcl/Dialogs.h"
#include "platform/vcl/Registry.h"
#include "platform/win/Files.h"
#include "platform/win/Handles.h"
#include "platform/win/Paths.h"
#include "platform/win/Registry.h"
#include "platform/win/Restart.h"

using rtl::AnsiString;

namespace {

TTranslator* Translator()
{
    return dynamic_cast<TTranslator*>(GlobalTranslator());
}

bool RunReboot()
{
    const TOSVerType kind = WindowsVersion();
    if (kind == oswin95 || kind == oswin98 || kind == oswinME)
        return win::ExitWindowsEx(win::EWX_REBOOT, 0) != 0;
    if (kind != oswinNT && kind != oswin2K && kind != oswinXP)
        return false;
    win::HANDLE token = nullptr;
    if (!win::OpenProcessToken(win::GetCurrentProcess(), win::TOKEN_ADJUST_PRIVILEGES | win::TOKEN_QUERY, &token))
        return false;
    win::TOKEN_PRIVILEGES privileges{};
    const bool enabled = [&] {
        if (!win::LookupPrivilegeValue(nullptr, win::SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid))
            return false;
        privileges.PrivilegeCount = 1;
        privileges.Privileges[0].Attributes = win::SE_PRIVILEGE_ENABLED;
        return win::AdjustTokenPrivileges(token, win::FALSE, &privileges, 0, nullptr, nullptr) != 0;
    }();
    win::CloseHandle(token);
    return enabled && win::ExitWindowsEx(win::EWX_REBOOT, 0) != 0;
}

}  // namespace

// ---------------------------------------------------------------------------------------------------------
// The unfinished list and the RunOnce entry

void TCustomInstall::RequireInstallKey() const
{
    if (InstallKey().empty())
        throw IEInstall(AnsiString("The TInstall could not either write or read unfinished business from the registry"));
}

void TCustomInstall::ReadUnfinished(rtl::TStrings& list)
{
    list.Clear();
    RequireInstallKey();
    vcl::TRegistry registry;
    registry.SetRootKey(win::HKEY_LOCAL_MACHINE);
    if (!registry.OpenKey(AddBackslash(InstallKey()) + "Unfinished", false))
        return;
    rtl::TStringList names;
    registry.GetValueNames(names);
    for (int i = 0; i < names.Count(); ++i) {
        AnsiString data;
        try {
            data = registry.ReadString(names.Strings(i));
        } catch (const rtl::Exception&) {
            // Not a text: the resume names the line as an invalid entry.
        }
        list.Add(names.Strings(i) + ";" + data);
    }
    registry.CloseKey();
}

AnsiString TCustomInstall::RunOnceCommand() const
{
    const AnsiString setupExe = SetupExePath();
    const AnsiString folder = RemoveBackslash(rtl::ExtractFilePath(setupExe));
    AnsiString command = "\"" + OwnPath();
    if (SelfExtracting())
        command += "\" -r \"-e" + rtl::ExtractFileName(setupExe) + "\" \"-s" + folder + "\"";
    else
        command += "\" -r \"-s" + folder + "\"";
    if (HasSwitch(swCleanup))
        command += " -c";
    return command;
}

void TCustomInstall::RegisterRunOnce()
{
    if (!AddRunOnce("TarnwickUnfinished", RunOnceCommand(), true))
        throw IEInstall(AnsiString("Cannot register the install to be run on reboot in the RunOnce key in the registry"));
}

// ---------------------------------------------------------------------------------------------------------
// Language and restart

void TCustomInstall::SaveLanguage()
{
    TTranslator* translator = Translator();
    // Without a key there is nothing the resume could find it under.
    if (!translator || InstallKey().empty())
        return;
    RegWriteInteger(win::HKEY_LOCAL_MACHINE, InstallKey(), "Language",
                    static_cast<int32_t>(translator->TranslateIntoLanguage()));
}

TTrwkLanguage TCustomInstall::ReadLanguage()
{
    TTranslator* translator = Translator();
    const TTrwkLanguage fallback = translator ? translator->TranslateIntoLanguage() : tlUser;
    if (InstallKey().empty())
        return fallback;
    const int32_t stored = RegReadInteger(win::HKEY_LOCAL_MACHINE, InstallKey(), "Language", static_cast<int32_t>(fallback));
    if (stored < 0 || stored > static_cast<int32_t>(tlVietnamese))
        return fallback;
    return static_cast<TTrwkLanguage>(stored);
}

void TCustomInstall::RebootWindows()
{
    bool restarted = false;
    try {
        restarted = RunReboot();
    } catch (const rtl::Exception&) {
        // The kind of Windows could not be told: no restart.
    }
    if (restarted)
        return;
    if (OnFailedReboot)
        OnFailedReboot(this);
    else
        vcl::ShowMessage(TranslateText("Could not reboot windows. Please manually reboot windows."));
}

// ---------------------------------------------------------------------------------------------------------
// The resume

void TCustomInstall::FinishAfterReboot()
{
    installing_ = true;
    // The keys above the install key that were there before the first run stay with the key's removal.
    NoteParentKeys();
    InstallKey() = FindInstallKey(false);
    if (TTranslator* translator = Translator())
        translator->SetTranslateIntoLanguage(ReadLanguage());
    rtl::TStringList lines;
    ReadUnfinished(lines);
    ClearUnfinished();
    FinishUnfinished(lines);
    EndWell();
}

void TCustomInstall::FinishUnfinished(const rtl::TStrings& lines)
{
    for (int i = 0; i < lines.Count(); ++i) {
        const AnsiString& line = lines.Strings(i);
        const size_t separator = line.find(';');
        const AnsiString name = line.substr(0, separator);
        const AnsiString kindText = separator == AnsiString::npos ? AnsiString() : line.substr(separator + 1);
        // Only a whole number counts: a name cut at a ";" must stop here, not delete what its first part names.
        int kind = 0;
        if (!rtl::TryStrToInt(kindText, kind))
            throw IEInstall(Fmt, "There is an invalid entry for the unfinished install list %s", line);
        if (kind == 1) {
            win::DeleteFile(name.c_str());
        } else if (kind == 0) {
            for (TInstallContainer* container : InstallContainers().Snapshot()) {
                if (rtl::SameText(container->Name(), name))
                    container->FinishAfterReboot();
            }
        }
    }
}

// ---------------------------------------------------------------------------------------------------------
// Clean-up of a temporary copy

void TCustomInstall::TempCleanup()
{
    if (!useLoadingProgram_ || !switches_[swCleanup] || switches_[swDebug] || IsDesigning(this))
        return;
    const AnsiString folder = OwnFolder();
    // Only a copy the loading program unpacked is cleaned up: a -c given to a setup program in its
    // distribution, or anywhere else, must not empty that folder.
    if (!InsideTempFolder(folder))
        return;
    bool carryOn = true;
    if (OnBeforeCleanup)
        OnBeforeCleanup(this, carryOn);
    if (!carryOn)
        return;
    // The short names are taken while the files still exist.
    const AnsiString shortProgram = ShortOrGiven(OwnPath());
    const AnsiString shortFolder = ShortOrGiven(folder);
    RemoveFolderAndFiles(folder);
    try {
        WriteCleanupBatch(shortProgram, shortFolder);
    } catch (const rtl::Exception&) {
        // What is left goes when Windows starts again, the folder last.
        win::WIN32_FIND_DATA found{};
        win::HANDLE search = win::FindFirstFile((folder + "\\*.*").c_str(), &found);
        if (search != win::INVALID_HANDLE_VALUE) {
            do {
                const AnsiString name = found.cFileName;
                if (name != "." && name != ".." && !(found.dwFileAttributes & win::FILE_ATTRIBUTE_DIRECTORY))
                    win::MoveFileEx((folder + "\\" + name).c_str(), nullptr, win::MOVEFILE_DELAY_UNTIL_REBOOT);
            } while (win::FindNextFile(search, &found));
            win::FindClose(search);
        }
        win::MoveFileEx(folder.c_str(), nullptr, win::MOVEFILE_DELAY_UNTIL_REBOOT);
        throw;
    }
}

void TCustomInstall::TakeOverEarlierRun()
{
    if (earlierPath_.empty())
        return;
    // Its numbered copies would be moved over the files this run has just installed.
    std::set<AnsiString> installed;
    for (TCustomInstallFile* file : InstallFiles().Snapshot())
        installed.insert(rtl::UpperCase(CanonicalPath(file->FinalPath())));
    const auto earlier = [this](const win::TPendingMove& move) {
        for (const win::TPendingMove& listed : earlierMoves_) {
            if (listed.Source == move.Source && listed.Target == move.Target)
                return true;
        }
        return false;
    };
    // Only moves listed before this run began: this run's own wait for the restart stays.
    TakeBackDelayedMoves([&](const win::TPendingMove& move) {
        return earlier(move) && installed.count(rtl::UpperCase(CanonicalPath(move.Target))) > 0;
    });
    for (const AnsiString& batch : earlierBatches_) {
        RemoveRunOnceNaming(batch);
        win::DeleteFile(batch.c_str());
    }
    // Its resume would find no key of its own and fail at the next start.
    RemoveRunOnceNaming("\"" + earlierPath_ + "\"");
    const AnsiString folder = RemoveBackslash(rtl::ExtractFilePath(earlierPath_));
    if (InsideTempFolder(earlierPath_) && !rtl::SameText(CanonicalPath(folder), CanonicalPath(OwnFolder())))
        RemoveFolderAndFiles(folder);
    earlierPath_.clear();
    earlierBatches_.clear();
    earlierMoves_.clear();
}

void TCustomInstall::WriteCleanupBatch(const AnsiString& program, const AnsiString& folder)
{
    const AnsiString batch = rtl::ChangeFileExt(TempFileName(false), ".bat");
    const AnsiString shortBatch = AddBackslash(ShortOrGiven(rtl::ExtractFileDir(batch))) + rtl::ExtractFileName(batch);
    rtl::TStringList lines;
    lines.Add(rtl::Format("ERASE %s", program));
    lines.Add(rtl::Format("DELTREE /Y %s", folder));
    lines.Add(rtl::Format("ERASE %s", rtl::ChangeFileExt(shortBatch, ".PIF")));
    lines.Add(rtl::Format("ERASE %s", shortBatch));
    lines.SaveToFile(batch);
    cleanupBatch_ = batch;
    cleanupBatchPending_ = true;
}

void TCustomInstall::StartCleanupBatch()
{
    if (!cleanupBatchPending_)
        return;
    cleanupBatchPending_ = false;
    try {
        TProgramLauncher launcher(nullptr);
        launcher.SetFileName(cleanupBatch_);
        launcher.SetShowMode(smHide);
        launcher.Execute();
    } catch (const rtl::Exception&) {
        // The program ends anyway; its copy stays in the temporary folder.
    }
}
