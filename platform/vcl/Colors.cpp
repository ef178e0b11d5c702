#include "platform/vcl/Colors.h"

#include <array>
#include <charconv>
#include <cstdio>

#include "platform/vcl/TypInfo.h"

namespace vcl {

namespace {

constexpr std::array kColorIdents = {
    TColorIdent{clBlack, "clBlack"},
    TColorIdent{clMaroon, "clMaroon"},
    TColorIdent{clGreen, "clGreen"},
    TColorIdent{clOlive, "clOlive"},
    TColorIdent{clNavy, "clNavy"},
    TColorIdent{clPurple, "clPurple"},
    TColorIdent{clTeal, "clTeal"},
    TColorIdent{clGray, "clGray"},
    TColorIdent{clSilver, "clSilver"},
    TColorIdent{clRed, "clRed"},
    TColorIdent{clLime, "clLime"},
    TColorIdent{clYellow, "clYellow"},
    TColorIdent{clBlue, "clBlue"},
    TColorIdent{clFuchsia, "clFuchsia"},
    TColorIdent{clAqua, "clAqua"},
    TColorIdent{clWhite, "clWhite"},
    TColorIdent{clMoneyGreen, "clMoneyGreen"},
    TColorIdent{clSkyBlue, "clSkyBlue"},
    TColorIdent{clCream, "clCream"},
    TColorIdent{clMedGray, "clMedGray"},
    TColorIdent{clLtGray, "clLtGray"},
    TColorIdent{clDkGray, "clDkGray"},
    TColorIdent{clNone, "clNone"},
    TColorIdent{clDefault, "clDefault"},
    TColorIdent{clScrollBar, "clScrollBar"},
    TColorIdent{clBackground, "clBackground"},
    TColorIdent{clActiveCaption, "clActiveCaption"},
    TColorIdent{clInactiveCaption, "clInactiveCaption"},
    TColorIdent{clMenu, "clMenu"},
    TColorIdent{clWindow, "clWindow"},
    TColorIdent{clWindowFrame, "clWindowFrame"},
    TColorIdent{clMenuText, "clMenuText"},
    TColorIdent{clWindowText, "clWindowText"},
    TColorIdent{clCaptionText, "clCaptionText"},
    TColorIdent{clActiveBorder, "clActiveBorder"},
    TColorIdent{clInactiveBorder, "clInactiveBorder"},
    TColorIdent{clAppWorkSpace, "clAppWorkSpace"},
    TColorIdent{clHighlight, "clHighlight"},
    TColorIdent{clHighlightText, "clHighlightText"},
    TColorIdent{clBtnFace, "clBtnFace"},
    TColorIdent{clBtnShadow, "clBtnShadow"},
    TColorIdent{clGrayText, "clGrayText"},
    TColorIdent{clBtnText, "clBtnText"},
    TColorIdent{clInactiveCaptionText, "clInactiveCaptionText"},
    TColorIdent{clBtnHighlight, "clBtnHighlight"},
    TColorIdent{cl3DDkShadow, "cl3DDkShadow"},
    TColorIdent{cl3DLight, "cl3DLight"},
    TColorIdent{clInfoText, "clInfoText"},
    TColorIdent{clInfoBk, "clInfoBk"},
    TColorIdent{clHotLight, "clHotLight"},
    TColorIdent{clGradientActiveCaption, "clGradientActiveCaption"},
    TColorIdent{clGradientInactiveCaption, "clGradientInactiveCaption"},
    TColorIdent{clMenuHighlight, "clMenuHighlight"},
    TColorIdent{clMenuBar, "clMenuBar"},
};

}  // namespace

std::span<const TColorIdent> ColorIdents() { return kColorIdents; }

bool ColorToIdent(TColor color, AnsiString& ident)
{
    for (const TColorIdent& entry : kColorIdents) {
        if (entry.Value == color) {
            ident = entry.Name;
            return true;
        }
    }
    return false;
}

bool IdentToColor(const AnsiString& ident, TColor& color)
{
    for (const TColorIdent& entry : kColorIdents) {
        if (SameIdent(ident, entry.Name)) {
            color = entry.Value;
            return true;
        }
    }
    return false;
}

AnsiString ColorToString(TColor color)
{
    AnsiString ident;
    if (ColorToIdent(color, ident))
        return ident;
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "$%08X", static_cast<unsigned>(static_cast<uint32_t>(color)));
    return buffer;
}

TColor StringToColor(const AnsiString& text)
{
    TColor color;
    if (IdentToColor(text, color))
        return color;
    std::string_view digits = text;
    bool negative = false;
    int base = 10;
    if (!digits.empty() && digits.front() == '-') {
        negative = true;
        digits.remove_prefix(1);
    }
    if (!digits.empty() && digits.front() == '$') {
        base = 16;
        digits.remove_prefix(1);
    }
    uint64_t value = 0;
    auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
    if (digits.empty() || error != std::errc() || end != digits.data() + digits.size() || value > 0xFFFFFFFFull ||
        (negative && value > 0x80000000ull))
        throw rtl::EConvertError("'" + text + "' is not a valid colour");
    int64_t signedValue = negative ? -static_cast<int64_t>(value) : static_cast<int64_t>(value);
    return static_cast<TColor>(static_cast<int32_t>(static_cast<uint32_t>(signedValue)));
}

}  // namespace vcl
