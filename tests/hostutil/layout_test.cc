#include "hostutil/layout.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace zel {
namespace {

struct LayoutCase {
  const char* routine;
  std::function<std::string(std::string_view, int)> fn;
  const char* text;
  int width;
  const char* expected;
};

TEST(LayoutTest, PadCutAndAlign) {
  const LayoutCase cases[] = {
      {"Replicate", Replicate, "-", 5, "-----"},
      {"Replicate", Replicate, "ab", 3, "ababab"},
      {"Replicate", Replicate, "-", 0, ""},
      {"Replicate", Replicate, "-", -2, ""},
      {"TamFixo", TamFixo, "Total", 8, "Total   "},
      {"TamFixo", TamFixo, "Codigo do produto", 6, "Codigo"},
      {"TamFixo", TamFixo, "abc", 3, "abc"},
      {"TamFixo", TamFixo, "abc", 0, ""},
      {"TamFixo", TamFixo, "", 2, "  "},
      {"TamFixoR", TamFixoR, "12,50", 8, "   12,50"},
      {"TamFixoR", TamFixoR, "Quantidade", 4, "Quan"},
      {"TamFixoR", TamFixoR, "abc", -1, ""},
      {"Centraliza", Centraliza, "abc", 8, "  abc   "},
      {"Centraliza", Centraliza, "abcd", 8, "  abcd  "},
      {"Centraliza", Centraliza, "abcdefghij", 4, "abcd"},
      {"Centraliza", Centraliza, "", 3, "   "},
      {"PadL", PadL, "9,99", 8, "    9,99"},
      {"PadL", PadL, "123456789", 8, "123456789"},
      {"Ajusta", Ajusta, "42", 6, "000042"},
      {"Ajusta", Ajusta, "1234567", 6, "1234567"},
      {"Ajusta", Ajusta, "", 2, "00"},
      {"AjustaZero", AjustaZero, "17", 4, "0017"},
      {"AjustaZero", AjustaZero, "12345", 4, "12345"},
  };
  for (const LayoutCase& c : cases) {
    EXPECT_EQ(c.fn(c.text, c.width), c.expected)
        << c.routine << "(\"" << c.text << "\", " << c.width << ")";
  }
}

TEST(LayoutTest, BlanksAreSpacesOnly) {
  EXPECT_TRUE(EmptyString(""));
  EXPECT_TRUE(EmptyString("     "));
  EXPECT_FALSE(EmptyString("  0 "));
  EXPECT_FALSE(EmptyString("\n"));
  EXPECT_EQ(RTrim("abc   "), "abc");
  EXPECT_EQ(RTrim("  abc"), "  abc");
  EXPECT_EQ(RTrim("a b \n"), "a b \n");
  EXPECT_EQ(RTrim("    "), "");
  EXPECT_EQ(RTrim(""), "");
}

TEST(LayoutTest, AccentedBytesCountAsOneColumn) {
  EXPECT_EQ(TamFixo("Relat\xF3rio", 10), "Relat\xF3rio ");
  EXPECT_EQ(Centraliza("Cart\xE3o", 9), " Cart\xE3o  ");
}

}  // namespace
}  // namespace zel
