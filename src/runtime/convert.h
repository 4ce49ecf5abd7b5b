// The host runtime's text-to-value conversions with an explicit locale. The
// plain forms raise ConvertError with the runtime's message naming the text;
// the Try forms return false and leave `out` unchanged; the Def forms return
// the default.
#pragma once

#include <cstdint>
#include <string_view>

#include "runtime/datetime.h"
#include "runtime/format_settings.h"

namespace zel {

// Decimal number: blanks (and other control characters up to ' ') around it
// are allowed; an optional sign; digits with at most one fs.decimal_separator;
// an optional exponent ("1E3", "2,5e-7"). Thousands separators, currency
// symbols, any other decimal separator, "INF"/"NAN" and a text without
// mantissa digits ("," or "E5") are rejected. A value beyond the double range
// is rejected; one too small for it reads as 0.
// "'abc' is not a valid floating point value".
double StrToFloat(std::string_view text, const FormatSettings& fs = BrazilianFormatSettings());
bool TryStrToFloat(std::string_view text, double& out,
                   const FormatSettings& fs = BrazilianFormatSettings());
double StrToFloatDef(std::string_view text, double def,
                     const FormatSettings& fs = BrazilianFormatSettings());

// Integer: leading blanks allowed (trailing ones are not, as in the
// runtime); optional sign; decimal digits, or hexadecimal after "$", "0x",
// "0X", "x" or "X". A decimal value out of range is rejected; a hexadecimal
// one is a bit pattern of up to 32 (StrToInt: "$FFFFFFFF" is -1) or 64 bits.
// "'x' is not a valid integer value".
int StrToInt(std::string_view text);
bool TryStrToInt(std::string_view text, int& out);
int StrToIntDef(std::string_view text, int def);
int64_t StrToInt64(std::string_view text);
bool TryStrToInt64(std::string_view text, int64_t& out);
int64_t StrToInt64Def(std::string_view text, int64_t def);

// Dates are read by the order of day, month and year in
// fs.short_date_format, as numbers separated by fs.date_separator, blanks
// around allowed: "5/1/24", "05/01/2024" (one trailing separator is
// tolerated). Two numbers give that day of the current year (from Now()); a
// single number is no date; a year of one or two digits is placed by
// fs.two_digit_year_century_window, a longer one is taken as written ("0024"
// is the year 24). An impossible date fails.
// "'x' is not a valid date".
TDateTime StrToDate(std::string_view text, const FormatSettings& fs = BrazilianFormatSettings());
bool TryStrToDate(std::string_view text, TDateTime& out,
                  const FormatSettings& fs = BrazilianFormatSettings());
TDateTime StrToDateDef(std::string_view text, TDateTime def,
                       const FormatSettings& fs = BrazilianFormatSettings());

// Times: hour[:minute[:second[,msec]]] with fs.time_separator and
// fs.decimal_separator (the milliseconds are read as a whole number, as the
// runtime does: ",5" is 5 ms), optionally followed by AM/PM (or
// fs.time_am_string / fs.time_pm_string; then the hour must be 1..12). An hour
// of 24 or more, a minute or second of 60 or more fail.
// "'x' is not a valid time".
TDateTime StrToTime(std::string_view text, const FormatSettings& fs = BrazilianFormatSettings());
bool TryStrToTime(std::string_view text, TDateTime& out,
                  const FormatSettings& fs = BrazilianFormatSettings());

// A date, optionally followed by blanks and a time; or a time alone (day 0).
// "'x' is not a valid date and time".
TDateTime StrToDateTime(std::string_view text,
                        const FormatSettings& fs = BrazilianFormatSettings());
bool TryStrToDateTime(std::string_view text, TDateTime& out,
                      const FormatSettings& fs = BrazilianFormatSettings());

}  // namespace zel
