// A fiscal receipt of 100 items (opening, 100 item sales, closing paid in
// cash), timed per item three ways:
//  - BM_DriverSaleSimulatedPrinter: the host's operations through the driver
//    against the simulated printer library, the debug log written as usual;
//  - BM_DriverSaleNoopVendor: the same operations through the driver against
//    vendor entry points that answer success at once and leave every buffer
//    blank: the driver's own cost (parameter reading, formatting, return
//    analysis, debug log);
//  - BM_DirectSaleSimulatedPrinter: the vendor calls the driver makes for
//    that sale (recorded from the do-nothing vendor: same entry points, order
//    and arguments), made directly on the simulated printer library (its own
//    cost).
// Times are wall-clock: the simulated printer writes its memory file safely
// (flushed to disk) after every command, and that wait is part of its cost.
// Every file (the printer's memory and tape, IBMFI32.INI, the debug log) lives
// in a temporary folder removed at the end, and the clock stands still at
// 10/12/2026 10:00, so the whole run stays on one fiscal day.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "hostutil/params.h"
#include "platform/platform.h"
#include "runtime/datetime.h"
#include "runtime/memtable.h"
#include "runtime/variant.h"
#include "support/host_tables.h"
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
  test::DefineMovementFields(table);
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

// A set-up failure (no temporary folder, the simulated printer library not
// built) skips the benchmark with its reason instead of ending the program.
void Guarded(benchmark::State& state, void (*body)(benchmark::State&)) {
  try {
    body(state);
  } catch (const std::exception& e) {
    state.SkipWithError(e.what());
  }
}

// ---- (a) through the driver, against the simulated printer ----

