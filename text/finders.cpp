#include "text/finders.h"

#include <re2/re2.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "text/encoding.h"
#include "text/gbk_chars.h"
#include "text/lines.h"
#include "text/normalize.h"
#include "text/personal_numbers.h"

namespace lanzhou {
namespace {

// The rules read a line as one "shadow" byte per character: ASCII as it is, a full-width form
// as its ASCII byte, every other character as one of these two.
constexpr unsigned char kWide = 0x80;  // a two-byte character with no ASCII form
constexpr unsigned char kHan = 0x81;   // a Chinese character, which may stand in a domain name

struct Shadow {
  std::string_view line;
  std::string chars;
  // Where every kMarkEvery-th character starts (one more: for the end): a byte per character
  // and a little, where an offset for each would cost four bytes more.
  static constexpr std::size_t kMarkEvery = 64;
  std::vector<std::uint32_t> marks;

  std::size_t size() const { return chars.size(); }
  unsigned char at(std::size_t i) const {
    return i < chars.size() ? static_cast<unsigned char>(chars[i]) : 0;
  }
  // Where character `k` (<= size(); size() is the end) starts in the line, stepping on from
  // character `from` at byte `from_byte` when that is nearer than the mark before `k`.
  std::size_t Offset(std::size_t k, std::size_t from = 0, std::size_t from_byte = 0) const {
    if (k < from || k - from > k % kMarkEvery) {
      from = k - k % kMarkEvery;
      from_byte = marks[k / kMarkEvery];
    }
    for (; from < k; ++from) from_byte += WholeCharLength(line, from_byte);
    return from_byte;
  }
};

// Whether a two-byte character (lead, trail) is a Chinese character: GBK's symbol rows
// A1..A9 are not, nor the halves of a GB18030 four-byte sequence (a digit second byte).
bool IsHan(unsigned char lead, unsigned char trail) {
  return (lead < 0xA1 || lead > 0xA9) && (trail < '0' || trail > '9');
}

// Lines are read whole; one longer than 4 GiB is read in its first 4 GiB. A four-byte
// sequence is one character, like any other that is not ASCII.
void MakeShadow(std::string_view line, Shadow& shadow) {
  line = line.substr(0, UINT32_MAX - 1);
  shadow.line = line;
  shadow.chars.resize(line.size());
  shadow.marks.clear();
  char* chars = shadow.chars.data();
  std::size_t n = 0;
  const std::size_t size = line.size();
  for (std::size_t i = 0; i < size;) {
    if (n % Shadow::kMarkEvery == 0) shadow.marks.push_back(static_cast<std::uint32_t>(i));
    const auto lead = static_cast<unsigned char>(line[i]);
    if (!IsLeadByte(lead)) {
      chars[n++] = static_cast<char>(lead);
      ++i;
      continue;
    }
    const std::size_t length = WholeCharLength(line, i);
    if (length != 2) {
      chars[n++] = static_cast<char>(kWide);
      i += length;
      continue;
    }
    const auto trail = static_cast<unsigned char>(line[i + 1]);
    // Every full-width form counts, its punctuation too: "：／／" reads as "://".
    const char ascii = lead == 0xA3 || lead == 0xA1 ? HalfWidthOf(lead, trail, true) : 0;
    chars[n++] = ascii != 0 ? ascii : static_cast<char>(IsHan(lead, trail) ? kHan : kWide);
    i += 2;
  }
  if (n % Shadow::kMarkEvery == 0) shadow.marks.push_back(static_cast<std::uint32_t>(size));
  shadow.chars.resize(n);
}

bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }
bool IsAlpha(unsigned char c) { return (c | 0x20) >= 'a' && (c | 0x20) <= 'z'; }
bool IsAlnum(unsigned char c) { return IsDigit(c) || IsAlpha(c); }
bool IsBlank(unsigned char c) { return c == ' ' || c == '\t'; }
bool IsLocalChar(unsigned char c) {
  return IsAlnum(c) || c == '.' || c == '_' || c == '%' || c == '+' || c == '-';
}
unsigned char Lower(unsigned char c) { return IsAlpha(c) ? (c | 0x20) : c; }

// Whether the shadow at `i` spells `word` (lower-case ASCII), any case.
bool SpellsAt(const Shadow& s, std::size_t i, std::string_view word) {
  if (i + word.size() > s.size()) return false;
  for (std::size_t k = 0; k < word.size(); ++k) {
    if (Lower(s.at(i + k)) != static_cast<unsigned char>(word[k])) return false;
  }
  return true;
}

struct Span {
  std::size_t begin;  // in characters
  std::size_t end;
};

// The kinds the rules find, each with its list of spans, in the order items at one start are
// given (a pattern's matches come after them).
constexpr std::array<FoundKind, 7> kRuleKinds = {
    FoundKind::kPhone, FoundKind::kEmail,     FoundKind::kQq,  FoundKind::kId,
    FoundKind::kUrl,   FoundKind::kInvalidId, FoundKind::kBank};

// ---- phone ------------------------------------------------------------------------------

// The end of a mobile number's 3-4-4 digits from `p`, or nothing.
std::optional<std::size_t> MobileDigitsEnd(const Shadow& s, std::size_t p, std::string& digits) {
  digits.clear();
  int separator = 0;  // 0 none yet, 1 blanks, 2 hyphen, -1 none between the groups
  constexpr std::array<int, 3> kGroups = {3, 4, 4};
  for (std::size_t g = 0; g < kGroups.size(); ++g) {
    if (g > 0) {
      int here = -1;
      if (IsBlank(s.at(p))) {
        here = 1;
        while (IsBlank(s.at(p))) ++p;
      } else if (s.at(p) == '-') {
        here = 2;
        ++p;
      }
      if (separator == 0) separator = here;
      if (here != separator) return std::nullopt;
    }
    for (int k = 0; k < kGroups[g]; ++k, ++p) {
      if (!IsDigit(s.at(p))) return std::nullopt;
      digits += static_cast<char>(s.at(p));
    }
  }
  if (digits[0] != '1' || digits[1] < '3' || IsAlnum(s.at(p))) return std::nullopt;
  return p;
}

void FindPhones(const Shadow& s, std::vector<Span>& spans) {
  std::string digits;
  for (std::size_t i = 0; i < s.size(); ++i) {
    const unsigned char c = s.at(i);
    if ((c != '+' && !IsDigit(c)) || (i > 0 && IsAlnum(s.at(i - 1)))) continue;
    std::optional<std::size_t> end;
    // +86 or 86, then perhaps one blank run or hyphen.
    const std::size_t prefix = c == '+' ? 1 : 0;
    if (s.at(i + prefix) == '8' && s.at(i + prefix + 1) == '6') {
      std::size_t p = i + prefix + 2;
      if (IsBlank(s.at(p))) {
        while (IsBlank(s.at(p))) ++p;
      } else if (s.at(p) == '-') {
        ++p;
      }
      end = MobileDigitsEnd(s, p, digits);
    }
    if (!end && c != '+') end = MobileDigitsEnd(s, i, digits);
    if (!end) continue;
    spans.push_back({i, *end});
    i = *end - 1;
  }
}

// ---- QQ ---------------------------------------------------------------------------------

bool IsQqDomainAt(const Shadow& s, std::size_t p) {
  return SpellsAt(s, p, "qq.com") && !IsAlnum(s.at(p + 6)) && s.at(p + 6) != '-' &&
         !(s.at(p + 6) == '.' && IsAlnum(s.at(p + 7)));
}

void FindQq(const Shadow& s, const std::vector<Span>& phones, std::vector<Span>& spans) {
  // The phones lie in order and apart, as the numbers do: one walk over both.
  auto phone = phones.begin();
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (!IsDigit(s.at(i)) || (i > 0 && IsDigit(s.at(i - 1)))) continue;
    std::size_t j = i;
    while (IsDigit(s.at(j))) ++j;
    const std::size_t begin = i;
    i = j - 1;
    if (j - begin < 5 || j - begin > 11 || s.at(begin) == '0') continue;
    const unsigned char before = begin > 0 ? s.at(begin - 1) : 0;
    const bool after_qq = begin >= 2 && Lower(s.at(begin - 2)) == 'q' && Lower(before) == 'q' &&
                          !(begin >= 3 && IsAlnum(s.at(begin - 3)));
    if (IsAlpha(before) && !after_qq) continue;
    if (before == '.' && begin >= 2 && IsDigit(s.at(begin - 2))) continue;  // a decimal
    const unsigned char after = s.at(j);
    if (IsAlpha(after) || (after == '.' && IsDigit(s.at(j + 1)))) continue;
    // The local part of an address is a QQ number only at qq.com.
    if (after == '@' && (IsLocalChar(before) || !IsQqDomainAt(s, j + 1))) continue;
    while (phone != phones.end() && phone->end <= begin) ++phone;
    const bool in_phone = phone != phones.end() && phone->begin < j;
    if (!in_phone) spans.push_back({begin, j});
  }
}

