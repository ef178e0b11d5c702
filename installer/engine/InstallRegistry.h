#pragma once
// Registry components: each writes one key with a list of values during the installation and records
// what it wrote in the product's uninstall key ("RegistryKeys"). The driver installs them after the files
// and links (type code 8500); message -968 installs one on request.
//
//   auto* reg = new TInstallRegistry(form);
//   reg->SetRootKey(hkClassesRoot);
//   reg->SetKey("\\Scrivane.Project\\shell\\open\\command");
//   TRegistryEntry* entry = reg->Entries()->Add();
//   entry->SetPathSpecifier(mainFolder);                  // Text becomes "%p"
//   entry->SetText("\"%p\\Scrivane.exe\" \"%%1\"");      // the folder, then a literal "%1"

#include <functional>

#include "installer/engine/InstallObjects.h"
#include "installer/engine/PathSpecifiers.h"
#include "installer/engine/UninstallRecords.h"
#include "installer/support/TrwkRegistry.h"

class IEInstallRegistry : public IException {
public:
    using IException::IException;
};
class IERegistryEntry : public IException {
public:
    using IException::IException;
};
class IERegistryEntries : public IException {
public:
    using IException::IException;
};
class IEInstallRegistryList : public IException {
public:
    using IException::IException;
};

VCL_ENUM_SIZED(TKeySpecifier, uint8_t, ksAbsolute, ksCompanyName, ksProductName, ksVersion)
VCL_ENUM_SIZED(TRegistryEntryType, uint8_t, retText, retInteger, retBoolean)

class TCustomInstallRegistry;

class TRegistryEntry : public vcl::TCollectionItem {
    VCL_CLASS(TRegistryEntry, vcl::TCollectionItem)
public:
    explicit TRegistryEntry(vcl::TCollection* collection);

    // Published. Outside loading, setting a value makes its type the entry's type.
    bool Boolean() const { return boolean_; }
    void SetBoolean(bool value);
    TRegistryEntryType EntryType() const { return entryType_; }
    void SetEntryType(TRegistryEntryType value) { entryType_ = value; }
    const rtl::AnsiString& Ident() const { return ident_; }
    void SetIdent(const rtl::AnsiString& value) { ident_ = value; }
    int32_t Integer() const { return integer_; }
    void SetInteger(int32_t value);
    TCustomPathSpecifier* PathSpecifier() const { return pathSpecifier_.get(); }
    // A specifier checks first that it can serve the registry component; the text becomes "%p".
    void SetPathSpecifier(TCustomPathSpecifier* value);
    const rtl::AnsiString& Text() const { return text_; }
    void SetText(const rtl::AnsiString& value);

    TCustomInstallRegistry* InstallRegistry() const { return component_; }
    void SetInstallRegistry(TCustomInstallRegistry* value) { component_ = value; }

    void Assign(const vcl::TPersistent* source) override;
    // Text with "%p" replaced by the specifier's folder for the registry component.
    rtl::AnsiString GetExpandedText() const;
    // Opens (or creates) the key under the root and writes the value of the entry's type.
    void WriteEntry(TRootKeys root, const rtl::AnsiString& key) const;

private:
    // The component, once known and no longer loading: only then does a set value choose the type.
    bool TakesType() const;

    TCustomInstallRegistry* component_ = nullptr;
    bool boolean_ = false;
    TRegistryEntryType entryType_ = retText;
    rtl::AnsiString ident_;
    int32_t integer_ = 0;
    vcl::TComponentRef<TCustomPathSpecifier> pathSpecifier_;
    rtl::AnsiString text_;
};

class TRegistryEntries : public vcl::TCollection {
    VCL_CLASS(TRegistryEntries, vcl::TCollection)
public:
    // IERegistryEntries without an owner.
    explicit TRegistryEntries(TCustomInstallRegistry* owner);

    TRegistryEntry* Add() { return static_cast<TRegistryEntry*>(TCollection::Add()); }
    TRegistryEntry* Items(int index) const { return static_cast<TRegistryEntry*>(TCollection::Items(index)); }
    TCustomInstallRegistry* Owner() const { return owner_; }
    // Every entry learns the owner as its component.
    void SetOwners();

protected:
    vcl::TPersistent* GetOwner() const override;
    void Update(vcl::TCollectionItem*) override {}

private:
    TCustomInstallRegistry* owner_;
};

// Before each value is written; clearing Continue skips that value (it is still recorded).
using TBeforeWriteEntry = std::function<void(TCustomInstallRegistry* InstallRegistry, TRegistryEntry* Entry, bool& Continue)>;

class TCustomInstallRegistry : public TInstallObject {
    VCL_CLASS(TCustomInstallRegistry, TInstallObject)
public:
    explicit TCustomInstallRegistry(vcl::TComponent* owner);
    ~TCustomInstallRegistry() override;

    TRegistryEntries* Entries() const { return entries_.get(); }
    // Copies the collection.
    virtual void SetEntries(TRegistryEntries* value);
    const rtl::AnsiString& Key() const { return key_; }
    // Ignored (the key stays empty) unless the key is absolute.
    virtual void SetKey(const rtl::AnsiString& value);
    TKeySpecifier KeySpecifierType() const { return keySpecifierType_; }
    // A key made from the product information needs the driver: HKEY_LOCAL_MACHINE, no key of its own.
    virtual void SetKeySpecifierType(TKeySpecifier value);
    TRootKeys RootKey() const { return rootKey_; }
    void SetRootKey(TRootKeys value) { rootKey_ = value; }
    TBeforeWriteEntry OnBeforeWriteEntry;

    // The key path written, without a trailing backslash.
    virtual rtl::AnsiString GetFullKey();

    int ComponentType() const override { return ComponentTypeCode::Registry; }
    void InstallObjects() override;
    void ContainerMessage(vcl::TComponent* sender, int code, rtl::TObject* parameter) override;
    void WriteUninstallInfo(const rtl::AnsiString& key) override;
    void Loaded() override;

protected:
    void Notification(vcl::TComponent* component, vcl::TOperation operation) override;

private:
    // Asks to hear when the driver goes, so that a key made from its information falls back to absolute.
    void WatchDriver();

    std::unique_ptr<TRegistryEntries> entries_;
    rtl::AnsiString key_ = "\\SOFTWARE\\MyStuff";
    TKeySpecifier keySpecifierType_ = ksAbsolute;
    TRootKeys rootKey_ = hkLocalMachine;
    vcl::TComponent* watchedDriver_ = nullptr;
    // How the key and its values were before this run's writes, for the uninstall record.
    TRegistryWriteNotes notes_;
};

class TInstallRegistry : public TCustomInstallRegistry {
    VCL_CLASS(TInstallRegistry, TCustomInstallRegistry)
public:
    explicit TInstallRegistry(vcl::TComponent* owner) : TCustomInstallRegistry(owner) {}
};

struct TInstallRegistryListError : IEInstallRegistryList {
    using IEInstallRegistryList::IEInstallRegistryList;
    static constexpr const char* BlankEntryText = "Cannot add blank entry to the registry list";
};
using TInstallRegistryList = TTypedObjectList<TCustomInstallRegistry, TInstallRegistryListError>;

// Every registry component, in creation order.
TInstallRegistryList& InstallRegistries();

void RegisterInstallRegistryClasses();
