#include "tool/WindowPositionSizeUnit.h"

#include "FormResources_tool.h"
#include "platform/vcl/Dialogs.h"
#include "tool/ProjectModel.h"

VCL_IMPLEMENT_CLASS(TfrmWindowPositionSize)

void TfrmWindowPositionSize::RegisterProperties(vcl::TClassDef<TfrmWindowPositionSize>& def)
{
    def.Handler("btnOKClick", &TfrmWindowPositionSize::btnOKClick);
    def.Handler("FormClose", &TfrmWindowPositionSize::FormClose);
}

TfrmWindowPositionSize::TfrmWindowPositionSize(vcl::TComponent* owner) : TForm(owner)
{
    RegisterFormResources_tool();
    vcl::RegisterClass<TfrmWindowPositionSize>();
    LoadForm("WindowPositionSizeUnit.frm");
    edtLeft = FindChild<vcl::TEdit>("edtLeft");
    edtTop = FindChild<vcl::TEdit>("edtTop");
    edtWidth = FindChild<vcl::TEdit>("edtWidth");
    edtHeight = FindChild<vcl::TEdit>("edtHeight");
    btnOK = FindChild<vcl::TButton>("btnOK");
}

int32_t TfrmWindowPositionSize::FieldValue(const vcl::TEdit& field) const
{
    int32_t value = 0;
    if (!TryFieldToInt(field.Text(), value))
        value = rtl::StrToInt(field.Text());  // raises with the runtime library's text
    return value;
}

void TfrmWindowPositionSize::btnOKClick(vcl::TObject*)
{
    Close();
}

void TfrmWindowPositionSize::FormClose(vcl::TObject*, vcl::TCloseAction& Action)
{
    for (vcl::TEdit* field : {edtLeft, edtTop, edtWidth, edtHeight}) {
        int32_t value = 0;
        if (!TryFieldToInt(field->Text(), value)) {
            vcl::ShowMessage("Invalid number in form.");
            Action = vcl::caNone;
            return;
        }
    }
}
