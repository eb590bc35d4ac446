#include "json/json_handle.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "json/error_log.h"
#include "json/json_module.h"
#include "text/dates.h"
#include "text/encoding.h"

namespace lanzhou {
namespace {

// Every test releases what it builds: pool records and store heap blocks come back to where
// they were, and the error log starts empty.
class HandleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    JsonModuleConstruct();
    while (JsonModuleErrorLog()->HasEntry()) JsonModuleErrorLog()->Pop();
    JsonModuleErrorLog()->Resize(32);
    live_nodes_ = SharedNodePool().Live();
    live_blocks_ = LiveStoreBlocks();
  }
  void TearDown() override {
    if (doc_.root() != nullptr) {
      JsonHandle root;
      root.Attach(doc_.root(), doc_.root());
      EXPECT_EQ(root.Remove(true, false), 0);
    }
    EXPECT_EQ(SharedNodePool().Live(), live_nodes_);
    EXPECT_EQ(LiveStoreBlocks(), live_blocks_);
  }
  Text PopError() { return JsonModuleErrorLog()->Pop(); }

  JsonHandle doc_;
  std::int64_t live_nodes_ = 0;
  std::int64_t live_blocks_ = 0;
};

TEST_F(HandleTest, MemberOnAFreshHandleMakesARootObject) {
  JsonHandle a = doc_.Member("a");
  EXPECT_NE(doc_.node(), nullptr);
  EXPECT_EQ(doc_.node(), doc_.root());
  EXPECT_EQ(doc_.Kind(), kJsonObject);
  EXPECT_EQ(doc_.Count(), 1);
  EXPECT_TRUE(a.IsNull());
  EXPECT_EQ(a.Key(), Text("a"));
  EXPECT_EQ(a.root(), doc_.root());
  EXPECT_EQ(doc_.Member("a").node(), a.node());
  EXPECT_EQ(a.Parent().node(), doc_.node());
  EXPECT_EQ(doc_.Parent().node(), nullptr);
  EXPECT_EQ(doc_.ToJson(), Text("{\"a\":null}"));
}

TEST_F(HandleTest, IndexExtendsArraysWithEmptySlots) {
  JsonHandle third = doc_.Index(3);
  EXPECT_EQ(doc_.Kind(), kJsonArray);
  EXPECT_EQ(doc_.Count(), 3);
  third.IntValue(7, true);
  EXPECT_EQ(doc_.ToJson(), Text("[null,null,7]"));
  doc_.Index(5).TextValue("x", true);
  EXPECT_EQ(doc_.ToJson(), Text("[null,null,7,null,\"x\"]"));
  EXPECT_EQ(doc_.Index(3).node(), third.node());
  doc_.Index(1).BoolValue(true, true);
  EXPECT_EQ(doc_.ToJson(), Text("[true,null,7,null,\"x\"]"));
}

TEST_F(HandleTest, BadIndexAndEmptyKeyLogTheirErrors) {
  struct Case {
    const char* what;
    std::function<JsonHandle(JsonHandle&)> call;
    Text error;
  };
  const Case cases[] = {
      {"index 0", [](JsonHandle& h) { return h.Index(0); }, JsonIndexErrorText()},
      {"index -1", [](JsonHandle& h) { return h.Index(-1); }, JsonIndexErrorText()},
      {"empty key", [](JsonHandle& h) { return h.Member(""); }, JsonKeyErrorText()},
  };
  for (const Case& c : cases) {
    JsonHandle result = c.call(doc_);
    EXPECT_EQ(result.node(), nullptr) << c.what;
    EXPECT_EQ(result.root(), doc_.root()) << c.what;
    EXPECT_EQ(PopError(), c.error) << c.what;
  }
  JsonHandle empty;
  EXPECT_EQ(empty.Query("a").node(), nullptr);
  EXPECT_EQ(PopError(), JsonQueryErrorText());
  EXPECT_EQ(JsonRemoveErrorText(), FromUtf8("释放内存的时候, 因为类型不匹配,导致出现错误."));
}

