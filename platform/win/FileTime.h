#pragma once
// File times: FILETIME counts 100 ns since 1601 (UTC); DOS date and time are the packed local fields of
// FAT directories and archives (two-second steps, years 1980 to 2107).

#include <cstdint>
#include <ctime>

#include "platform/win/WinTypes.h"

namespace win {

struct SYSTEMTIME {
    WORD wYear;
    WORD wMonth;
    WORD wDayOfWeek;  // 0 = Sunday
    WORD wDay;
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
};

// Fails with ERROR_INVALID_PARAMETER outside the years DOS can hold.
BOOL FileTimeToDosDateTime(const FILETIME* fileTime, WORD* fatDate, WORD* fatTime);
// Fails with ERROR_INVALID_PARAMETER for a month, day or time of day that does not exist.
BOOL DosDateTimeToFileTime(WORD fatDate, WORD fatTime, FILETIME* fileTime);
// With the time zone's present offset, as Windows does (not the offset in force at that time).
BOOL FileTimeToLocalFileTime(const FILETIME* fileTime, FILETIME* localFileTime);
BOOL LocalFileTimeToFileTime(const FILETIME* localFileTime, FILETIME* fileTime);
BOOL FileTimeToSystemTime(const FILETIME* fileTime, SYSTEMTIME* systemTime);
BOOL SystemTimeToFileTime(const SYSTEMTIME* systemTime, FILETIME* fileTime);
void GetSystemTime(SYSTEMTIME* systemTime);
void GetLocalTime(SYSTEMTIME* systemTime);
void GetSystemTimeAsFileTime(FILETIME* fileTime);
// -1, 0 or 1.
LONG CompareFileTime(const FILETIME* first, const FILETIME* second);

// Between FILETIME and the host's clock, for the layer and its tests.
uint64_t FileTimeValue(const FILETIME& fileTime);
FILETIME FileTimeFromValue(uint64_t value);
FILETIME FileTimeFromTimespec(const timespec& time);
timespec TimespecFromFileTime(const FILETIME& fileTime);

}  // namespace win
