#pragma once
// Where the setup leaves what the uninstaller needs: the product's key in the system's list of installed
// programs and the names of its record subkeys. The setup writes them, the uninstaller reads them.
//
//   AnsiString key = UninstallKeyOf("Scrivane");             // under HKEY_LOCAL_MACHINE
//   AnsiString files = RecordSubkey(key, FilesRecord, 1);    // key + "\Files1"

#include "platform/rtl/SysUtils.h"

inline const char* const UninstallKeyBase = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

inline const char* const FilesRecord = "Files";
inline const char* const ActiveXRecord = "ActiveX";
inline const char* const RegistryKeysRecord = "RegistryKeys";
// The entry count of a record subkey, a decimal number as a string.
inline const char* const RecordEntries = "Entries";
// Entries of "Files" and "ActiveX": "File1", "File2", ...
inline const char* const RecordFilePrefix = "File";
// Entries of "RegistryKeys": subkeys "RegistryKey1", ... with "Key", "Root" and the subkey "Entries".
inline const char* const RegistryKeyPrefix = "RegistryKey";
inline const char* const RegistryKeyPath = "Key";
inline const char* const RegistryKeyRoot = "Root";

// Added beside "Key" and "Root" of a "RegistryKey<n>": the outermost key of "Key" that the setup created
// (the same form as "Key"), empty when the whole key was there before. A record without it (written by an
// older setup) leaves the uninstaller to guess which empty keys it may remove.
inline const char* const RegistryKeyCreated = "Created";
// Subkey of a "RegistryKey<n>": each value the setup overwrote, as it was before the setup first wrote it
// (same name, type and data). The uninstaller puts these back instead of deleting them.
inline const char* const RegistryKeyPrevious = "Previous";
// Subkey of the product's key: for each shared-library counter the setup raised (the value name as it
// stands under SharedDLLsKey, a short or a full path), an integer of how often this product raised it.
// The uninstaller lowers the counter by that much and removes the file only when it reaches zero.
inline const char* const SharedDLLsRecord = "SharedDLLs";

// Where Windows keeps the registrations the setup makes for installed files (under HKEY_LOCAL_MACHINE).
inline const char* const HelpFilesKey = "\\SOFTWARE\\Microsoft\\Windows\\Help";
inline const char* const SharedDLLsKey = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

// The RunOnce value (under HKEY_CURRENT_USER or HKEY_LOCAL_MACHINE) by which an uninstall that met files in
// use runs again at the next start: this prefix + the product name, trimmed. A later setup of the product
// or a later uninstall takes it over.
inline const char* const UninstallRerunPrefix = "Uninstall ";
inline const char* const RunOnceValuesKey = "\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

// A record whose subkey cannot take another entry continues in the subkey of the same name with 1, 2, ...
// appended; so many are tried before the entry is given up with the last error.
inline constexpr int MaxRecordSubkeys = 100;

// The product's key, the product name taken as entered.
inline rtl::AnsiString UninstallKeyOf(const rtl::AnsiString& productName)
{
    return UninstallKeyBase + productName;
}

// The k-th subkey of a record: the record's name itself for 0, with k appended after it.
inline rtl::AnsiString RecordSubkey(const rtl::AnsiString& key, const rtl::AnsiString& record, int k)
{
    rtl::AnsiString subkey = key;
    if (subkey.empty() || subkey.back() != '\\')
        subkey += '\\';
    subkey += record;
    if (k > 0)
        subkey += rtl::IntToStr(k);
    return subkey;
}
