#include "json/json_handle.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <unordered_set>

#include "json/error_log.h"
#include "json/json_dates.h"
#include "json/json_module.h"
#include "text/dates.h"
#include "text/encoding.h"
#include "text/gbk_chars.h"
#include "text/text_primitives.h"

namespace lanzhou {

namespace {

constexpr double kUnixEpochDays = 25569.0;      // 1970-01-01 00:00:00
constexpr double kEmptyHandleDate = -657434.0;  // 0100-01-01 00:00:00

std::uintptr_t AsWord(const void* p) { return reinterpret_cast<std::uintptr_t>(p); }

void LogError(const Text& text) {
  if (ErrorLog* log = JsonModuleErrorLog()) log->Push(text);
}

std::int64_t TruncToInt64(double v) {
  if (std::isnan(v)) return 0;
  if (v >= 9.2233720368547758e18) return std::numeric_limits<std::int64_t>::max();
  if (v <= -9.2233720368547758e18) return std::numeric_limits<std::int64_t>::min();
  return static_cast<std::int64_t>(v);
}

// Beyond the int range the nearest bound.
std::int32_t SaturateToInt32(std::int64_t v) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(
      v, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

std::int64_t WholeSecondsSince1970(double days) {
  return TruncToInt64((days - kUnixEpochDays) * 86400 + 0.0000058);
}

// The leading decimal digits of a text (no sign, no blanks), wrapping at 32 bits.
std::int32_t LeadingDigits(const char* text) {
  std::uint32_t value = 0;
  for (const char* p = text; p && *p >= '0' && *p <= '9'; ++p) value = value * 10 + (*p - '0');
  return static_cast<std::int32_t>(value);
}

Text NodeTextValue(const JsonNode* node) {
  const char* text = NodeText(node);
  return text ? Text(std::string_view(text)) : Text();
}

bool IsContainer(std::int32_t kind) { return kind == kJsonArray || kind == kJsonObject; }

// The 64 bits a caller's variable holds, zero-extended.
std::uint64_t RawBits(const JsonScalar& in) {
  struct Visitor {
    std::uint64_t operator()(std::monostate) const { return 0; }
    std::uint64_t operator()(std::uint8_t v) const { return v; }
    std::uint64_t operator()(std::int16_t v) const { return static_cast<std::uint16_t>(v); }
    std::uint64_t operator()(std::int32_t v) const { return static_cast<std::uint32_t>(v); }
    std::uint64_t operator()(std::int64_t v) const { return static_cast<std::uint64_t>(v); }
    std::uint64_t operator()(float v) const { return std::bit_cast<std::uint32_t>(v); }
    std::uint64_t operator()(double v) const { return std::bit_cast<std::uint64_t>(v); }
    std::uint64_t operator()(bool v) const { return v ? 1 : 0; }
    std::uint64_t operator()(DateTime v) const { return std::bit_cast<std::uint64_t>(v.days()); }
    std::uint64_t operator()(const Text&) const { return 0; }
  };
  return std::visit(Visitor{}, in);
}

double DoubleOf(const JsonNode* node) { return std::bit_cast<double>(Scalar64(node)); }
float FloatOf(const JsonNode* node) {
  return std::bit_cast<float>(static_cast<std::uint32_t>(node->value_a));
}
std::int32_t Int32Of(const JsonNode* node) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(node->value_a));
}
std::int64_t Int64Of(const JsonNode* node) { return static_cast<std::int64_t>(Scalar64(node)); }

// A value that is a number of some width: what "value A" or "A:B" reads for the plain kinds.
// Containers hold addresses there, which are no numbers: they read 0.
std::int64_t PlainInt64(const JsonNode* node, std::int32_t kind) {
  return IsContainer(kind) ? 0 : Int64Of(node);
}

// A node read as an int or a long. A text gives its leading digits for an int and what atoi
// reads for a long; a date its whole seconds since 1970; a float or double is truncated toward
// zero. Those saturate at the target's bounds; the plain kinds' bits wrap to an int.
JsonScalar WholeNumber(const JsonNode* node, std::int32_t kind, JsonKind target) {
  const bool is_int = target == kJsonInt;
  if (IsTextKind(kind)) {
    if (is_int) return LeadingDigits(NodeText(node));
    return std::int64_t{ToInteger(NodeTextValue(node))};
  }
  std::int64_t v;
  if (kind == kJsonDate) {
    v = WholeSecondsSince1970(DoubleOf(node));
  } else if (kind == kJsonFloat) {
    v = TruncToInt64(FloatOf(node));
  } else if (kind == kJsonDouble) {
    v = TruncToInt64(DoubleOf(node));
  } else {
    return is_int ? JsonScalar(static_cast<std::int32_t>(PlainInt64(node, kind)))
                  : JsonScalar(PlainInt64(node, kind));
  }
  return is_int ? JsonScalar(SaturateToInt32(v)) : JsonScalar(v);
}

// A node read as a float or a double: a text as atof reads it, a date its whole seconds since
// 1970, the number kinds their value.
double RealNumber(const JsonNode* node, std::int32_t kind) {
  if (IsTextKind(kind)) return ToNumber(NodeTextValue(node));
  if (kind == kJsonDate) return static_cast<double>(WholeSecondsSince1970(DoubleOf(node)));
  if (kind == kJsonFloat) return FloatOf(node);
  if (kind == kJsonDouble) return DoubleOf(node);
  return static_cast<double>(PlainInt64(node, kind));
}

// A node read as a date: a text parsed, a date as it is, an int or long as seconds since
// 1970 (its low word); anything else the empty date.
DateTime DateOf(const JsonNode* node, std::int32_t kind) {
  if (IsTextKind(kind)) return ParseDateText(NodeTextValue(node));
  if (kind == kJsonDate) return DateTime(DoubleOf(node));
  if (kind == kJsonInt || kind == kJsonLong) return AddSeconds(MakeTime(1970, 1, 1), Int32Of(node));
  return DateTime();
}

// A node read as a text: a text as it is, a date as yyyyMMddHHmmss, numbers in decimal, a
// bool as true or false; a container as "".
Text TextOf(const JsonNode* node, std::int32_t kind) {
  if (IsTextKind(kind)) return NodeTextValue(node);
  switch (kind) {
    case kJsonDate:
      return FormatDateTime(DateTime(DoubleOf(node)), "yyyyMMddHHmmss");
    case kJsonFloat:
      return ToText(FloatOf(node));
    case kJsonDouble:
      return ToText(DoubleOf(node));
    case kJsonInt:
      return ToText(Int32Of(node));
    case kJsonLong:
      return ToText(Int64Of(node));
    case kJsonBool:
      return Text(node->value_a != 0 ? "true" : "false");
    default:
      return Text();
  }
}

bool Convert(const JsonNode* node, JsonKind target, JsonScalar* out) {
  const std::int32_t kind = DispatchKind(node->kind);
  switch (target) {
    case kJsonInt:
    case kJsonLong:
      *out = WholeNumber(node, kind, target);
      return true;
    case kJsonFloat:
      *out = static_cast<float>(RealNumber(node, kind));
      return true;
    case kJsonDouble:
      *out = RealNumber(node, kind);
      return true;
    case kJsonBool:
      *out = node->value_a != 0 || node->value_b != 0;
      return true;
    case kJsonDate:
      *out = DateOf(node, kind);
      return true;
    case kJsonText:
      *out = TextOf(node, kind);
      return true;
    default:
      return false;
  }
}

void FindAllFrom(const JsonNode* node, const char* key, int depth, std::vector<JsonNode*>& out) {
  if (node->kind == kJsonObject) {
    NodeVector* buckets = BucketVector(node);
    NodeVector* bucket =
        node_vector::GetBucket(buckets, BucketOf(KeyHash(key), node_vector::Count(buckets)));
    for (std::size_t i = 1; i <= node_vector::Count(bucket); ++i) {
      JsonNode* member = node_vector::GetNode(bucket, i);
      if (member != nullptr && KeysEqual(member->key, key)) out.push_back(member);
    }
    if (depth == 1) return;
    const NodeVector* members = MemberVector(node);
    for (std::size_t i = 1; i <= node_vector::Count(members); ++i) {
      const JsonNode* member = node_vector::GetNode(members, i);
      if (member != nullptr && IsContainer(member->kind)) FindAllFrom(member, key, depth - 1, out);
    }
  } else if (node->kind == kJsonArray) {
    if (depth == 1) return;
    const NodeVector* elements = ElementVector(node);
    for (std::size_t i = 1; i <= node_vector::Count(elements); ++i) {
      if (const JsonNode* element = node_vector::GetNode(elements, i)) {
        FindAllFrom(element, key, depth - 1, out);
      }
    }
  }
}

// Takes the node out of its parent's vectors; false when the parent is no container.
bool Detach(JsonNode* node, JsonNode* parent) {
  if (parent->kind == kJsonArray) {
    NodeVector* elements = ElementVector(parent);
    if (std::size_t i = node_vector::Find(elements, AsWord(node))) node_vector::Cut(elements, i, 1);
    parent->value_a = AsWord(elements);
    return true;
  }
  if (parent->kind == kJsonObject) {
    NodeVector* buckets = BucketVector(parent);
    const std::size_t b = BucketOf(KeyHash(node->key), node_vector::Count(buckets));
    NodeVector* bucket = node_vector::GetBucket(buckets, b);
    if (std::size_t i = node_vector::Find(bucket, AsWord(node))) node_vector::Cut(bucket, i, 1);
    node_vector::Set(buckets, b, AsWord(bucket));
    NodeVector* members = MemberVector(parent);
    if (std::size_t i = node_vector::Find(members, AsWord(node))) node_vector::Cut(members, i, 1);
    parent->value_b = AsWord(members);
    return true;
  }
  return false;
}

// The node's record and key go; what it held now belongs to the parent.
void FreeShell(JsonNode* node) {
  FreeText(node->key);
  SharedNodePool().Free(node);
}

void MergeArrayInto(JsonNode* parent, JsonNode* node) {
  NodeVector* target = ElementVector(parent);
  NodeVector* source = ElementVector(node);
  for (std::size_t i = 1; i <= node_vector::Count(source); ++i) {
    JsonNode* element = node_vector::GetNode(source, i);
    if (element != nullptr) element->parent = parent;
    node_vector::Append(target, AsWord(element));
  }
  parent->value_a = AsWord(target);
  node_vector::Free(source);
  FreeShell(node);
}

void MergeObjectInto(JsonNode* parent, JsonNode* node) {
  std::vector<JsonNode*> displaced;
  NodeVector* merged = MergeBucketTables(
      BucketVector(parent), BucketVector(node),
      [](JsonNode* old, void* list) { static_cast<std::vector<JsonNode*>*>(list)->push_back(old); },
      &displaced);
  parent->value_a = AsWord(merged);
  // The ordered vector follows the buckets: replaced members leave it, moved ones join it
  // at the end in the node's order.
  NodeVector* ordered = MemberVector(parent);
  if (!displaced.empty()) {
    const std::unordered_set<const JsonNode*> gone(displaced.begin(), displaced.end());
    NodeVector* kept = nullptr;
    for (std::size_t i = 1; i <= node_vector::Count(ordered); ++i) {
      JsonNode* member = node_vector::GetNode(ordered, i);
      if (gone.count(member) == 0) node_vector::Append(kept, AsWord(member));
    }
    node_vector::Free(ordered);
    ordered = kept;
  }
  NodeVector* moved = MemberVector(node);
  for (std::size_t i = 1; i <= node_vector::Count(moved); ++i) {
    JsonNode* member = node_vector::GetNode(moved, i);
    member->parent = parent;
    node_vector::Append(ordered, AsWord(member));
  }
  parent->value_b = AsWord(ordered);
  node_vector::Free(moved);
  for (JsonNode* old : displaced) ReleaseNode(old);
  FreeShell(node);
}

}  // namespace

