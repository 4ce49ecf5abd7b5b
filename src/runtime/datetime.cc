#include "runtime/datetime.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <utility>

#include "runtime/host_error.h"

namespace zel {
namespace {

// 01/01/0001 and 31/12/9999 as day numbers with 01/01/0001 as day 1.
constexpr int32_t kMinStampDate = 1;
constexpr int32_t kMaxStampDate = 3652059;
constexpr int64_t kMSecsPerDay64 = kMSecsPerDay;
// 01/01/1970 as a TDateTime.
constexpr int kUnixDateDelta = 25569;

int64_t FloorDiv(int64_t a, int64_t b) {
  int64_t q = a / b;
  if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
  return q;
}

// Day number (01/01/0001 = 1) of a valid date.
int32_t StampDate(int year, int month, int day) {
  int day_of_year = day;
  for (int m = 1; m < month; ++m) day_of_year += DaysInAMonth(year, m);
  const int i = year - 1;
  return i * 365 + i / 4 - i / 100 + i / 400 + day_of_year;
}

// Civil date from days since 01/01/1970 (proleptic Gregorian).
void CivilFromDays(int64_t z, int& year, int& month, int& day) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
}

[[noreturn]] void ThrowInvalidDate() { throw ConvertError("Invalid argument to date encode"); }
[[noreturn]] void ThrowInvalidTime() { throw ConvertError("Invalid argument to time encode"); }

TDateTime SystemClockNow() {
  const auto since_epoch = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::system_clock::now().time_since_epoch());
  return kUnixDateDelta + static_cast<double>(since_epoch.count()) / kMSecsPerDay;
}

std::function<TDateTime()>& NowFunction() {
  static std::function<TDateTime()> now = SystemClockNow;
  return now;
}

}  // namespace

bool IsLeapYear(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

int DaysInAMonth(int year, int month) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool IsValidDate(int year, int month, int day) {
  return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
         day <= DaysInAMonth(year, month);
}

bool IsValidTime(int hour, int minute, int second, int msec) {
  return (hour >= 0 && hour < 24 && minute >= 0 && minute < 60 && second >= 0 && second < 60 &&
          msec >= 0 && msec < 1000) ||
         (hour == 24 && minute == 0 && second == 0 && msec == 0);
}

bool TryEncodeDate(int year, int month, int day, TDateTime& out) {
  if (!IsValidDate(year, month, day)) return false;
  out = StampDate(year, month, day) - kDateDelta;
  return true;
}

TDateTime EncodeDate(int year, int month, int day) {
  TDateTime result;
  if (!TryEncodeDate(year, month, day, result)) ThrowInvalidDate();
  return result;
}

bool TryEncodeTime(int hour, int minute, int second, int msec, TDateTime& out) {
  if (!IsValidTime(hour, minute, second, msec)) return false;
  out = (hour * 3600000.0 + minute * 60000.0 + second * 1000.0 + msec) / kMSecsPerDay;
  return true;
}

TDateTime EncodeTime(int hour, int minute, int second, int msec) {
  TDateTime result;
  if (!TryEncodeTime(hour, minute, second, msec, result)) ThrowInvalidTime();
  return result;
}

TDateTime ComposeDateTime(TDateTime date, TDateTime time) {
  const double t = std::fabs(time - std::trunc(time));
  return date < 0 ? date - t : date + t;
}

bool TryEncodeDateTime(int year, int month, int day, int hour, int minute, int second, int msec,
                       TDateTime& out) {
  TDateTime date;
  TDateTime time;
  if (!TryEncodeDate(year, month, day, date) || !TryEncodeTime(hour, minute, second, msec, time)) {
    return false;
  }
  // 24:00 is the start of the next day.
  if (time >= 1.0) {
    out = MillisecondsToDateTime(DateTimeToMilliseconds(date) + kMSecsPerDay64);
  } else {
    out = ComposeDateTime(date, time);
  }
  return true;
}

TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second, int msec) {
  if (!IsValidDate(year, month, day)) ThrowInvalidDate();
  TDateTime result;
  if (!TryEncodeDateTime(year, month, day, hour, minute, second, msec, result)) {
    ThrowInvalidTime();
  }
  return result;
}

TimeStamp DateTimeToTimeStamp(TDateTime value) {
  const double ms = value * kMSecsPerDay;
  // Values outside the calendar (and NaN) give the zero stamp, which decodes
  // as 0/0/0 00:00.
  if (!(std::fabs(ms) < (kMaxStampDate + 1.0) * kMSecsPerDay)) return {};
  const int64_t total = std::llround(ms);
  TimeStamp stamp;
  stamp.time = static_cast<int32_t>((total < 0 ? -total : total) % kMSecsPerDay64);
  stamp.date = static_cast<int32_t>(kDateDelta + total / kMSecsPerDay64);
  return stamp;
}

TDateTime TimeStampToDateTime(const TimeStamp& stamp) {
  const double day = stamp.date - kDateDelta;
  const double time = static_cast<double>(stamp.time) / kMSecsPerDay;
  return day < 0 ? day - time : day + time;
}

double TimeStampToMSecs(const TimeStamp& stamp) {
  return static_cast<double>(stamp.date) * kMSecsPerDay + stamp.time;
}

TimeStamp MSecsToTimeStamp(double msecs) {
  TimeStamp stamp;
  if (!(std::fabs(msecs) < (kMaxStampDate + 1.0) * kMSecsPerDay)) return stamp;
  const int64_t total = std::llround(msecs);
  stamp.date = static_cast<int32_t>(total / kMSecsPerDay64);
  stamp.time = static_cast<int32_t>(total % kMSecsPerDay64);
  return stamp;
}

