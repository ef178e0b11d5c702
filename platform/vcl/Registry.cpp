#include "platform/vcl/Registry.h"

#include <cstring>
#include <vector>

namespace vcl {

namespace {

TRegDataType DataTypeOf(win::DWORD type)
{
    switch (type) {
    case win::REG_SZ: return rdString;
    case win::REG_EXPAND_SZ: return rdExpandString;
    case win::REG_DWORD: return rdInteger;
    case win::REG_BINARY: return rdBinary;
    default: return rdUnknown;
    }
}

[[noreturn]] void RaiseInvalidType(const AnsiString& name)
{
    throw ERegistryException(rtl::Format("Invalid data type for '%s'", name));
}

// Names from an enumeration call, in the registry's order.
template <class Enumerate>
void CollectNames(win::HKEY key, win::DWORD maxLength, rtl::TStrings& strings, Enumerate enumerate)
{
    std::vector<char> buffer(maxLength + 1);
    for (win::DWORD index = 0;; ++index) {
        auto length = static_cast<win::DWORD>(buffer.size());
        const win::LONG result = enumerate(key, index, buffer.data(), &length);
        if (result == win::ERROR_MORE_DATA) {
            buffer.resize(length + 1);
            --index;
            continue;
        }
        if (result != win::ERROR_SUCCESS)
            break;
        strings.Add(AnsiString(buffer.data(), length));
    }
}

}  // namespace

TRegistry::TRegistry() = default;

TRegistry::TRegistry(win::REGSAM access) : Access(access) {}

TRegistry::~TRegistry() { CloseKey(); }

void TRegistry::SetRootKey(win::HKEY value)
{
    if (value == rootKey_)
        return;
    CloseKey();
    rootKey_ = value;
}

void TRegistry::CloseKey()
{
    if (!currentKey_)
        return;
    if (!LazyWrite)
        win::RegFlushKey(currentKey_);
    win::RegCloseKey(currentKey_);
    currentKey_ = nullptr;
    currentPath_.clear();
}

AnsiString TRegistry::KeyName(const AnsiString& key, bool* relative)
{
    *relative = key.empty() || key[0] != '\\';
    return *relative ? key : key.substr(1);
}

win::HKEY TRegistry::BaseKey(bool relative) const { return relative && currentKey_ ? currentKey_ : rootKey_; }

void TRegistry::ChangeKey(win::HKEY key, const AnsiString& name, bool relative)
{
    AnsiString path = relative && currentKey_ ? currentPath_ + "\\" + name : name;
    CloseKey();
    currentKey_ = key;
    currentPath_ = std::move(path);
}

bool TRegistry::OpenKey(const AnsiString& key, bool canCreate)
{
    bool relative = true;
    const AnsiString name = KeyName(key, &relative);
    win::HKEY opened = nullptr;
    const win::LONG result =
        canCreate && !name.empty()
            ? win::RegCreateKeyEx(BaseKey(relative), name.c_str(), 0, nullptr, win::REG_OPTION_NON_VOLATILE, Access,
                                  nullptr, &opened, nullptr)
            : win::RegOpenKeyEx(BaseKey(relative), name.c_str(), 0, Access, &opened);
    if (result != win::ERROR_SUCCESS)
        return false;
    ChangeKey(opened, name, relative);
    return true;
}

bool TRegistry::OpenKeyReadOnly(const AnsiString& key)
{
    const win::REGSAM saved = Access;
    Access = win::KEY_READ;
    const bool opened = OpenKey(key, false);
    Access = saved;
    return opened;
}

bool TRegistry::CreateKey(const AnsiString& key)
{
    bool relative = true;
    const AnsiString name = KeyName(key, &relative);
    win::HKEY created = nullptr;
    if (win::RegCreateKeyEx(BaseKey(relative), name.c_str(), 0, nullptr, win::REG_OPTION_NON_VOLATILE, Access,
                            nullptr, &created, nullptr) != win::ERROR_SUCCESS)
        return false;
    win::RegCloseKey(created);
    return true;
}

bool TRegistry::KeyExists(const AnsiString& key)
{
    bool relative = true;
    const AnsiString name = KeyName(key, &relative);
    win::HKEY opened = nullptr;
    if (win::RegOpenKeyEx(BaseKey(relative), name.c_str(), 0, win::KEY_READ, &opened) != win::ERROR_SUCCESS)
        return false;
    win::RegCloseKey(opened);
    return true;
}

win::LONG TRegistry::DeleteTree(win::HKEY base, const AnsiString& name)
{
    win::HKEY key = nullptr;
    if (win::RegOpenKeyEx(base, name.c_str(), 0, win::KEY_ALL_ACCESS, &key) == win::ERROR_SUCCESS) {
        rtl::TStringList subKeys;
        CollectNames(key, win::MAX_PATH, subKeys, [](win::HKEY k, win::DWORD index, char* buffer, win::DWORD* length) {
            return win::RegEnumKeyEx(k, index, buffer, length, nullptr, nullptr, nullptr, nullptr);
        });
        for (int i = 0; i < subKeys.Count(); ++i)
            DeleteTree(key, subKeys[i]);
        win::RegCloseKey(key);
    }
    return win::RegDeleteKey(base, name.c_str());
}

bool TRegistry::DeleteKey(const AnsiString& key)
{
    bool relative = true;
    const AnsiString name = KeyName(key, &relative);
    // An empty name would be the base key itself: the current key or a whole root.
    if (name.empty())
        return false;
    return DeleteTree(BaseKey(relative), name) == win::ERROR_SUCCESS;
}

bool TRegistry::HasSubKeys()
{
    win::DWORD subKeys = 0;
    return currentKey_ &&
           win::RegQueryInfoKey(currentKey_, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, nullptr, nullptr,
                                nullptr, nullptr, nullptr) == win::ERROR_SUCCESS &&
           subKeys > 0;
}

void TRegistry::GetKeyNames(rtl::TStrings& strings)
{
    strings.Clear();
    win::DWORD maxLength = 0;
    if (win::RegQueryInfoKey(BaseKey(true), nullptr, nullptr, nullptr, nullptr, &maxLength, nullptr, nullptr, nullptr,
                             nullptr, nullptr, nullptr) != win::ERROR_SUCCESS)
        return;
    CollectNames(BaseKey(true), maxLength, strings, [](win::HKEY k, win::DWORD index, char* buffer, win::DWORD* length) {
        return win::RegEnumKeyEx(k, index, buffer, length, nullptr, nullptr, nullptr, nullptr);
    });
}

void TRegistry::GetValueNames(rtl::TStrings& strings)
{
    strings.Clear();
    win::DWORD maxLength = 0;
    if (win::RegQueryInfoKey(BaseKey(true), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &maxLength,
                             nullptr, nullptr, nullptr) != win::ERROR_SUCCESS)
        return;
    CollectNames(BaseKey(true), maxLength, strings, [](win::HKEY k, win::DWORD index, char* buffer, win::DWORD* length) {
        return win::RegEnumValue(k, index, buffer, length, nullptr, nullptr, nullptr, nullptr);
    });
}

bool TRegistry::ValueExists(const AnsiString& name)
{
    TRegDataInfo info;
    return GetDataInfo(name, info);
}

bool TRegistry::DeleteValue(const AnsiString& name)
{
    return win::RegDeleteValue(BaseKey(true), name.c_str()) == win::ERROR_SUCCESS;
}

bool TRegistry::GetDataInfo(const AnsiString& name, TRegDataInfo& info)
{
    info = TRegDataInfo{};
    win::DWORD type = 0;
    win::DWORD size = 0;
    if (win::RegQueryValueEx(BaseKey(true), name.c_str(), nullptr, &type, nullptr, &size) != win::ERROR_SUCCESS)
        return false;
    info.RegData = DataTypeOf(type);
    info.DataSize = static_cast<int>(size);
    return true;
}

TRegDataType TRegistry::GetDataType(const AnsiString& name)
{
    TRegDataInfo info;
    GetDataInfo(name, info);
    return info.RegData;
}

int TRegistry::GetDataSize(const AnsiString& name)
{
    TRegDataInfo info;
    return GetDataInfo(name, info) ? info.DataSize : -1;
}

AnsiString TRegistry::GetData(const AnsiString& name, TRegDataType expected)
{
    win::DWORD type = 0;
    win::DWORD size = 0;
    if (win::RegQueryValueEx(BaseKey(true), name.c_str(), nullptr, &type, nullptr, &size) != win::ERROR_SUCCESS)
        throw ERegistryException(rtl::Format("Failed to get data for '%s'", name));
    const TRegDataType found = DataTypeOf(type);
    const bool isString = found == rdString || found == rdExpandString;
    if (found != expected && !(expected == rdString && isString))
        RaiseInvalidType(name);
    AnsiString data(size, '\0');
    if (win::RegQueryValueEx(BaseKey(true), name.c_str(), nullptr, &type, reinterpret_cast<win::BYTE*>(data.data()),
                             &size) != win::ERROR_SUCCESS)
        throw ERegistryException(rtl::Format("Failed to get data for '%s'", name));
    data.resize(size);
    return data;
}

void TRegistry::PutData(const AnsiString& name, const void* data, win::DWORD size, win::DWORD type)
{
    if (win::RegSetValueEx(BaseKey(true), name.c_str(), 0, type, static_cast<const win::BYTE*>(data), size) !=
        win::ERROR_SUCCESS)
        throw ERegistryException(rtl::Format("Failed to set data for '%s'", name));
}

AnsiString TRegistry::ReadString(const AnsiString& name)
{
    if (!ValueExists(name))
        return AnsiString();
    AnsiString text = GetData(name, rdString);
    // Stored with the terminating zero; a value written without one is taken as it is.
    const size_t zero = text.find('\0');
    if (zero != AnsiString::npos)
        text.resize(zero);
    return text;
}

void TRegistry::WriteString(const AnsiString& name, const AnsiString& value)
{
    PutData(name, value.c_str(), static_cast<win::DWORD>(value.size() + 1), win::REG_SZ);
}

void TRegistry::WriteExpandString(const AnsiString& name, const AnsiString& value)
{
    PutData(name, value.c_str(), static_cast<win::DWORD>(value.size() + 1), win::REG_EXPAND_SZ);
}

int TRegistry::ReadInteger(const AnsiString& name)
{
    const AnsiString data = GetData(name, rdInteger);
    if (data.size() != sizeof(int32_t))
        RaiseInvalidType(name);
    int32_t value = 0;
    std::memcpy(&value, data.data(), sizeof value);
    return value;
}

void TRegistry::WriteInteger(const AnsiString& name, int value)
{
    const auto number = static_cast<int32_t>(value);
    PutData(name, &number, sizeof number, win::REG_DWORD);
}

double TRegistry::ReadFloat(const AnsiString& name)
{
    double value = 0;
    if (ReadBinaryData(name, &value, sizeof value) != sizeof value)
        RaiseInvalidType(name);
    return value;
}

void TRegistry::WriteFloat(const AnsiString& name, double value) { WriteBinaryData(name, &value, sizeof value); }

rtl::TDateTime TRegistry::ReadDateTime(const AnsiString& name) { return ReadFloat(name); }

void TRegistry::WriteDateTime(const AnsiString& name, rtl::TDateTime value) { WriteFloat(name, value); }

int TRegistry::ReadBinaryData(const AnsiString& name, void* buffer, int size)
{
    const AnsiString data = GetData(name, rdBinary);
    if (size < 0 || data.size() > static_cast<size_t>(size))
        RaiseInvalidType(name);
    std::memcpy(buffer, data.data(), data.size());
    return static_cast<int>(data.size());
}

void TRegistry::WriteBinaryData(const AnsiString& name, const void* buffer, int size)
{
    PutData(name, buffer, static_cast<win::DWORD>(size < 0 ? 0 : size), win::REG_BINARY);
}

}  // namespace vcl
