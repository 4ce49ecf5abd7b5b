// The till documents whose work grows with the host's rows, each over a size
// sweep so that the growth shows:
//  - BM_ProductReportGrouped/N: Relatorio_Produto grouped by taxation over N
//    products (twelve tax groups), one feed per product;
//  - BM_Statement/N: Extrato of a statement text of N movement lines, fed in
//    whole-line chunks;
//  - BM_ZExport/N: ExportRedZ with a host payment-type table of N rows
//    translating the printer's twenty payment forms.
// The driver runs against vendor entry points that answer at once (the list
// queries of the Z export with fixed records), so the figures are the
// driver's own cost, its debug log included. Files live in a temporary
// folder removed at the end; the clock stands still at 10/12/2026 10:00.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <stdexcept>
#include <string>
#include <type_traits>

#include "platform/platform.h"
#include "runtime/datetime.h"
#include "runtime/memtable.h"
#include "zel01900/testing.h"
#include "zel01900/zel01900.h"

namespace zel {
namespace {

constexpr const char* kEsquema = "002";

class BenchPlatform : public platform::PlatformWrapper {
 public:
  BenchPlatform()
      : platform::PlatformWrapper(platform::MakeNativePlatform().release()),
        previous_(&platform::Current()) {
    root_ = target()->MakeTempDirectory("zel-bench-");
    if (root_.empty()) {
      const std::string reason = target()->LastErrorText();
      delete target();
      throw std::runtime_error("cannot create a temporary folder: " + reason);
    }
    system_directory_ = platform::JoinPath(root_, "system");
    executable_directory_ = platform::JoinPath(root_, "host");
    target()->MakeDirectory(system_directory_);
    target()->MakeDirectory(executable_directory_);
    platform::SetCurrent(this);
  }
  ~BenchPlatform() override {
    platform::SetCurrent(previous_);
    target()->RemoveTree(root_);
    delete target();
  }

  std::string SystemDirectory() override { return system_directory_; }
  std::string ExecutableDirectory() override { return executable_directory_; }
  void SetExecutableDirectory(const std::string&) override {}
  TDateTime Now() override { return now_; }
  void Delay(int) override {}

