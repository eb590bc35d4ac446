#include "pages/wrap.h"

#include <algorithm>
#include <array>
#include <climits>
#include <string>
#include <string_view>
#include <vector>

#include "services/clock.h"
#include "services/dialogs.h"
#include "services/encoding.h"
#include "services/files.h"
#include "services/text_primitives.h"

namespace lanzhou {
namespace {

constexpr std::string_view kLineEnd = "\r\n";

unsigned char ByteAt(std::string_view s, std::size_t k) { return static_cast<unsigned char>(s[k]); }

// The page's notion of a two-byte character's lead: 0x7F counts too.
bool IsWide(unsigned char b) { return b >= 0x7F; }

bool InRange(unsigned char b, unsigned char low, unsigned char high) {
  return b >= low && b <= high;
}

// A GB18030 four-byte sequence: lead, digit, lead, digit.
bool IsFourByteAt(std::string_view s, std::size_t k) {
  return k + 3 < s.size() && InRange(ByteAt(s, k), 0x81, 0xFE) &&
         InRange(ByteAt(s, k + 1), 0x30, 0x39) && InRange(ByteAt(s, k + 2), 0x81, 0xFE) &&
         InRange(ByteAt(s, k + 3), 0x30, 0x39);
}

// The bytes of the character at `k`, stepping as the line scan does.
std::size_t CharLength(std::string_view s, std::size_t k) {
  if (!IsWide(ByteAt(s, k))) return 1;
  if (IsFourByteAt(s, k)) return 4;
  return k + 1 < s.size() ? 2 : 1;
}

// The start of the last character that ends at or before `end`, stepping from the line
// start: a single byte before the cut may be the second byte of a character.
std::size_t StartOfCharBefore(std::string_view line, std::size_t end) {
  std::size_t start = 0;
  for (std::size_t k = 0; k < end; k += CharLength(line, k)) start = k;
  return start;
}

struct Marks {
  std::vector<std::string> opening;
  std::vector<std::string> closing;
};

const Marks& PunctuationMarks() {
  static const Marks marks = [] {
    Marks m;
    for (const char* mark : {"《", "（", "“", "〈", "‘"})
      m.opening.push_back(FromUtf8(mark).bytes());
    for (const char* mark : {"》", "）", "”", "〉", "，", "。", "？", "：", "’", "；", "、"}) {
      m.closing.push_back(FromUtf8(mark).bytes());
    }
    return m;
  }();
  return marks;
}

bool IsMarkAt(std::string_view s, std::size_t k, const std::vector<std::string>& marks) {
  if (k + 2 > s.size()) return false;
  const std::string_view pair = s.substr(k, 2);
  return std::find(marks.begin(), marks.end(), pair) != marks.end();
}

// Where the next line ends in `rest` (longer than `width` >= 1); 0 when the rules leave the
// line empty.
std::size_t FindCut(std::string_view rest, std::size_t width) {
  std::size_t i = 0;
  std::size_t word_start = 0;  // 0 also when no word runs: such a word cannot move down
  bool in_word = false;
  while (i < width) {
    const unsigned char b = ByteAt(rest, i);
    if (IsWide(b)) {
      word_start = 0;
      in_word = false;
      const std::size_t n = IsFourByteAt(rest, i) ? 4 : 2;
      if (i + n > width) break;
      i += n;
    } else if (b == ' ') {
      ++i;
      word_start = 0;
      in_word = false;
    } else if (b == '\r' && i + 1 < rest.size() && rest[i + 1] == '\n') {
      return i + 2;  // the pair ends the line as it stands
    } else {
      if (!in_word) {
        word_start = i;
        in_word = true;
      }
      ++i;
    }
  }
  if (i >= width) {
    i = (word_start == 0 || IsWide(ByteAt(rest, width))) ? width : word_start;
  }
  const Marks& marks = PunctuationMarks();
  if (i >= 2 && IsMarkAt(rest, i - 2, marks.opening)) {
    i -= 2;
  } else if (IsMarkAt(rest, i, marks.closing)) {
    i = StartOfCharBefore(rest, i);
  }
  return i;
}

}  // namespace

Text CleanForWrap(const Text& text, bool filter_punctuation) {
  if (!filter_punctuation) {
    const std::array<ReplacePair, 1> pairs{{{Text("\r\n"), Text()}}};
    return BatchReplace(text, std::nullopt, 1, false, pairs);
  }
  const std::array<ReplacePair, 5> pairs{{{FromUtf8("，"), Text()},
                                          {FromUtf8("。"), Text()},
                                          {Text(","), Text()},
                                          {Text("\r\n"), Text()},
                                          {FromUtf8("、"), Text()}}};
  return BatchReplace(text, std::nullopt, 1, false, pairs);
}

Text WrapText(const Text& text, int width) {
  const std::size_t w = static_cast<std::size_t>(std::max(width, 1));
  std::string_view rest = text.view();
  Text out;
  out.mutable_bytes().reserve(rest.size() + 2 * (rest.size() / w + 1));
  while (rest.size() > w) {
    std::size_t cut = FindCut(rest, w);
    if (cut == 0) cut = CharLength(rest, 0);  // every line takes at least one character
    const std::string_view line = rest.substr(0, cut);
    rest.remove_prefix(cut);
    out += line;
    if (!line.ends_with(kLineEnd) && !rest.empty()) out += kLineEnd;
  }
  out += rest;
  return out;
}

void OnWrapClicked(Units& units) {
  const double number = ToNumber(units.EditText(Unit::字数_编辑框));
  if (!(number >= 1)) {  // also NaN
    ShowMessage(units.dialogs(), FromUtf8("请输入大于0的每行字符数"), message_flags::kIconWarning);
    return;
  }
  const int width = number >= static_cast<double>(INT_MAX) ? INT_MAX : static_cast<int>(number);

  const bool filter = units.IsTicked(Unit::选择框2);
  units.SetEditText(Unit::被折行_编辑框, CleanForWrap(units.EditText(Unit::被折行_编辑框), filter));
  units.SetEditText(Unit::替换后_编辑框, WrapText(units.EditText(Unit::被折行_编辑框), width));

  const Text path = units.RunDirectory() + Text("/") + FromUtf8("折行后_") +
                    TimeToText(units.clock().Now()) + Text(".txt");
  // The message promises a saved file, so it waits for the write to succeed.
  if (WriteToFile(path, {ToBytes(units.EditText(Unit::替换后_编辑框))})) {
    ShowMessage(units.dialogs(), FromUtf8("处理完毕，已保存在软件所在目录下"));
  } else {
    ShowMessage(units.dialogs(), FromUtf8("保存失败：") + path, message_flags::kIconError);
  }
}

}  // namespace lanzhou
