// The widgets of the common controls: the tree view on a QTreeWidget that mirrors the nodes one change at
// a time, the progress bar, and the tab row of tab and page controls. Status bars, up-down and spin
// buttons paint themselves on the plain widget of their base class.
#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QProgressBar>
#include <QScrollBar>
#include <QTabBar>
#include <QTreeWidget>

#include <unordered_map>

#include "platform/vcl/ComCtrls.h"
#include "platform/vcl/QtImages.h"
#include "platform/vcl/QtPeers.h"

namespace vcl {

namespace {

class TApplying {
public:
    explicit TApplying(bool& flag) : flag_(flag), old_(flag) { flag_ = true; }
    ~TApplying() { flag_ = old_; }
    TApplying(const TApplying&) = delete;
    TApplying& operator=(const TApplying&) = delete;

private:
    bool& flag_;
    bool old_;
};

TTreeNode* NodeOf(const QTreeWidgetItem* item)
{
    return item ? static_cast<TTreeNode*>(item->data(0, Qt::UserRole).value<void*>()) : nullptr;
}

class TTreeViewPeer;

// A tree widget that behaves as the classic tree does with the mouse: only a left press on a row
// selects, and dragging with a button down selects nothing (the control's handlers decide).
class TTreeWidget : public QTreeWidget {
public:
    std::function<bool(TTreeNode*)> canEdit;

protected:
    void mousePressEvent(QMouseEvent* event) override
    {
        if (event->button() != Qt::LeftButton || !itemAt(event->position().toPoint())) {
            event->accept();
            return;
        }
        QTreeWidget::mousePressEvent(event);
    }
    void mouseMoveEvent(QMouseEvent* event) override
    {
        if (event->buttons() != Qt::NoButton) {
            event->accept();
            return;
        }
        QTreeWidget::mouseMoveEvent(event);
    }
    // With no current row Qt sends every cursor key to the first row; End goes to the last visible
    // entry, as in every tree view, so a Delete after it cannot take the first group instead.
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override
    {
        if (action == MoveEnd && !currentIndex().isValid() && topLevelItemCount() > 0) {
            QTreeWidgetItem* item = topLevelItem(topLevelItemCount() - 1);
            while (item->isExpanded() && item->childCount() > 0)
                item = item->child(item->childCount() - 1);
            return indexFromItem(item);
        }
        return QTreeWidget::moveCursor(action, modifiers);
    }
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override
    {
        if (trigger != NoEditTriggers && canEdit && !canEdit(NodeOf(itemFromIndex(index))))
            return false;
        return QTreeWidget::edit(index, trigger, event);
    }
};

class TTreeViewPeer : public TWidgetPeer {
public:
    explicit TTreeViewPeer(TTreeView& tree) : TWidgetPeer(tree, new TTreeWidget), tree_(tree)
    {
        TTreeWidget* w = Tree();
        w->setColumnCount(1);
        w->header()->hide();
        w->setUniformRowHeights(true);
        w->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
        w->setSelectionMode(QAbstractItemView::SingleSelection);
        w->viewport()->setAttribute(Qt::WA_NoMousePropagation);
        WatchInput(w->viewport());
        w->canEdit = [this](TTreeNode* node) {
            bool allow = false;
            Dispatch([&] { allow = tree_.CanEdit(node); });
            return allow;
        };
        QObject::connect(w, &QTreeWidget::currentItemChanged, Context(), [this](QTreeWidgetItem* current, QTreeWidgetItem*) {
            if (applying_)
                return;
            TTreeNode* node = NodeOf(current);
            Dispatch([&] { tree_.SelectedByUser(node); });
            Update(TTreeView::paSelection);
        });
        QObject::connect(w, &QTreeWidget::itemExpanded, Context(), [this](QTreeWidgetItem* item) { Expanded(item, true); });
        QObject::connect(w, &QTreeWidget::itemCollapsed, Context(), [this](QTreeWidgetItem* item) { Expanded(item, false); });
        QObject::connect(w, &QTreeWidget::itemChanged, Context(), [this](QTreeWidgetItem* item, int) {
            if (applying_)
                return;
            TTreeNode* node = NodeOf(item);
            AnsiString text = FromQString(item->text(0));
            if (node && text != node->Text())
                Dispatch([&] { tree_.EditedByUser(node, text); });
        });
        QObject::connect(w->verticalScrollBar(), &QScrollBar::valueChanged, Context(),
                         [this](int value) { tree_.TopRowChangedByUser(value); });
    }

