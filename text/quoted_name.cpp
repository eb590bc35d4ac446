#include "text/quoted_name.h"

#include <cstdio>

#include "text/encoding_detect.h"

namespace lanzhou {
namespace {

// The length of the printable character at `name[i]`, or 0 when the byte there is to be
// escaped.
std::size_t PrintableLength(std::string_view name, std::size_t i) {
  const std::size_t length = Utf8SequenceLength(name, i);
  if (length == 0) return 0;
  if (length == 1) return name[i] >= 0x20 && name[i] != 0x7F ? 1 : 0;
  const char32_t c = Utf8CodePoint(reinterpret_cast<const unsigned char*>(name.data() + i), length);
  return c >= 0xA0 ? length : 0;  // U+0080..U+009F are the C1 controls
}

void AppendEscape(unsigned char byte, std::string& out) {
  switch (byte) {
    case '\a':
      out += "\\a";
      return;
    case '\b':
      out += "\\b";
      return;
    case '\f':
      out += "\\f";
      return;
    case '\n':
      out += "\\n";
      return;
    case '\r':
      out += "\\r";
      return;
    case '\t':
      out += "\\t";
      return;
    case '\v':
      out += "\\v";
      return;
  }
  char octal[8];
  std::snprintf(octal, sizeof octal, "\\%03o", byte);
  out += octal;
}

}  // namespace

std::string QuotedName(std::string_view name) {
  bool escapes = false;
  bool single_quote = false;
  bool shell_special = false;  // what double quotes would not keep as it is
  for (std::size_t i = 0; i < name.size();) {
    const std::size_t length = PrintableLength(name, i);
    escapes = escapes || length == 0;
    single_quote = single_quote || name[i] == '\'';
    shell_special = shell_special || name[i] == '"' || name[i] == '$' || name[i] == '`' ||
                    name[i] == '\\' || name[i] == '!';
    i += length == 0 ? 1 : length;
  }
  if (single_quote && !escapes && !shell_special) return "\"" + std::string(name) + "\"";
  std::string out = "'";
  bool quoted = true;  // inside '...' rather than $'...'
  for (std::size_t i = 0; i < name.size();) {
    const std::size_t length = PrintableLength(name, i);
    if (length == 0) {
      if (quoted) out += "'$'";
      quoted = false;
      AppendEscape(static_cast<unsigned char>(name[i]), out);
      ++i;
      continue;
    }
    if (!quoted) out += "''";
    quoted = true;
    if (name[i] == '\'') {
      out += "'\\''";
    } else {
      out.append(name, i, length);
    }
    i += length;
  }
  out += "'";
  return out;
}

std::string WithVisibleControls(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t length = PrintableLength(text, i);
    if (length == 0) {
      AppendEscape(static_cast<unsigned char>(text[i]), out);
      ++i;
    } else {
      out.append(text, i, length);
      i += length;
    }
  }
  return out;
}

}  // namespace lanzhou
