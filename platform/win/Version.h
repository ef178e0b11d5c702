#pragma once
// Version resources: GetFileVersionInfoSize / GetFileVersionInfo / VerQueryValue over the VS_VERSIONINFO
// block of a file, and the builder that makes such blocks (our build embeds one into each executable).
//
// The block is the 32-bit layout: each node is a WORD length (of the node with its children), a WORD value
// length (bytes for binary values, characters for text), a WORD type (0 binary, 1 text), a zero-terminated
// UTF-16 key, padding to 32 bits, the value, padding to 32 bits, then the child nodes. The root is
// "VS_VERSION_INFO" with a VS_FIXEDFILEINFO value; its children are "StringFileInfo" (string tables keyed
// by language and code page in eight hexadecimal digits, "040904E4", holding the text values) and
// "VarFileInfo" (its "Translation" value: pairs of WORDs, language then code page).
//
// Where the block comes from: a Windows PE file's resource section (type RT_VERSION, the first name, its
// first language), or the version section that scrivane_version_resource() places into our own ELF
// executables (PeImage.h). Either way the file on disk is read, opened with read and write sharing, so a
// file held open without sharing fails with ERROR_SHARING_VIOLATION.
//
// Text values are UTF-16 in the block, but these functions serve 8-bit programs: VerQueryValue hands out
// text as zero-terminated Windows-1252 (characters the code page lacks become '?'). GetFileVersionInfo
// therefore fills more than the block: the raw block, then that 8-bit copy of every text value, which is
// why GetFileVersionInfoSize asks for more than the block's length.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/win/WinTypes.h"

