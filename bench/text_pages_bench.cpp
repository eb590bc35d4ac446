// The three text pages' operations on a million records (about 50 MB of GBK, a third of the
// records repeating earlier ones): field extraction, duplicate removal, cleaning and wrapping.
// Run with --dump=<file> to write the records (CR LF) for the whole-program comparisons.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "bench/text_pages_records.h"
#include "pages/dedupe.h"
#include "pages/extract.h"
#include "pages/wrap.h"

namespace lanzhou {
namespace {

constexpr int kRecords = 1'000'000;

const std::string& Records() {
  static const std::string records = GbkRecords(kRecords);
  return records;
}

void Report(benchmark::State& state, std::size_t bytes) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
  state.SetItemsProcessed(state.iterations() * kRecords);
}

void BM_ExtractFields(benchmark::State& state, const char* numbers) {
  const Text records(Records());
  for (auto _ : state) benchmark::DoNotOptimize(ExtractFields(records, Text(numbers)));
  Report(state, records.size());
}
BENCHMARK_CAPTURE(BM_ExtractFields, field_2, "2")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ExtractFields, fields_4_1, "4|1")->Unit(benchmark::kMillisecond);

void BM_DistinctLines(benchmark::State& state) {
  const Text records(Records());
  for (auto _ : state) benchmark::DoNotOptimize(DistinctLines(records));
  Report(state, records.size());
}
BENCHMARK(BM_DistinctLines)->Unit(benchmark::kMillisecond);

void BM_CleanForWrap(benchmark::State& state) {
  const Text records(Records());
  const bool filter = state.range(0) != 0;
  for (auto _ : state) benchmark::DoNotOptimize(CleanForWrap(records, filter));
  Report(state, records.size());
}
BENCHMARK(BM_CleanForWrap)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_WrapText(benchmark::State& state) {
  const Text cleaned = CleanForWrap(Text(Records()), false);
  const int width = static_cast<int>(state.range(0));
  for (auto _ : state) benchmark::DoNotOptimize(WrapText(cleaned, width));
  Report(state, cleaned.size());
}
BENCHMARK(BM_WrapText)->Arg(40)->Arg(8)->Arg(200)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace lanzhou

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--dump=", 7) == 0) {
      std::ofstream(argv[i] + 7, std::ios::binary) << lanzhou::Records();
      return 0;
    }
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
