// The window of a form (frame, optional menu bar, client area), the event loop steps and the screen.
#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QMoveEvent>
#include <QPainter>
#include <QPointer>
#include <QResizeEvent>
#include <QScreen>
#include <QWidget>
#include <QWindow>
#include <vector>
#include <cstdlib>
#include <xcb/xcb.h>

#include "platform/vcl/Forms.h"
#include "platform/vcl/QtSeam.h"

namespace vcl {

namespace {

bool OffscreenPlatform()
{
    return QGuiApplication::platformName() == QLatin1String("offscreen");
}

// The Motif hints' bits: which of them are given, the functions offered, the decorations drawn.
enum : uint32_t { MwmHintsFunctions = 1, MwmHintsDecorations = 2 };
enum : uint32_t { MwmFuncResize = 2, MwmFuncMove = 4, MwmFuncMinimize = 8, MwmFuncMaximize = 16, MwmFuncClose = 32 };
enum : uint32_t {
    MwmDecorBorder = 2,
    MwmDecorResizeH = 4,
    MwmDecorTitle = 8,
    MwmDecorMenu = 16,
    MwmDecorMinimize = 32,
    MwmDecorMaximize = 64
};

// The window manager learns from the Motif hints what to offer for a window. Qt offers every function
// when a window asks for none of the buttons (the progress window) and always offers resizing, so a form
// gave the window manager a close box and Alt+F4 it has not. The hints are set again from the form's own
// style, each time before the window is shown, as Qt writes its own when it makes the native window.
void OfferOnlyTheFormsFunctions(QWidget& window, uint32_t style)
{
    // The headless platform answers as an X11 application too, without a connection.
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (QGuiApplication::platformName() != QLatin1String("xcb") || !x11 || !x11->connection() ||
        !window.isWindow() || (style & WS_CAPTION) != WS_CAPTION)
        return;
    uint32_t functions = MwmFuncMove;
    uint32_t decorations = MwmDecorBorder | MwmDecorTitle;
    if (style & WS_THICKFRAME) {
        functions |= MwmFuncResize;
        decorations |= MwmDecorResizeH;
    }
    if (style & WS_SYSMENU) {
        functions |= MwmFuncClose;
        decorations |= MwmDecorMenu;
    }
    if (style & WS_MINIMIZEBOX) {
        functions |= MwmFuncMinimize;
        decorations |= MwmDecorMinimize;
    }
    if (style & WS_MAXIMIZEBOX) {
        functions |= MwmFuncMaximize;
        decorations |= MwmDecorMaximize;
    }
    xcb_connection_t* connection = x11->connection();
    static constexpr char Name[] = "_MOTIF_WM_HINTS";
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, sizeof Name - 1, Name), nullptr);
    if (!reply)
        return;
    const uint32_t hints[5] = {MwmHintsFunctions | MwmHintsDecorations, functions, decorations, 0, 0};
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, static_cast<xcb_window_t>(window.winId()), reply->atom,
                        reply->atom, 32, 5, hints);
    std::free(reply);
    xcb_flush(connection);
}

}  // namespace

class TFormPeer;

// The client area: children live here, and the form paints here (OnPaint).
class TFormClient : public QWidget {
public:
    TWidgetPeer* peer_ = nullptr;

protected:
    void paintEvent(QPaintEvent* event) override
    {
        QWidget::paintEvent(event);
        if (!peer_)
            return;
        QPainter painter(this);
        PaintThroughControl(*peer_, painter);
    }
};

class TFormWindow : public QWidget {
public:
    TFormWindow() : client_(new TFormClient) { client_->setParent(this); }

    TFormPeer* peer_ = nullptr;
    TFormClient* client_;
    bool covered_ = false;  // shown inside another window under a sibling form (TakeKeysOnlyInFront)
    QPointer<QWidget> menuBar_;
    // The window that owns this top-level one (its creation parameters' parent), which it stays above.
    QPointer<QWidget> owner_;
    int menuHeight_ = 0;
    bool applying_ = false;

    void Layout()
    {
        int menu = menuBar_ ? menuHeight_ : 0;
        if (menuBar_)
            menuBar_->setGeometry(0, 0, width(), menu);
        client_->setGeometry(0, menu, width(), std::max(height() - menu, 0));
    }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;
};

class TFormPeer : public TWidgetPeer {
public:
    explicit TFormPeer(TCustomForm& form) : TWidgetPeer(form, MakeWindow(form)), form_(form)
    {
        Window()->peer_ = this;
        Window()->client_->peer_ = this;
        Window()->client_->setAutoFillBackground(true);
        WatchInput(Window()->client_);
    }

    ~TFormPeer() override
    {
        if (TFormWindow* window = Window()) {
            window->peer_ = nullptr;
            window->client_->peer_ = nullptr;
        }
    }

