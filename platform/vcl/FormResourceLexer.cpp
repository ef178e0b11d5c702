#include <charconv>
#include <cstdlib>
#include <limits>

#include "platform/vcl/FormResource.h"
#include "platform/vcl/FormResourceTree.h"

namespace vcl::formres {

namespace {

bool IsIdentStart(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsHexDigit(char c) { return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
int HexValue(char c) { return IsDigit(c) ? c - '0' : (c | 0x20) - 'a' + 10; }

AnsiString CharText(char c)
{
    unsigned char u = static_cast<unsigned char>(c);
    if (u >= 32 && u < 127)
        return AnsiString("'") + c + "'";
    return "#" + std::to_string(u);
}

}  // namespace

AnsiString PlaceText(const AnsiString& resourceName, TPos pos)
{
    return resourceName + ":" + std::to_string(pos.Line) + ":" + std::to_string(pos.Column) + ": ";
}

TLexer::TLexer(std::string_view text, const AnsiString& resourceName) : text_(text), resourceName_(resourceName) {}

char TLexer::Peek(size_t ahead) const
{
    return offset_ + ahead < text_.size() ? text_[offset_ + ahead] : '\0';
}

void TLexer::Advance()
{
    if (offset_ >= text_.size())
        return;
    char c = text_[offset_++];
    if (c == '\n' || (c == '\r' && Peek() != '\n')) {
        ++pos_.Line;
        pos_.Column = 1;
    } else if (c != '\r') {
        ++pos_.Column;
    }
}

void TLexer::Fail(TPos pos, const AnsiString& message) const
{
    throw EFormResourceError(PlaceText(resourceName_, pos) + message);
}

void TLexer::SkipBlanks()
{
    while (offset_ < text_.size()) {
        char c = Peek();
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v')
            Advance();
        else
            break;
    }
}

TToken TLexer::Next()
{
    SkipBlanks();
    TToken token;
    token.Pos = pos_;
    if (offset_ >= text_.size())
        return token;
    char c = Peek();
    if (IsIdentStart(c))
        return ReadIdent();
    if (IsDigit(c))
        return ReadNumber();
    if (c == '$')
        return ReadHexNumber();
    if (c == '\'' || c == '#')
        return ReadString();
    if (c == '{')
        return ReadBinary();
    static constexpr std::string_view kSymbols = "=:.,[]()<>+-";
    if (c != '\0' && kSymbols.find(c) != std::string_view::npos) {
        token.Kind = TTokenKind::Symbol;
        token.Text = AnsiString(1, c);
        Advance();
        return token;
    }
    Fail(pos_, "unexpected character " + CharText(c));
}

TToken TLexer::ReadIdent()
{
    TToken token;
    token.Kind = TTokenKind::Ident;
    token.Pos = pos_;
    size_t start = offset_;
    while (IsIdentStart(Peek()) || IsDigit(Peek()))
        Advance();
    token.Text = AnsiString(text_.substr(start, offset_ - start));
    return token;
}

TToken TLexer::ReadNumber()
{
    TToken token;
    token.Pos = pos_;
    size_t start = offset_;
    while (IsDigit(Peek()))
        Advance();
    bool isFloat = false;
    if (Peek() == '.' && IsDigit(Peek(1))) {
        isFloat = true;
        Advance();
        while (IsDigit(Peek()))
            Advance();
    }
    if ((Peek() == 'e' || Peek() == 'E') &&
        (IsDigit(Peek(1)) || ((Peek(1) == '+' || Peek(1) == '-') && IsDigit(Peek(2))))) {
        isFloat = true;
        Advance();
        if (Peek() == '+' || Peek() == '-')
            Advance();
        while (IsDigit(Peek()))
            Advance();
    }
    if (IsIdentStart(Peek()))
        Fail(token.Pos, "invalid number '" + AnsiString(text_.substr(start, offset_ - start + 1)) + "'");
    std::string_view digits = text_.substr(start, offset_ - start);
    if (isFloat) {
        token.Kind = TTokenKind::Float;
        AnsiString copy(digits);
        char* end = nullptr;
        token.Float = std::strtod(copy.c_str(), &end);
        if (end != copy.c_str() + copy.size() || token.Float == std::numeric_limits<double>::infinity())
            Fail(token.Pos, "invalid number '" + copy + "'");
        return token;
    }
    token.Kind = TTokenKind::Integer;
    auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), token.Integer);
    if (error != std::errc() || end != digits.data() + digits.size())
        Fail(token.Pos, "number " + AnsiString(digits) + " is too large");
    return token;
}

TToken TLexer::ReadHexNumber()
{
    TToken token;
    token.Kind = TTokenKind::Integer;
    token.Hex = true;
    token.Pos = pos_;
    Advance();  // '$'
    size_t start = offset_;
    while (IsHexDigit(Peek()))
        Advance();
    std::string_view digits = text_.substr(start, offset_ - start);
    if (digits.empty() || IsIdentStart(Peek()))
        Fail(token.Pos, "invalid hexadecimal number");
    auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), token.Integer, 16);
    if (error != std::errc() || end != digits.data() + digits.size())
        Fail(token.Pos, "number $" + AnsiString(digits) + " is too large");
    return token;
}

// Quoted pieces and #nn codes that follow each other without blanks make one string.
TToken TLexer::ReadString()
{
    TToken token;
    token.Kind = TTokenKind::String;
    token.Pos = pos_;
    while (true) {
        char c = Peek();
        if (c == '\'') {
            TPos start = pos_;
            Advance();
            while (true) {
                if (offset_ >= text_.size() || Peek() == '\r' || Peek() == '\n')
                    Fail(start, "unterminated string");
                char d = Peek();
                Advance();
                if (d == '\'') {
                    if (Peek() == '\'') {
                        token.Text += '\'';
                        Advance();
                        continue;
                    }
                    break;
                }
                token.Text += d;
            }
        } else if (c == '#') {
            TPos start = pos_;
            Advance();
            uint32_t code = 0;
            int digits = 0;
            bool hex = Peek() == '$';
            if (hex)
                Advance();
            while (hex ? IsHexDigit(Peek()) : IsDigit(Peek())) {
                code = code * (hex ? 16 : 10) + static_cast<uint32_t>(HexValue(Peek()));
                if (code > 255)
                    Fail(start, "character code out of range (at most 255)");
                ++digits;
                Advance();
            }
            if (digits == 0)
                Fail(start, "'#' must be followed by a character code");
            token.Text += static_cast<char>(static_cast<unsigned char>(code));
        } else {
            break;
        }
    }
    return token;
}

TToken TLexer::ReadBinary()
{
    TToken token;
    token.Kind = TTokenKind::Binary;
    token.Pos = pos_;
    Advance();  // '{'
    int pending = -1;
    while (true) {
        if (offset_ >= text_.size())
            Fail(token.Pos, "unterminated binary data (missing '}')");
        char c = Peek();
        if (c == '}') {
            if (pending >= 0)
                Fail(pos_, "binary data has an odd number of hexadecimal digits");
            Advance();
            return token;
        }
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            Advance();
            continue;
        }
        if (!IsHexDigit(c))
            Fail(pos_, "invalid character " + CharText(c) + " in binary data");
        if (pending < 0) {
            pending = HexValue(c);
        } else {
            token.Binary.push_back(static_cast<uint8_t>(pending * 16 + HexValue(c)));
            pending = -1;
        }
        Advance();
    }
}

}  // namespace vcl::formres
