// The host runtime's number and date-time formatting. Every routine takes the
// locale last, Brazilian by default; the process locale is never used.
//
// Rounding is half away from zero, once, at the last digit shown, on the
// 18-significant-digit decimal expansion of the double, as the runtime does:
// the double 1.005 is 1.00499999999999989..., so FormatFloat("0.00") and
// FloatToStrF(kFixed, 15, 2) both give "1,00"; 2.675 gives "2,67".
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "runtime/datetime.h"
#include "runtime/format_settings.h"

namespace zel {

// Pattern formatting of a number. The pattern has up to three sections
// separated by ';': positive;negative;zero. The negative section applies to
// values below zero, the zero section to zero and to any value that rounds to
// zero at the chosen section's decimals ("0.00;(0.00);zero" of -0.001 and of
// 0.004 is "zero"); an empty or missing section uses the first. In a section: '0' digit
// placeholder, '#' optional digit, the first '.' the decimal separator (written as
// fs.decimal_separator, left out when no decimals are shown), ',' turns on
// thousands grouping (fs.thousand_separator), "E+00"/"E-00"/"e+0" scientific
// form, '...' and "..." literal texts, any other character as itself.
// Integer digits beyond the placeholders go to the first one; placeholders
// from the first '0' on are zero-filled. Decimals are rounded half away from
// zero on the 18-digit expansion; '#' decimals drop trailing zeros.
// When the first section formats a negative value, "-" starts the result
// ("R$ #0.00" of -5 is "-R$ 5,00"), but not when the value rounds to zero
// ("#0.00" of -0.001 is "0,00", "#" of -0.125 is ""). A value that rounds to
// zero shows '#' decimals down to the place of its first digit ("#.##" of
// 0.003 is ",00"). Grouping applies to the scientific form too
// ("#,##0.00E+00" of 1234567 is "1.234,57E+03"). An empty pattern, and
// values of 1E18 and beyond with a pattern that is not scientific, give
// FloatToStr. NaN gives "NAN", infinities "INF"/"-INF".
std::string FormatFloat(std::string_view format, double value,
                        const FormatSettings& fs = BrazilianFormatSettings());

// General form with 15 significant digits: fixed notation from 1E-5 up to
// below 1E15, otherwise "1E15", "-2,5E-7", "1,23456789012346E15".
std::string FloatToStr(double value, const FormatSettings& fs = BrazilianFormatSettings());

enum class FloatFormat { kGeneral, kExponent, kFixed, kNumber, kCurrency };

// `precision` counts significant digits (2..18; below 2 counts as 2). The
// value is rounded once: kGeneral and kExponent at `precision` digits,
// kFixed, kNumber and kCurrency at `digits` decimals or at `precision`
// digits, whichever comes first (1.005, 2.675, 3.885 with 15, 2 give "1,00",
// "2,67", "3,88"). Then:
// - kGeneral: shortest fixed form; exponent form ("1E15", "-2,5E-7") when
//   the integer digits exceed `precision` or the value is below 1E-5;
//   `digits` (0..4) is the minimum number of exponent digits.
// - kExponent: "d,dddE+xx" with precision-1 decimals and at least `digits`
//   (0..4) exponent digits.
// - kFixed: `digits` (0..18) decimals, no grouping: "-1234,50".
// - kNumber: as kFixed with thousands grouping: "-1.234,50".
// - kCurrency: as kNumber placed by fs.currency_format and
//   fs.negative_currency_format: "R$ 1,00", "-R$ 1.234,50".
// kFixed, kNumber and kCurrency fall back to kGeneral when the integer digits
// exceed `precision`, with the exponent padded to `digits` (0..4) places
// (1E15 with kNumber, 15, 3 is "1E015"). A negative value whose shown digits
// are all zero is written without sign ("0,00" for -0.004).
std::string FloatToStrF(double value, FloatFormat format, int precision, int digits,
                        const FormatSettings& fs = BrazilianFormatSettings());

// FloatToStrF(value, kCurrency, 15, fs.currency_decimals): "R$ 1.234,50".
std::string CurrToStr(double value, const FormatSettings& fs = BrazilianFormatSettings());

std::string IntToStr(int64_t value);
// Upper-case hexadecimal, at least `digits` digits, zero-padded; a negative
// value is written as its 64-bit two's complement.
std::string IntToHex(int64_t value, int digits);

// One argument of Format.
class FormatArg {
 public:
  FormatArg(int v) : value_(int64_t{v}) {}        // NOLINT: implicit by design
  FormatArg(long v) : value_(int64_t{v}) {}       // NOLINT
  FormatArg(long long v) : value_(int64_t{v}) {}  // NOLINT
  FormatArg(unsigned v) : value_(int64_t{v}) {}   // NOLINT
  // Values above the int64_t range wrap, as the runtime's 64-bit integers do.
  FormatArg(unsigned long v) : value_(static_cast<int64_t>(v)) {}       // NOLINT
  FormatArg(unsigned long long v) : value_(static_cast<int64_t>(v)) {}  // NOLINT
  FormatArg(double v) : value_(v) {}                                    // NOLINT
  // A character is a one-character text (for %s), as in the runtime.
  FormatArg(char v) : value_(std::string(1, v)) {}           // NOLINT
  FormatArg(const char* v) : value_(std::string(v)) {}       // NOLINT
  FormatArg(std::string v) : value_(std::move(v)) {}         // NOLINT
  FormatArg(std::string_view v) : value_(std::string(v)) {}  // NOLINT

