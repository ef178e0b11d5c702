#include "installer/engine/UninstallEXE.h"

#include "installer/engine/Install.h"
#include "installer/engine/UninstallRecords.h"
#include "installer/support/TrwkRegistry.h"
#include "installer/support/UninstallLayout.h"

using rtl::AnsiString;

VCL_IMPLEMENT_CLASS(TUninstallEXE)

void TUninstallEXE::RegisterProperties(vcl::TClassDef<TUninstallEXE>& def)
{
    using T = TCustomInstallFile;
    def.Property("Order", &T::Order, &T::SetOrder, -1);
    def.Property("DestName", &T::DestName, &T::SetDestName, AnsiString());
    def.Property("FileName", &T::FileName, &T::SetFileName, AnsiString());
    def.Property("FileType", &T::FileType, &T::SetFileType, iftNormal);
    def.Property("IncludeFromDir", &T::IncludeFromDir, &T::SetIncludeFromDir, AnsiString());
    def.Property("Net", &T::Net, &T::SetNet, true);
    def.Property("OverwriteMode", &T::OverwriteMode, &T::SetOverwriteMode, owAlways);
    def.Property("UpdateDLLCounter", &T::UpdateDLLCounter, &T::SetUpdateDLLCounter, false);
    def.Event("OnAfterCompress", &T::OnAfterCompress);
    def.Event("OnAfterCopy", &T::OnAfterCopy);
    def.Event("OnAfterInstall", &T::OnAfterInstall);
    def.Event("OnBeforeCompress", &T::OnBeforeCompress);
    def.Event("OnBeforeCopy", &T::OnBeforeCopy);
    def.Event("OnBeforeInstall", &T::OnBeforeInstall);
    def.Event("OnStatus", &T::OnStatus);
    def.Event("OnNewDisk", &T::OnNewDisk);
    def.Event("OnReplacing", &T::OnReplacing);
}

TUninstallEXE::TUninstallEXE(vcl::TComponent* owner) : TCustomInstallFile(owner)
{
    SetNet(true);
}

void TUninstallEXE::WriteUninstallInfo(const AnsiString& key)
{
    TCustomInstall* driver = InstallDriver();
    if (!driver)
        throw IEUninstallEXE(Fmt,
                             "%s could not write information about the uninstall to the registry because there was no "
                             "TInstall component",
                             Name());
    // An uninstall left to run at the next start would take this installation away.
    for (win::HKEY root : {win::HKEY_CURRENT_USER, win::HKEY_LOCAL_MACHINE}) {
        TtrwkRegistry registry;
        registry.SetRootKey(root);
        const AnsiString rerun = UninstallRerunPrefix + rtl::Trim(driver->Information()->ProductName());
        if (registry.OpenKey(RunOnceValuesKey, false) && registry.ValueExists(rerun))
            registry.DeleteValue(rerun);
    }
    const TControlPanelExtensionInformation& extended = *driver->Win2KExtendedInformation();
    WriteUninstallValues(key, *driver->Information(), extended, *driver->RegistrationInformation(),
                         {AddBackslash(GetDestPath()) + DestName(), InstalledFilePath(extended.DisplayIcon()),
                          InstalledFilePath(extended.ReadMe())});
}

AnsiString InstalledFilePath(const AnsiString& name)
{
    if (name.empty())
        return AnsiString();
    for (TCustomInstallFile* file : InstallFiles().Snapshot()) {
        if (rtl::SameText(file->Name(), name))
            return file->Processed() ? AddBackslash(file->GetDestPath()) + file->DestName() : AnsiString();
    }
    return AnsiString();
}

void RegisterUninstallEXEClasses()
{
    vcl::RegisterClasses({&TUninstallEXE::StaticClass()});
}
