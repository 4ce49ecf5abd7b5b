#include "runtime/datapacket_values.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "runtime/host_error.h"
#include "runtime/win1252.h"

namespace zel::datapacket {

namespace {

constexpr int64_t kMaxStampDay = 3652059;  // 31/12/9999

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ') s.remove_prefix(1);
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') s.remove_suffix(1);
  return s;
}

bool Digits(std::string_view s, size_t at, size_t count, int& out) {
  if (at + count > s.size()) return false;
  int v = 0;
  for (size_t i = at; i < at + count; ++i) {
    if (s[i] < '0' || s[i] > '9') return false;
    v = v * 10 + (s[i] - '0');
  }
  out = v;
  return true;
}

}  // namespace

std::string Utf16LeOf(std::string_view text) {
  const std::u16string wide = Win1252ToUtf16(text);
  std::string out;
  out.reserve(wide.size() * 2);
  for (char16_t c : wide) {
    out.push_back(static_cast<char>(c & 0xFF));
    out.push_back(static_cast<char>((c >> 8) & 0xFF));
  }
  return out;
}

std::string TextFromUtf16Le(std::string_view bytes) {
  std::u16string wide;
  wide.reserve(bytes.size() / 2);
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    wide.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                         (static_cast<unsigned char>(bytes[i + 1]) << 8)));
  }
  return Utf16ToWin1252(wide);
}

int BcdDecimals(const FieldDef& def) { return std::clamp(def.size, 0, 63); }

std::string EncodeBcd(double value, int decimals) {
  decimals = std::clamp(decimals, 0, 63);
  std::string out(2 + kMaxBcdDigits, '\0');
  if (!std::isfinite(value)) throw DatasetError("Invalid decimal value");
  char buf[400];
  const int n = std::snprintf(buf, sizeof buf, "%.*f", decimals, std::fabs(value));
  if (n <= 0 || n >= static_cast<int>(sizeof buf)) throw DatasetError("Decimal value out of range");
  std::string digits;
  for (int i = 0; i < n; ++i) {
    if (buf[i] >= '0' && buf[i] <= '9') digits.push_back(buf[i]);
  }
  // Leading zeros of the whole part carry nothing.
  size_t skip = 0;
  while (skip + static_cast<size_t>(decimals) < digits.size() && digits[skip] == '0') ++skip;
  digits.erase(0, skip);
  if (digits.size() > 2 * kMaxBcdDigits) throw DatasetError("Decimal value out of range");
  const bool negative = value < 0 && digits.find_first_not_of('0') != std::string::npos;
  out[0] = static_cast<char>(digits.size());
  out[1] = static_cast<char>((negative ? 0x80 : 0) | decimals);
  for (size_t i = 0; i < digits.size(); ++i) {
    const int d = digits[i] - '0';
    char& byte = out[2 + i / 2];
    byte = static_cast<char>(byte | (i % 2 == 0 ? d << 4 : d));
  }
  return out;
}

bool DecodeBcd(std::string_view bytes, double& value) {
  if (bytes.size() < 2) return false;
  const int precision = static_cast<unsigned char>(bytes[0]);
  const int sign_places = static_cast<unsigned char>(bytes[1]);
  const int places = sign_places & 0x3F;
  if (precision > 2 * static_cast<int>(bytes.size() - 2)) return false;
  // The digits are written out as a decimal text, with leading zeros so
  // that at least one digit stands before the point, and read back by
  // from_chars (exact rounding). The text is built front to back in one pass.
  const int shown = std::max(precision, places + 1);
  std::string digits;
  digits.reserve(static_cast<size_t>(shown) + 1);
  for (int k = 0; k < shown; ++k) {
    if (k == shown - places) digits.push_back('.');
    const int i = k - (shown - precision);  // negative: a leading zero
    int d = 0;
    if (i >= 0) {
      const unsigned char byte = static_cast<unsigned char>(bytes[2 + i / 2]);
      d = i % 2 == 0 ? byte >> 4 : byte & 0x0F;
      if (d > 9) return false;
    }
    digits.push_back(static_cast<char>('0' + d));
  }
  double v = 0;
  const auto res = std::from_chars(digits.data(), digits.data() + digits.size(), v);
  if (res.ec != std::errc()) return false;
  value = (sign_places & 0x80) != 0 ? -v : v;
  return true;
}