Text JsonIndexErrorText() { return Text("function:index sysData:null"); }
Text JsonQueryErrorText() { return Text("function:query sysData:null"); }
Text JsonKeyErrorText() { return Text("function:key sysData:null"); }
Text JsonRemoveErrorText() {
  static const Text text = FromUtf8("释放内存的时候, 因为类型不匹配,导致出现错误.");
  return text;
}

JsonHandle::JsonHandle() { SharedNodePool(); }

JsonHandle JsonHandle::Derived(JsonNode* node) const {
  JsonHandle handle;
  handle.Attach(node, root_, reserved_);
  return handle;
}

void JsonHandle::Attach(JsonNode* node, JsonNode* root, std::uintptr_t reserved) {
  node_ = node;
  root_ = root;
  reserved_ = reserved;
}

bool JsonHandle::CreateRoot() {
  node_ = root_ = NewNode(nullptr, nullptr, kJsonNull, nullptr);
  return node_ != nullptr;
}

JsonHandle JsonHandle::Index(int i) {
  if (node_ == nullptr && !CreateRoot()) return JsonHandle();
  if (i < 1) {
    LogError(JsonIndexErrorText());
    return Derived(nullptr);
  }
  const std::size_t slot = static_cast<std::size_t>(i);
  if (node_->kind == kJsonArray) {
    NodeVector* elements = ElementVector(node_);
    if (node_vector::Count(elements) < slot) node_vector::Resize(elements, slot);
    JsonNode* element = node_vector::GetNode(elements, slot);
    if (element == nullptr) {
      element = NewNode(nullptr, nullptr, kJsonNull, node_);
      node_vector::Set(elements, slot, AsWord(element));
    }
    node_->value_a = AsWord(elements);
    return Derived(element);
  }
  ClearValue(node_);
  JsonNode* element = NewNode(nullptr, nullptr, kJsonNull, node_);
  NodeVector* elements = node_vector::Create(slot);
  node_vector::Set(elements, slot, AsWord(element));
  node_->value_a = AsWord(elements);
  node_->kind = kJsonArray;
  return Derived(element);
}

