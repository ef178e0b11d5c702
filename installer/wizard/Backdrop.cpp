#include "installer/wizard/Backdrop.h"

#include <cmath>

#include "platform/vcl/GraphicsCanvas.h"

using vcl::TColor;

namespace {

vcl::TComponentRef<TBackdrop>& MainBackdropRef()
{
    static vcl::TComponentRef<TBackdrop> main;
    return main;
}

vcl::TComponentRef<TRotate3DLabel>& MainLabelRef()
{
    static vcl::TComponentRef<TRotate3DLabel> main;
    return main;
}

// Tag -1 takes the mark from the previous main instance; any other value on the main one drops it.
template <class T>
void SetMainMark(T& self, vcl::TComponentRef<T>& main, int value)
{
    if (value == -1) {
        if (main && main.get() != &self)
            main->vcl::TComponent::SetTag(0);
        main = &self;
    } else if (main.get() == &self) {
        main = nullptr;
    }
    self.vcl::TComponent::SetTag(value);
}

template <class T>
void MarkDesignedMain(T& self, vcl::TComponentRef<T>& main)
{
    if (self.ComponentState().Contains(vcl::csDesigning) && !main)
        SetMainMark(self, main, -1);
}

// Truncation toward zero, as the layout arithmetic is written.
int Tr(double value)
{
    return static_cast<int>(std::trunc(value));
}

}  // namespace

// ---------------------------------------------------------------------------------------------------------

void PaintGradient(vcl::TCanvas& canvas, const vcl::TRect& area, TColor c1, TColor c2, bool horizontalBands,
                   bool mirrored)
{
    const uint32_t rgb1 = vcl::ColorToRGB(c1);
    const uint32_t rgb2 = vcl::ColorToRGB(c2);
    const int r1 = static_cast<int>(rgb1 & 0xFF), g1 = static_cast<int>((rgb1 >> 8) & 0xFF),
              b1 = static_cast<int>((rgb1 >> 16) & 0xFF);
    const int dr = static_cast<int>(rgb2 & 0xFF) - r1;
    const int dg = static_cast<int>((rgb2 >> 8) & 0xFF) - g1;
    const int db = static_cast<int>((rgb2 >> 16) & 0xFF) - b1;
    canvas.Pen()->SetStyle(vcl::psSolid);
    canvas.Pen()->SetMode(vcl::pmCopy);
    canvas.Brush()->SetStyle(vcl::bsSolid);
    const int n = mirrored ? 127 : 255;
    const int size = horizontalBands ? area.Bottom - area.Top : area.Right - area.Left;
    auto fillBand = [&](int from, int to) {
        if (to <= from)
            return;  // a band thinner than a pixel
        if (horizontalBands)
            canvas.FillRect(vcl::Rect(area.Left, area.Top + from, area.Right, area.Top + to));
        else
            canvas.FillRect(vcl::Rect(area.Left + from, area.Top, area.Left + to, area.Bottom));
    };
    for (int i = 0; i <= n; ++i) {
        const uint32_t r = static_cast<uint32_t>(r1 + rtl::MulDiv(i, dr, n)) & 0xFF;
        const uint32_t g = static_cast<uint32_t>(g1 + rtl::MulDiv(i, dg, n)) & 0xFF;
        const uint32_t b = static_cast<uint32_t>(b1 + rtl::MulDiv(i, db, n)) & 0xFF;
        canvas.Brush()->SetColor(static_cast<TColor>(r | (g << 8) | (b << 16)));
        fillBand(rtl::MulDiv(i, size, 256), rtl::MulDiv(i + 1, size, 256));
        if (mirrored)
            fillBand(rtl::MulDiv(255 - i, size, 256), rtl::MulDiv(256 - i, size, 256));
    }
}

VCL_IMPLEMENT_CLASS(TBackdrop)

