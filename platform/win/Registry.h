#pragma once
// The registry, with the advapi32 names, arguments and result codes that ported code expects.
//
// Storage: HKEY_LOCAL_MACHINE in <prefix>/system.reg (HKEY_CLASSES_ROOT is its "SOFTWARE\Classes" key),
// HKEY_CURRENT_USER in user.reg, HKEY_CURRENT_CONFIG in config.reg, all REGEDIT4 text. HKEY_USERS holds
// ".DEFAULT", the current user's tree once more; HKEY_DYN_DATA exists on the 9x kinds only and is never
// stored. Every change is written through by replacing the file atomically; a change whose write fails
// is undone in memory and reported by its result code. A bad line of a file is reported on stderr as
// "file:line: message" and skipped; such a file, or one that is not REGEDIT4 at all (read as empty), is
// left as it is until the first change, which keeps it beside the new one as <file>.bad. A missing file
// is made with the values of a new Windows installation.
//
// Access: a root denied with SetRegistryAccessDenied refuses opening with write rights, creating keys,
// and every change through any handle under it; reading stays allowed, as for a limited user on
// HKEY_LOCAL_MACHINE. HKEY_CLASSES_ROOT is denied with HKEY_LOCAL_MACHINE too, since it writes there.

#include <cstdint>
#include <string>

#include "platform/win/WinError.h"
#include "platform/win/WinTypes.h"

