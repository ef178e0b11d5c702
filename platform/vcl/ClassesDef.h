#pragma once
// The registration side of published properties: TClassDef<T> turns one line per property (name, getter,
// setter, default) into a TPropInfo with type-erased accessors. Included at the end of Classes.h; see the
// usage comment there.

#include <any>
#include <concepts>
#include <functional>
#include <limits>
#include <memory>
#include <string_view>
#include <type_traits>
#include <typeindex>

namespace vcl {

namespace detail {

template <class T>
struct IsStdFunction : std::false_type {};
template <class R, class... A>
struct IsStdFunction<std::function<R(A...)>> : std::true_type {};

template <class V>
constexpr TTypeKind KindOf()
{
    if constexpr (std::is_same_v<V, bool>)
        return tkBoolean;
    else if constexpr (std::is_same_v<V, char>)
        return tkChar;
    else if constexpr (std::is_same_v<V, TColor>)
        return tkColor;
    else if constexpr (EnumWithInfo<V>)
        return tkEnumeration;
    else if constexpr (IsTSet<V>::value)
        return tkSet;
    else if constexpr (std::is_integral_v<V>)
        return tkInteger;
    else if constexpr (std::is_floating_point_v<V>)
        return tkFloat;
    else if constexpr (std::is_same_v<V, AnsiString>)
        return tkString;
    else if constexpr (std::is_same_v<V, TBinaryData>)
        return tkBinary;
    else if constexpr (IsStdFunction<V>::value)
        return tkMethod;
    else if constexpr (std::is_pointer_v<V>) {
        using P = std::remove_cv_t<std::remove_pointer_t<V>>;
        if constexpr (std::is_base_of_v<TComponent, P>)
            return tkComponent;
        else if constexpr (std::is_base_of_v<TCollection, P>)
            return tkCollection;
        else if constexpr (std::is_base_of_v<rtl::TStrings, P>)
            return tkStrings;
        else if constexpr (std::is_base_of_v<TPersistent, P>)
            return tkClass;
        else
            return tkUnknown;
    } else
        return tkUnknown;
}

[[noreturn]] void ThrowRange(const TPropInfo& info, int64_t value);
[[noreturn]] void ThrowWrongClass(const TPropInfo& info, const TPersistent* value);

// Ordinal kinds travel as int64: Booleans 0/1, chars 0..255, enumerations their value, sets their bits,
// colours their 32-bit value.
template <class V>
int64_t ToOrd(const V& v)
{
    if constexpr (std::is_same_v<V, bool>)
        return v ? 1 : 0;
    else if constexpr (std::is_same_v<V, char>)
        return static_cast<unsigned char>(v);
    else if constexpr (IsTSet<V>::value)
        return static_cast<int64_t>(v.ToInt());
    else
        return static_cast<int64_t>(v);
}

template <class V>
V FromOrd(const TPropInfo& info, int64_t v)
{
    if constexpr (std::is_same_v<V, bool>) {
        if (v != 0 && v != 1)
            ThrowRange(info, v);
        return v != 0;
    } else if constexpr (std::is_same_v<V, char>) {
        if (v < 0 || v > 255)
            ThrowRange(info, v);
        return static_cast<char>(static_cast<unsigned char>(v));
    } else if constexpr (std::is_same_v<V, TColor>) {
        if (v < std::numeric_limits<int32_t>::min() || v > static_cast<int64_t>(std::numeric_limits<uint32_t>::max()))
            ThrowRange(info, v);
        return static_cast<TColor>(static_cast<int32_t>(static_cast<uint32_t>(v)));
    } else if constexpr (EnumWithInfo<V>) {
        if (v < 0 || v >= info.EnumType->Count())
            ThrowRange(info, v);
        return static_cast<V>(v);
    } else if constexpr (IsTSet<V>::value) {
        int count = info.EnumType->Count();
        uint64_t bits = static_cast<uint64_t>(v);
        if (count < 64 && (bits >> count) != 0)
            ThrowRange(info, v);
        return V::FromInt(bits);
    } else {
        if (v < info.MinValue || v > info.MaxValue)
            ThrowRange(info, v);
        return static_cast<V>(v);
    }
}

template <class T>
const T& Self(const TPersistent& p) { return static_cast<const T&>(p); }
template <class T>
T& Self(TPersistent& p) { return static_cast<T&>(p); }

// Getters are called on a non-const instance so that non-const member functions work as well.
template <class T, class G>
decltype(auto) CallGet(const G& getter, const TPersistent& p)
{
    return std::invoke(getter, const_cast<T&>(Self<T>(p)));
}

template <class Component>
TComponent* MakeComponent(TComponent* owner) { return new Component(owner); }
template <class Item>
TCollectionItem* MakeItem(TCollection* collection) { return new Item(collection); }

template <class T>
const TClassMeta& BuildClassMeta(const char* name)
{
    TClassMeta::ComponentFactory componentFactory = nullptr;
    TClassMeta::ItemFactory itemFactory = nullptr;
    if constexpr (!std::is_abstract_v<T>) {
        if constexpr (std::is_base_of_v<TComponent, T> && std::is_constructible_v<T, TComponent*>)
            componentFactory = &MakeComponent<T>;
        if constexpr (std::is_base_of_v<TCollectionItem, T> && std::is_constructible_v<T, TCollection*>)
            itemFactory = &MakeItem<T>;
    }
    static TClassMeta meta(name, &T::inherited::StaticClass(), componentFactory, itemFactory);
    TClassDef<T> def(meta);
    T::RegisterProperties(def);
    return meta;
}

}  // namespace detail

template <class T>
class TClassDef {
public:
    explicit TClassDef(TClassMeta& meta) : meta_(meta) {}

