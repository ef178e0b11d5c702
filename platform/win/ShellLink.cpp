#include "platform/win/ShellLink.h"

#include <cstring>
#include <new>

#include "platform/win/CodePage.h"
#include "platform/win/Files.h"
#include "platform/win/Handles.h"
#include "platform/win/WinError.h"
#include "platform/win/Platform.h"

namespace win {

bool GUID::operator==(const GUID& other) const
{
    return Data1 == other.Data1 && Data2 == other.Data2 && Data3 == other.Data3 &&
           std::memcmp(Data4, other.Data4, sizeof(Data4)) == 0;
}

HRESULT HResultFromWin32(DWORD error)
{
    if (error == 0)
        return S_OK;
    return static_cast<HRESULT>((error & 0xFFFFu) | 0x80070000u);
}

namespace {

// Link flags and the link-information flag of the format.
constexpr uint32_t HasLinkInfo = 0x00000002;
constexpr uint32_t HasName = 0x00000004;
constexpr uint32_t HasWorkingDir = 0x00000010;
constexpr uint32_t HasArguments = 0x00000020;
constexpr uint32_t HasIconLocation = 0x00000040;
constexpr uint32_t IsUnicode = 0x00000080;
constexpr uint32_t VolumeIDAndLocalBasePath = 0x00000001;

void Put16(std::string& out, uint32_t value)
{
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>((value >> 8) & 0xFF);
}

void Put32(std::string& out, uint32_t value)
{
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

void PutFileTime(std::string& out, const FILETIME& time)
{
    Put32(out, time.dwLowDateTime);
    Put32(out, time.dwHighDateTime);
}

void PutGuid(std::string& out, const GUID& guid)
{
    Put32(out, guid.Data1);
    Put16(out, guid.Data2);
    Put16(out, guid.Data3);
    out.append(reinterpret_cast<const char*>(guid.Data4), sizeof(guid.Data4));
}

// UTF-16 code units of an ANSI text.
std::u16string Utf16FromAnsi(const std::string& text)
{
    const std::string utf8 = Utf8FromAnsi(text);
    std::u16string result;
    for (size_t i = 0; i < utf8.size();) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        uint32_t code = c;
        size_t length = 1;
        if (c >= 0xE0 && i + 2 < utf8.size()) {
            code = ((c & 0x0F) << 12) | ((utf8[i + 1] & 0x3F) << 6) | (utf8[i + 2] & 0x3F);
            length = 3;
        } else if (c >= 0xC0 && i + 1 < utf8.size()) {
            code = ((c & 0x1F) << 6) | (utf8[i + 1] & 0x3F);
            length = 2;
        }
        result += static_cast<char16_t>(code);  // the code page has nothing beyond the first plane
        i += length;
    }
    return result;
}

std::string AnsiFromUtf16(const char16_t* text)
{
    std::string utf8;
    for (const char16_t* p = text; *p; ++p) {
        const uint32_t c = *p;
        if (c < 0x80) {
            utf8 += static_cast<char>(c);
        } else if (c < 0x800) {
            utf8 += static_cast<char>(0xC0 | (c >> 6));
            utf8 += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            utf8 += static_cast<char>(0xE0 | (c >> 12));
            utf8 += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            utf8 += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return AnsiFromUtf8(utf8);
}

void PutString(std::string& out, const std::string& text)
{
    const std::u16string units = Utf16FromAnsi(text);
    Put16(out, static_cast<uint32_t>(units.size()));
    for (char16_t unit : units)
        Put16(out, unit);
}

// The local volume and base path of the target; the volume's serial number and label as the drive gives
// them.
std::string LinkInfo(const std::string& path)
{
    std::string volume;
    const std::string label;
    Put32(volume, 0x10 + static_cast<uint32_t>(label.size()) + 1);
    Put32(volume, 3);  // a fixed drive
    Put32(volume, 0);  // serial number
    Put32(volume, 0x10);
    volume += label;
    volume += '\0';

    const uint32_t headerSize = 0x1C;
    const uint32_t volumeOffset = headerSize;
    const uint32_t basePathOffset = volumeOffset + static_cast<uint32_t>(volume.size());
    const uint32_t suffixOffset = basePathOffset + static_cast<uint32_t>(path.size()) + 1;
    const uint32_t size = suffixOffset + 1;
    std::string info;
    Put32(info, size);
    Put32(info, headerSize);
    Put32(info, VolumeIDAndLocalBasePath);
    Put32(info, volumeOffset);
    Put32(info, basePathOffset);
    Put32(info, 0);  // no network location
    Put32(info, suffixOffset);
    info += volume;
    info += path;
    info += '\0';
    info += '\0';  // the common path suffix, empty
    return info;
}

}  // namespace

std::string ShellLinkBytes(const TShellLinkData& link)
{
    WIN32_FIND_DATA target{};
    bool found = false;
    if (!link.Path.empty()) {
        HANDLE find = FindFirstFile(link.Path.c_str(), &target);
        if (find != INVALID_HANDLE_VALUE) {
            found = true;
            FindClose(find);
        }
    }
    uint32_t flags = IsUnicode;
    if (!link.Path.empty())
        flags |= HasLinkInfo;
    if (!link.Description.empty())
        flags |= HasName;
    if (!link.WorkingDirectory.empty())
        flags |= HasWorkingDir;
    if (!link.Arguments.empty())
        flags |= HasArguments;
    if (!link.IconLocation.empty())
        flags |= HasIconLocation;

    std::string out;
    Put32(out, 0x4C);
    PutGuid(out, CLSID_ShellLink);
    Put32(out, flags);
    Put32(out, found ? target.dwFileAttributes : 0);
    const FILETIME none{};
    PutFileTime(out, found ? target.ftCreationTime : none);
    PutFileTime(out, found ? target.ftLastAccessTime : none);
    PutFileTime(out, found ? target.ftLastWriteTime : none);
    Put32(out, found ? target.nFileSizeLow : 0);
    Put32(out, static_cast<uint32_t>(link.IconIndex));
    Put32(out, static_cast<uint32_t>(link.ShowCommand));
    Put16(out, link.HotKey);
    Put16(out, 0);
    Put32(out, 0);
    Put32(out, 0);
    if (flags & HasLinkInfo)
        out += LinkInfo(link.Path);
    if (flags & HasName)
        PutString(out, link.Description);
    if (flags & HasWorkingDir)
        PutString(out, link.WorkingDirectory);
    if (flags & HasArguments)
        PutString(out, link.Arguments);
    if (flags & HasIconLocation)
        PutString(out, link.IconLocation);
    Put32(out, 0);  // no extra data blocks
    return out;
}

namespace {

bool TooLong(const char* text)
{
    return std::strlen(text) > MAX_PATH;
}

class TShellLink final : public IShellLinkA, public IPersistFile {
public:
    virtual ~TShellLink() = default;

    HRESULT QueryInterface(const GUID& iid, void** object) override
    {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (iid == IID_IUnknown || iid == IID_IShellLinkA)
            *object = static_cast<IShellLinkA*>(this);
        else if (iid == IID_IPersistFile)
            *object = static_cast<IPersistFile*>(this);
        else
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override { return ++references_; }
    ULONG Release() override
    {
        const ULONG left = --references_;
        if (left == 0)
            delete this;
        return left;
    }

    HRESULT SetPath(const char* file) override { return Keep(file, data_.Path); }
    HRESULT GetPath(char* file, int size) override
    {
        if (!file || size <= 0)
            return E_INVALIDARG;
        std::strncpy(file, data_.Path.c_str(), static_cast<size_t>(size) - 1);
        file[size - 1] = '\0';
        return data_.Path.empty() ? S_FALSE : S_OK;
    }
    HRESULT SetArguments(const char* arguments) override { return Keep(arguments, data_.Arguments); }
    HRESULT SetWorkingDirectory(const char* folder) override { return Keep(folder, data_.WorkingDirectory); }
    HRESULT SetDescription(const char* text) override { return Keep(text, data_.Description); }
    HRESULT SetHotkey(WORD hotKey) override
    {
        data_.HotKey = hotKey;
        return S_OK;
    }
    HRESULT SetIconLocation(const char* iconPath, int index) override
    {
        data_.IconIndex = index;
        return Keep(iconPath, data_.IconLocation);
    }
    HRESULT SetShowCmd(int showCommand) override
    {
        data_.ShowCommand = showCommand;
        return S_OK;
    }

    HRESULT Save(const char16_t* fileName, BOOL) override
    {
        if (!fileName)
            return E_INVALIDARG;
        const std::string path = AnsiFromUtf16(fileName);
        if (path.empty() || path.size() > MAX_PATH)
            return E_INVALIDARG;
        const std::string bytes = ShellLinkBytes(data_);
        HANDLE file = CreateFile(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return HResultFromWin32(GetLastError());
        DWORD written = 0;
        const BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        const DWORD error = ok && written == bytes.size() ? 0 : GetLastError();
        CloseHandle(file);
        if (error != 0 || !ok) {
            DeleteFile(path.c_str());  // never a cut link
            return HResultFromWin32(error ? error : ERROR_DISK_FULL);
        }
        return S_OK;
    }

private:
    static HRESULT Keep(const char* text, std::string& into)
    {
        if (!text)
            return E_INVALIDARG;
        if (TooLong(text))
            return E_INVALIDARG;
        into = text;
        return S_OK;
    }

    ULONG references_ = 1;
    TShellLinkData data_;
};

}  // namespace

HRESULT CoCreateInstance(const GUID& classId, IUnknown* outer, DWORD, const GUID& interfaceId, void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (ComInitializeCount() == 0)
        return CO_E_NOTINITIALIZED;
    if (!(classId == CLSID_ShellLink))
        return REGDB_E_CLASSNOTREG;
    if (outer)
        return CLASS_E_NOAGGREGATION;
    auto* link = new (std::nothrow) TShellLink;
    if (!link)
        return E_OUTOFMEMORY;
    const HRESULT result = link->QueryInterface(interfaceId, object);
    link->Release();
    return result;
}

}  // namespace win
