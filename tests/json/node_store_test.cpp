#include "json/node_store.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace lanzhou {
namespace {

std::uintptr_t W(std::uintptr_t v) { return v; }

std::vector<std::uintptr_t> Elements(const NodeVector* v) {
  std::vector<std::uintptr_t> out;
  for (std::size_t i = 1; i <= node_vector::Count(v); ++i) out.push_back(node_vector::Get(v, i));
  return out;
}

std::vector<std::string> OrderedKeys(const JsonNode* object) {
  std::vector<std::string> keys;
  const NodeVector* members = MemberVector(object);
  for (std::size_t i = 1; i <= node_vector::Count(members); ++i) {
    const char* key = node_vector::GetNode(members, i)->key;
    keys.push_back(key ? key : "");
  }
  return keys;
}

std::size_t BucketCount(const JsonNode* object) { return node_vector::Count(BucketVector(object)); }

// Pool records and heap blocks of the store must come back to where they were.
class StoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    live_nodes_ = SharedNodePool().Live();
    live_blocks_ = LiveStoreBlocks();
  }
  void ExpectNothingLeft() {
    EXPECT_EQ(SharedNodePool().Live(), live_nodes_);
    EXPECT_EQ(LiveStoreBlocks(), live_blocks_);
  }
  std::int64_t live_nodes_ = 0;
  std::int64_t live_blocks_ = 0;
};

TEST(NodeVector, OperationsKeepCountAndOrder) {
  NodeVector* v = nullptr;
  EXPECT_EQ(node_vector::Count(v), 0u);
  EXPECT_EQ(node_vector::Get(v, 1), 0u);
  node_vector::Append(v, 7);
  EXPECT_EQ(Elements(v), (std::vector<std::uintptr_t>{7}));
  for (std::uintptr_t x : {W(8), W(9), W(10), W(11)}) node_vector::Append(v, x);
  EXPECT_EQ(Elements(v), (std::vector<std::uintptr_t>{7, 8, 9, 10, 11}));
  EXPECT_EQ(node_vector::Get(v, 0), 0u);
  EXPECT_EQ(node_vector::Get(v, 6), 0u);
  EXPECT_EQ(node_vector::Find(v, 10), 4u);
  EXPECT_EQ(node_vector::Find(v, 99), 0u);

  EXPECT_TRUE(node_vector::Cut(v, 2, 2));
  EXPECT_EQ(Elements(v), (std::vector<std::uintptr_t>{7, 10, 11}));
  EXPECT_TRUE(node_vector::Cut(v, 3, 5));  // cut down to what exists
  EXPECT_EQ(Elements(v), (std::vector<std::uintptr_t>{7, 10}));
  EXPECT_FALSE(node_vector::Cut(v, 0, 1));
  EXPECT_FALSE(node_vector::Cut(v, 3, 1));
  NodeVector* none = nullptr;
  EXPECT_FALSE(node_vector::Cut(none, 1, 1));

  node_vector::Resize(v, 4);  // new slots are empty, even where old elements once were
  EXPECT_EQ(Elements(v), (std::vector<std::uintptr_t>{7, 10, 0, 0}));
  node_vector::Set(v, 3, 5);
  node_vector::Resize(v, 1);
  node_vector::Resize(v, 3);
  EXPECT_EQ(Elements(v), (std::vector<std::uintptr_t>{7, 0, 0}));
  node_vector::Free(v);

  NodeVector* zeros = node_vector::Create(3);
  EXPECT_EQ(Elements(zeros), (std::vector<std::uintptr_t>{0, 0, 0}));
  node_vector::Free(zeros);
}

// A vector held in its one word answers every operation as a block of one element would.
TEST(NodeVector, OneWordVectorActsAsOneElement) {
  const std::uintptr_t node = 0x1000;
  struct Case {
    const char* what;
    void (*change)(NodeVector*&);
    std::vector<std::uintptr_t> elements;
  };
  const Case cases[] = {
      {"nothing", [](NodeVector*&) {}, {node}},
      {"append", [](NodeVector*& v) { node_vector::Append(v, 0x2000); }, {node, 0x2000}},
      {"set", [](NodeVector*& v) { node_vector::Set(v, 1, 0x3000); }, {0x3000}},
      {"set beyond", [](NodeVector*& v) { node_vector::Set(v, 2, 0x3000); }, {node}},
      {"cut", [](NodeVector*& v) { EXPECT_TRUE(node_vector::Cut(v, 1, 1)); }, {}},
      {"cut none", [](NodeVector*& v) { EXPECT_TRUE(node_vector::Cut(v, 1, 0)); }, {node}},
      {"cut beyond", [](NodeVector*& v) { EXPECT_FALSE(node_vector::Cut(v, 2, 1)); }, {node}},
      {"grow", [](NodeVector*& v) { node_vector::Resize(v, 3); }, {node, 0, 0}},
      {"shrink", [](NodeVector*& v) { node_vector::Resize(v, 0); }, {}},
  };
  const std::int64_t blocks = LiveStoreBlocks();
  for (const Case& c : cases) {
    NodeVector* v = node_vector::Single(node);
    EXPECT_EQ(node_vector::Get(v, 0), 0u) << c.what;
    EXPECT_EQ(node_vector::Find(v, node), 1u) << c.what;
    EXPECT_EQ(node_vector::Find(v, 0x2000), 0u) << c.what;
    c.change(v);
    EXPECT_EQ(Elements(v), c.elements) << c.what;
    node_vector::Free(v);
    EXPECT_EQ(LiveStoreBlocks(), blocks) << c.what;
  }
}

