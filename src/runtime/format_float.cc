// FormatFloat, FloatToStr, FloatToStrF and the integer texts.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "runtime/format.h"
#include "runtime/format_digits.h"

namespace zel {
namespace {

using format_internal::Digits;
using format_internal::ExpandDouble;
using format_internal::FractionDigits;
using format_internal::GroupThousands;
using format_internal::IntegerDigits;
using format_internal::RoundToDecimals;
using format_internal::RoundToDigits;

// The runtime writes non-finite values with these words.
bool NonFinite(double value, std::string& out) {
  if (std::isnan(value)) {
    out = "NAN";
  } else if (std::isinf(value)) {
    out = value < 0 ? "-INF" : "INF";
  } else {
    return false;
  }
  return true;
}

std::string ExponentText(int exponent, bool always_sign, int min_digits) {
  std::string digits = std::to_string(exponent < 0 ? -exponent : exponent);
  if (static_cast<int>(digits.size()) < min_digits) {
    digits.insert(0, min_digits - digits.size(), '0');
  }
  if (exponent < 0) return "-" + digits;
  return always_sign ? "+" + digits : digits;
}

// "1,5E15" style: first digit, the rest as decimals, exponent as given.
std::string Scientific(const Digits& d, int decimals, bool pad_decimals, bool always_sign,
                       int exponent_digits, const FormatSettings& fs) {
  std::string out;
  if (d.negative && !d.IsZero()) out.push_back('-');
  out.push_back(d.At(0));
  int count = decimals;
  if (!pad_decimals) count = std::min<int>(decimals, std::max<int>(0, d.digits.size() - 1));
  if (count > 0) {
    out.push_back(fs.decimal_separator);
    for (int i = 1; i <= count; ++i) out.push_back(d.At(i));
  }
  out.push_back('E');
  out += ExponentText(d.IsZero() ? 0 : d.exponent - 1, always_sign, exponent_digits);
  return out;
}

std::string General(Digits d, int precision, int exponent_digits, const FormatSettings& fs) {
  if (d.IsZero()) return "0";
  if (d.exponent > precision || d.exponent < -4) {
    return Scientific(d, precision - 1, false, false, exponent_digits, fs);
  }
  std::string out = d.negative ? "-" : "";
  std::string integer = IntegerDigits(d);
  out += integer.empty() ? "0" : integer;
  const int decimals = static_cast<int>(d.digits.size()) - d.exponent;
  if (decimals > 0) {
    out.push_back(fs.decimal_separator);
    out += FractionDigits(d, decimals);
  }
  return out;
}

std::string PlaceCurrency(const std::string& number, bool negative, const FormatSettings& fs) {
  const std::string& c = fs.currency_string;
  if (!negative) {
    switch (fs.currency_format) {
      case 1:
        return number + c;
      case 2:
        return c + " " + number;
      case 3:
        return number + " " + c;
      default:
        return c + number;
    }
  }
  switch (fs.negative_currency_format) {
    case 1:
      return "-" + c + number;
    case 2:
      return c + "-" + number;
    case 3:
      return c + number + "-";
    case 4:
      return "(" + number + c + ")";
    case 5:
      return "-" + number + c;
    case 6:
      return number + "-" + c;
    case 7:
      return number + c + "-";
    case 8:
      return "-" + number + " " + c;
    case 9:
      return "-" + c + " " + number;
    case 10:
      return number + " " + c + "-";
    case 11:
      return c + " " + number + "-";
    case 12:
      return c + " -" + number;
    case 13:
      return number + "- " + c;
    case 14:
      return "(" + c + " " + number + ")";
    case 15:
      return "(" + number + " " + c + ")";
    default:
      return "(" + c + number + ")";
  }
}

// One section of a FormatFloat pattern, analysed.
struct Section {
  std::string_view text;
  int int_placeholders = 0;  // '0' and '#' before the decimal point
  int int_required = 0;      // placeholders from the first '0' on
  int min_decimals = 0;      // up to the last '0' after the point
  int max_decimals = 0;      // '0' and '#' after the point
  bool has_point = false;
  bool thousands = false;
  bool scientific = false;
};

Section Analyse(std::string_view text) {
  Section s;
  s.text = text;
  int first_zero = -1;
  bool after_exponent = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '"' || c == '\'') {
      const size_t close = text.find(c, i + 1);
      i = close == std::string_view::npos ? text.size() : close;
    } else if (after_exponent) {
      continue;
    } else if ((c == 'E' || c == 'e') && i + 1 < text.size() &&
               (text[i + 1] == '+' || text[i + 1] == '-')) {
      s.scientific = true;
      after_exponent = true;
    } else if (c == '0' || c == '#') {
      if (s.has_point) {
        ++s.max_decimals;
        if (c == '0') s.min_decimals = s.max_decimals;
      } else {
        if (c == '0' && first_zero < 0) first_zero = s.int_placeholders;
        ++s.int_placeholders;
      }
    } else if (c == '.') {
      s.has_point = true;
    } else if (c == ',') {
      s.thousands = true;
    }
  }
  if (first_zero >= 0) s.int_required = s.int_placeholders - first_zero;
  return s;
}

