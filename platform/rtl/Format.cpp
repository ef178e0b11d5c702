// Number-to-text conversions and Format. Format texts can come from translations, so every placeholder
// is checked against its argument and nothing here hands a user text to printf.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>

#include "platform/rtl/SysUtils.h"

namespace rtl {

namespace {

// value = 0.digits * 10^exponent; digits has no leading or trailing zeros and is empty for zero.
struct Decimal {
    AnsiString digits;
    int exponent = 0;
    bool negative = false;
};

Decimal ToDecimal(double value)
{
    Decimal d;
    d.negative = std::signbit(value);
    if (value == 0)
        return d;
    // 17 significant digits identify a double exactly; the rounding below works on these.
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value), std::chars_format::scientific, 16);
    AnsiString text(buffer, result.ptr);
    size_t e = text.find('e');
    for (size_t i = 0; i < e; ++i)
        if (text[i] != '.')
            d.digits.push_back(text[i]);
    int exponent = 0;
    std::from_chars(text.data() + e + 1 + (text[e + 1] == '+' ? 1 : 0), text.data() + text.size(), exponent);
    d.exponent = exponent + 1;
    while (!d.digits.empty() && d.digits.back() == '0')
        d.digits.pop_back();
    return d;
}

// Keeps the first `keep` digits, rounding half away from zero.
void RoundAt(Decimal& d, int keep)
{
    if (keep >= static_cast<int>(d.digits.size()))
        return;
    if (keep < 0) {
        d.digits.clear();
        return;
    }
    bool up = d.digits[static_cast<size_t>(keep)] >= '5';
    d.digits.resize(static_cast<size_t>(keep));
    if (up) {
        while (!d.digits.empty() && d.digits.back() == '9')
            d.digits.pop_back();
        if (d.digits.empty()) {
            // A carry out of the first digit: 0.99 -> 1.0, one more integer digit.
            d.digits = "1";
            ++d.exponent;
        } else {
            d.digits.back() = static_cast<char>(d.digits.back() + 1);
        }
    }
    while (!d.digits.empty() && d.digits.back() == '0')
        d.digits.pop_back();
}

char DigitAt(const Decimal& d, int index)
{
    return index >= 0 && index < static_cast<int>(d.digits.size()) ? d.digits[static_cast<size_t>(index)] : '0';
}

AnsiString Sign(const Decimal& d) { return d.negative && !d.digits.empty() ? "-" : ""; }

AnsiString ExponentText(int exponent, int minDigits, bool forceSign)
{
    AnsiString digits = std::to_string(exponent < 0 ? -exponent : exponent);
    if (static_cast<int>(digits.size()) < minDigits)
        digits.insert(0, static_cast<size_t>(minDigits) - digits.size(), '0');
    AnsiString sign = exponent < 0 ? "-" : (forceSign ? "+" : "");
    return "E" + sign + digits;
}

// `decimals` digits after the point, optionally with thousands separated by ",".
AnsiString FixedText(Decimal d, int decimals, bool thousands)
{
    RoundAt(d, d.exponent + decimals);
    AnsiString integer;
    if (d.digits.empty() || d.exponent <= 0) {
        integer = "0";
    } else {
        for (int i = 0; i < d.exponent; ++i)
            integer.push_back(DigitAt(d, i));
    }
    if (thousands) {
        AnsiString grouped;
        int n = static_cast<int>(integer.size());
        for (int i = 0; i < n; ++i) {
            if (i > 0 && (n - i) % 3 == 0)
                grouped.push_back(',');
            grouped.push_back(integer[static_cast<size_t>(i)]);
        }
        integer = grouped;
    }
    AnsiString result = Sign(d) + integer;
    if (decimals > 0) {
        result.push_back('.');
        for (int j = 0; j < decimals; ++j)
            result.push_back(d.digits.empty() ? '0' : DigitAt(d, d.exponent + j));
    }
    return result;
}

