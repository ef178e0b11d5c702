#pragma once
// The common controls: tree views with their nodes, progress bars, status bars with panels, tab
// controls, page controls with tab sheets, up-down and spin buttons.
//
//   TTreeNode* group = tree->Items()->AddObject(nullptr, "Getting started", entry);   // top level
//   TTreeNode* topic = tree->Items()->AddChild(group, "Installing");
//   topic->SetImageIndex(1);                   // from tree->Images()
//   topic->MoveTo(nullptr, vcl::naAdd);        // to the end of the top level
//   tree->Items()->Item(0);                    // nodes in pre-order
//
//   status->Panels()->Add()->SetText("File Name:");
//   progress->SetMax(0);                       // an empty range: an empty bar, never a busy one
//
// The tree's nodes live in the control (TTreeNodes); its widget mirrors each change one node at a time.
// Selecting a node (from code or by the user) fires OnChanging, which may refuse, then OnChange.

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/rtl/Classes.h"
#include "platform/vcl/Controls.h"
#include "platform/vcl/ImgList.h"
#include "platform/vcl/Messages.h"
#include "platform/vcl/StdCtrls.h"

namespace vcl {

class TTreeView;
class TTreeNodes;

VCL_ENUM(TNodeAttachMode, naAdd, naAddFirst, naAddChild, naAddChildFirst, naInsert)
VCL_ENUM(TDragState, dsDragEnter, dsDragLeave, dsDragMove)

// ---------------------------------------------------------------------------------------------------------
// Tree nodes

class TTreeNode : public TPersistent {
    VCL_CLASS(TTreeNode, TPersistent)
public:
    TTreeNode(TTreeNodes& owner, TTreeNode* parent);
    ~TTreeNode() override;

    TTreeNodes* Owner() const { return &owner_; }
    TTreeView* TreeView() const;
    const AnsiString& Text() const { return text_; }
    void SetText(const AnsiString& value);
    void* Data() const { return data_; }
    void SetData(void* value) { data_ = value; }
    int ImageIndex() const { return imageIndex_; }
    void SetImageIndex(int value);
    int SelectedIndex() const { return selectedIndex_; }
    void SetSelectedIndex(int value);
    int StateIndex() const { return stateIndex_; }
    void SetStateIndex(int value) { stateIndex_ = value; }

    // Null for a top-level node.
    TTreeNode* Parent() const;
    // 0 for a top-level node.
    int Level() const;
    int Count() const { return static_cast<int>(children_.size()); }
    TTreeNode* Item(int index) const;
    bool HasChildren() const { return !children_.empty() || hasChildren_; }
    void SetHasChildren(bool value) { hasChildren_ = value; }
    // The position among its siblings.
    int Index() const;
    // The position among all nodes in pre-order.
    int AbsoluteIndex() const;
    bool HasAsParent(const TTreeNode* node) const;

    TTreeNode* GetFirstChild() const;
    TTreeNode* GetLastChild() const;
    TTreeNode* GetNextSibling() const;
    TTreeNode* GetPrevSibling() const;
    // The next and previous node in pre-order.
    TTreeNode* GetNext() const;
    TTreeNode* GetPrev() const;

    bool Expanded() const { return expanded_; }
    // Expanding fires OnExpanding (which may refuse) and OnExpanded, collapsing the Collapse pair.
    void SetExpanded(bool value);
    void Expand(bool recurse);
    void Collapse(bool recurse);
    bool Selected() const;
    void SetSelected(bool value);
    bool Focused() const { return Selected(); }
    // All parents are expanded.
    bool IsVisible() const;
    void MakeVisible();
    bool Deleting() const { return deleting_; }
    // Where the node is drawn in the tree's client area (empty when it is not shown).
    TRect DisplayRect(bool textOnly) const;

    // Moves the node (with everything under it) relative to `destination`: naAdd the last sibling of it
    // (the top level for null), naAddFirst its first sibling, naAddChild its last child, naAddChildFirst
    // its first child, naInsert just before it. A move into its own subtree does nothing.
    void MoveTo(TTreeNode* destination, TNodeAttachMode mode);
    // Frees the node and everything under it.
    void Delete();
    void DeleteChildren();

private:
    friend class TTreeNodes;
    friend class TTreeView;

