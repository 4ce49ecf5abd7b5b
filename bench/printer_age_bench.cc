// A fiscal receipt of 100 items made directly on the simulated printer
// (opening, 100 item sales, closing paid in cash), on two printers in one
// run:
//  - BM_SaleNewPrinter: a printer fresh from the factory;
//  - BM_SaleAgedPrinter: a printer with ten years of reductions (3,650 in its
//    fiscal memory) and a year of detail tape (300 days of 300 receipts of 20
//    items in its MFD).
// A command's cost must not grow with the printer's history, so the aged
// printer's time per sale stays within 1.2 times the new one's (the
// `vs_new` counter of the aged benchmark). Times are wall-clock: every
// command syncs its journal records and memory file to disk. The aged
// printer's journals are written once, before the timing; the first command
// on each printer (which checks its journals) is outside the timing too.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "emulator/amounts.h"
#include "emulator/config.h"
#include "emulator/ibmfi32.h"
#include "emulator/mfd.h"
#include "emulator/persistence.h"
#include "emulator/printer_state.h"
#include "platform/platform.h"
#include "runtime/datetime.h"

namespace zel {
namespace {

constexpr int kItems = 100;
constexpr int kReductions = 3650;
constexpr int kMfdDays = 300;
constexpr int kReceiptsPerDay = 300;
constexpr int kItemsPerReceipt = 20;

// Two system folders, one per printer, under one temporary folder; the
// current one is chosen by Use(). The clock stands still at 10/12/2026 10:00.
class AgePlatform : public platform::PlatformWrapper {
 public:
  AgePlatform()
      : platform::PlatformWrapper(platform::MakeNativePlatform().release()),
        previous_(&platform::Current()) {
    root_ = target()->MakeTempDirectory("zel-age-bench-");
    if (root_.empty()) throw std::runtime_error("cannot create a temporary folder");
    for (const char* name : {"new", "aged", "host"}) {
      target()->MakeDirectory(platform::JoinPath(root_, name));
    }
    platform::SetCurrent(this);
  }
  ~AgePlatform() override {
    platform::SetCurrent(previous_);
    target()->RemoveTree(root_);
    delete target();
  }
  std::string Folder(const std::string& printer) const {
    return platform::JoinPath(root_, printer);
  }
  void Use(const std::string& printer) { system_ = Folder(printer); }

  std::string SystemDirectory() override { return system_; }
  std::string ExecutableDirectory() override { return platform::JoinPath(root_, "host"); }
  void SetExecutableDirectory(const std::string&) override {}
  TDateTime Now() override { return now_; }
  void Delay(int) override {}

