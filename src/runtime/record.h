// Records of the client dataset (MemTable) and of the data packets read into
// it: each record is one contiguous block laid out from the field
// definitions, and the blocks of a table live in one chunked store.
//
// A block holds an 8-byte header (the record's order of addition and its row
// status), a presence bitmap (bit set: the field has a value; a block of
// zeros is a record of nulls) and one slot per field:
//  - integers in the width of their type (1, 2, 4 or 8 bytes), booleans in
//    one byte;
//  - floats, currency, decimals and every date-time type as an 8-byte double;
//  - texts, memos and blobs in `cap` bytes followed by a tag byte: a value
//    of at most `cap` bytes lies in the slot itself and the tag counts its
//    bytes; a longer value lies in a heap block of its own (its length, then
//    its bytes) whose address fills the slot's first 8 bytes, and the tag is
//    kLongText. Short text fields get a slot of their width, longer fields
//    and memos a 16-byte one.
// Text slots start on 8-byte boundaries (a heap block's address stays where
// memory tools look for pointers); the others are not aligned, and values
// are read and written with memcpy.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

#include "runtime/field.h"

namespace zel {

class RecordLayout {
 public:
  RecordLayout() = default;
  explicit RecordLayout(const std::vector<FieldDef>& defs);

  // Bytes of one block (a multiple of 8).
  size_t size() const { return size_; }
  size_t field_count() const { return slots_.size(); }
  // True when some field may hold a heap block (texts, memos, blobs).
  bool has_texts() const { return has_texts_; }

  // Header: order of addition (56 bits) and row status.
  static uint64_t Seq(const uint8_t* r) { return Header(r) >> 8; }
  static uint8_t Status(const uint8_t* r) { return static_cast<uint8_t>(Header(r) & 0xFF); }
  static void SetHeader(uint8_t* r, uint64_t seq, uint8_t status) {
    const uint64_t h = (seq << 8) | status;
    std::memcpy(r, &h, sizeof h);
  }
  static void SetStatus(uint8_t* r, uint8_t status) { SetHeader(r, Seq(r), status); }

  // The kind a field's values are stored as: text (texts, memos, blobs),
  // double (floats, decimals, date-times) or else integer (booleans too).
  bool IsText(size_t f) const { return slots_[f].kind == Kind::kText; }
  bool IsDouble(size_t f) const { return slots_[f].kind == Kind::kDouble; }

  bool IsNull(const uint8_t* r, size_t f) const {
    return ((r[kHeaderSize + f / 8] >> (f % 8)) & 1u) == 0;
  }
  // Values of the field's own kind; 0 / 0.0 / "" for a null. A view of a
  // text stays valid until the field is written or the record freed.
  int64_t Int(const uint8_t* r, size_t f) const;
  double Float(const uint8_t* r, size_t f) const;
  std::string_view Text(const uint8_t* r, size_t f) const;
  // The value as the variant of its kind (null, integer, double or bytes).
  FieldValue Get(const uint8_t* r, size_t f) const;

  void SetNull(uint8_t* r, size_t f) const;
  // The value must be of the field's kind; an integer must be in the range
  // of the field's type (Fits).
  void SetInt(uint8_t* r, size_t f, int64_t v) const;
  void SetFloat(uint8_t* r, size_t f, double v) const;
  void SetText(uint8_t* r, size_t f, std::string_view v) const;
  void Set(uint8_t* r, size_t f, const FieldValue& v) const;
  // True when an integer field's slot holds `v`.
  bool Fits(size_t f, int64_t v) const;

  // Copies the value of field `f` (a long text gets a heap block of its own).
  void CopyField(const uint8_t* from, uint8_t* to, size_t f) const;
  // Copies every value of `from` into `to`, whose own values are released;
  // the header of `to` stays.
  void CopyValues(const uint8_t* from, uint8_t* to) const;
  // Moves every value of `from` into `to` (released first); `from` is left
  // with every field null. The header of `to` stays.
  void MoveValues(uint8_t* from, uint8_t* to) const;
  // Frees the heap blocks of a record and makes every field null.
  void Release(uint8_t* r) const;

  // Order of two records by field `f`: a null comes first, texts byte by
  // byte (optionally ignoring case), numbers by value.
  int Compare(const uint8_t* a, const uint8_t* b, size_t f, bool case_insensitive) const;

  static constexpr size_t kHeaderSize = 8;
  static constexpr uint8_t kLongText = 0xFF;

 private:
  enum class Kind : uint8_t { kU8, kI16, kU16, kI32, kU32, kI64, kBool, kDouble, kText };
  struct Slot {
    uint32_t offset = 0;
    Kind kind = Kind::kText;
    uint8_t cap = 0;  // inline bytes of a text slot
  };

  static uint64_t Header(const uint8_t* r) {
    uint64_t h;
    std::memcpy(&h, r, sizeof h);
    return h;
  }
  void SetPresent(uint8_t* r, size_t f) const {
    r[kHeaderSize + f / 8] = static_cast<uint8_t>(r[kHeaderSize + f / 8] | (1u << (f % 8)));
  }
  void ClearPresent(uint8_t* r, size_t f) const {
    r[kHeaderSize + f / 8] = static_cast<uint8_t>(r[kHeaderSize + f / 8] & ~(1u << (f % 8)));
  }
  // Frees the heap block of a text slot, if it has one.
  void FreeLong(uint8_t* r, size_t f) const;

  std::vector<Slot> slots_;
  std::vector<uint32_t> text_fields_;
  size_t bitmap_size_ = 0;
  size_t size_ = kHeaderSize;
  bool has_texts_ = false;
};

// The blocks of one table: handed out from chunks that grow with the table
// (up to 64 KiB each), freed blocks kept for reuse. Destroying the store
// frees every block it handed out, with its heap blocks.
class RecordStore {
 public:
  explicit RecordStore(const std::vector<FieldDef>& defs) : layout_(defs) {}
  ~RecordStore();
  RecordStore(const RecordStore&) = delete;
  RecordStore& operator=(const RecordStore&) = delete;

  const RecordLayout& layout() const { return layout_; }
  // A block with every field null and a zero header.
  uint8_t* New();
  // A copy of `r` (header included).
  uint8_t* Clone(const uint8_t* r);
  void Free(uint8_t* r);

 private:
  struct Chunk {
    std::unique_ptr<uint8_t[]> bytes;
    size_t capacity = 0;  // blocks
  };

  RecordLayout layout_;
  std::vector<Chunk> chunks_;
  size_t used_ = 0;          // blocks handed out from the last chunk
  uint8_t* free_ = nullptr;  // freed blocks, linked through their headers
};

}  // namespace zel
