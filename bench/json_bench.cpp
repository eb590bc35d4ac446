// Building and writing a document of 1,000,000 values: 100,000 objects of 10 members of
// mixed kinds in one array, through JsonHandle and ToJson, and the same document with
// nlohmann::json and RapidJSON for comparison. Each iteration builds, writes and releases.
#include <benchmark/benchmark.h>

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>
#include <nlohmann/json.hpp>

#include <cstdint>
#include <string>
#include <vector>

#include "json/json_handle.h"

namespace lanzhou {
namespace {

constexpr int kObjects = 100000;

struct Row {
  std::int32_t id;
  std::int64_t big;
  float ratio;
  double score;
  bool active;
  std::string name, city, path;
};

const std::vector<Row>& Rows() {
  static const std::vector<Row> rows = [] {
    std::vector<Row> out;
    out.reserve(kObjects);
    for (int i = 0; i < kObjects; ++i) {
      out.push_back(Row{i, 10000000000LL + i * 7919LL, static_cast<float>(i % 1000) / 8.0f,
                        i * 0.37 + 0.001, i % 3 == 0, "user" + std::to_string(i),
                        // GBK "北京" plus a number; the writers pass double-byte text through
                        "\xB1\xB1\xBE\xA9" + std::to_string(i % 97),
                        "dir/file_" + std::to_string(i % 500) + ".txt"});
    }
    return out;
  }();
  return rows;
}

// Member names, one of each kind: int, long, float, double, bool, three texts, null, int.
const char* const kKeys[10] = {"id",   "big",  "ratio", "score", "active",
                               "name", "city", "path",  "none",  "rank"};

// The document with RapidJSON's document allocator; its keys refer to the constant names
// instead of being copied.
void BuildRapidJson(rapidjson::Document& doc) {
  const std::vector<Row>& rows = Rows();
  doc.SetArray();
  auto& alloc = doc.GetAllocator();
  for (int i = 0; i < kObjects; ++i) {
    const Row& r = rows[i];
    rapidjson::Value item(rapidjson::kObjectType);
    item.AddMember(rapidjson::StringRef(kKeys[0]), r.id, alloc);
    item.AddMember(rapidjson::StringRef(kKeys[1]), r.big, alloc);
    item.AddMember(rapidjson::StringRef(kKeys[2]), r.ratio, alloc);
    item.AddMember(rapidjson::StringRef(kKeys[3]), r.score, alloc);
    item.AddMember(rapidjson::StringRef(kKeys[4]), r.active, alloc);
    item.AddMember(rapidjson::StringRef(kKeys[5]),
                   rapidjson::Value(r.name.data(), r.name.size(), alloc), alloc);
    item.AddMember(rapidjson::StringRef(kKeys[6]),
                   rapidjson::Value(r.city.data(), r.city.size(), alloc), alloc);
    item.AddMember(rapidjson::StringRef(kKeys[7]),
                   rapidjson::Value(r.path.data(), r.path.size(), alloc), alloc);
    item.AddMember(rapidjson::StringRef(kKeys[8]), rapidjson::Value(), alloc);
    item.AddMember(rapidjson::StringRef(kKeys[9]), kObjects - i, alloc);
    doc.PushBack(item, alloc);
  }
}

void BM_JsonHandleBuildAndWrite(benchmark::State& state) {
  const std::vector<Row>& rows = Rows();
  const Text keys[10] = {kKeys[0], kKeys[1], kKeys[2], kKeys[3], kKeys[4],
                         kKeys[5], kKeys[6], kKeys[7], kKeys[8], kKeys[9]};
  std::size_t bytes = 0;
  for (auto _ : state) {
    JsonHandle doc;
    for (int i = 0; i < kObjects; ++i) {
      const Row& r = rows[i];
      JsonHandle item = doc.Index(i + 1);
      item.Member(keys[0]).IntValue(r.id, true);
      item.Member(keys[1]).LongValue(r.big, true);
      item.Member(keys[2]).FloatValue(r.ratio, true);
      item.Member(keys[3]).DoubleValue(r.score, true);
      item.Member(keys[4]).BoolValue(r.active, true);
      item.Member(keys[5]).TextValue(Text(r.name), true);
      item.Member(keys[6]).TextValue(Text(r.city), true);
      item.Member(keys[7]).TextValue(Text(r.path), true);
      item.Member(keys[8]);
      item.Member(keys[9]).IntValue(kObjects - i, true);
    }
    const Text json = doc.ToJson();
    bytes = json.size();
    benchmark::DoNotOptimize(json.c_str());
    doc.Remove(true, false);
  }
  state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_JsonHandleBuildAndWrite)->Unit(benchmark::kMillisecond);

void BM_NlohmannBuildAndWrite(benchmark::State& state) {
  const std::vector<Row>& rows = Rows();
  std::size_t bytes = 0;
  for (auto _ : state) {
    nlohmann::json doc = nlohmann::json::array();
    for (int i = 0; i < kObjects; ++i) {
      const Row& r = rows[i];
      nlohmann::json item;
      item[kKeys[0]] = r.id;
      item[kKeys[1]] = r.big;
      item[kKeys[2]] = r.ratio;
      item[kKeys[3]] = r.score;
      item[kKeys[4]] = r.active;
      item[kKeys[5]] = r.name;
      item[kKeys[6]] = r.city;
      item[kKeys[7]] = r.path;
      item[kKeys[8]] = nullptr;
      item[kKeys[9]] = kObjects - i;
      doc.push_back(std::move(item));
    }
    // Replace: the GBK text is not UTF-8, which dump() would otherwise refuse.
    const std::string json = doc.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    bytes = json.size();
    benchmark::DoNotOptimize(json.data());
  }
  state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_NlohmannBuildAndWrite)->Unit(benchmark::kMillisecond);

void BM_RapidJsonBuildAndWrite(benchmark::State& state) {
  std::size_t bytes = 0;
  for (auto _ : state) {
    rapidjson::Document doc;
    BuildRapidJson(doc);
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    doc.Accept(writer);
    bytes = buffer.GetSize();
    benchmark::DoNotOptimize(buffer.GetString());
  }
  state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_RapidJsonBuildAndWrite)->Unit(benchmark::kMillisecond);

// The two halves of ours on their own.
void BM_JsonHandleWriteOnly(benchmark::State& state) {
  const std::vector<Row>& rows = Rows();
  JsonHandle doc;
  for (int i = 0; i < kObjects; ++i) {
    const Row& r = rows[i];
    JsonHandle item = doc.Index(i + 1);
    item.Member(kKeys[0]).IntValue(r.id, true);
    item.Member(kKeys[1]).LongValue(r.big, true);
    item.Member(kKeys[2]).FloatValue(r.ratio, true);
    item.Member(kKeys[3]).DoubleValue(r.score, true);
    item.Member(kKeys[4]).BoolValue(r.active, true);
    item.Member(kKeys[5]).TextValue(Text(r.name), true);
    item.Member(kKeys[6]).TextValue(Text(r.city), true);
    item.Member(kKeys[7]).TextValue(Text(r.path), true);
    item.Member(kKeys[8]);
    item.Member(kKeys[9]).IntValue(kObjects - i, true);
  }
  for (auto _ : state) {
    const Text json = doc.ToJson();
    benchmark::DoNotOptimize(json.c_str());
  }
  doc.Remove(true, false);
}
BENCHMARK(BM_JsonHandleWriteOnly)->Unit(benchmark::kMillisecond);

void BM_NlohmannWriteOnly(benchmark::State& state) {
  const std::vector<Row>& rows = Rows();
  nlohmann::json doc = nlohmann::json::array();
  for (int i = 0; i < kObjects; ++i) {
    const Row& r = rows[i];
    doc.push_back({{kKeys[0], r.id},
                   {kKeys[1], r.big},
                   {kKeys[2], r.ratio},
                   {kKeys[3], r.score},
                   {kKeys[4], r.active},
                   {kKeys[5], r.name},
                   {kKeys[6], r.city},
                   {kKeys[7], r.path},
                   {kKeys[8], nullptr},
                   {kKeys[9], kObjects - i}});
  }
  for (auto _ : state) {
    const std::string json = doc.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    benchmark::DoNotOptimize(json.data());
  }
}
BENCHMARK(BM_NlohmannWriteOnly)->Unit(benchmark::kMillisecond);

void BM_RapidJsonWriteOnly(benchmark::State& state) {
  rapidjson::Document doc;
  BuildRapidJson(doc);
  for (auto _ : state) {
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    doc.Accept(writer);
    benchmark::DoNotOptimize(buffer.GetString());
  }
}
BENCHMARK(BM_RapidJsonWriteOnly)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace lanzhou

BENCHMARK_MAIN();
