// A fiscal receipt of 100 items (opening, 100 item sales, closing paid in
// cash), timed per item three ways:
//  - BM_DriverSaleSimulatedPrinter: the host's operations through the driver
//    against the simulated printer library, the debug log written as usual;
//  - BM_DriverSaleNoopVendor: the same operations through the driver against
//    vendor entry points that answer success at once and leave every buffer
//    blank: the driver's own cost (parameter reading, formatting, return
//    analysis, debug log);
//  - BM_DirectSaleSimulatedPrinter: the vendor calls the driver makes for
//    that sale, made directly on the simulated printer library (its own cost).
// Times are wall-clock: the simulated printer writes its memory file safely
// (flushed to disk) after every command, and that wait is part of its cost.
// Every file (the printer's memory and tape, IBMFI32.INI, the debug log) lives
// in a temporary folder removed at the end, and the clock stands still at
// 10/12/2026 10:00, so the whole run stays on one fiscal day.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "hostutil/params.h"
#include "platform/platform.h"
#include "runtime/datetime.h"
#include "runtime/memtable.h"
#include "runtime/variant.h"
#include "zel01900/testing.h"
#include "zel01900/zel01900.h"

namespace zel {
namespace {

constexpr int kItems = 100;
constexpr double kItemPrice = 1.99;
constexpr const char* kEsquema = "002";

// ---- A platform of its own: a temporary folder and a clock that stands still ----

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

// ---- The simulated printer library, loaded through the platform ----

using ControlFn = int32_t (*)(const char*, char*, int32_t);

class SimulatedPrinter {
 public:
  SimulatedPrinter() : library_(platform::Current().OpenLibrary("IBMFI32.dll")) {
    if (library_ == nullptr) {
      throw std::runtime_error("libIBMFI32.so not found: " + platform::Current().LastErrorText());
    }
    // A fresh IBMFI32.INI and memory in the temporary system folder.
    Control("init");
    Control("reset");
  }
  ~SimulatedPrinter() { platform::Current().CloseLibrary(library_); }
  SimulatedPrinter(const SimulatedPrinter&) = delete;
  SimulatedPrinter& operator=(const SimulatedPrinter&) = delete;

  template <typename Fn>
  Fn Symbol(const char* name) const {
    void* address = platform::Current().LibrarySymbol(library_, name);
    if (address == nullptr) throw std::runtime_error(std::string("missing export ") + name);
    return reinterpret_cast<Fn>(address);
  }

  void Control(const std::string& command) const {
    char answer[2048] = {};
    if (Symbol<ControlFn>("IBM_EMU_Control")(command.c_str(), answer, sizeof answer) != 1) {
      throw std::runtime_error("IBM_EMU_Control " + command + ": " + answer);
    }
  }

