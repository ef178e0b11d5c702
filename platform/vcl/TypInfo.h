#pragma once
// Run-time type information of the component framework: enumerations and sets with their identifiers,
// class metadata (one per class, with its published properties and, for forms, its event handlers), the
// class registry, and generic access to published properties by name.
//
// How a class declares itself is shown at the top of platform/vcl/Classes.h. Generic access:
//
//   vcl::SetPropValue(button, "Caption", "OK");          // through the class's setter
//   vcl::GetPropValue(form, "Font.Name").AsString();      // dotted paths walk nested objects
//   vcl::SetEnumProp(form, "Position", "poScreenCenter");
//   vcl::SetSetProp(form, "Font.Style", "[fsBold, fsItalic]");
//   for (const vcl::TPropInfo* p : vcl::GetPropList(component, {vcl::tkString})) ...
//   vcl::IsPublishedProp(component, "Captoin");           // false; setting it raises EPropertyError
//
// Enumerations used as published properties carry their identifiers:
//
//   VCL_ENUM(TPosition, poDesigned, poDefault, poScreenCenter)     // declares the enum and its names
//   VCL_ENUM_SIZED(TTrwkLanguage, uint8_t, tlChineseSimplified, ...)
//   VCL_ENUM_INFO(TExistingEnum, a, b, c)                           // names for an enum declared elsewhere
//   using TFontStyles = vcl::TSet<TFontStyle>;
//
// The values of such an enum are 0, 1, 2 ... in order (no "= n" initialisers), and a set holds at most 64.

#include <any>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string_view>
#include <typeindex>
#include <unordered_map>
#include <variant>
#include <vector>

#include "platform/rtl/Classes.h"
#include "platform/rtl/SysUtils.h"
#include "platform/vcl/Colors.h"

namespace vcl {

using rtl::AnsiString;
using TObject = rtl::TObject;

class TPersistent;
class TComponent;
class TCollection;
class TCollectionItem;
class TClassMeta;

// A misuse of published properties: an unknown name, a value of the wrong kind, a read-only property.
class EPropertyError : public rtl::Exception {
public:
    using Exception::Exception;
};

// A class name that is not registered (or cannot be created).
class EClassNotFound : public rtl::Exception {
public:
    using Exception::Exception;
};

// Case-insensitive comparison of identifiers (component, class, property and enumeration names are ASCII).
bool SameIdent(std::string_view a, std::string_view b);
AnsiString UpperIdent(std::string_view s);
// A Pascal identifier: a letter or '_', then letters, digits and '_'.
bool IsValidIdent(std::string_view s);

// ---------------------------------------------------------------------------------------------------------
// Enumerations and sets

class TEnumInfo {
public:
    // `names` is the enumerator list as written in the source ("a, b, c").
    TEnumInfo(const char* typeName, const char* names);

    const AnsiString& TypeName() const { return typeName_; }
    int Count() const { return static_cast<int>(names_.size()); }
    // The identifier of `value`; an out-of-range value gives "".
    const AnsiString& Name(int64_t value) const;
    // The value of an identifier, compared without case, or -1.
    int ValueOf(std::string_view ident) const;

private:
    AnsiString typeName_;
    std::vector<AnsiString> names_;
    std::unordered_map<AnsiString, int> index_;
};

template <class E>
concept EnumWithInfo = std::is_enum_v<E> && requires(E e) {
    { EnumTypeInfo(e) } -> std::same_as<const TEnumInfo&>;
};

template <EnumWithInfo E>
const TEnumInfo& EnumInfoOf() { return EnumTypeInfo(E{}); }

template <EnumWithInfo E>
const AnsiString& EnumName(E value) { return EnumInfoOf<E>().Name(static_cast<int64_t>(value)); }

// A set of enumeration values, as the classic library's "set of" type.
template <class E>
class TSet {
public:
    constexpr TSet() = default;
    constexpr TSet(std::initializer_list<E> items)
    {
        for (E e : items)
            bits_ |= Bit(e);
    }

