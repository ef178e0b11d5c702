#pragma once
// The preferences dialog: the four program-wide settings as check boxes, taken from the shared state
// when the dialog is made and given back only by OK.

#include "platform/vcl/Forms.h"
#include "platform/vcl/StdCtrls.h"

class TfrmPreferences : public vcl::TForm {
    VCL_CLASS(TfrmPreferences, vcl::TForm)
public:
    explicit TfrmPreferences(vcl::TComponent* owner);

    vcl::TCheckBox* cbxBackups = nullptr;
    vcl::TCheckBox* cbxUpdates = nullptr;
    vcl::TCheckBox* cbxCompression = nullptr;
    vcl::TCheckBox* cbxDisplay = nullptr;
    vcl::TButton* btnOK = nullptr;
    vcl::TButton* btnCancel = nullptr;

    void FormCreate(vcl::TObject* Sender);
    void btnOKClick(vcl::TObject* Sender);

private:
    void BindControls();
};
