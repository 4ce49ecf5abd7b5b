// Waiting between printer commands and the clock comparison text.
#pragma once

#include <string>

#include "runtime/datetime.h"

namespace zel {

// Milliseconds that one unit of Delay's count stands for.
inline constexpr int kDelayUnitMilliseconds = 100;

// Waits count x 100 ms through the platform layer (instant under a test
// platform). The count is the host's 8-bit one: zero or less returns at once,
// more than 255 waits as 255.
void Delay(int count);

// a - b as "hh:nn", with "-" in front when a is earlier than b. Whole days do
// not count: the hours are those of the difference within its last day
// (0 to 23), so 1 day 2 hours 5 minutes gives "02:05". Seconds and
// milliseconds are dropped (15 minutes 59 seconds gives "00:15").
std::string SubtDataHoraLum(TDateTime a, TDateTime b);

}  // namespace zel
