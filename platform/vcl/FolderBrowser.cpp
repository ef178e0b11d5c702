#include "platform/vcl/FolderBrowser.h"

#include <memory>

#include "FormResources_platform_vcl.h"
#include "platform/win/Drives.h"
#include "platform/win/Files.h"

namespace vcl {

namespace {

bool IsDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

}  // namespace

VCL_IMPLEMENT_CLASS_NOPROPS(TFolderBrowser)

TFolderBrowser::TFolderBrowser(TComponent* owner, const TBrowseInfo& info) : TForm(owner)
{
    info_.Title = info.Title;
    info_.Flags = info.Flags;
    RegisterFormResources_platform_vcl();
    RegisterClass<TFolderBrowser>();
    LoadForm("FolderBrowser.frm");
    lblTitle = FindChild<TLabel>("lblTitle");
    tvFolders = FindChild<TTreeView>("tvFolders");
    btnOK = FindChild<TButton>("btnOK");
    btnCancel = FindChild<TButton>("btnCancel");
    lblTitle->SetCaption(info_.Title);
    tvFolders->OnExpanding = [this](TObject* sender, TTreeNode* node, bool& allow) { FoldersExpanding(sender, node, allow); };
    tvFolders->OnChange = [this](TObject* sender, TTreeNode* node) { FoldersChange(sender, node); };

    computer_ = AddFolderNode(nullptr, "My Computer", "");
    computer_->Expand(false);
    tvFolders->SetSelected(computer_);
    // The callback hears of the dialog from BrowseForFolder on, with this selection.
    info_.Callback = info.Callback;
}

TFolderBrowser::~TFolderBrowser()
{
    // The tree lets its selection go on its way out; nobody is to hear of that.
    tvFolders->OnChange = nullptr;
    info_.Callback = nullptr;
}

TTreeNode* TFolderBrowser::AddFolderNode(TTreeNode* parent, const AnsiString& text, const AnsiString& path)
{
    nodes_.push_back(TFolderNode{path, false});
    TTreeNode* node = tvFolders->Items()->AddChildObject(parent, text, &nodes_.back());
    node->SetHasChildren(true);
    return node;
}

TFolderBrowser::TFolderNode* TFolderBrowser::NodeInfo(const TTreeNode* node)
{
    return static_cast<TFolderNode*>(node->Data());
}

void TFolderBrowser::ReadFolders(TTreeNode* node)
{
    TFolderNode* info = NodeInfo(node);
    if (info->Read)
        return;
    info->Read = true;
    tvFolders->Items()->BeginUpdate();
    if (node == computer_) {
        char drives[27 * 4 + 1] = {};
        win::GetLogicalDriveStrings(sizeof drives, drives);
        for (const char* root = drives; *root; root += std::char_traits<char>::length(root) + 1)
            AddFolderNode(node, root, root);
    } else {
        win::WIN32_FIND_DATA found{};
        AnsiString pattern = rtl::IncludeTrailingPathDelimiter(info->Path) + "*.*";
        win::HANDLE search = win::FindFirstFile(pattern.c_str(), &found);
        if (search != win::INVALID_HANDLE_VALUE) {
            do {
                AnsiString name = found.cFileName;
                if ((found.dwFileAttributes & win::FILE_ATTRIBUTE_DIRECTORY) && name != "." && name != "..")
                    AddFolderNode(node, name, rtl::IncludeTrailingPathDelimiter(info->Path) + name);
            } while (win::FindNextFile(search, &found));
            win::FindClose(search);
        }
    }
    node->SetHasChildren(node->Count() > 0);
    tvFolders->Items()->EndUpdate();
}

TTreeNode* TFolderBrowser::FindChildFolder(TTreeNode* node, const AnsiString& name)
{
    ReadFolders(node);
    for (int i = 0; i < node->Count(); ++i)
        if (rtl::AnsiSameText(node->Item(i)->Text(), name))
            return node->Item(i);
    return nullptr;
}

bool TFolderBrowser::SelectPath(const AnsiString& path)
{
    if (path.size() < 2 || !IsDriveLetter(path[0]) || path[1] != ':' || (path.size() > 2 && path[2] != '\\'))
        return false;
    TTreeNode* node = FindChildFolder(computer_, path.substr(0, 2) + "\\");
    size_t position = 3;
    while (node && position < path.size()) {
        size_t end = path.find('\\', position);
        if (end == AnsiString::npos)
            end = path.size();
        // One trailing "\" is allowed; an empty name inside the path is not.
        node = end > position ? FindChildFolder(node, path.substr(position, end - position)) : nullptr;
        position = end + 1;
    }
    if (!node)
        return false;
    node->MakeVisible();
    tvFolders->SetSelected(node);
    return true;
}

AnsiString TFolderBrowser::SelectedPath() const
{
    TTreeNode* node = tvFolders->Selected();
    return node ? NodeInfo(node)->Path : AnsiString();
}

void TFolderBrowser::FoldersExpanding(TObject*, TTreeNode* Node, bool&)
{
    ReadFolders(Node);
}

void TFolderBrowser::FoldersChange(TObject*, TTreeNode*)
{
    AnsiString path = SelectedPath();
    if (info_.Flags & BIF_RETURNONLYFSDIRS)
        EnableOK(!path.empty());
    if (info_.Callback)
        info_.Callback(*this, bmSelChanged, path);
}

bool BrowseForFolder(const TBrowseInfo& info, AnsiString& path)
{
    std::unique_ptr<TFolderBrowser> browser(new TFolderBrowser(nullptr, info));
    if (info.Callback) {
        info.Callback(*browser, bmInitialized, browser->SelectedPath());
        // The selection the dialog opens with is told as a change as well, even when it stayed.
        info.Callback(*browser, bmSelChanged, browser->SelectedPath());
    }
    bool chosen = browser->ShowModal() == mrOk;
    AnsiString selected = browser->SelectedPath();
    if (!chosen || selected.empty())
        return false;
    path = selected;
    return true;
}

}  // namespace vcl
