#pragma once
// The runtime library's strings and exceptions. Text is 8-bit: an AnsiString holds Windows-1252 bytes.
// Positions in the substring helpers are 1-based, as in the programs these functions serve.

#include <array>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>
#include <string_view>
#include <type_traits>

namespace rtl {

using AnsiString = std::string;

// The root of the class tree: lists hold TObject pointers, and components derive from it.
class TObject {
public:
    TObject() = default;
    virtual ~TObject() = default;
};

// ---------------------------------------------------------------------------------------------------------
// Exceptions

// Base of every error the programs raise; carries the text a person sees.
class Exception : public std::exception {
public:
    explicit Exception(AnsiString message) : message_(std::move(message)) {}
    ~Exception() override = default;

    const AnsiString& Message() const noexcept { return message_; }
    void SetMessage(AnsiString message) { message_ = std::move(message); }
    const char* what() const noexcept override { return message_.c_str(); }

private:
    AnsiString message_;
};

// The silent exception: it ends an operation without telling anyone.
class EAbort : public Exception {
public:
    EAbort() : Exception("Operation aborted") {}
    explicit EAbort(AnsiString message) : Exception(std::move(message)) {}
};

class EConvertError : public Exception {
public:
    using Exception::Exception;
};

// An input/output failure with the runtime library's error number.
class EInOutError : public Exception {
public:
    EInOutError(AnsiString message, int errorCode) : Exception(std::move(message)), ErrorCode(errorCode) {}
    // The text InOutErrorText gives for the code.
    explicit EInOutError(int errorCode);
    int ErrorCode;
};

// "File not found" (2), "Disk full" (101), ..., otherwise "I/O error %d".
AnsiString InOutErrorText(int code);

class EStreamError : public Exception {
public:
    using Exception::Exception;
};

class EFOpenError : public EStreamError {
public:
    using EStreamError::EStreamError;
};

class EFCreateError : public EStreamError {
public:
    using EStreamError::EStreamError;
};

class EReadError : public EStreamError {
public:
    EReadError() : EStreamError("Stream read error") {}
    using EStreamError::EStreamError;
};

class EWriteError : public EStreamError {
public:
    EWriteError() : EStreamError("Stream write error") {}
    using EStreamError::EStreamError;
};

class EListError : public Exception {
public:
    using Exception::Exception;
};

class EStringListError : public EListError {
public:
    using EListError::EListError;
};

// The text of a Windows error code as the system words it ("Access is denied."), otherwise "Error %d".
AnsiString SysErrorMessage(uint32_t code);

// ---------------------------------------------------------------------------------------------------------
// Numbers

// The value of a hexadecimal digit (either case), or -1.
int HexDigitValue(char c);

// The nearest integer, halves to the even neighbour (2.5 gives 2, 3.5 gives 4, -2.5 gives -2).
int64_t Round(double value);
// The integer part, toward zero.
int64_t Trunc(double value);
// a * b / c in 64 bits, rounded to the nearest integer with halves away from zero; -1 when c is 0 or the
// result does not fit 32 bits (the Windows rounding).
int MulDiv(int a, int b, int c);

// Decimal with an optional sign, or hexadecimal after "$" or "0x"; no blanks. Hexadecimal takes up to 32
// bits, so "$FFFFFFFF" is -1. Raises EConvertError "'%s' is not a valid integer value".
int StrToInt(const AnsiString& s);
int StrToIntDef(const AnsiString& s, int defaultValue);
bool TryStrToInt(const AnsiString& s, int& value);
int64_t StrToInt64(const AnsiString& s);
int64_t StrToInt64Def(const AnsiString& s, int64_t defaultValue);
bool TryStrToInt64(const AnsiString& s, int64_t& value);

template <std::integral T>
    requires(!std::same_as<T, bool>)
AnsiString IntToStr(T value)
{
    if constexpr (std::is_signed_v<T>)
        return std::to_string(static_cast<long long>(value));
    else
        return std::to_string(static_cast<unsigned long long>(value));
}

// Upper-case hexadecimal of the value's bits (32 for types up to 32 bits, else 64), at least `digits` long.
AnsiString IntToHex64(uint64_t bits, int digits);
template <std::integral T>
    requires(!std::same_as<T, bool>)
AnsiString IntToHex(T value, int digits)
{
    if constexpr (sizeof(T) <= 4)
        return IntToHex64(static_cast<uint32_t>(value), digits);
    else
        return IntToHex64(static_cast<uint64_t>(value), digits);
}

// Up to 15 significant digits, scientific ("1E20") only when needed; "." as the decimal separator.
AnsiString FloatToStr(double value);
// ffGeneral: `precision` significant digits, scientific with at least `digits` exponent digits when needed;
// ffExponent: "d.ddddE+ddd" with `precision` digits and at least `digits` exponent digits; ffFixed: `digits`
// decimals; ffNumber: the same with "," between thousands. Halves round away from zero.
enum TFloatFormat { ffGeneral, ffExponent, ffFixed, ffNumber };
AnsiString FloatToStrF(double value, TFloatFormat format, int precision, int digits);
// Blanks around the number are allowed; "." is the decimal separator. Raises EConvertError
// "'%s' is not a valid floating point value".
double StrToFloat(const AnsiString& s);
double StrToFloatDef(const AnsiString& s, double defaultValue);
bool TryStrToFloat(const AnsiString& s, double& value);

// ---------------------------------------------------------------------------------------------------------
// Strings

// Remove the characters up to and including ' ' (control characters too).
AnsiString Trim(const AnsiString& s);
AnsiString TrimLeft(const AnsiString& s);
AnsiString TrimRight(const AnsiString& s);

// Only a-z / A-Z change.
AnsiString UpperCase(const AnsiString& s);
AnsiString LowerCase(const AnsiString& s);
// Negative, 0 or positive; CompareText ignores the case of a-z only, CompareStr compares bytes.
int CompareText(const AnsiString& a, const AnsiString& b);
bool SameText(const AnsiString& a, const AnsiString& b);
int CompareStr(const AnsiString& a, const AnsiString& b);

// The Windows-1252 forms: accented letters change case too ("é" <-> "É", "š" <-> "Š", "ÿ" <-> "Ÿ").
AnsiString AnsiUpperCase(const AnsiString& s);
AnsiString AnsiLowerCase(const AnsiString& s);
int AnsiCompareText(const AnsiString& a, const AnsiString& b);
bool AnsiSameText(const AnsiString& a, const AnsiString& b);
char AnsiUpperChar(char c);
char AnsiLowerChar(char c);

enum TReplaceFlags : unsigned { rfNone = 0, rfReplaceAll = 1, rfIgnoreCase = 2 };
constexpr TReplaceFlags operator|(TReplaceFlags a, TReplaceFlags b)
{
    return static_cast<TReplaceFlags>(static_cast<unsigned>(a) | static_cast<unsigned>(b));
}
// Replaces the first (or every) occurrence of `oldPattern`; an empty pattern changes nothing.
AnsiString StringReplace(const AnsiString& s, const AnsiString& oldPattern, const AnsiString& newPattern,
                         TReplaceFlags flags);

// 'It''s': the text in single quotes, inner quotes doubled.
AnsiString QuotedStr(const AnsiString& s);
AnsiString AnsiQuotedStr(const AnsiString& s, char quote);
// The reverse of AnsiQuotedStr when `s` starts with `quote`; otherwise `s` unchanged.
AnsiString AnsiDequotedStr(const AnsiString& s, char quote);

// `count` characters from 1-based `index`: an index below 1 counts as 1, past the end gives "".
AnsiString Copy(const AnsiString& s, int index, int count);
// 1-based position of the first occurrence, 0 when absent (or when `sub` is empty).
int Pos(const AnsiString& sub, const AnsiString& s);
// The same, starting the search at 1-based `offset`.
int PosEx(const AnsiString& sub, const AnsiString& s, int offset);
// Removes `count` characters from 1-based `index`; an index outside 1..length removes nothing.
void Delete(AnsiString& s, int index, int count);
// Inserts before 1-based `index`; below 1 inserts at the front, past the end appends.
void Insert(const AnsiString& sub, AnsiString& s, int index);
// 1-based position of the last character of `s` that is one of `delimiters`, 0 when none.
int LastDelimiter(const AnsiString& delimiters, const AnsiString& s);
AnsiString StringOfChar(char c, int count);

// ---------------------------------------------------------------------------------------------------------
// Format

// One argument of Format, of a kind its placeholder must match. It refers to (does not copy) a string.
class TFormatArg {
public:
    enum class Kind { String, Integer, Float };

