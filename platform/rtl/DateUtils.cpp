#include "platform/rtl/DateUtils.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <ctime>

namespace rtl {

namespace {

constexpr int64_t MSecsPerDay = 24LL * 60 * 60 * 1000;
// 30 December 1899 counted from 1 January 1970.
constexpr int64_t UnixEpochDelta = 25569;

// Days since 1 January 1970 of a proleptic Gregorian date (H. Hinnant's algorithm).
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d)
{
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int64_t& y, int64_t& m, int64_t& d)
{
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp + (mp < 10 ? 3 : -9);
    y = yoe + era * 400 + (m <= 2);
}

// The day number and the milliseconds into that day, rounded to the millisecond first so that 23:59:59.9996
// is the next day rather than second 60. The time of a date before 1899 is still counted forwards.
void SplitDateTime(TDateTime value, int64_t& day, int64_t& msec)
{
    double scaled = std::round(value * static_cast<double>(MSecsPerDay));
    // Far beyond any real date: clamp rather than overflow.
    scaled = std::fmax(std::fmin(scaled, 9.0e17), -9.0e17);
    if (std::isnan(scaled))
        scaled = 0;
    int64_t total = static_cast<int64_t>(scaled);
    day = total / MSecsPerDay;
    msec = total % MSecsPerDay;
    if (msec < 0)
        msec = -msec;
}

std::function<TDateTime()>& Clock()
{
    static std::function<TDateTime()> clock;
    return clock;
}

TDateTime SystemNow()
{
    using namespace std::chrono;
    auto now = system_clock::now();
    std::time_t seconds = system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&seconds, &local);
    int msec = static_cast<int>(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
    TDateTime date = 0;
    TDateTime time = 0;
    TryEncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, date);
    TryEncodeTime(local.tm_hour, local.tm_min, std::min(local.tm_sec, 59), msec < 0 ? 0 : msec, time);
    return date + time;
}

const char* const ShortMonthNames[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
const char* const LongMonthNames[] = {"January", "February", "March",     "April",   "May",      "June",
                                      "July",    "August",   "September", "October", "November", "December"};
const char* const ShortDayNames[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const LongDayNames[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};

AnsiString TwoDigits(int value) { return (value < 10 ? "0" : "") + IntToStr(value); }

AnsiString Padded(int value, int width)
{
    AnsiString text = IntToStr(value);
    return StringOfChar('0', width - static_cast<int>(text.size())) + text;
}

}  // namespace

bool IsLeapYear(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

int DaysInAMonth(int year, int month)
{
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12)
        return 0;
    return month == 2 && IsLeapYear(year) ? 29 : days[month - 1];
}

bool TryEncodeDate(int year, int month, int day, TDateTime& date)
{
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInAMonth(year, month))
        return false;
    date = static_cast<double>(DaysFromCivil(year, month, day) + UnixEpochDelta);
    return true;
}

bool TryEncodeTime(int hour, int minute, int second, int millisecond, TDateTime& time)
{
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || millisecond < 0 ||
        millisecond > 999)
        return false;
    int64_t msec = ((static_cast<int64_t>(hour) * 60 + minute) * 60 + second) * 1000 + millisecond;
    time = static_cast<double>(msec) / static_cast<double>(MSecsPerDay);
    return true;
}

TDateTime EncodeDate(int year, int month, int day)
{
    TDateTime date = 0;
    if (!TryEncodeDate(year, month, day, date))
        throw EConvertError("Invalid argument to date encode");
    return date;
}

TDateTime EncodeTime(int hour, int minute, int second, int millisecond)
{
    TDateTime time = 0;
    if (!TryEncodeTime(hour, minute, second, millisecond, time))
        throw EConvertError("Invalid argument to time encode");
    return time;
}

void DecodeDate(TDateTime date, uint16_t& year, uint16_t& month, uint16_t& day)
{
    int64_t days = 0;
    int64_t msec = 0;
    SplitDateTime(date, days, msec);
    int64_t y = 0;
    int64_t m = 0;
    int64_t d = 0;
    CivilFromDays(days - UnixEpochDelta, y, m, d);
    // Outside 1..9999 there is no date to give.
    if (y < 1 || y > 9999) {
        year = month = day = 0;
        return;
    }
    year = static_cast<uint16_t>(y);
    month = static_cast<uint16_t>(m);
    day = static_cast<uint16_t>(d);
}

