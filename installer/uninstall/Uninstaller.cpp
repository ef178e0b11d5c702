#include "installer/uninstall/Uninstaller.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>

#include "installer/support/PendingWork.h"
#include "installer/support/ProgramLauncher.h"
#include "installer/support/TrwkRegistry.h"
#include "installer/support/TrwkSystem.h"
#include "installer/support/UninstallLayout.h"
#include "platform/win/Files.h"
#include "platform/win/Handles.h"
#include "platform/win/KnownFolders.h"
#include "platform/win/Modules.h"
#include "platform/win/Ole.h"
#include "platform/win/Paths.h"
#include "platform/win/Platform.h"
#include "platform/win/Process.h"
#include "platform/win/Registry.h"
#include "platform/win/Shell.h"
#include "platform/win/SystemInfo.h"

using rtl::AnsiString;

namespace {

const win::HKEY Machine = win::HKEY_LOCAL_MACHINE;
// How long a server program may take to unregister itself before its file is left for a later run.
constexpr win::DWORD ServerTimeout = 120000;

// The entries "<prefix><n>" of a key by their number, whatever its "Entries" says: a count that was
// overwritten or garbled loses nothing.
std::map<int, AnsiString> NumberedNames(const std::vector<AnsiString>& names, const AnsiString& prefix)
{
    std::map<int, AnsiString> numbered;
    for (const AnsiString& name : names) {
        if (name.size() <= prefix.size() || !rtl::SameText(name.substr(0, prefix.size()), prefix))
            continue;
        const AnsiString digits = name.substr(prefix.size());
        int n = 0;
        if (std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }) &&
            rtl::TryStrToInt(digits, n))
            numbered[n] = name;
    }
    return numbered;
}

// The readers open for reading only: what the user may not change is still seen as it is, not taken for
// gone.

// The subkeys (or values) of a key; none when it cannot be opened.
std::vector<AnsiString> NamesUnder(win::HKEY root, const AnsiString& key, bool keys)
{
    vcl::TRegistry registry(win::KEY_READ);
    registry.SetRootKey(root);
    if (!registry.OpenKeyReadOnly(key))
        return {};
    return RegistryNames(registry, keys);
}

bool ValueExists(win::HKEY root, const AnsiString& key, const AnsiString& name)
{
    vcl::TRegistry registry(win::KEY_READ);
    registry.SetRootKey(root);
    return registry.OpenKeyReadOnly(key) && registry.ValueExists(name);
}

// True when the value is gone afterwards, also when it never was there.
bool DeleteValue(win::HKEY root, const AnsiString& key, const AnsiString& name)
{
    if (!ValueExists(root, key, name))
        return true;
    TtrwkRegistry registry;
    registry.SetRootKey(root);
    return registry.OpenKey(key, false) && registry.DeleteValue(name);
}

bool KeyExists(win::HKEY root, const AnsiString& key)
{
    TtrwkRegistry registry;
    registry.SetRootKey(root);
    return registry.KeyExists(key);
}

AnsiString ParentOf(const AnsiString& path)
{
    const size_t slash = path.find_last_of('\\');
    return slash == AnsiString::npos ? AnsiString() : path.substr(0, slash);
}

// A recorded key as a path below its root: one leading "\", none trailing, so that relative and absolute
// spellings name the same key and compare alike.
AnsiString AbsoluteKey(const AnsiString& key)
{
    const size_t first = key.find_first_not_of('\\');
    if (first == AnsiString::npos)
        return {};
    const size_t last = key.find_last_not_of('\\');
    return "\\" + key.substr(first, last - first + 1);
}

const char* RootName(TRootKeys root)
{
    static const char* const names[] = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_CONFIG", "HKEY_CURRENT_USER",
                                         "HKEY_DYN_DATA",     "HKEY_LOCAL_MACHINE",  "HKEY_USERS"};
    return names[static_cast<int>(root)];
}

win::HKEY RootHandle(TRootKeys root)
{
    TtrwkRegistry registry;
    SetRootKeyEnum(registry, root);
    return registry.RootKey();
}

// Keys that Windows itself keeps, even empty: the hives below a root, the system's own branch, and the
// class registrations' shared parents.
bool IsKeptKey(TRootKeys root, const AnsiString& key)
{
    const AnsiString path = key.empty() || key[0] != '\\' ? "\\" + key : key;
    if (root == hkClassesRoot) {
        for (const char* shared : {"\\CLSID", "\\Interface", "\\TypeLib", "\\AppID", "\\*"}) {
            if (rtl::SameText(path, shared))
                return true;
        }
        return false;
    }
    const AnsiString system = "\\SOFTWARE\\Microsoft\\";
    return ParentOf(path).empty() || rtl::SameText(path.substr(0, system.size()), system) ||
           rtl::SameText(path + "\\", system);
}

AnsiString OwnPath()
{
    char path[win::MAX_PATH + 1] = {};
    const win::DWORD length = win::GetModuleFileName(nullptr, path, sizeof path);
    return length > 0 && length < sizeof path ? AnsiString(path, length) : AnsiString();
}

