#pragma once
// Controls: TControl (position, size, alignment, visibility, text, font, colour, mouse events),
// TWinControl (children, focus, keyboard, tab order, a window handle), TCustomControl and TGraphicControl
// (controls that paint themselves). Every control keeps its state in plain members; its Qt widget is made
// only when first needed (its form is shown, or HandleNeeded) and the kept state is then replayed onto it.
// Nothing here names Qt: the widget side is reached through one peer per control (QtSeam.h, for the Qt
// implementation files of this folder only).
//
// How a concrete control is written (a push button on a QPushButton):
//
//   // StdCtrls.h: the control, no Qt.
//   class TButton : public TWinControl {
//       VCL_CLASS(TButton, TWinControl)
//   public:
//       explicit TButton(TComponent* owner);
//       bool Default() const { return default_; }
//       void SetDefault(bool value);
//       TModalResult ModalResult() const { return modalResult_; }
//       void SetModalResult(TModalResult value) { modalResult_ = value; }
//       void Click() override;                            // the form's ModalResult, then OnClick
//       enum { paDefault = paFirstCustom };              // the button's own aspects for the peer
//   protected:
//       std::unique_ptr<TWidgetPeer> CreatePeer() override;   // defined in the Qt file
//   private:
//       bool default_ = false;
//       TModalResult modalResult_ = mrNone;
//   };
//
//   // StdCtrls.cpp: state, registration, behaviour; still no Qt.
//   VCL_IMPLEMENT_CLASS(TButton)
//   void TButton::RegisterProperties(TClassDef<TButton>& def)
//   {
//       def.Property("Caption", &TControl::Caption, &TControl::SetCaption, "");
//       def.Property("Default", &TButton::Default, &TButton::SetDefault, false);
//       def.Property("ModalResult", &TButton::ModalResult, &TButton::SetModalResult, 0);
//       def.Property("TabStop", &TWinControl::TabStop, &TWinControl::SetTabStop, true);   // new default
//   }
//   TButton::TButton(TComponent* owner) : TWinControl(owner) { SetBounds(0, 0, 75, 25); SetTabStop(true); }
//   void TButton::SetDefault(bool value)
//   {
//       if (default_ == value) return;
//       default_ = value;
//       UpdatePeer(paDefault);                           // nothing happens while there is no widget
//   }
//   void TButton::Click()
//   {
//       if (TCustomForm* form = GetParentForm(this)) form->SetModalResult(modalResult_);
//       inherited::Click();                              // OnClick
//   }
//
//   // QtStdCtrls.cpp: the peer, the only place that touches the QPushButton (this file includes the
//   // QPushButton header and platform/vcl/QtSeam.h).
//   class TButtonPeer : public TWidgetPeer {
//   public:
//       explicit TButtonPeer(TButton& button) : TWidgetPeer(button, new QPushButton), button_(button)
//       {
//           // Qt signals come back as the control's events, through the guard (exceptions go to
//           // Application->HandleException, never into Qt); Context() disconnects when the peer goes.
//           QObject::connect(Button(), &QPushButton::clicked, Context(), [this] {
//               Dispatch([this] { button_.Click(); });
//           });
//       }
//       void Replay() override { TWidgetPeer::Replay(); Update(TButton::paDefault); }   // kept state
//       void Update(int aspect) override
//       {
//           if (aspect == TButton::paDefault) Button()->setDefault(button_.Default());
//           else if (aspect == paText) Button()->setText(ToQString(button_.Caption()));
//           else TWidgetPeer::Update(aspect);           // bounds, visibility, font, colour, ...
//       }
//       bool UserClick() override { Button()->click(); return true; }   // the test driver's Click
//   private:
//       QPushButton* Button() const { return WidgetAs<QPushButton>(); }
//       TButton& button_;
//   };
//   std::unique_ptr<TWidgetPeer> TButton::CreatePeer() { return std::make_unique<TButtonPeer>(*this); }
//
// The widget's parent is the parent control's widget (the base peer sets it); Left/Top are relative to the
// parent's client area. A peer never owns the control; the control owns the peer and the peer the widget,
// held through a guarded pointer, so Qt's parent tree and ours never both delete one. Mouse, keyboard,
// focus and resize events of the widget reach the control through the base peer (MouseDown, KeyDown,
// KeyPress, DoEnter, ...), so a concrete peer only connects the signals that are its own.
//
// Properties published here, one line each in Controls.cpp: Left, Top, Width, Height, Align, Anchors,
// Visible, Enabled, Hint, ShowHint, Color, ParentColor, Font, ParentFont, Cursor, HelpContext, PopupMenu,
// OnClick, OnDblClick, OnMouseDown/Up/Move, OnResize; TWinControl adds TabOrder, TabStop, OnEnter,
// OnExit, OnKeyDown/Up/Press. A control whose text is a published "Caption" or "Text" registers it itself
// (both read the same storage), and re-registers an inherited property to change its default.

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/vcl/Classes.h"
#include "platform/vcl/Graphics.h"
#include "platform/vcl/Messages.h"

