// Loading a parsed resource into a root component, in the phases described in FormResource.h, and the
// table of embedded resources.

#include <limits>
#include <mutex>
#include <unordered_map>
#include <unordered_set>

#include "platform/vcl/FormResource.h"
#include "platform/vcl/FormResourceTree.h"

namespace vcl {

using formres::TItemNode;
using formres::TObjectNode;
using formres::TPos;
using formres::TPropertyNode;
using formres::TValueKind;
using formres::TValueNode;

namespace detail {

class TFormLoader {
public:
    TFormLoader(TComponent& root, const AnsiString& resourceName) : root_(root), resourceName_(resourceName) {}

    void Load(const TObjectNode& tree)
    {
        RegisterCoreClasses();
        std::vector<TComponentRef<TComponent>> before;
        before.reserve(static_cast<size_t>(root_.ComponentCount()));
        for (int i = 0; i < root_.ComponentCount(); ++i)
            before.emplace_back(root_.Components(i));
        root_.SetComponentState(csLoading, true);
        root_.SetComponentState(csReading, true);
        try {
            CheckRoot(tree);
            CreateChildren(tree, 0);
            for (size_t i = 0; i < entries_.size(); ++i)
                ApplyProperties(i);
            BindEvents();
            ResolveReferences();
            for (TEntry& entry : entries_)
                if (entry.Guard)
                    entry.Guard->Loaded();
            for (TEntry& entry : entries_) {
                if (entry.Guard) {
                    entry.Guard->SetComponentState(csLoading, false);
                    entry.Guard->SetComponentState(csReading, false);
                }
            }
        } catch (...) {
            Cleanup(before);
            throw;
        }
    }

private:
    struct TEntry {
        const TObjectNode* Node;
        TComponentRef<TComponent> Guard;
        AnsiString Path;
    };

    // An event or a reference, set once every component exists.
    struct TPending {
        TPersistent* Holder;
        const TPropInfo* Info;
        const TPropertyNode* Prop;
        size_t Entry;
        AnsiString Where;  // "Panels[0]" inside a collection item, else ""
    };

    [[noreturn]] void Fail(TPos pos, size_t entry, const AnsiString& where, const AnsiString& message) const
    {
        const TEntry& e = entries_[entry];
        AnsiString text = formres::PlaceText(resourceName_, pos) + e.Path + " (" + e.Node->ClassName + "): ";
        if (!where.empty())
            text += where + ": ";
        throw EFormResourceError(text + message);
    }

    // ----- phase 1: the root and the components -----------------------------------------------------------

    void CheckRoot(const TObjectNode& tree)
    {
        AnsiString path = tree.Name.empty() ? root_.Name() : tree.Name;
        entries_.push_back({&tree, TComponentRef<TComponent>(&root_), path.empty() ? tree.ClassName : path});
        if (!root_.InheritsFrom(tree.ClassName))
            Fail(tree.ClassPos, 0, "", "the resource describes a " + tree.ClassName + ", not a " + root_.ClassName());
        if (tree.Name.empty() || SameIdent(tree.Name, root_.Name()))
            return;
        AnsiString name = tree.Name;
        if (TComponent* owner = root_.Owner()) {
            // A second instance of the same form takes a numbered name, as the classic library does.
            for (int n = 1; owner->FindComponent(name) && owner->FindComponent(name) != &root_; ++n)
                name = tree.Name + "_" + std::to_string(n);
        }
        try {
            root_.SetName(name);
        } catch (const EComponentError& e) {
            Fail(tree.Pos, 0, "", e.Message());
        }
    }

    void CreateChildren(const TObjectNode& node, size_t parent)
    {
        for (const TObjectNode& child : node.Children) {
            size_t index = entries_.size();
            entries_.push_back({&child, TComponentRef<TComponent>(),
                                entries_[parent].Path + "." + (child.Name.empty() ? AnsiString("(unnamed)") : child.Name)});
            const TClassMeta* meta = FindClass(child.ClassName);
            if (!meta)
                Fail(child.ClassPos, index, "", "unknown class '" + child.ClassName + "'");
            if (!meta->IsCreatable())
                Fail(child.ClassPos, index, "", "class '" + meta->ClassName() + "' cannot be created from a resource");
            TComponent* component = meta->CreateComponent(&root_);
            entries_[index].Guard = component;
            component->SetComponentState(csLoading, true);
            component->SetComponentState(csReading, true);
            try {
                component->SetName(child.Name);
            } catch (const EComponentError& e) {
                Fail(child.Pos, index, "", e.Message());
            }
            component->SetParentComponent(entries_[parent].Guard.get());
            CreateChildren(child, index);
        }
    }

