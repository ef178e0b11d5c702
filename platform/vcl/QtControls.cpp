// The Qt half of the controls: the base peer (widget ownership, input events, the common aspects), the
// plain widgets of controls without a widget of their own, conversions and the QApplication.
#include <QApplication>
#include <QContextMenuEvent>
#include <QCursor>
#include <QFocusEvent>
#include <QFontDatabase>
#include <QHash>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPalette>
#include <QPointer>
#include <QWidget>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "platform/rtl/Encoding.h"
#include "platform/vcl/Forms.h"
#include "platform/vcl/QtSeam.h"

namespace vcl {

namespace {

// Widgets whose events are being handled right now: they are deleted later, never under Qt's feet.
std::vector<QPointer<QWidget>>& BusyWidgets()
{
    static auto* busy = new std::vector<QPointer<QWidget>>;
    return *busy;
}

bool WidgetBusy(QWidget* widget)
{
    for (const QPointer<QWidget>& busy : BusyWidgets()) {
        if (busy && (busy == widget || widget->isAncestorOf(busy)))
            return true;
    }
    return false;
}

struct TPaintingControl {
    const TControl* Control;
    QPainter* Painter;
};

std::vector<TPaintingControl>& Painting()
{
    static auto* painting = new std::vector<TPaintingControl>;
    return *painting;
}

Qt::CursorShape CursorShape(TCursor cursor)
{
    switch (cursor) {
    case crNone: return Qt::BlankCursor;
    case crCross: return Qt::CrossCursor;
    case crIBeam: return Qt::IBeamCursor;
    case crSize:
    case crSizeAll: return Qt::SizeAllCursor;
    case crSizeNESW: return Qt::SizeBDiagCursor;
    case crSizeNS: return Qt::SizeVerCursor;
    case crSizeNWSE: return Qt::SizeFDiagCursor;
    case crSizeWE: return Qt::SizeHorCursor;
    case crUpArrow: return Qt::UpArrowCursor;
    case crHourGlass:
    case crSQLWait: return Qt::WaitCursor;
    case crDrag:
    case crMultiDrag: return Qt::DragCopyCursor;
    case crNoDrop:
    case crNo: return Qt::ForbiddenCursor;
    case crHSplit: return Qt::SplitHCursor;
    case crVSplit: return Qt::SplitVCursor;
    case crAppStart: return Qt::BusyCursor;
    case crHelp: return Qt::WhatsThisCursor;
    case crHandPoint: return Qt::PointingHandCursor;
    default: return Qt::ArrowCursor;
    }
}

// Lays the tab chain in the controls' tab order, each container's controls right after it. Qt moves a
// widget in the chain alone, without its children, so the controls of a group box would otherwise trail
// at the end of the chain, after the buttons below the group.
void ChainTabOrder(const TWinControl& parent, QWidget*& previous)
{
    for (TWinControl* child : parent.TabList()) {
        QWidget* w = WidgetOf(*child);
        if (!w)
            continue;
        if (w->focusPolicy() != Qt::NoFocus) {
            w->setFocusPolicy(child->TabStop() ? Qt::StrongFocus : Qt::ClickFocus);
            if (previous)
                QWidget::setTabOrder(previous, w);
            previous = w;
        }
        ChainTabOrder(*child, previous);
    }
}

TMouseButton MouseButtonOf(Qt::MouseButton button)
{
    if (button == Qt::RightButton)
        return mbRight;
    if (button == Qt::MiddleButton)
        return mbMiddle;
    return mbLeft;
}

}  // namespace

// ---------------------------------------------------------------------------------------------------------
// Conversions

QString ToQString(const AnsiString& text)
{
    return QString::fromStdU16String(rtl::AnsiToUtf16(text));
}

AnsiString FromQString(const QString& text)
{
    return rtl::Utf16ToAnsi(text.toStdU16String());
}

QColor ToQColor(TColor color)
{
    uint32_t rgb = ColorToRGB(color);
    return QColor(GetRValue(rgb), GetGValue(rgb), GetBValue(rgb));
}

namespace {

// Windows faces the forms and documents ask for, and the faces drawn with the same advance widths. Without
// the map fontconfig picks whatever this machine has, and a window measures differently on every machine.
// The dialog faces have no free twin; Arial's is the nearest to their widths.
struct TFaceTwin {
    const char* Windows;
    const char* Twin;
};
constexpr TFaceTwin FaceTwins[] = {
    {"Arial", "Liberation Sans"},
    {"MS Sans Serif", "Liberation Sans"},
    {"Microsoft Sans Serif", "Liberation Sans"},
    {"MS Shell Dlg", "Liberation Sans"},
    {"MS Shell Dlg 2", "Liberation Sans"},
    {"Tahoma", "Liberation Sans"},
    {"Times New Roman", "Liberation Serif"},
    {"Courier New", "Liberation Mono"},
    {"Courier", "Liberation Mono"},
};

}  // namespace

QString DisplayFamily(const QString& face)
{
    for (const TFaceTwin& pair : FaceTwins) {
        if (face.compare(QLatin1String(pair.Windows), Qt::CaseInsensitive) != 0)
            continue;
        const QString twin = QLatin1String(pair.Twin);
        if (!QGuiApplication::instance())
            return face;
        // Asked once per twin: the font database is slow to ask, and the installed fonts do not change.
        static QHash<QString, bool> installed;
        auto it = installed.find(twin);
        if (it == installed.end())
            it = installed.insert(twin, QFontDatabase::hasFamily(twin));
        return *it ? twin : face;
    }
    return face;
}

QFont ToQFont(const TFont& font)
{
    QFont q(DisplayFamily(ToQString(font.Name())));
    int pixels = std::abs(font.Height());
    q.setPixelSize(pixels > 0 ? pixels : 11);
    TFontStyles style = font.Style();
    q.setBold(style.Contains(fsBold));
    q.setItalic(style.Contains(fsItalic));
    q.setUnderline(style.Contains(fsUnderline));
    q.setStrikeOut(style.Contains(fsStrikeOut));
    if (font.Pitch() == fpFixed)
        q.setFixedPitch(true);
    return q;
}

void AssignQFont(const QFont& qfont, TFont& font)
{
    font.SetName(FromQString(qfont.family()));
    if (qfont.pixelSize() > 0)
        font.SetHeight(-qfont.pixelSize());
    else if (qfont.pointSizeF() > 0)
        font.SetHeight(-static_cast<int>(qfont.pointSizeF() * ScreenPixelsPerInch / 72.0 + 0.5));
    TFontStyles style;
    if (qfont.bold())
        style.Include(fsBold);
    if (qfont.italic())
        style.Include(fsItalic);
    if (qfont.underline())
        style.Include(fsUnderline);
    if (qfont.strikeOut())
        style.Include(fsStrikeOut);
    font.SetStyle(style);
}

namespace {

struct TKeyPair {
    int Qt;
    uint16_t Vk;
};

constexpr TKeyPair KeyTable[] = {
    {Qt::Key_Backspace, VK_BACK},   {Qt::Key_Tab, VK_TAB},          {Qt::Key_Backtab, VK_TAB},
    {Qt::Key_Return, VK_RETURN},    {Qt::Key_Enter, VK_RETURN},     {Qt::Key_Shift, VK_SHIFT},
    {Qt::Key_Control, VK_CONTROL},  {Qt::Key_Alt, VK_MENU},         {Qt::Key_Pause, VK_PAUSE},
    {Qt::Key_CapsLock, VK_CAPITAL}, {Qt::Key_Escape, VK_ESCAPE},    {Qt::Key_Space, VK_SPACE},
    {Qt::Key_PageUp, VK_PRIOR},     {Qt::Key_PageDown, VK_NEXT},    {Qt::Key_End, VK_END},
    {Qt::Key_Home, VK_HOME},        {Qt::Key_Left, VK_LEFT},        {Qt::Key_Up, VK_UP},
    {Qt::Key_Right, VK_RIGHT},      {Qt::Key_Down, VK_DOWN},        {Qt::Key_Insert, VK_INSERT},
    {Qt::Key_Delete, VK_DELETE},    {Qt::Key_NumLock, VK_NUMLOCK},  {Qt::Key_ScrollLock, VK_SCROLL},
    {Qt::Key_Semicolon, VK_OEM_1},  {Qt::Key_Colon, VK_OEM_1},      {Qt::Key_Plus, VK_OEM_PLUS},
    {Qt::Key_Equal, VK_OEM_PLUS},   {Qt::Key_Comma, VK_OEM_COMMA},  {Qt::Key_Less, VK_OEM_COMMA},
    {Qt::Key_Minus, VK_OEM_MINUS},  {Qt::Key_Underscore, VK_OEM_MINUS}, {Qt::Key_Period, VK_OEM_PERIOD},
    {Qt::Key_Greater, VK_OEM_PERIOD}, {Qt::Key_Slash, VK_OEM_2},    {Qt::Key_Question, VK_OEM_2},
    {Qt::Key_QuoteLeft, VK_OEM_3},  {Qt::Key_AsciiTilde, VK_OEM_3}, {Qt::Key_BracketLeft, VK_OEM_4},
    {Qt::Key_BraceLeft, VK_OEM_4},  {Qt::Key_Backslash, VK_OEM_5},  {Qt::Key_Bar, VK_OEM_5},
    {Qt::Key_BracketRight, VK_OEM_6}, {Qt::Key_BraceRight, VK_OEM_6}, {Qt::Key_Apostrophe, VK_OEM_7},
    {Qt::Key_QuoteDbl, VK_OEM_7},   {Qt::Key_Asterisk, VK_MULTIPLY},
};

}  // namespace

uint16_t VirtualKeyFromQt(int qtKey)
{
    if ((qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) || (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9))
        return static_cast<uint16_t>(qtKey);
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F12)
        return static_cast<uint16_t>(VK_F1 + (qtKey - Qt::Key_F1));
    for (const TKeyPair& pair : KeyTable) {
        if (pair.Qt == qtKey)
            return pair.Vk;
    }
    return 0;
}

