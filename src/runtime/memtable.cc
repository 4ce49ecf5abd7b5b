// MemTable: structure, life cycle, cursor, editing, indexes, filter, Locate,
// change log and the bridge to the data-packet readers and writers.
#include "runtime/memtable.h"

#include <algorithm>

#include "runtime/datapacket.h"
#include "runtime/host_error.h"
#include "runtime/record.h"
#include "runtime/table_filter.h"

namespace zel {

namespace {

constexpr int kDefaultTextWidth = 20;
constexpr int kDefaultBcdDecimals = 4;

bool IsTextType(FieldType type) {
  return type == FieldType::kString || type == FieldType::kWideString || type == FieldType::kMemo ||
         type == FieldType::kWideMemo || type == FieldType::kBlob || type == FieldType::kGraphic;
}

}  // namespace

MemTable::MemTable(std::string name) : name_(std::move(name)) {}
MemTable::~MemTable() = default;

// ---- Structure ------------------------------------------------------------

void MemTable::AddField(std::string name, FieldType type, int size, bool required) {
  FieldDef def;
  def.name = std::move(name);
  def.type = type;
  def.size = size;
  def.attributes = required ? kFieldRequired : 0;
  AddFieldDef(std::move(def));
}

void MemTable::AddFieldDef(FieldDef def) {
  CheckInactive();
  if (ResolveField(def.name) >= 0) throw DatasetError("Duplicate field name '" + def.name + "'");
  if ((def.type == FieldType::kString || def.type == FieldType::kWideString) && def.size <= 0) {
    def.size = kDefaultTextWidth;
  }
  if ((def.type == FieldType::kBCD || def.type == FieldType::kFMTBcd) && def.size <= 0) {
    def.size = kDefaultBcdDecimals;
  }
  defs_.push_back(std::move(def));
  RebuildFields();
}

void MemTable::ClearFields() {
  CheckInactive();
  defs_.clear();
  RebuildFields();
}

Field& MemTable::Fields(int index) {
  if (index < 0 || index >= FieldCount()) {
    throw DatasetError("Field index out of range: " + std::to_string(index));
  }
  return *fields_[static_cast<size_t>(index)];
}

const Field& MemTable::Fields(int index) const {
  return const_cast<MemTable*>(this)->Fields(index);
}

// Fields are kept by name across redefinitions so that references held by
// callers stay valid as long as their field exists.
void MemTable::RebuildFields() {
  std::vector<std::unique_ptr<Field>> old = std::move(fields_);
  fields_.clear();
  for (size_t i = 0; i < defs_.size(); ++i) {
    std::unique_ptr<Field> field;
    for (auto& f : old) {
      if (f && f->index_ >= 0 && SameName(f->name_cache_, defs_[i].name)) {
        field = std::move(f);
        break;
      }
    }
    if (!field) field = std::make_unique<Field>(this, static_cast<int>(i));
    field->index_ = static_cast<int>(i);
    field->name_cache_ = defs_[i].name;
    fields_.push_back(std::move(field));
  }
}

int MemTable::ResolveField(std::string_view name) const {
  for (size_t i = 0; i < defs_.size(); ++i) {
    if (SameName(defs_[i].name, name)) return static_cast<int>(i);
  }
  return -1;
}

std::vector<int> MemTable::ResolveFieldList(std::string_view fields) const {
  std::vector<int> result;
  while (!fields.empty()) {
    const size_t semi = fields.find(';');
    std::string_view name = fields.substr(0, semi);
    fields = semi == std::string_view::npos ? std::string_view() : fields.substr(semi + 1);
    while (!name.empty() && name.front() == ' ') name.remove_prefix(1);
    while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
    if (name.empty()) continue;
    const int f = ResolveField(name);
    if (f < 0) throw DatasetError("Field '" + std::string(name) + "' not found");
    result.push_back(f);
  }
  return result;
}

Field& MemTable::FieldByName(std::string_view name) {
  Field* f = FindField(name);
  if (f == nullptr) throw DatasetError("Field '" + std::string(name) + "' not found");
  return *f;
}

const Field& MemTable::FieldByName(std::string_view name) const {
  return const_cast<MemTable*>(this)->FieldByName(name);
}

Field* MemTable::FindField(std::string_view name) {
  const int f = ResolveField(name);
  return f < 0 ? nullptr : fields_[static_cast<size_t>(f)].get();
}

const Field* MemTable::FindField(std::string_view name) const {
  return const_cast<MemTable*>(this)->FindField(name);
}

// ---- Life cycle -----------------------------------------------------------

void MemTable::CheckActive() const {
  if (!Active()) throw DatasetError("Cannot perform this operation on a closed dataset");
}

void MemTable::CheckInactive() const {
  if (Active()) throw DatasetError("Cannot perform this operation on an open dataset");
}

void MemTable::CreateDataSet() {
  if (defs_.empty()) throw DatasetError("No fields defined");
  Close();
  store_ = std::make_unique<RecordStore>(defs_);
  OpenLoaded();
}

void MemTable::Open() {
  if (Active()) return;
  if (defs_.empty()) throw DatasetError("Missing data provider or data packet");
  store_ = std::make_unique<RecordStore>(defs_);
  OpenLoaded();
}

void MemTable::OpenLoaded() {
  buffer_ = nullptr;
  modified_ = false;
  state_ = State::kBrowse;
  try {
    ResolveOrdering();
    filter_ = filtered_ ? CompileFilter(filter_text_) : nullptr;
  } catch (...) {
    Close();
    throw;
  }
  BuildView(nullptr);
  SetCursor(0);
  RunAfterOpen();
}

// Frees every record (the store goes with them).
void MemTable::DropRecords() {
  rows_ = {};
  view_ = {};
  originals_ = {};
  deleted_ = {};
  buffer_ = nullptr;
  insert_before_ = nullptr;
  store_.reset();
}

void MemTable::Close() {
  if (!Active()) return;
  state_ = State::kInactive;
  DropRecords();
  modified_ = false;
  filter_ = nullptr;
  cursor_ = 0;
  bof_ = eof_ = true;
}

void MemTable::EmptyDataSet() {
  CheckActive();
  Cancel();
  DropRecords();
  store_ = std::make_unique<RecordStore>(defs_);
  SetCursor(0);
}

void MemTable::RunAfterOpen() {
  if (after_open_) after_open_(*this);
}

// ---- Cursor ---------------------------------------------------------------

void MemTable::SetCursor(int position) {
  const int count = static_cast<int>(view_.size());
  cursor_ = std::clamp(position, 0, std::max(count - 1, 0));
  bof_ = count == 0 || position <= 0;
  eof_ = count == 0;
}

void MemTable::First() {
  CheckActive();
  CheckBrowseMode();
  SetCursor(0);
}

void MemTable::Next() {
  CheckActive();
  CheckBrowseMode();
  if (cursor_ + 1 < static_cast<int>(view_.size())) {
    ++cursor_;
    bof_ = eof_ = false;
  } else {
    eof_ = true;
    if (!view_.empty()) bof_ = false;
  }
}

void MemTable::Prior() {
  CheckActive();
  CheckBrowseMode();
  if (cursor_ > 0) {
    --cursor_;
    bof_ = eof_ = false;
  } else {
    bof_ = true;
    if (!view_.empty()) eof_ = false;
  }
}

void MemTable::Last() {
  CheckActive();
  CheckBrowseMode();
  SetCursor(static_cast<int>(view_.size()) - 1);
  eof_ = true;
  bof_ = view_.empty();
}

bool MemTable::Eof() const { return !Active() || eof_; }
bool MemTable::Bof() const { return !Active() || bof_; }

int MemTable::RecNo() const {
  if (!Active() || view_.empty() || state_ == State::kInsert) return 0;
  return cursor_ + 1;
}

void MemTable::SetRecNo(int rec_no) {
  CheckActive();
  CheckBrowseMode();
  if (rec_no < 1 || rec_no > static_cast<int>(view_.size())) {
    throw DatasetError("Record number " + std::to_string(rec_no) + " out of range");
  }
  cursor_ = rec_no - 1;
  bof_ = eof_ = false;
}

int MemTable::RecordCount() const { return Active() ? static_cast<int>(view_.size()) : 0; }

const uint8_t* MemTable::CurrentRecord() const {
  if (state_ == State::kEdit || state_ == State::kInsert) return buffer_;
  if (!Active() || view_.empty()) return nullptr;
  return view_[static_cast<size_t>(cursor_)];
}

const RecordLayout* MemTable::Layout() const {
  return store_ != nullptr ? &store_->layout() : nullptr;
}

// ---- View: order and filter -------------------------------------------------

void MemTable::ResolveOrdering() {
  order_fields_.clear();
  order_options_ = {};
  if (!index_field_names_.empty()) {
    order_fields_ = ResolveFieldList(index_field_names_);
    return;
  }
  if (index_name_.empty()) return;
  for (const IndexDef& index : indexes_) {
    if (SameName(index.name, index_name_)) {
      order_fields_ = ResolveFieldList(index.fields);
      order_options_ = index.options;
      return;
    }
  }
  throw DatasetError("Index '" + index_name_ + "' not found");
}

bool MemTable::ViewLess(const uint8_t* a, const uint8_t* b) const {
  const RecordLayout& layout = store_->layout();
  for (int f : order_fields_) {
    const int c = layout.Compare(a, b, static_cast<size_t>(f), order_options_.case_insensitive);
    if (c != 0) return order_options_.descending ? c > 0 : c < 0;
  }
  return RecordLayout::Seq(a) < RecordLayout::Seq(b);
}

bool MemTable::PassesFilter(const uint8_t* row) const {
  return !filtered_ || filter_ == nullptr || filter_->Matches(store_->layout(), row);
}

std::shared_ptr<FilterExpression> MemTable::CompileFilter(std::string_view text) const {
  return FilterExpression::Compile(text, defs_, filter_options_.case_insensitive);
}

void MemTable::BuildView(const uint8_t* keep_current) {
  view_.clear();
  if (!filtered_ || filter_ == nullptr) {
    view_ = rows_;
  } else {
    view_.reserve(rows_.size());
    for (uint8_t* row : rows_) {
      if (PassesFilter(row)) view_.push_back(row);
    }
  }
  if (Ordered()) {
    std::sort(view_.begin(), view_.end(),
              [this](const uint8_t* a, const uint8_t* b) { return ViewLess(a, b); });
  }
  const auto it = std::find(view_.begin(), view_.end(), keep_current);
  cursor_ = it == view_.end() ? 0 : static_cast<int>(it - view_.begin());
}

void MemTable::PlaceInView(uint8_t* row) {
  if (!PassesFilter(row)) {
    SetCursor(std::min(cursor_, static_cast<int>(view_.size()) - 1));
    bof_ = eof_ = view_.empty();
    return;
  }
  std::vector<uint8_t*>::iterator at;
  if (Ordered()) {
    at = std::upper_bound(view_.begin(), view_.end(), row,
                          [this](const uint8_t* a, const uint8_t* b) { return ViewLess(a, b); });
  } else if (insert_before_ != nullptr) {
    at = std::find(view_.begin(), view_.end(), insert_before_);
  } else {
    at = view_.end();
  }
  at = view_.insert(at, row);
  cursor_ = static_cast<int>(at - view_.begin());
  bof_ = eof_ = false;
}

void MemTable::AddIndex(std::string name, std::string fields, IndexOptions options) {
  for (const IndexDef& index : indexes_) {
    if (SameName(index.name, name)) throw DatasetError("Duplicate index name '" + name + "'");
  }
  indexes_.push_back({std::move(name), std::move(fields), options});
}

void MemTable::DeleteIndex(std::string_view name) {
  const auto it = std::find_if(indexes_.begin(), indexes_.end(),
                               [&](const IndexDef& i) { return SameName(i.name, name); });
  if (it == indexes_.end()) throw DatasetError("Index '" + std::string(name) + "' not found");
  const bool active = SameName(index_name_, name);
  indexes_.erase(it);
  if (active) SetIndexName("");
}

void MemTable::SetIndexName(std::string name) {
  if (Active()) CheckBrowseMode();
  const std::string old_name = std::move(index_name_);
  const std::string old_fields = std::move(index_field_names_);
  index_name_ = std::move(name);
  index_field_names_.clear();
  if (!Active()) {
    // Checked when the table opens; an unknown name is refused at once.
    if (!index_name_.empty() &&
        std::none_of(indexes_.begin(), indexes_.end(),
                     [&](const IndexDef& i) { return SameName(i.name, index_name_); })) {
      std::string bad = index_name_;
      index_name_ = old_name;
      index_field_names_ = old_fields;
      throw DatasetError("Index '" + bad + "' not found");
    }
    return;
  }
  ReorderOrRestore(old_name, old_fields);
}

// Puts the open table in the order just chosen, keeping the current record;
// an order that cannot be resolved (unknown index or field) restores the
// previous choice and raises.
void MemTable::ReorderOrRestore(const std::string& old_name, const std::string& old_fields) {
  try {
    ResolveOrdering();
  } catch (...) {
    index_name_ = old_name;
    index_field_names_ = old_fields;
    ResolveOrdering();
    throw;
  }
  const uint8_t* current = view_.empty() ? nullptr : view_[static_cast<size_t>(cursor_)];
  BuildView(current);
  bof_ = eof_ = view_.empty();
}

void MemTable::SetIndexFieldNames(std::string fields) {
  if (Active()) CheckBrowseMode();
  const std::string old_name = std::move(index_name_);
  const std::string old_fields = std::move(index_field_names_);
  index_name_.clear();
  index_field_names_ = std::move(fields);
  if (!Active()) return;
  ReorderOrRestore(old_name, old_fields);
}

void MemTable::SetFilter(std::string text) {
  if (Active() && filtered_) {
    CheckBrowseMode();
    filter_ = CompileFilter(text);  // a bad text leaves the old filter in force
    filter_text_ = std::move(text);
    BuildView(nullptr);
    SetCursor(0);
    return;
  }
  filter_text_ = std::move(text);
}

void MemTable::SetFiltered(bool filtered) {
  if (!Active()) {
    filtered_ = filtered;
    return;
  }
  if (filtered == filtered_) return;
  CheckBrowseMode();
  filter_ = filtered ? CompileFilter(filter_text_) : nullptr;
  filtered_ = filtered;
  BuildView(nullptr);
  SetCursor(0);
}

void MemTable::SetFilterOptions(FilterOptions options) {
  const FilterOptions old = filter_options_;
  filter_options_ = options;
  if (!Active() || !filtered_) return;
  CheckBrowseMode();
  try {
    filter_ = CompileFilter(filter_text_);
  } catch (...) {
    filter_options_ = old;
    throw;
  }
  BuildView(nullptr);
  SetCursor(0);
}

// ---- Editing --------------------------------------------------------------

void MemTable::CheckBrowseMode() {
  if (state_ != State::kEdit && state_ != State::kInsert) return;
  if (modified_) {
    Post();
  } else {
    Cancel();
  }
}

void MemTable::StoreValue(int field_index, const FieldValue& value) {
  CheckActive();
  if (state_ != State::kEdit && state_ != State::kInsert) {
    throw DatasetError("Dataset not in edit or insert mode");
  }
  store_->layout().Set(buffer_, static_cast<size_t>(field_index), value);
  modified_ = true;
}

void MemTable::Edit() {
  CheckActive();
  if (state_ == State::kEdit || state_ == State::kInsert) return;
  if (view_.empty()) {
    Insert();
    return;
  }
  buffer_ = store_->Clone(view_[static_cast<size_t>(cursor_)]);
  state_ = State::kEdit;
  modified_ = false;
}

void MemTable::Insert() {
  CheckActive();
  CheckBrowseMode();
  buffer_ = store_->New();
  insert_before_ = view_.empty() ? nullptr : view_[static_cast<size_t>(cursor_)];
  appending_ = false;
  state_ = State::kInsert;
  modified_ = false;
}

void MemTable::Append() {
  CheckActive();
  CheckBrowseMode();
  buffer_ = store_->New();
  insert_before_ = nullptr;
  appending_ = true;
  state_ = State::kInsert;
  modified_ = false;
}

void MemTable::CheckRequired() const {
  for (size_t i = 0; i < defs_.size(); ++i) {
    if (defs_[i].required() && store_->layout().IsNull(buffer_, i)) {
      throw DatasetError("Field '" + defs_[i].name + "' must have a value");
    }
  }
}

// Automatic numbers continue after the highest one in the table.
void MemTable::FillAutoInc() {
  const RecordLayout& layout = store_->layout();
  for (size_t i = 0; i < defs_.size(); ++i) {
    if (defs_[i].type != FieldType::kAutoInc || !layout.IsNull(buffer_, i)) continue;
    int64_t highest = 0;
    for (const uint8_t* row : rows_) {
      if (!layout.IsNull(row, i)) highest = std::max(highest, layout.Int(row, i));
    }
    // The numbers end where the field's 32 bits do.
    if (!layout.Fits(i, highest + 1)) {
      throw DatasetError(std::to_string(highest + 1) + " is not a valid value for field '" +
                         defs_[i].name + "'. The allowed range is -2147483648 to 2147483647");
    }
    layout.SetInt(buffer_, i, highest + 1);
  }
}

void MemTable::Post() {
  CheckActive();
  if (state_ == State::kInsert) {
    FillAutoInc();
    CheckRequired();
    uint8_t* row = buffer_;
    RecordLayout::SetHeader(row, next_seq_++, log_changes_ ? datapacket::kRowInserted : 0);
    auto at = rows_.end();
    if (!appending_ && insert_before_ != nullptr) {
      at = std::find(rows_.begin(), rows_.end(), insert_before_);
    }
    rows_.insert(at, row);
    buffer_ = nullptr;
    state_ = State::kBrowse;
    modified_ = false;
    PlaceInView(row);
    insert_before_ = nullptr;
    return;
  }
  if (state_ != State::kEdit) return;
  CheckRequired();
  uint8_t* row = view_[static_cast<size_t>(cursor_)];
  if (modified_) {
    const uint8_t status = RecordLayout::Status(row);
    if (log_changes_ && originals_.find(row) == originals_.end() &&
        (status == 0 || status == datapacket::kRowInserted)) {
      originals_.emplace(row, store_->Clone(row));
      RecordLayout::SetStatus(row, status | datapacket::kRowModified);
    }
    store_->layout().MoveValues(buffer_, row);
  }
  store_->Free(buffer_);
  buffer_ = nullptr;
  state_ = State::kBrowse;
  const bool changed = modified_;
  modified_ = false;
  if (!changed) return;
  if (Ordered()) {
    // The record moves to its new place in the index (or out of the view).
    view_.erase(view_.begin() + cursor_);
    insert_before_ = nullptr;
    PlaceInView(row);
  } else if (!PassesFilter(row)) {
    view_.erase(view_.begin() + cursor_);
    SetCursor(std::min(cursor_, static_cast<int>(view_.size()) - 1));
    bof_ = eof_ = view_.empty();
  }
}

void MemTable::Cancel() {
  if (state_ != State::kEdit && state_ != State::kInsert) return;
  store_->Free(buffer_);
  buffer_ = nullptr;
  modified_ = false;
  insert_before_ = nullptr;
  state_ = State::kBrowse;
}

void MemTable::Delete() {
  CheckActive();
  if (state_ == State::kInsert) {
    Cancel();
    return;
  }
  Cancel();
  if (view_.empty()) throw DatasetError("Cannot perform this operation on an empty dataset");
  uint8_t* row = view_[static_cast<size_t>(cursor_)];
  const uint8_t status = RecordLayout::Status(row);
  view_.erase(view_.begin() + cursor_);
  rows_.erase(std::find(rows_.begin(), rows_.end(), row));
  // The log keeps the image the record had before its first change.
  uint8_t* image = row;
  if (const auto it = originals_.find(row); it != originals_.end()) {
    image = it->second;
    originals_.erase(it);
    store_->Free(row);
  }
  if (log_changes_ && (status & datapacket::kRowInserted) == 0) {
    deleted_.push_back(image);
  } else {
    store_->Free(image);
  }
  if (view_.empty()) {
    SetCursor(0);
  } else if (cursor_ >= static_cast<int>(view_.size())) {
    // The last record went: the new last one is current, at the end.
    cursor_ = static_cast<int>(view_.size()) - 1;
    bof_ = false;
    eof_ = true;
  } else {
    bof_ = eof_ = false;
  }
}

void MemTable::AppendRecord(const std::vector<HostVariant>& values) {
  Append();
  try {
    for (size_t i = 0; i < values.size() && i < defs_.size(); ++i) {
      if (values[i].IsNull() || values[i].IsEmpty()) continue;
      fields_[i]->SetAsVariant(values[i]);
    }
    Post();
  } catch (...) {
    Cancel();
    throw;
  }
}

// ---- Locate ---------------------------------------------------------------

bool MemTable::Locate(std::string_view fields, const std::vector<HostVariant>& values,
                      LocateOptions options) {
  CheckActive();
  CheckBrowseMode();
  const std::vector<int> index = ResolveFieldList(fields);
  if (index.size() != values.size()) {
    throw DatasetError("Locate: " + std::to_string(index.size()) + " fields but " +
                       std::to_string(values.size()) + " values");
  }
  // Keys converted once to the stored kind of each field.
  std::vector<FieldValue> keys(index.size());
  for (size_t k = 0; k < index.size(); ++k) {
    const HostVariant& v = values[k];
    if (v.IsNull() || v.IsEmpty()) continue;
    const FieldType type = defs_[static_cast<size_t>(index[k])].type;
    if (IsTextType(type)) {
      keys[k] = v.AsString();
    } else if (type == FieldType::kBoolean) {
      keys[k] = static_cast<int64_t>(v.AsBoolean() ? 1 : 0);
    } else if (type == FieldType::kDate || type == FieldType::kTime ||
               type == FieldType::kDateTime || type == FieldType::kSQLTimeStamp) {
      keys[k] = v.AsDateTime();
    } else {
      keys[k] = v.AsFloat();
    }
  }
  const RecordLayout& layout = store_->layout();
  auto matches = [&](const uint8_t* row) {
    for (size_t k = 0; k < index.size(); ++k) {
      const size_t f = static_cast<size_t>(index[k]);
      const FieldValue& key = keys[k];
      const bool null = layout.IsNull(row, f);
      if (std::holds_alternative<std::monostate>(key)) {
        if (!null) return false;
        continue;
      }
      if (const auto* text = std::get_if<std::string>(&key)) {
        std::string_view have = layout.Text(row, f);
        if (options.partial_key) {
          if (have.size() < text->size()) return false;
          have = have.substr(0, text->size());
        }
        if (CompareText(have, *text, options.case_insensitive) != 0) return false;
        continue;
      }
      if (null) return false;
      if (const auto* whole = std::get_if<int64_t>(&key)) {
        if (layout.Int(row, f) != *whole) return false;
        continue;
      }
      const double have =
          layout.IsDouble(f) ? layout.Float(row, f) : static_cast<double>(layout.Int(row, f));
      if (have != std::get<double>(key)) return false;
    }
    return true;
  };
  for (size_t i = 0; i < view_.size(); ++i) {
    if (matches(view_[i])) {
      cursor_ = static_cast<int>(i);
      bof_ = eof_ = false;
      return true;
    }
  }
  return false;
}

// ---- Change log -----------------------------------------------------------

void MemTable::MergeChangeLog() {
  if (!Active()) return;
  CheckBrowseMode();
  for (uint8_t* row : rows_) RecordLayout::SetStatus(row, 0);
  for (const auto& [row, original] : originals_) store_->Free(original);
  for (uint8_t* image : deleted_) store_->Free(image);
  originals_ = {};
  deleted_ = {};
}

int MemTable::ChangeCount() const {
  int count = static_cast<int>(deleted_.size());
  for (const uint8_t* row : rows_) count += RecordLayout::Status(row) != 0 ? 1 : 0;
  return count;
}

// ---- Data packets ---------------------------------------------------------

std::string MemTable::SaveToString(PacketFormat format) const {
  datapacket::Metadata meta;
  meta.fields = defs_;
  meta.lcid = lcid_;
  meta.default_order = default_order_;
  meta.primary_key = primary_key_;
  std::vector<datapacket::RowRef> refs;
  if (Active()) {
    refs.reserve(rows_.size() + originals_.size() + deleted_.size());
    auto add = [&](uint8_t status, const uint8_t* record) {
      refs.push_back({status, record});
      return static_cast<uint32_t>(refs.size());
    };
    // Records go in order of insertion, each modified one preceded by its
    // original image; deleted records go last. The third value of each
    // CHANGE_LOG triplet repeats the status of the change (this writer's
    // choice; the readers here do not depend on it).
    for (const uint8_t* row : rows_) {
      const uint8_t status = RecordLayout::Status(row);
      const auto it =
          (status & datapacket::kRowModified) != 0 ? originals_.find(row) : originals_.end();
      if (it != originals_.end()) {
        const uint8_t original_status =
            datapacket::kRowOriginal | (status & datapacket::kRowInserted);
        const uint32_t original = add(original_status, it->second);
        const uint32_t current = add(status, row);
        meta.change_log.insert(meta.change_log.end(), {current, original, status});
      } else {
        const uint32_t current = add(status, row);
        if (status != 0) meta.change_log.insert(meta.change_log.end(), {current, 0u, status});
      }
    }
    for (const uint8_t* image : deleted_) {
      const uint32_t n = add(datapacket::kRowDeleted, image);
      meta.change_log.insert(meta.change_log.end(), {n, 0u, uint32_t{datapacket::kRowDeleted}});
    }
  }
  // A closed table writes no records: any layout of its fields will do.
  const RecordLayout closed_layout = Active() ? RecordLayout() : RecordLayout(defs_);
  const RecordLayout& layout = Active() ? store_->layout() : closed_layout;
  switch (format) {
    case PacketFormat::kXml:
      return datapacket::WriteXml(meta, layout, refs, false);
    case PacketFormat::kXmlUtf8:
      return datapacket::WriteXml(meta, layout, refs, true);
    case PacketFormat::kBinary:
      break;
  }
  return datapacket::WriteBinary(meta, layout, refs);
}

std::string MemTable::Data() const { return SaveToString(PacketFormat::kBinary); }

void MemTable::SetData(std::string_view packet) {
  datapacket::Packet read;
  if (datapacket::LooksBinary(packet)) {
    read = datapacket::ReadBinary(packet);
  } else {
    size_t first = 0;
    if (packet.starts_with("\xEF\xBB\xBF")) first = 3;
    while (first < packet.size() && static_cast<unsigned char>(packet[first]) <= ' ') ++first;
    const bool utf16 = packet.starts_with("\xFF\xFE") || packet.starts_with("\xFE\xFF");
    if (!utf16 && (first >= packet.size() || packet[first] != '<')) {
      throw DatasetError(packet.empty() ? "Invalid data packet: empty"
                                        : "Invalid data packet: neither binary nor XML");
    }
    read = datapacket::ReadXml(packet);
  }
  datapacket::FitTextWidths(read);
  datapacket::ResolvedRows resolved = datapacket::ResolveChangeLog(read);
  std::unique_ptr<RecordStore> store = std::move(read.store);
  if (store == nullptr) store = std::make_unique<RecordStore>(read.meta.fields);

  Close();
  defs_ = std::move(read.meta.fields);
  RebuildFields();
  lcid_ = read.meta.lcid;
  default_order_ = std::move(read.meta.default_order);
  primary_key_ = std::move(read.meta.primary_key);
  // The packet's records become the table's, with their change log (row
  // states, original images and deleted rows) until MergeChangeLog.
  store_ = std::move(store);
  rows_ = std::move(resolved.rows);
  for (uint8_t* row : rows_) RecordLayout::SetHeader(row, next_seq_++, RecordLayout::Status(row));
  originals_.reserve(resolved.originals.size());
  for (const auto& [row, original] : resolved.originals) originals_.emplace(row, original);
  deleted_ = std::move(resolved.deleted);
  OpenLoaded();
}

}  // namespace zel
