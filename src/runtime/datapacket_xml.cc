// The XML data packet:
//   <?xml version="1.0" standalone="yes"?>  <DATAPACKET Version="2.0">
//   <METADATA><FIELDS><FIELD .../>...</FIELDS><PARAMS .../></METADATA>
//   <ROWDATA><ROW .../>...</ROWDATA></DATAPACKET>
// written on one line by hand (the layout is fixed and the writer must be
// fast) and read with pugixml. Values never depend on the locale.
#include <algorithm>
#include <array>
#include <charconv>
#include <pugixml.hpp>
#include <unordered_map>

#include "runtime/datapacket.h"
#include "runtime/datapacket_values.h"
#include "runtime/host_error.h"
#include "runtime/win1252.h"

namespace zel::datapacket {

namespace {

[[noreturn]] void Fail(const std::string& message) {
  throw DatasetError("Invalid XML data packet: " + message);
}

// ---- Field types --------------------------------------------------------

const char* XmlFieldType(FieldType type) {
  switch (type) {
    case FieldType::kString:
      return "string";
    case FieldType::kWideString:
      return "string.uni";
    case FieldType::kSmallint:
      return "i2";
    case FieldType::kInteger:
    case FieldType::kAutoInc:
      return "i4";
    case FieldType::kLargeint:
      return "i8";
    case FieldType::kWord:
      return "ui2";
    case FieldType::kByte:
      return "ui1";
    case FieldType::kLongWord:
      return "ui4";
    case FieldType::kBoolean:
      return "boolean";
    case FieldType::kFloat:
    case FieldType::kCurrency:
      return "r8";
    case FieldType::kBCD:
      return "fixed";
    case FieldType::kFMTBcd:
      return "fixedFMT";
    case FieldType::kDate:
      return "date";
    case FieldType::kTime:
      return "time";
    case FieldType::kDateTime:
      return "dateTime";
    case FieldType::kSQLTimeStamp:
      return "SQLdateTime";
    case FieldType::kMemo:
    case FieldType::kBlob:
    case FieldType::kGraphic:
    case FieldType::kWideMemo:
      return "bin.hex";
  }
  return "";
}

bool FieldTypeFromXml(std::string_view name, const std::string& subtype, FieldType& out) {
  static const std::unordered_map<std::string_view, FieldType> kTypes = {
      {"string", FieldType::kString},
      {"string.uni", FieldType::kWideString},
      {"i1", FieldType::kSmallint},
      {"i2", FieldType::kSmallint},
      {"i4", FieldType::kInteger},
      {"i8", FieldType::kLargeint},
      {"ui1", FieldType::kByte},
      {"ui2", FieldType::kWord},
      {"ui4", FieldType::kLongWord},
      {"ui8", FieldType::kLargeint},
      {"boolean", FieldType::kBoolean},
      {"r4", FieldType::kFloat},
      {"r8", FieldType::kFloat},
      {"fixed", FieldType::kBCD},
      {"fixedFMT", FieldType::kFMTBcd},
      {"date", FieldType::kDate},
      {"time", FieldType::kTime},
      {"dateTime", FieldType::kDateTime},
      {"SQLdateTime", FieldType::kSQLTimeStamp},
      {"bin.hex", FieldType::kBlob},
  };
  const auto it = kTypes.find(name);
  if (it == kTypes.end()) return false;
  out = it->second;
  if (out == FieldType::kInteger && subtype == "Autoinc") out = FieldType::kAutoInc;
  if (out == FieldType::kFloat && subtype == "Money") out = FieldType::kCurrency;
  if (out == FieldType::kBlob) {
    if (subtype == "Text") out = FieldType::kMemo;
    if (subtype == "WideText") out = FieldType::kWideMemo;
    if (subtype == "Graphics") out = FieldType::kGraphic;
  }
  return true;
}

// ---- Writer -------------------------------------------------------------

class XmlOut {
 public:
  XmlOut(std::string& out, bool utf8) : out_(out), utf8_(utf8) {}

  void Raw(std::string_view s) { out_.append(s); }

