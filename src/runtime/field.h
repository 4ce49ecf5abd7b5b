// Fields of the host runtime's client dataset (MemTable): the field types a
// table and its data packets know, the definition of one field, and Field,
// the typed accessor of one column of the table's current record.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

#include "runtime/datetime.h"
#include "runtime/format_settings.h"
#include "runtime/variant.h"

namespace zel {

class MemTable;

enum class FieldType {
  kString,        // text of at most `size` characters (Windows-1252 bytes)
  kSmallint,      // 16-bit signed integer
  kInteger,       // 32-bit signed integer
  kLargeint,      // 64-bit signed integer
  kWord,          // 16-bit unsigned integer
  kByte,          // 8-bit unsigned integer
  kLongWord,      // 32-bit unsigned integer
  kAutoInc,       // 32-bit signed integer, marked as automatic in packets
  kBoolean,       // true/false
  kFloat,         // double
  kCurrency,      // double, marked as money in packets
  kBCD,           // decimal number (kept as a double; `size` is the number of decimals)
  kFMTBcd,        // as kBCD
  kDate,          // date-time whose time part is dropped
  kTime,          // date-time whose date part is dropped
  kDateTime,      // date-time
  kSQLTimeStamp,  // date-time stored as a timestamp record in packets
  kMemo,          // text of any length
  kBlob,          // bytes of any length
  kGraphic,       // bytes of any length (a picture)
  kWideString,    // text of at most `size` characters, UTF-16 in packets
  kWideMemo,      // text of any length, UTF-16 in packets
};

// The runtime's name of a field type ("String", "Float", "DateTime", ...), as
// used in conversion messages.
const char* FieldTypeName(FieldType type);

// Attribute bits of a field as data packets carry them.
inline constexpr uint16_t kFieldHidden = 0x01;
inline constexpr uint16_t kFieldReadOnly = 0x02;
inline constexpr uint16_t kFieldRequired = 0x04;
inline constexpr uint16_t kFieldLink = 0x08;

struct FieldDef {
  std::string name;
  FieldType type = FieldType::kString;
  // Declared width for kString/kWideString (20 when given as 0), decimals for
  // kBCD/kFMTBcd, declared size of memos and blobs (carried in packets as
  // their WIDTH, 0 for none), unused otherwise.
  int size = 0;
  // Declared total digits of kBCD/kFMTBcd (WIDTH in packets; 0 writes 32).
  int precision = 0;
  // Packet attribute bits (kFieldRequired, ...); Post refuses a null value in
  // a required field.
  uint16_t attributes = 0;
  // Packet sub-type of blob-like fields ("Binary", "TypedBinary", ...) when it
  // differs from the type's own; empty means the type's default.
  std::string subtype;
  // Pattern of DisplayText for number and date-time fields (FormatFloat /
  // FormatDateTime syntax); not carried in packets.
  std::string display_format;

  bool required() const { return (attributes & kFieldRequired) != 0; }
};

// One stored value: null, an integer (integers and booleans), a double
// (floats, currency, decimals and every date-time type, as TDateTime), or
// bytes (texts, memos, blobs).
using FieldValue = std::variant<std::monostate, int64_t, double, std::string>;

// A column of a MemTable, bound to the table's current record (or to the
// record being edited). Obtained from MemTable::FieldByName / FindField /
// Fields(i); the reference stays valid for the table's lifetime as long as
// a field of that name exists (redefining the fields keeps fields of the
// same name).
//
// Reading: a null value reads as "" / 0 / 0.0 / false / date-time 0 from the
// accessor of the field's own kind. A table that is closed or has no current
// record reads every field as null. Cross-kind reads follow the runtime:
//  - AsString of a float is FloatToStr, of currency the fixed form with
//    two decimals ("1234,50"), of a boolean "True"/"False", of a date
//    DateToStr, of a time TimeToStr, of a date-time DateTimeToStr, of a blob
//    its bytes;
//  - a text field read as a number or date converts its text through the
//    locale and raises ConvertError when it does not convert (an empty text
//    included); read as a boolean it is true when it starts with T, t, Y or y;
//  - a float read as an integer is rounded (half to even);
//  - a conversion the runtime does not offer (a number read as a boolean, a
//    boolean read as a date, ...) raises DatasetError
//    "Cannot access field 'X' as type Boolean".
//
// Writing: the table must be in edit or insert mode, otherwise DatasetError
// "Dataset not in edit or insert mode". A text longer than a text field's
// width is cut to the width. SetAsString("") on a non-text field makes it
// null; a text that does not convert raises ConvertError (boolean fields take
// "True"/"False" or any prefix of them, in any case, otherwise DatasetError
// "'x' is not a valid boolean value for field 'X'"). Dates drop the time of
// day, times drop the date. An integer outside the field's range raises
// DatasetError "N is not a valid value for field 'X'. The allowed range is A
// to B". SetAsVariant of a null or
// empty variant makes the field null.
class Field {
 public:
  Field(MemTable* table, int index) : table_(table), index_(index) {}
  Field(const Field&) = delete;
  Field& operator=(const Field&) = delete;

  const FieldDef& def() const;
  const std::string& name() const { return def().name; }
  FieldType type() const { return def().type; }
  int size() const { return def().size; }
  int index() const { return index_; }  // 0-based position in the table
  bool required() const { return def().required(); }

  bool IsNull() const;
  std::string AsString(const FormatSettings& fs = BrazilianFormatSettings()) const;
  double AsFloat(const FormatSettings& fs = BrazilianFormatSettings()) const;
  int AsInteger(const FormatSettings& fs = BrazilianFormatSettings()) const;
  int64_t AsInt64(const FormatSettings& fs = BrazilianFormatSettings()) const;
  bool AsBoolean() const;
  TDateTime AsDateTime(const FormatSettings& fs = BrazilianFormatSettings()) const;
  double AsCurrency(const FormatSettings& fs = BrazilianFormatSettings()) const {
    return AsFloat(fs);
  }
  // The text shown to a user: the display format applied to a number or
  // date-time when one is set; currency as a currency amount ("R$ 1.234,50");
  // otherwise AsString. "" for a null.
  std::string DisplayText(const FormatSettings& fs = BrazilianFormatSettings()) const;
  void SetDisplayFormat(std::string format);
  // Null for a null value; otherwise text, integer, float, boolean or
  // date-time by the field's type (blobs as text holding the bytes).
  HostVariant AsVariant() const;

  void SetAsString(std::string_view value, const FormatSettings& fs = BrazilianFormatSettings());
  void SetAsFloat(double value);
  void SetAsCurrency(double value) { SetAsFloat(value); }
  void SetAsInteger(int64_t value);
  void SetAsBoolean(bool value);
  void SetAsDateTime(TDateTime value);
  void SetAsVariant(const HostVariant& value, const FormatSettings& fs = BrazilianFormatSettings());
  void Clear();  // make the value null

  // The stored value itself (no conversion), as the variant of its kind.
  FieldValue Value() const;

 private:
  friend class MemTable;
  [[noreturn]] void AccessError(const char* type_name) const;
  void Store(const FieldValue& value);

  MemTable* table_;
  int index_;
  std::string name_cache_;  // lets the table match fields by name when redefined
};

}  // namespace zel