    TTreeNodes& owner_;
    TTreeNode* parent_;  // the hidden root for top-level nodes
    std::vector<std::unique_ptr<TTreeNode>> children_;
    AnsiString text_;
    void* data_ = nullptr;
    int imageIndex_ = -1;
    int selectedIndex_ = -1;
    int stateIndex_ = -1;
    bool expanded_ = false;
    bool hasChildren_ = false;
    bool deleting_ = false;
    mutable int absoluteIndex_ = 0;  // valid while the nodes' order is
};

class TTreeNodes : public TPersistent {
    VCL_CLASS(TTreeNodes, TPersistent)
public:
    explicit TTreeNodes(TTreeView* owner);
    ~TTreeNodes() override;
    TTreeNodes(const TTreeNodes&) = delete;
    TTreeNodes& operator=(const TTreeNodes&) = delete;

    TTreeView* Owner() const { return owner_; }
    // All nodes.
    int Count() const { return count_; }
    // The node at a pre-order position; EListError outside 0..Count()-1.
    TTreeNode* Item(int index) const;
    TTreeNode* operator[](int index) const { return Item(index); }
    TTreeNode* GetFirstNode() const;

    // The last sibling of `sibling` (the last top-level node for null).
    TTreeNode* Add(TTreeNode* sibling, const AnsiString& text) { return AddObject(sibling, text, nullptr); }
    TTreeNode* AddObject(TTreeNode* sibling, const AnsiString& text, void* data);
    TTreeNode* AddFirst(TTreeNode* sibling, const AnsiString& text) { return AddObjectFirst(sibling, text, nullptr); }
    TTreeNode* AddObjectFirst(TTreeNode* sibling, const AnsiString& text, void* data);
    // The last child of `parent` (the top level for null).
    TTreeNode* AddChild(TTreeNode* parent, const AnsiString& text) { return AddChildObject(parent, text, nullptr); }
    TTreeNode* AddChildObject(TTreeNode* parent, const AnsiString& text, void* data);
    TTreeNode* AddChildFirst(TTreeNode* parent, const AnsiString& text) { return AddChildObjectFirst(parent, text, nullptr); }
    TTreeNode* AddChildObjectFirst(TTreeNode* parent, const AnsiString& text, void* data);
    // Just before `sibling` (the end of the top level for null).
    TTreeNode* Insert(TTreeNode* sibling, const AnsiString& text) { return InsertObject(sibling, text, nullptr); }
    TTreeNode* InsertObject(TTreeNode* sibling, const AnsiString& text, void* data);
    void Delete(TTreeNode* node);
    void Clear();

    void BeginUpdate();
    void EndUpdate();

    // The hidden node whose children are the top-level nodes.
    TTreeNode* Root() const { return root_.get(); }

private:
    friend class TTreeNode;
    friend class TTreeView;
    TTreeNode* AddNode(TTreeNode* target, const AnsiString& text, void* data, TNodeAttachMode mode);
    // Where a node goes for a target and mode: its new parent and its index there.
    void Place(TTreeNode* target, TNodeAttachMode mode, TTreeNode*& parent, int& index) const;
    const std::vector<TTreeNode*>& Order() const;
    void Invalidate() { orderValid_ = false; }

    TTreeView* owner_;
    std::unique_ptr<TTreeNode> root_;
    int count_ = 0;
    int updateCount_ = 0;
    mutable std::vector<TTreeNode*> order_;
    mutable bool orderValid_ = true;
};

// ---------------------------------------------------------------------------------------------------------
// The tree view

using TTVChangedEvent = std::function<void(TObject* Sender, TTreeNode* Node)>;
using TTVChangingEvent = std::function<void(TObject* Sender, TTreeNode* Node, bool& AllowChange)>;
using TTVExpandingEvent = std::function<void(TObject* Sender, TTreeNode* Node, bool& AllowExpansion)>;
using TTVCollapsingEvent = std::function<void(TObject* Sender, TTreeNode* Node, bool& AllowCollapse)>;
using TTVExpandedEvent = std::function<void(TObject* Sender, TTreeNode* Node)>;
using TTVEditingEvent = std::function<void(TObject* Sender, TTreeNode* Node, bool& AllowEdit)>;
using TTVEditedEvent = std::function<void(TObject* Sender, TTreeNode* Node, AnsiString& S)>;
using TDragOverEvent = std::function<void(TObject* Sender, TObject* Source, int X, int Y, TDragState State, bool& Accept)>;
using TDragDropEvent = std::function<void(TObject* Sender, TObject* Source, int X, int Y)>;
using TEndDragEvent = std::function<void(TObject* Sender, TObject* Target, int X, int Y)>;

class TTreeView : public TWinControl {
    VCL_CLASS(TTreeView, TWinControl)
public:
    explicit TTreeView(TComponent* owner);
    ~TTreeView() override;