bool InUse(win::DWORD error) { return error == win::ERROR_SHARING_VIOLATION || error == win::ERROR_LOCK_VIOLATION; }

AnsiString FileStayed(const AnsiString& path, win::DWORD error)
{
    if (InUse(error))
        return path + " is in use and could not be removed.";
    return path + " could not be removed: " + rtl::SysErrorMessage(error);
}

// One "File<n>" of a "Files" or "ActiveX" record.
struct TFileEntry {
    AnsiString Subkey;
    AnsiString Name;
    AnsiString Path;
    AnsiString Kind;  // "ActiveX" only: "0" a library, "1" a server program, "2" a type library
};

class TUninstaller {
public:
    TUninstaller(const AnsiString& key, TUninstallReport& report) : key_(key), report_(report) {}

    void LowerSharedCounters();
    // A setup run of the product still waiting for the restart: its numbered files and their delayed
    // moves onto the product's files, its RunOnce commands, its temporary copy and its key, so that the
    // next start brings nothing of the product back.
    void TakeBackPendingRestart();
    void RemoveFiles();
    void RemoveActiveX();
    void RemoveRegistryKeys();
    void Finish();
    // The run's registry changes could not be written at its end.
    void RegistryNotWritten(win::LONG error);

private:
    // Every entry of every subkey of a record, the last written first.
    std::vector<TFileEntry> FileEntries(const char* record);
    void DropEntry(const TFileEntry& entry);
    // A file a shared counter keeps: true with `keepEntry` when its counter could not be lowered, so a
    // later run has to see its entry again.
    bool IsSpared(const AnsiString& path, bool& keepEntry) const;
    // Whether the file's entry may go: it is gone now, was gone already, or stays for other programs.
    bool RemoveFile(const AnsiString& path);
    // False when the file must stay for now: its server program is still at work, or its registration
    // could not be taken back.
    bool Unregister(const TFileEntry& entry);
    bool UnregisterServer(const AnsiString& path);
    bool UnregisterTypeLibrary(const AnsiString& path);
    // Each folder upward that the removal left empty, short of the folders Windows itself keeps.
    // False when one of them stays empty: its removal failed.
    bool RemoveEmptyFolders(AnsiString folder);
    bool IsKeptFolder(const AnsiString& folder);
    enum class TRecordState { Pending, Removed, Waiting, Failed };
    // One "RegistryKey<n>"; Usable when it names a key and a root.
    struct TRegistryRecord {
        AnsiString Path;
        AnsiString Key;
        TRootKeys Root = hkLocalMachine;
        bool Usable = false;
        TRecordState State = TRecordState::Pending;
    };
    TRecordState RemoveRegistryRecord(const TRegistryRecord& record);
    bool RemoveRecordedValue(win::HKEY root, const AnsiString& key, const AnsiString& shown,
                             const AnsiString& previous, const AnsiString& name);
    TRecordState RemoveRecordedKeys(const TRegistryRecord& record);
    // The key, then its parents while empty, up to and with `created`; Waiting when one stays non-empty
    // for what another record still names.
    TRecordState RemoveCreatedKeys(const TRegistryRecord& record, const AnsiString& created);
    // Whether another record not yet removed names `key` or a key below it that still exists.
    bool IsHeldByRecord(const TRegistryRecord& record, const AnsiString& key) const;
    // The key itself when empty, then its parents while empty, short of the keys Windows itself keeps.
    void RemoveEmptyKeys(TRootKeys root, AnsiString key);
    // Record subkeys that hold no entry any more.
    void PruneRecords();
    bool IsProductsUninstaller(const AnsiString& uninstallString);
    // False when it could not be written (said in the report).
    bool WriteCleanupBatch();
    // Takes back a batch written for an end that did not come.
    void DropCleanupBatch();

    AnsiString key_;
    TUninstallReport& report_;
    std::vector<AnsiString> keptFolders_;
    std::map<AnsiString, bool> spared_;  // long path of a counted file -> its entry stays
    std::vector<TRegistryRecord> records_;
    AnsiString cleanupPlaceholder_;
};

// ---------------------------------------------------------------------------------------------------------
// Shared libraries

