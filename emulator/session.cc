#include "emulator/session.h"

#include "emulator/amounts.h"
#include "emulator/faults.h"
#include "emulator/persistence.h"
#include "platform/platform.h"

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

bool Session::Load(const std::string& ini_text) {
  platform::Platform& pf = platform::Current();
  bool reload = printer_ == nullptr;
  if (ini_text != ini_text_) {
    config_ = ParseConfig(ini_text);
    ini_text_ = ini_text;
    reload = true;
  }
  std::string system = pf.SystemDirectory();
  std::string memory_path =
      config_.memory_file.empty() ? platform::JoinPath(system, "IBMFI32.MEM") : config_.memory_file;
  tape_path_ = config_.tape_file.empty() ? platform::JoinPath(system, "IBMFI32_BOBINA.TXT")
                                         : config_.tape_file;
  if (memory_path != memory_path_) {
    memory_path_ = memory_path;
    reload = true;
  }
  std::string text;
  if (!pf.ReadWholeFile(memory_path_, &text)) {
    if (pf.FileExists(memory_path_)) return false;
    text.clear();
  } else if (text.empty()) {
    // The memory is never written empty: an empty file was truncated by
    // something else and is as unreadable as a torn one. Only a missing file
    // means a new printer.
    printer_.reset();
    fiscal_memory_cache_ = FiscalMemoryCache{};
    return false;
  }
  if (text != memory_text_) reload = true;
  if (!reload) return true;
  PrinterMemory memory;
  if (text.empty()) {
    memory = FreshMemory(config_);
  } else if (!DeserializeMemory(text, &memory)) {
    printer_.reset();
    fiscal_memory_cache_ = FiscalMemoryCache{};
    return false;
  }
  printer_ = std::make_unique<Printer>(config_, std::move(memory));
  fiscal_memory_cache_ = FiscalMemoryCache{};
  memory_text_ = text;
  return true;
}

bool Session::Save(bool replace) {
  platform::Platform& pf = platform::Current();
  std::string text = SerializeMemory(printer_->memory(), &fiscal_memory_cache_);
  if (text != memory_text_) {
    // Another process (a second POS, ecf-printer) may have changed the
    // printer since this call read it: its change wins and this command is
    // dropped, rather than silently undoing the other one.
    bool changed_elsewhere = false;
    if (!replace) {
      std::string on_disk;
      if (!pf.ReadWholeFile(memory_path_, &on_disk)) on_disk.clear();
      changed_elsewhere = on_disk != memory_text_;
    }
    if (changed_elsewhere || !pf.WriteFileAtomically(memory_path_, text)) {
      // The file keeps the previous state; drop the change so that memory
      // and file agree.
      printer_.reset();
      fiscal_memory_cache_ = FiscalMemoryCache{};
      return false;
    }
    memory_text_ = text;
  }
  std::string printout = printer_->TakePrintout();
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
    printer_.reset();
    fiscal_memory_cache_ = FiscalMemoryCache{};
    return kExecutionError;
  }
}

int Session::CallLocked(std::string_view entry, const std::function<int(Printer&)>& body) {
  platform::Platform& pf = platform::Current();
  std::string ini;
  if (!pf.ReadWholeFile(IniPath(), &ini)) return kIniMissing;
  if (!Load(ini)) return kExecutionError;
  Printer& printer = *printer_;
  printer.SetComputerTime(pf.Now());
  bool armed = ArmIniFaults(config_.faults, printer.mutable_memory());
  if (printer.IsOff()) return armed && !Save() ? kExecutionError : kPrinterOff;
  std::optional<PendingFault> fault = TakeFault(printer.mutable_memory().faults, entry);
  int code = RunBody(printer, fault, body);
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
    printer_.reset();
    fiscal_memory_cache_ = FiscalMemoryCache{};
    *answer = "internal error";
    return kExecutionError;
  }
}

int Session::ControlLocked(std::string_view command, std::string* answer) {
  platform::Platform& pf = platform::Current();
  std::string verb = Upper(Trim(command));
  std::string ini;
  bool has_ini = pf.ReadWholeFile(IniPath(), &ini);
  if (verb == "INIT") {
    if (has_ini) {
      *answer = "IBMFI32.INI already exists: " + IniPath();
      return kOk;
    }
    if (!pf.WriteFileAtomically(IniPath(), DefaultIniText(pf.SystemDirectory()))) {
      *answer = "cannot write " + IniPath();
      return kExecutionError;
    }
    *answer = "written " + IniPath();
    return kOk;
  }
  if (!has_ini) ini.clear();
  if (verb == "RESET") {
    Load(ini);  // paths only; an unreadable memory is replaced anyway
    printer_ = std::make_unique<Printer>(config_, FreshMemory(config_));
    fiscal_memory_cache_ = FiscalMemoryCache{};
    memory_text_ = "\x01";  // force the write, whatever the file holds
    if (!Save(true)) return kExecutionError;
    *answer = "memory reset";
    return kOk;
  }
  if (!Load(ini)) {
    *answer = "memory file unreadable: " + memory_path_ + " (use reset)";
    return kExecutionError;
  }
  printer_->SetComputerTime(pf.Now());
  if (ArmIniFaults(config_.faults, printer_->mutable_memory()) && !Save()) {
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
  if (!Save()) return kExecutionError;
  *answer = "ok";
  return kOk;
}

}  // namespace zel::emu