JsonHandle JsonHandle::Query(const Text& path) const {
  if (node_ == nullptr) {
    LogError(JsonQueryErrorText());
    return Derived(nullptr);
  }
  const std::string& p = path.bytes();
  const JsonNode* current = node_;
  std::size_t name_start = std::string::npos;
  auto resolve = [&](std::size_t end) {
    const std::string name = p.substr(name_start, end - name_start);
    name_start = std::string::npos;
    current = FindMember(current, name.c_str());
    return current != nullptr;
  };
  std::size_t pos = 0;
  while (pos < p.size()) {
    const unsigned char c = p[pos];
    if (c == '[') {
      std::uint32_t value = 0;
      std::size_t end = pos + 1;
      while (end < p.size() && p[end] >= '0' && p[end] <= '9')
        value = value * 10 + (p[end++] - '0');
      if (end >= p.size() || p[end] != ']' || value == 0) return Derived(nullptr);
      if (name_start != std::string::npos && !resolve(pos)) return Derived(nullptr);
      if (current->kind != kJsonArray || node_vector::Count(ElementVector(current)) < value) {
        return Derived(nullptr);
      }
      current = node_vector::GetNode(ElementVector(current), value);
      if (current == nullptr) return Derived(nullptr);
      pos = end + 1;
      continue;
    }
    if (c == '.') {
      if (name_start == std::string::npos || !resolve(pos)) return Derived(nullptr);
    } else if (name_start == std::string::npos) {
      name_start = pos;
    }
    // A two-byte character is taken whole, so its second byte is never read as "[" or "]".
    pos = NextCharStart(p, pos);
  }
  if (name_start != std::string::npos && !resolve(p.size())) return Derived(nullptr);
  return Derived(const_cast<JsonNode*>(current));
}