// ---- resident ID ------------------------------------------------------------------------

// Every run standing alone shaped like an ID number (17 digits and a digit or X, and with
// `old_id` 15 digits), into `valid` or `invalid` by `ResidentIdProblem` on `today`; a null
// list is not wanted.
void FindIds(const Shadow& s, bool old_id, DateTime today, std::vector<Span>* valid,
             std::vector<Span>* invalid) {
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (!IsDigit(s.at(i)) || (i > 0 && IsAlnum(s.at(i - 1)))) continue;
    std::size_t j = i;
    while (IsDigit(s.at(j))) ++j;
    std::size_t end = j;
    if (j - i == 17 && Lower(s.at(j)) == 'x') end = j + 1;
    const std::size_t begin = i;
    i = j - 1;
    if (IsAlnum(s.at(end)) || !(end - begin == 18 || (old_id && end - begin == 15))) continue;
    // The shadow of these characters is their ASCII form, full-width digits folded.
    const std::string_view chars(s.chars.data() + begin, end - begin);
    std::vector<Span>* list = ResidentIdProblem(chars, today) == IdProblem::kNone ? valid : invalid;
    if (list != nullptr) list->push_back({begin, end});
  }
}

// ---- bank cards -------------------------------------------------------------------------

void FindCards(const Shadow& s, std::vector<Span>& spans) {
  std::string digits;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (!IsDigit(s.at(i)) || (i > 0 && IsAlnum(s.at(i - 1)))) continue;
    digits.clear();
    const std::size_t begin = i;
    std::size_t p = i;
    std::size_t group = 0;        // the length of the last group
    unsigned char separator = 0;  // between groups of 4, the same throughout
    while (true) {
      const std::size_t from = p;
      while (IsDigit(s.at(p))) digits += static_cast<char>(s.at(p++));
      group = p - from;
      const unsigned char next = s.at(p);
      if (group != 4 || !(IsBlank(next) || next == '-') || !IsDigit(s.at(p + 1)) ||
          (separator != 0 && next != separator)) {
        break;
      }
      separator = next;
      ++p;
    }
    i = p - 1;
    if (IsAlnum(s.at(p)) || (separator != 0 && group > 4) || !IsBankCardNumber(digits)) continue;
    spans.push_back({begin, p});
  }
}

