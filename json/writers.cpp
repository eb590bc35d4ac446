#include "json/writers.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "json/json_dates.h"
#include "json/json_handle.h"
#include "text/gbk_chars.h"
#include "text/text_primitives.h"

namespace lanzhou {

namespace {

// The writers' one output buffer: the text grows in place behind a cursor, and each step
// makes room once for everything it writes. Leaving the scope cuts the text to what was
// written, so the caller reads `out` only after the sink is gone.
class Sink {
 public:
  explicit Sink(std::string& out) : out_(out), used_(out.size()) {}
  Sink(const Sink&) = delete;
  Sink& operator=(const Sink&) = delete;
  ~Sink() { out_.resize(used_); }

  // At least `n` writable bytes at the cursor; Done(end) moves the cursor to `end`.
  char* Room(std::size_t n) {
    if (out_.size() - used_ < n) Grow(n);
    return out_.data() + used_;
  }
  void Done(const char* end) { used_ = static_cast<std::size_t>(end - out_.data()); }
  void Put(char c) {
    *Room(1) = c;
    ++used_;
  }
  void Put(std::string_view text) {
    if (text.empty()) return;
    std::memcpy(Room(text.size()), text.data(), text.size());
    used_ += text.size();
  }

 private:
  [[gnu::noinline]] void Grow(std::size_t n) {
    out_.resize(std::max(out_.size() * 2, used_ + n + 4096));
  }

