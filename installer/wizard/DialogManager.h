#pragma once
// Dialog components and dialog managers: how the engine's container messages reach the setup's windows.
//
// A dialog component (TCustomBaseInstallDlg) stands for one window class and holds its settings; a dialog
// manager (TDialogManager) stands for one occasion (its ManagerType). On the occasion's message the manager
// builds a wizard frame from every page form registered for it, or keeps the during-copy windows fed.
//
//   RegisterPageForm(&TWelcomeForm::StaticClass(), this);         // a page dialog's constructor
//   SetDialogManagerDirectly(FindDialogManager(dmBeforeInstall));  // the first manager of that kind
//   install->BroadcastMessage(install, InstallMessage::BeforeInstall, nullptr);   // the wizard runs
//
// A wizard cancelled by the user raises EAIUserAbort, which the driver takes as the user's abort.

#include <cstdint>
#include <memory>
#include <vector>

#include "installer/engine/InstallObjects.h"
#include "installer/support/TranslatorHooks.h"
#include "platform/vcl/GraphicsCanvas.h"

namespace vcl {
class TCustomForm;
}
class TBaseDuringCopyForm;
class TDialogManager;
class TCustomBaseInstallDlg;

// The occasions. The value 6 belongs to no component of this system.
VCL_ENUM_SIZED(TManagerType, uint8_t, dmBeforeInstall, dmAfterGoodInstall, dmAfterBadInstall, dmDuringCopyFiles,
               dmChangeDisk, dmReboot, dmUnused, dmUninstall)

VCL_ENUM_SIZED(TTarnwickDialogPosition, uint8_t, tdpCenterLeft, tdpCenter, tdpCenterRight, tdpBottomLeft,
               tdpBottomCenter, tdpBottomRight, tdpTopLeft, tdpTopCenter, tdpTopRight)

// The top-left corner of a window of width x height at `position` on the screen, moved by the offsets away
// from the named edge. The centring offsets are taken in single precision, truncated toward zero or, with
// `roundCentre`, rounded with halves to even. Any other position value gives `current`.
vcl::TPoint DialogPositionOrigin(int position, int dx, int dy, int width, int height, bool roundCentre,
                                 vcl::TPoint current);

// ---------------------------------------------------------------------------------------------------------
// Registration lists

struct TBIFEntry {
    const vcl::TClassMeta* FormClass = nullptr;
    TCustomBaseInstallDlg* Dialog = nullptr;  // may be null
};
struct TDCFEntry {
    const vcl::TClassMeta* FormClass = nullptr;
    TCustomBaseInstallDlg* Dialog = nullptr;  // may be null
};
// A change-disk form class (a TBaseChangeDiskForm); nothing in the setup registers one.
struct TCDFEntry {
    const vcl::TClassMeta* FormClass = nullptr;
    TCustomBaseInstallDlg* Dialog = nullptr;  // may be null
};

// The module's start-up step (the lists are made when missing) and its shutdown (every entry freed).
void InitializeDialogRegistrations();
void FinalizeDialogRegistrations();

TBIFEntry* RegisterPageForm(const vcl::TClassMeta* formClass, TCustomBaseInstallDlg* dialog);
int PageFormCount();
// IException "The BIFList is NIL", "%d is an invalid index in the BIFList", "The %d 'th entry in the
// BIFList is NIL" (translated).
TBIFEntry* PageFormEntry(int index);
void UnregisterPageForm(TBIFEntry* entry);
TDCFEntry* RegisterDuringCopyForm(const vcl::TClassMeta* formClass, TCustomBaseInstallDlg* dialog);
int DuringCopyFormCount();
TDCFEntry* DuringCopyFormEntry(int index);
void UnregisterDuringCopyForm(TDCFEntry* entry);
TCDFEntry* RegisterChangeDiskForm(const vcl::TClassMeta* formClass);
int ChangeDiskFormCount();
void UnregisterChangeDiskForm(TCDFEntry* entry);

// The first TDialogManager (creation order) of this type whose Container is the installation object.
TDialogManager* FindDialogManager(TManagerType type);
// The manager whose ExecuteWizard (or ShowChangeDisk) runs; null otherwise. Wizards do not nest.
TDialogManager* CurrentDialogManager();

// ---------------------------------------------------------------------------------------------------------

class TCustomBaseInstallDlg : public TInstallObject {
    VCL_CLASS(TCustomBaseInstallDlg, TInstallObject)
public:
    explicit TCustomBaseInstallDlg(vcl::TComponent* owner);
    ~TCustomBaseInstallDlg() override;

    bool AutoSetFont() const { return autoSetFont_; }
    void SetAutoSetFont(bool value) { autoSetFont_ = value; }
    bool AutoTranslate() const { return autoTranslate_; }
    void SetAutoTranslate(bool value) { autoTranslate_ = value; }
    TTrwkLanguage FormLanguage() const { return formLanguage_; }
    vcl::TCustomForm* Form() const;
    void SetForm(vcl::TCustomForm* value);
    TDialogManager* DialogManager() const;
    virtual void SetDialogManager(TDialogManager* value);
    int Height() const { return height_; }
    void SetHeight(int value) { height_ = value; }
    int Width() const { return width_; }
    void SetWidth(int value) { width_ = value; }
    bool OverrideMainTranslator() const { return overrideMainTranslator_; }
    void SetOverrideMainTranslator(bool value) { overrideMainTranslator_ = value; }
    TTarnwickDialogPosition Position() const { return position_; }
    void SetPosition(TTarnwickDialogPosition value) { position_ = value; }
    int RelativeLeftOffset() const { return relativeLeftOffset_; }
    void SetRelativeLeftOffset(int value) { relativeLeftOffset_ = value; }
    int RelativeTopOffset() const { return relativeTopOffset_; }
    void SetRelativeTopOffset(int value) { relativeTopOffset_ = value; }
    TTrwkLanguage TranslateIntoLanguage() const { return translateIntoLanguage_; }
    void SetTranslateIntoLanguage(TTrwkLanguage value) { translateIntoLanguage_ = value; }
    vcl::TPicture* ThemeBitmap() const { return themeBitmap_.get(); }
    virtual void SetThemeBitmap(const vcl::TPicture* value);
    rtl::TNotifyEvent OnAfterExecute;
    rtl::TNotifyEvent OnBeforeExecute;

