#include "runtime/win1252.h"

#include <gtest/gtest.h>

#include <string>

namespace zel {
namespace {

TEST(Win1252Test, HighBlockMapsToTheCodePageCharacters) {
  struct Case {
    unsigned char byte;
    char32_t code_point;
    const char* utf8;
  };
  const Case cases[] = {
      {0x80, 0x20AC, "\xE2\x82\xAC"},
      {0x82, 0x201A, "\xE2\x80\x9A"},
      {0x83, 0x0192, "\xC6\x92"},
      {0x85, 0x2026, "\xE2\x80\xA6"},
      {0x8A, 0x0160, "\xC5\xA0"},
      {0x8C, 0x0152, "\xC5\x92"},
      {0x8E, 0x017D, "\xC5\xBD"},
      {0x93, 0x201C, "\xE2\x80\x9C"},
      {0x96, 0x2013, "\xE2\x80\x93"},
      {0x98, 0x02DC, "\xCB\x9C"},
      {0x99, 0x2122, "\xE2\x84\xA2"},
      {0x9F, 0x0178, "\xC5\xB8"},
      {0xA0, 0x00A0, "\xC2\xA0"},
      {0xE7, 0x00E7, "\xC3\xA7"},
      {0xFF, 0x00FF, "\xC3\xBF"},
      // The undefined bytes keep their C1 control.
      {0x81, 0x0081, "\xC2\x81"},
      {0x8D, 0x008D, "\xC2\x8D"},
      {0x8F, 0x008F, "\xC2\x8F"},
      {0x90, 0x0090, "\xC2\x90"},
      {0x9D, 0x009D, "\xC2\x9D"},
  };
  for (const Case& c : cases) {
    const std::string byte(1, static_cast<char>(c.byte));
    EXPECT_EQ(Win1252ToCodePoint(c.byte), c.code_point) << int{c.byte};
    EXPECT_EQ(CodePointToWin1252(c.code_point), c.byte) << int{c.byte};
    EXPECT_EQ(Win1252ToUtf8(byte), c.utf8) << int{c.byte};
    EXPECT_EQ(Utf8ToWin1252(c.utf8), byte) << int{c.byte};
    EXPECT_EQ(Win1252ToUtf16(byte), std::u16string(1, static_cast<char16_t>(c.code_point)));
  }
}

TEST(Win1252Test, EveryByteStringRoundTrips) {
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  EXPECT_EQ(Utf8ToWin1252(Win1252ToUtf8(all)), all);
  EXPECT_EQ(Utf16ToWin1252(Win1252ToUtf16(all)), all);
  EXPECT_EQ(Win1252ToUtf8("A\xE7\xE3o \x80"), "A\xC3\xA7\xC3\xA3o \xE2\x82\xAC");
}

TEST(Win1252Test, UnmappableAndMalformedInputBecomesQuestionMarks) {
  struct Case {
    const char* utf8;
    const char* expected;
  };
  const Case cases[] = {
      {"a\xE2\x82\xB9z", "a?z"},    // rupee sign: no Windows-1252 byte
      {"\xF0\x9F\x98\x80!", "?!"},  // emoji, four bytes, one character
      {"\x80x", "?x"},              // stray continuation byte
      {"\xC3(", "?("},              // truncated sequence
      {"\xC0\xAF", "??"},           // overlong lead byte
      {"\xE0\x80\xAF", "?"},        // overlong three-byte form
      {"\xED\xA0\x80", "?"},        // surrogate code point
      {"\xF4\x90\x80\x80", "?"},    // beyond U+10FFFF
      {"\xFF\xFE", "??"},           // impossible bytes
      {"\xE2\x82", "?"},            // truncated at the end
  };
  for (const Case& c : cases) EXPECT_EQ(Utf8ToWin1252(c.utf8), c.expected) << c.utf8;

  EXPECT_EQ(Utf16ToWin1252(u"a\u20B9\U0001F600z"), "a??z");
  EXPECT_EQ(Utf16ToWin1252(std::u16string{u'x', char16_t(0xD800), u'y', char16_t(0xDC00)}), "x?y?");
}

}  // namespace
}  // namespace zel