 private:
  platform::Platform* previous_;
  std::string root_;
  std::string system_directory_;
  std::string executable_directory_;
  const TDateTime now_ = EncodeDateTime(2026, 12, 10, 10, 0, 0, 0);
};

// ---- A vendor that answers at once ----

// Buffer answers by entry point; other buffers stay as the driver gave them.
std::map<std::string, std::string>& Answers() {
  static std::map<std::string, std::string> answers;
  return answers;
}

template <const char* kName>
void Answer(char* buffer) {
  const auto found = Answers().find(kName);
  if (found == Answers().end()) return;
  std::memcpy(buffer, found->second.data(), std::min(found->second.size(), std::strlen(buffer)));
}
template <const char* kName>
void Answer(const char*) {}
template <const char* kName>
void Answer(int32_t) {}
template <const char* kName>
void Answer(int32_t* value) {
  *value = 0;
}

template <const char* kName, typename Fn>
struct QuickEntry;
template <const char* kName, typename... Args>
struct QuickEntry<kName, int32_t (*)(Args...)> {
  static int32_t Call(Args... args) {
    (Answer<kName>(args), ...);
    if constexpr (std::is_same_v<int32_t (*)(Args...), IbmFnStatus>) {
      auto first = [](int32_t* ack, auto...) { *ack = 6; };
      first(args...);
    }
    return 1;
  }
};

#define ZEL_BENCH_NAME(name, type) constexpr char k_##name[] = #name;
ZEL_VENDOR_ENTRY_POINTS(ZEL_BENCH_NAME)
#undef ZEL_BENCH_NAME

std::string Digits(long long value, size_t width) {
  std::string text = std::to_string(value);
  return std::string(width - text.size(), '0') + text;
}

void InstallQuickVendor() {
#define ZEL_BENCH_QUICK(name, type) name = &QuickEntry<k_##name, type>::Call;
  ZEL_VENDOR_ENTRY_POINTS(ZEL_BENCH_QUICK)
#undef ZEL_BENCH_QUICK
  boImpFiscalOK = true;
  auto& a = Answers();
  a["IBM_FI_NumeroCupom"] = "000123";
  a["IBM_FI_DataMovimento"] = "101226";
  a["IBM_FI_GrandeTotal"] = Digits(123456, 18);
  a["IBM_FI_NumeroReducoes"] = "0011";
  std::string rates;
  for (int i = 0; i < 16; ++i) rates += (i < 8 ? Digits(100 * (i + 1), 4) : "0000") + ",";
  a["IBM_FI_RetornoAliquotas"] = rates;
  std::string partials;
  for (int i = 0; i < 16; ++i) partials += Digits(1000 * i, 14);
  a["IBM_FI_VerificaTotalizadoresParciais"] =
      partials + "," + Digits(1, 14) + "," + Digits(2, 14) + "," + Digits(3, 14) + ",";
  std::string non_fiscal;
  for (int i = 0; i < 30; ++i) {
    const std::string name = "TOTALIZADOR " + Digits(i, 2);
    non_fiscal +=
        Digits(i, 4) + Digits(100 * i, 20) + name + std::string(19 - name.size(), ' ') + ",";
  }
  a["IBM_FI_VerificaRecebimentoNaoFiscal"] = non_fiscal;
  std::string forms;
  for (int i = 0; i < 20; ++i) {
    const std::string name = "FORMA " + Digits(i, 2);
    forms += name + std::string(15 - name.size(), ' ') + "," + Digits(100 * i, 20) +
             std::string(22, '0');
  }
  a["IBM_FI_VerificaFormasPagamento"] = forms;
}

// The driver's state, the quick vendor and a temporary folder for one run.
struct Driver {
  Driver() {
    ZelResetModuleState();
    InstallQuickVendor();
  }
  ~Driver() { ZelResetModuleState(); }
  BenchPlatform sandbox;
};

void Guarded(benchmark::State& state, void (*body)(benchmark::State&)) {
  try {
    body(state);
  } catch (const std::exception& e) {
    state.SkipWithError(e.what());
  }
}

void Sweep(benchmark::internal::Benchmark* b) {
  b->Arg(1000)->Arg(10000)->Arg(50000)->Unit(benchmark::kMillisecond)->UseRealTime();
}

// ---- Relatorio_Produto grouped by taxation ----

void RunProductReportGrouped(benchmark::State& state) {
  Driver driver;
  const int count = static_cast<int>(state.range(0));
  MemTable products;
  for (const char* name : {"CDPRODIMPFIS", "CDPRODUTO", "NMPRODUTO", "IDTPIMPOSFIS"}) {
    products.AddField(name, FieldType::kString, 40);
  }
  for (const char* name : {"QTPRODVEND", "VRTOTAL", "VRACRE", "VRDESC", "VRPEALIMPFIS"}) {
    products.AddField(name, FieldType::kFloat);
  }
  products.CreateDataSet();
  const char* types[] = {"T", "T", "T", "T", "T", "T", "T", "T", "T", "I", "N", "F"};
  for (int i = 0; i < count; ++i) {
    const char* type = types[i % 12];
    const double rate = type[0] == 'T' ? 2.0 * (i % 9 + 1) : 0.0;
    products.AppendRecord({"", Digits(i, 8), "PRODUTO " + std::to_string(i), type, 1.0 + i % 3,
                           9.99 * (1 + i % 7), 0.0, 0.0, rate});
  }
  for (auto _ : state) {
    std::string number;
    bool closed = true;
    Relatorio_Produto("", "D", "DOC", "K1", "K2", number, products, "N", "S", kEsquema, closed);
  }
  state.SetItemsProcessed(state.iterations() * count);
}
void BM_ProductReportGrouped(benchmark::State& state) { Guarded(state, RunProductReportGrouped); }
BENCHMARK(BM_ProductReportGrouped)->Apply(Sweep);

// ---- Extrato ----

void RunStatement(benchmark::State& state) {
  Driver driver;
  const int count = static_cast<int>(state.range(0));
  std::string text;
  for (int i = 0; i < count; ++i) {
    text +=
        "10/12/2026 " + Digits(i % 10000, 6) + " CANTINA        -" + Digits(i % 997, 4) + ",50 D\n";
  }
  for (auto _ : state) Extrato(text, kEsquema);
  state.SetItemsProcessed(state.iterations() * count);
}
void BM_Statement(benchmark::State& state) { Guarded(state, RunStatement); }
BENCHMARK(BM_Statement)->Apply(Sweep);

// ---- ExportRedZ ----

void RunZExport(benchmark::State& state) {
  Driver driver;
  const int count = static_cast<int>(state.range(0));
  MemTable types;
  types.AddField("CDTIPORECE", FieldType::kString, 6);
  types.AddField("NMTIPORECE", FieldType::kString, 40);
  types.CreateDataSet();
  // The printer's forms are among the last host types, the worst place for
  // a lookup that scans.
  for (int i = 0; i < count; ++i) {
    const int form = i - (count - 20);
    types.AppendRecord({Digits(i % 1000, 3),
                        form >= 0 ? "FORMA " + Digits(form, 2) : "TIPO " + std::to_string(i)});
  }
  MemTable summary, payments, taxes, totals;
  for (auto _ : state) {
    ExportRedZ("", kEsquema, "0001", 0, types, summary, payments, taxes, totals);
  }
  if (payments.RecordCount() == 0) state.SkipWithError("no payment row exported");
  state.SetItemsProcessed(state.iterations() * count);
}
void BM_ZExport(benchmark::State& state) { Guarded(state, RunZExport); }
BENCHMARK(BM_ZExport)->Apply(Sweep);

}  // namespace
}  // namespace zel

BENCHMARK_MAIN();
