#include "platform/win/ShellFolders.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/win/KnownFolders.h"
#include "platform/win/Registry.h"
#include "platform/win/SystemInfo.h"

namespace win {

// An item list of ours: the folder's path, or none for a virtual folder. Allocated as the task allocator
// does, so CoTaskMemFree frees it.
struct ITEMIDLIST {
    bool Virtual;
    char Path[MAX_PATH + 1];
};

namespace {

const char* const ShellFoldersKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

struct TFolderEntry {
    int Folder;
    const char* Value;  // "Shell Folders" value; null for the prefix's fixed folders and virtual ones
    bool Common;
    bool Virtual;
};

constexpr TFolderEntry Folders[] = {
    {CSIDL_DESKTOP, "Desktop", false, false},
    {CSIDL_PROGRAMS, "Programs", false, false},
    {CSIDL_CONTROLS, nullptr, false, true},
    {CSIDL_PRINTERS, nullptr, false, true},
    {CSIDL_PERSONAL, "Personal", false, false},
    {CSIDL_FAVORITES, "Favorites", false, false},
    {CSIDL_STARTUP, "Startup", false, false},
    {CSIDL_RECENT, "Recent", false, false},
    {CSIDL_SENDTO, "SendTo", false, false},
    {CSIDL_BITBUCKET, nullptr, false, true},
    {CSIDL_STARTMENU, "Start Menu", false, false},
    {CSIDL_DESKTOPDIRECTORY, "Desktop", false, false},
    {CSIDL_DRIVES, nullptr, false, true},
    {CSIDL_NETWORK, nullptr, false, true},
    {CSIDL_NETHOOD, "NetHood", false, false},
    {CSIDL_FONTS, "Fonts", false, false},
    {CSIDL_TEMPLATES, "Templates", false, false},
    {CSIDL_COMMON_STARTMENU, "Common Start Menu", true, false},
    {CSIDL_COMMON_PROGRAMS, "Common Programs", true, false},
    {CSIDL_COMMON_STARTUP, "Common Startup", true, false},
    {CSIDL_COMMON_DESKTOPDIRECTORY, "Common Desktop", true, false},
    {CSIDL_APPDATA, "AppData", false, false},
    {CSIDL_PRINTHOOD, "PrintHood", false, false},
    {CSIDL_LOCAL_APPDATA, "Local AppData", false, false},
    {CSIDL_COMMON_FAVORITES, "Common Favorites", true, false},
    {CSIDL_INTERNET_CACHE, "Cache", false, false},
    {CSIDL_COOKIES, "Cookies", false, false},
    {CSIDL_HISTORY, "History", false, false},
    {CSIDL_COMMON_APPDATA, "Common AppData", true, false},
    {CSIDL_WINDOWS, nullptr, false, false},
    {CSIDL_SYSTEM, nullptr, false, false},
    {CSIDL_PROGRAM_FILES, nullptr, false, false},
    {CSIDL_PROGRAM_FILES_COMMON, nullptr, false, false},
    {CSIDL_COMMON_TEMPLATES, "Common Templates", true, false},
    {CSIDL_COMMON_DOCUMENTS, "Common Documents", true, false},
};

const TFolderEntry* FindFolder(int folder)
{
    for (const TFolderEntry& entry : Folders) {
        if (entry.Folder == folder)
            return &entry;
    }
    return nullptr;
}

bool NineXKind()
{
    OSVERSIONINFO info{};
    info.dwOSVersionInfoSize = sizeof(info);
    return GetVersionEx(&info) && info.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
}

std::string ReadShellFolder(bool common, const char* value)
{
    HKEY key = nullptr;
    if (RegOpenKeyEx(common ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER, ShellFoldersKey, 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
        return {};
    char data[MAX_PATH + 1] = {};
    DWORD size = sizeof(data) - 1;
    DWORD type = 0;
    LONG result = RegQueryValueEx(key, value, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
        return {};
    return std::string(data, strnlen(data, sizeof(data)));
}

std::string FixedFolder(int folder)
{
    switch (folder) {
    case CSIDL_WINDOWS: return WindowsFolder;
    case CSIDL_SYSTEM: return SystemFolder;
    case CSIDL_PROGRAM_FILES: return ProgramFilesFolder;
    case CSIDL_PROGRAM_FILES_COMMON: return CommonFilesFolder;
    default: return {};
    }
}

}  // namespace

HRESULT SHGetSpecialFolderLocation(const void*, int folder, LPITEMIDLIST* list)
{
    if (!list)
        return E_INVALIDARG;
    *list = nullptr;
    const TFolderEntry* entry = FindFolder(folder);
    if (!entry || (entry->Common && NineXKind()))
        return E_INVALIDARG;
    std::string path;
    if (!entry->Virtual) {
        path = entry->Value ? ReadShellFolder(entry->Common, entry->Value) : FixedFolder(folder);
        if (path.empty() || path.size() > MAX_PATH)
            return E_FAIL;
    }
    auto* made = static_cast<ITEMIDLIST*>(std::calloc(1, sizeof(ITEMIDLIST)));
    if (!made)
        return E_FAIL;
    made->Virtual = entry->Virtual;
    std::memcpy(made->Path, path.data(), path.size());
    *list = made;
    return S_OK;
}

BOOL SHGetPathFromIDList(LPCITEMIDLIST list, char* path)
{
    if (!path)
        return FALSE;
    path[0] = '\0';
    if (!list || list->Virtual)
        return FALSE;
    std::strcpy(path, list->Path);
    return TRUE;
}

void CoTaskMemFree(void* memory)
{
    std::free(memory);
}

}  // namespace win
