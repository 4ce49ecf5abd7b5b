#include "emulator/amounts.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace zel::emu {
namespace {

TEST(AmountsTest, DigitsKeepTheLowestDigitsZeroPadded) {
  struct Case {
    int64_t value;
    int width;
    const char* text;
  } cases[] = {
      {0, 3, "000"},
      {42, 5, "00042"},
      {999, 3, "999"},
      {123456, 4, "3456"},  // too wide: the lowest digits
      {-5, 3, "000"},       // negative: zero
      {std::numeric_limits<int64_t>::max(), 19, "9223372036854775807"},
      {std::numeric_limits<int64_t>::max(), 20, "09223372036854775807"},
      {7, 0, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(Digits(c.value, c.width), c.text) << c.value;
}

}  // namespace
}  // namespace zel::emu
