#pragma once
// The framework's registry class: one open key at a time under a root key, with typed reads and writes.
//
//   vcl::TRegistry reg;                       // HKEY_CURRENT_USER, all access
//   reg.SetRootKey(win::HKEY_LOCAL_MACHINE);
//   if (reg.OpenKey("\\SOFTWARE\\Halvern", true))
//       reg.WriteString("Path", "C:\\Program Files\\Halvern");
//
// A key name that starts with "\" is absolute (below the root key); any other name is relative to the
// current key when one is open, else to the root key. Reading a value of the wrong type, reading a missing
// number and every failed write raise ERegistryException; ReadString of a missing value gives "".
// Floating-point numbers and date-times are stored as their 8 bytes, binary.

#include <cstdint>

#include "platform/rtl/Classes.h"
#include "platform/rtl/DateUtils.h"
#include "platform/rtl/SysUtils.h"
#include "platform/win/Registry.h"

namespace vcl {

using rtl::AnsiString;

class ERegistryException : public rtl::Exception {
public:
    using Exception::Exception;
};

enum TRegDataType { rdUnknown, rdString, rdExpandString, rdInteger, rdBinary };

struct TRegDataInfo {
    TRegDataType RegData = rdUnknown;
    int DataSize = 0;
};

class TRegistry : public rtl::TObject {
public:
    TRegistry();
    explicit TRegistry(win::REGSAM access);
    ~TRegistry() override;
    TRegistry(const TRegistry&) = delete;
    TRegistry& operator=(const TRegistry&) = delete;

    // Changing the root closes the current key.
    win::HKEY RootKey() const { return rootKey_; }
    void SetRootKey(win::HKEY value);
    // Null while no key is open.
    win::HKEY CurrentKey() const { return currentKey_; }
    const AnsiString& CurrentPath() const { return currentPath_; }
    // The rights keys are opened and created with.
    win::REGSAM Access = win::KEY_ALL_ACCESS;
    // False: a key is flushed when it is closed.
    bool LazyWrite = true;

    void CloseKey();
    virtual bool OpenKey(const AnsiString& key, bool canCreate);
    bool OpenKeyReadOnly(const AnsiString& key);
    bool CreateKey(const AnsiString& key);
    virtual bool KeyExists(const AnsiString& key);
    // Deletes the key with everything below it.
    virtual bool DeleteKey(const AnsiString& key);
    bool HasSubKeys();
    void GetKeyNames(rtl::TStrings& strings);

    bool ValueExists(const AnsiString& name);
    bool DeleteValue(const AnsiString& name);
    void GetValueNames(rtl::TStrings& strings);
    bool GetDataInfo(const AnsiString& name, TRegDataInfo& info);
    TRegDataType GetDataType(const AnsiString& name);
    // -1 when there is no such value.
    int GetDataSize(const AnsiString& name);

    AnsiString ReadString(const AnsiString& name);
    void WriteString(const AnsiString& name, const AnsiString& value);
    void WriteExpandString(const AnsiString& name, const AnsiString& value);
    int ReadInteger(const AnsiString& name);
    void WriteInteger(const AnsiString& name, int value);
    double ReadFloat(const AnsiString& name);
    void WriteFloat(const AnsiString& name, double value);
    rtl::TDateTime ReadDateTime(const AnsiString& name);
    void WriteDateTime(const AnsiString& name, rtl::TDateTime value);
    // The bytes read (at most `size`); raises when the value is longer or not binary.
    int ReadBinaryData(const AnsiString& name, void* buffer, int size);
    void WriteBinaryData(const AnsiString& name, const void* buffer, int size);

protected:
    // A name without its leading "\" and whether it was relative.
    static AnsiString KeyName(const AnsiString& key, bool* relative);
    // The key relative names start from: the current key when one is open, else the root.
    win::HKEY BaseKey(bool relative) const;
    // The open key `key` becomes the current one under the path the open rules give.
    void ChangeKey(win::HKEY key, const AnsiString& name, bool relative);
    // Deletes `name` below `base` with every key under it; the result of the last delete.
    static win::LONG DeleteTree(win::HKEY base, const AnsiString& name);

private:
    void PutData(const AnsiString& name, const void* data, win::DWORD size, win::DWORD type);
    // The raw bytes of a value of one of the given types; raises when missing or of another type.
    AnsiString GetData(const AnsiString& name, TRegDataType expected);

    win::HKEY rootKey_ = win::HKEY_CURRENT_USER;
    win::HKEY currentKey_ = nullptr;
    AnsiString currentPath_;
};

}  // namespace vcl
