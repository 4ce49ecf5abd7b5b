#include "runtime/variant.h"

#include <cmath>
#include <limits>

#include "runtime/convert.h"
#include "runtime/format.h"
#include "runtime/host_error.h"

namespace zel {
namespace {

// The runtime's Round: half to even.
double RoundHalfEven(double x) {
  double floor = std::floor(x);
  double diff = x - floor;
  if (diff > 0.5) return floor + 1;
  if (diff < 0.5) return floor;
  return std::fmod(floor, 2.0) == 0 ? floor : floor + 1;
}

[[noreturn]] void ThrowOverflow(std::string_view source, std::string_view target) {
  throw VariantTypeError("Overflow while converting variant of type (" + std::string(source) +
                         ") into type (" + std::string(target) + ")");
}

int64_t FloatToInt64(double v, std::string_view source) {
  double r = RoundHalfEven(v);
  // 2^63 is exactly representable; every double below it fits int64_t.
  if (!(r >= -9223372036854775808.0 && r < 9223372036854775808.0)) ThrowOverflow(source, "Int64");
  return static_cast<int64_t>(r);
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

}  // namespace

HostVariant HostVariant::Null() {
  HostVariant v;
  v.kind_ = Kind::kNull;
  return v;
}

HostVariant HostVariant::FromDateTime(TDateTime value) {
  HostVariant v;
  v.kind_ = Kind::kDateTime;
  v.float_ = value;
  return v;
}

HostVariant HostVariant::MakeArray(std::vector<HostVariant> elements) {
  HostVariant v;
  v.kind_ = Kind::kArray;
  v.elements_ = std::move(elements);
  return v;
}

HostVariant HostVariant::FromPacket(std::string binary_packet) {
  HostVariant v;
  v.kind_ = Kind::kTable;
  v.text_ = std::move(binary_packet);
  return v;
}

std::string HostVariant::KindName() const {
  switch (kind_) {
    case Kind::kEmpty:
      return "Empty";
    case Kind::kNull:
      return "Null";
    case Kind::kInteger:
      return "Integer";
    case Kind::kFloat:
      return "Double";
    case Kind::kBoolean:
      return "Boolean";
    case Kind::kText:
      return "String";
    case Kind::kDateTime:
      return "Date";
    case Kind::kArray:
      return "Array";
    case Kind::kTable:
      return "Array Byte";
  }
  return "Unknown";
}

void HostVariant::ThrowCast(std::string_view target) const {
  throw VariantTypeError("Could not convert variant of type (" + KindName() + ") into type (" +
                         std::string(target) + ")");
}

std::string HostVariant::AsString(const FormatSettings& fs) const {
  switch (kind_) {
    case Kind::kEmpty:
      return "";
    case Kind::kInteger:
      return IntToStr(integer_);
    case Kind::kFloat:
      return FloatToStr(float_, fs);
    case Kind::kBoolean:
      return boolean_ ? "True" : "False";
    case Kind::kText:
      return text_;
    case Kind::kDateTime:
      return DateTimeToStr(float_, fs);
    default:
      ThrowCast("String");
  }
}

int64_t HostVariant::AsInt64(const FormatSettings& fs) const {
  switch (kind_) {
    case Kind::kEmpty:
      return 0;
    case Kind::kInteger:
      return integer_;
    case Kind::kFloat:
    case Kind::kDateTime:
      return FloatToInt64(float_, KindName());
    case Kind::kBoolean:
      return boolean_ ? -1 : 0;
    case Kind::kText: {
      int64_t i = 0;
      if (TryStrToInt64(text_, i)) return i;
      // The runtime accepts a decimal text for an integer and rounds it.
      double d = 0;
      if (TryStrToFloat(text_, d, fs)) return FloatToInt64(d, "String");
      throw ConvertError("'" + text_ + "' is not a valid integer value");
    }
    default:
      ThrowCast("Int64");
  }
}

int HostVariant::AsInteger(const FormatSettings& fs) const {
  if (kind_ == Kind::kNull || kind_ == Kind::kArray || kind_ == Kind::kTable) ThrowCast("Integer");
  int64_t v = AsInt64(fs);
  if (v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max()) {
    ThrowOverflow(KindName(), "Integer");
  }
  return static_cast<int>(v);
}

double HostVariant::AsFloat(const FormatSettings& fs) const {
  switch (kind_) {
    case Kind::kEmpty:
      return 0.0;
    case Kind::kInteger:
      return static_cast<double>(integer_);
    case Kind::kFloat:
    case Kind::kDateTime:
      return float_;
    case Kind::kBoolean:
      return boolean_ ? -1.0 : 0.0;
    case Kind::kText:
      return StrToFloat(text_, fs);
    default:
      ThrowCast("Double");
  }
}

bool HostVariant::AsBoolean() const {
  switch (kind_) {
    case Kind::kEmpty:
      return false;
    case Kind::kInteger:
      return integer_ != 0;
    case Kind::kFloat:
    case Kind::kDateTime:
      return float_ != 0.0;
    case Kind::kBoolean:
      return boolean_;
    case Kind::kText: {
      if (EqualsIgnoreCase(text_, "true")) return true;
      if (EqualsIgnoreCase(text_, "false")) return false;
      double d = 0;
      if (TryStrToFloat(text_, d)) return d != 0.0;
      throw ConvertError("'" + text_ + "' is not a valid boolean value");
    }
    default:
      ThrowCast("Boolean");
  }
}

TDateTime HostVariant::AsDateTime(const FormatSettings& fs) const {
  switch (kind_) {
    case Kind::kEmpty:
      return 0.0;
    case Kind::kInteger:
      return static_cast<double>(integer_);
    case Kind::kFloat:
    case Kind::kDateTime:
      return float_;
    case Kind::kBoolean:
      return boolean_ ? -1.0 : 0.0;
    case Kind::kText:
      return StrToDateTime(text_, fs);
    default:
      ThrowCast("Date");
  }
}

std::vector<HostVariant>& HostVariant::Elements() {
  if (kind_ != Kind::kArray) ThrowCast("Array");
  return elements_;
}

const std::vector<HostVariant>& HostVariant::Elements() const {
  if (kind_ != Kind::kArray) ThrowCast("Array");
  return elements_;
}

const std::string& HostVariant::Packet() const {
  if (kind_ != Kind::kTable) ThrowCast("Array Byte");
  return text_;
}

bool operator==(const HostVariant& a, const HostVariant& b) {
  if (a.kind_ != b.kind_) return false;
  using Kind = HostVariant::Kind;
  switch (a.kind_) {
    case Kind::kEmpty:
    case Kind::kNull:
      return true;
    case Kind::kInteger:
      return a.integer_ == b.integer_;
    case Kind::kFloat:
    case Kind::kDateTime:
      return a.float_ == b.float_;
    case Kind::kBoolean:
      return a.boolean_ == b.boolean_;
    case Kind::kText:
    case Kind::kTable:
      return a.text_ == b.text_;
    case Kind::kArray:
      return a.elements_ == b.elements_;
  }
  return false;
}

std::string VarToStr(const HostVariant& v, const FormatSettings& fs) {
  if (v.IsNull()) return "";
  return v.AsString(fs);
}

HostParams MakeParams(std::initializer_list<std::pair<std::string, HostVariant>> pairs) {
  HostParams params = HostVariant::MakeArray({});
  for (const auto& [key, value] : pairs) AddParam(params, key, value);
  return params;
}

void AddParam(HostParams& params, std::string key, HostVariant value) {
  if (params.IsEmpty()) params = HostVariant::MakeArray({});
  params.Elements().push_back(
      HostVariant::MakeArray({HostVariant(std::move(key)), std::move(value)}));
}

}  // namespace zel
