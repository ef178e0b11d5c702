#pragma once
// What an install file does around its extraction (the methods live in LockedFiles.cpp): a locked target
// is replaced at the next start (WININIT.INI on the 9x kinds, a delayed move on the NT kinds, a batch file
// started from RunOnce when the delayed move fails), and a file in place is registered as a help file, a
// shared DLL and a COM server or type library. A COM registration that fails during a run may be deferred
// to the end of the run (DeferRegistration).

#include "platform/rtl/SysUtils.h"

// Whether the version resource of the file declares "OLESelfRegister" for its first translation; a file
// without one, or one that cannot be read, does not.
bool OLESelfRegisterOf(const rtl::AnsiString& path);
