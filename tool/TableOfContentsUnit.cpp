#include "tool/TableOfContentsUnit.h"

#include <memory>
#include <vector>

#include "FormResources_tool.h"
#include "platform/vcl/Dialogs.h"
#include "tool/MainUnit.h"
#include "tool/TOCTopicPropertiesUnit.h"

using namespace vcl;

namespace {

const int GroupImage = 0;
const int TopicImage = 1;
const char SelectFirstText[] = "You must select an item first.";

// Every record of the node's subtree, the node's own first.
void CollectEntries(const TTreeNode& node, std::vector<TTocObject*>& entries)
{
    entries.push_back(TfrmTableOfContents::Entry(&node));
    for (int i = 0; i < node.Count(); ++i)
        CollectEntries(*node.Item(i), entries);
}

int IndexOfPage(const rtl::TStrings& names, const AnsiString& name)
{
    for (int i = 0; i < names.Count(); ++i) {
        if (rtl::SameText(names[i], name))
            return i;
    }
    return -1;
}

}  // namespace

AnsiString InvalidTocLevelText(int64_t level, const AnsiString& text)
{
    return "Invalid level (" + rtl::IntToStr(level) + ") for item \"" + text + "\"";
}

VCL_IMPLEMENT_CLASS(TfrmTableOfContents)

void TfrmTableOfContents::RegisterProperties(TClassDef<TfrmTableOfContents>& def)
{
    def.Handler("AddNewGroupInCurrentGroup1Click", &TfrmTableOfContents::AddNewGroupInCurrentGroup1Click);
    def.Handler("NewItemAtSubLevel1Click", &TfrmTableOfContents::NewItemAtSubLevel1Click);
    def.Handler("NewItemAtCurrentLevel1Click", &TfrmTableOfContents::NewItemAtCurrentLevel1Click);
    def.Handler("DeleteTopicGroup1Click", &TfrmTableOfContents::DeleteTopicGroup1Click);
    def.Handler("Properties1Click", &TfrmTableOfContents::Properties1Click);
    def.Handler("Done1Click", &TfrmTableOfContents::Done1Click);
    def.Handler("lstItemsDblClick", &TfrmTableOfContents::lstItemsDblClick);
    def.Handler("lstItemsMouseDown", &TfrmTableOfContents::lstItemsMouseDown);
    def.Handler("lstItemsMouseMove", &TfrmTableOfContents::lstItemsMouseMove);
    def.Handler("lstItemsMouseUp", &TfrmTableOfContents::lstItemsMouseUp);
}

TfrmTableOfContents::TfrmTableOfContents(TComponent* owner) : TForm(owner)
{
    RegisterFormResources_tool();
    RegisterClass<TfrmTableOfContents>();
    LoadForm("TableOfContentsUnit.frm");
    lstItems = FindChild<TTreeView>("lstItems");
    ImageList1 = FindChild<TImageList>("ImageList1");
    MainMenu1 = FindChild<TMainMenu>("MainMenu1");
    PopupMenu1 = FindChild<TPopupMenu>("PopupMenu1");
}

TTocObject* TfrmTableOfContents::Entry(const TTreeNode* node)
{
    return node ? static_cast<TTocObject*>(node->Data()) : nullptr;
}

TTreeNode* TfrmTableOfContents::AddNode(TTreeNode* parent, const AnsiString& text, TTocObject* entry)
{
    TTreeNode* node = lstItems->Items()->AddChildObject(parent, text, entry);
    const int image = entry && !entry->IsGroup ? TopicImage : GroupImage;
    node->SetImageIndex(image);
    node->SetSelectedIndex(image);
    return node;
}

// ---------------------------------------------------------------------------------------------------------
// The contents list in and out

