// libFuzzer target: number and date texts as hosts and printers send them.
// Any text is either read or refused by the Try* routines (never a crash); a
// value that was read is written again and reads back the same; any double
// (NaN, infinities and denormals included) formats with the patterns the
// driver prints with and with an arbitrary pattern.
//
// Input: one selector byte, eight bytes of a double, then the text (also
// used as a FormatFloat, FormatDateTime and Format pattern).
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "runtime/convert.h"
#include "runtime/datetime.h"
#include "runtime/format.h"
#include "runtime/format_settings.h"
#include "runtime/host_error.h"

namespace {

// The runtime's date range: 01/01/0001 to 31/12/9999.
constexpr double kFirstDay = -693593.0;
constexpr double kLastDay = 2958466.0;

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

double RawDouble(FuzzedDataProvider& in) {
  uint64_t bits = in.ConsumeIntegral<uint64_t>();
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

void Numbers(const std::string& text, double raw, const zel::FormatSettings& fs) {
  double value = 0;
  if (zel::TryStrToFloat(text, value, fs) && std::isfinite(value)) {
    double again = 0;
    const std::string written = zel::FloatToStr(value, fs);
    Check(zel::TryStrToFloat(written, again, fs));
    Check(again == value || std::fabs(again - value) <= std::fabs(value) * 1e-14);
  }
  int integer = 0;
  if (zel::TryStrToInt(text, integer)) Check(zel::StrToInt(zel::IntToStr(integer)) == integer);
  int64_t wide = 0;
  zel::TryStrToInt64(text, wide);
  try {
    zel::StrToFloat(text, fs);
  } catch (const zel::ConvertError&) {
  }

  for (const char* pattern : {"#0.00", "#0.000", "000000.00", "0.00", ".00", "00.00", "#,##0.00",
                              "0.00#", "000000000000.00", "0.00E+00", "#,##0.00;-#,##0.00;zero"}) {
    zel::FormatFloat(pattern, raw, fs);
    zel::FormatFloat(pattern, value, fs);
  }
  zel::FormatFloat(text, raw, fs);
  zel::FloatToStr(raw, fs);
  for (int digits = 0; digits <= 4; ++digits) {
    zel::FloatToStrF(raw, zel::FloatFormat::kGeneral, 15, digits, fs);
    zel::FloatToStrF(raw, zel::FloatFormat::kExponent, 15, digits, fs);
    zel::FloatToStrF(raw, zel::FloatFormat::kFixed, 15, digits, fs);
    zel::FloatToStrF(raw, zel::FloatFormat::kNumber, 15, digits, fs);
    zel::FloatToStrF(raw, zel::FloatFormat::kCurrency, 15, digits, fs);
  }
}

// The text as a Format pattern over integer, float and text arguments. A
// width or precision of more than five digits is left out: it asks for a
// result of gigabytes, which is the caller's doing.
void Formats(const std::string& text, double raw) {
  int run = 0;
  for (char c : text) {
    run = c >= '0' && c <= '9' ? run + 1 : 0;
    if (run > 5) return;
  }
  int64_t integer;  // the same eight bytes as an integer
  std::memcpy(&integer, &raw, sizeof integer);
  try {
    zel::Format(text, {zel::FormatArg(integer), zel::FormatArg(raw), zel::FormatArg(text),
                       zel::FormatArg(integer), zel::FormatArg(raw)});
  } catch (const zel::ConvertError&) {
  }
  try {
    zel::Format(text, {zel::FormatArg(raw), zel::FormatArg(text), zel::FormatArg(integer)});
  } catch (const zel::ConvertError&) {
  }
}

// A date-time read from the text is written with the short date and long
// time and reads back to the same day (and second).
void Dates(const std::string& text, double raw, const zel::FormatSettings& fs) {
  zel::TDateTime when = 0;
  if (zel::TryStrToDate(text, when, fs)) {
    zel::TDateTime again = 0;
    Check(zel::TryStrToDate(zel::DateToStr(when, fs), again, fs));
    Check(again == when);
  }
  if (zel::TryStrToTime(text, when, fs)) {
    Check(when >= 0 && when < 1);
    zel::TimeToStr(when, fs);
  }
  if (zel::TryStrToDateTime(text, when, fs)) {
    zel::TDateTime again = 0;
    const std::string written = zel::FormatDateTime("dd/mm/yyyy hh:nn:ss.zzz", when, fs);
    Check(zel::TryStrToDateTime(zel::DateTimeToStr(when, fs), again, fs));
    Check(zel::DateOf(again) == zel::DateOf(when));
    (void)written;
  }
  // Formatting: any pattern, any moment of the runtime's date range.
  if (std::isfinite(raw)) {
    const double span = kLastDay - kFirstDay;
    const double moment = kFirstDay + std::fmod(std::fabs(raw), span);
    zel::FormatDateTime(text, moment, fs);
    zel::FormatDateTime("ddmmyyyyhhmmss", moment, fs);
    zel::DateTimeToStr(moment, fs);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A fixed clock: a date without a year takes the current one.
  static const bool clock_fixed = [] {
    zel::SetNowFunction([] { return zel::EncodeDateTime(2026, 12, 10, 10, 0, 0, 0); });
    return true;
  }();
  (void)clock_fixed;
  FuzzedDataProvider in(data, size);
  const uint8_t selector = in.ConsumeIntegral<uint8_t>();
  const double raw = RawDouble(in);
  const std::string text = in.ConsumeRemainingBytesAsString();

  // Brazilian settings, or the same with '.' decimals and ',' thousands, as
  // a host with another locale would read them.
  zel::FormatSettings fs = zel::BrazilianFormatSettings();
  if (selector & 1) {
    fs.decimal_separator = '.';
    fs.thousand_separator = ',';
  }
  if (selector & 2) {
    fs.short_date_format = "yyyy-mm-dd";
    fs.date_separator = '-';
  }
  Numbers(text, raw, fs);
  Dates(text, raw, fs);
  Formats(text, raw);
  return 0;
}
