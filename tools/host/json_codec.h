// The JSON encoding of host values used by `ecf run` and `ecf table`.
//
//   "text"                      a text (UTF-8 in JSON, Windows-1252 inside)
//   12 / 1.5 / true / null      integer, float, boolean, the empty value
//   {"params": {"K": v, ...}}   a HostParams bundle, pairs in the object's order
//   {"array": [v, ...]}         an array of variants
//   {"table": {"fields": [{"name": "X", "type": "string", "size": 3}],
//              "rows": [["001"], ...]}}     table data (a data packet)
//   {"list": ["line", ...]}     a string list
//   {"date": "2026-12-10T10:00:00"}         a date-time
//
// Field types: string, float, integer, boolean, datetime, currency, memo (and,
// on output, the other types a packet may carry, by their lower-case names).
#pragma once

#include <memory>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>

#include "runtime/memtable.h"
#include "runtime/string_list.h"
#include "runtime/variant.h"

namespace ecf {

using Json = nlohmann::ordered_json;

// A value that does not fit the encoding; the message names what is wrong.
class EncodingError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// "2026-12-10T10:00:00" (seconds and milliseconds optional) and back; the
// output leaves the milliseconds out when they are zero.
zel::TDateTime ParseIsoDateTime(const std::string& text);
std::string FormatIsoDateTime(zel::TDateTime value);

// JSON to variant: scalars, params, array, date, and table data (as a packet).
zel::HostVariant DecodeVariant(const Json& json);
// Variant to JSON. Arrays whose every element is a [text, value] pair are
// written as {"params": ...} when `as_params`; table data as {"table": ...}.
Json EncodeVariant(const zel::HostVariant& value, bool as_params = false);

// {"table": {...}} (or the inner object) into `table`, replacing its fields
// and rows; and a whole table (all rows, in its current order) to
// {"table": {...}}.
void DecodeTable(const Json& json, zel::MemTable& table);
Json EncodeTable(const zel::MemTable& table);
Json EncodeTablePacket(const std::string& packet);

void DecodeList(const Json& json, zel::StringList& list);
Json EncodeList(const zel::StringList& list);

// Windows-1252 <-> UTF-8 for JSON texts.
std::string ToJsonText(const std::string& win1252);
std::string FromJsonText(const std::string& utf8);

// The nesting depth of `json`: 0 for a scalar, 1 for an object or array of
// scalars, and so on. Counted without recursion, so any value can be measured.
int NestingDepth(const Json& json);

// How deep DecodeVariant and DecodeTable take a value (see NestingDepth);
// deeper ones are refused with an EncodingError.
inline constexpr int kMaxValueDepth = 64;

// True when `json` is an object with exactly the key `key`.
bool IsTagged(const Json& json, const char* key);

}  // namespace ecf
