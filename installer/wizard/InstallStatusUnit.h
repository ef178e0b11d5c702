#pragma once
// The status popup: a small borderless window with one line of text, such as the kind of component being
// installed. The engine pushes a text when a stage starts (DoStatus) and pops it when the stage ends
// (ClearStatus); the popup shows the newest text still on its stack and hides when the stack is empty.
//
//   install->DoStatus("Installing the program files");   // the popup shows it, sized to the text
//   install->ClearStatus();                                // the text before it again, or hidden
//
// The texts are English; each is translated as it is shown.

#include <vector>

#include "installer/wizard/DialogManager.h"
#include "platform/vcl/ExtCtrls.h"
#include "platform/vcl/Forms.h"
#include "platform/vcl/StdCtrls.h"

class TInstallStatusForm : public vcl::TForm {
    VCL_CLASS(TInstallStatusForm, vcl::TForm)
public:
    explicit TInstallStatusForm(vcl::TComponent* owner);

    // Owned by the main form, so that it is shown above the backdrop rather than under it.
    void CreateParams(vcl::TCreateParams& params) override;

    vcl::TPanel* pnlBack = nullptr;
    vcl::TImage* Image1 = nullptr;
    vcl::TPanel* pnlMessage = nullptr;
    vcl::TLabel* lblMessage = nullptr;
};

class TInstallStatusDlg : public TCustomBaseInstallDlg {
    VCL_CLASS(TInstallStatusDlg, TCustomBaseInstallDlg)
public:
    explicit TInstallStatusDlg(vcl::TComponent* owner);

    const vcl::TClassMeta& DialogClass() const override { return TInstallStatusForm::StaticClass(); }
    // Every text is set in English before it is translated, so the form counts as English afterwards.
    void Translate() override;
    // -974 pushes the message parameter's text, -973 pops; only without a dialog manager.
    void ContainerMessage(vcl::TComponent* sender, int code, rtl::TObject* parameter) override;

    const rtl::AnsiString& CurrentText() const { return currentText_; }
    const std::vector<rtl::AnsiString>& Texts() const { return texts_; }
    TInstallStatusForm* StatusForm() const;

private:
    void PushStatus(rtl::TObject* parameter);
    void PopStatus();
    void ShowStatus();
    void HideStatus();

    rtl::AnsiString currentText_;
    std::vector<rtl::AnsiString> texts_;
};

// Registers the copy window's and the status popup's forms and dialogs for form resources.
void RegisterCopyWindowClasses();
