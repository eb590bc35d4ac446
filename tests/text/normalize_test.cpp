#include "text/normalize.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <iterator>
#include <map>
#include <random>
#include <string>

#include "text/encoding.h"
#include "text/lines.h"

namespace lanzhou {
namespace {

std::string G(const char* utf8) { return FromUtf8(utf8).bytes(); }

// The width fold against a table that is not ours: for every two-byte code, Python's NFKC of
// the character it decodes to, where that character lies in U+FF01..U+FF5E or is U+3000.
// With punctuation folded every such character is its NFKC form; without, exactly the marks a
// Chinese sentence uses stay; no other two-byte code folds at all.
TEST(Normalize, WidthFoldAgreesWithNfkcOverTheFullWidthRange) {
  FILE* pipe = popen(
      "python3 -c \"import unicodedata\n"
      "for lead in range(0x81, 0xFF):\n"
      "    for trail in range(0x40, 0xFF):\n"
      "        try:\n"
      "            u = bytes([lead, trail]).decode('gb18030')\n"
      "        except UnicodeError:\n"
      "            continue\n"
      "        if 0xFF01 <= ord(u) <= 0xFF5E or u == '\\u3000':\n"
      "            print(lead, trail, ord(unicodedata.normalize('NFKC', u)))\n\"",
      "r");
  ASSERT_NE(pipe, nullptr);
  std::map<int, char> nfkc;
  int lead, trail, ascii;
  while (std::fscanf(pipe, "%d %d %d", &lead, &trail, &ascii) == 3) {
    nfkc[lead << 8 | trail] = static_cast<char>(ascii);
  }
  ASSERT_EQ(pclose(pipe), 0);
  ASSERT_EQ(nfkc.size(), 95u);

  const std::string kept = "!\"'(),:;?[]{}~";
  std::string kept_found;
  for (lead = 0x81; lead <= 0xFE; ++lead) {
    for (trail = 0x30; trail <= 0xFE; ++trail) {
      const auto it = nfkc.find(lead << 8 | trail);
      const char theirs = it == nfkc.end() ? 0 : it->second;
      const auto l = static_cast<unsigned char>(lead), t = static_cast<unsigned char>(trail);
      SCOPED_TRACE(testing::Message() << std::hex << lead << trail);
      EXPECT_EQ(HalfWidthOf(l, t, true), theirs);
      const char folded = HalfWidthOf(l, t);
      if (folded == 0 && theirs != 0) kept_found += theirs;
      EXPECT_TRUE(folded == 0 || folded == theirs);
      // The line fold uses the same rule.
      const std::string code{static_cast<char>(lead), static_cast<char>(trail)};
      EXPECT_EQ(NormalizeLine(code, {.width = true, .punctuation = true}).bytes(),
                theirs ? std::string(1, theirs) : code);
    }
  }
  std::sort(kept_found.begin(), kept_found.end());
  std::string kept_sorted = kept;
  std::sort(kept_sorted.begin(), kept_sorted.end());
  EXPECT_EQ(kept_found, kept_sorted);
}

TEST(Normalize, FoldsLines) {
  const Folds width{.width = true};
  const Folds all{.width = true, .trim = true, .squeeze = true, .lower = true};
  struct Case {
    std::string line;
    Folds folds;
    std::string expected;
  } cases[] = {
      {G("１３８００１３８０００"), width, "13800138000"},
      {G("（０１０）６２３４５６７８，再见。"), width, G("（010）62345678，再见。")},
      {G("（０１０）６２３４５６７８，再见。"),
       {.width = true, .punctuation = true},
       G("(010)62345678,再见。")},
      {G("“引号”《书名》、…"), {.width = true, .punctuation = true}, G("“引号”《书名》、…")},
      {G("（Ａ１，）"), {.punctuation = true}, G("(Ａ１,)")},
      {G("ｚｈａｎｇ＠ｑｑ．ｃｏｍ"), width, "zhang@qq.com"},
      {G("　Ｚｈａｎｇ　　三 \t"), all, G("zhang 三")},
      {G("　张三\t "), {.trim = true}, G("张三")},
      {G("a \t　b"), {.squeeze = true}, "a b"},
      {G(" a　b "), {.squeeze = true}, " a b "},
      {G("a　b"), {}, G("a　b")},
      {G("a　b"), width, "a b"},
      {"\x81\x30\x84\x36"
       "a\x81\x30\x84\x36\x81\x30\x84\x36"
       "b \x81\x30\x84\x36",
       {.trim = true, .squeeze = true},
       "a b"},                                          // NBSP
      {"\x81\x30\x84\x36", width, "\x81\x30\x84\x36"},  // NBSP is no full-width form
      {G("ABC张三Xyz"), {.lower = true}, G("abc张三xyz")},
      // Second bytes that look like ASCII letters, blanks or full-width codes stay.
      {"\x81\x41\x82\x5A", {.lower = true}, "\x81\x41\x82\x5A"},
      {"\xA1\xA3\xA1\xA1", {.trim = true}, "\xA1\xA3"},  // 。 then U+3000
      {"\xB0\xA1\xA3\xB1", width,
       "\xB0\xA1"
       "1"},                                    // 啊１
      {"\xA3\xA1\xA3", width, "\xA3\xA1\xA3"},  // ！ then a lone lead byte
      {"\xA3\xC1\xA3", {.width = true, .lower = true}, "a\xA3"},
      {"   ", {.trim = true}, ""},
      {"   ", {.squeeze = true}, " "},
      {"", all, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(ToUtf8(c.line));
    EXPECT_EQ(NormalizeLine(c.line, c.folds).bytes(), c.expected);
  }
}

// The line fold, a character at a time as the rules read: the model the fast fold must agree
// with.
std::string FoldedOneByOne(std::string_view line, const Folds& folds) {
  std::string out;
  bool in_run = false;  // the output ends in blanks
  std::size_t run_start = 0;
  for (std::size_t i = 0; i < line.size();) {
    if (const std::size_t blank = BlankLength(line, i); blank != 0) {
      if (!(folds.trim && out.empty()) && !(folds.squeeze && in_run)) {
        if (!in_run) run_start = out.size();
        in_run = true;
        out += folds.squeeze || (folds.width && blank == 2) ? " " : line.substr(i, blank);
      }
      i += blank;
      continue;
    }
    in_run = false;
    const WidthChar c = ReadHalfWidth(line, i, true);
    const bool folds_here =
        c.ascii != 0 && (IsChinesePunctuation(c.ascii) ? folds.punctuation : folds.width);
    if (c.length == 2 && !folds_here) {
      out += line.substr(i, 2);
    } else {
      const char ascii = c.length == 2 ? c.ascii : line[i];
      out += folds.lower && ascii >= 'A' && ascii <= 'Z' ? static_cast<char>(ascii + 32) : ascii;
    }
    i += c.length;
  }
  if (folds.trim && in_run) out.resize(run_start);
  return out;
}

// Generated lines of the bytes that matter (blanks, letters, full-width forms, second bytes
// that look like them, lead bytes alone), long enough to cross the blocks the fold compares
// at once, under every combination of folds, alone and as texts of lines ending in LF or CR
// LF; a line said to be left as it is must be.
TEST(Normalize, FoldsAgreeWithTheCharacterModel) {
  const std::string parts[] = {" ",        "\t",       "\xA1\xA1", "\x81\x30\x84\x36", "A",
                               "z",        "Q",        "1",        "\xA3\xC1",         "\xA3\xEA",
                               "\xA3\xAC", "\xA3\xA4", "\xA1\xE7", "\xA1\xAB",         "\xB0\xA1",
                               "\xB0\xA3", "\x81\x41", "\x81 ",    "\x81\x30",         "\xA3",
                               "\xA1",     "\x81",     "\r",       "\xD6\xD0"};
  // Runs of bytes no fold changes, so that a byte that matters may stand alone in a block.
  const std::string plain[] = {"z", "zhang138", "\xD6\xD0\xCE\xC4\xD6\xD0\xCE\xC4\xD6\xD0",
                               "a1b2c3d4e5f6g7h8i9"};
  std::mt19937 rng(7);
  for (int k = 0; k < 5000; ++k) {
    const unsigned bits = rng() % 64;
    const Folds folds{.width = (bits & 1) != 0,
                      .punctuation = (bits & 2) != 0,
                      .trim = (bits & 4) != 0,
                      .squeeze = (bits & 8) != 0,
                      .lower = (bits & 16) != 0,
                      .drop_empty = (bits & 32) != 0};
    std::string text;
    for (std::size_t lines = rng() % 6; lines > 0; --lines) {
      for (std::size_t n = rng() % 40; n > 0; --n) {
        text += rng() % 2 ? parts[rng() % std::size(parts)] : plain[rng() % std::size(plain)];
      }
      if (lines > 1 || rng() % 2) text += rng() % 2 ? "\n" : "\r\n";
    }
    std::string expected;
    std::string_view rest = text, line;
    while (NextLine(rest, line)) {
      const std::string folded = FoldedOneByOne(line, folds);
      ASSERT_EQ(NormalizeLine(line, folds).bytes(), folded)
          << testing::PrintToString(std::string(line)) << " folds " << bits;
      if (FoldsLeaveAsIs(line, folds)) {
        ASSERT_EQ(folded, line) << testing::PrintToString(std::string(line)) << " folds " << bits;
      }
      if (!(folds.drop_empty && folded.empty())) expected += folded + "\r\n";
    }
    std::string out = "kept";
    AppendNormalizedLines(text, folds, out);
    ASSERT_EQ(out, "kept" + expected) << testing::PrintToString(text) << " folds " << bits;
  }
}

TEST(Normalize, FoldsTextsOfLines) {
  struct Case {
    std::string text;
    Folds folds;
    std::string expected;
  } cases[] = {
      {"a\r\n\r\n b \nc", {.trim = true}, "a\r\n\r\nb\r\nc\r\n"},
      {G("a\r\n　\r\n b \n\nc\n"), {.trim = true, .drop_empty = true}, "a\r\nb\r\nc\r\n"},
      {"a\r\n\r\n", {.drop_empty = true}, "a\r\n"},
      {"a\rb\r\n", {}, "a\rb\r\n"},  // a CR inside a line is no blank and no line end
      {"", {}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::string out = "kept";
    AppendNormalizedLines(c.text, c.folds, out);
    EXPECT_EQ(out, "kept" + c.expected);
  }
}

}  // namespace
}  // namespace lanzhou
