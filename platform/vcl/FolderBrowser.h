#pragma once
// The shell's folder browser: a modal dialog with a title text, a tree of the name space (My Computer, its
// drives and their folders, read as they are opened) and OK and Cancel. A callback hears when the dialog
// has been made and whenever the selection changes, and may steer it meanwhile: select a path, enable OK,
// add controls of its own.
//
//   vcl::TBrowseInfo info;
//   info.Title = "Choose a folder";
//   info.Flags = vcl::BIF_RETURNONLYFSDIRS;
//   info.Callback = [&](vcl::TFolderBrowser& browser, vcl::TBrowseMessage message, const AnsiString& path) {
//       if (message == vcl::bmInitialized) browser.SelectPath("C:\\Program Files");
//   };
//   AnsiString folder;
//   if (vcl::BrowseForFolder(info, folder)) ...      // "C:\Program Files\App"
//
// With BIF_RETURNONLYFSDIRS, OK is enabled only while the selection is a folder of the file system (My
// Computer is not); the callback hears of a change after OK has been set for it. Under the test driver the
// dialog is a modal form like any other (TFolderBrowser, its tree tvFolders, buttons btnOK and btnCancel).

#include <deque>
#include <functional>

#include "platform/vcl/ComCtrls.h"
#include "platform/vcl/Forms.h"
#include "platform/vcl/StdCtrls.h"

namespace vcl {

inline constexpr unsigned BIF_RETURNONLYFSDIRS = 0x0001;

VCL_ENUM(TBrowseMessage, bmInitialized, bmSelChanged)

class TFolderBrowser;
// `path` is the selected folder's path (empty for My Computer). bmInitialized comes first, then
// bmSelChanged with the selection the dialog opens with, then one for every change.
using TBrowseCallback = std::function<void(TFolderBrowser& browser, TBrowseMessage message, const AnsiString& path)>;

struct TBrowseInfo {
    AnsiString Title;
    unsigned Flags = 0;
    TBrowseCallback Callback;
};

// Shows the dialog modally; true with the chosen folder's path when it ended with OK on a folder.
bool BrowseForFolder(const TBrowseInfo& info, AnsiString& path);

class TFolderBrowser : public TForm {
    VCL_CLASS(TFolderBrowser, TForm)
public:
    TFolderBrowser(TComponent* owner, const TBrowseInfo& info);
    ~TFolderBrowser() override;

    // Selects the folder of a full path ("C:\", "c:\program files\"), opening the tree down to it; false
    // (and the selection stays) when there is no such folder.
    bool SelectPath(const AnsiString& path);
    void EnableOK(bool enabled) { btnOK->SetEnabled(enabled); }
    // The selected folder's path; empty for My Computer or no selection.
    AnsiString SelectedPath() const;

    TLabel* lblTitle = nullptr;
    TTreeView* tvFolders = nullptr;
    TButton* btnOK = nullptr;
    TButton* btnCancel = nullptr;

private:
    struct TFolderNode {
        AnsiString Path;
        bool Read = false;
    };
    TTreeNode* AddFolderNode(TTreeNode* parent, const AnsiString& text, const AnsiString& path);
    static TFolderNode* NodeInfo(const TTreeNode* node);
    // Reads a folder's subfolders into the tree the first time it is opened.
    void ReadFolders(TTreeNode* node);
    TTreeNode* FindChildFolder(TTreeNode* node, const AnsiString& name);
    void FoldersExpanding(TObject* Sender, TTreeNode* Node, bool& AllowExpansion);
    void FoldersChange(TObject* Sender, TTreeNode* Node);

    TBrowseInfo info_;
    std::deque<TFolderNode> nodes_;  // the tree's nodes point into it
    TTreeNode* computer_ = nullptr;
};

}  // namespace vcl
