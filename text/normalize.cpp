#include "text/normalize.h"

#include "text/gbk_chars.h"
#include "text/lines.h"

namespace lanzhou {
namespace {

// The full-width forms U+FF01..U+FF5E sit at A3A1..A3FE in GBK, in ASCII order, except ＄
// (A1E7: A3A4 is ￥) and ～ (A1AB: A3FE is ￣).
constexpr unsigned char kDollarLead = 0xA1, kDollarTrail = 0xE7;
constexpr unsigned char kTildeLead = 0xA1, kTildeTrail = 0xAB;
constexpr unsigned char kIdeographicSpaceTrail = 0xA1;  // A1A1

constexpr std::string_view kNbsp = "\x81\x30\x84\x36";

}  // namespace

bool IsChinesePunctuation(char ascii) {
  switch (ascii) {
    case '!':
    case '"':
    case '\'':
    case '(':
    case ')':
    case ',':
    case ':':
    case ';':
    case '?':
    case '[':
    case ']':
    case '{':
    case '}':
    case '~':
      return true;
    default:
      return false;
  }
}

char HalfWidthOf(unsigned char lead, unsigned char trail, bool punctuation) {
  char ascii = 0;
  if (lead == 0xA3 && trail >= 0xA1 && trail <= 0xFD && trail != 0xA4) {
    ascii = static_cast<char>(trail - 0x80);
  } else if (lead == kDollarLead && trail == kDollarTrail) {
    ascii = '$';
  } else if (lead == kTildeLead && trail == kTildeTrail) {
    ascii = '~';
  } else if (lead == 0xA1 && trail == kIdeographicSpaceTrail) {
    return ' ';
  }
  if (ascii != 0 && !punctuation && IsChinesePunctuation(ascii)) return 0;
  return ascii;
}

WidthChar ReadHalfWidth(std::string_view s, std::size_t i, bool punctuation) {
  const std::size_t length = CharLength(s, i);
  if (length == 1) return {IsLeadByte(s[i]) ? '\0' : s[i], 1};
  return {HalfWidthOf(static_cast<unsigned char>(s[i]), static_cast<unsigned char>(s[i + 1]),
                      punctuation),
          2};
}

std::size_t BlankLength(std::string_view s, std::size_t i) {
  const char c = s[i];
  if (c == ' ' || c == '\t') return 1;
  if (static_cast<unsigned char>(c) == 0xA1 && CharLength(s, i) == 2 &&
      static_cast<unsigned char>(s[i + 1]) == kIdeographicSpaceTrail) {
    return 2;
  }
  if (s.substr(i, kNbsp.size()) == kNbsp) return kNbsp.size();
  return 0;
}

void AppendNormalizedLine(std::string_view line, const Folds& folds, std::string& out) {
  const std::size_t line_start = out.size();
  constexpr std::size_t kNoRun = std::string::npos;
  std::size_t run_start = kNoRun;  // where the blanks at the end of `out` begin
  for (std::size_t i = 0; i < line.size();) {
    if (const std::size_t blank = BlankLength(line, i); blank != 0) {
      const bool leading = out.size() == line_start;
      if (!(folds.trim && leading) && !(folds.squeeze && run_start != kNoRun)) {
        if (run_start == kNoRun) run_start = out.size();
        if (folds.squeeze) {
          out += ' ';
        } else if (folds.width && blank == 2) {
          out += ' ';  // U+3000
        } else {
          out.append(line.substr(i, blank));
        }
      }
      i += blank;
      continue;
    }
    run_start = kNoRun;
    const WidthChar c = ReadHalfWidth(line, i, true);
    const bool folds_here =
        c.ascii != 0 && (IsChinesePunctuation(c.ascii) ? folds.punctuation : folds.width);
    if (c.length == 2 && !folds_here) {
      out.append(line.substr(i, 2));
    } else {
      const char ascii = c.length == 2 ? c.ascii : line[i];
      out += folds.lower && ascii >= 'A' && ascii <= 'Z' ? static_cast<char>(ascii - 'A' + 'a')
                                                         : ascii;
    }
    i += c.length;
  }
  if (folds.trim && run_start != kNoRun) out.resize(run_start);
}

Text NormalizeLine(std::string_view line, const Folds& folds) {
  std::string out;
  out.reserve(line.size());
  AppendNormalizedLine(line, folds, out);
  return Text(std::move(out));
}

void AppendNormalizedLines(std::string_view text, const Folds& folds, std::string& out) {
  std::string_view line;
  while (NextLine(text, line)) {
    const std::size_t start = out.size();
    AppendNormalizedLine(line, folds, out);
    if (folds.drop_empty && out.size() == start) continue;
    out += "\r\n";
  }
}

}  // namespace lanzhou