TEST_F(HandleTest, NavigationReplacesWhatANodeHeld) {
  JsonHandle m = doc_.Member("m");
  m.TextValue("text", true);
  m.Member("inner").IntValue(1, true);  // the text is released
  EXPECT_EQ(doc_.ToJson(), Text("{\"m\":{\"inner\":1}}"));
  m.Index(1).IntValue(2, true);  // the object and its members are released
  EXPECT_EQ(doc_.ToJson(), Text("{\"m\":[2]}"));
  m.Member("again");
  EXPECT_EQ(doc_.ToJson(), Text("{\"m\":{\"again\":null}}"));
}

TEST_F(HandleTest, QueryFollowsPathsWithoutBuilding) {
  doc_.Member("a").Index(2).Member("b").IntValue(5, true);
  doc_.Member("a").Index(3).Index(1).TextValue("deep", true);
  doc_.Member(FromUtf8("键")).Member("c").IntValue(9, true);
  const Text before = doc_.ToJson();
  struct Case {
    Text path;
    const char* json;  // of the node found; nullptr for an empty handle
  };
  const Case cases[] = {
      {"", nullptr},  // checked below: the same node
      {"a[2]b", "{\"b\":5}"},  {"a[2]", "{\"b\":5}"},
      {"a[3][1]", "\"deep\""}, {FromUtf8("键.c"), "{\"c\":9}"},
      {"a[2].b", nullptr},     {".a", nullptr},
      {"a[0]", nullptr},       {"a[x]", nullptr},
      {"a[1]", nullptr},  // an empty slot
      {"a[4]", nullptr},       {"a[2", nullptr},
      {"b", nullptr},          {"a.b", nullptr},
      {"[1]", nullptr},
  };
  for (const Case& c : cases) {
    JsonHandle found = doc_.Query(c.path);
    if (c.path.empty()) {
      EXPECT_EQ(found.node(), doc_.node());
    } else if (c.json == nullptr) {
      EXPECT_EQ(found.node(), nullptr) << c.path.bytes();
    } else {
      EXPECT_EQ(found.ToJson(), Text(c.json)) << c.path.bytes();
    }
  }
  EXPECT_EQ(doc_.ToJson(), before);
  EXPECT_FALSE(JsonModuleErrorLog()->HasEntry());
  JsonHandle list;
  list.Index(3).TextValue("z", true);
  EXPECT_EQ(list.Query("[3]").TextValue(), Text("z"));
  list.Remove(true, false);
}

TEST_F(HandleTest, QueryTakesTwoByteCharactersWhole) {
  // The second byte of this character is "[" and must not open an index.
  const Text key("\x81[");
  doc_.Member(key).IntValue(4, true);
  EXPECT_EQ(doc_.Query(key).IntValue(), 4);
}

TEST_F(HandleTest, TypedAccessorsStoreAndConvert) {
  const DateTime when = MakeTime(2015, 6, 1, 8, 30, 0);
  JsonHandle h = doc_.Member("v");
  EXPECT_EQ(h.IntValue(-7, true), 0);
  EXPECT_EQ(h.IntValue(), -7);
  EXPECT_EQ(h.LongValue(), -7);  // the sign extension is stored too
  EXPECT_EQ(h.TextValue(), Text("-7"));
  EXPECT_DOUBLE_EQ(h.DoubleValue(), -7.0);

  EXPECT_EQ(h.LongValue(1LL << 40, true), 0);
  EXPECT_EQ(h.LongValue(), 1LL << 40);
  EXPECT_EQ(h.TextValue(), Text("1099511627776"));
  EXPECT_EQ(h.IntValue(), 0);  // value A, the low word

  h.DoubleValue(2.75, true);
  EXPECT_EQ(h.IntValue(), 2);
  EXPECT_EQ(h.LongValue(), 2);
  EXPECT_FLOAT_EQ(h.FloatValue(), 2.75f);
  EXPECT_EQ(h.TextValue(), Text("2.75"));
  EXPECT_EQ(h.DateValue(), DateTime(0));

  h.FloatValue(-1.5f, true);
  EXPECT_EQ(h.IntValue(), -1);
  EXPECT_DOUBLE_EQ(h.DoubleValue(), -1.5);
  EXPECT_EQ(h.TextValue(), Text("-1.5"));

  EXPECT_EQ(h.DateValue(when, true), DateTime(0));
  EXPECT_EQ(h.DateValue(), when);
  EXPECT_EQ(h.TextValue(), Text("20150601083000"));
  EXPECT_EQ(h.LongValue(), 1433147400);
  EXPECT_EQ(h.IntValue(), 1433147400);
  EXPECT_DOUBLE_EQ(h.DoubleValue(), 1433147400.0);

  h.IntValue(1433147400, true);
  EXPECT_EQ(h.DateValue(), when);

  h.BoolValue(true, true);
  EXPECT_EQ(h.TextValue(), Text("true"));
  h.BoolValue(false, true);
  EXPECT_EQ(h.TextValue(), Text("false"));
  EXPECT_EQ(h.IntValue(), 0);

  doc_.Member("o").Member("x");
  EXPECT_EQ(doc_.Member("o").TextValue(), Text(""));
  EXPECT_EQ(doc_.Member("o").IntValue(), 0);
  doc_.Member("arr").Index(1);
  EXPECT_EQ(doc_.Member("arr").TextValue(), Text(""));
}

