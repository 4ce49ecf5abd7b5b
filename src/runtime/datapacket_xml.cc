// The XML data packet, writer side:
//   <?xml version="1.0" standalone="yes"?>  <DATAPACKET Version="2.0">
//   <METADATA><FIELDS><FIELD .../>...</FIELDS><PARAMS .../></METADATA>
//   <ROWDATA><ROW .../>...</ROWDATA></DATAPACKET>
// written on one line by hand (the layout is fixed and the writer must be
// fast); values go straight into the output and never depend on the locale.
// The reader is datapacket_xml_read.cc.
#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <unordered_map>

#include "runtime/datapacket.h"
#include "runtime/datapacket_values.h"
#include "runtime/host_error.h"
#include "runtime/win1252.h"

namespace zel::datapacket {

namespace {

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
void AppendValue(XmlOut& x, std::string& out, const FieldDef& def, const RecordLayout& layout,
                 const uint8_t* row, size_t f) {
  char buf[kXmlFloatChars > kXmlDateTimeChars ? kXmlFloatChars : kXmlDateTimeChars];
  switch (def.type) {
    case FieldType::kString:
    case FieldType::kWideString:
    case FieldType::kMemo:
    case FieldType::kWideMemo:
      x.Escaped(layout.Text(row, f));
      return;
    case FieldType::kBlob:
    case FieldType::kGraphic:
      out.append(Base64Encode(layout.Text(row, f)));
      return;
    case FieldType::kBoolean:
      out.append(layout.Int(row, f) != 0 ? "TRUE" : "FALSE");
      return;
    case FieldType::kSmallint:
    case FieldType::kInteger:
    case FieldType::kAutoInc:
    case FieldType::kLargeint:
    case FieldType::kWord:
    case FieldType::kByte:
    case FieldType::kLongWord:
      out.append(buf, std::to_chars(buf, buf + sizeof buf, layout.Int(row, f)).ptr);
      return;
    case FieldType::kFloat:
    case FieldType::kCurrency:
    case FieldType::kBCD:
    case FieldType::kFMTBcd:
      out.append(buf, XmlFloatChars(layout.Float(row, f), buf));
      return;
    case FieldType::kDate:
      out.append(buf, XmlDateChars(layout.Float(row, f), buf));
      return;
    case FieldType::kTime:
      out.append(buf, XmlTimeChars(layout.Float(row, f), buf));
      return;
    case FieldType::kDateTime:
    case FieldType::kSQLTimeStamp:
      out.append(buf, XmlDateTimeChars(layout.Float(row, f), buf));
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

}  // namespace

std::string WriteXml(const Metadata& meta, const RecordLayout& layout,
                     const std::vector<RowRef>& rows, bool utf8) {
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
      if (layout.IsNull(row.record, f)) continue;
      out.append(openers[f]);
      AppendValue(x, out, meta.fields[f], layout, row.record, f);
      out.push_back('"');
    }
    out.append("/>");
  }
  x.Raw("</ROWDATA></DATAPACKET>");
  return out;
}

}  // namespace zel::datapacket
