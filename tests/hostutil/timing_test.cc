#include "hostutil/timing.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/platform.h"
#include "runtime/datetime.h"

namespace zel {
namespace {

// Records the waits instead of sleeping.
class DelayRecorder : public platform::PlatformWrapper {
 public:
  DelayRecorder() : PlatformWrapper(&platform::Native()) { platform::SetCurrent(this); }
  ~DelayRecorder() override { platform::SetCurrent(nullptr); }
  void Delay(int milliseconds) override { waits.push_back(milliseconds); }
  std::vector<int> waits;
};

TEST(DelayTest, WaitsHundredMillisecondsPerUnitThroughThePlatform) {
  DelayRecorder recorder;
  Delay(2);
  Delay(4);
  Delay(0);
  Delay(-1);
  Delay(1000);
  EXPECT_EQ(recorder.waits, (std::vector<int>{200, 400, 25500}));
}

TEST(SubtDataHoraLumTest, HoursAndMinutesOfTheDifference) {
  const TDateTime base = EncodeDateTime(2024, 1, 5, 10, 0, 0, 0);
  struct Case {
    TDateTime a;
    TDateTime b;
    const char* expected;
  } cases[] = {
      {base, base, "00:00"},
      {IncMinute(base, 15), base, "00:15"},
      {base, IncMinute(base, 15), "-00:15"},
      {IncSecond(base, 16 * 60 - 1), base, "00:15"},  // seconds dropped
      {IncMinute(base, 16), base, "00:16"},
      {IncMinute(base, 125), base, "02:05"},
      {base, IncMinute(base, 23 * 60 + 59), "-23:59"},
      {IncMinute(IncDay(base, 1), 125), base, "02:05"},  // whole days do not count
      {IncDay(base, 3), base, "00:00"},
      // Across 30/12/1899, where the fraction of negative days counts forward.
      {EncodeDateTime(1899, 12, 30, 0, 30, 0, 0), EncodeDateTime(1899, 12, 29, 23, 45, 0, 0),
       "00:45"},
  };
  for (const auto& c : cases) EXPECT_EQ(SubtDataHoraLum(c.a, c.b), c.expected) << c.a << " " << c.b;
}

}  // namespace
}  // namespace zel
