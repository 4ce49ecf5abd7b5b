// The XML data packet, reader side. Two front ends feed one PacketBuilder
// with the attributes of each FIELD, of PARAMS and of each ROW:
//  - a scanner for the layout writers produce (prolog, DATAPACKET, METADATA,
//    FIELDS/FIELD, PARAMS, ROWDATA/ROW, nothing else), which reads the text
//    where it lies, without building a document;
//  - pugixml, for everything else: other encodings, comments, elements or
//    text this runtime does not use, and malformed documents, whose errors
//    it reports.
// The scanner gives up (and pugixml takes over from the start) at the first
// thing outside that layout, so both accept and refuse the same documents.
#include <algorithm>
#include <charconv>
#include <cstring>
#include <deque>
#include <pugixml.hpp>
#include <span>
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

// An attribute as a front end hands it over: the value with references
// resolved, in UTF-8.
struct XmlAttr {
  std::string_view name;
  std::string_view value;
};
using Attrs = std::span<const XmlAttr>;

std::string_view Find(Attrs attrs, std::string_view name) {
  for (const XmlAttr& a : attrs) {
    if (a.name == name) return a.value;
  }
  return {};
}

bool Has(Attrs attrs, std::string_view name) {
  for (const XmlAttr& a : attrs) {
    if (a.name == name) return true;
  }
  return false;
}

// UTF-8 to Windows-1252, without the conversion when the text is ASCII.
std::string Text1252(std::string_view utf8) {
  for (unsigned char c : utf8) {
    if (c >= 0x80) return Utf8ToWin1252(utf8);
  }
  return std::string(utf8);
}

int IntOr(std::string_view text, int fallback) {
  int64_t v = 0;
  if (!ParseXmlInt(text, v) || v < INT32_MIN || v > INT32_MAX) return fallback;
  return static_cast<int>(v);
}

bool FieldTypeFromXml(std::string_view name, std::string_view subtype, FieldType& out) {
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

[[noreturn]] void BadValue(const FieldDef& def, std::string_view text) {
  Fail("invalid value '" + Text1252(text) + "' for field '" + def.name + "'");
}

// Parses the text of a value into field `f` of `row`.
void ParseValue(const FieldDef& def, std::string_view text, const RecordLayout& records,
                uint8_t* row, size_t f) {
  switch (def.type) {
    case FieldType::kString:
    case FieldType::kWideString:
    case FieldType::kMemo:
    case FieldType::kWideMemo:
      if (std::all_of(text.begin(), text.end(), [](char c) { return (c & 0x80) == 0; })) {
        records.SetText(row, f, text);
      } else {
        records.SetText(row, f, Utf8ToWin1252(text));
      }
      return;
    default:
      break;
  }
  if (text.empty()) {  // an empty non-text value is a null
    records.SetNull(row, f);
    return;
  }
  switch (def.type) {
    case FieldType::kBlob:
    case FieldType::kGraphic: {
      std::string bytes;
      if (!Base64Decode(text, bytes)) BadValue(def, text);
      records.SetText(row, f, bytes);
      return;
    }
    case FieldType::kBoolean: {
      if (text.size() > 5) BadValue(def, text);
      char upper[5];
      for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        upper[i] = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
      }
      const std::string_view u(upper, text.size());
      if (u == "TRUE" || u == "1") {
        records.SetInt(row, f, 1);
      } else if (u == "FALSE" || u == "0") {
        records.SetInt(row, f, 0);
      } else {
        BadValue(def, text);
      }
      return;
    }
    case FieldType::kSmallint:
    case FieldType::kInteger:
    case FieldType::kAutoInc:
    case FieldType::kLargeint:
    case FieldType::kWord:
    case FieldType::kByte:
    case FieldType::kLongWord: {
      int64_t v = 0;
      if (!ParseXmlInt(text, v)) BadValue(def, text);
      int64_t low = 0;
      int64_t high = 0;
      if (IntegerRange(def.type, low, high) && (v < low || v > high)) {
        Fail("value " + std::to_string(v) + " out of range for field '" + def.name + "' (" +
             std::to_string(low) + " to " + std::to_string(high) + ")");
      }
      records.SetInt(row, f, v);
      return;
    }
    case FieldType::kFloat:
    case FieldType::kCurrency:
    case FieldType::kBCD:
    case FieldType::kFMTBcd: {
      double v = 0;
      if (!ParseXmlFloat(text, v)) BadValue(def, text);
      records.SetFloat(row, f, v);
      return;
    }
    case FieldType::kDate: {
      TDateTime v = 0;
      if (!ParseXmlDate(text, v)) BadValue(def, text);
      records.SetFloat(row, f, v);
      return;
    }
    case FieldType::kTime: {
      TDateTime v = 0;
      if (!ParseXmlTime(text, v)) BadValue(def, text);
      records.SetFloat(row, f, v);
      return;
    }
    case FieldType::kDateTime:
    case FieldType::kSQLTimeStamp: {
      TDateTime v = 0;
      if (!ParseXmlDateTime(text, v)) BadValue(def, text);
      records.SetFloat(row, f, v);
      return;
    }
    default:
      BadValue(def, text);
  }
}

