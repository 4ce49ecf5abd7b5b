// Windows-1252 text at the edges of the driver. Every text inside the driver
// is a std::string of Windows-1252 bytes; these routines convert it for file
// names on POSIX, the terminal, JSON (UTF-8) and the host's wide texts
// (UTF-16).
//
// Mapping rules:
// - 0x00-0x7F and 0xA0-0xFF map to the Unicode code point of the same value.
// - 0x80-0x9F map to the Windows-1252 characters (0x80 U+20AC euro sign,
//   0x8A U+0160, 0x99 U+2122, ...).
// - The five bytes that Windows-1252 leaves undefined (0x81, 0x8D, 0x8F,
//   0x90, 0x9D) map to the C1 control of the same value (U+0081, U+008D,
//   U+008F, U+0090, U+009D) and back, so any byte string survives a round
//   trip through UTF-8 or UTF-16 unchanged.
// - On the way in, a character with no Windows-1252 byte, a malformed UTF-8
//   sequence (bad lead or continuation byte, overlong form, surrogate code
//   point, value above U+10FFFF, truncated sequence) and an unpaired UTF-16
//   surrogate each become one '?'. A valid surrogate pair is one character
//   and therefore one '?'.
#pragma once

#include <string>
#include <string_view>

namespace zel {

// Unicode code point of one Windows-1252 byte (never fails).
char32_t Win1252ToCodePoint(unsigned char byte);

// Windows-1252 byte of a Unicode code point, or -1 when it has none.
int CodePointToWin1252(char32_t code_point);

std::string Win1252ToUtf8(std::string_view text);
// Appends the UTF-8 form of a Windows-1252 text to `out`.
void AppendWin1252AsUtf8(std::string& out, std::string_view text);
std::string Utf8ToWin1252(std::string_view utf8);

std::u16string Win1252ToUtf16(std::string_view text);
std::string Utf16ToWin1252(std::u16string_view utf16);

}  // namespace zel
