#pragma once
// The two wizard pages that edit the installation: the destination page (the folder the product goes to,
// typed or browsed for) and the program-menu page (the folder of the main link group under the Start
// Menu's Programs folder, typed or picked from the folders there).
//
//   object SelectFolderDlg: TSelectFolderDlg
//     Container = MainFolder               // the main link group
//     DialogManager = DialogManager
//   end
//
// Without a main link group the program-menu page skips itself.

#include <vector>

#include "installer/engine/ShellLinks.h"
#include "installer/support/TrwkSystem.h"
#include "installer/wizard/WizardPages.h"
#include "platform/vcl/StdCtrls.h"

class TSelectDestinationForm : public TWizardPageForm {
    VCL_CLASS(TSelectDestinationForm, TWizardPageForm)
public:
    explicit TSelectDestinationForm(vcl::TComponent* owner);

    TTranslateLabel* lblText1 = nullptr;
    TTranslateLabel* lblText2 = nullptr;
    TTranslateLabel* lblText3 = nullptr;
    vcl::TGroupBox* gbDirectory = nullptr;
    vcl::TEdit* edDestDir = nullptr;
    TTranslateBitBtn* BrowseBtn = nullptr;

    // The group box only for a destination that is set; the edit shows it.
    void RefreshPage() override;
    // Next only with a full destination path; a blank or relative one is refused with a message.
    void ProceedBtnClick(vcl::TObject* Sender) override;
    // The folder dialog opened on the destination, which exists meanwhile; the folders made for that
    // and not chosen are removed again.
    void BrowseBtnClick(vcl::TObject* Sender);
    // The typed text becomes the destination as an absolute path.
    void edDestDirChange(vcl::TObject* Sender);

    void Loaded() override;

private:
    void ShowDestination(const rtl::AnsiString& path);

    bool updating_ = false;
};

class TSelectDestinationDlg : public TWizardPageDlg {
    VCL_CLASS(TSelectDestinationDlg, TWizardPageDlg)
public:
    explicit TSelectDestinationDlg(vcl::TComponent* owner);
    const vcl::TClassMeta& DialogClass() const override { return TSelectDestinationForm::StaticClass(); }
    // Theme, the page refreshed, and Back hidden again after the refresh.
    void AssignDialogProperties() override;
    // IException "Cannot run this dialog %s with a blank Container property" without a Container.
    bool ShowDialog() override;
    // The bad ending (either message) also removes the folders Browse made that are still empty.
    void ContainerMessage(vcl::TComponent* sender, int code, rtl::TObject* parameter) override;

    // Folders Browse made for a destination that was chosen, deepest first.
    void NoteBrowsedFolders(const std::vector<rtl::AnsiString>& made);
    const std::vector<rtl::AnsiString>& BrowsedFolders() const { return browsedFolders_; }

private:
    void RemoveEmptyBrowsedFolders();
    std::vector<rtl::AnsiString> browsedFolders_;
};

class TSelectFolderForm : public TWizardPageForm {
    VCL_CLASS(TSelectFolderForm, TWizardPageForm)
public:
    explicit TSelectFolderForm(vcl::TComponent* owner);

    TTranslateLabel* TopDescriptionLabel = nullptr;
    TTranslateLabel* Label1 = nullptr;
    TTranslateLabel* ProgramFolders = nullptr;
    vcl::TEdit* FolderEdit = nullptr;
    TTranslateLabel* Label3 = nullptr;
    TTranslateLabel* ExistingFolders = nullptr;
    TTranslateLabel* Label4 = nullptr;
    vcl::TListBox* FolderListBox = nullptr;

    // The list from the Programs folder, the edit from the container's folder (its last level).
    void RefreshPage() override;
    // Skipped while there is no link group to edit.
    bool SkipPage() override { return Container() == nullptr; }
    void PageLeaving() override {}
    void FolderListBoxClick(vcl::TObject* Sender);
    // The container's folder becomes the program menu's "\" + the typed name.
    void FolderEditChange(vcl::TObject* Sender);
    void FormResize(vcl::TObject* Sender);

    void Loaded() override;
};

class TSelectFolderDlg : public TWizardPageDlg {
    VCL_CLASS(TSelectFolderDlg, TWizardPageDlg)
public:
    explicit TSelectFolderDlg(vcl::TComponent* owner);
    const vcl::TClassMeta& DialogClass() const override { return TSelectFolderForm::StaticClass(); }

    // Null for none, the link group, or IException "The container for %s must be a
    // TCustomShellLinkGroup" for a container of another kind.
    TCustomShellLinkGroup* Container() const;
    void SetContainer(TCustomShellLinkGroup* value) { TWizardPageDlg::SetContainer(value); }
    using TWizardPageDlg::SetContainer;

    void AssignDialogProperties() override;
    // IException "Cannot run this dialog %s with a blank Container property" without a Container.
    bool ShowDialog() override;
};

// The names of the folders in the Start Menu's Programs folder, on the kinds of Windows that have one
// there (95, NT, 2000, 98, ME, XP); empty on the others.
void ProgramFolderNames(TOSVerType osKind, rtl::TStrings& names);

// A destination folder a setup can install to: a drive and a path from its root ("C:\App", or "C:" for
// the root as GetDestPath gives it), or a network share ("\\server\share\App").
bool IsFullDestinationPath(const rtl::AnsiString& path);

// Browsing from `path`: the folders made so that the dialog can open there, deepest first; nothing for
// a path that is not a full destination path.
std::vector<rtl::AnsiString> CreateMissingFolders(const rtl::AnsiString& path);
// Removes those of `made` (deepest first) that are still empty and are neither `chosen` nor above it.
void RemoveUnusedFolders(const std::vector<rtl::AnsiString>& made, const rtl::AnsiString& chosen);
