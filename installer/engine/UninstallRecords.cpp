#include "installer/engine/UninstallRecords.h"

#include <cstdint>
#include <exception>
#include <set>
#include <string>

#include "installer/support/TrwkExceptions.h"
#include "installer/support/TrwkRegistry.h"
#include "installer/support/TrwkSystem.h"

using rtl::AnsiString;

namespace {

// One argument as a Windows program's runtime reads it back: quoted, a quote escaped, and the backslashes
// before a quote (or before the closing one) doubled.
AnsiString QuoteArgument(const AnsiString& argument)
{
    AnsiString quoted = "\"";
    size_t backslashes = 0;
    for (char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"') {
            quoted.append(backslashes * 2 + 1, '\\');
        } else {
            quoted.append(backslashes, '\\');
        }
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, '\\');
    quoted += '"';
    return quoted;
}

void WriteWhenSet(const AnsiString& key, const char* name, const AnsiString& value)
{
    if (!value.empty())
        RegWriteString(win::HKEY_LOCAL_MACHINE, key, name, value);
}

// The count stored in a record subkey (missing: 0); EConvertError when it cannot count one entry more.
int ReadRecordCount(const AnsiString& subkey)
{
    const AnsiString text = RegReadString(win::HKEY_LOCAL_MACHINE, subkey, RecordEntries, "0");
    const int count = rtl::StrToInt(text);
    if (count < 0 || count == INT32_MAX)
        throw rtl::EConvertError("'" + text + "' is not a valid integer value");
    return count;
}

}  // namespace

AnsiString UninstallCommandLine(const AnsiString& uninstallerPath, const AnsiString& productName)
{
    return "\"" + uninstallerPath + "\" " + QuoteArgument(productName);
}

void WriteUninstallValues(const AnsiString& key, const TInstallInformation& information,
                          const TControlPanelExtensionInformation& extended,
                          const TRegistrationInformation& registration, const TUninstallDisplayFiles& files)
{
    const win::HKEY root = win::HKEY_LOCAL_MACHINE;
    RegWriteString(root, key, "DisplayName", rtl::Trim(information.ProductName()));
    // The name as entered: it names the key the uninstaller has to find.
    RegWriteString(root, key, "UninstallString", UninstallCommandLine(files.Uninstaller, information.ProductName()));
    WriteWhenSet(key, "Comments", extended.Comments());
    WriteWhenSet(key, "Contact", extended.Contact());
    WriteWhenSet(key, "DisplayIcon", files.DisplayIcon);
    WriteWhenSet(key, "DisplayVersion", information.Version());
    WriteWhenSet(key, "HelpLink", extended.HelpLink());
    WriteWhenSet(key, "HelpTelephone", extended.HelpTelephone());
    WriteWhenSet(key, "Publisher", information.CompanyName());
    WriteWhenSet(key, "ProductID", extended.ProductID());
    WriteWhenSet(key, "Readme", files.ReadMe);
    WriteWhenSet(key, "URLInfoAbout", extended.URLInfoAbout());
    WriteWhenSet(key, "URLUpdateInfo", extended.URLUpdateInfo());
    WriteWhenSet(key, "RegCompany", registration.RegCompany());
    WriteWhenSet(key, "RegOwner", registration.RegOwner());
}

