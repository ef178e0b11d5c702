// Tree views: the nodes (kept by the control, in a tree of their own) and the view's selection, expansion,
// editing and dragging. The widget is in QtComCtrls.cpp.
#include "platform/vcl/ComCtrls.h"

#include <algorithm>
#include <cstdlib>

namespace vcl {

namespace {

// A node and everything under it, children before their parent.
void CollectPostOrder(TTreeNode* node, std::vector<TTreeNode*>& out)
{
    std::vector<std::pair<TTreeNode*, int>> stack{{node, 0}};
    while (!stack.empty()) {
        auto& [current, next] = stack.back();
        if (next < current->Count()) {
            TTreeNode* child = current->Item(next++);
            stack.emplace_back(child, 0);
        } else {
            out.push_back(current);
            stack.pop_back();
        }
    }
}

}  // namespace

// ---------------------------------------------------------------------------------------------------------
// TTreeNode

VCL_IMPLEMENT_CLASS_NOPROPS(TTreeNode)

TTreeNode::TTreeNode(TTreeNodes& owner, TTreeNode* parent) : owner_(owner), parent_(parent) {}

TTreeNode::~TTreeNode() = default;

TTreeView* TTreeNode::TreeView() const
{
    return owner_.Owner();
}

void TTreeNode::SetText(const AnsiString& value)
{
    if (text_ == value)
        return;
    text_ = value;
    if (TTreeView* view = TreeView())
        view->NodeAspect(TTreeView::paNodeText, this);
}

void TTreeNode::SetImageIndex(int value)
{
    if (imageIndex_ == value)
        return;
    imageIndex_ = value;
    if (TTreeView* view = TreeView())
        view->NodeAspect(TTreeView::paNodeImages, this);
}

void TTreeNode::SetSelectedIndex(int value)
{
    if (selectedIndex_ == value)
        return;
    selectedIndex_ = value;
    if (TTreeView* view = TreeView())
        view->NodeAspect(TTreeView::paNodeImages, this);
}

TTreeNode* TTreeNode::Parent() const
{
    return parent_ == owner_.root_.get() ? nullptr : parent_;
}

int TTreeNode::Level() const
{
    int level = 0;
    for (const TTreeNode* p = Parent(); p; p = p->Parent())
        ++level;
    return level;
}

TTreeNode* TTreeNode::Item(int index) const
{
    if (index < 0 || index >= Count())
        throw rtl::EListError("List index out of bounds (" + rtl::IntToStr(index) + ")");
    return children_[static_cast<size_t>(index)].get();
}

int TTreeNode::Index() const
{
    if (!parent_)
        return -1;
    const auto& siblings = parent_->children_;
    for (size_t i = 0; i < siblings.size(); ++i) {
        if (siblings[i].get() == this)
            return static_cast<int>(i);
    }
    return -1;
}

int TTreeNode::AbsoluteIndex() const
{
    owner_.Order();
    return absoluteIndex_;
}

bool TTreeNode::HasAsParent(const TTreeNode* node) const
{
    if (!node)
        return false;
    for (const TTreeNode* p = Parent(); p; p = p->Parent()) {
        if (p == node)
            return true;
    }
    return false;
}

TTreeNode* TTreeNode::GetFirstChild() const
{
    return children_.empty() ? nullptr : children_.front().get();
}

TTreeNode* TTreeNode::GetLastChild() const
{
    return children_.empty() ? nullptr : children_.back().get();
}

TTreeNode* TTreeNode::GetNextSibling() const
{
    int index = Index();
    if (index < 0 || index + 1 >= static_cast<int>(parent_->children_.size()))
        return nullptr;
    return parent_->children_[static_cast<size_t>(index) + 1].get();
}

TTreeNode* TTreeNode::GetPrevSibling() const
{
    int index = Index();
    if (index <= 0)
        return nullptr;
    return parent_->children_[static_cast<size_t>(index) - 1].get();
}

TTreeNode* TTreeNode::GetNext() const
{
    if (TTreeNode* child = GetFirstChild())
        return child;
    for (const TTreeNode* n = this; n; n = n->Parent()) {
        if (TTreeNode* next = n->GetNextSibling())
            return next;
    }
    return nullptr;
}

TTreeNode* TTreeNode::GetPrev() const
{
    TTreeNode* prev = GetPrevSibling();
    if (!prev)
        return Parent();
    while (TTreeNode* last = prev->GetLastChild())
        prev = last;
    return prev;
}

void TTreeNode::SetExpanded(bool value)
{
    if (expanded_ == value)
        return;
    TTreeView* view = TreeView();
    bool allow = true;
    if (view && !view->IsLoading()) {
        if (value && view->OnExpanding)
            view->OnExpanding(view, this, allow);
        else if (!value && view->OnCollapsing)
            view->OnCollapsing(view, this, allow);
    }
    if (!allow) {
        if (view)
            view->NodeAspect(TTreeView::paNodeExpanded, this);
        return;
    }
    expanded_ = value;
    if (!view)
        return;
    view->NodeAspect(TTreeView::paNodeExpanded, this);
    if (view->IsLoading())
        return;
    if (value && view->OnExpanded)
        view->OnExpanded(view, this);
    else if (!value && view->OnCollapsed)
        view->OnCollapsed(view, this);
}

void TTreeNode::Expand(bool recurse)
{
    SetExpanded(true);
    if (recurse) {
        for (const auto& child : children_)
            child->Expand(true);
    }
}

void TTreeNode::Collapse(bool recurse)
{
    SetExpanded(false);
    if (recurse) {
        for (const auto& child : children_)
            child->Collapse(true);
    }
}

bool TTreeNode::Selected() const
{
    TTreeView* view = TreeView();
    return view && view->Selected() == this;
}

void TTreeNode::SetSelected(bool value)
{
    TTreeView* view = TreeView();
    if (!view)
        return;
    if (value)
        view->SetSelected(this);
    else if (view->Selected() == this)
        view->SetSelected(nullptr);
}

bool TTreeNode::IsVisible() const
{
    for (const TTreeNode* p = Parent(); p; p = p->Parent()) {
        if (!p->expanded_)
            return false;
    }
    return true;
}

void TTreeNode::MakeVisible()
{
    for (TTreeNode* p = Parent(); p; p = p->Parent())
        p->SetExpanded(true);
}

TRect TTreeNode::DisplayRect(bool textOnly) const
{
    TTreeView* view = TreeView();
    if (!view || !IsVisible())
        return TRect{};
    TRect rect;
    if (view->PeerNodeRect(this, rect))
        return rect;
    std::vector<TTreeNode*> rows = view->VisibleNodes();
    auto it = std::find(rows.begin(), rows.end(), this);
    int row = static_cast<int>(it - rows.begin()) - view->topRow_;
    int top = row * view->RowHeight();
    int left = 0;
    if (textOnly) {
        left = (Level() + (view->ShowRoot() ? 1 : 0)) * view->Indent();
        if (view->Images())
            left += view->Images()->Width() + 2;
    }
    return Rect(left, top, view->ClientWidth(), top + view->RowHeight());
}

void TTreeNode::MoveTo(TTreeNode* destination, TNodeAttachMode mode)
{
    bool childMode = mode == naAddChild || mode == naAddChildFirst;
    if (destination && (&destination->owner_ != &owner_ || destination->HasAsParent(this)))
        return;
    if (destination == this && (childMode || mode == naInsert))
        return;
    // Out of the old place first, so that positions among the new siblings count without this node.
    TTreeNode* oldParent = parent_;
    int oldIndex = Index();
    std::unique_ptr<TTreeNode> self = std::move(oldParent->children_[static_cast<size_t>(oldIndex)]);
    oldParent->children_.erase(oldParent->children_.begin() + oldIndex);
    TTreeNode* newParent = nullptr;
    int newIndex = 0;
    if (destination == this) {
        newParent = oldParent;
        newIndex = mode == naAddFirst ? 0 : static_cast<int>(oldParent->children_.size());
    } else {
        owner_.Place(destination, mode, newParent, newIndex);
    }
    newParent->children_.insert(newParent->children_.begin() + newIndex, std::move(self));
    parent_ = newParent;
    owner_.Invalidate();
    if (TTreeView* view = TreeView())
        view->NodeAspect(TTreeView::paNodeMoved, this);
}

void TTreeNode::Delete()
{
    owner_.Delete(this);
}

void TTreeNode::DeleteChildren()
{
    while (!children_.empty())
        owner_.Delete(children_.back().get());
}

// ---------------------------------------------------------------------------------------------------------
// TTreeNodes

VCL_IMPLEMENT_CLASS_NOPROPS(TTreeNodes)

TTreeNodes::TTreeNodes(TTreeView* owner) : owner_(owner), root_(std::make_unique<TTreeNode>(*this, nullptr))
{
    root_->expanded_ = true;
}

TTreeNodes::~TTreeNodes() = default;

const std::vector<TTreeNode*>& TTreeNodes::Order() const
{
    if (orderValid_)
        return order_;
    order_.clear();
    order_.reserve(static_cast<size_t>(count_));
    std::vector<TTreeNode*> stack;
    for (auto it = root_->children_.rbegin(); it != root_->children_.rend(); ++it)
        stack.push_back(it->get());
    while (!stack.empty()) {
        TTreeNode* node = stack.back();
        stack.pop_back();
        node->absoluteIndex_ = static_cast<int>(order_.size());
        order_.push_back(node);
        for (auto it = node->children_.rbegin(); it != node->children_.rend(); ++it)
            stack.push_back(it->get());
    }
    orderValid_ = true;
    return order_;
}

TTreeNode* TTreeNodes::Item(int index) const
{
    if (index < 0 || index >= count_)
        throw rtl::EListError("List index out of bounds (" + rtl::IntToStr(index) + ")");
    return Order()[static_cast<size_t>(index)];
}

TTreeNode* TTreeNodes::GetFirstNode() const
{
    return root_->GetFirstChild();
}

void TTreeNodes::Place(TTreeNode* target, TNodeAttachMode mode, TTreeNode*& parent, int& index) const
{
    TTreeNode* root = root_.get();
    switch (mode) {
    case naAdd:
        parent = target ? target->parent_ : root;
        index = static_cast<int>(parent->children_.size());
        break;
    case naAddFirst:
        parent = target ? target->parent_ : root;
        index = 0;
        break;
    case naAddChild:
        parent = target ? target : root;
        index = static_cast<int>(parent->children_.size());
        break;
    case naAddChildFirst:
        parent = target ? target : root;
        index = 0;
        break;
    case naInsert:
        parent = target ? target->parent_ : root;
        index = target ? target->Index() : static_cast<int>(parent->children_.size());
        break;
    }
}

TTreeNode* TTreeNodes::AddNode(TTreeNode* target, const AnsiString& text, void* data, TNodeAttachMode mode)
{
    if (target && &target->owner_ != this)
        throw EInvalidOperation("The node belongs to another tree");
    TTreeNode* parent = nullptr;
    int index = 0;
    Place(target, mode, parent, index);
    auto node = std::make_unique<TTreeNode>(*this, parent);
    node->text_ = text;
    node->data_ = data;
    TTreeNode* added = node.get();
    parent->children_.insert(parent->children_.begin() + index, std::move(node));
    ++count_;
    Invalidate();
    if (owner_)
        owner_->NodeAspect(TTreeView::paNodeInserted, added);
    return added;
}

TTreeNode* TTreeNodes::AddObject(TTreeNode* sibling, const AnsiString& text, void* data)
{
    return AddNode(sibling, text, data, naAdd);
}

TTreeNode* TTreeNodes::AddObjectFirst(TTreeNode* sibling, const AnsiString& text, void* data)
{
    return AddNode(sibling, text, data, naAddFirst);
}

TTreeNode* TTreeNodes::AddChildObject(TTreeNode* parent, const AnsiString& text, void* data)
{
    return AddNode(parent, text, data, naAddChild);
}

TTreeNode* TTreeNodes::AddChildObjectFirst(TTreeNode* parent, const AnsiString& text, void* data)
{
    return AddNode(parent, text, data, naAddChildFirst);
}

TTreeNode* TTreeNodes::InsertObject(TTreeNode* sibling, const AnsiString& text, void* data)
{
    return AddNode(sibling, text, data, naInsert);
}

void TTreeNodes::Delete(TTreeNode* node)
{
    if (!node || node == root_.get() || &node->owner_ != this || node->deleting_)
        return;
    std::vector<TTreeNode*> subtree;
    CollectPostOrder(node, subtree);
    for (TTreeNode* n : subtree)
        n->deleting_ = true;
    if (owner_)
        owner_->NodeDeleting(node);
    TTreeNode* parent = node->parent_;
    int index = node->Index();
    count_ -= static_cast<int>(subtree.size());
    Invalidate();
    parent->children_.erase(parent->children_.begin() + index);
}

void TTreeNodes::Clear()
{
    if (root_->children_.empty())
        return;
    if (owner_) {
        std::vector<TTreeNode*> all;
        for (const auto& top : root_->children_)
            CollectPostOrder(top.get(), all);
        for (TTreeNode* n : all)
            n->deleting_ = true;
        owner_->selected_ = nullptr;
        if (owner_->OnDeletion && !owner_->IsDestroying()) {
            for (TTreeNode* n : all)
                owner_->OnDeletion(owner_, n);
        }
        owner_->NodeAspect(TTreeView::paNodesCleared, nullptr);
    }
    root_->children_.clear();
    count_ = 0;
    Invalidate();
}

void TTreeNodes::BeginUpdate()
{
    if (++updateCount_ == 1 && owner_)
        owner_->UpdatePeer(TTreeView::paUpdating);
}

void TTreeNodes::EndUpdate()
{
    if (updateCount_ > 0 && --updateCount_ == 0 && owner_)
        owner_->UpdatePeer(TTreeView::paUpdating);
}

// ---------------------------------------------------------------------------------------------------------
// TTreeView

VCL_IMPLEMENT_CLASS(TTreeView)

void TTreeView::RegisterProperties(TClassDef<TTreeView>& def)
{
    def.Property("AutoExpand", &TTreeView::AutoExpand, &TTreeView::SetAutoExpand, false);
    def.Property("BorderStyle", &TTreeView::BorderStyle, &TTreeView::SetBorderStyle, bsSingle);
    def.Property("Color", &TControl::Color, &TControl::SetColor, clWindow);
    def.Property("DragMode", &TTreeView::DragMode, &TTreeView::SetDragMode, dmManual);
    def.Property("HideSelection", &TTreeView::HideSelection, &TTreeView::SetHideSelection, true);
    def.Property("Images", &TTreeView::Images, &TTreeView::SetImages);
    def.Property("Indent", &TTreeView::Indent, &TTreeView::SetIndent, 19);
    def.Property("ReadOnly", &TTreeView::ReadOnly, &TTreeView::SetReadOnly, false);
    def.Property("RightClickSelect", &TTreeView::RightClickSelect, &TTreeView::SetRightClickSelect, false);
    def.Property("ShowButtons", &TTreeView::ShowButtons, &TTreeView::SetShowButtons, true);
    def.Property("ShowLines", &TTreeView::ShowLines, &TTreeView::SetShowLines, true);
    def.Property("ShowRoot", &TTreeView::ShowRoot, &TTreeView::SetShowRoot, true);
    def.Property("TabStop", &TWinControl::TabStop, &TWinControl::SetTabStop, true);
    def.Event("OnChange", &TTreeView::OnChange);
    def.Event("OnChanging", &TTreeView::OnChanging);
    def.Event("OnCollapsed", &TTreeView::OnCollapsed);
    def.Event("OnCollapsing", &TTreeView::OnCollapsing);
    def.Event("OnDeletion", &TTreeView::OnDeletion);
    def.Event("OnDragDrop", &TTreeView::OnDragDrop);
    def.Event("OnDragOver", &TTreeView::OnDragOver);
    def.Event("OnEdited", &TTreeView::OnEdited);
    def.Event("OnEditing", &TTreeView::OnEditing);
    def.Event("OnEndDrag", &TTreeView::OnEndDrag);
    def.Event("OnExpanded", &TTreeView::OnExpanded);
    def.Event("OnExpanding", &TTreeView::OnExpanding);
}

TTreeView::TTreeView(TComponent* owner) : TWinControl(owner), items_(std::make_unique<TTreeNodes>(this))
{
    SetBounds(0, 0, 121, 97);
    SetTabStop(true);
    SetColor(clWindow);
}

TTreeView::~TTreeView()
{
    Destroying();
    DestroyPeer();
    if (TImageList* images = images_.get())
        images->UnRegisterChanges(this);
    selected_ = nullptr;
    items_->owner_ = nullptr;  // the nodes go without telling anyone
}

void TTreeView::NodeAspect(int aspect, TTreeNode* node)
{
    if (!Peer())
        return;
    TTreeNode* saved = peerNode_;
    peerNode_ = node;
    UpdatePeer(aspect);
    peerNode_ = saved;
}

void TTreeView::NodeDeleting(TTreeNode* node)
{
    if (OnDeletion && !IsDestroying()) {
        std::vector<TTreeNode*> subtree;
        CollectPostOrder(node, subtree);
        for (TTreeNode* n : subtree)
            OnDeletion(this, n);
    }
    if (selected_ && (selected_ == node || selected_->HasAsParent(node))) {
        // As the tree does: the selection moves to a neighbour, or the parent.
        TTreeNode* next = node->GetNextSibling();
        if (!next)
            next = node->GetPrevSibling();
        if (!next)
            next = node->Parent();
        selected_ = next;
        NodeAspect(paSelection, next);
        if (next && OnChange && !IsDestroying())
            OnChange(this, next);
    }
    NodeAspect(paNodeDeleting, node);
}

bool TTreeView::ChangeSelection(TTreeNode* node)
{
    if (node == selected_)
        return true;
    bool allow = true;
    if (OnChanging && !IsLoading())
        OnChanging(this, node, allow);
    if (!allow) {
        NodeAspect(paSelection, selected_);
        return false;
    }
    selected_ = node;
    NodeAspect(paSelection, node);
    if (OnChange && !IsLoading())
        OnChange(this, node);
    return true;
}

void TTreeView::SetSelected(TTreeNode* node)
{
    if (node && (node->Owner() != items_.get() || node->Deleting()))
        return;
    ChangeSelection(node);
}

void TTreeView::SetImages(TImageList* value)
{
    if (images_.get() == value)
        return;
    if (TImageList* old = images_.get())
        old->UnRegisterChanges(this);
    images_ = value;
    if (value)
        value->RegisterChanges(this, [this] { ImagesChanged(); });
    ImagesChanged();
}

void TTreeView::Notification(TComponent* component, TOperation operation)
{
    TWinControl::Notification(component, operation);
    if (operation == opRemove && component == images_.get()) {
        images_.reset();
        ImagesChanged();
    }
}

void TTreeView::SetReadOnly(bool value)
{
    readOnly_ = value;
    UpdatePeer(paOptions);
}

void TTreeView::SetShowRoot(bool value)
{
    showRoot_ = value;
    UpdatePeer(paOptions);
}

void TTreeView::SetShowLines(bool value)
{
    showLines_ = value;
    UpdatePeer(paOptions);
}

void TTreeView::SetShowButtons(bool value)
{
    showButtons_ = value;
    UpdatePeer(paOptions);
}

void TTreeView::SetIndent(int value)
{
    indent_ = std::max(value, 0);
    UpdatePeer(paOptions);
}

void TTreeView::SetBorderStyle(TBorderStyle value)
{
    borderStyle_ = value;
    UpdatePeer(paOptions);
}

std::vector<TTreeNode*> TTreeView::VisibleNodes() const
{
    std::vector<TTreeNode*> rows;
    std::vector<TTreeNode*> stack;
    const auto& top = items_->Root()->children_;
    for (auto it = top.rbegin(); it != top.rend(); ++it)
        stack.push_back(it->get());
    while (!stack.empty()) {
        TTreeNode* node = stack.back();
        stack.pop_back();
        rows.push_back(node);
        if (node->Expanded()) {
            for (auto it = node->children_.rbegin(); it != node->children_.rend(); ++it)
                stack.push_back(it->get());
        }
    }
    return rows;
}

TTreeNode* TTreeView::GetNodeAt(int x, int y) const
{
    TTreeNode* node = nullptr;
    if (PeerNodeAt(x, y, node))
        return node;
    if (x < 0 || y < 0 || x >= ClientWidth() || y >= ClientHeight())
        return nullptr;
    std::vector<TTreeNode*> rows = VisibleNodes();
    size_t row = static_cast<size_t>(topRow_ + y / rowHeight_);
    return row < rows.size() ? rows[row] : nullptr;
}

TTreeNode* TTreeView::TopItem() const
{
    std::vector<TTreeNode*> rows = VisibleNodes();
    return static_cast<size_t>(topRow_) < rows.size() ? rows[static_cast<size_t>(topRow_)] : nullptr;
}

void TTreeView::FullExpand()
{
    for (TTreeNode* n = items_->GetFirstNode(); n; n = n->GetNextSibling())
        n->Expand(true);
}

void TTreeView::FullCollapse()
{
    for (TTreeNode* n = items_->GetFirstNode(); n; n = n->GetNextSibling())
        n->Collapse(true);
}

void TTreeView::SelectedByUser(TTreeNode* node)
{
    ChangeSelection(node);
}

bool TTreeView::ExpandedByUser(TTreeNode* node, bool expanded)
{
    node->SetExpanded(expanded);
    return node->Expanded() == expanded;
}

bool TTreeView::CanEdit(TTreeNode* node)
{
    if (readOnly_ || !node)
        return false;
    bool allow = true;
    if (OnEditing)
        OnEditing(this, node, allow);
    return allow;
}

void TTreeView::EditedByUser(TTreeNode* node, const AnsiString& text)
{
    AnsiString s = text;
    if (OnEdited)
        OnEdited(this, node, s);
    // The widget shows the text the node keeps, even when it did not change.
    node->text_ = s;
    NodeAspect(paNodeText, node);
}

void TTreeView::MouseDown(TMouseButton button, TShiftState shift, int x, int y)
{
    lastMouse_ = Point(x, y);
    if (button == mbRight && rightClickSelect_) {
        if (TTreeNode* node = GetNodeAt(x, y))
            SetSelected(node);
    }
    TWinControl::MouseDown(button, shift, x, y);
    if (button == mbLeft && dragMode_ == dmAutomatic && !dragging_)
        BeginDrag(false);
}

void TTreeView::BeginDrag(bool immediate, int threshold)
{
    dragStart_ = lastMouse_;
    dragPos_ = lastMouse_;
    dragThreshold_ = threshold < 0 ? 5 : threshold;
    if (immediate)
        StartDragging();
    else
        dragPending_ = true;
}

void TTreeView::StartDragging()
{
    dragPending_ = false;
    dragging_ = true;
    dragAccepted_ = false;
    cursorBeforeDrag_ = Cursor();
    DragOver(dsDragEnter, dragPos_.X, dragPos_.Y);
}

void TTreeView::DragOver(TDragState state, int x, int y)
{
    dragPos_ = Point(x, y);
    bool accept = false;
    if (OnDragOver)
        OnDragOver(this, this, x, y, state, accept);
    dragAccepted_ = accept;
    SetCursor(accept ? crDrag : crNoDrop);
}

void TTreeView::MouseMove(TShiftState shift, int x, int y)
{
    lastMouse_ = Point(x, y);
    TWinControl::MouseMove(shift, x, y);
    if (dragPending_ && (std::abs(x - dragStart_.X) >= dragThreshold_ || std::abs(y - dragStart_.Y) >= dragThreshold_)) {
        dragPos_ = Point(x, y);
        StartDragging();
        return;
    }
    if (dragging_)
        DragOver(dsDragMove, x, y);
}

void TTreeView::MouseUp(TMouseButton button, TShiftState shift, int x, int y)
{
    lastMouse_ = Point(x, y);
    TWinControl::MouseUp(button, shift, x, y);
    dragPending_ = false;
    if (dragging_) {
        dragPos_ = Point(x, y);
        EndDrag(true);
    }
}

void TTreeView::EndDrag(bool drop)
{
    dragPending_ = false;
    if (!dragging_)
        return;
    dragging_ = false;
    SetCursor(cursorBeforeDrag_);
    TObject* target = nullptr;
    if (drop && dragAccepted_) {
        target = this;
        if (OnDragDrop)
            OnDragDrop(this, this, dragPos_.X, dragPos_.Y);
    }
    if (OnEndDrag)
        OnEndDrag(this, target, dragPos_.X, dragPos_.Y);
}

}  // namespace vcl
