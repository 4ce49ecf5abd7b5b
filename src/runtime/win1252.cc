#include "runtime/win1252.h"

#include <array>

namespace zel {
namespace {

// Code points of 0x80..0x9F. The five undefined bytes keep their C1 control
// so that every byte string round-trips.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    // Windows-1252 never needs more than three bytes.
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

void AppendCodePoint(std::string& out, char32_t cp) {
  int byte = CodePointToWin1252(cp);
  out.push_back(byte < 0 ? '?' : static_cast<char>(byte));
}

}  // namespace

char32_t Win1252ToCodePoint(unsigned char byte) {
  if (byte >= 0x80 && byte <= 0x9F) return kHighControls[byte - 0x80];
  return byte;
}

int CodePointToWin1252(char32_t code_point) {
  if (code_point < 0x80 || (code_point >= 0xA0 && code_point <= 0xFF)) {
    return static_cast<int>(code_point);
  }
  for (int i = 0; i < 32; ++i) {
    if (kHighControls[i] == code_point) return 0x80 + i;
  }
  return -1;
}

void AppendWin1252AsUtf8(std::string& out, std::string_view text) {
  // Printed texts are mostly ASCII: runs of it are copied whole.
  size_t i = 0;
  const size_t n = text.size();
  while (i < n) {
    size_t run = i;
    while (run < n && static_cast<unsigned char>(text[run]) < 0x80) ++run;
    out.append(text.data() + i, run - i);
    if (run == n) break;
    AppendUtf8(out, Win1252ToCodePoint(static_cast<unsigned char>(text[run])));
    i = run + 1;
  }
}

std::string Win1252ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  AppendWin1252AsUtf8(out, text);
  return out;
}

std::string Utf8ToWin1252(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  size_t i = 0;
  const size_t n = utf8.size();
  while (i < n) {
    const unsigned char lead = static_cast<unsigned char>(utf8[i]);
    if (lead < 0x80) {
      out.push_back(static_cast<char>(lead));
      ++i;
      continue;
    }
    int length;
    char32_t cp;
    char32_t min;
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2, cp = lead & 0x1F, min = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3, cp = lead & 0x0F, min = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4, cp = lead & 0x07, min = 0x10000;
    } else {
      // A stray continuation byte or an impossible lead byte.
      out.push_back('?');
      ++i;
      continue;
    }
    // Consume as many continuation bytes as belong to the sequence, so that a
    // truncated sequence becomes one '?' and the next character survives.
    int taken = 1;
    while (taken < length && i + taken < n &&
           (static_cast<unsigned char>(utf8[i + taken]) & 0xC0) == 0x80) {
      cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + taken]) & 0x3F);
      ++taken;
    }
    i += taken;
    if (taken < length || cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      out.push_back('?');
    } else {
      AppendCodePoint(out, cp);
    }
  }
  return out;
}

std::u16string Win1252ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (char c : text) {
    out.push_back(static_cast<char16_t>(Win1252ToCodePoint(static_cast<unsigned char>(c))));
  }
  return out;
}

std::string Utf16ToWin1252(std::u16string_view utf16) {
  std::string out;
  out.reserve(utf16.size());
  for (size_t i = 0; i < utf16.size(); ++i) {
    const char16_t unit = utf16[i];
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
        utf16[i + 1] <= 0xDFFF) {
      ++i;  // a pair is one character outside the code page
      out.push_back('?');
    } else if (unit >= 0xD800 && unit <= 0xDFFF) {
      out.push_back('?');
    } else {
      AppendCodePoint(out, unit);
    }
  }
  return out;
}

}  // namespace zel