    virtual void Translate();
    virtual void AssignDialogProperties();
    virtual bool Execute();
    virtual bool ShowDialog();
    // The form class this dialog shows.
    virtual const vcl::TClassMeta& DialogClass() const = 0;
    virtual bool CanShow() { return true; }
    // The dialog's picture into a page's picture; an empty one leaves the target to the installation's.
    void ApplyThemeBitmap(vcl::TPicture* target) const;

    int ComponentType() const override;
    void ContainerRemoved(TInstallContainer* container) override;
    void Retranslate() override { Translate(); }

protected:
    void SetFormLanguage(TTrwkLanguage value) { formLanguage_ = value; }
    // Concrete constructors store the manager they find without joining its list.
    void SetDialogManagerDirectly(TDialogManager* value);
    // A dialog without a manager shows its window alone on its own message.
    void ExecuteStandAlone(int code, int standAloneCode);

private:
    bool autoSetFont_ = true;
    bool autoTranslate_ = true;
    TTrwkLanguage formLanguage_ = tlEnglish;
    vcl::TComponentRef<vcl::TCustomForm> form_;
    // Held as the install object it is, so a manager on its way out still compares safely.
    vcl::TComponentRef<TInstallContainer> dialogManager_;
    int height_ = 0;
    bool overrideMainTranslator_ = false;
    TTarnwickDialogPosition position_ = tdpCenter;
    int relativeLeftOffset_ = 0;
    int relativeTopOffset_ = 0;
    TTrwkLanguage translateIntoLanguage_ = tlUser;
    std::unique_ptr<vcl::TPicture> themeBitmap_;
    int width_ = 0;
};

// The published form; concrete page dialogs derive from it.
class TBaseInstallDlg : public TCustomBaseInstallDlg {
    VCL_CLASS(TBaseInstallDlg, TCustomBaseInstallDlg)
public:
    explicit TBaseInstallDlg(vcl::TComponent* owner) : TCustomBaseInstallDlg(owner) {}
};

// ---------------------------------------------------------------------------------------------------------

class TDialogManager : public TInstallObject {
    VCL_CLASS(TDialogManager, TInstallObject)
public:
    explicit TDialogManager(vcl::TComponent* owner);
    ~TDialogManager() override;

    int Height() const { return height_; }
    void SetHeight(int value) { height_ = value; }
    int Width() const { return width_; }
    void SetWidth(int value) { width_ = value; }
    TManagerType ManagerType() const { return managerType_; }
    void SetManagerType(TManagerType value) { managerType_ = value; }
    TTarnwickDialogPosition Position() const { return position_; }
    void SetPosition(TTarnwickDialogPosition value) { position_ = value; }
    int RelativeLeftOffset() const { return relativeLeftOffset_; }
    void SetRelativeLeftOffset(int value) { relativeLeftOffset_ = value; }
    int RelativeTopOffset() const { return relativeTopOffset_; }
    void SetRelativeTopOffset(int value) { relativeTopOffset_ = value; }

    virtual void ExecuteWizard();
    // Nothing in this system registers a change-disk form, so this shows nothing.
    virtual void ShowChangeDisk(rtl::TObject* parameter);
    virtual void AddDialog(TCustomBaseInstallDlg* dialog);
    virtual void RemoveDialog(TCustomBaseInstallDlg* dialog);
    void UpdateDuringCopyForms(TFileStatusParameter* fileStatus, TDownloadStatusParameter* downloadStatus);
    void CloseDuringCopyForms();

    int DialogCount() const { return static_cast<int>(dialogs_.size()); }
    TCustomBaseInstallDlg* Dialogs(int index) const { return dialogs_.at(static_cast<size_t>(index)).Dialog; }
    int DuringCopyFormCount() const { return static_cast<int>(duringCopyForms_.size()); }
    TBaseDuringCopyForm* DuringCopyForms(int index) const;

    int ComponentType() const override;
    void ContainerRemoved(TInstallContainer* container) override;
    void ContainerMessage(vcl::TComponent* sender, int code, rtl::TObject* parameter) override;

private:
    std::vector<vcl::TComponentRef<TBaseDuringCopyForm>> duringCopyForms_;
    struct TDialogEntry {
        TCustomBaseInstallDlg* Dialog;
        TInstallContainer* AsContainer;
    };
    std::vector<TDialogEntry> dialogs_;
    int height_ = 395;
    TManagerType managerType_ = dmBeforeInstall;
    TTarnwickDialogPosition position_ = tdpCenter;
    int relativeLeftOffset_ = 0;
    int relativeTopOffset_ = 0;
    int width_ = 478;
};

void RegisterDialogManagerClasses();
