#pragma once
// The table-of-contents editor: the project's contents list shown as a tree of groups (which hold entries)
// and topics (which open a page), edited by the window's commands and by dragging entries with the mouse.
// The main window's command fills it, shows it modally and takes the tree back:
//
//   std::unique_ptr<TfrmTableOfContents> editor(new TfrmTableOfContents(vcl::Application));
//   editor->PageNames = lstPages->Items();      // what a topic may open
//   editor->LoadContents(*ProjectState().TocList);   // EInvalidTocLevel: nothing shown, nothing changed
//   editor->ShowModal();
//   editor->StoreContents(*ProjectState().TocList);
//
// Ownership: the contents list owns its entries. While the editor is open its nodes carry the same
// records; deleting a node frees the records of its subtree at once, and new entries belong to their
// nodes until StoreContents gives every record that is still in the tree back to the list. Freeing the
// window frees its nodes, never a record.

#include <cstdint>

#include "platform/vcl/ComCtrls.h"
#include "platform/vcl/Forms.h"
#include "platform/vcl/ImgList.h"
#include "platform/vcl/Menus.h"
#include "tool/ProjectModel.h"

// A contents line more than one level deeper than the line before it.
class EInvalidTocLevel : public rtl::Exception {
public:
    using Exception::Exception;
};

class TfrmTableOfContents : public vcl::TForm {
    VCL_CLASS(TfrmTableOfContents, vcl::TForm)
public:
    explicit TfrmTableOfContents(vcl::TComponent* owner);

    vcl::TTreeView* lstItems = nullptr;
    vcl::TImageList* ImageList1 = nullptr;
    vcl::TMainMenu* MainMenu1 = nullptr;
    vcl::TPopupMenu* PopupMenu1 = nullptr;

    // The names of the pages a topic may open: the main window's page list.
    const rtl::TStrings* PageNames = nullptr;

    // The node under the mouse when a button last went down, or none.
    vcl::TTreeNode* DragSource = nullptr;
    // That button was the left one and has not been released.
    bool LeftButtonDown = false;
    // Set by a double-click: the mouse-down that follows it is ignored.
    bool SkipMouseDown = false;

    // Builds the tree from the contents lines (leading TABs or blanks give the level); node i carries the
    // record of line i. Raises EInvalidTocLevel for a line two or more levels deeper than the one before;
    // the tree is then emptied again and no record has changed hands.
    void LoadContents(const rtl::TStrings& tocList);
    // Replaces the contents lines by the tree, one line per node in pre-order (its level in TABs, then its
    // text), line i carrying the record of node i. The records of deleted nodes are gone already; no
    // record is freed here.
    void StoreContents(rtl::TStrings& tocList) const;

    // The record a node carries (null for none).
    static TTocObject* Entry(const vcl::TTreeNode* node);

    // ---- handlers bound by the resource
    void AddNewGroupInCurrentGroup1Click(vcl::TObject* Sender);
    void NewItemAtSubLevel1Click(vcl::TObject* Sender);
    void NewItemAtCurrentLevel1Click(vcl::TObject* Sender);
    void DeleteTopicGroup1Click(vcl::TObject* Sender);
    void Properties1Click(vcl::TObject* Sender);
    void Done1Click(vcl::TObject* Sender);
    void lstItemsDblClick(vcl::TObject* Sender);
    void lstItemsMouseDown(vcl::TObject* Sender, vcl::TMouseButton Button, vcl::TShiftState Shift, int X, int Y);
    void lstItemsMouseMove(vcl::TObject* Sender, vcl::TShiftState Shift, int X, int Y);
    void lstItemsMouseUp(vcl::TObject* Sender, vcl::TMouseButton Button, vcl::TShiftState Shift, int X, int Y);

private:
    // Asks for a name and adds a new entry as the last child of `parent` (null: the top level); the new
    // node is selected.
    void AddEntry(bool group, vcl::TTreeNode* parent);
    // An entry into the selected group (the top level when nothing is selected); a selected topic
    // refuses with `refusal`.
    void AddIntoSelectedGroup(bool group, const char* refusal);
    vcl::TTreeNode* AddNode(vcl::TTreeNode* parent, const AnsiString& text, TTocObject* entry);
    void GroupProperties(vcl::TTreeNode& node, TTocObject& entry);
    void TopicProperties(vcl::TTreeNode& node, TTocObject& entry);
    // The drop of DragSource where the mouse went up.
    void DropDragSource();
};

// The message for a contents line at `level` whose text is `text` that lies too deep.
AnsiString InvalidTocLevelText(int64_t level, const AnsiString& text);