TEST_F(HandleTest, TextConversions) {
  struct Case {
    const char* text;
    std::int32_t as_int;
    std::int64_t as_long;
    double as_double;
  };
  const Case cases[] = {
      {"12abc", 12, 12, 12}, {"-5", 0, -5, -5}, {"  7", 0, 7, 7},
      {"2.5", 2, 2, 2.5},    {"", 0, 0, 0},     {"4294967297", 1, -2147483648LL, 4294967297.0},
  };
  JsonHandle h = doc_.Member("t");
  for (const Case& c : cases) {
    h.TextValue(c.text, true);
    EXPECT_EQ(h.IntValue(), c.as_int) << c.text;
    EXPECT_DOUBLE_EQ(h.DoubleValue(), c.as_double) << c.text;
    EXPECT_EQ(h.TextValue(), Text(c.text));
    if (std::string(c.text) != "4294967297") {
      EXPECT_EQ(h.LongValue(), c.as_long) << c.text;
    }
  }
  h.TextValue("2015-06-01T08:30:00+08", true);
  EXPECT_EQ(h.DateValue(), MakeTime(2015, 6, 1, 16, 30, 0));
}

TEST_F(HandleTest, BoolValueReadsTheLowWordBeforeStoring) {
  JsonHandle h = doc_.Member("b");
  EXPECT_FALSE(h.BoolValue());  // null
  EXPECT_FALSE(h.BoolValue(true, true));
  EXPECT_TRUE(h.BoolValue());
  EXPECT_TRUE(h.BoolValue(false, true));
  EXPECT_FALSE(h.BoolValue());
  h.TextValue("abc", true);
  EXPECT_TRUE(h.BoolValue());  // a text's value word is its copy's address
  h.DoubleValue(2.0, true);
  EXPECT_FALSE(h.BoolValue());  // 2.0 has a zero low word
}

TEST_F(HandleTest, EmptyHandleGivesZeros) {
  JsonHandle empty;
  EXPECT_EQ(empty.DateValue(), DateTime(-657434.0));
  EXPECT_EQ(empty.DateValue(), MakeTime());
  EXPECT_EQ(empty.DateValue(DateTime(5), true), DateTime(-657434.0));
  EXPECT_EQ(empty.LongValue(), 0);
  EXPECT_EQ(empty.TextValue("x", true), Text());
  EXPECT_EQ(empty.FloatValue(), 0.0f);
  EXPECT_EQ(empty.DoubleValue(), 0.0);
  EXPECT_EQ(empty.IntValue(3, true), 0);
  EXPECT_FALSE(empty.BoolValue(true, true));
  EXPECT_EQ(empty.Key(), Text());
  EXPECT_TRUE(empty.IsNull());
  EXPECT_EQ(empty.Kind(), -1);
  EXPECT_EQ(empty.Count(), 0);
  EXPECT_FALSE(empty.Has("a"));
  EXPECT_EQ(empty.Parent().node(), nullptr);
  EXPECT_EQ(empty.Remove(true, false), -1);
  EXPECT_EQ(empty.ToJson(), Text("null"));
  EXPECT_EQ(empty.ToQueryText("&"), Text());
  JsonScalar out = std::int32_t{5};
  EXPECT_FALSE(empty.GetAs(kJsonInt, &out));
  EXPECT_FALSE(empty.SetAs(kJsonInt, &out));
  std::vector<JsonHandle> found(2);
  EXPECT_EQ(empty.FindAll("a", found), 0);
  EXPECT_TRUE(found.empty());
  TextArray keys{Text("kept")};
  empty.Keys(keys);
  EXPECT_EQ(keys, TextArray{Text("kept")});
}

