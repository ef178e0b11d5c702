#include "tool/PagePropertiesUnit.h"

#include "FormResources_tool.h"
#include "platform/rtl/SysUtils.h"
#include "platform/vcl/Dialogs.h"
#include "tool/ProjectModel.h"

using namespace vcl;

VCL_IMPLEMENT_CLASS(TfrmPageProperties)

void TfrmPageProperties::RegisterProperties(TClassDef<TfrmPageProperties>& def)
{
    def.Handler("btnOKClick", &TfrmPageProperties::btnOKClick);
}

TfrmPageProperties::TfrmPageProperties(TComponent* owner) : TForm(owner)
{
    RegisterFormResources_tool();
    RegisterClass<TfrmPageProperties>();
    LoadForm("PagePropertiesUnit.frm");
    lblName = FindChild<TLabel>("lblName");
    edtName = FindChild<TEdit>("edtName");
    lblContextID = FindChild<TLabel>("lblContextID");
    edtContextID = FindChild<TEdit>("edtContextID");
    lblTopicID = FindChild<TLabel>("lblTopicID");
    edtTopicID = FindChild<TEdit>("edtTopicID");
    lblTopicTitle = FindChild<TLabel>("lblTopicTitle");
    edtTopicTitle = FindChild<TEdit>("edtTopicTitle");
    lblIndexKeywords = FindChild<TLabel>("lblIndexKeywords");
    edtIndexKeywords = FindChild<TEdit>("edtIndexKeywords");
    btnOK = FindChild<TButton>("btnOK");
}

void TfrmPageProperties::btnOKClick(TObject*)
{
    const AnsiString& contextID = edtContextID->Text();
    int32_t value = 0;
    if (contextID.empty() || TryFieldToInt(contextID, value)) {
        SetModalResult(mrOk);
        return;
    }
    ShowMessage("Context ID must be an integer value.");
}