namespace {

// Entries of "RegistryKeys" are subkeys, those of "Files" and "ActiveX" values.
bool EntryIsKey(const AnsiString& record) { return rtl::SameText(record, RegistryKeysRecord); }

AnsiString EntryName(const AnsiString& record, int n)
{
    return (EntryIsKey(record) ? RegistryKeyPrefix : RecordFilePrefix) + rtl::IntToStr(n);
}

bool EntryExists(const AnsiString& subkey, const AnsiString& record, int n)
{
    TtrwkRegistry registry;
    registry.SetRootKey(win::HKEY_LOCAL_MACHINE);
    if (!registry.OpenKeyReadOnly(subkey))
        return false;
    const AnsiString name = EntryName(record, n);
    return EntryIsKey(record) ? registry.KeyExists(name) : registry.ValueExists(name);
}

// What a failed attempt wrote of entry n. Should this fail as well, the entry keeps its number, which no
// later entry takes (EntryExists), and the uninstaller passes over what it cannot use.
void RemoveEntry(const AnsiString& subkey, const AnsiString& record, int n)
{
    const AnsiString name = EntryName(record, n);
    if (EntryIsKey(record))
        RegDeleteKeyTree(win::HKEY_LOCAL_MACHINE, subkey + "\\" + name);
    TtrwkRegistry registry;
    registry.SetRootKey(win::HKEY_LOCAL_MACHINE);
    if (!registry.OpenKey(subkey, false))
        return;
    if (!EntryIsKey(record) && registry.ValueExists(name))
        registry.DeleteValue(name);
    // A subkey made for this entry alone goes with it.
    const bool empty = !registry.HasSubKeys() && RegistryNames(registry, false).empty();
    registry.CloseKey();
    if (empty)
        registry.DeleteKey(subkey);
}

}  // namespace

AnsiString AddRecordEntry(const AnsiString& key, const AnsiString& record, const TRecordEntryWriter& writeEntry)
{
    std::exception_ptr lastError;
    for (int k = 0; k < MaxRecordSubkeys; ++k) {
        const AnsiString subkey = RecordSubkey(key, record, k);
        int n = 0;
        try {
            n = ReadRecordCount(subkey) + 1;
            // A number some earlier, broken-off entry kept is not given to another one.
            while (EntryExists(subkey, record, n))
                ++n;
        } catch (const rtl::Exception&) {
            lastError = std::current_exception();
            continue;
        }
        try {
            writeEntry(subkey, n);
        } catch (const rtl::EAbort&) {
            RemoveEntry(subkey, record, n);
            throw;
        } catch (const rtl::Exception&) {
            RemoveEntry(subkey, record, n);
            lastError = std::current_exception();
            continue;
        }
        try {
            RegWriteString(win::HKEY_LOCAL_MACHINE, subkey, RecordEntries, rtl::IntToStr(n));
        } catch (...) {
            // Not counted, the entry is not written either: the run fails with it.
            RemoveEntry(subkey, record, n);
            throw;
        }
        return subkey;
    }
    std::rethrow_exception(lastError);
}

