// MemTable: the host runtime's client dataset. An in-memory table with named
// typed fields, a cursor, edit/insert/delete with the runtime's state rules,
// named indexes, a filter, Locate, a change log, and data packets (binary and
// XML) as the form in which table content crosses the host boundary and is
// stored in ".cds"/".xml" files.
//
// States. A table is inactive (closed) or active; an active table is in
// browse, edit or insert state. Cursor moves, Locate, index and filter
// changes first leave edit/insert state the runtime's way: a modified record
// is posted, an unmodified one is cancelled. Operations that need an open table raise DatasetError
// "Cannot perform this operation on a closed dataset"; operations that change
// the structure raise "Cannot perform this operation on an open dataset".
//
// Cursor. Records are seen in the order of the active index (the order of
// insertion when none is active), restricted to the records that pass the
// filter when filtering is on. Bof/Eof follow the runtime: First sets Bof,
// Next on the last record sets Eof and stays there, Prior on the first
// record sets Bof. An empty view has Bof and Eof both true and no current
// record: every field reads as null.
//
// Lifetime of the data. CreateDataSet starts an empty table from the field
// definitions; SetData/LoadFromString replace definitions and rows from a
// packet. Close drops the rows and the change log (the definitions, indexes,
// filter and the index choice stay), so a later Open starts empty, as a
// runtime table without a provider does.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "runtime/field.h"
#include "runtime/format_settings.h"
#include "runtime/variant.h"

namespace zel {

class FilterExpression;
class RecordLayout;
class RecordStore;

// Options of MemTable::AddIndex, Locate and SetFilterOptions (also reachable
// as MemTable::IndexOptions, MemTable::LocateOptions, MemTable::FilterOptions).
struct TableIndexOptions {
  bool descending = false;
  bool case_insensitive = false;  // texts compared without regard to case
};
struct TableLocateOptions {
  bool case_insensitive = false;
  bool partial_key = false;  // a text key matches any value it begins
};
struct TableFilterOptions {
  bool case_insensitive = false;
};

class MemTable {
 public:
  enum class State { kInactive, kBrowse, kEdit, kInsert };
  enum class PacketFormat { kBinary, kXml, kXmlUtf8 };

  using IndexOptions = TableIndexOptions;
  using LocateOptions = TableLocateOptions;
  using FilterOptions = TableFilterOptions;
  struct IndexDef {
    std::string name;
    std::string fields;  // "A;B"
    IndexOptions options;
  };

  explicit MemTable(std::string name = "");
  ~MemTable();
  MemTable(const MemTable&) = delete;
  MemTable& operator=(const MemTable&) = delete;

  const std::string& name() const { return name_; }

  // ---- Structure (table closed) -------------------------------------------
  // Adds a field definition. `size` is the width of a text field (0 means 20)
  // or the decimals of a BCD field. DatasetError when the table is open or a
  // field of that name (compared without regard to case) exists.
  void AddField(std::string name, FieldType type, int size = 0, bool required = false);
  void AddFieldDef(FieldDef def);
  // Removes every field definition (table closed).
  void ClearFields();
  const std::vector<FieldDef>& FieldDefs() const { return defs_; }
  int FieldCount() const { return static_cast<int>(defs_.size()); }
  // Field by position (0-based); DatasetError when out of range.
  Field& Fields(int index);
  const Field& Fields(int index) const;

  // ---- Life cycle ---------------------------------------------------------
  // Empty table from the field definitions, opened (an open table is closed
  // first). DatasetError "No fields defined" without definitions.
  void CreateDataSet();
  // Opens the table empty from its definitions (no-op when open); DatasetError
  // "Missing data provider or data packet" without definitions. Runs the
  // after-open handler.
  void Open();
  // Discards any pending edit, the rows and the change log. No-op when closed.
  void Close();
  bool Active() const { return state_ != State::kInactive; }
  State state() const { return state_; }
  // Removes every record and clears the change log (table open).
  void EmptyDataSet();

  // ---- Cursor (table open) ------------------------------------------------
  void First();
  void Next();
  void Prior();
  void Last();
  bool Eof() const;
  bool Bof() const;
  // 1-based position of the current record in the view; 0 when there is no
  // current record or the record being inserted is not yet posted.
  int RecNo() const;
  // Moves to the record at 1-based position `rec_no` of the view;
  // DatasetError when out of range.
  void SetRecNo(int rec_no);
  // Number of records in the view (filter applied); 0 when closed.
  int RecordCount() const;
  // No record to show (a record being inserted counts as one).
  bool IsEmpty() const { return RecordCount() == 0 && state_ != State::kInsert; }