    constexpr bool Contains(E e) const { return (bits_ & Bit(e)) != 0; }
    constexpr bool Empty() const { return bits_ == 0; }
    constexpr TSet& Include(E e) { bits_ |= Bit(e); return *this; }
    constexpr TSet& Exclude(E e) { bits_ &= ~Bit(e); return *this; }
    constexpr TSet& operator<<(E e) { return Include(e); }
    constexpr TSet& operator>>(E e) { return Exclude(e); }
    constexpr TSet& Clear() { bits_ = 0; return *this; }

    friend constexpr TSet operator+(TSet a, TSet b) { return FromInt(a.bits_ | b.bits_); }
    friend constexpr TSet operator-(TSet a, TSet b) { return FromInt(a.bits_ & ~b.bits_); }
    friend constexpr TSet operator*(TSet a, TSet b) { return FromInt(a.bits_ & b.bits_); }
    friend constexpr bool operator==(TSet a, TSet b) = default;

    // Bit n stands for the value n.
    constexpr uint64_t ToInt() const { return bits_; }
    static constexpr TSet FromInt(uint64_t bits)
    {
        TSet s;
        s.bits_ = bits;
        return s;
    }

private:
    static constexpr uint64_t Bit(E e) { return uint64_t(1) << (static_cast<unsigned>(e) & 63u); }
    uint64_t bits_ = 0;
};

template <class T>
struct IsTSet : std::false_type {};
template <class E>
struct IsTSet<TSet<E>> : std::true_type {
    using Element = E;
};

// "[a, b]" for a set's bits, in value order.
AnsiString SetToString(const TEnumInfo& elements, uint64_t bits, bool brackets = true);
// Parses "[a, b]" or "a,b" (blanks ignored); an unknown identifier raises EPropertyError.
uint64_t StringToSet(const TEnumInfo& elements, std::string_view text);

// ---------------------------------------------------------------------------------------------------------
// Property values and metadata

using TBinaryData = std::vector<uint8_t>;

enum TTypeKind {
    tkUnknown,
    tkInteger,
    tkChar,
    tkBoolean,
    tkEnumeration,
    tkSet,
    tkFloat,
    tkString,
    tkColor,
    tkComponent,   // a reference to a component owned elsewhere
    tkClass,       // a nested persistent object owned by the instance (Font, Information)
    tkStrings,     // an rtl::TStrings owned by the instance (Items, Lines)
    tkCollection,  // a TCollection owned by the instance (Panels)
    tkBinary,      // bytes (Picture.Data)
    tkMethod,      // an event: a std::function-typed handler
};
const char* TypeKindName(TTypeKind kind);

// The small variant of GetPropValue / SetPropValue. Ordinal kinds read as integers except enumerations
// and sets, which read as identifiers ("poScreenCenter", "[fsBold]"); a char reads as a one-character string.
class TPropValue {
public:
    using Storage = std::variant<std::monostate, bool, int64_t, double, AnsiString, TPersistent*, rtl::TStrings*, TBinaryData>;

    TPropValue() = default;
    TPropValue(bool v) : data_(v) {}
    template <std::integral I>
        requires(!std::same_as<I, bool>)
    TPropValue(I v) : data_(static_cast<int64_t>(v)) {}
    TPropValue(TColor v) : data_(static_cast<int64_t>(v)) {}
    TPropValue(double v) : data_(v) {}
    TPropValue(const char* v) : data_(AnsiString(v)) {}
    TPropValue(AnsiString v) : data_(std::move(v)) {}
    TPropValue(TPersistent* v) : data_(v) {}
    TPropValue(std::nullptr_t) : data_(static_cast<TPersistent*>(nullptr)) {}
    TPropValue(rtl::TStrings* v) : data_(v) {}
    TPropValue(TBinaryData v) : data_(std::move(v)) {}

