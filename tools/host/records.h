// The host's records of printed documents, kept as a point-of-sale keeps them
// in its database: an SQLite file in the host folder ("ecf-host.db"). The
// driver hands them over through the host services GravaCER (a gerencial
// report was opened) and setDocNaoFiscaisECF (a non-fiscal document was
// printed).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "hostutil/host_services.h"

struct sqlite3;

namespace ecf {

struct DocumentRecord {
  int64_t id = 0;
  std::string service;  // "GravaCER" or "setDocNaoFiscaisECF"
  std::string doc_type;
  std::string doc_key;
  std::string receipt_number;  // COO
  std::string non_fiscal_ops;  // GNF
  std::string report_counter;  // GRG / CER
  std::string slip_counter;    // CDC
  std::string extra;
  std::string recorded_at;    // ISO date-time
  std::string movement_date;  // ISO date
};

class RecordStore {
 public:
  enum class Mode {
    kCreate,        // the database and its table are made when missing
    kReadExisting,  // only an existing database, opened read-only
  };
  // How long a statement waits for another process (a second ecf on the
  // same host folder) that holds the database, before failing.
  static constexpr int kBusyTimeoutMs = 10000;

  // Opens the database file; std::runtime_error with SQLite's message when
  // it cannot. A statement waits up to `busy_timeout_ms` for another holder.
  explicit RecordStore(const std::string& path, Mode mode = Mode::kCreate,
                       int busy_timeout_ms = kBusyTimeoutMs);
  ~RecordStore();
  RecordStore(const RecordStore&) = delete;
  RecordStore& operator=(const RecordStore&) = delete;

  void AddGravaCER(const std::string& key1, const std::string& key2, zel::TDateTime movement_date);
  void AddNonFiscalDoc(const zel::NonFiscalDocRecord& record);
  std::vector<DocumentRecord> All() const;

 private:
  void Exec(const std::string& sql) const;
  sqlite3* db_ = nullptr;
};

// The database file of a host folder (a path in the platform's terms).
std::string RecordStorePath(const std::string& home);

}  // namespace ecf
