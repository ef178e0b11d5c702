#include "tool/PagePropertiesUnit.h"

#include "FormResources_tool.h"
#include "platform/rtl/SysUtils.h"
#include "platform/vcl/Dialogs.h"

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
    if (contextID.empty() || TryContextIDToInt(contextID, value)) {
        SetModalResult(mrOk);
        return;
    }
    ShowMessage("Context ID must be an integer value.");
}

bool TryContextIDToInt(const AnsiString& text, int32_t& value)
{
    // The runtime library's reader takes the sign and both hexadecimal prefixes but no blanks.
    size_t first = text.find_first_not_of(' ');
    if (first == AnsiString::npos)
        return false;
    int parsed = 0;
    if (!rtl::TryStrToInt(text.substr(first), parsed))
        return false;
    value = parsed;
    return true;
}
