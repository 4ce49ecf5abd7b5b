#include "emulator/printer.h"

#include "emulator/amounts.h"

namespace zel::emu {

Printer::Printer(EmulatorConfig config, PrinterMemory memory)
    : config_(std::move(config)), memory_(std::move(memory)) {
  // The tax-rate table is reprogrammed from the configuration only while the
  // fiscal day has no movement, as a real printer allows it only after a Z.
  bool differs = false;
  for (size_t i = 0; i < memory_.rates.size(); ++i) {
    differs |= memory_.rates[i].basis_points != config_.rates[i].basis_points ||
               memory_.rates[i].iss != config_.rates[i].iss;
  }
  if (differs && memory_.movement_date == 0 && memory_.open == OpenDocument::kNone) {
    memory_.rates = config_.rates;
  }
}

TDateTime Printer::Now() const {
  long long seconds = config_.clock_offset_seconds + memory_.faults.clock_skew_seconds +
                      memory_.clock_adjust_seconds;
  return IncSecond(computer_time_, seconds);
}

int Printer::Today() const {
  int y, m, d;
  DecodeDate(Now(), y, m, d);
  return y * 10000 + m * 100 + d;
}

PaperLevel Printer::Paper() const {
  PaperLevel a = config_.paper;
  PaperLevel b = memory_.faults.paper;
  return static_cast<int>(a) > static_cast<int>(b) ? a : b;
}

void Printer::Status(int* ack, int* st1, int* st2) const {
  int s1 = memory_.status.st1_errors;
  if (Paper() == PaperLevel::kEnd) s1 |= kSt1PaperOut;
  if (Paper() == PaperLevel::kNearEnd) s1 |= kSt1PaperLow;
  if (memory_.open == OpenDocument::kReceipt) s1 |= kSt1ReceiptOpen;
  *ack = memory_.status.ack;
  *st1 = s1;
  *st2 = memory_.status.st2;
}

bool Printer::ZPending() const {
  return memory_.movement_date != 0 && memory_.movement_date < Today();
}

bool Printer::DayClosed() const {
  return memory_.movement_date == 0 && memory_.last_z_date != 0 && memory_.last_z_date >= Today();
}

int Printer::FiscalFlags() const {
  int flags = 0;
  if (memory_.open == OpenDocument::kReceipt) {
    flags |= kFlagReceiptOpen;
    if (memory_.receipt.phase != ReceiptPhase::kSelling) flags |= kFlagClosingStarted;
  }
  if (memory_.daylight_saving) flags |= kFlagDaylightSaving;
  if (DayClosed()) flags |= kFlagDayClosed;
  if (ZPending()) flags |= kFlagZPending;
  if (memory_.open == OpenDocument::kLinked || memory_.open == OpenDocument::kReport) {
    flags |= kFlagDocumentOpen;
  }
  return flags;
}

int Printer::ExtendedStatus() const {
  int status = FiscalFlags();
  if (Paper() == PaperLevel::kNearEnd) status |= 128;
  if (Paper() == PaperLevel::kEnd) status |= 256;
  if (memory_.drawer_open) status |= 512;
  return status;
}

int Printer::Ok() {
  memory_.status = LastStatus{};
  return kOk;
}

int Printer::Refuse(int code, int st1, int st2) {
  memory_.status = LastStatus{kAck, st1, st2};
  return code;
}

int Printer::Query() { return Ok(); }
int Printer::InvalidArgument() { return Refuse(kInvalidParameter, kSt1ParamCount, 0); }

int Printer::Nak() {
  memory_.status = LastStatus{kNak, 0, 0};
  return kExecutionError;
}

int Printer::Fail(int code) {
  if (code == kOk) return Ok();
  return Refuse(code, 0, kSt2NotExecuted);
}

int Printer::NotAvailable() { return Refuse(kExecutionError, 0, kSt2NotExecuted); }

int Printer::CheckPaper() {
  if (Paper() == PaperLevel::kEnd) return Refuse(kExecutionError, 0, kSt2NotExecuted);
  return kOk;
}

int Printer::CheckNewDocument(bool fiscal_day_document) {
  if (memory_.open != OpenDocument::kNone) return Refuse(kExecutionError, 0, kSt2NotExecuted);
  if (CheckPaper() != kOk) return kExecutionError;
  // A clock behind the fiscal memory's last day is a clock fault.
  if (Today() < memory_.movement_date || Today() < memory_.last_z_date) {
    return Refuse(kExecutionError, kSt1ClockError, kSt2NotExecuted);
  }
  if (config_.cnpj.empty() || config_.ie.empty()) {
    return Refuse(kExecutionError, 0, kSt2OwnerNotProgrammed);
  }
  if (fiscal_day_document && (ZPending() || DayClosed())) {
    return Refuse(kExecutionError, 0, kSt2NotExecuted);
  }
  return kOk;
}

int Printer::NextCoo(bool opens_day) {
  Counters& c = memory_.counters;
  c.coo = c.coo >= 999999 ? 1 : c.coo + 1;
  if (opens_day && memory_.movement_date == 0) {
    memory_.movement_date = Today();
    memory_.day.first_coo = c.coo;
  }
  memory_.last_document_coo = c.coo;
  memory_.last_was_receipt = false;
  return c.coo;
}

void Printer::Print(const TapeDocument& doc, bool end_of_document) {
  printout_ += doc.Utf8(end_of_document);
}

std::string Printer::TakePrintout() {
  std::string out;
  out.swap(printout_);
  return out;
}

std::string Printer::TakeFiscalDetail() {
  std::string out;
  out.swap(fiscal_detail_);
  return out;
}

int Printer::FindForm(std::string_view name) const {
  std::string n = Trim(name);
  if (n.size() == 2 && n.find_first_not_of("0123456789") == std::string::npos) {
    int index = std::stoi(n) - 1;
    if (index >= 0 && index < static_cast<int>(memory_.forms.size())) return index;
  }
  for (size_t i = 0; i < memory_.forms.size(); ++i) {
    if (SameName(memory_.forms[i].name, n.substr(0, 16))) return static_cast<int>(i);
  }
  return -1;
}

bool Printer::IsIssPosition(int position) const {
  return position < 16 && memory_.rates[position].iss;
}

void Printer::CancelReceiptTotals(const Receipt& r) {
  DayTotals& day = memory_.day;
  for (int p = 0; p < kTaxPositions; ++p) {
    day.tax[p] -= r.net[p];
    (IsIssPosition(p) ? day.cancel_iss : day.cancel_icms) += r.net[p];
  }
  for (const Payment& pay : r.payments) day.forms[pay.form] -= pay.amount;
  int64_t change = r.Paid() - r.Total();
  if (change > 0 && !r.payments.empty()) day.forms[r.payments.back().form] += change;
}

}  // namespace zel::emu
