#include "emulator/amounts.h"

#include <cctype>

namespace zel::emu {

std::optional<int64_t> ParseDecimal(std::string_view text, int max_decimals) {
  std::string t = Trim(text);
  if (t.empty()) return std::nullopt;
  int64_t whole = 0;
  int64_t fraction = 0;
  int decimals = 0;
  int digits = 0;
  bool seen_separator = false;
  for (char c : t) {
    if (c == ',' || c == '.') {
      if (seen_separator) return std::nullopt;
      seen_separator = true;
      continue;
    }
    if (c < '0' || c > '9') return std::nullopt;
    if (++digits > 15) return std::nullopt;
    if (seen_separator) {
      if (++decimals > max_decimals) return std::nullopt;
      fraction = fraction * 10 + (c - '0');
    } else {
      whole = whole * 10 + (c - '0');
    }
  }
  if (digits == 0) return std::nullopt;
  int64_t scale = 1;
  for (int i = 0; i < max_decimals; ++i) scale *= 10;
  for (int i = decimals; i < max_decimals; ++i) fraction *= 10;
  return whole * scale + fraction;
}

std::optional<int64_t> ParseCentsField(std::string_view text) {
  std::string t = Trim(text);
  if (t.find_first_of(",.") != std::string::npos) return ParseDecimal(t, 2);
  if (t.empty() || t.size() > 18) return std::nullopt;
  int64_t v = 0;
  for (char c : t) {
    if (c < '0' || c > '9') return std::nullopt;
    v = v * 10 + (c - '0');
  }
  return v;
}

std::string Digits(int64_t value, int width) {
  // Built in place: the answer records are made of hundreds of these.
  if (width <= 0) return std::string();
  std::string s(static_cast<size_t>(width), '0');
  uint64_t v = value < 0 ? 0 : static_cast<uint64_t>(value);
  for (int i = width - 1; i >= 0 && v != 0; --i, v /= 10) s[i] = static_cast<char>('0' + v % 10);
  return s;
}

std::string Money(int64_t cents) {
  bool negative = cents < 0;
  if (negative) cents = -cents;
  std::string whole = std::to_string(cents / 100);
  std::string grouped;
  int n = static_cast<int>(whole.size());
  for (int i = 0; i < n; ++i) {
    if (i > 0 && (n - i) % 3 == 0) grouped += '.';
    grouped += whole[i];
  }
  std::string s = grouped + "," + Digits(cents % 100, 2);
  return negative ? "-" + s : s;
}

std::string Quantity(int64_t milli) {
  return std::to_string(milli / 1000) + "," + Digits(milli % 1000, 3);
}

bool IsBlank(std::string_view text) {
  for (char c : text) {
    if (c != ' ' && c != '\t' && c != '\r' && c != '\n') return false;
  }
  return true;
}

std::string Trim(std::string_view text) {
  size_t b = 0;
  size_t e = text.size();
  while (b < e && (text[b] == ' ' || text[b] == '\t' || text[b] == '\r' || text[b] == '\n')) ++b;
  while (e > b &&
         (text[e - 1] == ' ' || text[e - 1] == '\t' || text[e - 1] == '\r' || text[e - 1] == '\n'))
    --e;
  return std::string(text.substr(b, e - b));
}

std::string Upper(std::string_view text) {
  std::string s(text);
  for (char& c : s) {
    unsigned char u = static_cast<unsigned char>(c);
    if (u >= 'a' && u <= 'z') {
      c = static_cast<char>(u - 32);
    } else if (u >= 0xE0 && u <= 0xFE && u != 0xF7) {
      c = static_cast<char>(u - 32);  // Windows-1252 accented lower case
    }
  }
  return s;
}

bool SameName(std::string_view a, std::string_view b) { return Upper(Trim(a)) == Upper(Trim(b)); }

int64_t MulDiv(int64_t a, int64_t b, int64_t c) {
  // a * b / c truncated toward zero, through a 128-bit product kept in two
  // 64-bit halves (32-bit targets have no 128-bit integer type).
  const bool negative = ((a < 0) != (b < 0)) != (c < 0);
  auto magnitude = [](int64_t v) {
    return v < 0 ? ~static_cast<uint64_t>(v) + 1 : static_cast<uint64_t>(v);
  };
  const uint64_t x = magnitude(a);
  const uint64_t y = magnitude(b);
  const uint64_t d = magnitude(c);
  const uint64_t x_lo = x & 0xFFFFFFFFu, x_hi = x >> 32;
  const uint64_t y_lo = y & 0xFFFFFFFFu, y_hi = y >> 32;
  const uint64_t lo_lo = x_lo * y_lo;
  const uint64_t middle = x_hi * y_lo + (lo_lo >> 32) + ((x_lo * y_hi) & 0xFFFFFFFFu);
  uint64_t high = x_hi * y_hi + (middle >> 32) + ((x_lo * y_hi) >> 32);
  uint64_t low = (middle << 32) | (lo_lo & 0xFFFFFFFFu);
  // Long division of high:low by d, one bit at a time.
  uint64_t quotient_high = 0;
  uint64_t quotient = 0;
  uint64_t remainder = 0;
  for (int bit = 127; bit >= 0; --bit) {
    const bool carry = (remainder >> 63) != 0;
    const uint64_t next = bit >= 64 ? (high >> (bit - 64)) & 1 : (low >> bit) & 1;
    remainder = (remainder << 1) | next;
    if (carry || remainder >= d) {
      remainder -= d;
      if (bit >= 64) {
        quotient_high |= uint64_t{1} << (bit - 64);
      } else {
        quotient |= uint64_t{1} << bit;
      }
    }
  }
  const uint64_t limit = negative ? uint64_t{1} << 63 : static_cast<uint64_t>(INT64_MAX);
  if (quotient_high != 0 || quotient > limit) return negative ? INT64_MIN : INT64_MAX;
  return negative ? static_cast<int64_t>(~quotient + 1) : static_cast<int64_t>(quotient);
}

}  // namespace zel::emu
