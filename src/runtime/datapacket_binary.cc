// The binary data packet (".cds"), little-endian throughout:
//   header (24 bytes) | field descriptors | dataset properties | rows
// See datapacket.h for the contract. Map of this file: type words, the
// writer, the bounds-checked reader, field decoding.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#include "runtime/datapacket.h"
#include "runtime/datapacket_values.h"
#include "runtime/host_error.h"
#include "runtime/win1252.h"

namespace zel::datapacket {

namespace {

constexpr uint32_t kMagic = 0xBDE01996;
constexpr uint32_t kHeaderSize = 24;
constexpr uint32_t kFlagMetadata = 1;
constexpr uint32_t kFlagRowOffset = 2;

// Type word: bits 0-15 size, 16-21 type code, 22 varying, 23 array.
constexpr uint32_t kVarying = 0x00400000;
constexpr uint32_t kArray = 0x00800000;
enum TypeCode : uint32_t {
  kCodeInt = 1,
  kCodeUInt = 2,
  kCodeBool = 3,
  kCodeFloat = 4,
  kCodeBcd = 5,
  kCodeDate = 6,
  kCodeTime = 7,
  kCodeDateTime = 8,
  kCodeString = 9,
  kCodeWideString = 10,
  kCodeBytes = 11,
  kCodeTimeStamp = 17,
  kCodeFmtBcd = 18,
};
constexpr uint32_t TypeWord(uint32_t code, uint32_t size, uint32_t flags = 0) {
  return (code << 16) | size | flags;
}
constexpr uint32_t kBcdSize = 34;  // precision, sign/places, 32 bytes of digits
constexpr uint32_t kTimeStampSize = 16;

uint32_t FieldTypeWord(const FieldDef& def) {
  switch (def.type) {
    case FieldType::kString:
      return TypeWord(kCodeString, TextWidth(def) >= 255 ? 2 : 1, kVarying);
    case FieldType::kWideString:
      return TypeWord(kCodeWideString, 2, kVarying);
    case FieldType::kSmallint:
      return TypeWord(kCodeInt, 2);
    case FieldType::kInteger:
    case FieldType::kAutoInc:
      return TypeWord(kCodeInt, 4);
    case FieldType::kLargeint:
      return TypeWord(kCodeInt, 8);
    case FieldType::kWord:
      return TypeWord(kCodeUInt, 2);
    case FieldType::kByte:
      return TypeWord(kCodeUInt, 1);
    case FieldType::kLongWord:
      return TypeWord(kCodeUInt, 4);
    case FieldType::kBoolean:
      return TypeWord(kCodeBool, 2);
    case FieldType::kFloat:
    case FieldType::kCurrency:
      return TypeWord(kCodeFloat, 8);
    case FieldType::kBCD:
      return TypeWord(kCodeBcd, kBcdSize);
    case FieldType::kFMTBcd:
      return TypeWord(kCodeFmtBcd, kBcdSize);
    case FieldType::kDate:
      return TypeWord(kCodeDate, 4);
    case FieldType::kTime:
      return TypeWord(kCodeTime, 4);
    case FieldType::kDateTime:
      return TypeWord(kCodeDateTime, 8);
    case FieldType::kSQLTimeStamp:
      return TypeWord(kCodeTimeStamp, kTimeStampSize);
    case FieldType::kMemo:
    case FieldType::kBlob:
    case FieldType::kGraphic:
    case FieldType::kWideMemo:
      return TypeWord(kCodeBytes, 4, kVarying);
  }
  return 0;
}

// ---- Writer -------------------------------------------------------------

class Writer {
 public:
  explicit Writer(std::string& out) : out_(out) {}
  void U8(uint8_t v) { out_.push_back(static_cast<char>(v)); }
  void U16(uint32_t v) { Le(v, 2); }
  void U32(uint32_t v) { Le(v, 4); }
  void U64(uint64_t v) { Le(v, 8); }
  void Le(uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out_.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
  }
  void F64(double v) { U64(std::bit_cast<uint64_t>(v)); }
  void Bytes(std::string_view s) { out_.append(s); }
  // A length-prefixed value; the text is cut to what the prefix can count.
  void Prefixed(std::string_view s, int prefix) {
    const uint64_t max = prefix >= 4 ? 0xFFFFFFFFull : (1ull << (8 * prefix)) - 1;
    if (s.size() > max) s = s.substr(0, max);
    Le(s.size(), prefix);
    Bytes(s);
  }
  void Name(std::string_view name) { Prefixed(name, 1); }
  size_t size() const { return out_.size(); }
  void Patch16(size_t at, uint32_t v) {
    out_[at] = static_cast<char>(v & 0xFF);
    out_[at + 1] = static_cast<char>((v >> 8) & 0xFF);
  }

