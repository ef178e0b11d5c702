#include "installer/wizard/CopyFileUnit.h"

#include "FormResources_installer_wizard.h"

VCL_IMPLEMENT_CLASS(TCopyFileForm)

void TCopyFileForm::RegisterProperties(vcl::TClassDef<TCopyFileForm>& def)
{
    def.Handler("CancelBtnClick", &TCopyFileForm::CancelBtnClick);
}

TCopyFileForm::TCopyFileForm(vcl::TComponent* owner) : TBaseDuringCopyForm(owner)
{
    RegisterFormResources_installer_wizard();
    RegisterTranslatorClasses();
    vcl::RegisterClass<TCopyFileForm>();
    LoadForm("CopyFileUnit.frm");
    UnZipImage = FindChild<vcl::TImage>("UnZipImage");
    TransferBitmap = FindChild<vcl::TImage>("TransferBitmap");
    CancelBtn = FindChild<TTranslateBitBtn>("CancelBtn");
    lblCopyFileHeader = FindChild<TTranslateLabel>("lblCopyFileHeader");
    lblCopyingFile = FindChild<TTranslateLabel>("lblCopyingFile");
    Label1 = FindChild<TTranslateLabel>("Label1");
    Label2 = FindChild<TTranslateLabel>("Label2");
    ProgressBar1 = FindChild<vcl::TProgressBar>("ProgressBar1");
    ProgressBar2 = FindChild<vcl::TProgressBar>("ProgressBar2");
    // The window comes up while the person may still be typing on the last page: Cancel takes no focus
    // of its own, so a Return or Space meant for that page never cancels. Escape and a click still do.
    CancelBtn->SetTabStop(false);
}

void TCopyFileForm::UpdateProgress(TFileStatusParameter* fileStatus, TDownloadStatusParameter* downloadStatus)
{
    if (fileStatus) {
        TransferBitmap->SetVisible(false);
        ProgressBar2->SetPosition(static_cast<int>(fileStatus->TotalPercent));
        ProgressBar1->SetPosition(static_cast<int>(fileStatus->FilePercent));
        lblCopyingFile->SetCaption(fileStatus->FileName);
    } else if (downloadStatus) {
        TransferBitmap->SetVisible(true);
        TransferBitmap->BringToFront();
        ProgressBar1->SetPosition(static_cast<int>(downloadStatus->Percent));
        lblCopyingFile->SetCaption(downloadStatus->FileName);
    }
    // The copy loops do not return to the event loop between steps.
    Repaint();
}

void TCopyFileForm::CancelBtnClick(vcl::TObject*)
{
    CancelCopy();
}

// ---------------------------------------------------------------------------------------------------------

VCL_IMPLEMENT_CLASS(TCopyFileDlg)

void TCopyFileDlg::RegisterProperties(vcl::TClassDef<TCopyFileDlg>& def)
{
    using T = TCopyFileDlg;
    def.Property("AutoSetFont", &T::AutoSetFont, &T::SetAutoSetFont, true);
    def.Property("AutoTranslate", &T::AutoTranslate, &T::SetAutoTranslate, true);
    def.Property("DialogManager", &T::DialogManager, &T::SetDialogManager);
    def.Property("Height", &T::Height, &T::SetHeight, 146);
    def.Property("OverrideMainTranslator", &T::OverrideMainTranslator, &T::SetOverrideMainTranslator, false);
    def.Property("Position", &T::Position, &T::SetPosition, tdpBottomCenter);
    def.Property("RelativeLeftOffset", &T::RelativeLeftOffset, &T::SetRelativeLeftOffset, 0);
    def.Property("RelativeTopOffset", &T::RelativeTopOffset, &T::SetRelativeTopOffset, 30);
    def.Property("ThemeBitmap", &T::ThemeBitmap, &T::SetThemeBitmap);
    def.Property("TranslateIntoLanguage", &T::TranslateIntoLanguage, &T::SetTranslateIntoLanguage, tlUser);
    def.Property("Width", &T::Width, &T::SetWidth, 474);
}

TCopyFileDlg::TCopyFileDlg(vcl::TComponent* owner) : TCustomBaseInstallDlg(owner)
{
    SetHeight(146);
    SetWidth(474);
    SetPosition(tdpBottomCenter);
    SetRelativeTopOffset(30);
    entry_ = RegisterDuringCopyForm(&TCopyFileForm::StaticClass(), this);
    SetDialogManagerDirectly(FindDialogManager(dmDuringCopyFiles));
}

TCopyFileDlg::~TCopyFileDlg()
{
    UnregisterDuringCopyForm(entry_);
}
