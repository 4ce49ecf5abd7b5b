#include "host/json_codec.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>
#include <vector>

#include "runtime/datetime.h"
#include "runtime/host_error.h"
#include "runtime/win1252.h"

namespace ecf {
namespace {

using zel::FieldType;
using zel::HostVariant;

struct TypeName {
  const char* name;
  FieldType type;
};

// Input names first: the seven a scenario uses most, then every other type by its name.
constexpr TypeName kTypeNames[] = {
    {"string", FieldType::kString},
    {"float", FieldType::kFloat},
    {"integer", FieldType::kInteger},
    {"boolean", FieldType::kBoolean},
    {"datetime", FieldType::kDateTime},
    {"currency", FieldType::kCurrency},
    {"memo", FieldType::kMemo},
    {"smallint", FieldType::kSmallint},
    {"largeint", FieldType::kLargeint},
    {"word", FieldType::kWord},
    {"byte", FieldType::kByte},
    {"longword", FieldType::kLongWord},
    {"autoinc", FieldType::kAutoInc},
    {"bcd", FieldType::kBCD},
    {"fmtbcd", FieldType::kFMTBcd},
    {"date", FieldType::kDate},
    {"time", FieldType::kTime},
    {"sqltimestamp", FieldType::kSQLTimeStamp},
    {"blob", FieldType::kBlob},
    {"graphic", FieldType::kGraphic},
    {"widestring", FieldType::kWideString},
    {"widememo", FieldType::kWideMemo},
};

FieldType TypeFromName(const std::string& name) {
  for (const auto& t : kTypeNames) {
    if (name == t.name) return t.type;
  }
  throw EncodingError("unknown field type \"" + name + "\"");
}

const char* NameFromType(FieldType type) {
  for (const auto& t : kTypeNames) {
    if (type == t.type) return t.name;
  }
  return "string";
}

bool IsDateType(FieldType type) {
  return type == FieldType::kDate || type == FieldType::kTime || type == FieldType::kDateTime ||
         type == FieldType::kSQLTimeStamp;
}

bool IsIntegerType(FieldType type) {
  switch (type) {
    case FieldType::kSmallint:
    case FieldType::kInteger:
    case FieldType::kLargeint:
    case FieldType::kWord:
    case FieldType::kByte:
    case FieldType::kLongWord:
    case FieldType::kAutoInc:
      return true;
    default:
      return false;
  }
}

bool IsFloatType(FieldType type) {
  return type == FieldType::kFloat || type == FieldType::kCurrency || type == FieldType::kBCD ||
         type == FieldType::kFMTBcd;
}

// A row value into the current record's field.
void StoreCell(const Json& cell, zel::Field& field) {
  if (cell.is_null()) {
    field.Clear();
  } else if (IsTagged(cell, "date")) {
    if (!cell.at("date").is_string()) {
      throw EncodingError("field " + field.name() + ": \"date\" must be a text");
    }
    field.SetAsDateTime(ParseIsoDateTime(cell.at("date").get<std::string>()));
  } else if (cell.is_boolean()) {
    field.SetAsBoolean(cell.get<bool>());
  } else if (cell.is_number_integer()) {
    if (IsFloatType(field.type())) {
      field.SetAsFloat(static_cast<double>(cell.get<int64_t>()));
    } else {
      field.SetAsInteger(cell.get<int64_t>());
    }
  } else if (cell.is_number()) {
    field.SetAsFloat(cell.get<double>());
  } else if (cell.is_string()) {
    const std::string text = FromJsonText(cell.get<std::string>());
    if (IsDateType(field.type())) {
      field.SetAsDateTime(ParseIsoDateTime(text));
    } else {
      field.SetAsString(text);
    }
  } else {
    throw EncodingError("field " + field.name() + ": a row value must be a text, number, " +
                        "boolean, null or {\"date\": ...}");
  }
}

Json CellOf(const zel::Field& field) {
  if (field.IsNull()) return nullptr;
  const FieldType type = field.type();
  if (type == FieldType::kBoolean) return field.AsBoolean();
  if (IsIntegerType(type)) return field.AsInt64();
  if (IsFloatType(type)) return field.AsFloat();
  if (IsDateType(type)) return FormatIsoDateTime(field.AsDateTime());
  return ToJsonText(field.AsString());
}

bool LooksLikeParams(const HostVariant& value) {
  if (!value.IsArray()) return false;
  for (const auto& pair : value.Elements()) {
    if (!pair.IsArray() || pair.Elements().size() != 2 ||
        pair.Elements()[0].kind() != HostVariant::Kind::kText) {
      return false;
    }
  }
  return true;
}

}  // namespace

int NestingDepth(const Json& json) {
  int deepest = 0;
  std::vector<std::pair<const Json*, int>> pending = {{&json, 0}};
  while (!pending.empty()) {
    auto [value, depth] = pending.back();
    pending.pop_back();
    if (!value->is_structured()) continue;
    deepest = std::max(deepest, depth + 1);
    for (const Json& element : *value) pending.emplace_back(&element, depth + 1);
  }
  return deepest;
}

bool IsTagged(const Json& json, const char* key) {
  return json.is_object() && json.size() == 1 && json.contains(key);
}

std::string ToJsonText(const std::string& win1252) { return zel::Win1252ToUtf8(win1252); }
std::string FromJsonText(const std::string& utf8) { return zel::Utf8ToWin1252(utf8); }

zel::TDateTime ParseIsoDateTime(const std::string& text) {
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0, ms = 0;
  char tail = 0;
  const int n = std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d.%3d%c", &y, &mo, &d, &h, &mi, &s,
                            &ms, &tail);
  const bool shape_ok = n == 3 ? text.size() == 10 : (n >= 5 && n <= 7);
  zel::TDateTime value = 0;
  if (!shape_ok || !zel::TryEncodeDateTime(y, mo, d, h, mi, s, ms, value)) {
    throw EncodingError("\"" + text + "\" is not a date-time of the form 2026-12-10T10:00:00");
  }
  return value;
}

