#include "json/node_store.h"

#include <array>
#include <cstdlib>
#include <cstring>
#include <new>
#include <span>
#include <vector>

#include "json/store_heap.h"
#include "text/text_primitives.h"

namespace lanzhou {

namespace {

// Block layout in words: [0] capacity, [1] dimension count (1), [2] element count, then the
// elements. A NodeVector* points at word 0.
using node_vector::kHeaderWords;

std::uintptr_t* Words(NodeVector* v) { return reinterpret_cast<std::uintptr_t*>(v); }

std::size_t VectorBytes(std::size_t capacity) {
  return (kHeaderWords + capacity) * sizeof(std::uintptr_t);
}

// A block of `capacity` slots with its header words 0 and 1 set and, when `zeroed`, every
// other word zero.
NodeVector* AllocateVector(std::size_t capacity, bool zeroed = true) {
  void* block = StoreAllocate(VectorBytes(capacity), zeroed);
  std::uintptr_t* words = static_cast<std::uintptr_t*>(block);
  words[0] = capacity;
  words[1] = 1;
  return static_cast<NodeVector*>(block);
}

// A one-word vector as a block of its own (with room for a few more), for the operations
// that change a vector in place.
void MakeBlock(NodeVector*& v) {
  if (!node_vector::IsSingle(v)) return;
  const std::uintptr_t only = node_vector::Get(v, 1);
  v = AllocateVector(4);
  Words(v)[2] = 1;
  Words(v)[kHeaderWords] = only;
}

// Makes room for at least `needed` elements; new room is zero-filled.
void Reserve(NodeVector*& v, std::size_t needed) {
  std::size_t capacity = Words(v)[0];
  if (needed <= capacity) return;
  std::size_t grown = capacity * 2 < 4 ? 4 : capacity * 2;
  if (grown < needed) grown = needed;
  // Only the new room is zeroed: the rest is copied over at once.
  NodeVector* moved = AllocateVector(grown, false);
  std::uintptr_t* words = Words(moved);
  std::memcpy(words + 1, Words(v) + 1, (kHeaderWords - 1 + capacity) * sizeof(std::uintptr_t));
  std::memset(words + kHeaderWords + capacity, 0, (grown - capacity) * sizeof(std::uintptr_t));
  StoreRelease(v);
  v = moved;
}

std::uintptr_t AsWord(const void* p) { return reinterpret_cast<std::uintptr_t>(p); }

// Puts `member` last in bucket b of `table`; a bucket made for it holds it in its word.
void AddToBucket(NodeVector* table, std::size_t b, JsonNode* member) {
  NodeVector* bucket = node_vector::GetBucket(table, b);
  if (bucket == nullptr) {
    bucket = node_vector::Single(AsWord(member));
  } else {
    node_vector::Append(bucket, AsWord(member));
  }
  node_vector::Set(table, b, AsWord(bucket));
}

// Node records on their way back to the pool, handed over a batch at a time in the order
// they were released: the pool ends as single releases would leave it, at one lock a batch.
class ReleaseBatch {
 public:
  ReleaseBatch() = default;
  ReleaseBatch(const ReleaseBatch&) = delete;
  ReleaseBatch& operator=(const ReleaseBatch&) = delete;
  ~ReleaseBatch() { Flush(); }

  void Add(JsonNode* node) {
    records_[size_++] = node;
    if (size_ == records_.size()) Flush();
  }
  void Flush() {
    if (size_ == 0) return;
    SharedNodePool().Free(std::span<void* const>(records_.data(), size_));
    size_ = 0;
  }

