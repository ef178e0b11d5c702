#pragma once
// The graphics value types that controls, forms and the canvas share: points and rectangles, fonts,
// brushes and pens, and the resolution of colours (system colours included) to RGB. No widget code here.
//
//   vcl::TFont* f = control->Font();
//   f->SetName("Arial");
//   f->SetSize(10);                  // points; Height() is now -13 (pixels at 96 dpi)
//   f->SetStyle({vcl::fsBold});
//   f->OnChange = ...;               // the owning control listens here
//   vcl::ColorToRGB(vcl::clBtnFace); // 0x00C8D0D4, the classic light grey
//
// The canvas, graphics and pictures (TCanvas, TGraphic, TBitmap, TPicture) live in GraphicsCanvas.h.

#include <cstdint>

#include "platform/vcl/Classes.h"
#include "platform/vcl/Colors.h"

namespace vcl {

struct TPoint {
    int X = 0;
    int Y = 0;
    friend bool operator==(const TPoint&, const TPoint&) = default;
};

// Right and Bottom are exclusive, as on Windows.
struct TRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
    int Width() const { return Right - Left; }
    int Height() const { return Bottom - Top; }
    bool Contains(TPoint p) const { return p.X >= Left && p.X < Right && p.Y >= Top && p.Y < Bottom; }
    friend bool operator==(const TRect&, const TRect&) = default;
};

inline TPoint Point(int x, int y) { return TPoint{x, y}; }
inline TRect Rect(int left, int top, int right, int bottom) { return TRect{left, top, right, bottom}; }
inline TRect Bounds(int left, int top, int width, int height) { return TRect{left, top, left + width, top + height}; }

// The screen resolution every size in pixels is reckoned at.
inline constexpr int ScreenPixelsPerInch = 96;

// a * b / c rounded to the nearest integer, halves away from zero; -1 when c is 0 (as Windows' MulDiv).
using rtl::MulDiv;

// The 0x00BBGGRR value of a colour: system colours through the classic default palette, clNone and
// clDefault as black; any other value keeps its low 24 bits.
uint32_t ColorToRGB(TColor color);
inline uint8_t GetRValue(uint32_t rgb) { return static_cast<uint8_t>(rgb & 0xFF); }
inline uint8_t GetGValue(uint32_t rgb) { return static_cast<uint8_t>((rgb >> 8) & 0xFF); }
inline uint8_t GetBValue(uint32_t rgb) { return static_cast<uint8_t>((rgb >> 16) & 0xFF); }

// ---------------------------------------------------------------------------------------------------------
// Fonts

VCL_ENUM(TFontStyle, fsBold, fsItalic, fsUnderline, fsStrikeOut)
using TFontStyles = TSet<TFontStyle>;
VCL_ENUM(TFontPitch, fpDefault, fpVariable, fpFixed)

using TFontCharset = uint8_t;
inline constexpr TFontCharset ANSI_CHARSET = 0;
inline constexpr TFontCharset DEFAULT_CHARSET = 1;
inline constexpr TFontCharset SYMBOL_CHARSET = 2;

// A font description. Height is the truth (pixels; negative: character height without internal leading,
// the usual form); Size is derived at 96 dpi: Height = -Size * 96 / 72 rounded. Every change fires OnChange.
class TFont : public TPersistent {
    VCL_CLASS(TFont, TPersistent)
public:
    TFont();
    ~TFont() override;

    const AnsiString& Name() const { return name_; }
    void SetName(const AnsiString& value);
    int Height() const { return height_; }
    void SetHeight(int value);
    int Size() const;
    void SetSize(int value);
    TFontStyles Style() const { return style_; }
    void SetStyle(TFontStyles value);
    TColor Color() const { return color_; }
    void SetColor(TColor value);
    TFontCharset Charset() const { return charset_; }
    void SetCharset(TFontCharset value);
    TFontPitch Pitch() const { return pitch_; }
    void SetPitch(TFontPitch value);
    // Text angle in tenths of a degree, counter-clockwise (canvas use; not published).
    int Orientation() const { return orientation_; }
    void SetOrientation(int value);

    // Copies name, height, style, colour, charset, pitch and orientation; fires OnChange once.
    void Assign(const TPersistent* source) override;
    bool SameAs(const TFont& other) const;

    TNotifyEvent OnChange;

private:
    void Changed();

    AnsiString name_ = "MS Sans Serif";
    int height_ = -11;
    TFontStyles style_;
    TColor color_ = clWindowText;
    TFontCharset charset_ = DEFAULT_CHARSET;
    TFontPitch pitch_ = fpDefault;
    int orientation_ = 0;
};

// ---------------------------------------------------------------------------------------------------------
// Brushes and pens

VCL_ENUM(TBrushStyle, bsSolid, bsClear, bsHorizontal, bsVertical, bsFDiagonal, bsBDiagonal, bsCross, bsDiagCross)

class TBrush : public TPersistent {
    VCL_CLASS(TBrush, TPersistent)
public:
    TBrush() = default;
    TColor Color() const { return color_; }
    void SetColor(TColor value);
    TBrushStyle Style() const { return style_; }
    void SetStyle(TBrushStyle value);
    void Assign(const TPersistent* source) override;

    TNotifyEvent OnChange;

private:
    void Changed();
    TColor color_ = clWhite;
    TBrushStyle style_ = bsSolid;
};

VCL_ENUM(TPenStyle, psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame)
VCL_ENUM(TPenMode, pmBlack, pmWhite, pmNop, pmNot, pmCopy, pmNotCopy, pmMergePenNot, pmMaskPenNot, pmMergeNotPen,
         pmMaskNotPen, pmMerge, pmNotMerge, pmMask, pmNotMask, pmXor, pmNotXor)

class TPen : public TPersistent {
    VCL_CLASS(TPen, TPersistent)
public:
    TPen() = default;
    TColor Color() const { return color_; }
    void SetColor(TColor value);
    int Width() const { return width_; }
    void SetWidth(int value);
    TPenStyle Style() const { return style_; }
    void SetStyle(TPenStyle value);
    TPenMode Mode() const { return mode_; }
    void SetMode(TPenMode value);
    void Assign(const TPersistent* source) override;

    TNotifyEvent OnChange;

private:
    void Changed();
    TColor color_ = clBlack;
    int width_ = 1;
    TPenStyle style_ = psSolid;
    TPenMode mode_ = pmCopy;
};

// Registers TFont, TBrush and TPen (nested objects need no registration to be read; this is for look-ups
// by name); idempotent.
void RegisterGraphicsClasses();

}  // namespace vcl