JsonHandle JsonHandle::Member(const Text& key) {
  if (node_ == nullptr && !CreateRoot()) return JsonHandle();
  if (key.empty()) {
    LogError(JsonKeyErrorText());
    return Derived(nullptr);
  }
  return Derived(GetOrAddMember(node_, key.c_str()));
}

std::intptr_t JsonHandle::Remove(bool release, bool merge) {
  if (node_ == nullptr) return -1;
  JsonNode* node = node_;
  JsonNode* parent = node->parent;
  if (parent == nullptr) {
    ReleaseNode(node);
    Attach(nullptr, node == root_ ? nullptr : root_, reserved_);
    return 0;
  }
  const bool container_parent = Detach(node, parent);
  if (!container_parent) LogError(JsonRemoveErrorText());
  if (merge && !release && container_parent) {
    if (parent->kind == kJsonArray && node->kind == kJsonArray) {
      MergeArrayInto(parent, node);
      Attach(nullptr, root_, reserved_);
      return 0;
    }
    if (parent->kind == kJsonObject && node->kind == kJsonObject) {
      MergeObjectInto(parent, node);
      Attach(nullptr, root_, reserved_);
      return 0;
    }
    // Nothing to merge: the node stays whole, as a root of its own that this handle still
    // refers to, so that it can be removed later instead of being lost.
    node->parent = nullptr;
    root_ = node;
    return static_cast<std::intptr_t>(AsWord(node));
  }
  ReleaseNode(node);
  Attach(nullptr, root_, reserved_);
  return 0;
}

