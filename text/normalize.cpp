#include "text/normalize.h"

#include <cstdint>
#include <cstring>

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

namespace {

// Whether the folds may change a character that starts with byte `b`: a blank (space, tab,
// the lead bytes of U+3000 and NBSP), a full-width form (lead bytes A1 and A3), and with
// `lower` an upper-case letter. Every other character is copied as it is.
constexpr bool MayFold(unsigned char b, bool lower) {
  return b == ' ' || b == '\t' || b == 0x81 || b == 0xA1 || b == 0xA3 ||
         (lower && b >= 'A' && b <= 'Z');
}

// The first byte at or after `from` for which `MayFold` holds, or `n`; whether it starts a
// character is left to the caller. Sixteen bytes are compared at a time.
std::size_t NextMayFold(const unsigned char* p, std::size_t from, std::size_t n, bool lower) {
  using Bytes = unsigned char __attribute__((vector_size(16)));
  using Mask = signed char __attribute__((vector_size(16)));
  constexpr std::size_t kBlock = sizeof(Bytes);
  auto any_in_block = [p, lower](std::size_t at) {
    Bytes v;
    std::memcpy(&v, p + at, sizeof v);
    Mask m = (v == ' ') | (v == '\t') | (v == 0x81) | (v == 0xA1) | (v == 0xA3);
    if (lower) m |= (v >= 'A') & (v <= 'Z');
    std::uint64_t halves[2];
    std::memcpy(halves, &m, sizeof halves);
    return (halves[0] | halves[1]) != 0;
  };
  std::size_t q = from;
  while (q + kBlock <= n && !any_in_block(q)) q += kBlock;
  // The last bytes as a block that overlaps the one before, when there is room.
  if (q < n && q + kBlock > n && n - from >= kBlock && !any_in_block(n - kBlock)) return n;
  while (q < n && !MayFold(p[q], lower)) ++q;
  return q;
}

}  // namespace

char* NormalizeLineInto(std::string_view line, const Folds& folds, char* const out) {
  // The characters the folds may change are found sixteen bytes at a time, and what lies
  // between them is copied whole. The folds are read once (stores through `out` may alias
  // them).
  const bool width = folds.width, punctuation = folds.punctuation, trim = folds.trim,
             squeeze = folds.squeeze, lower = folds.lower;
  const auto* const p = reinterpret_cast<const unsigned char*>(line.data());
  const std::size_t n = line.size();
  char* o = out;
  char* run = nullptr;     // where the blanks at the end of the output begin
  std::size_t copied = 0;  // the bytes before it are in the output
  std::size_t known = 0;   // a character start
  for (std::size_t from = 0;;) {
    const std::size_t i = NextMayFold(p, from, n, lower);
    if (i > copied) {
      std::memcpy(o, p + copied, i - copied);
      o += i - copied;
      run = nullptr;
      copied = i;
    }
    if (i == n) break;
    if (!IsCharStart(line, known, i)) {  // a second byte: a character starts after it
      known = from = i + 1;
      continue;
    }
    const unsigned char c = p[i];
    std::size_t length = 1;
    std::size_t blank = 0;
    if (c == ' ' || c == '\t') {
      blank = 1;
    } else if (!IsLeadByte(c)) {
      *o++ = static_cast<char>(c - 'A' + 'a');
    } else if (i + 1 == n || !TakesAsSecondByte(p[i + 1])) {
      *o++ = static_cast<char>(c);  // a lead byte alone
    } else if (c == 0xA1 && p[i + 1] == kIdeographicSpaceTrail) {
      blank = 2;
    } else if (c == 0x81 && line.substr(i, kNbsp.size()) == kNbsp) {
      blank = kNbsp.size();
    } else {
      length = 2;
      const char ascii = c != 0x81 ? HalfWidthOf(c, p[i + 1], true) : 0;
      if (ascii != 0 && (IsChinesePunctuation(ascii) ? punctuation : width)) {
        *o++ = lower && ascii >= 'A' && ascii <= 'Z' ? static_cast<char>(ascii - 'A' + 'a') : ascii;
      } else {
        o[0] = static_cast<char>(c);
        o[1] = static_cast<char>(p[i + 1]);
        o += 2;
      }
    }
    if (blank == 0) {
      run = nullptr;
    } else {
      length = blank;
      const bool leading = o == out;
      if (!(trim && leading) && !(squeeze && run != nullptr)) {
        if (run == nullptr) run = o;
        if (squeeze || (width && blank == 2)) {
          *o++ = ' ';  // U+3000 folds to a space
        } else {
          std::memcpy(o, p + i, blank);
          o += blank;
        }
      }
    }
    copied = known = from = i + length;
  }
  if (trim && run != nullptr) o = run;
  return o;
}

bool FoldsLeaveAsIs(std::string_view line, const Folds& folds) {
  return NextMayFold(reinterpret_cast<const unsigned char*>(line.data()), 0, line.size(),
                     folds.lower) == line.size();
}

void AppendNormalizedLine(std::string_view line, const Folds& folds, std::string& out) {
  const std::size_t start = out.size();
  out.resize(start + line.size());
  char* const end = NormalizeLineInto(line, folds, out.data() + start);
  out.resize(static_cast<std::size_t>(end - out.data()));
}

Text NormalizeLine(std::string_view line, const Folds& folds) {
  std::string out;
  out.reserve(line.size());
  AppendNormalizedLine(line, folds, out);
  return Text(std::move(out));
}

void AppendNormalizedLines(std::string_view text, const Folds& folds, std::string& out) {
  // Room for the whole text at once: a line never grows, and its line end becomes CR LF, one
  // byte more than an LF alone, so only texts of LF ends may need more as they go.
  std::size_t at = out.size();
  out.resize(at + text.size() + 2);
  std::string_view line;
  while (NextLine(text, line)) {
    if (out.size() - at < line.size() + 2) out.resize(2 * out.size() + line.size() + 2);
    char* const start = out.data() + at;
    char* end = NormalizeLineInto(line, folds, start);
    if (folds.drop_empty && end == start) continue;
    end[0] = '\r';
    end[1] = '\n';
    at = static_cast<std::size_t>(end + 2 - out.data());
  }
  out.resize(at);
}

}  // namespace lanzhou