 private:
  std::string& out_;
};

void WriteUIntProperty(Writer& w, std::string_view name, uint32_t value) {
  w.Name(name);
  w.U32(TypeWord(kCodeUInt, 2));
  w.U16(value);
}

void WriteStringProperty(Writer& w, std::string_view name, std::string_view value) {
  w.Name(name);
  w.U32(TypeWord(kCodeString, 2, kVarying));
  // String property values carry their trailing NUL.
  w.U16(static_cast<uint32_t>(value.size() + 1));
  w.Bytes(value);
  w.U8(0);
}

template <typename T>
void WriteArrayProperty(Writer& w, std::string_view name, const std::vector<T>& values,
                        uint32_t size) {
  w.Name(name);
  w.U32(TypeWord(kCodeUInt, size, kArray));
  w.U32(static_cast<uint32_t>(values.size()));
  for (T v : values) w.Le(static_cast<uint64_t>(v), static_cast<int>(size));
}

void WriteFieldDescriptor(Writer& w, const FieldDef& def) {
  w.Name(def.name);
  w.U32(FieldTypeWord(def));
  w.U16(def.attributes);
  const std::string subtype = SubtypeOf(def);
  const bool text = def.type == FieldType::kString || def.type == FieldType::kWideString;
  const bool bcd = def.type == FieldType::kBCD || def.type == FieldType::kFMTBcd;
  const bool blob = IsBlobType(def.type) && def.size > 0;
  int count = (text || blob ? 1 : 0) + (subtype.empty() ? 0 : 1) + (bcd ? 2 : 0);
  w.U16(static_cast<uint32_t>(count));
  // WIDTH counts characters, for wide texts too (their values are UTF-16
  // with a 2-byte prefix counting bytes; the host's choice there is unsure).
  if (text) WriteUIntProperty(w, "WIDTH", static_cast<uint32_t>(TextWidth(def)));
  if (blob) WriteUIntProperty(w, "WIDTH", static_cast<uint32_t>(std::min(def.size, 0xFFFF)));
  if (bcd) {
    WriteUIntProperty(w, "WIDTH", static_cast<uint32_t>(BcdWidth(def)));
    WriteUIntProperty(w, "DECIMALS", static_cast<uint32_t>(BcdDecimals(def)));
  }
  if (!subtype.empty()) WriteStringProperty(w, "SUBTYPE", subtype);
}

void WriteValue(Writer& w, const FieldDef& def, const RecordLayout& layout, const uint8_t* row,
                size_t f) {
  const auto text = [&] { return layout.Text(row, f); };
  const auto integer = [&] { return layout.Int(row, f); };
  const auto number = [&] { return layout.Float(row, f); };
  switch (def.type) {
    case FieldType::kString:
      w.Prefixed(text(), TextWidth(def) >= 255 ? 2 : 1);
      return;
    case FieldType::kWideString: {
      w.Prefixed(Utf16LeOf(text()), 2);
      return;
    }
    case FieldType::kMemo:
    case FieldType::kBlob:
    case FieldType::kGraphic:
      w.Prefixed(text(), 4);
      return;
    case FieldType::kWideMemo:
      w.Prefixed(Utf16LeOf(text()), 4);
      return;
    case FieldType::kSmallint:
    case FieldType::kWord:
    case FieldType::kBoolean:
      w.U16(static_cast<uint32_t>(integer()));
      return;
    case FieldType::kByte:
      w.U8(static_cast<uint8_t>(integer()));
      return;
    case FieldType::kInteger:
    case FieldType::kAutoInc:
    case FieldType::kLongWord:
      w.U32(static_cast<uint32_t>(integer()));
      return;
    case FieldType::kLargeint:
      w.U64(static_cast<uint64_t>(integer()));
      return;
    case FieldType::kFloat:
    case FieldType::kCurrency:
      w.F64(number());
      return;
    case FieldType::kBCD:
    case FieldType::kFMTBcd:
      w.Bytes(EncodeBcd(number(), BcdDecimals(def)));
      return;
    case FieldType::kDate:
      w.U32(static_cast<uint32_t>(DateTimeToTimeStamp(number()).date));
      return;
    case FieldType::kTime:
      w.U32(static_cast<uint32_t>(DateTimeToTimeStamp(number()).time));
      return;
    case FieldType::kDateTime:
      w.F64(TimeStampToMSecs(DateTimeToTimeStamp(number())));
      return;
    case FieldType::kSQLTimeStamp: {
      int y, m, d, h, n, s, ms;
      DecodeDateTime(number(), y, m, d, h, n, s, ms);
      w.U16(static_cast<uint32_t>(y));
      w.U16(static_cast<uint32_t>(m));
      w.U16(static_cast<uint32_t>(d));
      w.U16(static_cast<uint32_t>(h));
      w.U16(static_cast<uint32_t>(n));
      w.U16(static_cast<uint32_t>(s));
      w.U32(static_cast<uint32_t>(ms));
      return;
    }
  }
}

// ---- Reader -------------------------------------------------------------

class Reader {
 public:
  explicit Reader(std::string_view bytes) : bytes_(bytes) {}

