// The text core on a million GBK records: splitting, replacing, encoding, and reading a real
// file line by line through a file number, as the import page does.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "text/encoding.h"
#include "io/files.h"
#include "text/text_primitives.h"

namespace lanzhou {
namespace {

constexpr int kLines = 1'000'000;

// "张三|13800138000|北京市海淀区" records in GBK, CR LF ended.
const std::string& Records() {
  static const std::string records = [] {
    const std::string record = FromUtf8("张三|138001380|北京市海淀区").bytes();
    std::string all;
    for (int i = 0; i < kLines; ++i) all += record + std::to_string(i) + "\r\n";
    return all;
  }();
  return records;
}

void BM_SplitTextLines(benchmark::State& state) {
  const Text text(Records());
  for (auto _ : state) benchmark::DoNotOptimize(SplitText(text, Text("\r\n")));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_SplitTextLines)->Unit(benchmark::kMillisecond);

void BM_ReplaceSubtext(benchmark::State& state) {
  const Text text(Records());
  for (auto _ : state) {
    benchmark::DoNotOptimize(ReplaceSubtext(text, Text("|"), Text("----"), 1, std::nullopt, false));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ReplaceSubtext)->Unit(benchmark::kMillisecond);

void BM_DecodeUtf8Input(benchmark::State& state) {
  const std::string utf8 = ToUtf8(Text(Records()));
  for (auto _ : state) benchmark::DoNotOptimize(DecodeInput(utf8));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * utf8.size()));
}
BENCHMARK(BM_DecodeUtf8Input)->Unit(benchmark::kMillisecond);

void BM_ReadLineWholeFile(benchmark::State& state) {
  std::string dir = (std::filesystem::temp_directory_path() / "lanzhou-bench-XXXXXX").string();
  if (mkdtemp(dir.data()) == nullptr) {
    state.SkipWithError("no temporary directory");
    return;
  }
  const std::string path = dir + "/records.txt";
  std::ofstream(path, std::ios::binary) << Records();
  for (auto _ : state) {
    FileNumber f = OpenFile(Text(path));
    long lines = 0;
    while (!IsEndOfFile(f, true)) {
      benchmark::DoNotOptimize(ReadLine(f));
      ++lines;
    }
    CloseFile(f);
    if (lines != kLines) state.SkipWithError("wrong line count");
  }
  state.SetItemsProcessed(state.iterations() * kLines);
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_ReadLineWholeFile)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace lanzhou

BENCHMARK_MAIN();
