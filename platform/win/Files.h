#pragma once
// The Windows file functions, as a port calls them. Paths are Windows paths (Paths.h); every failure sets
// the last error (Platform.h).
//
// Share modes are enforced among the handles of this process and of every other process of ours (through
// open-file-description locks): a handle that does not share writing refuses later write opens with
// ERROR_SHARING_VIOLATION (and so on for reading), and a file open without FILE_SHARE_DELETE cannot be
// deleted, moved or replaced (ERROR_SHARING_VIOLATION): that is a locked file.
//
// Attributes: read-only is the host's owner write bit of a file (and is enforced even for root); hidden,
// system, archive and temporary (and read-only of folders) live in <prefix>/attributes.txt for the files
// whose bits differ from the default (files: archive; folders: none), keyed by host path and inode, so a
// file replaced outside the layer normally falls back to the defaults (format in Attributes.cpp).
//
// Drive A: holds FloppyCapacity() bytes (Settings.h); a write that would pass that fails whole with
// ERROR_DISK_FULL and leaves the file as it was, and without a disk every access gives ERROR_NOT_READY.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/win/Drives.h"
#include "platform/win/FileTime.h"
#include "platform/win/Handles.h"
#include "platform/win/Paths.h"
#include "platform/win/Settings.h"
#include "platform/win/WinTypes.h"

