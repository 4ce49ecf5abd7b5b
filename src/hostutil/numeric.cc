#include "hostutil/numeric.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

namespace zel {
namespace {

enum class Cut { kRoundHalfUp, kTruncate };

// Takes `value` to `significant` decimal digits, then keeps `decimals`
// places of that decimal value, rounding the magnitude half up (that is, half
// away from zero) or truncating it. Working on the digits rather than on the
// double is what makes 1.005 round to 1.01 and 2.99 * 1.5 cut to 4.48.
double CutDecimal(double value, int significant, int decimals, Cut cut) {
  if (!std::isfinite(value) || value == 0.0) return value;
  decimals = std::clamp(decimals, -400, 400);
  bool negative = value < 0;
  double magnitude = std::fabs(value);

  // "d.ddddde+XX" with `significant` digits.
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, magnitude, std::chars_format::scientific,
                           significant - 1);
  std::string_view text(buf, static_cast<size_t>(res.ptr - buf));
  size_t e = text.find('e');
  std::string digits;
  for (char c : text.substr(0, e)) {
    if (c != '.') digits.push_back(c);
  }
  int exponent = 0;
  std::string_view exp_text = text.substr(e + 1);
  if (!exp_text.empty() && exp_text[0] == '+') exp_text.remove_prefix(1);
  std::from_chars(exp_text.data(), exp_text.data() + exp_text.size(), exponent);

  // Digits that stay: those before the decimal point plus `decimals`.
  long keep = static_cast<long>(exponent) + 1 + decimals;
  std::string kept;
  if (keep >= static_cast<long>(digits.size())) {
    kept = digits;
    decimals = static_cast<int>(digits.size()) - exponent - 1;
  } else {
    bool round_up = cut == Cut::kRoundHalfUp && keep >= 0 && digits[keep] >= '5';
    kept = keep > 0 ? digits.substr(0, static_cast<size_t>(keep)) : std::string();
    if (round_up) {
      // Add one unit in the last kept place, carrying to the left.
      long i = static_cast<long>(kept.size()) - 1;
      while (i >= 0 && kept[i] == '9') kept[i--] = '0';
      if (i >= 0) {
        ++kept[i];
      } else {
        kept.insert(kept.begin(), '1');
      }
    }
    if (kept.empty() || kept.find_first_not_of('0') == std::string::npos) return 0.0;
  }

  std::string number = (negative ? "-" : "") + kept + "e" + std::to_string(-decimals);
  double out = 0;
  std::from_chars(number.data(), number.data() + number.size(), out);
  return out;
}

}  // namespace

double RoundDec(double value, int decimals) {
  return CutDecimal(value, 15, decimals, Cut::kRoundHalfUp);
}

double Trunc2(double value) { return CutDecimal(value, 12, 2, Cut::kTruncate); }

double Trunc3(double value) { return CutDecimal(value, 12, 3, Cut::kTruncate); }

HostVariant iif(bool condition, const HostVariant& when_true, const HostVariant& when_false) {
  return condition ? when_true : when_false;
}

}  // namespace zel