namespace vcl {

class TControl;
class TWinControl;
class TCustomForm;
class TCanvas;       // GraphicsCanvas.h
class TWidgetPeer;   // QtSeam.h

using TModalResult = int;
inline constexpr TModalResult mrNone = 0;
inline constexpr TModalResult mrOk = 1;
inline constexpr TModalResult mrCancel = 2;
inline constexpr TModalResult mrAbort = 3;
inline constexpr TModalResult mrRetry = 4;
inline constexpr TModalResult mrIgnore = 5;
inline constexpr TModalResult mrYes = 6;
inline constexpr TModalResult mrNo = 7;
inline constexpr TModalResult mrAll = 8;
inline constexpr TModalResult mrNoToAll = 9;
inline constexpr TModalResult mrYesToAll = 10;

VCL_ENUM(TAlign, alNone, alTop, alBottom, alLeft, alRight, alClient)
VCL_ENUM(TAnchorKind, akLeft, akTop, akRight, akBottom)
using TAnchors = TSet<TAnchorKind>;
VCL_ENUM(TAlignment, taLeftJustify, taRightJustify, taCenter)
// bsNone and bsSingle also serve controls with a border (panels, edits, list boxes).
VCL_ENUM(TFormBorderStyle, bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin)
using TBorderStyle = TFormBorderStyle;

// The standard cursors, by the classic identifiers (the values here are our own: 0, 1, 2, ...).
VCL_ENUM(TCursor, crDefault, crNone, crArrow, crCross, crIBeam, crSize, crSizeNESW, crSizeNS, crSizeNWSE, crSizeWE,
         crUpArrow, crHourGlass, crDrag, crNoDrop, crHSplit, crVSplit, crMultiDrag, crSQLWait, crNo, crAppStart,
         crHelp, crHandPoint, crSizeAll)

// What the window-parameter step (TWinControl::CreateParams) decides before a window is made.
struct TCreateParams {
    AnsiString Caption;
    uint32_t Style = 0;
    uint32_t ExStyle = 0;
    int X = 0;
    int Y = 0;
    int Width = 0;
    int Height = 0;
    HWND WndParent = nullptr;  // a child window (WS_CHILD) lives in this window
};

// What forms and controls need of a menu component; TMainMenu and TPopupMenu (Menus.h) implement it, and
// the control finds it with dynamic_cast on its PopupMenu / the form's Menu.
class IMenuLink {
public:
    // Runs the item whose shortcut this is (enabled and visible) and gives true, else false.
    virtual bool IsShortCut(uint16_t key, TShiftState shift) = 0;
    // Shows a popup menu at a screen position for `control` (the one right-clicked).
    virtual void PopupAt(TControl* control, int screenX, int screenY) = 0;
    // A main menu joins its form (and leaves it). AttachToForm comes when the menu becomes the form's Menu
    // and again each time the form's window is made; the menu puts its bar in with SetFormMenuBar
    // (QtSeam.h) when WidgetOf(form) exists, and holds the bar through a QPointer (the window owns it).
    virtual void AttachToForm(TCustomForm& form) = 0;
    virtual void DetachFromForm(TCustomForm& form) = 0;

protected:
    ~IMenuLink() = default;
};

class EInvalidOperation : public rtl::Exception {
public:
    using Exception::Exception;
};

// The aspects of a control that its peer is told about (TControl::UpdatePeer); concrete controls number
// their own from paFirstCustom.
enum TPeerAspect : int {
    paBounds, paVisible, paEnabled, paText, paFont, paColor, paHint, paCursor, paZOrder, paTabOrder, paRepaint,
    paFocus, paWindowState, paFirstCustom = 100
};

// ---------------------------------------------------------------------------------------------------------

class TControl : public TComponent {
    VCL_CLASS(TControl, TComponent)
public:
    explicit TControl(TComponent* owner);
    ~TControl() override;