// ---- e-mail -----------------------------------------------------------------------------

// The Chinese top-level domains an address may end in, longest first where one begins another.
constexpr std::array<const char*, 16> kChineseTopLevels = {
    "中国", "中國", "公司",   "网络", "網絡", "在线", "网址", "网店",
    "商城", "集团", "我爱你", "手机", "信息", "游戏", "商标", "香港"};

// How many shadow characters of the Chinese label at `p` (of `length`) a known top level
// takes, 0 when none is a prefix of it.
std::size_t ChineseTopLevelAt(std::string_view line, const Shadow& s, std::size_t p,
                              std::size_t length) {
  static const std::vector<std::string> kTopLevels = [] {
    std::vector<std::string> out;
    for (const char* t : kChineseTopLevels) out.push_back(FromUtf8(t).bytes());
    return out;
  }();
  std::size_t best = 0;
  for (const std::string& t : kTopLevels) {
    const std::size_t chars = t.size() / 2;
    if (chars > length || chars <= best) continue;
    const std::size_t from = s.Offset(p);
    if (line.substr(from, s.Offset(p + chars, p, from) - from) == t) best = chars;
  }
  return best;
}

void FindEmails(std::string_view line, const Shadow& s, std::vector<Span>& spans) {
  struct Label {
    std::size_t begin, end;
    bool han;
  };
  std::vector<Label> labels;
  std::size_t from = 0;  // the local part of the next address starts no earlier
  for (std::size_t at = 0; at < s.size(); ++at) {
    if (s.at(at) != '@') continue;
    std::size_t begin = at;
    while (begin > from && IsLocalChar(s.at(begin - 1))) --begin;
    while (begin < at && s.at(begin) == '.') ++begin;
    if (begin == at) continue;
    labels.clear();
    std::size_t p = at + 1;
    while (true) {
      const std::size_t label_begin = p;
      bool han = false;
      bool cut = false;
      while (p < s.size()) {
        const unsigned char c = s.at(p);
        const bool ascii = IsAlnum(c) || c == '-';
        if (!ascii && c != kHan) break;
        if (p > label_begin && ascii == han) {
          cut = true;
          break;
        }
        han = !ascii;
        ++p;
      }
      if (p == label_begin) break;
      labels.push_back({label_begin, p, han});
      if (cut || s.at(p) != '.' || !(IsAlnum(s.at(p + 1)) || s.at(p + 1) == kHan)) break;
      ++p;
    }
    // The last label must be a top level; labels after the last one that is are left out.
    std::size_t end = 0;
    while (labels.size() >= 2) {
      Label& last = labels.back();
      if (last.han) {
        const std::size_t top = ChineseTopLevelAt(line, s, last.begin, last.end - last.begin);
        if (top > 0) {
          end = last.begin + top;
          break;
        }
      } else if (last.end - last.begin >= 2 &&
                 std::all_of(s.chars.begin() + static_cast<std::ptrdiff_t>(last.begin),
                             s.chars.begin() + static_cast<std::ptrdiff_t>(last.end),
                             [](char c) { return IsAlpha(static_cast<unsigned char>(c)); })) {
        end = last.end;
        break;
      }
      labels.pop_back();
    }
    const bool hyphen_edge = std::any_of(labels.begin(), labels.end(), [&](const Label& l) {
      return !l.han && (s.at(l.begin) == '-' || s.at(l.end - 1) == '-');
    });
    if (end == 0 || hyphen_edge) continue;
    spans.push_back({begin, end});
    from = end;
    at = end - 1;
  }
}