void DecodeTime(TDateTime time, uint16_t& hour, uint16_t& minute, uint16_t& second, uint16_t& millisecond)
{
    int64_t days = 0;
    int64_t msec = 0;
    SplitDateTime(time, days, msec);
    hour = static_cast<uint16_t>(msec / 3600000);
    minute = static_cast<uint16_t>(msec / 60000 % 60);
    second = static_cast<uint16_t>(msec / 1000 % 60);
    millisecond = static_cast<uint16_t>(msec % 1000);
}

int DayOfWeek(TDateTime date)
{
    int64_t days = 0;
    int64_t msec = 0;
    SplitDateTime(date, days, msec);
    // 30 December 1899 was a Saturday.
    int64_t weekday = (days + 6) % 7;
    if (weekday < 0)
        weekday += 7;
    return static_cast<int>(weekday) + 1;
}

TDateTime Now() { return Clock() ? Clock()() : SystemNow(); }

TDateTime Date() { return std::trunc(Now()); }

TDateTime Time()
{
    TDateTime now = Now();
    return now - std::trunc(now);
}

void SetClock(std::function<TDateTime()> clock) { Clock() = std::move(clock); }

int32_t DateTimeToFileDate(TDateTime dateTime)
{
    uint16_t year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, msec = 0;
    DecodeDate(dateTime, year, month, day);
    if (year < 1980 || year > 2107)
        return 0;
    DecodeTime(dateTime, hour, minute, second, msec);
    uint32_t date = (static_cast<uint32_t>(year - 1980) << 9) | (static_cast<uint32_t>(month) << 5) | day;
    uint32_t time = (static_cast<uint32_t>(hour) << 11) | (static_cast<uint32_t>(minute) << 5) | (second >> 1);
    return static_cast<int32_t>((date << 16) | time);
}

TDateTime FileDateToDateTime(int32_t fileDate)
{
    uint32_t bits = static_cast<uint32_t>(fileDate);
    uint32_t date = bits >> 16;
    uint32_t time = bits & 0xFFFF;
    return EncodeDate(static_cast<int>((date >> 9) + 1980), static_cast<int>((date >> 5) & 15),
                      static_cast<int>(date & 31)) +
           EncodeTime(static_cast<int>(time >> 11), static_cast<int>((time >> 5) & 63),
                      static_cast<int>((time & 31) * 2), 0);
}

AnsiString FormatDateTime(const AnsiString& format, TDateTime dateTime)
{
    uint16_t year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, msec = 0;
    DecodeDate(dateTime, year, month, day);
    DecodeTime(dateTime, hour, minute, second, msec);
    AnsiString result;
    bool afterHour = false;
    size_t i = 0;
    while (i < format.size()) {
        char c = format[i];
        char lower = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
        if (c == '"' || c == '\'') {
            size_t end = format.find(c, i + 1);
            if (end == AnsiString::npos)
                end = format.size();
            result.append(format, i + 1, end - i - 1);
            i = end + 1;
            continue;
        }
        size_t run = 1;
        while (i + run < format.size() && (format[i + run] | 0x20) == lower && lower >= 'a' && lower <= 'z')
            ++run;
        int n = static_cast<int>(run);
        switch (lower) {
        case 'y': result += n <= 2 ? TwoDigits(year % 100) : Padded(year, 4); break;
        case 'm':
            if (afterHour)
                result += n == 1 ? IntToStr(minute) : TwoDigits(minute);
            else if (n <= 2)
                result += n == 1 ? IntToStr(month) : TwoDigits(month);
            else if (month >= 1)
                result += n == 3 ? ShortMonthNames[month - 1] : LongMonthNames[month - 1];
            break;
        case 'd':
            if (n <= 2)
                result += n == 1 ? IntToStr(day) : TwoDigits(day);
            else
                result += (n == 3 ? ShortDayNames : LongDayNames)[DayOfWeek(dateTime) - 1];
            break;
        case 'h': result += n == 1 ? IntToStr(hour) : TwoDigits(hour); break;
        case 'n': result += n == 1 ? IntToStr(minute) : TwoDigits(minute); break;
        case 's': result += n == 1 ? IntToStr(second) : TwoDigits(second); break;
        case 'z': result += n < 3 ? IntToStr(msec) : Padded(msec, 3); break;
        default:
            // Not a specifier: the characters themselves.
            result.append(format, i, run);
            i += run;
            continue;
        }
        afterHour = lower == 'h';
        i += run;
    }
    return result;
}

}  // namespace rtl