namespace {

// The path part of a "File<n>" entry: all of it in "Files", before the kind in "ActiveX".
AnsiString EntryPath(const char* record, const AnsiString& text)
{
    if (rtl::SameText(record, ActiveXRecord)) {
        const size_t semicolon = text.find_last_of(';');
        return semicolon == AnsiString::npos ? text : text.substr(0, semicolon);
    }
    return text;
}

// Calls `visit` (subkey, open registry) for each existing subkey of a record; stops when it says true.
template <class Visit>
bool AnyRecordSubkey(const AnsiString& key, const char* record, Visit visit)
{
    for (int k = 0; k < MaxRecordSubkeys; ++k) {
        const AnsiString subkey = RecordSubkey(key, record, k);
        TtrwkRegistry registry;
        registry.SetRootKey(win::HKEY_LOCAL_MACHINE);
        if (registry.OpenKeyReadOnly(subkey) && visit(subkey, registry))
            return true;
    }
    return false;
}

// Calls `visit` with the path of each "File<n>" entry of a record, in every subkey; stops when it says true.
template <class Visit>
bool AnyRecordedPath(const AnsiString& key, const char* record, Visit visit)
{
    return AnyRecordSubkey(key, record, [&](const AnsiString&, TtrwkRegistry& registry) {
        for (const AnsiString& name : RegistryNames(registry, false)) {
            if (rtl::SameText(name.substr(0, std::char_traits<char>::length(RecordFilePrefix)), RecordFilePrefix) &&
                visit(EntryPath(record, registry.ReadString(name))))
                return true;
        }
        return false;
    });
}

// The paths the records of the open run hold, by product key and record, compared as the check compares
// them; empty and unused while no run is open.
using TRecordedPaths = std::set<AnsiString, TRegistryNameLess>;
struct TRecordsRunState {
    int open = 0;
    std::map<std::pair<AnsiString, AnsiString>, TRecordedPaths> paths;
};

TRecordsRunState& RecordsRun()
{
    static TRecordsRunState state;
    return state;
}

// The known paths of a record in the open run, read from the records on first use; null without a run.
TRecordedPaths* KnownPaths(const AnsiString& key, const char* record)
{
    TRecordsRunState& run = RecordsRun();
    if (run.open == 0)
        return nullptr;
    auto [it, added] = run.paths.try_emplace({rtl::UpperCase(key), record});
    if (added) {
        AnyRecordedPath(key, record, [&](const AnsiString& path) {
            it->second.insert(path);
            return false;
        });
    }
    return &it->second;
}

bool IsRecorded(const AnsiString& key, const char* record, const AnsiString& path)
{
    if (const TRecordedPaths* known = KnownPaths(key, record))
        return known->count(path) != 0;
    return AnyRecordedPath(key, record, [&](const AnsiString& recorded) { return rtl::SameText(recorded, path); });
}

// The "RegistryKey<n>" record of a key and root, empty when none names it.
AnsiString FindRegistryRecord(const AnsiString& key, TRootKeys root, const AnsiString& fullKey)
{
    AnsiString found;
    AnyRecordSubkey(key, RegistryKeysRecord, [&](const AnsiString& subkey, TtrwkRegistry& registry) {
        for (const AnsiString& name : RegistryNames(registry, true)) {
            const AnsiString record = subkey + "\\" + name;
            if (RegReadInteger(win::HKEY_LOCAL_MACHINE, record, RegistryKeyRoot, -1) == static_cast<int>(root) &&
                rtl::SameText(RemoveBackslash(RegReadString(win::HKEY_LOCAL_MACHINE, record, RegistryKeyPath, "")),
                              RemoveBackslash(fullKey))) {
                found = record;
                return true;
            }
        }
        return false;
    });
    return found;
}

bool ValueExists(win::HKEY root, const AnsiString& key, const AnsiString& name)
{
    TtrwkRegistry registry;
    registry.SetRootKey(root);
    return registry.OpenKeyReadOnly(key) && registry.ValueExists(name);
}

}  // namespace

TUninstallRecordsRun::TUninstallRecordsRun()
{
    ++RecordsRun().open;
}

TUninstallRecordsRun::~TUninstallRecordsRun()
{
    TRecordsRunState& run = RecordsRun();
    if (--run.open == 0)
        run.paths.clear();
}

// "File<n>" of a "Files" or "ActiveX" record.
static void AddFileEntry(const AnsiString& key, const char* record, const AnsiString& text)
{
    const AnsiString path = EntryPath(record, text);
    if (IsRecorded(key, record, path))
        return;
    AddRecordEntry(key, record, [&text](const AnsiString& subkey, int n) {
        RegWriteString(win::HKEY_LOCAL_MACHINE, subkey, RecordFilePrefix + rtl::IntToStr(n), text);
    });
    if (TRecordedPaths* known = KnownPaths(key, record))
        known->insert(path);
}

void AddFilesRecordEntry(const AnsiString& key, const AnsiString& path)
{
    AddFileEntry(key, FilesRecord, path);
}

int ActiveXKind(const AnsiString& fileName)
{
    const AnsiString extension = rtl::UpperCase(rtl::ExtractFileExt(fileName));
    if (extension == ".TLB")
        return 2;
    if (extension == ".EXE")
        return 1;
    return 0;
}

