// Path queries over a random document: a path written from a walk down the tree finds the
// node walked to, any other path finds a node of the document or nothing, and no query
// changes the document.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "json/json_handle.h"
#include "json/node_store.h"

namespace lanzhou {
namespace {

Text Name(FuzzedDataProvider& in) {
  static constexpr char kChars[] = "abk_09]";
  std::string name(in.ConsumeIntegralInRange(1, 3), 'a');
  for (char& c : name) c = kChars[in.ConsumeIntegralInRange<std::size_t>(0, sizeof kChars - 2)];
  return Text(name);
}

// Grows the tree below `h`: members, elements (some slots left empty) and values.
void Grow(FuzzedDataProvider& in, JsonHandle h, int depth) {
  const int children = in.ConsumeIntegralInRange(0, depth > 3 ? 0 : 4);
  const bool array = in.ConsumeBool();
  for (int i = 0; i < children; ++i) {
    JsonHandle child = array ? h.Index(in.ConsumeIntegralInRange(1, 5)) : h.Member(Name(in));
    if (in.ConsumeBool()) {
      Grow(in, child, depth + 1);
    } else {
      child.IntValue(i, true);
    }
  }
}

bool IsWithin(const JsonNode* node, const JsonNode* ancestor) {
  for (; node != nullptr; node = node->parent) {
    if (node == ancestor) return true;
  }
  return false;
}

void Run(FuzzedDataProvider& in) {
  JsonHandle doc;
  doc.CreateRoot();
  Grow(in, doc, 0);
  const Text before = doc.ToJson();

  // A walk down the tree, written as a path.
  std::string path;
  bool after_index = false;
  const JsonNode* node = doc.node();
  while (in.ConsumeBool()) {
    const int kind = DispatchKind(node->kind);
    if (kind == kJsonObject) {
      const std::size_t n = node_vector::Count(MemberVector(node));
      if (n == 0) break;
      const JsonNode* member =
          node_vector::GetNode(MemberVector(node), in.ConsumeIntegralInRange<std::size_t>(1, n));
      if (!path.empty() && !after_index) path += '.';
      path += member->key;
      node = member;
      after_index = false;
    } else if (kind == kJsonArray) {
      const std::size_t n = node_vector::Count(ElementVector(node));
      const std::size_t i = in.ConsumeIntegralInRange<std::size_t>(1, n);
      const JsonNode* element = node_vector::GetNode(ElementVector(node), i);
      if (element == nullptr) break;  // an empty slot is no node to find
      path += "[" + std::to_string(i) + "]";
      node = element;
      after_index = true;
    } else {
      break;
    }
  }
  const JsonHandle found = doc.Query(Text(path));
  FUZZ_CHECK(found.node() == node,
             "path \"" + fuzz::Escaped(path) + "\" in " + fuzz::Escaped(before.view()));
  FUZZ_CHECK(found.root() == doc.root(), "root");

  // Any path: a node of this document, or nothing; never a change.
  const Text any(in.ConsumeRemainingBytesAsString());
  const JsonHandle result = doc.Query(any);
  FUZZ_CHECK(result.node() == nullptr || IsWithin(result.node(), doc.node()),
             fuzz::Escaped(any.view()));
  FUZZ_CHECK(doc.ToJson() == before, "query changed " + fuzz::Escaped(any.view()));
  FUZZ_CHECK(JsonHandle().Query(any).node() == nullptr, "empty handle");
  doc.Remove(true, false);
}

}  // namespace
}  // namespace lanzhou

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  lanzhou::Run(in);
  return 0;
}
