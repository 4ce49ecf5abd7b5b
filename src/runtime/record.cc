// Record blocks of the client dataset: layout from the field definitions,
// typed access to the slots, and the chunked store of a table's blocks.
#include "runtime/record.h"

#include <algorithm>
#include <limits>
#include <new>

#include "runtime/table_filter.h"

namespace zel {

namespace {

// Text fields up to this width keep their whole value in the slot; wider
// ones (and memos and blobs) keep up to kWideInline bytes there.
constexpr int kShortTextWidth = 23;
constexpr uint8_t kWideInline = 15;
constexpr uint8_t kMinInline = 8;  // room for the address of a heap block

constexpr size_t kMaxChunkBytes = 64 * 1024;
constexpr size_t kFirstChunkBlocks = 16;

char* LongBlock(const uint8_t* slot) {
  char* p;
  std::memcpy(&p, slot, sizeof p);
  return p;
}

size_t LongLength(const char* block) {
  size_t n;
  std::memcpy(&n, block, sizeof n);
  return n;
}

template <typename T>
T Load(const uint8_t* at) {
  T v;
  std::memcpy(&v, at, sizeof v);
  return v;
}

template <typename T>
void StoreAs(uint8_t* at, T v) {
  std::memcpy(at, &v, sizeof v);
}

}  // namespace

RecordLayout::RecordLayout(const std::vector<FieldDef>& defs) {
  slots_.resize(defs.size());
  bitmap_size_ = (defs.size() + 7) / 8;
  std::vector<size_t> widths(defs.size());
  for (size_t f = 0; f < defs.size(); ++f) {
    const FieldDef& def = defs[f];
    Slot& slot = slots_[f];
    switch (def.type) {
      case FieldType::kByte:
        slot.kind = Kind::kU8;
        break;
      case FieldType::kSmallint:
        slot.kind = Kind::kI16;
        break;
      case FieldType::kWord:
        slot.kind = Kind::kU16;
        break;
      case FieldType::kInteger:
      case FieldType::kAutoInc:
        slot.kind = Kind::kI32;
        break;
      case FieldType::kLongWord:
        slot.kind = Kind::kU32;
        break;
      case FieldType::kLargeint:
        slot.kind = Kind::kI64;
        break;
      case FieldType::kBoolean:
        slot.kind = Kind::kBool;
        break;
      case FieldType::kFloat:
      case FieldType::kCurrency:
      case FieldType::kBCD:
      case FieldType::kFMTBcd:
      case FieldType::kDate:
      case FieldType::kTime:
      case FieldType::kDateTime:
      case FieldType::kSQLTimeStamp:
        slot.kind = Kind::kDouble;
        break;
      case FieldType::kString:
      case FieldType::kWideString:
        slot.kind = Kind::kText;
        slot.cap = def.size > 0 && def.size <= kShortTextWidth
                       ? static_cast<uint8_t>(std::max<int>(def.size, kMinInline))
                       : kWideInline;
        break;
      case FieldType::kMemo:
      case FieldType::kWideMemo:
      case FieldType::kBlob:
      case FieldType::kGraphic:
        slot.kind = Kind::kText;
        slot.cap = kWideInline;
        break;
    }
    switch (slot.kind) {
      case Kind::kU8:
      case Kind::kBool:
        widths[f] = 1;
        break;
      case Kind::kI16:
      case Kind::kU16:
        widths[f] = 2;
        break;
      case Kind::kI32:
      case Kind::kU32:
        widths[f] = 4;
        break;
      case Kind::kI64:
      case Kind::kDouble:
        widths[f] = 8;
        break;
      case Kind::kText:
        widths[f] = size_t{slot.cap} + 1;
        text_fields_.push_back(static_cast<uint32_t>(f));
        has_texts_ = true;
        break;
    }
  }
  // Text slots come first, each on an 8-byte boundary: the address of a
  // value's heap block lies where the process's own memory tools (and a
  // leak checker at exit) can see it. The other slots follow, widest first,
  // so that none needs padding (values are copied in and out, never read in
  // place). Blocks are a multiple of 8 bytes, so every block starts on an
  // 8-byte boundary.
  size_t offset = kHeaderSize + bitmap_size_;
  for (uint32_t f : text_fields_) {
    offset = (offset + 7) & ~size_t{7};
    slots_[f].offset = static_cast<uint32_t>(offset);
    offset += widths[f];
  }
  for (size_t width : {size_t{8}, size_t{4}, size_t{2}, size_t{1}}) {
    for (size_t f = 0; f < slots_.size(); ++f) {
      if (slots_[f].kind == Kind::kText || widths[f] != width) continue;
      slots_[f].offset = static_cast<uint32_t>(offset);
      offset += widths[f];
    }
  }
  size_ = (offset + 7) & ~size_t{7};
}

int64_t RecordLayout::Int(const uint8_t* r, size_t f) const {
  if (IsNull(r, f)) return 0;
  const Slot& s = slots_[f];
  const uint8_t* at = r + s.offset;
  switch (s.kind) {
    case Kind::kU8:
    case Kind::kBool:
      return *at;
    case Kind::kI16:
      return Load<int16_t>(at);
    case Kind::kU16:
      return Load<uint16_t>(at);
    case Kind::kI32:
      return Load<int32_t>(at);
    case Kind::kU32:
      return Load<uint32_t>(at);
    case Kind::kI64:
      return Load<int64_t>(at);
    case Kind::kDouble:
    case Kind::kText:
      break;
  }
  return 0;
}

double RecordLayout::Float(const uint8_t* r, size_t f) const {
  if (IsNull(r, f) || slots_[f].kind != Kind::kDouble) return 0.0;
  return Load<double>(r + slots_[f].offset);
}

std::string_view RecordLayout::Text(const uint8_t* r, size_t f) const {
  const Slot& s = slots_[f];
  if (IsNull(r, f) || s.kind != Kind::kText) return {};
  const uint8_t* at = r + s.offset;
  const uint8_t tag = at[s.cap];
  if (tag != kLongText) return {reinterpret_cast<const char*>(at), tag};
  const char* block = LongBlock(at);
  return {block + sizeof(size_t), LongLength(block)};
}

FieldValue RecordLayout::Get(const uint8_t* r, size_t f) const {
  if (IsNull(r, f)) return {};
  switch (slots_[f].kind) {
    case Kind::kDouble:
      return Float(r, f);
    case Kind::kText:
      return std::string(Text(r, f));
    default:
      return Int(r, f);
  }
}

void RecordLayout::FreeLong(uint8_t* r, size_t f) const {
  const Slot& s = slots_[f];
  if (s.kind != Kind::kText || IsNull(r, f)) return;
  uint8_t* at = r + s.offset;
  if (at[s.cap] != kLongText) return;
  ::operator delete(LongBlock(at));
  at[s.cap] = 0;
}

void RecordLayout::SetNull(uint8_t* r, size_t f) const {
  FreeLong(r, f);
  ClearPresent(r, f);
}

bool RecordLayout::Fits(size_t f, int64_t v) const {
  switch (slots_[f].kind) {
    case Kind::kU8:
      return v >= 0 && v <= std::numeric_limits<uint8_t>::max();
    case Kind::kI16:
      return v >= std::numeric_limits<int16_t>::min() && v <= std::numeric_limits<int16_t>::max();
    case Kind::kU16:
      return v >= 0 && v <= std::numeric_limits<uint16_t>::max();
    case Kind::kI32:
      return v >= std::numeric_limits<int32_t>::min() && v <= std::numeric_limits<int32_t>::max();
    case Kind::kU32:
      return v >= 0 && v <= std::numeric_limits<uint32_t>::max();
    case Kind::kI64:
    case Kind::kBool:
      return true;
    case Kind::kDouble:
    case Kind::kText:
      break;
  }
  return false;
}

void RecordLayout::SetInt(uint8_t* r, size_t f, int64_t v) const {
  const Slot& s = slots_[f];
  uint8_t* at = r + s.offset;
  switch (s.kind) {
    case Kind::kU8:
      *at = static_cast<uint8_t>(v);
      break;
    case Kind::kBool:
      *at = v != 0 ? 1 : 0;
      break;
    case Kind::kI16:
      StoreAs(at, static_cast<int16_t>(v));
      break;
    case Kind::kU16:
      StoreAs(at, static_cast<uint16_t>(v));
      break;
    case Kind::kI32:
      StoreAs(at, static_cast<int32_t>(v));
      break;
    case Kind::kU32:
      StoreAs(at, static_cast<uint32_t>(v));
      break;
    case Kind::kI64:
      StoreAs(at, v);
      break;
    case Kind::kDouble:
      SetFloat(r, f, static_cast<double>(v));
      return;
    case Kind::kText:
      return;
  }
  SetPresent(r, f);
}

void RecordLayout::SetFloat(uint8_t* r, size_t f, double v) const {
  const Slot& s = slots_[f];
  if (s.kind != Kind::kDouble) {
    if (s.kind != Kind::kText) SetInt(r, f, static_cast<int64_t>(v));
    return;
  }
  StoreAs(r + s.offset, v);
  SetPresent(r, f);
}

void RecordLayout::SetText(uint8_t* r, size_t f, std::string_view v) const {
  const Slot& s = slots_[f];
  if (s.kind != Kind::kText) return;
  FreeLong(r, f);
  uint8_t* at = r + s.offset;
  if (v.size() <= s.cap) {
    if (!v.empty()) std::memcpy(at, v.data(), v.size());
    at[s.cap] = static_cast<uint8_t>(v.size());
  } else {
    char* block = static_cast<char*>(::operator new(sizeof(size_t) + v.size()));
    const size_t n = v.size();
    std::memcpy(block, &n, sizeof n);
    std::memcpy(block + sizeof n, v.data(), n);
    std::memcpy(at, &block, sizeof block);
    at[s.cap] = kLongText;
  }
  SetPresent(r, f);
}

void RecordLayout::Set(uint8_t* r, size_t f, const FieldValue& v) const {
  if (const auto* i = std::get_if<int64_t>(&v)) {
    SetInt(r, f, *i);
  } else if (const auto* d = std::get_if<double>(&v)) {
    SetFloat(r, f, *d);
  } else if (const auto* s = std::get_if<std::string>(&v)) {
    SetText(r, f, *s);
  } else {
    SetNull(r, f);
  }
}

void RecordLayout::CopyField(const uint8_t* from, uint8_t* to, size_t f) const {
  if (from == to) return;
  if (IsNull(from, f)) {
    SetNull(to, f);
    return;
  }
  const Slot& s = slots_[f];
  if (s.kind == Kind::kText) {
    SetText(to, f, Text(from, f));
    return;
  }
  const size_t width = s.kind == Kind::kU8 || s.kind == Kind::kBool   ? 1
                       : s.kind == Kind::kI16 || s.kind == Kind::kU16 ? 2
                       : s.kind == Kind::kI32 || s.kind == Kind::kU32 ? 4
                                                                      : 8;
  std::memcpy(to + s.offset, from + s.offset, width);
  SetPresent(to, f);
}

void RecordLayout::Release(uint8_t* r) const {
  for (uint32_t f : text_fields_) FreeLong(r, f);
  std::memset(r + kHeaderSize, 0, bitmap_size_);
}

void RecordLayout::CopyValues(const uint8_t* from, uint8_t* to) const {
  if (from == to) return;
  Release(to);
  std::memcpy(to + kHeaderSize, from + kHeaderSize, size_ - kHeaderSize);
  // The heap blocks copied with the bytes belong to `from`: `to` gets its own.
  for (uint32_t f : text_fields_) {
    const Slot& s = slots_[f];
    if (IsNull(to, f) || to[s.offset + s.cap] != kLongText) continue;
    ClearPresent(to, f);
    to[s.offset + s.cap] = 0;
    SetText(to, f, Text(from, f));
  }
}

void RecordLayout::MoveValues(uint8_t* from, uint8_t* to) const {
  if (from == to) return;
  Release(to);
  std::memcpy(to + kHeaderSize, from + kHeaderSize, size_ - kHeaderSize);
  std::memset(from + kHeaderSize, 0, bitmap_size_);
}

int RecordLayout::Compare(const uint8_t* a, const uint8_t* b, size_t f,
                          bool case_insensitive) const {
  const bool a_null = IsNull(a, f);
  const bool b_null = IsNull(b, f);
  if (a_null || b_null) return a_null == b_null ? 0 : (a_null ? -1 : 1);
  switch (slots_[f].kind) {
    case Kind::kText:
      return CompareText(Text(a, f), Text(b, f), case_insensitive);
    case Kind::kDouble: {
      const double x = Float(a, f);
      const double y = Float(b, f);
      return x < y ? -1 : (x > y ? 1 : 0);
    }
    default: {
      const int64_t x = Int(a, f);
      const int64_t y = Int(b, f);
      return x < y ? -1 : (x > y ? 1 : 0);
    }
  }
}

// ---- Store ------------------------------------------------------------------

RecordStore::~RecordStore() {
  if (!layout_.has_texts()) return;
  const size_t size = layout_.size();
  for (size_t c = 0; c < chunks_.size(); ++c) {
    const size_t count = c + 1 == chunks_.size() ? used_ : chunks_[c].capacity;
    uint8_t* bytes = chunks_[c].bytes.get();
    // Freed blocks were released when freed: their fields are all null.
    for (size_t i = 0; i < count; ++i) layout_.Release(bytes + i * size);
  }
}

uint8_t* RecordStore::New() {
  const size_t size = layout_.size();
  uint8_t* r;
  if (free_ != nullptr) {
    r = free_;
    std::memcpy(&free_, r, sizeof free_);
  } else {
    if (chunks_.empty() || used_ == chunks_.back().capacity) {
      const size_t most = std::max<size_t>(1, kMaxChunkBytes / size);
      const size_t capacity = chunks_.empty() ? std::min(kFirstChunkBlocks, most)
                                              : std::min(chunks_.back().capacity * 2, most);
      chunks_.push_back({std::make_unique_for_overwrite<uint8_t[]>(capacity * size), capacity});
      used_ = 0;
    }
    r = chunks_.back().bytes.get() + used_ * size;
    ++used_;
  }
  std::memset(r, 0, size);
  return r;
}

uint8_t* RecordStore::Clone(const uint8_t* r) {
  uint8_t* copy = New();
  std::memcpy(copy, r, RecordLayout::kHeaderSize);
  layout_.CopyValues(r, copy);
  return copy;
}

void RecordStore::Free(uint8_t* r) {
  if (r == nullptr) return;
  layout_.Release(r);
  std::memcpy(r, &free_, sizeof free_);
  free_ = r;
}

}  // namespace zel