    // A property without a default: the writer always saves integers, floats and Booleans, and other
    // kinds when they are not empty.
    template <class G, class S>
    TPropInfo& Property(std::string_view name, G getter, S setter)
    {
        return meta_.AddProp(Make(name, getter, setter));
    }

    // A property with its default: the writer saves it only when it differs.
    template <class G, class S, class D>
    TPropInfo& Property(std::string_view name, G getter, S setter, const D& defaultValue)
    {
        using V = ValueType<G>;
        std::unique_ptr<TPropInfo> info = Make(name, getter, setter);
        V def = static_cast<V>(defaultValue);
        info->HasDefault = true;
        info->Default = DefaultAsPropValue<V>(*info, def);
        info->Access.IsDefault = [getter, def](const TPersistent& p) {
            return static_cast<V>(detail::CallGet<T>(getter, p)) == def;
        };
        return meta_.AddProp(std::move(info));
    }

    // An event held in a public std::function member (possibly of a base class).
    template <class C, class F>
        requires std::is_base_of_v<C, T> && detail::IsStdFunction<F>::value
    TPropInfo& Event(std::string_view name, F C::*field)
    {
        auto info = std::make_unique<TPropInfo>();
        info->Name = AnsiString(name);
        info->Kind = tkMethod;
        info->MethodType = typeid(F);
        info->Access.HasSetter = true;
        info->Access.GetMethod = [field](const TPersistent& p) {
            const F& handler = static_cast<const C&>(detail::Self<T>(p)).*field;
            return handler ? std::any(handler) : std::any();
        };
        info->Access.SetMethod = [field](TPersistent& p, const std::any& handler) {
            static_cast<C&>(detail::Self<T>(p)).*field = handler.has_value() ? std::any_cast<const F&>(handler) : F();
        };
        return meta_.AddProp(std::move(info));
    }

