// The fiscal receipt: opening, items, item cancellation, the closing with a
// subtotal discount or surcharge, payments, the footer and the cancellation
// of the open or the last receipt.
#include <algorithm>

#include "emulator/amounts.h"
#include "emulator/printer.h"

namespace zel::emu {
namespace {

// Tax position of an item's tax code, -1 when the code is malformed.
int TaxPosition(std::string_view code) {
  std::string c = Upper(Trim(code));
  if (c == "II") return kExempt;
  if (c == "NN") return kNonIncidence;
  if (c == "FF") return kSubstitution;
  if (c.size() == 2 && c.find_first_not_of("0123456789") == std::string::npos) {
    int n = std::stoi(c);
    if (n >= 1 && n <= 16) return n - 1;
  }
  return -1;
}

std::string TaxLabel(const TaxRates& rates, int position) {
  if (position == kExempt) return "I1";
  if (position == kNonIncidence) return "N1";
  if (position == kSubstitution) return "F1";
  const TaxRate& r = rates[position];
  return std::string(r.iss ? "S" : "T") + Digits(position + 1, 2) + " " +
         Digits(r.basis_points / 100, 2) + "," + Digits(r.basis_points % 100, 2) + "%";
}

}  // namespace

int Printer::OpenReceipt(std::string_view cpf, std::string_view name, std::string_view address) {
  if (cpf.size() > 29 || name.size() > 30 || address.size() > 80) {
    return Refuse(kInvalidParameter, 0, kSt2ParamType);
  }
  if (int gate = CheckNewDocument(true); gate != kOk) return gate;
  int coo = NextCoo(true);
  Counters& c = memory_.counters;
  c.ccf = c.ccf >= 999999 ? 1 : c.ccf + 1;
  Receipt r;
  r.phase = ReceiptPhase::kSelling;
  r.coo = coo;
  r.ccf = c.ccf;
  r.opened_at = Now();
  r.cpf = Trim(cpf);
  r.name = Trim(name);
  r.address = Trim(address);
  memory_.receipt = r;
  memory_.open = OpenDocument::kReceipt;

  TapeDocument doc(config_);
  doc.Header(Now(), "CCF:" + Digits(r.ccf, 6) + " COO:" + Digits(coo, 6));
  if (!r.cpf.empty()) doc.Line("CPF/CNPJ consumidor: " + r.cpf);
  if (!r.name.empty()) doc.Line("NOME: " + r.name);
  if (!r.address.empty()) doc.Line("END: " + r.address);
  doc.Title("CUPOM FISCAL");
  doc.Line(
      "ITEM C\xD3"
      "DIGO DESCRI\xC7\xC3O");
  doc.LeftRight("QTD.UN.VL UNIT(R$) ST", "VL ITEM(R$)");
  doc.Rule();
  Print(doc, false);
  return Ok();
}

int Printer::ExtendDescription(std::string_view description) {
  if (description.size() > 200) return Refuse(kInvalidParameter, 0, kSt2ParamType);
  memory_.pending_description = Trim(description);
  return Ok();
}

int Printer::SetOneLineItems(int on) {
  if (on != 0 && on != 1) return Refuse(kInvalidParameter, 0, kSt2ParamType);
  memory_.one_line_items = on == 1;
  return Ok();
}

int Printer::SellItem(std::string_view code, std::string_view description, std::string_view tax,
                      std::string_view price, std::string_view quantity, std::string_view surcharge,
                      std::string_view discount, std::string_view department,
                      std::string_view unit) {
  Receipt& r = memory_.receipt;
  if (memory_.open != OpenDocument::kReceipt || r.phase != ReceiptPhase::kSelling) {
    return Refuse(kExecutionError, 0, kSt2NotExecuted);
  }
  if (IsBlank(code) || IsBlank(description) || IsBlank(price) || IsBlank(quantity) ||
      IsBlank(tax)) {
    return Refuse(kInvalidParameter, kSt1ParamCount, 0);
  }
  if (code.size() > 14 || description.size() > 29 || unit.size() > 2) {
    return Refuse(kInvalidParameter, 0, kSt2ParamType);
  }
  int position = TaxPosition(tax);
  if (position < 0) return Refuse(kInvalidParameter, 0, kSt2ParamType);
  if (position < 16 && memory_.rates[position].basis_points == 0) {
    return Refuse(kRateNotProgrammed, 0, kSt2RateNotProgrammed);
  }
  auto p = ParseDecimal(price, 2);
  auto q = ParseDecimal(quantity, 3);
  auto s = IsBlank(surcharge) ? std::optional<int64_t>(0) : ParseCentsField(surcharge);
  auto d = IsBlank(discount) ? std::optional<int64_t>(0) : ParseCentsField(discount);
  std::string dept = Trim(department);
  bool dept_ok =
      dept.empty() || (dept.size() == 2 &&
                       dept.find_first_not_of("0123456789") == std::string::npos && dept != "00");
  // Field limits of the printer: price 9 digits, quantity 7, item discount
  // and surcharge 8.
  if (!p || !q || !s || !d || !dept_ok || *p <= 0 || *p > 999999999 || *q <= 0 || *q > 9999999 ||
      *s > 99999999 || *d > 99999999) {
    return Refuse(kInvalidParameter, 0, kSt2ParamType);
  }
  int64_t gross = *p * *q / 1000;  // truncated to the cent
  if (gross <= 0 || *d >= gross + *s || r.items.size() >= 999) {
    return Refuse(kInvalidParameter, 0, kSt2ParamType);
  }
  if (CheckPaper() != kOk) return kExecutionError;

  Item item;
  item.number = static_cast<int>(r.items.size()) + 1;
  item.code = Trim(code);
  item.description =
      memory_.pending_description.empty() ? Trim(description) : memory_.pending_description;
  memory_.pending_description.clear();
  item.tax = Upper(Trim(tax));
  item.unit = Trim(unit);
  item.price = *p;
  item.quantity = *q;
  item.gross = gross;
  item.surcharge = *s;
  item.discount = *d;
  r.items.push_back(item);
  r.net[position] += item.Net();
  DayTotals& day = memory_.day;
  day.tax[position] += item.Net();
  day.gross += gross + item.surcharge;
  memory_.grand_total += gross + item.surcharge;
  bool iss = IsIssPosition(position);
  (iss ? day.discount_iss : day.discount_icms) += item.discount;
  (iss ? day.surcharge_iss : day.surcharge_icms) += item.surcharge;

  TapeDocument doc(config_);
  std::string detail = Quantity(item.quantity) + " " + item.unit + " X " + Money(item.price) + " " +
                       TaxLabel(memory_.rates, position);
  if (memory_.one_line_items) {
    doc.LeftRight(Digits(item.number, 3) + " " + item.code + " " + item.description, Money(gross));
  } else {
    doc.Line(Digits(item.number, 3) + " " + item.code + " " + item.description);
    doc.LeftRight("    " + detail, Money(gross));
  }
  if (item.discount > 0) doc.LeftRight("    desconto sobre item", "-" + Money(item.discount));
  if (item.surcharge > 0) {
    doc.LeftRight("    acr\xE9scimo sobre item", "+" + Money(item.surcharge));
  }
  Print(doc, false);
  return Ok();
}

namespace {

Item* FindItem(Receipt& r, int number) {
  for (Item& item : r.items) {
    if (item.number == number) return &item;
  }
  return nullptr;
}

}  // namespace

int Printer::CancelItem(std::string_view number) {
  std::string n = Trim(number);
  if (n.empty() || n.size() > 4 || n.find_first_not_of("0123456789") != std::string::npos) {
    return Refuse(kInvalidParameter, 0, kSt2ParamType);
  }
  Receipt& r = memory_.receipt;
  if (memory_.open != OpenDocument::kReceipt || r.phase != ReceiptPhase::kSelling) {
    return Refuse(kExecutionError, 0, kSt2NotExecuted);
  }
  Item* item = FindItem(r, std::stoi(n));
  if (item == nullptr || item->cancelled) {
    return Refuse(kExecutionError, 0, kSt2CancelNotAllowed);
  }
  if (CheckPaper() != kOk) return kExecutionError;
  int position = TaxPosition(item->tax);
  item->cancelled = true;
  r.net[position] -= item->Net();
  memory_.day.tax[position] -= item->Net();
  (IsIssPosition(position) ? memory_.day.cancel_iss : memory_.day.cancel_icms) += item->Net();

  TapeDocument doc(config_);
  doc.LeftRight("cancelado item " + Digits(item->number, 3) + " " + item->code,
                "-" + Money(item->Net()));
  Print(doc, false);
  return Ok();
}

int Printer::CancelLastItem() {
  Receipt& r = memory_.receipt;
  if (memory_.open != OpenDocument::kReceipt || r.phase != ReceiptPhase::kSelling) {
    return Refuse(kExecutionError, 0, kSt2NotExecuted);
  }
  if (r.items.empty() || r.items.back().cancelled) {
    return Refuse(kExecutionError, 0, kSt2CancelNotAllowed);
  }
  return CancelItem(std::to_string(r.items.back().number));
}

int Printer::StartClosing(std::string_view kind, std::string_view mode, std::string_view value) {
  Receipt& r = memory_.receipt;
  if (memory_.open != OpenDocument::kReceipt || r.phase != ReceiptPhase::kSelling ||
      r.Subtotal() <= 0) {
    return Refuse(kExecutionError, 0, kSt2NotExecuted);
  }
  std::string k = Upper(Trim(kind));
  std::string m = Trim(mode);
  if (m.empty()) m = "$";
  auto v = IsBlank(value) ? std::optional<int64_t>(0) : ParseDecimal(value, 2);
  if ((k != "D" && k != "A") || (m != "$" && m != "%") || !v || *v > kMaxAmount ||
      (m == "%" && *v > 10000)) {
    return Refuse(kInvalidParameter, 0, kSt2ParamType);
  }
  int64_t subtotal = r.Subtotal();
  int64_t amount = m == "$" ? *v : MulDiv(subtotal, *v, 10000);
  if (k == "D" && amount >= subtotal) return Refuse(kInvalidParameter, 0, kSt2ParamType);
  if (CheckPaper() != kOk) return kExecutionError;

  // The adjustment is shared out over the tax positions in proportion to
  // their part of the subtotal; the rounding rest goes to the largest.
  if (amount > 0) {
    std::array<int64_t, kTaxPositions> share{};
    int64_t given = 0;
    int largest = 0;
    for (int p = 0; p < kTaxPositions; ++p) {
      if (r.net[p] <= 0) continue;
      share[p] = MulDiv(amount, r.net[p], subtotal);
      given += share[p];
      if (r.net[p] > r.net[largest]) largest = p;
    }
    share[largest] += amount - given;
    DayTotals& day = memory_.day;
    for (int p = 0; p < kTaxPositions; ++p) {
      int64_t signed_share = k == "D" ? -share[p] : share[p];
      r.net[p] += signed_share;
      day.tax[p] += signed_share;
      bool iss = IsIssPosition(p);
      if (k == "D") {
        (iss ? day.discount_iss : day.discount_icms) += share[p];
      } else {
        (iss ? day.surcharge_iss : day.surcharge_icms) += share[p];
      }
    }
    if (k == "A") {
      day.gross += amount;
      memory_.grand_total += amount;
    }
    r.adjust_kind = k[0];
    r.adjust = amount;
  }
  r.phase = ReceiptPhase::kTotalling;

  TapeDocument doc(config_);
  doc.LeftRight("SUBTOTAL R$", Money(subtotal));
  if (amount > 0 && k == "D") doc.LeftRight("DESCONTO R$", "-" + Money(amount));
  if (amount > 0 && k == "A") doc.LeftRight("ACR\xC9SCIMO R$", "+" + Money(amount));
  doc.LeftRight("TOTAL R$", Money(r.Total()));
  Print(doc, false);
  return Ok();
}

int Printer::Pay(std::string_view form, std::string_view amount) {
  Receipt& r = memory_.receipt;
  if (memory_.open != OpenDocument::kReceipt || r.phase != ReceiptPhase::kTotalling) {
    return Refuse(kExecutionError, 0, kSt2NotExecuted);
  }
  if (IsBlank(form) || IsBlank(amount)) return Refuse(kInvalidParameter, kSt1ParamCount, 0);
  int index = FindForm(form);
  if (index < 0) return Refuse(kFormNotProgrammed, 0, kSt2NotExecuted);
  auto v = ParseDecimal(amount, 2);
  if (!v || *v <= 0 || *v > kMaxAmount) return Refuse(kInvalidParameter, 0, kSt2ParamType);
  if (CheckPaper() != kOk) return kExecutionError;

  r.payments.push_back(Payment{index, *v, 0});
  memory_.day.forms[index] += *v;
  TapeDocument doc(config_);
  doc.LeftRight(memory_.forms[index].name, Money(*v));
  if (r.Paid() >= r.Total()) {
    int64_t change = r.Paid() - r.Total();
    // The change leaves the drawer in the form that overpaid.
    memory_.day.forms[index] -= change;
    r.phase = ReceiptPhase::kPaid;
    if (change > 0) doc.LeftRight("TROCO R$", Money(change));
  }
  Print(doc, false);
  return Ok();
}

int Printer::FinishClosing(std::string_view footer) {
  Receipt& r = memory_.receipt;
  if (memory_.open != OpenDocument::kReceipt || r.phase != ReceiptPhase::kPaid) {
    return Refuse(kExecutionError, 0, kSt2NotExecuted);
  }
  if (footer.size() > 4096) return Refuse(kInvalidParameter, 0, kSt2ParamType);
  if (CheckPaper() != kOk) return kExecutionError;
  TapeDocument doc(config_);
  if (!IsBlank(footer)) {
    doc.Rule();
    doc.Text(footer);
  }
  doc.Trailer(Now(), r.coo);
  Print(doc, true);
  KeepFiscalDetail(r);
  memory_.last_receipt = r;
  memory_.receipt = Receipt{};
  memory_.open = OpenDocument::kNone;
  memory_.last_was_receipt = true;
  memory_.last_document_coo = r.coo;
  return Ok();
}

int Printer::CancelReceipt() {
  if (memory_.open == OpenDocument::kReceipt) {
    Receipt& r = memory_.receipt;
    CancelReceiptTotals(r);
    memory_.counters.cfc++;
    TapeDocument doc(config_);
    doc.Rule();
    doc.Centered("CUPOM FISCAL CANCELADO");
    doc.LeftRight("TOTAL CANCELADO R$", Money(r.Total()));
    doc.Trailer(Now(), r.coo);
    Print(doc, true);
    r.cancelled = true;
    KeepFiscalDetail(r);
    memory_.last_receipt = r;
    memory_.receipt = Receipt{};
    memory_.open = OpenDocument::kNone;
    memory_.last_was_receipt = false;
    return Ok();
  }
  // The last receipt can be cancelled while it is the last document printed
  // (its own linked slips aside) and its fiscal day is still open.
  Receipt& last = memory_.last_receipt;
  if (memory_.open != OpenDocument::kNone || !memory_.last_was_receipt || last.cancelled ||
      last.ccf == 0 || memory_.movement_date == 0 || ZPending()) {
    return Refuse(kExecutionError, 0, kSt2CancelNotAllowed);
  }
  if (CheckPaper() != kOk) return kExecutionError;
  int cancelled_coo = last.coo;
  int coo = NextCoo(true);
  CancelReceiptTotals(last);
  last.cancelled = true;
  memory_.counters.cfc++;
  TapeDocument doc(config_);
  doc.Header(Now(), "CCF:" + Digits(last.ccf, 6) + " COO:" + Digits(coo, 6));
  doc.Title("CUPOM FISCAL CANCELADO");
  doc.LeftRight("COO do cupom cancelado:", Digits(cancelled_coo, 6));
  doc.LeftRight("TOTAL CANCELADO R$", Money(last.Total()));
  // Card slips already printed for the receipt are reversed with it.
  int64_t linked = 0;
  for (const Payment& pay : last.payments) linked += pay.linked_used;
  if (linked > 0) doc.LeftRight("ESTORNO COMPROVANTES VINCULADOS R$", Money(linked));
  doc.Trailer(Now(), coo);
  Print(doc, true);
  fiscal_detail_ += "C14" + Digits(last.ccf, 6) + "\r\n";
  return Ok();
}

namespace {

std::string FieldX(std::string_view text, size_t width) {
  std::string field(text.substr(0, width));
  field.resize(width, ' ');
  return field;
}
std::string FieldN(int64_t value, int width) { return Digits(value < 0 ? 0 : value, width); }
std::string DigitsOf(std::string_view text) {
  std::string digits;
  for (char c : text) {
    if (c >= '0' && c <= '9') digits += c;
  }
  return digits;
}

}  // namespace

// The fields follow the ECF's identification (serial, additional MF, model,
// user number), which the file adds; see emulator/README.md for the widths.
void Printer::KeepFiscalDetail(const Receipt& r) {
  int y, m, d;
  DecodeDate(r.opened_at, y, m, d);
  const std::string date = Digits(y, 4) + Digits(m, 2) + Digits(d, 2);
  const int64_t discount = r.adjust_kind == 'D' ? r.adjust : 0;
  const int64_t surcharge = r.adjust_kind == 'A' ? r.adjust : 0;
  std::string buyer = DigitsOf(r.cpf);
  fiscal_detail_ += "E14" + FieldN(r.ccf, 6) + FieldN(r.coo, 6) + date + FieldN(r.Subtotal(), 14) +
                    FieldN(discount, 13) + "V" + FieldN(surcharge, 13) + "V" +
                    FieldN(r.Total(), 14) + (r.cancelled ? "S" : "N") + FieldN(0, 13) +
                    (discount > 0    ? "D"
                     : surcharge > 0 ? "A"
                                     : " ") +
                    FieldX(r.name, 40) +
                    FieldN(buyer.size() <= 14 && !buyer.empty() ? std::stoll(buyer) : 0, 14) +
                    "\r\n";
  for (const Item& item : r.items) {
    std::string totalizer;
    if (item.tax == "II" || item.tax == "NN" || item.tax == "FF") {
      totalizer = std::string(1, item.tax[0] == 'I' ? 'I' : item.tax[0] == 'N' ? 'N' : 'F') + "1";
    } else {
      int position = std::atoi(item.tax.c_str());
      const TaxRate& rate = memory_.rates[position >= 1 && position <= 16 ? position - 1 : 0];
      totalizer = Digits(position, 2) + (rate.iss ? "S" : "T") + Digits(rate.basis_points, 4);
    }
    fiscal_detail_ +=
        "E15" + FieldN(r.coo, 6) + FieldN(r.ccf, 6) + FieldN(item.number, 3) +
        FieldX(item.code, 14) + FieldX(item.description, 100) + FieldN(item.quantity, 7) +
        FieldX(item.unit, 3) + FieldN(item.price, 8) + FieldN(item.discount, 8) +
        FieldN(item.surcharge, 8) + FieldN(item.Net(), 14) + FieldX(totalizer, 7) +
        (item.cancelled ? "S" : "N") + FieldN(item.cancelled ? item.quantity : 0, 7) +
        FieldN(item.cancelled ? item.Net() : 0, 13) + FieldN(0, 13) + "T" + "3" + "2" + "\r\n";
  }
  for (const Payment& pay : r.payments) {
    const std::string form = pay.form >= 0 && pay.form < static_cast<int>(memory_.forms.size())
                                 ? memory_.forms[pay.form].name
                                 : std::string();
    fiscal_detail_ += "E21" + FieldN(r.coo, 6) + FieldN(r.ccf, 6) + FieldN(0, 6) +
                      FieldX(form, 15) + FieldN(pay.amount, 13) + "N" + FieldN(0, 13) + "\r\n";
  }
}

// A non-fiscal receipt is never discounted, surcharged or cancelled on this
// printer: one totalizer, its amount, its payment.
void Printer::KeepNonFiscalDetail(int coo, int gnf, std::string_view totalizer, int64_t amount,
                                  int form) {
  int y, m, d;
  DecodeDate(Now(), y, m, d);
  const std::string date = Digits(y, 4) + Digits(m, 2) + Digits(d, 2);
  fiscal_detail_ += "E19" + FieldN(coo, 6) + FieldN(gnf, 6) + date + FieldN(amount, 14) +
                    FieldN(0, 13) + "V" + FieldN(0, 13) + "V" + FieldN(amount, 14) + "N" +
                    FieldN(0, 13) + " " + FieldX("", 40) + FieldN(0, 14) + "\r\n";
  fiscal_detail_ += "E20" + FieldN(coo, 6) + FieldN(gnf, 6) + FieldN(1, 3) + FieldX(totalizer, 15) +
                    FieldN(amount, 13) + FieldN(0, 13) + FieldN(0, 13) + FieldN(amount, 13) + "N" +
                    FieldN(0, 13) + "\r\n";
  if (form >= 0 && form < static_cast<int>(memory_.forms.size())) {
    fiscal_detail_ += "E21" + FieldN(coo, 6) + FieldN(0, 6) + FieldN(gnf, 6) +
                      FieldX(memory_.forms[form].name, 15) + FieldN(amount, 13) + "N" +
                      FieldN(0, 13) + "\r\n";
  }
}

}  // namespace zel::emu