int QtKeyFromVirtualKey(uint16_t key)
{
    if ((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9'))
        return key;
    if (key >= VK_F1 && key <= VK_F12)
        return Qt::Key_F1 + (key - VK_F1);
    for (const TKeyPair& pair : KeyTable) {
        if (pair.Vk == key)
            return pair.Qt;
    }
    return 0;
}

TShiftState ShiftFromQt(int qtModifiers, int qtButtons)
{
    TShiftState shift;
    if (qtModifiers & Qt::ShiftModifier)
        shift.Include(ssShift);
    if (qtModifiers & Qt::ControlModifier)
        shift.Include(ssCtrl);
    if (qtModifiers & Qt::AltModifier)
        shift.Include(ssAlt);
    if (qtButtons & Qt::LeftButton)
        shift.Include(ssLeft);
    if (qtButtons & Qt::RightButton)
        shift.Include(ssRight);
    if (qtButtons & Qt::MiddleButton)
        shift.Include(ssMiddle);
    return shift;
}

// ---------------------------------------------------------------------------------------------------------
// The application

void EnsureQtApplication()
{
    if (QCoreApplication::instance())
        return;
    static int argc = 1;
    static char name[] = "scrivane";
    static char* argv[] = {name, nullptr};
    auto* app = new QApplication(argc, argv);  // lives to the end of the program
    app->setQuitOnLastWindowClosed(false);
}

bool QtApplicationExists()
{
    return QCoreApplication::instance() != nullptr;
}

// ---------------------------------------------------------------------------------------------------------
// The base peer

class TPeerFilter : public QObject {
public:
    explicit TPeerFilter(TWidgetPeer& peer) : peer_(peer) {}
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool forwarding = false;

private:
    bool KeyPressed(QWidget* widget, QKeyEvent* event);
    TWidgetPeer& peer_;
};

struct TWidgetPeer::TImpl {
    QPointer<QWidget> widget;
    std::unique_ptr<TPeerFilter> filter;
    std::vector<QPointer<QWidget>> watched;
    std::shared_ptr<bool> alive = std::make_shared<bool>(true);
    bool leftPressed = false;
};

TWidgetPeer::TWidgetPeer(TControl& control, QWidget* widget) : control_(control), impl_(std::make_unique<TImpl>())
{
    impl_->widget = widget;
    impl_->filter = std::make_unique<TPeerFilter>(*this);
    if (TWinControl* parent = control.Parent(); parent && parent->Peer())
        widget->setParent(parent->Peer()->ClientWidget());
    widget->setAttribute(Qt::WA_NoMousePropagation);
    WatchInput(widget);
}

TWidgetPeer::~TWidgetPeer()
{
    *impl_->alive = false;
    for (const QPointer<QWidget>& w : impl_->watched) {
        if (w)
            w->removeEventFilter(impl_->filter.get());
    }
    impl_->filter.reset();  // ends every connection made with Context()
    if (QWidget* widget = impl_->widget) {
        if (WidgetBusy(widget)) {
            widget->hide();
            widget->deleteLater();
        } else {
            delete widget;
        }
    }
}

QWidget* TWidgetPeer::Widget() const
{
    return impl_->widget;
}

QWidget* TWidgetPeer::ClientWidget() const
{
    return impl_->widget;
}

QObject* TWidgetPeer::Context() const
{
    return impl_->filter.get();
}

namespace {

constexpr const char* WatchedProperty = "vclWatchedInput";

// Qt offers a key the focused widget ignored to its parents as well; on Windows only the window with the
// focus gets it. So a parent's control takes no key that a watched widget nearer to the focus was offered.
bool OfferedNearerTheFocus(QWidget* widget)
{
    QWidget* focus = QApplication::focusWidget();
    if (!focus || !widget->isAncestorOf(focus))
        return false;
    for (QWidget* w = focus; w && w != widget; w = w->parentWidget()) {
        if (w->property(WatchedProperty).toBool())
            return true;
    }
    return false;
}

}  // namespace

void TWidgetPeer::WatchInput(QWidget* inner)
{
    inner->setProperty(WatchedProperty, true);
    inner->installEventFilter(impl_->filter.get());
    impl_->watched.emplace_back(inner);
}

bool TWidgetPeer::UserSelect(int)
{
    return false;
}

bool TWidgetPeer::UserSelectText(const AnsiString&)
{
    return false;
}

void TWidgetPeer::Dispatch(const std::function<void()>& handler)
{
    if (control_.IsDestroying())
        return;
    // Dispatches nest, so the entry pushed here is the last one when the handler returns.
    BusyWidgets().emplace_back(impl_->widget);
    DispatchGuarded(handler);
    BusyWidgets().pop_back();
}

void TWidgetPeer::Replay()
{
    for (int aspect : {paFont, paColor, paEnabled, paText, paHint, paCursor, paBounds, paZOrder})
        Update(aspect);
}

void TWidgetPeer::Update(int aspect)
{
    QWidget* widget = Widget();
    if (!widget)
        return;
    TControl& c = control_;
    switch (aspect) {
    case paBounds:
        widget->setGeometry(c.Left(), c.Top(), c.Width(), c.Height());
        break;
    case paVisible:
        widget->setVisible(c.Visible());
        break;
    case paEnabled:
        widget->setEnabled(c.Enabled());
        break;
    case paFont: {
        widget->setFont(ToQFont(*c.Font()));
        QPalette palette = widget->palette();
        QColor text = ToQColor(c.Font()->Color());
        palette.setColor(QPalette::WindowText, text);
        palette.setColor(QPalette::Text, text);
        palette.setColor(QPalette::ButtonText, text);
        widget->setPalette(palette);
        break;
    }
    case paColor: {
        QPalette palette = widget->palette();
        QColor color = ToQColor(c.Color());
        palette.setColor(QPalette::Window, color);
        palette.setColor(QPalette::Base, color);
        widget->setPalette(palette);
        break;
    }
    case paHint:
        widget->setToolTip(c.ShowHint() ? ToQString(c.Hint()) : QString());
        break;
    case paCursor:
        if (c.Cursor() == crDefault)
            widget->unsetCursor();
        else
            widget->setCursor(QCursor(CursorShape(c.Cursor())));
        break;
    case paZOrder: {
        TWinControl* parent = c.Parent();
        if (!parent) {
            // A form made a child of another window (CreateParams) has no parent control to keep its
            // place; it comes to the front of that window's children (only BringToFront asks for this).
            if (!widget->isWindow())
                widget->raise();
            break;
        }
        bool after = false;
        QWidget* next = nullptr;
        for (int i = 0; i < parent->ControlCount() && !next; ++i) {
            TControl* sibling = parent->Controls(i);
            if (sibling == &c)
                after = true;
            else if (after)
                next = WidgetOf(*sibling);
        }
        if (next && next->parentWidget() == widget->parentWidget())
            widget->stackUnder(next);
        else
            widget->raise();
        break;
    }
    case paTabOrder:
        if (auto* win = dynamic_cast<TWinControl*>(&c)) {
            // The whole window's chain: a change inside a container moves the container's place too.
            while (win->Parent() && WidgetOf(*win->Parent()))
                win = win->Parent();
            QWidget* previous = nullptr;
            ChainTabOrder(*win, previous);
        }
        break;
    case paRepaint:
        widget->update();
        break;
    case paFocus:
        widget->setFocus(Qt::OtherFocusReason);
        break;
    default:
        break;
    }
}

bool TPeerFilter::eventFilter(QObject* watched, QEvent* event)
{
    if (forwarding)
        return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    TControl& control = peer_.Control();
    if (!widget || control.IsDestroying())
        return false;
    std::shared_ptr<bool> alive = peer_.impl_->alive;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        auto* e = static_cast<QMouseEvent*>(event);
        QPoint p = widget->mapTo(peer_.Widget(), e->position().toPoint());
        TShiftState shift = ShiftFromQt(e->modifiers(), e->buttons());
        TMouseButton button = MouseButtonOf(e->button());
        if (event->type() == QEvent::MouseButtonDblClick) {
            shift.Include(ssDouble);
            peer_.Dispatch([&] { control.DblClick(); });
            if (!*alive)
                return true;
        }
        // As on Windows, the release after a double click is no second click.
        if (e->button() == Qt::LeftButton)
            peer_.impl_->leftPressed = event->type() == QEvent::MouseButtonPress;
        peer_.Dispatch([&] { control.MouseDown(button, shift, p.x(), p.y()); });
        return false;
    }
    case QEvent::MouseButtonRelease: {
        auto* e = static_cast<QMouseEvent*>(event);
        QPoint p = widget->mapTo(peer_.Widget(), e->position().toPoint());
        TShiftState shift = ShiftFromQt(e->modifiers(), e->buttons());
        TMouseButton button = MouseButtonOf(e->button());
        bool click = e->button() == Qt::LeftButton && peer_.impl_->leftPressed && peer_.ClickOnMouseUp() &&
                     peer_.Widget()->rect().contains(p);
        if (e->button() == Qt::LeftButton)
            peer_.impl_->leftPressed = false;
        if (click)
            peer_.Dispatch([&] { control.Click(); });
        if (*alive)
            peer_.Dispatch([&] { control.MouseUp(button, shift, p.x(), p.y()); });
        return false;
    }
    case QEvent::MouseMove: {
        auto* e = static_cast<QMouseEvent*>(event);
        QPoint p = widget->mapTo(peer_.Widget(), e->position().toPoint());
        TShiftState shift = ShiftFromQt(e->modifiers(), e->buttons());
        peer_.Dispatch([&] { control.MouseMove(shift, p.x(), p.y()); });
        return false;
    }
    case QEvent::KeyPress:
        if (OfferedNearerTheFocus(widget))
            return false;
        return KeyPressed(widget, static_cast<QKeyEvent*>(event));
    case QEvent::KeyRelease: {
        auto* e = static_cast<QKeyEvent*>(event);
        auto* win = dynamic_cast<TWinControl*>(&control);
        uint16_t key = VirtualKeyFromQt(e->key());
        if (!win || key == 0 || e->isAutoRepeat() || OfferedNearerTheFocus(widget))
            return false;
        // A handler that raised has had the key.
        uint16_t left = 0;
        peer_.Dispatch([&] { left = win->HandleKeyUp(key, ShiftFromQt(e->modifiers())); });
        return !*alive || left == 0;
    }
    case QEvent::FocusIn:
        if (auto* win = dynamic_cast<TWinControl*>(&control))
            peer_.Dispatch([win] { win->FocusReceived(); });
        return false;
    case QEvent::ContextMenu: {
        auto* menu = dynamic_cast<IMenuLink*>(control.PopupMenu());
        if (!menu)
            return false;
        QPoint global = static_cast<QContextMenuEvent*>(event)->globalPos();
        peer_.Dispatch([&] { menu->PopupAt(&control, global.x(), global.y()); });
        return true;
    }
    default:
        return false;
    }
}