    // A handler method of a form class that resources bind by name.
    template <class C, class... A>
        requires std::is_base_of_v<C, T>
    void Handler(std::string_view name, void (C::*method)(A...))
    {
        AddHandler<C, A...>(name, [method](C* self, A... args) { (self->*method)(std::forward<A>(args)...); });
    }
    template <class C, class... A>
        requires std::is_base_of_v<C, T>
    void Handler(std::string_view name, void (C::*method)(A...) const)
    {
        AddHandler<C, A...>(name, [method](C* self, A... args) { (self->*method)(std::forward<A>(args)...); });
    }

private:
    template <class G>
    using ValueType = std::remove_cvref_t<std::invoke_result_t<const G&, T&>>;

    template <class C, class... A, class Call>
    void AddHandler(std::string_view name, Call call)
    {
        auto info = std::make_unique<THandlerInfo>();
        info->Name = AnsiString(name);
        info->Type = typeid(std::function<void(A...)>);
        info->Bind = [call, name = info->Name](TComponent& root) {
            // A root still under construction as a base class is not yet the class with the handler.
            C* self = dynamic_cast<C*>(&root);
            if (!self)
                throw EPropertyError("handler '" + name + "' needs a " + T::StaticClass().ClassName() + ", not a " +
                                     root.ClassName());
            return std::any(std::function<void(A...)>([self, call](A... args) { call(self, std::forward<A>(args)...); }));
        };
        meta_.AddHandler(std::move(info));
    }

    template <class V>
    static TPropValue DefaultAsPropValue(const TPropInfo& info, const V& def)
    {
        constexpr TTypeKind kind = detail::KindOf<V>();
        if constexpr (kind == tkEnumeration)
            return info.EnumType->Name(static_cast<int64_t>(def));
        else if constexpr (kind == tkSet)
            return SetToString(*info.EnumType, def.ToInt());
        else if constexpr (kind == tkChar)
            return AnsiString(1, def);
        else if constexpr (kind == tkBoolean || kind == tkString || kind == tkBinary)
            return TPropValue(def);
        else if constexpr (kind == tkInteger || kind == tkColor)
            return TPropValue(static_cast<int64_t>(def));
        else if constexpr (kind == tkFloat)
            return TPropValue(static_cast<double>(def));
        else
            return TPropValue();
    }

    // Calls a setter that takes the object by pointer or by (const) reference.
    template <class X, class S>
    static void CallObjectSetter(const S& setter, T& self, X* value)
    {
        if constexpr (std::is_invocable_v<const S&, T&, X*>)
            std::invoke(setter, self, value);
        else
            std::invoke(setter, self, *value);
    }

