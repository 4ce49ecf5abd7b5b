// HostVariant: the host runtime's variant, the value that crosses the host
// boundary (parameter bundles, positional argument and result arrays, table
// data packets). HostParams: the host's keyed parameter bundle.
//
// Conversion rules (those of the host runtime's variants):
//  - Empty converts to "", 0, 0.0, false and date-time 0 without failure.
//  - Null refuses every conversion (text included) with VariantTypeError
//    "Could not convert variant of type (Null) into type (String)"; VarToStr
//    is the one routine that turns Null into "".
//  - Text becomes a number, date-time or boolean through the locale
//    (StrToFloat, StrToInt64, StrToDateTime). A text that does not convert
//    raises ConvertError naming the value and the target
//    ("'abc' is not a valid floating point value", "... integer value",
//    "... boolean value", "... date and time"). A text holding a decimal number
//    converts to an integer by rounding (half to even, like the runtime's Round).
//  - Float to text as FloatToStr; integer to text in decimal; boolean to text
//    "True"/"False"; date-time to text as DateTimeToStr (short date, long time,
//    the time left out at midnight).
//  - Text to boolean: "true"/"false" in any case, or a numeric text that is true
//    when not zero. Numbers are true when not zero. Boolean to number: true is
//    -1, false 0 (the runtime's variant boolean).
//  - Float to integer rounds half to even; a value outside the target's range
//    raises VariantTypeError "Overflow while converting variant of type
//    (Double) into type (Integer)".
//  - An array or table data refuses every scalar conversion with
//    VariantTypeError ("Could not convert variant of type (Array) into type
//    (String)").
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "runtime/datetime.h"
#include "runtime/format_settings.h"

namespace zel {

class HostVariant {
 public:
  enum class Kind { kEmpty, kNull, kInteger, kFloat, kBoolean, kText, kDateTime, kArray, kTable };

  HostVariant() = default;  // empty
  HostVariant(int v) : kind_(Kind::kInteger), integer_(v) {}
  HostVariant(long v) : kind_(Kind::kInteger), integer_(v) {}
  HostVariant(long long v) : kind_(Kind::kInteger), integer_(v) {}
  HostVariant(unsigned v) : kind_(Kind::kInteger), integer_(v) {}
  HostVariant(unsigned long v) : kind_(Kind::kInteger), integer_(static_cast<int64_t>(v)) {}
  HostVariant(unsigned long long v) : kind_(Kind::kInteger), integer_(static_cast<int64_t>(v)) {}
  HostVariant(double v) : kind_(Kind::kFloat), float_(v) {}
  HostVariant(bool v) : kind_(Kind::kBoolean), boolean_(v) {}
  // A single character is almost always meant as a text: say so explicitly
  // (std::string(1, c)) rather than getting its code as an integer.
  HostVariant(char) = delete;
  HostVariant(const char* v) : kind_(Kind::kText), text_(v) {}
  HostVariant(std::string v) : kind_(Kind::kText), text_(std::move(v)) {}
  HostVariant(std::string_view v) : kind_(Kind::kText), text_(v) {}

  static HostVariant Null();
  static HostVariant FromDateTime(TDateTime v);
  static HostVariant MakeArray(std::vector<HostVariant> elements);
  // Table data: the bytes of a binary data packet, as a table's Data() gives.
  static HostVariant FromPacket(std::string binary_packet);

  Kind kind() const { return kind_; }
  bool IsEmpty() const { return kind_ == Kind::kEmpty; }
  bool IsNull() const { return kind_ == Kind::kNull; }
  bool IsArray() const { return kind_ == Kind::kArray; }
  bool IsTable() const { return kind_ == Kind::kTable; }
  // The runtime's name of the kind, as in conversion messages ("String", "Double").
  std::string KindName() const;

  // Conversions; failures as described at the top of this file.
  std::string AsString(const FormatSettings& fs = BrazilianFormatSettings()) const;
  int AsInteger(const FormatSettings& fs = BrazilianFormatSettings()) const;
  int64_t AsInt64(const FormatSettings& fs = BrazilianFormatSettings()) const;
  double AsFloat(const FormatSettings& fs = BrazilianFormatSettings()) const;
  bool AsBoolean() const;
  TDateTime AsDateTime(const FormatSettings& fs = BrazilianFormatSettings()) const;

  // The elements of an array; VariantTypeError for any other kind.
  std::vector<HostVariant>& Elements();
  const std::vector<HostVariant>& Elements() const;
  // The packet bytes of table data; VariantTypeError for any other kind.
  const std::string& Packet() const;

  // Same kind and same value (arrays element by element). Meant for tests and
  // lookups, not for the runtime's cross-kind comparison.
  friend bool operator==(const HostVariant& a, const HostVariant& b);

 private:
  [[noreturn]] void ThrowCast(std::string_view target) const;

  Kind kind_ = Kind::kEmpty;
  int64_t integer_ = 0;
  double float_ = 0.0;  // float and date-time
  bool boolean_ = false;
  std::string text_;  // text and table packet
  std::vector<HostVariant> elements_;
};

// Text of any variant, with Null (and Empty) giving "" instead of failing.
std::string VarToStr(const HostVariant& v, const FormatSettings& fs = BrazilianFormatSettings());

// The host's keyed parameter bundle: an array of two-element arrays
// [key text, value], in the order they were added.
using HostParams = HostVariant;

HostParams MakeParams(std::initializer_list<std::pair<std::string, HostVariant>> pairs);
// Appends a pair; `params` must be an array (an empty variant becomes one).
void AddParam(HostParams& params, std::string key, HostVariant value);

}  // namespace zel
