// Number texts to values: StrToFloat, StrToInt, StrToInt64.
#include "runtime/convert.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>
#include <system_error>

#include "runtime/host_error.h"

namespace zel {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string_view TrimControls(std::string_view text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && static_cast<unsigned char>(text[begin]) <= ' ') ++begin;
  while (end > begin && static_cast<unsigned char>(text[end - 1]) <= ' ') --end;
  return text.substr(begin, end - begin);
}

// Parses an integer with the runtime's rules. `bits` is 32 or 64: a decimal
// value must fit the signed range; a hexadecimal one is a bit pattern of at
// most that many bits ("$FFFFFFFF" is -1 as a 32-bit integer).
bool ParseInteger(std::string_view text, int bits, int64_t& out) {
  size_t i = 0;
  // Leading blanks are skipped, trailing ones are not.
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
    negative = text[i] == '-';
    ++i;
  }
  bool hex = false;
  if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
    hex = true;
    ++i;
  } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    hex = true;
    i += 2;
  }
  if (i >= text.size()) return false;
  uint64_t value = 0;
  if (hex) {
    const uint64_t limit = bits == 32 ? 0xFFFFFFFFull : ~0ull;
    for (; i < text.size(); ++i) {
      const int digit = HexValue(text[i]);
      if (digit < 0 || value > (limit >> 4)) return false;
      value = value * 16 + static_cast<uint64_t>(digit);
    }
    if (bits == 32) {
      value = static_cast<uint64_t>(static_cast<int64_t>(static_cast<int32_t>(value)));
    }
    out = static_cast<int64_t>(negative ? 0 - value : value);
    return true;
  }
  const uint64_t max_positive = bits == 32 ? 0x7FFFFFFFull : 0x7FFFFFFFFFFFFFFFull;
  const uint64_t limit = negative ? max_positive + 1 : max_positive;
  for (; i < text.size(); ++i) {
    if (!IsDigit(text[i])) return false;
    const uint64_t digit = static_cast<uint64_t>(text[i] - '0');
    if (value > (limit - digit) / 10) return false;
    value = value * 10 + digit;
  }
  out = static_cast<int64_t>(negative ? 0 - value : value);
  return true;
}

[[noreturn]] void ThrowInvalidInteger(std::string_view text) {
  throw ConvertError("'" + std::string(text) + "' is not a valid integer value");
}

// For an out-of-range number in plain form ("123.45e-6"): whether it is
// tiny rather than huge, from the decimal position of its first significant
// digit.
bool IsTiny(std::string_view plain) {
  const size_t e = plain.find('e');
  int64_t exponent = 0;
  if (e != std::string_view::npos) {
    const char* first = plain.data() + e + 1;
    const bool negative = *first == '-';
    if (*first == '+') ++first;
    if (std::from_chars(first, plain.data() + plain.size(), exponent).ec != std::errc()) {
      exponent = negative ? INT32_MIN : INT32_MAX;  // far beyond any mantissa
    }
  }
  const std::string_view mantissa = plain.substr(0, e);
  const size_t point = mantissa.find('.');
  const size_t first_digit = mantissa.find_first_of("123456789");
  if (first_digit == std::string_view::npos) return true;
  const int64_t position =
      point == std::string_view::npos || first_digit < point
          ? static_cast<int64_t>((point == std::string_view::npos ? mantissa.size() : point) -
                                 first_digit)
          : -static_cast<int64_t>(first_digit - point - 1);
  return exponent + position <= 0;
}

}  // namespace

bool TryStrToFloat(std::string_view text, double& out, const FormatSettings& fs) {
  const std::string_view s = TrimControls(text);
  // Rewritten in the C locale's form for from_chars, which does not depend on
  // the process locale and rounds correctly.
  std::string plain;
  plain.reserve(s.size() + 1);
  size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
    negative = s[i] == '-';
    ++i;
  }
  int mantissa_digits = 0;
  while (i < s.size() && IsDigit(s[i])) {
    plain.push_back(s[i]);
    ++mantissa_digits, ++i;
  }
  if (i < s.size() && s[i] == fs.decimal_separator) {
    plain.push_back('.');
    ++i;
    while (i < s.size() && IsDigit(s[i])) {
      plain.push_back(s[i]);
      ++mantissa_digits, ++i;
    }
  }
  if (mantissa_digits == 0) return false;
  if (i < s.size() && (s[i] == 'E' || s[i] == 'e')) {
    plain.push_back('e');
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) plain.push_back(s[i++]);
    int exponent_digits = 0;
    while (i < s.size() && IsDigit(s[i])) {
      plain.push_back(s[i]);
      ++exponent_digits, ++i;
    }
    if (exponent_digits == 0) return false;
  }
  if (i != s.size()) return false;
  if (plain[0] == '.') plain.insert(plain.begin(), '0');
  double value = 0;
  const auto [end, ec] = std::from_chars(plain.data(), plain.data() + plain.size(), value);
  if (end != plain.data() + plain.size()) return false;
  if (ec == std::errc::result_out_of_range) {
    // Too small underflows to zero; too large is no valid value.
    if (!IsTiny(plain)) return false;
    value = 0;
  } else if (ec != std::errc() || !std::isfinite(value)) {
    return false;
  }
  out = negative ? -value : value;
  return true;
}

double StrToFloat(std::string_view text, const FormatSettings& fs) {
  double value;
  if (!TryStrToFloat(text, value, fs)) {
    throw ConvertError("'" + std::string(text) + "' is not a valid floating point value");
  }
  return value;
}

double StrToFloatDef(std::string_view text, double def, const FormatSettings& fs) {
  double value;
  return TryStrToFloat(text, value, fs) ? value : def;
}

bool TryStrToInt(std::string_view text, int& out) {
  int64_t value;
  if (!ParseInteger(text, 32, value)) return false;
  out = static_cast<int>(value);
  return true;
}

int StrToInt(std::string_view text) {
  int value;
  if (!TryStrToInt(text, value)) ThrowInvalidInteger(text);
  return value;
}

int StrToIntDef(std::string_view text, int def) {
  int value;
  return TryStrToInt(text, value) ? value : def;
}

bool TryStrToInt64(std::string_view text, int64_t& out) { return ParseInteger(text, 64, out); }

int64_t StrToInt64(std::string_view text) {
  int64_t value;
  if (!TryStrToInt64(text, value)) ThrowInvalidInteger(text);
  return value;
}

int64_t StrToInt64Def(std::string_view text, int64_t def) {
  int64_t value;
  return TryStrToInt64(text, value) ? value : def;
}

}  // namespace zel
