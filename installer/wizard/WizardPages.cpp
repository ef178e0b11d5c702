#include "installer/wizard/WizardPages.h"

#include "FormResources_installer_wizard.h"
#include "installer/engine/Install.h"
#include "installer/engine/InstallObjects.h"
#include "installer/wizard/Backdrop.h"
#include "installer/wizard/FolderPages.h"
#include "platform/richedit/RichEdit.h"

using rtl::AnsiString;

VCL_IMPLEMENT_CLASS(TWizardPageForm)

void TWizardPageForm::RegisterProperties(vcl::TClassDef<TWizardPageForm>& def)
{
    using T = TWizardPageForm;
    def.Handler("FormCreate", &T::FormCreate);
    def.Handler("BackBtnClick", &T::BackBtnClick);
    def.Handler("ProceedBtnClick", &T::ProceedBtnClick);
    def.Handler("CancelBtnClick", &T::CancelBtnClick);
}

TWizardPageForm::TWizardPageForm(vcl::TComponent* owner, TManagerType managerType, int order)
    : TBaseInstallForm(owner)
{
    SetDM(FindDialogManager(managerType));
    SetOrder(order);
}

void TWizardPageForm::LoadPage(const char* resourceName)
{
    RegisterWizardPageClasses();
    LoadForm(resourceName);
}

void TWizardPageForm::Loaded()
{
    TBaseInstallForm::Loaded();
    ThemeBitmap = FindChild<vcl::TImage>("ThemeBitmap");
    BackBtn = FindChild<TTranslateBitBtn>("BackBtn");
    ProceedBtn = FindChild<TTranslateBitBtn>("ProceedBtn");
    CancelBtn = dynamic_cast<TTranslateBitBtn*>(FindComponent("CancelBtn"));
    FinishBtn = dynamic_cast<TTranslateBitBtn*>(FindComponent("FinishBtn"));
}

void TWizardPageForm::FormCreate(vcl::TObject*)
{
    TCustomInstall* install = InstallDriver();
    if (ThemeBitmap->Picture()->Empty() && install)
        ThemeBitmap->Picture()->Assign(install->DialogThemeBitmap());
}

void TWizardPageForm::FocusButton(vcl::TButton* button)
{
    if (button && button->Visible() && Visible() && button->CanFocus())
        button->SetFocus();
}

void TWizardPageForm::RefreshPage()
{
    BackBtn->SetVisible(!IsFirstPage());
    FocusButton(ProceedBtn);
}

void TWizardPageForm::BackBtnClick(vcl::TObject*)
{
    GoBack();
}

void TWizardPageForm::ProceedBtnClick(vcl::TObject*)
{
    GoNext();
}

void TWizardPageForm::CancelBtnClick(vcl::TObject*)
{
    CancelWizard();
}

// ---------------------------------------------------------------------------------------------------------

VCL_IMPLEMENT_CLASS_NOPROPS(TWizardPageDlg)

TWizardPageDlg::TWizardPageDlg(vcl::TComponent* owner, const vcl::TClassMeta& formClass, TManagerType managerType,
                               int order, int standAloneCode)
    : TBaseInstallDlg(owner), standAloneCode_(standAloneCode)
{
    SetOrder(order);
    entry_ = RegisterPageForm(&formClass, this);
    SetDialogManagerDirectly(FindDialogManager(managerType));
}

TWizardPageDlg::~TWizardPageDlg()
{
    UnregisterPageForm(entry_);
}

TWizardPageForm* TWizardPageDlg::Page() const
{
    return dynamic_cast<TWizardPageForm*>(Form());
}

void TWizardPageDlg::AssignDialogProperties()
{
    TBaseInstallDlg::AssignDialogProperties();
    TWizardPageForm* page = Page();
    if (!page)
        return;
    page->BackBtn->SetVisible(false);
    // Alone, Next and Finish end the modal page; inside the frame the click handlers navigate.
    page->ProceedBtn->SetModalResult(vcl::mrOk);
    if (page->FinishBtn)
        page->FinishBtn->SetModalResult(vcl::mrOk);
    AssignContent(*page);
    ApplyThemeBitmap(page->ThemeBitmap->Picture());
}

void TWizardPageDlg::ContainerMessage(vcl::TComponent* sender, int code, rtl::TObject* parameter)
{
    TBaseInstallDlg::ContainerMessage(sender, code, parameter);
    ExecuteStandAlone(code, standAloneCode_);
}

// ---------------------------------------------------------------------------------------------------------

VCL_IMPLEMENT_CLASS_NOPROPS(TWelcomeForm)

TWelcomeForm::TWelcomeForm(vcl::TComponent* owner) : TWizardPageForm(owner, dmBeforeInstall, 5)
{
    LoadPage("WelcomeForm.frm");
}

VCL_IMPLEMENT_CLASS_NOPROPS(TWelcomeDlg)

TWelcomeDlg::TWelcomeDlg(vcl::TComponent* owner)
    : TWizardPageDlg(owner, TWelcomeForm::StaticClass(), dmBeforeInstall, 10, InstallMessage::ShowWelcome)
{
}

// ---------------------------------------------------------------------------------------------------------

namespace {

// The dialog's lines as plain lines of the page's read-only text box.
void ShowLines(vcl::TRichEdit* box, const rtl::TStrings& lines)
{
    if (box)
        box->Lines()->Assign(lines);
}

}  // namespace

VCL_IMPLEMENT_CLASS_NOPROPS(TLicenseForm)

