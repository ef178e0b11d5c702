#pragma once
// The wizard pages a setup places on its main form: each is a page form (a TBaseInstallForm) and the
// dialog component that stands for it. A page shows inside the wizard frame of its dialog's manager, or
// alone as a modal window when its dialog has no manager and the engine sends the page's own message.
//
//   object WelcomeDlg: TWelcomeDlg          // on the setup's form, beside the installation
//     Container = Install1
//     DialogManager = DialogManager         // the before-install manager: the page joins its wizard
//   end
//
// This file has the pages' common parts and the five pages that only show texts (welcome, licence,
// readme, "Setup complete", "Setup incomplete"); FolderPages.h has the two that edit the installation.

#include <memory>

#include "installer/support/TrwkTranslator.h"
#include "installer/wizard/BaseForms.h"
#include "installer/wizard/DialogManager.h"
#include "platform/vcl/ExtCtrls.h"

namespace vcl {
class TRichEdit;
}

// The parts every page form has: the side picture, the buttons of the bottom panel and what they do.
class TWizardPageForm : public TBaseInstallForm {
    VCL_CLASS(TWizardPageForm, TBaseInstallForm)
public:
    vcl::TImage* ThemeBitmap = nullptr;
    TTranslateBitBtn* BackBtn = nullptr;
    TTranslateBitBtn* ProceedBtn = nullptr;
    TTranslateBitBtn* CancelBtn = nullptr;  // null on the finish pages
    TTranslateBitBtn* FinishBtn = nullptr;  // only on the finish pages

    void FormCreate(vcl::TObject* Sender);
    // Back only where a page came before; the focus on Next.
    void RefreshPage() override;
    void BackBtnClick(vcl::TObject* Sender);
    virtual void ProceedBtnClick(vcl::TObject* Sender);
    void CancelBtnClick(vcl::TObject* Sender);

    void Loaded() override;

protected:
    // The base constructor, then DM looked up by the page's manager type and the page's own Order.
    TWizardPageForm(vcl::TComponent* owner, TManagerType managerType, int order);
    // Reads the form's resource; call it last in the page's constructor.
    void LoadPage(const char* resourceName);
    // Gives the focus to a button that can take it.
    void FocusButton(vcl::TButton* button);
};

// The parts every page dialog has: its registration, its manager, its stand-alone message and the steps
// its AssignDialogProperties shares with the others.
class TWizardPageDlg : public TBaseInstallDlg {
    VCL_CLASS(TWizardPageDlg, TBaseInstallDlg)
public:
    ~TWizardPageDlg() override;

    // The form as a page, or null.
    TWizardPageForm* Page() const;
    int StandAloneCode() const { return standAloneCode_; }

    // The base step, Back hidden, OK on Next (and Finish), the content, then the theme picture.
    void AssignDialogProperties() override;
    // Shown alone on the page's own message when the dialog has no manager.
    void ContainerMessage(vcl::TComponent* sender, int code, rtl::TObject* parameter) override;

protected:
    TWizardPageDlg(vcl::TComponent* owner, const vcl::TClassMeta& formClass, TManagerType managerType, int order,
                   int standAloneCode);
    // The page's texts from the dialog; nothing by default.
    virtual void AssignContent(TWizardPageForm&) {}

private:
    TBIFEntry* entry_ = nullptr;
    int standAloneCode_ = 0;
};

// ---------------------------------------------------------------------------------------------------------

class TWelcomeForm : public TWizardPageForm {
    VCL_CLASS(TWelcomeForm, TWizardPageForm)
public:
    explicit TWelcomeForm(vcl::TComponent* owner);
};

class TWelcomeDlg : public TWizardPageDlg {
    VCL_CLASS(TWelcomeDlg, TWizardPageDlg)
public:
    explicit TWelcomeDlg(vcl::TComponent* owner);
    const vcl::TClassMeta& DialogClass() const override { return TWelcomeForm::StaticClass(); }
};

class TLicenseForm : public TWizardPageForm {
    VCL_CLASS(TLicenseForm, TWizardPageForm)
public:
    explicit TLicenseForm(vcl::TComponent* owner);
    vcl::TRichEdit* Agreement = nullptr;
    void Loaded() override;
};

class TLicenseDlg : public TWizardPageDlg {
    VCL_CLASS(TLicenseDlg, TWizardPageDlg)
public:
    explicit TLicenseDlg(vcl::TComponent* owner);
    ~TLicenseDlg() override;
    rtl::TStrings* LicenseAgreement() const { return licenseAgreement_.get(); }
    void SetLicenseAgreement(const rtl::TStrings& value);
    const vcl::TClassMeta& DialogClass() const override { return TLicenseForm::StaticClass(); }

protected:
    void AssignContent(TWizardPageForm& page) override;

private:
    std::unique_ptr<rtl::TStrings> licenseAgreement_;
};

class TReadmeForm : public TWizardPageForm {
    VCL_CLASS(TReadmeForm, TWizardPageForm)
public:
    explicit TReadmeForm(vcl::TComponent* owner);
    vcl::TRichEdit* Information = nullptr;
    void PageLeaving() override {}
    void Loaded() override;
};

class TReadmeDlg : public TWizardPageDlg {
    VCL_CLASS(TReadmeDlg, TWizardPageDlg)
public:
    explicit TReadmeDlg(vcl::TComponent* owner);
    ~TReadmeDlg() override;
    rtl::TStrings* ReadmeText() const { return readmeText_.get(); }
    void SetReadmeText(const rtl::TStrings& value);
    const vcl::TClassMeta& DialogClass() const override { return TReadmeForm::StaticClass(); }

protected:
    void AssignContent(TWizardPageForm& page) override;

private:
    std::unique_ptr<rtl::TStrings> readmeText_;
};

// The two pages that end a setup: Finish instead of Next on the last page of their wizard.
class TFinishPageForm : public TWizardPageForm {
    VCL_CLASS(TFinishPageForm, TWizardPageForm)
public:
    void RefreshPage() override;

protected:
    using TWizardPageForm::TWizardPageForm;
};

class TGoodInstallForm : public TFinishPageForm {
    VCL_CLASS(TGoodInstallForm, TFinishPageForm)
public:
    explicit TGoodInstallForm(vcl::TComponent* owner);
};

class TGoodInstallationDlg : public TWizardPageDlg {
    VCL_CLASS(TGoodInstallationDlg, TWizardPageDlg)
public:
    explicit TGoodInstallationDlg(vcl::TComponent* owner);
    const vcl::TClassMeta& DialogClass() const override { return TGoodInstallForm::StaticClass(); }
};

class TBadInstallForm : public TFinishPageForm {
    VCL_CLASS(TBadInstallForm, TFinishPageForm)
public:
    explicit TBadInstallForm(vcl::TComponent* owner);
};

class TBadInstallationDlg : public TWizardPageDlg {
    VCL_CLASS(TBadInstallationDlg, TWizardPageDlg)
public:
    explicit TBadInstallationDlg(vcl::TComponent* owner);
    const vcl::TClassMeta& DialogClass() const override { return TBadInstallForm::StaticClass(); }
};

// Registers the page forms, their dialogs and every class their resources use (the wizard's base
// classes included), so that a setup's form can hold the dialogs; idempotent.
void RegisterWizardPageClasses();
