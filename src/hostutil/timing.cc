#include "hostutil/timing.h"

#include <cstdio>

#include "platform/platform.h"

namespace zel {

void Delay(int count) {
  if (count <= 0) return;
  if (count > 255) count = 255;
  platform::Current().Delay(count * kDelayUnitMilliseconds);
}

std::string SubtDataHoraLum(TDateTime a, TDateTime b) {
  // Through the continuous millisecond line, so that dates before 30/12/1899
  // (whose fraction counts forward within the day) subtract correctly.
  int64_t diff = DateTimeToMilliseconds(a) - DateTimeToMilliseconds(b);
  bool negative = diff < 0;
  int64_t minutes = (negative ? -diff : diff) / 60000 % kMinsPerDay;
  char buf[16];
  std::snprintf(buf, sizeof buf, "%s%02d:%02d", negative ? "-" : "", static_cast<int>(minutes / 60),
                static_cast<int>(minutes % 60));
  return buf;
}

}  // namespace zel
