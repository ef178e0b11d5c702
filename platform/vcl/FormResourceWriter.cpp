// Writing a component tree back into the resource syntax that the reader takes.

#include <charconv>
#include <cmath>
#include <unordered_map>

#include "platform/vcl/FormResource.h"

namespace vcl {

namespace {

// Long strings are cut into pieces joined by '+' so lines stay readable.
constexpr size_t kStringPiece = 64;
constexpr size_t kBinaryLine = 32;  // bytes per line of hex
constexpr int kMaxNesting = 64;

void AppendQuotedPiece(AnsiString& out, std::string_view s)
{
    if (s.empty()) {
        out += "''";
        return;
    }
    bool quoted = false;
    for (char c : s) {
        unsigned char u = static_cast<unsigned char>(c);
        if (u >= 32 && u < 127) {
            if (!quoted) {
                out += '\'';
                quoted = true;
            }
            if (c == '\'')
                out += "''";
            else
                out += c;
        } else {
            if (quoted) {
                out += '\'';
                quoted = false;
            }
            out += "#" + std::to_string(u);
        }
    }
    if (quoted)
        out += '\'';
}

AnsiString QuoteString(std::string_view s, const AnsiString& indent)
{
    AnsiString out;
    if (s.size() <= kStringPiece) {
        AppendQuotedPiece(out, s);
        return out;
    }
    for (size_t start = 0; start < s.size(); start += kStringPiece) {
        if (start > 0)
            out += " +\r\n" + indent + "  ";
        AppendQuotedPiece(out, s.substr(start, kStringPiece));
    }
    return out;
}

AnsiString FloatText(double value)
{
    if (!std::isfinite(value))
        throw EFormResourceError("a number that is not finite cannot be written");
    char buffer[64];
    auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
    AnsiString text(buffer, error == std::errc() ? end : buffer);
    if (text.find_first_of(".e") == AnsiString::npos)
        text += ".0";
    return text;
}

AnsiString HexLines(const TBinaryData& data, const AnsiString& indent)
{
    static const char kHex[] = "0123456789ABCDEF";
    AnsiString out = "{";
    for (size_t i = 0; i < data.size(); ++i) {
        if (i % kBinaryLine == 0)
            out += "\r\n" + indent + "  ";
        out += kHex[data[i] >> 4];
        out += kHex[data[i] & 15];
    }
    out += "}";
    return out;
}

class TWriter {
public:
    explicit TWriter(const TComponent& root) : root_(root) {}

    AnsiString Write()
    {
        // Owned components nest under their parent component when that is also in the tree.
        for (int i = 0; i < root_.ComponentCount(); ++i) {
            const TComponent* child = root_.Components(i);
            const TComponent* parent = child->HasParent() ? child->GetParentComponent() : nullptr;
            if (!parent || parent == &root_ || parent->Owner() != &root_)
                parent = &root_;
            children_[parent].push_back(child);
        }
        WriteObject(root_, "");
        return out_;
    }

private:
    void WriteObject(const TComponent& component, const AnsiString& indent)
    {
        if (indent.size() / 2 > static_cast<size_t>(kMaxNesting))
            throw EFormResourceError("components nested too deeply to be written");
        out_ += indent + "object ";
        if (!component.Name().empty())
            out_ += component.Name() + ": ";
        out_ += component.ClassName() + "\r\n";
        WriteProperties(component, component, "", indent + "  ", 0, false);
        auto it = children_.find(&component);
        if (it != children_.end())
            for (const TComponent* child : it->second)
                WriteObject(*child, indent + "  ");
        out_ += indent + "end\r\n";
    }

    AnsiString ReferenceName(const TComponent& target) const
    {
        if (&target == &root_)
            return root_.Name();
        AnsiString path = target.Name();
        for (const TComponent* owner = target.Owner(); owner && owner != &root_; owner = owner->Owner()) {
            if (owner->Name().empty())
                return AnsiString();
            path = owner->Name() + "." + path;
        }
        return path;
    }

