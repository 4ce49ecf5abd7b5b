// libFuzzer target: the simulated printer's commands in random order with
// random texts. The input is a script: each step picks a command (receipt,
// items, cancellations, closing, payments, non-fiscal documents, tables,
// readings, the clock moving on) and its argument texts, either plausible
// ones (so that the script gets deep into a receipt or a day) or raw bytes.
// After every step the printer must keep its books:
//   - the grand total never decreases;
//   - the day's gross sales equal the net sales per tax position plus the
//     discounts and cancellations (surcharges are in both sides);
//   - the COO only moves forward (or wraps);
//   - every answer record has its fixed width (measured after the commands
//     the printer did);
//   - the memory survives its file format unchanged.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "emulator/config.h"
#include "emulator/layouts.h"
#include "emulator/persistence.h"
#include "emulator/printer.h"
#include "runtime/datetime.h"

namespace {

using zel::emu::Printer;

[[noreturn]] void Broken(const char* what) {
  std::fprintf(stderr, "simulated printer: %s\n", what);
  std::abort();
}

// A text argument: one of a few plausible values for the argument, or bytes.
std::string Text(FuzzedDataProvider& in, std::initializer_list<const char*> plausible) {
  if (plausible.size() > 0 && in.ConsumeBool()) {
    return *(plausible.begin() + in.ConsumeIntegralInRange<size_t>(0, plausible.size() - 1));
  }
  return in.ConsumeRandomLengthString(40);
}

std::string Amount(FuzzedDataProvider& in) {
  return Text(
      in, {"10,00", "0,01", "1", "999999,99", "5,5", "0", "-1", "1.000,00", "00000150", "0000"});
}

// Runs one step; answers the command's return code (kOk when it was done).
int Step(FuzzedDataProvider& in, Printer& p, zel::TDateTime& now) {
  switch (in.ConsumeIntegralInRange<int>(0, 27)) {
    case 0:
      return p.OpenReceipt(Text(in, {"", "123.456.789-09"}), Text(in, {"", "MARIA"}),
                           Text(in, {""}));
    case 1:
    case 2:
    case 3:
      return p.SellItem(Text(in, {"789", "1"}), Text(in, {"ITEM", "ARROZ"}),
                        Text(in, {"01", "02", "05", "II", "NN", "FF", "16", "00"}), Amount(in),
                        Text(in, {"1,000", "2", "0,333", "9999,999"}), Amount(in), Amount(in),
                        Text(in, {"01", "", "00"}), Text(in, {"UN", "KG"}));
    case 4:
      return p.CancelLastItem();
    case 5:
      return p.CancelItem(Text(in, {"1", "2", "001", "0"}));
    case 6:
      return p.StartClosing(Text(in, {"D", "A", "d", "a"}), Text(in, {"$", "%", ""}), Amount(in));
    case 7:
    case 8:
      return p.Pay(Text(in, {"Dinheiro", "Cartao", "DINHEIRO"}), Amount(in));
    case 9:
      return p.FinishClosing(Text(in, {"", "OBRIGADO"}));
    case 10:
      return p.CancelReceipt();
    case 11:
      return p.ProgramPaymentForm(Text(in, {"Cartao", "Cheque"}), Text(in, {"1", "0"}));
    case 12:
      return p.NameTotalizer(in.ConsumeIntegralInRange<int>(-1, 32),
                             Text(in, {"TROCO", "SUPRIMENTO"}));
    case 13:
      return p.NonFiscalReceipt(Text(in, {"01", "02", "TROCO"}), Amount(in),
                                Text(in, {"Dinheiro"}));
    case 14:
      return p.OpenLinked(Text(in, {"Dinheiro", "Cartao"}), Text(in, {"", "10,00", "1,00"}),
                          Text(in, {"", "000001"}));
    case 15:
      return p.PrintText(Text(in, {"linha\n", ""}));
    case 16:
      return p.CloseLinked();
    case 17:
      return p.Report(Text(in, {"linha\n", " "}));
    case 18:
      return p.CloseReport();
    case 19:
      return p.Supply(Amount(in), Text(in, {"", "Dinheiro"}));
    case 20:
      return p.Withdrawal(Amount(in));
    case 21:
      return p.ReadingX();
    case 22:
      return p.ReductionZ();
    case 23:
      return p.Barcode(Text(in, {"EAN13", "CODE39", "ITF"}), Text(in, {"7891000100103", "ABC"}));
    case 24:
      return p.SwitchDaylightSaving();
    case 25:
      return p.FiscalMemoryReading(in.ConsumeBool(), Text(in, {"101226", "1"}),
                                   Text(in, {"111226", "2"}));
    case 26:
      return p.ExtendDescription(Text(in, {"DESCRICAO LONGA"}));
    case 27:
      // The clock moves on: minutes, or a day or more (a Z becomes due).
      now += in.ConsumeBool() ? in.ConsumeIntegralInRange<int>(1, 120) / 1440.0
                              : in.ConsumeIntegralInRange<int>(1, 3);
      p.SetComputerTime(now);
      return zel::emu::kOk;
  }
  return zel::emu::kOk;
}

// What the books looked like after the last step.
struct Seen {
  int64_t grand_total = 0;
  int coo = 0;
  // Reductions in the fiscal memory when the last-reduction record was last
  // measured; -1 before the first step.
  long reductions = -1;
};

// The totals are checked after every step; the answer records' widths after
// a step the printer did (a refused command leaves the books as they were),
// so that a script spends its time in the printer rather than in the records.
void CheckBooks(const Printer& p, Seen& seen, bool measure_records) {
  const zel::emu::PrinterMemory& m = p.memory();
  if (m.grand_total < seen.grand_total) Broken("grand total decreased");
  seen.grand_total = m.grand_total;
  const zel::emu::DayTotals& d = m.day;
  int64_t net = 0;
  for (int64_t v : d.tax) net += v;
  if (d.gross != net + d.discount_icms + d.discount_iss + d.cancel_icms + d.cancel_iss) {
    Broken("gross sales do not add up");
  }
  if (m.counters.coo < seen.coo && m.counters.coo != 1) Broken("COO went back");
  seen.coo = m.counters.coo;
  if (!measure_records) return;
  // The last-reduction record is made from the fiscal memory's last record
  // alone, which only a new reduction changes: it is measured again only
  // then (making it after every step took a third of the target's time).
  const long reductions = static_cast<long>(m.fiscal_memory.size());
  if (reductions != seen.reductions) {
    if (zel::emu::LastReductionRecord(m).size() != 1278) Broken("answer record of the wrong width");
    seen.reductions = reductions;
  }
  if (zel::emu::RatesRecord(m.rates).size() != 79 ||
      zel::emu::IssRatesRecord(m.rates).size() != 79 ||
      zel::emu::TotalizerNamesRecord(m).size() != 179 ||
      zel::emu::PaymentFormsRecord(m).size() != 3016 ||
      zel::emu::PartialTotalsRecord(m).size() != 445 ||
      zel::emu::NonFiscalRecord(m).size() != 2200) {
    Broken("answer record of the wrong width");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const zel::emu::EmulatorConfig config = zel::emu::ParseConfig("");
  FuzzedDataProvider in(data, size);
  Printer printer(config, zel::emu::FreshMemory(config));
  zel::TDateTime now = zel::EncodeDateTime(2026, 12, 10, 10, 0, 0, 0);
  printer.SetComputerTime(now);
  Seen seen;
  for (int steps = 0; steps < 200 && in.remaining_bytes() > 0; ++steps) {
    const int code = Step(in, printer, now);
    CheckBooks(printer, seen, code == zel::emu::kOk || steps == 0);
    printer.TakePrintout();
  }
  const std::string file = zel::emu::SerializeMemory(printer.memory());
  zel::emu::PrinterMemory back;
  if (!zel::emu::DeserializeMemory(file, &back) || zel::emu::SerializeMemory(back) != file) {
    Broken("memory file does not round-trip");
  }
  return 0;
}