TEST_F(HandleTest, CountOfTextsStoredAsNoneAndAsEmpty) {
  JsonHandle h = doc_.Member("t");
  h.TextValue("", true);
  EXPECT_EQ(h.Count(), -1);
  h.TextValue("abc", true);
  EXPECT_EQ(h.Count(), 3);
  JsonScalar empty_text = Text();
  EXPECT_TRUE(h.SetAs(kJsonText, &empty_text));
  EXPECT_EQ(h.Count(), 0);
  EXPECT_EQ(h.ToJson(), Text("{\"t\":\"\"}"));
  h.IntValue(5, true);
  EXPECT_EQ(h.Count(), 0);
}

TEST_F(HandleTest, SetAsStoresTheBufferByKind) {
  JsonHandle h = doc_.Member("s");
  struct Case {
    JsonKind kind;
    JsonScalar in;
    const char* json;  // of the member's value; nullptr when SetAs fails
  };
  const Case cases[] = {
      {kJsonNull, std::int32_t{1}, "null"},
      {kJsonByte, std::uint8_t{200}, "200"},
      {kJsonShort, std::int16_t{-2}, "-2"},
      {kJsonInt, std::int32_t{-9}, "-9"},
      {kJsonLong, std::int64_t{-9}, "-9"},
      {kJsonFloat, 0.5f, "0.5"},
      {kJsonDouble, 0.25, "0.25"},
      {kJsonBool, true, "true"},
      {kJsonDate, MakeTime(2015, 6, 1, 8, 30, 0), "'2015-06-01T08:30:00Z'"},
      {kJsonText, Text("q\""), "\"q\\\"\""},
      {kJsonText, std::int32_t{1}, nullptr},  // a number where a text belongs
      {kJsonInt, Text("1"), nullptr},         // a text where a number belongs
      {kJsonInt, JsonScalar(), nullptr},      // no buffer
  };
  for (const Case& c : cases) {
    h.IntValue(1, true);
    const bool ok = h.SetAs(c.kind, &c.in);
    EXPECT_EQ(ok, c.json != nullptr) << c.kind;
    if (ok) {
      EXPECT_EQ(h.Kind(), c.kind);
      EXPECT_EQ(h.ToJson(), Text("{\"s\":" + std::string(c.json) + "}")) << c.kind;
    } else {
      EXPECT_EQ(h.IntValue(), 1) << "unchanged " << c.kind;
    }
  }
  EXPECT_FALSE(h.SetAs(kJsonInt, nullptr));
  JsonScalar any = std::int32_t{1};
  EXPECT_FALSE(h.SetAs(kJsonArray, &any));  // another kind leaves the node cleared
  EXPECT_EQ(h.Kind(), kJsonNull);
}

