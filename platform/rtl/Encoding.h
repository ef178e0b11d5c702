#pragma once
// Windows-1252 <-> Unicode. Our own table: 0x80-0x9F hold the typographic characters of the code page (not
// the C1 controls of Latin-1), and its five unassigned codes map to U+0081, U+008D, U+008F, U+0090 and
// U+009D, so every byte survives a round trip.

#include <cstdint>
#include <string>

#include "platform/rtl/SysUtils.h"

namespace rtl {

// The Unicode code point of a 1252 byte.
char32_t AnsiCharToUnicode(unsigned char c);
// The 1252 byte of a code point; false when the code page has none.
bool UnicodeToAnsiChar(char32_t codePoint, unsigned char& c);

std::string AnsiToUtf8(const AnsiString& s);
// Characters outside the code page become '?'; so does every malformed UTF-8 sequence.
AnsiString Utf8ToAnsi(const std::string& s);
std::u16string AnsiToUtf16(const AnsiString& s);
// Characters outside the code page (surrogate pairs included) become '?'; a lone surrogate too.
AnsiString Utf16ToAnsi(const std::u16string& s);

}  // namespace rtl
