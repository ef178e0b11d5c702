// The widgets of menus: a QMenuBar in the form's window for a main menu, a QMenu for a popup menu, one
// QAction per item. Shortcuts are ours (the form asks the menu), so the actions only show them.
#include <QAction>
#include <QFont>
#include <QKeySequence>
#include <QShortcutEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>
#include <QPointer>

#include "platform/vcl/Forms.h"
#include "platform/vcl/Menus.h"
#include "platform/vcl/QtImages.h"
#include "platform/vcl/QtSeam.h"

namespace vcl {

struct TMenuItem::TImpl {
    QPointer<QAction> action;
    QPointer<QMenu> menu;
};

struct TMenu::TImpl {
    QPointer<QMenuBar> bar;
    QPointer<QMenu> popup;
};

namespace {

// Deletes a widget now, or once the current event is over when an event of it may be running.
void DropWidget(QWidget* widget)
{
    if (!widget)
        return;
    if (InsideDispatch()) {
        widget->hide();
        widget->deleteLater();
    } else {
        delete widget;
    }
}

void ApplyItem(TMenuItem& item, const TMenu& menu)
{
    QAction* action = item.Impl().action;
    if (!action || item.IsLine())
        return;
    QString text = ToQString(item.Caption());
    if (item.ShortCut() != 0)
        text += QLatin1Char('\t') + ToQString(ShortCutToText(item.ShortCut()));
    action->setText(text);
    action->setVisible(item.Visible());
    action->setEnabled(item.Enabled());
    bool checkable = item.Checked() || item.AutoCheck() || item.RadioItem();
    action->setCheckable(checkable);
    action->setChecked(item.Checked());
    QFont font = action->font();
    font.setBold(item.Default());
    action->setFont(font);
    TImageList* images = menu.Images();
    if (images && item.ImageIndex() >= 0 && item.ImageIndex() < images->Count())
        action->setIcon(QIcon(QPixmap::fromImage(GraphicImage(images->Image(item.ImageIndex())))));
    else
        action->setIcon(QIcon());
}

void FillMenu(QWidget* container, TMenuItem* parent, const TMenu& menu)
{
    for (int i = 0; i < parent->Count(); ++i) {
        TMenuItem* item = parent->Items(i);
        TComponentRef<TMenuItem> guard(item);
        QAction* action = nullptr;
        item->Impl().menu = nullptr;
        if (item->IsLine()) {
            action = new QAction(container);
            action->setSeparator(true);
            action->setVisible(item->Visible());
        } else if (item->Count() > 0) {
            auto* sub = new QMenu(container);
            // A drop-down is a window of its own; it takes the bar's font as a child would.
            sub->setAttribute(Qt::WA_WindowPropagation);
            FillMenu(sub, item, menu);
            action = sub->menuAction();
            item->Impl().menu = sub;
            // As on Windows, opening a submenu is its item's click (handlers fill submenus there).
            QObject::connect(sub, &QMenu::aboutToShow, sub, [guard] {
                DispatchGuarded([&] {
                    if (guard)
                        guard->Click();
                });
            });
        } else {
            action = new QAction(container);
            QObject::connect(action, &QAction::triggered, action, [guard, &menu] {
                DispatchGuarded([&] {
                    if (guard)
                        guard->Click();
                });
                if (guard)
                    ApplyItem(*guard, menu);
            });
        }
        item->Impl().action = action;
        ApplyItem(*item, menu);
        container->addAction(action);
    }
}

// Qt takes turns among the menus that share a mnemonic, so Alt+P opens "Page" once and "Pictures" the next
// time. On Windows the first such menu always opens, and the next letter goes to its items.
class SharedMnemonicFilter : public QObject {
public:
    using QObject::QObject;

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* bar = qobject_cast<QMenuBar*>(watched);
        if (!bar || event->type() != QEvent::Shortcut)
            return false;
        auto* shortcut = static_cast<QShortcutEvent*>(event);
        if (!shortcut->isAmbiguous())
            return false;
        for (QAction* action : bar->actions()) {
            if (!action->isVisible() || !action->isEnabled() || action->isSeparator() ||
                QKeySequence::mnemonic(action->text()) != shortcut->key())
                continue;
            if (action->menu())
                bar->setActiveAction(action);
            else
                action->trigger();
            return true;
        }
        return false;
    }
};

}  // namespace

