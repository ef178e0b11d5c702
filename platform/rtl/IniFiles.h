#pragma once
// Initialisation files with the behaviour of the Windows profile functions: sections and keys without
// regard to case, values trimmed and unquoted, comments after ';', malformed lines skipped, a missing or
// unreadable file read as empty. Every call reads the file; every change rewrites it through a temporary
// file replaced in one step, keeping the other lines as they were. Changes of one file take turns across
// processes, and readers never keep a writer from replacing the file.
//
//   rtl::TIniFile ini("C:\\Program Files\\Scrivane\\config.ini");
//   bool backup = ini.ReadBool("Preferences", "AutoSaveBackup", true);
//   ini.WriteString("Preferences", "File0", "C:\\help\\demo.wkp");   // EIniFileException when refused

#include <optional>

#include "platform/rtl/Classes.h"
#include "platform/rtl/SysUtils.h"

namespace rtl {

// "Unable to write to %s" with the file name.
class EIniFileException : public Exception {
public:
    using Exception::Exception;
};

// The value of `key` in `section`, or `defaultValue`, cut to the `bufferSize` - 1 characters a buffer of
// that size would hold.
AnsiString GetPrivateProfileString(const AnsiString& section, const AnsiString& key, const AnsiString& defaultValue,
                                   int bufferSize, const AnsiString& fileName);
// The value read as an integer: optional sign, then decimal digits or "0x" and hexadecimal digits; what
// follows the digits is ignored; no digits gives `defaultValue`.
int GetPrivateProfileInt(const AnsiString& section, const AnsiString& key, int defaultValue,
                         const AnsiString& fileName);
// Sets `key` to `value`; no value deletes the key, no key deletes the whole section. False when the file
// cannot be read or written, or others kept changing it for seconds (it is then left as it was).
bool WritePrivateProfileString(const AnsiString& section, const std::optional<AnsiString>& key,
                               const std::optional<AnsiString>& value, const AnsiString& fileName);

class TIniFile : public TObject {
public:
    explicit TIniFile(AnsiString fileName);

    const AnsiString& FileName() const { return fileName_; }

    // At most 2047 characters: the classic object reads values into a buffer of 2048.
    AnsiString ReadString(const AnsiString& section, const AnsiString& ident, const AnsiString& defaultValue) const;
    int ReadInteger(const AnsiString& section, const AnsiString& ident, int defaultValue) const;
    // An integer: 0 is false, anything else true.
    bool ReadBool(const AnsiString& section, const AnsiString& ident, bool defaultValue) const;
    // These raise EIniFileException "Unable to write to <file>" when the file cannot be written.
    void WriteString(const AnsiString& section, const AnsiString& ident, const AnsiString& value);
    void WriteInteger(const AnsiString& section, const AnsiString& ident, int value);
    void WriteBool(const AnsiString& section, const AnsiString& ident, bool value);

    // The keys of a section, the section names, or the section's "key=value" lines, replacing `strings`.
    void ReadSection(const AnsiString& section, TStrings& strings) const;
    void ReadSections(TStrings& strings) const;
    void ReadSectionValues(const AnsiString& section, TStrings& strings) const;
    // True only when the section holds at least one key.
    bool SectionExists(const AnsiString& section) const;
    bool ValueExists(const AnsiString& section, const AnsiString& ident) const;
    void EraseSection(const AnsiString& section);
    void DeleteKey(const AnsiString& section, const AnsiString& ident);
    // Every change is written at once; nothing is pending.
    void UpdateFile() {}

private:
    void Write(const AnsiString& section, const std::optional<AnsiString>& ident,
               const std::optional<AnsiString>& value);

    AnsiString fileName_;
};

}  // namespace rtl