  const std::variant<int64_t, double, std::string>& value() const { return value_; }

 private:
  std::variant<int64_t, double, std::string> value_;
};

// The runtime's Format. Directives: "%" [index ":"] ["-"] [width] ["." prec]
// type, where width and prec may be "*" (taken from the next integer
// argument) and type is one of
//   d, u  integer (prec = minimum digits, zero-padded)
//   x     integer in upper-case hexadecimal (prec = minimum digits)
//   s     text (prec = maximum characters)
//   f     fixed, prec decimals (default 2, at most 18; 1E18 and beyond
//         give the general form), no grouping:
//         "1234,57"; rounded on the 18-digit expansion like FormatFloat
//         (so the double 1.005 with "%.2f" is "1,00")
//   n     as f with thousands grouping: "1.234,57"
//   m     as n placed as currency (prec default fs.currency_decimals):
//         "R$ 1.234,57"
//   e     scientific (prec significant digits, default 15): "1,23450000000000E+003"
//   g     general (prec significant digits, default 15)
//   %     "%" itself
// Type letters are case-insensitive. "-" left-justifies within width. The
// integer types print a negative value for u and x as its two's complement
// (32 bits wide when it fits in 32 bits). Failures raise ConvertError naming
// the whole format text: a directive whose argument is of the wrong kind (an
// integer type with a float or text, a float type or %s with an integer) or
// an unknown or incomplete directive: "Format '%d' invalid or incompatible
// with argument"; too few arguments: "No argument for format '%d %d'".
std::string Format(std::string_view format, std::initializer_list<FormatArg> args,
                   const FormatSettings& fs = BrazilianFormatSettings());
std::string Format(std::string_view format, const std::vector<FormatArg>& args,
                   const FormatSettings& fs = BrazilianFormatSettings());

// Date-time patterns, case-insensitive:
//   d dd ddd dddd     day, two digits, short and long day name
//   ddddd dddddd      fs.short_date_format, fs.long_date_format
//   m mm mmm mmmm     month, two digits, short and long month name; m/mm right
//                     after an h/hh token (literals in between allowed) are
//                     minutes instead
//   yy yyyy           year (also y/yyy: two digits; more: four)
//   h hh  n nn  s ss  hour, minute, second (hh nn ss zero-padded)
//   z zzz             milliseconds
//   t tt              fs.short_time_format, fs.long_time_format
//   c                 short date, then long time unless the time is midnight
//   am/pm a/p ampm    12-hour clock with that marker (ampm: fs.time_am_string /
//                     fs.time_pm_string); h/hh then run 1..12
//   /  :              fs.date_separator, fs.time_separator
//   '...' "..."       literal text
// Any other character is copied. An empty pattern means "c".
std::string FormatDateTime(std::string_view format, TDateTime value,
                           const FormatSettings& fs = BrazilianFormatSettings());
std::string DateToStr(TDateTime value, const FormatSettings& fs = BrazilianFormatSettings());
std::string TimeToStr(TDateTime value, const FormatSettings& fs = BrazilianFormatSettings());
// Short date and long time; the time is left out at exactly midnight.
std::string DateTimeToStr(TDateTime value, const FormatSettings& fs = BrazilianFormatSettings());

}  // namespace zel
