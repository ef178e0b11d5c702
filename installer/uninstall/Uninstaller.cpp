#include "installer/uninstall/Uninstaller.h"

#include <algorithm>
#include <map>

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

// The subkeys (or values) of a key; none when it cannot be opened.
std::vector<AnsiString> NamesUnder(win::HKEY root, const AnsiString& key, bool keys)
{
    TtrwkRegistry registry;
    registry.SetRootKey(root);
    if (!registry.OpenKeyReadOnly(key))
        return {};
    return RegistryNames(registry, keys);
}

bool ValueExists(win::HKEY root, const AnsiString& key, const AnsiString& name)
{
    TtrwkRegistry registry;
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

// The full path with every name as its folder spells it, so that a short and a long spelling of one file
// compare alike; only while the file exists.
AnsiString LongForm(const AnsiString& path)
{
    char full[win::MAX_PATH + 1] = {};
    const win::DWORD length = win::GetFullPathName(path.c_str(), sizeof full, full, nullptr);
    if (length == 0 || length >= sizeof full)
        return path;
    char spelled[win::MAX_PATH + 1] = {};
    const win::DWORD longLength = win::GetLongPathName(full, spelled, sizeof spelled);
    return longLength > 0 && longLength < sizeof spelled ? AnsiString(spelled) : AnsiString(full);
}

AnsiString OwnPath()
{
    char path[win::MAX_PATH + 1] = {};
    const win::DWORD length = win::GetModuleFileName(nullptr, path, sizeof path);
    return length > 0 && length < sizeof path ? AnsiString(path, length) : AnsiString();
}

AnsiString FileStayed(const AnsiString& path, win::DWORD error)
{
    if (error == win::ERROR_SHARING_VIOLATION || error == win::ERROR_LOCK_VIOLATION)
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
    void RemoveFiles();
    void RemoveActiveX();
    void RemoveRegistryKeys();
    void Finish();

private:
    // Every entry of every subkey of a record, the last written first.
    std::vector<TFileEntry> FileEntries(const char* record);
    void DropEntry(const TFileEntry& entry);
    // A file a shared counter keeps: true with `keepEntry` when its counter could not be lowered, so a
    // later run has to see its entry again.
    bool IsSpared(const AnsiString& path, bool& keepEntry) const;
    // Whether the file's entry may go: it is gone now, was gone already, or stays for other programs.
    bool RemoveFile(const AnsiString& path);
    // False when the file must stay for now (its server program is still at work).
    bool Unregister(const TFileEntry& entry);
    bool UnregisterServer(const AnsiString& path);
    void UnregisterTypeLibrary(const AnsiString& path);
    // Each folder upward that the removal left empty, short of the folders Windows itself keeps.
    void RemoveEmptyFolders(AnsiString folder);
    bool IsKeptFolder(const AnsiString& folder);
    void RemoveRegistryRecord(const AnsiString& record);
    bool RemoveRecordedValue(win::HKEY root, const AnsiString& key, const AnsiString& shown,
                             const AnsiString& previous, const AnsiString& name);
    bool RemoveRecordedKeys(TRootKeys root, const AnsiString& key, const AnsiString& record);
    // The key, then its parents while empty, up to and with `created`; false when one cannot be deleted.
    bool RemoveCreatedKeys(TRootKeys root, const AnsiString& key, const AnsiString& created);
    // The key itself when empty, then its parents while empty, short of the keys Windows itself keeps.
    void RemoveEmptyKeys(TRootKeys root, AnsiString key);
    // Record subkeys that hold no entry any more.
    void PruneRecords();
    bool IsProductsUninstaller(const AnsiString& uninstallString);
    void WriteCleanupBatch();

    AnsiString key_;
    TUninstallReport& report_;
    std::vector<AnsiString> keptFolders_;
    std::map<AnsiString, bool> spared_;  // long path of a counted file -> its entry stays
};

// ---------------------------------------------------------------------------------------------------------
// Shared libraries

void TUninstaller::LowerSharedCounters()
{
    const AnsiString record = key_ + "\\" + SharedDLLsRecord;
    for (const AnsiString& counter : NamesUnder(Machine, record, false)) {
        const int contribution = RegReadInteger(Machine, record, counter, 0);
        const int remaining = RegReadInteger(Machine, SharedDLLsKey, counter, 0) - contribution;
        const AnsiString file = RemoveBackslash(LongForm(counter));
        if (remaining > 0) {
            // Someone else's too, whatever happens next: out of our records before the count changes.
            spared_[rtl::UpperCase(file)] = false;
            for (const char* files : {FilesRecord, ActiveXRecord}) {
                for (const TFileEntry& entry : FileEntries(files)) {
                    if (rtl::SameText(RemoveBackslash(LongForm(entry.Path)), file))
                        DropEntry(entry);
                }
            }
        }
        bool lowered = false;
        if (remaining > 0) {
            try {
                RegWriteInteger(Machine, SharedDLLsKey, counter, remaining);
                lowered = true;
            } catch (const rtl::Exception&) {
            }
        } else {
            lowered = DeleteValue(Machine, SharedDLLsKey, counter);
        }
        if (!lowered) {
            spared_[rtl::UpperCase(file)] = true;
            report_.Failed.push_back("The use count of " + file + " could not be lowered; the file stays.");
            continue;
        }
        if (remaining > 0)
            report_.Kept.push_back("file " + file + ": still used by other programs (" + rtl::IntToStr(remaining) +
                                   ")");
        else
            report_.Removed.push_back("use count " + counter);
        if (!DeleteValue(Machine, record, counter))
            report_.Failed.push_back("The record of the use count of " + file + " could not be removed.");
    }
}

bool TUninstaller::IsSpared(const AnsiString& path, bool& keepEntry) const
{
    if (spared_.empty())
        return false;
    const auto it = spared_.find(rtl::UpperCase(RemoveBackslash(LongForm(path))));
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
        TtrwkRegistry registry;
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
    if (entry.Kind == "2") {
        UnregisterTypeLibrary(entry.Path);
        return true;
    }
    if (entry.Kind != "0")
        return true;
    // A self-registering library takes its registration back; one that cannot is removed anyway.
    if (win::HMODULE module = win::LoadLibrary(entry.Path.c_str())) {
        using TUnregister = long (*)();
        if (auto unregister = reinterpret_cast<TUnregister>(win::GetProcAddress(module, "DllUnregisterServer")))
            unregister();
        win::FreeLibrary(module);
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

void TUninstaller::UnregisterTypeLibrary(const AnsiString& path)
{
    win::TTypeLib* library = nullptr;
    if (win::LoadTypeLib(path.c_str(), &library) != win::S_OK)
        return;
    const win::TLIBATTR attributes = library->Attributes;
    library->Release();
    // Only a registration that still names this file is ours to take back.
    const AnsiString registered =
        RegReadString(win::HKEY_CLASSES_ROOT,
                      "\\" + win::TypeLibPathKey(attributes.guid, attributes.wMajorVerNum, attributes.wMinorVerNum,
                                                 attributes.lcid),
                      "", "");
    if (registered.empty() || !rtl::SameText(LongForm(registered), LongForm(path)))
        return;
    if (win::UnRegisterTypeLib(attributes.guid, attributes.wMajorVerNum, attributes.wMinorVerNum, attributes.lcid,
                               attributes.syskind) == win::S_OK)
        report_.Removed.push_back("type library registration " + win::GuidText(attributes.guid));
}

bool TUninstaller::RemoveFile(const AnsiString& path)
{
    bool keepEntry = false;
    if (IsSpared(path, keepEntry))
        return !keepEntry;
    if (path.empty())
        return true;
    const win::DWORD attributes = win::GetFileAttributes(path.c_str());
    if (attributes == win::INVALID_FILE_ATTRIBUTES)
        return true;  // gone already, or never installed
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
        return false;
    }
    report_.Removed.push_back("file " + path);
    RemoveEmptyFolders(ParentOf(path));
    return true;
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

void TUninstaller::RemoveEmptyFolders(AnsiString folder)
{
    for (; !folder.empty() && !IsKeptFolder(folder); folder = ParentOf(folder)) {
        if (!win::RemoveDirectory(folder.c_str()))
            return;  // not empty, or not ours to remove
        report_.Removed.push_back("folder " + folder);
    }
}

// ---------------------------------------------------------------------------------------------------------
// Registry

void TUninstaller::RemoveRegistryKeys()
{
    for (int k = MaxRecordSubkeys - 1; k >= 0; --k) {
        const AnsiString subkey = RecordSubkey(key_, RegistryKeysRecord, k);
        const auto records = NumberedNames(NamesUnder(Machine, subkey, true), RegistryKeyPrefix);
        for (auto it = records.rbegin(); it != records.rend(); ++it)
            RemoveRegistryRecord(subkey + "\\" + it->second);
    }
}

void TUninstaller::RemoveRegistryRecord(const AnsiString& record)
{
    const AnsiString key = AbsoluteKey(RegReadString(Machine, record, RegistryKeyPath, ""));
    const int rootOrdinal = RegReadInteger(Machine, record, RegistryKeyRoot, -1);
    if (key.empty() || rootOrdinal < 0 || rootOrdinal > static_cast<int>(hkUsers)) {
        report_.Failed.push_back("The uninstall record " + record + " names no usable registry key.");
        return;
    }
    const auto root = static_cast<TRootKeys>(rootOrdinal);
    const AnsiString entries = record + "\\" + RecordEntries;
    const AnsiString previous = record + "\\" + RegistryKeyPrevious;
    bool valuesGone = true;
    for (const AnsiString& name : NamesUnder(Machine, entries, false)) {
        if (!RemoveRecordedValue(RootHandle(root), key, RootName(root) + key, previous, name)) {
            valuesGone = false;
            continue;
        }
        if (!DeleteValue(Machine, entries, name)) {
            report_.Failed.push_back("The record entry " + entries + "\\" + name + " could not be removed.");
            valuesGone = false;
        }
    }
    // A value that stayed keeps its key anyway; the record waits for a later run.
    if (!valuesGone || !RemoveRecordedKeys(root, key, record))
        return;
    TtrwkRegistry registry;
    registry.SetRootKey(Machine);
    if (!registry.DeleteKeyTree(record))
        report_.Failed.push_back("The uninstall record " + record + " could not be removed.");
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
        DeleteValue(Machine, previous, name);
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

bool TUninstaller::RemoveRecordedKeys(TRootKeys root, const AnsiString& key, const AnsiString& record)
{
    // Records of older setups do not say which keys they created: empty ones are guessed to be theirs.
    if (!ValueExists(Machine, record, RegistryKeyCreated)) {
        RemoveEmptyKeys(root, key);
        return true;
    }
    const AnsiString created = AbsoluteKey(RegReadString(Machine, record, RegistryKeyCreated, ""));
    if (created.empty())
        return true;  // the key was there before the setup
    return RemoveCreatedKeys(root, key, created);
}

bool TUninstaller::RemoveCreatedKeys(TRootKeys root, const AnsiString& key, const AnsiString& created)
{
    // A created key that is not the key or above it says nothing about the key: nothing is removed.
    if (!rtl::SameText(key, created) && !rtl::SameText(key.substr(0, created.size() + 1), created + "\\"))
        return true;
    for (AnsiString current = key; current.size() >= created.size(); current = ParentOf(current)) {
        TtrwkRegistry registry;
        SetRootKeyEnum(registry, root);
        if (!registry.OpenKeyReadOnly(current))
            continue;
        const bool empty = !registry.HasSubKeys() && RegistryNames(registry, false).empty();
        registry.CloseKey();
        if (!empty)
            return true;
        if (!registry.DeleteKey(current)) {
            report_.Failed.push_back(AnsiString("The registry key ") + RootName(root) + current +
                                     " could not be removed.");
            return false;
        }
        report_.Removed.push_back(AnsiString("key ") + RootName(root) + current);
    }
    return true;
}

void TUninstaller::RemoveEmptyKeys(TRootKeys root, AnsiString key)
{
    for (; !key.empty() && !IsKeptKey(root, key); key = ParentOf(key)) {
        TtrwkRegistry registry;
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
    const AnsiString uninstallString = RegReadString(Machine, key_, "UninstallString", "");
    TtrwkRegistry registry;
    registry.SetRootKey(Machine);
    if (!registry.DeleteKeyTree(key_) && registry.KeyExists(key_)) {
        report_.Failed.push_back("The uninstall record " + key_ + " could not be removed.");
        return;
    }
    report_.Removed.push_back("key " + key_);
    if (IsProductsUninstaller(uninstallString))
        WriteCleanupBatch();
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
           rtl::SameText(LongForm(arguments.front()), LongForm(own));
}

void TUninstaller::WriteCleanupBatch()
{
    // A running program cannot remove its own file: a batch started after the end does, with short names
    // taken now, while the files still exist.
    const AnsiString program = OwnPath();
    rtl::TStringList lines;
    lines.Add("ERASE " + ShortOrGiven(program));
    // RD fails on the first folder that still holds something, and every parent with it.
    for (AnsiString folder = ParentOf(program); !folder.empty() && !IsKeptFolder(folder); folder = ParentOf(folder))
        lines.Add("RD " + ShortOrGiven(folder));
    try {
        const AnsiString batch = rtl::ChangeFileExt(TempFileName(false), ".bat");
        const AnsiString shortBatch =
            AddBackslash(ShortOrGiven(rtl::ExtractFileDir(batch))) + rtl::ExtractFileName(batch);
        lines.Add("ERASE " + rtl::ChangeFileExt(shortBatch, ".PIF"));
        lines.Add("ERASE " + shortBatch);
        lines.SaveToFile(batch);
        report_.CleanupBatch = batch;
    } catch (const rtl::Exception&) {
        // The uninstaller stays behind, which is all that is lost.
    }
}

}  // namespace

bool RunUninstall(const AnsiString& productName, TUninstallReport& report)
{
    const AnsiString key = UninstallKeyOf(productName);
    if (!KeyExists(Machine, key))
        return false;
    TUninstaller uninstaller(key, report);
    // Counters first: a file that others still count on is neither unregistered nor removed.
    uninstaller.LowerSharedCounters();
    uninstaller.RemoveFiles();
    uninstaller.RemoveActiveX();
    uninstaller.RemoveRegistryKeys();
    uninstaller.Finish();
    return true;
}

std::string StayedMessage(const TUninstallReport& report)
{
    std::string text = "Some items could not be removed:";
    for (const std::string& line : report.Failed)
        text += "\n" + line;
    text += "\nRun the uninstall again later to remove them.";
    return text;
}

void StartCleanupBatch(const TUninstallReport& report)
{
    if (report.CleanupBatch.empty())
        return;
    AnsiString commandLine = "\"" + report.CleanupBatch + "\"";
    win::STARTUPINFO startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = win::STARTF_USESHOWWINDOW;
    startup.wShowWindow = win::SW_HIDE;
    win::PROCESS_INFORMATION started{};
    // Started in the temporary folder: a current folder inside the uninstaller's own would keep it.
    const AnsiString folder = rtl::ExtractFileDir(report.CleanupBatch);
    if (win::CreateProcess(report.CleanupBatch.c_str(), commandLine.data(), nullptr, nullptr, win::FALSE, 0, nullptr,
                           folder.c_str(), &startup, &started)) {
        win::CloseHandle(started.hProcess);
        win::CloseHandle(started.hThread);
    }
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