    bool IsEmpty() const { return std::holds_alternative<std::monostate>(data_); }
    bool IsBool() const { return std::holds_alternative<bool>(data_); }
    bool IsInteger() const { return std::holds_alternative<int64_t>(data_); }
    bool IsFloat() const { return std::holds_alternative<double>(data_); }
    bool IsString() const { return std::holds_alternative<AnsiString>(data_); }
    bool IsObject() const { return std::holds_alternative<TPersistent*>(data_); }
    bool IsStrings() const { return std::holds_alternative<rtl::TStrings*>(data_); }
    bool IsBinary() const { return std::holds_alternative<TBinaryData>(data_); }

    // Each raises EPropertyError when the value holds another kind (AsString also formats numbers and
    // Booleans; AsFloat also takes an integer).
    bool AsBool() const;
    int64_t AsInteger() const;
    double AsFloat() const;
    AnsiString AsString() const;
    TPersistent* AsObject() const;
    rtl::TStrings* AsStrings() const;
    const TBinaryData& AsBinary() const;

    const Storage& Data() const { return data_; }
    friend bool operator==(const TPropValue&, const TPropValue&) = default;

private:
    Storage data_;
};

// One published property. Built by TClassDef (Classes.h); read by the form reader and writer, the
// translator and the generic accessors below.
class TPropInfo {
public:
    AnsiString Name;
    TTypeKind Kind = tkUnknown;
    const TEnumInfo* EnumType = nullptr;          // tkEnumeration; the element type of tkSet
    const TClassMeta& (*ClassTypeFn)() = nullptr;  // tkComponent, tkClass, tkCollection: the value's class
    std::type_index MethodType = typeid(void);    // tkMethod: the std::function type of the handler
    int64_t MinValue = 0, MaxValue = 0;            // tkInteger: the range of the C++ type
    bool HasDefault = false;
    TPropValue Default;                             // as GetPropValue would read it

    const TClassMeta* ClassType() const;
    bool IsReadOnly() const { return !Access.HasSetter; }
    // Whether the writer saves the property: its stored flag, and a value other than its default (without a
    // default: integers, floats and Booleans always; other kinds when not empty).
    bool IsStored(const TPersistent& instance) const;
    bool IsDefaultValue(const TPersistent& instance) const;

    // Options, chained after the registration line: def.Property(...).Stored(false).
    TPropInfo& Stored(bool stored);
    TPropInfo& Stored(std::function<bool(const TPersistent&)> stored);

    // Type-erased accessors (filled by TClassDef; the generic functions below are the way to use them).
    struct Accessors {
        bool HasSetter = false;
        std::function<int64_t(const TPersistent&)> GetOrd;
        std::function<void(TPersistent&, int64_t)> SetOrd;
        std::function<double(const TPersistent&)> GetFloat;
        std::function<void(TPersistent&, double)> SetFloat;
        std::function<AnsiString(const TPersistent&)> GetStr;
        std::function<void(TPersistent&, const AnsiString&)> SetStr;
        std::function<TPersistent*(const TPersistent&)> GetObject;   // component, class, collection
        std::function<void(TPersistent&, TPersistent*)> SetObject;
        std::function<rtl::TStrings*(const TPersistent&)> GetStrings;
        std::function<void(TPersistent&, const rtl::TStrings&)> SetStrings;
        std::function<TBinaryData(const TPersistent&)> GetBinary;
        std::function<void(TPersistent&, const TBinaryData&)> SetBinary;
        std::function<std::any(const TPersistent&)> GetMethod;       // the std::function, or empty when unassigned
        std::function<void(TPersistent&, const std::any&)> SetMethod;
        std::function<bool(const TPersistent&)> IsDefault;           // only when HasDefault
        std::function<bool(const TPersistent&)> StoredFn;            // empty: stored
    } Access;
};

// An event handler a form class registers by name; Bind makes the std::function for one instance.
struct THandlerInfo {
    AnsiString Name;
    std::type_index Type = typeid(void);
    std::function<std::any(TComponent& root)> Bind;
};

// Metadata of one class: name, parent, factories and the published properties, inherited ones first in
// registration order (a class may re-register an inherited name to change it; it keeps its place).
class TClassMeta {
public:
    using ComponentFactory = TComponent* (*)(TComponent* owner);
    using ItemFactory = TCollectionItem* (*)(TCollection* collection);