bool ValidStampDate(int64_t day) { return day >= 1 && day <= kMaxStampDay; }

bool MSecsToDateTime(double msecs, TDateTime& out) {
  if (!std::isfinite(msecs) || msecs < kMSecsPerDay ||
      msecs >= (static_cast<double>(kMaxStampDay) + 1) * kMSecsPerDay) {
    return false;
  }
  out = TimeStampToDateTime(MSecsToTimeStamp(msecs));
  return true;
}

char* XmlFloatChars(double value, char* out) {
  // The shortest of the fixed and exponent forms with 16 significant digits,
  // trailing zeros dropped (printf's %.16g), then "1e+16" -> "1E16" and
  // "2.5e-07" -> "2.5E-7".
  char* end = std::to_chars(out, out + kXmlFloatChars, value, std::chars_format::general, 16).ptr;
  char* e = std::find(out, end, 'e');
  if (e == end) return end;
  *e = 'E';
  char* from = e + 1;
  char* to = e + 1;
  if (*from == '-') {
    ++from;
    ++to;
  } else if (*from == '+') {
    ++from;
  }
  while (from + 1 < end && *from == '0') ++from;
  while (from < end) *to++ = *from++;
  return to;
}

std::string XmlFloat(double value) {
  char buf[kXmlFloatChars];
  return std::string(buf, XmlFloatChars(value, buf));
}