void DecodeDate(TDateTime value, int& year, int& month, int& day) {
  const TimeStamp stamp = DateTimeToTimeStamp(value);
  if (stamp.date < kMinStampDate || stamp.date > kMaxStampDate) {
    year = month = day = 0;
    return;
  }
  CivilFromDays(int64_t{stamp.date} - kDateDelta - kUnixDateDelta, year, month, day);
}

void DecodeTime(TDateTime value, int& hour, int& minute, int& second, int& msec) {
  int t = DateTimeToTimeStamp(value).time;
  msec = t % 1000;
  t /= 1000;
  second = t % 60;
  t /= 60;
  minute = t % 60;
  hour = t / 60;
}

void DecodeDateTime(TDateTime value, int& year, int& month, int& day, int& hour, int& minute,
                    int& second, int& msec) {
  DecodeDate(value, year, month, day);
  DecodeTime(value, hour, minute, second, msec);
}

TDateTime DateOf(TDateTime value) { return DateTimeToTimeStamp(value).date - kDateDelta; }

TDateTime TimeOf(TDateTime value) {
  return static_cast<double>(DateTimeToTimeStamp(value).time) / kMSecsPerDay;
}

int DayOfWeek(TDateTime value) {
  const int32_t date = DateTimeToTimeStamp(value).date;
  return static_cast<int>(((date % 7) + 7) % 7) + 1;
}

int YearOf(TDateTime value) {
  int y, m, d;
  DecodeDate(value, y, m, d);
  return y;
}

int MonthOf(TDateTime value) {
  int y, m, d;
  DecodeDate(value, y, m, d);
  return m;
}

int DayOf(TDateTime value) {
  int y, m, d;
  DecodeDate(value, y, m, d);
  return d;
}

int HourOf(TDateTime value) { return DateTimeToTimeStamp(value).time / 3600000; }
int MinuteOf(TDateTime value) { return DateTimeToTimeStamp(value).time / 60000 % 60; }
int SecondOf(TDateTime value) { return DateTimeToTimeStamp(value).time / 1000 % 60; }

int64_t DateTimeToMilliseconds(TDateTime value) {
  const TimeStamp stamp = DateTimeToTimeStamp(value);
  return (int64_t{stamp.date} - kDateDelta) * kMSecsPerDay64 + stamp.time;
}

TDateTime MillisecondsToDateTime(int64_t milliseconds) {
  const int64_t day = FloorDiv(milliseconds, kMSecsPerDay64);
  const int64_t time = milliseconds - day * kMSecsPerDay64;
  const double t = static_cast<double>(time) / kMSecsPerDay;
  return day < 0 ? static_cast<double>(day) - t : static_cast<double>(day) + t;
}

TDateTime IncDay(TDateTime value, int days) {
  return IncMilliSecond(value, int64_t{days} * kMSecsPerDay64);
}
TDateTime IncHour(TDateTime value, int64_t hours) { return IncMilliSecond(value, hours * 3600000); }
TDateTime IncMinute(TDateTime value, int64_t minutes) {
  return IncMilliSecond(value, minutes * 60000);
}
TDateTime IncSecond(TDateTime value, int64_t seconds) {
  return IncMilliSecond(value, seconds * 1000);
}
TDateTime IncMilliSecond(TDateTime value, int64_t msecs) {
  return MillisecondsToDateTime(DateTimeToMilliseconds(value) + msecs);
}

TDateTime IncMonth(TDateTime value, int months) {
  int year, month, day;
  DecodeDate(value, year, month, day);
  if (year == 0) return value;
  int64_t index = int64_t{year} * 12 + (month - 1) + months;
  year = static_cast<int>(FloorDiv(index, 12));
  month = static_cast<int>(index - int64_t{year} * 12) + 1;
  if (year < 1 || year > 9999) ThrowInvalidDate();
  if (day > DaysInAMonth(year, month)) day = DaysInAMonth(year, month);
  return ComposeDateTime(EncodeDate(year, month, day), TimeOf(value));
}

TDateTime IncYear(TDateTime value, int years) {
  return IncMonth(value,
                  static_cast<int>(std::clamp<int64_t>(int64_t{years} * 12, -200000, 200000)));
}

int64_t MilliSecondsBetween(TDateTime a, TDateTime b) {
  const int64_t d = DateTimeToMilliseconds(a) - DateTimeToMilliseconds(b);
  return d < 0 ? -d : d;
}
int64_t SecondsBetween(TDateTime a, TDateTime b) { return MilliSecondsBetween(a, b) / 1000; }
int64_t MinutesBetween(TDateTime a, TDateTime b) { return MilliSecondsBetween(a, b) / 60000; }
int64_t HoursBetween(TDateTime a, TDateTime b) { return MilliSecondsBetween(a, b) / 3600000; }
int64_t DaysBetween(TDateTime a, TDateTime b) { return MilliSecondsBetween(a, b) / kMSecsPerDay64; }

void SetNowFunction(std::function<TDateTime()> now) {
  NowFunction() = now ? std::move(now) : std::function<TDateTime()>(SystemClockNow);
}

TDateTime Now() { return NowFunction()(); }
TDateTime Date() { return DateOf(Now()); }
TDateTime Time() { return TimeOf(Now()); }

}  // namespace zel
