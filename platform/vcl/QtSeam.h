#pragma once
// The seam between a control and its Qt widget, for the Qt implementation files of platform/vcl only
// (never include it from a header or from outside this folder). It includes no Qt header and names Qt
// classes by forward declaration alone: include the Qt headers you use in your .cpp file.
//
// A concrete peer (see the example at the top of Controls.h) derives from TWidgetPeer, makes its widget in
// its constructor, connects the widget's signals through Dispatch, replays the kept state in Replay and
// pushes single changes in Update. The base peer already maps the widget's mouse, key, focus, resize and
// context-menu events onto the control, keeps the widget's geometry, visibility, enablement, font, colour,
// tool tip and cursor in step with the control, and deletes the widget when the peer goes (later, when Qt
// is in the middle of one of its events).

#include <functional>
#include <memory>

#include "platform/vcl/Controls.h"

class QColor;
class QFont;
class QObject;
class QPainter;
class QString;
class QWidget;

namespace vcl {

class TPeerFilter;

class TWidgetPeer {
public:
    // Takes `widget` (new, without a parent): it becomes a child of the parent control's client widget
    // (forms place themselves) and its input events go to the control.
    TWidgetPeer(TControl& control, QWidget* widget);
    virtual ~TWidgetPeer();
    TWidgetPeer(const TWidgetPeer&) = delete;
    TWidgetPeer& operator=(const TWidgetPeer&) = delete;

    TControl& Control() const { return control_; }
    template <class C>
    C& ControlAs() const { return static_cast<C&>(control_); }
    // Null once Qt deleted the widget (every use checks).
    QWidget* Widget() const;
    template <class W>
    W* WidgetAs() const { return static_cast<W*>(Widget()); }
    // Where the children's widgets live; by default the widget itself.
    virtual QWidget* ClientWidget() const;
    // The receiver to give QObject::connect: the connection ends with the peer.
    QObject* Context() const;

    // Puts the kept state onto the new widget; the base does bounds, visibility, enabled, text, font,
    // colour, hint, cursor. Overrides call the base first.
    virtual void Replay();
    // One aspect (TPeerAspect or the control's own) changed.
    virtual void Update(int aspect);

    // Sends the input events of an inner widget (a combo box's line edit) to the control as well.
    void WatchInput(QWidget* inner);
    // Whether a left press and release inside the widget is the control's Click; false for widgets that
    // report clicks by a signal of their own.
    virtual bool ClickOnMouseUp() const { return true; }
    // Whether the widget paints through the control's PaintRequested (custom and graphic controls).
    virtual bool PaintsThroughControl() const { return false; }

    // What the test driver asks of a widget, done as a person would; false when the widget can't.
    virtual bool UserClick() { return false; }
    virtual bool UserSelect(int index);
    virtual bool UserSelectText(const AnsiString& text);

    // Runs a handler as an event of this widget: exceptions go to Application->HandleException, and the
    // widget is not deleted while the handler runs (a handler may free the control).
    void Dispatch(const std::function<void()>& handler);

private:
    struct TImpl;
    friend class TPeerFilter;
    TControl& control_;
    std::unique_ptr<TImpl> impl_;
};

// Conversions at the Qt boundary. Text is Windows-1252 on our side.
QString ToQString(const AnsiString& text);
AnsiString FromQString(const QString& text);  // characters outside the code page become '?'
QColor ToQColor(TColor color);
// The face a Windows face name is drawn with: its metric twin when this machine has it, else the name.
QString DisplayFamily(const QString& face);
QFont ToQFont(const TFont& font);
// Name, pixel height, style from a Qt font (colour and charset stay).
void AssignQFont(const QFont& qfont, TFont& font);
// The virtual key code of a Qt key (0 when there is none), and our shift state of Qt modifiers.
uint16_t VirtualKeyFromQt(int qtKey);
int QtKeyFromVirtualKey(uint16_t key);
TShiftState ShiftFromQt(int qtModifiers, int qtButtons = 0);

// While a control paints (PaintRequested), the painter on its widget; nullptr otherwise.
QPainter* ActivePainter(const TControl& control);
// For a widget's paintEvent: runs the control's PaintRequested with `painter` as its ActivePainter.
void PaintThroughControl(TWidgetPeer& peer, QPainter& painter);
// A widget of a control's peer, or nullptr (no peer yet, or Qt deleted it).
QWidget* WidgetOf(const TControl& control);

// The QApplication, made on first need (headless when QT_QPA_PLATFORM=offscreen).
void EnsureQtApplication();

// The peer of a widget-backed control, made once the toolkit is up.
template <class TPeer, class TOwnerControl>
std::unique_ptr<TWidgetPeer> MakeWidgetPeer(TOwnerControl& control)
{
    EnsureQtApplication();
    return std::make_unique<TPeer>(control);
}
bool QtApplicationExists();

// A main menu's bar in its form's window, above the client area (null removes it). The form's
// ClientHeight stays; its Height grows by the bar's height.
void SetFormMenuBar(TCustomForm& form, QWidget* menuBar);

}  // namespace vcl