void RunDriverSaleSimulatedPrinter(benchmark::State& state) {
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
void BM_DriverSaleSimulatedPrinter(benchmark::State& state) {
  Guarded(state, RunDriverSaleSimulatedPrinter);
}
BENCHMARK(BM_DriverSaleSimulatedPrinter)->Unit(benchmark::kMillisecond)->UseRealTime();

// ---- (b) through the driver, against a vendor library that does nothing ----

// One argument of a vendor call as the driver passed it.
struct RecordedArg {
  enum class Kind { kText, kNullText, kBuffer, kInteger, kIntegerOut };
  Kind kind;
  std::string text;   // kText: the text; kBuffer: the blanks the caller gave
  int32_t value = 0;  // kInteger
};
struct RecordedCall {
  const char* name;
  std::vector<RecordedArg> args;
};

int64_t noop_vendor_calls = 0;
// When set, every call of the do-nothing vendor is appended here.
std::vector<RecordedCall>* recording = nullptr;

void Record(std::vector<RecordedArg>& out, const char* text) {
  if (text == nullptr) {
    out.push_back({RecordedArg::Kind::kNullText, "", 0});
  } else {
    out.push_back({RecordedArg::Kind::kText, text, 0});
  }
}
void Record(std::vector<RecordedArg>& out, char* buffer) {
  out.push_back({RecordedArg::Kind::kBuffer, buffer, 0});
}
void Record(std::vector<RecordedArg>& out, int32_t value) {
  out.push_back({RecordedArg::Kind::kInteger, "", value});
}
void Record(std::vector<RecordedArg>& out, int32_t*) {
  out.push_back({RecordedArg::Kind::kIntegerOut, "", 0});
}

// What the do-nothing vendor leaves in an argument: buffers stay blank,
// status bytes say "acknowledged, nothing to report", other integers 0.
void Answer(char*) {}
void Answer(const char*) {}
void Answer(int32_t) {}
void Answer(int32_t* value) { *value = 0; }

template <const char* kName, typename Fn>
struct NoopEntry;
template <const char* kName, typename... Args>
struct NoopEntry<kName, int32_t (*)(Args...)> {
  static int32_t Call(Args... args) {
    ++noop_vendor_calls;
    if (recording != nullptr) {
      RecordedCall call{kName, {}};
      (Record(call.args, args), ...);
      recording->push_back(std::move(call));
    }
    (Answer(args), ...);
    if constexpr (std::is_same_v<int32_t (*)(Args...), IbmFnStatus>) {
      // ACK 6: the first argument of a status query.
      auto first = [](int32_t* ack, auto...) { *ack = 6; };
      first(args...);
    }
    return 1;
  }
};

#define ZEL_BENCH_NAME(name, type) constexpr char k_##name[] = #name;
ZEL_VENDOR_ENTRY_POINTS(ZEL_BENCH_NAME)
#undef ZEL_BENCH_NAME

void InstallNoopVendor() {
#define ZEL_BENCH_NOOP(name, type) name = &NoopEntry<k_##name, type>::Call;
  ZEL_VENDOR_ENTRY_POINTS(ZEL_BENCH_NOOP)
#undef ZEL_BENCH_NOOP
  boImpFiscalOK = true;
}

void RunDriverSaleNoopVendor(benchmark::State& state) {
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
void BM_DriverSaleNoopVendor(benchmark::State& state) { Guarded(state, RunDriverSaleNoopVendor); }
BENCHMARK(BM_DriverSaleNoopVendor)->Unit(benchmark::kMillisecond)->UseRealTime();

// ---- (c) the driver's vendor calls, made directly on the simulated printer ----

// The vendor calls of one sale through the driver, recorded from the
// do-nothing vendor: the same entry points in the same order with the same
// arguments as the driver sends the printer.
std::vector<RecordedCall> RecordDriverSale() {
  std::vector<RecordedCall> calls;
  BenchPlatform sandbox;
  ZelResetModuleState();
  InstallNoopVendor();
  recording = &calls;
  std::string failure;
  const bool ok = DriverSale(ItemParams(), CloseParams(), &failure);
  recording = nullptr;
  ZelResetModuleState();
  if (!ok) throw std::runtime_error("recording the sale: " + failure);
  return calls;
}

// One recorded call made ready on the library: the arguments rebuilt (fresh
// blank buffers on every call, as the driver makes them).
template <typename Fn>
struct Replay;
template <typename... Args>
struct Replay<int32_t (*)(Args...)> {
  static std::function<int32_t()> Make(void* symbol, std::vector<RecordedArg> args) {
    if (args.size() != sizeof...(Args)) throw std::runtime_error("recorded call of another form");
    auto function = reinterpret_cast<int32_t (*)(Args...)>(symbol);
    return [function, args = std::move(args), buffers = std::vector<std::string>(sizeof...(Args)),
            integers = std::vector<int32_t>(sizeof...(Args))]() mutable {
      return Call(function, args, buffers, integers, std::index_sequence_for<Args...>{});
    };
  }

 private:
  template <size_t... I>
  static int32_t Call(int32_t (*function)(Args...), const std::vector<RecordedArg>& args,
                      std::vector<std::string>& buffers, std::vector<int32_t>& integers,
                      std::index_sequence<I...>) {
    return function(Argument<Args>(args[I], buffers[I], integers[I])...);
  }
  template <typename T>
  static T Argument(const RecordedArg& arg, std::string& buffer, int32_t& integer) {
    if constexpr (std::is_same_v<T, const char*>) {
      return arg.kind == RecordedArg::Kind::kText ? arg.text.c_str() : nullptr;
    } else if constexpr (std::is_same_v<T, char*>) {
      buffer = arg.text;
      return buffer.data();
    } else if constexpr (std::is_same_v<T, int32_t*>) {
      integer = 0;
      return &integer;
    } else {
      return arg.value;
    }
  }
};

std::function<int32_t()> Prepare(const SimulatedPrinter& printer, const RecordedCall& call) {
#define ZEL_BENCH_PREPARE(entry, type)                                   \
  if (std::strcmp(call.name, #entry) == 0) {                             \
    return Replay<type>::Make(printer.Symbol<void*>(#entry), call.args); \
  }
  ZEL_VENDOR_ENTRY_POINTS(ZEL_BENCH_PREPARE)
#undef ZEL_BENCH_PREPARE
  throw std::runtime_error(std::string("unknown entry point ") + call.name);
}

void RunDirectSaleSimulatedPrinter(benchmark::State& state) {
  const std::vector<RecordedCall> recorded = RecordDriverSale();
  BenchPlatform sandbox;
  SimulatedPrinter printer;
  std::vector<std::function<int32_t()>> calls;
  for (const RecordedCall& call : recorded) calls.push_back(Prepare(printer, call));
  for (auto _ : state) {
    // Every call of a sale that the printer accepts answers 1, the status
    // queries included.
    size_t refused = 0;
    for (auto& call : calls) refused += call() != 1;
    if (refused != 0) {
      state.SkipWithError("the simulated printer refused a call of the sale");
      break;
    }
  }
  ReportPerItem(state, static_cast<int>(calls.size()));
}
void BM_DirectSaleSimulatedPrinter(benchmark::State& state) {
  Guarded(state, RunDirectSaleSimulatedPrinter);
}
BENCHMARK(BM_DirectSaleSimulatedPrinter)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace zel

BENCHMARK_MAIN();
