#pragma once
// The link dialog: a link's name, text and kind, with one group of fields for each kind of link (a page
// of this project with its popup choice, an external URL, an e-mail address), of which only the chosen
// kind's group shows. The link command fills the page list, presets the fields, calls cbxLinkTypeChange
// once, shows the dialog modally and takes the values back however it closed:
//
//   std::unique_ptr<TfrmLinkProperties> dlg(new TfrmLinkProperties(vcl::Application));
//   dlg->cbxLinkToPage->Items()->Assign(pageNames);
//   dlg->edtName->SetText(link->Name);
//   dlg->cbxLinkType->SetItemIndex(link->LinkType);
//   dlg->cbxLinkToPage->SetItemIndex(pageNames.IndexOf(link->Target));   // type 0
//   dlg->cbxLinkTypeChange(nullptr);
//   dlg->ShowModal();
//   link->LinkType = dlg->cbxLinkType->ItemIndex();

#include "platform/vcl/Forms.h"
#include "platform/vcl/StdCtrls.h"

class TfrmLinkProperties : public vcl::TForm {
    VCL_CLASS(TfrmLinkProperties, vcl::TForm)
public:
    explicit TfrmLinkProperties(vcl::TComponent* owner);

    // Closes the dialog.
    void btnOKClick(vcl::TObject* Sender);
    // Shows the group of the chosen kind of link and hides the other two; with no kind chosen the
    // groups stay as they are.
    void cbxLinkTypeChange(vcl::TObject* Sender);

    vcl::TLabel* lblName = nullptr;
    vcl::TEdit* edtName = nullptr;
    vcl::TLabel* lblText = nullptr;
    vcl::TEdit* edtText = nullptr;
    vcl::TLabel* lblLinkType = nullptr;
    vcl::TComboBox* cbxLinkType = nullptr;
    vcl::TGroupBox* gbxTopicLink = nullptr;
    vcl::TLabel* lblLinkToPage = nullptr;
    vcl::TComboBox* cbxLinkToPage = nullptr;
    vcl::TCheckBox* cbxPopupLink = nullptr;
    vcl::TGroupBox* gbxURLLink = nullptr;
    vcl::TLabel* lblURL = nullptr;
    vcl::TEdit* edtURL = nullptr;
    vcl::TGroupBox* gbxEMailLink = nullptr;
    vcl::TLabel* lblEMail = nullptr;
    vcl::TEdit* edtEMail = nullptr;
    vcl::TButton* btnOK = nullptr;
};
