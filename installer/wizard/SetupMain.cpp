#include "installer/wizard/SetupMain.h"

#include "FormResources_installer_wizard.h"
#include "installer/engine/Install.h"
#include "installer/engine/InstallObjects.h"
#include "installer/support/NetInstallLocation.h"
#include "installer/support/TrwkTranslator.h"
#include "installer/wizard/Backdrop.h"
#include "installer/wizard/DialogManager.h"
#include "installer/wizard/InstallStatusUnit.h"
#include "installer/wizard/WizardPages.h"
#include "platform/win/Shell.h"

TForm1* Form1 = nullptr;

VCL_IMPLEMENT_CLASS(TForm1)

void TForm1::RegisterProperties(vcl::TClassDef<TForm1>& def)
{
    def.Handler("Install1AfterNotifyGoodInstall", &TForm1::Install1AfterNotifyGoodInstall);
    def.Handler("Install1BeforeReboot", &TForm1::Install1BeforeReboot);
}

TForm1::TForm1(vcl::TComponent* owner) : TForm(owner)
{
    RegisterSetupClasses();
    LoadForm("SetupMain.frm");
}

void TForm1::Install1AfterNotifyGoodInstall(rtl::TObject*)
{
    // Explorer shows ".wkp" files with their new program only once it hears of the association.
    win::SHChangeNotify(win::SHCNE_ASSOCCHANGED, win::SHCNF_FLUSHNOWAIT, nullptr, nullptr);
}

void TForm1::Install1BeforeReboot(TCustomInstall*, bool&)
{
    // The form has no restart page, and without a word the windows just close on an unfinished
    // installation.
    if (vcl::TApplication* application = vcl::GetApplication())
        application->MessageBox("Some files of Scrivane were in use and could not be replaced yet. They are replaced "
                                "when Windows starts again, and Setup then finishes the installation.\n\n"
                                "Windows restarts when you click OK.",
                                application->Title(), vcl::MB_OK | vcl::MB_ICONINFORMATION);
}

void RegisterSetupClasses()
{
    RegisterFormResources_installer_wizard();
    RegisterInstallObjectClasses();
    RegisterTranslatorClasses();
    RegisterNetInstallLocationClasses();
    RegisterDialogManagerClasses();
    RegisterBackdropClasses();
    RegisterCopyWindowClasses();
    RegisterWizardPageClasses();
    vcl::RegisterClass<TForm1>();
}
