// The input-encoding detector: how often it reads real snippets right, and what it costs on
// large inputs.
//
//   detection_bench --corpus=FILE   prints the table of snippets read right, per length and
//                                   language (FILE from bench/detection_corpus.py; run
//                                   bench/detection.sh for the whole measurement)
//   detection_bench                 times DecodeInput on 70 MB inputs (Google Benchmark)
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "text/encoding.h"
#include "text/encoding_detect.h"

namespace lanzhou {
namespace {

std::string FromHex(std::string_view hex) {
  std::string out;
  out.reserve(hex.size() / 2);
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    out += static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16));
  }
  return out;
}

struct Tally {
  int right = 0;
  int total = 0;
};

std::string Percent(const Tally& t) {
  if (t.total == 0) return "";
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.2f%%", 100.0 * t.right / t.total);
  return buffer;
}

// Reads the corpus and prints one row per snippet length: the share of GBK snippets read as
// GBK and, per language, of UTF-8 snippets read as UTF-8. With `misses`, prints every snippet
// read wrong (as UTF-8) to standard error.
int PrintTable(const char* path, bool misses) {
  std::ifstream in(path);
  if (!in) {
    std::fprintf(stderr, "cannot read %s\n", path);
    return 1;
  }
  // (expected, language, length) -> tally
  std::map<std::tuple<char, std::string, std::string>, Tally> tallies;
  std::string expected, group, hex;
  while (in >> expected >> group >> hex) {
    const std::string bytes = FromHex(hex);
    DetectedEncoding detected{};
    DecodeInput(bytes, InputEncoding::kAuto, &detected);
    const bool right = (detected == DetectedEncoding::kGbk) == (expected == "G");
    const std::size_t colon = group.find(':');
    Tally& t = tallies[{expected[0], group.substr(0, colon), group.substr(colon + 1)}];
    t.right += right;
    ++t.total;
    if (!right && misses)
      std::fprintf(stderr, "%s %s %s\n", expected.c_str(), group.c_str(),
                   ToUtf8(DecodeInput(bytes, InputEncoding::kUtf8)).c_str());
  }
  const char* lengths[] = {"1", "2", "3", "4", "8", "30", "word", "line"};
  const char* languages[] = {"zh", "de", "ru", "cs", "es"};
  std::printf(
      "| snippet | GBK zh read as GBK | UTF-8 zh | UTF-8 de | UTF-8 ru | UTF-8 cs | "
      "UTF-8 es |\n|---|---:|---:|---:|---:|---:|---:|\n");
  for (const char* length : lengths) {
    std::string row = std::string("| ") + length + " | " + Percent(tallies[{'G', "zh", length}]);
    for (const char* language : languages) row += " | " + Percent(tallies[{'U', language, length}]);
    std::printf("%s |\n", row.c_str());
  }
  return 0;
}

// 70 MB of text: Chinese prose lines with some ASCII, the kind of input the pages are fed.
std::string SeventyMegabytes(bool utf8) {
  const std::string line = "user0000001|张三丰|13800000001|北京市朝阳区|兰州黄河铁桥，牛肉面。\r\n";
  const std::string bytes = utf8 ? line : FromUtf8(line).bytes();
  std::string text;
  text.reserve(70 << 20);
  while (text.size() + bytes.size() <= (70u << 20)) text += bytes;
  return text;
}

void BM_DecodeInput(benchmark::State& state) {
  const std::string input = SeventyMegabytes(state.range(0) == 1);
  for (auto _ : state) {
    std::string storage;
    benchmark::DoNotOptimize(DecodeInputView(input, storage));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * input.size()));
}
BENCHMARK(BM_DecodeInput)->Arg(0)->Arg(1)->ArgName("utf8")->Unit(benchmark::kMillisecond);

// The detector's own share of the above: the guess alone.
void BM_GuessEncoding(benchmark::State& state) {
  const std::string input = SeventyMegabytes(state.range(0) == 1);
  for (auto _ : state) benchmark::DoNotOptimize(GuessEncoding(input));
}
BENCHMARK(BM_GuessEncoding)->Arg(0)->Arg(1)->ArgName("utf8")->Unit(benchmark::kMicrosecond);

// Reading the 70 MB from a file (in the page cache), for scale.
void BM_ReadFile(benchmark::State& state) {
  const std::string input = SeventyMegabytes(state.range(0) == 1);
  const std::string path = "/tmp/lanzhou-detection-bench.txt";
  std::ofstream(path, std::ios::binary).write(input.data(), static_cast<long>(input.size()));
  for (auto _ : state) {
    std::ifstream in(path, std::ios::binary);
    std::string bytes(input.size(), '\0');
    in.read(bytes.data(), static_cast<long>(bytes.size()));
    benchmark::DoNotOptimize(bytes);
  }
  std::remove(path.c_str());
}
BENCHMARK(BM_ReadFile)->Arg(0)->Arg(1)->ArgName("utf8")->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace lanzhou

int main(int argc, char** argv) {
  bool misses = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--misses") == 0) misses = true;
  }
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--corpus=", 9) == 0) {
      return lanzhou::PrintTable(argv[i] + 9, misses);
    }
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  return 0;
}