    TFormWindow* Window() const { return WidgetAs<TFormWindow>(); }
    QWidget* ClientWidget() const override { return Window() ? Window()->client_ : nullptr; }
    bool ClickOnMouseUp() const override { return true; }

    void Replay() override
    {
        TWidgetPeer::Replay();
        Update(paWindowState);
        if (auto* menu = dynamic_cast<IMenuLink*>(form_.Menu()))
            menu->AttachToForm(form_);
    }

    void Update(int aspect) override
    {
        TFormWindow* window = Window();
        if (!window)
            return;
        switch (aspect) {
        case paBounds: ApplyBounds(); break;
        case paText: window->setWindowTitle(ToQString(form_.Caption())); break;
        case paEnabled: window->setEnabled(form_.Enabled() && !window->covered_); break;
        case paVisible:
            if (form_.Visible()) {
                if (window->isWindow())
                    window->setWindowModality(form_.Modal() ? Qt::ApplicationModal : Qt::NonModal);
                if (form_.Modal())
                    KeepAboveOwner(*window);
                else if (window->owner_ && window->owner_->isVisible())
                    KeepAbove(*window, *window->owner_->window());
                OfferOnlyTheFormsFunctions(*window, form_.windowStyle_);
                window->show();
                if (window->isWindow() && !OffscreenPlatform()) {
                    window->raise();
                    window->activateWindow();
                }
            } else {
                window->hide();
            }
            break;
        case paWindowState:
            if (!window->isWindow())
                break;
            switch (form_.WindowState()) {
            case wsMinimized: window->setWindowState(Qt::WindowMinimized); break;
            case wsMaximized: window->setWindowState(Qt::WindowMaximized); break;
            default: window->setWindowState(Qt::WindowNoState); break;
            }
            break;
        default:
            TWidgetPeer::Update(aspect);
        }
    }

    // A modal form belongs to the window it was opened over, as a dialog's owner on Windows: the active
    // form, else the main form. The window manager then keeps it above that window and with it.
    void KeepAboveOwner(TFormWindow& window)
    {
        if (!window.isWindow())
            return;
        TCustomForm* owner = Screen->ActiveForm();
        if (!owner || owner == &form_ || !owner->Visible())
            owner = Application->MainForm();
        QWidget* ownerWidget = owner && owner != &form_ && owner->Visible() ? WidgetOf(*owner) : nullptr;
        if (!ownerWidget || !ownerWidget->isVisible())
            return;
        KeepAbove(window, *ownerWidget->window());
    }

    // An owned window, as on Windows: the window manager keeps it above its owner and maps it there.
    static void KeepAbove(TFormWindow& window, QWidget& owner)
    {
        if (!window.isWindow() || &owner == &window)
            return;
        // Only a dialog's window carries the link to its owner for the window manager.
        if (window.windowType() == Qt::Window && !window.isVisible())
            window.setWindowFlags((window.windowFlags() & ~Qt::WindowType_Mask) | Qt::Dialog);
        window.winId();  // the native window, to carry the link
        if (QWindow* handle = window.windowHandle())
            handle->setTransientParent(owner.windowHandle());
    }

    void ApplyBounds()
    {
        TFormWindow* window = Window();
        int frame = form_.FrameWidth();
        QRect r(form_.Left() + frame, form_.Top() + frame + form_.CaptionHeight(), form_.ClientWidth(),
                form_.ClientHeight() + form_.MenuHeight());
        window->menuHeight_ = form_.MenuHeight();
        window->applying_ = true;
        if (window->isWindow() && !(form_.windowStyle_ & WS_THICKFRAME))
            window->setFixedSize(r.size());
        window->setGeometry(r);
        window->Layout();
        window->applying_ = false;
    }

    // The user moved or resized the window: our bounds follow.
    void WindowChanged()
    {
        TFormWindow* window = Window();
        if (!window || window->applying_ || !window->isWindow())
            return;
        QRect g = window->geometry();
        int frame = form_.FrameWidth();
        int width = g.width() + 2 * frame;
        int height = g.height() + 2 * frame + form_.CaptionHeight();
        Dispatch([&] { form_.BoundsChangedByUser(g.x() - frame, g.y() - frame - form_.CaptionHeight(), width, height); });
    }

    void CloseRequested()
    {
        Dispatch([this] { form_.CloseRequestedByUser(); });
    }

    void Activated()
    {
        if (!OffscreenPlatform())
            Dispatch([this] { form_.Activate(); });
    }

