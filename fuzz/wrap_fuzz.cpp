// Line wrapping at random widths: the lines joined back give the cleaned input, no line is
// wider than the width unless it holds one character, no character or CR LF is cut, and an
// opening mark ends a line only when it could not move.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "pages/wrap.h"
#include "text/encoding.h"
#include "text/text_primitives.h"

namespace lanzhou {
namespace {

using fuzz::Escaped;

bool InRange(unsigned char b, unsigned char low, unsigned char high) {
  return b >= low && b <= high;
}

// Character lengths as the page steps: a byte >= 0x7F starts a two-byte character, or a
// four-byte one when GB18030 lays one out there; a lone lead byte at the end stands alone.
std::size_t CharLength(std::string_view s, std::size_t k) {
  const auto at = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
  if (at(k) < 0x7F) return 1;
  if (k + 3 < s.size() && InRange(at(k), 0x81, 0xFE) && InRange(at(k + 1), 0x30, 0x39) &&
      InRange(at(k + 2), 0x81, 0xFE) && InRange(at(k + 3), 0x30, 0x39)) {
    return 4;
  }
  return k + 1 < s.size() && at(k + 1) != '\r' && at(k + 1) != '\n' && at(k + 1) != 0 ? 2 : 1;
}

const std::vector<std::string>& Marks(bool opening) {
  static const std::vector<std::string> open = [] {
    std::vector<std::string> v;
    for (const char* m : {"《", "（", "“", "〈", "‘"}) v.push_back(FromUtf8(m).bytes());
    return v;
  }();
  static const std::vector<std::string> close = [] {
    std::vector<std::string> v;
    for (const char* m : {"》", "）", "”", "〉", "，", "。", "？", "：", "’", "；", "、"}) {
      v.push_back(FromUtf8(m).bytes());
    }
    return v;
  }();
  return opening ? open : close;
}

bool IsMark(std::string_view character, bool opening) {
  for (const std::string& m : Marks(opening)) {
    if (character == m) return true;
  }
  return false;
}

struct Line {
  std::size_t begin;  // offsets into the cleaned text
  std::size_t end;
};

void Check(const std::string& cleaned, int width) {
  const Text out = WrapText(Text(cleaned), width);
  const std::string detail = "width " + std::to_string(width) + " input \"" + Escaped(cleaned) +
                             "\" output \"" + Escaped(out.view()) + "\"";
  const std::size_t w = static_cast<std::size_t>(std::max(width, 1));
  if (cleaned.size() <= w) {
    FUZZ_CHECK(out.bytes() == cleaned, detail);
    return;
  }

  // Walk the output along the input: a CR LF in the output that the input does not have at
  // that place is a line break the wrapping added.
  const std::string& o = out.bytes();
  std::vector<Line> lines;
  std::size_t i = 0, j = 0, begin = 0;
  while (j < o.size()) {
    // Where both have CR LF, the output holds one more per added break; a break comes before
    // the input's own pairs, which then stand as lines of their own.
    const auto pairs = [](const std::string& s, std::size_t k) {
      std::size_t n = 0;
      while (s.compare(k + 2 * n, 2, "\r\n") == 0) ++n;
      return n;
    };
    const bool added = o.compare(j, 2, "\r\n") == 0 &&
                       (cleaned.compare(i, 2, "\r\n") != 0 || pairs(o, j) > pairs(cleaned, i));
    if (!added) {
      FUZZ_CHECK(i < cleaned.size() && o[j] == cleaned[i],
                 detail + " differs at output byte " + std::to_string(j));
      ++i, ++j;
    } else {
      lines.push_back({begin, i});
      begin = i;
      j += 2;
    }
  }
  FUZZ_CHECK(i == cleaned.size(), detail + " output ends early");
  lines.push_back({begin, i});

  // Character boundaries of the input, stepping from its start.
  std::vector<bool> boundary(cleaned.size() + 1, false);
  for (std::size_t k = 0; k < cleaned.size(); k += CharLength(cleaned, k)) boundary[k] = true;
  boundary[cleaned.size()] = true;

  const bool has_crlf = cleaned.find("\r\n") != std::string::npos;
  for (std::size_t n = 0; n < lines.size(); ++n) {
    const Line& line = lines[n];
    const std::string where = detail + " line " + std::to_string(n);
    FUZZ_CHECK(line.end > line.begin, where + " is empty");
    FUZZ_CHECK(boundary[line.end], where + " ends inside a character");
    // No character takes a CR with it, so no line ends between CR and LF.
    FUZZ_CHECK(!(line.end > 0 && line.end < cleaned.size() && cleaned[line.end - 1] == '\r' &&
                 cleaned[line.end] == '\n'),
               where + " splits a CR LF");
    if (has_crlf) continue;  // a line the input's own CR LF ends may reach one byte further
    const bool one_character = CharLength(cleaned, line.begin) == line.end - line.begin;
    FUZZ_CHECK(line.end - line.begin <= w || one_character, where + " is too wide");
    if (n + 1 == lines.size() || one_character) continue;
    // The last character of the line, found by stepping from the line start.
    std::size_t last = line.begin;
    for (std::size_t k = line.begin; k < line.end; k += CharLength(cleaned, k)) last = k;
    const Line& next = lines[n + 1];
    const std::string_view next_first(cleaned.data() + next.begin, CharLength(cleaned, next.begin));
    const std::size_t second = next.begin + next_first.size();
    const bool second_closing =
        second < next.end &&
        IsMark(std::string_view(cleaned).substr(second, CharLength(cleaned, second)), false);
    // The closing-mark rule may cut the next line back to its first character again.
    const bool next_one_character = next.begin + next_first.size() == next.end;
    if (IsMark(std::string_view(cleaned).substr(last, line.end - last), true)) {
      // An opening mark moves down, unless a closing mark already moved the cut back (only
      // one of the two moves is made) or it stood behind another opening mark that moved.
      FUZZ_CHECK(IsMark(next_first, true) || second_closing || next_one_character,
                 where + " ends with an opening mark");
    }
    if (IsMark(next_first, false)) {
      // A closing mark brings the character before it down; that character may itself be
      // a closing mark, which then starts the line.
      FUZZ_CHECK(second_closing || next_one_character,
                 where + " is followed by a line that starts with a closing mark");
    }
  }
}

}  // namespace
}  // namespace lanzhou

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace lanzhou;
  FuzzedDataProvider in(data, size);
  const bool filter = in.ConsumeBool();
  int width = in.ConsumeIntegralInRange<int>(-2, 40);
  if (width == 40) width = in.ConsumeIntegral<int>();
  const std::size_t piece_bytes = in.ConsumeIntegralInRange<std::size_t>(1, 64);
  const int threads = in.ConsumeIntegralInRange<int>(1, 3);
  const Text raw(in.ConsumeRemainingBytesAsString());
  const Text cleaned = CleanForWrap(raw, filter);
  FUZZ_CHECK(cleaned.size() <= raw.size(), fuzz::Escaped(raw.view()));
  Check(cleaned.bytes(), width);

  // Cleaned and wrapped a piece at a time on several threads, as lanzhou-cli writes it, the
  // text comes out the same.
  std::string pieces;
  const bool ok = WriteWrappedText(
      raw.view(), width,
      filter ? WrapCleaning::kLineBreaksAndPunctuation : WrapCleaning::kLineBreaks, threads,
      [&](std::string_view part) {
        pieces += part;
        return true;
      },
      {}, piece_bytes);
  FUZZ_CHECK(ok, "a write that cannot fail failed");
  FUZZ_CHECK(pieces == WrapText(cleaned, width).bytes(),
             "pieces of " + std::to_string(piece_bytes) + " on " + std::to_string(threads) +
                 " threads at width " + std::to_string(width) + ": " + fuzz::Escaped(raw.view()));
  return 0;
}
