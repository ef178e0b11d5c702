#pragma once
// The running program's own file version, as its version resource states it ("1.0.0.56"); the About
// window shows it and the version check compares it with the newest release.

#include "platform/rtl/SysUtils.h"

// The "FileVersion" text of the U.S. English, code page 1252 string table ("040904E4") of the running
// program's file; empty when the file has no version resource or the table no such value. Never fails.
rtl::AnsiString GetFileVersionString();
// The same for any program or library file (a Windows path): our own executables and Windows PE files.
rtl::AnsiString GetFileVersionString(const rtl::AnsiString& fileName);
