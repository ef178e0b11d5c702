#include "installer/support/TrwkRegistry.h"

#include <utility>

#include "installer/support/TrwkExceptions.h"
#include "installer/support/TrwkSystem.h"

using rtl::AnsiString;

namespace {

// What an existing key is opened with: enough to read, add subkeys and set values, no more.
constexpr win::REGSAM OpenRights = win::KEY_READ | win::KEY_CREATE_SUB_KEY | win::KEY_SET_VALUE;

const char* const RunOnceKey = "\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

const std::pair<TRootKeys, win::HKEY> RootTable[] = {
    {hkClassesRoot, win::HKEY_CLASSES_ROOT}, {hkCurrentConfig, win::HKEY_CURRENT_CONFIG},
    {hkCurrentUser, win::HKEY_CURRENT_USER}, {hkDynData, win::HKEY_DYN_DATA},
    {hkLocalMachine, win::HKEY_LOCAL_MACHINE}, {hkUsers, win::HKEY_USERS},
};

// The key without the backslashes around it: empty when it names the base key itself.
AnsiString TrimmedKeyName(const AnsiString& key)
{
    const size_t first = key.find_first_not_of('\\');
    if (first == AnsiString::npos)
        return AnsiString();
    return key.substr(first, key.find_last_not_of('\\') - first + 1);
}

}  // namespace

// ---------------------------------------------------------------------------------------------------------
// TtrwkRegistry

bool TtrwkRegistry::OpenKey(const AnsiString& key, bool canCreate)
{
    bool relative = true;
    const AnsiString name = KeyName(key, &relative);
    const win::HKEY base = BaseKey(relative);
    win::HKEY opened = nullptr;
    win::LONG result;
    if (!canCreate || name.empty() || KeyExists(key))
        result = win::RegOpenKeyEx(base, name.c_str(), 0, OpenRights, &opened);
    else
        result = win::RegCreateKeyEx(base, name.c_str(), 0, nullptr, win::REG_OPTION_NON_VOLATILE,
                                     win::KEY_ALL_ACCESS, nullptr, &opened, nullptr);
    if (result != win::ERROR_SUCCESS)
        return false;
    ChangeKey(opened, name, relative);
    return true;
}

bool TtrwkRegistry::DeleteKeyTree(const AnsiString& key)
{
    bool relative = true;
    const AnsiString name = KeyName(key, &relative);
    if (TrimmedKeyName(name).empty())
        return false;
    return DeleteTree(BaseKey(relative), name) == win::ERROR_SUCCESS;
}

// ---------------------------------------------------------------------------------------------------------
// Root keys

std::vector<AnsiString> RegistryNames(vcl::TRegistry& registry, bool keys)
{
    rtl::TStringList list;
    if (keys)
        registry.GetKeyNames(list);
    else
        registry.GetValueNames(list);
    std::vector<AnsiString> names;
    for (int i = 0; i < list.Count(); ++i)
        names.push_back(list[i]);
    return names;
}

void SetRootKeyEnum(vcl::TRegistry& registry, TRootKeys root)
{
    for (const auto& [value, key] : RootTable)
        if (value == root) {
            registry.SetRootKey(key);
            return;
        }
}

win::HKEY RootKeyHandle(TRootKeys root)
{
    for (const auto& [value, key] : RootTable)
        if (value == root)
            return key;
    return win::HKEY_LOCAL_MACHINE;
}

TRootKeys HKeyToRootKey(win::HKEY key, TRootKeys defaultValue)
{
    for (const auto& [value, handle] : RootTable)
        if (handle == key)
            return value;
    return defaultValue;
}

// ---------------------------------------------------------------------------------------------------------
// One-call helpers

namespace {

// A registry under `root` with `key` open for writing; EIRCannotWriteValue with `message` when it cannot be.
void OpenForWriting(TtrwkRegistry& registry, win::HKEY root, const AnsiString& key, const AnsiString& message)
{
    registry.SetRootKey(root);
    if (!registry.OpenKey(key, true))
        throw EIRCannotWriteValue(message);
}

// Opens `key` for reading when it exists; creates nothing.
bool OpenForReading(TtrwkRegistry& registry, win::HKEY root, const AnsiString& key)
{
    registry.SetRootKey(root);
    return registry.KeyExists(key) && registry.OpenKey(key, false);
}

}  // namespace

