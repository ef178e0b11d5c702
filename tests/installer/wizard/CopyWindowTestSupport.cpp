#include "tests/installer/wizard/CopyWindowTestSupport.h"

void RegisterFormResources_tests_installer_wizard();

VCL_IMPLEMENT_CLASS_NOPROPS(TfrmCopySetup)

TfrmCopySetup::TfrmCopySetup(vcl::TComponent* owner) : TForm(owner)
{
    RegisterFormResources_tests_installer_wizard();
    LoadForm("CopySetup.frm");
}

TCopyFileForm* TfrmCopySetup::CopyWindow() const
{
    return Manager().DuringCopyFormCount() == 1 ? dynamic_cast<TCopyFileForm*>(Manager().DuringCopyForms(0))
                                                : nullptr;
}

void TfrmCopySetup::Push(const rtl::AnsiString& text)
{
    TMessageParameter parameter;
    parameter.Message = text;
    Send(InstallMessage::Status, &parameter);
}

void CopyWindowTest::SetUp()
{
    WizardTest::SetUp();
    RegisterCopyWindowClasses();
    vcl::RegisterClasses({&TfrmCopySetup::StaticClass()});
}
