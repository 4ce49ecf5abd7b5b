// Non-fiscal documents (non-fiscal receipts, linked credit/debit slips,
// gerencial reports, supply and withdrawal), the payment-form and totalizer
// tables, and the small commands: drawer, cutter, barcodes, daylight saving.
#include "emulator/amounts.h"
#include "emulator/printer.h"

namespace zel::emu {
namespace {

bool AllOf(std::string_view s, std::string_view allowed) {
  return !s.empty() && s.find_first_not_of(allowed) == std::string_view::npos;
}

constexpr std::string_view kDigits = "0123456789";

// Whether `data` can be printed as a barcode of `kind`.
bool BarcodeDataValid(std::string_view kind, std::string_view data) {
  size_t n = data.size();
  if (kind == "EAN13") return AllOf(data, kDigits) && (n == 12 || n == 13);
  if (kind == "EAN8") return AllOf(data, kDigits) && (n == 7 || n == 8);
  if (kind == "UPCA") return AllOf(data, kDigits) && (n == 11 || n == 12);
  if (kind == "UPCE") return AllOf(data, kDigits) && n >= 6 && n <= 8;
  if (kind == "ISBN") return AllOf(data, kDigits) && (n == 9 || n == 10);
  if (kind == "ITF") return AllOf(data, kDigits) && n % 2 == 0 && n <= 30;
  if (kind == "MSI") return AllOf(data, kDigits) && n <= 30;
  if (kind == "PLESSEY") return AllOf(data, "0123456789ABCDEF") && n <= 30;
  if (kind == "CODABAR") return AllOf(data, "0123456789-$:/.+ABCD") && n <= 30;
  if (kind == "CODE39")
    return AllOf(data, "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-. $/+%") && n <= 30;
  // CODE93 and CODE128: printable ASCII.
  if (n == 0 || n > 48) return false;
  for (char c : data) {
    if (c < 0x20 || c > 0x7E) return false;
  }
  return true;
}

}  // namespace

int Printer::ProgramPaymentForm(std::string_view name, std::string_view linked) {
  std::string n = Trim(name);
  std::string l = Upper(Trim(linked));
  if (n.empty()) return Refuse(kInvalidParameter, kSt1ParamCount, 0);
  if (n.size() > 16 || !(l.empty() || l == "1" || l == "0" || l == "S" || l == "N")) {
    return Refuse(kInvalidParameter, 0, kSt2ParamType);
  }
  for (const PaymentForm& f : memory_.forms) {
    if (SameName(f.name, n)) return Ok();  // already programmed
  }
  if (memory_.open != OpenDocument::kNone) return Refuse(kExecutionError, 0, kSt2NotExecuted);
  if (static_cast<int>(memory_.forms.size()) >= kMaxPaymentForms) {
    return Refuse(kExecutionError, 0, kSt2MemoryFull | kSt2NotExecuted);
  }
  memory_.forms.push_back(PaymentForm{n, l != "0" && l != "N"});
  return Ok();
}

int Printer::NameTotalizer(int index, std::string_view name) {
  std::string n = Trim(name);
  if (n.empty()) return Refuse(kInvalidParameter, kSt1ParamCount, 0);
  if (index < 1 || index > kMaxTotalizers || n.size() > 19) {
    return Refuse(kInvalidParameter, 0, kSt2ParamType);
  }
  std::string& slot = memory_.totalizers[index - 1];
  if (slot == n) return Ok();
  for (int i = 0; i < kMaxTotalizers; ++i) {
    if (i != index - 1 && SameName(memory_.totalizers[i], n)) {
      return Refuse(kExecutionError, 0, kSt2NotExecuted);
    }
  }
  // A named totalizer is renamed only while the day has no movement.
  if (memory_.open != OpenDocument::kNone || (!slot.empty() && memory_.movement_date != 0)) {
    return Refuse(kExecutionError, 0, kSt2NotExecuted);
  }
  slot = n;
  return Ok();
}

int Printer::NonFiscalReceipt(std::string_view totalizer, std::string_view amount,
                              std::string_view form) {
  std::string t = Trim(totalizer);
  int slot = -1;
  if (AllOf(t, kDigits) && t.size() <= 2) {
    slot = std::stoi(t) - 1;
  } else {
    for (int i = 0; i < kMaxTotalizers; ++i) {
      if (!memory_.totalizers[i].empty() && SameName(memory_.totalizers[i], t)) slot = i;
    }
  }
  if (slot < 0 || slot >= kMaxTotalizers || memory_.totalizers[slot].empty()) {
    return Refuse(kTotalizerNotProgrammed, 0, kSt2NotExecuted);
  }
  auto v = ParseCentsField(amount);
  if (!v || *v <= 0 || *v > kMaxAmount) return Refuse(kInvalidParameter, 0, kSt2ParamType);
  int index = FindForm(IsBlank(form) ? "Dinheiro" : form);
  if (index < 0) return Refuse(kFormNotProgrammed, 0, kSt2NotExecuted);
  if (int gate = CheckNewDocument(true); gate != kOk) return gate;
  int coo = NextCoo(true);
  Counters& c = memory_.counters;
  c.gnf = c.gnf >= 999999 ? 1 : c.gnf + 1;
  DayTotals& day = memory_.day;
  day.nonfiscal[slot] += *v;
  day.nonfiscal_count[slot]++;
  day.forms[index] += *v;

  TapeDocument doc(config_);
  doc.Header(Now(), "GNF:" + Digits(c.gnf, 6) + " COO:" + Digits(coo, 6));
  doc.Title("COMPROVANTE N\xC3O FISCAL");
  doc.LeftRight(Digits(slot + 1, 2) + " " + memory_.totalizers[slot], Money(*v));
  doc.LeftRight("TOTAL R$", Money(*v));
  doc.LeftRight(memory_.forms[index].name, Money(*v));
  doc.Trailer(Now(), coo);
  Print(doc, true);
  KeepNonFiscalDetail(coo, c.gnf, memory_.totalizers[slot], *v, index);
  return Ok();
}

int Printer::OpenLinked(std::string_view form, std::string_view amount, std::string_view coo) {
  int index = FindForm(form);
  if (IsBlank(form)) return Refuse(kInvalidParameter, kSt1ParamCount, 0);
  if (index < 0) return Refuse(kFormNotProgrammed, 0, kSt2NotExecuted);
  std::string coo_text = Trim(coo);
  if (!coo_text.empty() && (!AllOf(coo_text, kDigits) || coo_text.size() > 6)) {
    return Refuse(kInvalidParameter, 0, kSt2ParamType);
  }
  auto v = IsBlank(amount) ? std::optional<int64_t>(0) : ParseCentsField(amount);
  if (!v || *v > kMaxAmount) return Refuse(kInvalidParameter, 0, kSt2ParamType);
  if (int gate = CheckNewDocument(true); gate != kOk) return gate;
  // The slip belongs to the last receipt of the day, paid with this form.
  Receipt& last = memory_.last_receipt;
  bool receipt_ok = last.ccf != 0 && !last.cancelled && memory_.movement_date != 0 &&
                    last.coo >= memory_.day.first_coo;
  if (!coo_text.empty()) {
    int named = std::stoi(coo_text);
    receipt_ok = receipt_ok && named >= last.coo && named <= memory_.counters.coo;
  }
  int payment = -1;
  for (size_t i = 0; receipt_ok && i < last.payments.size(); ++i) {
    const Payment& p = last.payments[i];
    int64_t left = p.amount - p.linked_used;
    if (p.form == index && left > 0 && (*v == 0 || *v <= left)) {
      payment = static_cast<int>(i);
      break;
    }
  }
  if (payment < 0) return Refuse(kExecutionError, 0, kSt2NotExecuted);
  Payment& p = last.payments[payment];
  int64_t value = *v == 0 ? p.amount - p.linked_used : *v;
  // The receipt's own slips do not stop it from being cancelled.
  bool receipt_cancellable = memory_.last_was_receipt;
  int number = NextCoo(true);
  memory_.last_was_receipt = receipt_cancellable;
  Counters& c = memory_.counters;
  c.gnf = c.gnf >= 999999 ? 1 : c.gnf + 1;
  c.cdc = c.cdc >= 999999 ? 1 : c.cdc + 1;
  p.linked_used += value;
  memory_.open = OpenDocument::kLinked;
  memory_.linked_payment = payment;

  TapeDocument doc(config_);
  doc.Header(Now(), "GNF:" + Digits(c.gnf, 6) + " COO:" + Digits(number, 6));
  doc.LeftRight("", "CDC:" + Digits(c.cdc, 4));
  doc.Title(
      "COMPROVANTE CR\xC9"
      "DITO OU D\xC9"
      "BITO");
  doc.LeftRight("COO do documento vinculado:", Digits(last.coo, 6));
  doc.LeftRight(memory_.forms[index].name, Money(value));
  doc.Rule();
  Print(doc, false);
  return Ok();
}

int Printer::PrintText(std::string_view text) {
  if (memory_.open != OpenDocument::kLinked && memory_.open != OpenDocument::kReport) {
    return Refuse(kExecutionError, 0, kSt2NotExecuted);
  }
  if (text.size() > 8192) return Refuse(kInvalidParameter, 0, kSt2ParamType);
  if (CheckPaper() != kOk) return kExecutionError;
  TapeDocument doc(config_);
  if (!text.empty()) doc.Text(text);
  Print(doc, false);
  return Ok();
}

int Printer::CloseLinked() {
  if (memory_.open != OpenDocument::kLinked) return Refuse(kExecutionError, 0, kSt2NotExecuted);
  // The closing prints the document's trailer: like every printing command
  // it needs paper.
  if (CheckPaper() != kOk) return kExecutionError;
  TapeDocument doc(config_);
  doc.Trailer(Now(), memory_.counters.coo);
  Print(doc, true);
  memory_.open = OpenDocument::kNone;
  memory_.linked_payment = -1;
  return Ok();
}

int Printer::Report(std::string_view text) {
  if (memory_.open == OpenDocument::kReport) return PrintText(text);
  if (text.size() > 8192) return Refuse(kInvalidParameter, 0, kSt2ParamType);
  if (int gate = CheckNewDocument(true); gate != kOk) return gate;
  int coo = NextCoo(true);
  Counters& c = memory_.counters;
  c.gnf = c.gnf >= 999999 ? 1 : c.gnf + 1;
  c.grg = c.grg >= 999999 ? 1 : c.grg + 1;
  memory_.open = OpenDocument::kReport;
  TapeDocument doc(config_);
  doc.Header(Now(), "GNF:" + Digits(c.gnf, 6) + " COO:" + Digits(coo, 6));
  doc.LeftRight("", "GRG:" + Digits(c.grg, 6));
  doc.Title("RELAT\xD3RIO GERENCIAL");
  if (!IsBlank(text)) doc.Text(text);
  Print(doc, false);
  return Ok();
}

int Printer::CloseReport() {
  if (memory_.open != OpenDocument::kReport) return Refuse(kExecutionError, 0, kSt2NotExecuted);
  if (CheckPaper() != kOk) return kExecutionError;
  TapeDocument doc(config_);
  doc.Trailer(Now(), memory_.counters.coo);
  Print(doc, true);
  memory_.open = OpenDocument::kNone;
  return Ok();
}

int Printer::Supply(std::string_view amount, std::string_view form) {
  auto v = ParseCentsField(amount);
  if (!v || *v <= 0 || *v > kMaxAmount) return Refuse(kInvalidParameter, 0, kSt2ParamType);
  int index = FindForm(IsBlank(form) ? "Dinheiro" : form);
  if (index < 0) return Refuse(kFormNotProgrammed, 0, kSt2NotExecuted);
  if (int gate = CheckNewDocument(true); gate != kOk) return gate;
  int coo = NextCoo(true);
  Counters& c = memory_.counters;
  c.gnf = c.gnf >= 999999 ? 1 : c.gnf + 1;
  memory_.day.supply += *v;
  memory_.day.supply_count++;
  memory_.day.forms[index] += *v;
  TapeDocument doc(config_);
  doc.Header(Now(), "GNF:" + Digits(c.gnf, 6) + " COO:" + Digits(coo, 6));
  doc.Title("COMPROVANTE N\xC3O FISCAL");
  doc.LeftRight("SUPRIMENTO", Money(*v));
  doc.LeftRight(memory_.forms[index].name, Money(*v));
  doc.Trailer(Now(), coo);
  Print(doc, true);
  KeepNonFiscalDetail(coo, c.gnf, "Suprimento", *v, index);
  return Ok();
}

int Printer::Withdrawal(std::string_view amount) {
  auto v = ParseCentsField(amount);
  if (!v || *v <= 0 || *v > kMaxAmount) return Refuse(kInvalidParameter, 0, kSt2ParamType);
  if (int gate = CheckNewDocument(true); gate != kOk) return gate;
  int coo = NextCoo(true);
  Counters& c = memory_.counters;
  c.gnf = c.gnf >= 999999 ? 1 : c.gnf + 1;
  memory_.day.withdrawal += *v;
  memory_.day.withdrawal_count++;
  memory_.day.forms[0] -= *v;  // money leaves the drawer
  TapeDocument doc(config_);
  doc.Header(Now(), "GNF:" + Digits(c.gnf, 6) + " COO:" + Digits(coo, 6));
  doc.Title("COMPROVANTE N\xC3O FISCAL");
  doc.LeftRight("SANGRIA", Money(*v));
  doc.Trailer(Now(), coo);
  Print(doc, true);
  KeepNonFiscalDetail(coo, c.gnf, "Sangria", *v, -1);
  return Ok();
}

int Printer::OpenDrawer() {
  memory_.drawer_open = true;
  return Ok();
}

int Printer::DrawerState(int* state) {
  *state = memory_.drawer_open ? 1 : 0;
  // The cashier pushes the drawer shut once its opening has been seen.
  memory_.drawer_open = false;
  return Ok();
}

int Printer::Cut(int mode) {
  if (mode != 0 && mode != 1) return Refuse(kInvalidParameter, 0, kSt2ParamType);
  if (memory_.open == OpenDocument::kReceipt) return Refuse(kExecutionError, 0, kSt2NotExecuted);
  if (CheckPaper() != kOk) return kExecutionError;
  printout_ += mode == 0 ? "--------------------- corte ---------------------\n"
                         : "- - - - - - - - - corte parcial - - - - - - - - -\n";
  return Ok();
}

int Printer::Barcode(std::string_view kind, std::string_view data) {
  if (memory_.open != OpenDocument::kReport) return Refuse(kExecutionError, 0, kSt2NotExecuted);
  if (!BarcodeDataValid(kind, data)) return Refuse(kInvalidParameter, 0, kSt2ParamType);
  if (CheckPaper() != kOk) return kExecutionError;
  TapeDocument doc(config_);
  doc.Centered("||| || ||| | || ||| || | ||| || |||");
  doc.Centered(std::string(kind) + " " + std::string(data));
  Print(doc, false);
  return Ok();
}

int Printer::SwitchDaylightSaving() {
  // Only right after a reduction: no document since it.
  if (memory_.open != OpenDocument::kNone || memory_.movement_date != 0) {
    return Refuse(kExecutionError, 0, kSt2NotExecuted);
  }
  memory_.daylight_saving = !memory_.daylight_saving;
  memory_.clock_adjust_seconds += memory_.daylight_saving ? 3600 : -3600;
  return Ok();
}

}  // namespace zel::emu
