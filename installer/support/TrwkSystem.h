#pragma once
// The installer library's system routines: the kind of the running Windows, the Windows, system and
// temporary folders, short path names, ";"-separated fields, backslashes and file names, unique component
// names and hard links. Operating-system failures raise EAPIRoutines (TrwkExceptions.h).

#include <cstdint>

#include "platform/rtl/Classes.h"
#include "platform/rtl/SysUtils.h"
#include "platform/vcl/TypInfo.h"
#include "platform/win/WinTypes.h"

namespace vcl {
class TComponent;
}

// ---------------------------------------------------------------------------------------------------------
// Kinds of Windows

VCL_ENUM_SIZED(TOSVerType, uint8_t, os31win32, oswin95, oswinNT, oswinNT351, osUnidentified, osLinux, oswin2K,
               oswin98, oswinME, oswinXP)
using OSSet = vcl::TSet<TOSVerType>;

// The NT family: oswinNT, oswin2K, oswinXP.
const OSSet& NTOSSet();
// The 9x family: oswin95, oswin98, oswinME.
const OSSet& Win9xOSSet();

// The kind for the platform, major and minor version of the version query. A 9x system of any minor
// version but 90 (ME) is oswin98, so Windows 95 counts as 98; NT 6 and later are unidentified.
TOSVerType ClassifyWindowsVersion(win::DWORD platformId, win::DWORD majorVersion, win::DWORD minorVersion);
// The running Windows; EAPIRoutines when the version query fails.
TOSVerType WindowsVersion();

// ---------------------------------------------------------------------------------------------------------
// Folders and file names

rtl::AnsiString SystemDirectory();
rtl::AnsiString WindowsDirectory();
// A new file "bat....tmp" in the temporary folder; unless `keep`, the file is deleted again and only its
// name is reserved.
rtl::AnsiString TempFileName(bool keep);
// The short (8.3) form of an existing path; EAPIRoutines when the system has none for it.
rtl::AnsiString ShortPathName(const rtl::AnsiString& path);
// The short form of an existing path, else the path as given (a batch line takes an unquoted path whole).
rtl::AnsiString ShortOrGiven(const rtl::AnsiString& path);

// ---------------------------------------------------------------------------------------------------------
// Fields: "a;b;c" has three, "a;b;" two, "" none.

// The number of separators, plus one unless the text ends with one; 0 for an empty text.
int FieldCount(const rtl::AnsiString& text, char separator = ';');
// Field n, counted from 1; empty when the text has fewer separators than n - 1. An n below 1 counts as 1.
rtl::AnsiString GetField(const rtl::AnsiString& text, int n, char separator = ';');
// Replaces the list's lines by fields 1 to FieldCount.
void SplitFields(const rtl::AnsiString& text, char separator, rtl::TStrings& list);

// Appends "\" unless the text is empty or ends with one.
rtl::AnsiString AddBackslash(const rtl::AnsiString& text);
// Drops one trailing "\".
rtl::AnsiString RemoveBackslash(const rtl::AnsiString& text);
// What follows the first ":", empty when there is none.
rtl::AnsiString AfterColon(const rtl::AnsiString& text);
// "/" becomes "-"; the characters " * : ; < > ? \ | are dropped; everything else is kept.
rtl::AnsiString CleanFileName(const rtl::AnsiString& text);

// ---------------------------------------------------------------------------------------------------------
// Components and links

// Names `component` after `base`: the base, then base1, base2, ... while another component of its owner
// bears the name. An install file (a TCustomInstallFile) is named "IF" + the base without its extension +
// "_" + the extension, keeping only letters, digits and "_" (readme.txt: IFreadme_txt, IFreadme_txt1, ...).
// Any other component keeps the letters, digits and "_" of its base; when nothing is left, or it starts
// with a digit, the class name without its "T" goes first ("Component", "Component1abc"). Always ends:
// when the framework refuses a name for another reason than a clash, its error is raised.
void UniqueComponentName(vcl::TComponent* component, const rtl::AnsiString& base);

// A hard link `newLinkName` to `existingFileName` through kernel32's CreateHardLinkA, looked up at run time;
// false when the system refuses the link. IEInstallHardLink when the function cannot be had (kernel32 does
// not load, or this Windows has no such function).
bool CreateHardLinkChecked(const rtl::AnsiString& newLinkName, const rtl::AnsiString& existingFileName,
                           win::SECURITY_ATTRIBUTES* security);
