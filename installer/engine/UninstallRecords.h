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

#include "installer/support/InstallInformation.h"
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
// `writeEntry` write entry n = that + 1 under the subkey, then stores n as "Entries". A subkey whose
// "Entries" is no number of zero or more, or where the entry cannot be written, passes the entry on to
// the next numbered subkey; after MaxRecordSubkeys the last error is raised. Gives the subkey used.
using TRecordEntryWriter = std::function<void(const rtl::AnsiString& subkey, int n)>;
rtl::AnsiString AddRecordEntry(const rtl::AnsiString& key, const rtl::AnsiString& record,
                               const TRecordEntryWriter& writeEntry);

void AddFilesRecordEntry(const rtl::AnsiString& key, const rtl::AnsiString& path);
// The kind stored after the path: 2 a type library (".TLB"), 1 a server program (".EXE"), 0 a library.
int ActiveXKind(const rtl::AnsiString& fileName);
void AddActiveXRecordEntry(const rtl::AnsiString& key, const rtl::AnsiString& path, const rtl::AnsiString& fileName);
