// The GB18030 <-> UTF-8 converter beside glibc's iconv, both ways, on ASCII-heavy records
// (`user<n>----pw<n>|<name>|<city>|<phone>`) and on Chinese-heavy text. Bytes per second
// count the input of each direction.
#include <benchmark/benchmark.h>
#include <iconv.h>

#include <string>
#include <string_view>

#include "text/encoding.h"

namespace lanzhou {
namespace {

constexpr int kRecords = 400'000;

// In UTF-8.
const std::string& AsciiHeavy() {
  static const std::string text = [] {
    const char* names[] = {"张三", "李四", "王五", "赵六"};
    const char* cities[] = {"北京市", "上海市", "广州市", "兰州市"};
    std::string all;
    for (int i = 0; i < kRecords; ++i) {
      all += "user" + std::to_string(i) + "----pw" + std::to_string(i * 7919LL % 1000003) + "|" +
             names[i % 4] + "|" + cities[i % 3] + "|138" + std::to_string(10000000 + i) + "\r\n";
    }
    return all;
  }();
  return text;
}

const std::string& ChineseHeavy() {
  static const std::string text = [] {
    const std::string line =
        "兰州市位于中国西北，黄河穿城而过，是丝绸之路上的重要城市，牛肉面闻名全国。\r\n";
    std::string all;
    while (all.size() < AsciiHeavy().size()) all += line;
    return all;
  }();
  return text;
}

std::string Iconv(const char* to, const char* from, std::string_view in) {
  static thread_local iconv_t cd = nullptr;
  static thread_local std::string pair;
  if (pair != std::string(to) + from) {
    if (cd != nullptr) iconv_close(cd);
    cd = iconv_open(to, from);
    pair = std::string(to) + from;
  }
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  std::string out(in.size() * 2 + 16, '\0');
  char* src = const_cast<char*>(in.data());
  std::size_t left = in.size();
  char* dst = out.data();
  std::size_t room = out.size();
  iconv(cd, &src, &left, &dst, &room);
  out.resize(out.size() - room);
  return out;
}

enum Kind { kAscii, kChinese };
const std::string& Utf8Of(Kind kind) { return kind == kAscii ? AsciiHeavy() : ChineseHeavy(); }

void BM_Utf8ToGb18030(benchmark::State& state) {
  const std::string& utf8 = Utf8Of(static_cast<Kind>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(FromUtf8(utf8));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * utf8.size()));
}
BENCHMARK(BM_Utf8ToGb18030)->Arg(kAscii)->Arg(kChinese)->Unit(benchmark::kMillisecond);

void BM_Utf8ToGb18030Iconv(benchmark::State& state) {
  const std::string& utf8 = Utf8Of(static_cast<Kind>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(Iconv("GB18030", "UTF-8", utf8));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * utf8.size()));
}
BENCHMARK(BM_Utf8ToGb18030Iconv)->Arg(kAscii)->Arg(kChinese)->Unit(benchmark::kMillisecond);

void BM_Gb18030ToUtf8(benchmark::State& state) {
  const std::string gb = FromUtf8(Utf8Of(static_cast<Kind>(state.range(0)))).bytes();
  for (auto _ : state) benchmark::DoNotOptimize(ToUtf8(gb));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * gb.size()));
}
BENCHMARK(BM_Gb18030ToUtf8)->Arg(kAscii)->Arg(kChinese)->Unit(benchmark::kMillisecond);

void BM_Gb18030ToUtf8Iconv(benchmark::State& state) {
  const std::string gb = FromUtf8(Utf8Of(static_cast<Kind>(state.range(0)))).bytes();
  for (auto _ : state) benchmark::DoNotOptimize(Iconv("UTF-8", "GB18030", gb));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * gb.size()));
}
BENCHMARK(BM_Gb18030ToUtf8Iconv)->Arg(kAscii)->Arg(kChinese)->Unit(benchmark::kMillisecond);

// The automatic detection of a UTF-8 input, whole (detection and conversion), beside the
// conversion alone (--input-encoding utf-8).
void BM_DecodeUtf8Input(benchmark::State& state) {
  const std::string& utf8 = Utf8Of(static_cast<Kind>(state.range(0)));
  const auto how = state.range(1) ? InputEncoding::kAuto : InputEncoding::kUtf8;
  for (auto _ : state) benchmark::DoNotOptimize(DecodeInput(utf8, how));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * utf8.size()));
}
BENCHMARK(BM_DecodeUtf8Input)
    ->Args({kAscii, 0})
    ->Args({kAscii, 1})
    ->Args({kChinese, 0})
    ->Args({kChinese, 1})
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace lanzhou

BENCHMARK_MAIN();
