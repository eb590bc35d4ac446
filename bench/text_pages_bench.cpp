// The three text pages' operations on a million records (about 50 MB of GBK, a third of the
// records repeating earlier ones): field extraction, duplicate removal, cleaning and wrapping.
// Run with --dump=<file> to write the records (CR LF) for the whole-program comparisons.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "pages/dedupe.h"
#include "pages/extract.h"
#include "pages/wrap.h"
#include "services/encoding.h"

namespace lanzhou {
namespace {

constexpr int kRecords = 1'000'000;

// A fixed 64-bit LCG: the same records on every machine and library.
class Lcg {
 public:
  std::uint32_t Next() {
    state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<std::uint32_t>(state_ >> 33);
  }
  std::uint32_t Below(std::uint32_t n) { return Next() % n; }

 private:
  std::uint64_t state_ = 20150304;
};

// name----account----password----city, e.g. 欧阳明华----138004211234----k3Jx9q2ZpW----北京市
// (48 to 56 bytes); every third record repeats an earlier one.
const std::string& Records() {
  static const std::string records = [] {
    const std::vector<std::string> surnames = {FromUtf8("张").bytes(),   FromUtf8("王").bytes(),
                                               FromUtf8("李").bytes(),   FromUtf8("赵").bytes(),
                                               FromUtf8("欧阳").bytes(), FromUtf8("刘").bytes()};
    const std::vector<std::string> given = {FromUtf8("明").bytes(), FromUtf8("华").bytes(),
                                            FromUtf8("伟").bytes(), FromUtf8("芳").bytes(),
                                            FromUtf8("說").bytes(), FromUtf8("静").bytes(),
                                            FromUtf8("强").bytes(), FromUtf8("丽").bytes()};
    const std::vector<std::string> cities = {FromUtf8("北京市").bytes(), FromUtf8("上海市").bytes(),
                                             FromUtf8("兰州市").bytes(), FromUtf8("广州市").bytes(),
                                             FromUtf8("乌鲁木齐市").bytes()};
    const char alphabet[] = "abcdefghijkmnpqrstuvwxyzABCDEFGHJKLMNPQRSTUVWXYZ23456789";
    Lcg random;
    std::vector<std::size_t> starts;  // where each record begins, for the repeats
    std::string out;
    out.reserve(56ull * kRecords);
    for (int i = 0; i < kRecords; ++i) {
      const std::size_t start = out.size();
      if (i % 3 == 2) {
        const std::size_t k = random.Below(static_cast<std::uint32_t>(starts.size()));
        const std::size_t end = k + 1 < starts.size() ? starts[k + 1] : start;
        out.append(out, starts[k], end - starts[k]);  // includes its CR LF
      } else {
        out += surnames[random.Below(surnames.size())];
        for (int n = 1 + static_cast<int>(random.Below(2)); n > 0; --n) {
          out += given[random.Below(given.size())];
        }
        out += "----1";
        for (int d = 0; d < 11; ++d) out += static_cast<char>('0' + random.Below(10));
        out += "----";
        for (int c = 0; c < 10; ++c) out += alphabet[random.Below(sizeof alphabet - 1)];
        out += "----";
        out += cities[random.Below(cities.size())];
        out += "\r\n";
      }
      starts.push_back(start);
    }
    return out;
  }();
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
