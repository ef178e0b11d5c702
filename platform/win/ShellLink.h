#pragma once
// The shell-link object: COM's class CLSID_ShellLink with its IShellLinkA and IPersistFile interfaces,
// written in the public Shell Link binary format, so that Windows and other readers open our ".LNK" files.
//
//   win::CoInitialize(nullptr);                 // Ole.h
//   win::IShellLinkA* link = nullptr;
//   if (win::CoCreateInstance(win::CLSID_ShellLink, nullptr, win::CLSCTX_INPROC_SERVER, win::IID_IShellLinkA,
//                             reinterpret_cast<void**>(&link)) == win::S_OK) {
//       link->SetPath("C:\\Program Files\\App\\app.exe");
//       link->SetArguments("-x");
//       win::IPersistFile* file = nullptr;
//       link->QueryInterface(win::IID_IPersistFile, reinterpret_cast<void**>(&file));
//       file->Save(u"C:\\...\\Programs\\App\\App.lnk", win::TRUE);
//       file->Release();
//       link->Release();
//   }
//
// A link holds its target as a local path (LinkInfo with a volume and a base path), and its working folder,
// arguments and icon as Unicode strings; the target's attributes, times and size come from the file when it
// exists. No item-ID list is written.

#include <cstdint>
#include <string>

#include "platform/win/Ole.h"
#include "platform/win/ShellFolders.h"
#include "platform/win/WinTypes.h"

namespace win {

struct GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
    bool operator==(const GUID& other) const;
};

inline constexpr GUID CLSID_ShellLink = {0x00021401, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr GUID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr GUID IID_IShellLinkA = {0x000214EE, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr GUID IID_IPersistFile = {0x0000010B, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

inline constexpr HRESULT E_UNEXPECTED = static_cast<HRESULT>(0x8000FFFFu);
inline constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
inline constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
inline constexpr HRESULT CLASS_E_NOAGGREGATION = static_cast<HRESULT>(0x80040110u);
inline constexpr HRESULT REGDB_E_CLASSNOTREG = static_cast<HRESULT>(0x80040154u);
inline constexpr HRESULT CO_E_NOTINITIALIZED = static_cast<HRESULT>(0x800401F0u);
inline constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;

// A Windows error code as a result (0x8007xxxx), as COM reports file failures.
HRESULT HResultFromWin32(DWORD error);
inline bool Failed(HRESULT result) { return result < 0; }

// Hot-key modifiers in the high byte of a hot key.
inline constexpr WORD HOTKEYF_SHIFT = 0x01;
inline constexpr WORD HOTKEYF_CONTROL = 0x02;
inline constexpr WORD HOTKEYF_ALT = 0x04;
inline constexpr WORD HOTKEYF_EXT = 0x08;

using ULONG = uint32_t;

struct IUnknown {
    virtual HRESULT QueryInterface(const GUID& iid, void** object) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    ~IUnknown() = default;
};

// Paths and texts are ANSI (code page 1252). Every setter refuses a text longer than MAX_PATH characters
// (E_INVALIDARG), as the format's readers expect no more.
struct IShellLinkA : IUnknown {
    virtual HRESULT SetPath(const char* file) = 0;
    virtual HRESULT GetPath(char* file, int size) = 0;
    virtual HRESULT SetArguments(const char* arguments) = 0;
    virtual HRESULT SetWorkingDirectory(const char* folder) = 0;
    virtual HRESULT SetDescription(const char* text) = 0;
    // Low byte the virtual key, high byte the HOTKEYF_ modifiers.
    virtual HRESULT SetHotkey(WORD hotKey) = 0;
    virtual HRESULT SetIconLocation(const char* iconPath, int index) = 0;
    virtual HRESULT SetShowCmd(int showCommand) = 0;

protected:
    ~IShellLinkA() = default;
};

struct IPersistFile : IUnknown {
    // Writes the link to `fileName` (UTF-16, a Windows path of at most MAX_PATH characters); `remember` is
    // accepted and has no effect. A failure of the file system gives its error as a result.
    virtual HRESULT Save(const char16_t* fileName, BOOL remember) = 0;

protected:
    ~IPersistFile() = default;
};

// Only the shell-link class is registered here; `outer` must be null (no aggregation).
HRESULT CoCreateInstance(const GUID& classId, IUnknown* outer, DWORD context, const GUID& interfaceId, void** object);

// The bytes of a link, for tests and for Save: the header, the link information and the strings.
struct TShellLinkData {
    std::string Path;
    std::string Arguments;
    std::string WorkingDirectory;
    std::string Description;
    std::string IconLocation;
    int IconIndex = 0;
    WORD HotKey = 0;
    int ShowCommand = 1;
};
std::string ShellLinkBytes(const TShellLinkData& link);

}  // namespace win
