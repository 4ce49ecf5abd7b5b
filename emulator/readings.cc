// The fiscal readings: Leitura X, Redução Z and the printed fiscal-memory
// readings.
#include "emulator/amounts.h"
#include "emulator/printer.h"

namespace zel::emu {
namespace {

std::string DateText(int yyyymmdd) {
  return Digits(yyyymmdd % 100, 2) + "/" + Digits(yyyymmdd / 100 % 100, 2) + "/" +
         Digits(yyyymmdd / 10000, 4);
}

// The counters and totals of a day, as the X and Z readings print them.
void PrintDay(TapeDocument& doc, const Counters& c, int64_t grand_total, const DayTotals& day,
              const TaxRates& rates, const PrinterMemory& m) {
  doc.Centered("CONTADORES");
  doc.LeftRight(
      "Rein\xED"
      "cio de Opera\xE7\xE3o (CRO)",
      Digits(c.cro, 4));
  doc.LeftRight(
      "Redu\xE7\xF5"
      "es Z (CRZ)",
      Digits(c.crz, 4));
  doc.LeftRight("Ordem de Opera\xE7\xE3o (COO)", Digits(c.coo, 6));
  doc.LeftRight(
      "Opera\xE7\xF5"
      "es N\xE3o Fiscais (GNF)",
      Digits(c.gnf, 6));
  doc.LeftRight("Cupons Fiscais (CCF)", Digits(c.ccf, 6));
  doc.LeftRight("Relat\xF3rios Gerenciais (GRG)", Digits(c.grg, 6));
  doc.LeftRight(
      "Comprovantes de Cr\xE9"
      "dito (CDC)",
      Digits(c.cdc, 4));
  doc.LeftRight("Cupons Fiscais Cancelados (CFC)", Digits(c.cfc, 4));
  doc.Rule();
  doc.Centered("TOTALIZADORES");
  doc.LeftRight("Totalizador Geral (GT)", Money(grand_total));
  doc.LeftRight("Venda Bruta Di\xE1ria (VB)", Money(day.gross));
  doc.LeftRight("Cancelamentos ICMS", Money(day.cancel_icms));
  doc.LeftRight("Descontos ICMS", Money(day.discount_icms));
  doc.LeftRight("Acr\xE9scimos ICMS", Money(day.surcharge_icms));
  doc.LeftRight("Cancelamentos ISS", Money(day.cancel_iss));
  doc.LeftRight("Descontos ISS", Money(day.discount_iss));
  doc.LeftRight("Acr\xE9scimos ISS", Money(day.surcharge_iss));
  int64_t net = day.gross - day.cancel_icms - day.cancel_iss - day.discount_icms - day.discount_iss;
  doc.LeftRight("Venda L\xEDquida", Money(net));
  doc.Rule();
  doc.Centered("TOTALIZADORES PARCIAIS");
  for (int p = 0; p < 16; ++p) {
    if (rates[p].basis_points == 0) continue;
    doc.LeftRight(std::string(rates[p].iss ? "S" : "T") + Digits(p + 1, 2) + " " +
                      Digits(rates[p].basis_points / 100, 2) + "," +
                      Digits(rates[p].basis_points % 100, 2) + "%",
                  Money(day.tax[p]));
  }
  doc.LeftRight("Isento (I1)", Money(day.tax[kExempt]));
  doc.LeftRight("N\xE3o incid\xEAncia (N1)", Money(day.tax[kNonIncidence]));
  doc.LeftRight("Substitui\xE7\xE3o tribut\xE1ria (F1)", Money(day.tax[kSubstitution]));
  doc.Rule();
  doc.Centered("N\xC3O FISCAIS");
  doc.LeftRight("Sangria (" + Digits(day.withdrawal_count, 4) + ")", Money(day.withdrawal));
  doc.LeftRight("Suprimento (" + Digits(day.supply_count, 4) + ")", Money(day.supply));
  for (int i = 0; i < kMaxTotalizers; ++i) {
    if (m.totalizers[i].empty()) continue;
    doc.LeftRight(
        Digits(i + 1, 2) + " " + m.totalizers[i] + " (" + Digits(day.nonfiscal_count[i], 4) + ")",
        Money(day.nonfiscal[i]));
  }
  doc.Rule();
  doc.Centered("MEIOS DE PAGAMENTO");
  for (size_t i = 0; i < m.forms.size(); ++i) doc.LeftRight(m.forms[i].name, Money(day.forms[i]));
}

// "ddmmyy", "dd/mm/yy" or "dd/mm/yyyy" as yyyymmdd; 0 when malformed.
int ParseDate(std::string_view text) {
  std::string digits;
  for (char c : Trim(text)) {
    if (c == '/') continue;
    if (c < '0' || c > '9') return 0;
    digits += c;
  }
  if (digits.size() != 6 && digits.size() != 8) return 0;
  int d = std::stoi(digits.substr(0, 2));
  int m = std::stoi(digits.substr(2, 2));
  int y = std::stoi(digits.substr(4));
  if (digits.size() == 6) y += 2000;
  if (!IsValidDate(y, m, d)) return 0;
  return y * 10000 + m * 100 + d;
}

}  // namespace

int Printer::ReadingX(std::string* to_text) {
  if (memory_.open != OpenDocument::kNone) return Refuse(kExecutionError, 0, kSt2NotExecuted);
  if (to_text == nullptr && CheckPaper() != kOk) return kExecutionError;
  TapeDocument doc(config_);
  int coo = memory_.counters.coo;
  if (to_text == nullptr) {
    // The printed reading is a document of its own; it does not open the day.
    coo = NextCoo(false);
    Counters& c = memory_.counters;
    c.gnf = c.gnf >= 999999 ? 1 : c.gnf + 1;
    doc.Header(Now(), "GNF:" + Digits(c.gnf, 6) + " COO:" + Digits(coo, 6));
  }
  doc.Title("LEITURA X");
  if (memory_.movement_date != 0) {
    doc.LeftRight("MOVIMENTO DO DIA:", DateText(memory_.movement_date));
  }
  PrintDay(doc, memory_.counters, memory_.grand_total, memory_.day, memory_.rates, memory_);
  doc.Trailer(Now(), coo);
  if (to_text != nullptr) {
    to_text->clear();
    for (const std::string& line : doc.lines()) *to_text += line + "\r\n";
  } else {
    Print(doc, true);
  }
  return Ok();
}

int Printer::ReductionZ() {
  if (memory_.open != OpenDocument::kNone || DayClosed()) {
    return Refuse(kExecutionError, 0, kSt2NotExecuted);
  }
  if (Today() < memory_.movement_date || Today() < memory_.last_z_date) {
    return Refuse(kExecutionError, kSt1ClockError, kSt2NotExecuted);
  }
  if (CheckPaper() != kOk) return kExecutionError;
  if (memory_.fiscal_memory.size() >= 3650) {
    return Refuse(kExecutionError, 0, kSt2MemoryFull | kSt2NotExecuted);
  }
  int movement = memory_.movement_date != 0 ? memory_.movement_date : Today();
  int coo = NextCoo(false);
  Counters& c = memory_.counters;
  c.crz = c.crz >= 9999 ? 1 : c.crz + 1;
  ZRecord z;
  z.counters = c;
  z.grand_total = memory_.grand_total;
  z.totals = memory_.day;
  z.rates = memory_.rates;
  z.movement_date = movement;
  z.made_at = Now();
  memory_.fiscal_memory.push_back(z);

  TapeDocument doc(config_);
  doc.Header(Now(), "COO:" + Digits(coo, 6));
  doc.Title("REDU\xC7\xC3O Z");
  doc.LeftRight("MOVIMENTO DO DIA:", DateText(movement));
  PrintDay(doc, c, memory_.grand_total, memory_.day, memory_.rates, memory_);
  doc.Trailer(Now(), coo);
  Print(doc, true);

  memory_.day = DayTotals{};
  memory_.movement_date = 0;
  memory_.last_z_date = movement;
  return Ok();
}

int Printer::FiscalMemoryReading(bool by_date, std::string_view start, std::string_view end,
                                 std::string_view type, std::string* to_text) {
  int from = 0;
  int to = 0;
  if (by_date) {
    from = ParseDate(start);
    to = ParseDate(end);
  } else {
    // Reduction numbers have four digits.
    auto a = ParseDecimal(start, 0);
    auto b = ParseDecimal(end, 0);
    from = a && *a <= 9999 ? static_cast<int>(*a) : 0;
    to = b && *b <= 9999 ? static_cast<int>(*b) : 0;
  }
  if (from <= 0 || to < from) return Refuse(kInvalidParameter, 0, kSt2ParamType);
  if (memory_.open != OpenDocument::kNone) return Refuse(kExecutionError, 0, kSt2NotExecuted);
  if (to_text == nullptr && CheckPaper() != kOk) return kExecutionError;
  const bool complete = Trim(type) == "C" || Trim(type) == "c";
  TapeDocument doc(config_);
  int coo = memory_.counters.coo;
  if (to_text == nullptr) {
    coo = NextCoo(false);
    Counters& c = memory_.counters;
    c.gnf = c.gnf >= 999999 ? 1 : c.gnf + 1;
    doc.Header(Now(), "GNF:" + Digits(c.gnf, 6) + " COO:" + Digits(coo, 6));
  }
  doc.Title(complete ? "LEITURA DA MEM\xD3RIA FISCAL COMPLETA"
                     : "LEITURA DA MEM\xD3RIA FISCAL SIMPLIFICADA");
  doc.Line(by_date ? "Per\xEDodo: " + DateText(from) + " a " + DateText(to)
                   : "CRZ: " + Digits(from, 4) + " a " + Digits(to, 4));
  doc.Rule();
  int64_t sum = 0;
  int count = 0;
  for (const ZRecord& z : memory_.fiscal_memory) {
    int key = by_date ? z.movement_date : z.counters.crz;
    if (key < from || key > to) continue;
    doc.LeftRight("CRZ:" + Digits(z.counters.crz, 4) + " " + DateText(z.movement_date) +
                      " COO:" + Digits(z.counters.coo, 6),
                  Money(z.totals.gross));
    if (complete) {
      doc.LeftRight("  GT", Money(z.grand_total));
      doc.LeftRight("  CANCELAMENTOS", Money(z.totals.cancel_icms + z.totals.cancel_iss));
      doc.LeftRight("  DESCONTOS", Money(z.totals.discount_icms + z.totals.discount_iss));
      for (int i = 0; i < 16; ++i) {
        if (z.rates[i].basis_points == 0 || z.totals.tax[i] == 0) continue;
        doc.LeftRight("  " + Digits(i + 1, 2) + (z.rates[i].iss ? "S" : "T") +
                          Digits(z.rates[i].basis_points, 4),
                      Money(z.totals.tax[i]));
      }
    }
    sum += z.totals.gross;
    ++count;
  }
  doc.Rule();
  doc.LeftRight(
      "Redu\xE7\xF5"
      "es no per\xEDodo",
      std::to_string(count));
  doc.LeftRight("Venda bruta do per\xEDodo", Money(sum));
  doc.Trailer(Now(), coo);
  if (to_text != nullptr) {
    to_text->clear();
    for (const std::string& line : doc.lines()) *to_text += line + "\r\n";
  } else {
    Print(doc, true);
  }
  return Ok();
}

std::vector<const ZRecord*> Printer::ReductionsBetween(int from, int to) const {
  std::vector<const ZRecord*> found;
  for (const ZRecord& z : memory_.fiscal_memory) {
    if (z.movement_date >= from && z.movement_date <= to) found.push_back(&z);
  }
  return found;
}

int Printer::ParseReadingDate(std::string_view text) { return ParseDate(text); }

}  // namespace zel::emu