  std::string& out_;
  std::size_t used_;
};

// Room for a 64-bit integer or a number laid out from at most 15 digits.
constexpr std::size_t kNumberRoom = 32;

// The integers of the writers, formatted as "%d" would, straight into the buffer.
void PutInt(Sink& out, long long value) {
  char* p = out.Room(kNumberRoom);
  out.Done(std::to_chars(p, p + kNumberRoom, value).ptr);
}

// Powers of ten that doubles hold exactly.
constexpr std::array<double, 23> kExactPowers = [] {
  std::array<double, 23> powers{};
  double p = 1;
  for (double& power : powers) {
    power = p;
    p *= 10;
  }
  return powers;
}();

// `digits` (the leading digit first, no trailing zeros) times 10^exponent, laid out at `p`
// as "%g" lays out a number of that exponent with `precision` significant digits.
char* WriteGeneralLayout(char* p, std::string_view digits, int exponent, int precision) {
  auto copy = [&p](std::string_view part) {
    std::memcpy(p, part.data(), part.size());
    p += part.size();
  };
  if (exponent < -4 || exponent >= precision) {
    *p++ = digits[0];
    if (digits.size() > 1) {
      *p++ = '.';
      copy(digits.substr(1));
    }
    *p++ = 'e';
    *p++ = exponent < 0 ? '-' : '+';
    const int magnitude = exponent < 0 ? -exponent : exponent;
    if (magnitude < 10) *p++ = '0';
    return std::to_chars(p, p + 4, magnitude).ptr;
  }
  if (exponent < 0) {
    copy("0.");
    for (int i = -1; i > exponent; --i) *p++ = '0';
    copy(digits);
    return p;
  }
  const std::size_t whole = static_cast<std::size_t>(exponent) + 1;
  if (digits.size() <= whole) {
    copy(digits);
    for (std::size_t i = digits.size(); i < whole; ++i) *p++ = '0';
  } else {
    copy(digits.substr(0, whole));
    *p++ = '.';
    copy(digits.substr(whole));
  }
  return p;
}

// "%.*g" of `value` at `p`, or null when the value needs the exact path (see
// AppendRealGeneral).
char* WriteRealGeneral(char* p, double value, int precision) {
  const double magnitude = std::fabs(value);
  if (magnitude == 0) {
    if (std::signbit(value)) *p++ = '-';
    *p++ = '0';
    return p;
  }
  if (precision < 1 || precision > 15 || !std::isfinite(value)) return nullptr;
  // The decimal exponent from the binary one, magnitude = m 2^binary with m in [0.5, 1), as
  // floor((binary - 1) log10 2) by 78913 / 2^18: off by at most one either way.
  const int binary =
      static_cast<int>((std::bit_cast<std::uint64_t>(magnitude) >> 52) & 0x7FF) - 1022;
  int exponent = ((binary - 1) * 78913) >> 18;
  double scaled = 0;
  const double top = kExactPowers[static_cast<std::size_t>(precision)];
  for (int attempt = 0;; ++attempt) {
    const int shift = precision - 1 - exponent;
    if (attempt == 3 || shift < -22 || shift > 22) return nullptr;
    // One correctly rounded operation with an exact power: `scaled` is within half an ulp
    // of the exact product.
    scaled = shift >= 0 ? magnitude * kExactPowers[static_cast<std::size_t>(shift)]
                        : magnitude / kExactPowers[static_cast<std::size_t>(-shift)];
    if (scaled >= top) {
      ++exponent;
    } else if (scaled < top / 10) {
      --exponent;
    } else {
      break;
    }
  }
  const auto whole = static_cast<std::uint64_t>(scaled);  // below 10^15
  const double fraction = scaled - static_cast<double>(whole);
  // Closer to halfway than an ulp of `scaled`: the exact product may round the other way.
  if (std::fabs(fraction - 0.5) <= scaled * 0x1p-51) return nullptr;
  std::uint64_t rounded = whole + (fraction > 0.5 ? 1u : 0u);
  if (rounded == static_cast<std::uint64_t>(top)) {  // 9.99...95 carried into 10.00...0
    rounded /= 10;
    ++exponent;
  }
  char digits[24];
  char* end = std::to_chars(digits, digits + sizeof digits, rounded).ptr;
  while (end - digits > 1 && end[-1] == '0') --end;
  if (value < 0) *p++ = '-';
  return WriteGeneralLayout(p, std::string_view(digits, static_cast<std::size_t>(end - digits)),
                            exponent, precision);
}

void PutRealGeneral(Sink& out, double value, int precision) {
  if (char* end = WriteRealGeneral(out.Room(kNumberRoom), value, precision)) {
    out.Done(end);
    return;
  }
  std::string exact;
  AppendGeneral(exact, value, precision);
  out.Put(exact);
}

// The escape of each byte (empty for a byte copied as it is), and the longest escape.
struct Escape {
  std::uint8_t size;
  char bytes[7];
};
using EscapeTable = std::array<Escape, 256>;
constexpr std::size_t kLongestEscape = 6;
constexpr EscapeTable Escapes(std::initializer_list<std::pair<char, std::string_view>> escapes) {
  EscapeTable table{};
  for (const auto& [byte, escape] : escapes) {
    Escape& entry = table[static_cast<unsigned char>(byte)];
    entry.size = static_cast<std::uint8_t>(escape.size());
    for (std::size_t i = 0; i < escape.size(); ++i) entry.bytes[i] = escape[i];
  }
  return table;
}
constexpr EscapeTable kJsonEscapes = Escapes({{'\b', "\\b"},
                                              {'\n', "\\n"},
                                              {'\r', "\\r"},
                                              {'\t', "\\t"},
                                              {'\f', "\\f"},
                                              {'\\', "\\\\"},
                                              {'/', "\\/"},
                                              {'"', "\\\""}});
constexpr EscapeTable kXmlEscapes =
    Escapes({{'<', "&lt;"}, {'>', "&gt;"}, {'&', "&amp;"}, {'\'', "&apos;"}, {'"', "&quot;"}});

// Writes `text` at `p` (room for kLongestEscape times its size) with every character the
// table names replaced by its escape, and returns the end. A two-byte character is copied
// whole, so its second byte is never taken for a quote or a backslash; no escape is for a
// byte of 0x80 or above, so a lead byte needs no look-up.
char* WriteEscaped(char* p, std::string_view text, const EscapeTable& escapes) {
  const char* s = text.data();
  const std::size_t n = text.size();
  for (std::size_t i = 0; i < n; ++i) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (IsLeadByte(c)) {
      *p++ = s[i];
      if (i + 1 < n && TakesAsSecondByte(static_cast<unsigned char>(s[i + 1]))) *p++ = s[++i];
      continue;
    }
    const Escape& escape = escapes[c];
    if (escape.size == 0) {
      *p++ = s[i];
    } else {
      std::memcpy(p, escape.bytes, sizeof escape.bytes);  // room: 7 <= kLongestEscape + 1
      p += escape.size;
    }
  }
  return p;
}

void PutEscaped(Sink& out, std::string_view text, const EscapeTable& escapes) {
  out.Done(WriteEscaped(out.Room(text.size() * kLongestEscape + 1), text, escapes));
}

std::string_view TextOf(const JsonNode* node) {
  const char* text = NodeText(node);
  return text ? std::string_view(text) : std::string_view();
}

double DoubleOf(const JsonNode* node) { return std::bit_cast<double>(Scalar64(node)); }
float FloatOf(const JsonNode* node) {
  return std::bit_cast<float>(static_cast<std::uint32_t>(node->value_a));
}

// The number or word of a scalar kind, shared by JSON and XML; false for other kinds.
bool PutScalar(Sink& out, const JsonNode* node, std::int32_t kind) {
  switch (kind) {
    case kJsonByte:
      PutInt(out, static_cast<std::uint8_t>(node->value_a));
      return true;
    case kJsonShort:
      PutInt(out, static_cast<std::int16_t>(static_cast<std::uint16_t>(node->value_a)));
      return true;
    case kJsonInt:
      PutInt(out, static_cast<std::int32_t>(static_cast<std::uint32_t>(node->value_a)));
      return true;
    case kJsonLong:
      PutInt(out, static_cast<std::int64_t>(Scalar64(node)));
      return true;
    case kJsonFloat:
      PutRealGeneral(out, FloatOf(node), 6);
      return true;
    case kJsonDouble:
      PutRealGeneral(out, DoubleOf(node), 13);
      return true;
    case kJsonBool:
      out.Put(node->value_a != 0 ? std::string_view("true") : std::string_view("false"));
      return true;
    default:
      return false;
  }
}

// The content of a text, literal or date node: JSON quotes and escapes a text and puts a
// date between single quotes, XML escapes a text for an element. False for other kinds.
bool PutTextual(Sink& out, const JsonNode& node, std::int32_t kind, bool json) {
  switch (kind) {
    case kJsonText: {
      if (!json) {
        PutEscaped(out, TextOf(&node), kXmlEscapes);
        return true;
      }
      const std::string_view text = TextOf(&node);
      char* p = out.Room(text.size() * kLongestEscape + 3);
      *p++ = '"';
      p = WriteEscaped(p, text, kJsonEscapes);
      *p++ = '"';
      out.Done(p);
      return true;
    }
    case kJsonLiteral1:
    case kJsonLiteral2:
    case kJsonLiteral3:
      out.Put(TextOf(&node));
      return true;
    case kJsonDate:
      out.Put(FormatDateTime(DateTime(DoubleOf(&node)),
                             json ? "'yyyy-MM-ddTHH:mm:ssZ'" : "yyyy-MM-ddTHH:mm:ssZ")
                  .view());
      return true;
    default:
      return false;
  }
}

// Where the walk of the writers stands: the node (null for an empty array slot), its kind as
// dispatched (markers removed), its number of entries (arrays and objects), its 1-based place
// among its siblings and its depth. The node the walk starts from has place 1 and depth 0.
struct Visit {
  const JsonNode* node;
  std::int32_t kind;
  std::size_t count, index;
  int depth;
};

// The one walk of the writers over a node and its subtree, in document order (each array's
// elements, each object's members in insertion order). The handler hears Missing for an empty
// slot, Leaf for a node that is no container, and Open for an array or object: when Open
// says true, the walk goes through its entries and then calls Close.
template <typename Handler>
void Walk(const JsonNode* node, Handler& handler, std::size_t index = 1, int depth = 0) {
  Visit visit{node, kJsonNull, 0, index, depth};
  if (node == nullptr) return handler.Missing(visit);
  visit.kind = DispatchKind(node->kind);
  if (visit.kind != kJsonArray && visit.kind != kJsonObject) return handler.Leaf(visit);
  const NodeVector* entries = visit.kind == kJsonArray ? ElementVector(node) : MemberVector(node);
  visit.count = node_vector::Count(entries);
  if (!handler.Open(visit)) return;
  for (std::size_t i = 1; i <= visit.count; ++i) {
    Walk(node_vector::GetNode(entries, i), handler, i, depth + 1);
  }
  handler.Close(visit);
}

// Compact JSON. A member starts with its "key": (escaped like a text, so that a quote or a
// backslash in a key cannot break the document); an empty array is null, not [].
struct JsonWriter {
  Sink& out;