void TfrmTableOfContents::LoadContents(const rtl::TStrings& tocList)
{
    TTreeNodes& nodes = *lstItems->Items();
    nodes.BeginUpdate();
    try {
        nodes.Clear();
        TTreeNode* previous = nullptr;
        for (int i = 0; i < tocList.Count(); ++i) {
            const AnsiString line = tocList[i];
            size_t indent = 0;
            while (indent < line.size() && (line[indent] == '\t' || line[indent] == ' '))
                ++indent;
            const int64_t level = static_cast<int64_t>(indent);
            const AnsiString text = line.substr(indent);
            auto* entry = dynamic_cast<TTocObject*>(tocList.Objects(i));
            TTreeNode* parent = nullptr;
            if (previous == nullptr) {
                // The first line starts the top level, whatever its level.
            } else if (level == previous->Level()) {
                parent = previous->Parent();
            } else if (level == previous->Level() + 1) {
                parent = previous;
            } else if (level < previous->Level()) {
                TTreeNode* up = previous->Parent();
                while (up->Level() > level)
                    up = up->Parent();
                parent = up->Parent();
            } else {
                throw EInvalidTocLevel(InvalidTocLevelText(level, text));
            }
            previous = AddNode(parent, text, entry);
        }
    } catch (...) {
        // The records stay with the list alone.
        nodes.Clear();
        nodes.EndUpdate();
        throw;
    }
    nodes.EndUpdate();
    lstItems->FullExpand();
}

void TfrmTableOfContents::StoreContents(rtl::TStrings& tocList) const
{
    // The list lets go of its records first: those of deleted nodes are freed already, the others go back
    // with their nodes.
    for (int i = 0; i < tocList.Count(); ++i)
        tocList.SetObjects(i, nullptr);
    tocList.BeginUpdate();
    tocList.Clear();
    const TTreeNodes& nodes = *lstItems->Items();
    for (int i = 0; i < nodes.Count(); ++i) {
        const TTreeNode* node = nodes.Item(i);
        tocList.AddObject(AnsiString(static_cast<size_t>(node->Level()), '\t') + node->Text(), Entry(node));
    }
    tocList.EndUpdate();
}

// ---------------------------------------------------------------------------------------------------------
// Commands

void TfrmTableOfContents::AddEntry(bool group, TTreeNode* parent)
{
    const AnsiString caption = group ? "New Group" : "New Topic";
    const AnsiString prompt = group ? "Give this group a name please." : "Give this topic a name please.";
    // Cancel gives the preset, so an entry is added in every case.
    const AnsiString name = InputBox(caption, prompt, caption);
    auto entry = std::make_unique<TTocObject>();
    entry->Name = name;
    entry->IsGroup = group;
    TTreeNode* node = AddNode(parent, name, entry.get());
    entry.release();  // the node carries it until the tree goes back into the list
    node->MakeVisible();
    lstItems->SetSelected(node);
}

void TfrmTableOfContents::AddIntoSelectedGroup(bool group, const char* refusal)
{
    TTreeNode* selected = lstItems->Selected();
    const TTocObject* entry = Entry(selected);
    if (entry && !entry->IsGroup) {
        ShowMessage(refusal);
        return;
    }
    AddEntry(group, selected);
}

void TfrmTableOfContents::AddNewGroupInCurrentGroup1Click(TObject*)
{
    AddIntoSelectedGroup(true, "You can not add a sub-group to a topic.");
}

void TfrmTableOfContents::NewItemAtSubLevel1Click(TObject*)
{
    AddIntoSelectedGroup(false, "You can not add a topic to a topic.");
}

void TfrmTableOfContents::NewItemAtCurrentLevel1Click(TObject*)
{
    // A group beside the selected entry, whatever that entry is.
    TTreeNode* selected = lstItems->Selected();
    AddEntry(true, selected ? selected->Parent() : nullptr);
}

void TfrmTableOfContents::DeleteTopicGroup1Click(TObject*)
{
    TTreeNode* node = lstItems->Selected();
    if (!node) {
        ShowMessage(SelectFirstText);
        return;
    }
    // A group takes its entries with it: that loss is confirmed first, as every other deletion is.
    if (node->Count() > 0 && MessageDlg("Are you sure?", mtConfirmation, {mbYes, mbNo}, 0) != mrYes)
        return;
    std::vector<TTocObject*> entries;
    CollectEntries(*node, entries);
    // A drag may not start from a node that is gone.
    if (DragSource == node || (DragSource && DragSource->HasAsParent(node)))
        DragSource = nullptr;
    node->Delete();
    for (TTocObject* entry : entries)
        delete entry;
}

