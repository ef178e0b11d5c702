#pragma once
// The layer's own settings, kept in <prefix>/settings.ini so that every run in the prefix sees them:
//
//   [Windows]
//   Kind=XP                  95, 98, ME, NT4, 2000 or XP
//   UserLanguageId=0409      hexadecimal language ids
//   SystemLanguageId=0409
//   [Floppy]
//   Capacity=1457664         bytes of the disk in drive A:
//   DiskPresent=1            0: drive A: is empty and reports "not ready"
//
// A missing file or key takes its default. A malformed file raises rtl::Exception naming the file and
// line; it is never overwritten until a setter is called, which keeps it as settings.ini.bad and starts
// from the defaults.

#include <cstdint>
#include <string>

#include "platform/win/WinTypes.h"

namespace win {

enum class TWindowsKind { Win95, Win98, WinME, WinNT4, Win2000, WinXP };

// "95", "98", "ME", "NT4", "2000", "XP".
std::string WindowsKindName(TWindowsKind kind);
// Accepts the names above without regard to case; raises rtl::Exception on anything else.
TWindowsKind WindowsKindFromName(const std::string& name);
// The 9x kinds are 95, 98 and ME; the rest are NT kinds.
bool IsNTKind(TWindowsKind kind);

TWindowsKind WindowsKind();
void SetWindowsKind(TWindowsKind kind);

int64_t FloppyCapacity();
void SetFloppyCapacity(int64_t bytes);
bool FloppyPresent();
void SetFloppyPresent(bool present);

LANGID UserLanguageId();
void SetUserLanguageId(LANGID id);
LANGID SystemLanguageId();
void SetSystemLanguageId(LANGID id);

// Host path of settings.ini in the current prefix.
std::string SettingsFilePath();

}  // namespace win
