// FormatDateTime and the date-time texts with the Brazilian settings.
#include <gtest/gtest.h>

#include "runtime/datetime.h"
#include "runtime/format.h"

namespace zel {
namespace {

TEST(FormatDateTimeTest, Tokens) {
  const TDateTime t = EncodeDateTime(2024, 1, 5, 3, 4, 5, 6);
  struct Case {
    const char* pattern;
    const char* expected;
  };
  const Case cases[] = {
      {"d dd m mm yy yyyy", "5 05 1 01 24 2024"},
      {"h hh n nn s ss z zzz", "3 03 4 04 5 05 6 006"},
      {"y yyy yyyyy zz", "24 2024 2024 006"},
      {"ddd dddd mmm mmmm", "sex sexta-feira jan janeiro"},
      {"hh:mm", "03:04"},  // m after h is minutes
      {"dd/mm/yyyy hh:nn:ss", "05/01/2024 03:04:05"},
      {"ddmmyyyyhhmss", "0501202403405"},
      {"ddmmyyyy", "05012024"},
      {"hhnn", "0304"},
      {"mmhh", "0103"},
      {"hh/mm", "03/04"},
      {"hh mm", "03 04"},        // blanks do not break the hour-minute link
      {"hh'h'mm", "03h04"},      // nor do quoted texts
      {"hh:nn mm", "03:04 01"},  // after a minute token m is the month again
      {"HH:MM D/M/YY", "03:04 5/1/24"},
      {"yyyy-mm-dd\"T\"hh:nn:ss", "2024-01-05T03:04:05"},
      {"'dia' d", "dia 5"},
      {"ddddd", "05/01/2024"},
      {"dddddd", "sexta-feira, 5 de janeiro de 2024"},
      {"t tt", "03:04 03:04:05"},
      {"c", "05/01/2024 03:04:05"},
      {"", "05/01/2024 03:04:05"},
      {"hh:nn am/pm", "03:04 am"},
      {"h:nn AM/PM", "3:04 AM"},
  };
  for (const Case& c : cases) EXPECT_EQ(FormatDateTime(c.pattern, t), c.expected) << c.pattern;

  EXPECT_EQ(FormatDateTime("h:nn a/p", EncodeTime(15, 4, 0, 0)), "3:04 p");
  EXPECT_EQ(FormatDateTime("h:nn am/pm", EncodeTime(0, 4, 0, 0)), "12:04 am");
  EXPECT_EQ(FormatDateTime("ampm", EncodeTime(15, 0, 0, 0)), "PM");
  EXPECT_EQ(FormatDateTime("dddd dd mmmm", EncodeDate(2024, 3, 2)), "s\341bado 02 mar\347o");
  EXPECT_EQ(FormatDateTime("dd/mm/yyyy hh:nn", -1.25), "29/12/1899 06:00");
  EXPECT_EQ(FormatDateTime("dd/mm/yyyy hh:nn", 2.75), "01/01/1900 18:00");
  EXPECT_EQ(FormatDateTime("hh:nn:ss.zzz", EncodeTime(23, 59, 59, 999)), "23:59:59.999");
}

TEST(FormatDateTimeTest, SeparatorsComeFromTheSettings) {
  FormatSettings fs;
  fs.date_separator = '-';
  fs.time_separator = '.';
  const TDateTime t = EncodeDateTime(2024, 1, 5, 3, 4, 5, 0);
  EXPECT_EQ(FormatDateTime("dd/mm/yyyy hh:nn:ss", t, fs), "05-01-2024 03.04.05");
  EXPECT_EQ(FormatDateTime("dd'/'mm", t, fs), "05/01");
  // A short date format that names "c" itself does not recurse forever.
  fs.short_date_format = "c";
  EXPECT_NO_THROW(FormatDateTime("c", t, fs));
}

TEST(FormatDateTimeTest, DateTimeToStrDropsTheTimeAtMidnight) {
  const TDateTime t = EncodeDateTime(2024, 1, 5, 3, 4, 5, 6);
  EXPECT_EQ(DateToStr(t), "05/01/2024");
  EXPECT_EQ(TimeToStr(t), "03:04:05");
  EXPECT_EQ(DateTimeToStr(t), "05/01/2024 03:04:05");
  EXPECT_EQ(DateTimeToStr(EncodeDate(2024, 1, 5)), "05/01/2024");
  EXPECT_EQ(DateTimeToStr(-1.25), "29/12/1899 06:00:00");
  EXPECT_EQ(TimeToStr(0), "00:00:00");
}

}  // namespace
}  // namespace zel
