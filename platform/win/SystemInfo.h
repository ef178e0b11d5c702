#pragma once
// What a program asks Windows about itself and the machine: the version (by the prefix's kind of Windows,
// Settings.h), folders, names, languages, the command line and the clock.

#include <string>

#include "platform/win/Settings.h"
#include "platform/win/WinTypes.h"

namespace win {

inline constexpr DWORD VER_PLATFORM_WIN32s = 0;
inline constexpr DWORD VER_PLATFORM_WIN32_WINDOWS = 1;
inline constexpr DWORD VER_PLATFORM_WIN32_NT = 2;

inline constexpr BYTE VER_NT_WORKSTATION = 1;
inline constexpr DWORD MAX_COMPUTERNAME_LENGTH = 15;

struct OSVERSIONINFO {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    char szCSDVersion[128];
};

struct OSVERSIONINFOEX {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    char szCSDVersion[128];
    WORD wServicePackMajor;
    WORD wServicePackMinor;
    WORD wSuiteMask;
    BYTE wProductType;
    BYTE wReserved;
};

// The caller sets dwOSVersionInfoSize; a wrong size fails with ERROR_INSUFFICIENT_BUFFER. The extended form
// is known to the NT kinds only, as on Windows. On the 9x kinds the build number's high word holds the
// major and minor version.
//   95: 1, 4.0.950      98: 1, 4.10.1998    ME: 1, 4.90.3000
//   NT4: 2, 4.0.1381    2000: 2, 5.0.2195   XP: 2, 5.1.2600
BOOL GetVersionEx(OSVERSIONINFO* versionInformation);
BOOL GetVersionEx(OSVERSIONINFOEX* versionInformation);
// Major in the low byte, minor in the next, then the build (NT) or the high bit set (9x).
DWORD GetVersion();

// Buffer forms as GetCurrentDirectory (Paths.h). The system folder is C:\WINDOWS\SYSTEM on the 9x kinds.
// GetTempPath is with the file functions (Files.h).
UINT GetWindowsDirectory(char* buffer, UINT size);
UINT GetSystemDirectory(char* buffer, UINT size);

// `size` holds the buffer size on entry and the length with the terminating zero on return; too small a
// buffer gives ERROR_INSUFFICIENT_BUFFER (user) or ERROR_BUFFER_OVERFLOW (computer) and the size needed.
BOOL GetUserName(char* buffer, DWORD* size);
// The host name in capitals, cut to MAX_COMPUTERNAME_LENGTH.
BOOL GetComputerName(char* buffer, DWORD* size);

LANGID GetUserDefaultLangID();
LANGID GetSystemDefaultLangID();
LCID GetUserDefaultLCID();
LCID GetSystemDefaultLCID();

// With a null module: the running program's Windows path. Too small a buffer is filled with as much as fits
// (with a terminating zero), gives the buffer size and ERROR_INSUFFICIENT_BUFFER. Other modules give
// ERROR_MOD_NOT_FOUND until the module service answers for them.
DWORD GetModuleFileName(HMODULE module, char* fileName, DWORD size);

// Program bodies hand over main's arguments. The arguments are kept as given (host paths too: the program
// body converts what it knows are paths with WindowsPathFromHost); argument 0 becomes the program's
// Windows path. Also adopts the host working directory as the current directory, as a program started from
// a shell has it.
void SetCommandLine(int argc, const char* const* argv);
// The program's path in quotes, then each argument, quoted when it holds a space or is empty.
const char* GetCommandLine();
int ParamCount();
// 0: the program's Windows path; past the last argument: empty.
std::string ParamStr(int index);
// Tests play a program that lives elsewhere (its folder holds its settings, its file its version block):
// ParamStr(0), GetModuleFileName(nullptr) and the command line name `windowsPath` from now on (given as
// it stands); empty goes back to the running file. ResetPlatform forgets it.
void SetProgramPath(const std::string& windowsPath);

// Milliseconds since an arbitrary start, wrapping after 49.7 days.
DWORD GetTickCount();
uint64_t GetTickCount64();
void Sleep(DWORD milliseconds);

}  // namespace win
