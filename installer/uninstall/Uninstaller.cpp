#include "installer/uninstall/Uninstaller.h"

#include <algorithm>
#include <map>

#include "installer/support/TrwkRegistry.h"
#include "installer/support/TrwkSystem.h"
#include "installer/support/UninstallLayout.h"
#include "platform/win/Files.h"
#include "platform/win/KnownFolders.h"
#include "platform/win/Platform.h"
#include "platform/win/Modules.h"

using rtl::AnsiString;

namespace {

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

std::vector<AnsiString> ListOf(TtrwkRegistry& registry, bool keys)
{
    rtl::TStringList list;
    if (keys)
        registry.GetKeyNames(list);
    else
        registry.GetValueNames(list);
    std::vector<AnsiString> names;
    for (int i = 0; i < list.Count(); ++i)
        names.push_back(list[i]);
    return names;
}

AnsiString ParentOf(const AnsiString& path)
{
    const size_t slash = path.find_last_of('\\');
    return slash == AnsiString::npos ? AnsiString() : path.substr(0, slash);
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

class TUninstaller {
public:
    TUninstaller(const AnsiString& key, TUninstallReport& report) : key_(key), report_(report) {}

    void RemoveFiles();
    void RemoveActiveX();
    void RemoveRegistryKeys();
    void RemoveRecords();

private:
    // Every existing numbered subkey of a record, with the values of each.
    template <class Visit>
    void ForEachRecordSubkey(const char* record, Visit visit);
    void RemoveFile(const AnsiString& path);
    // Each folder upward that the removal left empty, short of the folders Windows itself keeps.
    void RemoveEmptyFolders(AnsiString folder);
    bool IsKeptFolder(const AnsiString& folder);
    void RemoveRegistryRecord(const AnsiString& record);
    // The key itself when empty, then its parents while empty, short of the keys Windows itself keeps.
    void RemoveEmptyKeys(TRootKeys root, AnsiString key);

    AnsiString key_;
    TUninstallReport& report_;
    std::vector<AnsiString> keptFolders_;
};

template <class Visit>
void TUninstaller::ForEachRecordSubkey(const char* record, Visit visit)
{
    for (int k = 0; k < MaxRecordSubkeys; ++k) {
        const AnsiString subkey = RecordSubkey(key_, record, k);
        TtrwkRegistry registry;
        registry.SetRootKey(win::HKEY_LOCAL_MACHINE);
        if (!registry.OpenKeyReadOnly(subkey))
            continue;
        visit(subkey, registry);
    }
}

void TUninstaller::RemoveFiles()
{
    ForEachRecordSubkey(FilesRecord, [this](const AnsiString&, TtrwkRegistry& registry) {
        const auto entries = NumberedNames(ListOf(registry, false), RecordFilePrefix);
        // Last installed first, so links go before the files they point at.
        for (auto it = entries.rbegin(); it != entries.rend(); ++it)
            RemoveFile(registry.ReadString(it->second));
    });
}

void TUninstaller::RemoveActiveX()
{
    ForEachRecordSubkey(ActiveXRecord, [this](const AnsiString&, TtrwkRegistry& registry) {
        const auto entries = NumberedNames(ListOf(registry, false), RecordFilePrefix);
        for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
            const AnsiString entry = registry.ReadString(it->second);
            const size_t semicolon = entry.find_last_of(';');
            const AnsiString path = semicolon == AnsiString::npos ? entry : entry.substr(0, semicolon);
            const AnsiString kind = semicolon == AnsiString::npos ? AnsiString() : entry.substr(semicolon + 1);
            if (kind == "0") {
                // A self-registering library takes its registration back; one that cannot is removed anyway.
                if (win::HMODULE module = win::LoadLibrary(path.c_str())) {
                    using TUnregister = long (*)();
                    if (auto unregister = reinterpret_cast<TUnregister>(win::GetProcAddress(module, "DllUnregisterServer")))
                        unregister();
                    win::FreeLibrary(module);
                }
            }
            RemoveFile(path);
        }
    });
}

void TUninstaller::RemoveFile(const AnsiString& path)
{
    if (path.empty())
        return;
    const win::DWORD attributes = win::GetFileAttributes(path.c_str());
    if (attributes == win::INVALID_FILE_ATTRIBUTES)
        return;  // gone already, or never installed
    if (attributes & win::FILE_ATTRIBUTE_DIRECTORY) {
        report_.Failed.push_back("file " + path + ": a folder, left alone");
        return;
    }
    if (attributes & win::FILE_ATTRIBUTE_READONLY)
        win::SetFileAttributes(path.c_str(), attributes & ~win::FILE_ATTRIBUTE_READONLY);
    if (!win::DeleteFile(path.c_str())) {
        report_.Failed.push_back("file " + path + ": error " + rtl::IntToStr(win::GetLastError()));
        return;
    }
    report_.Removed.push_back("file " + path);
    RemoveEmptyFolders(ParentOf(path));
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

void TUninstaller::RemoveRegistryKeys()
{
    ForEachRecordSubkey(RegistryKeysRecord, [this](const AnsiString& subkey, TtrwkRegistry& registry) {
        const auto records = NumberedNames(ListOf(registry, true), RegistryKeyPrefix);
        for (auto it = records.rbegin(); it != records.rend(); ++it)
            RemoveRegistryRecord(subkey + "\\" + it->second);
    });
}

void TUninstaller::RemoveRegistryRecord(const AnsiString& record)
{
    const AnsiString key = RegReadString(win::HKEY_LOCAL_MACHINE, record, RegistryKeyPath, "");
    const int rootOrdinal = RegReadInteger(win::HKEY_LOCAL_MACHINE, record, RegistryKeyRoot, -1);
    if (RemoveBackslash(key).empty() || rootOrdinal < 0 || rootOrdinal > static_cast<int>(hkUsers)) {
        report_.Failed.push_back("record " + record + ": no usable key or root");
        return;
    }
    const auto root = static_cast<TRootKeys>(rootOrdinal);
    std::vector<AnsiString> names;
    {
        TtrwkRegistry recorded;
        recorded.SetRootKey(win::HKEY_LOCAL_MACHINE);
        if (recorded.OpenKeyReadOnly(record + "\\" + RecordEntries))
            names = ListOf(recorded, false);
    }
    TtrwkRegistry target;
    SetRootKeyEnum(target, root);
    if (target.OpenKey(key, false)) {
        for (const AnsiString& name : names) {
            if (target.ValueExists(name) && target.DeleteValue(name))
                report_.Removed.push_back("value " + key + "\\" + name);
        }
        target.CloseKey();
    }
    RemoveEmptyKeys(root, RemoveBackslash(key));
}

void TUninstaller::RemoveEmptyKeys(TRootKeys root, AnsiString key)
{
    for (; !key.empty() && !IsKeptKey(root, key); key = ParentOf(key)) {
        TtrwkRegistry registry;
        SetRootKeyEnum(registry, root);
        if (!registry.OpenKeyReadOnly(key))
            continue;
        const bool empty = !registry.HasSubKeys() && ListOf(registry, false).empty();
        registry.CloseKey();
        if (!empty || !registry.DeleteKey(key))
            return;
        report_.Removed.push_back("key " + key);
    }
}

void TUninstaller::RemoveRecords()
{
    RegDeleteKeyTree(win::HKEY_LOCAL_MACHINE, key_);
    report_.Removed.push_back("key " + key_);
}

}  // namespace

bool RunUninstall(const AnsiString& productName, TUninstallReport& report)
{
    const AnsiString key = UninstallKeyOf(productName);
    {
        TtrwkRegistry registry;
        registry.SetRootKey(win::HKEY_LOCAL_MACHINE);
        if (!registry.KeyExists(key))
            return false;
    }
    TUninstaller uninstaller(key, report);
    uninstaller.RemoveFiles();
    uninstaller.RemoveActiveX();
    uninstaller.RemoveRegistryKeys();
    uninstaller.RemoveRecords();
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