  // Windows-1252 text as attribute content.
  void Escaped(std::string_view text) {
    static const std::array<std::string, 256> kUtf8 = [] {
      std::array<std::string, 256> table;
      for (int i = 0x80; i < 0x100; ++i)
        table[i] = Win1252ToUtf8(std::string(1, static_cast<char>(i)));
      return table;
    }();
    size_t plain_from = 0;
    auto flush = [&](size_t to) {
      if (to > plain_from) out_.append(text.substr(plain_from, to - plain_from));
    };
    for (size_t i = 0; i < text.size(); ++i) {
      const unsigned char c = static_cast<unsigned char>(text[i]);
      const char* entity = nullptr;
      switch (c) {
        case '&':
          entity = "&amp;";
          break;
        case '<':
          entity = "&lt;";
          break;
        case '>':
          entity = "&gt;";
          break;
        case '"':
          entity = "&quot;";
          break;
        default:
          break;
      }
      if (entity == nullptr && c >= 0x20 && c < 0x80) continue;
      flush(i);
      plain_from = i + 1;
      if (entity != nullptr) {
        out_.append(entity);
      } else if (c < 0x20) {
        // Control characters (line breaks of memos) as three-digit references.
        char buf[8];
        std::snprintf(buf, sizeof buf, "&#%03d;", c);
        out_.append(buf);
      } else if (utf8_) {
        out_.append(kUtf8[c]);
      } else {
        out_.append("&#");
        out_.append(std::to_string(static_cast<uint32_t>(Win1252ToCodePoint(c))));
        out_.push_back(';');
      }
    }
    flush(text.size());
  }

  void Attr(std::string_view name, std::string_view value) {
    out_.push_back(' ');
    out_.append(name);
    out_.append("=\"");
    Escaped(value);
    out_.push_back('"');
  }

 private:
  std::string& out_;
  bool utf8_;
};

bool NameChar(unsigned char c, bool first) {
  if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_') return true;
  return !first && ((c >= '0' && c <= '9') || c == '-' || c == '.');
}

// The field's name as an XML attribute name: anything that is not an ASCII
// name character becomes "_"; a clash with an earlier field or with RowState
// gets a numeric suffix.
std::vector<std::string> AttrNames(const std::vector<FieldDef>& fields) {
  std::vector<std::string> names;
  std::unordered_map<std::string, int> used = {{"RowState", 1}};
  for (const FieldDef& def : fields) {
    std::string name = def.name.empty() ? "_" : def.name;
    for (size_t i = 0; i < name.size(); ++i) {
      if (!NameChar(static_cast<unsigned char>(name[i]), i == 0)) name[i] = '_';
    }
    std::string unique = name;
    for (int n = 1; used.count(unique) != 0; ++n) unique = name + "_" + std::to_string(n);
    used[unique] = 1;
    names.push_back(unique);
  }
  return names;
}

std::string JoinNumbers(const auto& values) {
  std::string s;
  for (auto v : values) {
    if (!s.empty()) s.push_back(' ');
    s += std::to_string(v);
  }
  return s;
}

// Writes a non-null value as attribute content, straight into the output.
void AppendValue(XmlOut& x, std::string& out, const FieldDef& def, const FieldValue& value) {
  char buf[kXmlFloatChars > kXmlDateTimeChars ? kXmlFloatChars : kXmlDateTimeChars];
  switch (def.type) {
    case FieldType::kString:
    case FieldType::kWideString:
    case FieldType::kMemo:
    case FieldType::kWideMemo:
      x.Escaped(TextOf(value));
      return;
    case FieldType::kBlob:
    case FieldType::kGraphic:
      out.append(Base64Encode(TextOf(value)));
      return;
    case FieldType::kBoolean:
      out.append(IntOf(value) != 0 ? "TRUE" : "FALSE");
      return;
    case FieldType::kSmallint:
    case FieldType::kInteger:
    case FieldType::kAutoInc:
    case FieldType::kLargeint:
    case FieldType::kWord:
    case FieldType::kByte:
    case FieldType::kLongWord:
      out.append(buf, std::to_chars(buf, buf + sizeof buf, IntOf(value)).ptr);
      return;
    case FieldType::kFloat:
    case FieldType::kCurrency:
    case FieldType::kBCD:
    case FieldType::kFMTBcd:
      out.append(buf, XmlFloatChars(FloatOf(value), buf));
      return;
    case FieldType::kDate:
      out.append(buf, XmlDateChars(FloatOf(value), buf));
      return;
    case FieldType::kTime:
      out.append(buf, XmlTimeChars(FloatOf(value), buf));
      return;
    case FieldType::kDateTime:
    case FieldType::kSQLTimeStamp:
      out.append(buf, XmlDateTimeChars(FloatOf(value), buf));
      return;
  }
}

// Rough size of a value's text, to reserve the output once.
size_t TypicalWidth(const FieldDef& def) {
  switch (def.type) {
    case FieldType::kString:
    case FieldType::kWideString:
      return static_cast<size_t>(std::min(TextWidth(def), 64));
    case FieldType::kMemo:
    case FieldType::kWideMemo:
    case FieldType::kBlob:
    case FieldType::kGraphic:
      return 64;
    default:
      return 20;
  }
}

// ---- Reader -------------------------------------------------------------

// True when the document declares UTF-8 (or starts with a UTF-8 mark).
bool DeclaresUtf8(std::string_view text) {
  if (text.starts_with("\xEF\xBB\xBF")) return true;
  if (!text.starts_with("<?xml")) return false;
  const std::string_view prolog = text.substr(0, text.find("?>"));
  const size_t at = prolog.find("encoding");
  if (at == std::string_view::npos) return false;
  std::string value;
  for (size_t i = at + 8; i < prolog.size(); ++i) {
    const char c = prolog[i];
    if (c == '"' || c == '\'' || c == '=' || c == ' ') {
      if (!value.empty()) break;
      continue;
    }
    value.push_back(static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c));
  }
  return value == "UTF-8" || value == "UTF8";
}

// True when every byte above ASCII belongs to a well-formed UTF-8 sequence.
bool ValidUtf8(std::string_view text) {
  size_t i = 0;
  while (i < text.size()) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    int extra = c < 0x80           ? 0
                : (c >> 5) == 0x6  ? 1
                : (c >> 4) == 0xE  ? 2
                : (c >> 3) == 0x1E ? 3
                                   : -1;
    if (extra < 0 || (extra == 1 && c < 0xC2)) return false;
    if (i + static_cast<size_t>(extra) >= text.size()) return false;
    for (int k = 1; k <= extra; ++k) {
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    }
    i += static_cast<size_t>(extra) + 1;
  }
  return true;
}