    TTreeNodes* Items() const { return items_.get(); }
    TTreeNode* Selected() const { return selected_; }
    // OnChanging (which may refuse), then OnChange; null selects nothing.
    void SetSelected(TTreeNode* node);
    TImageList* Images() const { return images_.get(); }
    void SetImages(TImageList* value);
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool value);
    bool HideSelection() const { return hideSelection_; }
    void SetHideSelection(bool value) { hideSelection_ = value; }
    bool ShowRoot() const { return showRoot_; }
    void SetShowRoot(bool value);
    bool ShowLines() const { return showLines_; }
    void SetShowLines(bool value);
    bool ShowButtons() const { return showButtons_; }
    void SetShowButtons(bool value);
    // A right click selects the node under the mouse.
    bool RightClickSelect() const { return rightClickSelect_; }
    void SetRightClickSelect(bool value) { rightClickSelect_ = value; }
    int Indent() const { return indent_; }
    void SetIndent(int value);
    bool AutoExpand() const { return autoExpand_; }
    void SetAutoExpand(bool value) { autoExpand_ = value; }
    TBorderStyle BorderStyle() const { return borderStyle_; }
    void SetBorderStyle(TBorderStyle value);
    TDragMode DragMode() const { return dragMode_; }
    void SetDragMode(TDragMode value) { dragMode_ = value; }
    // The height of a row in pixels.
    int RowHeight() const { return rowHeight_; }

    // The node under a point of the client area, or null.
    TTreeNode* GetNodeAt(int x, int y) const;
    TTreeNode* TopItem() const;
    void FullExpand();
    void FullCollapse();

    // Dragging within the tree: OnDragOver while the mouse moves, OnDragDrop where an accepted drag
    // ends, OnEndDrag always. `immediate` false starts once the mouse has moved `threshold` pixels.
    void BeginDrag(bool immediate, int threshold = -1);
    void EndDrag(bool drop);
    bool Dragging() const { return dragging_; }

    TTVChangedEvent OnChange;
    TTVChangingEvent OnChanging;
    TTVExpandingEvent OnExpanding;
    TTVExpandedEvent OnExpanded;
    TTVCollapsingEvent OnCollapsing;
    TTVExpandedEvent OnCollapsed;
    TTVEditingEvent OnEditing;
    TTVEditedEvent OnEdited;
    TTVExpandedEvent OnDeletion;
    TDragOverEvent OnDragOver;
    TDragDropEvent OnDragDrop;
    TEndDragEvent OnEndDrag;

    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseMove(TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;

    // ---- the widget side
    void SelectedByUser(TTreeNode* node);
    // Gives false when OnExpanding / OnCollapsing refused it.
    bool ExpandedByUser(TTreeNode* node, bool expanded);
    // The user finished editing a label: OnEdited may change the text.
    void EditedByUser(TTreeNode* node, const AnsiString& text);
    bool CanEdit(TTreeNode* node);
    void TopRowChangedByUser(int row) { topRow_ = row; }

    enum {
        paNodeInserted = paFirstCustom, paNodeDeleting, paNodeText, paNodeImages, paNodeExpanded, paNodeMoved,
        paNodesCleared, paSelection, paImages, paOptions, paUpdating
    };
    // The node the last node aspect is about.
    TTreeNode* PeerNode() const { return peerNode_; }
    bool Updating() const { return items_->updateCount_ > 0; }

protected:
    std::unique_ptr<TWidgetPeer> CreatePeer() override;
    void Notification(TComponent* component, TOperation operation) override;

private:
    friend class TTreeNode;
    friend class TTreeNodes;
    void NodeAspect(int aspect, TTreeNode* node);
    // The node is about to go (with its subtree): OnDeletion, the selection moves on.
    void NodeDeleting(TTreeNode* node);
    bool ChangeSelection(TTreeNode* node);
    // The nodes shown in order (every parent expanded).
    std::vector<TTreeNode*> VisibleNodes() const;
    // The widget's answers, when it has one: the node at a point, a node's rectangle.
    bool PeerNodeAt(int x, int y, TTreeNode*& node) const;
    bool PeerNodeRect(const TTreeNode* node, TRect& rect) const;
    void ImagesChanged() { UpdatePeer(paImages); }
    void StartDragging();
    void DragOver(TDragState state, int x, int y);

    std::unique_ptr<TTreeNodes> items_;
    TTreeNode* selected_ = nullptr;
    TTreeNode* peerNode_ = nullptr;
    TComponentRef<TImageList> images_;
    bool readOnly_ = false;
    bool hideSelection_ = true;
    bool showRoot_ = true;
    bool showLines_ = true;
    bool showButtons_ = true;
    bool rightClickSelect_ = false;
    int indent_ = 19;
    bool autoExpand_ = false;
    TBorderStyle borderStyle_ = bsSingle;
    TDragMode dragMode_ = dmManual;
    int rowHeight_ = 16;
    int topRow_ = 0;
    bool dragPending_ = false;
    bool dragging_ = false;
    TPoint dragStart_;
    int dragThreshold_ = 5;
    TPoint dragPos_;
    TPoint lastMouse_;
    bool dragAccepted_ = false;
    TCursor cursorBeforeDrag_ = crDefault;
};

// ---------------------------------------------------------------------------------------------------------
// Progress bars

VCL_ENUM(TProgressBarOrientation, pbHorizontal, pbVertical)

class TProgressBar : public TWinControl {
    VCL_CLASS(TProgressBar, TWinControl)
public:
    explicit TProgressBar(TComponent* owner);

