// Text to number, date and time with the Brazilian settings.
#include "runtime/convert.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "runtime/host_error.h"

namespace zel {
namespace {

template <typename Fn>
std::string ErrorOf(Fn fn) {
  try {
    fn();
  } catch (const ConvertError& e) {
    return e.what();
  }
  return "no error";
}

TEST(StrToFloatTest, AcceptsTheLocaleFormOnly) {
  struct Case {
    const char* text;
    double value;
  };
  const Case good[] = {
      {"1234,56", 1234.56}, {" 12,5", 12.5},
      {"12,5 ", 12.5},      {"\t7\t", 7},
      {"-0,5", -0.5},       {"+3", 3},
      {"1E3", 1000},        {"1e+3", 1000},
      {",5", 0.5},          {"5,", 5},
      {"1,5E-2", 0.015},    {"1E-400", 0},
      {"0,1", 0.1},         {"123456789012345678901234567890", 1.2345678901234568e29},
  };
  for (const Case& c : good) {
    double out = -99;
    EXPECT_TRUE(TryStrToFloat(c.text, out)) << c.text;
    EXPECT_EQ(out, c.value) << c.text;
    EXPECT_EQ(StrToFloat(c.text), c.value) << c.text;
  }
  const char* bad[] = {"1.234,56", "1.234", "12.5", "1,2,3", "",    " ",    "R$ 5",
                       "1E",       "+-1",   "--1",  "1 2",   "$10", "0x10", "inf",
                       "nan",      "1E400", "-",    ",",     "E5",  "12a",  "1,5e2,5"};
  for (const char* text : bad) {
    double out = -99;
    EXPECT_FALSE(TryStrToFloat(text, out)) << text;
    EXPECT_EQ(out, -99) << text;
    EXPECT_EQ(ErrorOf([&] { StrToFloat(text); }),
              "'" + std::string(text) + "' is not a valid floating point value");
  }
  EXPECT_EQ(StrToFloatDef("x", 2.5), 2.5);
  FormatSettings us;
  us.decimal_separator = '.';
  EXPECT_EQ(StrToFloat("12.5", us), 12.5);
  double out = 0;
  EXPECT_FALSE(TryStrToFloat("12,5", out, us));
}

TEST(StrToIntTest, DecimalAndHexadecimal) {
  struct Case {
    const char* text;
    int value;
  };
  const Case good[] = {
      {"42", 42},
      {" 42", 42},
      {"-42", -42},
      {"+42", 42},
      {"00042", 42},
      {"$1F", 31},
      {"0x1F", 31},
      {"0X1f", 31},
      {"x1F", 31},
      {"-$1F", -31},
      {"$FFFFFFFF", -1},
      {"2147483647", 2147483647},
      {"-2147483648", std::numeric_limits<int>::min()},
  };
  for (const Case& c : good) {
    int out = -99;
    EXPECT_TRUE(TryStrToInt(c.text, out)) << c.text;
    EXPECT_EQ(out, c.value) << c.text;
  }
  const char* bad[] = {"42 ",   "2147483648", "-2147483649", "$100000000", "1,5", "",   "abc",
                       "1.000", "$",          "- 5",         "0b101",      "#5",  "12a"};
  for (const char* text : bad) {
    int out = -99;
    EXPECT_FALSE(TryStrToInt(text, out)) << text;
    EXPECT_EQ(out, -99);
    EXPECT_EQ(ErrorOf([&] { StrToInt(text); }),
              "'" + std::string(text) + "' is not a valid integer value");
  }
  EXPECT_EQ(StrToIntDef("x", 7), 7);
  EXPECT_EQ(StrToInt64("9223372036854775807"), std::numeric_limits<int64_t>::max());
  EXPECT_EQ(StrToInt64("-9223372036854775808"), std::numeric_limits<int64_t>::min());
  EXPECT_EQ(StrToInt64("$FFFFFFFFFFFFFFFF"), -1);
  EXPECT_EQ(StrToInt64("12345678901"), 12345678901);
  EXPECT_EQ(StrToInt64Def("9223372036854775808", 3), 3);
  EXPECT_THROW(StrToInt64("x"), ConvertError);
}

class StrToDateTest : public ::testing::Test {
 protected:
  // Read in 2026, as the two-digit-year cases assume.
  void SetUp() override {
    SetNowFunction([] { return EncodeDateTime(2026, 12, 10, 12, 0, 0, 0); });
  }
  void TearDown() override { SetNowFunction(nullptr); }
};

TEST_F(StrToDateTest, ShortDateOrderAndTwoDigitYearWindow) {
  struct Case {
    const char* text;
    int y, m, d;
  };
  const Case good[] = {
      {"5/1/24", 2024, 1, 5},   {"05/01/2024", 2024, 1, 5},  {"05/01/49", 2049, 1, 5},
      {"05/01/50", 2050, 1, 5}, {"05/01/99", 1999, 1, 5},    {"05/01/76", 1976, 1, 5},
      {"05/01/75", 2075, 1, 5}, {"05/01", 2026, 1, 5},       {" 05 / 01 / 2024 ", 2024, 1, 5},
      {"5/1/0024", 24, 1, 5},   {"29/02/2024", 2024, 2, 29}, {"05/01/2024/", 2024, 1, 5},
  };
  for (const Case& c : good) {
    TDateTime out = -99;
    EXPECT_TRUE(TryStrToDate(c.text, out)) << c.text;
    EXPECT_EQ(out, EncodeDate(c.y, c.m, c.d)) << c.text;
  }
  const char* bad[] = {"31/02/2024", "29/02/2023", "05-01-2024", "2024/01/05",       "05/13/2024",
                       "00/01/2024", "5",          "",           "05/01/2024 10:00", "5/1/24/1",
                       "a5/1/24",    "+5/1/24",    "05/01/12024"};
  for (const char* text : bad) {
    TDateTime out = -99;
    EXPECT_FALSE(TryStrToDate(text, out)) << text;
    EXPECT_EQ(out, -99);
    EXPECT_EQ(ErrorOf([&] { StrToDate(text); }), "'" + std::string(text) + "' is not a valid date");
  }
  EXPECT_EQ(StrToDateDef("x", 3), 3);

  FormatSettings iso;
  iso.short_date_format = "yyyy-mm-dd";
  iso.date_separator = '-';
  EXPECT_EQ(StrToDate("2024-01-05", iso), EncodeDate(2024, 1, 5));
  FormatSettings us;
  us.short_date_format = "m/d/yyyy";
  EXPECT_EQ(StrToDate("1/5/2024", us), EncodeDate(2024, 1, 5));
  EXPECT_EQ(StrToDate("1/5", us), EncodeDate(2026, 1, 5));
}

TEST_F(StrToDateTest, Times) {
  struct Case {
    const char* text;
    int h, n, s, ms;
  };
  const Case good[] = {
      {"14:05", 14, 5, 0, 0},   {"14:05:09", 14, 5, 9, 0}, {"2:5:9", 2, 5, 9, 0},
      {"14", 14, 0, 0, 0},      {" 14:05 ", 14, 5, 0, 0},  {"14:05:09,5", 14, 5, 9, 5},
      {"2:05 pm", 14, 5, 0, 0}, {"12:00 am", 0, 0, 0, 0},  {"12:30 PM", 12, 30, 0, 0},
  };
  for (const Case& c : good) {
    TDateTime out = -99;
    EXPECT_TRUE(TryStrToTime(c.text, out)) << c.text;
    EXPECT_EQ(out, EncodeTime(c.h, c.n, c.s, c.ms)) << c.text;
  }
  const char* bad[] = {"25:00",    "24:00",       "12:60",       "14:05:60", "14h05",
                       "",         "14:05:09:01", "14:",         ":05",      "-1:00",
                       "13:00 pm", "0:30 am",     "14:05:09.123"};
  for (const char* text : bad) {
    TDateTime out = -99;
    EXPECT_FALSE(TryStrToTime(text, out)) << text;
    EXPECT_EQ(out, -99);
    EXPECT_EQ(ErrorOf([&] { StrToTime(text); }), "'" + std::string(text) + "' is not a valid time");
  }
}

TEST_F(StrToDateTest, DatesWithTimes) {
  struct Case {
    const char* text;
    TDateTime value;
  };
  const Case good[] = {
      {"05/01/2024 14:05", EncodeDateTime(2024, 1, 5, 14, 5, 0, 0)},
      {"05/01/2024  14:05:09 ", EncodeDateTime(2024, 1, 5, 14, 5, 9, 0)},
      {"05/01/2024", EncodeDate(2024, 1, 5)},
      {"14:05", EncodeTime(14, 5, 0, 0)},
      {"05/01 14:05", EncodeDateTime(2026, 1, 5, 14, 5, 0, 0)},
      {"29/12/1899 06:00", -1.25},
  };
  for (const Case& c : good) {
    TDateTime out = -99;
    EXPECT_TRUE(TryStrToDateTime(c.text, out)) << c.text;
    EXPECT_EQ(out, c.value) << c.text;
  }
  const char* bad[] = {"05/01/2024 25:00", "x", "", "31/02/2024 10:00", "05/01/2024 10:00 x"};
  for (const char* text : bad) {
    TDateTime out = -99;
    EXPECT_FALSE(TryStrToDateTime(text, out)) << text;
    EXPECT_EQ(ErrorOf([&] { StrToDateTime(text); }),
              "'" + std::string(text) + "' is not a valid date and time");
  }
}

}  // namespace
}  // namespace zel