    // `inItem`: the properties of a collection item, whose event bindings are not recorded by name.
    void WriteProperties(const TPersistent& instance, const TComponent& component, const AnsiString& prefix,
                         const AnsiString& indent, int depth, bool inItem)
    {
        if (depth > kMaxNesting)
            throw EFormResourceError("nested objects too deep to be written at '" + prefix + "'");
        for (const TPropInfo* info : instance.ClassType().PropList()) {
            const AnsiString name = prefix + info->Name;
            if (info->Kind == tkClass) {
                if (info->Access.StoredFn && !info->Access.StoredFn(instance))
                    continue;
                if (TPersistent* nested = info->Access.GetObject(instance))
                    WriteProperties(*nested, component, name + ".", indent, depth + 1, inItem);
                continue;
            }
            if (!info->IsStored(instance))
                continue;
            if (info->Kind == tkMethod && inItem)
                continue;
            WriteProperty(instance, component, *info, name, indent, depth);
        }
    }

    void WriteProperty(const TPersistent& instance, const TComponent& component, const TPropInfo& info,
                       const AnsiString& name, const AnsiString& indent, int depth)
    {
        const auto& access = info.Access;
        switch (info.Kind) {
        case tkInteger:
            if (access.SetOrd)
                Line(indent, name, std::to_string(access.GetOrd(instance)));
            return;
        case tkColor:
            if (access.SetOrd)
                Line(indent, name, ColorToString(static_cast<TColor>(static_cast<int32_t>(access.GetOrd(instance)))));
            return;
        case tkBoolean:
            if (access.SetOrd)
                Line(indent, name, access.GetOrd(instance) ? "True" : "False");
            return;
        case tkChar:
            if (access.SetOrd)
                Line(indent, name, QuoteString(AnsiString(1, static_cast<char>(access.GetOrd(instance))), indent));
            return;
        case tkEnumeration:
            if (access.SetOrd)
                Line(indent, name, info.EnumType->Name(access.GetOrd(instance)));
            return;
        case tkSet:
            if (access.SetOrd)
                Line(indent, name, SetToString(*info.EnumType, static_cast<uint64_t>(access.GetOrd(instance))));
            return;
        case tkFloat:
            if (access.SetFloat)
                Line(indent, name, FloatText(access.GetFloat(instance)));
            return;
        case tkString:
            if (access.SetStr)
                Line(indent, name, QuoteString(access.GetStr(instance), indent));
            return;
        case tkBinary:
            if (access.SetBinary)
                Line(indent, name, HexLines(access.GetBinary(instance), indent));
            return;
        case tkComponent:
            if (access.SetObject)
                if (auto* target = dynamic_cast<const TComponent*>(access.GetObject(instance))) {
                    AnsiString reference = ReferenceName(*target);
                    if (!reference.empty())
                        Line(indent, name, reference);
                }
            return;
        case tkMethod: {
            AnsiString handler = component.EventHandlerName(name);
            if (!handler.empty() && access.GetMethod(instance).has_value())
                Line(indent, name, handler);
            return;
        }
        case tkStrings: {
            rtl::TStrings* list = access.GetStrings(instance);
            if (!list || list->Count() == 0)
                return;
            out_ += indent + name + ".Strings = (";
            for (int i = 0; i < list->Count(); ++i)
                out_ += "\r\n" + indent + "  " + QuoteString(list->Strings(i), indent + "  ");
            out_ += ")\r\n";
            return;
        }
        case tkCollection: {
            auto* collection = dynamic_cast<const TCollection*>(access.GetObject(instance));
            if (!collection || collection->Count() == 0)
                return;
            out_ += indent + name + " = <";
            for (int i = 0; i < collection->Count(); ++i) {
                out_ += "\r\n" + indent + "  item\r\n";
                WriteProperties(*collection->Items(i), component, "", indent + "    ", depth + 1, true);
                out_ += indent + "  end";
            }
            out_ += ">\r\n";
            return;
        }
        case tkClass:
        case tkUnknown: return;
        }
    }

    void Line(const AnsiString& indent, const AnsiString& name, const AnsiString& value)
    {
        out_ += indent + name + " = " + value + "\r\n";
    }

    const TComponent& root_;
    std::unordered_map<const TComponent*, std::vector<const TComponent*>> children_;
    AnsiString out_;
};

}  // namespace

AnsiString WriteComponentResource(const TComponent& root) { return TWriter(root).Write(); }

}  // namespace vcl