void AddActiveXRecordEntry(const AnsiString& key, const AnsiString& path, const AnsiString& fileName)
{
    AddFileEntry(key, ActiveXRecord, path + ";" + rtl::IntToStr(ActiveXKind(fileName)));
}


void TRegistryWriteNotes::BeforeKey(win::HKEY root, const AnsiString& key)
{
    Created.clear();
    // The outermost missing key, walking down from the root.
    const AnsiString path = RemoveBackslash(key);
    for (size_t end = path.find('\\', 1);; end = path.find('\\', end + 1)) {
        const AnsiString part = end == AnsiString::npos ? path : path.substr(0, end);
        TtrwkRegistry registry;
        registry.SetRootKey(root);
        if (!part.empty() && part != "\\" && !registry.KeyExists(part)) {
            Created = part;
            return;
        }
        if (end == AnsiString::npos)
            return;
    }
}

void TRegistryWriteNotes::BeforeValue(win::HKEY root, const AnsiString& key, const AnsiString& name)
{
    if (Previous.count(name))
        return;
    TRegRawValue value;
    if (RegReadRawValue(root, key, name, value))
        Previous.emplace(name, std::move(value));
}

void TRegistryWriteNotes::Clear()
{
    Created.clear();
    Previous.clear();
}

void AddRegistryKeysRecordEntry(const AnsiString& key, TRootKeys root, const AnsiString& fullKey,
                                const std::vector<std::pair<AnsiString, AnsiString>>& entries,
                                const TRegistryWriteNotes& notes)
{
    const win::HKEY machine = win::HKEY_LOCAL_MACHINE;
    auto writeEntries = [&](const AnsiString& record, bool known) {
        std::vector<AnsiString> added;  // names this call gave the record, taken back when one fails
        try {
            for (const auto& [name, text] : entries) {
                // A name the record holds already was written by this product before: its state before
                // that is what the record kept then.
                const bool ours = known && ValueExists(machine, record + "\\" + RecordEntries, name);
                if (!ours)
                    added.push_back(name);
                auto previous = notes.Previous.find(name);
                if (!ours && previous != notes.Previous.end() &&
                    !RegWriteRawValue(machine, record + "\\" + RegistryKeyPrevious, name, previous->second))
                    throw EIRCannotWriteValue(record + "\\" + RegistryKeyPrevious);
                RegWriteString(machine, record + "\\" + RecordEntries, name, text);
            }
        } catch (...) {
            for (const AnsiString& name : added) {
                for (const char* subkey : {RecordEntries, RegistryKeyPrevious}) {
                    TtrwkRegistry registry;
                    registry.SetRootKey(machine);
                    if (registry.OpenKey(record + "\\" + subkey, false) && registry.ValueExists(name))
                        registry.DeleteValue(name);
                }
            }
            throw;
        }
    };
    const AnsiString existing = FindRegistryRecord(key, root, fullKey);
    if (!existing.empty()) {
        writeEntries(existing, true);
        return;
    }
    AddRecordEntry(key, RegistryKeysRecord, [&](const AnsiString& subkey, int n) {
        const AnsiString record = subkey + "\\" + RegistryKeyPrefix + rtl::IntToStr(n);
        // "Key" last: a record broken off before it names no key, so no later run adds to it and the
        // uninstaller knows it for what it is.
        RegWriteInteger(machine, record, RegistryKeyRoot, static_cast<int>(root));
        RegWriteString(machine, record, RegistryKeyCreated, notes.Created);
        writeEntries(record, false);
        RegWriteString(machine, record, RegistryKeyPath, fullKey);
    });
}

void AddSharedDLLRecordEntry(const AnsiString& key, const AnsiString& counterName)
{
    const AnsiString record = AddBackslash(key) + SharedDLLsRecord;
    RegWriteInteger(win::HKEY_LOCAL_MACHINE, record, counterName,
                    RegReadInteger(win::HKEY_LOCAL_MACHINE, record, counterName, 0) + 1);
}