    TClassMeta(AnsiString name, const TClassMeta* parent, ComponentFactory componentFactory, ItemFactory itemFactory);
    TClassMeta(const TClassMeta&) = delete;
    TClassMeta& operator=(const TClassMeta&) = delete;

    const AnsiString& ClassName() const { return name_; }
    const TClassMeta* ClassParent() const { return parent_; }
    bool InheritsFrom(const TClassMeta& other) const;
    bool InheritsFrom(std::string_view className) const;  // without regard to case

    // Classes with a public constructor (TComponent* owner) can be created by name.
    bool IsCreatable() const { return componentFactory_ != nullptr; }
    TComponent* CreateComponent(TComponent* owner) const;
    // Collection items with a public constructor (TCollection*).
    bool IsItemCreatable() const { return itemFactory_ != nullptr; }
    TCollectionItem* CreateItem(TCollection* collection) const;

    int PropCount() const { return static_cast<int>(props_.size()); }
    const TPropInfo& Props(int index) const { return *props_[static_cast<size_t>(index)]; }
    const std::vector<const TPropInfo*>& PropList() const { return props_; }
    // Without regard to case; nullptr when there is none.
    const TPropInfo* FindProp(std::string_view name) const;

    int HandlerCount() const { return static_cast<int>(handlers_.size()); }
    const THandlerInfo& Handlers(int index) const { return *handlers_[static_cast<size_t>(index)]; }
    const THandlerInfo* FindHandler(std::string_view name) const;