void TBackdrop::RegisterProperties(vcl::TClassDef<TBackdrop>& def)
{
    using T = TBackdrop;
    def.Property("Align", &vcl::TControl::Align, &vcl::TControl::SetAlign, vcl::alClient);
    def.Property("BorderStyle", &vcl::TCustomPanel::BorderStyle, &vcl::TCustomPanel::SetBorderStyle, vcl::bsNone);
    def.Property("BorderWidth", &vcl::TWinControl::BorderWidth, &vcl::TCustomPanel::SetPanelBorderWidth, 0);
    def.Property("Direction", &T::Direction, &T::SetDirection, bdUp);
    def.Property("EndColor", &T::EndColor, &T::SetEndColor, TColor(0));
    def.Property("Locked", &vcl::TCustomPanel::Locked, &vcl::TCustomPanel::SetLocked, false);
    def.Property("StartColor", &T::StartColor, &T::SetStartColor, TColor(0xFF0000));
    def.Property("Tag", &vcl::TComponent::Tag, &T::SetMainTag, 0);
}

TBackdrop::TBackdrop(vcl::TComponent* owner) : TCustomPanel(owner)
{
    SetAlign(vcl::alClient);
    MarkDesignedMain(*this, MainBackdropRef());
}

TBackdrop::~TBackdrop() = default;

void TBackdrop::SetDirection(TDirection value)
{
    if (direction_ == value)
        return;
    direction_ = value;
    Invalidate();
}

void TBackdrop::SetEndColor(TColor value)
{
    if (endColor_ == value)
        return;
    endColor_ = value;
    Invalidate();
}

void TBackdrop::SetStartColor(TColor value)
{
    if (startColor_ == value)
        return;
    startColor_ = value;
    Invalidate();
}

void TBackdrop::SetMainTag(int value)
{
    SetMainMark(*this, MainBackdropRef(), value);
}

void TBackdrop::Assign(const vcl::TPersistent* source)
{
    if (auto* other = dynamic_cast<const TBackdrop*>(source)) {
        direction_ = other->direction_;
        endColor_ = other->endColor_;
        startColor_ = other->startColor_;
        SetAlign(other->Align());
        Invalidate();
        return;
    }
    TCustomPanel::Assign(source);
}

void TBackdrop::Paint()
{
    struct TLayout {
        bool Horizontal;
        bool StartFirst;
        bool Mirrored;
    };
    static constexpr TLayout Layouts[] = {
        {true, true, false},    // bdUp
        {true, false, false},   // bdDown
        {false, true, false},   // bdLeft
        {false, false, false},  // bdRight
        {true, false, true},    // bdHorzIn
        {true, true, true},     // bdHorzOut
        {false, true, true},    // bdVertIn
        {false, false, true},   // bdVertOut
    };
    const TLayout& layout = Layouts[static_cast<int>(direction_)];
    const TColor c1 = layout.StartFirst ? startColor_ : endColor_;
    const TColor c2 = layout.StartFirst ? endColor_ : startColor_;
    PaintGradient(*Canvas(), vcl::Rect(0, 0, Width(), Height()), c1, c2, layout.Horizontal, layout.Mirrored);
}

TBackdrop* MainBackdrop()
{
    return MainBackdropRef().get();
}

// ---------------------------------------------------------------------------------------------------------

VCL_IMPLEMENT_CLASS(TLabelStyle)

void TLabelStyle::RegisterProperties(vcl::TClassDef<TLabelStyle>& def)
{
    using T = TLabelStyle;
    def.Property("AStyle3D", &T::AStyle3D, &T::SetAStyle3D, A3dRaised);
    def.Property("Angle", &T::Angle, &T::SetAngle, 0);
    def.Property("AHShadeOffSet", &T::AHShadeOffSet, &T::SetAHShadeOffSet, 5);
    def.Property("AShadeRightBottom", &T::AShadeRightBottom, &T::SetAShadeRightBottom, TColor(8421504));
    def.Property("AShadeLeftTop", &T::AShadeLeftTop, &T::SetAShadeLeftTop, TColor(0xFFFFFF));
    def.Property("AShadeLTSet", &T::AShadeLTSet, &T::SetAShadeLTSet, false);
    def.Property("AVShadeOffSet", &T::AVShadeOffSet, &T::SetAVShadeOffSet, -5);
}

void TLabelStyle::Notify()
{
    if (OnChange)
        OnChange(this);
}

void TLabelStyle::SetAStyle3D(T3DEffectShort value)
{
    if (style3D_ == value)
        return;
    style3D_ = value;
    Notify();
}

void TLabelStyle::SetAngle(int value)
{
    if (value < 0 || value >= 360)
        value = 0;
    if (angle_ == value)
        return;
    angle_ = value;
    Notify();
}

