#pragma once
// Windows paths onto the host: drive C: is <prefix>/drive_c, A: (the floppy drive) <prefix>/drive_a, Z: the
// host root. Every other drive letter is unmapped, and UNC names (\\server\share) have no network behind
// them. Separators may be "\" or "/"; "." is dropped and ".." pops a name but never climbs above the
// drive root. A relative path starts at the current directory, "\x" at its drive's root, and the
// drive-relative "C:x" at the root of C:.
//
// On the host, each name is taken as spelt when it exists; otherwise the folder is searched without
// regard to case (through its index, FolderIndex.h), then as the 8.3 alias of a long name (ShortNames.h);
// a name found nowhere keeps the given spelling (so a file being created gets it).
// Windows names are Windows-1252; host names are UTF-8.

#include <optional>
#include <string>

#include "platform/win/WinTypes.h"

namespace win {

// The host path, or nothing with *error (when given) set: ERROR_PATH_NOT_FOUND for an unmapped drive or a
// climb above the root, ERROR_BAD_NETPATH for a UNC name, ERROR_INVALID_NAME for characters Windows
// forbids, ERROR_NOT_READY for A: without a disk. The path need not exist.
std::optional<std::string> HostPathFromWindows(const std::string& windowsPath, DWORD* error = nullptr);

// A host path (absolute, or relative to the host's working directory) as a Windows path: the drive letter
// of the prefix drive it lies in, otherwise Z:.
std::string WindowsPathFromHost(const std::string& hostPath);

// The full Windows path ("C:\a\b", no trailing separator except at a drive root) without touching the
// disk; nothing with *error set as for HostPathFromWindows.
std::optional<std::string> FullWindowsPath(const std::string& path, DWORD* error = nullptr);

// What the file functions need to know about a path on the host.
struct TResolvedPath {
    std::string Windows;    // full Windows path
    char Drive = 'C';       // upper-case drive letter
    std::string Host;       // host path, existing names in their host spelling
    bool IsRoot = false;    // the drive's root itself
    bool Exists = false;    // the whole path exists (following symbolic links)
    bool ParentExists = false;  // the folder holding the last name exists
};
// Sets the last error and gives nothing on failure.
std::optional<TResolvedPath> ResolvePath(const char* windowsPath);

// The host folder of a drive, or nothing when the letter is not mapped.
std::optional<std::string> DriveFolder(char drive);

// Buffer functions as Windows has them: the result length without the terminating zero, or, when the
// buffer is too small, the size needed with it; 0 on failure with the last error set.
DWORD GetFullPathName(const char* fileName, DWORD bufferLength, char* buffer, char** filePart);
DWORD GetCurrentDirectory(DWORD bufferLength, char* buffer);
BOOL SetCurrentDirectory(const char* pathName);
// The path must exist. The short form has the 8.3 alias of every long name (ShortNames.h) and keeps the
// names that fit 8.3 as given; the long form has every name as the folder spells it. Both give full paths.
DWORD GetShortPathName(const char* longPath, char* shortPath, DWORD bufferLength);
DWORD GetLongPathName(const char* shortPath, char* longPath, DWORD bufferLength);

// For our own code: the current directory as a string, and the host working directory adopted as it
// (what a program started from a shell sees).
std::string CurrentDirectory();
void UseHostWorkingDirectory();

// Copies `text` into a caller's buffer the Windows way (see above); never fails.
DWORD CopyToBuffer(const std::string& text, char* buffer, DWORD bufferLength);

}  // namespace win