    int Min() const { return min_; }
    void SetMin(int value);
    int Max() const { return max_; }
    void SetMax(int value);
    // Kept within Min..Max.
    int Position() const { return position_; }
    void SetPosition(int value);
    int Step() const { return step_; }
    void SetStep(int value) { step_ = value; }
    // Advances by Step; past Max it starts again from Min.
    void StepIt();
    void StepBy(int delta) { SetPosition(position_ + delta); }
    bool Smooth() const { return smooth_; }
    void SetSmooth(bool value) { smooth_ = value; }
    TProgressBarOrientation Orientation() const { return orientation_; }
    void SetOrientation(TProgressBarOrientation value);
    void Loaded() override;

    enum { paRange = paFirstCustom, paOrientation };

protected:
    std::unique_ptr<TWidgetPeer> CreatePeer() override;

private:
    int min_ = 0;
    int max_ = 100;
    int position_ = 0;
    int step_ = 10;
    bool smooth_ = false;
    TProgressBarOrientation orientation_ = pbHorizontal;
};

// ---------------------------------------------------------------------------------------------------------
// Status bars

VCL_ENUM(TStatusPanelStyle, psText, psOwnerDraw)
VCL_ENUM(TStatusPanelBevel, pbNone, pbLowered, pbRaised)

class TStatusPanel : public TCollectionItem {
    VCL_CLASS(TStatusPanel, TCollectionItem)
public:
    explicit TStatusPanel(TCollection* collection);

    const AnsiString& Text() const { return text_; }
    void SetText(const AnsiString& value);
    int Width() const { return width_; }
    void SetWidth(int value);
    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment value);
    TStatusPanelBevel Bevel() const { return bevel_; }
    void SetBevel(TStatusPanelBevel value);
    TStatusPanelStyle Style() const { return style_; }
    void SetStyle(TStatusPanelStyle value);
    AnsiString DisplayName() const override;

private:
    AnsiString text_;
    int width_ = 50;
    TAlignment alignment_ = taLeftJustify;
    TStatusPanelBevel bevel_ = pbLowered;
    TStatusPanelStyle style_ = psText;
};

class TStatusBar;

class TStatusPanels : public TCollection {
    VCL_CLASS(TStatusPanels, TCollection)
public:
    explicit TStatusPanels(TStatusBar* owner);
    TStatusPanel* Add() { return static_cast<TStatusPanel*>(TCollection::Add()); }
    TStatusPanel* Items(int index) const { return static_cast<TStatusPanel*>(TCollection::Items(index)); }
    TStatusPanel* operator[](int index) const { return Items(index); }

protected:
    TPersistent* GetOwner() const override;
    void Update(TCollectionItem* item) override;

private:
    TStatusBar* owner_;
};

class TStatusBar : public TCustomControl {
    VCL_CLASS(TStatusBar, TCustomControl)
public:
    explicit TStatusBar(TComponent* owner);
    ~TStatusBar() override;

