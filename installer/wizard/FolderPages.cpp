#include "installer/wizard/FolderPages.h"

#include <cctype>
#include <memory>

#include "installer/engine/Install.h"
#include "installer/support/OpenFolderDialog.h"
#include "installer/support/PathVariables.h"
#include "installer/support/TranslatorHooks.h"
#include "installer/support/TrwkArchive.h"
#include "platform/vcl/Dialogs.h"
#include "platform/win/Files.h"

using rtl::AnsiString;

namespace {

// Sets a flag for its lifetime.
class TUpdating {
public:
    explicit TUpdating(bool& flag) : flag_(flag), saved_(flag) { flag_ = true; }
    ~TUpdating() { flag_ = saved_; }
    TUpdating(const TUpdating&) = delete;
    TUpdating& operator=(const TUpdating&) = delete;

private:
    bool& flag_;
    bool saved_;
};

bool SamePath(const AnsiString& a, const AnsiString& b)
{
    return rtl::SameText(rtl::ExcludeTrailingPathDelimiter(a), rtl::ExcludeTrailingPathDelimiter(b));
}

// `folder` is `path` or one of the folders above it.
bool IsSelfOrAbove(const AnsiString& folder, const AnsiString& path)
{
    const AnsiString base = rtl::ExcludeTrailingPathDelimiter(folder);
    if (SamePath(base, path))
        return true;
    return path.size() > base.size() && path[base.size()] == '\\' &&
           rtl::SameText(path.substr(0, base.size()), base);
}

// What the last "\" of a folder path leaves: "B" of "\A\B".
AnsiString LastLevel(const AnsiString& path)
{
    return rtl::ExtractFileName(rtl::ExcludeTrailingPathDelimiter(path));
}

// Throws the error of a page dialog that has nothing to edit.
[[noreturn]] void RaiseBlankContainer(const AnsiString& name)
{
    throw IException(Fmt, "Cannot run this dialog %s with a blank Container property", name);
}

}  // namespace

bool IsFullDestinationPath(const AnsiString& path)
{
    const AnsiString trimmed = rtl::Trim(path);
    // A drive's root comes as "C:" from GetDestPath, which drops the last backslash.
    if (trimmed.size() >= 2 && std::isalpha(static_cast<unsigned char>(trimmed[0])) && trimmed[1] == ':')
        return trimmed.size() == 2 || trimmed[2] == '\\';
    // "\\server\share", with something on both sides of the separating backslash.
    if (trimmed.size() > 2 && trimmed[0] == '\\' && trimmed[1] == '\\') {
        const size_t separator = trimmed.find('\\', 2);
        return separator != AnsiString::npos && separator > 2 && separator + 1 < trimmed.size() &&
               trimmed[separator + 1] != '\\';
    }
    return false;
}

std::vector<AnsiString> CreateMissingFolders(const AnsiString& path)
{
    std::vector<AnsiString> missing;
    // A path without a drive or share would be made wherever the program happens to stand.
    if (!IsFullDestinationPath(path))
        return missing;
    for (AnsiString folder = rtl::ExcludeTrailingPathDelimiter(rtl::Trim(path));
         !folder.empty() && !rtl::DirectoryExists(folder);) {
        missing.push_back(folder);
        const AnsiString parent = rtl::ExtractFileDir(folder);
        if (parent == folder)
            break;
        folder = parent;
    }
    CreateFolderAndParents(rtl::ExcludeTrailingPathDelimiter(rtl::Trim(path)));
    // Only what now exists was made here.
    std::vector<AnsiString> made;
    for (const AnsiString& folder : missing) {
        if (rtl::DirectoryExists(folder))
            made.push_back(folder);
    }
    return made;
}

void RemoveUnusedFolders(const std::vector<AnsiString>& made, const AnsiString& chosen)
{
    for (const AnsiString& folder : made) {
        if (!chosen.empty() && IsSelfOrAbove(folder, chosen))
            continue;
        // Removing fails on a folder that holds something: it is then in use and stays.
        win::RemoveDirectory(folder.c_str());
    }
}

void ProgramFolderNames(TOSVerType osKind, rtl::TStrings& names)
{
    names.Clear();
    static const OSSet withPrograms{oswin95, oswinNT, oswin2K, oswin98, oswinME, oswinXP};
    if (!withPrograms.Contains(osKind))
        return;
    const AnsiString pattern = ProgramsFolder() + "\\*.*";
    win::WIN32_FIND_DATA found{};
    win::HANDLE search = win::FindFirstFile(pattern.c_str(), &found);
    if (search == win::INVALID_HANDLE_VALUE)
        return;
    do {
        const AnsiString name = found.cFileName;
        if ((found.dwFileAttributes & win::FILE_ATTRIBUTE_DIRECTORY) != 0 && name != "." && name != "..")
            names.Add(name);
    } while (win::FindNextFile(search, &found));
    win::FindClose(search);
}

// ---------------------------------------------------------------------------------------------------------

VCL_IMPLEMENT_CLASS(TSelectDestinationForm)