// ---------------------------------------------------------------------------------------------------------

TMenuItem::TMenuItem(TComponent* owner) : TComponent(owner), impl_(std::make_unique<TImpl>()) {}

TMenuItem::~TMenuItem()
{
    Destroying();
    while (!items_.empty())
        delete items_.back();  // each leaves this submenu on its way out
    if (TMenuItem* parent = parent_) {
        parent->items_.erase(std::find(parent->items_.begin(), parent->items_.end(), this));
        parent_ = nullptr;
        parent->Changed(true);
    }
}

TMenu::TMenu(TComponent* owner)
    : TComponent(owner), items_(std::make_unique<TMenuItem>(nullptr)), impl_(std::make_unique<TImpl>())
{
    items_->menu_ = this;
}

TMenu::~TMenu()
{
    Destroying();
    if (TImageList* images = images_.get())
        images->UnRegisterChanges(this);
    items_.reset();
}

void TMenu::MenuChanged(TMenuItem* item, bool)
{
    if (!IsDestroying() && item)
        ApplyItem(*item, *this);
}

// ---------------------------------------------------------------------------------------------------------

TMainMenu::TMainMenu(TComponent* owner) : TMenu(owner) {}

TMainMenu::~TMainMenu()
{
    Destroying();
    if (TCustomForm* form = form_.get(); form && !form->IsDestroying() && WidgetOf(*form))
        SetFormMenuBar(*form, nullptr);
    DropWidget(Impl().bar);
}

void TMainMenu::AttachToForm(TCustomForm& form)
{
    form_ = &form;
    BuildBar();
}

void TMainMenu::DetachFromForm(TCustomForm& form)
{
    if (form_.get() != &form)
        return;
    if (!form.IsDestroying() && WidgetOf(form))
        SetFormMenuBar(form, nullptr);
    if (QMenuBar* bar = Impl().bar) {
        bar->hide();
        bar->deleteLater();
    }
    form_.reset();
}

void TMainMenu::BuildBar()
{
    TCustomForm* form = form_.get();
    if (!form || IsDestroying() || form->IsDestroying() || !WidgetOf(*form))
        return;
    auto* bar = new QMenuBar;
    bar->setNativeMenuBar(false);
    bar->installEventFilter(new SharedMnemonicFilter(bar));
    FillMenu(bar, Items(), *this);
    QPointer<QMenuBar> old = Impl().bar;
    Impl().bar = bar;
    SetFormMenuBar(*form, bar);
    // The old bar may be the one whose item is being handled right now.
    if (old) {
        old->hide();
        old->deleteLater();
    }
}

void TMainMenu::MenuChanged(TMenuItem* item, bool structure)
{
    if (IsDestroying())
        return;
    if (structure)
        BuildBar();
    else
        TMenu::MenuChanged(item, structure);
}

// ---------------------------------------------------------------------------------------------------------

TPopupMenu::TPopupMenu(TComponent* owner) : TMenu(owner) {}

TPopupMenu::~TPopupMenu()
{
    Destroying();
    DropWidget(Impl().popup);
}

void TPopupMenu::Popup(int x, int y)
{
    popupPoint_ = Point(x, y);
    TComponentRef<TPopupMenu> self(this);
    if (OnPopup)
        OnPopup(this);
    if (!self)
        return;
    EnsureQtApplication();
    if (QMenu* old = Impl().popup) {
        old->hide();
        old->deleteLater();
    }
    auto* menu = new QMenu;
    FillMenu(menu, Items(), *this);
    Impl().popup = menu;
    int width = menu->sizeHint().width();
    if (Alignment() == paRight)
        x -= width;
    else if (Alignment() == paCenter)
        x -= width / 2;
    menu->popup(QPoint(x, y));
}

void TPopupMenu::MenuChanged(TMenuItem* item, bool structure)
{
    // A structural change shows the next time the menu pops up.
    if (!structure)
        TMenu::MenuChanged(item, structure);
}

}  // namespace vcl
