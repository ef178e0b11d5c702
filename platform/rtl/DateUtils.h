#pragma once
// Dates and times as the programs keep them: a TDateTime counts days since 30 December 1899, its fraction
// is the time of day. File times travel in the DOS date-time form.

#include <cstdint>
#include <functional>

#include "platform/rtl/SysUtils.h"

namespace rtl {

using TDateTime = double;

bool IsLeapYear(int year);
// 28..31, or 0 for a month outside 1..12.
int DaysInAMonth(int year, int month);

// Raise EConvertError "Invalid argument to date encode" / "Invalid argument to time encode".
TDateTime EncodeDate(int year, int month, int day);
TDateTime EncodeTime(int hour, int minute, int second, int millisecond);
bool TryEncodeDate(int year, int month, int day, TDateTime& date);
bool TryEncodeTime(int hour, int minute, int second, int millisecond, TDateTime& time);
void DecodeDate(TDateTime date, uint16_t& year, uint16_t& month, uint16_t& day);
void DecodeTime(TDateTime time, uint16_t& hour, uint16_t& minute, uint16_t& second, uint16_t& millisecond);
// 1 for Sunday .. 7 for Saturday.
int DayOfWeek(TDateTime date);

// The local date and time (Date: midnight of today; Time: the fraction only).
TDateTime Now();
TDateTime Date();
TDateTime Time();
// Replaces the clock behind Now, Date and Time (tests play given days); an empty function restores it.
void SetClock(std::function<TDateTime()> clock);

// DOS date-time: bits 25-31 years since 1980, 21-24 month, 16-20 day, 11-15 hour, 5-10 minute, 0-4
// seconds / 2. Dates outside 1980..2107 give 0.
int32_t DateTimeToFileDate(TDateTime dateTime);
// Raises EConvertError when the fields are not a real date and time.
TDateTime FileDateToDateTime(int32_t fileDate);

// yyyy yy m mm mmm mmmm d dd ddd dddd h hh n nn s ss z zzz (m right after an hour means minutes); text
// in single or double quotes is copied; any other character too.
AnsiString FormatDateTime(const AnsiString& format, TDateTime dateTime);

}  // namespace rtl
