#include "host/records.h"

#include <sqlite3.h>

#include <stdexcept>

#include "host/json_codec.h"
#include "platform/platform.h"
#include "runtime/win1252.h"

namespace ecf {
namespace {

// Statement with bound texts; finalised on scope exit.
class Statement {
 public:
  Statement(sqlite3* db, const char* sql) : db_(db) {
    if (sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) != SQLITE_OK) {
      throw std::runtime_error(std::string("host records: ") + sqlite3_errmsg(db));
    }
  }
  ~Statement() { sqlite3_finalize(stmt_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  void Bind(int index, const std::string& utf8) {
    sqlite3_bind_text(stmt_, index, utf8.c_str(), static_cast<int>(utf8.size()), SQLITE_TRANSIENT);
  }
  bool Step() {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    throw std::runtime_error(std::string("host records: ") + sqlite3_errmsg(db_));
  }
  std::string Text(int column) const {
    const auto* text = sqlite3_column_text(stmt_, column);
    return text ? reinterpret_cast<const char*>(text) : "";
  }
  int64_t Int(int column) const { return sqlite3_column_int64(stmt_, column); }

 private:
  sqlite3* db_;
  sqlite3_stmt* stmt_ = nullptr;
};

std::string Wide(const std::u16string& text) {
  return zel::Win1252ToUtf8(zel::Utf16ToWin1252(text));
}

std::string IsoDate(zel::TDateTime value) { return FormatIsoDateTime(value).substr(0, 10); }

constexpr const char* kInsert =
    "INSERT INTO documents (service, doc_type, doc_key, receipt_number, non_fiscal_ops,"
    " report_counter, slip_counter, extra, recorded_at, movement_date)"
    " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10)";

}  // namespace

std::string RecordStorePath(const std::string& home) {
  return zel::platform::JoinPath(home, "ecf-host.db");
}

RecordStore::RecordStore(const std::string& path, Mode mode, int busy_timeout_ms) {
  const std::string native = zel::platform::ToSystemPath(path);
  const int flags =
      mode == Mode::kCreate ? SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE : SQLITE_OPEN_READONLY;
  if (sqlite3_open_v2(native.c_str(), &db_, flags, nullptr) != SQLITE_OK) {
    const std::string message = db_ ? sqlite3_errmsg(db_) : "out of memory";
    sqlite3_close(db_);
    throw std::runtime_error("host records: cannot open " + native + ": " + message);
  }
  sqlite3_busy_timeout(db_, busy_timeout_ms);
  if (mode == Mode::kReadExisting) return;
  Exec(
      "CREATE TABLE IF NOT EXISTS documents (id INTEGER PRIMARY KEY AUTOINCREMENT,"
      " service TEXT NOT NULL, doc_type TEXT, doc_key TEXT, receipt_number TEXT,"
      " non_fiscal_ops TEXT, report_counter TEXT, slip_counter TEXT, extra TEXT,"
      " recorded_at TEXT, movement_date TEXT)");
}

RecordStore::~RecordStore() { sqlite3_close(db_); }

void RecordStore::Exec(const std::string& sql) const {
  char* error = nullptr;
  if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
    const std::string message = error ? error : "unknown error";
    sqlite3_free(error);
    throw std::runtime_error("host records: " + message);
  }
}

void RecordStore::AddGravaCER(const std::string& key1, const std::string& key2,
                              zel::TDateTime movement_date) {
  Statement insert(db_, kInsert);
  insert.Bind(1, "GravaCER");
  insert.Bind(2, "RG");
  insert.Bind(3, zel::Win1252ToUtf8(key1));
  for (int i = 4; i <= 7; ++i) insert.Bind(i, "");
  insert.Bind(8, zel::Win1252ToUtf8(key2));
  insert.Bind(9, FormatIsoDateTime(zel::platform::Current().Now()));
  insert.Bind(10, IsoDate(movement_date));
  insert.Step();
}

void RecordStore::AddNonFiscalDoc(const zel::NonFiscalDocRecord& record) {
  Statement insert(db_, kInsert);
  insert.Bind(1, "setDocNaoFiscaisECF");
  insert.Bind(2, Wide(record.doc_type));
  insert.Bind(3, Wide(record.doc_key));
  insert.Bind(4, Wide(record.receipt_number));
  insert.Bind(5, Wide(record.non_fiscal_operations));
  insert.Bind(6, Wide(record.report_counter));
  insert.Bind(7, Wide(record.slip_counter));
  insert.Bind(8, Wide(record.extra));
  insert.Bind(9, FormatIsoDateTime(record.recorded_at));
  insert.Bind(10, IsoDate(record.movement_date));
  insert.Step();
}

std::vector<DocumentRecord> RecordStore::All() const {
  Statement select(db_,
                   "SELECT id, service, doc_type, doc_key, receipt_number, non_fiscal_ops,"
                   " report_counter, slip_counter, extra, recorded_at, movement_date"
                   " FROM documents ORDER BY id");
  std::vector<DocumentRecord> records;
  while (select.Step()) {
    DocumentRecord r;
    r.id = select.Int(0);
    r.service = select.Text(1);
    r.doc_type = select.Text(2);
    r.doc_key = select.Text(3);
    r.receipt_number = select.Text(4);
    r.non_fiscal_ops = select.Text(5);
    r.report_counter = select.Text(6);
    r.slip_counter = select.Text(7);
    r.extra = select.Text(8);
    r.recorded_at = select.Text(9);
    r.movement_date = select.Text(10);
    records.push_back(std::move(r));
  }
  return records;
}

}  // namespace ecf
