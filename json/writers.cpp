#include "json/writers.h"

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

// The integers of the writers, formatted as "%d" would, without a heap text per value (the
// floating ones through `AppendGeneral`).
void AppendInt(std::string& out, long long value) {
  char buffer[24];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  out.append(buffer, result.ptr);
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
bool AppendScalar(std::string& out, const JsonNode* node, std::int32_t kind) {
  switch (kind) {
    case kJsonByte:
      AppendInt(out, static_cast<std::uint8_t>(node->value_a));
      return true;
    case kJsonShort:
      AppendInt(out, static_cast<std::int16_t>(static_cast<std::uint16_t>(node->value_a)));
      return true;
    case kJsonInt:
      AppendInt(out, static_cast<std::int32_t>(static_cast<std::uint32_t>(node->value_a)));
      return true;
    case kJsonLong:
      AppendInt(out, static_cast<std::int64_t>(Scalar64(node)));
      return true;
    case kJsonFloat:
      AppendRealGeneral(out, FloatOf(node), 6);
      return true;
    case kJsonDouble:
      AppendRealGeneral(out, DoubleOf(node), 13);
      return true;
    case kJsonBool:
      out += node->value_a != 0 ? "true" : "false";
      return true;
    default:
      return false;
  }
}

// The content of a text, literal or date node: JSON quotes and escapes a text and puts a
// date between single quotes, XML escapes a text for an element. False for other kinds.
bool AppendTextual(std::string& out, const JsonNode& node, std::int32_t kind, bool json) {
  switch (kind) {
    case kJsonText:
      if (!json) {
        AppendXmlEscaped(out, TextOf(&node));
        return true;
      }
      out += '"';
      AppendJsonEscaped(out, TextOf(&node));
      out += '"';
      return true;
    case kJsonLiteral1:
    case kJsonLiteral2:
    case kJsonLiteral3:
      out += TextOf(&node);
      return true;
    case kJsonDate:
      out += FormatDateTime(DateTime(DoubleOf(&node)),
                            json ? "'yyyy-MM-ddTHH:mm:ssZ'" : "yyyy-MM-ddTHH:mm:ssZ")
                 .view();
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
  std::string& out;

  void Missing(const Visit& v) {
    if (v.index > 1) out += ',';
    out += "null";
  }
  void Leaf(const Visit& v) {
    Begin(v);
    if (!AppendScalar(out, v.node, v.kind) && !AppendTextual(out, *v.node, v.kind, true)) {
      out += "null";  // null, and kinds that have no value of their own
    }
  }
  bool Open(const Visit& v) {
    Begin(v);
    if (v.kind == kJsonArray && v.count == 0) {
      out += "null";
      return false;
    }
    out += v.kind == kJsonArray ? '[' : '{';
    return true;
  }
  void Close(const Visit& v) { out += v.kind == kJsonArray ? ']' : '}'; }

  void Begin(const Visit& v) {
    if (v.index > 1) out += ',';
    if (v.node->key == nullptr) return;
    out += '"';
    AppendJsonEscaped(out, v.node->key);
    out += "\":";
  }
};

// XML elements, each on a line of its own: line end + indent x depth + <name>content</name>,
// the name being the key, or the default name for array elements and the root. A container
// with entries puts its closing tag on a line of its own.
struct XmlWriter {
  std::string& out;
  std::string_view default_name, line_end, indent;

  void Missing(const Visit& v) {
    LineStart(v.depth);
    out.append("<").append(default_name).append("></").append(default_name).append(">");
  }
  void Leaf(const Visit& v) {
    Open(v);
    if (!AppendScalar(out, v.node, v.kind) && !AppendTextual(out, *v.node, v.kind, false) &&
        v.kind == kJsonNull) {
      out += "null";  // other kinds have no content
    }
    Close(v);
  }
  bool Open(const Visit& v) {
    LineStart(v.depth);
    out.append("<").append(NameOf(v)).append(">");
    return true;
  }
  void Close(const Visit& v) {
    if (v.count > 0) LineStart(v.depth);
    out.append("</").append(NameOf(v)).append(">");
  }

  std::string_view NameOf(const Visit& v) const {
    return v.node->key ? std::string_view(v.node->key) : default_name;
  }
  void LineStart(int depth) {
    out += line_end;
    for (int i = 0; i < depth; ++i) out += indent;
  }
};

// The entries one level below the node the walk starts from, when that is an array or an
// object: an array's value texts joined by the separator, an object's key + pair separator
// + value text. Empty value texts are left out (a member's unless include_empty).
// `value_text(node)` gives the text.
template <typename ValueText>
struct QueryWriter {
  std::string& out;
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
    if (!first) out += separator;
    first = false;
    if (in_object) {
      if (node.key != nullptr) out += node.key;
      out += pair;
    }
    out += value.view();
  }
};

// The escape of each byte; null for a byte copied as it is.
using EscapeTable = std::array<const char*, 256>;
constexpr EscapeTable Escapes(std::initializer_list<std::pair<char, const char*>> escapes) {
  EscapeTable table{};
  for (const auto& escape : escapes)
    table[static_cast<unsigned char>(escape.first)] = escape.second;
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

// Appends `text` with every character the table names replaced by its escape; a two-byte
// character is copied whole, so its second byte is never taken for a quote or a backslash.
void AppendEscaped(std::string& out, std::string_view text, const EscapeTable& escapes) {
  std::size_t plain = 0;  // start of the run not yet copied
  for (std::size_t i = 0; i < text.size(); i = NextCharStart(text, i)) {
    const char* escape = escapes[static_cast<unsigned char>(text[i])];
    if (escape == nullptr) continue;
    out.append(text.substr(plain, i - plain));
    out += escape;
    plain = i + 1;
  }
  out.append(text.substr(plain));
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

// `digits` (the leading digit first, no trailing zeros) times 10^exponent, laid out as "%g"
// lays out a number of that exponent with `precision` significant digits.
void AppendGeneralLayout(std::string& out, std::string_view digits, int exponent, int precision) {
  if (exponent < -4 || exponent >= precision) {
    out += digits[0];
    if (digits.size() > 1) out.append(".").append(digits.substr(1));
    out += exponent < 0 ? "e-" : "e+";
    const int magnitude = exponent < 0 ? -exponent : exponent;
    if (magnitude < 10) out += '0';
    AppendInt(out, magnitude);
  } else if (exponent < 0) {
    out.append("0.").append(static_cast<std::size_t>(-exponent - 1), '0').append(digits);
  } else {
    const std::size_t whole = static_cast<std::size_t>(exponent) + 1;
    if (digits.size() <= whole) {
      out.append(digits).append(whole - digits.size(), '0');
    } else {
      out.append(digits.substr(0, whole)).append(".").append(digits.substr(whole));
    }
  }
}

}  // namespace

void AppendRealGeneral(std::string& out, double value, int precision) {
  const double magnitude = std::fabs(value);
  if (magnitude == 0) {
    out += std::signbit(value) ? "-0" : "0";
    return;
  }
  if (precision < 1 || precision > 15 || !std::isfinite(value)) {
    return AppendGeneral(out, value, precision);
  }
  // The decimal exponent from the binary one, off by at most one either way.
  int binary = 0;
  std::frexp(magnitude, &binary);
  int exponent = static_cast<int>(std::floor((binary - 1) * 0.30102999566398120));
  double scaled = 0;
  const double top = kExactPowers[static_cast<std::size_t>(precision)];
  for (int attempt = 0;; ++attempt) {
    const int shift = precision - 1 - exponent;
    if (attempt == 3 || shift < -22 || shift > 22) return AppendGeneral(out, value, precision);
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
  const double whole = std::floor(scaled);
  const double fraction = scaled - whole;
  // Closer to halfway than an ulp of `scaled`: the exact product may round the other way.
  if (std::fabs(fraction - 0.5) <= scaled * 0x1p-51) return AppendGeneral(out, value, precision);
  auto rounded = static_cast<std::uint64_t>(whole) + (fraction > 0.5 ? 1u : 0u);
  if (rounded == static_cast<std::uint64_t>(top)) {  // 9.99...95 carried into 10.00...0
    rounded /= 10;
    ++exponent;
  }
  char digits[24];
  char* end = std::to_chars(digits, digits + sizeof digits, rounded).ptr;
  while (end - digits > 1 && end[-1] == '0') --end;
  if (value < 0) out += '-';
  AppendGeneralLayout(out, std::string_view(digits, static_cast<std::size_t>(end - digits)),
                      exponent, precision);
}

void AppendJsonEscaped(std::string& out, std::string_view text) {
  AppendEscaped(out, text, kJsonEscapes);
}

void AppendXmlEscaped(std::string& out, std::string_view text) {
  AppendEscaped(out, text, kXmlEscapes);
}

Text JsonHandle::ToJson() const {
  std::string out;
  JsonWriter writer{out};
  // A member comes out as a one-member object.
  const bool member = node_ != nullptr && node_->key != nullptr;
  if (member) out += '{';
  Walk(node_, writer);
  if (member) out += '}';
  return Text(std::move(out));
}

Text JsonHandle::ToXml(const std::optional<Text>& root_name, const std::optional<Text>& encoding,
                       const std::optional<Text>& line_end,
                       const std::optional<Text>& indent) const {
  std::string out = "<?xml version=\"1.0\" encoding=\"";
  out += encoding ? encoding->view() : std::string_view("gb2312");
  out += "\"?>";
  XmlWriter writer{out, root_name ? root_name->view() : std::string_view("item"),
                   line_end ? line_end->view() : std::string_view("\r\n"),
                   indent ? indent->view() : std::string_view("\t")};
  Walk(node_, writer);
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
  QueryWriter<decltype(value_text)> writer{
      out, separator.view(), pair_separator ? pair_separator->view() : std::string_view("="),
      include_empty, value_text};
  Walk(node_, writer);
  return Text(std::move(out));
}

}  // namespace lanzhou