    // Mouse clicks land on the rows.
    QWidget* ClientWidget() const override { return Tree() ? Tree()->viewport() : nullptr; }
    void Replay() override
    {
        TWidgetPeer::Replay();
        Update(TTreeView::paOptions);
        Rebuild();
    }

    void Update(int aspect) override
    {
        TTreeWidget* w = Tree();
        if (!w)
            return;
        TApplying applying(applying_);
        TTreeNode* node = tree_.PeerNode();
        switch (aspect) {
        case TTreeView::paNodeInserted: Insert(node); break;
        case TTreeView::paNodeDeleting: Remove(node); break;
        case TTreeView::paNodeText:
            if (QTreeWidgetItem* item = ItemOf(node))
                item->setText(0, ToQString(node->Text()));
            break;
        case TTreeView::paNodeImages:
            if (QTreeWidgetItem* item = ItemOf(node))
                item->setIcon(0, IconFor(node));
            break;
        case TTreeView::paNodeExpanded:
            if (QTreeWidgetItem* item = ItemOf(node))
                item->setExpanded(node->Expanded());
            break;
        case TTreeView::paNodeMoved: Move(node); break;
        case TTreeView::paNodesCleared:
            w->clear();
            items_.clear();
            break;
        case TTreeView::paSelection: {
            QTreeWidgetItem* item = ItemOf(tree_.Selected());
            w->setCurrentItem(item);
            if (!item)
                w->clearSelection();
            break;
        }
        case TTreeView::paImages: ImagesChanged(); break;
        case TTreeView::paOptions:
            w->setRootIsDecorated(tree_.ShowRoot() && tree_.ShowButtons());
            w->setIndentation(tree_.Indent());
            w->setEditTriggers(tree_.ReadOnly() ? QAbstractItemView::NoEditTriggers
                                                : QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);
            w->setFrameShape(tree_.BorderStyle() == bsNone ? QFrame::NoFrame : QFrame::StyledPanel);
            break;
        case TTreeView::paUpdating: w->setUpdatesEnabled(!tree_.Updating()); break;
        default: TWidgetPeer::Update(aspect);
        }
    }

    bool UserSelect(int index) override
    {
        if (index < 0 || index >= tree_.Items()->Count())
            return false;
        TTreeNode* node = tree_.Items()->Item(index);
        Dispatch([&] { tree_.SelectedByUser(node); });
        Update(TTreeView::paSelection);
        return true;
    }
    bool UserSelectText(const AnsiString& text) override
    {
        for (int i = 0; i < tree_.Items()->Count(); ++i) {
            if (tree_.Items()->Item(i)->Text() == text)
                return UserSelect(i);
        }
        return false;
    }

    TTreeNode* NodeAt(int x, int y) const
    {
        TTreeWidget* w = Tree();
        QPoint inViewport = w->viewport()->mapFrom(w, QPoint(x, y));
        if (!w->viewport()->rect().contains(inViewport))
            return nullptr;
        return NodeOf(w->itemAt(inViewport));
    }
    bool NodeRect(const TTreeNode* node, TRect& rect) const
    {
        QTreeWidgetItem* item = ItemOf(node);
        if (!item)
            return false;
        QRect r = Tree()->visualItemRect(item).translated(Tree()->viewport()->pos());
        rect = Rect(r.left(), r.top(), r.right() + 1, r.bottom() + 1);
        return true;
    }

private:
    TTreeWidget* Tree() const { return WidgetAs<TTreeWidget>(); }

