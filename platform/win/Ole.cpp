#include "platform/win/Ole.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "platform/rtl/SysUtils.h"
#include "platform/win/HostIo.h"
#include "platform/win/Paths.h"
#include "platform/win/Platform.h"
#include "platform/win/Registry.h"

namespace win {

namespace {

int& InitializeCount()
{
    static int count = 0;
    static const bool hooked = [] {
        RegisterResetHook([] { count = 0; });
        return true;
    }();
    (void)hooked;
    return count;
}

// A type library file: a header of 21 (22 with a help DLL) little-endian integers, the offsets of its type
// descriptions, then a directory of 15 segments (offset, length, two reserved), each relative to the file.
class TTypeLibReader {
public:
    explicit TTypeLibReader(std::string bytes) : bytes_(std::move(bytes)) {}

    std::optional<uint32_t> At(size_t offset) const
    {
        if (offset > bytes_.size() || bytes_.size() - offset < 4)
            return std::nullopt;
        uint32_t value = 0;
        for (int i = 3; i >= 0; --i)
            value = (value << 8) | static_cast<uint8_t>(bytes_[offset + static_cast<size_t>(i)]);
        return value;
    }

    bool Read(TTypeLib& library)
    {
        const auto magic = At(0), version = At(4);
        if (!magic || *magic != 0x5446534Du || !version || *version != 0x00010002u)
            return false;
        const auto varflags = At(0x14), count = At(0x20);
        if (!varflags || !count || *count > bytes_.size() / 4)
            return false;
        const size_t directory = (*varflags & 0x100 ? 0x58 : 0x54) + size_t{*count} * 4;
        const auto guidSegment = Segment(directory, 5), nameSegment = Segment(directory, 7),
                   stringSegment = Segment(directory, 8);
        const auto guidAt = At(0x08);
        if (!guidSegment || !guidAt || *guidAt > guidSegment->second || guidSegment->second - *guidAt < 16)
            return false;
        std::memcpy(library.Attributes.guid.data(), bytes_.data() + guidSegment->first + *guidAt, 16);
        library.Attributes.lcid = At(0x0C).value_or(0);
        library.Attributes.syskind = static_cast<int>(*varflags & 0xF);
        const uint32_t libVersion = At(0x18).value_or(0);
        library.Attributes.wMajorVerNum = static_cast<WORD>(libVersion & 0xFFFF);
        library.Attributes.wMinorVerNum = static_cast<WORD>(libVersion >> 16);
        library.Attributes.wLibFlags = static_cast<WORD>(At(0x1C).value_or(0));
        library.HelpContext = At(0x2C).value_or(0);
        if (nameSegment)
            library.Name = NameAt(*nameSegment, At(0x38).value_or(0xFFFFFFFFu));
        if (stringSegment) {
            library.DocString = StringAt(*stringSegment, At(0x24).value_or(0xFFFFFFFFu));
            library.HelpFile = StringAt(*stringSegment, At(0x3C).value_or(0xFFFFFFFFu));
        }
        return true;
    }

private:
    // (start, length) of segment `index`, when it lies inside the file.
    std::optional<std::pair<size_t, size_t>> Segment(size_t directory, int index) const
    {
        const auto offset = At(directory + static_cast<size_t>(index) * 16);
        const auto length = At(directory + static_cast<size_t>(index) * 16 + 4);
        if (!offset || !length || *offset == 0xFFFFFFFFu || *offset > bytes_.size() ||
            bytes_.size() - *offset < *length)
            return std::nullopt;
        return std::make_pair(size_t{*offset}, size_t{*length});
    }

    // A string entry: a 16-bit length, then the characters.
    std::string StringAt(const std::pair<size_t, size_t>& segment, uint32_t at) const
    {
        if (at == 0xFFFFFFFFu || at > segment.second || segment.second - at < 2)
            return {};
        const size_t start = segment.first + at;
        const size_t length = static_cast<uint8_t>(bytes_[start]) | (static_cast<uint8_t>(bytes_[start + 1]) << 8);
        if (segment.second - at - 2 < length)
            return {};
        return bytes_.substr(start + 2, length);
    }

