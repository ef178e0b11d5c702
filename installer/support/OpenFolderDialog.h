#pragma once
// The folder dialog of the destination page: the shell's folder browser, opened on `Directory` (or the
// nearest folder of it that exists), with a button that creates a new folder and an edit box in which a
// path can be typed. A typed folder that does not exist yet is created when the dialog ends with OK.
//
//   TOpenFolderDialog* dialog = new TOpenFolderDialog(form);
//   dialog->SetDirectory("C:\\Program Files\\Scrivane");
//   if (dialog->Execute())
//       destination = dialog->Directory();
//
// The create button makes the folder typed in the edit box when it does not exist yet, else asks for the
// name of a new folder inside the selected one; then the dialog opens again on the new folder.

#include "platform/vcl/Classes.h"
#include "platform/vcl/FolderBrowser.h"
#include "platform/vcl/StdCtrls.h"

// The button that creates a folder, and the edit box for a typed path, added to the browser as it opens.
class TOFDCreateButton : public vcl::TButton {
    VCL_CLASS(TOFDCreateButton, vcl::TButton)
public:
    explicit TOFDCreateButton(vcl::TComponent* owner) : TButton(owner) {}
};

class TOFDPathEdit : public vcl::TEdit {
    VCL_CLASS(TOFDPathEdit, vcl::TEdit)
public:
    explicit TOFDPathEdit(vcl::TComponent* owner) : TEdit(owner) {}
};

// The dialog's captions, as the system has them.
struct TOFDResourceStrings {
    static rtl::AnsiString CreateButtonCaption();
    static rtl::AnsiString NewFolderPrompt();
    static rtl::AnsiString Title();
};

class TOpenFolderDialog : public vcl::TComponent {
    VCL_CLASS(TOpenFolderDialog, vcl::TComponent)
public:
    explicit TOpenFolderDialog(vcl::TComponent* owner) : TComponent(owner) {}

    // In: the folder shown when the dialog opens; out: the folder chosen.
    const rtl::AnsiString& Directory() const { return directory_; }
    void SetDirectory(const rtl::AnsiString& value) { directory_ = value; }
    bool ShowCreateButton() const { return showCreateButton_; }
    void SetShowCreateButton(bool value) { showCreateButton_ = value; }
    bool ShowPathEdit() const { return showPathEdit_; }
    void SetShowPathEdit(bool value) { showPathEdit_ = value; }

    // Shows the dialog; true with Directory set when a folder was chosen. rtl::Exception when the folder
    // chosen cannot be created.
    bool Execute();

    // While the dialog is open: the path it stands on, the browser and the controls added to it.
    const rtl::AnsiString& CurrentPath() const { return currentPath_; }
    vcl::TFolderBrowser* Dialog() const { return dialog_.get(); }
    TOFDCreateButton* CreateButton() const { return createButton_.get(); }
    TOFDPathEdit* PathEdit() const { return pathEdit_.get(); }

private:
    bool ExecuteOnce();
    void BrowserInitialized(vcl::TFolderBrowser& browser);
    void FindBrowserControls(vcl::TFolderBrowser& browser);
    void AddCreateButton(vcl::TFolderBrowser& browser);
    void AddPathEdit(vcl::TFolderBrowser& browser);
    void SelectionChanged(const rtl::AnsiString& path);
    // Selects the nearest existing folder of `path` in the tree.
    void SelectPath(const rtl::AnsiString& path);
    void PathEditKeyUp(rtl::TObject* Sender, uint16_t& Key, vcl::TShiftState Shift);
    void CreateButtonClick(rtl::TObject* Sender);

    rtl::AnsiString directory_;
    bool showCreateButton_ = true;
    bool showPathEdit_ = true;

    rtl::AnsiString currentPath_;
    vcl::TComponentRef<vcl::TFolderBrowser> dialog_;
    vcl::TComponentRef<vcl::TTreeView> tree_;
    vcl::TComponentRef<vcl::TButton> okButton_;
    vcl::TComponentRef<vcl::TButton> cancelButton_;
    vcl::TRect treeRect_, okRect_, cancelRect_;
    vcl::TComponentRef<TOFDCreateButton> createButton_;
    vcl::TComponentRef<TOFDPathEdit> pathEdit_;
    bool reopen_ = false;
    bool selecting_ = false;
    bool typing_ = false;
};