TEST_F(HandleTest, GetAsRefusesOtherKindsAndMissingBuffers) {
  JsonHandle h = doc_.Member("g");
  h.IntValue(12, true);
  JsonScalar out;
  for (JsonKind kind :
       {kJsonNull, kJsonByte, kJsonShort, JsonKind{9}, kJsonArray, kJsonObject, kJsonLiteral1}) {
    EXPECT_FALSE(h.GetAs(kind, &out)) << kind;
  }
  EXPECT_FALSE(h.GetAs(kJsonInt, nullptr));
  EXPECT_TRUE(h.GetAs(kJsonBool, &out));
  EXPECT_EQ(std::get<bool>(out), true);
  JsonScalar text = Text("old");
  EXPECT_TRUE(h.GetAs(kJsonText, &text));
  EXPECT_EQ(std::get<Text>(text), Text("12"));
  EXPECT_TRUE(h.GetAs(kJsonDate, &out));
  EXPECT_EQ(std::get<DateTime>(out), MakeTime(1970, 1, 1, 0, 0, 12));
}

TEST_F(HandleTest, KindReadsMarkedCodesByTheirLowByte) {
  JsonHandle h = doc_.Member("k");
  struct Case {
    std::int32_t stored;
    int read;
  };
  const Case cases[] = {{kJsonInt, 3},     {0x10000 | 3, 3},   {0x10000 | 13, 3},
                        {0x20000 | 15, 5}, {0x10000 | 12, 12}, {65279, 65279}};
  for (const Case& c : cases) {
    h.node()->kind = c.stored;
    EXPECT_EQ(h.Kind(), c.read) << c.stored;
  }
  h.node()->kind = 0x10000 | kJsonInt;
  h.node()->value_a = 42;
  EXPECT_EQ(h.IntValue(), 42);
  EXPECT_EQ(doc_.ToJson(), Text("{\"k\":42}"));
  h.node()->kind = kJsonNull;
}

TEST_F(HandleTest, KeysComeInBucketOrder) {
  for (const char* key : {"b", "a", "ba", "ab"}) doc_.Member(key);
  TextArray keys{Text("x")};
  doc_.Keys(keys);
  // Buckets of 32: "a" (97) is bucket 2, "b" (98) bucket 3, "ab"/"ba" (9506) bucket 3.
  EXPECT_EQ(keys, (TextArray{Text("x"), Text("a"), Text("b"), Text("ba"), Text("ab")}));
  TextArray none;
  doc_.Member("a").Keys(none);
  EXPECT_TRUE(none.empty());
}

TEST_F(HandleTest, HasLooksOnlyAtDirectMembers) {
  doc_.Member("a").Member("inner");
  EXPECT_TRUE(doc_.Has("a"));
  EXPECT_FALSE(doc_.Has("inner"));
  EXPECT_FALSE(doc_.Has(""));
  EXPECT_FALSE(doc_.Member("a").Member("inner").Has("x"));
  EXPECT_EQ(doc_.Count(), 1);
}

TEST_F(HandleTest, FindAllHonoursDepth) {
  doc_.Member("id").IntValue(1, true);
  doc_.Member("child").Member("id").IntValue(2, true);
  doc_.Member("list").Index(2).Member("id").IntValue(3, true);
  doc_.Member("list").Index(3).Member("deeper").Member("id").IntValue(4, true);
  doc_.Member("scalar").TextValue("id", true);
  std::vector<JsonHandle> found(3);
  struct Case {
    int depth;
    std::vector<int> ids;
  };
  for (const Case& c : {Case{1, {1}}, Case{0, {1, 2, 3, 4}}, Case{2, {1, 2}}, Case{3, {1, 2, 3}}}) {
    EXPECT_EQ(doc_.FindAll("id", found, c.depth), static_cast<int>(c.ids.size())) << c.depth;
    std::vector<int> ids;
    for (JsonHandle& h : found) {
      ids.push_back(h.IntValue());
      EXPECT_EQ(h.root(), doc_.root());
    }
    EXPECT_EQ(ids, c.ids) << c.depth;
  }
  EXPECT_EQ(doc_.Member("list").FindAll("id", found, 1), 0);
}