bool TPeerFilter::KeyPressed(QWidget* widget, QKeyEvent* event)
{
    auto* win = dynamic_cast<TWinControl*>(&peer_.Control());
    if (!win)
        return false;
    std::shared_ptr<bool> alive = peer_.impl_->alive;
    uint16_t key = VirtualKeyFromQt(event->key());
    if (key != 0) {
        // A handler that raised (a shortcut whose command failed) has had the key.
        uint16_t left = 0;
        peer_.Dispatch([&] { left = win->HandleKeyDown(key, ShiftFromQt(event->modifiers())); });
        if (!*alive || left == 0)
            return true;
    }
    QString text = event->text();
    if (text.size() != 1)
        return false;
    AnsiString ansi = FromQString(text);
    if (ansi.size() != 1)
        return false;
    char typed = ansi[0];
    char left = 0;
    peer_.Dispatch([&] { left = win->HandleKeyPress(typed); });
    if (!*alive || left == 0)
        return true;
    if (left == typed)
        return false;
    // The handler changed the character: the widget gets the new one instead.
    QKeyEvent changed(QEvent::KeyPress, event->key(), event->modifiers(), ToQString(AnsiString(1, left)),
                      event->isAutoRepeat(), static_cast<quint16>(event->count()));
    forwarding = true;
    QCoreApplication::sendEvent(widget, &changed);
    forwarding = false;
    return true;
}