void TSelectDestinationForm::RegisterProperties(vcl::TClassDef<TSelectDestinationForm>& def)
{
    using T = TSelectDestinationForm;
    def.Handler("BrowseBtnClick", &T::BrowseBtnClick);
    def.Handler("edDestDirChange", &T::edDestDirChange);
}

TSelectDestinationForm::TSelectDestinationForm(vcl::TComponent* owner)
    : TWizardPageForm(owner, dmBeforeInstall, 45)
{
    SetContainer(InstallDriver());
    LoadPage("SelectDestinationForm.frm");
}

void TSelectDestinationForm::Loaded()
{
    TWizardPageForm::Loaded();
    lblText1 = FindChild<TTranslateLabel>("lblText1");
    lblText2 = FindChild<TTranslateLabel>("lblText2");
    lblText3 = FindChild<TTranslateLabel>("lblText3");
    gbDirectory = FindChild<vcl::TGroupBox>("gbDirectory");
    edDestDir = FindChild<vcl::TEdit>("edDestDir");
    BrowseBtn = FindChild<TTranslateBitBtn>("BrowseBtn");
}

void TSelectDestinationForm::ShowDestination(const AnsiString& path)
{
    TUpdating updating(updating_);
    edDestDir->SetText(path);
}

void TSelectDestinationForm::RefreshPage()
{
    TWizardPageForm::RefreshPage();
    // A page without a container has no destination to show.
    const AnsiString path = Container() ? Container()->GetDestPath() : AnsiString();
    TUpdating updating(updating_);
    gbDirectory->SetVisible(!path.empty());
    edDestDir->SetText(path);
}

void TSelectDestinationForm::ProceedBtnClick(vcl::TObject* Sender)
{
    if (Container() && !IsFullDestinationPath(Container()->GetDestPath())) {
        // Neither a lone page (its Next carries OK) nor the wizard goes on.
        SetModalResult(vcl::mrNone);
        vcl::MessageDlg(TranslateText("Please enter the full path of the folder to install to, with its drive "
                                      "(for example C:\\Program Files\\MyApplication)."),
                        vcl::mtWarning, {vcl::mbOK}, 0);
        return;
    }
    TWizardPageForm::ProceedBtnClick(Sender);
}

void TSelectDestinationForm::BrowseBtnClick(vcl::TObject*)
{
    std::unique_ptr<TOpenFolderDialog> dialog(new TOpenFolderDialog(this));
    TInstallContainer* container = Container();
    const AnsiString path = container ? container->GetDestPath() : AnsiString();
    // The dialog opens on the destination, so it must exist while the dialog is up.
    const std::vector<AnsiString> made = CreateMissingFolders(path);
    AnsiString chosen;
    try {
        dialog->SetDirectory(path);
        if (dialog->Execute()) {
            chosen = rtl::ExcludeTrailingPathDelimiter(dialog->Directory());
            if (container) {
                container->SetDestDirType(nullptr);
                container->SetDestDir(chosen);
                ShowDestination(container->DestDir());
            }
        }
    } catch (...) {
        RemoveUnusedFolders(made, chosen);
        throw;
    }
    RemoveUnusedFolders(made, chosen);
    // What stays for the chosen destination goes again if the setup ends badly.
    if (auto* owner = dynamic_cast<TSelectDestinationDlg*>(DC()); owner && !chosen.empty()) {
        std::vector<AnsiString> kept;
        for (const AnsiString& folder : made) {
            if (IsSelfOrAbove(folder, chosen))
                kept.push_back(folder);
        }
        owner->NoteBrowsedFolders(kept);
    }
}

void TSelectDestinationForm::edDestDirChange(vcl::TObject*)
{
    if (updating_ || !Container())
        return;
    Container()->SetDestDirType(nullptr);
    Container()->SetDestDir(edDestDir->Text());
}

VCL_IMPLEMENT_CLASS_NOPROPS(TSelectDestinationDlg)

TSelectDestinationDlg::TSelectDestinationDlg(vcl::TComponent* owner)
    : TWizardPageDlg(owner, TSelectDestinationForm::StaticClass(), dmBeforeInstall, 45,
                     InstallMessage::ShowSelectDestination)
{
}

void TSelectDestinationDlg::AssignDialogProperties()
{
    TWizardPageDlg::AssignDialogProperties();
    if (TWizardPageForm* page = Page()) {
        page->RefreshPage();
        page->BackBtn->SetVisible(false);
    }
}

bool TSelectDestinationDlg::ShowDialog()
{
    if (!TWizardPageDlg::Container())
        RaiseBlankContainer(Name());
    return TWizardPageDlg::ShowDialog();
}

void TSelectDestinationDlg::ContainerMessage(vcl::TComponent* sender, int code, rtl::TObject* parameter)
{
    if (code == InstallMessage::BadEnding || code == InstallMessage::AfterBadInstall)
        RemoveEmptyBrowsedFolders();
    TWizardPageDlg::ContainerMessage(sender, code, parameter);
}