    template <class G, class S>
    std::unique_ptr<TPropInfo> Make(std::string_view name, G getter, S setter)
    {
        using V = ValueType<G>;
        constexpr TTypeKind kind = detail::KindOf<V>();
        static_assert(kind != tkUnknown, "unsupported published property type");
        constexpr bool hasSetter = !std::is_same_v<S, std::nullptr_t>;

        auto info = std::make_unique<TPropInfo>();
        info->Name = AnsiString(name);
        info->Kind = kind;
        info->Access.HasSetter = hasSetter;

        if constexpr (kind == tkEnumeration)
            info->EnumType = &EnumInfoOf<V>();
        if constexpr (kind == tkSet) {
            using E = typename IsTSet<V>::Element;
            info->EnumType = &EnumInfoOf<E>();
        }
        if constexpr (kind == tkInteger) {
            info->MinValue = static_cast<int64_t>(std::numeric_limits<V>::min());
            if constexpr (std::is_unsigned_v<V> && sizeof(V) >= sizeof(int64_t))
                info->MaxValue = std::numeric_limits<int64_t>::max();
            else
                info->MaxValue = static_cast<int64_t>(std::numeric_limits<V>::max());
        }

        if constexpr (kind == tkBoolean || kind == tkChar || kind == tkColor || kind == tkEnumeration || kind == tkSet ||
                      kind == tkInteger) {
            info->Access.GetOrd = [getter](const TPersistent& p) {
                return detail::ToOrd<V>(detail::CallGet<T>(getter, p));
            };
            if constexpr (hasSetter) {
                const TPropInfo* self = info.get();
                info->Access.SetOrd = [setter, self](TPersistent& p, int64_t v) {
                    std::invoke(setter, detail::Self<T>(p), detail::FromOrd<V>(*self, v));
                };
            }
        } else if constexpr (kind == tkFloat) {
            info->Access.GetFloat = [getter](const TPersistent& p) {
                return static_cast<double>(detail::CallGet<T>(getter, p));
            };
            if constexpr (hasSetter)
                info->Access.SetFloat = [setter](TPersistent& p, double v) {
                    std::invoke(setter, detail::Self<T>(p), static_cast<V>(v));
                };
        } else if constexpr (kind == tkString) {
            info->Access.GetStr = [getter](const TPersistent& p) { return AnsiString(detail::CallGet<T>(getter, p)); };
            if constexpr (hasSetter)
                info->Access.SetStr = [setter](TPersistent& p, const AnsiString& v) {
                    std::invoke(setter, detail::Self<T>(p), v);
                };
        } else if constexpr (kind == tkBinary) {
            info->Access.GetBinary = [getter](const TPersistent& p) { return TBinaryData(detail::CallGet<T>(getter, p)); };
            if constexpr (hasSetter)
                info->Access.SetBinary = [setter](TPersistent& p, const TBinaryData& v) {
                    std::invoke(setter, detail::Self<T>(p), v);
                };
        } else if constexpr (kind == tkMethod) {
            info->MethodType = typeid(V);
            info->Access.GetMethod = [getter](const TPersistent& p) {
                V handler(detail::CallGet<T>(getter, p));
                return handler ? std::any(std::move(handler)) : std::any();
            };
            if constexpr (hasSetter)
                info->Access.SetMethod = [setter](TPersistent& p, const std::any& handler) {
                    std::invoke(setter, detail::Self<T>(p), handler.has_value() ? std::any_cast<const V&>(handler) : V());
                };
        } else if constexpr (kind == tkStrings) {
            info->Access.GetStrings = [getter](const TPersistent& p) -> rtl::TStrings* {
                return detail::CallGet<T>(getter, p);
            };
            if constexpr (hasSetter)
                info->Access.SetStrings = [setter](TPersistent& p, const rtl::TStrings& v) {
                    CallObjectSetter<rtl::TStrings>(setter, detail::Self<T>(p), const_cast<rtl::TStrings*>(&v));
                };
            else
                info->Access.SetStrings = [getter](TPersistent& p, const rtl::TStrings& v) {
                    if (rtl::TStrings* list = detail::CallGet<T>(getter, p))
                        list->Assign(v);
                };
        } else {  // tkComponent, tkClass, tkCollection
            using P = std::remove_cv_t<std::remove_pointer_t<V>>;
            info->ClassTypeFn = &P::StaticClass;
            info->Access.GetObject = [getter](const TPersistent& p) -> TPersistent* {
                return const_cast<P*>(static_cast<const P*>(detail::CallGet<T>(getter, p)));
            };
            const TPropInfo* self = info.get();
            if constexpr (hasSetter) {
                info->Access.SetObject = [setter, self](TPersistent& p, TPersistent* value) {
                    P* typed = dynamic_cast<P*>(value);
                    if (value && !typed)
                        detail::ThrowWrongClass(*self, value);
                    if constexpr (kind == tkComponent)
                        std::invoke(setter, detail::Self<T>(p), typed);
                    else if (typed)
                        CallObjectSetter<P>(setter, detail::Self<T>(p), typed);
                };
            } else if constexpr (kind != tkComponent) {
                // A nested object without a setter is assigned in place.
                info->Access.SetObject = [getter, self](TPersistent& p, TPersistent* value) {
                    if (value && !dynamic_cast<P*>(value))
                        detail::ThrowWrongClass(*self, value);
                    if (P* target = const_cast<P*>(static_cast<const P*>(detail::CallGet<T>(getter, p))))
                        target->Assign(value);
                };
            }
        }
        return info;
    }

    TClassMeta& meta_;
};

}  // namespace vcl
