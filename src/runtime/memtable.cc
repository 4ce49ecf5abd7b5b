// MemTable: structure, life cycle, cursor, editing, indexes, filter, Locate,
// change log and the bridge to the data-packet readers and writers.
#include "runtime/memtable.h"

#include <algorithm>

#include "runtime/datapacket.h"
#include "runtime/host_error.h"
#include "runtime/table_filter.h"

namespace zel {

struct MemTable::Row {
  uint64_t seq = 0;  // order of addition: ties of an index keep it
  uint8_t status = 0;
  std::vector<FieldValue> values;
  // The image before the first logged edit (status kRowModified).
  std::unique_ptr<std::vector<FieldValue>> original;
};

struct MemTable::Deleted {
  std::vector<FieldValue> values;
};

namespace {

constexpr int kDefaultTextWidth = 20;
constexpr int kDefaultBcdDecimals = 4;

int CompareValues(const FieldValue& a, const FieldValue& b, bool case_insensitive) {
  const bool a_null = std::holds_alternative<std::monostate>(a);
  const bool b_null = std::holds_alternative<std::monostate>(b);
  if (a_null || b_null) return a_null == b_null ? 0 : (a_null ? -1 : 1);
  if (const auto* sa = std::get_if<std::string>(&a)) {
    const auto* sb = std::get_if<std::string>(&b);
    return sb != nullptr ? CompareText(*sa, *sb, case_insensitive) : 1;
  }
  const auto* ia = std::get_if<int64_t>(&a);
  const auto* ib = std::get_if<int64_t>(&b);
  if (ia != nullptr && ib != nullptr) return *ia < *ib ? -1 : (*ia > *ib ? 1 : 0);
  const double da = ia != nullptr ? static_cast<double>(*ia) : std::get<double>(a);
  const double db = ib != nullptr ? static_cast<double>(*ib) : std::get<double>(b);
  return da < db ? -1 : (da > db ? 1 : 0);
}

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
  OpenWith({}, {});
}

void MemTable::Open() {
  if (Active()) return;
  if (defs_.empty()) throw DatasetError("Missing data provider or data packet");
  OpenWith({}, {});
}

void MemTable::OpenWith(std::vector<std::unique_ptr<Row>> rows, std::vector<Deleted> deleted) {
  rows_ = std::move(rows);
  deleted_ = std::move(deleted);
  buffer_.clear();
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

void MemTable::Close() {
  if (!Active()) return;
  state_ = State::kInactive;
  rows_.clear();
  view_.clear();
  deleted_.clear();
  buffer_.clear();
  modified_ = false;
  filter_ = nullptr;
  cursor_ = 0;
  bof_ = eof_ = true;
}

void MemTable::EmptyDataSet() {
  CheckActive();
  Cancel();
  rows_.clear();
  view_.clear();
  deleted_.clear();
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

const FieldValue* MemTable::CurrentValues() const {
  if (state_ == State::kEdit || state_ == State::kInsert) return buffer_.data();
  if (!Active() || view_.empty()) return nullptr;
  return view_[static_cast<size_t>(cursor_)]->values.data();
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

bool MemTable::ViewLess(const Row* a, const Row* b) const {
  for (int f : order_fields_) {
    const size_t i = static_cast<size_t>(f);
    const int c = CompareValues(a->values[i], b->values[i], order_options_.case_insensitive);
    if (c != 0) return order_options_.descending ? c > 0 : c < 0;
  }
  return a->seq < b->seq;
}

bool MemTable::PassesFilter(const Row& row) const {
  return !filtered_ || filter_ == nullptr || filter_->Matches(row.values);
}

std::shared_ptr<FilterExpression> MemTable::CompileFilter(std::string_view text) const {
  return FilterExpression::Compile(text, defs_, filter_options_.case_insensitive);
}

void MemTable::BuildView(const Row* keep_current) {
  view_.clear();
  view_.reserve(rows_.size());
  for (const auto& row : rows_) {
    if (PassesFilter(*row)) view_.push_back(row.get());
  }
  if (Ordered()) {
    std::sort(view_.begin(), view_.end(),
              [this](const Row* a, const Row* b) { return ViewLess(a, b); });
  }
  const auto it = std::find(view_.begin(), view_.end(), keep_current);
  cursor_ = it == view_.end() ? 0 : static_cast<int>(it - view_.begin());
}

void MemTable::PlaceInView(Row* row) {
  if (!PassesFilter(*row)) {
    SetCursor(std::min(cursor_, static_cast<int>(view_.size()) - 1));
    bof_ = eof_ = view_.empty();
    return;
  }
  std::vector<Row*>::iterator at;
  if (Ordered()) {
    at = std::upper_bound(view_.begin(), view_.end(), row,
                          [this](const Row* a, const Row* b) { return ViewLess(a, b); });
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
  const Row* current = view_.empty() ? nullptr : view_[static_cast<size_t>(cursor_)];
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

FieldValue& MemTable::WritableValue(int field_index) {
  CheckActive();
  if (state_ != State::kEdit && state_ != State::kInsert) {
    throw DatasetError("Dataset not in edit or insert mode");
  }
  modified_ = true;
  return buffer_[static_cast<size_t>(field_index)];
}

void MemTable::Edit() {
  CheckActive();
  if (state_ == State::kEdit || state_ == State::kInsert) return;
  if (view_.empty()) {
    Insert();
    return;
  }
  buffer_ = view_[static_cast<size_t>(cursor_)]->values;
  state_ = State::kEdit;
  modified_ = false;
}

void MemTable::Insert() {
  CheckActive();
  CheckBrowseMode();
  buffer_.assign(defs_.size(), FieldValue{});
  insert_before_ = view_.empty() ? nullptr : view_[static_cast<size_t>(cursor_)];
  appending_ = false;
  state_ = State::kInsert;
  modified_ = false;
}

void MemTable::Append() {
  CheckActive();
  CheckBrowseMode();
  buffer_.assign(defs_.size(), FieldValue{});
  insert_before_ = nullptr;
  appending_ = true;
  state_ = State::kInsert;
  modified_ = false;
}

void MemTable::CheckRequired() const {
  for (size_t i = 0; i < defs_.size(); ++i) {
    if (defs_[i].required() && std::holds_alternative<std::monostate>(buffer_[i])) {
      throw DatasetError("Field '" + defs_[i].name + "' must have a value");
    }
  }
}

// Automatic numbers continue after the highest one in the table.
void MemTable::FillAutoInc() {
  for (size_t i = 0; i < defs_.size(); ++i) {
    if (defs_[i].type != FieldType::kAutoInc ||
        !std::holds_alternative<std::monostate>(buffer_[i])) {
      continue;
    }
    int64_t highest = 0;
    for (const auto& row : rows_) {
      if (const int64_t* v = std::get_if<int64_t>(&row->values[i])) highest = std::max(highest, *v);
    }
    buffer_[i] = highest + 1;
  }
}

void MemTable::Post() {
  CheckActive();
  if (state_ == State::kInsert) {
    FillAutoInc();
    CheckRequired();
    auto row = std::make_unique<Row>();
    row->seq = next_seq_++;
    row->status = log_changes_ ? datapacket::kRowInserted : 0;
    row->values = std::move(buffer_);
    Row* raw = row.get();
    auto at = rows_.end();
    if (!appending_ && insert_before_ != nullptr) {
      at = std::find_if(rows_.begin(), rows_.end(),
                        [&](const auto& r) { return r.get() == insert_before_; });
    }
    rows_.insert(at, std::move(row));
    state_ = State::kBrowse;
    buffer_.clear();
    modified_ = false;
    PlaceInView(raw);
    insert_before_ = nullptr;
    return;
  }
  if (state_ != State::kEdit) return;
  CheckRequired();
  Row* row = view_[static_cast<size_t>(cursor_)];
  if (modified_) {
    if (log_changes_ && row->original == nullptr &&
        (row->status == 0 || row->status == datapacket::kRowInserted)) {
      row->original = std::make_unique<std::vector<FieldValue>>(row->values);
      row->status |= datapacket::kRowModified;
    }
    row->values = std::move(buffer_);
  }
  state_ = State::kBrowse;
  buffer_.clear();
  const bool changed = modified_;
  modified_ = false;
  if (!changed) return;
  if (Ordered()) {
    // The record moves to its new place in the index (or out of the view).
    view_.erase(view_.begin() + cursor_);
    insert_before_ = nullptr;
    PlaceInView(row);
  } else if (!PassesFilter(*row)) {
    view_.erase(view_.begin() + cursor_);
    SetCursor(std::min(cursor_, static_cast<int>(view_.size()) - 1));
    bof_ = eof_ = view_.empty();
  }
}

void MemTable::Cancel() {
  if (state_ != State::kEdit && state_ != State::kInsert) return;
  buffer_.clear();
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
  Row* row = view_[static_cast<size_t>(cursor_)];
  if (log_changes_ && (row->status & datapacket::kRowInserted) == 0) {
    deleted_.push_back({row->original != nullptr ? *row->original : row->values});
  }
  view_.erase(view_.begin() + cursor_);
  rows_.erase(
      std::find_if(rows_.begin(), rows_.end(), [&](const auto& r) { return r.get() == row; }));
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
  auto matches = [&](const Row& row) {
    for (size_t k = 0; k < index.size(); ++k) {
      const FieldValue& value = row.values[static_cast<size_t>(index[k])];
      const FieldValue& key = keys[k];
      if (std::holds_alternative<std::monostate>(key)) {
        if (!std::holds_alternative<std::monostate>(value)) return false;
        continue;
      }
      if (const auto* text = std::get_if<std::string>(&key)) {
        std::string_view have;
        if (const auto* s = std::get_if<std::string>(&value)) have = *s;
        if (options.partial_key) {
          if (have.size() < text->size()) return false;
          have = have.substr(0, text->size());
        }
        if (CompareText(have, *text, options.case_insensitive) != 0) return false;
        continue;
      }
      if (std::holds_alternative<std::monostate>(value) || CompareValues(value, key, false) != 0) {
        return false;
      }
    }
    return true;
  };
  for (size_t i = 0; i < view_.size(); ++i) {
    if (matches(*view_[i])) {
      cursor_ = static_cast<int>(i);
      bof_ = eof_ = false;
      return true;
    }
  }
  return false;
}

// ---- Change log -----------------------------------------------------------

void MemTable::MergeChangeLog() {
  if (Active()) CheckBrowseMode();
  for (auto& row : rows_) {
    row->status = 0;
    row->original.reset();
  }
  deleted_.clear();
}

int MemTable::ChangeCount() const {
  int count = static_cast<int>(deleted_.size());
  for (const auto& row : rows_) count += row->status != 0 ? 1 : 0;
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
    refs.reserve(rows_.size() + deleted_.size());
    auto add = [&](uint8_t status, const std::vector<FieldValue>* values) {
      refs.push_back({status, values});
      return static_cast<uint32_t>(refs.size());
    };
    // Records go in order of insertion, each modified one preceded by its
    // original image; deleted records go last. The third value of each
    // CHANGE_LOG triplet repeats the status of the change (this writer's
    // choice; the readers here do not depend on it).
    for (const auto& row : rows_) {
      if (row->original != nullptr && (row->status & datapacket::kRowModified) != 0) {
        const uint8_t original_status =
            datapacket::kRowOriginal | (row->status & datapacket::kRowInserted);
        const uint32_t original = add(original_status, row->original.get());
        const uint32_t current = add(row->status, &row->values);
        meta.change_log.insert(meta.change_log.end(), {current, original, row->status});
      } else {
        const uint32_t current = add(row->status, &row->values);
        if (row->status != 0)
          meta.change_log.insert(meta.change_log.end(), {current, 0u, row->status});
      }
    }
    for (const Deleted& d : deleted_) {
      const uint32_t n = add(datapacket::kRowDeleted, &d.values);
      meta.change_log.insert(meta.change_log.end(), {n, 0u, uint32_t{datapacket::kRowDeleted}});
    }
  }
  switch (format) {
    case PacketFormat::kXml:
      return datapacket::WriteXml(meta, refs, false);
    case PacketFormat::kXmlUtf8:
      return datapacket::WriteXml(meta, refs, true);
    case PacketFormat::kBinary:
      break;
  }
  return datapacket::WriteBinary(meta, refs);
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

  // The packet's change log carries on: row states, original images and
  // deleted rows, until MergeChangeLog.
  std::vector<std::unique_ptr<Row>> rows;
  rows.reserve(resolved.rows.size());
  for (datapacket::LoggedRow& r : resolved.rows) {
    auto row = std::make_unique<Row>();
    row->seq = next_seq_++;
    row->status = r.status;
    row->values = std::move(r.values);
    if (r.has_original) {
      row->original = std::make_unique<std::vector<FieldValue>>(std::move(r.original));
    }
    rows.push_back(std::move(row));
  }

  std::vector<Deleted> deleted;
  deleted.reserve(resolved.deleted.size());
  for (auto& values : resolved.deleted) deleted.push_back({std::move(values)});

  Close();
  defs_ = std::move(read.meta.fields);
  RebuildFields();
  lcid_ = read.meta.lcid;
  default_order_ = std::move(read.meta.default_order);
  primary_key_ = std::move(read.meta.primary_key);
  OpenWith(std::move(rows), std::move(deleted));
}

}  // namespace zel