// ---- links ------------------------------------------------------------------------------

bool IsUrlChar(unsigned char c) {
  return c > ' ' && c < 0x7F && c != '"' && c != '<' && c != '>' && c != '`' && c != '{' &&
         c != '}' && c != '|' && c != '\\' && c != '^';
}

void FindUrls(const Shadow& s, std::vector<Span>& spans) {
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (Lower(s.at(i)) != 'h' || (i > 0 && IsAlnum(s.at(i - 1)))) continue;
    std::size_t p = 0;
    if (SpellsAt(s, i, "http://")) {
      p = i + 7;
    } else if (SpellsAt(s, i, "https://")) {
      p = i + 8;
    } else {
      continue;
    }
    if (!IsAlnum(s.at(p))) continue;
    std::size_t end = p;
    while (end < s.size() && IsUrlChar(s.at(end))) ++end;
    // Counted once and kept as the end moves back: a link followed by a long run of ")"
    // stays linear.
    const auto from = s.chars.begin() + static_cast<std::ptrdiff_t>(i);
    const auto to = s.chars.begin() + static_cast<std::ptrdiff_t>(end);
    std::ptrdiff_t unopened = std::count(from, to, ')') - std::count(from, to, '(');
    while (true) {
      const unsigned char last = s.at(end - 1);
      if (std::string_view(".,;:!?'").find(static_cast<char>(last)) != std::string_view::npos) {
        --end;
      } else if (last == ')' && unopened > 0) {
        --end;
        --unopened;
      } else {
        break;
      }
    }
    spans.push_back({i, end});
    i = end - 1;
  }
}

// The folded form of characters [begin, end), which start at byte `at` of the line: ASCII
// where the shadow has it, the line's own bytes for the rest. `at` moves to the end.
std::string FoldedItem(std::string_view line, const Shadow& s, Span span, std::size_t& at) {
  std::string out;
  for (std::size_t k = span.begin; k < span.end; ++k) {
    const unsigned char c = s.at(k);
    const std::size_t length = IsLeadByte(line[at]) ? WholeCharLength(line, at) : 1;
    if (!IsLeadByte(c)) {
      out += static_cast<char>(c);
    } else {
      out.append(line.substr(at, length));
    }
    at += length;
  }
  return out;
}

