#include "installer/wizard/InstallStatusUnit.h"

#include "FormResources_installer_wizard.h"
#include "installer/wizard/CopyFileUnit.h"

using rtl::AnsiString;

VCL_IMPLEMENT_CLASS_NOPROPS(TInstallStatusForm)

TInstallStatusForm::TInstallStatusForm(vcl::TComponent* owner) : TForm(owner)
{
    RegisterFormResources_installer_wizard();
    vcl::RegisterStandardControls();
    vcl::RegisterClass<TInstallStatusForm>();
    LoadForm("InstallStatusUnit.frm");
    pnlBack = FindChild<vcl::TPanel>("pnlBack");
    Image1 = FindChild<vcl::TImage>("Image1");
    pnlMessage = FindChild<vcl::TPanel>("pnlMessage");
    lblMessage = FindChild<vcl::TLabel>("lblMessage");
}

void TInstallStatusForm::CreateParams(vcl::TCreateParams& params)
{
    TForm::CreateParams(params);
    vcl::TCustomForm* main = vcl::Application->MainForm();
    if (main && main != this && !(params.Style & vcl::WS_CHILD))
        params.WndParent = main->Handle();
}

// ---------------------------------------------------------------------------------------------------------

VCL_IMPLEMENT_CLASS(TInstallStatusDlg)

void TInstallStatusDlg::RegisterProperties(vcl::TClassDef<TInstallStatusDlg>& def)
{
    using T = TInstallStatusDlg;
    def.Property("AutoSetFont", &T::AutoSetFont, &T::SetAutoSetFont, true);
    def.Property("AutoTranslate", &T::AutoTranslate, &T::SetAutoTranslate, true);
    def.Property("OverrideMainTranslator", &T::OverrideMainTranslator, &T::SetOverrideMainTranslator, false);
    def.Property("ThemeBitmap", &T::ThemeBitmap, &T::SetThemeBitmap);
    def.Property("TranslateIntoLanguage", &T::TranslateIntoLanguage, &T::SetTranslateIntoLanguage, tlUser);
}

TInstallStatusDlg::TInstallStatusDlg(vcl::TComponent* owner) : TCustomBaseInstallDlg(owner) {}

TInstallStatusForm* TInstallStatusDlg::StatusForm() const
{
    return dynamic_cast<TInstallStatusForm*>(Form());
}

void TInstallStatusDlg::Translate()
{
    TCustomBaseInstallDlg::Translate();
    SetFormLanguage(tlEnglish);
}

void TInstallStatusDlg::ContainerMessage(vcl::TComponent* sender, int code, rtl::TObject* parameter)
{
    TCustomBaseInstallDlg::ContainerMessage(sender, code, parameter);
    if (DialogManager())
        return;
    if (code == InstallMessage::Status)
        PushStatus(parameter);
    else if (code == InstallMessage::ClearStatus)
        PopStatus();
}

void TInstallStatusDlg::PushStatus(rtl::TObject* parameter)
{
    if (!parameter)
        throw IException(Fmt, "%s got a nil PO parameter", Name());
    auto* message = dynamic_cast<TMessageParameter*>(parameter);
    if (!message)
        throw IException(Fmt, "The PO object passed to %s is not a TMessageParameter object", Name());
    currentText_ = message->Message;
    texts_.push_back(currentText_);
    ShowStatus();
}

void TInstallStatusDlg::PopStatus()
{
    if (!texts_.empty())
        texts_.pop_back();
    if (texts_.empty()) {
        HideStatus();
        return;
    }
    currentText_ = texts_.back();
    ShowStatus();
}

void TInstallStatusDlg::ShowStatus()
{
    if (!Form()) {
        SetForm(new TInstallStatusForm(vcl::Application));
        AssignDialogProperties();
    }
    TInstallStatusForm* form = StatusForm();
    vcl::TLabel* label = form->lblMessage;
    label->SetAlign(vcl::alNone);
    label->SetWordWrap(false);
    label->SetCaption(currentText_);
    Translate();
    // Off and on again, so the label takes the size of its translated text.
    label->SetAutoSize(false);
    label->SetAutoSize(true);
    label->SetTop(static_cast<int>(rtl::Round(form->ClientHeight() / 2.0 - label->Height() / 2.0)));

    vcl::TCanvas* canvas = form->Canvas();
    canvas->Font()->Assign(form->Font());
    const int width = canvas->TextWidth(label->Caption()) + form->pnlBack->Left() + form->pnlMessage->Left() +
                      label->Left() + 25;
    const int left = static_cast<int>(rtl::Round(vcl::Screen->Width() / 2.0 - width / 2.0));
    form->SetBounds(left, form->Top(), width, form->Height());
    form->Show();
    // Showing a hidden form centres it again by the form's own rule; the left computed here stands.
    form->SetBounds(left, form->Top(), width, form->Height());
    form->Repaint();
    vcl::Application->ProcessMessages();
}

void TInstallStatusDlg::HideStatus()
{
    if (vcl::TCustomForm* form = Form()) {
        form->Hide();
        vcl::Application->ProcessMessages();
    }
}

void RegisterCopyWindowClasses()
{
    RegisterDialogManagerClasses();
    vcl::RegisterClasses({&TCopyFileForm::StaticClass(), &TCopyFileDlg::StaticClass(),
                          &TInstallStatusForm::StaticClass(), &TInstallStatusDlg::StaticClass()});
}
