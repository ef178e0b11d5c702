#pragma once
// The help-window colours dialog: two panels that show the header and the page colour; a click on either
// lets the user pick its colour. The caller presets both panels and takes both colours back afterwards,
// however the dialog closed.

#include "platform/vcl/Dialogs.h"
#include "platform/vcl/ExtCtrls.h"
#include "platform/vcl/Forms.h"
#include "platform/vcl/StdCtrls.h"

class TfrmWindowSetup : public vcl::TForm {
    VCL_CLASS(TfrmWindowSetup, vcl::TForm)
public:
    explicit TfrmWindowSetup(vcl::TComponent* owner);

    vcl::TPanel* pnlHeaderColor = nullptr;
    vcl::TPanel* pnlPageColor = nullptr;
    vcl::TButton* btnOK = nullptr;
    vcl::TColorDialog* dlgColor = nullptr;

    void pnlHeaderColorClick(vcl::TObject* Sender);
    void pnlPageColorClick(vcl::TObject* Sender);

private:
    void PickColor(vcl::TPanel& panel);
};