bool ParseXmlFloat(std::string_view text, double& out) {
  text = TrimBlanks(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return false;
  double v = 0;
  const auto res = std::from_chars(text.data(), text.data() + text.size(), v);
  if (res.ec == std::errc() && res.ptr == text.data() + text.size()) {
    out = v;
    return true;
  }
  // Tolerate a decimal comma from writers that used the locale.
  if (text.find('.') != std::string_view::npos) return false;
  const size_t comma = text.find(',');
  if (comma == std::string_view::npos) return false;
  std::string s(text);
  s[comma] = '.';
  const auto again = std::from_chars(s.data(), s.data() + s.size(), v);
  if (again.ec != std::errc() || again.ptr != s.data() + s.size()) return false;
  out = v;
  return true;
}

bool ParseXmlInt(std::string_view text, int64_t& out) {
  text = TrimBlanks(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  int64_t v = 0;
  const auto res = std::from_chars(text.data(), text.data() + text.size(), v);
  if (text.empty() || res.ec != std::errc() || res.ptr != text.data() + text.size()) return false;
  out = v;
  return true;
}

namespace {

// `count` decimal digits of a non-negative value, zero-padded.
char* PutDigits(char* out, int value, int count) {
  for (int i = count - 1; i >= 0; --i) {
    out[i] = static_cast<char>('0' + value % 10);
    value /= 10;
  }
  return out + count;
}

char* PutDate(const TimeStamp& stamp, char* out) {
  int y, m, d;
  DecodeDate(TimeStampToDateTime({stamp.time, stamp.date}), y, m, d);
  out = PutDigits(out, y, 4);
  out = PutDigits(out, m, 2);
  return PutDigits(out, d, 2);
}

char* PutTime(int msecs, char* out) {
  out = PutDigits(out, msecs / 3600000, 2);
  *out++ = ':';
  out = PutDigits(out, msecs / 60000 % 60, 2);
  *out++ = ':';
  out = PutDigits(out, msecs / 1000 % 60, 2);
  return PutDigits(out, msecs % 1000, 3);
}

}  // namespace

char* XmlDateChars(TDateTime value, char* out) {
  TimeStamp stamp = DateTimeToTimeStamp(value);
  stamp.time = 0;
  return PutDate(stamp, out);
}

char* XmlTimeChars(TDateTime value, char* out) {
  return PutTime(DateTimeToTimeStamp(value).time, out);
}

char* XmlDateTimeChars(TDateTime value, char* out) {
  TimeStamp stamp = DateTimeToTimeStamp(value);
  const int time = stamp.time;
  stamp.time = 0;
  out = PutDate(stamp, out);
  if (time == 0) return out;
  *out++ = 'T';
  return PutTime(time, out);
}

std::string XmlDate(TDateTime value) {
  char buf[kXmlDateTimeChars];
  return std::string(buf, XmlDateChars(value, buf));
}

std::string XmlTime(TDateTime value) {
  char buf[kXmlDateTimeChars];
  return std::string(buf, XmlTimeChars(value, buf));
}

std::string XmlDateTime(TDateTime value) {
  char buf[kXmlDateTimeChars];
  return std::string(buf, XmlDateTimeChars(value, buf));
}

bool ParseXmlDate(std::string_view text, TDateTime& out) {
  text = TrimBlanks(text);
  int y, m, d;
  if (text.size() != 8 || !Digits(text, 0, 4, y) || !Digits(text, 4, 2, m) ||
      !Digits(text, 6, 2, d)) {
    return false;
  }
  return TryEncodeDate(y, m, d, out);
}

bool ParseXmlTime(std::string_view text, TDateTime& out) {
  text = TrimBlanks(text);
  int h, n, s = 0, ms = 0;
  if (!Digits(text, 0, 2, h) || text.size() < 5 || text[2] != ':' || !Digits(text, 3, 2, n)) {
    return false;
  }
  size_t at = 5;
  if (at < text.size()) {
    if (text[at] != ':' || !Digits(text, at + 1, 2, s)) return false;
    at += 3;
    if (at < text.size() && text[at] == '.') ++at;
    if (at < text.size()) {
      // Milliseconds: up to three digits.
      const size_t count = text.size() - at;
      if (count > 3 || !Digits(text, at, count, ms)) return false;
      for (size_t i = count; i < 3; ++i) ms *= 10;
    }
  }
  return TryEncodeTime(h, n, s, ms, out) && out < 1.0;
}

bool ParseXmlDateTime(std::string_view text, TDateTime& out) {
  text = TrimBlanks(text);
  TDateTime date;
  if (!ParseXmlDate(text.substr(0, 8), date)) return false;
  if (text.size() == 8) {
    out = date;
    return true;
  }
  TDateTime time;
  if (text[8] != 'T' || !ParseXmlTime(text.substr(9), time)) return false;
  out = ComposeDateTime(date, time);
  return true;
}

std::string Base64Encode(std::string_view bytes) {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  size_t i = 0;
  for (; i + 2 < bytes.size(); i += 3) {
    const uint32_t v = (static_cast<unsigned char>(bytes[i]) << 16) |
                       (static_cast<unsigned char>(bytes[i + 1]) << 8) |
                       static_cast<unsigned char>(bytes[i + 2]);
    out.push_back(kAlphabet[(v >> 18) & 63]);
    out.push_back(kAlphabet[(v >> 12) & 63]);
    out.push_back(kAlphabet[(v >> 6) & 63]);
    out.push_back(kAlphabet[v & 63]);
  }
  if (i < bytes.size()) {
    uint32_t v = static_cast<unsigned char>(bytes[i]) << 16;
    if (i + 1 < bytes.size()) v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
    out.push_back(kAlphabet[(v >> 18) & 63]);
    out.push_back(kAlphabet[(v >> 12) & 63]);
    out.push_back(i + 1 < bytes.size() ? kAlphabet[(v >> 6) & 63] : '=');
    out.push_back('=');
  }
  return out;
}

bool Base64Decode(std::string_view text, std::string& out) {
  out.clear();
  out.reserve(text.size() / 4 * 3);
  uint32_t acc = 0;
  int bits = 0;
  bool padding = false;
  for (char c : text) {
    int v;
    if (c >= 'A' && c <= 'Z') {
      v = c - 'A';
    } else if (c >= 'a' && c <= 'z') {
      v = c - 'a' + 26;
    } else if (c >= '0' && c <= '9') {
      v = c - '0' + 52;
    } else if (c == '+') {
      v = 62;
    } else if (c == '/') {
      v = 63;
    } else if (c == '=') {
      padding = true;
      continue;
    } else if (static_cast<unsigned char>(c) <= ' ') {
      continue;
    } else {
      return false;
    }
    if (padding) return false;  // data after padding
    acc = (acc << 6) | static_cast<uint32_t>(v);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out.push_back(static_cast<char>((acc >> bits) & 0xFF));
    }
  }
  return true;
}

}  // namespace zel::datapacket