    TStatusPanels* Panels() const { return panels_.get(); }
    // One panel across the whole bar showing SimpleText, instead of the panels.
    bool SimplePanel() const { return simplePanel_; }
    void SetSimplePanel(bool value);
    const AnsiString& SimpleText() const { return simpleText_; }
    void SetSimpleText(const AnsiString& value);
    bool SizeGrip() const { return sizeGrip_; }
    void SetSizeGrip(bool value);
    // Where panel `index` is drawn (the last one reaches the right edge).
    TRect PanelRect(int index) const;

protected:
    void Paint() override;

private:
    std::unique_ptr<TStatusPanels> panels_;
    bool simplePanel_ = false;
    AnsiString simpleText_;
    bool sizeGrip_ = true;
};

// ---------------------------------------------------------------------------------------------------------
// Tab controls and page controls

VCL_ENUM(TTabPosition, tpTop, tpBottom, tpLeft, tpRight)
using TTabChangingEvent = std::function<void(TObject* Sender, bool& AllowChange)>;

// What tab and page controls share: a row of tabs above a display area.
class TCustomTabControl : public TWinControl {
    VCL_CLASS(TCustomTabControl, TWinControl)
public:
    explicit TCustomTabControl(TComponent* owner);
    ~TCustomTabControl() override;

    // The tabs' captions (a page control keeps them itself).
    rtl::TStrings* Tabs() const { return tabs_.get(); }
    // -1: none. From code it fires nothing; a user's choice fires OnChanging (which may refuse) and OnChange.
    int TabIndex() const { return tabIndex_; }
    virtual void SetTabIndex(int value);
    bool MultiLine() const { return multiLine_; }
    void SetMultiLine(bool value) { multiLine_ = value; }
    TTabPosition TabPosition() const { return tabPosition_; }
    void SetTabPosition(TTabPosition value);
    int TabHeight() const { return tabHeight_; }
    void SetTabHeight(int value);
    int TabWidth() const { return tabWidth_; }
    void SetTabWidth(int value) { tabWidth_ = value; }
    bool HotTrack() const { return hotTrack_; }
    void SetHotTrack(bool value) { hotTrack_ = value; }
    // The area inside the frame, below the tabs.
    TRect DisplayRect() const;

    TNotifyEvent OnChange;
    TTabChangingEvent OnChanging;

    void Loaded() override;

    // ---- the widget side
    // Gives false when OnChanging refused.
    bool TabChosenByUser(int index);

    enum { paTabs = paFirstCustom, paTabIndex, paTabLayout };

protected:
    std::unique_ptr<TWidgetPeer> CreatePeer() override;
    TRect AlignRect() const override;
    virtual void TabsChanged();
    // A user's choice has been let through: the control follows it.
    virtual void TabChosen(int index);
    int TabRowHeight() const;

private:
    std::unique_ptr<rtl::TStringList> tabs_;
    int tabIndex_ = -1;
    bool multiLine_ = false;
    TTabPosition tabPosition_ = tpTop;
    int tabHeight_ = 0;
    int tabWidth_ = 0;
    bool hotTrack_ = false;
    int loadedTabIndex_ = -2;
};

class TTabControl : public TCustomTabControl {
    VCL_CLASS(TTabControl, TCustomTabControl)
public:
    explicit TTabControl(TComponent* owner);
    void SetTabs(const rtl::TStrings& value) { Tabs()->Assign(value); }
};

class TPageControl;

class TTabSheet : public TWinControl {
    VCL_CLASS(TTabSheet, TWinControl)
public:
    explicit TTabSheet(TComponent* owner);
    ~TTabSheet() override;

    TPageControl* PageControl() const { return pageControl_; }
    void SetPageControl(TPageControl* value);
    int PageIndex() const;
    void SetPageIndex(int value);
    bool TabVisible() const { return tabVisible_; }
    void SetTabVisible(bool value);
    int ImageIndex() const { return imageIndex_; }
    void SetImageIndex(int value) { imageIndex_ = value; }
    // The tab's position among the visible tabs, or -1.
    int TabIndex() const;

    void SetParent(TWinControl* value) override;

protected:
    void TextChanged() override;

private:
    friend class TPageControl;
    TPageControl* pageControl_ = nullptr;
    bool tabVisible_ = true;
    int imageIndex_ = -1;
};

class TPageControl : public TCustomTabControl {
    VCL_CLASS(TPageControl, TCustomTabControl)
public:
    explicit TPageControl(TComponent* owner);
    ~TPageControl() override;