TEST(KeyHash, ProductOfBytesWithOverflowWords) {
  struct Case {
    const char* key;
    std::uint64_t hash;
  };
  // "zzzzz": 122^5 = 27 027 081 632 = 6 * 2^32 + 1 257 277 856; only the last byte overflows.
  const Case cases[] = {
      {"", 1},
      {nullptr, 1},
      {"a", 97},
      {"ab", 97 * 98},
      {"ba", 97 * 98},
      {"abcd", 97ull * 98 * 99 * 100},
      {"dcba", 97ull * 98 * 99 * 100},
      {"zzzzz", (6ull << 32) | (1257277856u + 6u)},
  };
  for (const Case& c : cases) EXPECT_EQ(KeyHash(c.key), c.hash) << (c.key ? c.key : "null");
  std::uint32_t a = 1, sum = 0, high = 0;
  for (int i = 0; i < 6; ++i) {
    const std::uint64_t p = static_cast<std::uint64_t>(a) * 0xFF;
    a = static_cast<std::uint32_t>(p);
    high = static_cast<std::uint32_t>(p >> 32);
    sum += high;
  }
  EXPECT_EQ(KeyHash("\xFF\xFF\xFF\xFF\xFF\xFF"),
            (static_cast<std::uint64_t>(high) << 32) | static_cast<std::uint32_t>(a + sum));
  EXPECT_EQ(BucketOf(KeyHash("ab"), 32), BucketOf(KeyHash("ba"), 32));
  // The remainder plus one, for tables of a power of two and of any other size alike.
  struct Bucket {
    std::uint64_t hash;
    std::size_t count, bucket;
  };
  const std::uint64_t big = (0xC3ull << 32) | 0x89ABCDEFu;
  const Bucket buckets[] = {{1, 32, 2},  {64, 32, 1},   {big, 32, 16}, {big, 64, 48},
                            {big, 1, 1}, {big, 72, 24}, {big, 57, 15}, {31, 72, 32}};
  for (const Bucket& c : buckets) {
    EXPECT_EQ(BucketOf(c.hash, c.count), c.bucket) << c.hash << " of " << c.count;
  }
}

TEST(KeysEqual, NullEqualsEmpty) {
  EXPECT_TRUE(KeysEqual(nullptr, ""));
  EXPECT_TRUE(KeysEqual("ab", "ab"));
  EXPECT_FALSE(KeysEqual("ab", "abc"));
  EXPECT_FALSE(KeysEqual(nullptr, "a"));
}

TEST_F(StoreTest, NewNodeCopiesAndStoresEmptyAsNone) {
  JsonNode* node = NewNode("k", "", kJsonText, nullptr);
  EXPECT_STREQ(node->key, "k");
  EXPECT_EQ(node->value_a, 0u);
  EXPECT_EQ(node->value_b, 0u);
  EXPECT_EQ(node->parent, nullptr);
  JsonNode* child = NewNode("", "v", kJsonText, node);
  EXPECT_EQ(child->key, nullptr);
  EXPECT_STREQ(NodeText(child), "v");
  EXPECT_EQ(child->parent, node);
  ReleaseNode(child);
  ReleaseNode(node);
  // A recycled record carries nothing over.
  JsonNode* again = NewNode(nullptr, nullptr, kJsonNull, nullptr);
  EXPECT_EQ(again->key, nullptr);
  EXPECT_EQ(again->value_a, 0u);
  ReleaseNode(again);
  ExpectNothingLeft();
}