AnsiString ExponentForm(Decimal d, int precision, int expDigits, bool padMantissa, bool forceSign)
{
    RoundAt(d, precision);
    int exponent = d.digits.empty() ? 0 : d.exponent - 1;
    AnsiString result = Sign(d);
    result.push_back(DigitAt(d, 0));
    int shown = padMantissa ? precision : static_cast<int>(d.digits.size());
    if (shown > 1) {
        result.push_back('.');
        for (int i = 1; i < shown; ++i)
            result.push_back(DigitAt(d, i));
    }
    return result + ExponentText(exponent, expDigits, forceSign);
}

AnsiString GeneralText(Decimal d, int precision, int expDigits)
{
    RoundAt(d, precision);
    if (d.digits.empty())
        return "0";
    if (d.exponent > precision || d.exponent < -4)
        return ExponentForm(d, precision, expDigits, false, false);
    int decimals = std::max(0, static_cast<int>(d.digits.size()) - d.exponent);
    return FixedText(d, decimals, false);
}

AnsiString SpecialText(double value)
{
    if (std::isnan(value))
        return "NAN";
    return value < 0 ? "-INF" : "INF";
}

}  // namespace

AnsiString FloatToStrF(double value, TFloatFormat format, int precision, int digits)
{
    if (!std::isfinite(value))
        return SpecialText(value);
    precision = std::clamp(precision, 1, 18);
    Decimal d = ToDecimal(value);
    switch (format) {
    case ffGeneral: return GeneralText(d, precision, std::clamp(digits, 0, 4));
    case ffExponent: return ExponentForm(d, precision, std::clamp(digits, 0, 4), true, true);
    case ffFixed:
    case ffNumber:
        // Too many integer digits for the precision: the exponent form says it better.
        if (!d.digits.empty() && d.exponent > precision)
            return ExponentForm(d, precision, 3, true, true);
        return FixedText(d, std::clamp(digits, 0, 18), format == ffNumber);
    }
    return AnsiString();
}

AnsiString FloatToStr(double value) { return FloatToStrF(value, ffGeneral, 15, 0); }

TFormatArg::TFormatArg(const TFormatArg& other)
    : kind_(other.kind_), char_(other.char_), string_(other.string_), bits_(other.bits_), signed_(other.signed_),
      wide_(other.wide_), float_(other.float_)
{
    // A character argument points at its own copy.
    if (kind_ == Kind::String && other.string_.data() == &other.char_)
        string_ = std::string_view(&char_, 1);
}

namespace {

// Widths and precisions beyond this come from broken data, not from a real layout.
constexpr int MaxFieldSize = 1 << 16;

class Formatter {
public:
    Formatter(std::string_view format, const TFormatArg* args, size_t count)
        : format_(format), args_(args), count_(count)
    {
    }

    AnsiString Run()
    {
        AnsiString result;
        size_t i = 0;
        while (i < format_.size()) {
            size_t percent = format_.find('%', i);
            if (percent == std::string_view::npos) {
                result.append(format_.substr(i));
                break;
            }
            result.append(format_.substr(i, percent - i));
            pos_ = percent + 1;
            result += Placeholder();
            i = pos_;
        }
        return result;
    }

private:
    [[noreturn]] void Invalid() const
    {
        throw EConvertError("Format '" + AnsiString(format_) + "' invalid or incompatible with argument");
    }

    char Peek() const { return pos_ < format_.size() ? format_[pos_] : '\0'; }
    bool AtDigit() const { return Peek() >= '0' && Peek() <= '9'; }

    const TFormatArg& NextArg()
    {
        if (next_ >= count_)
            Invalid();
        return args_[next_++];
    }

    int Digits()
    {
        int n = 0;
        while (AtDigit()) {
            n = n * 10 + (Peek() - '0');
            if (n > MaxFieldSize)
                Invalid();
            ++pos_;
        }
        return n;
    }

    // A width or precision: digits, or "*" taking an integer argument.
    std::optional<int> Field()
    {
        if (Peek() == '*') {
            ++pos_;
            const TFormatArg& arg = NextArg();
            if (arg.ArgKind() != TFormatArg::Kind::Integer)
                Invalid();
            int64_t n = static_cast<int64_t>(arg.Bits());
            if (!arg.IsSigned() && arg.Bits() > static_cast<uint64_t>(MaxFieldSize))
                Invalid();
            if (n > MaxFieldSize || n < -MaxFieldSize)
                Invalid();
            return static_cast<int>(n);
        }
        if (!AtDigit())
            return std::nullopt;
        return Digits();
    }

