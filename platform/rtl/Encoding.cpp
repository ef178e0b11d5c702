#include "platform/rtl/Encoding.h"

#include <array>

namespace rtl {

namespace {

// 0x80-0x9F; the unassigned codes keep their own value.
constexpr std::array<char16_t, 32> HighBlock = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 0x80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 0x88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 0x90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 0x98
};

void AppendUtf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

unsigned char ToAnsiOrQuestionMark(char32_t cp)
{
    unsigned char c = 0;
    return UnicodeToAnsiChar(cp, c) ? c : static_cast<unsigned char>('?');
}

// Decodes one UTF-8 sequence at s[i]; advances i past it. Malformed input (a stray continuation byte, a
// truncated or overlong sequence, a surrogate, a value past U+10FFFF) gives U+FFFD and skips one byte,
// and clears *valid when given.
char32_t DecodeUtf8(const std::string& s, size_t& i, bool* valid = nullptr)
{
    if (valid)
        *valid = true;
    const auto malformed = [&] {
        if (valid)
            *valid = false;
        ++i;
        return char32_t{0xFFFD};
    };
    unsigned char lead = static_cast<unsigned char>(s[i]);
    if (lead < 0x80) {
        ++i;
        return lead;
    }
    int length = 0;
    char32_t cp = 0;
    char32_t minimum = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2;
        cp = lead & 0x1F;
        minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        cp = lead & 0x0F;
        minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        cp = lead & 0x07;
        minimum = 0x10000;
    } else {
        return malformed();
    }
    if (i + static_cast<size_t>(length) > s.size()) {
        return malformed();
    }
    for (int k = 1; k < length; ++k) {
        unsigned char c = static_cast<unsigned char>(s[i + static_cast<size_t>(k)]);
        if ((c & 0xC0) != 0x80) {
            return malformed();
        }
        cp = (cp << 6) | (c & 0x3F);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        return malformed();
    }
    i += static_cast<size_t>(length);
    return cp;
}

}  // namespace

char32_t AnsiCharToUnicode(unsigned char c)
{
    if (c >= 0x80 && c <= 0x9F)
        return HighBlock[c - 0x80];
    return c;
}

bool UnicodeToAnsiChar(char32_t codePoint, unsigned char& c)
{
    if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF)) {
        c = static_cast<unsigned char>(codePoint);
        return true;
    }
    for (size_t k = 0; k < HighBlock.size(); ++k) {
        if (HighBlock[k] == codePoint) {
            c = static_cast<unsigned char>(0x80 + k);
            return true;
        }
    }
    return false;
}

std::string AnsiToUtf8(const AnsiString& s)
{
    std::string out;
    out.reserve(s.size());
    for (char c : s)
        AppendUtf8(out, AnsiCharToUnicode(static_cast<unsigned char>(c)));
    return out;
}

AnsiString Utf8ToAnsi(const std::string& s, TMalformedUtf8 malformed)
{
    AnsiString out;
    out.reserve(s.size());
    size_t i = 0;
    while (i < s.size()) {
        const size_t start = i;
        bool valid = true;
        const char32_t cp = DecodeUtf8(s, i, &valid);
        if (!valid && malformed == TMalformedUtf8::KeepBytes)
            out.push_back(s[start]);
        else
            out.push_back(static_cast<char>(ToAnsiOrQuestionMark(cp)));
    }
    return out;
}

std::u16string AnsiToUtf16(const AnsiString& s)
{
    std::u16string out;
    out.reserve(s.size());
    for (char c : s)
        out.push_back(static_cast<char16_t>(AnsiCharToUnicode(static_cast<unsigned char>(c))));
    return out;
}

AnsiString Utf16ToAnsi(const std::u16string& s)
{
    AnsiString out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        char16_t u = s[i];
        // A surrogate pair is one character beyond the code page: one '?'.
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF)
            ++i;
        out.push_back(static_cast<char>(ToAnsiOrQuestionMark(u)));
    }
    return out;
}

}  // namespace rtl
