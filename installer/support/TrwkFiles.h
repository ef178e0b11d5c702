#pragma once
// File-system routines of the installer library: attributes of installed files, the nearest existing
// folder of a path, and strings taken from system libraries.

#include <cstdint>

#include "platform/rtl/SysUtils.h"
#include "platform/vcl/TypInfo.h"
#include "platform/win/WinTypes.h"

// Each sets its Windows attribute; tfaCompressed sets none.
VCL_ENUM_SIZED(TTrwkFileAttributes, uint8_t, tfaArchive, tfaCompressed, tfaDirectory, tfaHidden, tfaNormal,
               tfaOffline, tfaReadOnly, tfaSystem, tfaTemporary)
using TTrwkFileAttributesSet = vcl::TSet<TTrwkFileAttributes>;

// The Windows attribute bits of a set.
win::DWORD FileAttributesOf(TTrwkFileAttributesSet attributes);
// Sets exactly the attributes of the set (an empty set is a normal file); IEfcSetAttributes "Cannot set
// file attributes. Error : %s" with the system's text for the error when that fails.
void SetFileAttributesChecked(const rtl::AnsiString& path, TTrwkFileAttributesSet attributes);
// When the existing file can be opened for reading without sharing, `attributes` becomes {tfaReadOnly}
// for a read-only file and empty otherwise; when it cannot, `attributes` is left as it is.
void ReadOnlyAttribute(const rtl::AnsiString& path, TTrwkFileAttributesSet& attributes,
                       win::SECURITY_ATTRIBUTES* security);
// The path itself when it is an existing folder, else the nearest of its parents that is; empty for a
// blank path or when none exists.
rtl::AnsiString NearestExistingFolder(const rtl::AnsiString& path);
// String `id` of the library, read into a 4,096-character buffer; empty when the library or the string
// is missing.
rtl::AnsiString LoadDllString(const rtl::AnsiString& libraryName, win::UINT id);
