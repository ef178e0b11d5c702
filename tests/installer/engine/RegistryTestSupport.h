#pragma once
// The setup form with registry components (a ".wkp" file type with its open command, a key made from the
// product information) and a run that installs it as the driver would: its groups, then the registry
// keys by type.

#include "installer/engine/Install.h"
#include "installer/support/TrwkRegistry.h"
#include "platform/vcl/Forms.h"

class TfrmRegistrySetup : public vcl::TForm {
    VCL_CLASS(TfrmRegistrySetup, vcl::TForm)
public:
    explicit TfrmRegistrySetup(vcl::TComponent* owner);
    template <class T>
    T& Item(const char* name) const
    {
        return *FindChild<T>(name);
    }
};

void RunRegistrySetup(TfrmRegistrySetup& form);

// A string value, "<none>" when it is missing.
rtl::AnsiString ReadValue(win::HKEY root, const rtl::AnsiString& key, const rtl::AnsiString& name);

// Runs the uninstaller as the system would, from an UninstallString, adding the silent switch; gives its
// exit code. This process's view of the prefix is read afresh afterwards.
int RunUninstallerProcess(const rtl::AnsiString& commandLine);