std::string FormatIsoDateTime(zel::TDateTime value) {
  int y, mo, d, h, mi, s, ms;
  zel::DecodeDateTime(value, y, mo, d, h, mi, s, ms);
  char buffer[40];
  if (ms != 0) {
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02dT%02d:%02d:%02d.%03d", y, mo, d, h, mi, s,
                  ms);
  } else {
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02dT%02d:%02d:%02d", y, mo, d, h, mi, s);
  }
  return buffer;
}

namespace {

// DecodeVariant once the depth is known to be within bounds.
HostVariant DecodeValue(const Json& json) {
  if (json.is_null()) return HostVariant();
  if (json.is_boolean()) return HostVariant(json.get<bool>());
  if (json.is_number_integer()) return HostVariant(json.get<int64_t>());
  if (json.is_number()) return HostVariant(json.get<double>());
  if (json.is_string()) return HostVariant(FromJsonText(json.get<std::string>()));
  if (IsTagged(json, "params")) {
    const Json& pairs = json.at("params");
    if (!pairs.is_object()) throw EncodingError("\"params\" must be an object");
    HostVariant params = HostVariant::MakeArray({});
    for (const auto& [key, value] : pairs.items()) {
      zel::AddParam(params, FromJsonText(key), DecodeValue(value));
    }
    return params;
  }
  if (IsTagged(json, "array")) {
    const Json& items = json.at("array");
    if (!items.is_array()) throw EncodingError("\"array\" must be a JSON array");
    std::vector<HostVariant> elements;
    for (const auto& item : items) elements.push_back(DecodeValue(item));
    return HostVariant::MakeArray(std::move(elements));
  }
  if (IsTagged(json, "date")) {
    if (!json.at("date").is_string()) throw EncodingError("\"date\" must be a text");
    return HostVariant::FromDateTime(ParseIsoDateTime(json.at("date").get<std::string>()));
  }
  if (IsTagged(json, "table")) {
    zel::MemTable table;
    DecodeTable(json, table);
    return HostVariant::FromPacket(table.Data());
  }
  throw EncodingError("unknown value " + json.dump() +
                      " (expected a text, number, boolean, null, or an object with one of " +
                      "params, array, table, list, date)");
}

}  // namespace

HostVariant DecodeVariant(const Json& json) {
  if (json.is_structured() && NestingDepth(json) > kMaxValueDepth) {
    throw EncodingError("a value nested deeper than " + std::to_string(kMaxValueDepth) + " levels");
  }
  return DecodeValue(json);
}

Json EncodeVariant(const HostVariant& value, bool as_params) {
  using Kind = HostVariant::Kind;
  switch (value.kind()) {
    case Kind::kEmpty:
    case Kind::kNull:
      return nullptr;
    case Kind::kInteger:
      return value.AsInt64();
    case Kind::kFloat:
      return value.AsFloat();
    case Kind::kBoolean:
      return value.AsBoolean();
    case Kind::kText:
      return ToJsonText(value.AsString());
    case Kind::kDateTime:
      return Json{{"date", FormatIsoDateTime(value.AsDateTime())}};
    case Kind::kTable:
      return EncodeTablePacket(value.Packet());
    case Kind::kArray:
      break;
  }
  if (as_params && LooksLikeParams(value)) {
    Json pairs = Json::object();
    for (const auto& pair : value.Elements()) {
      pairs[ToJsonText(pair.Elements()[0].AsString())] = EncodeVariant(pair.Elements()[1]);
    }
    return Json{{"params", pairs}};
  }
  Json items = Json::array();
  for (const auto& element : value.Elements()) items.push_back(EncodeVariant(element));
  return Json{{"array", items}};
}