void TUninstaller::LowerSharedCounters()
{
    const AnsiString record = key_ + "\\" + SharedDLLsRecord;
    for (const AnsiString& counter : NamesUnder(Machine, record, false)) {
        const int contribution = RegReadInteger(Machine, record, counter, 0);
        const int remaining = RegReadInteger(Machine, SharedDLLsKey, counter, 0) - contribution;
        const AnsiString file = CanonicalPath(counter);
        if (remaining <= 0) {
            // Ours alone: a later run that finds the count gone already removes nothing twice.
            if (!DeleteValue(Machine, SharedDLLsKey, counter)) {
                spared_[rtl::UpperCase(file)] = true;
                report_.Failed.push_back("The use count of " + file + " could not be lowered; the file stays.");
                continue;
            }
            report_.Removed.push_back("use count " + counter);
            if (!DeleteValue(Machine, record, counter))
                report_.Failed.push_back("The record of the use count of " + file + " could not be removed.");
            continue;
        }
        // Someone else's too, whatever happens next: out of our records before the count changes.
        spared_[rtl::UpperCase(file)] = false;
        for (const char* files : {FilesRecord, ActiveXRecord}) {
            for (const TFileEntry& entry : FileEntries(files)) {
                if (rtl::SameText(CanonicalPath(entry.Path), file))
                    DropEntry(entry);
            }
        }
        // The record goes before the count is lowered: a run that stopped between the two must not
        // lower it a second time, which would take the file from under the other programs.
        if (!DeleteValue(Machine, record, counter)) {
            report_.Failed.push_back("The record of the use count of " + file + " could not be removed.");
            continue;
        }
        try {
            RegWriteInteger(Machine, SharedDLLsKey, counter, remaining);
        } catch (const rtl::Exception&) {
            report_.Failed.push_back("The use count of " + file + " could not be lowered.");
            try {
                RegWriteInteger(Machine, record, counter, contribution);
            } catch (const rtl::Exception&) {
            }
            continue;
        }
        report_.Kept.push_back("file " + file + ": still used by other programs (" + rtl::IntToStr(remaining) + ")");
    }
}

bool TUninstaller::IsSpared(const AnsiString& path, bool& keepEntry) const
{
    if (spared_.empty())
        return false;
    const auto it = spared_.find(rtl::UpperCase(CanonicalPath(path)));
    if (it == spared_.end())
        return false;
    keepEntry = it->second;
    return true;
}

// ---------------------------------------------------------------------------------------------------------
// Files

std::vector<TFileEntry> TUninstaller::FileEntries(const char* record)
{
    const bool activeX = rtl::SameText(record, ActiveXRecord);
    std::vector<TFileEntry> entries;
    // A later subkey took the entries an earlier one could not, so it was written later.
    for (int k = MaxRecordSubkeys - 1; k >= 0; --k) {
        const AnsiString subkey = RecordSubkey(key_, record, k);
        vcl::TRegistry registry(win::KEY_READ);
        registry.SetRootKey(Machine);
        if (!registry.OpenKeyReadOnly(subkey))
            continue;
        const auto numbered = NumberedNames(RegistryNames(registry, false), RecordFilePrefix);
        for (auto it = numbered.rbegin(); it != numbered.rend(); ++it) {
            TFileEntry entry{subkey, it->second, {}, {}};
            try {
                entry.Path = registry.ReadString(it->second);
            } catch (const rtl::Exception&) {
                // Not a text: nothing it could name is removed, and the entry goes.
            }
            const size_t semicolon = activeX ? entry.Path.find_last_of(';') : AnsiString::npos;
            if (semicolon != AnsiString::npos) {
                entry.Kind = entry.Path.substr(semicolon + 1);
                entry.Path.erase(semicolon);
            }
            entries.push_back(std::move(entry));
        }
    }
    return entries;
}

void TUninstaller::DropEntry(const TFileEntry& entry)
{
    if (!DeleteValue(Machine, entry.Subkey, entry.Name))
        report_.Failed.push_back("The record entry " + entry.Subkey + "\\" + entry.Name + " could not be removed.");
}

void TUninstaller::TakeBackPendingRestart()
{
    // The product's files are looked up only when a move waits: most uninstalls meet none.
    std::optional<std::set<AnsiString>> files;
    const auto isProducts = [&](const win::TPendingMove& move) {
        if (!files) {
            files.emplace();
            for (const TFileEntry& entry : FileEntries(FilesRecord)) {
                if (!entry.Path.empty())
                    files->insert(rtl::UpperCase(CanonicalPath(entry.Path)));
            }
        }
        return files->count(rtl::UpperCase(CanonicalPath(move.Target))) > 0;
    };
    for (const AnsiString& source : TakeBackDelayedMoves(isProducts))
        report_.Removed.push_back("file " + source);
    std::vector<AnsiString> madeKeys;
    for (const AnsiString& name : NamesUnder(Machine, SetupRunsKey, true)) {
        const AnsiString run = AnsiString(SetupRunsKey) + "\\" + name;
        if (!rtl::SameText(RegReadString(Machine, run, SetupRunProductValue, ""), key_))
            continue;
        const AnsiString copy = RegReadString(Machine, run, "Path", "");
        const AnsiString made = RegReadString(Machine, run, SetupRunMadeKeysValue, "");
        if (!copy.empty()) {
            RemoveRunOnceNaming("\"" + copy + "\"");
            if (InsideTempFolder(copy) && RemoveFolderAndFiles(ParentOf(copy)))
                report_.Removed.push_back("folder " + ParentOf(copy));
        }
        // Kind 1 of the run's unfinished list: a batch that would make the moves at the next start.
        const AnsiString unfinished = run + "\\Unfinished";
        for (const AnsiString& batch : NamesUnder(Machine, unfinished, false)) {
            if (RegReadString(Machine, unfinished, batch, "") != "1")
                continue;
            RemoveRunOnceNaming(batch);
            win::DeleteFile(batch.c_str());
        }
        TtrwkRegistry registry;
        registry.SetRootKey(Machine);
        if (registry.DeleteKeyTree(run) || !registry.KeyExists(run)) {
            report_.Removed.push_back("key HKEY_LOCAL_MACHINE" + run);
            for (size_t from = 0; from <= made.size();) {
                const size_t end = std::min(made.find(';', from), made.size());
                if (end > from)
                    madeKeys.push_back(made.substr(from, end - from));
                from = end + 1;
            }
        } else {
            report_.Failed.push_back("The setup's record " + run + " could not be removed.");
        }
    }
    // Innermost first; one that was there before the setup, or holds another run, stays.
    for (const AnsiString& key : madeKeys) {
        vcl::TRegistry registry(win::KEY_READ);
        registry.SetRootKey(Machine);
        if (!registry.OpenKeyReadOnly(key))
            continue;
        const bool empty = !registry.HasSubKeys() && RegistryNames(registry, false).empty();
        registry.CloseKey();
        if (empty && registry.DeleteKey(key))
            report_.Removed.push_back("key HKEY_LOCAL_MACHINE" + key);
    }
}

