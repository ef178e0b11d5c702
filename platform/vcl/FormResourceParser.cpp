// Recursive descent over the token stream into a TObjectNode tree.

#include <limits>

#include "platform/vcl/FormResource.h"
#include "platform/vcl/FormResourceTree.h"

namespace vcl::formres {

namespace {

// Deep enough for any real form; stops a hostile resource from exhausting the stack.
constexpr int kMaxDepth = 200;

class TParser {
public:
    TParser(std::string_view text, const AnsiString& resourceName) : lexer_(text, resourceName), resourceName_(resourceName)
    {
        Advance();
    }

    TObjectNode ParseResource()
    {
        if (!IsIdent("object"))
            Fail(token_.Pos, "expected 'object' but found " + Describe(token_));
        TObjectNode root = ParseObject(0);
        if (token_.Kind != TTokenKind::End)
            Fail(token_.Pos, "expected the end of the resource but found " + Describe(token_));
        return root;
    }

private:
    void Advance() { token_ = lexer_.Next(); }

    bool IsIdent(std::string_view word) const { return token_.Kind == TTokenKind::Ident && SameIdent(token_.Text, word); }
    bool IsSymbol(char c) const { return token_.Kind == TTokenKind::Symbol && token_.Text[0] == c; }

    [[noreturn]] void Fail(TPos pos, const AnsiString& message) const
    {
        throw EFormResourceError(PlaceText(resourceName_, pos) + message);
    }

    static AnsiString Describe(const TToken& token)
    {
        switch (token.Kind) {
        case TTokenKind::End: return "the end of the resource";
        case TTokenKind::Ident: return "'" + token.Text + "'";
        case TTokenKind::Integer:
        case TTokenKind::Float: return "a number";
        case TTokenKind::String: return "a string";
        case TTokenKind::Binary: return "binary data";
        case TTokenKind::Symbol: return "'" + token.Text + "'";
        }
        return "something else";
    }

    void Expect(char symbol)
    {
        if (!IsSymbol(symbol))
            Fail(token_.Pos, AnsiString("expected '") + symbol + "' but found " + Describe(token_));
        Advance();
    }

    AnsiString ExpectIdent(const char* what)
    {
        if (token_.Kind != TTokenKind::Ident)
            Fail(token_.Pos, AnsiString("expected ") + what + " but found " + Describe(token_));
        AnsiString text = token_.Text;
        Advance();
        return text;
    }

    void CheckDepth(int depth, TPos pos) const
    {
        if (depth > kMaxDepth)
            Fail(pos, "nested too deeply");
    }

    // object [Name ':'] Class  { property | object }  end
    TObjectNode ParseObject(int depth)
    {
        TObjectNode node;
        node.Pos = token_.Pos;
        CheckDepth(depth, node.Pos);
        Advance();  // 'object'
        node.ClassPos = token_.Pos;
        AnsiString first = ExpectIdent("a component name");
        if (IsSymbol(':')) {
            Advance();
            node.Name = first;
            node.ClassPos = token_.Pos;
            node.ClassName = ExpectIdent("a class name");
        } else {
            node.ClassName = first;
        }
        while (true) {
            if (IsIdent("end")) {
                Advance();
                return node;
            }
            if (IsIdent("object")) {
                node.Children.push_back(ParseObject(depth + 1));
                continue;
            }
            if (IsIdent("inherited") || IsIdent("inline"))
                Fail(token_.Pos, "'" + token_.Text + "' objects are not supported");
            if (token_.Kind == TTokenKind::End)
                Fail(token_.Pos, "expected 'end' of object '" + (node.Name.empty() ? node.ClassName : node.Name) +
                                     "' but found the end of the resource");
            node.Properties.push_back(ParseProperty(depth));
        }
    }

    // Name[.Name...] = value
    TPropertyNode ParseProperty(int depth)
    {
        TPropertyNode prop;
        prop.Pos = token_.Pos;
        prop.Name = ExpectIdent("a property name");
        while (IsSymbol('.')) {
            Advance();
            prop.Name += "." + ExpectIdent("a property name after '.'");
        }
        Expect('=');
        prop.Value = ParseValue(depth + 1);
        return prop;
    }

