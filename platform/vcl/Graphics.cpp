#include "platform/vcl/Graphics.h"

#include <array>
#include <cstdlib>

namespace vcl {

namespace {

// The classic default desktop palette (COLOR_* index -> 0x00BBGGRR).
constexpr std::array<uint32_t, 31> SystemPalette = {
    0x00C8D0D4,  // 0 scroll bar
    0x00A56E3A,  // 1 background
    0x006A240A,  // 2 active caption
    0x00808080,  // 3 inactive caption
    0x00C8D0D4,  // 4 menu
    0x00FFFFFF,  // 5 window
    0x00000000,  // 6 window frame
    0x00000000,  // 7 menu text
    0x00000000,  // 8 window text
    0x00FFFFFF,  // 9 caption text
    0x00C8D0D4,  // 10 active border
    0x00C8D0D4,  // 11 inactive border
    0x00808080,  // 12 application work space
    0x006A240A,  // 13 highlight
    0x00FFFFFF,  // 14 highlight text
    0x00C8D0D4,  // 15 button face
    0x00808080,  // 16 button shadow
    0x00808080,  // 17 grey text
    0x00000000,  // 18 button text
    0x00C8D0D4,  // 19 inactive caption text
    0x00FFFFFF,  // 20 button highlight
    0x00404040,  // 21 3-D dark shadow
    0x00C8D0D4,  // 22 3-D light
    0x00000000,  // 23 info text
    0x00E1FFFF,  // 24 info background
    0x00B5B5B5,  // 25 (unused)
    0x00800000,  // 26 hot light
    0x00F0CAA6,  // 27 gradient active caption
    0x00C0C0C0,  // 28 gradient inactive caption
    0x006A240A,  // 29 menu highlight
    0x00C8D0D4,  // 30 menu bar
};

}  // namespace

uint32_t ColorToRGB(TColor color)
{
    if (IsSystemColor(color)) {
        int index = SystemColorIndex(color);
        if (index >= 0 && index < static_cast<int>(SystemPalette.size()))
            return SystemPalette[static_cast<size_t>(index)];
        return 0;
    }
    if (color == clNone || color == clDefault)
        return 0;
    return static_cast<uint32_t>(color) & 0x00FFFFFFu;
}

// ---------------------------------------------------------------------------------------------------------

VCL_IMPLEMENT_CLASS(TFont)

void TFont::RegisterProperties(TClassDef<TFont>& def)
{
    // A font that is written at all is written whole: a reader starts from the parent's font, not from
    // these defaults.
    def.Property("Charset", &TFont::Charset, &TFont::SetCharset, DEFAULT_CHARSET).Stored(true);
    def.Property("Color", &TFont::Color, &TFont::SetColor, clWindowText).Stored(true);
    def.Property("Height", &TFont::Height, &TFont::SetHeight, -11).Stored(true);
    def.Property("Name", &TFont::Name, &TFont::SetName, AnsiString("MS Sans Serif")).Stored(true);
    def.Property("Pitch", &TFont::Pitch, &TFont::SetPitch, fpDefault);
    def.Property("Size", &TFont::Size, &TFont::SetSize).Stored(false);
    def.Property("Style", &TFont::Style, &TFont::SetStyle, TFontStyles{}).Stored(true);
}

TFont::TFont() = default;
TFont::~TFont() = default;

void TFont::Changed()
{
    if (OnChange)
        OnChange(this);
}

void TFont::SetName(const AnsiString& value)
{
    if (value.empty() || name_ == value)
        return;
    name_ = value;
    Changed();
}

void TFont::SetHeight(int value)
{
    if (height_ == value)
        return;
    height_ = value;
    Changed();
}

int TFont::Size() const
{
    return -MulDiv(height_, 72, ScreenPixelsPerInch);
}

void TFont::SetSize(int value)
{
    SetHeight(-MulDiv(value, ScreenPixelsPerInch, 72));
}

void TFont::SetStyle(TFontStyles value)
{
    if (style_ == value)
        return;
    style_ = value;
    Changed();
}

void TFont::SetColor(TColor value)
{
    if (color_ == value)
        return;
    color_ = value;
    Changed();
}

void TFont::SetCharset(TFontCharset value)
{
    if (charset_ == value)
        return;
    charset_ = value;
    Changed();
}

void TFont::SetPitch(TFontPitch value)
{
    if (pitch_ == value)
        return;
    pitch_ = value;
    Changed();
}

void TFont::SetOrientation(int value)
{
    if (orientation_ == value)
        return;
    orientation_ = value;
    Changed();
}

bool TFont::SameAs(const TFont& other) const
{
    return name_ == other.name_ && height_ == other.height_ && style_ == other.style_ && color_ == other.color_ &&
           charset_ == other.charset_ && pitch_ == other.pitch_ && orientation_ == other.orientation_;
}

void TFont::Assign(const TPersistent* source)
{
    if (const auto* font = dynamic_cast<const TFont*>(source)) {
        if (SameAs(*font))
            return;
        name_ = font->name_;
        height_ = font->height_;
        style_ = font->style_;
        color_ = font->color_;
        charset_ = font->charset_;
        pitch_ = font->pitch_;
        orientation_ = font->orientation_;
        Changed();
        return;
    }
    inherited::Assign(source);
}

// ---------------------------------------------------------------------------------------------------------

VCL_IMPLEMENT_CLASS(TBrush)

void TBrush::RegisterProperties(TClassDef<TBrush>& def)
{
    def.Property("Color", &TBrush::Color, &TBrush::SetColor, clWhite);
    def.Property("Style", &TBrush::Style, &TBrush::SetStyle, bsSolid);
}

void TBrush::Changed()
{
    if (OnChange)
        OnChange(this);
}

void TBrush::SetColor(TColor value)
{
    if (color_ == value)
        return;
    color_ = value;
    // A colour makes a cleared brush solid again, as the classic brush does.
    if (style_ == bsClear)
        style_ = bsSolid;
    Changed();
}

void TBrush::SetStyle(TBrushStyle value)
{
    if (style_ == value)
        return;
    style_ = value;
    Changed();
}

void TBrush::Assign(const TPersistent* source)
{
    if (const auto* brush = dynamic_cast<const TBrush*>(source)) {
        color_ = brush->color_;
        style_ = brush->style_;
        Changed();
        return;
    }
    inherited::Assign(source);
}

VCL_IMPLEMENT_CLASS(TPen)

void TPen::RegisterProperties(TClassDef<TPen>& def)
{
    def.Property("Color", &TPen::Color, &TPen::SetColor, clBlack);
    def.Property("Mode", &TPen::Mode, &TPen::SetMode, pmCopy);
    def.Property("Style", &TPen::Style, &TPen::SetStyle, psSolid);
    def.Property("Width", &TPen::Width, &TPen::SetWidth, 1);
}

void TPen::Changed()
{
    if (OnChange)
        OnChange(this);
}

void TPen::SetColor(TColor value)
{
    if (color_ == value)
        return;
    color_ = value;
    Changed();
}

void TPen::SetWidth(int value)
{
    if (value < 0)
        value = 0;
    if (width_ == value)
        return;
    width_ = value;
    Changed();
}

void TPen::SetStyle(TPenStyle value)
{
    if (style_ == value)
        return;
    style_ = value;
    Changed();
}

void TPen::SetMode(TPenMode value)
{
    if (mode_ == value)
        return;
    mode_ = value;
    Changed();
}

void TPen::Assign(const TPersistent* source)
{
    if (const auto* pen = dynamic_cast<const TPen*>(source)) {
        color_ = pen->color_;
        width_ = pen->width_;
        style_ = pen->style_;
        mode_ = pen->mode_;
        Changed();
        return;
    }
    inherited::Assign(source);
}

void RegisterGraphicsClasses()
{
    RegisterClasses({&TFont::StaticClass(), &TBrush::StaticClass(), &TPen::StaticClass()});
}

}  // namespace vcl
