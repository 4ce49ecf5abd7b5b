// Format with the Brazilian settings.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "runtime/format.h"
#include "runtime/host_error.h"

namespace zel {
namespace {

TEST(FormatTextTest, Directives) {
  // Fixed forms round the double's 18-digit expansion, like FormatFloat.
  EXPECT_EQ(Format("%.2f", {1.005}), "1,00");
  EXPECT_EQ(Format("%.2f|%.3n|%m", {-721.185, -86.0505, -721.185}), "-721,18|-86,050|-R$ 721,18");
  EXPECT_EQ(Format("%f", {1234.567}), "1234,57");
  EXPECT_EQ(Format("%n", {-1234.567}), "-1.234,57");
  EXPECT_EQ(Format("%.2n", {1234567.891}), "1.234.567,89");
  EXPECT_EQ(Format("%m", {-1234.567}), "-R$ 1.234,57");
  EXPECT_EQ(Format("%.0m", {1234.567}), "R$ 1.235");
  EXPECT_EQ(Format("%.2f", {-0.004}), "0,00");
  EXPECT_EQ(Format("%.20f", {1.5}), "1,500000000000000000");
  EXPECT_EQ(Format("%e", {1234.5}), "1,23450000000000E+003");
  EXPECT_EQ(Format("%.3e", {1234.5}), "1,23E+003");
  EXPECT_EQ(Format("%g|%g|%g", {1234.5, 1e20, 0.000001}), "1234,5|1E20|1E-6");
  EXPECT_EQ(Format("%5d|%-5d|%.3d|%D", {42, 42, -7, 5}), "   42|42   |-007|5");
  EXPECT_EQ(Format("%d", {int64_t{12345678901}}), "12345678901");
  EXPECT_EQ(Format("%x|%.4x|%x", {255, 255, -1}), "FF|00FF|FFFFFFFF");
  EXPECT_EQ(Format("%u", {-1}), "4294967295");
  EXPECT_EQ(Format("%5s|%-5s|%.2s|%3.1s|%S", {"ab", "ab", "abcdef", "abc", std::string("x")}),
            "   ab|ab   |ab|  a|x");
  EXPECT_EQ(Format("%8.2f|%-8.2f|", {3.14159, 3.14159}), "    3,14|3,14    |");
  EXPECT_EQ(Format("%1:s %0:s %s", {"a", "b"}), "b a b");
  EXPECT_EQ(Format("%*d|%.*f", {5, 42, 3, 1.23456}), "   42|1,235");
  EXPECT_EQ(Format("100%% de %s", {"R$ 5"}), "100% de R$ 5");
  EXPECT_EQ(Format("sem argumentos", {}), "sem argumentos");
  EXPECT_EQ(Format("%d/%d %s", {size_t{3}, uint64_t{4}, 'x'}), "3/4 x");
}

TEST(FormatTextTest, BadDirectivesAndArgumentsRaiseConvertError) {
  struct Case {
    const char* format;
    std::vector<FormatArg> args;
    const char* message;
  };
  const Case cases[] = {
      {"%d", {1.5}, "Format '%d' invalid or incompatible with argument"},
      {"%s", {5}, "Format '%s' invalid or incompatible with argument"},
      {"%f", {5}, "Format '%f' invalid or incompatible with argument"},
      {"%y", {1}, "Format '%y' invalid or incompatible with argument"},
      {"abc %", {1}, "Format 'abc %' invalid or incompatible with argument"},
      {"%d %d", {1}, "No argument for format '%d %d'"},
      {"%5:d", {1}, "No argument for format '%5:d'"},
  };
  for (const Case& c : cases) {
    try {
      Format(c.format, c.args);
      ADD_FAILURE() << c.format << " did not raise";
    } catch (const ConvertError& e) {
      EXPECT_STREQ(e.what(), c.message);
    }
  }
}

}  // namespace
}  // namespace zel