// ---------------------------------------------------------------------------------------------------------
// Plain widgets for controls that have none of their own

class TPlainWidget : public QWidget {
public:
    // Cleared by the peer when it goes (the widget may outlive it by a deferred delete).
    TWidgetPeer* peer_ = nullptr;

protected:
    void paintEvent(QPaintEvent* event) override
    {
        QWidget::paintEvent(event);
        if (!peer_ || !peer_->PaintsThroughControl())
            return;
        QPainter painter(this);
        PaintThroughControl(*peer_, painter);
    }
};

class TPlainPeer : public TWidgetPeer {
public:
    TPlainPeer(TControl& control, bool focusable, bool paints)
        : TWidgetPeer(control, new TPlainWidget), paints_(paints)
    {
        WidgetAs<TPlainWidget>()->peer_ = this;
        Widget()->setAutoFillBackground(true);
        Widget()->setFocusPolicy(focusable ? Qt::ClickFocus : Qt::NoFocus);
    }
    ~TPlainPeer() override
    {
        if (auto* widget = WidgetAs<TPlainWidget>())
            widget->peer_ = nullptr;
    }
    bool PaintsThroughControl() const override { return paints_; }

private:
    bool paints_;
};

std::unique_ptr<TWidgetPeer> TControl::CreatePeer()
{
    EnsureQtApplication();
    return std::make_unique<TPlainPeer>(*this, false, true);
}

