// The reorder page on a file of a million lines of six "|"-separated fields (about 60 MB):
// loading into a grid, the column-order export, and both handlers end to end through real
// files in a temporary directory.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "pages/reorder.h"
#include "text/encoding.h"
#include "tests/support/fake_units.h"

namespace lanzhou {
namespace {

constexpr int kLines = 1'000'000;

// user0000001|张三丰|13800000001|2015-03-04|北京市朝阳区|65432, CR LF ended; GBK or UTF-8.
std::string RecordFile(int lines, bool utf8) {
  auto text = [utf8](const char* s) { return utf8 ? std::string(s) : FromUtf8(s).bytes(); };
  const std::string name = text("张三丰");
  const std::string city = text("北京市朝阳区");
  std::string file;
  char number[16];
  for (int i = 0; i < lines; ++i) {
    snprintf(number, sizeof number, "%07d", i);
    file += "user";
    file += number;
    file += '|';
    file += name;
    file += "|1380";
    file += number;
    file += "|2015-03-04|";
    file += city;
    file += '|';
    file += std::to_string(i % 99991);
    file += "\r\n";
  }
  return file;
}

const std::string& GbkFile() {
  static const std::string file = RecordFile(kLines, false);
  return file;
}

std::filesystem::path MakeTempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "reorder_bench_XXXXXX").string();
  return mkdtemp(pattern.data());
}

void BM_LoadDelimitedBytes(benchmark::State& state, bool utf8) {
  const std::string file = utf8 ? RecordFile(kLines, true) : GbkFile();
  for (auto _ : state) {
    auto grid = std::make_unique<GridData>();
    LoadDelimitedBytes(file, "|", *grid);
    benchmark::DoNotOptimize(grid->ItemCount());
    state.PauseTiming();
    grid.reset();
    state.ResumeTiming();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * file.size()));
  state.SetItemsProcessed(state.iterations() * kLines);
}
BENCHMARK_CAPTURE(BM_LoadDelimitedBytes, gbk, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LoadDelimitedBytes, utf8, true)->Unit(benchmark::kMillisecond);

void BM_ExportColumns(benchmark::State& state, const char* order) {
  GridData grid;
  LoadDelimitedBytes(GbkFile(), "|", grid);
  std::size_t bytes = 0;
  for (auto _ : state) {
    const Bytes out = ExportColumns(grid, Text(order), "|");
    bytes = out.size();
    benchmark::DoNotOptimize(out.view().data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
  state.SetItemsProcessed(state.iterations() * kLines);
}
BENCHMARK_CAPTURE(BM_ExportColumns, order_3_1, "3,1")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ExportColumns, order_6_5_4_3_2_1, "6,5,4,3,2,1")
    ->Unit(benchmark::kMillisecond);

// A drop of the file on the page (prompt answered "|"), then the export of columns 3,1 to
// 处理后_<time>.txt: what the user waits for, without the window.
void BM_DropThenExportHandlers(benchmark::State& state) {
  const std::filesystem::path dir = MakeTempDir();
  const std::filesystem::path input = dir / "in.txt";
  std::ofstream(input, std::ios::binary) << GbkFile();
  for (auto _ : state) {
    FakeUnits units{Text(dir.string())};
    units.SetEditText(Unit::编辑框_列, "3,1");
    units.dialogs().QueueText(Text("|"));
    units.dialogs().QueueText(Text("|"));
    OnImportDropped(units, Text(input.string()));
    OnExportClicked(units);
    benchmark::DoNotOptimize(units.dialogs().messages.size());
    state.PauseTiming();
    units.Grid(Unit::超级列表框1).DeleteAllItems();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kLines);
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_DropThenExportHandlers)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace lanzhou

BENCHMARK_MAIN();