std::vector<std::string_view> SplitSections(std::string_view format) {
  std::vector<std::string_view> sections;
  size_t start = 0;
  for (size_t i = 0; i < format.size(); ++i) {
    const char c = format[i];
    if (c == '"' || c == '\'') {
      const size_t close = format.find(c, i + 1);
      i = close == std::string_view::npos ? format.size() - 1 : close;
    } else if (c == ';') {
      sections.push_back(format.substr(start, i - start));
      start = i + 1;
      if (sections.size() == 2) break;
    }
  }
  sections.push_back(format.substr(start));
  return sections;
}

int IntegerCount(const Section& s) {
  return s.scientific ? std::max(1, s.int_placeholders) : s.int_placeholders;
}

// Rounds once, at the last digit the section shows.
void RoundFor(const Section& s, Digits& d) {
  if (s.scientific) {
    RoundToDigits(d, IntegerCount(s) + s.max_decimals);
  } else {
    RoundToDecimals(d, s.max_decimals);
  }
}

// `d` is already rounded for the section. A positive value that rounded to
// zero keeps the exponent of its first digit, so '#' decimals are shown down
// to that place ("#.##" of 0.003 is ",00"), as the runtime does; a negative
// one comes as zero itself (FormatFloat).
std::string Render(const Section& s, const Digits& d, bool write_sign, const FormatSettings& fs) {
  std::string integer;
  std::string fraction;
  const int int_count = IntegerCount(s);
  if (s.scientific) {
    for (int i = 0; i < int_count; ++i) integer.push_back(d.At(i));
    for (int i = 0; i < s.max_decimals; ++i) fraction.push_back(d.At(int_count + i));
    while (static_cast<int>(fraction.size()) > s.min_decimals && fraction.back() == '0') {
      fraction.pop_back();
    }
  } else {
    integer = IntegerDigits(d);
    if (static_cast<int>(integer.size()) < s.int_required) {
      integer.insert(0, s.int_required - integer.size(), '0');
    }
    const int significant = static_cast<int>(d.digits.size()) - d.exponent;
    fraction = FractionDigits(d, std::clamp(significant, s.min_decimals, s.max_decimals));
  }
  const int int_length = static_cast<int>(integer.size());
  const int offset = int_count - int_length;
  const bool group = s.thousands;

  std::string out;
  if (write_sign) out.push_back('-');
  auto emit_integer = [&](int from, int to) {
    for (int i = from; i < to; ++i) {
      out.push_back(integer[i]);
      const int left = int_length - 1 - i;
      if (group && left > 0 && left % 3 == 0) out.push_back(fs.thousand_separator);
    }
  };
  int placeholder = 0;
  int decimal = 0;
  bool in_fraction = false;
  const std::string_view text = s.text;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '"' || c == '\'') {
      size_t close = text.find(c, i + 1);
      if (close == std::string_view::npos) close = text.size();
      out.append(text.substr(i + 1, close - i - 1));
      i = close;
    } else if (s.scientific && (c == 'E' || c == 'e') && i + 1 < text.size() &&
               (text[i + 1] == '+' || text[i + 1] == '-')) {
      int digits = 0;
      size_t j = i + 2;
      while (j < text.size() && text[j] == '0') ++digits, ++j;
      out.push_back(c);
      out += ExponentText(d.IsZero() ? 0 : d.exponent - int_count, text[i + 1] == '+', digits);
      i = j - 1;
    } else if (c == '0' || c == '#') {
      if (in_fraction) {
        if (decimal < static_cast<int>(fraction.size())) out.push_back(fraction[decimal]);
        ++decimal;
      } else {
        const int from = placeholder == 0 ? 0 : std::max(0, placeholder - offset);
        const int to = std::max(0, placeholder + 1 - offset);
        emit_integer(from, std::min(to, int_length));
        ++placeholder;
      }
    } else if (c == '.') {
      if (in_fraction) continue;
      in_fraction = true;
      if (int_count == 0) emit_integer(0, int_length);
      if (!fraction.empty()) out.push_back(fs.decimal_separator);
    } else if (c == ',') {
      continue;
    } else {
      out.push_back(c);
    }
  }
  return out;
}

}  // namespace

