#include "host/session.h"

#include <algorithm>
#include <cstdio>
#include <iostream>

#include "host/json_codec.h"
#include "hostutil/cipher.h"
#include "runtime/format.h"
#include "runtime/memtable.h"
#include "runtime/win1252.h"
#include "zel01900/counters.h"

namespace ecf {
namespace {

using zel::platform::JoinPath;

// IBMFI32.INI of a host folder: the vendor library's result folder, the
// printer setting, and where the simulated printer prints its paper tape. Its
// memory stays at the default place (IBMFI32.MEM in the system folder), so a
// new host folder starts with a new printer; a Memoria given by the caller
// must name an existing memory. Keys given by the caller replace or extend
// these.
std::string IniText(const std::string& home, const std::map<std::string, std::string>& printer) {
  std::map<std::string, std::string> keys = {
      {"Path", home},
      {"Impressora", "1"},
      {"Bobina", JoinPath(home, "bobina.txt")},
  };
  for (const auto& [key, value] : printer) keys[key] = value;
  std::string text = "[IBMFI32]\r\n";
  for (const auto& [key, value] : keys) text += key + "=" + value + "\r\n";
  return text;
}

}  // namespace

zel::platform::Platform*& HostSession::BasePlatform() {
  static zel::platform::Platform* base = nullptr;
  return base;
}

HostSession::HostSession(SessionOptions options)
    : PlatformWrapper(BasePlatform() != nullptr ? BasePlatform() : &zel::platform::Native()),
      options_(std::move(options)) {
  auto& native = zel::platform::Native();
  if (options_.home.empty()) {
    // Kept afterwards, so that the tape, the log and the records can be read.
    home_ = native.MakeTempDirectory("ecf-host-");
  } else {
    // A relative folder is taken from the current one, once: the INI's Path
    // and Bobina must name the host folder itself (the printer would take a
    // relative Bobina inside the system folder, and the driver writes its
    // MFD download to Path + "DOWNLOAD.MFD" from whatever folder is current).
    home_ = zel::platform::AbsolutePath(options_.home);
    if (!native.DirectoryExists(home_) && !native.MakeDirectory(home_)) {
      throw std::runtime_error("cannot create the host folder " + home_);
    }
  }
  system_dir_ = JoinPath(home_, "system");
  if (!native.DirectoryExists(system_dir_) && !native.MakeDirectory(system_dir_)) {
    throw std::runtime_error("cannot create the system folder " + system_dir_);
  }
  WriteIni(options_.printer);
  // A host installation has its fiscal menu's folders; the driver never makes
  // them.
  for (const std::string& folder : {JoinPath(home_, "Dados/MenuFiscal"), MenuFiscalDirectory()}) {
    if (!native.DirectoryExists(folder) && !native.MakeDirectory(folder)) {
      throw std::runtime_error("cannot create the folder " + folder);
    }
  }
  WriteGrandTotalFile();
  records_ = std::make_unique<RecordStore>(RecordStorePath(home_), RecordStore::Mode::kCreate,
                                           options_.records_wait_ms);
  previous_platform_ = &zel::platform::Current();
  zel::platform::SetCurrent(this);
  previous_handlers_ = zel::SetHostHandlers(this);
}

HostSession::~HostSession() {
  // A last attempt at the records still kept.
  FlushRecords();
  zel::SetHostHandlers(previous_handlers_);
  zel::platform::SetCurrent(previous_platform_ == this ? nullptr : previous_platform_);
}

void HostSession::WriteGrandTotalFile() {
  // A host installation keeps "Vendrix.cds" with the printer's record, the
  // grand total stored enciphered. A new host folder gets the record of the
  // simulated printer's default identity (branch 0001, register 001) with the
  // reset mark, so the driver's first check stores the printer's own total.
  auto& native = zel::platform::Native();
  const std::string path = JoinPath(home_, zel::fiscal::kVendrixFileName);
  if (native.FileExists(path)) return;
  zel::MemTable table;
  for (const char* field : {"CDFILIAL", "CDCAIXA", "NRSERIEECF", "CAMPO01", "CAMPO02"}) {
    table.AddField(field, zel::FieldType::kString, 60);
  }
  table.CreateDataSet();
  table.SetLogChanges(false);
  const int key = zel::fiscal::kVendrixCipherKey;
  table.AppendRecord(
      {"0001", "001", zel::Cripto("IB010900000000000001", key), "S", zel::Cripto("10,10", key)});
  if (!native.WriteWholeFile(path, table.Data())) {
    throw std::runtime_error("cannot write " + path);
  }
}

void HostSession::WriteIni(const std::map<std::string, std::string>& printer) {
  const std::string path = JoinPath(system_dir_, "IBMFI32.INI");
  auto& native = zel::platform::Native();
  // An existing INI (a host folder used again) keeps the printer's settings;
  // the caller's keys still apply.
  if (native.FileExists(path) && printer.empty()) return;
  if (!native.WriteFileAtomically(path, IniText(home_, printer))) {
    throw std::runtime_error("cannot write " + path);
  }
}

std::string WorkProgressLine(int done_ms, int total_ms) {
  constexpr int kMarks = 20;
  total_ms = std::max(total_ms, 0);
  done_ms = std::clamp(done_ms, 0, total_ms);
  // Nothing to wait for is all done.
  const int64_t share = total_ms == 0 ? 100 : int64_t{done_ms} * 100 / total_ms;
  const int marks = total_ms == 0 ? kMarks : static_cast<int>(int64_t{done_ms} * kMarks / total_ms);
  char seconds[64];
  std::snprintf(seconds, sizeof seconds, "%3d%%  %d s de %d s", static_cast<int>(share),
                done_ms / 1000, (total_ms + 999) / 1000);
  return "  impressora trabalhando [" + std::string(marks, '#') + std::string(kMarks - marks, '-') +
         "] " + seconds;
}

std::string HostSession::MenuFiscalDirectory() { return JoinPath(home_, "MenuFiscal"); }

std::string HostSession::TapePath() const {
  auto it = options_.printer.find("Bobina");
  return it != options_.printer.end() ? it->second : JoinPath(home_, "bobina.txt");
}

std::string HostSession::LogPath() {
  return JoinPath(home_, "impdebug" + zel::FormatDateTime("mmyy", Now()) + ".txt");
}

zel::TDateTime HostSession::Now() {
  return options_.clock ? *options_.clock : PlatformWrapper::Now();
}

void ShowWork(int total_ms, bool in_place, std::ostream& out,
              const std::function<void(int)>& wait) {
  constexpr int kStep = 250;
  int shown_quarter = -1;
  const auto show = [&](int done) {
    if (in_place) {
      out << "\r" << WorkProgressLine(done, total_ms) << (done >= total_ms ? "\n" : "")
          << std::flush;
      return;
    }
    const int quarter = total_ms <= 0 ? 4 : static_cast<int>(int64_t{done} * 4 / total_ms);
    if (quarter == shown_quarter) return;
    shown_quarter = quarter;
    out << WorkProgressLine(done, total_ms) << "\n" << std::flush;
  };
  for (int done = 0; done < total_ms;) {
    show(done);
    const int step = std::min(kStep, total_ms - done);
    wait(step);
    done += step;
  }
  show(std::max(total_ms, 0));
}

void HostSession::Delay(int milliseconds) {
  // With the clock fixed, runs are reproducible and need not wait.
  if (options_.clock) return;
  // A long wait is the printer at work on a long operation (an MFD download
  // at the line speed of VelocidadeMFD): the operator sees its progress on
  // the error stream, which stays apart from a scenario's output.
  constexpr int kShowFrom = 2000;
  if (milliseconds < kShowFrom) {
    PlatformWrapper::Delay(milliseconds);
    return;
  }
  ShowWork(milliseconds, zel::platform::StandardErrorIsTerminal(), std::cerr,
           [this](int step) { PlatformWrapper::Delay(step); });
}

std::vector<Dialog> HostSession::TakeDialogs() {
  std::vector<Dialog> taken;
  taken.swap(dialogs_);
  return taken;
}

bool HostSession::Mensagem(const std::string& text, const std::string&, const std::string&,
                           const std::string& question, int kind, const std::string&,
                           const std::string&, int) {
  Dialog dialog{text, kind, question == "S", false};
  if (options_.interactive) {
    std::cout << "\n["
              << (kind == 3   ? "ERRO"
                  : kind == 1 ? "AVISO"
                              : "INFO")
              << "] " << zel::Win1252ToUtf8(text) << "\n";
    if (dialog.question) {
      std::cout << "(s/n)? " << std::flush;
      std::string line;
      dialog.answer = std::getline(std::cin, line) && !line.empty() &&
                      (line[0] == 's' || line[0] == 'S' || line[0] == 'y' || line[0] == 'Y');
    }
  } else if (dialog.question && !answers_.empty()) {
    dialog.answer = answers_.front();
    answers_.pop_front();
  }
  dialogs_.push_back(dialog);
  return dialog.answer;
}

void HostSession::Record(std::function<void()> write) {
  if (pending_records_.empty()) {
    try {
      write();
      return;
    } catch (const std::exception& e) {
      record_errors_.push_back(e.what());
    }
  }
  // Kept, after those already waiting, so the records stay in their order.
  pending_records_.push_back(std::move(write));
}

std::vector<std::string> HostSession::FlushRecords() {
  size_t written = 0;
  try {
    for (; written < pending_records_.size(); ++written) pending_records_[written]();
  } catch (const std::exception& e) {
    record_errors_.push_back(e.what());
  }
  pending_records_.erase(pending_records_.begin(),
                         pending_records_.begin() + static_cast<std::ptrdiff_t>(written));
  std::vector<std::string> errors;
  errors.swap(record_errors_);
  if (errors.empty()) return errors;
  if (!pending_records_.empty()) {
    errors.push_back(std::to_string(pending_records_.size()) +
                     " record(s) kept, to be written after the next step");
  } else {
    errors.push_back("written after the step");
  }
  return errors;
}

zel::HostVariant HostSession::GravaCER(const std::string& key1, const std::string& key2,
                                       zel::TDateTime movement_date) {
  Record([this, key1, key2, movement_date] { records_->AddGravaCER(key1, key2, movement_date); });
  return true;
}

zel::HostVariant HostSession::SetDocNaoFiscaisECF(const zel::NonFiscalDocRecord& record) {
  Record([this, record] { records_->AddNonFiscalDoc(record); });
  return true;
}

}  // namespace ecf