std::unique_ptr<TWidgetPeer> TWinControl::CreatePeer()
{
    EnsureQtApplication();
    return std::make_unique<TPlainPeer>(*this, true, dynamic_cast<TCustomControl*>(this) != nullptr);
}

void PaintThroughControl(TWidgetPeer& peer, QPainter& painter)
{
    TControl& control = peer.Control();
    Painting().push_back({&control, &painter});
    peer.Dispatch([&control] { control.PaintRequested(); });
    Painting().pop_back();
}

namespace detail {

// Screen->Cursor: the whole application's cursor while it is not crDefault.
void QtApplyScreenCursor(TCursor cursor)
{
    if (!QtApplicationExists())
        return;
    while (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
    if (cursor != crDefault)
        QApplication::setOverrideCursor(QCursor(CursorShape(cursor)));
}

}  // namespace detail

QPainter* ActivePainter(const TControl& control)
{
    for (auto it = Painting().rbegin(); it != Painting().rend(); ++it) {
        if (it->Control == &control)
            return it->Painter;
    }
    return nullptr;
}

QWidget* WidgetOf(const TControl& control)
{
    return control.Peer() ? control.Peer()->Widget() : nullptr;
}

}  // namespace vcl

// Qt's font back end keeps caches it never frees, and on a real display the accessibility bus client keeps
// its connection buffers to the end; they are not leaks of ours.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig\nleak:libdbus-1\n";
}
