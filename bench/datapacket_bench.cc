// Data packets of 100,000 records (a till's movement table: branch, payment
// name, amount, date-time, quantity) written and read in the binary and XML
// forms.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cstdlib>
#include <memory>
#include <new>
#include <string>

#include "runtime/datetime.h"
#include "runtime/memtable.h"

// Heap bytes live through operator new (every allocation of the runtime's
// containers and strings), and the most that were live since the last reset:
// the peak of a load, which the heap held at its end does not show.
namespace {
size_t g_live_bytes = 0;
size_t g_peak_bytes = 0;
// A block as glibc's count of allocated bytes has it: its usable bytes and
// the size word of its chunk.
size_t HeapBlockBytes(void* p) { return malloc_usable_size(p) + sizeof(size_t); }
}  // namespace

// Not inlined: GCC would otherwise pair an inlined free() with the new
// expressions of the program and warn of a mismatch.
[[gnu::noinline]] void* operator new(std::size_t size) {
  void* p = std::malloc(size != 0 ? size : 1);
  if (p == nullptr) throw std::bad_alloc();
  g_live_bytes += HeapBlockBytes(p);
  if (g_live_bytes > g_peak_bytes) g_peak_bytes = g_live_bytes;
  return p;
}

[[gnu::noinline]] void operator delete(void* p) noexcept {
  if (p == nullptr) return;
  g_live_bytes -= HeapBlockBytes(p);
  std::free(p);
}

void operator delete(void* p, std::size_t) noexcept { operator delete(p); }

namespace zel {
namespace {

constexpr int kRows = 100000;

void Fill(MemTable& t) {
  t.AddField("CDFILIAL", FieldType::kString, 4);
  t.AddField("NMTIPORECE", FieldType::kString, 40);
  t.AddField("VRMOVIVEND", FieldType::kFloat);
  t.AddField("DTHRINCMOV", FieldType::kDateTime);
  t.AddField("QTITENS", FieldType::kInteger);
  t.CreateDataSet();
  t.SetLogChanges(false);
  Field& filial = t.FieldByName("CDFILIAL");
  Field& nome = t.FieldByName("NMTIPORECE");
  Field& valor = t.FieldByName("VRMOVIVEND");
  Field& quando = t.FieldByName("DTHRINCMOV");
  Field& itens = t.FieldByName("QTITENS");
  const TDateTime start = EncodeDateTime(2024, 1, 5, 8, 0, 0, 0);
  for (int i = 0; i < kRows; ++i) {
    t.Append();
    filial.SetAsString("0001");
    nome.SetAsString(i % 3 == 0 ? "Cart\xE3o de cr\xE9"
                                  "dito"
                                : "Dinheiro");
    valor.SetAsFloat(i * 0.37);
    quando.SetAsDateTime(start + i / 86400.0);
    if (i % 10 != 0) itens.SetAsInteger(i % 50);
    t.Post();
  }
}

// Bytes the process heap holds now (glibc's count of allocated blocks).
double HeapBytes() { return static_cast<double>(mallinfo2().uordblks); }

// Loads `packet` into fresh tables, reporting the heap a loaded table holds
// (table_MiB: records and indexes, the packet itself not counted) and the
// most the load had allocated at once (peak_MiB: the table and whatever the
// reading needed on the way). Freeing each table is left out of the time.
void Load(benchmark::State& state, const std::string& packet) {
  double held = 0;
  double peak = 0;
  for (auto _ : state) {
    auto t = std::make_unique<MemTable>();
    const double before = HeapBytes();
    const size_t live_before = g_live_bytes;
    g_peak_bytes = live_before;
    t->SetData(packet);
    held = HeapBytes() - before;
    peak = static_cast<double>(g_peak_bytes - live_before);
    benchmark::DoNotOptimize(t->RecordCount());
    state.PauseTiming();
    t.reset();
    state.ResumeTiming();
  }
  state.counters["table_MiB"] = held / (1024.0 * 1024.0);
  state.counters["peak_MiB"] = peak / (1024.0 * 1024.0);
  state.SetItemsProcessed(state.iterations() * kRows);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(packet.size()));
}

const MemTable& Source() {
  static MemTable* table = [] {
    auto* t = new MemTable("cdsMovCaixa");
    Fill(*t);
    return t;
  }();
  return *table;
}

void BM_WriteBinary(benchmark::State& state) {
  const MemTable& t = Source();
  for (auto _ : state) benchmark::DoNotOptimize(t.Data());
  state.SetItemsProcessed(state.iterations() * kRows);
}

void BM_ReadBinary(benchmark::State& state) { Load(state, Source().Data()); }

void BM_WriteXml(benchmark::State& state) {
  const MemTable& t = Source();
  size_t bytes = 0;
  for (auto _ : state) {
    const std::string packet = t.SaveToString(MemTable::PacketFormat::kXml);
    bytes = packet.size();
    benchmark::DoNotOptimize(packet.data());
  }
  state.counters["packet_MB"] = static_cast<double>(bytes) / 1e6;
  state.SetItemsProcessed(state.iterations() * kRows);
}

void BM_ReadXml(benchmark::State& state) {
  Load(state, Source().SaveToString(MemTable::PacketFormat::kXml));
}

BENCHMARK(BM_WriteBinary)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadBinary)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteXml)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadXml)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zel

BENCHMARK_MAIN();