    // Visual containment; the form reader sets it for objects nested in another in the resource.
    TWinControl* Parent() const { return parent_; }
    virtual void SetParent(TWinControl* value);
    void SetParentComponent(TComponent* value) override;
    TComponent* GetParentComponent() const override;
    bool HasParent() const override { return true; }

    int Left() const { return left_; }
    int Top() const { return top_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    void SetLeft(int value) { SetBounds(value, top_, width_, height_); }
    void SetTop(int value) { SetBounds(left_, value, width_, height_); }
    void SetWidth(int value) { SetBounds(left_, top_, value, height_); }
    void SetHeight(int value) { SetBounds(left_, top_, width_, value); }
    // The one place bounds change; realigns the parent (or this control's children) as needed.
    virtual void SetBounds(int left, int top, int width, int height);
    TRect BoundsRect() const { return Bounds(left_, top_, width_, height_); }
    void SetBoundsRect(const TRect& r) { SetBounds(r.Left, r.Top, r.Width(), r.Height()); }

    // The client area; for most controls their whole size, for forms the inside of the frame.
    virtual int ClientWidth() const { return width_; }
    virtual int ClientHeight() const { return height_; }
    virtual void SetClientWidth(int value);
    virtual void SetClientHeight(int value);
    TRect ClientRect() const { return Rect(0, 0, ClientWidth(), ClientHeight()); }
    // Client coordinates of this control <-> screen coordinates.
    TPoint ClientToScreen(TPoint p) const;
    TPoint ScreenToClient(TPoint p) const;
    // The offset of the client area in the control's own rectangle (a form's frame and caption).
    virtual TPoint ClientOrigin() const { return TPoint{}; }

    TAlign Align() const { return align_; }
    void SetAlign(TAlign value);
    TAnchors Anchors() const { return anchors_; }
    void SetAnchors(TAnchors value);

    bool Visible() const { return visible_; }
    virtual void SetVisible(bool value);
    void Show() { SetVisible(true); }
    void Hide() { SetVisible(false); }
    // Visible, and so are all its parents up to a form that is shown.
    bool Showing() const;
    bool Enabled() const { return enabled_; }
    virtual void SetEnabled(bool value);

    // The control's text: what a label or button shows as Caption, what an edit holds as Text.
    const AnsiString& Caption() const { return text_; }
    void SetCaption(const AnsiString& value) { SetText(value); }
    const AnsiString& Text() const { return text_; }
    void SetText(const AnsiString& value);
    // The widget changed the text itself (the user typed into an edit): the control keeps it without
    // pushing it back to the widget; the control fires its own OnChange.
    void TextEditedByUser(const AnsiString& value) { text_ = value; }

    const AnsiString& Hint() const { return hint_; }
    void SetHint(const AnsiString& value);
    bool ShowHint() const { return showHint_; }
    void SetShowHint(bool value);

    TColor Color() const { return color_; }
    void SetColor(TColor value);
    bool ParentColor() const { return parentColor_; }
    void SetParentColor(bool value);
    TFont* Font() const { return font_.get(); }
    void SetFont(const TFont* value) { font_->Assign(value); }
    bool ParentFont() const { return parentFont_; }
    void SetParentFont(bool value);

    TCursor Cursor() const { return cursor_; }
    void SetCursor(TCursor value);
    int HelpContext() const { return helpContext_; }
    void SetHelpContext(int value) { helpContext_ = value; }
    // A TPopupMenu (Menus.h); shown on a right click.
    TComponent* PopupMenu() const { return popupMenu_.get(); }
    void SetPopupMenu(TComponent* value);

    virtual void Click();
    virtual void DblClick();
    void Invalidate();
    void Repaint() { Invalidate(); }
    void Refresh() { Invalidate(); }
    void Update() {}
    void BringToFront();
    void SendToBack();

    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;
    TMouseEvent OnMouseDown;
    TMouseEvent OnMouseUp;
    TMouseMoveEvent OnMouseMove;
    TNotifyEvent OnResize;

    void Loaded() override;

    // ---- the widget side (used by QtSeam.h peers and the test driver)
    TWidgetPeer* Peer() const { return peer_.get(); }
    // Makes the widget now (and the parent's first); a control without a parent window raises
    // EInvalidOperation "Control 'x' has no parent window".
    virtual void EnsurePeer();
    // Drops the widget; the kept state stays for the next one.
    virtual void DestroyPeer();
    // Mouse entry points (client coordinates); they fire the events.
    virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
    virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
    virtual void MouseMove(TShiftState shift, int x, int y);
    // Return, Escape and friends that the focused control did not want: a default or cancel button
    // answers here (Click) and gives true. Alt with a letter comes here too, for labels' accelerators.
    virtual bool DialogKey(uint16_t key, TShiftState shift);
    // The user resized the control's window (forms): takes the new bounds without pushing them back.
    void BoundsChangedByUser(int left, int top, int width, int height);
    // The control paints itself (custom and graphic controls, forms): the peer calls it while painting.
    virtual void PaintRequested() {}

protected:
    // Makes this control's peer and widget; the default is a plain widget (TWinControl: one that can
    // take the focus; forms have their own).
    virtual std::unique_ptr<TWidgetPeer> CreatePeer();
    // Tells the peer, when there is one, that an aspect changed.
    void UpdatePeer(int aspect);
    virtual void TextChanged() { UpdatePeer(paText); }
    virtual void VisibleChanged();
    virtual void EnabledChanged() { UpdatePeer(paEnabled); }
    virtual void FontChanged();
    virtual void ColorChanged();
    // OnResize (after the control's size changed).
    virtual void Resize();
    // The parent's font or colour changed (ParentFont / ParentColor follow it).
    virtual void ParentFontChanged();
    virtual void ParentColorChanged();
    // Remembers where the anchors measure from (the parent's client size now).
    void UpdateAnchorRules();
    void Notification(TComponent* component, TOperation operation) override;

    // The canvas of a control that paints itself; the canvas file makes it on first use (CanvasFor).
    std::unique_ptr<TPersistent> canvas_;

private:
    friend class TWinControl;
    friend class TWidgetPeer;

    TWinControl* parent_ = nullptr;
    int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
    TAlign align_ = alNone;
    TAnchors anchors_ = {akLeft, akTop};
    int anchorParentWidth_ = -1, anchorParentHeight_ = -1;
    bool visible_ = true;
    bool enabled_ = true;
    AnsiString text_;
    AnsiString hint_;
    bool showHint_ = false;
    TColor color_ = clBtnFace;
    bool parentColor_ = false;
    std::unique_ptr<TFont> font_;
    bool parentFont_ = true;
    bool followingParentFont_ = false;
    TCursor cursor_ = crDefault;
    int helpContext_ = 0;
    TComponentRef<TComponent> popupMenu_;
    std::unique_ptr<TWidgetPeer> peer_;
};

// ---------------------------------------------------------------------------------------------------------

class TWinControl : public TControl {
    VCL_CLASS(TWinControl, TControl)
public:
    explicit TWinControl(TComponent* owner);
    ~TWinControl() override;