 private:
  platform::LibraryHandle library_;
};

// ---- The host's side of the sale ----

HostParams OpenParams() {
  return MakeParams({{"ESQUEMACOR", kEsquema},
                     {"INTTEFERRO", 0},
                     {"INCLUICPF", ""},
                     {"INCLUINOME", ""},
                     {"INCLUIENDERECO", ""},
                     {"IDUTILTEF", "N"},
                     {"UTILTEF", false}});
}

std::vector<HostParams> ItemParams() {
  std::vector<HostParams> items;
  for (int i = 0; i < kItems; ++i) {
    std::string code = std::to_string(7891000100000LL + i);
    items.push_back(MakeParams({{"ESQUEMACOR", kEsquema},
                                {"INTEFERRO", 0},
                                {"CDARVPROD", code},
                                {"NMPROD", "PRODUTO " + code},
                                {"CDALIQ", "01"},
                                {"QTDE", 1.0},
                                {"VALOR", kItemPrice},
                                {"DESCONT", 0.0},
                                {"ACRESCIMO", 0.0},
                                {"UNIDADE", "UN"},
                                {"IDUTILTEF", "N"},
                                {"UTILTEF", false}}));
  }
  return items;
}

// The sale's cash movement as the host hands it to the closing.
std::string CashMovement(double amount) {
  MemTable table;
  for (const char* name :
       {"CDFILIAL", "IDTIPOMOVIVE", "CDTIPORECE", "NMTIPORECE", "IDTIPORECE", "CDTIPOTROCO",
        "NRORDTROCO", "CDCLIENTE", "CDCONSUMIDOR", "DSIMPFISCAL", "CDFPIMPFIS", "NRCARTBANCO",
        "CDNSUHOSTTEF", "CDBANCARTCR", "CDTIPORECEORIG"}) {
    table.AddField(name, FieldType::kString, 40);
  }
  for (const char* name : {"VRMOVIVEND", "VRMOVIVEOUT", "VRCOTINDOUT"}) {
    table.AddField(name, FieldType::kFloat);
  }
  table.AddField("DTHRINCMOV", FieldType::kDateTime);
  table.AddField("DTMOVIMCAIXA", FieldType::kDateTime);
  table.CreateDataSet();
  table.Append();
  table.FieldByName("CDFILIAL").SetAsString("0001");
  table.FieldByName("IDTIPOMOVIVE").SetAsString("E");
  table.FieldByName("CDTIPORECE").SetAsString("001");
  table.FieldByName("NMTIPORECE").SetAsString("Dinheiro");
  table.FieldByName("IDTIPORECE").SetAsString("1");
  table.FieldByName("NRORDTROCO").SetAsString("001");
  table.FieldByName("VRMOVIVEND").SetAsFloat(amount);
  table.FieldByName("DTHRINCMOV").SetAsDateTime(EncodeDateTime(2026, 12, 10, 9, 59, 0, 0));
  table.Post();
  return table.Data();
}

std::vector<HostVariant> CloseParams() {
  std::vector<HostVariant> params(55);
  params[1] = "OBRIGADO PELA PREFERENCIA";
  params[2] = kEsquema;
  params[4] = false;  // no change voucher
  params[5] = false;  // no dialogs
  params[6] = 0.0;
  params[7] = 0.0;
  params[8] = 0.0;
  params[9] = "N";
  params[11] = false;
  params[13] = HostVariant::FromPacket(CashMovement(kItems * kItemPrice));
  return params;
}

// One whole sale through the driver; false (and the reason) when any step
// was refused.
bool DriverSale(const std::vector<HostParams>& items, const std::vector<HostVariant>& close,
                std::string* failure) {
  HostParams open = OpenParams();
  if (!AbreCupom(open)) {
    *failure = "AbreCupom:" + stMensagemTaa;
    return false;
  }
  for (const HostParams& item : items) {
    HostParams params = item;  // the operation replaces the bundle
    if (!VendaItem(params)) {
      *failure = "VendaItem:" + stMensagemTaa;
      return false;
    }
  }
  HostVariant result = HostVariant::MakeArray(std::vector<HostVariant>(4));
  if (!FechaCupom(close, nullptr, result)) {
    *failure = "FechaCupom:" + stMensagemTaa;
    return false;
  }
  return true;
}

HostParams StartParams() {
  return MakeParams({{"CDFILIAL", "0001"},
                     {"CDCAIXA", "001"},
                     {"NRSERIEIMP", "IB010900000000000001"},
                     {"ESQUEMA", kEsquema},
                     {"CDPORTAIMPFIS", "COM1"},
                     {"BOUTILTAA", false}});
}

// Reports the time per item of the sale and, when known, per vendor call.
void ReportPerItem(benchmark::State& state, int vendor_calls_per_sale) {
  state.SetItemsProcessed(state.iterations() * kItems);
  state.counters["per_item"] = benchmark::Counter(
      kItems, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  if (vendor_calls_per_sale > 0) {
    state.counters["vendor_calls"] = vendor_calls_per_sale;
    state.counters["per_vendor_call"] =
        benchmark::Counter(vendor_calls_per_sale, benchmark::Counter::kIsIterationInvariantRate |
                                                      benchmark::Counter::kInvert);
  }
}

// ---- (a) through the driver, against the simulated printer ----

void BM_DriverSaleSimulatedPrinter(benchmark::State& state) {
  BenchPlatform sandbox;
  ZelResetModuleState();
  SimulatedPrinter printer;
  if (!StartImpFiscal(StartParams())) {
    state.SkipWithError("StartImpFiscal failed against the simulated printer");
    return;
  }
  const std::vector<HostParams> items = ItemParams();
  const std::vector<HostVariant> close = CloseParams();
  std::string failure;
  for (auto _ : state) {
    if (!DriverSale(items, close, &failure)) {
      state.SkipWithError(failure.c_str());
      break;
    }
  }
  ReportPerItem(state, 0);
  platform::LibraryHandle driver_handle = ImpFisDLLHandle;
  ZelResetModuleState();
  platform::Current().CloseLibrary(driver_handle);
}
BENCHMARK(BM_DriverSaleSimulatedPrinter)->Unit(benchmark::kMillisecond)->UseRealTime();

// ---- (b) through the driver, against a vendor library that does nothing ----

int64_t noop_vendor_calls = 0;

// An entry point that answers success and leaves every buffer as the caller
// filled it (blanks).
template <typename Fn>
struct NoopEntry;
template <typename... Args>
struct NoopEntry<int32_t (*)(Args...)> {
  static int32_t Call(Args...) {
    ++noop_vendor_calls;
    return 1;
  }
};
// Status queries: acknowledged, no status bit set.
template <>
struct NoopEntry<IbmFnStatus> {
  static int32_t Call(int32_t* ack, int32_t* st1, int32_t* st2) {
    ++noop_vendor_calls;
    *ack = 6;
    *st1 = 0;
    *st2 = 0;
    return 1;
  }
};
template <>
struct NoopEntry<IbmFnP> {
  static int32_t Call(int32_t* value) {
    ++noop_vendor_calls;
    *value = 0;
    return 1;
  }
};

void InstallNoopVendor() {
#define ZEL_BENCH_NOOP(name, type) name = &NoopEntry<type>::Call;
  ZEL_VENDOR_ENTRY_POINTS(ZEL_BENCH_NOOP)
#undef ZEL_BENCH_NOOP
  boImpFiscalOK = true;
}

void BM_DriverSaleNoopVendor(benchmark::State& state) {
  BenchPlatform sandbox;
  ZelResetModuleState();
  InstallNoopVendor();
  const std::vector<HostParams> items = ItemParams();
  const std::vector<HostVariant> close = CloseParams();
  std::string failure;
  noop_vendor_calls = 0;
  for (auto _ : state) {
    if (!DriverSale(items, close, &failure)) {
      state.SkipWithError(failure.c_str());
      break;
    }
  }
  const int64_t sales = state.iterations() > 0 ? state.iterations() : 1;
  ReportPerItem(state, static_cast<int>(noop_vendor_calls / sales));
  ZelResetModuleState();
}
BENCHMARK(BM_DriverSaleNoopVendor)->Unit(benchmark::kMillisecond)->UseRealTime();

// ---- (c) the driver's vendor calls, made directly on the simulated printer ----

// The entry points a sale uses, bound from the library by name.
struct SaleEntries {
  explicit SaleEntries(const SimulatedPrinter& p)
      : estado(p.Symbol<IbmFnStatus>("IBM_FI_VerificaEstadoImpressora")),
        retorno(p.Symbol<IbmFnStatus>("IBM_FI_RetornoImpressora")),
        abre(p.Symbol<IbmFnTTT>("IBM_FI_AbreCupomMFD")),
        numero_cupom(p.Symbol<IbmFnB>("IBM_FI_NumeroCupom")),
        contador_cupom(p.Symbol<IbmFnB>("IBM_FI_ContadorCupomFiscalMFD")),
        vende(p.Symbol<IbmFnT9>("IBM_FI_VendeItemDepartamento")),
        inicia(p.Symbol<IbmFnTTT>("IBM_FI_IniciaFechamentoCupom")),
        pagamento(p.Symbol<IbmFnTT>("IBM_FI_EfetuaFormaPagamento")),
        termina(p.Symbol<IbmFnT>("IBM_FI_TerminaFechamentoCupom")) {}
  IbmFnStatus estado;
  IbmFnStatus retorno;
  IbmFnTTT abre;
  IbmFnB numero_cupom;
  IbmFnB contador_cupom;
  IbmFnT9 vende;
  IbmFnTTT inicia;
  IbmFnTT pagamento;
  IbmFnT termina;
};

// The footer the driver builds for this sale.
constexpr const char* kFooter =
    "OBRIGADO PELA PREFERENCIA\r\n"
    "Val Aprox Tributos R$ 0,00(0,00%) Fonte IBPT\r\n"
    "\n"
    "Operador :  - \r\n"
    "Zelvora Sistemas Ltda - Fone (11) 4002-1900 - www.zelvora.com.br\r\n"
    "\r\n";

class DirectSale {
 public:
  explicit DirectSale(const SaleEntries& e) : e_(e) {
    for (int i = 0; i < kItems; ++i) {
      codes_.push_back(std::to_string(7891000100000LL + i));
      names_.push_back("PRODUTO " + codes_.back());
    }
  }

  int calls() const { return calls_; }

  // The calls in the driver's order: each operation first checks the
  // printer's state, and every command is followed by the status query of
  // the return analysis. False when the printer refused anything.
  bool Run() {
    calls_ = 0;
    bool ok = StateCheck();
    ok = Command(e_.abre(nullptr, nullptr, nullptr)) && ok;
    std::string coo(6, ' ');
    ok = Command(e_.numero_cupom(coo.data())) && ok;
    std::string ccf(6, ' ');
    ok = Command(e_.contador_cupom(ccf.data())) && ok;
    for (int i = 0; i < kItems; ++i) {
      ok = StateCheck() && ok;
      ok = Command(e_.vende(codes_[i].c_str(), names_[i].c_str(), "01", "1,99", "1,000", "0000",
                            "0000", "01", "UN")) &&
           ok;
    }
    ok = StateCheck() && ok;
    ok = Command(e_.inicia("d", "$", "0")) && ok;
    ok = Command(e_.pagamento("Dinheiro", "199,00")) && ok;
    ok = Command(e_.termina(kFooter)) && ok;
    return ok;
  }

 private:
  bool StateCheck() {
    int32_t ack = 0, st1 = 0, st2 = 0;
    return Command(e_.estado(&ack, &st1, &st2));
  }
  // A command's code, then the status query that follows it.
  bool Command(int32_t code) {
    int32_t ack = 0, st1 = 0, st2 = 0;
    calls_ += 2;
    return e_.retorno(&ack, &st1, &st2) == 1 && code == 1 && ack == 6;
  }

  const SaleEntries& e_;
  std::vector<std::string> codes_;
  std::vector<std::string> names_;
  int calls_ = 0;
};

void BM_DirectSaleSimulatedPrinter(benchmark::State& state) {
  BenchPlatform sandbox;
  SimulatedPrinter printer;
  const SaleEntries entries(printer);
  DirectSale sale(entries);
  for (auto _ : state) {
    if (!sale.Run()) {
      state.SkipWithError("the simulated printer refused a call of the sale");
      break;
    }
  }
  ReportPerItem(state, sale.calls());
}
BENCHMARK(BM_DirectSaleSimulatedPrinter)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace zel

BENCHMARK_MAIN();