    QTreeWidgetItem* ItemOf(const TTreeNode* node) const
    {
        auto it = items_.find(node);
        return it == items_.end() ? nullptr : it->second;
    }

    QIcon IconFor(const TTreeNode* node) const
    {
        auto pixmap = [this](int index) {
            return index >= 0 && index < static_cast<int>(pixmaps_.size()) ? pixmaps_[static_cast<size_t>(index)] : QPixmap();
        };
        QPixmap normal = pixmap(node->ImageIndex());
        if (normal.isNull())
            return QIcon();
        QIcon icon(normal);
        QPixmap selected = pixmap(node->SelectedIndex());
        if (!selected.isNull())
            icon.addPixmap(selected, QIcon::Selected);
        return icon;
    }

    QTreeWidgetItem* MakeItem(TTreeNode* node)
    {
        auto* item = new QTreeWidgetItem;
        item->setData(0, Qt::UserRole, QVariant::fromValue(static_cast<void*>(node)));
        item->setText(0, ToQString(node->Text()));
        item->setIcon(0, IconFor(node));
        item->setFlags(item->flags() | Qt::ItemIsEditable);
        items_[node] = item;
        return item;
    }

    void Place(TTreeNode* node, QTreeWidgetItem* item)
    {
        int index = node->Index();
        if (QTreeWidgetItem* parent = ItemOf(node->Parent()))
            parent->insertChild(index, item);
        else
            Tree()->insertTopLevelItem(index, item);
    }

    void Insert(TTreeNode* node)
    {
        if (!node || ItemOf(node))
            return;
        if (node->Parent() && !ItemOf(node->Parent()))
            return;  // its parent is not shown yet; it comes with it
        QTreeWidgetItem* item = MakeItem(node);
        Place(node, item);
        if (QTreeWidgetItem* parent = item->parent())
            parent->setExpanded(node->Parent()->Expanded());
    }

    void Forget(TTreeNode* node)
    {
        std::vector<TTreeNode*> stack{node};
        while (!stack.empty()) {
            TTreeNode* n = stack.back();
            stack.pop_back();
            items_.erase(n);
            for (int i = 0; i < n->Count(); ++i)
                stack.push_back(n->Item(i));
        }
    }

    void Remove(TTreeNode* node)
    {
        QTreeWidgetItem* item = ItemOf(node);
        if (!item)
            return;
        Forget(node);
        delete item;  // with its children
    }

    void Move(TTreeNode* node)
    {
        QTreeWidgetItem* item = ItemOf(node);
        if (!item)
            return;
        if (QTreeWidgetItem* parent = item->parent())
            parent->takeChild(parent->indexOfChild(item));
        else
            Tree()->takeTopLevelItem(Tree()->indexOfTopLevelItem(item));
        Place(node, item);
        RestoreExpansion(node);
        Update(TTreeView::paSelection);
    }

    void RestoreExpansion(TTreeNode* node)
    {
        std::vector<TTreeNode*> stack{node};
        while (!stack.empty()) {
            TTreeNode* n = stack.back();
            stack.pop_back();
            if (QTreeWidgetItem* item = ItemOf(n))
                item->setExpanded(n->Expanded());
            for (int i = 0; i < n->Count(); ++i)
                stack.push_back(n->Item(i));
        }
        if (QTreeWidgetItem* parent = ItemOf(node->Parent()))
            parent->setExpanded(node->Parent()->Expanded());
    }

    void Rebuild()
    {
        TApplying applying(applying_);
        Tree()->clear();
        items_.clear();
        ImagesChanged();
        TTreeNodes* nodes = tree_.Items();
        for (int i = 0; i < nodes->Count(); ++i) {
            TTreeNode* node = nodes->Item(i);
            Place(node, MakeItem(node));
        }
        for (int i = 0; i < nodes->Count(); ++i) {
            TTreeNode* node = nodes->Item(i);
            ItemOf(node)->setExpanded(node->Expanded());
        }
        Update(TTreeView::paSelection);
    }