std::string Text1252(const char* utf8) { return Utf8ToWin1252(utf8); }

// The values an integer field of this type holds; false for 64-bit fields,
// whose whole range the parser already enforces.
bool IntegerRange(FieldType type, int64_t& low, int64_t& high) {
  switch (type) {
    case FieldType::kSmallint:
      low = -32768;
      high = 32767;
      return true;
    case FieldType::kInteger:
    case FieldType::kAutoInc:
      low = -2147483648LL;
      high = 2147483647LL;
      return true;
    case FieldType::kWord:
      low = 0;
      high = 65535;
      return true;
    case FieldType::kByte:
      low = 0;
      high = 255;
      return true;
    case FieldType::kLongWord:
      low = 0;
      high = 4294967295LL;
      return true;
    default:
      return false;
  }
}

FieldValue ParseValue(const FieldDef& def, const pugi::xml_attribute& attr) {
  const char* raw = attr.value();
  const std::string_view text(raw);
  auto bad = [&]() -> FieldValue {
    Fail("invalid value '" + Text1252(raw) + "' for field '" + def.name + "'");
  };
  const bool text_type = def.type == FieldType::kString || def.type == FieldType::kWideString ||
                         def.type == FieldType::kMemo || def.type == FieldType::kWideMemo;
  if (text_type) return Text1252(raw);
  if (text.empty()) return {};  // an empty non-text value is a null
  switch (def.type) {
    case FieldType::kBlob:
    case FieldType::kGraphic: {
      std::string bytes;
      if (!Base64Decode(text, bytes)) return bad();
      return bytes;
    }
    case FieldType::kBoolean: {
      std::string upper(text);
      for (char& c : upper) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
      if (upper == "TRUE" || upper == "1") return int64_t{1};
      if (upper == "FALSE" || upper == "0") return int64_t{0};
      return bad();
    }
    case FieldType::kSmallint:
    case FieldType::kInteger:
    case FieldType::kAutoInc:
    case FieldType::kLargeint:
    case FieldType::kWord:
    case FieldType::kByte:
    case FieldType::kLongWord: {
      int64_t v = 0;
      if (!ParseXmlInt(text, v)) return bad();
      int64_t low = 0;
      int64_t high = 0;
      if (IntegerRange(def.type, low, high) && (v < low || v > high)) {
        Fail("value " + std::to_string(v) + " out of range for field '" + def.name + "' (" +
             std::to_string(low) + " to " + std::to_string(high) + ")");
      }
      return v;
    }
    case FieldType::kFloat:
    case FieldType::kCurrency:
    case FieldType::kBCD:
    case FieldType::kFMTBcd: {
      double v = 0;
      if (!ParseXmlFloat(text, v)) return bad();
      return v;
    }
    case FieldType::kDate: {
      TDateTime v = 0;
      if (!ParseXmlDate(text, v)) return bad();
      return v;
    }
    case FieldType::kTime: {
      TDateTime v = 0;
      if (!ParseXmlTime(text, v)) return bad();
      return v;
    }
    case FieldType::kDateTime:
    case FieldType::kSQLTimeStamp: {
      TDateTime v = 0;
      if (!ParseXmlDateTime(text, v)) return bad();
      return v;
    }
    default:
      return bad();
  }
}

