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
// What becomes of a byte that is not part of valid UTF-8: '?', or the byte itself taken as 1252 already
// (host file names may be in any encoding, and each must still map to some name).
enum class TMalformedUtf8 { Replace, KeepBytes };

// Characters outside the code page become '?'; malformed UTF-8 as `malformed` says.
AnsiString Utf8ToAnsi(const std::string& s, TMalformedUtf8 malformed = TMalformedUtf8::Replace);
std::u16string AnsiToUtf16(const AnsiString& s);
// Characters outside the code page (surrogate pairs included) become '?'; a lone surrogate too.
AnsiString Utf16ToAnsi(const std::u16string& s);

}  // namespace rtl
