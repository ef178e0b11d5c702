#include "platform/win/WinFileSystem.h"

#include <algorithm>

#include "platform/win/Files.h"
#include "platform/win/HostLock.h"
#include "platform/win/Paths.h"
#include "platform/win/Platform.h"

namespace win {

namespace {

void Report(uint32_t* error)
{
    if (error)
        *error = GetLastError();
}

class TWindowsFileHandle final : public rtl::IFileHandle {
public:
    explicit TWindowsFileHandle(HANDLE handle) : handle_(handle) {}
    ~TWindowsFileHandle() override { CloseHandle(handle_); }
    TWindowsFileHandle(const TWindowsFileHandle&) = delete;
    TWindowsFileHandle& operator=(const TWindowsFileHandle&) = delete;

    int64_t Read(void* buffer, int64_t count, uint32_t* error) override
    {
        int64_t done = 0;
        while (done < count) {
            const auto step = static_cast<DWORD>(std::min<int64_t>(count - done, 1 << 30));
            DWORD read = 0;
            if (!ReadFile(handle_, static_cast<char*>(buffer) + done, step, &read, nullptr)) {
                Report(error);
                return -1;
            }
            done += read;
            if (read < step)
                break;
        }
        return done;
    }

    int64_t Write(const void* buffer, int64_t count, uint32_t* error) override
    {
        int64_t done = 0;
        while (done < count) {
            const auto step = static_cast<DWORD>(std::min<int64_t>(count - done, 1 << 30));
            DWORD written = 0;
            if (!WriteFile(handle_, static_cast<const char*>(buffer) + done, step, &written, nullptr)) {
                Report(error);
                return -1;
            }
            done += written;
        }
        return done;
    }

    int64_t Seek(int64_t offset, rtl::TSeekOrigin origin, uint32_t* error) override
    {
        const DWORD method = origin == rtl::TSeekOrigin::Beginning ? FILE_BEGIN
                             : origin == rtl::TSeekOrigin::Current ? FILE_CURRENT
                                                                   : FILE_END;
        int64_t position = 0;
        if (!SetFilePointerEx(handle_, offset, &position, method)) {
            Report(error);
            return -1;
        }
        return position;
    }

    int64_t Size() override
    {
        int64_t size = 0;
        return GetFileSizeEx(handle_, &size) ? size : -1;
    }

    bool SetSize(int64_t size, uint32_t* error) override
    {
        int64_t position = 0;
        if (size < 0 || !SetFilePointerEx(handle_, 0, &position, FILE_CURRENT) ||
            !SetFilePointerEx(handle_, size, nullptr, FILE_BEGIN) || !SetEndOfFile(handle_)) {
            if (size < 0)
                SetLastError(ERROR_INVALID_PARAMETER);
            Report(error);
            SetFilePointerEx(handle_, position, nullptr, FILE_BEGIN);
            return false;
        }
        // The position stays where it was, or at the new end when that is before it.
        SetFilePointerEx(handle_, std::min(position, size), nullptr, FILE_BEGIN);
        return true;
    }

private:
    HANDLE handle_;
};

DWORD AccessOf(rtl::TFileAccess access)
{
    switch (access) {
    case rtl::TFileAccess::Read: return GENERIC_READ;
    case rtl::TFileAccess::Write: return GENERIC_WRITE;
    case rtl::TFileAccess::ReadWrite: return GENERIC_READ | GENERIC_WRITE;
    }
    return GENERIC_READ;
}

DWORD ShareOf(rtl::TFileShare share)
{
    switch (share) {
    case rtl::TFileShare::Exclusive: return 0;
    case rtl::TFileShare::DenyWrite: return FILE_SHARE_READ;
    case rtl::TFileShare::DenyRead: return FILE_SHARE_WRITE;
    case rtl::TFileShare::DenyNone: return FILE_SHARE_READ | FILE_SHARE_WRITE;
    case rtl::TFileShare::ShareAll: return FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    }
    return 0;
}

DWORD DispositionOf(rtl::TFileDisposition disposition)
{
    switch (disposition) {
    case rtl::TFileDisposition::OpenExisting: return OPEN_EXISTING;
    case rtl::TFileDisposition::CreateAlways: return CREATE_ALWAYS;
    case rtl::TFileDisposition::OpenAlways: return OPEN_ALWAYS;
    case rtl::TFileDisposition::CreateNew: return CREATE_NEW;
    }
    return OPEN_EXISTING;
}

// The lock file is removed again when the turn ends and lies in the user's lock folder, never beside the
// file: the file itself cannot carry the lock, since every change replaces it by another.
class TChangeLock final : public rtl::IFileLock {
public:
    TChangeLock(std::string lockFile, int timeoutMs) : Turn(std::move(lockFile), timeoutMs, true) {}
    THostLock Turn;
};

class TWindowsFileSystem final : public rtl::IFileSystem {
public:
    std::unique_ptr<rtl::IFileHandle> Open(const rtl::AnsiString& path, rtl::TFileAccess access, rtl::TFileShare share,
                                           rtl::TFileDisposition disposition, uint32_t* error) override
    {
        HANDLE handle = CreateFile(path.c_str(), AccessOf(access), ShareOf(share), nullptr, DispositionOf(disposition),
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            Report(error);
            return nullptr;
        }
        return std::make_unique<TWindowsFileHandle>(handle);
    }

    bool FileExists(const rtl::AnsiString& path) override
    {
        const DWORD attributes = GetFileAttributes(path.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
    }

    bool DirectoryExists(const rtl::AnsiString& path) override
    {
        const DWORD attributes = GetFileAttributes(path.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    }

    bool DeleteFile(const rtl::AnsiString& path, uint32_t* error) override
    {
        if (win::DeleteFile(path.c_str()))
            return true;
        Report(error);
        return false;
    }

    bool ReplaceFile(const rtl::AnsiString& source, const rtl::AnsiString& target, uint32_t* error) override
    {
        if (MoveFileEx(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING))
            return true;
        Report(error);
        return false;
    }

    std::unique_ptr<rtl::IFileLock> LockForChange(const rtl::AnsiString& path, int timeoutMs, uint32_t* error) override
    {
        // A path that names no host file, or a user without a lock folder, leaves the change to go on alone as
        // it always could; the change's own steps report a bad path.
        const std::optional<std::string> host = HostPathFromWindows(path);
        auto lock = std::make_unique<TChangeLock>(host ? ChangeLockFileOf(*host) : std::string(), timeoutMs);
        if (!lock->Turn.TimedOut())
            return lock;
        SetLastError(ERROR_SHARING_VIOLATION);
        Report(error);
        return nullptr;
    }
};

}  // namespace

rtl::IFileSystem& WindowsFileSystem()
{
    static TWindowsFileSystem fileSystem;
    return fileSystem;
}

}  // namespace win
