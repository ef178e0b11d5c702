#pragma once
// The component framework's core: persistent objects, components with their owner tree and removal
// notifications, collections, the typed event handlers, and the way a class declares its published
// properties (TClassDef). No widget code lives here.
//
// A control class declares itself in its header and publishes its properties beside it, one line each:
//
//   // Buttons.h
//   class TButton : public TWinControl {
//       VCL_CLASS(TButton, TWinControl)          // StaticClass(), ClassType(), `inherited`; leaves `private:`
//   public:
//       explicit TButton(TComponent* owner);     // (TComponent*) constructor: creatable from resources
//       const AnsiString& Caption() const;
//       void SetCaption(const AnsiString& value);
//       TModalResult ModalResult() const;
//       void SetModalResult(TModalResult value);
//       TFont* Font() const;                     // a nested persistent object the control owns
//       TNotifyEvent OnClick;                    // events are plain std::function members...
//   };
//
//   // Buttons.cpp
//   VCL_IMPLEMENT_CLASS(TButton)
//   void TButton::RegisterProperties(vcl::TClassDef<TButton>& def)
//   {
//       def.Property("Caption", &TButton::Caption, &TButton::SetCaption, "");
//       def.Property("ModalResult", &TButton::ModalResult, &TButton::SetModalResult, 0);
//       def.Property("Font", &TButton::Font, nullptr);          // nested: the reader fills Font.Name etc.
//       def.Property("Default", &TButton::IsDefault, &TButton::SetDefault, false);
//       def.Event("OnClick", &TButton::OnClick);                // ...or def.Property with getter/setter
//       def.Property("Tag2", &TButton::Tag2, &TButton::SetTag2).Stored(true);   // always written
//   }
//   // and, once, in the library's registration function (called, never a static initialiser):
//   void RegisterStandardControls() { vcl::RegisterClasses({&TButton::StaticClass(), ...}); }
//
// The kind of a property follows from its getter's type: bool, char, integers, floating point, AnsiString,
// TColor, enumerations declared with VCL_ENUM, TSet<E>, TBinaryData, std::function (an event), and
// pointers: to a TComponent (a reference, resolved by name in the resource), to a TCollection, to an
// rtl::TStrings (Items.Strings = (...)), to any other TPersistent (a nested object). The setter may be a
// member function, a lambda (T&, value) or nullptr (read-only; nested objects are filled in place). The
// getter may be a member function, a data member pointer or a lambda (const T&). Inherited properties
// come first, automatically; re-registering a name replaces the inherited entry in its place.
//
// A form class registers the handlers its resource binds ("OnCreate = FormCreate"), one line each:
//
//   class TfrmMain : public TForm {
//       VCL_CLASS(TfrmMain, TForm)
//   public:
//       explicit TfrmMain(TComponent* owner);
//       void FormCreate(TObject* Sender);
//       void FormClose(TObject* Sender, TCloseAction& Action);
//   };
//   void TfrmMain::RegisterProperties(vcl::TClassDef<TfrmMain>& def)
//   {
//       def.Handler("FormCreate", &TfrmMain::FormCreate);
//       def.Handler("FormClose", &TfrmMain::FormClose);
//   }
//
// The form reader (FormResource.h) binds an event only to a handler whose parameters are exactly those
// of the event's std::function type. Handlers can be (re)assigned in code at any time: btn->OnClick = ...
//
// Ownership: `new TButton(form)` makes the form the owner, which frees it (owned components last first).
// A component without owner is held by a std::unique_ptr. Non-owning links either use TComponentRef<T>
// (turns null when the component is destroyed) or call FreeNotification and override Notification.
//
// Destruction order: ~TComponent frees the owned components after the derived destructors have run. A
// class whose owned (or contained) components still use its own state on their way out calls
// DestroyComponents() (or frees them) in its own destructor first.

#include <cstdint>
#include <functional>
#include <memory>
#include <type_traits>
#include <unordered_map>
#include <vector>

#include "platform/rtl/Classes.h"
#include "platform/rtl/SysUtils.h"
#include "platform/vcl/Colors.h"
#include "platform/vcl/TypInfo.h"