// The widest text field a table in a scenario may declare.
constexpr int64_t kMaxFieldSize = 65535;

void DecodeTable(const Json& json, zel::MemTable& table) {
  const Json& body = IsTagged(json, "table") ? json.at("table") : json;
  if (!body.is_object() || !body.contains("fields") || !body.at("fields").is_array()) {
    throw EncodingError("a table needs {\"fields\": [...], \"rows\": [...]}");
  }
  table.Close();
  table.ClearFields();
  for (const auto& field : body.at("fields")) {
    if (!field.is_object() || !field.contains("name") || !field.at("name").is_string()) {
      throw EncodingError("each table field needs a \"name\"");
    }
    const std::string name = FromJsonText(field.at("name").get<std::string>());
    if (field.contains("type") && !field.at("type").is_string()) {
      throw EncodingError("field " + name + ": \"type\" must be a text");
    }
    if (field.contains("size") &&
        !(field.at("size").is_number_integer() && field.at("size").get<int64_t>() >= 0 &&
          field.at("size").get<int64_t>() <= kMaxFieldSize)) {
      throw EncodingError("field " + name + ": \"size\" must be a whole number from 0 to " +
                          std::to_string(kMaxFieldSize));
    }
    const std::string type = field.value("type", std::string("string"));
    const int size = static_cast<int>(field.value("size", int64_t{0}));
    try {
      table.AddField(name, TypeFromName(type), size);
    } catch (const zel::HostError& e) {
      throw EncodingError("field " + name + ": " + e.what());
    }
  }
  const Json no_rows = Json::array();
  const Json& rows = body.contains("rows") ? body.at("rows") : no_rows;
  if (!rows.is_array()) throw EncodingError("\"rows\" must be a JSON array");
  // A table without fields is a host table the operation fills whole: it
  // stays closed until then.
  if (table.FieldCount() == 0) {
    if (!rows.empty()) throw EncodingError("a table without fields has no rows");
    return;
  }
  table.CreateDataSet();
  for (const auto& row : rows) {
    if (!row.is_array() || static_cast<int>(row.size()) > table.FieldCount()) {
      throw EncodingError("each row must be an array of at most " +
                          std::to_string(table.FieldCount()) + " values");
    }
    table.Append();
    for (size_t i = 0; i < row.size(); ++i) {
      zel::Field& field = table.Fields(static_cast<int>(i));
      try {
        StoreCell(row[i], field);
      } catch (const zel::HostError& e) {
        throw EncodingError("field " + field.name() + ": " + e.what());
      }
    }
    table.Post();
  }
  table.MergeChangeLog();
  table.First();
}

Json EncodeTablePacket(const std::string& packet) {
  zel::MemTable copy;
  copy.SetData(packet);
  Json fields = Json::array();
  for (const auto& def : copy.FieldDefs()) {
    Json field = {{"name", ToJsonText(def.name)}, {"type", NameFromType(def.type)}};
    if (def.type == FieldType::kString || def.type == FieldType::kWideString) {
      field["size"] = def.size;
    }
    fields.push_back(field);
  }
  Json rows = Json::array();
  for (copy.First(); !copy.Eof(); copy.Next()) {
    Json row = Json::array();
    for (int i = 0; i < copy.FieldCount(); ++i) row.push_back(CellOf(copy.Fields(i)));
    rows.push_back(row);
  }
  return Json{{"table", {{"fields", fields}, {"rows", rows}}}};
}

Json EncodeTable(const zel::MemTable& table) {
  if (!table.Active()) {
    Json fields = Json::array();
    for (const auto& def : table.FieldDefs()) {
      fields.push_back({{"name", ToJsonText(def.name)}, {"type", NameFromType(def.type)}});
    }
    return Json{{"table", {{"fields", fields}, {"rows", Json::array()}}}};
  }
  return EncodeTablePacket(table.Data());
}

void DecodeList(const Json& json, zel::StringList& list) {
  const Json& items = IsTagged(json, "list") ? json.at("list") : json;
  if (!items.is_array()) throw EncodingError("a list must be {\"list\": [\"...\"]}");
  list.Clear();
  for (const auto& item : items) {
    if (!item.is_string()) throw EncodingError("list items must be texts");
    list.Add(FromJsonText(item.get<std::string>()));
  }
}

Json EncodeList(const zel::StringList& list) {
  Json items = Json::array();
  for (const auto& s : list.Strings()) items.push_back(ToJsonText(s));
  return Json{{"list", items}};
}

}  // namespace ecf