void TfrmTableOfContents::Properties1Click(TObject*)
{
    TTreeNode* node = lstItems->Selected();
    if (!node) {
        ShowMessage(SelectFirstText);
        return;
    }
    TTocObject* entry = Entry(node);
    if (!entry)
        return;
    if (entry->IsGroup)
        GroupProperties(*node, *entry);
    else
        TopicProperties(*node, *entry);
}

void TfrmTableOfContents::GroupProperties(TTreeNode& node, TTocObject& entry)
{
    // Cancel gives the preset; an empty name changes nothing.
    const AnsiString name = InputBox("Group Properties", "Group Name", entry.Name);
    if (name.empty())
        return;
    entry.Name = name;
    node.SetText(name);
}

void TfrmTableOfContents::TopicProperties(TTreeNode& node, TTocObject& entry)
{
    std::unique_ptr<TfrmTOCTopicProperties> dialog(new TfrmTOCTopicProperties(Application));
    if (PageNames)
        dialog->cbxLinkToPage->Items()->Assign(*PageNames);
    dialog->edtName->SetText(entry.Name);
    dialog->cbxLinkToPage->SetItemIndex(IndexOfPage(*dialog->cbxLinkToPage->Items(), entry.PageName));
    if (dialog->ShowModal() != mrOk)
        return;
    entry.Name = dialog->edtName->Text();
    const int chosen = dialog->cbxLinkToPage->ItemIndex();
    entry.PageName = chosen >= 0 ? dialog->cbxLinkToPage->Items()->Strings(chosen) : AnsiString();
    node.SetText(entry.Name);
}

void TfrmTableOfContents::Done1Click(TObject*)
{
    Close();
}

// ---------------------------------------------------------------------------------------------------------
// The mouse

void TfrmTableOfContents::lstItemsDblClick(TObject* Sender)
{
    SkipMouseDown = true;
    Properties1Click(Sender);
    LeftButtonDown = false;
    lstItems->SetCursor(crDefault);
}

void TfrmTableOfContents::lstItemsMouseDown(TObject*, TMouseButton Button, TShiftState, int X, int Y)
{
    if (SkipMouseDown) {
        SkipMouseDown = false;
        return;
    }
    LeftButtonDown = Button == mbLeft;
    TTreeNode* node = lstItems->GetNodeAt(X, Y);
    lstItems->SetSelected(node);
    DragSource = node;
}

void TfrmTableOfContents::lstItemsMouseMove(TObject*, TShiftState, int X, int Y)
{
    if (!DragSource || !LeftButtonDown)
        return;
    lstItems->SetSelected(lstItems->GetNodeAt(X, Y));
    lstItems->SetCursor(crDrag);
}

void TfrmTableOfContents::lstItemsMouseUp(TObject*, TMouseButton, TShiftState, int X, int Y)
{
    LeftButtonDown = false;
    lstItems->SetSelected(lstItems->GetNodeAt(X, Y));
    if (lstItems->Selected() != DragSource && DragSource)
        DropDragSource();
    DragSource = lstItems->Selected();
    lstItems->SetCursor(crDefault);
}

void TfrmTableOfContents::DropDragSource()
{
    TTreeNode* target = lstItems->Selected();
    const TTocObject* entry = Entry(target);
    if (entry && !entry->IsGroup) {
        ShowMessage("You can not add anything to a topic.");
        return;
    }
    // MoveTo leaves a node that would go into its own subtree where it is.
    if (target)
        DragSource->MoveTo(target, naAddChild);
    else
        DragSource->MoveTo(nullptr, naAdd);
}

// ---------------------------------------------------------------------------------------------------------
// The main window's command

void TfrmMainMenu::TableOfContents1Click(TObject*)
{
    TProjectState& state = ProjectState();
    if (!state.TocList)
        return;
    rtl::TStrings& tocList = *state.TocList;
    std::unique_ptr<TfrmTableOfContents> editor(new TfrmTableOfContents(Application));
    editor->PageNames = lstPages->Items();
    try {
        editor->LoadContents(tocList);
    } catch (const EInvalidTocLevel& e) {
        ShowMessage(e.Message());
        return;
    }
    try {
        editor->ShowModal();
    } catch (...) {
        // The tree holds the only copy of the edits and the records of new entries.
        editor->StoreContents(tocList);
        throw;
    }
    editor->StoreContents(tocList);
    state.Modified = true;
}
