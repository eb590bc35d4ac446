// The merge page's list loader and joins on lists of a million lines, and the whole handler
// (grids already filled) appending to a real 合并数据.txt in a temporary directory.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "pages/merge.h"
#include "text/encoding.h"
#include "tests/support/fake_units.h"

namespace lanzhou {
namespace {

constexpr int kLines = 1'000'000;

// "user123@example.com" lines, CR LF ended.
std::string AccountFile(int lines) {
  std::string file;
  for (int i = 0; i < lines; ++i) file += "user" + std::to_string(i) + "@example.com\r\n";
  return file;
}

// Chinese names with a number, in GBK (or UTF-8), LF ended.
std::string NameFile(int lines, bool utf8) {
  const std::string name = utf8 ? "张三丰" : FromUtf8("张三丰").bytes();
  std::string file;
  for (int i = 0; i < lines; ++i) file += name + std::to_string(i) + "\n";
  return file;
}

void BM_SplitListLines(benchmark::State& state, std::string file) {
  for (auto _ : state) benchmark::DoNotOptimize(SplitListLines(file));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * file.size()));
  state.SetItemsProcessed(state.iterations() * kLines);
}
BENCHMARK_CAPTURE(BM_SplitListLines, ascii_crlf, AccountFile(kLines))
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SplitListLines, gbk_lf, NameFile(kLines, false))
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SplitListLines, utf8_lf, NameFile(kLines, true))
    ->Unit(benchmark::kMillisecond);

void BM_AppendJoinedListPairs(benchmark::State& state) {
  const std::string a = AccountFile(kLines);
  const std::string b = NameFile(kLines, false);
  size_t bytes = 0;
  for (auto _ : state) {
    std::string out;
    AppendJoinedListPairs(a, b, out);
    bytes = out.size();
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
  state.SetItemsProcessed(state.iterations() * kLines);
}
BENCHMARK(BM_AppendJoinedListPairs)->Unit(benchmark::kMillisecond);

void BM_AppendJoinedListWithDatum(benchmark::State& state) {
  const std::string a = AccountFile(kLines);
  const std::string datum = FromUtf8("共用|数据").bytes();
  size_t bytes = 0;
  for (auto _ : state) {
    std::string out;
    AppendJoinedListWithDatum(a, datum, out);
    bytes = out.size();
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
  state.SetItemsProcessed(state.iterations() * kLines);
}
BENCHMARK(BM_AppendJoinedListWithDatum)->Unit(benchmark::kMillisecond);

// The click handler over filled grids: join, progress and the append to the file.
void BM_OnMergeClicked(benchmark::State& state) {
  std::string pattern = (std::filesystem::temp_directory_path() / "merge_bench_XXXXXX").string();
  const std::filesystem::path dir = mkdtemp(pattern.data());
  FakeUnits units{Text(dir.string())};
  const TextArray lists[] = {SplitListLines(AccountFile(kLines)),
                             SplitListLines(NameFile(kLines, false))};
  const Unit grids[] = {Unit::超级列表框A, Unit::超级列表框b};
  for (int g = 0; g < 2; ++g) {
    GridData& grid = units.Grid(grids[g]);
    grid.InsertColumn();
    grid.InsertColumn();
    for (const Text& line : lists[g]) grid.AppendRow({Text("1"), line});
  }
  for (auto _ : state) {
    std::filesystem::remove(ToUtf8(MergeOutputPath(units.RunDirectory())));
    OnMergeClicked(units);
  }
  state.SetItemsProcessed(state.iterations() * kLines);
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_OnMergeClicked)->Unit(benchmark::kMillisecond);

// Dropping a file of a million lines onto an empty grid.
void BM_OnListADropped(benchmark::State& state) {
  std::string pattern = (std::filesystem::temp_directory_path() / "merge_bench_XXXXXX").string();
  const std::filesystem::path dir = mkdtemp(pattern.data());
  const std::filesystem::path file = dir / "a.txt";
  {
    FILE* out = fopen(file.c_str(), "wb");
    const std::string bytes = AccountFile(kLines);
    fwrite(bytes.data(), 1, bytes.size(), out);
    fclose(out);
  }
  FakeUnits units{Text(dir.string())};
  GridData& grid = units.Grid(Unit::超级列表框A);
  grid.InsertColumn();
  grid.InsertColumn();
  for (auto _ : state) {
    state.PauseTiming();
    grid.DeleteAllItems();
    state.ResumeTiming();
    OnListADropped(units, Text(file.string()));
  }
  state.SetItemsProcessed(state.iterations() * kLines);
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_OnListADropped)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace lanzhou

BENCHMARK_MAIN();
