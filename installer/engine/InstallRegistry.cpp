#include "installer/engine/InstallRegistry.h"

#include "installer/engine/Install.h"
#include "installer/engine/PathSpecifiers.h"
#include "installer/engine/UninstallRecords.h"

using rtl::AnsiString;

namespace {

const char* const NoDriverText = "There is no TInstall component in your project";

}  // namespace

// ---------------------------------------------------------------------------------------------------------
// TRegistryEntry

VCL_IMPLEMENT_CLASS(TRegistryEntry)

void TRegistryEntry::RegisterProperties(vcl::TClassDef<TRegistryEntry>& def)
{
    using T = TRegistryEntry;
    def.Property("Boolean", &T::Boolean, &T::SetBoolean, false);
    def.Property("EntryType", &T::EntryType, &T::SetEntryType, retText);
    def.Property("Ident", &T::Ident, &T::SetIdent, AnsiString());
    def.Property("Integer", &T::Integer, &T::SetInteger, 0);
    def.Property("PathSpecifier", &T::PathSpecifier, &T::SetPathSpecifier);
    def.Property("Text", &T::Text, &T::SetText, AnsiString());
}

TRegistryEntry::TRegistryEntry(vcl::TCollection* collection) : TCollectionItem(collection)
{
    // An entry added in code belongs to its component at once; one read from a form waits for Loaded.
    if (auto* entries = dynamic_cast<TRegistryEntries*>(collection); entries && !entries->Owner()->IsLoading())
        component_ = entries->Owner();
}

bool TRegistryEntry::TakesType() const
{
    return component_ && !component_->IsLoading();
}

void TRegistryEntry::SetBoolean(bool value)
{
    boolean_ = value;
    if (TakesType())
        entryType_ = retBoolean;
}

void TRegistryEntry::SetInteger(int32_t value)
{
    integer_ = value;
    if (TakesType())
        entryType_ = retInteger;
}

void TRegistryEntry::SetText(const AnsiString& value)
{
    text_ = value;
    if (TakesType())
        entryType_ = retText;
}

void TRegistryEntry::SetPathSpecifier(TCustomPathSpecifier* value)
{
    if (TakesType()) {
        if (value) {
            value->Validate(component_);
            text_ = "%p";
        }
        entryType_ = retText;
    }
    pathSpecifier_ = value;
}

void TRegistryEntry::Assign(const vcl::TPersistent* source)
{
    const auto* other = dynamic_cast<const TRegistryEntry*>(source);
    if (!other) {
        inherited::Assign(source);
        return;
    }
    boolean_ = other->boolean_;
    entryType_ = other->entryType_;
    ident_ = other->ident_;
    integer_ = other->integer_;
    pathSpecifier_ = other->pathSpecifier_.get();
    text_ = other->text_;
}

AnsiString TRegistryEntry::GetExpandedText() const
{
    if (!pathSpecifier_)
        return text_;
    return ExpandPathPlaceholder(text_, pathSpecifier_->GetPath(component_));
}

void TRegistryEntry::WriteEntry(TRootKeys root, const AnsiString& key) const
{
    TtrwkRegistry registry;
    SetRootKeyEnum(registry, root);
    if (!registry.OpenKey(key, true))
        throw IERegistryEntry(Fmt, "%s cannot create the key %s in the registry",
                              component_ ? component_->Name() : AnsiString(), key);
    switch (entryType_) {
    case retText:
        registry.WriteString(ident_, GetExpandedText());
        break;
    case retInteger:
        registry.WriteInteger(ident_, integer_);
        break;
    case retBoolean:
        registry.WriteInteger(ident_, boolean_ ? 1 : 0);
        break;
    }
}

// ---------------------------------------------------------------------------------------------------------
// TRegistryEntries

VCL_IMPLEMENT_CLASS_NOPROPS(TRegistryEntries)

TRegistryEntries::TRegistryEntries(TCustomInstallRegistry* owner)
    : TCollection(TRegistryEntry::StaticClass()), owner_(owner)
{
    if (!owner)
        throw IERegistryEntries(AnsiString("Cannot create a TRegistryEntries component with a Nil Owner"));
}

vcl::TPersistent* TRegistryEntries::GetOwner() const
{
    return owner_;
}

void TRegistryEntries::SetOwners()
{
    for (int i = 0; i < Count(); ++i)
        Items(i)->SetInstallRegistry(owner_);
}

// ---------------------------------------------------------------------------------------------------------
// TCustomInstallRegistry

VCL_IMPLEMENT_CLASS_NOPROPS(TCustomInstallRegistry)

TCustomInstallRegistry::TCustomInstallRegistry(vcl::TComponent* owner)
    : TInstallObject(owner), entries_(std::make_unique<TRegistryEntries>(this))
{
    InstallRegistries().Add(this);
}

