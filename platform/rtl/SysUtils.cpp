#include "platform/rtl/SysUtils.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "platform/rtl/FileSystem.h"

namespace rtl {

// ---------------------------------------------------------------------------------------------------------
// Exceptions

EInOutError::EInOutError(int errorCode) : Exception(InOutErrorText(errorCode)), ErrorCode(errorCode) {}

AnsiString InOutErrorText(int code)
{
    switch (code) {
    case 2: return "File not found";
    case 3: return "Path not found";
    case 4: return "Too many open files";
    case 5: return "File access denied";
    case 100: return "Read beyond end of file";
    case 101: return "Disk full";
    case 103: return "File not open";
    case 106: return "Invalid numeric input";
    default: return "I/O error " + IntToStr(code);
    }
}

AnsiString SysErrorMessage(uint32_t code)
{
    switch (code) {
    case 2: return "The system cannot find the file specified.";
    case 3: return "The system cannot find the path specified.";
    case 5: return "Access is denied.";
    case 32: return "The process cannot access the file because it is being used by another process.";
    case 80: return "The file exists.";
    case 87: return "The parameter is incorrect.";
    case 112: return "There is not enough space on the disk.";
    case 183: return "Cannot create a file when that file already exists.";
    default: return "Error " + IntToStr(code);
    }
}

// ---------------------------------------------------------------------------------------------------------
// Numbers

int HexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

namespace {

// Parses the whole text; `bits` is 32 or 64. Hexadecimal fills the bits as an unsigned number (so that
// "$FFFFFFFF" is -1), decimal must fit the signed range.
bool ParseInteger(const AnsiString& s, int bits, int64_t& result)
{
    size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        negative = s[i] == '-';
        ++i;
    }
    bool hex = false;
    if (i < s.size() && s[i] == '$') {
        hex = true;
        ++i;
    } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
        hex = true;
        i += 2;
    }
    if (i == s.size())
        return false;
    uint64_t value = 0;
    if (hex) {
        const uint64_t limit = bits == 32 ? 0xFFFFFFFFull : std::numeric_limits<uint64_t>::max();
        for (; i < s.size(); ++i) {
            int d = HexDigitValue(s[i]);
            if (d < 0 || value > (limit >> 4))
                return false;
            value = value * 16 + static_cast<uint64_t>(d);
        }
        if (negative)
            value = 0 - value;
        if (bits == 32)
            result = static_cast<int32_t>(static_cast<uint32_t>(value));
        else
            result = static_cast<int64_t>(value);
        return true;
    }
    // The magnitude may reach one more than the largest positive value when negative.
    const uint64_t maxPositive = bits == 32 ? 0x7FFFFFFFull : 0x7FFFFFFFFFFFFFFFull;
    const uint64_t limit = negative ? maxPositive + 1 : maxPositive;
    for (; i < s.size(); ++i) {
        char c = s[i];
        if (c < '0' || c > '9')
            return false;
        uint64_t d = static_cast<uint64_t>(c - '0');
        if (value > (limit - d) / 10)
            return false;
        value = value * 10 + d;
    }
    result = negative ? static_cast<int64_t>(0 - value) : static_cast<int64_t>(value);
    return true;
}

[[noreturn]] void InvalidInteger(const AnsiString& s)
{
    throw EConvertError("'" + s + "' is not a valid integer value");
}

}  // namespace

bool TryStrToInt(const AnsiString& s, int& value)
{
    int64_t v = 0;
    if (!ParseInteger(s, 32, v))
        return false;
    value = static_cast<int>(v);
    return true;
}

int64_t Round(double value)
{
    // nearbyint follows the default rounding mode, which is to nearest with ties to even.
    return static_cast<int64_t>(std::nearbyint(value));
}

int64_t Trunc(double value)
{
    return static_cast<int64_t>(std::trunc(value));
}

int MulDiv(int a, int b, int c)
{
    if (c == 0)
        return -1;
    const int64_t product = static_cast<int64_t>(a) * b;
    int64_t quotient = product / c;
    const int64_t remainder = product % c;
    if (std::llabs(remainder) * 2 >= std::llabs(static_cast<int64_t>(c)))
        quotient += ((product < 0) != (c < 0)) ? -1 : 1;
    if (quotient > std::numeric_limits<int>::max() || quotient < std::numeric_limits<int>::min())
        return -1;
    return static_cast<int>(quotient);
}

