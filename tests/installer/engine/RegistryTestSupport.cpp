#include "tests/installer/engine/RegistryTestSupport.h"

#include "installer/engine/InstallRegistry.h"

void RegisterFormResources_tests_installer_engine();

VCL_IMPLEMENT_CLASS_NOPROPS(TfrmRegistrySetup)

TfrmRegistrySetup::TfrmRegistrySetup(vcl::TComponent* owner) : TForm(owner)
{
    RegisterFormResources_tests_installer_engine();
    LoadForm("RegistrySetup.frm");
}

void RunRegistrySetup(TfrmRegistrySetup& form)
{
    auto& install = form.Item<TInstall>("Install1");
    install.SetInstalling(true);
    install.SetCurrentInstallType(itFull);
    install.Install();
    install.InstallByType(ComponentTypeCode::Registry, "Installing registry keys...");
    install.SetInstalling(false);
}

rtl::AnsiString ReadValue(win::HKEY root, const rtl::AnsiString& key, const rtl::AnsiString& name)
{
    return RegReadString(root, key, name, "<none>");
}
