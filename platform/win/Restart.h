#pragma once
// Restarting Windows. A program asks with ExitWindowsEx (on the NT kinds only after enabling the shutdown
// privilege of its process token); the request is recorded in the prefix and the program ends itself as
// it would at a real restart. The boot step (RunBootStep, and the "scrivane-boot" command) then does what
// Windows does when it starts again, in order:
//   1. the [Rename] section of WININIT.INI in the Windows folder ("target=source" lines, "NUL=source"
//      deletes), after which the file is renamed WININIT.BAK;
//   2. the delayed moves recorded by MoveFileEx (PendingMoves);
//   3. each value of the local machine's RunOnce key, then the current user's, in the order the registry
//      lists them: the value is deleted, then its command started and waited for.

#include <optional>
#include <string>
#include <vector>

#include "platform/win/WinTypes.h"

namespace win {

inline constexpr UINT EWX_LOGOFF = 0;
inline constexpr UINT EWX_SHUTDOWN = 1;
inline constexpr UINT EWX_REBOOT = 2;
inline constexpr UINT EWX_FORCE = 4;
inline constexpr UINT EWX_POWEROFF = 8;

inline constexpr DWORD TOKEN_QUERY = 0x0008;
inline constexpr DWORD TOKEN_ADJUST_PRIVILEGES = 0x0020;
inline constexpr DWORD SE_PRIVILEGE_ENABLED = 0x00000002;
inline constexpr const char* SE_SHUTDOWN_NAME = "SeShutdownPrivilege";

struct LUID {
    DWORD LowPart;
    int32_t HighPart;
};
struct LUID_AND_ATTRIBUTES {
    LUID Luid;
    DWORD Attributes;
};
struct TOKEN_PRIVILEGES {
    DWORD PrivilegeCount;
    LUID_AND_ATTRIBUTES Privileges[1];
};

// A pseudo handle of the running process.
HANDLE GetCurrentProcess();
// The NT kinds only (ERROR_CALL_NOT_IMPLEMENTED on 9x). The token is a handle of the handle table.
BOOL OpenProcessToken(HANDLE process, DWORD desiredAccess, HANDLE* token);
// Knows the shutdown privilege (ERROR_NO_SUCH_PRIVILEGE for other names).
BOOL LookupPrivilegeValue(const char* systemName, const char* name, LUID* luid);
// Needs TOKEN_ADJUST_PRIVILEGES on the token; enabling the shutdown privilege lets this process restart.
BOOL AdjustTokenPrivileges(HANDLE token, BOOL disableAll, TOKEN_PRIVILEGES* newState, DWORD bufferLength,
                           TOKEN_PRIVILEGES* previousState, DWORD* returnLength);
// Records the request (flags) in the prefix. The NT kinds refuse without the privilege
// (ERROR_PRIVILEGE_NOT_HELD); tests can make every request fail (SetRestartRefused).
BOOL ExitWindowsEx(UINT flags, DWORD reason);

// For tests and the boot step.
void SetRestartRefused(bool refused);
// The flags of the recorded request, if any.
std::optional<UINT> RestartRequested();
void ClearRestartRequest();

struct TBootStep {
    std::vector<std::string> Done;    // one line a step: "rename ...", "move ...", "run ..."
    std::vector<std::string> Failed;  // the steps that could not be done, with their reason
};
// Does the next start's work and clears the recorded request. Commands run with the platform's process
// service and are waited for.
TBootStep RunBootStep();

}  // namespace win