    TFormatArg(const AnsiString& s) : kind_(Kind::String), string_(s) {}
    TFormatArg(std::string_view s) : kind_(Kind::String), string_(s) {}
    TFormatArg(const char* s) : kind_(Kind::String), string_(s ? std::string_view(s) : std::string_view()) {}
    TFormatArg(char c) : kind_(Kind::String), char_(c), string_(&char_, 1) {}
    TFormatArg(bool) = delete;
    template <std::integral T>
        requires(!std::same_as<T, bool> && !std::same_as<T, char>)
    TFormatArg(T value)
        : kind_(Kind::Integer), bits_(static_cast<uint64_t>(value)), signed_(std::is_signed_v<T>),
          wide_(sizeof(T) > 4)
    {
    }
    TFormatArg(double value) : kind_(Kind::Float), float_(value) {}
    TFormatArg(const TFormatArg& other);
    TFormatArg& operator=(const TFormatArg&) = delete;

    Kind ArgKind() const { return kind_; }
    std::string_view String() const { return string_; }
    // The value as the caller gave it (unsigned values above INT64_MAX keep their bits).
    uint64_t Bits() const { return bits_; }
    bool IsSigned() const { return signed_; }
    // 64-bit arguments print their 64 bits in %u and %x; narrower ones their 32 bits.
    bool IsWide() const { return wide_; }
    double Float() const { return float_; }

private:
    Kind kind_;
    char char_ = 0;
    std::string_view string_;
    uint64_t bits_ = 0;
    bool signed_ = false;
    bool wide_ = false;
    double float_ = 0;
};

// Format over an argument list; see Format.
AnsiString FormatArgs(std::string_view format, const TFormatArg* args, size_t count);

// Placeholders: "%" ["-"] [width] ["." precision] conversion, conversion one of s d u x X f e g and "%%".
// Width and precision may be "*" (taken from an integer argument); an index "%1:s" selects the argument.
// %d/%u/%x take integers, %s strings and characters, %f/%e/%g doubles; %x and %X give upper-case digits;
// %f defaults to 2 decimals. The format may come from data: a placeholder without an argument, of the
// wrong kind or unknown raises EConvertError "Format '%s' invalid or incompatible with argument".
// Extra arguments are ignored.
template <typename... Args>
AnsiString Format(std::string_view format, const Args&... args)
{
    const std::array<TFormatArg, sizeof...(Args)> list{TFormatArg(args)...};
    return FormatArgs(format, list.data(), list.size());
}

// ---------------------------------------------------------------------------------------------------------
// Path names: Windows paths, '\' separated, with drive letters or \\server\share.

constexpr char PathDelim = '\\';
constexpr char DriveDelim = ':';

// Up to and including the last '\' or ':'.
AnsiString ExtractFilePath(const AnsiString& fileName);
// The same without the trailing '\', except after a drive root ("C:\") or another delimiter.
AnsiString ExtractFileDir(const AnsiString& fileName);
AnsiString ExtractFileName(const AnsiString& fileName);
// From the last '.' after the last delimiter, with the dot; "" when none.
AnsiString ExtractFileExt(const AnsiString& fileName);
AnsiString ChangeFileExt(const AnsiString& fileName, const AnsiString& extension);
// "C:" or "\\server\share", otherwise "".
AnsiString ExtractFileDrive(const AnsiString& fileName);
// Whether s[index] (1-based) is '\'.
bool IsPathDelimiter(const AnsiString& s, int index);
AnsiString IncludeTrailingPathDelimiter(const AnsiString& s);
AnsiString ExcludeTrailingPathDelimiter(const AnsiString& s);

// Through rtl::FileSystem().
bool FileExists(const AnsiString& fileName);
bool DirectoryExists(const AnsiString& directory);
bool DeleteFile(const AnsiString& fileName);

}  // namespace rtl