void TUninstaller::RemoveFiles()
{
    // Last installed first, so links go before the files they point at.
    for (const TFileEntry& entry : FileEntries(FilesRecord)) {
        if (RemoveFile(entry.Path))
            DropEntry(entry);
    }
}

void TUninstaller::RemoveActiveX()
{
    for (const TFileEntry& entry : FileEntries(ActiveXRecord)) {
        bool keepEntry = false;
        if (IsSpared(entry.Path, keepEntry)) {
            if (!keepEntry)
                DropEntry(entry);
            continue;
        }
        const win::DWORD attributes = win::GetFileAttributes(entry.Path.c_str());
        const bool isFile = attributes != win::INVALID_FILE_ATTRIBUTES && !(attributes & win::FILE_ATTRIBUTE_DIRECTORY);
        if (isFile && !Unregister(entry))
            continue;
        if (RemoveFile(entry.Path))
            DropEntry(entry);
    }
}

bool TUninstaller::Unregister(const TFileEntry& entry)
{
    if (entry.Kind == "1")
        return UnregisterServer(entry.Path);
    if (entry.Kind == "2")
        return UnregisterTypeLibrary(entry.Path);
    if (entry.Kind != "0")
        return true;
    // A self-registering library takes its registration back; one that cannot be loaded, or has nothing
    // to take back, is removed anyway. One whose unregistration fails stays with its registration, which
    // would otherwise name a file that is gone.
    win::HMODULE module = win::LoadLibrary(entry.Path.c_str());
    if (!module)
        return true;
    using TUnregister = int32_t (*)();  // an HRESULT
    int32_t result = 0;
    if (auto unregister = reinterpret_cast<TUnregister>(win::GetProcAddress(module, "DllUnregisterServer")))
        result = unregister();
    win::FreeLibrary(module);
    if (result < 0) {
        report_.Failed.push_back(entry.Path + " stays registered: DllUnregisterServer failed (" +
                                 "0x" + rtl::IntToHex(static_cast<uint32_t>(result), 8) + ").");
        return false;
    }
    return true;
}

bool TUninstaller::UnregisterServer(const AnsiString& path)
{
    TProgramLauncher launcher(nullptr);
    launcher.SetFileName(path);
    launcher.SetParameters("/UNREGSERVER");
    AnsiString commandLine = launcher.CommandLine();
    win::STARTUPINFO startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = win::STARTF_USESHOWWINDOW;
    startup.wShowWindow = win::SW_HIDE;
    win::PROCESS_INFORMATION started{};
    const AnsiString folder = ParentOf(path);
    // A program that cannot start cannot unregister either: it is removed all the same.
    if (!win::CreateProcess(path.c_str(), commandLine.data(), nullptr, nullptr, win::FALSE, win::NORMAL_PRIORITY_CLASS,
                            nullptr, folder.empty() ? nullptr : folder.c_str(), &startup, &started))
        return true;
    const bool ended = win::WaitForSingleObject(started.hProcess, ServerTimeout) == win::WAIT_OBJECT_0;
    win::CloseHandle(started.hProcess);
    win::CloseHandle(started.hThread);
    if (!ended)
        report_.Failed.push_back(path + " is in use and could not be removed: it did not finish unregistering.");
    return ended;
}

bool TUninstaller::UnregisterTypeLibrary(const AnsiString& path)
{
    win::TTypeLib* library = nullptr;
    if (win::LoadTypeLib(path.c_str(), &library) != win::S_OK)
        return true;
    const win::TLIBATTR attributes = library->Attributes;
    library->Release();
    // Only a registration that still names this file is ours to take back.
    const AnsiString registered =
        RegReadString(win::HKEY_CLASSES_ROOT,
                      "\\" + win::TypeLibPathKey(attributes.guid, attributes.wMajorVerNum, attributes.wMinorVerNum,
                                                 attributes.lcid),
                      "", "");
    if (registered.empty() || !rtl::SameText(CanonicalPath(registered), CanonicalPath(path)))
        return true;
    if (win::UnRegisterTypeLib(attributes.guid, attributes.wMajorVerNum, attributes.wMinorVerNum, attributes.lcid,
                               attributes.syskind) != win::S_OK) {
        report_.Failed.push_back("The type library registration " + win::GuidText(attributes.guid) + " of " + path +
                                 " could not be removed; the file stays with it.");
        return false;
    }
    report_.Removed.push_back("type library registration " + win::GuidText(attributes.guid));
    return true;
}

