#include "installer/support/TrwkFiles.h"

#include <vector>

#include "installer/support/TrwkExceptions.h"
#include "platform/win/Files.h"
#include "platform/win/Handles.h"
#include "platform/win/Modules.h"
#include "platform/win/Platform.h"

using rtl::AnsiString;

namespace {

constexpr int DllStringBufferSize = 4096;

}  // namespace

win::DWORD FileAttributesOf(TTrwkFileAttributesSet attributes)
{
    const std::pair<TTrwkFileAttributes, win::DWORD> table[] = {
        {tfaArchive, win::FILE_ATTRIBUTE_ARCHIVE},   {tfaDirectory, win::FILE_ATTRIBUTE_DIRECTORY},
        {tfaHidden, win::FILE_ATTRIBUTE_HIDDEN},     {tfaNormal, win::FILE_ATTRIBUTE_NORMAL},
        {tfaOffline, win::FILE_ATTRIBUTE_OFFLINE},   {tfaReadOnly, win::FILE_ATTRIBUTE_READONLY},
        {tfaSystem, win::FILE_ATTRIBUTE_SYSTEM},     {tfaTemporary, win::FILE_ATTRIBUTE_TEMPORARY},
    };
    win::DWORD bits = 0;
    for (const auto& [member, bit] : table)
        if (attributes.Contains(member))
            bits |= bit;
    return bits;
}

void SetFileAttributesChecked(const AnsiString& path, TTrwkFileAttributesSet attributes)
{
    if (!win::SetFileAttributes(path.c_str(), FileAttributesOf(attributes)))
        throw IEfcSetAttributes(Fmt, "Cannot set file attributes. Error : %s", rtl::SysErrorMessage(win::GetLastError()));
}

void ReadOnlyAttribute(const AnsiString& path, TTrwkFileAttributesSet& attributes, win::SECURITY_ATTRIBUTES* security)
{
    win::HANDLE file = win::CreateFile(path.c_str(), win::GENERIC_READ, 0, security, win::OPEN_EXISTING,
                                       win::FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == win::INVALID_HANDLE_VALUE)
        return;
    const win::DWORD bits = win::GetFileAttributes(path.c_str());
    win::CloseHandle(file);
    attributes = TTrwkFileAttributesSet{};
    if (bits != win::INVALID_FILE_ATTRIBUTES && (bits & win::FILE_ATTRIBUTE_READONLY))
        attributes.Include(tfaReadOnly);
}

AnsiString NearestExistingFolder(const AnsiString& path)
{
    AnsiString folder = rtl::Trim(path).empty() ? AnsiString() : path;
    while (!folder.empty() && !rtl::DirectoryExists(folder)) {
        const size_t slash = folder.rfind('\\');
        folder = slash == AnsiString::npos ? AnsiString() : folder.substr(0, slash);
    }
    return folder;
}

AnsiString LoadDllString(const AnsiString& libraryName, win::UINT id)
{
    win::HMODULE module = win::LoadLibrary(libraryName.c_str());
    if (!module)
        return AnsiString();
    std::vector<char> buffer(DllStringBufferSize);
    const int length = win::LoadString(module, id, buffer.data(), DllStringBufferSize);
    win::FreeLibrary(module);
    return AnsiString(buffer.data(), length > 0 ? static_cast<size_t>(length) : 0);
}
