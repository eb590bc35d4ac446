#include "json/writers.h"

#include <bit>
#include <charconv>
#include <cstring>

#include "json/json_dates.h"
#include "json/json_handle.h"

namespace lanzhou {

namespace {

// The numbers of the writers, formatted as "%d" and "%.6g"/"%.13g" would (to_chars with a
// precision follows printf's %g exactly), without a heap text per value.
void AppendInt(std::string& out, long long value) {
  char buffer[24];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  out.append(buffer, result.ptr);
}

void AppendGeneral(std::string& out, double value, int precision) {
  char buffer[64];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, precision);
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
      AppendGeneral(out, FloatOf(node), 6);
      return true;
    case kJsonDouble:
      AppendGeneral(out, DoubleOf(node), 13);
      return true;
    case kJsonBool:
      out += node->value_a != 0 ? "true" : "false";
      return true;
    default:
      return false;
  }
}

void AppendJsonValue(std::string& out, const JsonNode* node) {
  const std::int32_t kind = DispatchKind(node->kind);
  if (AppendScalar(out, node, kind)) return;
  switch (kind) {
    case kJsonText:
      out += '"';
      AppendJsonEscaped(out, TextOf(node));
      out += '"';
      return;
    case kJsonLiteral1:
    case kJsonLiteral2:
    case kJsonLiteral3:
      out += TextOf(node);
      return;
    case kJsonDate:
      out += FormatDateTime(DateTime(DoubleOf(node)), "'yyyy-MM-ddTHH:mm:ssZ'").view();
      return;
    case kJsonArray: {
      const NodeVector* elements = ElementVector(node);
      const std::size_t n = node_vector::Count(elements);
      if (n == 0) {
        out += "null";
        return;
      }
      out += '[';
      for (std::size_t i = 1; i <= n; ++i) {
        if (i > 1) out += ',';
        AppendJsonNode(out, node_vector::GetNode(elements, i));
      }
      out += ']';
      return;
    }
    case kJsonObject: {
      const NodeVector* members = MemberVector(node);
      out += '{';
      for (std::size_t i = 1; i <= node_vector::Count(members); ++i) {
        if (i > 1) out += ',';
        AppendJsonNode(out, node_vector::GetNode(members, i));
      }
      out += '}';
      return;
    }
    default:  // null, and kinds that have no value of their own
      out += "null";
      return;
  }
}

struct XmlStyle {
  std::string_view default_name, line_end, indent;
};

void AppendLineStart(std::string& out, const XmlStyle& style, int depth) {
  out += style.line_end;
  for (int i = 0; i < depth; ++i) out += style.indent;
}

void AppendXmlNode(std::string& out, const JsonNode* node, const XmlStyle& style, int depth) {
  AppendLineStart(out, style, depth);
  if (node == nullptr) {
    out.append("<").append(style.default_name).append("></").append(style.default_name).append(">");
    return;
  }
  const std::string_view name = node->key ? std::string_view(node->key) : style.default_name;
  out.append("<").append(name).append(">");
  const std::int32_t kind = DispatchKind(node->kind);
  bool has_entries = false;
  if (!AppendScalar(out, node, kind)) {
    switch (kind) {
      case kJsonText:
        AppendXmlEscaped(out, TextOf(node));
        break;
      case kJsonLiteral1:
      case kJsonLiteral2:
      case kJsonLiteral3:
        out += TextOf(node);
        break;
      case kJsonDate:
        out += FormatDateTime(DateTime(DoubleOf(node)), "yyyy-MM-ddTHH:mm:ssZ").view();
        break;
      case kJsonNull:
        out += "null";
        break;
      case kJsonArray:
      case kJsonObject: {
        const NodeVector* entries = kind == kJsonArray ? ElementVector(node) : MemberVector(node);
        const std::size_t n = node_vector::Count(entries);
        for (std::size_t i = 1; i <= n; ++i) {
          AppendXmlNode(out, node_vector::GetNode(entries, i), style, depth + 1);
        }
        has_entries = n > 0;
        break;
      }
      default:
        break;
    }
  }
  if (has_entries) AppendLineStart(out, style, depth);
  out.append("</").append(name).append(">");
}

}  // namespace