bool JsonHandle::GetAs(JsonKind kind, JsonScalar* out) const {
  if (node_ == nullptr || out == nullptr) return false;
  return Convert(node_, kind, out);
}

bool JsonHandle::SetAs(JsonKind kind, const JsonScalar* in) {
  if (node_ == nullptr || in == nullptr || std::holds_alternative<std::monostate>(*in)) {
    return false;
  }
  const bool holds_text = std::holds_alternative<Text>(*in);
  if ((kind == kJsonText && !holds_text) ||
      (kind >= kJsonByte && kind <= kJsonDate && holds_text)) {
    return false;
  }
  ClearValue(node_);
  const std::uint64_t bits = RawBits(*in);
  switch (kind) {
    case kJsonNull:
      break;
    case kJsonByte:
      node_->value_a = bits & 0xFFu;
      break;
    case kJsonShort:
      node_->value_a = bits & 0xFFFFu;
      break;
    case kJsonInt:
    case kJsonFloat:
    case kJsonBool:
      node_->value_a = bits & 0xFFFFFFFFu;
      break;
    case kJsonLong:
    case kJsonDouble:
    case kJsonDate:
      SetScalar64(node_, bits);
      break;
    case kJsonText:
      node_->value_a = AsWord(CopyTextKeepEmpty(std::get<Text>(*in).c_str()));
      break;
    default:
      return false;
  }
  node_->kind = kind;
  return true;
}

DateTime JsonHandle::DateValue(DateTime value, bool set) {
  if (node_ == nullptr) return DateTime(kEmptyHandleDate);
  if (set) {
    ClearValue(node_);
    SetScalar64(node_, std::bit_cast<std::uint64_t>(value.days()));
    node_->kind = kJsonDate;
    return DateTime();
  }
  JsonScalar out;
  return Convert(node_, kJsonDate, &out) ? std::get<DateTime>(out) : DateTime();
}

std::int64_t JsonHandle::LongValue(std::int64_t value, bool set) {
  if (node_ == nullptr) return 0;
  if (set) {
    ClearValue(node_);
    SetScalar64(node_, static_cast<std::uint64_t>(value));
    node_->kind = kJsonLong;
    return 0;
  }
  JsonScalar out;
  return Convert(node_, kJsonLong, &out) ? std::get<std::int64_t>(out) : 0;
}

Text JsonHandle::TextValue(const Text& value, bool set) {
  if (node_ == nullptr) return Text();
  if (set) {
    ClearValue(node_);
    node_->value_a = AsWord(CopyText(value.c_str()));
    node_->kind = kJsonText;
    return Text();
  }
  JsonScalar out;
  return Convert(node_, kJsonText, &out) ? std::get<Text>(std::move(out)) : Text();
}

