#pragma once
// Shared by the file functions' sources: open file objects, share checks and the attribute table.
// Not for code outside platform/win.

#include <sys/stat.h>
#include <sys/types.h>

#include <string>

#include "platform/win/Handles.h"
#include "platform/win/WinTypes.h"

namespace win {

class TFileObject : public THandleObject {
public:
    ~TFileObject() override;

    int Fd = -1;
    int LockFd = -1;  // holds the share-mode locks other processes see
    DWORD Access = 0;  // GENERIC_READ / GENERIC_WRITE / DELETE, GENERIC_ALL spread out
    DWORD Share = 0;
    dev_t Device = 0;
    ino_t Inode = 0;
    std::string Host;
    std::string Windows;
    char Drive = 'C';
    bool IsDirectory = false;
    bool DeleteOnClose = false;
    bool MarkedArchive = false;  // set the archive bit once, at the first write
    bool CountedWrite = false;   // the first write counted as a write operation (WriteFaults.h)

    bool CanRead() const;
    bool CanWrite() const;
};

// The file object of an open handle, or null with ERROR_INVALID_HANDLE set.
TFileObject* FileOf(HANDLE handle);

// Whether opening the file (device, inode) with `access` and `share` conflicts with a handle already open,
// in this process or, given the host path, in another process of ours.
bool ShareConflict(const struct stat& info, DWORD access, DWORD share, const std::string& host = {});
// Whether a handle holds the file open without FILE_SHARE_DELETE (so it cannot be deleted or moved), for a
// file (also in another process of ours, given the host path) or for any file inside a folder given by host
// path.
bool LockedAgainstDelete(const struct stat& info, const std::string& host = {});
// Makes the file object's access and share mode visible to other processes of ours.
void PublishShareMode(TFileObject& file);
bool LockedInside(const std::string& hostFolder);
// A running program holds its own image as Windows does: readable, not writable, deletable or movable, by
// this process and every other of ours, until it ends. Only an image inside the prefix is held: programs
// run from a build folder never block the build.
void HoldProgramImage(const std::string& hostImage, const std::string& prefix);

// The Windows attributes of a host file whose stat is `info`.
DWORD AttributesOf(const std::string& host, const struct stat& info);
// Keeps what the host cannot hold (hidden, system, archive, temporary; read-only of folders).
void StoreAttributes(const std::string& host, const struct stat& info, DWORD attributes);
void ForgetAttributes(const std::string& host);
// Carries entries to the new name (for a folder, the entries of everything inside it too).
void MoveAttributes(const std::string& fromHost, const std::string& toHost);
// Sets the archive bit, as a write does.
void MarkArchive(const std::string& host, const struct stat& info);

bool HasWildcards(const std::string& path);

// stat, lstat of a host path; false when missing.
bool HostStat(const std::string& host, struct stat* info);

}  // namespace win
