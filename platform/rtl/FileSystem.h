#pragma once
// The seam through which the runtime library's streams and INI files reach files.
// The paths given here are Windows paths; platform/win installs the implementation that maps them onto
// the host. Until one is installed every file operation fails with a clear error rather than guessing.

#include <cstdint>
#include <memory>

#include "platform/rtl/SysUtils.h"

namespace rtl {

enum class TFileAccess { Read, Write, ReadWrite };
// Who else may open the file while this handle is open. ShareAll is DenyNone that also lets others delete
// the file or replace it by another while it is open.
enum class TFileShare { Exclusive, DenyWrite, DenyRead, DenyNone, ShareAll };
enum class TFileDisposition { OpenExisting, CreateAlways, OpenAlways, CreateNew };
enum class TSeekOrigin { Beginning, Current, End };

class IFileHandle {
public:
    virtual ~IFileHandle() = default;
    // Each returns the byte count transferred, or -1 with *error set to a Windows error code.
    virtual int64_t Read(void* buffer, int64_t count, uint32_t* error) = 0;
    virtual int64_t Write(const void* buffer, int64_t count, uint32_t* error) = 0;
    // Returns the new position, or -1 with *error set.
    virtual int64_t Seek(int64_t offset, TSeekOrigin origin, uint32_t* error) = 0;
    virtual int64_t Size() = 0;
    virtual bool SetSize(int64_t size, uint32_t* error) = 0;
};

// A turn held for as long as the object lives (IFileSystem::LockForChange).
class IFileLock {
public:
    virtual ~IFileLock() = default;
};

class IFileSystem {
public:
    virtual ~IFileSystem() = default;
    // Null with *error set to a Windows error code (2 not found, 3 path not found, 5 denied, 32 sharing).
    virtual std::unique_ptr<IFileHandle> Open(const AnsiString& path, TFileAccess access, TFileShare share,
                                              TFileDisposition disposition, uint32_t* error) = 0;
    virtual bool FileExists(const AnsiString& path) = 0;
    virtual bool DirectoryExists(const AnsiString& path) = 0;
    virtual bool DeleteFile(const AnsiString& path, uint32_t* error) = 0;
    // Replaces `target` by `source` in one step, so a reader sees either the old or the new file.
    virtual bool ReplaceFile(const AnsiString& source, const AnsiString& target, uint32_t* error) = 0;
    // The turn to change the file at `path`, taken from every other process and thread that asks for it: a
    // change that reads, changes and replaces a whole file in its turn loses no other's. Waits at most
    // `timeoutMs`; null with *error set (32, sharing) when another kept its turn that long.
    virtual std::unique_ptr<IFileLock> LockForChange(const AnsiString& path, int timeoutMs, uint32_t* error) = 0;
};

// The installed file system; raises Exception when none is installed.
IFileSystem& FileSystem();
// Installs `fs` (not owned; it must outlive its use), or removes the installed one with nullptr.
void SetFileSystem(IFileSystem* fs);

}  // namespace rtl
