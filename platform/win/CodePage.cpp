#include "platform/win/CodePage.h"

#include "platform/rtl/Encoding.h"
#include "platform/rtl/SysUtils.h"

namespace win {

std::string Utf8FromAnsi(const std::string& text) { return rtl::AnsiToUtf8(text); }

std::string AnsiFromUtf8(const std::string& text)
{
    return rtl::Utf8ToAnsi(text, rtl::TMalformedUtf8::KeepBytes);
}

char AnsiUpperChar(char c) { return rtl::AnsiUpperChar(c); }

std::string AnsiUpperCase(const std::string& text) { return rtl::AnsiUpperCase(text); }

bool SameFileName(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (rtl::AnsiUpperChar(a[i]) != rtl::AnsiUpperChar(b[i]))
            return false;
    return true;
}

}  // namespace win
