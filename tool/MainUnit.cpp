#include "tool/MainUnit.h"

#include "FormResources_tool.h"

TfrmMainMenu* frmMainMenu = nullptr;

VCL_IMPLEMENT_CLASS_NOPROPS(TfrmMainMenu)

TfrmMainMenu::TfrmMainMenu(vcl::TComponent* owner) : TForm(owner)
{
    RegisterFormResources_tool();
    vcl::RegisterClass<TfrmMainMenu>();
    LoadForm("MainUnit.frm");
}
