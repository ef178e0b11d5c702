#include "platform/vcl/TypInfo.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <mutex>
#include <optional>

#include "platform/vcl/Classes.h"

namespace vcl {

namespace {

char UpperChar(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ')
        s.remove_prefix(1);
    while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ')
        s.remove_suffix(1);
    return s;
}

AnsiString Quoted(std::string_view s) { return "'" + AnsiString(s) + "'"; }

}  // namespace

bool SameIdent(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (UpperChar(a[i]) != UpperChar(b[i]))
            return false;
    return true;
}

AnsiString UpperIdent(std::string_view s)
{
    AnsiString result(s);
    for (char& c : result)
        c = UpperChar(c);
    return result;
}

bool IsValidIdent(std::string_view s)
{
    if (s.empty())
        return false;
    auto isAlpha = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; };
    if (!isAlpha(s.front()))
        return false;
    return std::all_of(s.begin() + 1, s.end(), [&](char c) { return isAlpha(c) || (c >= '0' && c <= '9'); });
}

// ---------------------------------------------------------------------------------------------------------
// Enumerations and sets

TEnumInfo::TEnumInfo(const char* typeName, const char* names) : typeName_(typeName)
{
    std::string_view rest = names;
    while (!rest.empty()) {
        size_t comma = rest.find(',');
        std::string_view item = Trim(rest.substr(0, comma));
        rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
        if (item.empty())
            continue;
        if (!IsValidIdent(item))
            throw rtl::Exception("enumeration " + typeName_ + ": '" + AnsiString(item) +
                                 "' is not a plain identifier (values must run 0, 1, 2 ...)");
        index_.emplace(UpperIdent(item), static_cast<int>(names_.size()));
        names_.emplace_back(item);
    }
}

const AnsiString& TEnumInfo::Name(int64_t value) const
{
    static const AnsiString empty;
    if (value < 0 || value >= Count())
        return empty;
    return names_[static_cast<size_t>(value)];
}

int TEnumInfo::ValueOf(std::string_view ident) const
{
    auto it = index_.find(UpperIdent(ident));
    return it == index_.end() ? -1 : it->second;
}

AnsiString SetToString(const TEnumInfo& elements, uint64_t bits, bool brackets)
{
    AnsiString result = brackets ? "[" : "";
    bool first = true;
    for (int i = 0; i < elements.Count() && i < 64; ++i) {
        if (bits & (uint64_t(1) << i)) {
            if (!first)
                result += ", ";
            result += elements.Name(i);
            first = false;
        }
    }
    if (brackets)
        result += "]";
    return result;
}

uint64_t StringToSet(const TEnumInfo& elements, std::string_view text)
{
    std::string_view rest = Trim(text);
    if (!rest.empty() && rest.front() == '[') {
        if (rest.back() != ']')
            throw EPropertyError("'" + AnsiString(text) + "' is not a valid set of " + elements.TypeName());
        rest = rest.substr(1, rest.size() - 2);
    }
    uint64_t bits = 0;
    while (!Trim(rest).empty()) {
        size_t comma = rest.find(',');
        std::string_view item = Trim(rest.substr(0, comma));
        rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
        int value = elements.ValueOf(item);
        if (value < 0 || value >= 64)
            throw EPropertyError(Quoted(item) + " is not a value of " + elements.TypeName());
        bits |= uint64_t(1) << value;
    }
    return bits;
}

const char* TypeKindName(TTypeKind kind)
{
    switch (kind) {
    case tkInteger: return "an integer";
    case tkChar: return "a character";
    case tkBoolean: return "a Boolean";
    case tkEnumeration: return "an enumeration identifier";
    case tkSet: return "a set";
    case tkFloat: return "a number";
    case tkString: return "a string";
    case tkColor: return "a colour";
    case tkComponent: return "a component reference";
    case tkClass: return "a nested object";
    case tkStrings: return "a string list";
    case tkCollection: return "a collection";
    case tkBinary: return "binary data";
    case tkMethod: return "an event handler";
    case tkUnknown: break;
    }
    return "an unknown kind";
}

