#include "text/keyword_filter.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "text/encoding.h"
#include "text/gbk_chars.h"
#include "text/lines.h"

namespace lanzhou {
namespace {

std::string G(const char* utf8) { return FromUtf8(utf8).bytes(); }

// The rule spelled out: a keyword is in a line where its bytes equal the line's from a
// character start on (a four-byte sequence whole), ending at a character start, ASCII letters of
// their own compared without case when asked.
bool ReferenceContains(std::string_view line, std::string_view keyword, bool ignore_case) {
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c | 0x20) : c; };
  for (std::size_t i = 0; i + keyword.size() <= line.size(); i += WholeCharLength(line, i)) {
    bool same = true;
    std::size_t k = 0;
    for (std::size_t j = i; j < i + keyword.size(); j += WholeCharLength(line, j)) {
      const std::size_t n = WholeCharLength(line, j);
      if (j + n > i + keyword.size()) {
        same = false;
        break;
      }
      for (std::size_t b = 0; b < n; ++b, ++k) {
        const char x = line[j + b], y = keyword[k];
        if (!(x == y || (ignore_case && n == 1 && lower(x) == lower(y)))) same = false;
      }
    }
    if (same) return true;
  }
  return false;
}

std::string ReferenceFilter(std::string_view text, const std::vector<std::string>& keywords,
                            bool keep, bool ignore_case) {
  std::string out;
  std::string_view rest = text, line;
  bool first = true;
  while (NextLine(rest, line)) {
    bool any = false;
    for (const std::string& k : keywords) any = any || ReferenceContains(line, k, ignore_case);
    if (any != keep) continue;
    if (!first) out += "\r\n";
    first = false;
    out += line;
  }
  return out;
}

TEST(KeywordFilter, KeepsAndDropsOnCharacterBoundaries) {
  struct Case {
    std::string keywords;
    KeywordOptions options;
    std::string text;
    std::string kept;
    std::string dropped;
  } cases[] = {
      {G("北京\r\n上海"),
       {},
       G("住在北京市\r\n广州\r\n上海人\n"),
       G("住在北京市\r\n上海人"),
       G("广州")},
      // 東 is 96 7C: "|" is its second byte, not a character.
      {"|", {}, "\x96\x7C\r\na|b", "a|b", "\x96\x7C"},
      // 96 40 holds no "@"; B1 B1 B1 holds 北 at 0 but not at 1.
      {"@\r\n\xB1\xB1", {}, "x\x96@y\n\xB1\xB1\xB1\nz@w", "\xB1\xB1\xB1\r\nz@w", "x\x96@y"},
      {"ABC", {.ignore_case = true}, "xabcx\nxAbC\nab", "xabcx\r\nxAbC", "ab"},
      // The second byte of 81 41 is not a letter of its own: 81 61 is another character.
      {"\x81"
       "A",
       {.ignore_case = true},
       "\x81"
       "a\n\x81"
       "A",
       "\x81"
       "A",
       "\x81"
       "a"},
      {G("北京"),
       {.whole_line = true},
       G("北京\r\n北京市\r\n 北京"),
       G("北京"),
       G("北京市\r\n 北京")},
      {"Abc", {.whole_line = true, .ignore_case = true}, "aBC\nabcd", "aBC", "abcd"},
      {"\r\n\r\n", {}, "a\nb", "", "a\r\nb"},  // no keywords: nothing holds one
      // 🛠🌀 is 95 30 95 30 94 39 AF 38: its middle bytes spell 🛟 (95 30 94 39), and each
      // half of 🛠 is a lead byte and a digit.
      {G("🛟\n好了") + "\n\x95\x30",
       {},
       G("修好了🛠🌀\n修🛠🌀\n🛟！\n\x95\x30"),
       G("修好了🛠🌀\r\n🛟！\r\n\x95\x30"),
       G("修🛠🌀")},
  };
  for (const Case& c : cases) {
    const KeywordFilter filter(c.keywords, c.options);
    std::string kept, dropped;
    filter.AppendFilteredLines(c.text, true, kept);
    filter.AppendFilteredLines(c.text, false, dropped);
    EXPECT_EQ(kept, c.kept) << c.text;
    EXPECT_EQ(dropped, c.dropped) << c.text;
  }
  // A long line read 64 MiB at a time: a keyword, or a character that holds none, across the
  // edge of a step is read as in one pass.
  constexpr std::size_t kStep = std::size_t{64} << 20;
  const struct {
    std::string tail;  // from the step's last byte on
    bool holds;
  } long_lines[] = {{G("北京"), true}, {"\x96\x7C", false}, {"b|", true}, {"bc", false}};
  const KeywordFilter filter(G("北京") + "\n|", {});
  std::string line(kStep - 1, 'a');
  for (const auto& c : long_lines) {
    line.resize(kStep - 1);
    line += c.tail;
    std::vector<std::size_t> heard;
    EXPECT_EQ(filter.LineMatches(line, [&](std::size_t end) { heard.push_back(end); }), c.holds)
        << c.tail;
    // Every step read through is heard; the search stops in the second.
    const std::vector<std::size_t> steps =
        c.holds ? std::vector<std::size_t>{kStep} : std::vector<std::size_t>{kStep, line.size()};
    EXPECT_EQ(heard, steps) << c.tail;
  }
}

TEST(KeywordFilter, AgreesWithTheReferenceOnRandomText) {
  // Short keywords and lines over a few bytes that make every trap: lead bytes, "|", "@",
  // letters in both cases, second bytes that are letters, and lead bytes and digits that make
  // four-byte sequences.
  const std::vector<std::string> pieces = {"a",    "A",        "b",        "B",       "|",    "@",
                                           "\x96", "\x81",     "\xB1",     "\xD6",    "\xD0", " ",
                                           "9",    "\x81\x30", "\x95\x30", "\x94\x39"};
  std::mt19937 random(24);
  auto pick = [&](std::size_t max_pieces) {
    std::string s;
    for (std::size_t n = random() % max_pieces + 1; n > 0; --n)
      s += pieces[random() % pieces.size()];
    return s;
  };
  for (int round = 0; round < 200; ++round) {
    std::vector<std::string> keywords;
    std::string keyword_text;
    for (int k = 0; k < 1 + round % 7; ++k) {
      keywords.push_back(pick(3));
      keyword_text += keywords.back() + "\n";
    }
    std::string text;
    for (int l = 0; l < 20; ++l) text += pick(12) + (l % 2 ? "\r\n" : "\n");
    const bool ignore_case = round % 2 == 1;
    const KeywordFilter filter(keyword_text, {.ignore_case = ignore_case});
    for (bool keep : {true, false}) {
      std::string got;
      filter.AppendFilteredLines(text, keep, got);
      ASSERT_EQ(got, ReferenceFilter(text, keywords, keep, ignore_case))
          << "round " << round << " keep " << keep;
    }
  }
}

TEST(KeywordFilter, ManyKeywords) {
  std::string keywords;
  for (int k = 0; k < 200000; ++k) keywords += "kw" + std::to_string(k * 7) + "z\n";
  const KeywordFilter filter(keywords, {});
  EXPECT_EQ(filter.KeywordCount(), 200000u);
  std::string kept;
  filter.AppendFilteredLines("a kw14z b\nkw15z\nxkw1399993zx\n", true, kept);
  EXPECT_EQ(kept, "a kw14z b\r\nxkw1399993zx");
}

}  // namespace
}  // namespace lanzhou
