#pragma once
// What the setup leaves for the uninstaller in the product's key (UninstallKeyOf): the display values of
// the list of installed programs, and the records of installed files ("Files"), self-registering files
// ("ActiveX") and registry components ("RegistryKeys"). Records grow by one entry per installed component
// and continue on a later run of the same setup.
//
//   AddFilesRecordEntry(key, "C:\\Program Files\\Halvern\\Scrivane\\Scrivane.exe");
//   AddActiveXRecordEntry(key, path, "typelib.tlb");          // "File<n>" = path + ";2"
//   WriteUninstallValues(key, values);                          // what the uninstaller file writes

#include <functional>
#include <map>
#include <vector>

#include "installer/support/InstallInformation.h"
#include "installer/support/TrwkRegistry.h"
#include "installer/support/UninstallLayout.h"

// The files whose paths the display values name; an empty path leaves its value out (DisplayIcon, Readme:
// the file is not set or was not installed in this run).
struct TUninstallDisplayFiles {
    rtl::AnsiString Uninstaller;  // the uninstaller's full path
    rtl::AnsiString DisplayIcon;
    rtl::AnsiString ReadMe;
};

// The uninstaller's command line: its path quoted (it lies under "Program Files") and the product name as
// one quoted argument, so that names with blanks reach it whole.
rtl::AnsiString UninstallCommandLine(const rtl::AnsiString& uninstallerPath, const rtl::AnsiString& productName);

// The display values of the key, in their order; the non-empty ones only, but "DisplayName" and
// "UninstallString" always. A failing write raises the registry writer's error.
void WriteUninstallValues(const rtl::AnsiString& key, const TInstallInformation& information,
                          const TControlPanelExtensionInformation& extended,
                          const TRegistrationInformation& registration, const TUninstallDisplayFiles& files);

// Adds one entry to a record of the key: reads "Entries" of the record's subkey (missing: 0), lets
// `writeEntry` write entry n = that + 1 (or the next number no entry holds yet) under the subkey, then
// stores n as "Entries". An entry is added whole or not at all: what a failing write left of it is
// removed. A subkey whose "Entries" is no number of zero or more, or where the entry cannot be written,
// passes the entry on to the next numbered subkey; after MaxRecordSubkeys the last error is raised; a
// failing "Entries" is raised at once. Gives the subkey used.
using TRecordEntryWriter = std::function<void(const rtl::AnsiString& subkey, int n)>;
rtl::AnsiString AddRecordEntry(const rtl::AnsiString& key, const rtl::AnsiString& record,
                               const TRecordEntryWriter& writeEntry);

// A path already recorded (in any subkey of the record) is not recorded again, so a setup run twice lists
// each file once. Inside a TUninstallRecordsRun the check is a look-up in what the records are known to
// hold; outside one it reads every entry.
void AddFilesRecordEntry(const rtl::AnsiString& key, const rtl::AnsiString& path);
// While one exists (nested ones share it), the "Files" and "ActiveX" records remember the paths they hold,
// read once from the records as they stood and kept up to date by each entry added; the driver keeps one
// over its run, during which only these functions write the records. The records are written exactly as
// without it.
class TUninstallRecordsRun {
public:
    TUninstallRecordsRun();
    ~TUninstallRecordsRun();
    TUninstallRecordsRun(const TUninstallRecordsRun&) = delete;
    TUninstallRecordsRun& operator=(const TUninstallRecordsRun&) = delete;
};

// The kind stored after the path: 2 a type library (".TLB"), 1 a server program (".EXE"), 0 a library.
int ActiveXKind(const rtl::AnsiString& fileName);
void AddActiveXRecordEntry(const rtl::AnsiString& key, const rtl::AnsiString& path, const rtl::AnsiString& fileName);

// How a registry key and its values were before the setup wrote into it, taken just before the writes,
// so the uninstaller can remove what the setup created and put back what it overwrote.
// Registry names compare without case.
struct TRegistryNameLess {
    bool operator()(const rtl::AnsiString& a, const rtl::AnsiString& b) const { return rtl::CompareText(a, b) < 0; }
};

struct TRegistryWriteNotes {
    rtl::AnsiString Created;                           // outermost key the writes created; empty: none
    std::map<rtl::AnsiString, TRegRawValue, TRegistryNameLess> Previous;  // values there before, by name

    // Call before the first write into `key`.
    void BeforeKey(win::HKEY root, const rtl::AnsiString& key);
    // Call before each value is written; a value already noted keeps its first state.
    void BeforeValue(win::HKEY root, const rtl::AnsiString& key, const rtl::AnsiString& name);
    void Clear();
};

// Records the values a registry component or a file's registration wrote under `fullKey`, as entry name
// -> the text recorded for it. A key recorded before for the same root (by an earlier component or run)
// takes the new names into its record; otherwise a new "RegistryKey<n>" is added. A value the setup found
// there is kept with its old state in "Previous", unless the record names it already (the product's own).
void AddRegistryKeysRecordEntry(const rtl::AnsiString& key, TRootKeys root, const rtl::AnsiString& fullKey,
                                const std::vector<std::pair<rtl::AnsiString, rtl::AnsiString>>& entries,
                                const TRegistryWriteNotes& notes);

// Notes in the product's "SharedDLLs" record that this product raised the shared-library counter
// `counterName` once more.
void AddSharedDLLRecordEntry(const rtl::AnsiString& key, const rtl::AnsiString& counterName);
