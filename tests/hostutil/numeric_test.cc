#include "hostutil/numeric.h"

#include <gtest/gtest.h>

#include <cmath>

namespace zel {
namespace {

TEST(NumericTest, RoundDecRoundsTheDecimalValueHalfAwayFromZero) {
  struct Case {
    double value;
    int decimals;
    double expected;
  } cases[] = {
      {1.005, 2, 1.01},
      {2.675, 2, 2.68},
      {0.125, 2, 0.13},
      {-0.125, 2, -0.13},
      {1.004999, 2, 1.0},
      {99.995, 2, 100.0},
      {10.1, 2, 10.1},
      {2.5, 0, 3.0},
      {-2.5, 0, -3.0},
      {0.0049, 2, 0.0},
      {1234.5678, 3, 1234.568},
      {155.0, -1, 160.0},
      {0.05, 1, 0.1},
      {0.0, 2, 0.0},
      {123456789.125, 2, 123456789.13},
      {1.23456, 20, 1.23456},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RoundDec(c.value, c.decimals), c.expected) << c.value << " to " << c.decimals;
  }
}

TEST(NumericTest, TruncationCutsTheDecimalValue) {
  struct Case {
    double value;
    double trunc2;
    double trunc3;
  } cases[] = {
      {1.15, 1.15, 1.15},      {0.29, 0.29, 0.29},        {10.99, 10.99, 10.99},
      {10.999, 10.99, 10.999}, {2.99 * 1.5, 4.48, 4.485}, {0.1 + 0.2, 0.3, 0.3},
      {19.9 * 3, 59.7, 59.7},  {1.2345, 1.23, 1.234},     {-1.239, -1.23, -1.239},
      {0.009, 0.0, 0.009},     {5.0, 5.0, 5.0},           {123456.789, 123456.78, 123456.789},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Trunc2(c.value), c.trunc2) << c.value;
    EXPECT_EQ(Trunc3(c.value), c.trunc3) << c.value;
  }
  EXPECT_FALSE(std::signbit(Trunc2(-0.001)));  // no negative zero
}

TEST(NumericTest, NonFiniteValuesPassThrough) {
  EXPECT_TRUE(std::isnan(Trunc2(NAN)));
  EXPECT_EQ(RoundDec(INFINITY, 2), INFINITY);
}

TEST(NumericTest, IifChoosesByCondition) {
  EXPECT_EQ(iif(true, "S", 0), HostVariant("S"));
  EXPECT_EQ(iif(false, "S", 0), HostVariant(0));
}

}  // namespace
}  // namespace zel
