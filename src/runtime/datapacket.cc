#include "runtime/datapacket.h"

#include <algorithm>
#include <cstring>

namespace zel::datapacket {

namespace {
constexpr int kDefaultTextWidth = 20;
constexpr int kBcdWidth = 32;
}  // namespace

bool LooksBinary(std::string_view bytes) {
  static constexpr unsigned char kMagic[4] = {0x96, 0x19, 0xE0, 0xBD};
  return bytes.size() >= 4 && std::memcmp(bytes.data(), kMagic, 4) == 0;
}

const char* DefaultSubtype(FieldType type) {
  switch (type) {
    case FieldType::kCurrency:
      return "Money";
    case FieldType::kMemo:
      return "Text";
    case FieldType::kBlob:
      return "Binary";
    case FieldType::kGraphic:
      return "Graphics";
    case FieldType::kWideMemo:
      return "WideText";
    case FieldType::kAutoInc:
      return "Autoinc";
    default:
      return "";
  }
}

std::string SubtypeOf(const FieldDef& def) {
  return def.subtype.empty() ? std::string(DefaultSubtype(def.type)) : def.subtype;
}

int TextWidth(const FieldDef& def) { return def.size > 0 ? def.size : kDefaultTextWidth; }

bool IsBlobType(FieldType type) {
  return type == FieldType::kMemo || type == FieldType::kBlob || type == FieldType::kGraphic ||
         type == FieldType::kWideMemo;
}

int BcdWidth(const FieldDef& def) {
  return def.precision > 0 ? std::min(def.precision, 0xFFFF) : kBcdWidth;
}

void FitTextWidths(Packet& packet) {
  std::vector<size_t> text_fields;
  std::vector<size_t> longest;
  for (size_t f = 0; f < packet.meta.fields.size(); ++f) {
    const FieldDef& def = packet.meta.fields[f];
    if (def.type != FieldType::kString && def.type != FieldType::kWideString) continue;
    text_fields.push_back(f);
    longest.push_back(static_cast<size_t>(TextWidth(def)));
  }
  if (text_fields.empty()) return;
  if (packet.store != nullptr) {
    const RecordLayout& layout = packet.store->layout();
    for (const uint8_t* row : packet.rows) {
      for (size_t k = 0; k < text_fields.size(); ++k) {
        if (!layout.IsNull(row, text_fields[k])) {
          longest[k] = std::max(longest[k], layout.Text(row, text_fields[k]).size());
        }
      }
    }
  }
  for (size_t k = 0; k < text_fields.size(); ++k) {
    packet.meta.fields[text_fields[k]].size =
        static_cast<int>(std::min<size_t>(longest[k], 0xFFFF));
  }
}

ResolvedRows ResolveChangeLog(Packet& packet) {
  std::vector<uint8_t*>& rows = packet.rows;
  const size_t n = rows.size();
  // Without a log every row is current as it stands.
  if (packet.meta.change_log.empty() && packet.unchanged.empty() &&
      std::all_of(rows.begin(), rows.end(),
                  [](const uint8_t* row) { return RecordLayout::Status(row) == 0; })) {
    ResolvedRows plain;
    plain.rows = std::move(rows);
    rows.clear();
    return plain;
  }
  RecordStore& store = *packet.store;
  const RecordLayout& layout = store.layout();
  std::vector<int64_t> original_of(n, -1);
  const std::vector<uint32_t>& log = packet.meta.change_log;
  for (size_t i = 0; i + 2 < log.size(); i += 3) {
    const uint32_t row = log[i];
    const uint32_t original = log[i + 1];
    if (row == 0 || row > n || original == 0 || original > n || row == original) continue;
    original_of[row - 1] = original - 1;
  }

  // An image that another row names as its original is superseded by it.
  std::vector<bool> superseded(n, false);
  for (size_t i = 0; i < n; ++i) {
    if (original_of[i] >= 0) superseded[static_cast<size_t>(original_of[i])] = true;
  }

  // Resolve "unchanged" fields from the original image, originals first. The
  // chains are walked iteratively (a hostile log may chain every row) and a
  // cycle simply stops the walk.
  enum : uint8_t { kNew, kWalking, kDone };
  std::vector<uint8_t> state(n, kNew);
  std::vector<size_t> anchor(n);
  std::vector<size_t> chain;
  for (size_t i = 0; i < n; ++i) {
    if (state[i] != kNew) continue;
    chain.clear();
    size_t j = i;
    while (state[j] == kNew) {
      chain.push_back(j);
      state[j] = kWalking;
      if (original_of[j] < 0) break;
      j = static_cast<size_t>(original_of[j]);
    }
    for (size_t k = chain.size(); k-- > 0;) {
      const size_t r = chain[k];
      const int64_t o = original_of[r];
      const bool have_original = o >= 0 && state[static_cast<size_t>(o)] == kDone;
      anchor[r] = have_original ? anchor[static_cast<size_t>(o)] : r;
      const auto flags = packet.unchanged.find(r);
      if (flags != packet.unchanged.end()) {
        const size_t count = std::min(flags->second.size(), layout.field_count());
        for (size_t f = 0; f < count; ++f) {
          if (!flags->second[f]) continue;
          if (have_original) {
            layout.CopyField(rows[static_cast<size_t>(o)], rows[r], f);
          } else {
            layout.SetNull(rows[r], f);
          }
        }
      }
      state[r] = kDone;
    }
  }

  ResolvedRows result;
  std::vector<bool> handed_back(n, false);
  std::vector<size_t> kept;
  kept.reserve(n);
  for (size_t i = 0; i < n; ++i) {
    const uint8_t status = RecordLayout::Status(rows[i]);
    if ((status & kRowDeleted) != 0) {
      // The image the deletion applies to is the row's first original.
      if ((status & kRowInserted) == 0) {
        const size_t first = anchor[i];
        if (first == i && !superseded[i]) {
          result.deleted.push_back(rows[i]);
          handed_back[i] = true;
        } else {
          result.deleted.push_back(store.Clone(rows[first]));
        }
      }
      continue;
    }
    if ((status & kRowOriginal) != 0 || superseded[i]) continue;
    kept.push_back(i);
  }
  // A new image takes the place of the row it replaces.
  if (!log.empty()) {
    std::stable_sort(kept.begin(), kept.end(),
                     [&](size_t a, size_t b) { return anchor[a] < anchor[b]; });
  }

  result.rows.reserve(kept.size());
  for (size_t i : kept) {
    uint8_t* row = rows[i];
    const uint8_t status = RecordLayout::Status(row) & (kRowInserted | kRowModified);
    RecordLayout::SetStatus(row, status);
    if (anchor[i] != i && (status & kRowModified) != 0) {
      result.originals.emplace_back(row, store.Clone(rows[anchor[i]]));
    }
    result.rows.push_back(row);
    handed_back[i] = true;
  }
  // Originals and superseded images now live on as copies, if at all.
  for (size_t i = 0; i < n; ++i) {
    if (!handed_back[i]) store.Free(rows[i]);
  }
  rows.clear();
  packet.unchanged.clear();
  return result;
}

}  // namespace zel::datapacket