  void Missing(const Visit& v) {
    if (v.index > 1) out.Put(',');
    out.Put("null");
  }
  void Leaf(const Visit& v) {
    Begin(v);
    if (!PutScalar(out, v.node, v.kind) && !PutTextual(out, *v.node, v.kind, true)) {
      out.Put("null");  // null, and kinds that have no value of their own
    }
  }
  bool Open(const Visit& v) {
    Begin(v);
    if (v.kind == kJsonArray && v.count == 0) {
      out.Put("null");
      return false;
    }
    out.Put(v.kind == kJsonArray ? '[' : '{');
    return true;
  }
  void Close(const Visit& v) { out.Put(v.kind == kJsonArray ? ']' : '}'); }

  // The separator and the "key": of a member, in one step.
  void Begin(const Visit& v) {
    const char* key = v.node->key;
    const std::string_view escaped = key != nullptr ? std::string_view(key) : std::string_view();
    char* p = out.Room(escaped.size() * kLongestEscape + 4);
    if (v.index > 1) *p++ = ',';
    if (key != nullptr) {
      *p++ = '"';
      p = WriteEscaped(p, escaped, kJsonEscapes);
      *p++ = '"';
      *p++ = ':';
    }
    out.Done(p);
  }
};

// XML elements, each on a line of its own: line end + indent x depth + <name>content</name>,
// the name being the key, or the default name for array elements and the root. A container
// with entries puts its closing tag on a line of its own.
struct XmlWriter {
  Sink& out;
  std::string_view default_name, line_end, indent;