void TSelectDestinationDlg::NoteBrowsedFolders(const std::vector<AnsiString>& made)
{
    // Deeper folders of a later Browse come before the ones of an earlier one, so children go first.
    browsedFolders_.insert(browsedFolders_.begin(), made.begin(), made.end());
}

void TSelectDestinationDlg::RemoveEmptyBrowsedFolders()
{
    // A folder that holds anything stays: RemoveDirectory fails on it.
    for (const AnsiString& folder : browsedFolders_)
        win::RemoveDirectory(folder.c_str());
    browsedFolders_.clear();
}

// ---------------------------------------------------------------------------------------------------------

VCL_IMPLEMENT_CLASS(TSelectFolderForm)

void TSelectFolderForm::RegisterProperties(vcl::TClassDef<TSelectFolderForm>& def)
{
    using T = TSelectFolderForm;
    def.Handler("FolderListBoxClick", &T::FolderListBoxClick);
    def.Handler("FolderEditChange", &T::FolderEditChange);
    def.Handler("FormResize", &T::FormResize);
}

TSelectFolderForm::TSelectFolderForm(vcl::TComponent* owner) : TWizardPageForm(owner, dmBeforeInstall, 60)
{
    SetContainer(MainLinkGroup());
    LoadPage("SelectFolderForm.frm");
}

void TSelectFolderForm::Loaded()
{
    TWizardPageForm::Loaded();
    TopDescriptionLabel = FindChild<TTranslateLabel>("TopDescriptionLabel");
    Label1 = FindChild<TTranslateLabel>("Label1");
    ProgramFolders = FindChild<TTranslateLabel>("ProgramFolders");
    FolderEdit = FindChild<vcl::TEdit>("FolderEdit");
    Label3 = FindChild<TTranslateLabel>("Label3");
    ExistingFolders = FindChild<TTranslateLabel>("ExistingFolders");
    Label4 = FindChild<TTranslateLabel>("Label4");
    FolderListBox = FindChild<vcl::TListBox>("FolderListBox");
}

void TSelectFolderForm::RefreshPage()
{
    TWizardPageForm::RefreshPage();
    ProgramFolderNames(WindowsVersion(), *FolderListBox->Items());
    AnsiString current;
    TInstallContainer* container = Container();
    if (container && dynamic_cast<TpsProgramMenu*>(container->DestDirType()))
        current = LastLevel(container->DestDir());
    if (current.empty() && FolderListBox->Items()->Count() > 0)
        current = FolderListBox->Items()->Strings(0);
    // A changed text writes the name back through FolderEditChange: a deeper folder becomes its last level.
    FolderEdit->SetText(current);
}

void TSelectFolderForm::FolderListBoxClick(vcl::TObject*)
{
    const int selected = FolderListBox->ItemIndex();
    if (selected >= 0)
        FolderEdit->SetText(FolderListBox->Items()->Strings(selected));
}

void TSelectFolderForm::FolderEditChange(vcl::TObject*)
{
    TInstallContainer* container = Container();
    if (!container)
        return;
    container->SetDestDirType(&FindSpecifier(TpsProgramMenu::StaticClass()));
    container->SetDestDir("\\" + FolderEdit->Text());
}

void TSelectFolderForm::FormResize(vcl::TObject*)
{
    if (!Label1)
        return;
    Label1->SetHeight(18);
    Label3->SetHeight(8);
    Label4->SetHeight(8);
}

VCL_IMPLEMENT_CLASS(TSelectFolderDlg)

void TSelectFolderDlg::RegisterProperties(vcl::TClassDef<TSelectFolderDlg>& def)
{
    using T = TSelectFolderDlg;
    def.Property("Container", static_cast<TCustomShellLinkGroup* (T::*)() const>(&T::Container),
                 static_cast<void (T::*)(TCustomShellLinkGroup*)>(&T::SetContainer));
}

TSelectFolderDlg::TSelectFolderDlg(vcl::TComponent* owner)
    : TWizardPageDlg(owner, TSelectFolderForm::StaticClass(), dmBeforeInstall, 60,
                     InstallMessage::LinkGroupInstalls)
{
    TWizardPageDlg::SetContainer(MainLinkGroup());
}

TCustomShellLinkGroup* TSelectFolderDlg::Container() const
{
    TInstallContainer* container = TWizardPageDlg::Container();
    if (!container)
        return nullptr;
    auto* group = dynamic_cast<TCustomShellLinkGroup*>(container);
    if (!group)
        throw IException(Fmt, "The container for %s must be a TCustomShellLinkGroup", Name());
    return group;
}

void TSelectFolderDlg::AssignDialogProperties()
{
    TWizardPageDlg::AssignDialogProperties();
    if (TWizardPageForm* page = Page()) {
        page->RefreshPage();
        page->BackBtn->SetVisible(false);
    }
}

bool TSelectFolderDlg::ShowDialog()
{
    if (!Container())
        RaiseBlankContainer(Name());
    return TWizardPageDlg::ShowDialog();
}