 private:
  platform::Platform* previous_;
  std::string root_;
  std::string system_;
  const TDateTime now_ = EncodeDateTime(2026, 12, 10, 10, 0, 0, 0);
};

std::string Control(const std::string& command) {
  char answer[2048] = {};
  if (IBM_EMU_Control(command.c_str(), answer, sizeof answer) != 1) {
    throw std::runtime_error("IBM_EMU_Control " + command + ": " + answer);
  }
  return answer;
}

// A day's reduction with plausible totals.
emu::ZRecord Reduction(int number, int date) {
  emu::ZRecord z;
  z.counters.crz = number;
  z.counters.coo = number * 250;
  z.counters.ccf = number * 240;
  z.grand_total = static_cast<int64_t>(number) * 1'500'000;
  z.totals.gross = 1'500'000;
  z.totals.tax[0] = 1'500'000;
  z.movement_date = date;
  z.made_at = EncodeDateTime(date / 10000, date / 100 % 100, date % 100, 22, 0, 0, 0);
  return z;
}

// One receipt as the detail tape holds it: header, 20 items, totals.
std::string ReceiptText(int coo) {
  std::string text = "EMPRESA DEMONSTRACAO LTDA\r\nCNPJ:11.222.333/0001-81\r\n" +
                     std::string("09/12/2026 10:00:00      CCF:") + emu::Digits(coo, 6) +
                     " COO:" + emu::Digits(coo, 6) + "\r\n   CUPOM FISCAL\r\n";
  for (int i = 1; i <= kItemsPerReceipt; ++i) {
    text += emu::Digits(i, 3) + " 789100010" + emu::Digits(i, 4) + " PRODUTO " + emu::Digits(i, 4) +
            " 1,000 UN X 7,50 T01  7,50\r\n";
  }
  text += "TOTAL R$                                  150,00\r\nDinheiro 150,00\r\n";
  return text;
}

// The aged printer's memory file and journals, written directly.
void WriteAgedPrinter(AgePlatform& os) {
  os.Use("aged");
  Control("init");  // IBMFI32.INI and a new printer's memory
  emu::PrinterMemory memory = emu::FreshMemory(emu::ParseConfig(""));
  const std::string folder = os.Folder("aged");
  const std::string memory_file = platform::JoinPath(folder, "IBMFI32.MEM");

  std::string reductions;
  TDateTime day = EncodeDate(2026, 12, 9) - (kReductions - 1);
  for (int n = 1; n <= kReductions; ++n, day += 1) {
    int y, m, d;
    DecodeDate(day, y, m, d);
    emu::ZRecord z = Reduction(n, y * 10000 + m * 100 + d);
    memory.fiscal_memory.push_back(z);
    emu::MfdRecord record;
    record.coo = n;
    record.date = z.movement_date;
    record.text = emu::SerializeReduction(z);
    reductions += emu::FrameMfdRecord(record);
  }
  if (!os.WriteWholeFile(memory_file + ".mf", reductions)) throw std::runtime_error("mf");

  int64_t mfd_bytes = 0;
  int coo = 0;
  const std::string mfd = memory_file + ".mfd";
  os.WriteWholeFile(mfd, "");
  for (int d = 0; d < kMfdDays; ++d) {
    std::string day_records;
    for (int r = 0; r < kReceiptsPerDay; ++r) {
      emu::MfdRecord record;
      record.coo = ++coo % 1'000'000;
      record.date = 20260101 + d % 28 + (d / 28 % 12) * 100;
      record.time = 100000;
      record.text = ReceiptText(record.coo);
      day_records += emu::FrameMfdRecord(record);
    }
    if (!os.AppendToFile(mfd, day_records)) throw std::runtime_error("mfd");
    mfd_bytes += static_cast<int64_t>(day_records.size());
  }

  const emu::ZRecord& last = memory.fiscal_memory.back();
  memory.counters = last.counters;
  memory.grand_total = last.grand_total;
  memory.last_z_date = last.movement_date;
  memory.mf_bytes = static_cast<int64_t>(reductions.size());
  memory.mf_records = kReductions;
  memory.mfd_bytes = mfd_bytes;
  if (!os.WriteFileAtomically(memory_file, emu::SerializeMemory(memory, nullptr, false))) {
    throw std::runtime_error("memory");
  }
}

AgePlatform& Platform() {
  static AgePlatform* os = [] {
    auto* p = new AgePlatform();
    p->Use("new");
    Control("init");
    WriteAgedPrinter(*p);
    return p;
  }();
  return *os;
}

void Sale() {
  IBM_FI_AbreCupomMFD(nullptr, nullptr, nullptr);
  for (int i = 0; i < kItems; ++i) {
    IBM_FI_VendeItemDepartamento("7891000100103", "PRODUTO", "01", "1,99", "1,000", "0000", "0000",
                                 "01", "UN");
  }
  IBM_FI_IniciaFechamentoCupom("D", "$", "0");
  IBM_FI_EfetuaFormaPagamento("Dinheiro", "199,00");
  if (IBM_FI_TerminaFechamentoCupom("") != 1) throw std::runtime_error("the sale failed");
}

double g_new_seconds_per_sale = 0;

void RunSales(benchmark::State& state, const char* printer) {
  AgePlatform& os = Platform();
  os.Use(printer);
  // The first command checks the journals; the aged printer must answer
  // with its history.
  char reductions[4];
  if (IBM_FI_NumeroReducoes(reductions) != 1) throw std::runtime_error("the printer refused");
  if (std::string(printer) == "aged" && std::string(reductions, 4) != "3650") {
    throw std::runtime_error("the aged printer lost its reductions");
  }
  for (auto _ : state) Sale();
  state.counters["per_item"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * kItems,
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_SaleNewPrinter(benchmark::State& state) {
  auto start = std::chrono::steady_clock::now();
  RunSales(state, "new");
  std::chrono::duration<double> spent = std::chrono::steady_clock::now() - start;
  if (state.iterations() > 0) g_new_seconds_per_sale = spent.count() / state.iterations();
}

void BM_SaleAgedPrinter(benchmark::State& state) {
  auto start = std::chrono::steady_clock::now();
  RunSales(state, "aged");
  std::chrono::duration<double> spent = std::chrono::steady_clock::now() - start;
  if (state.iterations() > 0 && g_new_seconds_per_sale > 0) {
    state.counters["vs_new"] = spent.count() / state.iterations() / g_new_seconds_per_sale;
  }
}

BENCHMARK(BM_SaleNewPrinter)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);
BENCHMARK(BM_SaleAgedPrinter)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);

}  // namespace
}  // namespace zel

BENCHMARK_MAIN();
