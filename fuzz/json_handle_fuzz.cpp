// A random sequence of JsonHandle operations, then the three writers. Besides running
// clean, the JSON text of a document without byte or short values, dates, odd keys, raw
// control bytes or numbers that are not finite must parse with a standard parser, and into
// the same tree.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "json/json_handle.h"
#include "json/node_store.h"
#include "text/encoding.h"

#ifdef LANZHOU_HAVE_NLOHMANN_JSON
#include <nlohmann/json.hpp>
#endif

namespace lanzhou {
namespace {

// Texts for keys and values. Tame texts are what a standard parser must accept once
// escaped: printable ASCII, the control bytes that have escapes, and whole GBK characters.
class TextSource {
 public:
  explicit TextSource(FuzzedDataProvider& in) : in_(in) {}

  Text Next(bool& tame, bool for_key) {
    if (in_.ConsumeIntegralInRange(0, 7) == 0) {
      tame = false;
      std::string raw = in_.ConsumeRandomLengthString(8);
      return Text(raw.substr(0, raw.find('\0')));
    }
    std::string out;
    const int length = in_.ConsumeIntegralInRange(0, 6);
    for (int i = 0; i < length; ++i) {
      const int pick = in_.ConsumeIntegralInRange(0, 9);
      if (pick < 5) {
        out += static_cast<char>(in_.ConsumeIntegralInRange(0x20, 0x7E));
      } else if (pick < 7) {
        out += static_cast<char>(in_.ConsumeIntegralInRange(0x81, 0xFE));
        unsigned char trail = in_.ConsumeIntegralInRange<unsigned char>(0x40, 0xFE);
        if (trail == 0x7F) trail = 0x80;
        out += static_cast<char>(trail);
      } else if (pick < 9) {
        out += "ab"[pick - 7];
      } else {
        out += "\b\t\n\f\r"[in_.ConsumeIntegralInRange(0, 4)];
      }
    }
    if (for_key) {
      // Keys are written as they are, not escaped.
      for (char c : out) {
        if (c == '"' || c == '\\' || (c >= 0 && c < 0x20)) tame = false;
      }
    }
    return Text(out);
  }

