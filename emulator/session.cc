#include "emulator/session.h"

#include "emulator/amounts.h"
#include "emulator/faults.h"
#include "emulator/persistence.h"
#include "platform/platform.h"
#include "runtime/win1252.h"

namespace zel::emu {
namespace {

std::string DateText(int yyyymmdd) {
  if (yyyymmdd == 0) return "-";
  return Digits(yyyymmdd % 100, 2) + "/" + Digits(yyyymmdd / 100 % 100, 2) + "/" +
         Digits(yyyymmdd / 10000, 4);
}

}  // namespace

Session& Session::Instance() {
  static Session* session = new Session();  // never destroyed: used until exit
  return *session;
}

std::string Session::IniPath() const {
  return platform::JoinPath(platform::Current().SystemDirectory(), "IBMFI32.INI");
}

std::string Session::TapePath() { return tape_path_; }

std::string Session::ResultPath() {
  return config_.path.empty() ? platform::Current().SystemDirectory() : config_.path;
}

namespace {

// A path from IBMFI32.INI: an absolute one as it stands, a relative one
// inside the system directory (where the INI is), so that every process
// finds the same files whatever its working folder.
std::string ResolvedPath(const std::string& system, const std::string& configured,
                         const char* default_name) {
  if (configured.empty()) return platform::JoinPath(system, default_name);
  bool absolute = configured[0] == '/' || configured[0] == '\\' ||
                  (configured.size() >= 2 && configured[1] == ':');
  return absolute ? configured : platform::JoinPath(system, configured);
}

std::string FolderOf(const std::string& path) {
  size_t separator = path.find_last_of("\\/");
  if (separator == std::string::npos) return ".";
  return separator == 0 ? path.substr(0, 1) : path.substr(0, separator);
}

}  // namespace

void Session::Configure(const std::string& ini_text) {
  if (ini_text != ini_text_) {
    config_ = ParseConfig(ini_text);
    ini_text_ = ini_text;
    mfd_verified_ = 0;  // a reconfigured printer checks its journals again
    reductions_.clear();
    reductions_bytes_ = 0;
    Forget();
  }
  std::string system = platform::Current().SystemDirectory();
  std::string memory_path = ResolvedPath(system, config_.memory_file, "IBMFI32.MEM");
  tape_path_ = ResolvedPath(system, config_.tape_file, "IBMFI32_BOBINA.TXT");
  memory_named_ = !config_.memory_file.empty();
  if (memory_path != memory_path_) {
    memory_path_ = memory_path;
    mfd_verified_ = 0;
    reductions_.clear();
    reductions_bytes_ = 0;
    Forget();
  }
}

void Session::Forget() {
  printer_.reset();
  fiscal_memory_cache_ = FiscalMemoryCache{};
  memory_text_.clear();
}

std::unique_ptr<platform::FileLock> Session::LockPrinter(int* code) {
  platform::Platform& pf = platform::Current();
  load_error_.clear();
  if (!pf.DirectoryExists(FolderOf(memory_path_))) {
    load_error_ = "the folder of the memory file does not exist: " + memory_path_ +
                  (memory_named_ ? " (Memoria in IBMFI32.INI)" : "");
    *code = kExecutionError;
    return nullptr;
  }
  std::unique_ptr<platform::FileLock> lock = pf.LockFile(LockPath(), kBusyWaitMs);
  if (lock == nullptr) {
    bool busy = pf.LastError() == platform::kErrorLockViolation;
    load_error_ = busy ? "the printer is busy with another process's command: " + LockPath()
                       : "cannot lock the printer: " + pf.LastErrorText();
    *code = busy ? kCommunicationError : kExecutionError;
  }
  return lock;
}

bool Session::Load(bool fresh_if_missing) {
  platform::Platform& pf = platform::Current();
  std::string text;
  if (!pf.ReadWholeFile(memory_path_, &text)) {
    int error = pf.LastError();
    if (error != platform::kErrorFileNotFound || pf.FileExists(memory_path_)) {
      load_error_ =
          "memory file unreadable: " + memory_path_ + ": " + pf.LastErrorText() + " (use reset)";
      Forget();
      return false;
    }
    // Only a missing default file is a new printer. A file the INI names
    // must exist: a typing error in Memoria must not give a fresh printer
    // (COO 1, grand total zero) without a word.
    if (!fresh_if_missing && memory_named_) {
      load_error_ = "memory file not found: " + memory_path_ +
                    " (Memoria in IBMFI32.INI; \"ecf-printer init\" makes a new printer there)";
      Forget();
      return false;
    }
    printer_ = std::make_unique<Printer>(config_, FreshMemory(config_));
    fiscal_memory_cache_ = FiscalMemoryCache{};
    memory_text_.clear();  // nothing on disk yet: the first Save writes it
    return CheckMf(true) && CheckMfd();
  }
  if (printer_ != nullptr && text == memory_text_) return CheckMf(false) && CheckMfd();
  PrinterMemory memory;
  std::string reason;
  // The memory is never written empty: an empty file was truncated by
  // something else and is as unreadable as a torn one.
  if (text.empty() || !DeserializeMemory(text, &memory, &reason)) {
    load_error_ = "memory file unreadable: " + memory_path_ + ": " +
                  (text.empty() ? std::string("empty") : reason) + " (use reset)";
    Forget();
    return false;
  }
  if (MemoryFileVersion(text) < kMemoryVersion && !UpgradeOldMemory(memory, &text)) return false;
  printer_ = std::make_unique<Printer>(config_, std::move(memory));
  fiscal_memory_cache_ = FiscalMemoryCache{};
  memory_text_ = text;
  return CheckMf(true) && CheckMfd();
}

bool Session::UpgradeOldMemory(const PrinterMemory& memory, std::string* text) {
  platform::Platform& pf = platform::Current();
  // A memory file of version 1 has no checksum and was never written beside
  // the journals, which came later: beside them it is an old copy or a hand
  // edit, and taking it would empty the fiscal memory's journal (its
  // reductions are the file's own "z" lines) and take whatever the MFD
  // journal holds as its own.
  for (const std::string& journal : {MfPath(), MfdPath()}) {
    if (pf.FileExists(journal)) {
      load_error_ = "memory file unreadable: " + memory_path_ +
                    ": a memory file of version 1 (no checksum) beside the printer's journal " +
                    journal + ": an old copy or a hand edit, not taken (use reset)";
      Forget();
      return false;
    }
  }
  // A printer from before the journals starts from it, written in the current
  // version before any journal is made: a command cut short from here on
  // leaves a checksummed memory beside its journals, never this file.
  std::string upgraded = SerializeMemory(memory, nullptr, memory.mf_bytes < 0);
  if (!pf.WriteFileAtomically(memory_path_, upgraded)) {
    load_error_ = "cannot write the memory file: " + pf.LastErrorText();
    Forget();
    return false;
  }
  *text = std::move(upgraded);
  return true;
}

bool Session::CheckMf(bool reloaded) {
  platform::Platform& pf = platform::Current();
  const std::string path = MfPath();
  PrinterMemory& m = printer_->mutable_memory();
  int64_t size = pf.FileExists(path) ? pf.FileSize(path) : 0;
  auto refuse = [&](const std::string& why) {
    load_error_ = "fiscal memory journal " + path + ": " + why + " (use reset)";
    Forget();
    return false;
  };
  if (size < 0) return refuse("unreadable: " + pf.LastErrorText());
  if (m.mf_bytes < 0) {
    // A memory that keeps its reductions itself: they move into a new
    // journal at the next write (whatever an old journal held is not its).
    m.mf_bytes = 0;
    m.mf_records = 0;
    reductions_.clear();
    reductions_bytes_ = 0;
    if (size > 0 && !pf.TruncateFile(path, 0)) return refuse("cannot empty it");
    return true;
  }
  if (size < m.mf_bytes) {
    return refuse("holds " + std::to_string(size) + " bytes where the memory counts " +
                  std::to_string(m.mf_bytes) + ": reductions are lost");
  }
  if (reloaded) {
    if (reductions_bytes_ > m.mf_bytes) {
      reductions_.clear();
      reductions_bytes_ = 0;
    }
    if (reductions_bytes_ < m.mf_bytes) {
      std::string bytes;
      if (!pf.ReadFileRange(path, reductions_bytes_, m.mf_bytes - reductions_bytes_, &bytes)) {
        return refuse("unreadable: " + pf.LastErrorText());
      }
      bool malformed = false;
      MfdScan scan = ScanMfd(bytes, reductions_bytes_, [&](const MfdRecord& record) {
        ZRecord z;
        if (DeserializeReduction(record.text, &z)) {
          reductions_.push_back(z);
        } else {
          malformed = true;
        }
      });
      if (scan.damaged || malformed) {
        return refuse("damaged: " +
                      (scan.why.empty() ? std::string("a malformed reduction") : scan.why));
      }
      if (scan.torn_tail ||
          static_cast<int64_t>(scan.good_bytes) != m.mf_bytes - reductions_bytes_) {
        return refuse("damaged: a record cut short before byte " + std::to_string(m.mf_bytes));
      }
      reductions_bytes_ = m.mf_bytes;
    }
    if (static_cast<int>(reductions_.size()) != m.mf_records) {
      return refuse("holds " + std::to_string(reductions_.size()) +
                    " reductions where the memory counts " + std::to_string(m.mf_records));
    }
    m.fiscal_memory = reductions_;
  }
  if (size > m.mf_bytes && !pf.TruncateFile(path, m.mf_bytes)) {
    // The reduction of a command that did not complete.
    return refuse("cannot drop the record of an unfinished command: " + pf.LastErrorText());
  }
  return true;
}

bool Session::AppendReductions() {
  PrinterMemory& m = printer_->mutable_memory();
  if (static_cast<size_t>(m.mf_records) >= m.fiscal_memory.size()) return true;
  std::string frames;
  for (size_t i = static_cast<size_t>(m.mf_records); i < m.fiscal_memory.size(); ++i) {
    const ZRecord& z = m.fiscal_memory[i];
    MfdRecord record;
    record.coo = z.counters.crz;
    record.date = z.movement_date;
    record.text = SerializeReduction(z);
    frames += FrameMfdRecord(record);
  }
  platform::Platform& pf = platform::Current();
  if (!pf.AppendDurably(MfPath(), frames)) {
    load_error_ = "cannot write the fiscal memory journal: " + pf.LastErrorText();
    Forget();
    return false;
  }
  if (reductions_bytes_ == m.mf_bytes) {
    reductions_.insert(reductions_.end(), m.fiscal_memory.begin() + m.mf_records,
                       m.fiscal_memory.end());
    reductions_bytes_ += static_cast<int64_t>(frames.size());
  }
  m.mf_bytes += static_cast<int64_t>(frames.size());
  m.mf_records = static_cast<int>(m.fiscal_memory.size());
  return true;
}

bool Session::CheckMfd() {
  platform::Platform& pf = platform::Current();
  const std::string path = MfdPath();
  PrinterMemory& m = printer_->mutable_memory();
  int64_t size = pf.FileExists(path) ? pf.FileSize(path) : 0;
  auto refuse = [&](const std::string& why) {
    load_error_ = "MFD journal " + path + ": " + why + " (use reset)";
    Forget();
    return false;
  };
  if (size < 0) return refuse("unreadable: " + pf.LastErrorText());
  if (m.mfd_bytes < 0) {
    // A memory from before the journal: the journal's whole records count.
    std::string bytes;
    if (!pf.ReadFileRange(path, 0, size, &bytes) && size > 0) return refuse("unreadable");
    MfdScan scan = ScanMfd(bytes, 0, {});
    if (scan.damaged) return refuse("damaged: " + scan.why);
    m.mfd_bytes = static_cast<int64_t>(scan.good_bytes);
    mfd_verified_ = m.mfd_bytes;
  }
  if (size < m.mfd_bytes) {
    return refuse("holds " + std::to_string(size) + " bytes where the memory counts " +
                  std::to_string(m.mfd_bytes) + ": records are lost");
  }
  if (mfd_verified_ > m.mfd_bytes) mfd_verified_ = 0;
  if (mfd_verified_ < m.mfd_bytes) {
    std::string bytes;
    if (!pf.ReadFileRange(path, mfd_verified_, m.mfd_bytes - mfd_verified_, &bytes)) {
      return refuse("unreadable: " + pf.LastErrorText());
    }
    MfdScan scan = ScanMfd(bytes, mfd_verified_, {});
    if (scan.damaged) return refuse("damaged: " + scan.why);
    if (scan.torn_tail || static_cast<int64_t>(scan.good_bytes) != m.mfd_bytes - mfd_verified_) {
      return refuse("damaged: a record cut short before byte " + std::to_string(m.mfd_bytes));
    }
    mfd_verified_ = m.mfd_bytes;
  }
  if (size > m.mfd_bytes && !pf.TruncateFile(path, m.mfd_bytes)) {
    // The tail was written by a command that did not complete (a record torn
    // by a crash, or whole but never counted in the memory): it never
    // happened, so it goes.
    return refuse("cannot drop the record of an unfinished command: " + pf.LastErrorText());
  }
  return true;
}

bool Session::ReadMfd(const std::function<void(const MfdRecord&)>& on_record) {
  platform::Platform& pf = platform::Current();
  const int64_t length = printer_->memory().mfd_bytes;
  std::string bytes;
  if (length > 0 && !pf.ReadFileRange(MfdPath(), 0, length, &bytes)) {
    load_error_ = "MFD journal " + MfdPath() + ": unreadable: " + pf.LastErrorText();
    return false;
  }
  MfdScan scan = ScanMfd(bytes, 0, on_record);
  if (scan.damaged || scan.torn_tail || static_cast<int64_t>(scan.good_bytes) != length) {
    load_error_ = "MFD journal " + MfdPath() +
                  ": damaged: " + (scan.why.empty() ? std::string("cut short") : scan.why);
    return false;
  }
  return true;
}

bool Session::Save() {
  platform::Platform& pf = platform::Current();
  // New reductions and the printout go into their journals before the
  // memory that counts them is written: a crash in between leaves a tail
  // that the next call drops.
  if (!AppendReductions()) return false;
  std::string printout = printer_->TakePrintout();
  std::string fiscal_detail = printer_->TakeFiscalDetail();
  if (!printout.empty() || !fiscal_detail.empty()) {
    PrinterMemory& m = printer_->mutable_memory();
    MfdRecord record;
    record.data = std::move(fiscal_detail);
    record.coo = m.last_document_coo;
    record.date = printer_->Today();
    int h, n, s, ms;
    DecodeTime(printer_->Now(), h, n, s, ms);
    record.time = h * 10000 + n * 100 + s;
    for (char c : Utf8ToWin1252(printout)) {
      if (c == '\n') record.text += '\r';
      record.text += c;
    }
    std::string frame = FrameMfdRecord(record);
    if (!pf.AppendDurably(MfdPath(), frame)) {
      load_error_ = "cannot write the MFD journal: " + pf.LastErrorText();
      Forget();
      return false;
    }
    m.mfd_bytes += static_cast<int64_t>(frame.size());
    mfd_verified_ = m.mfd_bytes;
  }
  std::string text = SerializeMemory(printer_->memory(), &fiscal_memory_cache_, false);
  if (text != memory_text_) {
    if (!pf.WriteFileAtomically(memory_path_, text)) {
      // The file keeps the previous state; drop the change so that memory
      // and file agree.
      load_error_ = "cannot write the memory file: " + pf.LastErrorText();
      Forget();
      return false;
    }
    memory_text_ = text;
  }
  if (!printout.empty()) pf.AppendToFile(tape_path_, printout);
  return true;
}

int Session::Call(std::string_view entry, const std::function<int(Printer&)>& body) {
  std::lock_guard<std::mutex> lock(mutex_);
  try {
    return CallLocked(entry, body);
  } catch (...) {
    // Nothing may escape into the C caller; an unsaved change is dropped so
    // that the next call starts again from the file.
    Forget();
    return kExecutionError;
  }
}

int Session::CallLocked(std::string_view entry, const std::function<int(Printer&)>& body) {
  platform::Platform& pf = platform::Current();
  std::string ini;
  if (!pf.ReadWholeFile(IniPath(), &ini)) return kIniMissing;
  Configure(ini);
  int code = kOk;
  std::unique_ptr<platform::FileLock> printer_lock = LockPrinter(&code);
  if (printer_lock == nullptr) return code;
  if (!Load()) return kExecutionError;
  Printer& printer = *printer_;
  printer.SetComputerTime(pf.Now());
  bool armed = ArmIniFaults(config_.faults, printer.mutable_memory());
  if (printer.IsOff()) return armed && !Save() ? kExecutionError : kPrinterOff;
  std::optional<PendingFault> fault = TakeFault(printer.mutable_memory().faults, entry);
  code = RunBody(printer, fault, body);
  if (!Save()) return kExecutionError;
  return code;
}

int Session::RunBody(Printer& printer, const std::optional<PendingFault>& fault,
                     const std::function<int(Printer&)>& body) {
  int code = kOk;
  if (!fault) {
    code = body(printer);
  } else if (fault->kind == PendingFault::Kind::kNak) {
    code = printer.Nak();
  } else if (fault->kind == PendingFault::Kind::kFail) {
    code = printer.Fail(fault->code);
  } else {
    body(printer);  // done, but the answer is lost on the way back
    code = kCommunicationError;
  }
  return code;
}

std::string Session::StateText() {
  const Printer& p = *printer_;
  const PrinterMemory& m = p.memory();
  const EmulatorConfig& c = p.config();
  const Counters& n = m.counters;
  std::string s;
  s += "printer " + c.make + " " + c.model + " " + c.type + "\n";
  s += "serial " + c.serial + " ecf " + Digits(c.ecf_number, 3) + " firmware " + c.firmware + "\n";
  s += "clock " + TapeDateTime(p.Now()) + (m.daylight_saving ? " (daylight saving)" : "") + "\n";
  s += "movement " + DateText(m.movement_date) + " last-z " + DateText(m.last_z_date) +
       (p.ZPending() ? " z-pending" : "") + (p.DayClosed() ? " day-closed" : "") + "\n";
  static const char* kOpen[] = {"none", "receipt", "linked", "report"};
  s += std::string("open ") + kOpen[static_cast<int>(m.open)] + "\n";
  s += "coo " + Digits(n.coo, 6) + " ccf " + Digits(n.ccf, 6) + " gnf " + Digits(n.gnf, 6) +
       " grg " + Digits(n.grg, 6) + " cdc " + Digits(n.cdc, 6) + "\n";
  s += "crz " + Digits(n.crz, 4) + " cro " + Digits(n.cro, 4) + " cfc " + Digits(n.cfc, 4) +
       " substitutions " + Digits(n.substitutions, 4) + "\n";
  s += "gt " + Money(m.grand_total) + " gross " + Money(m.day.gross) + "\n";
  s += "rates " + RatesText(m.rates) + "\n";
  s += "forms";
  for (const PaymentForm& f : m.forms) s += " [" + f.name + "]";
  s += "\ntotalizers";
  for (int i = 0; i < kMaxTotalizers; ++i) {
    if (!m.totalizers[i].empty()) s += " " + Digits(i + 1, 2) + "[" + m.totalizers[i] + "]";
  }
  s += "\n";
  s += DescribeFaults(m.faults);
  if (c.power_off) s += "power off (IBMFI32.INI)\n";
  if (c.paper != PaperLevel::kNormal) s += "paper (IBMFI32.INI) not normal\n";
  return s;
}

int Session::Control(std::string_view command, std::string* answer) {
  std::lock_guard<std::mutex> lock(mutex_);
  try {
    return ControlLocked(command, answer);
  } catch (...) {
    Forget();
    *answer = "internal error";
    return kExecutionError;
  }
}

int Session::ControlLocked(std::string_view command, std::string* answer) {
  platform::Platform& pf = platform::Current();
  std::string verb = Upper(Trim(command));
  std::string ini;
  bool has_ini = pf.ReadWholeFile(IniPath(), &ini);
  std::string written;
  if (verb == "INIT") {
    if (has_ini) {
      written = "IBMFI32.INI already exists: " + IniPath();
    } else {
      ini = DefaultIniText(pf.SystemDirectory());
      if (!pf.WriteFileAtomically(IniPath(), ini)) {
        *answer = "cannot write " + IniPath();
        return kExecutionError;
      }
      written = "written " + IniPath();
    }
  } else if (!has_ini) {
    ini.clear();
  }
  Configure(ini);
  int code = kOk;
  std::unique_ptr<platform::FileLock> printer_lock = LockPrinter(&code);
  if (printer_lock == nullptr) {
    *answer = written.empty() ? load_error_ : written + "\n" + load_error_;
    return code;
  }
  if (verb == "INIT") {
    // A printer for the memory file the INI names, when it has none yet; an
    // existing memory, readable or not, is left alone.
    if (pf.FileExists(memory_path_)) {
      *answer = written;
      return kOk;
    }
    if (!Load(true) || !Save()) {
      *answer = written + "\n" + load_error_;
      return kExecutionError;
    }
    *answer = written + "\nnew printer memory " + memory_path_;
    return kOk;
  }
  if (verb == "RESET") {
    printer_ = std::make_unique<Printer>(config_, FreshMemory(config_));
    fiscal_memory_cache_ = FiscalMemoryCache{};
    memory_text_ = "\x01";  // force the write, whatever the file holds
    if (!Save()) {
      *answer = load_error_;
      return kExecutionError;
    }
    // A new printer has an empty MFD (were this cut short, the next call
    // would drop the old records as uncounted anyway).
    for (const std::string& journal : {MfdPath(), MfPath()}) {
      if (pf.FileExists(journal) && !pf.TruncateFile(journal, 0)) {
        *answer = "cannot empty the journal " + journal + ": " + pf.LastErrorText();
        return kExecutionError;
      }
    }
    mfd_verified_ = 0;
    reductions_.clear();
    reductions_bytes_ = 0;
    *answer = "memory reset";
    return kOk;
  }
  if (!Load()) {
    *answer = load_error_;
    return kExecutionError;
  }
  printer_->SetComputerTime(pf.Now());
  if (ArmIniFaults(config_.faults, printer_->mutable_memory()) && !Save()) {
    *answer = load_error_;
    return kExecutionError;
  }
  if (verb == "STATE") {
    *answer = StateText();
    return kOk;
  }
  std::string error;
  if (!ApplyFaultCommand(command, printer_->mutable_memory(), &error)) {
    *answer = error;
    return kInvalidParameter;
  }
  if (!Save()) {
    *answer = load_error_;
    return kExecutionError;
  }
  *answer = "ok";
  return kOk;
}

}  // namespace zel::emu
