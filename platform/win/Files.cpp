#include "platform/win/Files.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

#include "platform/win/FileObjects.h"
#include "platform/win/HostIo.h"
#include "platform/win/Journal.h"
#include "platform/win/Platform.h"
#include "platform/win/WriteFaults.h"

namespace win {

namespace {

HANDLE Fail(DWORD error)
{
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
}

BOOL FailWith(DWORD error)
{
    SetLastError(error);
    return FALSE;
}

BOOL FailWithErrno() { return FailWith(WindowsErrorFromErrno(errno)); }

// GENERIC_ALL and the access rights we do not tell apart, as the three the share rules know.
DWORD PlainAccess(DWORD access)
{
    DWORD plain = access & (GENERIC_READ | GENERIC_WRITE | DELETE);
    if (access & GENERIC_ALL)
        plain |= GENERIC_READ | GENERIC_WRITE | DELETE;
    return plain;
}

HANDLE OpenFolder(const TResolvedPath& resolved, DWORD access, DWORD share, DWORD disposition, DWORD flags)
{
    if (!(flags & FILE_FLAG_BACKUP_SEMANTICS) || (disposition != OPEN_EXISTING && disposition != OPEN_ALWAYS))
        return Fail(ERROR_ACCESS_DENIED);
    const int fd = ::open(resolved.Host.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return Fail(WindowsErrorFromErrno(errno));
    struct stat info {};
    ::fstat(fd, &info);
    auto folder = std::make_unique<TFileObject>();
    folder->Fd = fd;
    folder->Access = access;
    folder->Share = share;
    folder->Device = info.st_dev;
    folder->Inode = info.st_ino;
    folder->Host = resolved.Host;
    folder->Windows = resolved.Windows;
    folder->Drive = resolved.Drive;
    folder->IsDirectory = true;
    SetLastError(disposition == OPEN_ALWAYS ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return AddHandle(std::move(folder));
}

int HostOpenFlags(DWORD access)
{
    if ((access & GENERIC_READ) && (access & GENERIC_WRITE))
        return O_RDWR;
    return (access & GENERIC_WRITE) ? O_WRONLY : O_RDONLY;
}

}  // namespace

HANDLE CreateFile(const char* fileName, DWORD desiredAccess, DWORD shareMode, SECURITY_ATTRIBUTES*,
                  DWORD creationDisposition, DWORD flagsAndAttributes, HANDLE)
{
    if ((flagsAndAttributes & FILE_FLAG_OVERLAPPED) || creationDisposition < CREATE_NEW ||
        creationDisposition > TRUNCATE_EXISTING)
        return Fail(ERROR_INVALID_PARAMETER);
    if (fileName && HasWildcards(fileName))
        return Fail(ERROR_INVALID_NAME);
    const DWORD access = PlainAccess(desiredAccess);
    if (creationDisposition == TRUNCATE_EXISTING && !(access & GENERIC_WRITE))
        return Fail(ERROR_INVALID_PARAMETER);
    std::optional<TResolvedPath> resolved = ResolvePath(fileName);
    if (!resolved)
        return INVALID_HANDLE_VALUE;
    if (!resolved->ParentExists)
        return Fail(ERROR_PATH_NOT_FOUND);

    struct stat info {};
    const bool exists = resolved->Exists && HostStat(resolved->Host, &info);
    if (exists && S_ISDIR(info.st_mode))
        return OpenFolder(*resolved, access, shareMode, creationDisposition, flagsAndAttributes);
    if (resolved->IsRoot)
        return Fail(ERROR_ACCESS_DENIED);
    if (exists && creationDisposition == CREATE_NEW)
        return Fail(ERROR_FILE_EXISTS);
    if (!exists && (creationDisposition == OPEN_EXISTING || creationDisposition == TRUNCATE_EXISTING))
        return Fail(ERROR_FILE_NOT_FOUND);

    const bool truncates = creationDisposition == CREATE_ALWAYS || creationDisposition == TRUNCATE_EXISTING;
    if (exists) {
        const bool readOnly = !(info.st_mode & S_IWUSR);
        if (readOnly && ((access & GENERIC_WRITE) || truncates))
            return Fail(ERROR_ACCESS_DENIED);
        if (ShareConflict(info, access, shareMode, resolved->Host))
            return Fail(ERROR_SHARING_VIOLATION);
    }

    int flags = HostOpenFlags(access) | O_CLOEXEC;
    if (!exists)
        flags |= O_CREAT | O_EXCL;
    else if (truncates)
        flags |= O_TRUNC;
    const bool changes = !exists || truncates || (access & GENERIC_WRITE);
    if (changes && InjectedWriteFault(exists ? "open for writing" : "create", resolved->Host))
        return Fail(ERROR_DISK_FULL);
    if (changes && exists && !JournalBeforeFileChange(resolved->Host, resolved->Windows, true))
        return INVALID_HANDLE_VALUE;
    mode_t mode = (flagsAndAttributes & FILE_ATTRIBUTE_READONLY) ? 0444 : 0666;
    if (HasProgramExtension(resolved->Host))
        mode |= 0111;  // a program must start on the host too
    int fd = ::open(resolved->Host.c_str(), flags, mode);
    if (fd < 0 && errno == EACCES && access == 0 && exists)
        fd = ::open(resolved->Host.c_str(), O_PATH | O_CLOEXEC);
    if (fd < 0)
        return Fail(WindowsErrorFromErrno(errno));
    ::fstat(fd, &info);
    if (!exists)
        JournalFileCreated(resolved->Host, resolved->Windows);

    if (!exists || creationDisposition == CREATE_ALWAYS) {
        // A new or recreated file takes the attributes asked for, with the archive bit.
        if (exists && (flagsAndAttributes & FILE_ATTRIBUTE_READONLY))
            ::fchmod(fd, info.st_mode & ~mode_t{0222});
        StoreAttributes(resolved->Host, info,
                        (flagsAndAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_TEMPORARY)) |
                            FILE_ATTRIBUTE_ARCHIVE);
    }

    auto file = std::make_unique<TFileObject>();
    file->Fd = fd;
    file->Access = access;
    file->Share = shareMode;
    file->Device = info.st_dev;
    file->Inode = info.st_ino;
    file->Host = resolved->Host;
    file->Windows = resolved->Windows;
    file->Drive = resolved->Drive;
    file->DeleteOnClose = (flagsAndAttributes & FILE_FLAG_DELETE_ON_CLOSE) != 0;
    const bool reopened = exists && (creationDisposition == OPEN_ALWAYS || creationDisposition == CREATE_ALWAYS);
    PublishShareMode(*file);
    HANDLE handle = AddHandle(std::move(file));
    SetLastError(reopened ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return handle;
}

BOOL ReadFile(HANDLE handle, void* buffer, DWORD bytesToRead, DWORD* bytesRead, void* overlapped)
{
    if (bytesRead)
        *bytesRead = 0;
    TFileObject* file = FileOf(handle);
    if (!file)
        return FALSE;
    if (overlapped || (!buffer && bytesToRead > 0))
        return FailWith(ERROR_INVALID_PARAMETER);
    if (!file->CanRead() || file->IsDirectory)
        return FailWith(ERROR_ACCESS_DENIED);
    DWORD done = 0;
    while (done < bytesToRead) {
        const ssize_t count = ::read(file->Fd, static_cast<char*>(buffer) + done, bytesToRead - done);
        if (count < 0) {
            if (errno == EINTR)
                continue;
            return FailWithErrno();
        }
        if (count == 0)
            break;
        done += static_cast<DWORD>(count);
    }
    if (bytesRead)
        *bytesRead = done;
    return TRUE;
}

BOOL WriteFile(HANDLE handle, const void* buffer, DWORD bytesToWrite, DWORD* bytesWritten, void* overlapped)
{
    if (bytesWritten)
        *bytesWritten = 0;
    TFileObject* file = FileOf(handle);
    if (!file)
        return FALSE;
    if (overlapped || (!buffer && bytesToWrite > 0))
        return FailWith(ERROR_INVALID_PARAMETER);
    if (!file->CanWrite() || file->IsDirectory)
        return FailWith(ERROR_ACCESS_DENIED);
    if (bytesToWrite == 0)
        return TRUE;
    struct stat info {};
    if (::fstat(file->Fd, &info) != 0)
        return FailWithErrno();
    const off_t position = ::lseek(file->Fd, 0, SEEK_CUR);
    if (position < 0)
        return FailWithErrno();
    const int64_t growth = static_cast<int64_t>(position) + bytesToWrite - static_cast<int64_t>(info.st_size);
    if (growth > 0 && !FitsOnDrive(file->Drive, growth))
        return FailWith(ERROR_DISK_FULL);
    // One count for a handle's writes: a later write fails no differently from its first.
    if (!file->CountedWrite) {
        file->CountedWrite = true;
        if (InjectedWriteFault("write", file->Host))
            return FailWith(ERROR_DISK_FULL);
    }

    DWORD done = 0;
    while (done < bytesToWrite) {
        const ssize_t count = ::write(file->Fd, static_cast<const char*>(buffer) + done, bytesToWrite - done);
        if (count < 0) {
            if (errno == EINTR)
                continue;
            const int error = errno;
            // Nothing of a failed write stays appended.
            if (::ftruncate(file->Fd, info.st_size) == 0)
                ::lseek(file->Fd, position, SEEK_SET);
            return FailWith(WindowsErrorFromErrno(error));
        }
        done += static_cast<DWORD>(count);
    }
    if (!file->MarkedArchive) {
        file->MarkedArchive = true;
        MarkArchive(file->Host, info);
    }
    if (bytesWritten)
        *bytesWritten = done;
    return TRUE;
}

BOOL SetFilePointerEx(HANDLE handle, int64_t distanceToMove, int64_t* newPosition, DWORD moveMethod)
{
    TFileObject* file = FileOf(handle);
    if (!file)
        return FALSE;
    int64_t base = 0;
    if (moveMethod == FILE_CURRENT) {
        base = ::lseek(file->Fd, 0, SEEK_CUR);
    } else if (moveMethod == FILE_END) {
        struct stat info {};
        if (::fstat(file->Fd, &info) != 0)
            return FailWithErrno();
        base = info.st_size;
    } else if (moveMethod != FILE_BEGIN) {
        return FailWith(ERROR_INVALID_PARAMETER);
    }
    if (base < 0)
        return FailWithErrno();
    if ((distanceToMove < 0 && base + distanceToMove < 0) || (distanceToMove > 0 && base > INT64_MAX - distanceToMove))
        return FailWith(ERROR_NEGATIVE_SEEK);
    const int64_t target = base + distanceToMove;
    if (::lseek(file->Fd, static_cast<off_t>(target), SEEK_SET) < 0)
        return FailWithErrno();
    if (newPosition)
        *newPosition = target;
    return TRUE;
}

DWORD SetFilePointer(HANDLE handle, LONG distanceToMove, LONG* distanceToMoveHigh, DWORD moveMethod)
{
    int64_t distance = distanceToMove;
    if (distanceToMoveHigh)
        distance = static_cast<int64_t>((static_cast<uint64_t>(static_cast<uint32_t>(*distanceToMoveHigh)) << 32) |
                                        static_cast<uint32_t>(distanceToMove));
    int64_t position = 0;
    if (!SetFilePointerEx(handle, distance, &position, moveMethod))
        return INVALID_SET_FILE_POINTER;
    if (distanceToMoveHigh)
        *distanceToMoveHigh = static_cast<LONG>(position >> 32);
    const auto low = static_cast<DWORD>(position & 0xFFFFFFFF);
    if (low == INVALID_SET_FILE_POINTER)
        SetLastError(ERROR_SUCCESS);
    return low;
}

BOOL SetEndOfFile(HANDLE handle)
{
    TFileObject* file = FileOf(handle);
    if (!file)
        return FALSE;
    if (!file->CanWrite() || file->IsDirectory)
        return FailWith(ERROR_ACCESS_DENIED);
    struct stat info {};
    if (::fstat(file->Fd, &info) != 0)
        return FailWithErrno();
    const off_t position = ::lseek(file->Fd, 0, SEEK_CUR);
    if (position < 0)
        return FailWithErrno();
    if (position > info.st_size && !FitsOnDrive(file->Drive, position - info.st_size))
        return FailWith(ERROR_DISK_FULL);
    if (InjectedWriteFault("truncate", file->Host) || ::ftruncate(file->Fd, position) != 0)
        return FailWithErrno();
    return TRUE;
}

BOOL GetFileSizeEx(HANDLE handle, int64_t* fileSize)
{
    TFileObject* file = FileOf(handle);
    if (!file)
        return FALSE;
    struct stat info {};
    if (::fstat(file->Fd, &info) != 0)
        return FailWithErrno();
    if (fileSize)
        *fileSize = info.st_size;
    return TRUE;
}

DWORD GetFileSize(HANDLE handle, DWORD* fileSizeHigh)
{
    int64_t size = 0;
    if (!GetFileSizeEx(handle, &size))
        return INVALID_FILE_SIZE;
    if (fileSizeHigh)
        *fileSizeHigh = static_cast<DWORD>(size >> 32);
    const auto low = static_cast<DWORD>(size & 0xFFFFFFFF);
    if (low == INVALID_FILE_SIZE)
        SetLastError(ERROR_SUCCESS);
    return low;
}

DWORD GetFileType(HANDLE handle)
{
    return FileOf(handle) ? FILE_TYPE_DISK : FILE_TYPE_UNKNOWN;
}

BOOL FlushFileBuffers(HANDLE handle)
{
    TFileObject* file = FileOf(handle);
    if (!file)
        return FALSE;
    if (!file->CanWrite())
        return FailWith(ERROR_ACCESS_DENIED);
    if (InjectedWriteFault("fsync", file->Host) || (::fsync(file->Fd) != 0 && errno != EINVAL))
        return FailWithErrno();
    return TRUE;
}

BOOL GetFileTime(HANDLE handle, FILETIME* creationTime, FILETIME* lastAccessTime, FILETIME* lastWriteTime)
{
    TFileObject* file = FileOf(handle);
    if (!file)
        return FALSE;
    struct stat info {};
    if (::fstat(file->Fd, &info) != 0)
        return FailWithErrno();
    if (creationTime)
        *creationTime = FileTimeFromTimespec(info.st_mtim);
    if (lastAccessTime)
        *lastAccessTime = FileTimeFromTimespec(info.st_atim);
    if (lastWriteTime)
        *lastWriteTime = FileTimeFromTimespec(info.st_mtim);
    return TRUE;
}

BOOL SetFileTime(HANDLE handle, const FILETIME*, const FILETIME* lastAccessTime, const FILETIME* lastWriteTime)
{
    TFileObject* file = FileOf(handle);
    if (!file)
        return FALSE;
    if (!file->CanWrite())
        return FailWith(ERROR_ACCESS_DENIED);
    // Null, or all bits set, keeps a time.
    const auto pick = [](const FILETIME* time) {
        timespec stamp{};
        if (!time || (time->dwLowDateTime == 0xFFFFFFFF && time->dwHighDateTime == 0xFFFFFFFF))
            stamp.tv_nsec = UTIME_OMIT;
        else
            stamp = TimespecFromFileTime(*time);
        return stamp;
    };
    const timespec times[2] = {pick(lastAccessTime), pick(lastWriteTime)};
    if (InjectedWriteFault("set times", file->Host) || ::futimens(file->Fd, times) != 0)
        return FailWithErrno();
    return TRUE;
}

DWORD GetFileAttributes(const char* fileName)
{
    if (fileName && HasWildcards(fileName)) {
        SetLastError(ERROR_INVALID_NAME);
        return INVALID_FILE_ATTRIBUTES;
    }
    std::optional<TResolvedPath> resolved = ResolvePath(fileName);
    if (!resolved)
        return INVALID_FILE_ATTRIBUTES;
    struct stat info {};
    if (!resolved->Exists || !HostStat(resolved->Host, &info)) {
        SetLastError(resolved->ParentExists ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND);
        return INVALID_FILE_ATTRIBUTES;
    }
    return AttributesOf(resolved->Host, info);
}

BOOL SetFileAttributes(const char* fileName, DWORD fileAttributes)
{
    if (fileName && HasWildcards(fileName))
        return FailWith(ERROR_INVALID_NAME);
    std::optional<TResolvedPath> resolved = ResolvePath(fileName);
    if (!resolved)
        return FALSE;
    struct stat info {};
    if (!resolved->Exists || !HostStat(resolved->Host, &info))
        return FailWith(resolved->ParentExists ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND);
    const DWORD before = AttributesOf(resolved->Host, info);
    if (before == fileAttributes)
        return TRUE;
    if (InjectedWriteFault("attributes", resolved->Host))
        return FailWithErrno();
    JournalAttributesChanging(resolved->Host, resolved->Windows, before);
    if (!S_ISDIR(info.st_mode)) {
        const bool readOnly = fileAttributes & FILE_ATTRIBUTE_READONLY;
        const mode_t mode = readOnly ? (info.st_mode & ~mode_t{0222}) : (info.st_mode | S_IWUSR);
        if ((mode & 07777) != (info.st_mode & 07777) && ::chmod(resolved->Host.c_str(), mode & 07777) != 0)
            return FailWithErrno();
    }
    StoreAttributes(resolved->Host, info, fileAttributes);
    return TRUE;
}

}  // namespace win