void AppendJsonEscaped(std::string& out, std::string_view text) {
  std::size_t plain = 0;  // start of the run not yet copied
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = text[i];
    const char* escape = nullptr;
    switch (c) {
      case '\b':
        escape = "\\b";
        break;
      case '\n':
        escape = "\\n";
        break;
      case '\r':
        escape = "\\r";
        break;
      case '\t':
        escape = "\\t";
        break;
      case '\f':
        escape = "\\f";
        break;
      case '\\':
        escape = "\\\\";
        break;
      case '/':
        escape = "\\/";
        break;
      case '"':
        escape = "\\\"";
        break;
      default:
        if (c >= 0x80 && i + 1 < text.size()) ++i;  // the second byte goes with it
        continue;
    }
    out.append(text.substr(plain, i - plain));
    out += escape;
    plain = i + 1;
  }
  out.append(text.substr(plain));
}

void AppendXmlEscaped(std::string& out, std::string_view text) {
  std::size_t plain = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = text[i];
    const char* escape = nullptr;
    switch (c) {
      case '<':
        escape = "&lt;";
        break;
      case '>':
        escape = "&gt;";
        break;
      case '&':
        escape = "&amp;";
        break;
      case '\'':
        escape = "&apos;";
        break;
      case '"':
        escape = "&quot;";
        break;
      default:
        if (c >= 0x80 && i + 1 < text.size()) ++i;
        continue;
    }
    out.append(text.substr(plain, i - plain));
    out += escape;
    plain = i + 1;
  }
  out.append(text.substr(plain));
}

void AppendJsonNode(std::string& out, const JsonNode* node) {
  if (node == nullptr) {
    out += "null";
    return;
  }
  if (node->key != nullptr) {
    // Keys are escaped like texts so that a quote or backslash in a key cannot break the
    // document.
    out += '"';
    AppendJsonEscaped(out, node->key);
    out += "\":";
  }
  AppendJsonValue(out, node);
}

Text JsonHandle::ToJson() const {
  std::string out;
  if (node_ != nullptr && node_->key != nullptr) {
    out += '{';
    AppendJsonNode(out, node_);
    out += '}';
  } else {
    AppendJsonNode(out, node_);
  }
  return Text(std::move(out));
}

Text JsonHandle::ToXml(const std::optional<Text>& root_name, const std::optional<Text>& encoding,
                       const std::optional<Text>& line_end,
                       const std::optional<Text>& indent) const {
  const XmlStyle style{root_name ? root_name->view() : std::string_view("item"),
                       line_end ? line_end->view() : std::string_view("\r\n"),
                       indent ? indent->view() : std::string_view("\t")};
  std::string out = "<?xml version=\"1.0\" encoding=\"";
  out += encoding ? encoding->view() : std::string_view("gb2312");
  out += "\"?>";
  AppendXmlNode(out, node_, style, 0);
  return Text(std::move(out));
}

Text JsonHandle::ToQueryText(const Text& separator, const std::optional<Text>& pair_separator,
                             bool include_empty) const {
  if (node_ == nullptr) return Text();
  const std::string_view pair = pair_separator ? pair_separator->view() : std::string_view("=");
  std::string out;
  bool first = true;
  auto value_text = [this](JsonNode* entry) {
    JsonScalar value;
    Derived(entry).GetAs(kJsonText, &value);
    return std::get<Text>(std::move(value));
  };
  if (node_->kind == kJsonArray) {
    const NodeVector* elements = ElementVector(node_);
    for (std::size_t i = 1; i <= node_vector::Count(elements); ++i) {
      JsonNode* element = node_vector::GetNode(elements, i);
      if (element == nullptr) continue;
      const Text value = value_text(element);
      if (value.empty()) continue;
      if (!first) out += separator.view();
      out += value.view();
      first = false;
    }
  } else if (node_->kind == kJsonObject) {
    const NodeVector* members = MemberVector(node_);
    for (std::size_t i = 1; i <= node_vector::Count(members); ++i) {
      JsonNode* member = node_vector::GetNode(members, i);
      const Text value = value_text(member);
      if (value.empty() && !include_empty) continue;
      if (!first) out += separator.view();
      if (member->key != nullptr) out += member->key;
      out += pair;
      out += value.view();
      first = false;
    }
  }
  return Text(std::move(out));
}

}  // namespace lanzhou
