#include "text/lines.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

namespace lanzhou {
namespace {

using namespace std::string_literals;

TEST(Lines, CutAtEveryLfWithTheCrBeforeIt) {
  struct Case {
    std::string text;
    std::vector<std::string> lines;
  } cases[] = {
      {"", {}},
      {"\n", {""}},
      {"\r\n\r\n", {"", ""}},
      {"a", {"a"}},
      {"a\r\nb\nc", {"a", "b", "c"}},
      {"a\r\r\nb\rc\r", {"a\r", "b\rc\r"}},          // only the CR right before an LF goes
      {"\xD6\n\xD6\xD0\r\n", {"\xD6", "\xD6\xD0"}},  // a lead byte never takes the LF
      {"a\0b\nc"s, {"a\0b"s, "c"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.text));
    std::vector<std::string> lines;
    std::string_view rest = c.text, line;
    while (NextLine(rest, line)) lines.emplace_back(line);
    EXPECT_EQ(lines, c.lines);
    EXPECT_EQ(CountLines(c.text), c.lines.size());
    // Taken a few lines at a time, the pieces hold the same lines.
    for (std::size_t n : {1, 2}) {
      std::vector<std::string> pieced;
      for (std::string_view text = c.text; !text.empty();) {
        std::string_view piece = TakeLines(text, n);
        EXPECT_EQ(CountLines(piece), text.empty() ? CountLines(piece) : n);
        while (NextLine(piece, line)) pieced.emplace_back(line);
      }
      EXPECT_EQ(pieced, c.lines) << n;
    }
  }
}

TEST(Lines, TextBeforeEndMarkStopsAtZeroAndAStarting1A) {
  struct Case {
    std::string bytes, text;
  } cases[] = {
      {"a\nb", "a\nb"},
      {"a\nb\0c\x1A"s, "a\nb"},
      {"a\x1A\0"s, "a"},
      {"\x1A", ""},
      {"\xD6\x1A\x1A"
       "b",
       "\xD6\x1A"},  // the first 0x1A is a second byte
      {"\xD6\xD0\x1A", "\xD6\xD0"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TextBeforeEndMark(c.bytes), c.text) << testing::PrintToString(c.bytes);
  }
}

// Long texts are searched 64 MiB at a time: a mark or zero byte right at a step's edge, and a
// 0x1A that is the second byte of a character begun in the step before, end the text as in one
// search; `scanned` hears the end of every step searched through.
TEST(Lines, TextBeforeEndMarkAcrossItsSteps) {
  constexpr std::size_t kStep = std::size_t{64} << 20;
  std::string bytes(kStep - 1, 'a');
  const struct {
    std::string tail;
    std::size_t end_mark, zero;  // the lengths kept
  } cases[] = {
      {"\xD6\x1A\x1A", kStep + 1, kStep + 2},  // 0x1A at the step's start is a second byte
      {"b\x1A", kStep, kStep + 1},
      {"\x1A"
       "b",
       kStep - 1, kStep + 1},
      {"\0\x1A"s, kStep - 1, kStep - 1},
      {"b\0"s, kStep, kStep},
      {"bc", kStep + 1, kStep + 1},
  };
  for (const auto& c : cases) {
    bytes.resize(kStep - 1);
    bytes += c.tail;
    std::vector<std::size_t> heard;
    const auto hear = [&](std::size_t end) { heard.push_back(end); };
    EXPECT_EQ(TextBeforeEndMark(bytes, hear).size(), c.end_mark) << testing::PrintToString(c.tail);
    EXPECT_EQ(TextBeforeEndMark(bytes).size(), c.end_mark);
    for (const std::size_t end : heard) EXPECT_LE(end, c.end_mark);
    EXPECT_EQ(heard.empty(), c.end_mark < kStep) << testing::PrintToString(c.tail);
    heard.clear();
    EXPECT_EQ(TextBeforeZero(bytes, hear).size(), c.zero) << testing::PrintToString(c.tail);
    EXPECT_EQ(TextBeforeZero(bytes).size(), c.zero);
    EXPECT_EQ(heard.empty(), c.zero < kStep);
  }
}

// The parallel pages cut their texts here: after a separator that starts a character.
TEST(Lines, PieceEndAfterEndsAfterTheNextSeparatorPastTheSize) {
  struct Case {
    std::string text;
    std::size_t start, size, end;
  } cases[] = {
      {"ab\r\ncd\r\nef", 0, 1, 4}, {"ab\r\ncd\r\nef", 0, 2, 4},  {"ab\r\ncd\r\nef", 0, 3, 8},
      {"ab\r\ncd\r\nef", 4, 0, 8}, {"ab\r\ncd\r\nef", 8, 1, 10}, {"ab\r\ncd", 0, 99, 6},
      {"\x83\r\n", 0, 0, 3},  // a lead byte never takes CR
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PieceEndAfter(c.text, "\r\n", c.start, c.size), c.end) << c.text << c.start;
  }
  EXPECT_EQ(PieceEndAfter("\x83|a|b", "|", 0, 1), 4u);  // "\x83|" is one character
  // Looked for 64 MiB at a time: a CR LF that begins at a step's last byte, one that begins
  // the next step, and none at all end the piece as one search does; `scanned` hears only the
  // steps searched through.
  constexpr std::size_t kStep = std::size_t{64} << 20;
  std::string text(kStep + 8, 'a');
  for (const std::size_t at : {kStep, kStep + 1, std::string::npos}) {
    std::fill(text.begin(), text.end(), 'a');
    if (at != std::string::npos) text.replace(at, 2, "\r\n");
    std::vector<std::size_t> heard;
    EXPECT_EQ(PieceEndAfter(text, "\r\n", 0, 1, [&](std::size_t end) { heard.push_back(end); }),
              PieceEndAfter(text, "\r\n", 0, 1))
        << at;
    const std::vector<std::size_t> steps = at == kStep ? std::vector<std::size_t>{}
                                           : at == kStep + 1
                                               ? std::vector<std::size_t>{kStep + 1}
                                               : std::vector<std::size_t>{kStep + 1, text.size()};
    EXPECT_EQ(heard, steps) << at;
  }
}

}  // namespace
}  // namespace lanzhou
