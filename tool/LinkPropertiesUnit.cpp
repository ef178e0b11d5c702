#include "tool/LinkPropertiesUnit.h"

#include "FormResources_tool.h"

using namespace vcl;

VCL_IMPLEMENT_CLASS(TfrmLinkProperties)

void TfrmLinkProperties::RegisterProperties(TClassDef<TfrmLinkProperties>& def)
{
    def.Handler("btnOKClick", &TfrmLinkProperties::btnOKClick);
    def.Handler("cbxLinkTypeChange", &TfrmLinkProperties::cbxLinkTypeChange);
}

TfrmLinkProperties::TfrmLinkProperties(TComponent* owner) : TForm(owner)
{
    RegisterFormResources_tool();
    RegisterClass<TfrmLinkProperties>();
    LoadForm("LinkPropertiesUnit.frm");
    lblName = FindChild<TLabel>("lblName");
    edtName = FindChild<TEdit>("edtName");
    lblText = FindChild<TLabel>("lblText");
    edtText = FindChild<TEdit>("edtText");
    lblLinkType = FindChild<TLabel>("lblLinkType");
    cbxLinkType = FindChild<TComboBox>("cbxLinkType");
    gbxTopicLink = FindChild<TGroupBox>("gbxTopicLink");
    lblLinkToPage = FindChild<TLabel>("lblLinkToPage");
    cbxLinkToPage = FindChild<TComboBox>("cbxLinkToPage");
    cbxPopupLink = FindChild<TCheckBox>("cbxPopupLink");
    gbxURLLink = FindChild<TGroupBox>("gbxURLLink");
    lblURL = FindChild<TLabel>("lblURL");
    edtURL = FindChild<TEdit>("edtURL");
    gbxEMailLink = FindChild<TGroupBox>("gbxEMailLink");
    lblEMail = FindChild<TLabel>("lblEMail");
    edtEMail = FindChild<TEdit>("edtEMail");
    btnOK = FindChild<TButton>("btnOK");
}

void TfrmLinkProperties::btnOKClick(TObject*)
{
    Close();
}

void TfrmLinkProperties::cbxLinkTypeChange(TObject*)
{
    int linkType = cbxLinkType->ItemIndex();
    if (linkType < 0 || linkType > 2)
        return;
    gbxTopicLink->SetVisible(linkType == 0);
    gbxURLLink->SetVisible(linkType == 1);
    gbxEMailLink->SetVisible(linkType == 2);
}
