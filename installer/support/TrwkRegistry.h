#pragma once
// The installer library's registry routines: one-call readers, writers and tree deletion, the root-key
// enumeration, and the RunOnce writer. Each call makes its own registry object, uses it and frees it.
//
//   RegWriteString(win::HKEY_LOCAL_MACHINE, "\\SOFTWARE\\ULO\\Install", "Path", folder);  // EIRCannotWriteValue
//   AnsiString path = RegReadString(win::HKEY_LOCAL_MACHINE, "\\SOFTWARE\\ULO\\Install", "Path", "");
//   AddRunOnce("TarnwickUnfinished", commandLine, true);   // false when it cannot be written

#include <cstdint>
#include <vector>

#include "platform/rtl/SysUtils.h"
#include "platform/vcl/Registry.h"
#include "platform/vcl/TypInfo.h"

// The registry class of the library: existing keys are opened with only the rights they need, so reading
// and writing under the current user works without administrator rights.
class TtrwkRegistry : public vcl::TRegistry {
public:
    using TRegistry::TRegistry;

    // KeyExists, inherited, opens the key with read rights only.
    // Without `canCreate` (or for an empty name) the key is opened with the rights read, create subkey and
    // set value; otherwise an existing key is opened with those rights and a missing one created with full
    // access.
    bool OpenKey(const rtl::AnsiString& key, bool canCreate) override;
    // Deletes the key with everything below it; the current key stays open. Refuses an empty name, which
    // would be the whole base key.
    bool DeleteKeyTree(const rtl::AnsiString& key);
    bool DeleteKey(const rtl::AnsiString& key) override { return DeleteKeyTree(key); }
};

VCL_ENUM_SIZED(TRootKeys, uint8_t, hkClassesRoot, hkCurrentConfig, hkCurrentUser, hkDynData, hkLocalMachine, hkUsers)

// The names of the open key's subkeys (`keys`) or of its values.
std::vector<rtl::AnsiString> RegistryNames(vcl::TRegistry& registry, bool keys);

// Sets the registry's root from the enumeration; a value outside it leaves the root unchanged.
void SetRootKeyEnum(vcl::TRegistry& registry, TRootKeys root);
// The handle of a root of the enumeration.
win::HKEY RootKeyHandle(TRootKeys root);
// The enumeration value of one of the six predefined roots, `defaultValue` for any other handle.
TRootKeys HKeyToRootKey(win::HKEY key, TRootKeys defaultValue);

// Open or create the key and write the value; EIRCannotWriteValue when either fails.
void RegWriteString(win::HKEY root, const rtl::AnsiString& key, const rtl::AnsiString& name,
                    const rtl::AnsiString& value);
void RegWriteInteger(win::HKEY root, const rtl::AnsiString& key, const rtl::AnsiString& name, int value);
// The value, or `defaultValue` when the key or value is missing or cannot be read; creates nothing.
rtl::AnsiString RegReadString(win::HKEY root, const rtl::AnsiString& key, const rtl::AnsiString& name,
                              const rtl::AnsiString& defaultValue);
int RegReadInteger(win::HKEY root, const rtl::AnsiString& key, const rtl::AnsiString& name, int defaultValue);
// Deletes the key with everything below it, ignoring every failure. An empty key (or "\") names the whole
// root and is refused.
void RegDeleteKeyTree(win::HKEY root, const rtl::AnsiString& key);

// A value as the registry holds it: its type and its bytes.
struct TRegRawValue {
    win::DWORD Type = 0;
    std::vector<win::BYTE> Data;
};
// False when the key or the value is missing or cannot be read; creates nothing.
bool RegReadRawValue(win::HKEY root, const rtl::AnsiString& key, const rtl::AnsiString& name, TRegRawValue& value);
// Creates the key when missing; false when it or the value cannot be written.
bool RegWriteRawValue(win::HKEY root, const rtl::AnsiString& key, const rtl::AnsiString& name,
                      const TRegRawValue& value);
// Copies one value with its type and data, creating the destination key when missing. False when the
// source value is missing or the copy cannot be written.
bool RegCopyValue(win::HKEY fromRoot, const rtl::AnsiString& fromKey, const rtl::AnsiString& name, win::HKEY toRoot,
                  const rtl::AnsiString& toKey);

// Writes `command` as a RunOnce value: under the current user on the NT family, under the local machine on
// the others. With `unique` the first free of name, name1, name2, ... is taken; otherwise an existing
// value of that name is replaced. False when the key or the value cannot be written.
bool AddRunOnce(const rtl::AnsiString& name, const rtl::AnsiString& command, bool unique);