    // ----- phase 2: properties -----------------------------------------------------------------------------

    void ApplyProperties(size_t entry)
    {
        TComponent* component = entries_[entry].Guard.get();
        if (!component)
            return;
        for (const TPropertyNode& prop : entries_[entry].Node->Properties)
            ApplyProperty(entry, *component, prop, "");
    }

    void ApplyProperty(size_t entry, TPersistent& target, const TPropertyNode& prop, const AnsiString& where)
    {
        TPersistent* holder = &target;
        std::string_view rest = prop.Name;
        while (true) {
            size_t dot = rest.find('.');
            std::string_view step = rest.substr(0, dot);
            const TPropInfo* info = holder->ClassType().FindProp(step);
            if (!info)
                Fail(prop.Pos, entry, where, "unknown property '" + prop.Name + "'");
            if (dot == std::string_view::npos) {
                SetValue(entry, *holder, *info, prop, where);
                return;
            }
            rest = rest.substr(dot + 1);
            if (info->Kind == tkStrings && SameIdent(rest, "Strings")) {
                SetValue(entry, *holder, *info, prop, where);
                return;
            }
            if (info->Kind != tkClass)
                Fail(prop.Pos, entry, where, "property '" + info->Name + "' has no property '" + AnsiString(rest) + "'");
            TPersistent* next = info->Access.GetObject(*holder);
            if (!next)
                Fail(prop.Pos, entry, where, "property '" + info->Name + "' is empty");
            holder = next;
        }
    }

    [[noreturn]] void FailType(size_t entry, const AnsiString& where, const TPropertyNode& prop, const TPropInfo& info) const
    {
        Fail(prop.Value.Pos, entry, where,
             "property '" + prop.Name + "' expects " + TypeKindName(info.Kind) + ", not " + ValueKindName(prop.Value.Kind));
    }

