#pragma once
// The About window: the product, its version (from the program's own version resource) and its maker.
// Shown modally at every start and by Help, About.

#include "platform/vcl/ExtCtrls.h"
#include "platform/vcl/Forms.h"
#include "platform/vcl/StdCtrls.h"

class TfrmAbout : public vcl::TForm {
    VCL_CLASS(TfrmAbout, vcl::TForm)
public:
    explicit TfrmAbout(vcl::TComponent* owner);

    vcl::TImage* imgIcon = nullptr;
    vcl::TLabel* lblVersion = nullptr;
    vcl::TButton* btnOK = nullptr;

    void FormCreate(vcl::TObject* Sender);
    void btnOKClick(vcl::TObject* Sender);
};
