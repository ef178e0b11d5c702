#include "platform/vcl/Classes.h"

#include <algorithm>
#include <mutex>

namespace vcl {

namespace {

[[noreturn]] void ThrowIndex(int index)
{
    throw EComponentError("List index out of bounds (" + std::to_string(index) + ")");
}

}  // namespace

// ---------------------------------------------------------------------------------------------------------
// TPersistent

const TClassMeta& TPersistent::StaticClass()
{
    static const TClassMeta meta("TPersistent", nullptr, nullptr, nullptr);
    return meta;
}

AnsiString TPersistent::ClassName() const { return ClassType().ClassName(); }

const TClassMeta* TPersistent::ClassParent() const { return ClassType().ClassParent(); }

bool TPersistent::InheritsFrom(const TClassMeta& meta) const { return ClassType().InheritsFrom(meta); }

bool TPersistent::InheritsFrom(std::string_view className) const { return ClassType().InheritsFrom(className); }

void TPersistent::Assign(const TPersistent* source)
{
    if (source) {
        source->AssignTo(this);
        return;
    }
    throw rtl::EConvertError("Cannot assign a nil to a " + ClassName());
}

void TPersistent::AssignTo(TPersistent* dest) const
{
    throw rtl::EConvertError("Cannot assign a " + ClassName() + " to a " + (dest ? dest->ClassName() : AnsiString("nil")));
}

AnsiString TPersistent::GetNamePath() const
{
    AnsiString result = ClassName();
    if (TPersistent* owner = GetOwner()) {
        AnsiString ownerPath = owner->GetNamePath();
        if (!ownerPath.empty())
            result = ownerPath + "." + result;
    }
    return result;
}

// ---------------------------------------------------------------------------------------------------------
// TComponent

VCL_IMPLEMENT_CLASS(TComponent)

void TComponent::RegisterProperties(TClassDef<TComponent>& def)
{
    // The name stands in the object header of a resource, not among the properties.
    def.Property("Name", &TComponent::Name, &TComponent::SetName).Stored(false);
    def.Property("Tag", &TComponent::Tag, &TComponent::SetTag, 0);
}

TComponent::TComponent(TComponent* owner)
{
    if (owner)
        owner->InsertComponent(this);
}

TComponent::~TComponent()
{
    Destroying();
    ClearGuards();
    RemoveFreeNotifications();
    DestroyComponents();
    if (owner_)
        owner_->RemoveComponent(this);
    ClearGuards();  // in case a guard was attached while the owned components went
}

TComponent* TComponent::Components(int index) const
{
    if (index < 0 || index >= ComponentCount())
        ThrowIndex(index);
    return components_[static_cast<size_t>(index)];
}

int TComponent::ComponentIndex() const
{
    if (!owner_)
        return -1;
    const auto& list = owner_->components_;
    for (size_t i = list.size(); i-- > 0;)
        if (list[i] == this)
            return static_cast<int>(i);
    return -1;
}

void TComponent::InsertComponent(TComponent* component)
{
    if (!component || component->owner_ == this)
        return;
    if (component == this)
        throw EComponentError("A component cannot own itself");
    ValidateRename(component, AnsiString(), component->name_);
    if (component->owner_)
        component->owner_->RemoveComponent(component);
    component->AttachToOwner(this);
    Notification(component, opInsert);
}

void TComponent::RemoveComponent(TComponent* component)
{
    if (!component || component->owner_ != this)
        return;
    if (!IsDestroying())
        Notification(component, opRemove);
    component->DetachFromOwner();
}

void TComponent::AttachToOwner(TComponent* owner)
{
    owner->components_.push_back(this);
    owner_ = owner;
    owner->IndexName(this);
}

void TComponent::DetachFromOwner()
{
    TComponent* owner = owner_;
    auto& list = owner->components_;
    // Search from the end: owners free their components last first.
    for (size_t i = list.size(); i-- > 0;) {
        if (list[i] == this) {
            list.erase(list.begin() + static_cast<std::ptrdiff_t>(i));
            break;
        }
    }
    owner->UnindexName(this);
    owner_ = nullptr;
}

TComponent* TComponent::FindComponent(std::string_view name) const
{
    if (name.empty())
        return nullptr;
    auto it = nameIndex_.find(UpperIdent(name));
    return it == nameIndex_.end() ? nullptr : it->second;
}

void TComponent::DestroyComponents()
{
    // A component's destructor may free some of its siblings too, so the end of the list is read afresh.
    while (!components_.empty()) {
        TComponent* component = components_.back();
        component->DetachFromOwner();
        delete component;
    }
}

void TComponent::IndexName(TComponent* component)
{
    if (!component->name_.empty())
        nameIndex_[UpperIdent(component->name_)] = component;
}

void TComponent::UnindexName(TComponent* component)
{
    if (component->name_.empty())
        return;
    auto it = nameIndex_.find(UpperIdent(component->name_));
    if (it != nameIndex_.end() && it->second == component)
        nameIndex_.erase(it);
}

void TComponent::ValidateRename(TComponent* component, const AnsiString&, const AnsiString& newName) const
{
    if (newName.empty())
        return;
    TComponent* existing = FindComponent(newName);
    if (existing && existing != component)
        throw EComponentError("A component named " + newName + " already exists");
}

void TComponent::SetName(const AnsiString& value)
{
    if (value == name_)
        return;
    if (!value.empty() && !IsValidIdent(value))
        throw EComponentError("'" + value + "' is not a valid component name");
    if (owner_) {
        owner_->ValidateRename(this, name_, value);
        owner_->UnindexName(this);
    }
    name_ = value;
    if (owner_)
        owner_->IndexName(this);
}

void TComponent::SetComponentState(TComponentStateItem item, bool on)
{
    if (on)
        state_.Include(item);
    else
        state_.Exclude(item);
}

void TComponent::Destroying()
{
    if (state_.Contains(csDestroying))
        return;
    state_.Include(csDestroying);
    for (TComponent* component : components_)
        component->Destroying();
}

void TComponent::FreeNotification(TComponent* component)
{
    if (!component || component == this)
        return;
    AddFreeNotify(component);
    component->AddFreeNotify(this);
}

void TComponent::RemoveFreeNotification(TComponent* component)
{
    if (!component)
        return;
    DropFreeNotify(component);
    component->DropFreeNotify(this);
}

void TComponent::AddFreeNotify(TComponent* component)
{
    if (!freeNotifies_)
        freeNotifies_ = std::make_unique<std::unordered_map<TComponent*, uint64_t>>();
    freeNotifies_->emplace(component, ++freeNotifySeq_);
}

void TComponent::DropFreeNotify(TComponent* component)
{
    if (freeNotifies_)
        freeNotifies_->erase(component);
}

void TComponent::RemoveFreeNotifications()
{
    if (!freeNotifies_ || freeNotifies_->empty())
        return;
    std::vector<std::pair<uint64_t, TComponent*>> order;
    order.reserve(freeNotifies_->size());
    for (const auto& [component, seq] : *freeNotifies_)
        order.emplace_back(seq, component);
    std::sort(order.begin(), order.end());
    for (const auto& entry : order) {
        TComponent* component = entry.second;
        // A notification may free another interested component; it leaves the map on its way out.
        if (!freeNotifies_->erase(component))
            continue;
        component->DropFreeNotify(this);
        component->Notification(this, opRemove);
    }
}

void TComponent::ClearGuards()
{
    while (guards_) {
        TComponentGuard* guard = guards_;
        guards_ = guard->next_;
        guard->target_ = nullptr;
        guard->prev_ = guard->next_ = nullptr;
    }
}

void TComponent::Notification(TComponent*, TOperation) {}

void TComponent::Loaded() { state_.Exclude(csLoading); }

void TComponent::SetParentComponent(TComponent*) {}

AnsiString TComponent::EventHandlerName(std::string_view eventPath) const
{
    for (const auto& [event, handler] : eventHandlerNames_)
        if (SameIdent(event, eventPath))
            return handler;
    return AnsiString();
}

void TComponent::SetEventHandlerName(std::string_view eventPath, const AnsiString& handlerName)
{
    for (auto it = eventHandlerNames_.begin(); it != eventHandlerNames_.end(); ++it) {
        if (SameIdent(it->first, eventPath)) {
            if (handlerName.empty())
                eventHandlerNames_.erase(it);
            else
                it->second = handlerName;
            return;
        }
    }
    if (!handlerName.empty())
        eventHandlerNames_.emplace_back(AnsiString(eventPath), handlerName);
}

AnsiString TComponent::GetNamePath() const { return name_; }

// ---------------------------------------------------------------------------------------------------------
// TComponentGuard

void TComponentGuard::Attach(TComponent* component)
{
    if (component == target_)
        return;
    if (target_) {
        if (prev_)
            prev_->next_ = next_;
        else
            target_->guards_ = next_;
        if (next_)
            next_->prev_ = prev_;
        prev_ = next_ = nullptr;
    }
    target_ = component;
    if (component) {
        next_ = component->guards_;
        if (next_)
            next_->prev_ = this;
        component->guards_ = this;
    }
}

// ---------------------------------------------------------------------------------------------------------
// Collections

VCL_IMPLEMENT_CLASS_NOPROPS(TCollectionItem)
VCL_IMPLEMENT_CLASS_NOPROPS(TCollection)
VCL_IMPLEMENT_CLASS_NOPROPS(TOwnedCollection)

TCollectionItem::TCollectionItem(TCollection* collection) { SetCollection(collection); }

TCollectionItem::~TCollectionItem()
{
    if (collection_)
        collection_->RemoveItem(this);
}

void TCollectionItem::SetCollection(TCollection* value)
{
    if (value == collection_)
        return;
    if (collection_)
        collection_->RemoveItem(this);
    if (value)
        value->InsertItem(this);
}

int TCollectionItem::Index() const
{
    if (!collection_)
        return -1;
    const auto& items = collection_->items_;
    for (size_t i = 0; i < items.size(); ++i)
        if (items[i] == this)
            return static_cast<int>(i);
    return -1;
}

void TCollectionItem::SetIndex(int value)
{
    int current = Index();
    if (current < 0 || value == current || value < 0 || value >= collection_->Count())
        return;
    auto& items = collection_->items_;
    items.erase(items.begin() + current);
    items.insert(items.begin() + value, this);
    Changed(true);
}

AnsiString TCollectionItem::DisplayName() const { return ClassName(); }

AnsiString TCollectionItem::GetNamePath() const
{
    if (!collection_)
        return ClassName();
    return collection_->GetNamePath() + "[" + std::to_string(Index()) + "]";
}

void TCollectionItem::Assign(const TPersistent* source)
{
    if (source && source->InheritsFrom(ClassType())) {
        CopyPublishedProps(*source, *this);
        return;
    }
    inherited::Assign(source);
}

TPersistent* TCollectionItem::GetOwner() const { return collection_; }

void TCollectionItem::Changed(bool allItems)
{
    if (collection_)
        collection_->ItemChanged(allItems ? nullptr : this);
}

TCollection::TCollection(const TClassMeta& itemClass) : itemClass_(itemClass)
{
    if (!itemClass.InheritsFrom(TCollectionItem::StaticClass()))
        throw EComponentError("Class " + itemClass.ClassName() + " is not a collection item");
}

TCollection::~TCollection()
{
    ++updateCount_;  // no Update calls on the way out
    while (!items_.empty())
        delete items_.back();
}

TCollectionItem* TCollection::Items(int index) const
{
    if (index < 0 || index >= Count())
        ThrowIndex(index);
    return items_[static_cast<size_t>(index)];
}

TCollectionItem* TCollection::Add()
{
    // The item joins the list from its base constructor; tell the descendants once it is whole.
    ++updateCount_;
    ++adding_;
    TCollectionItem* item = nullptr;
    try {
        item = itemClass_.CreateItem(this);
    } catch (...) {
        --adding_;
        --updateCount_;
        throw;
    }
    --adding_;
    --updateCount_;
    Notify(item, cnAdded);
    Changed();
    return item;
}

TCollectionItem* TCollection::Insert(int index)
{
    TCollectionItem* item = Add();
    item->SetIndex(index);
    return item;
}

void TCollection::Delete(int index)
{
    TCollectionItem* item = Items(index);
    Notify(item, cnDeleting);
    delete item;
}

void TCollection::Clear()
{
    if (items_.empty())
        return;
    BeginUpdate();
    while (!items_.empty())
        delete items_.back();
    EndUpdate();
}

TCollectionItem* TCollection::FindItemID(int id) const
{
    for (TCollectionItem* item : items_)
        if (item->id_ == id)
            return item;
    return nullptr;
}

void TCollection::BeginUpdate() { ++updateCount_; }

void TCollection::EndUpdate()
{
    if (updateCount_ > 0 && --updateCount_ == 0)
        Changed();
}

void TCollection::Assign(const TPersistent* source)
{
    if (const auto* other = dynamic_cast<const TCollection*>(source)) {
        if (other == this)
            return;
        BeginUpdate();
        try {
            Clear();
            for (TCollectionItem* item : other->items_)
                Add()->Assign(item);
        } catch (...) {
            EndUpdate();
            throw;
        }
        EndUpdate();
        return;
    }
    inherited::Assign(source);
}

AnsiString TCollection::GetNamePath() const
{
    TPersistent* owner = GetOwner();
    if (!owner)
        return ClassName();
    AnsiString ownerPath = owner->GetNamePath();
    for (const TPropInfo* info : owner->ClassType().PropList()) {
        if (info->Kind == tkCollection && info->Access.GetObject(*owner) == this)
            return ownerPath.empty() ? info->Name : ownerPath + "." + info->Name;
    }
    return ownerPath.empty() ? ClassName() : ownerPath + "." + ClassName();
}

void TCollection::Update(TCollectionItem*) {}

void TCollection::Notify(TCollectionItem*, TCollectionNotification) {}

void TCollection::Changed()
{
    if (updateCount_ == 0)
        Update(nullptr);
}

void TCollection::InsertItem(TCollectionItem* item)
{
    items_.push_back(item);
    item->collection_ = this;
    item->id_ = nextId_++;
    if (adding_ == 0) {
        Notify(item, cnAdded);
        Changed();
    }
}

void TCollection::RemoveItem(TCollectionItem* item)
{
    for (size_t i = items_.size(); i-- > 0;) {
        if (items_[i] == item) {
            items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(i));
            break;
        }
    }
    item->collection_ = nullptr;
    Notify(item, cnExtracting);
    Changed();
}

void TCollection::ItemChanged(TCollectionItem* item)
{
    if (updateCount_ == 0)
        Update(item);
}

TOwnedCollection::TOwnedCollection(TPersistent* owner, const TClassMeta& itemClass)
    : TCollection(itemClass), owner_(owner)
{
}

void RegisterCoreClasses()
{
    static std::once_flag once;
    std::call_once(once, [] { RegisterClass(TComponent::StaticClass()); });
}

}  // namespace vcl
