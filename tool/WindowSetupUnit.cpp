#include "tool/WindowSetupUnit.h"

#include "FormResources_tool.h"

VCL_IMPLEMENT_CLASS(TfrmWindowSetup)

void TfrmWindowSetup::RegisterProperties(vcl::TClassDef<TfrmWindowSetup>& def)
{
    def.Handler("pnlHeaderColorClick", &TfrmWindowSetup::pnlHeaderColorClick);
    def.Handler("pnlPageColorClick", &TfrmWindowSetup::pnlPageColorClick);
}

TfrmWindowSetup::TfrmWindowSetup(vcl::TComponent* owner) : TForm(owner)
{
    RegisterFormResources_tool();
    vcl::RegisterDialogClasses();
    vcl::RegisterClass<TfrmWindowSetup>();
    LoadForm("WindowSetupUnit.frm");
    pnlHeaderColor = FindChild<vcl::TPanel>("pnlHeaderColor");
    pnlPageColor = FindChild<vcl::TPanel>("pnlPageColor");
    btnOK = FindChild<vcl::TButton>("btnOK");
    dlgColor = FindChild<vcl::TColorDialog>("dlgColor");
}

void TfrmWindowSetup::PickColor(vcl::TPanel& panel)
{
    dlgColor->SetColor(panel.Color());
    // Cancel leaves the panel as it was.
    if (dlgColor->Execute())
        panel.SetColor(dlgColor->Color());
}

void TfrmWindowSetup::pnlHeaderColorClick(vcl::TObject*)
{
    PickColor(*pnlHeaderColor);
}

void TfrmWindowSetup::pnlPageColorClick(vcl::TObject*)
{
    PickColor(*pnlPageColor);
}
