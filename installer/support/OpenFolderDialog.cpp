#include "installer/support/OpenFolderDialog.h"

#include "installer/support/TranslatorHooks.h"
#include "installer/support/TrwkArchive.h"
#include "installer/support/TrwkFiles.h"
#include "installer/support/TrwkSystem.h"
#include "platform/vcl/Dialogs.h"
#include "platform/vcl/Menus.h"
#include "platform/win/WinTypes.h"

using rtl::AnsiString;
using namespace vcl;

namespace {

constexpr win::UINT CreateButtonCaptionId = 703;
constexpr win::UINT NewFolderPromptId = 8977;
constexpr win::UINT TitleFormatId = 9248;

// Creates the folder with every missing folder above it; an error when it is not there afterwards.
void ForceFolder(const AnsiString& path)
{
    // A name without a drive would be made wherever the program happens to stand.
    if (!rtl::ExtractFileDrive(path).empty())
        CreateFolderAndParents(path);
    if (!rtl::DirectoryExists(path))
        throw rtl::Exception(rtl::Format(TranslateText("Cannot create the folder %s"), path));
}

// Sets a flag for its lifetime.
class TFlagSet {
public:
    explicit TFlagSet(bool& flag) : flag_(flag) { flag_ = true; }
    ~TFlagSet() { flag_ = false; }
    TFlagSet(const TFlagSet&) = delete;
    TFlagSet& operator=(const TFlagSet&) = delete;

private:
    bool& flag_;
};

constexpr int PathEditHeight = 21;

}  // namespace

AnsiString TOFDResourceStrings::CreateButtonCaption() { return LoadDllString("comdlg32.dll", CreateButtonCaptionId); }
AnsiString TOFDResourceStrings::NewFolderPrompt() { return LoadDllString("shell32.dll", NewFolderPromptId); }
AnsiString TOFDResourceStrings::Title() { return rtl::Format(LoadDllString("shell32.dll", TitleFormatId), ""); }

VCL_IMPLEMENT_CLASS_NOPROPS(TOFDCreateButton)
VCL_IMPLEMENT_CLASS_NOPROPS(TOFDPathEdit)
VCL_IMPLEMENT_CLASS_NOPROPS(TOpenFolderDialog)

bool TOpenFolderDialog::Execute()
{
    // The create button ends the browser so that it opens again on the new folder.
    for (;;) {
        bool chosen = ExecuteOnce();
        if (!reopen_)
            return chosen;
        directory_ = currentPath_;
    }
}

bool TOpenFolderDialog::ExecuteOnce()
{
    reopen_ = false;
    dialog_.reset();
    tree_.reset();
    okButton_.reset();
    cancelButton_.reset();
    createButton_.reset();
    pathEdit_.reset();

    TBrowseInfo info;
    info.Title = TOFDResourceStrings::Title();
    info.Flags = BIF_RETURNONLYFSDIRS;
    info.Callback = [this](TFolderBrowser& browser, TBrowseMessage message, const AnsiString& path) {
        if (message == bmInitialized)
            BrowserInitialized(browser);
        else
            SelectionChanged(path);
    };
    AnsiString selected;
    if (!BrowseForFolder(info, selected))
        return false;
    if (showPathEdit_) {
        // An edit box emptied by the user leaves the folder selected in the tree.
        if (rtl::Trim(currentPath_).empty())
            currentPath_ = selected;
        ForceFolder(currentPath_);
        directory_ = currentPath_;
    } else {
        directory_ = selected.substr(0, win::MAX_PATH);
    }
    return true;
}

void TOpenFolderDialog::BrowserInitialized(TFolderBrowser& browser)
{
    dialog_ = &browser;
    FindBrowserControls(browser);
    if (showCreateButton_)
        AddCreateButton(browser);
    if (showPathEdit_)
        AddPathEdit(browser);
    if (tree_)
        tree_->SetHideSelection(false);
    SelectPath(directory_);
}