namespace win {

// Access rights.
inline constexpr DWORD GENERIC_READ = 0x80000000;
inline constexpr DWORD GENERIC_WRITE = 0x40000000;
inline constexpr DWORD GENERIC_EXECUTE = 0x20000000;
inline constexpr DWORD GENERIC_ALL = 0x10000000;
inline constexpr DWORD DELETE = 0x00010000;

// Share modes.
inline constexpr DWORD FILE_SHARE_READ = 0x1;
inline constexpr DWORD FILE_SHARE_WRITE = 0x2;
inline constexpr DWORD FILE_SHARE_DELETE = 0x4;

// Creation dispositions.
inline constexpr DWORD CREATE_NEW = 1;
inline constexpr DWORD CREATE_ALWAYS = 2;
inline constexpr DWORD OPEN_EXISTING = 3;
inline constexpr DWORD OPEN_ALWAYS = 4;
inline constexpr DWORD TRUNCATE_EXISTING = 5;

// Attributes.
inline constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x1;
inline constexpr DWORD FILE_ATTRIBUTE_HIDDEN = 0x2;
inline constexpr DWORD FILE_ATTRIBUTE_SYSTEM = 0x4;
inline constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
inline constexpr DWORD FILE_ATTRIBUTE_ARCHIVE = 0x20;
inline constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
inline constexpr DWORD FILE_ATTRIBUTE_TEMPORARY = 0x100;
inline constexpr DWORD FILE_ATTRIBUTE_OFFLINE = 0x1000;
inline constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFF;

// Flags of CreateFile; the caching hints are accepted and have no effect.
inline constexpr DWORD FILE_FLAG_WRITE_THROUGH = 0x80000000;
inline constexpr DWORD FILE_FLAG_OVERLAPPED = 0x40000000;
inline constexpr DWORD FILE_FLAG_NO_BUFFERING = 0x20000000;
inline constexpr DWORD FILE_FLAG_RANDOM_ACCESS = 0x10000000;
inline constexpr DWORD FILE_FLAG_SEQUENTIAL_SCAN = 0x08000000;
inline constexpr DWORD FILE_FLAG_DELETE_ON_CLOSE = 0x04000000;
inline constexpr DWORD FILE_FLAG_BACKUP_SEMANTICS = 0x02000000;

// Seeking and sizes.
inline constexpr DWORD FILE_BEGIN = 0;
inline constexpr DWORD FILE_CURRENT = 1;
inline constexpr DWORD FILE_END = 2;
inline constexpr DWORD INVALID_SET_FILE_POINTER = 0xFFFFFFFF;
inline constexpr DWORD INVALID_FILE_SIZE = 0xFFFFFFFF;
inline constexpr DWORD FILE_TYPE_UNKNOWN = 0;
inline constexpr DWORD FILE_TYPE_DISK = 1;

// MoveFileEx.
inline constexpr DWORD MOVEFILE_REPLACE_EXISTING = 0x1;
inline constexpr DWORD MOVEFILE_COPY_ALLOWED = 0x2;
inline constexpr DWORD MOVEFILE_DELAY_UNTIL_REBOOT = 0x4;
inline constexpr DWORD MOVEFILE_WRITE_THROUGH = 0x8;

struct WIN32_FIND_DATA {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwReserved0;
    DWORD dwReserved1;
    char cFileName[MAX_PATH];
    char cAlternateFileName[14];
};

// A folder opens only with FILE_FLAG_BACKUP_SEMANTICS (for its times). OPEN_ALWAYS and CREATE_ALWAYS on an
// existing file succeed with the last error ERROR_ALREADY_EXISTS. `security` and `templateFile` are ignored;
// FILE_FLAG_OVERLAPPED is refused with ERROR_INVALID_PARAMETER.
HANDLE CreateFile(const char* fileName, DWORD desiredAccess, DWORD shareMode, SECURITY_ATTRIBUTES* security,
                  DWORD creationDisposition, DWORD flagsAndAttributes, HANDLE templateFile);
// `overlapped` must be null. Reading at the end gives TRUE with 0 bytes.
BOOL ReadFile(HANDLE file, void* buffer, DWORD bytesToRead, DWORD* bytesRead, void* overlapped);
BOOL WriteFile(HANDLE file, const void* buffer, DWORD bytesToWrite, DWORD* bytesWritten, void* overlapped);
// The low 32 bits of the new position; INVALID_SET_FILE_POINTER with the last error set on failure (and
// with the last error ERROR_SUCCESS when that is truly the low part of the position).
DWORD SetFilePointer(HANDLE file, LONG distanceToMove, LONG* distanceToMoveHigh, DWORD moveMethod);
BOOL SetFilePointerEx(HANDLE file, int64_t distanceToMove, int64_t* newPosition, DWORD moveMethod);
BOOL SetEndOfFile(HANDLE file);
DWORD GetFileSize(HANDLE file, DWORD* fileSizeHigh);
BOOL GetFileSizeEx(HANDLE file, int64_t* fileSize);
DWORD GetFileType(HANDLE file);
BOOL FlushFileBuffers(HANDLE file);
// The host keeps no creation time that can be set: it reads as the last write time and setting it is
// accepted and ignored. A null pointer leaves that time alone.
BOOL GetFileTime(HANDLE file, FILETIME* creationTime, FILETIME* lastAccessTime, FILETIME* lastWriteTime);
BOOL SetFileTime(HANDLE file, const FILETIME* creationTime, const FILETIME* lastAccessTime,
                 const FILETIME* lastWriteTime);

DWORD GetFileAttributes(const char* fileName);
BOOL SetFileAttributes(const char* fileName, DWORD fileAttributes);

BOOL CreateDirectory(const char* pathName, SECURITY_ATTRIBUTES* security);
BOOL RemoveDirectory(const char* pathName);
BOOL DeleteFile(const char* fileName);
// Copies into a temporary file beside the target and renames it into place, so the target is never half
// written; the copy takes the source's attributes and last write time. An existing target with
// failIfExists gives ERROR_FILE_EXISTS.
BOOL CopyFile(const char* existingFileName, const char* newFileName, BOOL failIfExists);
// MoveFileEx with MOVEFILE_COPY_ALLOWED. An existing target gives ERROR_ALREADY_EXISTS.
BOOL MoveFile(const char* existingFileName, const char* newFileName);
// Within a drive a rename(2), atomic also when it replaces the target. Between drives only files move, and
// only with MOVEFILE_COPY_ALLOWED (else ERROR_NOT_SAME_DEVICE). MOVEFILE_DELAY_UNTIL_REBOOT only records
// the move (a null or empty new name: delete at the next start); see PendingMoves.
BOOL MoveFileEx(const char* existingFileName, const char* newFileName, DWORD flags);
// Both names on one drive (else ERROR_NOT_SAME_DEVICE); an existing new name gives ERROR_ALREADY_EXISTS.
BOOL CreateHardLink(const char* fileName, const char* existingFileName, SECURITY_ATTRIBUTES* security);

// Wildcards "*" and "?" in the last name only, matched without regard to case ("*.*" matches every name);
// "." and ".." are listed for folders other than a drive root. Names are listed in order without case.
HANDLE FindFirstFile(const char* fileName, WIN32_FIND_DATA* findFileData);
BOOL FindNextFile(HANDLE findFile, WIN32_FIND_DATA* findFileData);
BOOL FindClose(HANDLE findFile);

// "<temp folder>\" of the current user.
DWORD GetTempPath(DWORD bufferLength, char* buffer);
// "<path>\<up to 3 characters of prefix><hex>.tmp" into `tempFileName` (MAX_PATH characters). With
// unique 0 the first free number is taken and the file is created empty; otherwise the name is only made.
// Gives the number used, or 0 on failure.
UINT GetTempFileName(const char* pathName, const char* prefixString, UINT unique, char* tempFileName);

// A move recorded with MOVEFILE_DELAY_UNTIL_REBOOT. <prefix>/pending-moves.txt keeps them in order, one a
// line: the source, a tab, the target (empty: delete the source), a tab, and "R" when an existing target is
// to be replaced ("-" otherwise). Both paths are full Windows paths.
struct TPendingMove {
    std::string Source;
    std::string Target;
    bool ReplaceExisting = false;
};
// Raises rtl::Exception naming the file and line when it is malformed.
std::vector<TPendingMove> PendingMoves();
// For the restart service once it has done them.
void ClearPendingMoves();
// Drops one recorded move (the first that equals `move`), as a setup that edits the system's list of them
// does to take back its own work; a run's journal puts it back. ERROR_FILE_NOT_FOUND when none is listed.
BOOL CancelPendingMove(const TPendingMove& move);
// For tests: MoveFileEx with MOVEFILE_DELAY_UNTIL_REBOOT fails with ERROR_ACCESS_DENIED, as it does for a
// user who may not write the system's list; ResetPlatform turns it off.
void SetDelayedMovesFail(bool fail);
std::string PendingMovesFilePath();

}  // namespace win