    AnsiString Placeholder()
    {
        if (Peek() == '%') {
            ++pos_;
            return "%";
        }
        // An argument index "%1:s" chooses the argument; later placeholders go on from there.
        size_t start = pos_;
        if (AtDigit()) {
            int index = Digits();
            if (Peek() == ':') {
                ++pos_;
                next_ = static_cast<size_t>(index);
            } else {
                pos_ = start;
            }
        }
        bool left = false;
        if (Peek() == '-') {
            left = true;
            ++pos_;
        }
        int width = Field().value_or(0);
        if (width < 0) {
            left = true;
            width = -width;
        }
        // "%.s" is precision 0; a negative one from "*" means none.
        int precision = -1;
        if (Peek() == '.') {
            ++pos_;
            precision = std::max(Field().value_or(0), -1);
        }
        char conversion = Peek();
        if (conversion == '\0')
            Invalid();
        ++pos_;
        AnsiString text = Convert(static_cast<char>(conversion | 0x20), precision);
        return Pad(text, width, left);
    }

    static AnsiString Pad(const AnsiString& text, int width, bool left)
    {
        if (width <= static_cast<int>(text.size()))
            return text;
        AnsiString blanks(static_cast<size_t>(width) - text.size(), ' ');
        return left ? text + blanks : blanks + text;
    }

    static AnsiString MinimumDigits(AnsiString digits, int precision)
    {
        bool negative = !digits.empty() && digits[0] == '-';
        size_t count = digits.size() - (negative ? 1 : 0);
        if (precision > static_cast<int>(count))
            digits.insert(negative ? 1 : 0, static_cast<size_t>(precision) - count, '0');
        return digits;
    }

    // The argument's bits as %u and %x see them: 32 of them unless the argument is 64 bits wide.
    static uint64_t UnsignedBits(const TFormatArg& arg)
    {
        return arg.IsWide() ? arg.Bits() : (arg.Bits() & 0xFFFFFFFFull);
    }

    AnsiString Convert(char conversion, int precision)
    {
        switch (conversion) {
        case 'd': {
            const TFormatArg& arg = Integer();
            AnsiString digits = arg.IsSigned() ? std::to_string(static_cast<int64_t>(arg.Bits()))
                                               : std::to_string(arg.Bits());
            return MinimumDigits(digits, precision);
        }
        case 'u': return MinimumDigits(std::to_string(UnsignedBits(Integer())), precision);
        case 'x': return MinimumDigits(IntToHex64(UnsignedBits(Integer()), 0), precision);
        case 's': {
            const TFormatArg& arg = NextArg();
            if (arg.ArgKind() != TFormatArg::Kind::String)
                Invalid();
            std::string_view s = arg.String();
            if (precision >= 0 && static_cast<size_t>(precision) < s.size())
                s = s.substr(0, static_cast<size_t>(precision));
            return AnsiString(s);
        }
        case 'f': return FloatToStrF(Float(), ffFixed, 18, precision < 0 ? 2 : precision);
        case 'n': return FloatToStrF(Float(), ffNumber, 18, precision < 0 ? 2 : precision);
        case 'e': return FloatToStrF(Float(), ffExponent, precision < 0 ? 15 : precision, 3);
        case 'g': return FloatToStrF(Float(), ffGeneral, precision < 0 ? 15 : precision, 0);
        default: Invalid();
        }
    }

    const TFormatArg& Integer()
    {
        const TFormatArg& arg = NextArg();
        if (arg.ArgKind() != TFormatArg::Kind::Integer)
            Invalid();
        return arg;
    }

    double Float()
    {
        const TFormatArg& arg = NextArg();
        if (arg.ArgKind() != TFormatArg::Kind::Float)
            Invalid();
        return arg.Float();
    }

    std::string_view format_;
    const TFormatArg* args_;
    size_t count_;
    size_t pos_ = 0;
    size_t next_ = 0;
};

}  // namespace

AnsiString FormatArgs(std::string_view format, const TFormatArg* args, size_t count)
{
    return Formatter(format, args, count).Run();
}

}  // namespace rtl