    // The child controls in z-order (the last is on top).
    int ControlCount() const { return static_cast<int>(controls_.size()); }
    TControl* Controls(int index) const;
    bool ContainsControl(const TControl* control) const;  // also deeper down
    // Children in tab order (windowed ones only).
    std::vector<TWinControl*> TabList() const;

    // The window handle, made on first use (the widget with it). Posting WM_CLOSE to a form's handle
    // closes it; other messages reach WndProc.
    HWND Handle();
    bool HandleAllocated() const { return handle_ != nullptr; }
    void HandleNeeded() { Handle(); }
    // Drops the window (and the children's) and makes it again when it existed.
    void RecreateWnd();
    // A window of another program part this control's window lives in (a child window), or null.
    HWND ParentWindow() const { return parentWindow_; }
    void SetParentWindow(HWND value);
    // The window this control's window lives in when it has no Parent: ParentWindow, or the parent its
    // window parameters named (a form made a child window in CreateParams).
    virtual HWND WindowParent() const { return parentWindow_; }
    // The control whose Handle() this is, or nullptr.
    static TWinControl* FindControl(HWND handle);

    void SetFocus();
    bool Focused() const;
    virtual bool CanFocus() const;
    int TabOrder() const;
    void SetTabOrder(int value);
    bool TabStop() const { return tabStop_; }
    void SetTabStop(bool value);

