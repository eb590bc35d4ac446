#include "text/normalize.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>

#include "text/encoding.h"

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