bool TUninstaller::RemoveFile(const AnsiString& path)
{
    bool keepEntry = false;
    if (IsSpared(path, keepEntry))
        return !keepEntry;
    if (path.empty())
        return true;
    const win::DWORD attributes = win::GetFileAttributes(path.c_str());
    if (attributes == win::INVALID_FILE_ATTRIBUTES) {
        // Gone already, or never installed; a folder an earlier run could not remove goes now.
        return RemoveEmptyFolders(ParentOf(path));
    }
    if (attributes & win::FILE_ATTRIBUTE_DIRECTORY) {
        report_.Kept.push_back("folder " + path + ": not the file that was installed there, left alone");
        return true;
    }
    const bool readOnly = attributes & win::FILE_ATTRIBUTE_READONLY;
    if (readOnly)
        win::SetFileAttributes(path.c_str(), attributes & ~win::FILE_ATTRIBUTE_READONLY);
    if (!win::DeleteFile(path.c_str())) {
        const win::DWORD error = win::GetLastError();
        if (readOnly)
            win::SetFileAttributes(path.c_str(), attributes);
        report_.Failed.push_back(FileStayed(path, error));
        if (InUse(error))
            report_.InUse.push_back(path);
        return false;
    }
    report_.Removed.push_back("file " + path);
    // A folder that stays empty keeps the entry, so that a later run still knows of it.
    return RemoveEmptyFolders(ParentOf(path));
}

// A folder that exists and holds nothing.
bool IsEmptyFolder(const AnsiString& folder)
{
    const win::DWORD attributes = win::GetFileAttributes(folder.c_str());
    if (attributes == win::INVALID_FILE_ATTRIBUTES || !(attributes & win::FILE_ATTRIBUTE_DIRECTORY))
        return false;
    win::WIN32_FIND_DATA found{};
    const win::HANDLE search = win::FindFirstFile((folder + "\\*").c_str(), &found);
    if (search == win::INVALID_HANDLE_VALUE)
        return true;
    bool empty = true;
    do {
        const AnsiString name = found.cFileName;
        if (name != "." && name != "..")
            empty = false;
    } while (empty && win::FindNextFile(search, &found));
    win::FindClose(search);
    return empty;
}

bool TUninstaller::IsKeptFolder(const AnsiString& folder)
{
    if (keptFolders_.empty()) {
        std::vector<AnsiString> known = {win::WindowsFolder, win::SystemFolder, win::ProgramFilesFolder,
                                         win::CommonFilesFolder, win::UserProfileFolder(), win::TempFolder()};
        for (const win::TKnownFolder& shell : win::ShellFolders())
            known.push_back(shell.Path);
        for (AnsiString path : known) {
            for (; !path.empty(); path = ParentOf(path))
                keptFolders_.push_back(path);
        }
    }
    // A drive's root ("C:") has no parent and is never removed.
    return ParentOf(folder).empty() || std::any_of(keptFolders_.begin(), keptFolders_.end(),
                                                   [&folder](const AnsiString& kept) { return rtl::SameText(kept, folder); });
}

bool TUninstaller::RemoveEmptyFolders(AnsiString folder)
{
    for (; !folder.empty() && !IsKeptFolder(folder); folder = ParentOf(folder)) {
        if (win::RemoveDirectory(folder.c_str())) {
            report_.Removed.push_back("folder " + folder);
            continue;
        }
        const win::DWORD error = win::GetLastError();
        // Said outright, without listing a folder that may hold thousands of files for each one removed.
        if (error == win::ERROR_DIR_NOT_EMPTY)
            return true;  // it holds what is not ours to remove
        // Gone already (an earlier run got this far): the folders above may still be ours to remove.
        if (win::GetFileAttributes(folder.c_str()) == win::INVALID_FILE_ATTRIBUTES)
            continue;
        if (!IsEmptyFolder(folder))
            return true;  // it holds what is not ours to remove
        report_.Failed.push_back("The folder " + folder + " could not be removed: " + rtl::SysErrorMessage(error));
        return false;
    }
    return true;
}

// ---------------------------------------------------------------------------------------------------------
// Registry