TEST_F(HandleTest, RemoveDetachesAndReleases) {
  doc_.Member("a").IntValue(1, true);
  doc_.Member("b").Index(2).TextValue("x", true);
  doc_.Member("c").TextValue("y", true);
  JsonHandle b = doc_.Member("b");
  EXPECT_EQ(b.Remove(true, false), 0);
  EXPECT_EQ(b.node(), nullptr);
  EXPECT_FALSE(doc_.Has("b"));
  EXPECT_EQ(doc_.ToJson(), Text("{\"a\":1,\"c\":\"y\"}"));
  doc_.Member("b");  // a new member goes to the end
  EXPECT_EQ(doc_.ToJson(), Text("{\"a\":1,\"c\":\"y\",\"b\":null}"));

  JsonHandle list = doc_.Member("l");
  for (int i = 1; i <= 3; ++i) list.Index(i).IntValue(i, true);
  EXPECT_EQ(list.Index(2).Remove(false, false), 0);  // without merge it is released anyway
  EXPECT_EQ(list.ToJson(), Text("{\"l\":[1,3]}"));
}

TEST_F(HandleTest, RemoveOnTheRootReleasesTheDocument) {
  JsonHandle doc;
  doc.Member("x").Index(4).Member("y").TextValue("z", true);
  JsonHandle copy = doc.Clone();
  EXPECT_EQ(copy.node(), doc.node());
  EXPECT_EQ(doc.Remove(true, false), 0);
  EXPECT_EQ(doc.node(), nullptr);
  EXPECT_EQ(doc.root(), nullptr);
}

TEST_F(HandleTest, MergeArrayIntoArrayParent) {
  doc_.Index(1).TextValue("A", true);
  doc_.Index(2).Index(1).TextValue("x", true);
  doc_.Index(2).Index(2).TextValue("y", true);
  doc_.Index(3).TextValue("B", true);
  EXPECT_EQ(doc_.Index(2).Remove(false, true), 0);
  EXPECT_EQ(doc_.ToJson(), Text("[\"A\",\"B\",\"x\",\"y\"]"));
  EXPECT_EQ(doc_.Index(3).Parent().node(), doc_.node());
  EXPECT_EQ(doc_.Index(4).Parent().node(), doc_.node());
}

TEST_F(HandleTest, MergeObjectIntoObjectParent) {
  doc_.Member("a").IntValue(1, true);
  doc_.Member("b").IntValue(2, true);
  JsonHandle inner = doc_.Member("inner");
  inner.Member("b").TextValue("new", true);
  inner.Member("c").Member("deep").IntValue(3, true);
  EXPECT_EQ(inner.Remove(false, true), 0);
  // The parent's b is replaced; the moved members follow in the node's order.
  EXPECT_EQ(doc_.ToJson(), Text("{\"a\":1,\"b\":\"new\",\"c\":{\"deep\":3}}"));
  EXPECT_EQ(doc_.Count(), 3);
  EXPECT_EQ(doc_.Member("b").TextValue(), Text("new"));
  EXPECT_EQ(doc_.Member("c").Parent().node(), doc_.node());
  EXPECT_EQ(doc_.Member("b").Parent().node(), doc_.node());
  EXPECT_EQ(doc_.Query("c.deep").IntValue(), 3);
}

TEST_F(HandleTest, MergeOfAScalarLeavesItAsItsOwnRoot) {
  doc_.Member("a").IntValue(1, true);
  JsonHandle s = doc_.Member("s");
  s.TextValue("keep", true);
  const std::intptr_t address = s.Remove(false, true);
  EXPECT_EQ(address, reinterpret_cast<std::intptr_t>(s.node()));
  EXPECT_EQ(doc_.ToJson(), Text("{\"a\":1}"));
  EXPECT_EQ(s.Parent().node(), nullptr);
  EXPECT_EQ(s.TextValue(), Text("keep"));
  EXPECT_EQ(s.Remove(true, false), 0);  // released as a root
}

TEST_F(HandleTest, RemoveUnderANonContainerParentLogs) {
  JsonHandle a = doc_.Member("a");
  JsonNode* orphan = NewNode(nullptr, nullptr, kJsonNull, a.node());  // a holds null
  JsonHandle h;
  h.Attach(orphan, doc_.root());
  EXPECT_EQ(h.Remove(true, false), 0);
  EXPECT_EQ(PopError(), JsonRemoveErrorText());
}

