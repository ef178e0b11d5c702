#include "installer/wizard/SetupMain.h"

#include "FormResources_installer_wizard.h"

TForm1* Form1 = nullptr;

VCL_IMPLEMENT_CLASS_NOPROPS(TForm1)

TForm1::TForm1(vcl::TComponent* owner) : TForm(owner)
{
    RegisterFormResources_installer_wizard();
    vcl::RegisterClass<TForm1>();
    LoadForm("SetupMain.frm");
}
