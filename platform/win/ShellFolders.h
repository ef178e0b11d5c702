#pragma once
// The shell's special folders: SHGetSpecialFolderLocation gives an item list for a folder number (CSIDL),
// SHGetPathFromIDList its path, and CoTaskMemFree frees the list.
//
//   win::LPITEMIDLIST list = nullptr;
//   if (win::SHGetSpecialFolderLocation(nullptr, win::CSIDL_COMMON_DESKTOPDIRECTORY, &list) == win::S_OK) {
//       char path[win::MAX_PATH + 1];
//       if (win::SHGetPathFromIDList(list, path)) ...
//       win::CoTaskMemFree(list);
//   }
//
// Folders with a place on disk are read from the "Shell Folders" values of the registry, the current user's
// or all users', as the prefix wrote them; the Windows, system and program folders are the prefix's own.
// The printers, Control Panel, recycle bin, My Computer and network folders exist but have no path. As on
// the 9x kinds of Windows, which have no all-users profile, the all-users numbers fail there. The alternate
// startup folders exist on no kind here.

#include "platform/win/WinTypes.h"

namespace win {

using HRESULT = int32_t;
inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
inline constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);

struct ITEMIDLIST;
using LPITEMIDLIST = ITEMIDLIST*;
using LPCITEMIDLIST = const ITEMIDLIST*;

inline constexpr int CSIDL_DESKTOP = 0x00;
inline constexpr int CSIDL_PROGRAMS = 0x02;
inline constexpr int CSIDL_CONTROLS = 0x03;
inline constexpr int CSIDL_PRINTERS = 0x04;
inline constexpr int CSIDL_PERSONAL = 0x05;
inline constexpr int CSIDL_FAVORITES = 0x06;
inline constexpr int CSIDL_STARTUP = 0x07;
inline constexpr int CSIDL_RECENT = 0x08;
inline constexpr int CSIDL_SENDTO = 0x09;
inline constexpr int CSIDL_BITBUCKET = 0x0A;
inline constexpr int CSIDL_STARTMENU = 0x0B;
inline constexpr int CSIDL_DESKTOPDIRECTORY = 0x10;
inline constexpr int CSIDL_DRIVES = 0x11;
inline constexpr int CSIDL_NETWORK = 0x12;
inline constexpr int CSIDL_NETHOOD = 0x13;
inline constexpr int CSIDL_FONTS = 0x14;
inline constexpr int CSIDL_TEMPLATES = 0x15;
inline constexpr int CSIDL_COMMON_STARTMENU = 0x16;
inline constexpr int CSIDL_COMMON_PROGRAMS = 0x17;
inline constexpr int CSIDL_COMMON_STARTUP = 0x18;
inline constexpr int CSIDL_COMMON_DESKTOPDIRECTORY = 0x19;
inline constexpr int CSIDL_APPDATA = 0x1A;
inline constexpr int CSIDL_PRINTHOOD = 0x1B;
inline constexpr int CSIDL_LOCAL_APPDATA = 0x1C;
inline constexpr int CSIDL_ALTSTARTUP = 0x1D;
inline constexpr int CSIDL_COMMON_ALTSTARTUP = 0x1E;
inline constexpr int CSIDL_COMMON_FAVORITES = 0x1F;
inline constexpr int CSIDL_INTERNET_CACHE = 0x20;
inline constexpr int CSIDL_COOKIES = 0x21;
inline constexpr int CSIDL_HISTORY = 0x22;
inline constexpr int CSIDL_COMMON_APPDATA = 0x23;
inline constexpr int CSIDL_WINDOWS = 0x24;
inline constexpr int CSIDL_SYSTEM = 0x25;
inline constexpr int CSIDL_PROGRAM_FILES = 0x26;
inline constexpr int CSIDL_PROGRAM_FILES_COMMON = 0x2B;
inline constexpr int CSIDL_COMMON_TEMPLATES = 0x2D;
inline constexpr int CSIDL_COMMON_DOCUMENTS = 0x2E;

// `owner` is the asking window (unused). E_INVALIDARG for a number this kind of Windows does not know,
// E_FAIL when the folder is not defined; *list is null then.
HRESULT SHGetSpecialFolderLocation(const void* owner, int folder, LPITEMIDLIST* list);
// The path into a buffer of MAX_PATH characters; FALSE (and an empty text) for a folder without one.
BOOL SHGetPathFromIDList(LPCITEMIDLIST list, char* path);
void CoTaskMemFree(void* memory);

}  // namespace win
