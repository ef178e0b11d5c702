#pragma once
// Drives: A: the floppy drive (removable, its capacity and disk a setting of the prefix), C: the prefix's
// fixed disk, Z: the host root (fixed). Other letters have no root folder. A null or empty root means the
// drive of the current directory.

#include <cstdint>

#include "platform/win/WinTypes.h"

namespace win {

inline constexpr UINT DRIVE_UNKNOWN = 0;
inline constexpr UINT DRIVE_NO_ROOT_DIR = 1;
inline constexpr UINT DRIVE_REMOVABLE = 2;
inline constexpr UINT DRIVE_FIXED = 3;
inline constexpr UINT DRIVE_REMOTE = 4;
inline constexpr UINT DRIVE_CDROM = 5;
inline constexpr UINT DRIVE_RAMDISK = 6;

inline constexpr DWORD FILE_CASE_SENSITIVE_SEARCH = 0x1;
inline constexpr DWORD FILE_CASE_PRESERVED_NAMES = 0x2;
inline constexpr DWORD FILE_UNICODE_ON_DISK = 0x4;

UINT GetDriveType(const char* rootPathName);
// Bit 0 is A:, bit 25 Z:.
DWORD GetLogicalDrives();
// "A:\", "C:\", "Z:\", each ended by a zero, and one more zero; the length without the last zero.
DWORD GetLogicalDriveStrings(DWORD bufferLength, char* buffer);

// 512-byte sectors; A: reports its capacity less what drive_a holds, the others the host file system.
// Counts too large for 32 bits are clamped.
BOOL GetDiskFreeSpace(const char* rootPathName, DWORD* sectorsPerCluster, DWORD* bytesPerSector,
                      DWORD* numberOfFreeClusters, DWORD* totalNumberOfClusters);
// `directoryName` may be any folder of the drive. Each out pointer may be null.
BOOL GetDiskFreeSpaceEx(const char* directoryName, uint64_t* freeBytesAvailableToCaller, uint64_t* totalNumberOfBytes,
                        uint64_t* totalNumberOfFreeBytes);
// The serial number stays the same for a drive of a prefix. Buffers and pointers may be null.
BOOL GetVolumeInformation(const char* rootPathName, char* volumeNameBuffer, DWORD volumeNameSize,
                          DWORD* volumeSerialNumber, DWORD* maximumComponentLength, DWORD* fileSystemFlags,
                          char* fileSystemNameBuffer, DWORD fileSystemNameSize);

// Bytes stored on A: now, and whether `growth` more bytes fit (always true on other drives).
int64_t FloppyUsedBytes();
bool FitsOnDrive(char drive, int64_t growth);

}  // namespace win