// ---------------------------------------------------------------------------------------------------------
// TPropValue

namespace {
[[noreturn]] void ThrowValueKind(const char* wanted) { throw EPropertyError(AnsiString("value is not ") + wanted); }
}  // namespace

bool TPropValue::AsBool() const
{
    if (const bool* b = std::get_if<bool>(&data_))
        return *b;
    ThrowValueKind("a Boolean");
}

int64_t TPropValue::AsInteger() const
{
    if (const int64_t* i = std::get_if<int64_t>(&data_))
        return *i;
    ThrowValueKind("an integer");
}

double TPropValue::AsFloat() const
{
    if (const double* d = std::get_if<double>(&data_))
        return *d;
    if (const int64_t* i = std::get_if<int64_t>(&data_))
        return static_cast<double>(*i);
    ThrowValueKind("a number");
}

AnsiString TPropValue::AsString() const
{
    if (const AnsiString* s = std::get_if<AnsiString>(&data_))
        return *s;
    if (const int64_t* i = std::get_if<int64_t>(&data_))
        return std::to_string(*i);
    if (const bool* b = std::get_if<bool>(&data_))
        return *b ? "True" : "False";
    if (const double* d = std::get_if<double>(&data_)) {
        char buffer[64];
        auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, *d);
        return error == std::errc() ? AnsiString(buffer, end) : AnsiString();
    }
    ThrowValueKind("a string");
}

TPersistent* TPropValue::AsObject() const
{
    if (TPersistent* const* p = std::get_if<TPersistent*>(&data_))
        return *p;
    ThrowValueKind("an object");
}

rtl::TStrings* TPropValue::AsStrings() const
{
    if (rtl::TStrings* const* p = std::get_if<rtl::TStrings*>(&data_))
        return *p;
    ThrowValueKind("a string list");
}

const TBinaryData& TPropValue::AsBinary() const
{
    if (const TBinaryData* b = std::get_if<TBinaryData>(&data_))
        return *b;
    ThrowValueKind("binary data");
}

// ---------------------------------------------------------------------------------------------------------
// TPropInfo

const TClassMeta* TPropInfo::ClassType() const { return ClassTypeFn ? &ClassTypeFn() : nullptr; }

bool TPropInfo::IsDefaultValue(const TPersistent& instance) const
{
    if (HasDefault && Access.IsDefault)
        return Access.IsDefault(instance);
    switch (Kind) {
    case tkString: return Access.GetStr(instance).empty();
    case tkComponent: return Access.GetObject(instance) == nullptr;
    case tkStrings: {
        rtl::TStrings* list = Access.GetStrings(instance);
        return !list || list->Count() == 0;
    }
    case tkCollection: {
        auto* collection = dynamic_cast<TCollection*>(Access.GetObject(instance));
        return !collection || collection->Count() == 0;
    }
    case tkBinary: return Access.GetBinary(instance).empty();
    case tkMethod: return !Access.GetMethod(instance).has_value();
    default: return false;
    }
}

bool TPropInfo::IsStored(const TPersistent& instance) const
{
    if (Access.StoredFn)
        return Access.StoredFn(instance);
    return !IsDefaultValue(instance);
}

TPropInfo& TPropInfo::Stored(bool stored)
{
    Access.StoredFn = [stored](const TPersistent&) { return stored; };
    return *this;
}

TPropInfo& TPropInfo::Stored(std::function<bool(const TPersistent&)> stored)
{
    Access.StoredFn = std::move(stored);
    return *this;
}

namespace detail {

void ThrowRange(const TPropInfo& info, int64_t value)
{
    throw EPropertyError("value " + std::to_string(value) + " is out of range for property '" + info.Name + "'");
}

void ThrowWrongClass(const TPropInfo& info, const TPersistent* value)
{
    const TClassMeta* wanted = info.ClassType();
    throw EPropertyError("property '" + info.Name + "' takes " + (wanted ? "a " + wanted->ClassName() : "another class") +
                         ", not a " + value->ClassName());
}

}  // namespace detail