  void Missing(const Visit& v) {
    LineStart(v.depth);
    Tag("<", default_name);
    Tag("</", default_name);
  }
  void Leaf(const Visit& v) {
    Open(v);
    if (!PutScalar(out, v.node, v.kind) && !PutTextual(out, *v.node, v.kind, false) &&
        v.kind == kJsonNull) {
      out.Put("null");  // other kinds have no content
    }
    Close(v);
  }
  bool Open(const Visit& v) {
    LineStart(v.depth);
    Tag("<", NameOf(v));
    return true;
  }
  void Close(const Visit& v) {
    if (v.count > 0) LineStart(v.depth);
    Tag("</", NameOf(v));
  }

  std::string_view NameOf(const Visit& v) const {
    return v.node->key ? std::string_view(v.node->key) : default_name;
  }
  void LineStart(int depth) {
    out.Put(line_end);
    for (int i = 0; i < depth; ++i) out.Put(indent);
  }
  void Tag(std::string_view open, std::string_view name) {
    out.Put(open);
    out.Put(name);
    out.Put('>');
  }
};

// The entries one level below the node the walk starts from, when that is an array or an
// object: an array's value texts joined by the separator, an object's key + pair separator
// + value text. Empty value texts are left out (a member's unless include_empty).
// `value_text(node)` gives the text.
template <typename ValueText>
struct QueryWriter {
  Sink& out;
  std::string_view separator, pair;
  bool include_empty;
  ValueText value_text;
  bool in_object = false, first = true;

  void Missing(const Visit&) {}
  void Leaf(const Visit& v) {
    if (v.depth == 1) Entry(*v.node);
  }
  bool Open(const Visit& v) {
    if (v.depth > 0) {
      Entry(*v.node);
      return false;
    }
    // By the kind as stored: a marked container gives nothing.
    in_object = v.node->kind == kJsonObject;
    return in_object || v.node->kind == kJsonArray;
  }
  void Close(const Visit&) {}

  void Entry(const JsonNode& node) {
    const Text value = value_text(node);
    if (value.empty() && !(in_object && include_empty)) return;
    if (!first) out.Put(separator);
    first = false;
    if (in_object) {
      if (node.key != nullptr) out.Put(node.key);
      out.Put(pair);
    }
    out.Put(value.view());
  }
};

}  // namespace

void AppendJsonEscaped(std::string& out, std::string_view text) {
  Sink sink(out);
  PutEscaped(sink, text, kJsonEscapes);
}

void AppendXmlEscaped(std::string& out, std::string_view text) {
  Sink sink(out);
  PutEscaped(sink, text, kXmlEscapes);
}

void AppendRealGeneral(std::string& out, double value, int precision) {
  Sink sink(out);
  PutRealGeneral(sink, value, precision);
}

Text JsonHandle::ToJson() const {
  std::string out;
  {
    Sink sink(out);
    JsonWriter writer{sink};
    // A member comes out as a one-member object.
    const bool member = node_ != nullptr && node_->key != nullptr;
    if (member) sink.Put('{');
    Walk(node_, writer);
    if (member) sink.Put('}');
  }
  return Text(std::move(out));
}

Text JsonHandle::ToXml(const std::optional<Text>& root_name, const std::optional<Text>& encoding,
                       const std::optional<Text>& line_end,
                       const std::optional<Text>& indent) const {
  std::string out = "<?xml version=\"1.0\" encoding=\"";
  out += encoding ? encoding->view() : std::string_view("gb2312");
  out += "\"?>";
  {
    Sink sink(out);
    XmlWriter writer{sink, root_name ? root_name->view() : std::string_view("item"),
                     line_end ? line_end->view() : std::string_view("\r\n"),
                     indent ? indent->view() : std::string_view("\t")};
    Walk(node_, writer);
  }
  return Text(std::move(out));
}

// A value holding a 0x1A byte is written whole: cutting the text there would drop every
// entry after it without a word.
Text JsonHandle::ToQueryText(const Text& separator, const std::optional<Text>& pair_separator,
                             bool include_empty) const {
  std::string out;
  auto value_text = [this](const JsonNode& entry) {
    JsonScalar value;
    Derived(const_cast<JsonNode*>(&entry)).GetAs(kJsonText, &value);
    return std::get<Text>(std::move(value));
  };
  {
    Sink sink(out);
    QueryWriter<decltype(value_text)> writer{
        sink, separator.view(), pair_separator ? pair_separator->view() : std::string_view("="),
        include_empty, value_text};
    Walk(node_, writer);
  }
  return Text(std::move(out));
}

}  // namespace lanzhou