TEST_F(StoreTest, MembersAreFoundByKeyAndKeptInInsertionOrder) {
  JsonNode* root = NewNode(nullptr, nullptr, kJsonNull, nullptr);
  JsonNode* b = GetOrAddMember(root, "b");
  JsonNode* ab = GetOrAddMember(root, "ab");
  JsonNode* ba = GetOrAddMember(root, "ba");  // same bucket as "ab"
  EXPECT_EQ(root->kind, kJsonObject);
  EXPECT_EQ(GetOrAddMember(root, "ab"), ab);
  EXPECT_EQ(FindMember(root, "b"), b);
  EXPECT_EQ(FindMember(root, "ba"), ba);
  EXPECT_EQ(FindMember(root, "c"), nullptr);
  EXPECT_EQ(FindMember(b, "x"), nullptr);
  EXPECT_EQ(OrderedKeys(root), (std::vector<std::string>{"b", "ab", "ba"}));
  EXPECT_EQ(ab->parent, root);
  EXPECT_EQ(ab->kind, kJsonNull);
  ReleaseNode(root);
  ExpectNothingLeft();
}

TEST_F(StoreTest, NodeThatBecomesAnObjectReleasesItsValue) {
  struct Case {
    std::int32_t kind;
    const char* text;
  };
  for (Case c : {Case{kJsonText, "abc"}, Case{kJsonDouble, nullptr}, Case{kJsonLiteral2, "12"}}) {
    JsonNode* node = NewNode(nullptr, c.text, c.kind, nullptr);
    if (c.kind == kJsonDouble) SetScalar64(node, 0xDEADBEEF12345678ull);
    GetOrAddMember(node, "m");
    EXPECT_EQ(node->kind, kJsonObject);
    // The old high word is not taken for a member vector.
    EXPECT_EQ(OrderedKeys(node), (std::vector<std::string>{"m"}));
    ReleaseNode(node);
  }
  JsonNode* array = NewNode(nullptr, nullptr, kJsonArray, nullptr);
  NodeVector* elements = node_vector::Create(2);
  node_vector::Set(elements, 2,
                   reinterpret_cast<std::uintptr_t>(NewNode(nullptr, "x", kJsonText, array)));
  array->value_a = reinterpret_cast<std::uintptr_t>(elements);
  GetOrAddMember(array, "m");
  EXPECT_EQ(OrderedKeys(array), (std::vector<std::string>{"m"}));
  ReleaseNode(array);
  ExpectNothingLeft();
}

TEST_F(StoreTest, ClearValueKeepsKeyAndParent) {
  JsonNode* root = NewNode(nullptr, nullptr, kJsonNull, nullptr);
  JsonNode* m = GetOrAddMember(root, "m");
  GetOrAddMember(GetOrAddMember(m, "inner"), "deeper");
  ClearValue(m);
  EXPECT_EQ(m->kind, kJsonNull);
  EXPECT_EQ(m->value_a, 0u);
  EXPECT_EQ(m->value_b, 0u);
  EXPECT_STREQ(m->key, "m");
  EXPECT_EQ(m->parent, root);
  // A marked kind owns nothing: clearing it frees nothing.
  m->kind = 0x10000 | kJsonText;
  m->value_a = 0x1234;
  ClearValue(m);
  ReleaseNode(root);
  ExpectNothingLeft();
}

// Keys of two letters whose byte products share a bucket of 32 (but not of 64).
std::vector<std::string> KeysInOneBucket(std::size_t n) {
  std::vector<std::string> keys;
  std::vector<std::uint64_t> hashes;
  for (char x = 'A'; x <= 'z' && keys.size() < n; ++x) {
    for (char y = x; y <= 'z' && keys.size() < n; ++y) {
      const std::string key{x, y};
      const std::uint64_t h = KeyHash(key.c_str());
      bool fresh = true;
      for (std::uint64_t seen : hashes) fresh = fresh && seen != h;
      if (fresh && h % 32 == 0) {
        keys.push_back(key);
        hashes.push_back(h);
      }
    }
  }
  return keys;
}

TEST_F(StoreTest, LongBucketDoublesTheTableOnceMembersOutnumberBuckets) {
  JsonNode* root = NewNode(nullptr, nullptr, kJsonNull, nullptr);
  const std::vector<std::string> crowded = KeysInOneBucket(12);
  ASSERT_EQ(crowded.size(), 12u);
  for (std::size_t i = 0; i < 11; ++i) GetOrAddMember(root, crowded[i].c_str());
  for (int i = 0; i < 25; ++i) GetOrAddMember(root, ("k" + std::to_string(i)).c_str());
  EXPECT_EQ(BucketCount(root), 32u);
  GetOrAddMember(root, crowded[11].c_str());  // a bucket of 11 receives its 12th
  EXPECT_EQ(BucketCount(root), 64u);
  for (const std::string& key : crowded) EXPECT_NE(FindMember(root, key.c_str()), nullptr);
  EXPECT_EQ(node_vector::Count(MemberVector(root)), 37u);
  EXPECT_EQ(OrderedKeys(root).front(), crowded[0]);
  EXPECT_EQ(OrderedKeys(root).back(), crowded[11]);
  ReleaseNode(root);
  ExpectNothingLeft();
}