void TUninstaller::RemoveRegistryKeys()
{
    records_.clear();
    for (int k = MaxRecordSubkeys - 1; k >= 0; --k) {
        const AnsiString subkey = RecordSubkey(key_, RegistryKeysRecord, k);
        const auto numbered = NumberedNames(NamesUnder(Machine, subkey, true), RegistryKeyPrefix);
        for (auto it = numbered.rbegin(); it != numbered.rend(); ++it) {
            TRegistryRecord record;
            record.Path = subkey + "\\" + it->second;
            record.Key = AbsoluteKey(RegReadString(Machine, record.Path, RegistryKeyPath, ""));
            const int root = RegReadInteger(Machine, record.Path, RegistryKeyRoot, -1);
            record.Usable = !record.Key.empty() && root >= 0 && root <= static_cast<int>(hkUsers);
            record.Root = record.Usable ? static_cast<TRootKeys>(root) : hkLocalMachine;
            records_.push_back(std::move(record));
        }
    }
    // The last written first. A record whose created key another record still holds waits for that one
    // and is tried again once a round has removed something.
    for (bool progress = true; progress;) {
        progress = false;
        for (TRegistryRecord& record : records_) {
            if (record.State == TRecordState::Removed || record.State == TRecordState::Failed)
                continue;
            record.State = RemoveRegistryRecord(record);
            progress = progress || record.State == TRecordState::Removed;
        }
    }
    for (const TRegistryRecord& record : records_) {
        if (record.State == TRecordState::Waiting)
            report_.Failed.push_back(AnsiString("The registry key ") + RootName(record.Root) + record.Key +
                                     " stays until what could not be removed below it is gone.");
    }
}

TUninstaller::TRecordState TUninstaller::RemoveRegistryRecord(const TRegistryRecord& record)
{
    TtrwkRegistry registry;
    registry.SetRootKey(Machine);
    if (!record.Usable) {
        // Broken off while the setup wrote it (that run failed): it names nothing that could be removed,
        // and kept it would keep the product from ever being removed.
        if (!registry.DeleteKeyTree(record.Path) && registry.KeyExists(record.Path)) {
            report_.Failed.push_back("The incomplete uninstall record " + record.Path + " could not be removed.");
            return TRecordState::Failed;
        }
        report_.Removed.push_back("incomplete record " + record.Path);
        return TRecordState::Removed;
    }
    const AnsiString entries = record.Path + "\\" + RecordEntries;
    const AnsiString previous = record.Path + "\\" + RegistryKeyPrevious;
    bool valuesGone = true;
    for (const AnsiString& name : NamesUnder(Machine, entries, false)) {
        if (!RemoveRecordedValue(RootHandle(record.Root), record.Key, RootName(record.Root) + record.Key, previous,
                                 name)) {
            valuesGone = false;
            continue;
        }
        // The entry before its old value: with the entry kept, a later run puts the old value back again
        // instead of deleting it.
        if (!DeleteValue(Machine, entries, name)) {
            report_.Failed.push_back("The record entry " + entries + "\\" + name + " could not be removed.");
            valuesGone = false;
            continue;
        }
        DeleteValue(Machine, previous, name);  // what stays goes with the record
    }
    // A value that stayed keeps its key anyway; the record waits for a later run.
    if (!valuesGone)
        return TRecordState::Failed;
    const TRecordState keys = RemoveRecordedKeys(record);
    if (keys != TRecordState::Removed)
        return keys;
    if (!registry.DeleteKeyTree(record.Path) && registry.KeyExists(record.Path)) {
        report_.Failed.push_back("The uninstall record " + record.Path + " could not be removed.");
        return TRecordState::Failed;
    }
    return TRecordState::Removed;
}

bool TUninstaller::RemoveRecordedValue(win::HKEY root, const AnsiString& key, const AnsiString& shown,
                                       const AnsiString& previous, const AnsiString& name)
{
    const AnsiString value = shown + "\\" + (name.empty() ? AnsiString("(Default)") : name);
    if (ValueExists(Machine, previous, name)) {
        // It was there before the setup wrote it: it gets its old type and data back.
        if (!RegCopyValue(Machine, previous, name, root, key)) {
            report_.Failed.push_back("The registry value " + value + " could not be restored.");
            return false;
        }
        report_.Removed.push_back("restored value " + value);
        return true;
    }
    if (!ValueExists(root, key, name))
        return true;
    if (!DeleteValue(root, key, name)) {
        report_.Failed.push_back("The registry value " + value + " could not be removed.");
        return false;
    }
    report_.Removed.push_back("value " + value);
    return true;
}

TUninstaller::TRecordState TUninstaller::RemoveRecordedKeys(const TRegistryRecord& record)
{
    // Records of older setups do not say which keys they created: empty ones are guessed to be theirs.
    if (!ValueExists(Machine, record.Path, RegistryKeyCreated)) {
        RemoveEmptyKeys(record.Root, record.Key);
        return TRecordState::Removed;
    }
    const AnsiString created = AbsoluteKey(RegReadString(Machine, record.Path, RegistryKeyCreated, ""));
    if (created.empty())
        return TRecordState::Removed;  // the key was there before the setup
    return RemoveCreatedKeys(record, created);
}

bool TUninstaller::IsHeldByRecord(const TRegistryRecord& record, const AnsiString& key) const
{
    for (const TRegistryRecord& other : records_) {
        if (&other == &record || !other.Usable || other.Root != record.Root || other.State == TRecordState::Removed)
            continue;
        const bool below = rtl::SameText(other.Key, key) ||
                           rtl::SameText(other.Key.substr(0, key.size() + 1), key + "\\");
        if (below && KeyExists(RootHandle(other.Root), other.Key))
            return true;
    }
    return false;
}

