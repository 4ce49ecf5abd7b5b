// Argument texts of the item sale: truncation against rounding, the decimal
// separator, the eight-digit cents field and its limit.
#include "receipt/item_format.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace zel::receipt {
namespace {

FormatSettings DotLocale() {
  FormatSettings fs;
  fs.decimal_separator = '.';
  fs.thousand_separator = ',';
  return fs;
}

TEST(ItemFormatTest, PriceIsTruncatedAndQuantityRounded) {
  const FormatSettings& comma = BrazilianFormatSettings();
  const FormatSettings dot = DotLocale();
  struct Case {
    double value;
    const FormatSettings* fs;
    std::string price;
    std::string quantity;
  };
  const std::vector<Case> cases = {
      {10.999, &comma, "10,99", "10,999"}, {2, &comma, "2,00", "2,000"},
      {0.5, &comma, "0,50", "0,500"},      {1.2346, &comma, "1,23", "1,235"},
      {1.15, &comma, "1,15", "1,150"},     {1234567.891, &comma, "1234567,89", "1234567,891"},
      {10.999, &dot, "10.99", "10.999"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatItemPrice(c.value, *c.fs), c.price) << c.value;
    EXPECT_EQ(FormatItemQuantity(c.value, *c.fs), c.quantity) << c.value;
  }
}

TEST(ItemFormatTest, AdjustmentInCents) {
  struct Case {
    double value;
    std::optional<std::string> text;
  };
  const std::vector<Case> cases = {
      {0, "0000"},
      {-3, "0000"},
      {1.5, "00000150"},
      {0.999, "00000099"},
      {1.15, "00000115"},
      {999999.99, "99999999"},
      {999999.999, "99999999"},
      {1000000, std::nullopt},
      {2500000.5, std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatItemAdjustment(c.value, BrazilianFormatSettings()), c.text) << c.value;
  }
  EXPECT_EQ(FormatItemAdjustment(1.5, DotLocale()), "00000150");
}

TEST(ItemFormatTest, CutAndNullPointers) {
  EXPECT_EQ(Cut(std::string(30, 'x'), 29), std::string(29, 'x'));
  EXPECT_EQ(Cut("ab", 29), "ab");
  const std::string empty;
  const std::string text = "x";
  EXPECT_EQ(TextArg(empty), nullptr);
  EXPECT_STREQ(TextArg(text), "x");
}

}  // namespace
}  // namespace zel::receipt