// ---- custom -----------------------------------------------------------------------------

// The length of the UTF-8 character that starts with byte `b`.
std::size_t Utf8Length(unsigned char b) { return b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4; }

// Whether `utf8` is exactly one UTF-8 character.
bool IsOneUtf8Char(std::string_view utf8) {
  return !utf8.empty() && Utf8Length(static_cast<unsigned char>(utf8[0])) == utf8.size();
}

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// The UTF-8 form of each two-byte GB18030 character, made once, in one conversion of all of
// them with an LF after each (no lead byte takes an LF); empty where the pair is no character.
const std::vector<std::string>& TwoByteUtf8() {
  static const std::vector<std::string> table = [] {
    std::string all;
    std::vector<unsigned> codes;
    for (unsigned lead = 0x81; lead <= 0xFE; ++lead) {
      for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
        codes.push_back(lead << 8 | trail);
        all += static_cast<char>(lead);
        all += static_cast<char>(trail);
        all += '\n';
      }
    }
    const std::string utf8 = ToUtf8(all);
    std::vector<std::string> out(1 << 16);
    std::string_view rest = utf8;
    std::string_view one;
    for (unsigned code : codes) {
      if (!NextLine(rest, one)) break;
      if (IsOneUtf8Char(one) && one != kReplacement) out[code] = std::string(one);
    }
    return out;
  }();
  return table;
}

// Appends to `out` the UTF-8 form of `line`, a character of the model (`WholeCharLength`) at a
// time, each as exactly one UTF-8 character: U+FFFD for bytes that are no GB18030 character
// (a lone lead byte, a lead byte and a digit that start no four-byte sequence …). So the n-th
// character of the one is the n-th of the other, and `LineCursor` maps offsets back exactly.
void AppendUtf8Line(std::string_view line, std::string& out) {
  const std::vector<std::string>& table = TwoByteUtf8();
  for (std::size_t i = 0; i < line.size();) {
    const auto lead = static_cast<unsigned char>(line[i]);
    const std::size_t length = WholeCharLength(line, i);
    if (length == 1) {
      out += !IsLeadByte(lead) ? line.substr(i, 1) : kReplacement;
    } else if (length == 2) {
      const std::string& utf8 = table[lead << 8 | static_cast<unsigned char>(line[i + 1])];
      out += utf8.empty() ? kReplacement : std::string_view(utf8);
    } else {
      const std::string utf8 = ToUtf8(line.substr(i, 4));
      out += IsOneUtf8Char(utf8) ? std::string_view(utf8) : kReplacement;
    }
    i += length;
  }
}

// Walks a line and its UTF-8 form (`AppendUtf8Line`) side by side, forward only, so that
// mapping the matches of a line back costs one walk over it.
struct LineCursor {
  std::string_view line;
  std::string_view utf8;
  std::size_t at_utf8 = 0;
  std::size_t at_line = 0;

  // The line's offset of UTF-8 offset `target` (a character start, at or after the last one).
  std::size_t LineOffset(std::size_t target) {
    while (at_utf8 < target) {
      at_utf8 += Utf8Length(static_cast<unsigned char>(utf8[at_utf8]));
      at_line += WholeCharLength(line, at_line);
    }
    return at_line;
  }
};

void FindCustom(std::string_view line, const RE2& re, const std::function<void(FoundItem)>& found) {
  thread_local std::string utf8;
  utf8.clear();
  AppendUtf8Line(line, utf8);
  LineCursor cursor{.line = line, .utf8 = utf8};
  const int group = re.NumberOfCapturingGroups() > 0 ? 1 : 0;
  std::array<re2::StringPiece, 2> match;
  std::size_t pos = 0;
  while (pos <= utf8.size() &&
         re.Match(utf8, pos, utf8.size(), RE2::UNANCHORED, match.data(), group + 1)) {
    const std::size_t whole_begin = static_cast<std::size_t>(match[0].data() - utf8.data());
    const std::size_t whole_end = whole_begin + match[0].size();
    const re2::StringPiece taken = match[static_cast<std::size_t>(group)];
    if (taken.data() != nullptr && !taken.empty()) {
      const std::size_t b = static_cast<std::size_t>(taken.data() - utf8.data());
      const std::size_t begin = cursor.LineOffset(b);
      const std::size_t end = cursor.LineOffset(b + taken.size());
      found({begin, end, FoundKind::kCustom, std::string(line.substr(begin, end - begin))});
    }
    if (whole_end > whole_begin) {
      pos = whole_end;
    } else if (whole_end < utf8.size()) {  // an empty match: step over one character
      pos = whole_end + Utf8Length(static_cast<unsigned char>(utf8[whole_end]));
    } else {
      break;
    }
  }
}

}  // namespace