TUninstaller::TRecordState TUninstaller::RemoveCreatedKeys(const TRegistryRecord& record, const AnsiString& created)
{
    const AnsiString& key = record.Key;
    const TRootKeys root = record.Root;
    // A created key that is not the key or above it says nothing about the key: nothing is removed.
    if (!rtl::SameText(key, created) && !rtl::SameText(key.substr(0, created.size() + 1), created + "\\"))
        return TRecordState::Removed;
    for (AnsiString current = key; current.size() >= created.size(); current = ParentOf(current)) {
        vcl::TRegistry registry(win::KEY_READ);
        SetRootKeyEnum(registry, root);
        if (!registry.OpenKeyReadOnly(current))
            continue;
        const bool empty = !registry.HasSubKeys() && RegistryNames(registry, false).empty();
        registry.CloseKey();
        if (!empty) {
            // What another record of ours still names keeps the record, so that the key goes with it later;
            // what others put there keeps the key for good.
            return IsHeldByRecord(record, current) ? TRecordState::Waiting : TRecordState::Removed;
        }
        if (!registry.DeleteKey(current)) {
            report_.Failed.push_back(AnsiString("The registry key ") + RootName(root) + current +
                                     " could not be removed.");
            return TRecordState::Failed;
        }
        report_.Removed.push_back(AnsiString("key ") + RootName(root) + current);
    }
    return TRecordState::Removed;
}

void TUninstaller::RemoveEmptyKeys(TRootKeys root, AnsiString key)
{
    for (; !key.empty() && !IsKeptKey(root, key); key = ParentOf(key)) {
        vcl::TRegistry registry(win::KEY_READ);
        SetRootKeyEnum(registry, root);
        if (!registry.OpenKeyReadOnly(key))
            continue;
        const bool empty = !registry.HasSubKeys() && RegistryNames(registry, false).empty();
        registry.CloseKey();
        if (!empty || !registry.DeleteKey(key))
            return;
        report_.Removed.push_back(AnsiString("key ") + RootName(root) + key);
    }
}

// ---------------------------------------------------------------------------------------------------------
// The product's key and the uninstaller itself

void TUninstaller::Finish()
{
    if (!report_.Failed.empty()) {
        // The key stays for Add/Remove Programs to run the uninstaller again, with what is left to do.
        PruneRecords();
        return;
    }
    // The batch that removes the uninstaller first: without it the key stays, naming the uninstaller,
    // so that the next run finishes the work instead of leaving the program behind unlisted.
    if (IsProductsUninstaller(RegReadString(Machine, key_, "UninstallString", "")) && !WriteCleanupBatch()) {
        PruneRecords();
        return;
    }
    TtrwkRegistry registry;
    registry.SetRootKey(Machine);
    if (!registry.DeleteKeyTree(key_) && registry.KeyExists(key_)) {
        report_.Failed.push_back("The uninstall record " + key_ + " could not be removed.");
        DropCleanupBatch();
        PruneRecords();
        return;
    }
    report_.Removed.push_back("key " + key_);
}

// A subkey that still lists something keeps its "Entries", so that a later setup run numbers on after it.
void TUninstaller::PruneRecords()
{
    const auto prune = [](const AnsiString& subkey, bool empty) {
        if (empty)
            RegDeleteKeyTree(Machine, subkey);
    };
    for (int k = 0; k < MaxRecordSubkeys; ++k) {
        for (const char* record : {FilesRecord, ActiveXRecord}) {
            const AnsiString subkey = RecordSubkey(key_, record, k);
            if (KeyExists(Machine, subkey))
                prune(subkey, NumberedNames(NamesUnder(Machine, subkey, false), RecordFilePrefix).empty());
        }
        const AnsiString subkey = RecordSubkey(key_, RegistryKeysRecord, k);
        if (KeyExists(Machine, subkey))
            prune(subkey, NumberedNames(NamesUnder(Machine, subkey, true), RegistryKeyPrefix).empty());
    }
    const AnsiString shared = key_ + "\\" + SharedDLLsRecord;
    if (KeyExists(Machine, shared))
        prune(shared, NamesUnder(Machine, shared, false).empty());
}

bool TUninstaller::IsProductsUninstaller(const AnsiString& uninstallString)
{
    const std::vector<std::string> arguments = win::SplitCommandLine(uninstallString);
    const AnsiString own = OwnPath();
    return !arguments.empty() && !arguments.front().empty() && !own.empty() &&
           rtl::SameText(CanonicalPath(arguments.front()), CanonicalPath(own));
}

