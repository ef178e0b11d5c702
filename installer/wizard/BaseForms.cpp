#include "installer/wizard/BaseForms.h"

#include "installer/engine/Install.h"
#include "installer/support/NetInstallLocation.h"
#include "installer/support/TranslatorHooks.h"
#include "installer/support/TrwkCompress.h"
#include "installer/wizard/BaseFormContainer.h"
#include "installer/wizard/DialogManager.h"
#include "platform/vcl/Dialogs.h"
#include "platform/vcl/Messages.h"

VCL_IMPLEMENT_CLASS_NOPROPS(TBaseTarnwickForm)

TBaseTarnwickForm::TBaseTarnwickForm(vcl::TComponent* owner) : TForm(owner)
{
    Font()->SetCharset(vcl::ANSI_CHARSET);
}

void TBaseTarnwickForm::DoTranslate()
{
    TranslateForm();
}

void TBaseTarnwickForm::TranslateForm()
{
    formLanguage_ = TranslateFormWith(this, autoSetFont_, autoTranslate_, overrideMainTranslator_,
                                      translateIntoLanguage_, formLanguage_);
    vcl::Application->ProcessMessages();
}

TTrwkLanguage TranslateFormWith(vcl::TCustomForm* form, bool autoSetFont, bool autoTranslate, bool overrideMain,
                                TTrwkLanguage into, TTrwkLanguage current)
{
    if (autoSetFont) {
        if (overrideMain)
            TranslateControlFontInto(into, form, false);
        else
            TranslateControlFont(form, false);
    }
    if (!autoTranslate)
        return current;
    return overrideMain ? TranslateComponentInto(current, into, form) : TranslateComponent(current, form);
}

// ---------------------------------------------------------------------------------------------------------

VCL_IMPLEMENT_CLASS(TBaseInstallForm)

void TBaseInstallForm::RegisterProperties(vcl::TClassDef<TBaseInstallForm>& def)
{
    using T = TBaseInstallForm;
    def.Property("DC", &T::DC, &T::SetDC);
    def.Property("DM", &T::DM, &T::SetDM);
    def.Property("Order", &T::Order, &T::SetOrder, 0);
}

TBaseInstallForm::TBaseInstallForm(vcl::TComponent* owner) : TBaseTarnwickForm(owner) {}

TCustomBaseInstallDlg* TBaseInstallForm::DC() const
{
    return dc_.get();
}

void TBaseInstallForm::SetDC(TCustomBaseInstallDlg* value)
{
    dc_ = value;
}

TDialogManager* TBaseInstallForm::DM() const
{
    return dm_.get();
}

void TBaseInstallForm::SetDM(TDialogManager* value)
{
    dm_ = value;
}

TBaseFormContainer* TBaseInstallForm::Frame() const
{
    return dynamic_cast<TBaseFormContainer*>(Owner());
}

bool TBaseInstallForm::IsFirstPage()
{
    TBaseFormContainer* frame = Frame();
    if (!frame)
        return false;
    const int selected = frame->Tabs->TabIndex();
    for (int i = 0; i < selected && i < frame->PageCount(); ++i) {
        if (!frame->Pages(i)->SkipPage())
            return false;
    }
    return true;
}

bool TBaseInstallForm::IsLastPage()
{
    TBaseFormContainer* frame = Frame();
    return frame && frame->Tabs->TabIndex() + 1 == frame->PageCount();
}

void TBaseInstallForm::AbortWizard()
{
    if (TBaseFormContainer* frame = Frame())
        frame->SetModalResult(vcl::mrAbort);
    else
        SetModalResult(vcl::mrAbort);
}

void TBaseInstallForm::GoNext()
{
    if (TBaseFormContainer* frame = Frame())
        frame->NextPage();
}

void TBaseInstallForm::GoBack()
{
    if (TBaseFormContainer* frame = Frame())
        frame->PreviousPage();
}

void TBaseInstallForm::ActivatePage()
{
    if (!dynamic_cast<vcl::TCustomForm*>(Owner()))
        return;
    // To the front first: a page under another takes no focus, and RefreshPage gives it its focus.
    BringToFront();
    RefreshPage();
}

void TBaseInstallForm::CancelWizard()
{
    if (!UserConfirmsAbort())
        return;
    AbortWizard();
}

void TBaseInstallForm::CreateParams(vcl::TCreateParams& params)
{
    TBaseTarnwickForm::CreateParams(params);
    auto* owner = dynamic_cast<vcl::TCustomForm*>(Owner());
    if (!owner)
        return;
    params.WndParent = owner->Handle();
    params.Style = vcl::WS_CHILD | vcl::WS_CLIPSIBLINGS;
    params.X = 0;
    params.Y = 0;
}

void TBaseInstallForm::Loaded()
{
    TBaseTarnwickForm::Loaded();
    auto* owner = dynamic_cast<vcl::TCustomForm*>(Owner());
    if (!owner)
        return;
    SetVisible(false);
    SetPosition(vcl::poDesigned);
    SetBorderIcons({});
    SetBorderStyle(vcl::bsNone);
    HandleNeeded();
    SetBounds(0, 0, owner->ClientWidth(), owner->Height());
}

// ---------------------------------------------------------------------------------------------------------

VCL_IMPLEMENT_CLASS(TBaseDuringCopyForm)

void TBaseDuringCopyForm::RegisterProperties(vcl::TClassDef<TBaseDuringCopyForm>& def)
{
    def.Property("DM", &TBaseDuringCopyForm::DM, &TBaseDuringCopyForm::SetDM);
}

TBaseDuringCopyForm::TBaseDuringCopyForm(vcl::TComponent* owner) : TBaseTarnwickForm(owner)
{
    dm_ = FindDialogManager(dmDuringCopyFiles);
}

TDialogManager* TBaseDuringCopyForm::DM() const
{
    return dm_.get();
}

void TBaseDuringCopyForm::SetDM(TDialogManager* value)
{
    dm_ = value;
}

void TBaseDuringCopyForm::CancelCopy()
{
    TCustomInstall* driver = InstallDriver();
    if (driver && driver->Committed()) {
        vcl::MessageDlg(TranslateText("The installation is complete and can no longer be cancelled."),
                        vcl::mtInformation, {vcl::mbOK}, 0);
        return;
    }
    if (!UserConfirmsAbort())
        return;
    // Both loops look at their flag at their next step; the window stays until copying ends.
    SharedCompressor().SetAbort(true);
    SetNetDownloadAbort(true);
}

void TBaseDuringCopyForm::CloseRequestedByUser()
{
    CancelCopy();
}

void TBaseDuringCopyForm::UpdateProgress(TFileStatusParameter*, TDownloadStatusParameter*) {}

// ---------------------------------------------------------------------------------------------------------

bool UserConfirmsAbort()
{
    TCustomInstall* driver = InstallDriver();
    return driver ? driver->AskUserAbort() : true;
}

VCL_IMPLEMENT_CLASS_NOPROPS(TBaseChangeDiskForm)

TBaseChangeDiskForm::TBaseChangeDiskForm(vcl::TComponent* owner) : TBaseDuringCopyForm(owner)
{
    SetDM(FindDialogManager(dmChangeDisk));
}

void RegisterBaseFormClasses()
{
    vcl::RegisterClasses({&TBaseTarnwickForm::StaticClass(), &TBaseInstallForm::StaticClass(),
                          &TBaseDuringCopyForm::StaticClass(), &TBaseChangeDiskForm::StaticClass()});
}
