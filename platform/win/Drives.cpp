#include "platform/win/Drives.h"

#include <sys/stat.h>
#include <sys/statvfs.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <set>
#include <utility>

#include "platform/win/Paths.h"
#include "platform/win/Platform.h"
#include "platform/win/Settings.h"

namespace win {

namespace {

BOOL FailWith(DWORD error)
{
    SetLastError(error);
    return FALSE;
}

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }
bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

char CurrentDrive() { return Upper(CurrentDirectory()[0]); }

// The drive a path names: a root ("C:\", "C:"), any path on it, or null/empty for the current drive.
std::optional<char> DriveOfPath(const char* path, DWORD* error)
{
    if (!path || !*path)
        return CurrentDrive();
    std::optional<std::string> full = FullWindowsPath(path, error);
    if (!full)
        return std::nullopt;
    return Upper((*full)[0]);
}

// A mapped drive that can be read now; sets the last error otherwise.
std::optional<char> ReadyDrive(const char* path)
{
    DWORD error = ERROR_SUCCESS;
    std::optional<char> drive = DriveOfPath(path, &error);
    if (!drive) {
        SetLastError(error);
        return std::nullopt;
    }
    if (!DriveFolder(*drive)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return std::nullopt;
    }
    if (*drive == 'A' && !FloppyPresent()) {
        SetLastError(ERROR_NOT_READY);
        return std::nullopt;
    }
    return drive;
}

struct TSpace {
    uint64_t Total = 0;
    uint64_t Free = 0;
    uint64_t ClusterBytes = 512;
};

std::optional<TSpace> SpaceOf(char drive)
{
    if (drive == 'A') {
        const int64_t capacity = FloppyCapacity();
        const int64_t free = std::max<int64_t>(0, capacity - FloppyUsedBytes());
        return TSpace{static_cast<uint64_t>(capacity), static_cast<uint64_t>(free), 512};
    }
    std::string folder = *DriveFolder(drive);
    struct statvfs info {};
    if (::statvfs(folder.empty() ? "/" : folder.c_str(), &info) != 0) {
        SetLastError(ERROR_NOT_READY);
        return std::nullopt;
    }
    const uint64_t unit = info.f_frsize ? info.f_frsize : info.f_bsize;
    return TSpace{static_cast<uint64_t>(info.f_blocks) * unit, static_cast<uint64_t>(info.f_bavail) * unit,
                  std::max<uint64_t>(512, unit)};
}

DWORD Clamp32(uint64_t value) { return static_cast<DWORD>(std::min<uint64_t>(value, 0xFFFFFFFFu)); }

DWORD SerialOf(char drive)
{
    // FNV-1a over the drive's host folder: the same prefix always shows the same serial.
    uint32_t hash = 2166136261u;
    const std::string key = DriveFolder(drive).value_or("") + ":" + std::string(1, drive);
    for (char c : key) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 16777619u;
    }
    return hash;
}

void CopyName(const std::string& name, char* buffer, DWORD size)
{
    if (!buffer || size == 0)
        return;
    const size_t length = std::min<size_t>(name.size(), size - 1);
    name.copy(buffer, length);
    buffer[length] = '\0';
}

}  // namespace

int64_t FloppyUsedBytes()
{
    namespace fs = std::filesystem;
    const std::string folder = *DriveFolder('A');
    std::error_code error;
    int64_t used = 0;
    std::set<std::pair<dev_t, ino_t>> counted;  // hard links take their space once
    for (fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied, error), end;
         !error && it != end; it.increment(error)) {
        struct stat info {};
        if (::lstat(it->path().c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
            counted.emplace(info.st_dev, info.st_ino).second)
            used += info.st_size;
    }
    return used;
}

bool FitsOnDrive(char drive, int64_t growth)
{
    if (Upper(drive) != 'A' || growth <= 0)
        return true;
    return FloppyUsedBytes() + growth <= FloppyCapacity();
}