void RegWriteString(win::HKEY root, const AnsiString& key, const AnsiString& name, const AnsiString& value)
{
    const AnsiString message = rtl::Format("Cannot install into registry. Key: %s Ident: %s Value %s", key, name, value);
    TtrwkRegistry registry;
    OpenForWriting(registry, root, key, message);
    try {
        registry.WriteString(name, value);
    } catch (const vcl::ERegistryException&) {
        throw EIRCannotWriteValue(message);
    }
}

void RegWriteInteger(win::HKEY root, const AnsiString& key, const AnsiString& name, int value)
{
    TtrwkRegistry registry;
    OpenForWriting(registry, root, key, key);
    try {
        registry.WriteInteger(name, value);
    } catch (const vcl::ERegistryException&) {
        throw EIRCannotWriteValue(key);
    }
}

AnsiString RegReadString(win::HKEY root, const AnsiString& key, const AnsiString& name, const AnsiString& defaultValue)
{
    TtrwkRegistry registry;
    if (!OpenForReading(registry, root, key) || !registry.ValueExists(name))
        return defaultValue;
    try {
        return registry.ReadString(name);
    } catch (const vcl::ERegistryException&) {
        return defaultValue;
    }
}

int RegReadInteger(win::HKEY root, const AnsiString& key, const AnsiString& name, int defaultValue)
{
    TtrwkRegistry registry;
    if (!OpenForReading(registry, root, key) || !registry.ValueExists(name))
        return defaultValue;
    try {
        return registry.ReadInteger(name);
    } catch (const vcl::ERegistryException&) {
        return defaultValue;
    }
}

void RegDeleteKeyTree(win::HKEY root, const AnsiString& key)
{
    // An empty key would empty the whole root.
    if (TrimmedKeyName(key).empty())
        return;
    rtl::TStringList subKeys;
    {
        TtrwkRegistry registry;
        registry.SetRootKey(root);
        if (!registry.OpenKey(key, false))
            return;
        registry.GetKeyNames(subKeys);
    }
    for (int i = 0; i < subKeys.Count(); ++i)
        RegDeleteKeyTree(root, key + "\\" + subKeys[i]);
    TtrwkRegistry registry;
    registry.SetRootKey(root);
    registry.DeleteKeyTree(key);
}

bool RegReadRawValue(win::HKEY root, const AnsiString& key, const AnsiString& name, TRegRawValue& value)
{
    TtrwkRegistry registry;
    if (!OpenForReading(registry, root, key))
        return false;
    win::DWORD size = 0;
    if (win::RegQueryValueEx(registry.CurrentKey(), name.c_str(), nullptr, &value.Type, nullptr, &size) !=
        win::ERROR_SUCCESS)
        return false;
    value.Data.resize(size);
    if (win::RegQueryValueEx(registry.CurrentKey(), name.c_str(), nullptr, &value.Type, value.Data.data(), &size) !=
        win::ERROR_SUCCESS)
        return false;
    value.Data.resize(size);
    return true;
}

bool RegWriteRawValue(win::HKEY root, const AnsiString& key, const AnsiString& name, const TRegRawValue& value)
{
    TtrwkRegistry registry;
    registry.SetRootKey(root);
    if (!registry.OpenKey(key, true))
        return false;
    return win::RegSetValueEx(registry.CurrentKey(), name.c_str(), 0, value.Type, value.Data.data(),
                              static_cast<win::DWORD>(value.Data.size())) == win::ERROR_SUCCESS;
}

bool RegCopyValue(win::HKEY fromRoot, const AnsiString& fromKey, const AnsiString& name, win::HKEY toRoot,
                  const AnsiString& toKey)
{
    TRegRawValue value;
    return RegReadRawValue(fromRoot, fromKey, name, value) && RegWriteRawValue(toRoot, toKey, name, value);
}

bool AddRunOnce(const AnsiString& name, const AnsiString& command, bool unique)
{
    TtrwkRegistry registry;
    registry.LazyWrite = false;
    registry.SetRootKey(NTOSSet().Contains(WindowsVersion()) ? win::HKEY_CURRENT_USER : win::HKEY_LOCAL_MACHINE);
    if (!registry.OpenKey(RunOnceKey, true))
        return false;
    AnsiString valueName = name;
    if (unique)
        for (int n = 1; registry.ValueExists(valueName); ++n)
            valueName = name + rtl::IntToStr(n);
    try {
        registry.WriteString(valueName, command);
    } catch (const vcl::ERegistryException&) {
        return false;
    }
    return true;
}