std::string FloatToStrF(double value, FloatFormat format, int precision, int digits,
                        const FormatSettings& fs) {
  std::string special;
  if (NonFinite(value, special)) return special;
  // The runtime works with at least two significant digits.
  precision = std::clamp(precision, 2, 18);
  Digits d = ExpandDouble(value);
  switch (format) {
    case FloatFormat::kGeneral:
      RoundToDigits(d, precision);
      return General(d, precision, std::clamp(digits, 0, 4), fs);
    case FloatFormat::kExponent:
      RoundToDigits(d, precision);
      return Scientific(d, precision - 1, true, true, std::clamp(digits, 0, 4), fs);
    case FloatFormat::kFixed:
    case FloatFormat::kNumber:
    case FloatFormat::kCurrency:
      break;
  }
  digits = std::clamp(digits, 0, 18);
  // One rounding, at the last digit shown or at the precision if that comes
  // first: 2.675 (2.67499999999999982...) gives 2,67.
  RoundToDigits(d, std::min(precision, d.exponent + digits));
  // Too many integer digits for the precision: the runtime falls back to the
  // general form, with the exponent padded to `digits` places ("1E015").
  if (d.exponent > precision) return General(d, precision, std::clamp(digits, 0, 4), fs);
  std::string number = IntegerDigits(d);
  if (number.empty()) number.push_back('0');
  if (format != FloatFormat::kFixed) number = GroupThousands(number, fs.thousand_separator);
  if (digits > 0) {
    number.push_back(fs.decimal_separator);
    number += FractionDigits(d, digits);
  }
  const bool negative = d.negative && !d.IsZero();
  if (format == FloatFormat::kCurrency) return PlaceCurrency(number, negative, fs);
  return negative ? "-" + number : number;
}

std::string FloatToStr(double value, const FormatSettings& fs) {
  return FloatToStrF(value, FloatFormat::kGeneral, 15, 0, fs);
}

std::string CurrToStr(double value, const FormatSettings& fs) {
  return FloatToStrF(value, FloatFormat::kCurrency, 15, fs.currency_decimals, fs);
}

std::string FormatFloat(std::string_view format, double value, const FormatSettings& fs) {
  std::string special;
  if (NonFinite(value, special)) return special;
  if (format.empty()) return FloatToStr(value, fs);
  const std::vector<std::string_view> sections = SplitSections(format);
  // A missing or empty section uses the first.
  auto section_or_first = [&](size_t i) {
    return i < sections.size() && !sections[i].empty() ? i : size_t{0};
  };
  size_t index = 0;
  if (value < 0) index = section_or_first(1);
  if (value == 0) index = section_or_first(2);
  // An empty first section: the general form.
  if (sections[index].empty()) return FloatToStr(value, fs);
  Section section = Analyse(sections[index]);
  Digits d = ExpandDouble(value);
  // Beyond 18 integer digits only a scientific pattern applies.
  if (!section.scientific && d.exponent > 18) return FloatToStr(value, fs);
  RoundFor(section, d);
  if (d.IsZero()) {
    // A value that rounds to zero loses its sign and takes the zero section.
    // A negative one is then formatted as zero itself is, its '#' places
    // left empty: "#.##" of -0.0005 is "" and "0.0#" of -0.0006 is "0,0".
    if (d.negative) d = Digits{};
    d.negative = false;
    const size_t zero = section_or_first(2);
    if (zero != index) {
      index = zero;
      if (sections[index].empty()) return FloatToStr(0, fs);
      section = Analyse(sections[index]);
    }
  }
  return Render(section, d, index == 0 && d.negative, fs);
}

std::string IntToStr(int64_t value) { return std::to_string(value); }

std::string IntToHex(int64_t value, int digits) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  uint64_t v = static_cast<uint64_t>(value);
  std::string out;
  do {
    out.push_back(kHex[v & 0xF]);
    v >>= 4;
  } while (v != 0);
  while (static_cast<int>(out.size()) < digits) out.push_back('0');
  std::reverse(out.begin(), out.end());
  return out;
}

}  // namespace zel
