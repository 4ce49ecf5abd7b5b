// Cost of the locale formatting and parsing that every printed line goes
// through.
#include <benchmark/benchmark.h>

#include "runtime/convert.h"
#include "runtime/datetime.h"
#include "runtime/format.h"

namespace {

void BM_FormatFloatGrouped(benchmark::State& state) {
  double v = 1234567.891;
  for (auto _ : state) benchmark::DoNotOptimize(zel::FormatFloat("#,##0.00", v));
}
BENCHMARK(BM_FormatFloatGrouped);

void BM_FloatToStr(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(zel::FloatToStr(2.0 / 3));
}
BENCHMARK(BM_FloatToStr);

void BM_StrToFloat(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(zel::StrToFloat("1234,56"));
}
BENCHMARK(BM_StrToFloat);

void BM_FormatDateTime(benchmark::State& state) {
  const zel::TDateTime t = zel::EncodeDateTime(2024, 1, 5, 3, 4, 5, 6);
  for (auto _ : state) benchmark::DoNotOptimize(zel::FormatDateTime("dd/mm/yyyy hh:nn:ss", t));
}
BENCHMARK(BM_FormatDateTime);

void BM_StrToDateTime(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(zel::StrToDateTime("05/01/2024 14:05:09"));
}
BENCHMARK(BM_StrToDateTime);

}  // namespace

BENCHMARK_MAIN();