    TNotifyEvent OnEnter;
    TNotifyEvent OnExit;
    TKeyEvent OnKeyDown;
    TKeyEvent OnKeyUp;
    TKeyPressEvent OnKeyPress;

    // The window procedure: messages sent or posted to Handle(). The default handles WM_CLOSE for forms
    // (TCustomForm) and passes the rest to DefaultHandler.
    virtual void WndProc(TMessage& message);
    virtual void DefaultHandler(TMessage& message);

    // Keyboard entry points, called by the peer: the form sees the key first when KeyPreview is set.
    // Key (or the character) set to 0 swallows it. They give what is left.
    uint16_t HandleKeyDown(uint16_t key, TShiftState shift);
    uint16_t HandleKeyUp(uint16_t key, TShiftState shift);
    char HandleKeyPress(char key);
    // Whether the control takes a key itself that would otherwise be a dialog key (Return in a memo).
    virtual bool WantsKey(uint16_t key, TShiftState shift) const;
    // The peer reports the focus; the form fires OnExit and OnEnter.
    void FocusReceived();

    // Lays out the children by Align and Anchors (classic order: top, bottom, left, right, client).
    void Realign();
    void DisableAlign() { ++alignDisabled_; }
    void EnableAlign();
    // Padding inside the control that alignment keeps free.
    int BorderWidth() const { return borderWidth_; }
    void SetBorderWidth(int value);

    void SetBounds(int left, int top, int width, int height) override;
    void EnsurePeer() override;
    void DestroyPeer() override;
    void Loaded() override;

    virtual void KeyDown(uint16_t& key, TShiftState shift);
    virtual void KeyUp(uint16_t& key, TShiftState shift);
    virtual void KeyPress(char& key);
    virtual void DoEnter();
    virtual void DoExit();

    // Fills the window parameters (style bits, parent window, position) before the window is made.
    virtual void CreateParams(TCreateParams& params);

protected:
    std::unique_ptr<TWidgetPeer> CreatePeer() override;
    // The client area that alignment fills, in client coordinates.
    virtual TRect AlignRect() const;
    void VisibleChanged() override;
    void FontChanged() override;
    void ColorChanged() override;
    // Frees the children (last first) while this control is still whole.
    void DestroyChildren();

private:
    friend class TControl;
    void InsertControl(TControl* control);
    void RemoveControl(TControl* control);
    // `trigger` (the control that moved or changed its Align) keeps its place among equals.
    void RealignFor(TControl* trigger);
    void AlignControls(TControl* trigger);
    void ApplyAnchors(int oldClientWidth, int oldClientHeight);
    void ReleaseHandle();

    std::vector<TControl*> controls_;
    std::vector<TWinControl*> tabList_;
    HWND handle_ = nullptr;
    HWND parentWindow_ = nullptr;
    bool tabStop_ = false;
    int alignDisabled_ = 0;
    bool aligning_ = false;
    int borderWidth_ = 0;
    int lastClientWidth_ = -1, lastClientHeight_ = -1;
};

// ---------------------------------------------------------------------------------------------------------
// Controls that paint themselves: Paint() draws on Canvas(), which is valid while painting.

class TCustomControl : public TWinControl {
    VCL_CLASS(TCustomControl, TWinControl)
public:
    explicit TCustomControl(TComponent* owner);
    // Defined by the canvas file (GraphicsCanvas.cpp): a canvas drawing on this control.
    TCanvas* Canvas();
    void PaintRequested() override { Paint(); }

protected:
    virtual void Paint() {}
};

class TGraphicControl : public TControl {
    VCL_CLASS(TGraphicControl, TControl)
public:
    explicit TGraphicControl(TComponent* owner);
    // Defined by the canvas file (GraphicsCanvas.cpp): a canvas drawing on this control.
    TCanvas* Canvas();
    void PaintRequested() override { Paint(); }

protected:
    virtual void Paint() {}
};

// The form at the top of the control's Parent chain, or nullptr. (A form that lives in a child window of
// another through ParentWindow is its own top.)
TCustomForm* GetParentForm(const TControl* control);

// Registers TControl, TWinControl, TCustomControl, TGraphicControl (and the graphics, messages and form
// classes); idempotent. Called by the application object and by the form classes' constructors.
void RegisterControlClasses();

}  // namespace vcl