  size_t pos() const { return pos_; }
  size_t size() const { return bytes_.size(); }
  void Seek(size_t pos) {
    if (pos > bytes_.size()) Fail("the offset of the first row points outside the packet");
    pos_ = pos;
  }
  std::string_view Take(uint64_t n, const char* what) {
    if (n > bytes_.size() - pos_) {
      Fail(std::string("truncated data packet (") + what + " at offset " + std::to_string(pos_) +
           ")");
    }
    std::string_view s = bytes_.substr(pos_, static_cast<size_t>(n));
    pos_ += static_cast<size_t>(n);
    return s;
  }
  uint64_t Le(int bytes, const char* what) {
    std::string_view s = Take(static_cast<uint64_t>(bytes), what);
    uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(s[i]);
    return v;
  }
  uint32_t U8(const char* what) { return static_cast<uint32_t>(Le(1, what)); }
  uint32_t U16(const char* what) { return static_cast<uint32_t>(Le(2, what)); }
  uint32_t U32(const char* what) { return static_cast<uint32_t>(Le(4, what)); }
  std::string_view Name(const char* what) { return Take(U8(what), what); }
  std::string_view Prefixed(int prefix, const char* what) { return Take(Le(prefix, what), what); }

  [[noreturn]] static void Fail(const std::string& message) {
    throw DatasetError("Invalid data packet: " + message);
  }