int StrToInt(const AnsiString& s)
{
    int value = 0;
    if (!TryStrToInt(s, value))
        InvalidInteger(s);
    return value;
}

int StrToIntDef(const AnsiString& s, int defaultValue)
{
    int value = 0;
    return TryStrToInt(s, value) ? value : defaultValue;
}

bool TryStrToInt64(const AnsiString& s, int64_t& value) { return ParseInteger(s, 64, value); }

int64_t StrToInt64(const AnsiString& s)
{
    int64_t value = 0;
    if (!TryStrToInt64(s, value))
        InvalidInteger(s);
    return value;
}

int64_t StrToInt64Def(const AnsiString& s, int64_t defaultValue)
{
    int64_t value = 0;
    return TryStrToInt64(s, value) ? value : defaultValue;
}

AnsiString IntToHex64(uint64_t bits, int digits)
{
    static const char hexDigits[] = "0123456789ABCDEF";
    AnsiString result;
    do {
        result.push_back(hexDigits[bits & 15]);
        bits >>= 4;
    } while (bits != 0);
    if (digits > 64)
        digits = 64;
    while (static_cast<int>(result.size()) < digits)
        result.push_back('0');
    std::reverse(result.begin(), result.end());
    return result;
}

bool TryStrToFloat(const AnsiString& s, double& value)
{
    AnsiString text = Trim(s);
    if (text.empty())
        return false;
    // from_chars takes no '+' and no leading '.', but both are valid number texts here.
    size_t start = 0;
    bool negative = false;
    if (text[0] == '+' || text[0] == '-') {
        negative = text[0] == '-';
        start = 1;
    }
    AnsiString body = text.substr(start);
    if (body.empty())
        return false;
    auto digit = [&](size_t i) { return i < body.size() && body[i] >= '0' && body[i] <= '9'; };
    if (!digit(0) && !(body[0] == '.' && digit(1)))
        return false;
    if (body[0] == '.')
        body.insert(body.begin(), '0');
    double parsed = 0;
    auto [end, ec] = std::from_chars(body.data(), body.data() + body.size(), parsed, std::chars_format::general);
    if (ec != std::errc() || end != body.data() + body.size())
        return false;
    value = negative ? -parsed : parsed;
    return true;
}

double StrToFloat(const AnsiString& s)
{
    double value = 0;
    if (!TryStrToFloat(s, value))
        throw EConvertError("'" + s + "' is not a valid floating point value");
    return value;
}

double StrToFloatDef(const AnsiString& s, double defaultValue)
{
    double value = 0;
    return TryStrToFloat(s, value) ? value : defaultValue;
}

// ---------------------------------------------------------------------------------------------------------
// Strings

namespace {

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

int CompareBytes(unsigned char a, unsigned char b) { return static_cast<int>(a) - static_cast<int>(b); }

template <typename Fold>
int CompareFolded(const AnsiString& a, const AnsiString& b, Fold fold)
{
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        int d = CompareBytes(static_cast<unsigned char>(fold(a[i])), static_cast<unsigned char>(fold(b[i])));
        if (d != 0)
            return d;
    }
    return static_cast<int>(a.size() > b.size()) - static_cast<int>(a.size() < b.size());
}

}  // namespace

AnsiString Trim(const AnsiString& s)
{
    size_t first = 0;
    size_t last = s.size();
    while (first < last && IsBlank(s[first]))
        ++first;
    while (last > first && IsBlank(s[last - 1]))
        --last;
    return s.substr(first, last - first);
}

AnsiString TrimLeft(const AnsiString& s)
{
    size_t first = 0;
    while (first < s.size() && IsBlank(s[first]))
        ++first;
    return s.substr(first);
}

AnsiString TrimRight(const AnsiString& s)
{
    size_t last = s.size();
    while (last > 0 && IsBlank(s[last - 1]))
        --last;
    return s.substr(0, last);
}

AnsiString UpperCase(const AnsiString& s)
{
    AnsiString result = s;
    std::transform(result.begin(), result.end(), result.begin(), AsciiUpper);
    return result;
}

AnsiString LowerCase(const AnsiString& s)
{
    AnsiString result = s;
    std::transform(result.begin(), result.end(), result.begin(), AsciiLower);
    return result;
}

int CompareText(const AnsiString& a, const AnsiString& b) { return CompareFolded(a, b, AsciiUpper); }

