#pragma once
// The base forms of every window a setup shows: TBaseTarnwickForm (translation settings, translating
// itself), TBaseInstallForm (a wizard page: its dialog, its manager, its Order and the navigation its
// buttons call) and TBaseDuringCopyForm (a modeless window fed while files are copied).
//
// A page owned by a form (the wizard frame) becomes a child window of it: no caption, no border, at 0, 0.
// Owned by anything else it keeps its designed frame and runs as an ordinary modal dialog.
//
//   class TWelcomeForm : public TBaseInstallForm { ... LoadForm("WelcomeUnit.frm"); ... };
//   void TWelcomeForm::CancelBtnClick(TObject*) { CancelWizard(); }   // asks the driver's OnUserAbort

#include "installer/engine/InstallObjects.h"
#include "installer/support/TranslatorHooks.h"
#include "platform/vcl/Forms.h"

class TCustomBaseInstallDlg;
class TDialogManager;
class TBaseFormContainer;

class TBaseTarnwickForm : public vcl::TForm {
    VCL_CLASS(TBaseTarnwickForm, vcl::TForm)
public:
    explicit TBaseTarnwickForm(vcl::TComponent* owner);

    bool AutoSetFont() const { return autoSetFont_; }
    void SetAutoSetFont(bool value) { autoSetFont_ = value; }
    bool AutoTranslate() const { return autoTranslate_; }
    void SetAutoTranslate(bool value) { autoTranslate_ = value; }
    TInstallContainer* Container() const { return container_.get(); }
    void SetContainer(TInstallContainer* value) { container_ = value; }
    TTrwkLanguage FormLanguage() const { return formLanguage_; }
    void SetFormLanguage(TTrwkLanguage value) { formLanguage_ = value; }
    bool OverrideMainTranslator() const { return overrideMainTranslator_; }
    void SetOverrideMainTranslator(bool value) { overrideMainTranslator_ = value; }
    TTrwkLanguage TranslateIntoLanguage() const { return translateIntoLanguage_; }
    void SetTranslateIntoLanguage(TTrwkLanguage value) { translateIntoLanguage_ = value; }

    virtual void DoTranslate();
    // Fills the controls when the form is shown; pages override it.
    virtual void RefreshPage() {}
    // Fonts, then texts, into the main target language or the form's own; then pending messages.
    virtual void TranslateForm();

private:
    bool autoSetFont_ = true;
    bool autoTranslate_ = true;
    vcl::TComponentRef<TInstallContainer> container_;
    TTrwkLanguage formLanguage_ = tlEnglish;
    bool overrideMainTranslator_ = false;
    TTrwkLanguage translateIntoLanguage_ = tlUser;
};

class TBaseInstallForm : public TBaseTarnwickForm {
    VCL_CLASS(TBaseInstallForm, TBaseTarnwickForm)
public:
    explicit TBaseInstallForm(vcl::TComponent* owner);

    TCustomBaseInstallDlg* DC() const;
    void SetDC(TCustomBaseInstallDlg* value);
    TDialogManager* DM() const;
    void SetDM(TDialogManager* value);
    int Order() const { return order_; }
    void SetOrder(int value) { order_ = value; }

    // Inside a wizard frame: every page before the shown one skips itself (so true on the first).
    virtual bool IsFirstPage();
    // Inside a wizard frame: the shown page is the last of the frame's list (later ones are not asked).
    virtual bool IsLastPage();
    virtual void PageLeaving() {}
    // Closes with Abort without asking; nothing in the setup calls it.
    virtual void AbortWizard();
    virtual void GoNext();
    virtual void GoBack();
    // The frame shows this page: bring it to the front and refresh it.
    virtual void ActivatePage();
    virtual bool SkipPage() { return false; }
    // What every Cancel button calls: asks the driver, then closes the wizard (or the lone page) with Abort.
    virtual void CancelWizard();

    void CreateParams(vcl::TCreateParams& params) override;
    void Loaded() override;

protected:
    // The wizard frame that owns this page, or null.
    TBaseFormContainer* Frame() const;

private:
    vcl::TComponentRef<TCustomBaseInstallDlg> dc_;
    vcl::TComponentRef<TDialogManager> dm_;
    int order_ = 0;
};

class TBaseDuringCopyForm : public TBaseTarnwickForm {
    VCL_CLASS(TBaseDuringCopyForm, TBaseTarnwickForm)
public:
    explicit TBaseDuringCopyForm(vcl::TComponent* owner);

    TDialogManager* DM() const;
    void SetDM(TDialogManager* value);

    // What the Cancel button calls: once the driver agrees, the archive and download loops stop, and the
    // run ends as cancelled. Once the run has committed, a Cancel is refused with a message.
    virtual void CancelCopy();
    // The close box and Alt+F4 are a Cancel: the window stays while the copy goes on.
    void CloseRequestedByUser() override;
    // Either parameter may be null.
    virtual void UpdateProgress(TFileStatusParameter* fileStatus, TDownloadStatusParameter* downloadStatus);

private:
    vcl::TComponentRef<TDialogManager> dm_;
};

// The base of a change-disk form: the manager that shows it, and the volume wanted (its DC), whose Path the
// form may change for the file to look in.
class TBaseChangeDiskForm : public TBaseDuringCopyForm {
    VCL_CLASS(TBaseChangeDiskForm, TBaseDuringCopyForm)
public:
    explicit TBaseChangeDiskForm(vcl::TComponent* owner);
    TDiskParameter* DC() const { return dc_; }
    void SetDC(TDiskParameter* value) { dc_ = value; }

private:
    TDiskParameter* dc_ = nullptr;
};

// The translator's fonts and texts for a form, into `into` when `overrideMain`, else into the main target
// language; gives the language the texts stand in afterwards (`current` when texts are not translated).
TTrwkLanguage TranslateFormWith(vcl::TCustomForm* form, bool autoSetFont, bool autoTranslate, bool overrideMain,
                                TTrwkLanguage into, TTrwkLanguage current);

// Asks whether to abort: the driver's AskUserAbort, or yes without a driver.
bool UserConfirmsAbort();

void RegisterBaseFormClasses();
