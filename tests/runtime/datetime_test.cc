#include "runtime/datetime.h"

#include <gtest/gtest.h>

#include <array>

#include "runtime/host_error.h"

namespace zel {
namespace {

TEST(DateTimeTest, EncodesAndDecodesDays) {
  struct Case {
    int y, m, d;
    double value;
  };
  const Case cases[] = {
      {1899, 12, 30, 0},   {1899, 12, 31, 1},       {1900, 1, 1, 2},      {1900, 3, 1, 61},
      {2000, 1, 1, 36526}, {2024, 1, 5, 45296},     {2024, 2, 29, 45351}, {1899, 12, 29, -1},
      {1, 1, 1, -693593},  {9999, 12, 31, 2958465},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(EncodeDate(c.y, c.m, c.d), c.value) << c.y << "-" << c.m << "-" << c.d;
    int y, m, d;
    DecodeDate(c.value, y, m, d);
    EXPECT_EQ(y * 10000 + m * 100 + d, c.y * 10000 + c.m * 100 + c.d) << c.value;
  }
}

TEST(DateTimeTest, TimeOfDayIsTheAbsoluteFractionAlsoBeforeDayZero) {
  int y, m, d, h, n, s, ms;
  DecodeDateTime(-1.25, y, m, d, h, n, s, ms);
  EXPECT_EQ((std::array{y, m, d, h, n}), (std::array{1899, 12, 29, 6, 0}));
  DecodeDateTime(2.75, y, m, d, h, n, s, ms);
  EXPECT_EQ((std::array{y, m, d, h, n}), (std::array{1900, 1, 1, 18, 0}));
  EXPECT_EQ(EncodeDateTime(1899, 12, 29, 6, 0, 0, 0), -1.25);
  EXPECT_EQ(DateOf(-1.25), -1);
  EXPECT_EQ(TimeOf(-1.25), 0.25);
  EXPECT_EQ(ComposeDateTime(-3, 0.5), -3.5);

  DecodeTime(EncodeTime(3, 4, 5, 6), h, n, s, ms);
  EXPECT_EQ((std::array{h, n, s, ms}), (std::array{3, 4, 5, 6}));
  // Decoding rounds to the millisecond: a hair before midnight is the next day.
  DecodeDateTime(45296.99999999999, y, m, d, h, n, s, ms);
  EXPECT_EQ((std::array{d, h, n, s, ms}), (std::array{6, 0, 0, 0, 0}));
}

TEST(DateTimeTest, InvalidDatesAndTimesAreRejected) {
  TDateTime out = 123;
  EXPECT_FALSE(TryEncodeDate(2023, 2, 29, out));
  EXPECT_FALSE(TryEncodeDate(2100, 2, 29, out));
  EXPECT_TRUE(TryEncodeDate(2000, 2, 29, out));
  EXPECT_FALSE(TryEncodeDate(0, 1, 1, out));
  EXPECT_FALSE(TryEncodeDate(2024, 13, 1, out));
  EXPECT_FALSE(TryEncodeTime(23, 60, 0, 0, out));
  EXPECT_FALSE(TryEncodeTime(24, 0, 0, 1, out));
  EXPECT_TRUE(TryEncodeTime(24, 0, 0, 0, out));
  EXPECT_EQ(out, 1.0);
  EXPECT_THROW(EncodeDate(2024, 2, 30), ConvertError);
  EXPECT_THROW(EncodeTime(-1, 0, 0, 0), ConvertError);
  int y, m, d;
  DecodeDate(1e300, y, m, d);
  EXPECT_EQ(y + m + d, 0);
}

TEST(DateTimeTest, DayOfWeekAndCalendarArithmetic) {
  EXPECT_EQ(DayOfWeek(EncodeDate(2024, 1, 5)), 6);  // a Friday
  EXPECT_EQ(DayOfWeek(EncodeDate(2024, 1, 7)), 1);  // Sunday
  EXPECT_EQ(DayOfWeek(-1.25), 6);                   // 29/12/1899, a Friday
  const TDateTime jan31 = EncodeDateTime(2024, 1, 31, 10, 0, 0, 0);
  EXPECT_EQ(IncMonth(jan31), EncodeDateTime(2024, 2, 29, 10, 0, 0, 0));
  EXPECT_EQ(IncMonth(jan31, -2), EncodeDateTime(2023, 11, 30, 10, 0, 0, 0));
  EXPECT_EQ(IncMonth(jan31, 13), EncodeDateTime(2025, 2, 28, 10, 0, 0, 0));
  EXPECT_EQ(IncYear(EncodeDate(2024, 2, 29)), EncodeDate(2025, 2, 28));
  EXPECT_EQ(IncDay(jan31, 1), EncodeDateTime(2024, 2, 1, 10, 0, 0, 0));
  EXPECT_EQ(IncHour(EncodeDateTime(2024, 1, 5, 23, 30, 0, 0), 1),
            EncodeDateTime(2024, 1, 6, 0, 30, 0, 0));
  // Across day zero the time of day stays right.
  EXPECT_EQ(IncHour(0.25, -12), -1.75);  // 29/12/1899 18:00
  EXPECT_EQ(IncMinute(-1.25, 30), EncodeDateTime(1899, 12, 29, 6, 30, 0, 0));
  EXPECT_EQ(MinutesBetween(EncodeTime(10, 0, 0, 0), EncodeTime(10, 15, 0, 0)), 15);
  EXPECT_EQ(SecondsBetween(-1.25, 0.25), 86400);
  EXPECT_EQ(DaysBetween(EncodeDate(2024, 1, 5), EncodeDateTime(2024, 1, 1, 12, 0, 0, 0)), 3);
}

TEST(DateTimeTest, TimeStampsMatchThePacketEncoding) {
  const TimeStamp stamp = DateTimeToTimeStamp(EncodeDateTime(2024, 1, 5, 10, 0, 0, 0));
  EXPECT_EQ(stamp.date, 738890);
  EXPECT_EQ(stamp.time, 36000000);
  EXPECT_EQ(TimeStampToMSecs(DateTimeToTimeStamp(EncodeDate(1988, 12, 28))), 62734953600000.0);
  EXPECT_EQ(TimeStampToDateTime(MSecsToTimeStamp(62734953600000.0 + 36000000)),
            EncodeDateTime(1988, 12, 28, 10, 0, 0, 0));
  EXPECT_EQ(TimeStampToDateTime(DateTimeToTimeStamp(-1.25)), -1.25);
}

TEST(DateTimeTest, NowReadsTheInstalledClock) {
  const TDateTime fixed = EncodeDateTime(2026, 3, 4, 5, 6, 7, 0);
  SetNowFunction([fixed] { return fixed; });
  EXPECT_EQ(Now(), fixed);
  EXPECT_EQ(Date(), EncodeDate(2026, 3, 4));
  EXPECT_DOUBLE_EQ(Time(), EncodeTime(5, 6, 7, 0));
  SetNowFunction(nullptr);
  // The default clock is the system clock: some day after this code was written.
  EXPECT_GT(Now(), EncodeDate(2024, 1, 1));
}

}  // namespace
}  // namespace zel
