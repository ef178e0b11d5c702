#include "tool/TOCTopicPropertiesUnit.h"

#include "FormResources_tool.h"

using namespace vcl;

VCL_IMPLEMENT_CLASS_NOPROPS(TfrmTOCTopicProperties)

TfrmTOCTopicProperties::TfrmTOCTopicProperties(TComponent* owner) : TForm(owner)
{
    RegisterFormResources_tool();
    RegisterClass<TfrmTOCTopicProperties>();
    LoadForm("TOCTopicPropertiesUnit.frm");
    lblName = FindChild<TLabel>("lblName");
    edtName = FindChild<TEdit>("edtName");
    lblLinkToPage = FindChild<TLabel>("lblLinkToPage");
    cbxLinkToPage = FindChild<TComboBox>("cbxLinkToPage");
    btnOK = FindChild<TButton>("btnOK");
    btnCancel = FindChild<TButton>("btnCancel");
}