    TValueNode ParseValue(int depth)
    {
        TValueNode value;
        value.Pos = token_.Pos;
        CheckDepth(depth, value.Pos);
        switch (token_.Kind) {
        case TTokenKind::String: ParseString(value); return value;
        case TTokenKind::Integer:
        case TTokenKind::Float: ParseNumber(value, false); return value;
        case TTokenKind::Binary:
            value.Kind = TValueKind::Binary;
            value.Binary = std::move(token_.Binary);
            Advance();
            return value;
        case TTokenKind::Ident:
            value.Kind = TValueKind::Ident;
            value.Text = token_.Text;
            Advance();
            while (IsSymbol('.')) {
                Advance();
                value.Text += "." + ExpectIdent("a name after '.'");
            }
            return value;
        case TTokenKind::Symbol: break;
        case TTokenKind::End: Fail(token_.Pos, "expected a value but found the end of the resource");
        }
        if (IsSymbol('-') || IsSymbol('+')) {
            bool negative = IsSymbol('-');
            Advance();
            if (token_.Kind != TTokenKind::Integer && token_.Kind != TTokenKind::Float)
                Fail(token_.Pos, "expected a number after the sign but found " + Describe(token_));
            ParseNumber(value, negative);
            return value;
        }
        if (IsSymbol('['))
            return ParseSet(value);
        if (IsSymbol('('))
            return ParseList(value, depth);
        if (IsSymbol('<'))
            return ParseCollection(value, depth);
        Fail(token_.Pos, "expected a value but found " + Describe(token_));
    }

    // 'piece' + 'piece' ... (a '+' may end a line)
    void ParseString(TValueNode& value)
    {
        value.Kind = TValueKind::String;
        value.Text = token_.Text;
        Advance();
        while (IsSymbol('+')) {
            Advance();
            if (token_.Kind != TTokenKind::String)
                Fail(token_.Pos, "expected a string after '+' but found " + Describe(token_));
            value.Text += token_.Text;
            Advance();
        }
    }

    void ParseNumber(TValueNode& value, bool negative)
    {
        if (token_.Kind == TTokenKind::Float) {
            value.Kind = TValueKind::Float;
            value.Float = negative ? -token_.Float : token_.Float;
        } else {
            value.Kind = TValueKind::Integer;
            value.Hex = token_.Hex;
            uint64_t magnitude = token_.Integer;
            constexpr uint64_t kMax = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
            if (magnitude > kMax + (negative ? 1 : 0))
                Fail(token_.Pos, "number is too large");
            value.Integer = negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
        }
        Advance();
    }

    // [ident, ident]
    TValueNode ParseSet(TValueNode& value)
    {
        value.Kind = TValueKind::Set;
        Advance();
        if (IsSymbol(']')) {
            Advance();
            return value;
        }
        while (true) {
            value.SetItems.push_back(ExpectIdent("a set element"));
            if (IsSymbol(']')) {
                Advance();
                return value;
            }
            Expect(',');
        }
    }

    // ( value value ... )
    TValueNode ParseList(TValueNode& value, int depth)
    {
        value.Kind = TValueKind::List;
        Advance();
        while (!IsSymbol(')')) {
            if (token_.Kind == TTokenKind::End)
                Fail(token_.Pos, "expected ')' but found the end of the resource");
            value.List.push_back(ParseValue(depth + 1));
        }
        Advance();
        return value;
    }

    // < item props end ... >
    TValueNode ParseCollection(TValueNode& value, int depth)
    {
        value.Kind = TValueKind::Collection;
        Advance();
        while (!IsSymbol('>')) {
            if (!IsIdent("item"))
                Fail(token_.Pos, "expected 'item' or '>' but found " + Describe(token_));
            TItemNode item;
            item.Pos = token_.Pos;
            Advance();
            while (!IsIdent("end")) {
                if (token_.Kind == TTokenKind::End)
                    Fail(token_.Pos, "expected 'end' of item but found the end of the resource");
                item.Properties.push_back(ParseProperty(depth + 1));
            }
            Advance();
            value.Items.push_back(std::move(item));
        }
        Advance();
        return value;
    }

    TLexer lexer_;
    const AnsiString& resourceName_;
    TToken token_;
};

}  // namespace

const char* ValueKindName(TValueKind kind)
{
    switch (kind) {
    case TValueKind::Integer: return "an integer";
    case TValueKind::Float: return "a floating-point number";
    case TValueKind::String: return "a string";
    case TValueKind::Ident: return "an identifier";
    case TValueKind::Set: return "a set";
    case TValueKind::List: return "a list";
    case TValueKind::Binary: return "binary data";
    case TValueKind::Collection: return "a collection";
    }
    return "a value";
}

TObjectNode ParseFormResource(std::string_view text, const AnsiString& resourceName)
{
    return TParser(text, resourceName).ParseResource();
}

AnsiString PeekRootClassName(std::string_view text)
{
    try {
        AnsiString name = "(peek)";
        TLexer lexer(text, name);
        TToken keyword = lexer.Next();
        if (keyword.Kind != TTokenKind::Ident || !SameIdent(keyword.Text, "object"))
            return AnsiString();
        TToken first = lexer.Next();
        if (first.Kind != TTokenKind::Ident)
            return AnsiString();
        TToken colon = lexer.Next();
        if (colon.Kind != TTokenKind::Symbol || colon.Text != ":")
            return first.Text;
        TToken cls = lexer.Next();
        return cls.Kind == TTokenKind::Ident ? cls.Text : AnsiString();
    } catch (const EFormResourceError&) {
        return AnsiString();
    }
}

}  // namespace vcl::formres