bool SameText(const AnsiString& a, const AnsiString& b)
{
    return a.size() == b.size() && CompareText(a, b) == 0;
}

int CompareStr(const AnsiString& a, const AnsiString& b)
{
    return CompareFolded(a, b, [](char c) { return c; });
}

char AnsiUpperChar(char c)
{
    unsigned char u = static_cast<unsigned char>(c);
    if (u >= 'a' && u <= 'z')
        return static_cast<char>(u - 32);
    if (u >= 0xE0 && u <= 0xFE && u != 0xF7)
        return static_cast<char>(u - 32);
    switch (u) {
    case 0x9A: return static_cast<char>(0x8A);  // s caron
    case 0x9C: return static_cast<char>(0x8C);  // oe
    case 0x9E: return static_cast<char>(0x8E);  // z caron
    case 0xFF: return static_cast<char>(0x9F);  // y diaeresis
    default: return c;
    }
}

char AnsiLowerChar(char c)
{
    unsigned char u = static_cast<unsigned char>(c);
    if (u >= 'A' && u <= 'Z')
        return static_cast<char>(u + 32);
    if (u >= 0xC0 && u <= 0xDE && u != 0xD7)
        return static_cast<char>(u + 32);
    switch (u) {
    case 0x8A: return static_cast<char>(0x9A);
    case 0x8C: return static_cast<char>(0x9C);
    case 0x8E: return static_cast<char>(0x9E);
    case 0x9F: return static_cast<char>(0xFF);
    default: return c;
    }
}

AnsiString AnsiUpperCase(const AnsiString& s)
{
    AnsiString result = s;
    std::transform(result.begin(), result.end(), result.begin(), AnsiUpperChar);
    return result;
}

AnsiString AnsiLowerCase(const AnsiString& s)
{
    AnsiString result = s;
    std::transform(result.begin(), result.end(), result.begin(), AnsiLowerChar);
    return result;
}

int AnsiCompareText(const AnsiString& a, const AnsiString& b) { return CompareFolded(a, b, AnsiUpperChar); }

bool AnsiSameText(const AnsiString& a, const AnsiString& b)
{
    return a.size() == b.size() && AnsiCompareText(a, b) == 0;
}

AnsiString StringReplace(const AnsiString& s, const AnsiString& oldPattern, const AnsiString& newPattern,
                         TReplaceFlags flags)
{
    if (oldPattern.empty())
        return s;
    const bool ignoreCase = (flags & rfIgnoreCase) != 0;
    const bool all = (flags & rfReplaceAll) != 0;
    const AnsiString haystack = ignoreCase ? AnsiUpperCase(s) : s;
    const AnsiString needle = ignoreCase ? AnsiUpperCase(oldPattern) : oldPattern;
    AnsiString result;
    size_t from = 0;
    while (from <= s.size()) {
        size_t found = haystack.find(needle, from);
        if (found == AnsiString::npos)
            break;
        result.append(s, from, found - from);
        result += newPattern;
        from = found + needle.size();
        if (!all)
            break;
    }
    result.append(s, std::min(from, s.size()), AnsiString::npos);
    return result;
}

AnsiString AnsiQuotedStr(const AnsiString& s, char quote)
{
    AnsiString result(1, quote);
    for (char c : s) {
        result.push_back(c);
        if (c == quote)
            result.push_back(quote);
    }
    result.push_back(quote);
    return result;
}

AnsiString QuotedStr(const AnsiString& s) { return AnsiQuotedStr(s, '\''); }

AnsiString AnsiDequotedStr(const AnsiString& s, char quote)
{
    if (s.empty() || s[0] != quote)
        return s;
    AnsiString result;
    size_t i = 1;
    while (i < s.size()) {
        if (s[i] == quote) {
            if (i + 1 < s.size() && s[i + 1] == quote) {
                result.push_back(quote);
                i += 2;
                continue;
            }
            return result;
        }
        result.push_back(s[i++]);
    }
    return result;  // no closing quote: the rest of the text
}

AnsiString Copy(const AnsiString& s, int index, int count)
{
    if (index < 1)
        index = 1;
    if (count <= 0 || static_cast<size_t>(index) > s.size())
        return AnsiString();
    return s.substr(static_cast<size_t>(index) - 1, static_cast<size_t>(count));
}