 private:
  std::string_view bytes_;
  size_t pos_ = 0;
};

int PrefixWidth(uint32_t size, std::string_view field) {
  if (size == 1 || size == 2 || size == 4) return static_cast<int>(size);
  Reader::Fail("field '" + std::string(field) + "' has an invalid length prefix width " +
               std::to_string(size));
}

struct Property {
  std::string name;
  uint32_t type = 0;
  std::string_view data;         // fixed or varying value
  std::vector<uint64_t> values;  // array elements (unsigned)
  bool is_array = false;
};

Property ReadProperty(Reader& r) {
  Property p;
  p.name = std::string(r.Name("property name"));
  p.type = r.U32("property type");
  const uint32_t size = p.type & 0xFFFF;
  if ((p.type & kArray) != 0) {
    p.is_array = true;
    const uint32_t count = r.U32("property array count");
    if (size == 0 || size > 8)
      Reader::Fail("property '" + p.name + "' has an invalid element size");
    // The whole array must be present before anything is allocated for it.
    std::string_view raw = r.Take(static_cast<uint64_t>(count) * size, "property array");
    Reader elems(raw);
    p.values.reserve(count);
    for (uint32_t i = 0; i < count; ++i) p.values.push_back(elems.Le(static_cast<int>(size), ""));
  } else if ((p.type & kVarying) != 0) {
    p.data = r.Prefixed(PrefixWidth(size, p.name), "property value");
  } else {
    p.data = r.Take(size, "property value");
  }
  return p;
}

uint64_t PropertyUInt(const Property& p) {
  uint64_t v = 0;
  for (size_t i = std::min<size_t>(p.data.size(), 8); i-- > 0;) {
    v = (v << 8) | static_cast<unsigned char>(p.data[i]);
  }
  return v;
}

std::string PropertyText(const Property& p) {
  std::string_view s = p.data;
  const size_t nul = s.find('\0');
  if (nul != std::string_view::npos) s = s.substr(0, nul);
  return std::string(s);
}

struct FieldLayout {
  uint32_t code = 0;
  uint32_t size = 0;  // fixed size, or prefix width for varying types
};

FieldType TypeFromWord(const std::string& name, uint32_t word, const std::string& subtype) {
  const uint32_t code = (word >> 16) & 0x3F;
  const uint32_t size = word & 0xFFFF;
  const bool varying = (word & kVarying) != 0;
  auto bad = [&]() -> FieldType {
    Reader::Fail("field '" + name + "' has an unsupported type word 0x" + [&] {
      char buf[16];
      std::snprintf(buf, sizeof buf, "%08X", word);
      return std::string(buf);
    }());
  };
  if ((word & kArray) != 0) return bad();
  if (varying != (code == kCodeString || code == kCodeWideString || code == kCodeBytes)) {
    return bad();
  }
  switch (code) {
    case kCodeInt:
      if (size == 1 || size == 2) return FieldType::kSmallint;
      if (size == 4) return subtype == "Autoinc" ? FieldType::kAutoInc : FieldType::kInteger;
      if (size == 8) return FieldType::kLargeint;
      return bad();
    case kCodeUInt:
      if (size == 1) return FieldType::kByte;
      if (size == 2) return FieldType::kWord;
      if (size == 4) return FieldType::kLongWord;
      if (size == 8) return FieldType::kLargeint;
      return bad();
    case kCodeBool:
      if (size == 1 || size == 2 || size == 4) return FieldType::kBoolean;
      return bad();
    case kCodeFloat:
      if (size != 8) return bad();
      return subtype == "Money" ? FieldType::kCurrency : FieldType::kFloat;
    case kCodeBcd:
    case kCodeFmtBcd:
      if (size < 2 || size > kBcdSize) return bad();
      return code == kCodeBcd ? FieldType::kBCD : FieldType::kFMTBcd;
    case kCodeDate:
      return size == 4 ? FieldType::kDate : bad();
    case kCodeTime:
      return size == 4 ? FieldType::kTime : bad();
    case kCodeDateTime:
      return size == 8 ? FieldType::kDateTime : bad();
    case kCodeTimeStamp:
      return size == kTimeStampSize ? FieldType::kSQLTimeStamp : bad();
    case kCodeString:
      PrefixWidth(size, name);
      return FieldType::kString;
    case kCodeWideString:
      PrefixWidth(size, name);
      return FieldType::kWideString;
    case kCodeBytes:
      PrefixWidth(size, name);
      if (subtype == "Text") return FieldType::kMemo;
      if (subtype == "WideText") return FieldType::kWideMemo;
      if (subtype == "Graphics") return FieldType::kGraphic;
      return FieldType::kBlob;
    default:
      return bad();
  }
}

// Reads one value into field `f` of `row`.
void ReadValue(Reader& r, const FieldDef& def, const FieldLayout& layout,
               const RecordLayout& records, uint8_t* row, size_t f) {
  const int size = static_cast<int>(layout.size);
  switch (def.type) {
    case FieldType::kString:
    case FieldType::kMemo:
    case FieldType::kBlob:
    case FieldType::kGraphic:
      records.SetText(row, f, r.Prefixed(size, "field value"));
      return;
    case FieldType::kWideString:
    case FieldType::kWideMemo:
      records.SetText(row, f, TextFromUtf16Le(r.Prefixed(size, "field value")));
      return;
    case FieldType::kSmallint:
    case FieldType::kInteger:
    case FieldType::kAutoInc:
    case FieldType::kLargeint: {
      // Signed integers of the type word's size (code 1); an 8-byte unsigned
      // value lands here too and keeps its bits.
      const uint64_t raw = r.Le(size, "field value");
      if (layout.code == kCodeUInt || size == 8) {
        records.SetInt(row, f, static_cast<int64_t>(raw));
        return;
      }
      const uint64_t sign = 1ull << (8 * size - 1);
      records.SetInt(row, f, static_cast<int64_t>((raw ^ sign) - sign));
      return;
    }
    case FieldType::kWord:
    case FieldType::kByte:
    case FieldType::kLongWord:
      records.SetInt(row, f, static_cast<int64_t>(r.Le(size, "field value")));
      return;
    case FieldType::kBoolean:
      records.SetInt(row, f, r.Le(size, "field value") != 0 ? 1 : 0);
      return;
    case FieldType::kFloat:
    case FieldType::kCurrency:
      records.SetFloat(row, f, std::bit_cast<double>(r.Le(8, "field value")));
      return;
    case FieldType::kBCD:
    case FieldType::kFMTBcd: {
      double v = 0;
      if (!DecodeBcd(r.Take(layout.size, "field value"), v)) {
        Reader::Fail("invalid decimal value in field '" + def.name + "'");
      }
      records.SetFloat(row, f, v);
      return;
    }
    case FieldType::kDate: {
      TimeStamp stamp;
      stamp.date = static_cast<int32_t>(r.U32("field value"));
      if (!ValidStampDate(stamp.date)) Reader::Fail("invalid date in field '" + def.name + "'");
      records.SetFloat(row, f, TimeStampToDateTime(stamp));
      return;
    }
    case FieldType::kTime: {
      TimeStamp stamp;
      stamp.date = kDateDelta;
      stamp.time = static_cast<int32_t>(r.U32("field value"));
      if (stamp.time < 0 || stamp.time >= kMSecsPerDay) {
        Reader::Fail("invalid time in field '" + def.name + "'");
      }
      records.SetFloat(row, f, TimeStampToDateTime(stamp));
      return;
    }
    case FieldType::kDateTime: {
      const double ms = std::bit_cast<double>(r.Le(8, "field value"));
      TDateTime v = 0;
      if (!MSecsToDateTime(ms, v)) Reader::Fail("invalid date-time in field '" + def.name + "'");
      records.SetFloat(row, f, v);
      return;
    }
    case FieldType::kSQLTimeStamp: {
      const int y = static_cast<int16_t>(r.U16("field value"));
      const int m = static_cast<int>(r.U16("field value"));
      const int d = static_cast<int>(r.U16("field value"));
      const int h = static_cast<int>(r.U16("field value"));
      const int n = static_cast<int>(r.U16("field value"));
      const int s = static_cast<int>(r.U16("field value"));
      const uint32_t ms = r.U32("field value");
      TDateTime v = 0;
      if (ms > 999 || !TryEncodeDateTime(y, m, d, h, n, s, static_cast<int>(ms), v)) {
        Reader::Fail("invalid timestamp in field '" + def.name + "'");
      }
      records.SetFloat(row, f, v);
      return;
    }
  }
}

}  // namespace

std::string WriteBinary(const Metadata& meta, const RecordLayout& layout,
                        const std::vector<RowRef>& rows) {
  std::string out;
  Writer w(out);
  const size_t field_count = meta.fields.size();
  if (field_count > 0xFFFF) throw DatasetError("Too many fields for a data packet");
  w.U32(kMagic);
  w.U16(1);  // major version
  w.U16(0);  // minor version
  w.U32(kHeaderSize);
  w.U16(static_cast<uint32_t>(field_count));
  w.U32(static_cast<uint32_t>(rows.size()));
  w.U32(kFlagMetadata | kFlagRowOffset);
  const size_t first_row_at = w.size();
  w.U16(0);  // patched below

  for (const FieldDef& def : meta.fields) WriteFieldDescriptor(w, def);

  int count = 1 + (meta.default_order.empty() ? 0 : 1) + (meta.primary_key.empty() ? 0 : 1) +
              (meta.change_log.empty() ? 0 : 1);
  w.U16(static_cast<uint32_t>(count));
  // In the host runtime's order: DEFAULT_ORDER, PRIMARY_KEY, CHANGE_LOG, LCID.
  if (!meta.default_order.empty()) WriteArrayProperty(w, "DEFAULT_ORDER", meta.default_order, 2);
  if (!meta.primary_key.empty()) WriteArrayProperty(w, "PRIMARY_KEY", meta.primary_key, 2);
  if (!meta.change_log.empty()) WriteArrayProperty(w, "CHANGE_LOG", meta.change_log, 4);
  w.Name("LCID");
  w.U32(TypeWord(kCodeInt, 4));
  w.U32(static_cast<uint32_t>(meta.lcid));

  // The first-row offset is a 16-bit field; metadata too large for it is
  // written without the offset flag (readers then continue after the
  // metadata).
  if (w.size() <= 0xFFFF) {
    w.Patch16(first_row_at, static_cast<uint32_t>(w.size()));
  } else {
    const uint32_t flags = kFlagMetadata;
    for (int i = 0; i < 4; ++i) out[18 + i] = static_cast<char>((flags >> (8 * i)) & 0xFF);
  }

  out.reserve(out.size() + rows.size() * (1 + (field_count + 3) / 4 + field_count * 8));
  const size_t bitmap_size = (field_count + 3) / 4;
  for (const RowRef& row : rows) {
    w.U8(row.status);
    const size_t bitmap_at = w.size();
    out.append(bitmap_size, '\0');
    for (size_t f = 0; f < field_count; ++f) {
      if (layout.IsNull(row.record, f)) {
        out[bitmap_at + f / 4] = static_cast<char>(out[bitmap_at + f / 4] | (1 << ((f % 4) * 2)));
        continue;
      }
      WriteValue(w, meta.fields[f], layout, row.record, f);
    }
  }
  return out;
}

Packet ReadBinary(std::string_view bytes) {
  Reader r(bytes);
  if (bytes.size() < kHeaderSize) Reader::Fail("truncated header");
  if (r.U32("magic") != kMagic) Reader::Fail("bad magic number");
  const uint32_t major = r.U16("version");
  r.U16("version");
  if (major != 1 && major != 2) Reader::Fail("unsupported version " + std::to_string(major));
  const uint32_t header_size = r.U32("header size");
  const uint32_t field_count = r.U16("field count");
  const uint32_t row_count = r.U32("row count");
  const uint32_t flags = r.U32("flags");
  const uint32_t first_row = r.U16("first row offset");
  if (header_size < kHeaderSize) Reader::Fail("invalid header size");
  r.Seek(header_size);
  if ((flags & kFlagMetadata) == 0) Reader::Fail("no metadata");

  Packet packet;
  std::vector<FieldLayout> layouts;
  packet.meta.fields.reserve(field_count);
  layouts.reserve(field_count);
  for (uint32_t i = 0; i < field_count; ++i) {
    FieldDef def;
    def.name = std::string(r.Name("field name"));
    const uint32_t word = r.U32("field type");
    def.attributes = static_cast<uint16_t>(r.U16("field attributes"));
    const uint32_t props = r.U16("field property count");
    std::string subtype;
    int width = 0;
    int decimals = -1;
    for (uint32_t p = 0; p < props; ++p) {
      Property prop = ReadProperty(r);
      if (prop.is_array) continue;
      if (prop.name == "WIDTH") width = static_cast<int>(PropertyUInt(prop));
      if (prop.name == "DECIMALS") decimals = static_cast<int>(PropertyUInt(prop));
      if (prop.name == "SUBTYPE") subtype = PropertyText(prop);
    }
    def.type = TypeFromWord(def.name, word, subtype);
    if (def.type == FieldType::kString || def.type == FieldType::kWideString) def.size = width;
    if (IsBlobType(def.type)) def.size = width;
    if (def.type == FieldType::kBCD || def.type == FieldType::kFMTBcd) {
      def.size = decimals >= 0 ? decimals : 0;
      def.precision = width;
    }
    if (subtype != DefaultSubtype(def.type)) def.subtype = subtype;
    layouts.push_back({(word >> 16) & 0x3F, word & 0xFFFF});
    packet.meta.fields.push_back(std::move(def));
  }

  const uint32_t dataset_props = r.U16("dataset property count");
  for (uint32_t p = 0; p < dataset_props; ++p) {
    Property prop = ReadProperty(r);
    if (prop.name == "LCID" && !prop.is_array) {
      packet.meta.lcid = static_cast<int>(static_cast<int32_t>(PropertyUInt(prop)));
    } else if (prop.name == "DEFAULT_ORDER" && prop.is_array) {
      for (uint64_t v : prop.values) packet.meta.default_order.push_back(static_cast<int>(v));
    } else if (prop.name == "PRIMARY_KEY" && prop.is_array) {
      for (uint64_t v : prop.values) packet.meta.primary_key.push_back(static_cast<int>(v));
    } else if (prop.name == "CHANGE_LOG" && prop.is_array) {
      for (uint64_t v : prop.values) packet.meta.change_log.push_back(static_cast<uint32_t>(v));
    }
  }

  if ((flags & kFlagRowOffset) != 0 && first_row != 0) {
    // Rows follow the metadata: an offset back into it would read the
    // descriptors as rows.
    if (first_row < r.pos()) {
      Reader::Fail("the offset of the first row (" + std::to_string(first_row) +
                   ") points into the metadata, which ends at " + std::to_string(r.pos()));
    }
    r.Seek(first_row);
  }

  // Every row takes at least its status byte and bitmap: a row count that
  // cannot fit in what is left is refused before anything is allocated.
  const size_t bitmap_size = (field_count + 3) / 4;
  if (row_count > (r.size() - r.pos()) / (1 + bitmap_size)) {
    Reader::Fail("row count " + std::to_string(row_count) + " exceeds the packet");
  }
  packet.store = std::make_unique<RecordStore>(packet.meta.fields);
  RecordStore& store = *packet.store;
  const RecordLayout& records = store.layout();
  packet.rows.reserve(row_count);
  for (uint32_t i = 0; i < row_count; ++i) {
    uint8_t* row = store.New();
    packet.rows.push_back(row);
    RecordLayout::SetStatus(row, static_cast<uint8_t>(r.U8("row status")));
    std::string_view bitmap = r.Take(bitmap_size, "null bitmap");
    for (uint32_t f = 0; f < field_count; ++f) {
      const unsigned bits = (static_cast<unsigned char>(bitmap[f / 4]) >> ((f % 4) * 2)) & 3u;
      if (bits == 0) {
        ReadValue(r, packet.meta.fields[f], layouts[f], records, row, f);
      } else if (bits == 2) {
        std::vector<bool>& flags = packet.unchanged[i];
        if (flags.empty()) flags.resize(field_count, false);
        flags[f] = true;
      }
    }
  }
  return packet;
}

}  // namespace zel::datapacket