 private:
  std::array<void*, 256> records_;
  std::size_t size_ = 0;
};

void ReleaseInto(JsonNode* node, ReleaseBatch& batch);

void ReleaseMembers(JsonNode* object, ReleaseBatch& batch) {
  NodeVector* buckets = BucketVector(object);
  const std::size_t bucket_count = node_vector::Count(buckets);
  for (std::size_t b = 1; b <= bucket_count; ++b) {
    NodeVector* bucket = node_vector::GetBucket(buckets, b);
    const std::size_t n = node_vector::Count(bucket);
    for (std::size_t i = 1; i <= n; ++i) ReleaseInto(node_vector::GetNode(bucket, i), batch);
    node_vector::Free(bucket);
  }
  node_vector::Free(buckets);
  node_vector::Free(MemberVector(object));
}

void ReleaseElements(JsonNode* array, ReleaseBatch& batch) {
  NodeVector* elements = ElementVector(array);
  const std::size_t n = node_vector::Count(elements);
  for (std::size_t i = 1; i <= n; ++i) ReleaseInto(node_vector::GetNode(elements, i), batch);
  node_vector::Free(elements);
}

// What a node owns through its value, by its kind as stored (marked kinds own nothing).
void ReleaseValue(JsonNode* node, ReleaseBatch& batch) {
  const std::int32_t kind = node->kind;
  if (kind == kJsonArray) {
    ReleaseElements(node, batch);
  } else if (kind == kJsonObject) {
    ReleaseMembers(node, batch);
  } else if (kind >= kJsonText && kind <= kJsonLastPlainKind) {
    FreeText(reinterpret_cast<char*>(node->value_a));
  }
}

void ReleaseInto(JsonNode* node, ReleaseBatch& batch) {
  if (node == nullptr) return;
  FreeText(node->key);
  ReleaseValue(node, batch);
  batch.Add(node);
}

}  // namespace

namespace node_vector {

NodeVector* Create(std::size_t n) {
  NodeVector* v = AllocateVector(n);
  Words(v)[2] = n;
  return v;
}

void Set(NodeVector*& v, std::size_t i, std::uintptr_t value) {
  if (v == nullptr || i == 0 || i > Count(v)) return;
  if (IsSingle(v)) {
    v = Single(value);
    return;
  }
  Words(v)[kHeaderWords + i - 1] = value;
}

void Append(NodeVector*& v, std::uintptr_t value) {
  if (v == nullptr) v = AllocateVector(4);
  MakeBlock(v);
  const std::size_t n = Words(v)[2];
  Reserve(v, n + 1);
  Words(v)[kHeaderWords + n] = value;
  Words(v)[2] = n + 1;
}

void Resize(NodeVector*& v, std::size_t n) {
  if (v == nullptr) {
    v = Create(n);
    return;
  }
  MakeBlock(v);
  const std::size_t old = Words(v)[2];
  if (n < old) {
    std::memset(Words(v) + kHeaderWords + n, 0, (old - n) * sizeof(std::uintptr_t));
  } else {
    Reserve(v, n);
  }
  Words(v)[2] = n;
}

bool Cut(NodeVector*& v, std::size_t i, std::size_t k) {
  if (v == nullptr || i == 0) return false;
  const std::size_t n = Count(v);
  if (n == 0 || i > n) return false;
  if (IsSingle(v)) {
    if (k > 0) v = nullptr;
    return true;
  }
  if (k > n - i + 1) k = n - i + 1;
  std::uintptr_t* elements = Words(v) + kHeaderWords;
  std::memmove(elements + i - 1, elements + i - 1 + k, (n - (i - 1) - k) * sizeof(std::uintptr_t));
  std::memset(elements + n - k, 0, k * sizeof(std::uintptr_t));
  Words(v)[2] = n - k;
  return true;
}

void Free(NodeVector* v) {
  if (v == nullptr || IsSingle(v)) return;
  StoreRelease(v);
}

std::size_t Find(const NodeVector* v, std::uintptr_t value) {
  const std::size_t n = Count(v);
  for (std::size_t i = 1; i <= n; ++i) {
    if (Get(v, i) == value) return i;
  }
  return 0;
}

}  // namespace node_vector

std::uint64_t KeyHash(const char* key) {
  std::uint32_t a = 1;
  std::uint32_t sum = 0;
  std::uint32_t high = 0;
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(key); p && *p; ++p) {
    const std::uint64_t product = static_cast<std::uint64_t>(a) * *p;
    a = static_cast<std::uint32_t>(product);
    high = static_cast<std::uint32_t>(product >> 32);
    sum += high;
  }
  return (static_cast<std::uint64_t>(high) << 32) | static_cast<std::uint32_t>(a + sum);
}