int Pos(const AnsiString& sub, const AnsiString& s) { return PosEx(sub, s, 1); }

int PosEx(const AnsiString& sub, const AnsiString& s, int offset)
{
    if (sub.empty() || offset < 1 || static_cast<size_t>(offset) > s.size())
        return 0;
    size_t found = s.find(sub, static_cast<size_t>(offset) - 1);
    return found == AnsiString::npos ? 0 : static_cast<int>(found) + 1;
}

void Delete(AnsiString& s, int index, int count)
{
    if (index < 1 || static_cast<size_t>(index) > s.size() || count <= 0)
        return;
    s.erase(static_cast<size_t>(index) - 1, static_cast<size_t>(count));
}

void Insert(const AnsiString& sub, AnsiString& s, int index)
{
    if (index < 1)
        index = 1;
    size_t at = std::min(static_cast<size_t>(index) - 1, s.size());
    s.insert(at, sub);
}

int LastDelimiter(const AnsiString& delimiters, const AnsiString& s)
{
    size_t found = s.find_last_of(delimiters);
    return found == AnsiString::npos ? 0 : static_cast<int>(found) + 1;
}

AnsiString StringOfChar(char c, int count) { return count > 0 ? AnsiString(static_cast<size_t>(count), c) : ""; }

// ---------------------------------------------------------------------------------------------------------
// Path names

AnsiString ExtractFilePath(const AnsiString& fileName)
{
    return Copy(fileName, 1, LastDelimiter("\\:", fileName));
}

AnsiString ExtractFileDir(const AnsiString& fileName)
{
    int i = LastDelimiter("\\:", fileName);
    // "C:\" and "\\" keep their delimiter: without it they would name another place.
    if (i > 1 && fileName[static_cast<size_t>(i) - 1] == '\\' && fileName[static_cast<size_t>(i) - 2] != '\\' &&
        fileName[static_cast<size_t>(i) - 2] != ':')
        --i;
    return Copy(fileName, 1, i);
}

AnsiString ExtractFileName(const AnsiString& fileName)
{
    int i = LastDelimiter("\\:", fileName);
    return fileName.substr(static_cast<size_t>(i));
}

AnsiString ExtractFileExt(const AnsiString& fileName)
{
    int i = LastDelimiter(".\\:", fileName);
    if (i > 0 && fileName[static_cast<size_t>(i) - 1] == '.')
        return fileName.substr(static_cast<size_t>(i) - 1);
    return AnsiString();
}

AnsiString ChangeFileExt(const AnsiString& fileName, const AnsiString& extension)
{
    int i = LastDelimiter(".\\:", fileName);
    if (i == 0 || fileName[static_cast<size_t>(i) - 1] != '.')
        return fileName + extension;
    return fileName.substr(0, static_cast<size_t>(i) - 1) + extension;
}

AnsiString ExtractFileDrive(const AnsiString& fileName)
{
    if (fileName.size() >= 2 && fileName[1] == ':')
        return fileName.substr(0, 2);
    if (fileName.size() >= 2 && fileName[0] == '\\' && fileName[1] == '\\') {
        // \\server\share: up to, not including, the delimiter after the share name.
        size_t separators = 0;
        size_t i = 2;
        while (i < fileName.size()) {
            if (fileName[i] == '\\' && ++separators == 2)
                break;
            ++i;
        }
        return fileName.substr(0, i);
    }
    return AnsiString();
}

bool IsPathDelimiter(const AnsiString& s, int index)
{
    return index >= 1 && static_cast<size_t>(index) <= s.size() && s[static_cast<size_t>(index) - 1] == PathDelim;
}

AnsiString IncludeTrailingPathDelimiter(const AnsiString& s)
{
    return IsPathDelimiter(s, static_cast<int>(s.size())) ? s : s + PathDelim;
}

AnsiString ExcludeTrailingPathDelimiter(const AnsiString& s)
{
    return IsPathDelimiter(s, static_cast<int>(s.size())) ? s.substr(0, s.size() - 1) : s;
}

bool FileExists(const AnsiString& fileName) { return FileSystem().FileExists(fileName); }

bool DirectoryExists(const AnsiString& directory) { return FileSystem().DirectoryExists(directory); }

bool DeleteFile(const AnsiString& fileName)
{
    uint32_t error = 0;
    return FileSystem().DeleteFile(fileName, &error);
}

}  // namespace rtl