float JsonHandle::FloatValue(float value, bool set) {
  if (node_ == nullptr) return 0;
  if (set) {
    ClearValue(node_);
    node_->value_a = std::bit_cast<std::uint32_t>(value);
    node_->kind = kJsonFloat;
    return 0;
  }
  JsonScalar out;
  return Convert(node_, kJsonFloat, &out) ? std::get<float>(out) : 0;
}

double JsonHandle::DoubleValue(double value, bool set) {
  if (node_ == nullptr) return 0;
  if (set) {
    ClearValue(node_);
    SetScalar64(node_, std::bit_cast<std::uint64_t>(value));
    node_->kind = kJsonDouble;
    return 0;
  }
  JsonScalar out;
  return Convert(node_, kJsonDouble, &out) ? std::get<double>(out) : 0;
}

std::int32_t JsonHandle::IntValue(std::int32_t value, bool set) {
  if (node_ == nullptr) return 0;
  if (set) {
    ClearValue(node_);
    SetScalar64(node_, static_cast<std::uint64_t>(static_cast<std::int64_t>(value)));
    node_->kind = kJsonInt;
    return 0;
  }
  JsonScalar out;
  return Convert(node_, kJsonInt, &out) ? std::get<std::int32_t>(out) : 0;
}

bool JsonHandle::BoolValue(bool value, bool set) {
  if (node_ == nullptr) return false;
  const bool before = node_->value_a != 0;
  if (set) {
    ClearValue(node_);
    node_->value_a = value ? 1 : 0;
    node_->kind = kJsonBool;
  }
  return before;
}

void JsonHandle::Keys(TextArray& keys) const {
  if (node_ == nullptr || node_->kind != kJsonObject) return;
  const NodeVector* buckets = BucketVector(node_);
  for (std::size_t b = 1; b <= node_vector::Count(buckets); ++b) {
    const NodeVector* bucket = node_vector::GetBucket(buckets, b);
    for (std::size_t i = 1; i <= node_vector::Count(bucket); ++i) {
      const char* key = node_vector::GetNode(bucket, i)->key;
      keys.push_back(key ? Text(std::string_view(key)) : Text());
    }
  }
}

Text JsonHandle::Key() const {
  return node_ != nullptr && node_->key != nullptr ? Text(std::string_view(node_->key)) : Text();
}

bool JsonHandle::IsNull() const { return node_ == nullptr || node_->kind == kJsonNull; }

int JsonHandle::Kind() const {
  if (node_ == nullptr) return -1;
  if (node_->kind <= kJsonLastPlainKind) return node_->kind;
  const int low = node_->kind & 255;
  return low > kJsonObject ? low - 10 : low;
}

int JsonHandle::Count() const {
  if (node_ == nullptr) return 0;
  switch (node_->kind) {
    case kJsonArray:
      return static_cast<int>(node_vector::Count(ElementVector(node_)));
    case kJsonObject:
      return static_cast<int>(node_vector::Count(MemberVector(node_)));
    case kJsonText:
      return NodeText(node_) == nullptr ? -1 : static_cast<int>(std::strlen(NodeText(node_)));
    default:
      return 0;
  }
}

int JsonHandle::FindAll(const Text& key, std::vector<JsonHandle>& found, int depth) const {
  found.clear();
  if (node_ == nullptr) return 0;
  std::vector<JsonNode*> nodes;
  FindAllFrom(node_, key.c_str(), depth, nodes);
  for (JsonNode* node : nodes) found.push_back(Derived(node));
  return static_cast<int>(found.size());
}

bool JsonHandle::Has(const Text& key) const {
  if (node_ == nullptr || key.empty()) return false;
  return FindMember(node_, key.c_str()) != nullptr;
}

JsonHandle JsonHandle::Parent() const { return Derived(node_ ? node_->parent : nullptr); }

}  // namespace lanzhou