    void SetValue(size_t entry, TPersistent& holder, const TPropInfo& info, const TPropertyNode& prop, const AnsiString& where)
    {
        const TValueNode& v = prop.Value;
        auto requireKind = [&](std::initializer_list<TValueKind> kinds) {
            for (TValueKind k : kinds)
                if (v.Kind == k)
                    return;
            FailType(entry, where, prop, info);
        };
        auto requireSetter = [&](bool present) {
            if (!present)
                Fail(prop.Pos, entry, where, "property '" + prop.Name + "' is read-only");
        };
        try {
            switch (info.Kind) {
            case tkInteger: {
                requireKind({TValueKind::Integer});
                requireSetter(static_cast<bool>(info.Access.SetOrd));
                int64_t value = v.Integer;
                // "$FFFFFFFF" is how a 32-bit signed value with the top bit set is written.
                if (v.Hex && value > info.MaxValue && info.MaxValue == std::numeric_limits<int32_t>::max() &&
                    value <= static_cast<int64_t>(std::numeric_limits<uint32_t>::max()))
                    value = static_cast<int32_t>(static_cast<uint32_t>(value));
                info.Access.SetOrd(holder, value);
                return;
            }
            case tkColor: {
                requireKind({TValueKind::Integer, TValueKind::Ident});
                requireSetter(static_cast<bool>(info.Access.SetOrd));
                if (v.Kind == TValueKind::Ident) {
                    TColor color;
                    if (!IdentToColor(v.Text, color))
                        Fail(v.Pos, entry, where, "'" + v.Text + "' is not a colour");
                    info.Access.SetOrd(holder, static_cast<int32_t>(color));
                } else {
                    info.Access.SetOrd(holder, v.Integer);
                }
                return;
            }
            case tkBoolean:
                requireKind({TValueKind::Ident});
                requireSetter(static_cast<bool>(info.Access.SetOrd));
                if (!SameIdent(v.Text, "True") && !SameIdent(v.Text, "False"))
                    Fail(v.Pos, entry, where, "'" + v.Text + "' is not a Boolean (True or False)");
                info.Access.SetOrd(holder, SameIdent(v.Text, "True") ? 1 : 0);
                return;
            case tkChar:
                requireKind({TValueKind::String, TValueKind::Integer});
                requireSetter(static_cast<bool>(info.Access.SetOrd));
                if (v.Kind == TValueKind::String) {
                    if (v.Text.size() != 1)
                        Fail(v.Pos, entry, where, "property '" + prop.Name + "' expects a single character");
                    info.Access.SetOrd(holder, static_cast<unsigned char>(v.Text[0]));
                } else {
                    info.Access.SetOrd(holder, v.Integer);
                }
                return;
            case tkEnumeration: {
                requireKind({TValueKind::Ident});
                requireSetter(static_cast<bool>(info.Access.SetOrd));
                int value = info.EnumType->ValueOf(v.Text);
                if (value < 0)
                    Fail(v.Pos, entry, where, "'" + v.Text + "' is not a value of " + info.EnumType->TypeName());
                info.Access.SetOrd(holder, value);
                return;
            }
            case tkSet: {
                requireKind({TValueKind::Set});
                requireSetter(static_cast<bool>(info.Access.SetOrd));
                uint64_t bits = 0;
                for (const AnsiString& item : v.SetItems) {
                    int value = info.EnumType->ValueOf(item);
                    if (value < 0 || value >= 64)
                        Fail(v.Pos, entry, where, "'" + item + "' is not a value of " + info.EnumType->TypeName());
                    bits |= uint64_t(1) << value;
                }
                info.Access.SetOrd(holder, static_cast<int64_t>(bits));
                return;
            }
            case tkFloat:
                requireKind({TValueKind::Float, TValueKind::Integer});
                requireSetter(static_cast<bool>(info.Access.SetFloat));
                info.Access.SetFloat(holder, v.Kind == TValueKind::Float ? v.Float : static_cast<double>(v.Integer));
                return;
            case tkString:
                requireKind({TValueKind::String});
                requireSetter(static_cast<bool>(info.Access.SetStr));
                info.Access.SetStr(holder, v.Text);
                return;
            case tkBinary:
                requireKind({TValueKind::Binary});
                requireSetter(static_cast<bool>(info.Access.SetBinary));
                info.Access.SetBinary(holder, v.Binary);
                return;
            case tkStrings: {
                requireKind({TValueKind::List});
                rtl::TStringList lines;
                for (const TValueNode& item : v.List) {
                    if (item.Kind != TValueKind::String)
                        Fail(item.Pos, entry, where,
                             "property '" + prop.Name + "' expects strings, not " + ValueKindName(item.Kind));
                    lines.Add(item.Text);
                }
                info.Access.SetStrings(holder, lines);
                return;
            }
            case tkCollection:
                requireKind({TValueKind::Collection});
                ReadCollection(entry, holder, info, prop, where);
                return;
            case tkComponent:
                requireKind({TValueKind::Ident});
                requireSetter(static_cast<bool>(info.Access.SetObject));
                references_.push_back({&holder, &info, &prop, entry, where});
                return;
            case tkMethod:
                requireKind({TValueKind::Ident});
                requireSetter(static_cast<bool>(info.Access.SetMethod));
                events_.push_back({&holder, &info, &prop, entry, where});
                return;
            case tkClass:
                Fail(prop.Pos, entry, where,
                     "property '" + prop.Name + "' is a nested object: set its properties (" + prop.Name + ".Name = ...)");
            case tkUnknown: break;
            }
            Fail(prop.Pos, entry, where, "property '" + prop.Name + "' cannot be read from a resource");
        } catch (const EPropertyError& e) {
            Fail(v.Pos, entry, where, e.Message());
        }
    }

    void ReadCollection(size_t entry, TPersistent& holder, const TPropInfo& info, const TPropertyNode& prop,
                        const AnsiString& where)
    {
        auto* collection = dynamic_cast<TCollection*>(info.Access.GetObject(holder));
        if (!collection)
            Fail(prop.Pos, entry, where, "property '" + prop.Name + "' is empty");
        if (!collection->ItemClass().IsItemCreatable())
            Fail(prop.Pos, entry, where, "items of class " + collection->ItemClass().ClassName() + " cannot be created");
        // A collection read twice frees its first items; forget what they still waited for.
        if (!filled_.insert(collection).second)
            DropPendingOf(*collection);
        collection->BeginUpdate();
        try {
            collection->Clear();
            const std::vector<TItemNode>& items = prop.Value.Items;
            for (size_t i = 0; i < items.size(); ++i) {
                TCollectionItem* item = collection->Add();
                AnsiString itemWhere = (where.empty() ? "" : where + ".") + prop.Name + "[" + std::to_string(i) + "]";
                for (const TPropertyNode& itemProp : items[i].Properties)
                    ApplyProperty(entry, *item, itemProp, itemWhere);
            }
        } catch (...) {
            collection->EndUpdate();
            throw;
        }
        collection->EndUpdate();
    }

