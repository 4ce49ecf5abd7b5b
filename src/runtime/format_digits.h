// Decimal digits of a double as the number formatting routines see them:
// the exact binary value expanded to 18 significant digits, then rounded half
// away from zero on that digit string.
#pragma once

#include <string>

namespace zel::format_internal {

// value = (negative ? -1 : 1) * 0.d1d2d3... * 10^exponent. `digits` has no
// leading or trailing zeros; it is empty for zero (the sign may still be set,
// for a value that rounded to zero).
struct Digits {
  bool negative = false;
  std::string digits;
  int exponent = 0;

  bool IsZero() const { return digits.empty(); }
  // Digit at a position counted from the first significant one, '0' past the end.
  char At(int index) const {
    return index >= 0 && index < static_cast<int>(digits.size()) ? digits[index] : '0';
  }
};

// The 18-significant-digit expansion of a finite double.
Digits ExpandDouble(double value);

// Keeps the first `count` significant digits, rounding half away from zero;
// count <= 0 keeps none (the value may round up to one unit of the position
// just before the first digit).
void RoundToDigits(Digits& d, int count);
// Rounds to `decimals` digits after the decimal point.
inline void RoundToDecimals(Digits& d, int decimals) { RoundToDigits(d, d.exponent + decimals); }

// The integer part's digits ("" for less than 1) and `count` fraction digits.
std::string IntegerDigits(const Digits& d);
std::string FractionDigits(const Digits& d, int count);

// Inserts `separator` between groups of three digits of an all-digit text.
std::string GroupThousands(const std::string& digits, char separator);

}  // namespace zel::format_internal
