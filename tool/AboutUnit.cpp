#include "tool/AboutUnit.h"

#include "FormResources_tool.h"
#include "tool/FileVersion.h"

VCL_IMPLEMENT_CLASS(TfrmAbout)

void TfrmAbout::RegisterProperties(vcl::TClassDef<TfrmAbout>& def)
{
    def.Handler("FormCreate", &TfrmAbout::FormCreate);
    def.Handler("btnOKClick", &TfrmAbout::btnOKClick);
}

TfrmAbout::TfrmAbout(vcl::TComponent* owner) : TForm(owner)
{
    RegisterFormResources_tool();
    vcl::RegisterClass<TfrmAbout>();
    LoadForm("AboutUnit.frm");
    imgIcon = FindChild<vcl::TImage>("imgIcon");
    btnOK = FindChild<vcl::TButton>("btnOK");
}

void TfrmAbout::FormCreate(vcl::TObject*)
{
    // OnCreate comes at the end of loading, before the constructor could look the label up.
    lblVersion = FindChild<vcl::TLabel>("lblVersion");
    lblVersion->SetCaption(GetFileVersionString());
}

void TfrmAbout::btnOKClick(vcl::TObject*)
{
    Close();
}
