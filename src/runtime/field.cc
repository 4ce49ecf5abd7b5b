// Field: typed reading and writing of one column of a MemTable's current
// record, with the host runtime's conversions between field kinds.
#include "runtime/field.h"

#include <cmath>
#include <limits>

#include "runtime/convert.h"
#include "runtime/format.h"
#include "runtime/host_error.h"
#include "runtime/memtable.h"
#include "runtime/record.h"

namespace zel {

namespace {

enum class Kind { kText, kBytes, kInteger, kBoolean, kFloat, kCurrency, kDate, kTime, kDateTime };

Kind KindOf(FieldType type) {
  switch (type) {
    case FieldType::kString:
    case FieldType::kWideString:
      return Kind::kText;
    case FieldType::kMemo:
    case FieldType::kWideMemo:
    case FieldType::kBlob:
    case FieldType::kGraphic:
      return Kind::kBytes;
    case FieldType::kSmallint:
    case FieldType::kInteger:
    case FieldType::kLargeint:
    case FieldType::kWord:
    case FieldType::kByte:
    case FieldType::kLongWord:
    case FieldType::kAutoInc:
      return Kind::kInteger;
    case FieldType::kBoolean:
      return Kind::kBoolean;
    case FieldType::kCurrency:
      return Kind::kCurrency;
    case FieldType::kFloat:
    case FieldType::kBCD:
    case FieldType::kFMTBcd:
      return Kind::kFloat;
    case FieldType::kDate:
      return Kind::kDate;
    case FieldType::kTime:
      return Kind::kTime;
    case FieldType::kDateTime:
    case FieldType::kSQLTimeStamp:
      return Kind::kDateTime;
  }
  return Kind::kText;
}

bool IsDateKind(Kind k) { return k == Kind::kDate || k == Kind::kTime || k == Kind::kDateTime; }
bool IsFloatKind(Kind k) { return k == Kind::kFloat || k == Kind::kCurrency; }

void IntegerRange(FieldType type, int64_t& low, int64_t& high) {
  switch (type) {
    case FieldType::kSmallint:
      low = -32768;
      high = 32767;
      return;
    case FieldType::kInteger:
    case FieldType::kAutoInc:
      low = std::numeric_limits<int32_t>::min();
      high = std::numeric_limits<int32_t>::max();
      return;
    case FieldType::kWord:
      low = 0;
      high = 65535;
      return;
    case FieldType::kByte:
      low = 0;
      high = 255;
      return;
    case FieldType::kLongWord:
      low = 0;
      high = 4294967295ll;
      return;
    default:
      low = std::numeric_limits<int64_t>::min();
      high = std::numeric_limits<int64_t>::max();
      return;
  }
}

// The runtime's Round: half to even.
int64_t RoundHalfEven(double v) { return static_cast<int64_t>(std::nearbyint(v)); }

bool StartsWithIgnoringCase(std::string_view whole, std::string_view prefix) {
  if (prefix.size() > whole.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    char a = whole[i];
    char b = prefix[i];
    if (a >= 'a' && a <= 'z') a = static_cast<char>(a - 32);
    if (b >= 'a' && b <= 'z') b = static_cast<char>(b - 32);
    if (a != b) return false;
  }
  return true;
}

}  // namespace

const char* FieldTypeName(FieldType type) {
  switch (type) {
    case FieldType::kString:
      return "String";
    case FieldType::kSmallint:
      return "SmallInt";
    case FieldType::kInteger:
      return "Integer";
    case FieldType::kLargeint:
      return "LargeInt";
    case FieldType::kWord:
      return "Word";
    case FieldType::kByte:
      return "Byte";
    case FieldType::kLongWord:
      return "LongWord";
    case FieldType::kAutoInc:
      return "AutoInc";
    case FieldType::kBoolean:
      return "Boolean";
    case FieldType::kFloat:
      return "Float";
    case FieldType::kCurrency:
      return "Currency";
    case FieldType::kBCD:
      return "BCD";
    case FieldType::kFMTBcd:
      return "FMTBcd";
    case FieldType::kDate:
      return "Date";
    case FieldType::kTime:
      return "Time";
    case FieldType::kDateTime:
      return "DateTime";
    case FieldType::kSQLTimeStamp:
      return "SQLTimeStamp";
    case FieldType::kMemo:
      return "Memo";
    case FieldType::kBlob:
      return "Blob";
    case FieldType::kGraphic:
      return "Graphic";
    case FieldType::kWideString:
      return "WideString";
    case FieldType::kWideMemo:
      return "WideMemo";
  }
  return "Unknown";
}

const FieldDef& Field::def() const { return table_->defs_[static_cast<size_t>(index_)]; }

FieldValue Field::Value() const {
  const uint8_t* record = table_->CurrentRecord();
  if (record == nullptr) return {};
  return table_->Layout()->Get(record, static_cast<size_t>(index_));
}

bool Field::IsNull() const {
  const uint8_t* record = table_->CurrentRecord();
  return record == nullptr || table_->Layout()->IsNull(record, static_cast<size_t>(index_));
}

void Field::AccessError(const char* type_name) const {
  throw DatasetError("Cannot access field '" + name() + "' as type " + type_name);
}

void Field::Store(const FieldValue& value) { table_->StoreValue(index_, value); }

// ---- Reading --------------------------------------------------------------

std::string Field::AsString(const FormatSettings& fs) const {
  FieldValue v = Value();
  if (std::holds_alternative<std::monostate>(v)) return {};
  switch (KindOf(type())) {
    case Kind::kText:
    case Kind::kBytes:
      return std::get<std::string>(std::move(v));
    case Kind::kInteger:
      return IntToStr(std::get<int64_t>(v));
    case Kind::kBoolean:
      return std::get<int64_t>(v) != 0 ? "True" : "False";
    case Kind::kFloat:
      return FloatToStr(std::get<double>(v), fs);
    case Kind::kCurrency:
      return FloatToStrF(std::get<double>(v), FloatFormat::kFixed, 15, fs.currency_decimals, fs);
    case Kind::kDate:
      return DateToStr(std::get<double>(v), fs);
    case Kind::kTime:
      return TimeToStr(std::get<double>(v), fs);
    case Kind::kDateTime:
      return DateTimeToStr(std::get<double>(v), fs);
  }
  return {};
}

std::string Field::DisplayText(const FormatSettings& fs) const {
  const FieldValue v = Value();
  if (std::holds_alternative<std::monostate>(v)) return {};
  const Kind kind = KindOf(type());
  const std::string& format = def().display_format;
  if ((IsFloatKind(kind) || kind == Kind::kInteger) && !format.empty()) {
    return FormatFloat(format, AsFloat(fs), fs);
  }
  if (IsDateKind(kind) && !format.empty()) return FormatDateTime(format, std::get<double>(v), fs);
  if (kind == Kind::kCurrency) {
    return FloatToStrF(std::get<double>(v), FloatFormat::kCurrency, 15, fs.currency_decimals, fs);
  }
  return AsString(fs);
}

void Field::SetDisplayFormat(std::string format) {
  table_->defs_[static_cast<size_t>(index_)].display_format = std::move(format);
}

double Field::AsFloat(const FormatSettings& fs) const {
  const Kind kind = KindOf(type());
  const FieldValue v = Value();
  switch (kind) {
    case Kind::kText:
      return StrToFloat(AsString(fs), fs);
    case Kind::kInteger:
      return IsNull() ? 0.0 : static_cast<double>(std::get<int64_t>(v));
    case Kind::kFloat:
    case Kind::kCurrency:
    case Kind::kDate:
    case Kind::kTime:
    case Kind::kDateTime:
      return IsNull() ? 0.0 : std::get<double>(v);
    default:
      AccessError("Float");
  }
}

int64_t Field::AsInt64(const FormatSettings& fs) const {
  const FieldValue v = Value();
  switch (KindOf(type())) {
    case Kind::kText:
      return StrToInt64(AsString(fs));
    case Kind::kInteger:
      return IsNull() ? 0 : std::get<int64_t>(v);
    case Kind::kFloat:
    case Kind::kCurrency:
      return IsNull() ? 0 : RoundHalfEven(std::get<double>(v));
    default:
      AccessError("Integer");
  }
}

int Field::AsInteger(const FormatSettings& fs) const { return static_cast<int>(AsInt64(fs)); }

bool Field::AsBoolean() const {
  const FieldValue v = Value();
  switch (KindOf(type())) {
    case Kind::kText: {
      const std::string s = AsString();
      return !s.empty() && (s[0] == 'T' || s[0] == 't' || s[0] == 'Y' || s[0] == 'y');
    }
    case Kind::kBoolean:
      return !IsNull() && std::get<int64_t>(v) != 0;
    default:
      AccessError("Boolean");
  }
}

TDateTime Field::AsDateTime(const FormatSettings& fs) const {
  const Kind kind = KindOf(type());
  if (kind == Kind::kText) return StrToDateTime(AsString(fs), fs);
  if (!IsDateKind(kind)) AccessError("DateTime");
  return IsNull() ? 0.0 : std::get<double>(Value());
}

HostVariant Field::AsVariant() const {
  const FieldValue v = Value();
  if (std::holds_alternative<std::monostate>(v)) return HostVariant::Null();
  switch (KindOf(type())) {
    case Kind::kText:
    case Kind::kBytes:
      return HostVariant(std::get<std::string>(v));
    case Kind::kInteger:
      return HostVariant(static_cast<long long>(std::get<int64_t>(v)));
    case Kind::kBoolean:
      return HostVariant(std::get<int64_t>(v) != 0);
    case Kind::kFloat:
    case Kind::kCurrency:
      return HostVariant(std::get<double>(v));
    case Kind::kDate:
    case Kind::kTime:
    case Kind::kDateTime:
      return HostVariant::FromDateTime(std::get<double>(v));
  }
  return HostVariant::Null();
}

// ---- Writing --------------------------------------------------------------

void Field::SetAsString(std::string_view value, const FormatSettings& fs) {
  const Kind kind = KindOf(type());
  if (kind == Kind::kText) {
    const size_t width = static_cast<size_t>(size() > 0 ? size() : 20);
    Store(std::string(value.substr(0, std::min(width, value.size()))));
    return;
  }
  if (kind == Kind::kBytes) {
    Store(std::string(value));
    return;
  }
  if (value.empty()) {
    Clear();
    return;
  }
  switch (kind) {
    case Kind::kInteger:
      SetAsInteger(StrToInt64(value));
      return;
    case Kind::kFloat:
    case Kind::kCurrency:
      SetAsFloat(StrToFloat(value, fs));
      return;
    case Kind::kBoolean:
      if (StartsWithIgnoringCase("False", value)) {
        SetAsBoolean(false);
      } else if (StartsWithIgnoringCase("True", value)) {
        SetAsBoolean(true);
      } else {
        throw DatasetError("'" + std::string(value) + "' is not a valid boolean value for field '" +
                           name() + "'");
      }
      return;
    case Kind::kDate:
      SetAsDateTime(StrToDate(value, fs));
      return;
    case Kind::kTime:
      SetAsDateTime(StrToTime(value, fs));
      return;
    case Kind::kDateTime:
      SetAsDateTime(StrToDateTime(value, fs));
      return;
    default:
      return;
  }
}

void Field::SetAsFloat(double value) {
  const Kind kind = KindOf(type());
  if (kind == Kind::kText) {
    SetAsString(FloatToStr(value));
  } else if (kind == Kind::kInteger) {
    if (!std::isfinite(value) || std::fabs(value) >= 9.2e18) {
      throw DatasetError("'" + FloatToStr(value) + "' is not a valid value for field '" + name() +
                         "'");
    }
    SetAsInteger(RoundHalfEven(value));
  } else if (IsFloatKind(kind)) {
    Store(value);
  } else if (IsDateKind(kind)) {
    SetAsDateTime(value);
  } else {
    AccessError("Float");
  }
}

void Field::SetAsInteger(int64_t value) {
  const Kind kind = KindOf(type());
  if (kind == Kind::kText) {
    SetAsString(IntToStr(value));
  } else if (kind == Kind::kInteger) {
    int64_t low, high;
    IntegerRange(type(), low, high);
    if (value < low || value > high) {
      throw DatasetError(std::to_string(value) + " is not a valid value for field '" + name() +
                         "'. The allowed range is " + std::to_string(low) + " to " +
                         std::to_string(high));
    }
    Store(value);
  } else if (IsFloatKind(kind)) {
    Store(static_cast<double>(value));
  } else {
    AccessError("Integer");
  }
}

void Field::SetAsBoolean(bool value) {
  const Kind kind = KindOf(type());
  if (kind == Kind::kText) {
    SetAsString(value ? "T" : "F");
  } else if (kind == Kind::kBoolean) {
    Store(int64_t{value ? 1 : 0});
  } else {
    AccessError("Boolean");
  }
}

void Field::SetAsDateTime(TDateTime value) {
  switch (KindOf(type())) {
    case Kind::kText:
      SetAsString(DateTimeToStr(value));
      return;
    case Kind::kDate:
      Store(DateOf(value));
      return;
    case Kind::kTime:
      Store(TimeOf(value));
      return;
    case Kind::kDateTime:
      Store(value);
      return;
    default:
      AccessError("DateTime");
  }
}

void Field::SetAsVariant(const HostVariant& value, const FormatSettings& fs) {
  if (value.IsNull() || value.IsEmpty()) {
    Clear();
    return;
  }
  switch (KindOf(type())) {
    case Kind::kText:
    case Kind::kBytes:
      SetAsString(value.AsString(fs), fs);
      return;
    case Kind::kInteger:
      SetAsInteger(value.AsInt64(fs));
      return;
    case Kind::kBoolean:
      SetAsBoolean(value.AsBoolean());
      return;
    case Kind::kFloat:
    case Kind::kCurrency:
      SetAsFloat(value.AsFloat(fs));
      return;
    case Kind::kDate:
    case Kind::kTime:
    case Kind::kDateTime:
      SetAsDateTime(value.AsDateTime(fs));
      return;
  }
}

void Field::Clear() { Store(FieldValue{}); }

}  // namespace zel