bool PatternMatchesSingleBytes(const Text& pattern) {
  const std::string_view p = pattern.view();
  bool quoted = false;  // in \Q...\E, where everything up to \E is literal
  for (std::size_t i = 0; i + 1 < p.size(); i += CharLength(p, i)) {
    if (p[i] != '\\') continue;
    const char next = p[i + 1];
    if (quoted) {
      if (next == 'E') {
        quoted = false;
        ++i;
      }
      continue;
    }
    if (next == 'C') return true;
    quoted = next == 'Q';
    ++i;  // the escaped character
  }
  return false;
}

bool IsValidResidentId(std::string_view id) {
  return id.size() == 18 && ResidentIdProblem(id, Now()) == IdProblem::kNone;
}

Text CustomRuleProblem(const Text& pattern) {
  RE2::Options options;
  options.set_log_errors(false);
  const RE2 re(ToUtf8(pattern), options);
  if (re.ok()) return Text();
  const char* what = "规则无法使用";
  switch (re.error_code()) {
    case RE2::ErrorBadEscape:
      what = "无效的转义“\\”写法";
      break;
    case RE2::ErrorBadCharClass:
      what = "无效的字符类";
      break;
    case RE2::ErrorBadCharRange:
      what = "无效的字符范围";
      break;
    case RE2::ErrorMissingBracket:
      what = "缺少右方括号“]”";
      break;
    case RE2::ErrorMissingParen:
      what = "缺少右括号“)”";
      break;
    case RE2::ErrorUnexpectedParen:
      what = "多了右括号“)”";
      break;
    case RE2::ErrorTrailingBackslash:
      what = "末尾多了反斜杠“\\”";
      break;
    case RE2::ErrorRepeatArgument:
      what = "重复符号（*、+、?）前面缺少内容";
      break;
    case RE2::ErrorRepeatSize:
      what = "重复次数{}无效或太大";
      break;
    case RE2::ErrorRepeatOp:
      what = "重复符号用法有误";
      break;
    case RE2::ErrorBadPerlOp:
      what = "无效的“(?”写法";
      break;
    case RE2::ErrorBadUTF8:
      what = "含无效的字符";
      break;
    case RE2::ErrorBadNamedCapture:
      what = "无效的命名分组";
      break;
    case RE2::ErrorPatternTooLarge:
      what = "规则太长或太复杂";
      break;
    default:
      break;
  }
  const std::string& where = re.error_arg();
  return FromUtf8(where.empty() ? std::string(what) : std::string(what) + "，出错处：" + where);
}

struct Finders::Impl {
  FinderChoice choice;
  std::unique_ptr<RE2> custom;
  DateTime today;  // read once: every line is judged on the same day
};

Finders::Finders(const FinderChoice& choice, std::string* error) : impl_(std::make_unique<Impl>()) {
  impl_->choice = choice;
  impl_->today = choice.clock != nullptr ? choice.clock->Now() : Now();
  if (PatternMatchesSingleBytes(choice.custom)) {
    if (error != nullptr) *error = "\\C matches a single byte, which may lie inside a character";
  } else if (!choice.custom.empty()) {
    RE2::Options options;
    options.set_log_errors(false);
    auto re = std::make_unique<RE2>(ToUtf8(choice.custom), options);
    if (re->ok()) {
      impl_->custom = std::move(re);
    } else if (error != nullptr) {
      *error = re->error();
    }
  }
}

Finders::~Finders() = default;
Finders::Finders(Finders&&) noexcept = default;
Finders& Finders::operator=(Finders&&) noexcept = default;

