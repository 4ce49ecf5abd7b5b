// The host runtime's date-time value and its calendar arithmetic.
//
// A TDateTime counts days from 30/12/1899 (day 0). The whole part is the day,
// the fraction the time of day; for days before 30/12/1899 the fraction is
// still the time of day, taken as an absolute value: -1.25 is 29/12/1899
// 06:00 and 2.75 is 01/01/1900 18:00 (so values between -1 and 0 read as
// times on 30/12/1899, like their positive counterparts; the arithmetic below
// never produces them). Times are kept to the millisecond;
// decoding rounds to the nearest millisecond. Dates run from 01/01/0001 to
// 31/12/9999 (proleptic Gregorian calendar).
//
// Now(), Date() and Time() read a clock function. The platform layer installs
// the machine's local clock with SetNowFunction; tests install a fixed one.
#pragma once

#include <cstdint>
#include <functional>

namespace zel {

using TDateTime = double;

inline constexpr int kHoursPerDay = 24;
inline constexpr int kMinsPerDay = 24 * 60;
inline constexpr int kSecsPerDay = 24 * 60 * 60;
inline constexpr int kMSecsPerDay = 24 * 60 * 60 * 1000;
// Day number of 30/12/1899 when 01/01/0001 is day 1.
inline constexpr int kDateDelta = 693594;

bool IsLeapYear(int year);
// 28..31; 0 for a month outside 1..12.
int DaysInAMonth(int year, int month);
bool IsValidDate(int year, int month, int day);
bool IsValidTime(int hour, int minute, int second, int msec);

// Encode: ConvertError on an invalid date or time (the Try forms return false
// and leave `out` unchanged). EncodeTime accepts 24:00:00.000 as 1.0.
TDateTime EncodeDate(int year, int month, int day);
bool TryEncodeDate(int year, int month, int day, TDateTime& out);
TDateTime EncodeTime(int hour, int minute, int second, int msec);
bool TryEncodeTime(int hour, int minute, int second, int msec, TDateTime& out);
TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second, int msec);
bool TryEncodeDateTime(int year, int month, int day, int hour, int minute, int second, int msec,
                       TDateTime& out);
// Joins a date (whole days) and a time of day (0 <= time < 1) with the sign
// rule above: for a negative date the time is subtracted.
TDateTime ComposeDateTime(TDateTime date, TDateTime time);

// Decode. A value outside the supported range decodes as 0/0/0.
void DecodeDate(TDateTime value, int& year, int& month, int& day);
void DecodeTime(TDateTime value, int& hour, int& minute, int& second, int& msec);
void DecodeDateTime(TDateTime value, int& year, int& month, int& day, int& hour, int& minute,
                    int& second, int& msec);

TDateTime DateOf(TDateTime value);  // the whole day, time cut
TDateTime TimeOf(TDateTime value);  // the time of day, 0 <= result < 1
int DayOfWeek(TDateTime value);     // 1 = Sunday .. 7 = Saturday
int YearOf(TDateTime value);
int MonthOf(TDateTime value);
int DayOf(TDateTime value);
int HourOf(TDateTime value);
int MinuteOf(TDateTime value);
int SecondOf(TDateTime value);

// The value as milliseconds on a continuous time line (0 = 30/12/1899 00:00,
// rounded to the millisecond) and back. Arithmetic goes through this line so
// that it also works across 30/12/1899.
int64_t DateTimeToMilliseconds(TDateTime value);
TDateTime MillisecondsToDateTime(int64_t milliseconds);

// Calendar arithmetic; the time of day is kept. IncMonth and IncYear clamp
// the day to the length of the target month (31/01 + 1 month = 28/02 or
// 29/02), return a value outside the calendar unchanged and raise
// ConvertError when the result would leave it.
TDateTime IncDay(TDateTime value, int days = 1);
TDateTime IncHour(TDateTime value, int64_t hours = 1);
TDateTime IncMinute(TDateTime value, int64_t minutes = 1);
TDateTime IncSecond(TDateTime value, int64_t seconds = 1);
TDateTime IncMilliSecond(TDateTime value, int64_t msecs = 1);
TDateTime IncMonth(TDateTime value, int months = 1);
TDateTime IncYear(TDateTime value, int years = 1);

// Whole units between two moments, never negative, partial units dropped.
int64_t DaysBetween(TDateTime a, TDateTime b);
int64_t HoursBetween(TDateTime a, TDateTime b);
int64_t MinutesBetween(TDateTime a, TDateTime b);
int64_t SecondsBetween(TDateTime a, TDateTime b);
int64_t MilliSecondsBetween(TDateTime a, TDateTime b);

// The binary data-packet representation: `date` is the day number with
// 01/01/0001 as day 1 (the whole part + kDateDelta), `time` the milliseconds
// since midnight.
struct TimeStamp {
  int32_t time = 0;
  int32_t date = 0;
};
TimeStamp DateTimeToTimeStamp(TDateTime value);
TDateTime TimeStampToDateTime(const TimeStamp& stamp);
// Milliseconds counted from 01/01/0001 00:00 as day 1: (value + kDateDelta) * kMSecsPerDay.
double TimeStampToMSecs(const TimeStamp& stamp);
TimeStamp MSecsToTimeStamp(double msecs);

// The clock. SetNowFunction(nullptr) restores the default (the C++ system
// clock, taken as UTC). The function is called on every Now/Date/Time.
void SetNowFunction(std::function<TDateTime()> now);
TDateTime Now();
TDateTime Date();  // DateOf(Now())
TDateTime Time();  // TimeOf(Now())

}  // namespace zel
