#pragma once
// The parsed form of a form resource (used by the reader and by tests; applications use FormResource.h).
// Every node keeps the line and column where it starts, so each later error can name its place.

#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/rtl/SysUtils.h"
#include "platform/vcl/TypInfo.h"

namespace vcl::formres {

using rtl::AnsiString;

struct TPos {
    int Line = 0;
    int Column = 0;
};

// "Name.frm:12:5: " for messages.
AnsiString PlaceText(const AnsiString& resourceName, TPos pos);

// ---------------------------------------------------------------------------------------------------------
// Lexer

enum class TTokenKind { End, Ident, Integer, Float, String, Binary, Symbol };

struct TToken {
    TTokenKind Kind = TTokenKind::End;
    TPos Pos;
    AnsiString Text;  // identifier, string value, or the symbol character
    uint64_t Integer = 0;  // magnitude; the parser applies a leading '-'
    bool Hex = false;
    double Float = 0;
    TBinaryData Binary;
};

class TLexer {
public:
    TLexer(std::string_view text, const AnsiString& resourceName);
    // The next token; malformed input raises EFormResourceError with its place.
    TToken Next();

private:
    char Peek(size_t ahead = 0) const;
    void Advance();
    void SkipBlanks();
    [[noreturn]] void Fail(TPos pos, const AnsiString& message) const;
    TToken ReadIdent();
    TToken ReadNumber();
    TToken ReadHexNumber();
    TToken ReadString();
    TToken ReadBinary();

    std::string_view text_;
    const AnsiString& resourceName_;
    size_t offset_ = 0;
    TPos pos_{1, 1};
};

// ---------------------------------------------------------------------------------------------------------
// Tree

enum class TValueKind { Integer, Float, String, Ident, Set, List, Binary, Collection };
const char* ValueKindName(TValueKind kind);

struct TItemNode;

struct TValueNode {
    TValueKind Kind = TValueKind::Integer;
    TPos Pos;
    int64_t Integer = 0;
    bool Hex = false;
    double Float = 0;
    AnsiString Text;                     // string value, or identifier (possibly dotted)
    std::vector<AnsiString> SetItems;    // identifiers of a set
    std::vector<TValueNode> List;        // elements of a list
    TBinaryData Binary;
    std::vector<TItemNode> Items;        // items of a collection
};

struct TPropertyNode {
    AnsiString Name;  // as written, possibly dotted
    TPos Pos;
    TValueNode Value;
};

struct TItemNode {
    TPos Pos;
    std::vector<TPropertyNode> Properties;
};

struct TObjectNode {
    AnsiString Name;  // may be empty ("object TLabel")
    AnsiString ClassName;
    TPos Pos;
    TPos ClassPos;
    std::vector<TPropertyNode> Properties;
    std::vector<TObjectNode> Children;
};

// Parses a whole resource: one root object and nothing after it.
TObjectNode ParseFormResource(std::string_view text, const AnsiString& resourceName);

// The class of the root object, read from the first tokens only; "" when the text does not start like a
// resource.
AnsiString PeekRootClassName(std::string_view text);

}  // namespace vcl::formres