  // ---- Fields -------------------------------------------------------------
  // Names compared without regard to case. FieldByName raises DatasetError
  // "Field 'X' not found"; FindField returns nullptr.
  Field& FieldByName(std::string_view name);
  const Field& FieldByName(std::string_view name) const;
  Field* FindField(std::string_view name);
  const Field* FindField(std::string_view name) const;

  // ---- Editing (table open) -----------------------------------------------
  // Edit: the current record becomes editable; on an empty view this is
  // Insert. Insert: a new null record before the current one. Append: a new
  // null record at the end. Post: stores the record (DatasetError
  // "Field 'X' must have a value" for a null required field; no-op in browse
  // state); the record then takes its place in the active index and the
  // cursor stays on it when it passes the filter. Cancel: drops the pending
  // changes (no-op in browse state). Delete: removes the current record; the
  // next record (or the new last one) becomes current; DatasetError
  // "Cannot perform this operation on an empty dataset" with no record.
  void Edit();
  void Insert();
  void Append();
  void Post();
  void Cancel();
  void Delete();
  // Append, assign `values` to the first fields in order (null/empty variants
  // leave a field null), Post.
  void AppendRecord(const std::vector<HostVariant>& values);
  // True in edit/insert state once a field was assigned.
  bool Modified() const { return modified_; }

  // ---- Indexes ------------------------------------------------------------
  // Defines a named index on `fields` ("A;B"). Equal keys keep the order in
  // which their records were added. DatasetError for a duplicate name; the
  // field names are checked when the index is used.
  void AddIndex(std::string name, std::string fields, IndexOptions options = {});
  void DeleteIndex(std::string_view name);
  const std::vector<IndexDef>& IndexDefs() const { return indexes_; }
  // Selects the active index by name ("" for the order of insertion). The
  // current record stays current. DatasetError "Index 'X' not found", or
  // "Field 'X' not found" for an index on a missing field (table open).
  void SetIndexName(std::string name);
  const std::string& IndexName() const { return index_name_; }
  // Orders by the fields "A;B" without a named index ("" for none); replaces
  // the named index choice.
  void SetIndexFieldNames(std::string fields);
  const std::string& IndexFieldNames() const { return index_field_names_; }

  // ---- Filter -------------------------------------------------------------
  // Expressions: a field compared with a quoted text ('it''s'), a number or
  // another field by = <> < > <= >=, "field IS [NOT] NULL", joined by AND, OR,
  // NOT and parentheses; keywords in any case; field names in any case, in
  // [brackets] when they hold blanks. Texts compare byte by byte with
  // trailing blanks ignored (a null text field reads as ""); numbers,
  // booleans and date-times compare by value (a text literal against a date
  // field is read with the locale). A comparison with a null non-text field
  // is false. An empty text lets every record pass. A malformed expression,
  // an unknown field or an impossible comparison raises DatasetError when the
  // filter is applied (setting the text while filtering is on, or switching
  // filtering on while open); the previous filter then stays in force.
  // Applying or removing a filter moves to the first record.
  void SetFilter(std::string text);
  const std::string& Filter() const { return filter_text_; }
  void SetFiltered(bool filtered);
  bool Filtered() const { return filtered_; }
  void SetFilterOptions(FilterOptions options);

  // ---- Locate -------------------------------------------------------------
  // Searches the view, in its order from the first record, for the first
  // record whose fields `fields` ("A;B") equal `values` (one per field; a
  // null variant matches a null field). Texts compare as texts (options
  // apply); other fields compare by value after converting the key. Moves to
  // the record and returns true, or leaves the cursor where it was and
  // returns false. DatasetError for an unknown field or a count mismatch.
  bool Locate(std::string_view fields, const std::vector<HostVariant>& values,
              LocateOptions options = {});
  bool Locate(std::string_view field, const HostVariant& value, LocateOptions options = {}) {
    return Locate(field, std::vector<HostVariant>{value}, options);
  }

  // ---- Change log ---------------------------------------------------------
  // With the log on (the default, as in the runtime) every post and delete is
  // recorded with the record's original image; packets then carry the row
  // states and CHANGE_LOG. Switching the log off keeps what was logged.
  void SetLogChanges(bool on) { log_changes_ = on; }
  bool LogChanges() const { return log_changes_; }
  // Accepts every logged change: the log is emptied, the records stay.
  void MergeChangeLog();
  // Number of logged changes (inserted, modified and deleted records).
  int ChangeCount() const;