// ---------------------------------------------------------------------------------------------------------
// TClassMeta

TClassMeta::TClassMeta(AnsiString name, const TClassMeta* parent, ComponentFactory componentFactory, ItemFactory itemFactory)
    : name_(std::move(name)), parent_(parent), componentFactory_(componentFactory), itemFactory_(itemFactory)
{
    if (parent_) {
        props_ = parent_->props_;
        propIndex_ = parent_->propIndex_;
        handlers_ = parent_->handlers_;
        handlerIndex_ = parent_->handlerIndex_;
    }
}

bool TClassMeta::InheritsFrom(const TClassMeta& other) const
{
    for (const TClassMeta* c = this; c; c = c->parent_)
        if (c == &other)
            return true;
    return false;
}

bool TClassMeta::InheritsFrom(std::string_view className) const
{
    for (const TClassMeta* c = this; c; c = c->parent_)
        if (SameIdent(c->name_, className))
            return true;
    return false;
}

TComponent* TClassMeta::CreateComponent(TComponent* owner) const
{
    if (!componentFactory_)
        throw EClassNotFound("Class " + name_ + " cannot be created by name");
    return componentFactory_(owner);
}

TCollectionItem* TClassMeta::CreateItem(TCollection* collection) const
{
    if (!itemFactory_)
        throw EClassNotFound("Class " + name_ + " cannot be created as a collection item");
    return itemFactory_(collection);
}

const TPropInfo* TClassMeta::FindProp(std::string_view name) const
{
    auto it = propIndex_.find(UpperIdent(name));
    return it == propIndex_.end() ? nullptr : props_[it->second];
}

const THandlerInfo* TClassMeta::FindHandler(std::string_view name) const
{
    auto it = handlerIndex_.find(UpperIdent(name));
    return it == handlerIndex_.end() ? nullptr : handlers_[it->second];
}

TPropInfo& TClassMeta::AddProp(std::unique_ptr<TPropInfo> prop)
{
    TPropInfo& result = *prop;
    AnsiString key = UpperIdent(prop->Name);
    auto it = propIndex_.find(key);
    if (it != propIndex_.end()) {
        props_[it->second] = prop.get();
    } else {
        propIndex_.emplace(std::move(key), props_.size());
        props_.push_back(prop.get());
    }
    ownProps_.push_back(std::move(prop));
    return result;
}

void TClassMeta::AddHandler(std::unique_ptr<THandlerInfo> handler)
{
    AnsiString key = UpperIdent(handler->Name);
    auto it = handlerIndex_.find(key);
    if (it != handlerIndex_.end()) {
        handlers_[it->second] = handler.get();
    } else {
        handlerIndex_.emplace(std::move(key), handlers_.size());
        handlers_.push_back(handler.get());
    }
    ownHandlers_.push_back(std::move(handler));
}

// ---------------------------------------------------------------------------------------------------------
// The class registry

namespace {

struct TClassRegistry {
    std::mutex lock;
    std::unordered_map<AnsiString, const TClassMeta*> classes;
};

TClassRegistry& Registry()
{
    static TClassRegistry registry;
    return registry;
}

}  // namespace

void RegisterClass(const TClassMeta& meta)
{
    TClassRegistry& registry = Registry();
    std::lock_guard guard(registry.lock);
    auto [it, inserted] = registry.classes.emplace(UpperIdent(meta.ClassName()), &meta);
    if (!inserted && it->second != &meta)
        throw EClassNotFound("Another class named " + meta.ClassName() + " is already registered");
}

void RegisterClasses(std::initializer_list<const TClassMeta*> metas)
{
    for (const TClassMeta* meta : metas)
        RegisterClass(*meta);
}

