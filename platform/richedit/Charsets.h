#pragma once
// Font character sets, as a font table's \fcharset names them: the code page a run's bytes are in.
// Charset 0 (and 1, the default) is Windows-1252. Tables are carried for the single-byte code pages;
// the others (double-byte Asian pages, symbol fonts) keep their bytes but cannot be converted here.
//
//   unsigned char c;
//   richedit::UnicodeToCharsetChar(161, U'\u03A9', c);    // true, c == 0xD9 (Greek Omega)
//   char32_t u;
//   richedit::CharsetCharToUnicode(161, 0xD9, u);          // true, u == U'\u03A9'

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/rtl/SysUtils.h"

namespace richedit {

inline constexpr uint8_t AnsiCharset = 0;
inline constexpr uint8_t SymbolCharset = 2;

// The character set whose bytes a Windows code page (\cpg, \ansicpg) gives; 0 for one we do not know.
uint8_t CodePageCharset(int codePage);
// Charsets 0 and 1 both read as Windows-1252.
inline bool IsAnsiCharset(uint8_t charset) { return charset <= 1; }

// False when the character set has no table here or the byte is unassigned in it.
bool CharsetCharToUnicode(uint8_t charset, unsigned char c, char32_t& codePoint);
// False when the character set has no table here or holds no such character.
bool UnicodeToCharsetChar(uint8_t charset, char32_t codePoint, unsigned char& c);

// Bytes of `charset` as Windows-1252: what the set cannot say there (or has no table for) becomes "?";
// a symbol font's bytes stay as they are.
rtl::AnsiString CharsetToAnsi(uint8_t charset, std::string_view bytes);
// Bytes of `charset` as UTF-16 for display; bytes without a table read as Windows-1252.
std::u16string CharsetToUtf16(uint8_t charset, std::string_view bytes);

}  // namespace richedit