  // ---- Events -------------------------------------------------------------
  // Called after the table opens (Open, CreateDataSet, SetData,
  // LoadFromString).
  void SetAfterOpen(std::function<void(MemTable&)> handler) { after_open_ = std::move(handler); }

  // ---- Data packets -------------------------------------------------------
  // The table's content as a binary data packet: the definitions and the
  // posted records (a pending edit or insert is not included) with their
  // change log. A closed table gives its definitions without records.
  std::string Data() const;
  // Replaces definitions, rows and change log with the packet's (binary or
  // XML, told apart by content), opens the table and runs the after-open
  // handler. The packet's change log is kept: the records show the changes
  // (deleted rows gone, modified rows with their new values) and the row
  // states, original images and deleted rows stay logged, so ChangeCount
  // counts them and a later save writes them again, until MergeChangeLog.
  // Indexes,
  // the index choice and the filter stay. DatasetError for a malformed
  // packet (empty, neither binary nor XML, truncated, ...); the table is then
  // left as it was. An active index or filter that names a field the packet
  // lacks raises DatasetError after the load and leaves the table closed.
  void SetData(std::string_view packet);
  std::string SaveToString(PacketFormat format = PacketFormat::kBinary) const;
  void LoadFromString(std::string_view packet) { SetData(packet); }
  // Dataset properties carried in packets (LCID, DEFAULT_ORDER, PRIMARY_KEY).
  int Lcid() const { return lcid_; }
  void SetLcid(int lcid) { lcid_ = lcid; }

 private:
  friend class Field;

  void CheckActive() const;
  void CheckInactive() const;
  void CheckBrowseMode();
  void RebuildFields();
  // Opens the table on the records in store_, rows_, originals_ and deleted_.
  void OpenLoaded();
  void DropRecords();
  void BuildView(const uint8_t* keep_current);
  void SetCursor(int position);
  int ResolveField(std::string_view name) const;
  std::vector<int> ResolveFieldList(std::string_view fields) const;
  void ResolveOrdering();
  void ReorderOrRestore(const std::string& old_name, const std::string& old_fields);
  std::shared_ptr<FilterExpression> CompileFilter(std::string_view text) const;
  bool Ordered() const { return !order_fields_.empty(); }
  bool ViewLess(const uint8_t* a, const uint8_t* b) const;
  bool PassesFilter(const uint8_t* row) const;
  void PlaceInView(uint8_t* row);
  // The record the fields show: the pending edit or insert, or the current
  // record of the view; nullptr when there is none.
  const uint8_t* CurrentRecord() const;
  const RecordLayout* Layout() const;
  void StoreValue(int field_index, const FieldValue& value);
  void FillAutoInc();
  void CheckRequired() const;
  void RunAfterOpen();

  std::string name_;
  std::vector<FieldDef> defs_;
  std::vector<std::unique_ptr<Field>> fields_;
  State state_ = State::kInactive;

  // The records of the open table, each one block of store_ (header: order
  // of addition and change status): the records in order of insertion, and
  // the view (the records that pass the filter, in the order of the active
  // index).
  std::unique_ptr<RecordStore> store_;
  std::vector<uint8_t*> rows_;
  std::vector<uint8_t*> view_;
  int cursor_ = 0;  // position in view_
  bool bof_ = true;
  bool eof_ = true;
  uint64_t next_seq_ = 1;

  // Pending edit or insert (a block of store_), nullptr in browse state.
  uint8_t* buffer_ = nullptr;
  bool modified_ = false;
  bool appending_ = false;
  const uint8_t* insert_before_ = nullptr;  // record that Insert placed the new one before

  std::vector<IndexDef> indexes_;
  std::string index_name_;
  std::string index_field_names_;
  std::vector<int> order_fields_;  // resolved fields of the active order
  IndexOptions order_options_;

  std::string filter_text_;
  bool filtered_ = false;
  FilterOptions filter_options_;
  std::shared_ptr<FilterExpression> filter_;

  bool log_changes_ = true;
  // Change log: the image of each modified record before its first logged
  // change (by record), and the images of the deleted records.
  std::unordered_map<const uint8_t*, uint8_t*> originals_;
  std::vector<uint8_t*> deleted_;
  int lcid_ = 1046;
  std::vector<int> default_order_;  // 1-based field numbers
  std::vector<int> primary_key_;

  std::function<void(MemTable&)> after_open_;
};

}  // namespace zel