namespace win {

inline constexpr DWORD VS_FFI_SIGNATURE = 0xFEEF04BD;
inline constexpr DWORD VS_FFI_STRUCVERSION = 0x00010000;
inline constexpr DWORD VS_FFI_FILEFLAGSMASK = 0x0000003F;

// dwFileFlags.
inline constexpr DWORD VS_FF_DEBUG = 0x01;
inline constexpr DWORD VS_FF_PRERELEASE = 0x02;
inline constexpr DWORD VS_FF_PATCHED = 0x04;
inline constexpr DWORD VS_FF_PRIVATEBUILD = 0x08;
inline constexpr DWORD VS_FF_INFOINFERRED = 0x10;
inline constexpr DWORD VS_FF_SPECIALBUILD = 0x20;

// dwFileOS.
inline constexpr DWORD VOS_UNKNOWN = 0x00000000;
inline constexpr DWORD VOS__WINDOWS16 = 0x00000001;
inline constexpr DWORD VOS__PM16 = 0x00000002;
inline constexpr DWORD VOS__PM32 = 0x00000003;
inline constexpr DWORD VOS__WINDOWS32 = 0x00000004;
inline constexpr DWORD VOS_DOS = 0x00010000;
inline constexpr DWORD VOS_OS216 = 0x00020000;
inline constexpr DWORD VOS_OS232 = 0x00030000;
inline constexpr DWORD VOS_NT = 0x00040000;
inline constexpr DWORD VOS_DOS_WINDOWS16 = 0x00010001;
inline constexpr DWORD VOS_DOS_WINDOWS32 = 0x00010004;
inline constexpr DWORD VOS_OS216_PM16 = 0x00020002;
inline constexpr DWORD VOS_OS232_PM32 = 0x00030003;
inline constexpr DWORD VOS_NT_WINDOWS32 = 0x00040004;

// dwFileType.
inline constexpr DWORD VFT_UNKNOWN = 0;
inline constexpr DWORD VFT_APP = 1;
inline constexpr DWORD VFT_DLL = 2;
inline constexpr DWORD VFT_DRV = 3;
inline constexpr DWORD VFT_FONT = 4;
inline constexpr DWORD VFT_VXD = 5;
inline constexpr DWORD VFT_STATIC_LIB = 7;

// dwFileSubtype of drivers and fonts.
inline constexpr DWORD VFT2_UNKNOWN = 0;
inline constexpr DWORD VFT2_DRV_PRINTER = 1;
inline constexpr DWORD VFT2_DRV_KEYBOARD = 2;
inline constexpr DWORD VFT2_DRV_LANGUAGE = 3;
inline constexpr DWORD VFT2_DRV_DISPLAY = 4;
inline constexpr DWORD VFT2_DRV_MOUSE = 5;
inline constexpr DWORD VFT2_DRV_NETWORK = 6;
inline constexpr DWORD VFT2_DRV_SYSTEM = 7;
inline constexpr DWORD VFT2_DRV_INSTALLABLE = 8;
inline constexpr DWORD VFT2_DRV_SOUND = 9;
inline constexpr DWORD VFT2_DRV_COMM = 10;
inline constexpr DWORD VFT2_FONT_RASTER = 1;
inline constexpr DWORD VFT2_FONT_VECTOR = 2;
inline constexpr DWORD VFT2_FONT_TRUETYPE = 3;

// The binary value of the root node, 52 bytes, as it lies in the block.
struct VS_FIXEDFILEINFO {
    DWORD dwSignature;  // VS_FFI_SIGNATURE
    DWORD dwStrucVersion;
    DWORD dwFileVersionMS;  // major << 16 | minor
    DWORD dwFileVersionLS;  // release << 16 | build
    DWORD dwProductVersionMS;
    DWORD dwProductVersionLS;
    DWORD dwFileFlagsMask;
    DWORD dwFileFlags;
    DWORD dwFileOS;
    DWORD dwFileType;
    DWORD dwFileSubtype;
    DWORD dwFileDateMS;
    DWORD dwFileDateLS;
};
static_assert(sizeof(VS_FIXEDFILEINFO) == 52);

// The size GetFileVersionInfo needs for the file's version information, or 0 with the last error:
// ERROR_FILE_NOT_FOUND / ERROR_PATH_NOT_FOUND, ERROR_SHARING_VIOLATION (held open without sharing),
// ERROR_BAD_EXE_FORMAT (neither PE nor ELF, or headers that are truncated or out of range),
// ERROR_RESOURCE_DATA_NOT_FOUND (no resources, or a resource directory that is corrupt),
// ERROR_RESOURCE_TYPE_NOT_FOUND (resources, but no version resource), ERROR_RESOURCE_NAME_NOT_FOUND /
// ERROR_RESOURCE_LANG_NOT_FOUND (an empty level of the directory), ERROR_INVALID_DATA (a version resource
// that is not a VS_VERSIONINFO block). `handle` (may be null) is set to 0.
DWORD GetFileVersionInfoSize(const char* fileName, DWORD* handle);
// Fills `data` with the version information (`handle` is ignored). A `length` below what
// GetFileVersionInfoSize gave fails with ERROR_INSUFFICIENT_BUFFER and leaves `data` untouched, since a
// cut block could not be queried safely. Other failures as GetFileVersionInfoSize.
BOOL GetFileVersionInfo(const char* fileName, DWORD handle, DWORD length, void* data);
// `block` as GetFileVersionInfo filled it. `subBlock` is a path of keys separated by backslashes, compared
// without regard to case: "\" gives the VS_FIXEDFILEINFO (length 52), "\VarFileInfo\Translation" the
// language and code-page pairs (length in bytes), "\StringFileInfo\040904E4\FileVersion" a zero-terminated
// Windows-1252 text (length in characters with the terminating zero; 0 for a value without text). The
// pointer points into `block`. FALSE when the path does not exist (ERROR_RESOURCE_TYPE_NOT_FOUND) or the
// root has no such value; ERROR_INVALID_PARAMETER for null arguments or a block not made here.
BOOL VerQueryValue(const void* block, const char* subBlock, void** buffer, UINT* length);

// What GetFileVersionInfo fills for the bytes of a version resource (as FindVersionResource in PeImage.h
// gives them): ERROR_SUCCESS, or ERROR_INVALID_DATA when they do not start with a VS_VERSIONINFO block.
DWORD VersionInfoFromResource(const std::string& resource, std::string& info);

// ---------------------------------------------------------------------------------------------------------
// Making blocks: the build step for our executables and tests that need version resources of their own.

struct TVersionStringTable {
    std::string Block;  // "040904E4": language and code page, eight hexadecimal digits
    std::vector<std::pair<std::string, std::string>> Values;  // name and text, in this order
};

struct TVersionInfoDescription {
    VS_FIXEDFILEINFO Fixed{VS_FFI_SIGNATURE, VS_FFI_STRUCVERSION, 0, 0, 0, 0, VS_FFI_FILEFLAGSMASK, 0,
                           VOS__WINDOWS32, VFT_APP, VFT2_UNKNOWN, 0, 0};
    std::vector<TVersionStringTable> StringTables;
    // Each language | code page << 16. Empty: no VarFileInfo node.
    std::vector<DWORD> Translations;
};

// The VS_VERSIONINFO bytes (names and texts are Windows-1252, stored as UTF-16). Raises rtl::Exception
// when the block would pass the 65,535 bytes a node length can count.
std::string BuildVersionInfo(const TVersionInfoDescription& description);

// "1.0.0.56" as the two DWORDs of VS_FIXEDFILEINFO (missing parts are 0). False for anything but one to
// four decimal numbers of at most 65535 separated by dots.
bool ParseFileVersion(const std::string& text, DWORD& mostSignificant, DWORD& leastSignificant);

}  // namespace win