    void DropPendingOf(const TCollection& collection)
    {
        auto isItemOf = [&](const TPending& p) {
            auto* item = dynamic_cast<TCollectionItem*>(p.Holder);
            return item && item->Collection() == &collection;
        };
        std::erase_if(references_, isItemOf);
        std::erase_if(events_, isItemOf);
    }

    // ----- phase 3: events ---------------------------------------------------------------------------------

    void BindEvents()
    {
        for (const TPending& p : events_) {
            const TValueNode& v = p.Prop->Value;
            TComponent* component = entries_[p.Entry].Guard.get();
            if (!component)
                continue;
            if (SameIdent(v.Text, "nil")) {
                p.Info->Access.SetMethod(*p.Holder, std::any());
                continue;
            }
            const THandlerInfo* handler = root_.ClassType().FindHandler(v.Text);
            if (!handler)
                Fail(v.Pos, p.Entry, p.Where, "no handler named '" + v.Text + "' in " + root_.ClassName());
            if (handler->Type != p.Info->MethodType)
                Fail(v.Pos, p.Entry, p.Where,
                     "handler '" + handler->Name + "' does not take the parameters of event '" + p.Prop->Name + "'");
            try {
                p.Info->Access.SetMethod(*p.Holder, handler->Bind(root_));
            } catch (const EPropertyError& e) {
                Fail(v.Pos, p.Entry, p.Where, e.Message());
            }
            if (p.Where.empty())
                component->SetEventHandlerName(p.Prop->Name, handler->Name);
        }
    }

    // ----- phase 4: references -----------------------------------------------------------------------------

    TComponent* FindReference(std::string_view dotted) const
    {
        std::vector<std::string_view> parts;
        while (true) {
            size_t dot = dotted.find('.');
            parts.push_back(dotted.substr(0, dot));
            if (dot == std::string_view::npos)
                break;
            dotted = dotted.substr(dot + 1);
        }
        TComponent* component = nullptr;
        size_t i = 0;
        if (parts.size() > 1 && SameIdent(parts[0], root_.Name())) {
            component = &root_;
            i = 1;
        }
        for (; i < parts.size(); ++i) {
            TComponent* next = (component ? component : &root_)->FindComponent(parts[i]);
            if (!next && !component && parts.size() == 1 && SameIdent(parts[i], root_.Name()))
                next = &root_;
            if (!next)
                return nullptr;
            component = next;
        }
        return component;
    }

    void ResolveReferences()
    {
        for (const TPending& p : references_) {
            const TValueNode& v = p.Prop->Value;
            if (!entries_[p.Entry].Guard)
                continue;
            if (SameIdent(v.Text, "nil")) {
                p.Info->Access.SetObject(*p.Holder, nullptr);
                continue;
            }
            TComponent* target = FindReference(v.Text);
            if (!target)
                Fail(v.Pos, p.Entry, p.Where, "unknown component '" + v.Text + "' for property '" + p.Prop->Name + "'");
            const TClassMeta* wanted = p.Info->ClassType();
            if (wanted && !target->InheritsFrom(*wanted))
                Fail(v.Pos, p.Entry, p.Where,
                     "component '" + v.Text + "' is a " + target->ClassName() + ", not a " + wanted->ClassName());
            try {
                p.Info->Access.SetObject(*p.Holder, target);
            } catch (const EPropertyError& e) {
                Fail(v.Pos, p.Entry, p.Where, e.Message());
            }
        }
    }

    // ----- failure -----------------------------------------------------------------------------------------

    // Frees whatever the load added to the root (loader-made components and any their constructors made
    // on the root), newest first; the root itself stays.
    void Cleanup(const std::vector<TComponentRef<TComponent>>& before)
    {
        std::unordered_set<TComponent*> keep;
        for (const auto& ref : before)
            if (ref)
                keep.insert(ref.get());
        std::vector<TComponentRef<TComponent>> doomed;
        for (int i = 0; i < root_.ComponentCount(); ++i)
            if (!keep.count(root_.Components(i)))
                doomed.emplace_back(root_.Components(i));
        for (size_t i = 1; i < entries_.size(); ++i)
            if (entries_[i].Guard && entries_[i].Guard->Owner() != &root_)
                doomed.push_back(entries_[i].Guard);
        for (size_t i = doomed.size(); i-- > 0;)
            if (TComponent* component = doomed[i].get())
                delete component;
        root_.SetComponentState(csLoading, false);
        root_.SetComponentState(csReading, false);
    }

