#include "platform/win/FileTime.h"

#include <chrono>

#include "platform/win/Platform.h"

namespace win {

namespace {

constexpr int64_t TicksPerSecond = 10'000'000;
constexpr int64_t TicksPerDay = TicksPerSecond * 86400;
constexpr int64_t SecondsFrom1601To1970 = 11'644'473'600;
constexpr int64_t DaysFrom1601To1970 = 134'774;
constexpr uint64_t LargestFileTime = 0x7FFFFFFFFFFFFFFFull;

// Days since 1970-01-01 of a proleptic Gregorian date, and back.
int64_t DaysFromCivil(int64_t year, unsigned month, unsigned day)
{
    year -= month <= 2;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const auto yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<int64_t>(dayOfEra) - 719468;
}

void CivilFromDays(int64_t days, int64_t* year, unsigned* month, unsigned* day)
{
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const auto dayOfEra = static_cast<unsigned>(days - era * 146097);
    const unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned mp = (5 * dayOfYear + 2) / 153;
    *day = dayOfYear - (153 * mp + 2) / 5 + 1;
    *month = mp < 10 ? mp + 3 : mp - 9;
    *year = static_cast<int64_t>(yearOfEra) + era * 400 + (*month <= 2);
}

bool IsLeap(unsigned year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

unsigned DaysInMonth(unsigned year, unsigned month)
{
    static const unsigned days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeap(year) ? 29 : days[month - 1];
}

struct TFields {
    int64_t Year;
    unsigned Month, Day, Hour, Minute, Second, Millisecond, DayOfWeek;
};

TFields FieldsOf(uint64_t value)
{
    const auto ticks = static_cast<int64_t>(value);
    const int64_t days = ticks / TicksPerDay;
    int64_t rest = ticks % TicksPerDay;
    TFields fields{};
    CivilFromDays(days - DaysFrom1601To1970, &fields.Year, &fields.Month, &fields.Day);
    fields.Hour = static_cast<unsigned>(rest / (TicksPerSecond * 3600));
    rest %= TicksPerSecond * 3600;
    fields.Minute = static_cast<unsigned>(rest / (TicksPerSecond * 60));
    rest %= TicksPerSecond * 60;
    fields.Second = static_cast<unsigned>(rest / TicksPerSecond);
    fields.Millisecond = static_cast<unsigned>(rest % TicksPerSecond / 10000);
    // 1 January 1601 was a Monday.
    fields.DayOfWeek = static_cast<unsigned>((days + 1) % 7);
    return fields;
}

bool ValueOf(int64_t year, unsigned month, unsigned day, unsigned hour, unsigned minute, unsigned second,
             unsigned millisecond, uint64_t* value)
{
    if (year < 1601 || year > 30827 || month < 1 || month > 12 || day < 1 ||
        day > DaysInMonth(static_cast<unsigned>(year), month) || hour > 23 || minute > 59 || second > 59 ||
        millisecond > 999)
        return false;
    const int64_t days = DaysFromCivil(year, month, day) + DaysFrom1601To1970;
    *value = static_cast<uint64_t>(days * TicksPerDay +
                                   ((hour * 60 + minute) * 60 + second) * TicksPerSecond + millisecond * 10000);
    return true;
}

int64_t LocalOffsetTicks()
{
    const time_t now = time(nullptr);
    tm local{};
    localtime_r(&now, &local);
    return static_cast<int64_t>(local.tm_gmtoff) * TicksPerSecond;
}

bool Shift(const FILETIME* from, FILETIME* to, int64_t offset)
{
    if (!from || !to) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    const auto value = static_cast<int64_t>(FileTimeValue(*from));
    if (value < 0 || (offset < 0 && value < -offset) || (offset > 0 && value > INT64_MAX - offset)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    *to = FileTimeFromValue(static_cast<uint64_t>(value + offset));
    return true;
}

}  // namespace

uint64_t FileTimeValue(const FILETIME& fileTime)
{
    return (static_cast<uint64_t>(fileTime.dwHighDateTime) << 32) | fileTime.dwLowDateTime;
}

FILETIME FileTimeFromValue(uint64_t value)
{
    return FILETIME{static_cast<DWORD>(value & 0xFFFFFFFFu), static_cast<DWORD>(value >> 32)};
}

FILETIME FileTimeFromTimespec(const timespec& time)
{
    const int64_t ticks = (static_cast<int64_t>(time.tv_sec) + SecondsFrom1601To1970) * TicksPerSecond + time.tv_nsec / 100;
    return FileTimeFromValue(ticks < 0 ? 0 : static_cast<uint64_t>(ticks));
}

timespec TimespecFromFileTime(const FILETIME& fileTime)
{
    const auto ticks = static_cast<int64_t>(FileTimeValue(fileTime) & LargestFileTime);
    timespec time{};
    time.tv_sec = static_cast<time_t>(ticks / TicksPerSecond - SecondsFrom1601To1970);
    time.tv_nsec = static_cast<long>(ticks % TicksPerSecond * 100);
    return time;
}

BOOL FileTimeToDosDateTime(const FILETIME* fileTime, WORD* fatDate, WORD* fatTime)
{
    if (!fileTime || !fatDate || !fatTime || FileTimeValue(*fileTime) > LargestFileTime) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const TFields f = FieldsOf(FileTimeValue(*fileTime));
    if (f.Year < 1980 || f.Year > 2107) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *fatDate = static_cast<WORD>(((f.Year - 1980) << 9) | (f.Month << 5) | f.Day);
    *fatTime = static_cast<WORD>((f.Hour << 11) | (f.Minute << 5) | (f.Second / 2));
    return TRUE;
}

BOOL DosDateTimeToFileTime(WORD fatDate, WORD fatTime, FILETIME* fileTime)
{
    uint64_t value = 0;
    if (!fileTime || !ValueOf(1980 + (fatDate >> 9), (fatDate >> 5) & 0x0F, fatDate & 0x1F, fatTime >> 11,
                              (fatTime >> 5) & 0x3F, (fatTime & 0x1F) * 2u, 0, &value)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *fileTime = FileTimeFromValue(value);
    return TRUE;
}

BOOL FileTimeToLocalFileTime(const FILETIME* fileTime, FILETIME* localFileTime)
{
    return Shift(fileTime, localFileTime, LocalOffsetTicks()) ? TRUE : FALSE;
}

BOOL LocalFileTimeToFileTime(const FILETIME* localFileTime, FILETIME* fileTime)
{
    return Shift(localFileTime, fileTime, -LocalOffsetTicks()) ? TRUE : FALSE;
}

BOOL FileTimeToSystemTime(const FILETIME* fileTime, SYSTEMTIME* systemTime)
{
    if (!fileTime || !systemTime || FileTimeValue(*fileTime) > LargestFileTime) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const TFields f = FieldsOf(FileTimeValue(*fileTime));
    *systemTime = SYSTEMTIME{static_cast<WORD>(f.Year), static_cast<WORD>(f.Month), static_cast<WORD>(f.DayOfWeek),
                             static_cast<WORD>(f.Day), static_cast<WORD>(f.Hour), static_cast<WORD>(f.Minute),
                             static_cast<WORD>(f.Second), static_cast<WORD>(f.Millisecond)};
    return TRUE;
}

BOOL SystemTimeToFileTime(const SYSTEMTIME* s, FILETIME* fileTime)
{
    uint64_t value = 0;
    if (!s || !fileTime ||
        !ValueOf(s->wYear, s->wMonth, s->wDay, s->wHour, s->wMinute, s->wSecond, s->wMilliseconds, &value)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *fileTime = FileTimeFromValue(value);
    return TRUE;
}

void GetSystemTimeAsFileTime(FILETIME* fileTime)
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    *fileTime = FileTimeFromTimespec(now);
}

void GetSystemTime(SYSTEMTIME* systemTime)
{
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    FileTimeToSystemTime(&now, systemTime);
}

void GetLocalTime(SYSTEMTIME* systemTime)
{
    FILETIME now{}, local{};
    GetSystemTimeAsFileTime(&now);
    FileTimeToLocalFileTime(&now, &local);
    FileTimeToSystemTime(&local, systemTime);
}

LONG CompareFileTime(const FILETIME* first, const FILETIME* second)
{
    const uint64_t a = FileTimeValue(*first);
    const uint64_t b = FileTimeValue(*second);
    return a < b ? -1 : (a > b ? 1 : 0);
}

}  // namespace win