void TLabelStyle::SetAHShadeOffSet(int value)
{
    if (hShadeOffset_ == value)
        return;
    hShadeOffset_ = value;
    if (style3D_ == A3dShadowed)
        Notify();
}

void TLabelStyle::SetAVShadeOffSet(int value)
{
    if (vShadeOffset_ == value)
        return;
    vShadeOffset_ = value;
    if (style3D_ == A3dShadowed)
        Notify();
}

void TLabelStyle::SetAShadeRightBottom(TColor value)
{
    if (shadeRightBottom_ == value)
        return;
    shadeRightBottom_ = value;
    Notify();
}

void TLabelStyle::SetAShadeLeftTop(TColor value)
{
    if (shadeLTSet_ || shadeLeftTop_ == value)
        return;
    shadeLeftTop_ = value;
    Notify();
}

void TLabelStyle::SetAShadeLTSet(bool value)
{
    if (shadeLTSet_ != value) {
        shadeLTSet_ = value;
        if (value) {
            savedLeftTop_ = shadeLeftTop_;
            shadeLeftTop_ = vcl::clWhite;
        } else {
            shadeLeftTop_ = savedLeftTop_;
        }
    }
    if (shadeLTSet_ && (style3D_ == A3dResit || style3D_ == A3dRaised) && savedLeftTop_ != vcl::clWhite)
        Notify();
}

void TLabelStyle::Assign(const vcl::TPersistent* source)
{
    if (auto* other = dynamic_cast<const TLabelStyle*>(source)) {
        angle_ = other->angle_;
        style3D_ = other->style3D_;
        shadeRightBottom_ = other->shadeRightBottom_;
        shadeLeftTop_ = other->shadeLeftTop_;
        shadeLTSet_ = other->shadeLTSet_;
        hShadeOffset_ = other->hShadeOffset_;
        vShadeOffset_ = other->vShadeOffset_;
        Notify();
        return;
    }
    TPersistent::Assign(source);
}

// ---------------------------------------------------------------------------------------------------------

VCL_IMPLEMENT_CLASS(TRotate3DLabel)

void TRotate3DLabel::RegisterProperties(vcl::TClassDef<TRotate3DLabel>& def)
{
    using T = TRotate3DLabel;
    using vcl::TControl;
    using vcl::TCustomLabel;
    def.Property("Alignment", &TCustomLabel::Alignment, &TCustomLabel::SetAlignment, vcl::taLeftJustify);
    def.Property("Caption", &TControl::Caption, &TControl::SetCaption, rtl::AnsiString());
    def.Property("DragCursor", &TCustomLabel::DragCursor, &TCustomLabel::SetDragCursor, vcl::crDrag);
    def.Property("DragMode", &TCustomLabel::DragMode, &TCustomLabel::SetDragMode, vcl::dmManual);
    def.Property("FocusControl", &TCustomLabel::FocusControl, &TCustomLabel::SetFocusControl);
    def.Property("LabelStyle", &T::LabelStyle, &T::SetLabelStyle);
    def.Property("MyTransparent", &T::MyTransparent, &T::SetMyTransparent, true);
    def.Property("ParentColor", &TControl::ParentColor, &TControl::SetParentColor, true);
    def.Property("ShowAccelChar", &TCustomLabel::ShowAccelChar, &TCustomLabel::SetShowAccelChar, true);
    def.Property("Tag", &vcl::TComponent::Tag, &T::SetMainTag, 0);
}

TRotate3DLabel::TRotate3DLabel(vcl::TComponent* owner)
    : TCustomLabel(owner), labelStyle_(std::make_unique<TLabelStyle>())
{
    SetTransparent(true);
    SetAutoSize(false);
    Font()->SetName("Arial");
    Font()->SetStyle({vcl::fsBold});
    labelStyle_->OnChange = [this](rtl::TObject*) { Invalidate(); };
    MarkDesignedMain(*this, MainLabelRef());
}

TRotate3DLabel::~TRotate3DLabel()
{
    labelStyle_->OnChange = nullptr;
}

void TRotate3DLabel::SetLabelStyle(const TLabelStyle* value)
{
    labelStyle_->Assign(value);
    Invalidate();
}

