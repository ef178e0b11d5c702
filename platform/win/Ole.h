#pragma once
// COM initialisation and type libraries, as far as the installer registers them: LoadTypeLib reads a type
// library file (the "MSFT" format) for its identity, version, name and help file, RegisterTypeLib writes
// the library's keys under HKEY_CLASSES_ROOT\TypeLib and UnRegisterTypeLib takes them out again. A file
// that is not a readable type library fails with TYPE_E_CANTLOADLIBRARY, a missing one with
// STG_E_FILENOTFOUND.
//
//   win::TTypeLib* lib = nullptr;
//   if (win::LoadTypeLib("C:\\App\\app.tlb", &lib) == win::S_OK) { ...; lib->Release(); }

#include <array>
#include <cstdint>
#include <string>

#include "platform/win/ShellFolders.h"
#include "platform/win/WinTypes.h"

namespace win {

inline constexpr HRESULT TYPE_E_CANTLOADLIBRARY = static_cast<HRESULT>(0x80029C4Au);
inline constexpr HRESULT STG_E_FILENOTFOUND = static_cast<HRESULT>(0x80030002u);
inline constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
inline constexpr HRESULT TYPE_E_REGISTRYACCESS = static_cast<HRESULT>(0x80029C4Fu);
inline constexpr HRESULT S_FALSE = 1;

HRESULT CoInitialize(void* reserved);
void CoUninitialize();
// How many CoInitialize calls are not yet matched (tests).
int ComInitializeCount();

struct TLIBATTR {
    std::array<uint8_t, 16> guid{};
    DWORD lcid = 0;
    int syskind = 0;
    WORD wMajorVerNum = 0;
    WORD wMinorVerNum = 0;
    WORD wLibFlags = 0;
};

class TTypeLib {
public:
    HRESULT GetLibAttr(TLIBATTR** attributes);
    void ReleaseTLibAttr(TLIBATTR* attributes);
    // Index -1: the library itself; its help file is the whole path stored in the library.
    HRESULT GetDocumentation(int index, std::string* name, std::string* docString, DWORD* helpContext,
                             std::string* helpFile);
    void Release();

    TLIBATTR Attributes;
    std::string Name;
    std::string DocString;
    std::string HelpFile;
    DWORD HelpContext = 0;

private:
    int attributesOut_ = 0;
};

HRESULT LoadTypeLib(const char* fileName, TTypeLib** library);
// Writes TypeLib\{guid}\<major>.<minor> (the name), its "<lcid>\win32" (the path), "FLAGS" and "HELPDIR".
HRESULT RegisterTypeLib(TTypeLib* library, const char* fullPath, const char* helpDir);
// Undoes RegisterTypeLib for one language: removes "<lcid>\win32" (every library is registered as a 32-bit
// one, so `syskind` changes nothing) and "<lcid>" when that leaves it empty; when no other language of the
// version is left, the version key with its "FLAGS" and "HELPDIR", then the library's key when empty.
// TypeLib itself stays. TYPE_E_REGISTRYACCESS when that language of the version is not registered (nothing
// is touched then) or a key cannot be deleted.
HRESULT UnRegisterTypeLib(const std::array<uint8_t, 16>& guid, WORD majorVersion, WORD minorVersion, DWORD lcid,
                          int syskind);
// The key below HKEY_CLASSES_ROOT that RegisterTypeLib gives the library's path in, for its version and
// language: "TypeLib\{guid}\<major>.<minor>\<lcid>\win32".
std::string TypeLibPathKey(const std::array<uint8_t, 16>& guid, WORD majorVersion, WORD minorVersion, DWORD lcid);
// "{00020430-0000-0000-C000-000000000046}".
std::string GuidText(const std::array<uint8_t, 16>& guid);
// The system's text for an OLE error, with its code.
std::string OleErrorText(HRESULT code);

}  // namespace win
