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

// Records whose field 2 is not their last, each holding a dash that is no separator: a lone
// one in a date, three in a row, or four ending the line. Worked on one thread, so that the
// CPU time is all of the work: twice the records take twice the time, whatever their shape.
std::string DashedRecords(int count, const char* shape) {
  std::string out;
  for (int i = 0; i < count; ++i) out += "user" + std::to_string(i) + shape + "\r\n";
  return out;
}

void BM_ExtractDashed(benchmark::State& state, const char* shape) {
  const int count = static_cast<int>(state.range(0));
  const std::string records = DashedRecords(count, shape);
  for (auto _ : state) {
    std::size_t written = 0;
    WriteExtractedFields(records, Text("2"), 1, [&](std::string_view part) {
      written += part.size();
      return true;
    });
    benchmark::DoNotOptimize(written);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * records.size()));
  state.SetItemsProcessed(state.iterations() * count);
}
void DoublingRecords(benchmark::internal::Benchmark* b) {
  for (int n = 100'000; n <= 800'000; n *= 2) b->Arg(n);
  b->Unit(benchmark::kMillisecond);
}
BENCHMARK_CAPTURE(BM_ExtractDashed, date, "|2023-12-05|city")->Apply(DoublingRecords);
BENCHMARK_CAPTURE(BM_ExtractDashed, three_dashes, "|a---b|city")->Apply(DoublingRecords);
BENCHMARK_CAPTURE(BM_ExtractDashed, four_at_end, "|138|city----")->Apply(DoublingRecords);

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
