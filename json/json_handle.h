// JsonHandle: the way into a JSON document. A handle refers to one node of a document tree
// and to the document's root; it owns neither. Navigation returns new handles and builds the
// tree as it goes; typed accessors read and write the node's value.
//
//   JsonHandle doc;
//   doc.Member("name").TextValue("abc", true);   // doc is now the root object
//   doc.Member("n").IntValue(5, true);
//   doc.ToJson() == "{\"name\":\"abc\",\"n\":5}";
//   doc.Query("name").TextValue() == "abc";       // Query never builds
//   doc.Remove(true, false);                      // releases the whole document
//
// Keys and texts are GB18030 byte texts used as they are. Failed navigation gives an empty
// handle (and, for a bad index, key or query, an entry in the module's ErrorLog); every
// operation on an empty handle is harmless and returns a zero result. After a Remove that
// released a node, no handle on that node or below it may be used again.
#ifndef LANZHOU_JSON_JSON_HANDLE_H_
#define LANZHOU_JSON_JSON_HANDLE_H_

#include <cstdint>
#include <optional>
#include <variant>
#include <vector>

#include "json/node_store.h"
#include "text/text.h"

namespace lanzhou {

// The caller's variable for GetAs and SetAs. std::monostate is an absent buffer. SetAs reads
// the variable's bytes (zero-extended) for the number kinds, as a memory buffer would be
// read, and refuses a Text for a number kind and a number for kind 10.
using JsonScalar = std::variant<std::monostate, std::uint8_t, std::int16_t, std::int32_t,
                                std::int64_t, float, double, bool, DateTime, Text>;

// Text the module writes into its ErrorLog.
Text JsonIndexErrorText();   // "function:index sysData:null"
Text JsonQueryErrorText();   // "function:query sysData:null"
Text JsonKeyErrorText();     // "function:key sysData:null"
Text JsonRemoveErrorText();  // "释放内存的时候, 因为类型不匹配,导致出现错误."

class JsonHandle {
 public:
  // An empty handle; the first construction makes the shared node pool.
  JsonHandle();

  void Attach(JsonNode* node, JsonNode* root, std::uintptr_t reserved = 0);
  // A new null root; the handle refers to it. A document referred to before is not released.
  bool CreateRoot();

  // Element i (1-based), made as a null element when missing; a node that is not an array
  // becomes one (its value released) with i slots. i < 1 logs and gives an empty handle.
  JsonHandle Index(int i);
  // Read-only path: names separated by ".", elements as [n]: "a.b", "a[2][1]", "[3]",
  // "a[2]b" (member b of element 2 of a). "a[2].b", ".a", "a[0]", "a[x]" fail. "" gives this
  // node. On an empty handle it logs and gives an empty handle.
  JsonHandle Query(const Text& path) const;
  // The member with `key`, made as a null member when missing; a node that is not an object
  // becomes an empty one first. An empty key logs and gives an empty handle.
  JsonHandle Member(const Text& key);

  // Compact JSON of the node; a member comes out as a one-member object. Empty handle: "null".
  Text ToJson() const;
  // An XML document of the node. Defaults: root name "item", encoding "gb2312", line end
  // CR LF, indent one TAB.
  Text ToXml(const std::optional<Text>& root_name = std::nullopt,
             const std::optional<Text>& encoding = std::nullopt,
             const std::optional<Text>& line_end = std::nullopt,
             const std::optional<Text>& indent = std::nullopt) const;
  // Values of an array joined by `separator`, or key + pair separator + value of an object's
  // members; members with an empty value text are left out unless `include_empty`. Keys and
  // values are written as stored, a 0x1A byte included. Any other node gives "".
  //   {k1:1, k2:"", k3:"x"} -> "k1=1&k3=x" with "&"; ["x","y"] -> "x,y" with ",".
  Text ToQueryText(const Text& separator, const std::optional<Text>& pair_separator = std::nullopt,
                   bool include_empty = false) const;

  // Detaches the node from its parent and releases it with its subtree (a root: the whole
  // document). With merge and without release, an array's elements move to the end of an
  // array parent, and an object's members into an object parent (a member with a key the
  // parent has replaces the parent's); a node of another kind under a container is only
  // detached and becomes a root of its own, still referred to by this handle, and its
  // address is the result. Otherwise 0; -1 for an empty handle. A released node leaves this
  // handle empty.
  std::intptr_t Remove(bool release = true, bool merge = false);

  // The value converted to kJsonInt, kJsonLong, kJsonFloat, kJsonDouble, kJsonBool,
  // kJsonDate or kJsonText into `out`; false for an empty handle, a null `out` or another kind.
  //   doc.Member("n").IntValue(12, true);  doc.Member("n").GetAs(kJsonText, &out);  // "12"
  bool GetAs(JsonKind kind, JsonScalar* out) const;
  // Clears the value and stores `in` as kJsonNull, a number kind (kJsonByte to kJsonDate) or
  // kJsonText (an empty Text is kept as an empty text). False for an empty handle, no buffer,
  // a buffer of the wrong sort (nothing changes then) or another kind (the node is left null).
  bool SetAs(JsonKind kind, const JsonScalar* in);

  // Typed accessors: with `set` the value is stored (the result is the type's zero; for
  // DateValue 1899-12-30 00:00:00), otherwise the value converted to the type is returned.
  // On an empty handle nothing happens and the zero comes back (DateValue: 0100-01-01).
  DateTime DateValue(DateTime value = DateTime(), bool set = false);
  std::int64_t LongValue(std::int64_t value = 0, bool set = false);
  // Stores an empty text as none: Count() then gives -1.
  Text TextValue(const Text& value = Text(), bool set = false);
  float FloatValue(float value = 0, bool set = false);
  double DoubleValue(double value = 0, bool set = false);
  std::int32_t IntValue(std::int32_t value = 0, bool set = false);
  // Get and set alike return whether the value's low word was non-zero before any store
  // (true for any text, false for null); no conversion.
  bool BoolValue(bool value = false, bool set = false);

  // Appends the keys of an object's members in bucket order (not insertion order).
  void Keys(TextArray& keys) const;
  Text Key() const;
  bool IsNull() const;
  // -1 for an empty handle; a marked kind reads as its low byte, 13..15 as 3..5.
  int Kind() const;
  // Elements of an array, members of an object, bytes of a text (-1 for a text stored as
  // none), otherwise 0.
  int Count() const;
  // Replaces `found` with handles on every member named `key`, depth-first in document
  // order, at most `depth` levels down (0: no limit). Returns their number.
  int FindAll(const Text& key, std::vector<JsonHandle>& found, int depth = 0) const;
  bool Has(const Text& key) const;
  JsonHandle Clone() const { return *this; }
  JsonHandle Parent() const;

  JsonNode* node() const { return node_; }
  JsonNode* root() const { return root_; }
  std::uintptr_t reserved() const { return reserved_; }

 private:
  JsonHandle Derived(JsonNode* node) const;

  JsonNode* node_ = nullptr;
  JsonNode* root_ = nullptr;
  std::uintptr_t reserved_ = 0;
};

}  // namespace lanzhou

#endif  // LANZHOU_JSON_JSON_HANDLE_H_
