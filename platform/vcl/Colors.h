#pragma once
// Colours as the classic component library numbers them: 0x00BBGGRR for an RGB value, and 0x80000000 + n
// for the n-th system colour (the Windows COLOR_* index), which the widget side maps onto its palette.
// This file holds the one table of colour identifiers; the form reader and writer, the property code and
// the widget side all use it.
//
//   vcl::TColor c = vcl::clBtnFace;
//   vcl::IsSystemColor(c);              // true, vcl::SystemColorIndex(c) == 15
//   vcl::ColorToString(vcl::clRed);     // "clRed"; an unnamed colour gives "$00BBGGRR"
//   vcl::StringToColor("$00FF8000");    // raises rtl::EConvertError on a malformed text

#include <cstdint>
#include <span>

#include "platform/rtl/SysUtils.h"

namespace vcl {

using rtl::AnsiString;

// A distinct type, so a colour property is recognised as one; converts to int implicitly.
enum TColor : int32_t {};

constexpr TColor RGBColor(uint8_t r, uint8_t g, uint8_t b)
{
    return static_cast<TColor>(static_cast<int32_t>(r | (g << 8) | (b << 16)));
}
constexpr TColor SystemColor(int index)
{
    return static_cast<TColor>(static_cast<int32_t>(0x80000000u | static_cast<uint32_t>(index)));
}

inline constexpr TColor clBlack = RGBColor(0x00, 0x00, 0x00);
inline constexpr TColor clMaroon = RGBColor(0x80, 0x00, 0x00);
inline constexpr TColor clGreen = RGBColor(0x00, 0x80, 0x00);
inline constexpr TColor clOlive = RGBColor(0x80, 0x80, 0x00);
inline constexpr TColor clNavy = RGBColor(0x00, 0x00, 0x80);
inline constexpr TColor clPurple = RGBColor(0x80, 0x00, 0x80);
inline constexpr TColor clTeal = RGBColor(0x00, 0x80, 0x80);
inline constexpr TColor clGray = RGBColor(0x80, 0x80, 0x80);
inline constexpr TColor clSilver = RGBColor(0xC0, 0xC0, 0xC0);
inline constexpr TColor clRed = RGBColor(0xFF, 0x00, 0x00);
inline constexpr TColor clLime = RGBColor(0x00, 0xFF, 0x00);
inline constexpr TColor clYellow = RGBColor(0xFF, 0xFF, 0x00);
inline constexpr TColor clBlue = RGBColor(0x00, 0x00, 0xFF);
inline constexpr TColor clFuchsia = RGBColor(0xFF, 0x00, 0xFF);
inline constexpr TColor clAqua = RGBColor(0x00, 0xFF, 0xFF);
inline constexpr TColor clLtGray = RGBColor(0xC0, 0xC0, 0xC0);
inline constexpr TColor clDkGray = RGBColor(0x80, 0x80, 0x80);
inline constexpr TColor clWhite = RGBColor(0xFF, 0xFF, 0xFF);
inline constexpr TColor clMoneyGreen = RGBColor(0xC0, 0xDC, 0xC0);
inline constexpr TColor clSkyBlue = RGBColor(0xA6, 0xCA, 0xF0);
inline constexpr TColor clCream = RGBColor(0xFF, 0xFB, 0xF0);
inline constexpr TColor clMedGray = RGBColor(0xA0, 0xA0, 0xA4);
inline constexpr TColor clNone = static_cast<TColor>(0x1FFFFFFF);
inline constexpr TColor clDefault = static_cast<TColor>(0x20000000);

inline constexpr TColor clScrollBar = SystemColor(0);
inline constexpr TColor clBackground = SystemColor(1);
inline constexpr TColor clActiveCaption = SystemColor(2);
inline constexpr TColor clInactiveCaption = SystemColor(3);
inline constexpr TColor clMenu = SystemColor(4);
inline constexpr TColor clWindow = SystemColor(5);
inline constexpr TColor clWindowFrame = SystemColor(6);
inline constexpr TColor clMenuText = SystemColor(7);
inline constexpr TColor clWindowText = SystemColor(8);
inline constexpr TColor clCaptionText = SystemColor(9);
inline constexpr TColor clActiveBorder = SystemColor(10);
inline constexpr TColor clInactiveBorder = SystemColor(11);
inline constexpr TColor clAppWorkSpace = SystemColor(12);
inline constexpr TColor clHighlight = SystemColor(13);
inline constexpr TColor clHighlightText = SystemColor(14);
inline constexpr TColor clBtnFace = SystemColor(15);
inline constexpr TColor clBtnShadow = SystemColor(16);
inline constexpr TColor clGrayText = SystemColor(17);
inline constexpr TColor clBtnText = SystemColor(18);
inline constexpr TColor clInactiveCaptionText = SystemColor(19);
inline constexpr TColor clBtnHighlight = SystemColor(20);
inline constexpr TColor cl3DDkShadow = SystemColor(21);
inline constexpr TColor cl3DLight = SystemColor(22);
inline constexpr TColor clInfoText = SystemColor(23);
inline constexpr TColor clInfoBk = SystemColor(24);
inline constexpr TColor clHotLight = SystemColor(26);
inline constexpr TColor clGradientActiveCaption = SystemColor(27);
inline constexpr TColor clGradientInactiveCaption = SystemColor(28);
inline constexpr TColor clMenuHighlight = SystemColor(29);
inline constexpr TColor clMenuBar = SystemColor(30);

struct TColorIdent {
    TColor Value;
    const char* Name;
};

// Every named colour, standard colours first; where two names share a value the first is the one written.
std::span<const TColorIdent> ColorIdents();

inline bool IsSystemColor(TColor color) { return (static_cast<uint32_t>(color) & 0xFF000000u) == 0x80000000u; }
// The COLOR_* index of a system colour, or -1 for any other colour.
inline int SystemColorIndex(TColor color)
{
    return IsSystemColor(color) ? static_cast<int>(static_cast<uint32_t>(color) & 0x00FFFFFFu) : -1;
}

// Case-insensitive look-ups in the table.
bool ColorToIdent(TColor color, AnsiString& ident);
bool IdentToColor(const AnsiString& ident, TColor& color);
// A name from the table, else "$" and eight hexadecimal digits.
AnsiString ColorToString(TColor color);
// A name, a decimal number (also negative) or "$" hexadecimal; anything else raises rtl::EConvertError.
TColor StringToColor(const AnsiString& text);

}  // namespace vcl