template <typename T>
std::vector<T> ParseNumberList(std::string_view text, const char* what) {
  std::vector<T> values;
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

// Builds the packet from the FIELD, PARAMS and ROW attributes, in document
// order.
class PacketBuilder {
 public:
  void Field(Attrs attrs) {
    FieldDef def;
    if (!Has(attrs, "attrname")) Fail("a FIELD has no attrname");
    const std::string_view attrname = Find(attrs, "attrname");
    def.name = Text1252(Has(attrs, "fieldname") ? Find(attrs, "fieldname") : attrname);
    const std::string subtype = Text1252(Find(attrs, "SUBTYPE"));
    const std::string_view type_name = Find(attrs, "fieldtype");
    if (!FieldTypeFromXml(type_name, subtype, def.type)) {
      Fail("field '" + def.name + "' has an unsupported type '" + Text1252(type_name) + "'");
    }
    if (subtype != DefaultSubtype(def.type)) def.subtype = subtype;
    const int width = IntOr(Find(attrs, "WIDTH"), 0);
    if (def.type == FieldType::kString) def.size = width;
    if (def.type == FieldType::kWideString) def.size = width / 2;
    if (IsBlobType(def.type)) def.size = width;
    if (def.type == FieldType::kBCD || def.type == FieldType::kFMTBcd) {
      def.size = IntOr(Find(attrs, "DECIMALS"), 0);
      def.precision = width;
    }
    if (Find(attrs, "required") == "true") def.attributes |= kFieldRequired;
    if (Find(attrs, "readonly") == "true") def.attributes |= kFieldReadOnly;
    attr_names_.emplace_back(attrname);
    packet_.meta.fields.push_back(std::move(def));
  }

  void Params(Attrs attrs) {
    if (Has(attrs, "LCID")) {
      int64_t v = 0;
      if (!ParseXmlInt(Find(attrs, "LCID"), v)) Fail("invalid LCID");
      packet_.meta.lcid = static_cast<int>(v);
    }
    packet_.meta.default_order =
        ParseNumberList<int>(Find(attrs, "DEFAULT_ORDER"), "DEFAULT_ORDER");
    packet_.meta.primary_key = ParseNumberList<int>(Find(attrs, "PRIMARY_KEY"), "PRIMARY_KEY");
    packet_.meta.change_log = ParseNumberList<uint32_t>(Find(attrs, "CHANGE_LOG"), "CHANGE_LOG");
  }

  void Row(Attrs attrs) {
    if (by_name_.empty()) {
      for (size_t i = 0; i < attr_names_.size(); ++i) by_name_.emplace(attr_names_[i], i);
    }
    const size_t field_count = packet_.meta.fields.size();
    if (packet_.store == nullptr)
      packet_.store = std::make_unique<RecordStore>(packet_.meta.fields);
    const RecordLayout& records = packet_.store->layout();
    uint8_t* row = packet_.store->New();
    packet_.rows.push_back(row);
    size_t next = 0;  // attributes usually come in field order
    for (const XmlAttr& attr : attrs) {
      size_t f;
      if (next < field_count && attr.name == attr_names_[next]) {
        f = next;
      } else if (attr.name == "RowState") {
        int64_t state = 0;
        if (!ParseXmlInt(attr.value, state) || state < 0 || state > 255) {
          Fail("invalid RowState '" + Text1252(attr.value) + "'");
        }
        RecordLayout::SetStatus(row, static_cast<uint8_t>(state));
        continue;
      } else {
        const auto it = by_name_.find(attr.name);
        if (it == by_name_.end()) continue;  // not a field of this packet
        f = it->second;
      }
      ParseValue(packet_.meta.fields[f], attr.value, records, row, f);
      next = f + 1;
    }
  }

  Packet Take() {
    if (packet_.store == nullptr)
      packet_.store = std::make_unique<RecordStore>(packet_.meta.fields);
    return std::move(packet_);
  }

 private:
  Packet packet_;
  std::vector<std::string> attr_names_;
  std::unordered_map<std::string_view, size_t> by_name_;
};

// ---- Encodings ----------------------------------------------------------

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

// ---- The scanner --------------------------------------------------------

// Reads the layout writers produce; Run returns false, having built
// nothing reliable, at the first thing outside it.
class Scanner {
 public:
  Scanner(std::string_view text, PacketBuilder& builder) : text_(text), builder_(builder) {}

  bool Run() {
    if (text_.starts_with("\xEF\xBB\xBF")) pos_ = 3;
    if (text_.substr(pos_).starts_with("<?xml")) {
      const size_t end = text_.find("?>", pos_);
      if (end == std::string_view::npos) return false;
      pos_ = end + 2;
    }
    if (!Open("DATAPACKET", false)) return false;
    if (!Open("METADATA", false) || !Open("FIELDS", false)) return false;
    bool closed = false;
    while (Next(closed) && name_ == "FIELD" && closed) builder_.Field(attrs_);
    if (!IsEnd("FIELDS")) return false;
    if (!Next(closed)) return false;
    if (name_ == "PARAMS") {
      if (!closed && !(Next(closed) && IsEnd("PARAMS"))) return false;
      builder_.Params(attrs_);
      if (!Next(closed)) return false;
    } else {
      builder_.Params({});
    }
    if (!IsEnd("METADATA")) return false;
    if (!Next(closed) || name_ != "ROWDATA" || end_tag_) return false;
    if (!closed) {
      while (Next(closed) && name_ == "ROW" && !end_tag_) {
        if (!closed && !(Next(closed) && IsEnd("ROW"))) return false;
        builder_.Row(attrs_);
      }
      if (!IsEnd("ROWDATA")) return false;
    }
    if (!Next(closed) || !IsEnd("DATAPACKET")) return false;
    SkipBlanks();
    return pos_ == text_.size();
  }

 private:
  static bool Blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
  void SkipBlanks() {
    while (pos_ < text_.size() && Blank(text_[pos_])) ++pos_;
  }
  bool IsEnd(std::string_view name) const { return end_tag_ && name_ == name; }

  // The start tag of `name` (self-closing or not, as `self_closing` says).
  bool Open(std::string_view name, bool self_closing) {
    bool closed = false;
    return Next(closed) && !end_tag_ && name_ == name && closed == self_closing;
  }

  // The next tag: a start tag (attributes in attrs_, `closed` when it ends
  // with "/>") or an end tag (end_tag_). Only blanks may come between tags.
  bool Next(bool& closed) {
    name_ = {};
    end_tag_ = false;
    closed = false;
    SkipBlanks();
    if (pos_ >= text_.size() || text_[pos_] != '<') return false;
    ++pos_;
    end_tag_ = pos_ < text_.size() && text_[pos_] == '/';
    if (end_tag_) ++pos_;
    if (!Name(name_)) return false;
    if (end_tag_) {
      SkipBlanks();
      return Expect('>');
    }
    attrs_.clear();
    for (;;) {
      const size_t before = pos_;
      SkipBlanks();
      if (pos_ >= text_.size()) return false;
      const char c = text_[pos_];
      if (c == '>') {
        ++pos_;
        return true;
      }
      if (c == '/') {
        ++pos_;
        closed = true;
        return Expect('>');
      }
      if (pos_ == before) return false;  // attributes are separated by blanks
      XmlAttr attr;
      if (!Name(attr.name)) return false;
      SkipBlanks();
      if (!Expect('=')) return false;
      SkipBlanks();
      if (!Value(attrs_.size(), attr.value)) return false;
      attrs_.push_back(attr);
    }
  }

  bool Expect(char c) {
    if (pos_ >= text_.size() || text_[pos_] != c) return false;
    ++pos_;
    return true;
  }

  // An ASCII name (the layout uses nothing else).
  bool Name(std::string_view& out) {
    const size_t start = pos_;
    while (pos_ < text_.size()) {
      const unsigned char c = static_cast<unsigned char>(text_[pos_]);
      const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == ':' ||
                      (pos_ > start && ((c >= '0' && c <= '9') || c == '-' || c == '.'));
      if (!ok) break;
      ++pos_;
    }
    out = text_.substr(start, pos_ - start);
    return pos_ > start;
  }

  // A quoted value; references are resolved into a buffer of this
  // attribute's position, reused from row to row.
  bool Value(size_t index, std::string_view& out) {
    if (pos_ >= text_.size() || (text_[pos_] != '"' && text_[pos_] != '\'')) return false;
    const char quote = text_[pos_++];
    const size_t start = pos_;
    bool references = false;
    bool high = false;
    while (pos_ < text_.size() && text_[pos_] != quote) {
      const unsigned char c = static_cast<unsigned char>(text_[pos_]);
      if (c == '<') return false;
      references = references || c == '&';
      high = high || c >= 0x80;
      ++pos_;
    }
    if (pos_ >= text_.size()) return false;
    out = text_.substr(start, pos_ - start);
    ++pos_;
    // Bytes that are not UTF-8 are left to the other front end, which reads
    // them as Windows-1252.
    if (high && !ValidUtf8(out)) return false;
    if (!references) return true;
    if (buffers_.size() <= index) buffers_.resize(index + 1);
    std::string& buffer = buffers_[index];
    buffer.clear();
    size_t i = 0;
    for (;;) {
      const size_t amp = out.find('&', i);
      buffer.append(out.substr(i, amp == std::string_view::npos ? amp : amp - i));
      if (amp == std::string_view::npos) break;
      const size_t semicolon = out.find(';', amp);
      if (semicolon == std::string_view::npos) return false;
      if (!Reference(out.substr(amp + 1, semicolon - amp - 1), buffer)) return false;
      i = semicolon + 1;
    }
    out = buffer;
    return true;
  }

  static bool Reference(std::string_view ref, std::string& out) {
    if (ref == "amp") return out.push_back('&'), true;
    if (ref == "lt") return out.push_back('<'), true;
    if (ref == "gt") return out.push_back('>'), true;
    if (ref == "quot") return out.push_back('"'), true;
    if (ref == "apos") return out.push_back('\''), true;
    if (ref.size() < 2 || ref[0] != '#') return false;
    uint32_t cp = 0;
    const bool hex = ref[1] == 'x';
    const char* first = ref.data() + (hex ? 2 : 1);
    const char* last = ref.data() + ref.size();
    const auto res = std::from_chars(first, last, cp, hex ? 16 : 10);
    if (first == last || res.ec != std::errc() || res.ptr != last) return false;
    if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
    return true;
  }

  std::string_view text_;
  PacketBuilder& builder_;
  size_t pos_ = 0;
  std::string_view name_;
  bool end_tag_ = false;
  std::vector<XmlAttr> attrs_;
  // A deque: growing it leaves the earlier buffers (and views of them) in place.
  std::deque<std::string> buffers_;
};

// ---- pugixml ------------------------------------------------------------

void CollectAttrs(const pugi::xml_node& node, std::vector<XmlAttr>& out) {
  out.clear();
  for (const pugi::xml_attribute& a : node.attributes()) out.push_back({a.name(), a.value()});
}

void ReadWithPugixml(std::string_view text, PacketBuilder& builder) {
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

  std::vector<XmlAttr> attrs;
  for (pugi::xml_node field : fields.children("FIELD")) {
    CollectAttrs(field, attrs);
    builder.Field(attrs);
  }
  CollectAttrs(metadata.child("PARAMS"), attrs);
  builder.Params(attrs);
  for (pugi::xml_node row : packet_node.child("ROWDATA").children("ROW")) {
    CollectAttrs(row, attrs);
    builder.Row(attrs);
  }
}

}  // namespace

Packet ReadXml(std::string_view text) {
  {
    PacketBuilder builder;
    if (Scanner(text, builder).Run()) return builder.Take();
  }
  PacketBuilder builder;
  ReadWithPugixml(text, builder);
  return builder.Take();
}

}  // namespace zel::datapacket