TCustomInstallRegistry::~TCustomInstallRegistry()
{
    InstallRegistries().Remove(this);
}

void TCustomInstallRegistry::SetEntries(TRegistryEntries* value)
{
    entries_->Assign(value);
    entries_->SetOwners();
}

void TCustomInstallRegistry::SetKey(const AnsiString& value)
{
    key_ = keySpecifierType_ == ksAbsolute ? value : AnsiString();
}

void TCustomInstallRegistry::SetKeySpecifierType(TKeySpecifier value)
{
    if (value != ksAbsolute) {
        if (!IsLoading() && !InstallDriver())
            throw IEInstallRegistry(AnsiString(NoDriverText));
        key_.clear();
        rootKey_ = hkLocalMachine;
    }
    keySpecifierType_ = value;
    WatchDriver();
}

AnsiString TCustomInstallRegistry::GetFullKey()
{
    if (keySpecifierType_ == ksAbsolute)
        return RemoveBackslash(key_);
    TCustomInstall* driver = InstallDriver();
    if (!driver)
        throw IEInstallRegistry(AnsiString(NoDriverText));
    const TInstallInformation& information = *driver->Information();
    AnsiString key = "\\SOFTWARE\\" + information.CompanyName();
    if (keySpecifierType_ >= ksProductName)
        key += "\\" + information.ProductName();
    if (keySpecifierType_ >= ksVersion)
        key += "\\" + information.Version();
    return key;
}

void TCustomInstallRegistry::InstallObjects()
{
    notes_.Clear();
    notes_.BeforeKey(RootKeyHandle(rootKey_), GetFullKey());
    for (int i = 0; i < entries_->Count(); ++i) {
        TRegistryEntry* entry = entries_->Items(i);
        // Taken before the handler, which may write the value itself: a skipped entry is recorded too.
        notes_.BeforeValue(RootKeyHandle(rootKey_), GetFullKey(), entry->Ident());
        bool proceed = true;
        if (OnBeforeWriteEntry)
            OnBeforeWriteEntry(this, entry, proceed);
        if (proceed)
            entry->WriteEntry(rootKey_, GetFullKey());
    }
    inherited::InstallObjects();
}

void TCustomInstallRegistry::ContainerMessage(vcl::TComponent* sender, int code, rtl::TObject* parameter)
{
    inherited::ContainerMessage(sender, code, parameter);
    if (code == InstallMessage::InstallRegistry)
        Install();
}

void TCustomInstallRegistry::WriteUninstallInfo(const AnsiString& key)
{
    // Only the names can be told apart later: every entry is kept as its expanded text.
    std::vector<std::pair<AnsiString, AnsiString>> entries;
    for (int i = 0; i < entries_->Count(); ++i) {
        const TRegistryEntry* entry = entries_->Items(i);
        entries.emplace_back(entry->Ident(), entry->GetExpandedText());
    }
    AddRegistryKeysRecordEntry(key, rootKey_, GetFullKey(), entries, notes_);
}

void TCustomInstallRegistry::Loaded()
{
    inherited::Loaded();
    entries_->SetOwners();
    WatchDriver();
}

void TCustomInstallRegistry::WatchDriver()
{
    TCustomInstall* driver = InstallDriver();
    if (driver == watchedDriver_)
        return;
    if (watchedDriver_)
        RemoveFreeNotification(watchedDriver_);
    watchedDriver_ = driver;
    if (driver)
        FreeNotification(driver);
}

void TCustomInstallRegistry::Notification(vcl::TComponent* component, vcl::TOperation operation)
{
    inherited::Notification(component, operation);
    if (operation == vcl::opRemove && component == watchedDriver_) {
        watchedDriver_ = nullptr;
        keySpecifierType_ = ksAbsolute;
    }
}

// ---------------------------------------------------------------------------------------------------------
// TInstallRegistry

VCL_IMPLEMENT_CLASS(TInstallRegistry)

void TInstallRegistry::RegisterProperties(vcl::TClassDef<TInstallRegistry>& def)
{
    using T = TInstallRegistry;
    def.Property("Entries", &T::Entries, &T::SetEntries);
    def.Property("Key", &T::Key, &T::SetKey, AnsiString("\\SOFTWARE\\MyStuff"));
    def.Property("KeySpecifierType", &T::KeySpecifierType, &T::SetKeySpecifierType, ksAbsolute);
    def.Property("RootKey", &T::RootKey, &T::SetRootKey, hkLocalMachine);
    def.Event("OnBeforeWriteEntry", &T::OnBeforeWriteEntry);
}

TInstallRegistryList& InstallRegistries()
{
    static TInstallRegistryList* list = new TInstallRegistryList;  // components may outlive static destruction
    return *list;
}

void RegisterInstallRegistryClasses()
{
    vcl::RegisterClasses({&TCustomInstallRegistry::StaticClass(), &TInstallRegistry::StaticClass()});
}
