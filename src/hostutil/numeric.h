// Rounding and truncation of amounts, done on the decimal value that a double
// stands for, not on its binary approximation: the double nearest 1.005 is
// slightly below it, yet RoundDec(1.005, 2) is 1.01.
#pragma once

#include "runtime/variant.h"

namespace zel {

// `value` rounded to `decimals` places (0 to 15; a negative count rounds to
// tens, hundreds, ...), half away from zero. The value is first taken to 15
// significant digits, which removes the binary noise of amounts.
double RoundDec(double value, int decimals);

// `value` cut (toward zero) to 2 / 3 decimal places. The value is first
// rounded to 12 significant digits, so products such as 2.99 * 1.5 (4.485
// held as 4.48499999...) and sums of cents cut as their decimal value does:
// Trunc2(10.999) = 10.99, Trunc2(1.15) = 1.15, Trunc2(2.99 * 1.5) = 4.48.
double Trunc2(double value);
double Trunc3(double value);

// `when_true` when `condition` holds, else `when_false`.
HostVariant iif(bool condition, const HostVariant& when_true, const HostVariant& when_false);

}  // namespace zel