std::size_t BucketOf(std::uint64_t hash, std::size_t count) {
  // Tables grown by doubling have a power of two of buckets: a mask, not a division.
  if ((count & (count - 1)) == 0) return static_cast<std::size_t>(hash & (count - 1)) + 1;
  // The high word is the overflow of one byte product, below 2^8, so every hash is below
  // 2^40 and the integer remainder equals the remainder taken in double precision.
  return static_cast<std::size_t>(hash % count) + 1;
}

bool KeysEqual(const char* a, const char* b) { return std::strcmp(a ? a : "", b ? b : "") == 0; }

JsonNodePool& SharedNodePool() {
  static JsonNodePool* const pool = [] {
    auto* made = new JsonNodePool();
    made->Setup(static_cast<int>(sizeof(JsonNode)), static_cast<int>(1024 * sizeof(JsonNode)),
                true);
    return made;
  }();
  return *pool;
}

char* CopyTextKeepEmpty(const char* text) {
  if (text == nullptr) return nullptr;
  const std::size_t n = std::strlen(text);
  char* copy = static_cast<char*>(StoreAllocate(n + 1, false));
  std::memcpy(copy, text, n + 1);
  return copy;
}

char* CopyText(const char* text) {
  if (text == nullptr || *text == '\0') return nullptr;
  return CopyTextKeepEmpty(text);
}

void FreeText(char* text) {
  if (text == nullptr) return;
  StoreRelease(text);
}

std::int64_t LiveStoreBlocks() { return StoreLiveBlocks(); }

JsonNode* NewNode(const char* key, const char* value, std::int32_t kind, JsonNode* parent) {
  JsonNode* node = static_cast<JsonNode*>(SharedNodePool().Allocate());
  node->key = CopyText(key);
  node->value_a = AsWord(CopyText(value));
  node->value_b = 0;
  node->kind = kind;
  node->parent = parent;
  return node;
}

JsonNode* FindMember(const JsonNode* node, const char* key) {
  if (node == nullptr || node->kind != kJsonObject || BucketVector(node) == nullptr) {
    return nullptr;
  }
  NodeVector* buckets = BucketVector(node);
  NodeVector* bucket =
      node_vector::GetBucket(buckets, BucketOf(KeyHash(key), node_vector::Count(buckets)));
  const std::size_t n = node_vector::Count(bucket);
  for (std::size_t i = 1; i <= n; ++i) {
    JsonNode* member = node_vector::GetNode(bucket, i);
    if (member != nullptr && KeysEqual(member->key, key)) return member;
  }
  return nullptr;
}

void GrowBuckets(JsonNode* object) {
  NodeVector* old = BucketVector(object);
  const std::size_t old_count = node_vector::Count(old);
  const std::size_t new_count = old_count * 2 < kInitialBuckets ? kInitialBuckets : old_count * 2;
  NodeVector* grown = node_vector::Create(new_count);
  for (std::size_t b = 1; b <= old_count; ++b) {
    NodeVector* bucket = node_vector::GetBucket(old, b);
    const std::size_t n = node_vector::Count(bucket);
    for (std::size_t i = 1; i <= n; ++i) {
      JsonNode* member = node_vector::GetNode(bucket, i);
      AddToBucket(grown, BucketOf(KeyHash(member->key), new_count), member);
    }
    node_vector::Free(bucket);
  }
  node_vector::Free(old);
  object->value_a = AsWord(grown);
}