void UnRegisterClass(const TClassMeta& meta)
{
    TClassRegistry& registry = Registry();
    std::lock_guard guard(registry.lock);
    auto it = registry.classes.find(UpperIdent(meta.ClassName()));
    if (it != registry.classes.end() && it->second == &meta)
        registry.classes.erase(it);
}

const TClassMeta* FindClass(std::string_view className)
{
    TClassRegistry& registry = Registry();
    std::lock_guard guard(registry.lock);
    auto it = registry.classes.find(UpperIdent(className));
    return it == registry.classes.end() ? nullptr : it->second;
}

TComponent* CreateComponent(std::string_view className, TComponent* owner)
{
    const TClassMeta* meta = FindClass(className);
    if (!meta)
        throw EClassNotFound("Class " + AnsiString(className) + " not found");
    return meta->CreateComponent(owner);
}

// ---------------------------------------------------------------------------------------------------------
// Generic access by name

namespace {

[[noreturn]] void ThrowUnknown(const TPersistent* instance, std::string_view name)
{
    throw EPropertyError("unknown property '" + AnsiString(name) + "' of " + instance->ClassName());
}

[[noreturn]] void ThrowKind(const TPropInfo& info, const char* wanted)
{
    throw EPropertyError("property '" + info.Name + "' is " + TypeKindName(info.Kind) + ", not " + wanted);
}

[[noreturn]] void ThrowReadOnly(const TPropInfo& info)
{
    throw EPropertyError("property '" + info.Name + "' is read-only");
}

// Walks a dotted path; `required` makes every failure an EPropertyError, otherwise it answers nullptr.
const TPropInfo* Resolve(const TPersistent* instance, std::string_view path, TPersistent** holder, bool required)
{
    if (!instance) {
        if (required)
            throw EPropertyError("no object to read property '" + AnsiString(path) + "' from");
        return nullptr;
    }
    const TPersistent* current = instance;
    while (true) {
        size_t dot = path.find('.');
        std::string_view step = path.substr(0, dot);
        const TPropInfo* info = current->ClassType().FindProp(step);
        if (!info) {
            if (required)
                ThrowUnknown(current, step);
            return nullptr;
        }
        if (dot == std::string_view::npos) {
            if (holder)
                *holder = const_cast<TPersistent*>(current);
            return info;
        }
        if (info->Kind != tkClass && info->Kind != tkCollection && info->Kind != tkComponent) {
            if (required)
                throw EPropertyError("property '" + info->Name + "' of " + current->ClassName() + " has no properties");
            return nullptr;
        }
        const TPersistent* next = info->Access.GetObject(*current);
        if (!next) {
            if (required)
                throw EPropertyError("property '" + info->Name + "' of " + current->ClassName() + " is empty");
            return nullptr;
        }
        current = next;
        path = path.substr(dot + 1);
    }
}

struct TTarget {
    const TPropInfo* Info;
    TPersistent* Holder;
};

TTarget Target(const TPersistent* instance, std::string_view path)
{
    TPersistent* holder = nullptr;
    const TPropInfo* info = Resolve(instance, path, &holder, true);
    return {info, holder};
}

bool IsOrdinal(TTypeKind kind)
{
    return kind == tkInteger || kind == tkChar || kind == tkBoolean || kind == tkEnumeration || kind == tkSet ||
           kind == tkColor;
}

std::optional<int64_t> ParseInteger(std::string_view text)
{
    text = Trim(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    int base = 10;
    if (!text.empty() && text.front() == '$') {
        base = 16;
        text.remove_prefix(1);
    }
    uint64_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    if (value > static_cast<uint64_t>(std::numeric_limits<int64_t>::max()))
        return std::nullopt;
    return negative ? -static_cast<int64_t>(value) : static_cast<int64_t>(value);
}

void SetOrdinal(const TTarget& t, int64_t value)
{
    if (!t.Info->Access.SetOrd)
        ThrowReadOnly(*t.Info);
    t.Info->Access.SetOrd(*t.Holder, value);
}

}  // namespace

const TPropInfo* GetPropInfo(const TPersistent* instance, std::string_view path, TPersistent** holder)
{
    return Resolve(instance, path, holder, false);
}

bool IsPublishedProp(const TPersistent* instance, std::string_view path)
{
    return GetPropInfo(instance, path) != nullptr;
}

bool PropIsType(const TPersistent* instance, std::string_view path, TTypeKind kind)
{
    return PropType(instance, path) == kind;
}

TTypeKind PropType(const TPersistent* instance, std::string_view path) { return Target(instance, path).Info->Kind; }

std::vector<const TPropInfo*> GetPropList(const TPersistent* instance, std::initializer_list<TTypeKind> kinds)
{
    std::vector<const TPropInfo*> result;
    if (!instance)
        return result;
    for (const TPropInfo* info : instance->ClassType().PropList())
        if (kinds.size() == 0 || std::find(kinds.begin(), kinds.end(), info->Kind) != kinds.end())
            result.push_back(info);
    return result;
}

std::vector<const TPropInfo*> GetStringPropList(const TPersistent* instance) { return GetPropList(instance, {tkString}); }

TPropValue GetPropValue(const TPersistent* instance, std::string_view path)
{
    TTarget t = Target(instance, path);
    const TPropInfo& info = *t.Info;
    const TPersistent& holder = *t.Holder;
    switch (info.Kind) {
    case tkInteger:
    case tkColor: return info.Access.GetOrd(holder);
    case tkBoolean: return info.Access.GetOrd(holder) != 0;
    case tkChar: return AnsiString(1, static_cast<char>(info.Access.GetOrd(holder)));
    case tkEnumeration: return info.EnumType->Name(info.Access.GetOrd(holder));
    case tkSet: return SetToString(*info.EnumType, static_cast<uint64_t>(info.Access.GetOrd(holder)));
    case tkFloat: return info.Access.GetFloat(holder);
    case tkString: return info.Access.GetStr(holder);
    case tkComponent:
    case tkClass:
    case tkCollection: return info.Access.GetObject(holder);
    case tkStrings: return info.Access.GetStrings(holder);
    case tkBinary: return info.Access.GetBinary(holder);
    case tkMethod: throw EPropertyError("property '" + info.Name + "' is an event; use GetEventProp");
    case tkUnknown: break;
    }
    throw EPropertyError("property '" + info.Name + "' has no value");
}

void SetPropValue(TPersistent* instance, std::string_view path, const TPropValue& value)
{
    TTarget t = Target(instance, path);
    const TPropInfo& info = *t.Info;
    TPersistent& holder = *t.Holder;
    auto integerFrom = [&](const TPropValue& v) -> int64_t {
        if (v.IsInteger())
            return v.AsInteger();
        if (v.IsString())
            if (auto parsed = ParseInteger(v.AsString()))
                return *parsed;
        ThrowKind(info, "this value");
    };
    switch (info.Kind) {
    case tkInteger: SetOrdinal(t, integerFrom(value)); return;
    case tkColor:
        if (value.IsString()) {
            try {
                SetOrdinal(t, StringToColor(value.AsString()));
            } catch (const rtl::EConvertError& e) {
                throw EPropertyError(e.Message());
            }
            return;
        }
        SetOrdinal(t, integerFrom(value));
        return;
    case tkBoolean:
        if (value.IsBool()) {
            SetOrdinal(t, value.AsBool() ? 1 : 0);
        } else if (value.IsString() && (SameIdent(value.AsString(), "True") || SameIdent(value.AsString(), "False"))) {
            SetOrdinal(t, SameIdent(value.AsString(), "True") ? 1 : 0);
        } else {
            SetOrdinal(t, integerFrom(value));
        }
        return;
    case tkChar:
        if (value.IsString()) {
            AnsiString s = value.AsString();
            if (s.size() != 1)
                ThrowKind(info, "a string of another length than one");
            SetOrdinal(t, static_cast<unsigned char>(s[0]));
        } else {
            SetOrdinal(t, integerFrom(value));
        }
        return;
    case tkEnumeration:
        if (value.IsString()) {
            SetEnumProp(instance, path, value.AsString());
        } else {
            SetOrdinal(t, integerFrom(value));
        }
        return;
    case tkSet:
        if (value.IsString())
            SetOrdinal(t, static_cast<int64_t>(StringToSet(*info.EnumType, value.AsString())));
        else
            SetOrdinal(t, integerFrom(value));
        return;
    case tkFloat:
        if (!info.Access.SetFloat)
            ThrowReadOnly(info);
        if (value.IsString()) {
            AnsiString s = value.AsString();
            char* end = nullptr;
            double d = std::strtod(s.c_str(), &end);
            if (s.empty() || *end != '\0')
                ThrowKind(info, "this value");
            info.Access.SetFloat(holder, d);
        } else {
            info.Access.SetFloat(holder, value.AsFloat());
        }
        return;
    case tkString:
        if (!info.Access.SetStr)
            ThrowReadOnly(info);
        info.Access.SetStr(holder, value.AsString());
        return;
    case tkComponent:
    case tkClass:
    case tkCollection:
        if (!info.Access.SetObject)
            ThrowReadOnly(info);
        info.Access.SetObject(holder, value.AsObject());
        return;
    case tkStrings:
        if (!info.Access.SetStrings)
            ThrowReadOnly(info);
        if (value.IsString()) {
            rtl::TStringList list;
            list.SetText(value.AsString());
            info.Access.SetStrings(holder, list);
        } else if (rtl::TStrings* list = value.AsStrings()) {
            info.Access.SetStrings(holder, *list);
        } else {
            rtl::TStringList empty;
            info.Access.SetStrings(holder, empty);
        }
        return;
    case tkBinary:
        if (!info.Access.SetBinary)
            ThrowReadOnly(info);
        info.Access.SetBinary(holder, value.AsBinary());
        return;
    case tkMethod: throw EPropertyError("property '" + info.Name + "' is an event; use SetEventProp");
    case tkUnknown: break;
    }
    throw EPropertyError("property '" + info.Name + "' cannot be set");
}

int64_t GetOrdProp(const TPersistent* instance, std::string_view path)
{
    TTarget t = Target(instance, path);
    if (!IsOrdinal(t.Info->Kind))
        ThrowKind(*t.Info, "an ordinal");
    return t.Info->Access.GetOrd(*t.Holder);
}

void SetOrdProp(TPersistent* instance, std::string_view path, int64_t value)
{
    TTarget t = Target(instance, path);
    if (!IsOrdinal(t.Info->Kind))
        ThrowKind(*t.Info, "an ordinal");
    SetOrdinal(t, value);
}

AnsiString GetStrProp(const TPersistent* instance, std::string_view path)
{
    TTarget t = Target(instance, path);
    if (t.Info->Kind != tkString)
        ThrowKind(*t.Info, "a string");
    return t.Info->Access.GetStr(*t.Holder);
}

void SetStrProp(TPersistent* instance, std::string_view path, const AnsiString& value)
{
    TTarget t = Target(instance, path);
    if (t.Info->Kind != tkString)
        ThrowKind(*t.Info, "a string");
    if (!t.Info->Access.SetStr)
        ThrowReadOnly(*t.Info);
    t.Info->Access.SetStr(*t.Holder, value);
}

double GetFloatProp(const TPersistent* instance, std::string_view path)
{
    TTarget t = Target(instance, path);
    if (t.Info->Kind != tkFloat)
        ThrowKind(*t.Info, "a number");
    return t.Info->Access.GetFloat(*t.Holder);
}

void SetFloatProp(TPersistent* instance, std::string_view path, double value)
{
    TTarget t = Target(instance, path);
    if (t.Info->Kind != tkFloat)
        ThrowKind(*t.Info, "a number");
    if (!t.Info->Access.SetFloat)
        ThrowReadOnly(*t.Info);
    t.Info->Access.SetFloat(*t.Holder, value);
}

AnsiString GetEnumProp(const TPersistent* instance, std::string_view path)
{
    TTarget t = Target(instance, path);
    if (t.Info->Kind == tkBoolean)
        return t.Info->Access.GetOrd(*t.Holder) ? "True" : "False";
    if (t.Info->Kind != tkEnumeration)
        ThrowKind(*t.Info, "an enumeration");
    return t.Info->EnumType->Name(t.Info->Access.GetOrd(*t.Holder));
}

void SetEnumProp(TPersistent* instance, std::string_view path, std::string_view ident)
{
    TTarget t = Target(instance, path);
    int value = -1;
    if (t.Info->Kind == tkBoolean) {
        value = SameIdent(ident, "True") ? 1 : SameIdent(ident, "False") ? 0 : -1;
        if (value < 0)
            throw EPropertyError(Quoted(ident) + " is not a Boolean");
    } else if (t.Info->Kind == tkEnumeration) {
        value = t.Info->EnumType->ValueOf(Trim(ident));
        if (value < 0)
            throw EPropertyError(Quoted(ident) + " is not a value of " + t.Info->EnumType->TypeName());
    } else {
        ThrowKind(*t.Info, "an enumeration");
    }
    SetOrdinal(t, value);
}

AnsiString GetSetProp(const TPersistent* instance, std::string_view path, bool brackets)
{
    TTarget t = Target(instance, path);
    if (t.Info->Kind != tkSet)
        ThrowKind(*t.Info, "a set");
    return SetToString(*t.Info->EnumType, static_cast<uint64_t>(t.Info->Access.GetOrd(*t.Holder)), brackets);
}

void SetSetProp(TPersistent* instance, std::string_view path, std::string_view text)
{
    TTarget t = Target(instance, path);
    if (t.Info->Kind != tkSet)
        ThrowKind(*t.Info, "a set");
    SetOrdinal(t, static_cast<int64_t>(StringToSet(*t.Info->EnumType, text)));
}

TPersistent* GetObjectProp(const TPersistent* instance, std::string_view path)
{
    TTarget t = Target(instance, path);
    if (t.Info->Kind != tkClass && t.Info->Kind != tkComponent && t.Info->Kind != tkCollection)
        ThrowKind(*t.Info, "an object");
    return t.Info->Access.GetObject(*t.Holder);
}

void SetObjectProp(TPersistent* instance, std::string_view path, TPersistent* value)
{
    TTarget t = Target(instance, path);
    if (t.Info->Kind != tkClass && t.Info->Kind != tkComponent && t.Info->Kind != tkCollection)
        ThrowKind(*t.Info, "an object");
    if (!t.Info->Access.SetObject)
        ThrowReadOnly(*t.Info);
    t.Info->Access.SetObject(*t.Holder, value);
}

rtl::TStrings* GetStringsProp(const TPersistent* instance, std::string_view path)
{
    TTarget t = Target(instance, path);
    if (t.Info->Kind != tkStrings)
        ThrowKind(*t.Info, "a string list");
    return t.Info->Access.GetStrings(*t.Holder);
}

TBinaryData GetBinaryProp(const TPersistent* instance, std::string_view path)
{
    TTarget t = Target(instance, path);
    if (t.Info->Kind != tkBinary)
        ThrowKind(*t.Info, "binary data");
    return t.Info->Access.GetBinary(*t.Holder);
}

void SetBinaryProp(TPersistent* instance, std::string_view path, const TBinaryData& value)
{
    TTarget t = Target(instance, path);
    if (t.Info->Kind != tkBinary)
        ThrowKind(*t.Info, "binary data");
    if (!t.Info->Access.SetBinary)
        ThrowReadOnly(*t.Info);
    t.Info->Access.SetBinary(*t.Holder, value);
}

std::any GetMethodProp(const TPersistent* instance, std::string_view path)
{
    TTarget t = Target(instance, path);
    if (t.Info->Kind != tkMethod)
        ThrowKind(*t.Info, "an event");
    return t.Info->Access.GetMethod(*t.Holder);
}

void SetMethodProp(TPersistent* instance, std::string_view path, const std::any& handler)
{
    TTarget t = Target(instance, path);
    if (t.Info->Kind != tkMethod)
        ThrowKind(*t.Info, "an event");
    if (!t.Info->Access.SetMethod)
        ThrowReadOnly(*t.Info);
    if (handler.has_value() && handler.type() != t.Info->MethodType)
        throw EPropertyError("the handler does not take the parameters of event '" + t.Info->Name + "'");
    t.Info->Access.SetMethod(*t.Holder, handler);
}

void BindEventHandler(TPersistent* instance, std::string_view eventPath, TComponent* root, std::string_view handlerName)
{
    TTarget t = Target(instance, eventPath);
    if (t.Info->Kind != tkMethod)
        ThrowKind(*t.Info, "an event");
    if (!t.Info->Access.SetMethod)
        ThrowReadOnly(*t.Info);
    if (!root)
        throw EPropertyError("no form to find handler '" + AnsiString(handlerName) + "' in");
    const THandlerInfo* handler = root->ClassType().FindHandler(handlerName);
    if (!handler)
        throw EPropertyError("no handler named '" + AnsiString(handlerName) + "' in " + root->ClassName());
    if (handler->Type != t.Info->MethodType)
        throw EPropertyError("handler '" + handler->Name + "' does not take the parameters of event '" + t.Info->Name + "'");
    t.Info->Access.SetMethod(*t.Holder, handler->Bind(*root));
    if (auto* component = dynamic_cast<TComponent*>(instance))
        component->SetEventHandlerName(eventPath, handler->Name);
}

void CopyPublishedProps(const TPersistent& source, TPersistent& dest)
{
    for (const TPropInfo* from : source.ClassType().PropList()) {
        const TPropInfo* to = dest.ClassType().FindProp(from->Name);
        if (!to || to->Kind != from->Kind)
            continue;
        const auto& get = from->Access;
        const auto& set = to->Access;
        switch (from->Kind) {
        case tkInteger:
        case tkChar:
        case tkBoolean:
        case tkEnumeration:
        case tkSet:
        case tkColor:
            if (set.SetOrd)
                set.SetOrd(dest, get.GetOrd(source));
            break;
        case tkFloat:
            if (set.SetFloat)
                set.SetFloat(dest, get.GetFloat(source));
            break;
        case tkString:
            if (set.SetStr)
                set.SetStr(dest, get.GetStr(source));
            break;
        case tkBinary:
            if (set.SetBinary)
                set.SetBinary(dest, get.GetBinary(source));
            break;
        case tkMethod:
            if (set.SetMethod && from->MethodType == to->MethodType)
                set.SetMethod(dest, get.GetMethod(source));
            break;
        case tkComponent:
            if (set.SetObject)
                set.SetObject(dest, get.GetObject(source));
            break;
        case tkClass: {
            TPersistent* a = get.GetObject(source);
            TPersistent* b = set.GetObject(dest);
            if (a && b && a != b)
                CopyPublishedProps(*a, *b);
            break;
        }
        case tkCollection: {
            TPersistent* a = get.GetObject(source);
            TPersistent* b = set.GetObject(dest);
            if (a && b && a != b)
                b->Assign(a);
            break;
        }
        case tkStrings: {
            rtl::TStrings* a = get.GetStrings(source);
            if (a && set.SetStrings)
                set.SetStrings(dest, *a);
            break;
        }
        case tkUnknown: break;
        }
    }
}

}  // namespace vcl
