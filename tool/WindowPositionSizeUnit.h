#pragma once
// The help-window position and size dialog: four fields the caller presets with the decimal texts of the
// help window's left, top, width and height and reads back afterwards. The window closes only when all
// four hold whole numbers; there is no Cancel.

#include <cstdint>

#include "platform/vcl/Forms.h"
#include "platform/vcl/StdCtrls.h"

class TfrmWindowPositionSize : public vcl::TForm {
    VCL_CLASS(TfrmWindowPositionSize, vcl::TForm)
public:
    explicit TfrmWindowPositionSize(vcl::TComponent* owner);

    vcl::TEdit* edtLeft = nullptr;
    vcl::TEdit* edtTop = nullptr;
    vcl::TEdit* edtWidth = nullptr;
    vcl::TEdit* edtHeight = nullptr;
    vcl::TButton* btnOK = nullptr;

    // A field's whole number, leading blanks allowed as in the page dialog's context number; once the
    // window has closed every field holds one (otherwise EConvertError).
    int32_t FieldValue(const vcl::TEdit& field) const;

    void btnOKClick(vcl::TObject* Sender);
    // Refuses to close, with "Invalid number in form.", while a field is not a 32-bit whole number.
    void FormClose(vcl::TObject* Sender, vcl::TCloseAction& Action);
};
