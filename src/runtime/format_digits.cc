#include "runtime/format_digits.h"

#include <charconv>
#include <cmath>

namespace zel::format_internal {

Digits ExpandDouble(double value) {
  Digits d;
  d.negative = std::signbit(value);
  if (value == 0 || !std::isfinite(value)) return d;
  // Shortest exact scientific form with 18 significant digits: "d.ddd...e+XX".
  // std::to_chars ignores the process locale and rounds the exact binary value.
  char buffer[64];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value),
                                 std::chars_format::scientific, 17);
  if (ec != std::errc()) return d;
  const char* p = buffer;
  while (p < end && *p != 'e') {
    if (*p >= '0' && *p <= '9') d.digits.push_back(*p);
    ++p;
  }
  int exponent = 0;
  std::from_chars(p + 1 + (p[1] == '+' ? 1 : 0), end, exponent);
  d.exponent = exponent + 1;
  while (!d.digits.empty() && d.digits.back() == '0') d.digits.pop_back();
  return d;
}

void RoundToDigits(Digits& d, int count) {
  const int size = static_cast<int>(d.digits.size());
  if (count >= size) return;
  if (count < 0) {
    d.digits.clear();
    return;
  }
  const bool round_up = d.digits[count] >= '5';
  d.digits.resize(count);
  if (round_up) {
    int i = count - 1;
    while (i >= 0 && d.digits[i] == '9') {
      d.digits[i] = '0';
      --i;
    }
    if (i >= 0) {
      ++d.digits[i];
    } else {
      d.digits.insert(d.digits.begin(), '1');
      ++d.exponent;
    }
  }
  while (!d.digits.empty() && d.digits.back() == '0') d.digits.pop_back();
}

std::string IntegerDigits(const Digits& d) {
  if (d.IsZero() || d.exponent <= 0) return "";
  std::string out;
  out.reserve(d.exponent);
  for (int i = 0; i < d.exponent; ++i) out.push_back(d.At(i));
  return out;
}

std::string FractionDigits(const Digits& d, int count) {
  std::string out;
  out.reserve(count > 0 ? count : 0);
  for (int i = 0; i < count; ++i) out.push_back(d.IsZero() ? '0' : d.At(d.exponent + i));
  return out;
}

std::string GroupThousands(const std::string& digits, char separator) {
  std::string out;
  const size_t n = digits.size();
  out.reserve(n + n / 3);
  for (size_t i = 0; i < n; ++i) {
    if (i > 0 && (n - i) % 3 == 0) out.push_back(separator);
    out.push_back(digits[i]);
  }
  return out;
}

}  // namespace zel::format_internal
