// Cost of cutting document texts into feed calls: a long listing printed as
// a gerencial report (500-byte chunks) and a card slip (four-line feeds).
#include <benchmark/benchmark.h>

#include <string>

#include "documents/text_feed.h"

namespace {

// `lines` listing lines of about 50 bytes each.
std::string Listing(int lines) {
  std::string text;
  for (int i = 0; i < lines; ++i) {
    text += "PRODUTO " + std::to_string(i) + std::string(30, '.') + "   12,34\n";
  }
  return text;
}

void BM_ReportChunks(benchmark::State& state) {
  const std::string text = Listing(static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(zel::documents::ReportChunks(text));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_ReportChunks)->Arg(40)->Arg(5000);

void BM_SlipChunks(benchmark::State& state) {
  const std::string text = Listing(30);
  for (auto _ : state) benchmark::DoNotOptimize(zel::documents::SlipChunks(text));
}
BENCHMARK(BM_SlipChunks);

}  // namespace

BENCHMARK_MAIN();