JsonNode* GetOrAddMember(JsonNode* node, const char* key) {
  const std::uint64_t hash = KeyHash(key);
  JsonNode* member = nullptr;
  if (node->kind == kJsonObject) {
    NodeVector* buckets = BucketVector(node);
    std::size_t b = BucketOf(hash, node_vector::Count(buckets));
    NodeVector* bucket = node_vector::GetBucket(buckets, b);
    if (bucket != nullptr) {
      const std::size_t length = node_vector::Count(bucket);
      for (std::size_t i = 1; i <= length; ++i) {
        JsonNode* existing = node_vector::GetNode(bucket, i);
        if (existing != nullptr && KeysEqual(existing->key, key)) return existing;
      }
      member = NewNode(key, nullptr, kJsonNull, node);
      // A long bucket doubles the table, but only while there are fewer buckets than
      // members: keys with one hash cannot be split, and doubling for them would never end.
      if (length > kLongBucket &&
          node_vector::Count(buckets) < node_vector::Count(MemberVector(node))) {
        GrowBuckets(node);
        buckets = BucketVector(node);
        b = BucketOf(hash, node_vector::Count(buckets));
      }
      AddToBucket(buckets, b, member);
    } else {
      member = NewNode(key, nullptr, kJsonNull, node);
      AddToBucket(buckets, b, member);
    }
  } else {
    ClearValue(node);
    NodeVector* buckets = node_vector::Create(kInitialBuckets);
    member = NewNode(key, nullptr, kJsonNull, node);
    AddToBucket(buckets, BucketOf(hash, kInitialBuckets), member);
    node->value_a = AsWord(buckets);
    node->kind = kJsonObject;
  }
  NodeVector* ordered = MemberVector(node);
  node_vector::Append(ordered, AsWord(member));
  node->value_b = AsWord(ordered);
  return member;
}

void ClearValue(JsonNode* node) {
  ReleaseBatch batch;
  ReleaseValue(node, batch);
  node->value_a = 0;
  node->value_b = 0;
  node->kind = kJsonNull;
}

void ReleaseNode(JsonNode* node) {
  ReleaseBatch batch;
  ReleaseInto(node, batch);
}

NodeVector* MergeBucketTables(NodeVector* first, NodeVector* second,
                              void (*displaced)(JsonNode*, void*), void* context) {
  std::vector<JsonNode*> gathered;
  for (NodeVector* table : {first, second}) {
    const std::size_t bucket_count = node_vector::Count(table);
    for (std::size_t b = 1; b <= bucket_count; ++b) {
      NodeVector* bucket = node_vector::GetBucket(table, b);
      const std::size_t n = node_vector::Count(bucket);
      for (std::size_t i = 1; i <= n; ++i) {
        if (JsonNode* member = node_vector::GetNode(bucket, i)) gathered.push_back(member);
      }
      node_vector::Free(bucket);
    }
    node_vector::Free(table);
  }
  const std::size_t n = gathered.size();
  const std::size_t count = n >= kInitialBuckets
                                ? static_cast<std::size_t>(Floor(1.8 * static_cast<double>(n)))
                                : kInitialBuckets;
  NodeVector* merged = node_vector::Create(count);
  for (JsonNode* member : gathered) {
    const std::size_t b = BucketOf(KeyHash(member->key), count);
    NodeVector* bucket = node_vector::GetBucket(merged, b);
    const std::size_t length = node_vector::Count(bucket);
    std::size_t same = 0;
    for (std::size_t i = 1; i <= length && same == 0; ++i) {
      if (KeysEqual(node_vector::GetNode(bucket, i)->key, member->key)) same = i;
    }
    if (same != 0) {
      JsonNode* old = node_vector::GetNode(bucket, same);
      node_vector::Set(bucket, same, AsWord(member));
      node_vector::Set(merged, b, AsWord(bucket));
      if (displaced != nullptr) {
        displaced(old, context);
      } else {
        ReleaseNode(old);
      }
    } else {
      AddToBucket(merged, b, member);
    }
  }
  return merged;
}

}  // namespace lanzhou