    // Used while the class registers its members (TClassDef).
    TPropInfo& AddProp(std::unique_ptr<TPropInfo> prop);
    void AddHandler(std::unique_ptr<THandlerInfo> handler);

private:
    AnsiString name_;
    const TClassMeta* parent_;
    ComponentFactory componentFactory_;
    ItemFactory itemFactory_;
    std::vector<std::unique_ptr<TPropInfo>> ownProps_;
    std::vector<const TPropInfo*> props_;
    std::unordered_map<AnsiString, size_t> propIndex_;
    std::vector<std::unique_ptr<THandlerInfo>> ownHandlers_;
    std::vector<const THandlerInfo*> handlers_;
    std::unordered_map<AnsiString, size_t> handlerIndex_;
};

// ---------------------------------------------------------------------------------------------------------
// The class registry. Libraries register their classes from a function that is called (never from static
// initialisers): vcl::RegisterCoreClasses(), the controls' RegisterStandardControls(), ...

// Registering the same class again is harmless; another class of the same name raises EClassNotFound.
void RegisterClass(const TClassMeta& meta);
template <class T>
void RegisterClass() { RegisterClass(T::StaticClass()); }
void RegisterClasses(std::initializer_list<const TClassMeta*> metas);
void UnRegisterClass(const TClassMeta& meta);
// Without regard to case; nullptr when unknown.
const TClassMeta* FindClass(std::string_view className);
// Creates a registered creatable class; EClassNotFound otherwise.
TComponent* CreateComponent(std::string_view className, TComponent* owner);

// ---------------------------------------------------------------------------------------------------------
// Generic access by name. `path` may be dotted ("Font.Name", "Information.CompanyName"); each step but
// the last names a nested object (or a non-empty component reference). Unknown names raise EPropertyError.

// The property and the object that holds it (the last step of a path), or nullptr when there is none.
const TPropInfo* GetPropInfo(const TPersistent* instance, std::string_view path, TPersistent** holder = nullptr);
bool IsPublishedProp(const TPersistent* instance, std::string_view path);
bool PropIsType(const TPersistent* instance, std::string_view path, TTypeKind kind);
TTypeKind PropType(const TPersistent* instance, std::string_view path);

// Published properties in order; with kinds, only those kinds.
std::vector<const TPropInfo*> GetPropList(const TPersistent* instance, std::initializer_list<TTypeKind> kinds = {});
// The string properties, as the translator walks them.
std::vector<const TPropInfo*> GetStringPropList(const TPersistent* instance);

TPropValue GetPropValue(const TPersistent* instance, std::string_view path);
void SetPropValue(TPersistent* instance, std::string_view path, const TPropValue& value);

int64_t GetOrdProp(const TPersistent* instance, std::string_view path);
void SetOrdProp(TPersistent* instance, std::string_view path, int64_t value);
AnsiString GetStrProp(const TPersistent* instance, std::string_view path);
void SetStrProp(TPersistent* instance, std::string_view path, const AnsiString& value);
double GetFloatProp(const TPersistent* instance, std::string_view path);
void SetFloatProp(TPersistent* instance, std::string_view path, double value);
AnsiString GetEnumProp(const TPersistent* instance, std::string_view path);
void SetEnumProp(TPersistent* instance, std::string_view path, std::string_view ident);
AnsiString GetSetProp(const TPersistent* instance, std::string_view path, bool brackets = true);
void SetSetProp(TPersistent* instance, std::string_view path, std::string_view text);
TPersistent* GetObjectProp(const TPersistent* instance, std::string_view path);
void SetObjectProp(TPersistent* instance, std::string_view path, TPersistent* value);
rtl::TStrings* GetStringsProp(const TPersistent* instance, std::string_view path);
TBinaryData GetBinaryProp(const TPersistent* instance, std::string_view path);
void SetBinaryProp(TPersistent* instance, std::string_view path, const TBinaryData& value);

// Events, typed by their handler's std::function type: a mismatch raises EPropertyError. An unassigned
// event reads as an empty std::any (GetEventProp: an empty function); setting an empty std::any clears it.
std::any GetMethodProp(const TPersistent* instance, std::string_view path);
void SetMethodProp(TPersistent* instance, std::string_view path, const std::any& handler);
template <class F>
F GetEventProp(const TPersistent* instance, std::string_view path)
{
    std::any value = GetMethodProp(instance, path);
    if (!value.has_value())
        return F();
    if (const F* f = std::any_cast<F>(&value))
        return *f;
    throw EPropertyError("event '" + AnsiString(path) + "' has another handler type");
}
template <class F>
void SetEventProp(TPersistent* instance, std::string_view path, F handler)
{
    SetMethodProp(instance, path, std::any(std::move(handler)));
}

// Binds an event of `instance` to the handler `handlerName` that `root`'s class registered (the form
// reader does the same for "OnClick = btnOkClick"). Raises EPropertyError for an unknown handler or a
// handler whose parameters differ from the event's.
void BindEventHandler(TPersistent* instance, std::string_view eventPath, TComponent* root, std::string_view handlerName);

// Copies every writable published property of `source` into `dest` (the same class or a descendant):
// values, nested objects property by property, lists and collections; component references and events
// are copied as they stand.
void CopyPublishedProps(const TPersistent& source, TPersistent& dest);

}  // namespace vcl

// Declare an enumeration with its identifiers (see the top of this file).
#define VCL_ENUM_INFO(Name, ...)                                                   \
    [[maybe_unused]] inline const ::vcl::TEnumInfo& EnumTypeInfo(Name)             \
    {                                                                             \
        static const ::vcl::TEnumInfo info(#Name, #__VA_ARGS__);                   \
        return info;                                                              \
    }
#define VCL_ENUM(Name, ...)  \
    enum Name { __VA_ARGS__ }; \
    VCL_ENUM_INFO(Name, __VA_ARGS__)
#define VCL_ENUM_SIZED(Name, Type, ...) \
    enum Name : Type { __VA_ARGS__ };   \
    VCL_ENUM_INFO(Name, __VA_ARGS__)