    TComponent& root_;
    const AnsiString& resourceName_;
    std::vector<TEntry> entries_;  // creation order; the root first
    std::vector<TPending> events_;
    std::vector<TPending> references_;
    std::unordered_set<const TCollection*> filled_;
};

}  // namespace detail

void ReadRootComponent(TComponent* root, std::string_view text, const AnsiString& resourceName)
{
    if (!root)
        throw EFormResourceError(resourceName + ": no component to read the resource into");
    TObjectNode tree = formres::ParseFormResource(text, resourceName);
    detail::TFormLoader(*root, resourceName).Load(tree);
}

void ReadComponentResource(TComponent* root, const AnsiString& resourceName)
{
    const AnsiString* text = FindFormResource(resourceName);
    if (!text)
        throw EFormResourceError("form resource '" + resourceName + "' not found");
    ReadRootComponent(root, *text, FormResourceName(resourceName));
}

TComponent* CreateComponentFromResource(std::string_view text, const AnsiString& resourceName, TComponent* owner)
{
    RegisterCoreClasses();
    TObjectNode tree = formres::ParseFormResource(text, resourceName);
    const TClassMeta* meta = FindClass(tree.ClassName);
    if (!meta || !meta->IsCreatable())
        throw EFormResourceError(formres::PlaceText(resourceName, tree.ClassPos) + tree.Name + " (" + tree.ClassName +
                                 "): " + (meta ? "class cannot be created from a resource" : "unknown class '" + tree.ClassName + "'"));
    std::unique_ptr<TComponent> component(meta->CreateComponent(nullptr));
    detail::TFormLoader(*component, resourceName).Load(tree);
    if (owner)
        owner->InsertComponent(component.get());
    return component.release();
}

// ---------------------------------------------------------------------------------------------------------
// The table of embedded resources

namespace {

struct TResourceEntry {
    AnsiString Name;
    AnsiString Text;
};

struct TResourceTable {
    std::mutex Lock;
    std::unordered_map<AnsiString, TResourceEntry> ByName;  // upper-cased name
    std::unordered_map<AnsiString, AnsiString> ByClass;     // upper-cased root class -> upper-cased name
};

TResourceTable& Resources()
{
    static TResourceTable table;
    return table;
}

const TResourceEntry* FindEntry(TResourceTable& table, std::string_view nameOrClass)
{
    AnsiString key = UpperIdent(nameOrClass);
    auto it = table.ByName.find(key);
    if (it != table.ByName.end())
        return &it->second;
    auto cls = table.ByClass.find(key);
    if (cls != table.ByClass.end()) {
        auto named = table.ByName.find(cls->second);
        if (named != table.ByName.end())
            return &named->second;
    }
    return nullptr;
}

}  // namespace

void RegisterFormResource(const AnsiString& name, std::string_view text)
{
    TResourceTable& table = Resources();
    std::lock_guard guard(table.Lock);
    AnsiString key = UpperIdent(name);
    auto it = table.ByName.find(key);
    if (it != table.ByName.end()) {
        if (it->second.Text != text)
            throw EFormResourceError("another form resource named '" + name + "' is already registered");
        return;
    }
    table.ByName.emplace(key, TResourceEntry{name, AnsiString(text)});
    AnsiString rootClass = formres::PeekRootClassName(text);
    if (!rootClass.empty())
        table.ByClass.emplace(UpperIdent(rootClass), key);
}

const AnsiString* FindFormResource(std::string_view nameOrClass)
{
    TResourceTable& table = Resources();
    std::lock_guard guard(table.Lock);
    const TResourceEntry* entry = FindEntry(table, nameOrClass);
    return entry ? &entry->Text : nullptr;
}

AnsiString FormResourceName(std::string_view nameOrClass)
{
    TResourceTable& table = Resources();
    std::lock_guard guard(table.Lock);
    const TResourceEntry* entry = FindEntry(table, nameOrClass);
    return entry ? entry->Name : AnsiString(nameOrClass);
}

}  // namespace vcl
