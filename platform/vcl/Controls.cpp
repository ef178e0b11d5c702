// The portable half of the controls: kept state, containment, alignment, focus and keyboard routing.
// Everything that touches a widget goes through the control's peer (QtControls.cpp).
#include "platform/vcl/Controls.h"

#include <algorithm>

#include "platform/vcl/Dialogs.h"
#include "platform/vcl/Forms.h"
#include "platform/vcl/QtSeam.h"
#include "platform/vcl/TestDriver.h"

namespace vcl {

namespace detail {
HWND AllocateControlHandle(TWinControl* control);
void FreeControlHandle(HWND wnd);
TWinControl* ControlOfHandle(HWND wnd);
}  // namespace detail

namespace {

bool IsDialogKey(uint16_t key)
{
    return key == VK_RETURN || key == VK_ESCAPE;
}

// Alt with a letter or digit alone: an accelerator that a label of the form may answer.
bool IsAcceleratorKey(uint16_t key, TShiftState shift)
{
    const bool letterOrDigit = (key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9');
    return letterOrDigit && shift.Contains(ssAlt) && !shift.Contains(ssCtrl);
}

// Offers a dialog key to every control of the tree (visible and enabled ones), depth first.
bool BroadcastDialogKey(TWinControl& parent, uint16_t key, TShiftState shift)
{
    for (int i = 0; i < parent.ControlCount(); ++i) {
        TControl* child = parent.Controls(i);
        if (!child->Visible() || !child->Enabled())
            continue;
        if (child->DialogKey(key, shift))
            return true;
        if (auto* win = dynamic_cast<TWinControl*>(child)) {
            if (dynamic_cast<TCustomForm*>(win))
                continue;  // an embedded form answers its own dialog keys
            if (BroadcastDialogKey(*win, key, shift))
                return true;
        }
    }
    return false;
}

// The form at the top of the window tree: through Parent and through child windows' parents.
TCustomForm* TopLevelForm(TCustomForm* form)
{
    while (form) {
        TWinControl* outer = form->Parent();
        if (!outer && form->WindowParent())
            outer = TWinControl::FindControl(form->WindowParent());
        TCustomForm* outerForm = outer ? GetParentForm(outer) : nullptr;
        if (!outerForm)
            return form;
        form = outerForm;
    }
    return nullptr;
}

}  // namespace

// A font that follows the parent is not written.
const std::function<bool(const TPersistent&)> FontStored = [](const TPersistent& p) {
    return !static_cast<const TControl&>(p).ParentFont();
};

// ---------------------------------------------------------------------------------------------------------
// TControl

VCL_IMPLEMENT_CLASS(TControl)

void TControl::RegisterProperties(TClassDef<TControl>& def)
{
    def.Property("Left", &TControl::Left, &TControl::SetLeft);
    def.Property("Top", &TControl::Top, &TControl::SetTop);
    def.Property("Width", &TControl::Width, &TControl::SetWidth);
    def.Property("Height", &TControl::Height, &TControl::SetHeight);
    def.Property("Align", &TControl::Align, &TControl::SetAlign, alNone);
    def.Property("Anchors", &TControl::Anchors, &TControl::SetAnchors, TAnchors{akLeft, akTop});
    // Color before ParentColor and Font before ParentFont: reading a parent-following control back sets
    // the value, then follows the parent again.
    def.Property("Color", &TControl::Color, &TControl::SetColor, clBtnFace);
    def.Property("Cursor", &TControl::Cursor, &TControl::SetCursor, crDefault);
    def.Property("Enabled", &TControl::Enabled, &TControl::SetEnabled, true);
    def.Property("Font", &TControl::Font, nullptr).Stored(FontStored);
    def.Property("HelpContext", &TControl::HelpContext, &TControl::SetHelpContext, 0);
    def.Property("Hint", &TControl::Hint, &TControl::SetHint, AnsiString());
    def.Property("ParentColor", &TControl::ParentColor, &TControl::SetParentColor, false);
    def.Property("ParentFont", &TControl::ParentFont, &TControl::SetParentFont, true);
    def.Property("PopupMenu", &TControl::PopupMenu, &TControl::SetPopupMenu);
    def.Property("ShowHint", &TControl::ShowHint, &TControl::SetShowHint, false);
    def.Property("Visible", &TControl::Visible, &TControl::SetVisible, true);
    def.Event("OnClick", &TControl::OnClick);
    def.Event("OnDblClick", &TControl::OnDblClick);
    def.Event("OnMouseDown", &TControl::OnMouseDown);
    def.Event("OnMouseMove", &TControl::OnMouseMove);
    def.Event("OnMouseUp", &TControl::OnMouseUp);
    def.Event("OnResize", &TControl::OnResize);
}

TControl::TControl(TComponent* owner) : TComponent(owner), font_(std::make_unique<TFont>())
{
    font_->OnChange = [this](TObject*) {
        if (!followingParentFont_)
            parentFont_ = false;
        FontChanged();
    };
}

TControl::~TControl()
{
    Destroying();
    DestroyPeer();
    if (parent_)
        parent_->RemoveControl(this);
    font_->OnChange = nullptr;
}

void TControl::SetParent(TWinControl* value)
{
    if (value == parent_)
        return;
    for (const TWinControl* p = value; p; p = p->parent_) {
        if (p == this)
            throw EInvalidOperation("A control cannot have itself or a child as its parent");
    }
    if (peer_)
        DestroyPeer();
    if (parent_)
        parent_->RemoveControl(this);
    if (value) {
        value->InsertControl(this);
        ParentFontChanged();
        ParentColorChanged();
    }
    anchorParentWidth_ = anchorParentHeight_ = -1;
    if (parent_ && parent_->peer_ && !IsDestroying())
        EnsurePeer();
}

void TControl::SetParentComponent(TComponent* value)
{
    if (auto* parent = dynamic_cast<TWinControl*>(value))
        SetParent(parent);
}

TComponent* TControl::GetParentComponent() const
{
    return parent_;
}

void TControl::SetBounds(int left, int top, int width, int height)
{
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (left == left_ && top == top_ && width == width_ && height == height_)
        return;
    bool resized = width != width_ || height != height_;
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
    UpdatePeer(paBounds);
    if (parent_ && !parent_->aligning_ && align_ != alNone)
        parent_->RealignFor(this);
    if (resized)
        Resize();
}

void TControl::BoundsChangedByUser(int left, int top, int width, int height)
{
    if (left == left_ && top == top_ && width == width_ && height == height_)
        return;
    bool resized = width != width_ || height != height_;
    int oldClientWidth = ClientWidth(), oldClientHeight = ClientHeight();
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
    if (auto* win = dynamic_cast<TWinControl*>(this)) {
        win->ApplyAnchors(oldClientWidth, oldClientHeight);
        win->Realign();
    }
    if (resized)
        Resize();
}

void TControl::SetClientWidth(int value)
{
    SetWidth(value + (width_ - ClientWidth()));
}

void TControl::SetClientHeight(int value)
{
    SetHeight(value + (height_ - ClientHeight()));
}

TPoint TControl::ClientToScreen(TPoint p) const
{
    const TControl* control = this;
    while (control) {
        TPoint origin = control->ClientOrigin();
        p.X += control->left_ + origin.X;
        p.Y += control->top_ + origin.Y;
        const TWinControl* outer = control->parent_;
        if (!outer) {
            if (auto* win = dynamic_cast<const TWinControl*>(control); win && win->WindowParent())
                outer = TWinControl::FindControl(win->WindowParent());
        }
        control = outer;
    }
    return p;
}

TPoint TControl::ScreenToClient(TPoint p) const
{
    TPoint origin = ClientToScreen(TPoint{});
    return TPoint{p.X - origin.X, p.Y - origin.Y};
}

void TControl::SetAlign(TAlign value)
{
    if (align_ == value)
        return;
    align_ = value;
    if (parent_)
        parent_->RealignFor(this);
}

void TControl::SetAnchors(TAnchors value)
{
    anchors_ = value;
}

void TControl::UpdateAnchorRules()
{
    anchorParentWidth_ = parent_ ? parent_->ClientWidth() : -1;
    anchorParentHeight_ = parent_ ? parent_->ClientHeight() : -1;
}

void TControl::SetVisible(bool value)
{
    if (visible_ == value)
        return;
    visible_ = value;
    VisibleChanged();
}

void TControl::VisibleChanged()
{
    UpdatePeer(paVisible);
    if (parent_ && align_ != alNone)
        parent_->RealignFor(this);
}

bool TControl::Showing() const
{
    if (!visible_)
        return false;
    if (parent_)
        return parent_->Showing();
    if (auto* win = dynamic_cast<const TWinControl*>(this); win && win->WindowParent()) {
        TWinControl* outer = TWinControl::FindControl(win->WindowParent());
        return outer && outer->Showing();
    }
    return peer_ != nullptr && dynamic_cast<const TCustomForm*>(this) != nullptr;
}

void TControl::SetEnabled(bool value)
{
    if (enabled_ == value)
        return;
    enabled_ = value;
    EnabledChanged();
}

void TControl::SetText(const AnsiString& value)
{
    if (text_ == value)
        return;
    text_ = value;
    TextChanged();
}

void TControl::SetHint(const AnsiString& value)
{
    if (hint_ == value)
        return;
    hint_ = value;
    UpdatePeer(paHint);
}

void TControl::SetShowHint(bool value)
{
    if (showHint_ == value)
        return;
    showHint_ = value;
    UpdatePeer(paHint);
}

void TControl::SetColor(TColor value)
{
    parentColor_ = false;
    if (color_ == value)
        return;
    color_ = value;
    ColorChanged();
}

void TControl::SetParentColor(bool value)
{
    if (parentColor_ == value)
        return;
    parentColor_ = value;
    ParentColorChanged();
}

void TControl::ParentColorChanged()
{
    if (parentColor_ && parent_ && color_ != parent_->color_) {
        color_ = parent_->color_;
        ColorChanged();
    }
}

void TControl::ColorChanged()
{
    UpdatePeer(paColor);
}

void TControl::SetParentFont(bool value)
{
    if (parentFont_ == value)
        return;
    parentFont_ = value;
    ParentFontChanged();
}

void TControl::ParentFontChanged()
{
    if (!parentFont_ || !parent_)
        return;
    followingParentFont_ = true;
    try {
        font_->Assign(parent_->Font());
    } catch (...) {
        followingParentFont_ = false;
        throw;
    }
    followingParentFont_ = false;
}

void TControl::FontChanged()
{
    UpdatePeer(paFont);
}

void TControl::SetCursor(TCursor value)
{
    if (cursor_ == value)
        return;
    cursor_ = value;
    UpdatePeer(paCursor);
}

void TControl::SetPopupMenu(TComponent* value)
{
    if (value && !dynamic_cast<IMenuLink*>(value))
        throw EInvalidOperation(value->Name() + " (" + value->ClassName() + ") is not a popup menu");
    popupMenu_ = value;
}

void TControl::Notification(TComponent* component, TOperation operation)
{
    inherited::Notification(component, operation);
}

void TControl::Click()
{
    if (OnClick)
        OnClick(this);
}

void TControl::DblClick()
{
    if (OnDblClick)
        OnDblClick(this);
}

void TControl::Invalidate()
{
    UpdatePeer(paRepaint);
}

void TControl::BringToFront()
{
    if (parent_) {
        auto& list = parent_->controls_;
        list.erase(std::find(list.begin(), list.end(), this));
        list.push_back(this);
        if (align_ != alNone)
            parent_->Realign();
    }
    UpdatePeer(paZOrder);
    test::detail::BroughtToFront(*this);
}

void TControl::SendToBack()
{
    if (!parent_)
        return;
    auto& list = parent_->controls_;
    list.erase(std::find(list.begin(), list.end(), this));
    list.insert(list.begin(), this);
    if (align_ != alNone)
        parent_->Realign();
    UpdatePeer(paZOrder);
}

void TControl::Resize()
{
    if (IsLoading() || IsDestroying())
        return;
    if (OnResize)
        OnResize(this);
}

void TControl::Loaded()
{
    inherited::Loaded();
    UpdateAnchorRules();
}

void TControl::UpdatePeer(int aspect)
{
    if (peer_)
        peer_->Update(aspect);
}

void TControl::EnsurePeer()
{
    if (peer_ || IsDestroying())
        return;
    if (!parent_)
        throw EInvalidOperation("Control '" + Name() + "' has no parent window");
    parent_->EnsurePeer();
    if (peer_)
        return;  // the parent made its children's widgets
    std::unique_ptr<TWidgetPeer> peer = CreatePeer();
    peer_ = std::move(peer);
    peer_->Replay();
    peer_->Update(paVisible);
}

void TControl::DestroyPeer()
{
    peer_.reset();
}

void TControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y)
{
    if (OnMouseDown)
        OnMouseDown(this, button, shift, x, y);
}

void TControl::MouseUp(TMouseButton button, TShiftState shift, int x, int y)
{
    if (OnMouseUp)
        OnMouseUp(this, button, shift, x, y);
}

void TControl::MouseMove(TShiftState shift, int x, int y)
{
    if (OnMouseMove)
        OnMouseMove(this, shift, x, y);
}

bool TControl::DialogKey(uint16_t, TShiftState)
{
    return false;
}

// ---------------------------------------------------------------------------------------------------------
// TWinControl

VCL_IMPLEMENT_CLASS(TWinControl)

void TWinControl::RegisterProperties(TClassDef<TWinControl>& def)
{
    def.Property("TabOrder", &TWinControl::TabOrder, &TWinControl::SetTabOrder, -1);
    def.Property("TabStop", &TWinControl::TabStop, &TWinControl::SetTabStop, false);
    def.Event("OnEnter", &TWinControl::OnEnter);
    def.Event("OnExit", &TWinControl::OnExit);
    def.Event("OnKeyDown", &TWinControl::OnKeyDown);
    def.Event("OnKeyPress", &TWinControl::OnKeyPress);
    def.Event("OnKeyUp", &TWinControl::OnKeyUp);
}

TWinControl::TWinControl(TComponent* owner) : TControl(owner) {}

TWinControl::~TWinControl()
{
    Destroying();
    DestroyChildren();
    DestroyPeer();
}

void TWinControl::DestroyChildren()
{
    while (!controls_.empty()) {
        TControl* child = controls_.back();
        // Owned elsewhere or not: a control goes with its parent, as it always has.
        delete child;
    }
}

TControl* TWinControl::Controls(int index) const
{
    if (index < 0 || index >= ControlCount())
        throw rtl::EListError("List index out of bounds (" + rtl::IntToStr(index) + ")");
    return controls_[static_cast<size_t>(index)];
}

bool TWinControl::ContainsControl(const TControl* control) const
{
    for (const TControl* c = control; c; c = c->parent_) {
        if (c->parent_ == this)
            return true;
    }
    return false;
}

std::vector<TWinControl*> TWinControl::TabList() const
{
    return tabList_;
}

void TWinControl::InsertControl(TControl* control)
{
    controls_.push_back(control);
    if (auto* win = dynamic_cast<TWinControl*>(control))
        tabList_.push_back(win);
    control->parent_ = this;
    if (control->align_ != alNone)
        RealignFor(control);
}

void TWinControl::RemoveControl(TControl* control)
{
    auto it = std::find(controls_.begin(), controls_.end(), control);
    if (it == controls_.end())
        return;
    if (!IsDestroying()) {
        if (TCustomForm* form = GetParentForm(this))
            form->ControlRemoved(control);
    }
    controls_.erase(it);
    auto tab = std::find(tabList_.begin(), tabList_.end(), control);
    if (tab != tabList_.end())
        tabList_.erase(tab);
    control->parent_ = nullptr;
    if (control->align_ != alNone && !IsDestroying())
        Realign();
}

HWND TWinControl::Handle()
{
    if (!handle_)
        EnsurePeer();
    return handle_;
}

TWinControl* TWinControl::FindControl(HWND handle)
{
    return handle ? detail::ControlOfHandle(handle) : nullptr;
}

void TWinControl::EnsurePeer()
{
    if (Peer() || IsDestroying())
        return;
    if (Parent()) {
        Parent()->EnsurePeer();
        if (Peer())
            return;
    } else if (parentWindow_) {
        TWinControl* outer = FindControl(parentWindow_);
        if (!outer)
            throw EInvalidOperation("Control '" + Name() + "' has no parent window");
        outer->EnsurePeer();
    } else if (!dynamic_cast<TCustomForm*>(this)) {
        throw EInvalidOperation("Control '" + Name() + "' has no parent window");
    }
    std::unique_ptr<TWidgetPeer> peer = CreatePeer();
    peer_ = std::move(peer);
    handle_ = detail::AllocateControlHandle(this);
    peer_->Replay();
    for (TControl* child : std::vector<TControl*>(controls_))
        child->EnsurePeer();
    UpdatePeer(paTabOrder);
    UpdatePeer(paVisible);  // last, so a window appears with its children in place
}

void TWinControl::DestroyPeer()
{
    for (auto it = controls_.rbegin(); it != controls_.rend(); ++it)
        (*it)->DestroyPeer();
    TControl::DestroyPeer();
    ReleaseHandle();
}

void TWinControl::ReleaseHandle()
{
    if (handle_) {
        detail::FreeControlHandle(handle_);
        handle_ = nullptr;
    }
}

void TWinControl::RecreateWnd()
{
    if (!HandleAllocated())
        return;
    DestroyPeer();
    EnsurePeer();
}

void TWinControl::SetParentWindow(HWND value)
{
    if (parentWindow_ == value)
        return;
    bool had = HandleAllocated();
    if (had)
        DestroyPeer();
    parentWindow_ = value;
    if (had)
        EnsurePeer();
}

bool TWinControl::CanFocus() const
{
    for (const TControl* c = this; c; c = c->Parent()) {
        if (!c->Visible() || !c->Enabled())
            return false;
    }
    return GetParentForm(this) != nullptr;
}

void TWinControl::SetFocus()
{
    TCustomForm* form = GetParentForm(this);
    if (!form || !CanFocus())
        throw EInvalidOperation("Cannot focus a disabled or invisible window");
    form->SetFocusedControl(this);
    UpdatePeer(paFocus);
}

bool TWinControl::Focused() const
{
    TCustomForm* form = GetParentForm(this);
    if (!form || form->FocusedControl() != this)
        return false;
    TCustomForm* top = TopLevelForm(form);
    return top && top->Active();
}

void TWinControl::FocusReceived()
{
    if (TCustomForm* form = GetParentForm(this); form && form != this)
        form->SetFocusedControl(this);
    test::detail::LogFocus(*this);
}

int TWinControl::TabOrder() const
{
    if (!Parent())
        return -1;
    const auto& list = Parent()->tabList_;
    auto it = std::find(list.begin(), list.end(), this);
    return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

void TWinControl::SetTabOrder(int value)
{
    if (!Parent() || value < 0)
        return;
    auto& list = Parent()->tabList_;
    auto it = std::find(list.begin(), list.end(), this);
    if (it == list.end())
        return;
    list.erase(it);
    size_t position = std::min(static_cast<size_t>(value), list.size());
    list.insert(list.begin() + static_cast<std::ptrdiff_t>(position), this);
    Parent()->UpdatePeer(paTabOrder);
}

void TWinControl::SetTabStop(bool value)
{
    if (tabStop_ == value)
        return;
    tabStop_ = value;
    UpdatePeer(paTabOrder);
}

void TWinControl::WndProc(TMessage& message)
{
    DefaultHandler(message);
}

void TWinControl::DefaultHandler(TMessage&) {}

uint16_t TWinControl::HandleKeyDown(uint16_t key, TShiftState shift)
{
    if (IsDestroying() || key == 0)
        return key;
    TCustomForm* form = GetParentForm(this);
    // Menu shortcuts first: popup menus up the parent chain, then the form's main menu.
    for (TControl* c = this; c; c = c->Parent()) {
        if (auto* menu = dynamic_cast<IMenuLink*>(c->PopupMenu()); menu && menu->IsShortCut(key, shift))
            return 0;
    }
    if (form) {
        if (auto* menu = dynamic_cast<IMenuLink*>(form->Menu()); menu && menu->IsShortCut(key, shift))
            return 0;
    }
    // Return and Escape go to the default and cancel buttons unless the control wants them.
    if (form && IsDialogKey(key) && !WantsKey(key, shift) && BroadcastDialogKey(*form, key, shift))
        return 0;
    if (form && IsAcceleratorKey(key, shift) && BroadcastDialogKey(*form, key, shift))
        return 0;
    if (form && form != this && form->KeyPreview()) {
        form->KeyDown(key, shift);
        if (key == 0)
            return 0;
    }
    KeyDown(key, shift);
    if (key == VK_F1 && shift.Empty()) {
        for (TControl* c = this; c; c = c->Parent()) {
            if (c->HelpContext() != 0) {
                Application->HelpContext(c->HelpContext());
                return 0;
            }
        }
    }
    return key;
}

uint16_t TWinControl::HandleKeyUp(uint16_t key, TShiftState shift)
{
    if (IsDestroying() || key == 0)
        return key;
    TCustomForm* form = GetParentForm(this);
    if (form && form != this && form->KeyPreview()) {
        form->KeyUp(key, shift);
        if (key == 0)
            return 0;
    }
    KeyUp(key, shift);
    return key;
}

char TWinControl::HandleKeyPress(char key)
{
    if (IsDestroying() || key == 0)
        return key;
    TCustomForm* form = GetParentForm(this);
    if (form && form != this && form->KeyPreview()) {
        form->KeyPress(key);
        if (key == 0)
            return 0;
    }
    KeyPress(key);
    return key;
}

bool TWinControl::WantsKey(uint16_t, TShiftState) const
{
    return false;
}

void TWinControl::KeyDown(uint16_t& key, TShiftState shift)
{
    if (OnKeyDown)
        OnKeyDown(this, key, shift);
}

void TWinControl::KeyUp(uint16_t& key, TShiftState shift)
{
    if (OnKeyUp)
        OnKeyUp(this, key, shift);
}

void TWinControl::KeyPress(char& key)
{
    if (OnKeyPress)
        OnKeyPress(this, key);
}

void TWinControl::DoEnter()
{
    if (OnEnter)
        OnEnter(this);
}

void TWinControl::DoExit()
{
    if (OnExit)
        OnExit(this);
}

void TWinControl::CreateParams(TCreateParams& params)
{
    params.Caption = Text();
    params.Style = WS_CHILD | WS_CLIPSIBLINGS;
    if (tabStop_)
        params.Style |= WS_TABSTOP;
    if (Visible())
        params.Style |= WS_VISIBLE;
    if (!Enabled())
        params.Style |= WS_DISABLED;
    params.X = Left();
    params.Y = Top();
    params.Width = Width();
    params.Height = Height();
    params.WndParent = Parent() && Parent()->HandleAllocated() ? Parent()->handle_ : parentWindow_;
}

void TWinControl::SetBounds(int left, int top, int width, int height)
{
    int oldClientWidth = ClientWidth(), oldClientHeight = ClientHeight();
    TControl::SetBounds(left, top, width, height);
    if (ClientWidth() != oldClientWidth || ClientHeight() != oldClientHeight) {
        ApplyAnchors(oldClientWidth, oldClientHeight);
        Realign();
    }
}

void TWinControl::SetBorderWidth(int value)
{
    if (borderWidth_ == value)
        return;
    borderWidth_ = std::max(value, 0);
    Realign();
}

TRect TWinControl::AlignRect() const
{
    TRect r = ClientRect();
    r.Left += borderWidth_;
    r.Top += borderWidth_;
    r.Right -= borderWidth_;
    r.Bottom -= borderWidth_;
    return r;
}

void TWinControl::Realign()
{
    RealignFor(nullptr);
}

void TWinControl::RealignFor(TControl* trigger)
{
    if (alignDisabled_ > 0 || aligning_ || IsLoading() || IsDestroying())
        return;
    AlignControls(trigger);
}

void TWinControl::EnableAlign()
{
    if (alignDisabled_ > 0 && --alignDisabled_ == 0)
        Realign();
}

void TWinControl::AlignControls(TControl* trigger)
{
    aligning_ = true;
    try {
        TRect r = AlignRect();
        for (TAlign kind : {alTop, alBottom, alLeft, alRight, alClient}) {
            std::vector<TControl*> aligned;
            for (TControl* c : controls_) {
                if (c->align_ == kind && c->visible_)
                    aligned.push_back(c);
            }
            // The classic order within one side: by position towards that side; among equals the control
            // that moved comes first, then z-order.
            auto key = [kind](const TControl* c) {
                switch (kind) {
                case alTop: return c->top_;
                case alBottom: return -(c->top_ + c->height_);
                case alLeft: return c->left_;
                case alRight: return -(c->left_ + c->width_);
                default: return 0;
                }
            };
            std::stable_sort(aligned.begin(), aligned.end(), [&](const TControl* a, const TControl* b) {
                int ka = key(a), kb = key(b);
                if (ka != kb)
                    return ka < kb;
                return a == trigger && b != trigger;
            });
            for (TControl* c : aligned) {
                int width = std::max(r.Width(), 0), height = std::max(r.Height(), 0);
                switch (kind) {
                case alTop:
                    c->SetBounds(r.Left, r.Top, width, c->height_);
                    r.Top += c->height_;
                    break;
                case alBottom:
                    c->SetBounds(r.Left, r.Bottom - c->height_, width, c->height_);
                    r.Bottom -= c->height_;
                    break;
                case alLeft:
                    c->SetBounds(r.Left, r.Top, c->width_, height);
                    r.Left += c->width_;
                    break;
                case alRight:
                    c->SetBounds(r.Right - c->width_, r.Top, c->width_, height);
                    r.Right -= c->width_;
                    break;
                default:
                    c->SetBounds(r.Left, r.Top, width, height);
                    break;
                }
            }
        }
    } catch (...) {
        aligning_ = false;
        throw;
    }
    aligning_ = false;
}

void TWinControl::ApplyAnchors(int oldClientWidth, int oldClientHeight)
{
    if (IsLoading() || oldClientWidth < 0)
        return;
    int dx = ClientWidth() - oldClientWidth;
    int dy = ClientHeight() - oldClientHeight;
    if (dx == 0 && dy == 0)
        return;
    for (TControl* c : std::vector<TControl*>(controls_)) {
        if (c->align_ != alNone || c->IsLoading())
            continue;
        TAnchors a = c->anchors_;
        int left = c->left_, top = c->top_, width = c->width_, height = c->height_;
        if (a.Contains(akRight)) {
            if (a.Contains(akLeft))
                width += dx;
            else
                left += dx;
        }
        if (a.Contains(akBottom)) {
            if (a.Contains(akTop))
                height += dy;
            else
                top += dy;
        }
        c->SetBounds(left, top, width, height);
    }
}

void TWinControl::VisibleChanged()
{
    TControl::VisibleChanged();
}

void TWinControl::FontChanged()
{
    TControl::FontChanged();
    for (TControl* c : std::vector<TControl*>(controls_))
        c->ParentFontChanged();
}

void TWinControl::ColorChanged()
{
    TControl::ColorChanged();
    for (TControl* c : std::vector<TControl*>(controls_))
        c->ParentColorChanged();
}

void TWinControl::Loaded()
{
    TControl::Loaded();
    Realign();
}

// ---------------------------------------------------------------------------------------------------------

VCL_IMPLEMENT_CLASS_NOPROPS(TCustomControl)

TCustomControl::TCustomControl(TComponent* owner) : TWinControl(owner) {}

VCL_IMPLEMENT_CLASS_NOPROPS(TGraphicControl)

TGraphicControl::TGraphicControl(TComponent* owner) : TControl(owner) {}

TCustomForm* GetParentForm(const TControl* control)
{
    const TControl* top = control;
    while (top && top->Parent())
        top = top->Parent();
    return const_cast<TCustomForm*>(dynamic_cast<const TCustomForm*>(top));
}

void RegisterControlClasses()
{
    static bool registered = false;
    if (registered)
        return;
    registered = true;
    RegisterCoreClasses();
    RegisterGraphicsClasses();
    RegisterMessageClasses();
    RegisterClasses({&TControl::StaticClass(), &TWinControl::StaticClass(), &TCustomControl::StaticClass(),
                     &TGraphicControl::StaticClass()});
    RegisterFormClasses();
    RegisterDialogClasses();
}

}  // namespace vcl