    int PageCount() const { return static_cast<int>(pages_.size()); }
    TTabSheet* Pages(int index) const;
    TTabSheet* ActivePage() const { return activePage_; }
    // Shows the sheet (and hides the one shown before); fires nothing.
    void SetActivePage(TTabSheet* page);
    int ActivePageIndex() const;
    void SetActivePageIndex(int value);
    void SetTabIndex(int value) override;
    // The next (or previous) sheet with a visible tab, wrapping round; null when there is none.
    TTabSheet* FindNextPage(TTabSheet* current, bool goForward, bool checkTabVisible) const;
    void SelectNextPage(bool goForward);
    void Loaded() override;

protected:
    void TabChosen(int index) override;

private:
    friend class TTabSheet;
    void InsertPage(TTabSheet* page);
    void RemovePage(TTabSheet* page);
    void MovePage(TTabSheet* page, int index);
    void UpdateTabs();

    std::vector<TTabSheet*> pages_;
    TTabSheet* activePage_ = nullptr;
    AnsiString loadedActivePage_;
};

// ---------------------------------------------------------------------------------------------------------
// Up-down and spin buttons

VCL_ENUM(TUDBtnType, btNext, btPrev)
VCL_ENUM(TUDAlignButton, udLeft, udRight)
VCL_ENUM(TUDOrientation, udHorizontal, udVertical)
using TUDClickEvent = std::function<void(TObject* Sender, TUDBtnType Button)>;
using TUDChangingEvent = std::function<void(TObject* Sender, bool& AllowChange)>;

// Two arrow buttons that step Position between Min and Max; an associated control shows the number.
class TUpDown : public TCustomControl {
    VCL_CLASS(TUpDown, TCustomControl)
public:
    explicit TUpDown(TComponent* owner);

    int Min() const { return min_; }
    void SetMin(int value);
    int Max() const { return max_; }
    void SetMax(int value);
    int Position() const { return position_; }
    void SetPosition(int value);
    int Increment() const { return increment_; }
    void SetIncrement(int value) { increment_ = value; }
    bool Wrap() const { return wrap_; }
    void SetWrap(bool value) { wrap_ = value; }
    bool Thousands() const { return thousands_; }
    void SetThousands(bool value);
    bool ArrowKeys() const { return arrowKeys_; }
    void SetArrowKeys(bool value) { arrowKeys_ = value; }
    TUDOrientation Orientation() const { return orientation_; }
    void SetOrientation(TUDOrientation value);
    TUDAlignButton AlignButton() const { return alignButton_; }
    void SetAlignButton(TUDAlignButton value) { alignButton_ = value; }
    // At run time the up-down takes its place at the associate's side (which gives up the room).
    TWinControl* Associate() const { return associate_.get(); }
    void SetAssociate(TWinControl* value);

    // A press of one button: OnChanging (which may refuse), Position, the associate's text, OnClick.
    void Click(TUDBtnType button);
    using TControl::Click;

    TUDClickEvent OnClick;
    TUDChangingEvent OnChanging;

    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void Loaded() override;

protected:
    void Paint() override;

private:
    void ShowPosition();

    int min_ = 0;
    int max_ = 100;
    int position_ = 0;
    int increment_ = 1;
    bool wrap_ = false;
    bool thousands_ = true;
    bool arrowKeys_ = true;
    TUDOrientation orientation_ = udVertical;
    TUDAlignButton alignButton_ = udRight;
    TComponentRef<TWinControl> associate_;
};

// Up and down buttons (one above the other) that repeat while held.
class TSpinButton : public TCustomControl {
    VCL_CLASS(TSpinButton, TCustomControl)
public:
    explicit TSpinButton(TComponent* owner);
    ~TSpinButton() override;

    TWinControl* FocusControl() const { return focusControl_.get(); }
    void SetFocusControl(TWinControl* value) { focusControl_ = value; }

    // What a press of the upper (lower) button does.
    void UpClick();
    void DownClick();

    TNotifyEvent OnUpClick;
    TNotifyEvent OnDownClick;

    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;

protected:
    void Paint() override;

private:
    void Repeat();

    TComponentRef<TWinControl> focusControl_;
    std::unique_ptr<TTimer> repeat_;
    int pressed_ = 0;  // 1 up, -1 down
};

// Draws a button face with an arrow (up, down, left or right) on a canvas; the spin buttons use it.
VCL_ENUM(TArrowDirection, adUp, adDown, adLeft, adRight)
void DrawArrowButton(TCanvas* canvas, const TRect& rect, TArrowDirection direction, bool pressed, bool enabled);

}  // namespace vcl
