// Data packets: the two forms (binary and XML) in which the host runtime's
// client dataset stores and hands over its content. This header holds the
// form-independent model shared by the readers and writers; MemTable turns
// it into rows.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "runtime/field.h"
#include "runtime/record.h"

namespace zel::datapacket {

// Row status bits as packets carry them.
inline constexpr uint8_t kRowOriginal = 0x01;
inline constexpr uint8_t kRowDeleted = 0x02;
inline constexpr uint8_t kRowInserted = 0x04;
inline constexpr uint8_t kRowModified = 0x08;

inline constexpr int kDefaultLcid = 1046;  // Portuguese (Brazil)

// Everything in a packet besides its rows.
struct Metadata {
  std::vector<FieldDef> fields;
  int lcid = kDefaultLcid;
  std::vector<int> default_order;  // 1-based field numbers
  std::vector<int> primary_key;    // 1-based field numbers
  // Triplets (row number, row number of the original image or 0, flag),
  // 1-based physical row numbers.
  std::vector<uint32_t> change_log;
};

// One row to write: its status byte and its record (laid out as the
// writer's RecordLayout says).
struct RowRef {
  uint8_t status = 0;
  const uint8_t* record = nullptr;
};

// A packet as read. The rows are records of `store` (which the readers create
// once the fields are known), each with the packet's row status in its
// header, in the packet's order. `unchanged` holds, for the rows that have
// them (by position), one flag per field: the field was marked "unchanged"
// (a delta image) and takes its value from the row's original image.
struct Packet {
  Metadata meta;
  std::unique_ptr<RecordStore> store;
  std::vector<uint8_t*> rows;
  std::unordered_map<size_t, std::vector<bool>> unchanged;
};

// Binary form. WriteBinary lays out the header, field descriptors, dataset
// properties and rows exactly as the host runtime does. ReadBinary raises
// DatasetError for a bad magic, a truncated packet, a length or offset that
// points outside the packet, a first-row offset that points back into the
// metadata, or a field type it cannot represent; it never reads outside
// `bytes`.
std::string WriteBinary(const Metadata& meta, const RecordLayout& layout,
                        const std::vector<RowRef>& rows);
Packet ReadBinary(std::string_view bytes);
// True when `bytes` starts with the binary packet's magic number.
bool LooksBinary(std::string_view bytes);

// XML form. `utf8` selects the UTF-8 variant (encoding="UTF-8", characters as
// they are); otherwise characters outside ASCII are written as character
// references. ReadXml accepts both (and a Windows-1252 document without
// declared encoding) and raises DatasetError for malformed XML, a missing
// DATAPACKET/METADATA/FIELDS element, an unknown field type, a value that
// does not parse or an integer outside its field's range. Floats are written
// with 16 significant digits, as the host runtime writes them.
std::string WriteXml(const Metadata& meta, const RecordLayout& layout,
                     const std::vector<RowRef>& rows, bool utf8);
Packet ReadXml(std::string_view text);

// The rows of a packet with its change log resolved, records of the
// packet's store: the current rows in order, each with its change status in
// its header (kRowInserted, kRowModified or both, 0 for an unchanged row);
// for each modified row that has one, the image it had before its first
// change (row, image); and the images of the deleted rows.
struct ResolvedRows {
  std::vector<uint8_t*> rows;
  std::vector<std::pair<uint8_t*, uint8_t*>> originals;
  std::vector<uint8_t*> deleted;
};

// Resolves the change log of a packet as read: deleted rows and original
// images leave the current rows, each new image takes the place of its
// original and its "unchanged" fields the original's values; a deleted row
// keeps the image of its first original (a deleted insert disappears).
// `packet`'s rows are consumed: the records not handed back are freed.
ResolvedRows ResolveChangeLog(Packet& packet);

// Gives every text field a width that holds its longest value (a packet
// without WIDTH, or with values longer than it), so that writing the packet
// again loses nothing.
void FitTextWidths(Packet& packet);

// Helpers shared by both forms.
// The packet sub-type that marks a field of this type, or "" ("Money",
// "Text", "Binary", "Graphics", "WideText", "Autoinc").
const char* DefaultSubtype(FieldType type);
// Effective sub-type of a definition (its own or the type's default).
std::string SubtypeOf(const FieldDef& def);
// The declared width of a text field (20 when not given).
int TextWidth(const FieldDef& def);
// True for memos and blobs (their declared size travels as WIDTH when set).
bool IsBlobType(FieldType type);
// The WIDTH a BCD field declares (its precision, 32 when not given).
int BcdWidth(const FieldDef& def);

}  // namespace zel::datapacket