void TRotate3DLabel::SetMyTransparent(bool value)
{
    if (myTransparent_ == value)
        return;
    myTransparent_ = value;
    if (!value)
        SetParentColor(false);
    Invalidate();
}

void TRotate3DLabel::SetMainTag(int value)
{
    SetMainMark(*this, MainLabelRef(), value);
}

void TRotate3DLabel::Assign(const vcl::TPersistent* source)
{
    if (auto* other = dynamic_cast<const TRotate3DLabel*>(source)) {
        SetCaption(other->Caption());
        labelStyle_->Assign(other->labelStyle_.get());
        Font()->Assign(other->Font());
        SetAlign(other->Align());
        SetBounds(other->Left(), other->Top(), other->Width(), other->Height());
        SetMyTransparent(other->myTransparent_);
        Invalidate();
        return;
    }
    TCustomLabel::Assign(source);
}

void TRotate3DLabel::Paint()
{
    TLabelStyle& style = *labelStyle_;
    const double radians = style.Angle() * degToRad_;
    cos_ = std::cos(radians);
    sin_ = std::sin(radians);
    const TColor textColor = Font()->Color();
    if (!myTransparent_)
        style.SetStyle3DQuietly(A3dNormal);
    int highlight = 0, shade = 0;
    if (style.AStyle3D() == A3dRaised) {
        highlight = -1;
        shade = 1;
    } else if (style.AStyle3D() == A3dResit) {
        highlight = 1;
        shade = -1;
    }

    vcl::TCanvas& canvas = *Canvas();
    canvas.SetFont(Font());
    canvas.Brush()->SetStyle(vcl::bsClear);
    const rtl::AnsiString text = Caption();
    const int w = canvas.TextWidth(text);
    const int h = canvas.TextHeight(text);
    const int cx = Width() / 2;
    const int cy = Height() / 2;
    int x = 0;
    if (Alignment() == vcl::taRightJustify)
        x = Width() - w;
    else if (Alignment() == vcl::taCenter)
        x = cx - Tr(w / 2.0 * cos_) - Tr(h / 2.0 * sin_);
    const int y = cy + Tr(w / 2.0 * sin_) - Tr(h / 2.0 * cos_);
    textOrigin_ = {x, y};

    if (!myTransparent_) {
        const double hw = (w + 10) / 2.0;
        const double hh = (h + 7) / 2.0;
        canvas.Brush()->SetStyle(vcl::bsSolid);
        canvas.Brush()->SetColor(Color());
        canvas.Pen()->SetColor(Color());
        canvas.Polygon({{cx - Tr(hw * cos_) - Tr(hh * sin_), cy + Tr(hw * sin_) - Tr(hh * cos_)},
                        {cx + Tr(hw * cos_) - Tr(hh * sin_), cy - Tr(hw * sin_) - Tr(hh * cos_)},
                        {cx + Tr(hw * cos_) + Tr(hh * sin_), cy - Tr(hw * sin_) + Tr(hh * cos_)},
                        {cx - Tr(hw * cos_) + Tr(hh * sin_), cy + Tr(hw * sin_) + Tr(hh * cos_)}});
        canvas.Brush()->SetStyle(vcl::bsClear);
    }

    // The rotated copy of the font draws every layer; the canvas gets its own font back afterwards.
    vcl::TFont rotated;
    rotated.Assign(Font());
    rotated.SetOrientation(style.Angle() * 10);
    canvas.SetFont(&rotated);
    if (style.AStyle3D() != A3dNormal) {
        if (style.AStyle3D() != A3dShadowed) {
            canvas.Font()->SetColor(style.AShadeLeftTop());
            canvas.TextOut(x + highlight, y + highlight, text);
        }
        canvas.Font()->SetColor(style.AShadeRightBottom());
        if (style.AStyle3D() == A3dShadowed)
            canvas.TextOut(x + style.AHShadeOffSet(), y + style.AVShadeOffSet(), text);
        else
            canvas.TextOut(x + shade, y + shade, text);
    }
    canvas.Font()->SetColor(textColor);
    canvas.TextOut(x, y, text);
    canvas.SetFont(Font());
}

TRotate3DLabel* MainRotate3DLabel()
{
    return MainLabelRef().get();
}

void RegisterBackdropClasses()
{
    vcl::RegisterClasses({&TBackdrop::StaticClass(), &TRotate3DLabel::StaticClass()});
}