namespace win {

struct HKEY__;
using HKEY = HKEY__*;
using PHKEY = HKEY*;
using REGSAM = DWORD;

inline HKEY const HKEY_CLASSES_ROOT = reinterpret_cast<HKEY>(uintptr_t{0x80000000});
inline HKEY const HKEY_CURRENT_USER = reinterpret_cast<HKEY>(uintptr_t{0x80000001});
inline HKEY const HKEY_LOCAL_MACHINE = reinterpret_cast<HKEY>(uintptr_t{0x80000002});
inline HKEY const HKEY_USERS = reinterpret_cast<HKEY>(uintptr_t{0x80000003});
inline HKEY const HKEY_CURRENT_CONFIG = reinterpret_cast<HKEY>(uintptr_t{0x80000005});
inline HKEY const HKEY_DYN_DATA = reinterpret_cast<HKEY>(uintptr_t{0x80000006});

// Value types.
inline constexpr DWORD REG_NONE = 0;
inline constexpr DWORD REG_SZ = 1;
inline constexpr DWORD REG_EXPAND_SZ = 2;
inline constexpr DWORD REG_BINARY = 3;
inline constexpr DWORD REG_DWORD = 4;
inline constexpr DWORD REG_DWORD_LITTLE_ENDIAN = 4;
inline constexpr DWORD REG_DWORD_BIG_ENDIAN = 5;
inline constexpr DWORD REG_LINK = 6;
inline constexpr DWORD REG_MULTI_SZ = 7;
inline constexpr DWORD REG_QWORD = 11;

// Access rights.
inline constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
inline constexpr REGSAM KEY_SET_VALUE = 0x0002;
inline constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
inline constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
inline constexpr REGSAM KEY_NOTIFY = 0x0010;
inline constexpr REGSAM KEY_CREATE_LINK = 0x0020;
inline constexpr REGSAM KEY_READ = 0x20019;
inline constexpr REGSAM KEY_WRITE = 0x20006;
inline constexpr REGSAM KEY_EXECUTE = KEY_READ;
inline constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;
inline constexpr REGSAM MAXIMUM_ALLOWED = 0x02000000;

// Creation options and dispositions.
inline constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
inline constexpr DWORD REG_OPTION_VOLATILE = 1;
inline constexpr DWORD REG_CREATED_NEW_KEY = 1;
inline constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

// Every call returns an error code (also left in GetLastError when it is not ERROR_SUCCESS).

// Keys. Sub-key paths use "\" between names (a leading one is ignored); names compare without case and
// keep the spelling first given. On failure *result is set to null.
LONG RegOpenKeyEx(HKEY key, const char* subKey, DWORD options, REGSAM access, PHKEY result);
LONG RegOpenKey(HKEY key, const char* subKey, PHKEY result);
// `className` is accepted and not kept; `security` is ignored (pass null). `disposition` may be null.
LONG RegCreateKeyEx(HKEY key, const char* subKey, DWORD reserved, const char* className, DWORD options,
                    REGSAM access, const void* security, PHKEY result, DWORD* disposition);
LONG RegCreateKey(HKEY key, const char* subKey, PHKEY result);
LONG RegCloseKey(HKEY key);
// Fails with ERROR_ACCESS_DENIED on a key with subkeys on the NT kinds; the 9x kinds delete the tree.
// An empty or null `subKey` deletes the key of the handle itself.
LONG RegDeleteKey(HKEY key, const char* subKey);
// Changes are written through already, or at the end of the open write batch; this only checks the handle.
LONG RegFlushKey(HKEY key);

// Values. A null or empty name is the key's default value. `data` null asks for the size; a buffer too
// small gives ERROR_MORE_DATA with the size needed. Data is kept exactly as given: a string's terminating
// zero is part of its size when the writer gave it, and missing when it did not.
LONG RegQueryValueEx(HKEY key, const char* valueName, DWORD* reserved, DWORD* type, BYTE* data, DWORD* size);
LONG RegSetValueEx(HKEY key, const char* valueName, DWORD reserved, DWORD type, const BYTE* data, DWORD size);
LONG RegDeleteValue(HKEY key, const char* valueName);

// Enumeration in sorted order (without case); an index past the end gives ERROR_NO_MORE_ITEMS. Name
// lengths are in characters: on entry the buffer size including the zero, on return the length without
// it (or, with ERROR_MORE_DATA for the name, the length needed without the zero).
LONG RegEnumKeyEx(HKEY key, DWORD index, char* name, DWORD* nameLength, DWORD* reserved, char* className,
                  DWORD* classLength, FILETIME* lastWriteTime);
LONG RegEnumValue(HKEY key, DWORD index, char* valueName, DWORD* valueNameLength, DWORD* reserved, DWORD* type,
                  BYTE* data, DWORD* size);
// Any pointer may be null. Lengths of names in characters without the zero, of data in bytes.
LONG RegQueryInfoKey(HKEY key, char* className, DWORD* classLength, DWORD* reserved, DWORD* subKeys,
                     DWORD* maxSubKeyLength, DWORD* maxClassLength, DWORD* values, DWORD* maxValueNameLength,
                     DWORD* maxValueLength, DWORD* securityDescriptorSize, FILETIME* lastWriteTime);

// For our own code and tests.

// Forgets the loaded trees, the open handles and the denied roots; the next call loads the prefix afresh.
// ResetPlatform calls it.
void ResetRegistry();
// Host path of the file that stores `root`, or empty for roots kept only in memory.
std::string RegistryFilePath(HKEY root);
void SetRegistryAccessDenied(HKEY root, bool denied);
// Makes every write of a registry file fail with `error` (ERROR_SUCCESS: writes work again), as a full
// disk would.
void SetRegistryWriteFailure(DWORD error);

// Write batches, so that a run of many changes writes each file once instead of once per change. While
// a batch is open a change that is kept in a file marks that file instead of writing it (a change refused
// for other reasons is still refused at once); closing the outermost batch writes each marked file once,
// the same way a single change does (new file, fsync, rename). Batches nest.
void BeginRegistryBatch();
// Closes a batch; the outermost writes the marked files and gives the first error (ERROR_SUCCESS when all
// were written). A file that could not be written stays marked: the next write of it carries the changes.
LONG EndRegistryBatch();
// Closes the outermost batch after everything it changed was taken back: a file written during the batch
// is written once more, one never written is still as it was and is left alone.
LONG EndRegistryBatchTakenBack();
// Writes the marked files now and leaves the batch open: before a child process starts, so that it reads
// the registry as it is.
LONG WritePendingRegistry();

// A batch for one scope; ending it early gives the error, otherwise the destructor ends it.
class TRegistryBatch {
public:
    TRegistryBatch() { BeginRegistryBatch(); }
    ~TRegistryBatch()
    {
        if (open_)
            EndRegistryBatch();
    }
    TRegistryBatch(const TRegistryBatch&) = delete;
    TRegistryBatch& operator=(const TRegistryBatch&) = delete;
    LONG End()
    {
        open_ = false;
        return EndRegistryBatch();
    }

private:
    bool open_ = true;
};

}  // namespace win
