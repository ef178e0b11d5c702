#pragma once
// The page dialog: a page's name, context number, topic identifier, topic title and index keywords. The
// page command presets the five fields, shows the dialog modally and takes all five back however it
// closed:
//
//   std::unique_ptr<TfrmPageProperties> dlg(new TfrmPageProperties(vcl::Application));
//   dlg->edtName->SetText(page->Name);
//   dlg->edtContextID->SetText(page->ContextID);
//   ...
//   dlg->ShowModal();
//   page->ContextID = dlg->edtContextID->Text();   // as typed; OK has checked it is a whole number

#include <cstdint>

#include "platform/vcl/Forms.h"
#include "platform/vcl/StdCtrls.h"

class TfrmPageProperties : public vcl::TForm {
    VCL_CLASS(TfrmPageProperties, vcl::TForm)
public:
    explicit TfrmPageProperties(vcl::TComponent* owner);

    // Ends the dialog with OK when the context number is empty or a whole number; otherwise says so and
    // stays open.
    void btnOKClick(vcl::TObject* Sender);

    vcl::TLabel* lblName = nullptr;
    vcl::TEdit* edtName = nullptr;
    vcl::TLabel* lblContextID = nullptr;
    vcl::TEdit* edtContextID = nullptr;
    vcl::TLabel* lblTopicID = nullptr;
    vcl::TEdit* edtTopicID = nullptr;
    vcl::TLabel* lblTopicTitle = nullptr;
    vcl::TEdit* edtTopicTitle = nullptr;
    vcl::TLabel* lblIndexKeywords = nullptr;
    vcl::TEdit* edtIndexKeywords = nullptr;
    vcl::TButton* btnOK = nullptr;
};