    void SetMenuBar(QWidget* bar)
    {
        TFormWindow* window = Window();
        if (!window)
            return;
        if (window->menuBar_ && window->menuBar_ != bar)
            window->menuBar_->hide();
        window->menuBar_ = bar;
        if (bar) {
            bar->setParent(window);
            bar->show();
        }
        ApplyBounds();
    }

private:
    static QWidget* MakeWindow(TCustomForm& form)
    {
        EnsureQtApplication();
        TCreateParams params;
        form.CreateParams(params);
        form.haveWindowStyle_ = true;
        form.windowStyle_ = params.Style;
        form.windowExStyle_ = params.ExStyle;
        form.windowParent_ = (params.Style & WS_CHILD) && !form.Parent() ? params.WndParent : nullptr;
        auto* window = new TFormWindow;
        if (params.Style & WS_CHILD) {
            TWinControl* outer = form.Parent() ? form.Parent() : TWinControl::FindControl(params.WndParent);
            if (outer && outer->Peer())
                window->setParent(outer->Peer()->ClientWidget());
            return window;
        }
        if (TWinControl* owner = TWinControl::FindControl(params.WndParent); owner && owner->Peer())
            window->owner_ = WidgetOf(*owner);
        Qt::WindowFlags flags = Qt::Window;
        if ((params.Style & WS_CAPTION) != WS_CAPTION) {
            flags |= Qt::FramelessWindowHint;
        } else {
            flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint;
            if (params.Style & WS_SYSMENU)
                flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
            if (params.Style & WS_MINIMIZEBOX)
                flags |= Qt::WindowMinimizeButtonHint;
            if (params.Style & WS_MAXIMIZEBOX)
                flags |= Qt::WindowMaximizeButtonHint;
            if (params.ExStyle & WS_EX_CONTEXTHELP)
                flags |= Qt::WindowContextHelpButtonHint;
        }
        if (params.ExStyle & WS_EX_TOOLWINDOW)
            flags |= Qt::Tool;
        if (params.ExStyle & WS_EX_TOPMOST)
            flags |= Qt::WindowStaysOnTopHint;
        window->setWindowFlags(flags);
        return window;
    }

    TCustomForm& form_;
};

void TFormWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    Layout();
    if (peer_)
        peer_->WindowChanged();
}

void TFormWindow::moveEvent(QMoveEvent* event)
{
    QWidget::moveEvent(event);
    if (peer_)
        peer_->WindowChanged();
}

void TFormWindow::closeEvent(QCloseEvent* event)
{
    // Our own close path decides; the window goes only when the form hides it.
    event->ignore();
    if (peer_)
        peer_->CloseRequested();
}

namespace {

// Forms stacked inside one window (the pages of a wizard) all stay shown, and only the front one is seen.
// A form that a later sibling form overlaps takes no keys: disabled in Qt alone, it is no Tab stop, its
// controls cannot get the focus and its mnemonics do not fire, so no key changes what nobody sees.
void TakeKeysOnlyInFront(QWidget* parent)
{
    if (!parent)
        return;
    std::vector<TFormWindow*> forms;
    for (QObject* child : parent->children()) {
        auto* form = dynamic_cast<TFormWindow*>(child);
        if (form && !form->isWindow())
            forms.push_back(form);
    }
    for (size_t i = 0; i < forms.size(); ++i) {
        bool covered = false;
        for (size_t j = i + 1; j < forms.size() && !covered; ++j)
            covered = !forms[j]->isHidden() && forms[j]->geometry().intersects(forms[i]->geometry());
        if (forms[i]->covered_ == covered)
            continue;
        forms[i]->covered_ = covered;
        if (forms[i]->peer_)
            forms[i]->peer_->Update(paEnabled);
    }
}

}  // namespace

bool TFormWindow::event(QEvent* event)
{
    if (event->type() == QEvent::WindowActivate && peer_)
        peer_->Activated();
    const bool result = QWidget::event(event);
    switch (event->type()) {
    case QEvent::ZOrderChange:
    case QEvent::ShowToParent:
    case QEvent::HideToParent:
    case QEvent::Move:
    case QEvent::Resize:
        if (!isWindow())
            TakeKeysOnlyInFront(parentWidget());
        break;
    default:
        break;
    }
    return result;
}

std::unique_ptr<TWidgetPeer> TCustomForm::CreatePeer()
{
    return std::make_unique<TFormPeer>(*this);
}

void SetFormMenuBar(TCustomForm& form, QWidget* menuBar)
{
    if (auto* peer = dynamic_cast<TFormPeer*>(form.Peer()))
        peer->SetMenuBar(menuBar);
}

namespace detail {

void QtProcessEvents(bool wait)
{
    if (!QtApplicationExists()) {
        if (!wait)
            return;
        EnsureQtApplication();
    }
    QCoreApplication::processEvents(wait ? QEventLoop::WaitForMoreEvents : QEventLoop::AllEvents);
    // Widgets left for later by a handler that freed its own control go now, outside every handler.
    if (!InsideDispatch())
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

bool QtScreenSize(int& width, int& height)
{
    if (!QtApplicationExists() || OffscreenPlatform())
        return false;
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return false;
    width = screen->geometry().width();
    height = screen->geometry().height();
    return true;
}

}  // namespace detail

}  // namespace vcl
