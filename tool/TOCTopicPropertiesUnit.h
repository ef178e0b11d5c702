#pragma once
// The contents-topic dialog: a contents entry's name and the page it opens. The contents editor fills the
// page list, presets both fields, shows the dialog modally and takes the values back only when it ended
// with OK:
//
//   std::unique_ptr<TfrmTOCTopicProperties> dlg(new TfrmTOCTopicProperties(vcl::Application));
//   dlg->cbxLinkToPage->Items()->Assign(pageNames);
//   dlg->edtName->SetText(entry->Name);
//   dlg->cbxLinkToPage->SetItemIndex(indexOfPage);   // -1: none chosen
//   if (dlg->ShowModal() == vcl::mrOk) ...

#include "platform/vcl/Forms.h"
#include "platform/vcl/StdCtrls.h"

class TfrmTOCTopicProperties : public vcl::TForm {
    VCL_CLASS(TfrmTOCTopicProperties, vcl::TForm)
public:
    explicit TfrmTOCTopicProperties(vcl::TComponent* owner);

    vcl::TLabel* lblName = nullptr;
    vcl::TEdit* edtName = nullptr;
    vcl::TLabel* lblLinkToPage = nullptr;
    vcl::TComboBox* cbxLinkToPage = nullptr;
    vcl::TButton* btnOK = nullptr;
    vcl::TButton* btnCancel = nullptr;
};