std::size_t Finders::CutAfter(std::string_view text, std::size_t at) const {
  if (impl_->custom) return std::string_view::npos;
  for (std::size_t i = 0; i < text.size(); i += CharLength(text, i)) {
    const auto c = static_cast<unsigned char>(text[i]);
    const bool neutral =
        (c < ' ' && c != '\t') || c == 0x7F ||
        std::string_view("\"<>{}|\\^`").find(static_cast<char>(c)) != std::string_view::npos;
    if (i >= at && neutral) return i + 1;
  }
  return text.size();
}

bool Finders::Any() const {
  const FinderChoice& c = impl_->choice;
  return c.phone || c.email || c.qq || c.id || c.url || c.invalid_id || c.bank ||
         impl_->custom != nullptr;
}

void Finders::FindInLine(std::string_view line, std::vector<FoundItem>& items) const {
  items.clear();
  FindInLine(line, [&items](FoundItem item) { items.push_back(std::move(item)); });
}

void Finders::FindInLine(std::string_view line, const std::function<void(FoundItem)>& found) const {
  const FinderChoice& c = impl_->choice;
  // The spans of each rule, in order; they are merged as they are given, with a pattern's
  // matches, so that no list of items of a whole line is ever held.
  thread_local Shadow s;
  thread_local std::array<std::vector<Span>, kRuleKinds.size()> spans;
  std::array<std::size_t, kRuleKinds.size()> next{};
  for (auto& list : spans) list.clear();
  if (c.phone || c.email || c.qq || c.id || c.url || c.invalid_id || c.bank) {
    MakeShadow(line, s);
    auto& [phone, email, qq, id, url, invalid_id, bank] = spans;
    // Digits inside a phone number are no QQ number when phones are asked for too.
    if (c.phone) FindPhones(s, phone);
    if (c.email) FindEmails(line, s, email);
    if (c.qq) FindQq(s, phone, qq);
    if (c.id || c.invalid_id) {
      FindIds(s, c.old_id, impl_->today, c.id ? &id : nullptr,
              c.invalid_id ? &invalid_id : nullptr);
    }
    if (c.url) FindUrls(s, url);
    if (c.bank) FindCards(s, bank);
  }
  // Gives every rule's item that starts before byte `limit` (or at it), by start, then rule.
  constexpr std::size_t kNone = kRuleKinds.size();
  Span last{0, 0};
  std::size_t last_begin = 0;
  auto give_until = [&](std::size_t limit) {
    while (true) {
      std::size_t best = kNone;
      for (std::size_t k = 0; k < kNone; ++k) {
        if (next[k] < spans[k].size() &&
            (best == kNone || spans[k][next[k]].begin < spans[best][next[best]].begin)) {
          best = k;
        }
      }
      if (best == kNone) return;
      const Span span = spans[best][next[best]];
      // Starts come in order: each is stepped to from the one before.
      const std::size_t begin = s.Offset(span.begin, last.begin, last_begin);
      last = span;
      last_begin = begin;
      if (begin > limit) return;
      ++next[best];
      const FoundKind kind = kRuleKinds[best];
      std::size_t end = begin;
      std::string item = FoldedItem(line, s, span, end);
      if (kind == FoundKind::kPhone || kind == FoundKind::kBank) {
        // The digits alone; of a phone the last 11: a +86 or 86 before them is left out.
        std::erase_if(item, [](char ch) { return !IsDigit(static_cast<unsigned char>(ch)); });
        if (kind == FoundKind::kPhone) item.erase(0, item.size() - 11);
      } else if (kind == FoundKind::kId || kind == FoundKind::kInvalidId) {
        if (item.back() == 'x') item.back() = 'X';
        if (kind == FoundKind::kInvalidId) {
          item += ' ' + IdProblemText(ResidentIdProblem(item, impl_->today)).bytes();
        } else if (c.upgrade_old_id) {
          if (std::optional<std::string> upgraded = UpgradedResidentId(item)) {
            item = std::move(*upgraded);
          }
        }
      }
      found({begin, end, kind, std::move(item)});
    }
  };
  if (impl_->custom) {
    FindCustom(line, *impl_->custom, [&](FoundItem item) {
      give_until(item.begin);
      found(std::move(item));
    });
  }
  give_until(std::string_view::npos);
}

}  // namespace lanzhou