TEST_F(StoreTest, KeysWithOneHashDoNotGrowTheTableWithoutBound) {
  // The 24 orderings of "abcd" share one hash; a table may not double for each of them.
  JsonNode* root = NewNode(nullptr, nullptr, kJsonNull, nullptr);
  std::string key = "abcd";
  int n = 0;
  do {
    GetOrAddMember(root, key.c_str());
    ++n;
  } while (std::next_permutation(key.begin(), key.end()));
  for (int i = 0; i < 200; ++i) {
    std::string digits = std::to_string(1000 + i);
    GetOrAddMember(root, digits.c_str());
  }
  EXPECT_EQ(n, 24);
  EXPECT_LE(BucketCount(root), 2 * node_vector::Count(MemberVector(root)));
  EXPECT_NE(FindMember(root, "dcba"), nullptr);
  EXPECT_NE(FindMember(root, "1199"), nullptr);
  ReleaseNode(root);
  ExpectNothingLeft();
}

TEST_F(StoreTest, ReleaseFreesEveryMemberExactlyOnce) {
  JsonNode* root = NewNode(nullptr, nullptr, kJsonNull, nullptr);
  for (int i = 0; i < 300; ++i) {
    JsonNode* m = GetOrAddMember(root, ("member" + std::to_string(i)).c_str());
    m->kind = kJsonText;
    m->value_a = reinterpret_cast<std::uintptr_t>(CopyText("value"));
    if (i % 10 == 0) GetOrAddMember(m, "child");
  }
  EXPECT_GT(BucketCount(root), 32u);
  ReleaseNode(root);
  ExpectNothingLeft();
}

TEST_F(StoreTest, MergedTablesLetTheSecondMemberWin) {
  JsonNode* left = NewNode(nullptr, nullptr, kJsonNull, nullptr);
  JsonNode* right = NewNode(nullptr, nullptr, kJsonNull, nullptr);
  JsonNode* a = GetOrAddMember(left, "a");
  JsonNode* old_b = GetOrAddMember(left, "b");
  JsonNode* new_b = GetOrAddMember(right, "b");
  JsonNode* c = GetOrAddMember(right, "c");
  std::vector<JsonNode*> displaced;
  NodeVector* merged = MergeBucketTables(
      BucketVector(left), BucketVector(right),
      [](JsonNode* node, void* out) { static_cast<std::vector<JsonNode*>*>(out)->push_back(node); },
      &displaced);
  EXPECT_EQ(displaced, (std::vector<JsonNode*>{old_b}));
  EXPECT_EQ(node_vector::Count(merged), 32u);
  left->value_a = reinterpret_cast<std::uintptr_t>(merged);
  EXPECT_EQ(FindMember(left, "a"), a);
  EXPECT_EQ(FindMember(left, "b"), new_b);
  EXPECT_EQ(FindMember(left, "c"), c);
  // Tidy up by hand: the ordered vectors are the caller's business.
  ReleaseNode(old_b);
  node_vector::Free(MemberVector(left));
  NodeVector* ordered = nullptr;
  for (JsonNode* m : {a, new_b, c})
    node_vector::Append(ordered, reinterpret_cast<std::uintptr_t>(m));
  left->value_b = reinterpret_cast<std::uintptr_t>(ordered);
  node_vector::Free(MemberVector(right));
  SharedNodePool().Free(right);
  ReleaseNode(left);
  ExpectNothingLeft();
}

TEST(MergeBucketTables, LargeTablesGetFloorOfOnePointEightBuckets) {
  JsonNode* left = NewNode(nullptr, nullptr, kJsonNull, nullptr);
  for (int i = 0; i < 40; ++i) GetOrAddMember(left, ("k" + std::to_string(i)).c_str());
  NodeVector* merged = MergeBucketTables(BucketVector(left), nullptr);
  EXPECT_EQ(node_vector::Count(merged), 72u);
  left->value_a = reinterpret_cast<std::uintptr_t>(merged);
  EXPECT_NE(FindMember(left, "k39"), nullptr);
  ReleaseNode(left);
}

}  // namespace
}  // namespace lanzhou
