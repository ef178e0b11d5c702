#pragma once
// Processes: CreateProcess and its companions. A program is started directly (posix_spawn), never through
// a shell, and is not waited for unless the caller asks.
//
//   win::STARTUPINFO startup{};
//   startup.cb = sizeof startup;
//   win::PROCESS_INFORMATION info{};
//   std::string line = "\"C:\\Tools\\hcrtf.exe\" -x C:\\proj\\demo.whp";
//   if (!win::CreateProcess("C:\\Tools\\hcrtf.exe", line.data(), nullptr, nullptr, win::FALSE, 0, nullptr,
//                           nullptr, &startup, &info))
//       report(win::GetLastError());
//   win::CloseHandle(info.hThread);
//   win::CloseHandle(info.hProcess);                 // the program runs on
//
// The program's file is a Windows path mapped onto the host (Paths.h). Only host executables can run: a
// file with the host's execute permission (a native program, or a script with its "#!" line). Anything
// else, a Windows program image included, fails with ERROR_BAD_EXE_FORMAT; a missing file with
// ERROR_FILE_NOT_FOUND, a missing folder with ERROR_PATH_NOT_FOUND, a folder with ERROR_ACCESS_DENIED.
//
// The arguments the program receives are its command line split as Windows programs split theirs
// (blanks separate, double quotes group, backslashes count only before a quote), turned from
// Windows-1252 into UTF-8; paths among them stay Windows paths. The program starts in the current
// directory of this process (Paths.h) unless one is given, and inherits the environment and the standard
// streams.

#include <string>
#include <vector>

#include "platform/win/Handles.h"
#include "platform/win/WinTypes.h"

namespace win {

// The show commands (SW_...) are those of Shell.h.
inline constexpr DWORD STARTF_USESHOWWINDOW = 0x1;
// Accepted and ignored: there is no busy cursor to show.
inline constexpr DWORD STARTF_FORCEONFEEDBACK = 0x40;

// Accepted and ignored: there is no window to place and no console to create.
inline constexpr DWORD CREATE_NEW_CONSOLE = 0x10;
inline constexpr DWORD NORMAL_PRIORITY_CLASS = 0x20;

inline constexpr DWORD INFINITE = 0xFFFFFFFF;
inline constexpr DWORD WAIT_OBJECT_0 = 0;
inline constexpr DWORD WAIT_TIMEOUT = 258;
inline constexpr DWORD WAIT_FAILED = 0xFFFFFFFF;
inline constexpr DWORD STILL_ACTIVE = 259;

struct STARTUPINFO {
    DWORD cb;
    char* lpReserved;
    char* lpDesktop;
    char* lpTitle;
    DWORD dwX;
    DWORD dwY;
    DWORD dwXSize;
    DWORD dwYSize;
    DWORD dwXCountChars;
    DWORD dwYCountChars;
    DWORD dwFillAttribute;
    DWORD dwFlags;
    WORD wShowWindow;
    WORD cbReserved2;
    BYTE* lpReserved2;
    HANDLE hStdInput;
    HANDLE hStdOutput;
    HANDLE hStdError;
};

struct PROCESS_INFORMATION {
    HANDLE hProcess;
    HANDLE hThread;
    DWORD dwProcessId;
    DWORD dwThreadId;
};

// With `applicationName` the program is that file and the command line (which may be null) gives its
// arguments, the first token being the program's own name; without it the first token of the command
// line names the program (".exe" is added when the name has no extension). `environment` must be null
// (the child inherits ours). On success both handles are open: close them when done.
BOOL CreateProcess(const char* applicationName, char* commandLine, SECURITY_ATTRIBUTES* processAttributes,
                   SECURITY_ATTRIBUTES* threadAttributes, BOOL inheritHandles, DWORD creationFlags,
                   void* environment, const char* currentDirectory, STARTUPINFO* startupInfo,
                   PROCESS_INFORMATION* processInformation);

// On a process (or its thread) handle: WAIT_OBJECT_0 once the program has ended, WAIT_TIMEOUT when it
// still runs after `milliseconds`, WAIT_FAILED with ERROR_INVALID_HANDLE for anything else.
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);
// The exit code, STILL_ACTIVE while the program runs; a program ended by a signal gives 128 + the signal.
BOOL GetExitCodeProcess(HANDLE process, DWORD* exitCode);
// Ends the program at once (the host's kill); the exit code becomes `exitCode`.
BOOL TerminateProcess(HANDLE process, UINT exitCode);
// There is no message queue to watch: a running program counts as idle at once (0); WAIT_FAILED with
// ERROR_INVALID_HANDLE for a handle that is not a process.
DWORD WaitForInputIdle(HANDLE process, DWORD milliseconds);
DWORD GetProcessId(HANDLE process);

// For our own code: starts the program at `applicationPath` with `parameters` (the rest of its command
// line), in this process's current directory, and does not wait for it. Gives ERROR_SUCCESS or the
// Windows error code; `process`, when given, receives the process handle (else it is closed).
DWORD StartProcess(const std::string& applicationPath, const std::string& parameters, HANDLE* process = nullptr);

// A command line split into arguments as a Windows program's runtime does it.
std::vector<std::string> SplitCommandLine(const std::string& commandLine);

}  // namespace win