UINT GetDriveType(const char* rootPathName)
{
    char drive;
    if (!rootPathName || !*rootPathName) {
        drive = CurrentDrive();
    } else {
        const std::string root = rootPathName;
        const bool rootForm = root.size() >= 2 && IsLetter(root[0]) && root[1] == ':' &&
                              (root.size() == 2 || (root.size() == 3 && (root[2] == '\\' || root[2] == '/')));
        if (!rootForm)
            return DRIVE_NO_ROOT_DIR;
        drive = Upper(root[0]);
    }
    switch (drive) {
    case 'A': return DRIVE_REMOVABLE;
    case 'C':
    case 'Z': return DRIVE_FIXED;
    default: return DRIVE_NO_ROOT_DIR;
    }
}

DWORD GetLogicalDrives() { return (1u << 0) | (1u << 2) | (1u << 25); }

DWORD GetLogicalDriveStrings(DWORD bufferLength, char* buffer)
{
    static const char strings[] = "A:\\\0C:\\\0Z:\\\0";  // and the array's own zero ends the list
    const DWORD length = sizeof strings - 1;
    if (!buffer || bufferLength < length + 1)
        return length + 1;
    std::copy(strings, strings + sizeof strings, buffer);
    return length;
}

BOOL GetDiskFreeSpace(const char* rootPathName, DWORD* sectorsPerCluster, DWORD* bytesPerSector,
                      DWORD* numberOfFreeClusters, DWORD* totalNumberOfClusters)
{
    std::optional<char> drive = ReadyDrive(rootPathName);
    if (!drive)
        return FALSE;
    std::optional<TSpace> space = SpaceOf(*drive);
    if (!space)
        return FALSE;
    if (sectorsPerCluster)
        *sectorsPerCluster = static_cast<DWORD>(space->ClusterBytes / 512);
    if (bytesPerSector)
        *bytesPerSector = 512;
    if (numberOfFreeClusters)
        *numberOfFreeClusters = Clamp32(space->Free / space->ClusterBytes);
    if (totalNumberOfClusters)
        *totalNumberOfClusters = Clamp32(space->Total / space->ClusterBytes);
    return TRUE;
}

BOOL GetDiskFreeSpaceEx(const char* directoryName, uint64_t* freeBytesAvailableToCaller, uint64_t* totalNumberOfBytes,
                        uint64_t* totalNumberOfFreeBytes)
{
    std::optional<char> drive = ReadyDrive(directoryName);
    if (!drive)
        return FALSE;
    std::optional<TSpace> space = SpaceOf(*drive);
    if (!space)
        return FALSE;
    if (freeBytesAvailableToCaller)
        *freeBytesAvailableToCaller = space->Free;
    if (totalNumberOfBytes)
        *totalNumberOfBytes = space->Total;
    if (totalNumberOfFreeBytes)
        *totalNumberOfFreeBytes = space->Free;
    return TRUE;
}

BOOL GetVolumeInformation(const char* rootPathName, char* volumeNameBuffer, DWORD volumeNameSize,
                          DWORD* volumeSerialNumber, DWORD* maximumComponentLength, DWORD* fileSystemFlags,
                          char* fileSystemNameBuffer, DWORD fileSystemNameSize)
{
    if (rootPathName && *rootPathName && GetDriveType(rootPathName) == DRIVE_NO_ROOT_DIR) {
        const std::string root = rootPathName;
        return FailWith(root.size() >= 2 && (root[0] == '\\' || root[0] == '/') && (root[1] == '\\' || root[1] == '/')
                            ? ERROR_BAD_NETPATH
                            : ERROR_PATH_NOT_FOUND);
    }
    std::optional<char> drive = ReadyDrive(rootPathName);
    if (!drive)
        return FALSE;
    CopyName("", volumeNameBuffer, volumeNameSize);
    if (volumeSerialNumber)
        *volumeSerialNumber = SerialOf(*drive);
    if (maximumComponentLength)
        *maximumComponentLength = 255;
    if (fileSystemFlags)
        *fileSystemFlags = FILE_CASE_PRESERVED_NAMES | FILE_UNICODE_ON_DISK;
    const std::string fileSystem = *drive == 'A' ? "FAT" : (IsNTKind(WindowsKind()) ? "NTFS" : "FAT32");
    CopyName(fileSystem, fileSystemNameBuffer, fileSystemNameSize);
    return TRUE;
}

}  // namespace win