    // A name entry: type reference, hash link, a length in its low byte, then the characters.
    std::string NameAt(const std::pair<size_t, size_t>& segment, uint32_t at) const
    {
        if (at == 0xFFFFFFFFu || at > segment.second || segment.second - at < 12)
            return {};
        const size_t start = segment.first + at;
        const size_t length = static_cast<uint8_t>(bytes_[start + 8]);
        if (segment.second - at - 12 < length)
            return {};
        return bytes_.substr(start + 12, length);
    }

    std::string bytes_;
};

bool SetDefault(HKEY root, const std::string& key, const std::string& name, const std::string& value)
{
    HKEY opened = nullptr;
    if (RegCreateKeyEx(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &opened, nullptr) != ERROR_SUCCESS)
        return false;
    const LONG result = RegSetValueEx(opened, name.empty() ? nullptr : name.c_str(), 0, REG_SZ,
                                      reinterpret_cast<const BYTE*>(value.c_str()),
                                      static_cast<DWORD>(value.size() + 1));
    RegCloseKey(opened);
    return result == ERROR_SUCCESS;
}

// "TypeLib\{guid}\<major>.<minor>" and the language's subkey name, spelled as RegisterTypeLib writes them.
std::string VersionKey(const std::array<uint8_t, 16>& guid, WORD major, WORD minor)
{
    char version[32];
    std::snprintf(version, sizeof version, "%x.%x", major, minor);
    return "TypeLib\\" + GuidText(guid) + "\\" + version;
}

std::string LcidName(LCID lcid)
{
    char name[16];
    std::snprintf(name, sizeof name, "%lx", static_cast<unsigned long>(lcid));
    return name;
}

bool KeyExists(HKEY root, const std::string& key)
{
    HKEY opened = nullptr;
    if (RegOpenKeyEx(root, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return false;
    RegCloseKey(opened);
    return true;
}

// The names of a key's subkeys; empty when it cannot be opened.
std::vector<std::string> SubKeyNames(HKEY root, const std::string& key)
{
    std::vector<std::string> names;
    HKEY opened = nullptr;
    if (RegOpenKeyEx(root, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return names;
    char name[256];
    for (DWORD index = 0;; ++index) {
        DWORD length = sizeof name;
        if (RegEnumKeyEx(opened, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names.emplace_back(name, length);
    }
    RegCloseKey(opened);
    return names;
}

// Deletes the key when it holds no subkey and no value; false only when that delete fails.
bool DeleteWhenEmpty(HKEY root, const std::string& key)
{
    HKEY opened = nullptr;
    if (RegOpenKeyEx(root, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return true;
    DWORD subKeys = 0, values = 0;
    const LONG queried = RegQueryInfoKey(opened, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values,
                                         nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(opened);
    if (queried != ERROR_SUCCESS || subKeys > 0 || values > 0)
        return true;
    return RegDeleteKey(root, key.c_str()) == ERROR_SUCCESS;
}

}  // namespace

HRESULT CoInitialize(void*)
{
    return InitializeCount()++ == 0 ? S_OK : S_FALSE;
}

void CoUninitialize()
{
    if (InitializeCount() > 0)
        --InitializeCount();
}

int ComInitializeCount()
{
    return InitializeCount();
}

HRESULT TTypeLib::GetLibAttr(TLIBATTR** attributes)
{
    if (!attributes)
        return E_INVALIDARG;
    ++attributesOut_;
    *attributes = &Attributes;
    return S_OK;
}

void TTypeLib::ReleaseTLibAttr(TLIBATTR* attributes)
{
    if (attributes == &Attributes && attributesOut_ > 0)
        --attributesOut_;
}

HRESULT TTypeLib::GetDocumentation(int index, std::string* name, std::string* docString, DWORD* helpContext,
                                   std::string* helpFile)
{
    // The descriptions of the library's types are not read: only the library itself answers.
    if (index != -1)
        return TYPE_E_CANTLOADLIBRARY;
    if (name)
        *name = Name;
    if (docString)
        *docString = DocString;
    if (helpContext)
        *helpContext = HelpContext;
    if (helpFile)
        *helpFile = HelpFile;
    return S_OK;
}

void TTypeLib::Release()
{
    delete this;
}

HRESULT LoadTypeLib(const char* fileName, TTypeLib** library)
{
    if (!fileName || !library)
        return E_INVALIDARG;
    *library = nullptr;
    const std::optional<std::string> host = HostPathFromWindows(fileName);
    const std::optional<std::string> bytes = host ? ReadHostFile(*host) : std::nullopt;
    if (!bytes)
        return STG_E_FILENOTFOUND;
    auto loaded = std::make_unique<TTypeLib>();
    if (!TTypeLibReader(*bytes).Read(*loaded))
        return TYPE_E_CANTLOADLIBRARY;
    *library = loaded.release();
    return S_OK;
}

HRESULT RegisterTypeLib(TTypeLib* library, const char* fullPath, const char* helpDir)
{
    if (!library || !fullPath)
        return E_INVALIDARG;
    const TLIBATTR& a = library->Attributes;
    const std::string key = VersionKey(a.guid, a.wMajorVerNum, a.wMinorVerNum);
    const std::string& title = library->DocString.empty() ? library->Name : library->DocString;
    const bool written = SetDefault(HKEY_CLASSES_ROOT, key, "", title) &&
                         SetDefault(HKEY_CLASSES_ROOT, TypeLibPathKey(a.guid, a.wMajorVerNum, a.wMinorVerNum, a.lcid),
                                    "", fullPath) &&
                         SetDefault(HKEY_CLASSES_ROOT, key + "\\FLAGS", "", std::to_string(a.wLibFlags)) &&
                         SetDefault(HKEY_CLASSES_ROOT, key + "\\HELPDIR", "", helpDir ? helpDir : "");
    return written ? S_OK : TYPE_E_REGISTRYACCESS;
}

HRESULT UnRegisterTypeLib(const std::array<uint8_t, 16>& guid, WORD majorVersion, WORD minorVersion, DWORD lcid,
                          int /*syskind*/)
{
    const std::string version = VersionKey(guid, majorVersion, minorVersion);
    const std::string language = version + "\\" + LcidName(lcid);
    const std::string path = TypeLibPathKey(guid, majorVersion, minorVersion, lcid);
    if (!KeyExists(HKEY_CLASSES_ROOT, path))
        return TYPE_E_REGISTRYACCESS;
    if (RegDeleteKey(HKEY_CLASSES_ROOT, path.c_str()) != ERROR_SUCCESS ||
        !DeleteWhenEmpty(HKEY_CLASSES_ROOT, language))
        return TYPE_E_REGISTRYACCESS;
    // Another language of the same version keeps the version's own keys.
    for (const std::string& name : SubKeyNames(HKEY_CLASSES_ROOT, version)) {
        if (!rtl::SameText(name, "FLAGS") && !rtl::SameText(name, "HELPDIR"))
            return S_OK;
    }
    for (const char* name : {"FLAGS", "HELPDIR"}) {
        const std::string key = version + "\\" + name;
        if (KeyExists(HKEY_CLASSES_ROOT, key) && RegDeleteKey(HKEY_CLASSES_ROOT, key.c_str()) != ERROR_SUCCESS)
            return TYPE_E_REGISTRYACCESS;
    }
    if (RegDeleteKey(HKEY_CLASSES_ROOT, version.c_str()) != ERROR_SUCCESS ||
        !DeleteWhenEmpty(HKEY_CLASSES_ROOT, "TypeLib\\" + GuidText(guid)))
        return TYPE_E_REGISTRYACCESS;
    return S_OK;
}

std::string TypeLibPathKey(const std::array<uint8_t, 16>& guid, WORD majorVersion, WORD minorVersion, DWORD lcid)
{
    return VersionKey(guid, majorVersion, minorVersion) + "\\" + LcidName(lcid) + "\\win32";
}

std::string GuidText(const std::array<uint8_t, 16>& g)
{
    char text[40];
    std::snprintf(text, sizeof text, "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g[3], g[2],
                  g[1], g[0], g[5], g[4], g[7], g[6], g[8], g[9], g[10], g[11], g[12], g[13], g[14], g[15]);
    return text;
}

std::string OleErrorText(HRESULT code)
{
    const char* text = "Unspecified error";
    switch (static_cast<uint32_t>(code)) {
    case 0x80029C4Au: text = "Error loading type library/DLL"; break;
    case 0x80030002u: text = "The system cannot find the file specified"; break;
    case 0x80070057u: text = "The parameter is incorrect"; break;
    case 0x80029C4Fu: text = "Error accessing the OLE registry"; break;
    default: break;
    }
    char number[16];
    std::snprintf(number, sizeof number, "%08X", static_cast<unsigned>(code));
    return std::string(text) + " (0x" + number + ")";
}

}  // namespace win