TLicenseForm::TLicenseForm(vcl::TComponent* owner) : TWizardPageForm(owner, dmBeforeInstall, 20)
{
    LoadPage("LicenseForm.frm");
}

void TLicenseForm::Loaded()
{
    TWizardPageForm::Loaded();
    Agreement = FindChild<vcl::TRichEdit>("Agreement");
}

VCL_IMPLEMENT_CLASS(TLicenseDlg)

void TLicenseDlg::RegisterProperties(vcl::TClassDef<TLicenseDlg>& def)
{
    def.Property("LicenseAgreement", &TLicenseDlg::LicenseAgreement, &TLicenseDlg::SetLicenseAgreement);
}

TLicenseDlg::TLicenseDlg(vcl::TComponent* owner)
    : TWizardPageDlg(owner, TLicenseForm::StaticClass(), dmBeforeInstall, 20, InstallMessage::ShowLicense),
      licenseAgreement_(std::make_unique<rtl::TStringList>())
{
}

TLicenseDlg::~TLicenseDlg() = default;

void TLicenseDlg::SetLicenseAgreement(const rtl::TStrings& value)
{
    licenseAgreement_->Assign(value);
}

void TLicenseDlg::AssignContent(TWizardPageForm& page)
{
    ShowLines(static_cast<TLicenseForm&>(page).Agreement, *licenseAgreement_);
}

// ---------------------------------------------------------------------------------------------------------

VCL_IMPLEMENT_CLASS_NOPROPS(TReadmeForm)

TReadmeForm::TReadmeForm(vcl::TComponent* owner) : TWizardPageForm(owner, dmBeforeInstall, 30)
{
    LoadPage("ReadmeForm.frm");
}

void TReadmeForm::Loaded()
{
    TWizardPageForm::Loaded();
    Information = FindChild<vcl::TRichEdit>("Information");
}

VCL_IMPLEMENT_CLASS(TReadmeDlg)

void TReadmeDlg::RegisterProperties(vcl::TClassDef<TReadmeDlg>& def)
{
    def.Property("ReadmeText", &TReadmeDlg::ReadmeText, &TReadmeDlg::SetReadmeText);
}

TReadmeDlg::TReadmeDlg(vcl::TComponent* owner)
    : TWizardPageDlg(owner, TReadmeForm::StaticClass(), dmBeforeInstall, 30, InstallMessage::ShowReadme),
      readmeText_(std::make_unique<rtl::TStringList>())
{
}

TReadmeDlg::~TReadmeDlg() = default;

void TReadmeDlg::SetReadmeText(const rtl::TStrings& value)
{
    readmeText_->Assign(value);
}

void TReadmeDlg::AssignContent(TWizardPageForm& page)
{
    ShowLines(static_cast<TReadmeForm&>(page).Information, *readmeText_);
}

// ---------------------------------------------------------------------------------------------------------

VCL_IMPLEMENT_CLASS_NOPROPS(TFinishPageForm)

void TFinishPageForm::RefreshPage()
{
    BackBtn->SetVisible(!IsFirstPage());
    ProceedBtn->SetVisible(!IsLastPage());
    FinishBtn->SetVisible(!ProceedBtn->Visible());
    FocusButton(ProceedBtn);
    FocusButton(FinishBtn);
}

VCL_IMPLEMENT_CLASS_NOPROPS(TGoodInstallForm)

TGoodInstallForm::TGoodInstallForm(vcl::TComponent* owner) : TFinishPageForm(owner, dmAfterGoodInstall, 10)
{
    LoadPage("GoodInstallForm.frm");
}

VCL_IMPLEMENT_CLASS_NOPROPS(TGoodInstallationDlg)

TGoodInstallationDlg::TGoodInstallationDlg(vcl::TComponent* owner)
    : TWizardPageDlg(owner, TGoodInstallForm::StaticClass(), dmAfterGoodInstall, 10, InstallMessage::GoodEnding)
{
}

VCL_IMPLEMENT_CLASS_NOPROPS(TBadInstallForm)

TBadInstallForm::TBadInstallForm(vcl::TComponent* owner) : TFinishPageForm(owner, dmAfterBadInstall, 10)
{
    LoadPage("BadInstallForm.frm");
}

VCL_IMPLEMENT_CLASS_NOPROPS(TBadInstallationDlg)

TBadInstallationDlg::TBadInstallationDlg(vcl::TComponent* owner)
    : TWizardPageDlg(owner, TBadInstallForm::StaticClass(), dmAfterBadInstall, 10, InstallMessage::BadEnding)
{
}

// ---------------------------------------------------------------------------------------------------------

void RegisterWizardPageClasses()
{
    RegisterFormResources_installer_wizard();
    vcl::RegisterRichEditControls();
    RegisterTranslatorClasses();
    RegisterBackdropClasses();
    RegisterDialogManagerClasses();
    vcl::RegisterClasses({
        &TWelcomeForm::StaticClass(), &TWelcomeDlg::StaticClass(),
        &TLicenseForm::StaticClass(), &TLicenseDlg::StaticClass(),
        &TReadmeForm::StaticClass(), &TReadmeDlg::StaticClass(),
        &TSelectDestinationForm::StaticClass(), &TSelectDestinationDlg::StaticClass(),
        &TSelectFolderForm::StaticClass(), &TSelectFolderDlg::StaticClass(),
        &TGoodInstallForm::StaticClass(), &TGoodInstallationDlg::StaticClass(),
        &TBadInstallForm::StaticClass(), &TBadInstallationDlg::StaticClass(),
    });
}
