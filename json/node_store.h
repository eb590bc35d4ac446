// The JSON node store: node records, their pointer vectors, member buckets and release.
//
// A document is a tree of `JsonNode` records taken from the shared `JsonNodePool`. Keys and
// text values are zero-terminated GB18030 byte texts owned by their node (an empty key or
// text is stored as none). An object keeps its members twice: in hash buckets for look-up
// and in an ordered vector for document order; it owns each member once.
//
//   JsonNode* root = NewNode(nullptr, nullptr, kJsonNull, nullptr);
//   JsonNode* a = GetOrAddMember(root, "a");   // root becomes an object with member a
//   FindMember(root, "a") == a;
//   ReleaseNode(root);                         // every member released exactly once
//
// Nothing here is locked except the pool: a document is used by one thread at a time.
#ifndef LANZHOU_JSON_NODE_STORE_H_
#define LANZHOU_JSON_NODE_STORE_H_

#include <cstddef>
#include <cstdint>

#include "json/node_pool.h"

namespace lanzhou {

// Kind codes of a node. Codes above 65279 carry a marker in their upper bits; whoever
// dispatches on a kind reduces them to their low byte first (`DispatchKind`).
enum JsonKind : std::int32_t {
  kJsonNull = 0,
  kJsonByte = 1,
  kJsonShort = 2,
  kJsonInt = 3,
  kJsonLong = 4,
  kJsonFloat = 5,
  kJsonDouble = 6,
  kJsonBool = 7,
  kJsonDate = 8,
  kJsonText = 10,
  kJsonArray = 11,
  kJsonObject = 12,
  kJsonLiteral1 = 13,
  kJsonLiteral2 = 14,
  kJsonLiteral3 = 15,
};

inline constexpr std::int32_t kJsonLastPlainKind = 65279;

inline std::int32_t DispatchKind(std::int32_t kind) {
  return kind > kJsonLastPlainKind ? (kind & 255) : kind;
}
inline bool IsTextKind(std::int32_t kind) {
  return kind == kJsonText || (kind >= kJsonLiteral1 && kind <= kJsonLiteral3);
}

struct NodeVector;

// The node record. Pointer-holding words are pointer-sized; 32-bit and 64-bit scalars keep
// their low 32 bits in `value_a` and their high 32 bits in `value_b`.
struct JsonNode {
  char* key;               // own copy, or null (array elements, roots, empty keys)
  std::uintptr_t value_a;  // value, low word, text copy, element or bucket vector
  std::uintptr_t value_b;  // high word, or the ordered member vector of an object
  std::int32_t kind;       // JsonKind, possibly marked
  JsonNode* parent;        // null for a document root
};

// Value words of scalar kinds.
inline std::uint64_t Scalar64(const JsonNode* node) {
  return (static_cast<std::uint64_t>(node->value_b & 0xFFFFFFFFu) << 32) |
         (node->value_a & 0xFFFFFFFFu);
}
inline void SetScalar64(JsonNode* node, std::uint64_t bits) {
  node->value_a = static_cast<std::uint32_t>(bits);
  node->value_b = static_cast<std::uint32_t>(bits >> 32);
}
inline const char* NodeText(const JsonNode* node) {
  return reinterpret_cast<const char*>(node->value_a);
}
inline NodeVector* ElementVector(const JsonNode* node) {
  return reinterpret_cast<NodeVector*>(node->value_a);
}
inline NodeVector* BucketVector(const JsonNode* node) {
  return reinterpret_cast<NodeVector*>(node->value_a);
}
inline NodeVector* MemberVector(const JsonNode* node) {
  return reinterpret_cast<NodeVector*>(node->value_b);
}

// A counted vector of words (node or bucket pointers), addressed 1-based; 0 is an empty slot.
// Words 0 and 1 are the dimension count (always 1) and the element count. The block keeps
// spare room so that appending and growing take amortised constant time; slots beyond the
// count are always zero. A null vector is an empty one for every read.
//
// A vector of one node may also be held in its word alone, marked by the low bit (node
// records are 8-byte aligned, so their addresses never have it): every operation here takes
// it for a one-element vector, and Append, Resize and Cut turn it into a block or null as
// they need. Buckets are made so, since most members of an object have a bucket of their
// own, which then costs no heap block.
namespace node_vector {
inline constexpr std::size_t kHeaderWords = 3;  // capacity, dimension count, element count
inline bool IsSingle(const NodeVector* v) { return (reinterpret_cast<std::uintptr_t>(v) & 1) != 0; }
// The one-element vector holding `node` in its word.
inline NodeVector* Single(std::uintptr_t node) { return reinterpret_cast<NodeVector*>(node | 1); }

NodeVector* Create(std::size_t n);  // n zero slots
// 0 for null v, i = 0 or i > count.
inline std::uintptr_t Get(const NodeVector* v, std::size_t i) {
  const auto word = reinterpret_cast<std::uintptr_t>(v);
  if (word & 1) return i == 1 ? word & ~std::uintptr_t{1} : 0;
  const auto* words = reinterpret_cast<const std::uintptr_t*>(v);
  if (v == nullptr || i == 0 || i > words[2]) return 0;
  return words[kHeaderWords + i - 1];
}
void Set(NodeVector*& v, std::size_t i, std::uintptr_t value);  // i within 1..count
void Append(NodeVector*& v, std::uintptr_t value);  // creates a one-element vector from null
void Resize(NodeVector*& v, std::size_t n);         // keeps min(count, n); new slots empty
// Removes k slots from i on (k cut to what exists); false for null v, i = 0 or i > count.
bool Cut(NodeVector*& v, std::size_t i, std::size_t k);
inline std::size_t Count(const NodeVector* v) {
  if (v == nullptr) return 0;
  if (IsSingle(v)) return 1;
  return reinterpret_cast<const std::uintptr_t*>(v)[2];
}
void Free(NodeVector* v);
// 1-based slot holding `value`, or 0.
std::size_t Find(const NodeVector* v, std::uintptr_t value);

inline JsonNode* GetNode(const NodeVector* v, std::size_t i) {
  return reinterpret_cast<JsonNode*>(Get(v, i));
}
inline NodeVector* GetBucket(const NodeVector* v, std::size_t i) {
  return reinterpret_cast<NodeVector*>(Get(v, i));
}
}  // namespace node_vector

// The key hash: a running 32-bit product of the bytes, plus the sum of the product's
// overflow words, with the last byte's overflow word on top. KeyHash("") == 1; keys of up
// to four bytes hash to the product of their bytes, so "ab" and "ba" share a bucket.
std::uint64_t KeyHash(const char* key);
// (hash mod count) + 1.
std::size_t BucketOf(std::uint64_t hash, std::size_t count);
// Bytewise equality; null equals "".
bool KeysEqual(const char* a, const char* b);

inline constexpr std::size_t kInitialBuckets = 32;
inline constexpr std::size_t kLongBucket = 10;

// The module's one pool of node records, made on first use and never destroyed.
JsonNodePool& SharedNodePool();

// Heap copies of texts, and the count of the calling thread's store blocks still live (texts
// and vectors), which lets tests prove that a release frees everything exactly once.
char* CopyText(const char* text);           // null for null or ""
char* CopyTextKeepEmpty(const char* text);  // "" stays an (empty) copy; null stays null
void FreeText(char* text);
std::int64_t LiveStoreBlocks();

// A record from the pool with every field set; key and value are copied (none when empty).
JsonNode* NewNode(const char* key, const char* value, std::int32_t kind, JsonNode* parent);
// The first member of an object with an equal key, or null (also for non-objects).
JsonNode* FindMember(const JsonNode* node, const char* key);
// The member with `key`, made as a null member when missing; a node that is not an object
// first becomes an empty one (what it held is released). `key` must not be empty.
JsonNode* GetOrAddMember(JsonNode* node, const char* key);
// Releases what the node owns through its value; kind and both value words become 0. Key
// and parent stay.
void ClearValue(JsonNode* node);
// Releases the node, its key, its value and its whole subtree, and gives the records back to
// the pool. The parent's vectors are not touched. Null does nothing.
void ReleaseNode(JsonNode* node);

// Doubles an object's bucket table (the ordered member vector stays as it is).
void GrowBuckets(JsonNode* object);
// Puts the members of `second` (bucket by bucket) after those of `first` into one new bucket
// table of Floor(1.8 n) buckets (at least 32). A later member with a key already present
// takes the earlier one's place; each displaced member is passed to `displaced` (or released
// when it is null). The source buckets and bucket vectors are freed.
NodeVector* MergeBucketTables(NodeVector* first, NodeVector* second,
                              void (*displaced)(JsonNode*, void*) = nullptr,
                              void* context = nullptr);

}  // namespace lanzhou

#endif  // LANZHOU_JSON_NODE_STORE_H_