namespace vcl {

template <class T>
class TClassDef;

// Declares the class's metadata inside its body. Pair it with VCL_IMPLEMENT_CLASS in the .cpp file.
#define VCL_CLASS(Class, Parent)                                                   \
public:                                                                           \
    using inherited = Parent;                                                     \
    static const ::vcl::TClassMeta& StaticClass();                                \
    const ::vcl::TClassMeta& ClassType() const override { return StaticClass(); } \
    static void RegisterProperties(::vcl::TClassDef<Class>& def);                 \
                                                                                  \
private:

// Defines StaticClass(); the class defines RegisterProperties itself.
#define VCL_IMPLEMENT_CLASS(Class)                                                          \
    const ::vcl::TClassMeta& Class::StaticClass()                                           \
    {                                                                                       \
        static const ::vcl::TClassMeta& meta = ::vcl::detail::BuildClassMeta<Class>(#Class); \
        return meta;                                                                        \
    }

// The same for a class that publishes nothing of its own.
#define VCL_IMPLEMENT_CLASS_NOPROPS(Class) \
    VCL_IMPLEMENT_CLASS(Class)             \
    void Class::RegisterProperties(::vcl::TClassDef<Class>&) {}

// ---------------------------------------------------------------------------------------------------------
// Events

using TNotifyEvent = rtl::TNotifyEvent;  // void(TObject* Sender)

VCL_ENUM(TCloseAction, caNone, caHide, caFree, caMinimize)
VCL_ENUM(TShiftStateItem, ssShift, ssAlt, ssCtrl, ssLeft, ssRight, ssMiddle, ssDouble)
using TShiftState = TSet<TShiftStateItem>;
VCL_ENUM(TMouseButton, mbLeft, mbRight, mbMiddle)

using TCloseEvent = std::function<void(TObject* Sender, TCloseAction& Action)>;
using TCloseQueryEvent = std::function<void(TObject* Sender, bool& CanClose)>;
using TKeyEvent = std::function<void(TObject* Sender, uint16_t& Key, TShiftState Shift)>;
using TKeyPressEvent = std::function<void(TObject* Sender, char& Key)>;
using TMouseEvent = std::function<void(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
using TMouseMoveEvent = std::function<void(TObject* Sender, TShiftState Shift, int X, int Y)>;

// ---------------------------------------------------------------------------------------------------------
// Persistent objects

// The root of every class with published properties.
class TPersistent : public rtl::TObject {
public:
    using inherited = rtl::TObject;
    static const TClassMeta& StaticClass();
    virtual const TClassMeta& ClassType() const { return StaticClass(); }
    static void RegisterProperties(TClassDef<TPersistent>&) {}

    TPersistent() = default;
    ~TPersistent() override = default;

    AnsiString ClassName() const;
    const TClassMeta* ClassParent() const;
    bool InheritsFrom(const TClassMeta& meta) const;
    bool InheritsFrom(std::string_view className) const;  // without regard to case

    // Copies `source` into this object; by default asks the source (AssignTo), which raises
    // rtl::EConvertError "Cannot assign a TX to a TY" when neither side knows the other.
    virtual void Assign(const TPersistent* source);
    // A dotted path for messages: "frmMain.sbStatus.Panels[1]".
    virtual AnsiString GetNamePath() const;

protected:
    virtual void AssignTo(TPersistent* dest) const;
    // The object this one belongs to (a nested object's component, an item's collection), for GetNamePath.
    virtual TPersistent* GetOwner() const { return nullptr; }
};

// ---------------------------------------------------------------------------------------------------------
// Components

class EComponentError : public rtl::Exception {
public:
    using Exception::Exception;
};

VCL_ENUM(TComponentStateItem, csLoading, csReading, csWriting, csDestroying, csDesigning, csUpdating, csFixups)
using TComponentState = TSet<TComponentStateItem>;

VCL_ENUM(TOperation, opInsert, opRemove)

class TComponentGuard;
namespace detail {
class TFormLoader;
}

class TComponent : public TPersistent {
    VCL_CLASS(TComponent, TPersistent)
public:
    // The owner (may be null) takes the new component into its list and frees it with itself.
    explicit TComponent(TComponent* owner);
    ~TComponent() override;
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    TComponent* Owner() const { return owner_; }
    int ComponentCount() const { return static_cast<int>(components_.size()); }
    // 0 <= index < ComponentCount(), else EComponentError "List index out of bounds (%d)".
    TComponent* Components(int index) const;
    // The position in the owner's list, or -1.
    int ComponentIndex() const;
    // Takes `component` from its old owner (if any) into this one's list; the name must be free here.
    void InsertComponent(TComponent* component);
    // Releases `component` from this one's list without freeing it.
    void RemoveComponent(TComponent* component);
    // The owned component of that name, without regard to case, or nullptr.
    TComponent* FindComponent(std::string_view name) const;
    // Frees every owned component, last first.
    void DestroyComponents();

    const AnsiString& Name() const { return name_; }
    // An identifier, or empty; unique in the owner ("A component named Button1 already exists").
    virtual void SetName(const AnsiString& value);
    int Tag() const { return tag_; }
    void SetTag(int value) { tag_ = value; }

    TComponentState ComponentState() const { return state_; }
    bool IsLoading() const { return state_.Contains(csLoading); }
    bool IsDestroying() const { return state_.Contains(csDestroying); }

    // Asks to be told (Notification(component, opRemove)) when `component` is destroyed; both sides
    // forget the link when either goes.
    void FreeNotification(TComponent* component);
    void RemoveFreeNotification(TComponent* component);

    // Called by the form reader once every component of the resource has its properties and references,
    // in creation order. The default clears csLoading; overrides call inherited::Loaded() first.
    virtual void Loaded();

    // Visual containment, distinct from ownership. The form reader calls child->SetParentComponent(x) on
    // each object right after creating it, with x the object that encloses it in the resource (the root
    // for top-level objects), before any property is set. Controls override it to set their Parent; the
    // default ignores it. The writer nests an object under GetParentComponent() when HasParent().
    virtual void SetParentComponent(TComponent* value);
    virtual TComponent* GetParentComponent() const { return nullptr; }
    virtual bool HasParent() const { return false; }

    // The name of the handler an event of this component was bound to by name ("" when none); the
    // writer saves "OnClick = btnOkClick" from it.
    AnsiString EventHandlerName(std::string_view eventPath) const;
    void SetEventHandlerName(std::string_view eventPath, const AnsiString& handlerName);

    AnsiString GetNamePath() const override;

protected:
    // Told of a component inserted into or removed from this one's list, and of the destruction of any
    // component this one asked about (FreeNotification). Clear references to it here.
    virtual void Notification(TComponent* component, TOperation operation);
    // Marks this component and everything it owns as being destroyed.
    void Destroying();
    void SetComponentState(TComponentStateItem item, bool on);
    // Whether `name` may be given to `component` within this owner; raises EComponentError otherwise.
    virtual void ValidateRename(TComponent* component, const AnsiString& oldName, const AnsiString& newName) const;

private:
    friend class TComponentGuard;
    friend class detail::TFormLoader;

    void AttachToOwner(TComponent* owner);
    void DetachFromOwner();
    void AddFreeNotify(TComponent* component);
    void DropFreeNotify(TComponent* component);
    void RemoveFreeNotifications();
    void ClearGuards();
    void IndexName(TComponent* component);
    void UnindexName(TComponent* component);

    TComponent* owner_ = nullptr;
    std::vector<TComponent*> components_;
    std::unordered_map<AnsiString, TComponent*> nameIndex_;  // upper-cased name -> owned component
    AnsiString name_;
    int tag_ = 0;
    TComponentState state_;
    std::unique_ptr<std::unordered_map<TComponent*, uint64_t>> freeNotifies_;  // -> order of asking
    uint64_t freeNotifySeq_ = 0;
    TComponentGuard* guards_ = nullptr;
    std::vector<std::pair<AnsiString, AnsiString>> eventHandlerNames_;
};

// The non-template half of TComponentRef: an intrusive list entry on the target component.
class TComponentGuard {
protected:
    TComponentGuard() = default;
    ~TComponentGuard() { Attach(nullptr); }
    void Attach(TComponent* component);
    TComponent* target_ = nullptr;

private:
    friend class TComponent;
    TComponentGuard* prev_ = nullptr;
    TComponentGuard* next_ = nullptr;
};

// A non-owning reference that turns null when its component is destroyed.
template <class T>
class TComponentRef : private TComponentGuard {
public:
    TComponentRef() = default;
    TComponentRef(T* component) { Attach(component); }
    TComponentRef(const TComponentRef& other) : TComponentGuard() { Attach(other.get()); }
    TComponentRef& operator=(const TComponentRef& other)
    {
        Attach(other.get());
        return *this;
    }
    TComponentRef& operator=(T* component)
    {
        Attach(component);
        return *this;
    }

    T* get() const { return static_cast<T*>(target_); }
    operator T*() const { return get(); }
    T* operator->() const { return get(); }
    T& operator*() const { return *get(); }
    explicit operator bool() const { return target_ != nullptr; }
    void reset() { Attach(nullptr); }
};

// ---------------------------------------------------------------------------------------------------------
// Collections: owned lists of items with their own published properties (status panels, registry entries)

VCL_ENUM(TCollectionNotification, cnAdded, cnExtracting, cnDeleting)

class TCollectionItem : public TPersistent {
    VCL_CLASS(TCollectionItem, TPersistent)
public:
    // Adds itself to `collection` (which then owns it); null leaves it free.
    explicit TCollectionItem(TCollection* collection);
    ~TCollectionItem() override;

    TCollection* Collection() const { return collection_; }
    void SetCollection(TCollection* value);
    int Index() const;
    virtual void SetIndex(int value);
    // A number unique within the collection, kept when the item moves.
    int ID() const { return id_; }
    virtual AnsiString DisplayName() const;
    AnsiString GetNamePath() const override;
    // By default copies the published properties of an item of the same class.
    void Assign(const TPersistent* source) override;

protected:
    TPersistent* GetOwner() const override;
    // Tells the collection (and through it its owner) that this item, or all items, changed.
    void Changed(bool allItems);

private:
    friend class TCollection;
    TCollection* collection_ = nullptr;
    int id_ = 0;
};

class TCollection : public TPersistent {
    VCL_CLASS(TCollection, TPersistent)
public:
    explicit TCollection(const TClassMeta& itemClass);
    ~TCollection() override;
    TCollection(const TCollection&) = delete;
    TCollection& operator=(const TCollection&) = delete;

    const TClassMeta& ItemClass() const { return itemClass_; }
    int Count() const { return static_cast<int>(items_.size()); }
    // 0 <= index < Count(), else EComponentError "List index out of bounds (%d)".
    TCollectionItem* Items(int index) const;
    template <class T>
    T* ItemsAs(int index) const { return dynamic_cast<T*>(Items(index)); }

    TCollectionItem* Add();
    template <class T>
    T* AddAs() { return dynamic_cast<T*>(Add()); }
    TCollectionItem* Insert(int index);
    void Delete(int index);
    void Clear();
    TCollectionItem* FindItemID(int id) const;

    // Changes between BeginUpdate and EndUpdate are reported once, at the end.
    void BeginUpdate();
    void EndUpdate();
    int UpdateCount() const { return updateCount_; }

    // Replaces the items by copies of a collection's items.
    void Assign(const TPersistent* source) override;
    AnsiString GetNamePath() const override;

protected:
    // Called after a change: `item` changed, or (nullptr) the whole collection.
    virtual void Update(TCollectionItem* item);
    virtual void Notify(TCollectionItem* item, TCollectionNotification action);
    void Changed();

private:
    friend class TCollectionItem;
    void InsertItem(TCollectionItem* item);
    void RemoveItem(TCollectionItem* item);
    void ItemChanged(TCollectionItem* item);

    const TClassMeta& itemClass_;
    std::vector<TCollectionItem*> items_;
    int nextId_ = 0;
    int updateCount_ = 0;
    int adding_ = 0;
};

// A collection that knows the object it belongs to (for name paths and for Update overrides).
class TOwnedCollection : public TCollection {
    VCL_CLASS(TOwnedCollection, TCollection)
public:
    TOwnedCollection(TPersistent* owner, const TClassMeta& itemClass);

protected:
    TPersistent* GetOwner() const override { return owner_; }

private:
    TPersistent* owner_;
};

// Registers the core classes (TComponent); idempotent.
void RegisterCoreClasses();

}  // namespace vcl

#include "platform/vcl/ClassesDef.h"