template <typename T>
std::vector<T> ParseNumberList(const pugi::xml_attribute& attr, const char* what) {
  std::vector<T> values;
  std::string_view text(attr.value());
  while (!text.empty()) {
    const size_t start = text.find_first_not_of(" \t\r\n");
    if (start == std::string_view::npos) break;
    text.remove_prefix(start);
    const size_t end = std::min(text.find_first_of(" \t\r\n"), text.size());
    int64_t v = 0;
    if (!ParseXmlInt(text.substr(0, end), v) || v < 0 || v > 0xFFFFFFFFll) {
      Fail(std::string("invalid ") + what);
    }
    values.push_back(static_cast<T>(v));
    text.remove_prefix(end);
  }
  return values;
}

}  // namespace

std::string WriteXml(const Metadata& meta, const std::vector<RowRef>& rows, bool utf8) {
  std::string out;
  XmlOut x(out, utf8);
  x.Raw(utf8 ? "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>"
             : "<?xml version=\"1.0\" standalone=\"yes\"?>");
  x.Raw("  <DATAPACKET Version=\"2.0\"><METADATA><FIELDS>");
  const std::vector<std::string> names = AttrNames(meta.fields);
  for (size_t i = 0; i < meta.fields.size(); ++i) {
    const FieldDef& def = meta.fields[i];
    x.Raw("<FIELD");
    x.Attr("attrname", names[i]);
    if (names[i] != def.name) x.Attr("fieldname", def.name);
    x.Attr("fieldtype", XmlFieldType(def.type));
    if ((def.attributes & kFieldReadOnly) != 0) x.Attr("readonly", "true");
    if ((def.attributes & kFieldRequired) != 0) x.Attr("required", "true");
    const std::string subtype = SubtypeOf(def);
    if (!subtype.empty()) x.Attr("SUBTYPE", subtype);
    if (def.type == FieldType::kBCD || def.type == FieldType::kFMTBcd) {
      x.Attr("DECIMALS", std::to_string(BcdDecimals(def)));
      x.Attr("WIDTH", std::to_string(BcdWidth(def)));
    }
    if (IsBlobType(def.type) && def.size > 0) {
      x.Attr("WIDTH", std::to_string(std::min(def.size, 0xFFFF)));
    }
    if (def.type == FieldType::kString) x.Attr("WIDTH", std::to_string(TextWidth(def)));
    // The width of a wide text counts bytes.
    if (def.type == FieldType::kWideString) x.Attr("WIDTH", std::to_string(2 * TextWidth(def)));
    x.Raw("/>");
  }
  x.Raw("</FIELDS><PARAMS");
  if (!meta.default_order.empty()) x.Attr("DEFAULT_ORDER", JoinNumbers(meta.default_order));
  if (!meta.primary_key.empty()) x.Attr("PRIMARY_KEY", JoinNumbers(meta.primary_key));
  if (!meta.change_log.empty()) x.Attr("CHANGE_LOG", JoinNumbers(meta.change_log));
  x.Attr("LCID", std::to_string(meta.lcid));
  x.Raw("/></METADATA><ROWDATA>");
  // Each value goes straight into the output: ' NAME="', its text, '"'.
  std::vector<std::string> openers;
  size_t row_width = 8;
  for (size_t f = 0; f < meta.fields.size(); ++f) {
    openers.push_back(" " + names[f] + "=\"");
    row_width += openers.back().size() + 1 + TypicalWidth(meta.fields[f]);
  }
  out.reserve(out.size() + rows.size() * row_width + 32);
  for (const RowRef& row : rows) {
    out.append("<ROW");
    if (row.status != 0) x.Attr("RowState", std::to_string(row.status));
    for (size_t f = 0; f < meta.fields.size(); ++f) {
      const FieldValue& value = (*row.values)[f];
      if (std::holds_alternative<std::monostate>(value)) continue;
      out.append(openers[f]);
      AppendValue(x, out, meta.fields[f], value);
      out.push_back('"');
    }
    out.append("/>");
  }
  x.Raw("</ROWDATA></DATAPACKET>");
  return out;
}

