// FormatFloat, FloatToStr and FloatToStrF with the Brazilian settings. The
// expected texts are the runtime's own output for the same doubles.
#include <gtest/gtest.h>

#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "runtime/format.h"

namespace zel {
namespace {

struct PatternCase {
  double value;
  std::vector<std::string> expected;  // one per pattern in kPatterns
};

const std::vector<std::string> kPatterns = {
    "#0.00", "000000.00", ".00", "00.00", "#,##0.00", "0.00#", "000000000000.00", "#0.000", "0"};

TEST(FormatFloatTest, PatternsRoundHalfAwayOnTheDoubleExpansion) {
  const std::vector<PatternCase> cases = {
      {0, {"0,00", "000000,00", ",00", "00,00", "0,00", "0,00", "000000000000,00", "0,000", "0"}},
      {0.125,
       {"0,13", "000000,13", ",13", "00,13", "0,13", "0,125", "000000000000,13", "0,125", "0"}},
      {1.005,
       {"1,00", "000001,00", "1,00", "01,00", "1,00", "1,005", "000000000001,00", "1,005", "1"}},
      {12.345,
       {"12,35", "000012,35", "12,35", "12,35", "12,35", "12,345", "000000000012,35", "12,345",
        "12"}},
      {99.995,
       {"100,00", "000100,00", "100,00", "100,00", "100,00", "99,995", "000000000100,00", "99,995",
        "100"}},
      {-0.001,
       {"0,00", "000000,00", ",00", "00,00", "0,00", "-0,001", "000000000000,00", "-0,001", "0"}},
      {-0.005,
       {"-0,01", "-000000,01", "-,01", "-00,01", "-0,01", "-0,005", "-000000000000,01", "-0,005",
        "0"}},
      {1234.5,
       {"1234,50", "001234,50", "1234,50", "1234,50", "1.234,50", "1234,50", "000000001234,50",
        "1234,500", "1235"}},
      {1234567.891,
       {"1234567,89", "1234567,89", "1234567,89", "1234567,89", "1.234.567,89", "1234567,891",
        "000001234567,89", "1234567,891", "1234568"}},
      {2.675,
       {"2,67", "000002,67", "2,67", "02,67", "2,67", "2,675", "000000000002,67", "2,675", "3"}},
      {0.5, {"0,50", "000000,50", ",50", "00,50", "0,50", "0,50", "000000000000,50", "0,500", "1"}},
      {-2.5,
       {"-2,50", "-000002,50", "-2,50", "-02,50", "-2,50", "-2,50", "-000000000002,50", "-2,500",
        "-3"}},
      {1.2346,
       {"1,23", "000001,23", "1,23", "01,23", "1,23", "1,235", "000000000001,23", "1,235", "1"}},
      // Rounds to zero everywhere: the texts of zero itself, unsigned.
      {-0.0004,
       {"0,00", "000000,00", ",00", "00,00", "0,00", "0,00", "000000000000,00", "0,000", "0"}},
  };
  for (const PatternCase& c : cases) {
    for (size_t i = 0; i < kPatterns.size(); ++i) {
      EXPECT_EQ(FormatFloat(kPatterns[i], c.value), c.expected[i])
          << "value " << c.value << " pattern " << kPatterns[i];
    }
  }
}

TEST(FormatFloatTest, SectionsLiteralsAndGrouping) {
  struct Case {
    const char* pattern;
    double value;
    const char* expected;
  };
  const Case cases[] = {
      {"0.00;(0.00);zero", -1234.567, "(1234,57)"},
      {"0.00;(0.00);zero", 0, "zero"},
      {"0.00;(0.00);zero", 0.004, "zero"},  // rounds to zero: the zero section
      {"0.00;(0.00);zero", -0.001, "zero"},
      {"0.00;(0.00);zero", 0.005, "0,01"},
      {"0.00;(0.00)", -0.001, "0,00"},  // no zero section: the first, unsigned
      {"0.00;;zero", -5, "-5,00"},      // an empty section falls back to the first
      {"0", 1.5, "2"},
      {"0", -2.5, "-3"},
      {"#", 0, ""},
      {"#.##", 5, "5"},
      {"#.##", 5.1, "5,1"},
      {"#.##", 0.5, ",5"},
      {"#,##0", 1234567, "1.234.567"},
      {"#,##0.00", -1234567.891, "-1.234.567,89"},
      {"#,##0.00", 999.999, "1.000,00"},
      {"0,000.00", 1234, "1.234,00"},
      {"R$ #0.00", -5, "-R$ 5,00"},
      {"\"R$\" #,##0.00", -1234.5, "-R$ 1.234,50"},
      {"000-000", 12345, "012-345"},
      {"0.0#0", 1.5, "1,500"},
      {"'abc'0.0", 3.14, "abc3,1"},
      {"0.00%", 12.5, "12,50%"},
      {"0.", 5, "5"},
      {"0.0", -0.04, "0,0"},
      {"0.0", -0.05, "-0,1"},
      // A negative value that rounds to zero is written as zero is, without
      // its sign: no digit for a '#' place, in whichever section it lands.
      {"0.0#", -0.0006, "0,0"},
      {"#.##", -0.0005, ""},
      {"0.##", -0.004, "0"},
      {"#,##0.0#", -0.0006, "0,0"},
      {"#.##;(#.##)", -0.0005, ""},
      {"0.0#;(0.0#);0.0#", -0.0006, "0,0"},
      {"00.00", 123.4, "123,40"},
      {"#0.00", 0.005, "0,01"},
      {"0.00E+00", 1234.5, "1,23E+03"},
      {"0.00E-00", 0.00012345, "1,23E-04"},
      {"0.###E+0", -1234.5, "-1,235E+3"},
      {"0", 1e20, "1E20"},
      {"", 1.5, "1,5"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatFloat(c.pattern, c.value), c.expected) << c.pattern << " of " << c.value;
  }
}

TEST(FloatToStrTest, FifteenSignificantDigitsAndExponentForm) {
  struct Case {
    double value;
    const char* expected;
  };
  const Case cases[] = {
      {0.1, "0,1"},
      {1.0 / 3, "0,333333333333333"},
      {2.0 / 3, "0,666666666666667"},
      {999999999999999.0, "999999999999999"},
      {1e15, "1E15"},
      {1234567890123456.0, "1,23456789012346E15"},
      {0.00001, "0,00001"},
      {0.00001234, "0,00001234"},
      {0.000001, "1E-6"},
      {-2.5e-7, "-2,5E-7"},
      {0, "0"},
      {-1234.5, "-1234,5"},
      {1.005, "1,005"},
  };
  for (const Case& c : cases) EXPECT_EQ(FloatToStr(c.value), c.expected) << c.value;
}

TEST(FloatToStrFTest, RoundsOnceAtTheLastDigitShown) {
  struct Case {
    double value;
    FloatFormat format;
    const char* expected;
  };
  const Case cases[] = {
      {1.005, FloatFormat::kFixed, "1,00"},
      {2.675, FloatFormat::kFixed, "2,67"},
      {3.885, FloatFormat::kFixed, "3,88"},
      {0.995, FloatFormat::kFixed, "0,99"},
      {12.345, FloatFormat::kFixed, "12,35"},
      {0.125, FloatFormat::kFixed, "0,13"},
      {-0.004, FloatFormat::kFixed, "0,00"},
      {-0.005, FloatFormat::kFixed, "-0,01"},
      {-1234.5, FloatFormat::kFixed, "-1234,50"},
      {-1234.5, FloatFormat::kNumber, "-1.234,50"},
      {1234567.891, FloatFormat::kNumber, "1.234.567,89"},
      {1.005, FloatFormat::kCurrency, "R$ 1,00"},
      {129809.495, FloatFormat::kNumber, "129.809,49"},
      {-1234.5, FloatFormat::kCurrency, "-R$ 1.234,50"},
      {1234567.891, FloatFormat::kCurrency, "R$ 1.234.567,89"},
      {-0.001, FloatFormat::kCurrency, "R$ 0,00"},
      {0.125, FloatFormat::kExponent, "1,25000000000000E-01"},
      {-1234.5, FloatFormat::kExponent, "-1,23450000000000E+03"},
      {0, FloatFormat::kExponent, "0,00000000000000E+00"},
      {99.995, FloatFormat::kGeneral, "99,995"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FloatToStrF(c.value, c.format, 15, 2), c.expected)
        << c.value << " format " << static_cast<int>(c.format);
  }
  EXPECT_EQ(FloatToStrF(1234.5678, FloatFormat::kFixed, 6, 2), "1234,57");
  EXPECT_EQ(FloatToStrF(1234.5678, FloatFormat::kFixed, 5, 2), "1234,60");
  EXPECT_EQ(CurrToStr(-5), "-R$ 5,00");
}

// Corners where the runtime's own routines differ from a plain
// round-to-nearest implementation.
TEST(FloatFormattingTest, RuntimeCorners) {
  struct Case {
    std::string got;
    const char* expected;
  };
  const Case cases[] = {
      // Below two significant digits the precision counts as two.
      {FloatToStrF(0.875, FloatFormat::kGeneral, 1, 0), "0,88"},
      {FloatToStrF(0.875, FloatFormat::kGeneral, 0, 0), "0,88"},
      {FloatToStrF(1234.5, FloatFormat::kExponent, 1, 2), "1,2E+03"},
      // The general fallback of fixed, number and currency pads the exponent
      // to the digits.
      {FloatToStrF(1e15, FloatFormat::kNumber, 15, 3), "1E015"},
      {FloatToStrF(1e15, FloatFormat::kFixed, 15, 2), "1E15"},
      {FloatToStrF(-1234567.0, FloatFormat::kCurrency, 3, 4), "-1,23E0006"},
      {FloatToStrF(999999999999999.0, FloatFormat::kFixed, 15, 2), "999999999999999,00"},
      // Scientific patterns also for 1E18 and beyond; grouping kept there.
      {FormatFloat("0.00E+00", 1.5e20), "1,50E+20"},
      {FormatFloat("0.00E+00", -2.5e300), "-2,50E+300"},
      {FormatFloat("#,##0.00E+00", 1234567), "1.234,57E+03"},
      {FormatFloat("0.00", 1.5e20), "1,5E20"},
      // A value that rounds to zero: no sign, '#' decimals down to its first
      // digit's place.
      {FormatFloat("#.##", 0.003), ",00"},
      {FormatFloat("#.##", 0.0003), ",00"},
      {FormatFloat("#.##", 0), ""},
      {FormatFloat("#", -0.125), ""},
      {FormatFloat("0.00", -0.001), "0,00"},
      {FormatFloat("#,##0.00", -0.004), "0,00"},
      {FormatFloat(",0.00", 129809.495), "129.809,49"},
      {FormatFloat("0.00", 0.995), "0,99"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.got, c.expected);
}

// Every value 0.005, 0.015 ... 999.995 with two decimals, against the exact
// binary value rounded half away from zero (the C library prints it exactly).
TEST(FloatToStrFTest, TwoDecimalsAgreeWithTheExactValueOverAWholeRange) {
  int differing = 0;
  for (int i = 0; i < 100000; ++i) {
    const double value = (2.0 * i + 1) / 200;
    char exact[64];
    std::snprintf(exact, sizeof exact, "%.30f", value);
    const std::string text(exact);
    const size_t point = text.find('.');
    long long cents =
        std::stoll(text.substr(0, point)) * 100 + std::stoll(text.substr(point + 1, 2));
    if (text[point + 3] >= '5') ++cents;
    char expected[64];
    std::snprintf(expected, sizeof expected, "%lld,%02lld", cents / 100, cents % 100);
    const std::string got = FloatToStrF(value, FloatFormat::kFixed, 15, 2);
    if (got != expected) {
      if (++differing <= 5) {
        ADD_FAILURE() << exact << " gave " << got << ", not " << expected;
      }
    }
    if (i % 97 == 0) {
      EXPECT_EQ(FormatFloat("0.00", value), got) << exact;
    }
  }
  EXPECT_EQ(differing, 0);
}

TEST(FloatFormattingTest, OtherSettingsAreHonoured) {
  FormatSettings us;
  us.decimal_separator = '.';
  us.thousand_separator = ',';
  us.currency_string = "$";
  us.currency_format = 0;
  us.negative_currency_format = 0;
  EXPECT_EQ(FormatFloat("#,##0.00", 1234567.891, us), "1,234,567.89");
  EXPECT_EQ(FloatToStr(0.5, us), "0.5");
  EXPECT_EQ(FloatToStrF(1234.5, FloatFormat::kCurrency, 15, 2, us), "$1,234.50");
  EXPECT_EQ(FloatToStrF(-1234.5, FloatFormat::kCurrency, 15, 2, us), "($1,234.50)");
}

TEST(FloatFormattingTest, NonFiniteValuesAndIntegers) {
  EXPECT_EQ(FloatToStr(std::numeric_limits<double>::quiet_NaN()), "NAN");
  EXPECT_EQ(FormatFloat("0.00", -std::numeric_limits<double>::infinity()), "-INF");
  EXPECT_EQ(IntToStr(-9223372036854775807LL - 1), "-9223372036854775808");
  EXPECT_EQ(IntToHex(255, 4), "00FF");
  EXPECT_EQ(IntToHex(-1, 1), "FFFFFFFFFFFFFFFF");
}

}  // namespace
}  // namespace zel
