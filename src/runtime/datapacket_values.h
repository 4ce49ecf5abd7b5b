// Value codings shared by the binary and XML data-packet readers and
// writers: UTF-16 texts, packed decimals,
// date-time ranges, locale-independent number and date texts, base64.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/datetime.h"
#include "runtime/field.h"

namespace zel::datapacket {

// Windows-1252 text to UTF-16LE bytes and back (an odd last byte is dropped).
std::string Utf16LeOf(std::string_view text);
std::string TextFromUtf16Le(std::string_view bytes);

// Packed decimal as packets carry it: precision byte, sign-and-places byte
// (0x80 negative, low 6 bits the decimals), then 32 bytes of digits, two per
// byte, most significant first. EncodeBcd rounds to `decimals` and raises
// DatasetError when the value needs more than 64 digits; DecodeBcd returns
// false for a malformed value.
inline constexpr uint32_t kMaxBcdDigits = 32;
std::string EncodeBcd(double value, int decimals);
bool DecodeBcd(std::string_view bytes, double& value);
int BcdDecimals(const FieldDef& def);

// Day numbers (01/01/0001 = 1) of the supported calendar.
bool ValidStampDate(int64_t day);
// Milliseconds since 01/01/0001 00:00 (as day 1) to a date-time; false when
// not a finite value of the supported calendar.
bool MSecsToDateTime(double msecs, TDateTime& out);

// Locale-independent texts of the XML form.
// "." and at most 16 significant digits, as the host runtime writes them
// (51673.14999999999); XmlFloatChars writes into `out` (kXmlFloatChars
// bytes) and returns the end.
inline constexpr size_t kXmlFloatChars = 32;
char* XmlFloatChars(double value, char* out);
std::string XmlFloat(double value);
bool ParseXmlFloat(std::string_view text, double& out);
bool ParseXmlInt(std::string_view text, int64_t& out);
std::string XmlDate(TDateTime value);      // YYYYMMDD
std::string XmlTime(TDateTime value);      // HH:NN:SSzzz
std::string XmlDateTime(TDateTime value);  // YYYYMMDDTHH:NN:SSzzz, YYYYMMDD at midnight
// The same written into `out` (kXmlDateTimeChars bytes); they return the end.
inline constexpr size_t kXmlDateTimeChars = 24;
char* XmlDateChars(TDateTime value, char* out);
char* XmlTimeChars(TDateTime value, char* out);
char* XmlDateTimeChars(TDateTime value, char* out);
bool ParseXmlDate(std::string_view text, TDateTime& out);
bool ParseXmlTime(std::string_view text, TDateTime& out);
bool ParseXmlDateTime(std::string_view text, TDateTime& out);

std::string Base64Encode(std::string_view bytes);
bool Base64Decode(std::string_view text, std::string& out);

}  // namespace zel::datapacket