void TOpenFolderDialog::FindBrowserControls(TFolderBrowser& browser)
{
    for (int i = 0; i < browser.ControlCount(); ++i) {
        TControl* control = browser.Controls(i);
        if (auto* tree = dynamic_cast<TTreeView*>(control)) {
            tree_ = tree;
            treeRect_ = tree->BoundsRect();
        } else if (auto* button = dynamic_cast<TButton*>(control)) {
            if (!okButton_) {
                okButton_ = button;
                okRect_ = button->BoundsRect();
            } else if (!cancelButton_) {
                cancelButton_ = button;
                cancelRect_ = button->BoundsRect();
            }
        }
    }
}

void TOpenFolderDialog::AddCreateButton(TFolderBrowser& browser)
{
    TRect r = Rect(20, 230, 140, 253);
    if (okButton_ && cancelButton_) {
        // Where a third button left of OK would stand, one row up.
        const int step = cancelRect_.Left - okRect_.Left;
        r = Rect(okRect_.Left - step, okRect_.Top - 22, okRect_.Right - step, okRect_.Bottom - 22);
    }
    if (tree_)
        r.Left = treeRect_.Left;
    auto* button = new TOFDCreateButton(&browser);
    button->SetName("OFDCreateButton");
    button->SetParent(&browser);
    button->SetBoundsRect(r);
    button->SetCaption(TOFDResourceStrings::CreateButtonCaption());
    button->OnClick = [this](rtl::TObject* sender) { CreateButtonClick(sender); };
    createButton_ = button;
}

void TOpenFolderDialog::AddPathEdit(TFolderBrowser& browser)
{
    TRect r = Rect(20, 230, 140, 230 + PathEditHeight);
    if (okButton_ && tree_) {
        tree_->SetHeight(tree_->Height() - 60);
        treeRect_ = tree_->BoundsRect();
        r = Rect(treeRect_.Left, treeRect_.Bottom + 15, treeRect_.Right, treeRect_.Bottom + 15 + PathEditHeight);
    }
    auto* edit = new TOFDPathEdit(&browser);
    edit->SetName("OFDPathEdit");
    edit->SetParent(&browser);
    edit->SetBoundsRect(r);
    edit->OnKeyUp = [this](rtl::TObject* sender, uint16_t& key, TShiftState shift) { PathEditKeyUp(sender, key, shift); };
    pathEdit_ = edit;
}

void TOpenFolderDialog::SelectionChanged(const AnsiString& path)
{
    currentPath_ = path;
    if (pathEdit_ && !typing_)
        pathEdit_->SetText(currentPath_);
    if (okButton_ && createButton_)
        createButton_->SetVisible(okButton_->Enabled());
}

void TOpenFolderDialog::SelectPath(const AnsiString& path)
{
    if (!dialog_)
        return;
    TFlagSet selecting(selecting_);
    AnsiString folder = NearestExistingFolder(path);
    // A drive root keeps its backslash; any other folder loses it.
    folder = folder.size() > 3 ? RemoveBackslash(folder) : AddBackslash(folder);
    dialog_->SelectPath(folder);
}

void TOpenFolderDialog::PathEditKeyUp(rtl::TObject*, uint16_t&, TShiftState)
{
    if (selecting_ || !dialog_ || !pathEdit_)
        return;
    TFlagSet typing(typing_);
    const AnsiString typed = pathEdit_->Text();
    dialog_->SelectPath(typed);
    currentPath_ = typed;
}

void TOpenFolderDialog::CreateButtonClick(rtl::TObject*)
{
    if (pathEdit_ && !rtl::Trim(pathEdit_->Text()).empty() && !rtl::DirectoryExists(pathEdit_->Text())) {
        currentPath_ = pathEdit_->Text();
    } else {
        AnsiString name;
        // A title shows an ampersand as it is: the button's mnemonic marker is left out.
        if (!InputQuery(vcl::StripHotkey(TOFDResourceStrings::CreateButtonCaption()),
                        TOFDResourceStrings::NewFolderPrompt(), name))
            return;
        currentPath_ = AddBackslash(currentPath_) + name;
    }
    ForceFolder(currentPath_);
    reopen_ = true;
    if (okButton_)
        okButton_->Click();
}