TEST_F(HandleTest, DeepDocumentsAreWrittenAndReleased) {
  JsonHandle h = doc_.Member("d");
  for (int depth = 1; depth < 5000; ++depth) h = depth % 2 ? h.Index(1) : h.Member("d");
  h.IntValue(1, true);
  const std::string json = doc_.ToJson().bytes();
  EXPECT_EQ(json.size(), 2500 * std::string("{\"d\":[").size() + 1 + 2500 * 2);
  std::vector<JsonHandle> found;
  EXPECT_EQ(doc_.FindAll("d", found, 0), 2500);
}

// Random handle operations on one document; after each step the tree must be consistent,
// and in the end releasing it must give back every record and heap block exactly once
// (checked here and, for double releases, by the sanitizer build).
void CheckTree(const JsonNode* node, const JsonNode* parent) {
  ASSERT_EQ(node->parent, parent);
  if (node->kind == kJsonArray) {
    const NodeVector* elements = ElementVector(node);
    for (std::size_t i = 1; i <= node_vector::Count(elements); ++i) {
      if (const JsonNode* e = node_vector::GetNode(elements, i)) CheckTree(e, node);
    }
  } else if (node->kind == kJsonObject) {
    const NodeVector* members = MemberVector(node);
    std::size_t in_buckets = 0;
    const NodeVector* buckets = BucketVector(node);
    for (std::size_t b = 1; b <= node_vector::Count(buckets); ++b) {
      in_buckets += node_vector::Count(node_vector::GetBucket(buckets, b));
    }
    ASSERT_EQ(in_buckets, node_vector::Count(members));
    for (std::size_t i = 1; i <= node_vector::Count(members); ++i) {
      const JsonNode* m = node_vector::GetNode(members, i);
      ASSERT_NE(m->key, nullptr);
      ASSERT_EQ(FindMember(node, m->key), m);
      CheckTree(m, node);
    }
  }
}

TEST_F(HandleTest, RandomOperationsKeepTheTreeConsistentAndLeakNothing) {
  std::mt19937 random(20150601);
  auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  const char* const keys[] = {"a", "b", "ab", "ba", "id", "k1", "k2", "x"};
  std::vector<JsonHandle> found;
  TextArray names;
  JsonNode* root = nullptr;
  for (int step = 0; step < 20000; ++step) {
    JsonHandle h;
    if (root != nullptr) h.Attach(root, root);
    for (int depth = pick(4); depth > 0; --depth) {
      h = pick(2) ? h.Member(keys[pick(8)]) : h.Index(1 + pick(4));
    }
    if (root == nullptr) root = h.root();
    switch (pick(14)) {
      case 0:
        h.IntValue(pick(1000) - 500, true);
        break;
      case 1:
        h.TextValue(pick(3) ? Text("t\"/\\") : Text(), true);
        break;
      case 2:
        h.DoubleValue(pick(100) / 8.0, true);
        break;
      case 3:
        h.DateValue(MakeTime(2000 + pick(20), 1 + pick(12), 1 + pick(28)), true);
        break;
      case 4:
        h.BoolValue(pick(2), true);
        break;
      case 5:
        h.LongValue(-(1LL << 40), true);
        break;
      case 6: {
        const bool release = pick(2), merge = pick(2);
        const bool is_root = h.node() != nullptr && h.node() == root;
        const std::intptr_t result = h.Remove(release, merge);
        if (result != 0 && result != -1) {
          EXPECT_EQ(h.Remove(true, false), 0);
        }
        if (is_root) root = nullptr;
        break;
      }
      case 7:
        h.FindAll(keys[pick(8)], found, pick(3));
        break;
      case 8:
        h.Keys(names);
        break;
      case 9:
        h.ToXml();
        break;
      case 10:
        h.ToQueryText("&", std::nullopt, pick(2));
        break;
      case 11:
        h.Query("a[1]b");
        break;
      default:
        h.ToJson();
        break;
    }
    if (root != nullptr) {
      CheckTree(root, nullptr);
      if (::testing::Test::HasFatalFailure()) return;
    }
  }
  doc_.Attach(root, root);
}

}  // namespace
}  // namespace lanzhou
