#pragma once
// The uninstaller file: "uninstall.exe", installed like any other file, which writes the display values of
// the product's uninstall key in place of a "Files" entry for itself.
//
//   auto* uninstaller = new TUninstallEXE(form);
//   uninstaller->SetContainer(install);      // installed into the main folder; the key names it

#include "installer/engine/InstallFiles.h"

class IEUninstallEXE : public IException {
public:
    using IException::IException;
};

class TUninstallEXE : public TCustomInstallFile {
    VCL_CLASS(TUninstallEXE, TCustomInstallFile)
public:
    explicit TUninstallEXE(vcl::TComponent* owner);

    // The display values (UninstallValues); IEUninstallEXE without a driver.
    void WriteUninstallInfo(const rtl::AnsiString& key) override;
};

// The full path of the install file that a display value names, when it was installed in this run; empty
// otherwise (no such file, or not processed).
rtl::AnsiString InstalledFilePath(const rtl::AnsiString& name);

void RegisterUninstallEXEClasses();