 private:
  FuzzedDataProvider& in_;
};

bool IsWithin(const JsonNode* node, const JsonNode* ancestor) {
  for (; node != nullptr; node = node->parent) {
    if (node == ancestor) return true;
  }
  return false;
}

#ifdef LANZHOU_HAVE_NLOHMANN_JSON
// The parsed value has the shape and values of the node.
void Compare(const JsonNode* node, const nlohmann::json& value, const std::string& where) {
  if (node == nullptr) {
    FUZZ_CHECK(value.is_null(), where);
    return;
  }
  switch (DispatchKind(node->kind)) {
    case kJsonNull:
      FUZZ_CHECK(value.is_null(), where);
      break;
    case kJsonText: {
      FUZZ_CHECK(value.is_string(), where);
      const char* text = NodeText(node);
      FUZZ_CHECK(value.get<std::string>() == ToUtf8(Text(text ? text : "")), where);
      break;
    }
    case kJsonInt:
    case kJsonLong:
    case kJsonFloat:
    case kJsonDouble:
      FUZZ_CHECK(value.is_number(), where);
      break;
    case kJsonBool:
      FUZZ_CHECK(value.is_boolean() && value.get<bool>() == (node->value_a != 0), where);
      break;
    case kJsonArray: {
      const std::size_t n = node_vector::Count(ElementVector(node));
      if (n == 0) {
        FUZZ_CHECK(value.is_null(), where);
        break;
      }
      FUZZ_CHECK(value.is_array() && value.size() == n, where);
      for (std::size_t i = 1; i <= n; ++i) {
        Compare(node_vector::GetNode(ElementVector(node), i), value[i - 1], where);
      }
      break;
    }
    case kJsonObject: {
      const std::size_t n = node_vector::Count(MemberVector(node));
      FUZZ_CHECK(value.is_object() && value.size() == n, where);
      for (std::size_t i = 1; i <= n; ++i) {
        const JsonNode* member = node_vector::GetNode(MemberVector(node), i);
        const std::string key = ToUtf8(Text(member->key ? member->key : ""));
        FUZZ_CHECK(value.contains(key), where + " lacks a member");
        Compare(member, value[key], where);
      }
      break;
    }
    default:
      break;
  }
}
#endif

void Run(FuzzedDataProvider& in) {
  TextSource texts(in);
  bool tame = true;  // the JSON text must parse
  std::vector<JsonHandle> handles(1);
  // Copies: a push may move the vector that `h` lives in.
  const auto keep = [&](JsonHandle h) {
    if (h.node() != nullptr && handles.size() < 64) handles.push_back(h);
  };

  for (int step = 0; step < 48 && in.remaining_bytes() > 0; ++step) {
    std::size_t index = in.ConsumeIntegralInRange<std::size_t>(0, handles.size() - 1);
    const int op = in.ConsumeIntegralInRange(0, 15);
    if (op <= 9) {
      // Storing a value, or turning a node into an object or array, releases what the node
      // held: handles below it die.
      const JsonNode* changing = handles[index].node();
      std::vector<JsonHandle> alive;
      for (std::size_t i = 0; i < handles.size(); ++i) {
        const JsonNode* node = handles[i].node();
        if (i == 0 || i == index || node == changing || !IsWithin(node, changing)) {
          if (i == index) index = alive.size();
          alive.push_back(handles[i]);
        }
      }
      handles.swap(alive);
    }
    JsonHandle& h = handles[index];
    switch (op) {
      case 0:
      case 1:
        keep(h.Member(texts.Next(tame, true)));
        break;
      case 2:
        keep(h.Index(in.ConsumeIntegralInRange(-1, 6)));
        break;
      case 3:
        h.TextValue(texts.Next(tame, false), true);
        break;
      case 4:
        h.IntValue(in.ConsumeIntegral<std::int32_t>(), true);
        break;
      case 5: {
        const double d = in.ConsumeFloatingPoint<double>();
        if (!std::isfinite(d)) tame = false;
        h.DoubleValue(d, true);
        break;
      }
      case 6: {
        const float f = in.ConsumeFloatingPoint<float>();
        if (!std::isfinite(f)) tame = false;
        h.FloatValue(f, true);
        break;
      }
      case 7:
        h.LongValue(in.ConsumeIntegral<std::int64_t>(), true);
        h.BoolValue(in.ConsumeBool(), in.ConsumeBool());
        break;
      case 8:
        tame = false;
        h.DateValue(DateTime(in.ConsumeFloatingPoint<double>()), true);
        break;
      case 9: {
        const JsonKind kind{in.ConsumeIntegralInRange(-1, 16)};
        JsonScalar value;
        switch (in.ConsumeIntegralInRange(0, 4)) {
          case 0:
            value = in.ConsumeIntegral<std::int32_t>();
            break;
          case 1:
            value = in.ConsumeIntegral<std::int64_t>();
            break;
          case 2:
            value = in.ConsumeIntegral<std::uint8_t>();
            break;
          case 3:
            value = texts.Next(tame, false);
            break;
          default:
            value = DateTime(in.ConsumeFloatingPoint<double>());
            break;
        }
        // Bytes, shorts and dates have no JSON form; raw bits may make any double.
        if (kind != kJsonNull && kind != kJsonInt && kind != kJsonLong && kind != kJsonBool &&
            kind != kJsonText) {
          tame = false;
        }
        h.SetAs(kind, &value);
        break;
      }
      case 10: {
        // Reading never builds: the document is the same before and after.
        const Text before = handles[0].ToJson();
        keep(h.Query(Text(in.ConsumeRandomLengthString(12))));
        FUZZ_CHECK(handles[0].ToJson() == before, "query changed the document");
        break;
      }
      case 11: {
        JsonHandle parent = h.Parent();
        JsonHandle clone = h.Clone();
        keep(parent);
        keep(clone);
      } break;
      case 12: {
        JsonScalar out;
        for (JsonKind kind :
             {kJsonInt, kJsonLong, kJsonFloat, kJsonDouble, kJsonBool, kJsonDate, kJsonText}) {
          h.GetAs(kind, &out);
        }
        TextArray keys;
        h.Keys(keys);
        FUZZ_CHECK(static_cast<int>(keys.size()) == (h.Kind() == kJsonObject ? h.Count() : 0),
                   "keys");
        for (const Text& key : keys) FUZZ_CHECK(key.empty() || h.Has(key), "has");
        h.Key(), h.IsNull(), h.IntValue(), h.DoubleValue(), h.TextValue(), h.DateValue();
        break;
      }
      case 13: {
        const Text key = texts.Next(tame, true);
        std::vector<JsonHandle> found;
        const int n = h.FindAll(key, found, in.ConsumeIntegralInRange(0, 3));
        FUZZ_CHECK(n == static_cast<int>(found.size()), "found");
        for (const JsonHandle& f : found) FUZZ_CHECK(f.Key() == key, "found key");
        break;
      }
      case 14:
      case 15: {
        // Handles on or below the removed node die with it, and a merge may release members
        // of the parent: only the root handle survives, unless it was removed too.
        const bool release = in.ConsumeBool();
        const bool merge = in.ConsumeBool();
        JsonHandle target = h;
        const bool root_goes = IsWithin(handles[0].node(), target.node());
        const std::intptr_t result = target.Remove(release, merge);
        if (result != 0 && result != -1) target.Remove(true, false);  // detached: release it
        JsonHandle root = root_goes ? JsonHandle() : handles[0];
        handles.assign(1, root);
        break;
      }
    }
  }

  // The writers on every handle, then the property on the root.
  for (const JsonHandle& h : handles) {
    h.ToJson();
    h.ToQueryText(Text("&"), std::nullopt, true);
    h.ToQueryText(Text(","), Text(":"));
    const Text xml = h.ToXml();
    FUZZ_CHECK(xml.view().starts_with("<?xml version=\"1.0\" encoding=\"gb2312\"?>"), "xml");
  }
  const Text json = handles[0].ToJson();
#ifdef LANZHOU_HAVE_NLOHMANN_JSON
  if (tame) {
    const std::string utf8 = ToUtf8(json);
    const auto parsed = nlohmann::json::parse(utf8, nullptr, false);
    FUZZ_CHECK(!parsed.is_discarded(), "not JSON: " + fuzz::Escaped(json.view()));
    Compare(handles[0].node(), parsed, fuzz::Escaped(json.view()));
  }
#endif
  if (handles[0].node() != nullptr) handles[0].Remove(true, false);
}

}  // namespace
}  // namespace lanzhou

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  lanzhou::Run(in);
  return 0;
}