bool TUninstaller::WriteCleanupBatch()
{
    // A running program cannot remove its own file: a batch started after the end does, with short names
    // taken now, while the files still exist.
    const AnsiString program = OwnPath();
    rtl::TStringList lines;
    lines.Add("ERASE " + ShortOrGiven(program));
    // RD fails on the first folder that still holds something, and every parent with it.
    for (AnsiString folder = ParentOf(program); !folder.empty() && !IsKeptFolder(folder); folder = ParentOf(folder))
        lines.Add("RD " + ShortOrGiven(folder));
    AnsiString placeholder;
    try {
        // The placeholder keeps the name taken until the batch, which removes it too, has run.
        placeholder = TempFileName(true);
        const AnsiString batch = rtl::ChangeFileExt(placeholder, ".bat");
        const AnsiString shortFolder = AddBackslash(ShortOrGiven(rtl::ExtractFileDir(batch)));
        lines.Add("ERASE " + shortFolder + rtl::ExtractFileName(placeholder));
        lines.Add("ERASE " + shortFolder + rtl::ChangeFileExt(rtl::ExtractFileName(batch), ".PIF"));
        lines.Add("ERASE " + shortFolder + rtl::ExtractFileName(batch));
        cleanupPlaceholder_ = placeholder;
        report_.CleanupBatch = batch;
        lines.SaveToFile(batch);
        return true;
    } catch (const rtl::Exception& error) {
        report_.Failed.push_back("The removal of " + program + " could not be prepared: " + error.what());
        DropCleanupBatch();
        return false;
    }
}

// The records on disk still list everything: a second run finds the files gone and finishes the work, so
// the uninstaller must stay for it.
void TUninstaller::RegistryNotWritten(win::LONG error)
{
    report_.Failed.push_back("The registry could not be written (error " + std::to_string(error) + ").");
    DropCleanupBatch();
}

void TUninstaller::DropCleanupBatch()
{
    for (const AnsiString& file : {report_.CleanupBatch, cleanupPlaceholder_}) {
        if (!file.empty())
            win::DeleteFile(file.c_str());
    }
    report_.CleanupBatch.clear();
    cleanupPlaceholder_.clear();
}

AnsiString RerunValueName(const AnsiString& productName)
{
    return UninstallRerunPrefix + rtl::Trim(productName);
}

// A run of this uninstaller left for the next start of Windows: this run takes over its work.
void DropRerun(const AnsiString& productName)
{
    for (win::HKEY root : {win::HKEY_CURRENT_USER, win::HKEY_LOCAL_MACHINE})
        DeleteValue(root, RunOnceValuesKey, RerunValueName(productName));
}

}  // namespace

bool RunUninstall(const AnsiString& productName, TUninstallReport& report)
{
    const AnsiString key = UninstallKeyOf(productName);
    DropRerun(productName);
    if (!KeyExists(Machine, key))
        return false;
    TUninstaller uninstaller(key, report);
    // The whole run writes each registry file once, at its end.
    win::TRegistryBatch batch;
    // Counters first: a file that others still count on is neither unregistered nor removed.
    uninstaller.LowerSharedCounters();
    uninstaller.TakeBackPendingRestart();
    uninstaller.RemoveFiles();
    uninstaller.RemoveActiveX();
    uninstaller.RemoveRegistryKeys();
    uninstaller.Finish();
    // A running program frees its files when it ends, at the latest when Windows starts again: then
    // nothing holds them, and a silent run finishes the work (the key and this program with it).
    if (!report.InUse.empty()) {
        const AnsiString own = OwnPath();
        report.RerunAtRestart =
            !own.empty() && AddRunOnce(RerunValueName(productName), "\"" + own + "\" /S \"" + productName + "\"", false);
    }
    if (const win::LONG error = batch.End(); error != win::ERROR_SUCCESS)
        uninstaller.RegistryNotWritten(error);
    return true;
}

std::string StayedMessage(const TUninstallReport& report)
{
    std::string text = "Some items could not be removed:";
    for (const std::string& line : report.Failed)
        text += "\n" + line;
    if (report.RerunAtRestart && report.InUse.size() == report.Failed.size())
        text += "\nThey stay until the program using them has ended. They are removed when Windows starts again, "
                "or run the uninstall again once the program has ended.";
    else
        text += "\nRun the uninstall again later to remove them.";
    return text;
}

bool StartCleanupBatch(const TUninstallReport& report)
{
    if (report.CleanupBatch.empty())
        return true;
    AnsiString commandLine = "\"" + report.CleanupBatch + "\"";
    win::STARTUPINFO startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = win::STARTF_USESHOWWINDOW;
    startup.wShowWindow = win::SW_HIDE;
    win::PROCESS_INFORMATION started{};
    // Started in the temporary folder: a current folder inside the uninstaller's own would keep it.
    const AnsiString folder = rtl::ExtractFileDir(report.CleanupBatch);
    if (!win::CreateProcess(report.CleanupBatch.c_str(), commandLine.data(), nullptr, nullptr, win::FALSE, 0, nullptr,
                            folder.c_str(), &startup, &started))
        return false;
    win::CloseHandle(started.hProcess);
    win::CloseHandle(started.hThread);
    return true;
}

bool ParseUninstallArguments(const std::vector<std::string>& arguments, TUninstallArguments& parsed, std::string& error)
{
    parsed = TUninstallArguments();
    bool haveProduct = false;
    for (const std::string& argument : arguments) {
        if (!haveProduct && (argument == "/S" || argument == "/s")) {
            parsed.Silent = true;
        } else if (!haveProduct) {
            parsed.ProductName = argument;
            haveProduct = true;
        } else {
            error = "Unexpected argument: " + argument;
            return false;
        }
    }
    if (!haveProduct) {
        error = "Usage: uninstall [/S] \"product name\"";
        return false;
    }
    return true;
}