Packet ReadXml(std::string_view text) {
  pugi::xml_document doc;
  pugi::xml_parse_result result;
  const unsigned options = pugi::parse_escapes;
  const bool utf16 = text.starts_with("\xFF\xFE") || text.starts_with("\xFE\xFF");
  std::string converted;
  if (utf16) {
    result = doc.load_buffer(text.data(), text.size(), options, pugi::encoding_auto);
  } else if (DeclaresUtf8(text) || ValidUtf8(text)) {
    // Without a declaration XML is UTF-8; the plain form is pure ASCII.
    result = doc.load_buffer(text.data(), text.size(), options, pugi::encoding_utf8);
  } else {
    // Raw bytes that are not UTF-8 come from a writer that used Windows-1252.
    converted = Win1252ToUtf8(text);
    result = doc.load_buffer(converted.data(), converted.size(), options, pugi::encoding_utf8);
  }
  if (!result) {
    Fail(std::string(result.description()) + " at offset " + std::to_string(result.offset));
  }

  const pugi::xml_node packet_node = doc.child("DATAPACKET");
  if (!packet_node) Fail("no DATAPACKET element");
  const pugi::xml_node metadata = packet_node.child("METADATA");
  const pugi::xml_node fields = metadata.child("FIELDS");
  if (!metadata || !fields) Fail("no METADATA/FIELDS element");

  Packet packet;
  std::vector<std::string> attr_names;
  for (pugi::xml_node field : fields.children("FIELD")) {
    FieldDef def;
    const pugi::xml_attribute attrname = field.attribute("attrname");
    if (!attrname) Fail("a FIELD has no attrname");
    const pugi::xml_attribute fieldname = field.attribute("fieldname");
    def.name = Text1252(fieldname ? fieldname.value() : attrname.value());
    const std::string subtype = Text1252(field.attribute("SUBTYPE").value());
    const std::string type_name = field.attribute("fieldtype").value();
    if (!FieldTypeFromXml(type_name, subtype, def.type)) {
      Fail("field '" + def.name + "' has an unsupported type '" + Text1252(type_name.c_str()) +
           "'");
    }
    if (subtype != DefaultSubtype(def.type)) def.subtype = subtype;
    const int width = field.attribute("WIDTH").as_int(0);
    if (def.type == FieldType::kString) def.size = width;
    if (def.type == FieldType::kWideString) def.size = width / 2;
    if (IsBlobType(def.type)) def.size = width;
    if (def.type == FieldType::kBCD || def.type == FieldType::kFMTBcd) {
      def.size = field.attribute("DECIMALS").as_int(0);
      def.precision = width;
    }
    if (std::string_view(field.attribute("required").value()) == "true") {
      def.attributes |= kFieldRequired;
    }
    if (std::string_view(field.attribute("readonly").value()) == "true") {
      def.attributes |= kFieldReadOnly;
    }
    attr_names.push_back(attrname.value());
    packet.meta.fields.push_back(std::move(def));
  }

  const pugi::xml_node params = metadata.child("PARAMS");
  if (const pugi::xml_attribute lcid = params.attribute("LCID")) {
    int64_t v = 0;
    if (!ParseXmlInt(lcid.value(), v)) Fail("invalid LCID");
    packet.meta.lcid = static_cast<int>(v);
  }
  packet.meta.default_order =
      ParseNumberList<int>(params.attribute("DEFAULT_ORDER"), "DEFAULT_ORDER");
  packet.meta.primary_key = ParseNumberList<int>(params.attribute("PRIMARY_KEY"), "PRIMARY_KEY");
  packet.meta.change_log = ParseNumberList<uint32_t>(params.attribute("CHANGE_LOG"), "CHANGE_LOG");

  std::unordered_map<std::string_view, size_t> by_name;
  for (size_t i = 0; i < attr_names.size(); ++i) by_name.emplace(attr_names[i], i);
  const size_t field_count = packet.meta.fields.size();
  for (pugi::xml_node row_node : packet_node.child("ROWDATA").children("ROW")) {
    Row row;
    row.values.resize(field_count);
    size_t next = 0;  // attributes usually come in field order
    for (pugi::xml_attribute attr : row_node.attributes()) {
      const std::string_view name(attr.name());
      size_t f;
      if (next < field_count && name == attr_names[next]) {
        f = next;
      } else if (name == "RowState") {
        int64_t state = 0;
        if (!ParseXmlInt(attr.value(), state) || state < 0 || state > 255) {
          Fail("invalid RowState '" + Text1252(attr.value()) + "'");
        }
        row.status = static_cast<uint8_t>(state);
        continue;
      } else {
        const auto it = by_name.find(name);
        if (it == by_name.end()) continue;  // not a field of this packet
        f = it->second;
      }
      row.values[f] = ParseValue(packet.meta.fields[f], attr);
      next = f + 1;
    }
    packet.rows.push_back(std::move(row));
  }
  return packet;
}

}  // namespace zel::datapacket
