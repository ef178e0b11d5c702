// Panels, bevels, splitters, images and paint boxes: state, behaviour and painting. Their widgets are the
// painted widgets of QtStdCtrls.cpp.
#include "platform/vcl/ExtCtrls.h"

#include <algorithm>

namespace vcl {

using TStoredFn = std::function<bool(const TPersistent&)>;

// ---------------------------------------------------------------------------------------------------------
// TCustomPanel

VCL_IMPLEMENT_CLASS_NOPROPS(TCustomPanel)

VCL_IMPLEMENT_CLASS(TPanel)

void TPanel::RegisterProperties(TClassDef<TPanel>& def)
{
    def.Property("Alignment", &TCustomPanel::Alignment, &TCustomPanel::SetAlignment, taCenter);
    def.Property("BevelInner", &TCustomPanel::BevelInner, &TCustomPanel::SetBevelInner, bvNone);
    def.Property("BevelOuter", &TCustomPanel::BevelOuter, &TCustomPanel::SetBevelOuter, bvRaised);
    def.Property("BevelWidth", &TCustomPanel::BevelWidth, &TCustomPanel::SetBevelWidth, 1);
    def.Property("BorderStyle", &TCustomPanel::BorderStyle, &TCustomPanel::SetBorderStyle, bsNone);
    def.Property("BorderWidth", &TWinControl::BorderWidth, &TCustomPanel::SetPanelBorderWidth, 0);
    def.Property("Caption", &TControl::Caption, &TControl::SetCaption, AnsiString());
    def.Property("FullRepaint", &TCustomPanel::FullRepaint, &TCustomPanel::SetFullRepaint, true);
    def.Property("Locked", &TCustomPanel::Locked, &TCustomPanel::SetLocked, false);
}

TCustomPanel::TCustomPanel(TComponent* owner) : TCustomControl(owner)
{
    SetBounds(0, 0, 185, 41);
}

void TCustomPanel::SetAlignment(TAlignment value)
{
    if (alignment_ == value)
        return;
    alignment_ = value;
    Invalidate();
}

void TCustomPanel::BevelChanged()
{
    Realign();
    Invalidate();
}

void TCustomPanel::SetBevelInner(TPanelBevel value)
{
    if (bevelInner_ == value)
        return;
    bevelInner_ = value;
    BevelChanged();
}

void TCustomPanel::SetBevelOuter(TPanelBevel value)
{
    if (bevelOuter_ == value)
        return;
    bevelOuter_ = value;
    BevelChanged();
}

void TCustomPanel::SetBevelWidth(int value)
{
    value = std::max(value, 1);
    if (bevelWidth_ == value)
        return;
    bevelWidth_ = value;
    BevelChanged();
}

void TCustomPanel::SetPanelBorderWidth(int value)
{
    SetBorderWidth(value);
    Invalidate();
}

void TCustomPanel::SetBorderStyle(TBorderStyle value)
{
    if (borderStyle_ == value)
        return;
    borderStyle_ = value;
    BevelChanged();
}

void TCustomPanel::TextChanged()
{
    Invalidate();
}

TRect TCustomPanel::AlignRect() const
{
    TRect r = TCustomControl::AlignRect();
    int inset = (borderStyle_ == bsSingle ? 1 : 0) + (bevelOuter_ != bvNone ? bevelWidth_ : 0) +
                (bevelInner_ != bvNone ? bevelWidth_ : 0);
    r.Left += inset;
    r.Top += inset;
    r.Right -= inset;
    r.Bottom -= inset;
    return r;
}

void TCustomPanel::Paint()
{
    TCanvas* canvas = Canvas();
    TRect rect = ClientRect();
    auto frame = [&](TPanelBevel bevel) {
        TColor top = bevel == bvLowered ? clBtnShadow : clBtnHighlight;
        TColor bottom = bevel == bvLowered ? clBtnHighlight : clBtnShadow;
        if (bevel == bvSpace)
            top = bottom = Color();
        Frame3D(canvas, rect, top, bottom, bevelWidth_);
    };
    if (borderStyle_ == bsSingle)
        Frame3D(canvas, rect, clWindowFrame, clWindowFrame, 1);
    if (bevelOuter_ != bvNone)
        frame(bevelOuter_);
    if (BorderWidth() > 0)
        Frame3D(canvas, rect, Color(), Color(), BorderWidth());
    if (bevelInner_ != bvNone)
        frame(bevelInner_);
    canvas->Brush()->SetColor(Color());
    canvas->Brush()->SetStyle(bsSolid);
    canvas->FillRect(rect);
    if (Caption().empty())
        return;
    canvas->Brush()->SetStyle(bsClear);
    canvas->Font()->Assign(Font());
    int height = canvas->TextHeight("W");
    rect.Top = (rect.Top + rect.Bottom - height) / 2;
    rect.Bottom = rect.Top + height;
    unsigned align = alignment_ == taCenter ? DT_CENTER : alignment_ == taRightJustify ? DT_RIGHT : DT_LEFT;
    canvas->DrawText(Caption(), rect, DT_EXPANDTABS | DT_VCENTER | DT_SINGLELINE | align);
}

// ---------------------------------------------------------------------------------------------------------
// TBevel

VCL_IMPLEMENT_CLASS(TBevel)

void TBevel::RegisterProperties(TClassDef<TBevel>& def)
{
    def.Property("Shape", &TBevel::Shape, &TBevel::SetShape, bsBox);
    def.Property("Style", &TBevel::Style, &TBevel::SetStyle, bsLowered);
}

TBevel::TBevel(TComponent* owner) : TGraphicControl(owner)
{
    SetBounds(0, 0, 50, 50);
}

void TBevel::SetShape(TBevelShape value)
{
    if (shape_ == value)
        return;
    shape_ = value;
    Invalidate();
}

void TBevel::SetStyle(TBevelStyle value)
{
    if (style_ == value)
        return;
    style_ = value;
    Invalidate();
}

void TBevel::Paint()
{
    TCanvas* canvas = Canvas();
    TColor dark = style_ == bsLowered ? clBtnShadow : clBtnHighlight;
    TColor light = style_ == bsLowered ? clBtnHighlight : clBtnShadow;
    int w = Width(), h = Height();
    auto line = [&](TColor color, int x1, int y1, int x2, int y2) {
        canvas->Pen()->SetColor(color);
        canvas->MoveTo(x1, y1);
        canvas->LineTo(x2, y2);
    };
    auto box = [&](TColor topLeft, TColor bottomRight, TRect r) {
        canvas->Pen()->SetColor(topLeft);
        canvas->Polyline({Point(r.Left, r.Bottom - 1), Point(r.Left, r.Top), Point(r.Right - 1, r.Top)});
        canvas->Pen()->SetColor(bottomRight);
        canvas->Polyline({Point(r.Right - 1, r.Top), Point(r.Right - 1, r.Bottom - 1), Point(r.Left - 1, r.Bottom - 1)});
    };
    canvas->Pen()->SetWidth(1);
    switch (shape_) {
    case bsBox: box(dark, light, Rect(0, 0, w, h)); break;
    case bsFrame:
        box(light, light, Rect(1, 1, w, h));
        box(dark, dark, Rect(0, 0, w - 1, h - 1));
        break;
    case bsTopLine:
        line(dark, 0, 0, w, 0);
        line(light, 0, 1, w, 1);
        break;
    case bsBottomLine:
        line(dark, 0, h - 2, w, h - 2);
        line(light, 0, h - 1, w, h - 1);
        break;
    case bsLeftLine:
        line(dark, 0, 0, 0, h);
        line(light, 1, 0, 1, h);
        break;
    case bsRightLine:
        line(dark, w - 2, 0, w - 2, h);
        line(light, w - 1, 0, w - 1, h);
        break;
    case bsSpacer: break;
    }
}

// ---------------------------------------------------------------------------------------------------------
// TSplitter

VCL_IMPLEMENT_CLASS(TSplitter)

void TSplitter::RegisterProperties(TClassDef<TSplitter>& def)
{
    def.Property("Align", &TControl::Align, &TControl::SetAlign, alLeft);
    def.Property("AutoSnap", &TSplitter::AutoSnap, &TSplitter::SetAutoSnap, true);
    def.Property("Beveled", &TSplitter::Beveled, &TSplitter::SetBeveled, false);
    def.Property("Cursor", &TControl::Cursor, &TControl::SetCursor, crHSplit);
    def.Property("MinSize", &TSplitter::MinSize, &TSplitter::SetMinSize, 30);
    def.Property("ResizeStyle", &TSplitter::ResizeStyle, &TSplitter::SetResizeStyle, rsPattern);
    def.Event("OnCanResize", &TSplitter::OnCanResize);
    def.Event("OnMoved", &TSplitter::OnMoved);
}

TSplitter::TSplitter(TComponent* owner) : TGraphicControl(owner)
{
    SetBounds(0, 0, 3, 100);
    SetAlign(alLeft);
    SetCursor(crHSplit);
}

void TSplitter::SetBounds(int left, int top, int width, int height)
{
    TGraphicControl::SetBounds(left, top, width, height);
    // The cursor follows the direction, unless someone chose another one.
    if (Cursor() == crHSplit || Cursor() == crVSplit)
        SetCursor(Horizontal() ? crHSplit : crVSplit);
}

void TSplitter::SetBeveled(bool value)
{
    if (beveled_ == value)
        return;
    beveled_ = value;
    Invalidate();
}

TControl* TSplitter::FindNeighbour() const
{
    TWinControl* parent = Parent();
    if (!parent)
        return nullptr;
    TPoint p = Point(Left(), Top());
    switch (Align()) {
    case alLeft: p.X -= 1; break;
    case alRight: p.X += Width(); break;
    case alTop: p.Y -= 1; break;
    case alBottom: p.Y += Height(); break;
    default: return nullptr;
    }
    for (int i = 0; i < parent->ControlCount(); ++i) {
        TControl* c = parent->Controls(i);
        if (c == this || !c->Visible() || !c->Enabled() || c->Align() != Align())
            continue;
        TRect r = c->BoundsRect();
        // A closed neighbour still counts at its edge.
        if (r.Width() == 0) {
            if (Align() == alLeft)
                r.Left -= 1;
            else
                r.Right += 1;
        }
        if (r.Height() == 0) {
            if (Align() == alTop)
                r.Top -= 1;
            else
                r.Bottom += 1;
        }
        if (r.Contains(p))
            return c;
    }
    return nullptr;
}

void TSplitter::MouseDown(TMouseButton button, TShiftState shift, int x, int y)
{
    TGraphicControl::MouseDown(button, shift, x, y);
    if (button != mbLeft)
        return;
    TControl* neighbour = FindNeighbour();
    if (!neighbour)
        return;
    dragged_ = neighbour;
    downPos_ = Point(x, y);
    newSize_ = -1;
    // The most the neighbour may take: what the other controls along the same axis leave, less MinSize.
    TWinControl* parent = Parent();
    bool horizontal = Horizontal();
    maxSize_ = (horizontal ? parent->ClientWidth() : parent->ClientHeight()) - minSize_;
    for (int i = 0; i < parent->ControlCount(); ++i) {
        TControl* c = parent->Controls(i);
        if (!c->Visible())
            continue;
        if (horizontal && (c->Align() == alLeft || c->Align() == alRight))
            maxSize_ -= c->Width();
        else if (!horizontal && (c->Align() == alTop || c->Align() == alBottom))
            maxSize_ -= c->Height();
    }
    maxSize_ += horizontal ? neighbour->Width() : neighbour->Height();
}

int TSplitter::NewSizeAt(int x, int y) const
{
    TControl* c = dragged_.get();
    int split = Horizontal() ? x - downPos_.X : y - downPos_.Y;
    int size = 0;
    switch (Align()) {
    case alLeft: size = c->Width() + split; break;
    case alRight: size = c->Width() - split; break;
    case alTop: size = c->Height() + split; break;
    case alBottom: size = c->Height() - split; break;
    default: break;
    }
    if (size < minSize_)
        return autoSnap_ ? 0 : minSize_;
    return std::min(size, std::max(maxSize_, minSize_));
}

void TSplitter::MouseMove(TShiftState shift, int x, int y)
{
    TGraphicControl::MouseMove(shift, x, y);
    if (!dragged_)
        return;
    int size = NewSizeAt(x, y);
    bool accept = true;
    if (OnCanResize)
        OnCanResize(this, size, accept);
    if (!accept)
        return;
    newSize_ = size;
    if (resizeStyle_ == rsUpdate)
        ApplySize(size);
}

void TSplitter::MouseUp(TMouseButton button, TShiftState shift, int x, int y)
{
    TGraphicControl::MouseUp(button, shift, x, y);
    if (!dragged_ || button != mbLeft)
        return;
    MouseMove(shift, x, y);
    if (newSize_ >= 0 && dragged_)
        ApplySize(newSize_);
    dragged_.reset();
    newSize_ = -1;
    if (OnMoved)
        OnMoved(this);
}

void TSplitter::ApplySize(int size)
{
    TControl* c = dragged_.get();
    if (!c)
        return;
    switch (Align()) {
    case alLeft: c->SetWidth(size); break;
    case alTop: c->SetHeight(size); break;
    case alRight: c->SetBounds(c->Left() + c->Width() - size, c->Top(), size, c->Height()); break;
    case alBottom: c->SetBounds(c->Left(), c->Top() + c->Height() - size, c->Width(), size); break;
    default: break;
    }
}

void TSplitter::Paint()
{
    TCanvas* canvas = Canvas();
    TRect r = ClientRect();
    canvas->Brush()->SetColor(Color());
    canvas->Brush()->SetStyle(bsSolid);
    canvas->FillRect(r);
    if (beveled_) {
        if (Horizontal())
            r.Right = std::min(r.Right, r.Left + 3);
        else
            r.Bottom = std::min(r.Bottom, r.Top + 3);
        Frame3D(canvas, r, clBtnHighlight, clBtnShadow, 1);
    }
}

// ---------------------------------------------------------------------------------------------------------
// TImage

VCL_IMPLEMENT_CLASS(TImage)

void TImage::RegisterProperties(TClassDef<TImage>& def)
{
    def.Property("AutoSize", &TImage::AutoSize, &TImage::SetAutoSize, false);
    def.Property("Center", &TImage::Center, &TImage::SetCenter, false);
    def.Property("IncrementalDisplay", &TImage::IncrementalDisplay, &TImage::SetIncrementalDisplay, false);
    def.Property("Picture", &TImage::Picture, nullptr).Stored(TStoredFn([](const TPersistent& p) {
        return !static_cast<const TImage&>(p).Picture()->Empty();
    }));
    def.Property("Proportional", &TImage::Proportional, &TImage::SetProportional, false);
    def.Property("Stretch", &TImage::Stretch, &TImage::SetStretch, false);
    def.Property("Transparent", &TImage::Transparent, &TImage::SetTransparent, false);
}

TImage::TImage(TComponent* owner) : TGraphicControl(owner), picture_(std::make_unique<TPicture>())
{
    SetBounds(0, 0, 105, 105);
    picture_->OnChange = [this](TObject*) { PictureChanged(); };
}

TImage::~TImage()
{
    Destroying();
    DestroyPeer();
    picture_->OnChange = nullptr;
}

void TImage::PictureChanged()
{
    if (TGraphic* graphic = picture_->Graphic()) {
        if (graphic->Transparent() != transparent_ && !dynamic_cast<TIcon*>(graphic))
            graphic->SetTransparent(transparent_);  // comes back here once, then is equal
        if (autoSize_ && !graphic->Empty() && !IsLoading())
            SetBounds(Left(), Top(), graphic->Width(), graphic->Height());
    }
    Invalidate();
}

void TImage::SetStretch(bool value)
{
    if (stretch_ == value)
        return;
    stretch_ = value;
    Invalidate();
}

void TImage::SetCenter(bool value)
{
    if (center_ == value)
        return;
    center_ = value;
    Invalidate();
}

void TImage::SetProportional(bool value)
{
    if (proportional_ == value)
        return;
    proportional_ = value;
    Invalidate();
}

void TImage::SetTransparent(bool value)
{
    if (transparent_ == value)
        return;
    transparent_ = value;
    PictureChanged();
}

void TImage::SetAutoSize(bool value)
{
    if (autoSize_ == value)
        return;
    autoSize_ = value;
    if (autoSize_)
        PictureChanged();
}

TCanvas* TImage::Canvas()
{
    if (!picture_->Graphic()) {
        TBitmap* bitmap = picture_->Bitmap();
        bitmap->SetSize(Width(), Height());
        return bitmap->Canvas();
    }
    auto* bitmap = dynamic_cast<TBitmap*>(picture_->Graphic());
    if (!bitmap)
        throw EInvalidOperation("Can only modify an image if it contains a bitmap");
    return bitmap->Canvas();
}

TRect TImage::DestRect() const
{
    int w = picture_->Width(), h = picture_->Height();
    int cw = ClientWidth(), ch = ClientHeight();
    if (stretch_ || (proportional_ && (w > cw || h > ch))) {
        if (proportional_ && w > 0 && h > 0) {
            // The largest size of the picture's shape that fits.
            if (static_cast<int64_t>(cw) * h > static_cast<int64_t>(ch) * w) {
                int width = static_cast<int>(static_cast<int64_t>(ch) * w / h);
                w = width;
                h = ch;
            } else {
                int height = static_cast<int>(static_cast<int64_t>(cw) * h / w);
                w = cw;
                h = height;
            }
        } else {
            w = cw;
            h = ch;
        }
    }
    TRect r = Rect(0, 0, w, h);
    if (center_) {
        int dx = (cw - w) / 2, dy = (ch - h) / 2;
        r = Rect(dx, dy, dx + w, dy + h);
    }
    return r;
}

void TImage::Paint()
{
    if (picture_->Empty())
        return;
    TCanvas* canvas = TGraphicControl::Canvas();
    canvas->StretchDraw(DestRect(), picture_->Graphic());
}

// ---------------------------------------------------------------------------------------------------------
// TPaintBox

VCL_IMPLEMENT_CLASS(TPaintBox)

void TPaintBox::RegisterProperties(TClassDef<TPaintBox>& def)
{
    def.Property("Color", &TControl::Color, &TControl::SetColor).Stored(TStoredFn([](const TPersistent& p) {
        const auto& c = static_cast<const TControl&>(p);
        return !c.ParentColor() && c.Color() != clBtnFace;
    }));
    def.Property("ParentColor", &TControl::ParentColor, &TControl::SetParentColor, true);
    def.Event("OnPaint", &TPaintBox::OnPaint);
}

TPaintBox::TPaintBox(TComponent* owner) : TGraphicControl(owner)
{
    SetBounds(0, 0, 105, 105);
    SetParentColor(true);
}

void TPaintBox::Paint()
{
    TCanvas* canvas = Canvas();
    canvas->Font()->Assign(Font());
    canvas->Brush()->SetColor(Color());
    if (OnPaint)
        OnPaint(this);
}

}  // namespace vcl