    void ImagesChanged()
    {
        pixmaps_.clear();
        if (TImageList* images = tree_.Images()) {
            for (int i = 0; i < images->Count(); ++i)
                pixmaps_.push_back(QPixmap::fromImage(GraphicImage(images->Image(i))));
            Tree()->setIconSize(QSize(images->Width(), images->Height()));
        }
        for (auto& [node, item] : items_)
            item->setIcon(0, IconFor(node));
    }

    void Expanded(QTreeWidgetItem* item, bool expanded)
    {
        if (applying_)
            return;
        TTreeNode* node = NodeOf(item);
        if (!node)
            return;
        bool done = true;
        Dispatch([&] { done = tree_.ExpandedByUser(node, expanded); });
        if (!done) {
            TApplying applying(applying_);
            if (QTreeWidgetItem* again = ItemOf(node))
                again->setExpanded(node->Expanded());
        }
    }

    TTreeView& tree_;
    std::unordered_map<const TTreeNode*, QTreeWidgetItem*> items_;
    std::vector<QPixmap> pixmaps_;
    bool applying_ = false;
};

// ---------------------------------------------------------------------------------------------------------

class TProgressBarPeer : public TWidgetPeer {
public:
    explicit TProgressBarPeer(TProgressBar& bar) : TWidgetPeer(bar, new QProgressBar), bar_(bar)
    {
        Bar()->setTextVisible(false);
    }
    void Replay() override
    {
        TWidgetPeer::Replay();
        Update(TProgressBar::paOrientation);
        Update(TProgressBar::paRange);
    }
    void Update(int aspect) override
    {
        QProgressBar* bar = Bar();
        if (!bar)
            return;
        switch (aspect) {
        case TProgressBar::paRange:
            // A range of nothing is an empty bar here; Qt would show its busy indicator instead.
            if (bar_.Max() <= bar_.Min()) {
                bar->setRange(0, 1);
                bar->setValue(0);
            } else {
                bar->setRange(bar_.Min(), bar_.Max());
                bar->setValue(bar_.Position());
            }
            break;
        case TProgressBar::paOrientation:
            bar->setOrientation(bar_.Orientation() == pbVertical ? Qt::Vertical : Qt::Horizontal);
            break;
        default: TWidgetPeer::Update(aspect);
        }
    }

private:
    QProgressBar* Bar() const { return WidgetAs<QProgressBar>(); }
    TProgressBar& bar_;
};

// ---------------------------------------------------------------------------------------------------------

class TTabContainer : public QWidget {
public:
    TCustomTabControl* control = nullptr;

protected:
    void paintEvent(QPaintEvent* event) override
    {
        QWidget::paintEvent(event);
        if (!control || control->Tabs()->Count() == 0)
            return;
        // The raised frame of the display area.
        TRect d = control->DisplayRect();
        QRect r(d.Left - 2, d.Top - 2, d.Width() + 3, d.Height() + 3);
        QPainter painter(this);
        painter.setPen(ToQColor(clBtnHighlight));
        painter.drawLine(r.topLeft(), r.topRight());
        painter.drawLine(r.topLeft(), r.bottomLeft());
        painter.setPen(ToQColor(cl3DDkShadow));
        painter.drawLine(r.bottomLeft(), r.bottomRight());
        painter.drawLine(r.topRight(), r.bottomRight());
    }
};

class TTabControlPeer : public TWidgetPeer {
public:
    explicit TTabControlPeer(TCustomTabControl& tabs) : TWidgetPeer(tabs, new TTabContainer), tabs_(tabs)
    {
        WidgetAs<TTabContainer>()->control = &tabs;
        Widget()->setAutoFillBackground(true);
        bar_ = new QTabBar(Widget());
        bar_->setDrawBase(false);
        bar_->setExpanding(false);
        WatchInput(bar_);
        QObject::connect(bar_, &QTabBar::currentChanged, Context(), [this](int index) {
            if (applying_)
                return;
            Dispatch([&] { tabs_.TabChosenByUser(index); });
            Update(TCustomTabControl::paTabIndex);
        });
    }
    ~TTabControlPeer() override
    {
        if (auto* container = WidgetAs<TTabContainer>())
            container->control = nullptr;
    }
    void Replay() override
    {
        TWidgetPeer::Replay();
        Update(TCustomTabControl::paTabs);
    }
    void Update(int aspect) override
    {
        if (!Widget())
            return;
        TApplying applying(applying_);
        switch (aspect) {
        case TCustomTabControl::paTabs: {
            rtl::TStrings* tabs = tabs_.Tabs();
            while (bar_->count() > tabs->Count())
                bar_->removeTab(bar_->count() - 1);
            for (int i = 0; i < tabs->Count(); ++i) {
                if (i < bar_->count())
                    bar_->setTabText(i, ToQString(tabs->Strings(i)));
                else
                    bar_->addTab(ToQString(tabs->Strings(i)));
            }
            Layout();
            Update(TCustomTabControl::paTabIndex);
            break;
        }
        case TCustomTabControl::paTabIndex: bar_->setCurrentIndex(tabs_.TabIndex()); break;
        case TCustomTabControl::paTabLayout: Layout(); break;
        case paBounds:
            TWidgetPeer::Update(aspect);
            Layout();
            break;
        default: TWidgetPeer::Update(aspect);
        }
    }
    bool ClickOnMouseUp() const override { return false; }
    bool UserSelect(int index) override
    {
        if (index < 0 || index >= tabs_.Tabs()->Count())
            return false;
        Dispatch([&] { tabs_.TabChosenByUser(index); });
        Update(TCustomTabControl::paTabIndex);
        return true;
    }
    bool UserSelectText(const AnsiString& text) override { return UserSelect(tabs_.Tabs()->IndexOf(text)); }

private:
    void Layout()
    {
        TRect d = tabs_.DisplayRect();
        int row = tabs_.TabPosition() == tpBottom ? tabs_.Height() - d.Bottom - 4 : d.Top - 4;
        bar_->setVisible(tabs_.Tabs()->Count() > 0 && row > 0);
        bar_->setShape(tabs_.TabPosition() == tpBottom ? QTabBar::RoundedSouth : QTabBar::RoundedNorth);
        int top = tabs_.TabPosition() == tpBottom ? d.Bottom + 2 : 2;
        bar_->setGeometry(2, top, std::max(tabs_.Width() - 4, 0), std::max(row, 0));
        bar_->raise();
        Widget()->update();
    }
    TCustomTabControl& tabs_;
    QTabBar* bar_ = nullptr;
    bool applying_ = false;
};

}  // namespace

std::unique_ptr<TWidgetPeer> TTreeView::CreatePeer()
{
    return MakeWidgetPeer<TTreeViewPeer>(*this);
}

bool TTreeView::PeerNodeAt(int x, int y, TTreeNode*& node) const
{
    auto* peer = dynamic_cast<TTreeViewPeer*>(Peer());
    if (!peer || !peer->Widget())
        return false;
    node = peer->NodeAt(x, y);
    return true;
}

bool TTreeView::PeerNodeRect(const TTreeNode* node, TRect& rect) const
{
    auto* peer = dynamic_cast<TTreeViewPeer*>(Peer());
    return peer && peer->Widget() && peer->NodeRect(node, rect);
}

std::unique_ptr<TWidgetPeer> TProgressBar::CreatePeer()
{
    return MakeWidgetPeer<TProgressBarPeer>(*this);
}

std::unique_ptr<TWidgetPeer> TCustomTabControl::CreatePeer()
{
    return MakeWidgetPeer<TTabControlPeer>(*this);
}

}  // namespace vcl
