#include "text/text_primitives.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "text/dates.h"
#include "text/encoding.h"

namespace lanzhou {
namespace {

Text G(const char* utf8) { return FromUtf8(utf8); }

TEST(TextPieces, CountBytesAndClamp) {
  const Text abc("abc");
  const Text zhong = G("中");  // D6 D0
  struct Case {
    Text got, want;
  } cases[] = {
      {LeftText(abc, 0), Text()},
      {LeftText(abc, -3), Text()},
      {LeftText(abc, 2), Text("ab")},
      {LeftText(abc, 99), Text("abc")},
      {LeftText(zhong, 1), Text("\xD6")},
      {LeftText(Text(), 3), Text()},
      {RightText(abc, -1), Text()},
      {RightText(abc, 0), Text()},
      {RightText(abc, 2), Text("bc")},
      {RightText(abc, 99), Text("abc")},
      {RightText(zhong, 1), Text("\xD0")},
      {MidText(abc, 4, 1), Text()},
      {MidText(abc, 2, 10), Text("bc")},
      {MidText(abc, 0, 2), Text()},
      {MidText(abc, 1, 0), Text()},
      {MidText(abc, 2, 1), Text("b")},
      {MidText(G("中文"), 2, 2), Text("\xD0\xCE")},  // across the character boundary
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(cases[i].got, cases[i].want) << "case " << i;
  }
  EXPECT_EQ(TextLength(Text()), 0);
  EXPECT_EQ(TextLength(G("中a")), 3);
}

TEST(CharCode, SignExtendsAndGivesZeroOutsideTheText) {
  const Text zhong = G("中");
  struct Case {
    int position;
    int want;
  } cases[] = {{1, -42}, {2, -48}, {3, 0}, {4, 0}, {0, 0}, {-5, 0}};
  for (const auto& c : cases) EXPECT_EQ(CharCode(zhong, c.position), c.want) << c.position;
  EXPECT_EQ(CharCode(Text("A")), 65);
  EXPECT_EQ(CharCode(Text("\x7F")), 127);
  EXPECT_EQ(CharCode(Text()), 0);
}

TEST(SmallBuilders, CharFromCodeSpaceAndRepeat) {
  EXPECT_EQ(CharFromCode(0x41), Text("A"));
  EXPECT_EQ(CharFromCode(0x141), Text("A"));
  EXPECT_EQ(CharFromCode(0x100), Text());
  EXPECT_EQ(CharFromCode(-42), Text("\xD6"));
  EXPECT_EQ(SpaceText(3), Text("   "));
  EXPECT_EQ(SpaceText(0), Text());
  EXPECT_EQ(SpaceText(-1), Text());
  EXPECT_EQ(RepeatText(3, G("中a")), G("中a中a中a"));
  EXPECT_EQ(RepeatText(0, Text("x")), Text());
  EXPECT_EQ(RepeatText(-2, Text("x")), Text());
  EXPECT_EQ(RepeatText(4, Text()), Text());
}

TEST(SplitText, FollowsItsMemberRules) {
  struct Case {
    Text text;
    Text delimiter;
    std::optional<int> max;
    TextArray want;
  } cases[] = {
      {Text("a||b|"), Text("|"), std::nullopt, {Text("a"), Text(), Text("b")}},
      {Text("|a"), Text("|"), std::nullopt, {Text(), Text("a")}},
      {Text(), Text("|"), std::nullopt, {}},
      {Text("abc"), Text(), std::nullopt, {Text("abc")}},
      {Text("a|b|c"), Text("|"), 2, {Text("a"), Text("b")}},
      {Text("a|b|c"), Text("|"), 3, {Text("a"), Text("b"), Text("c")}},
      {Text("a|b|c"), Text("|"), 0, {}},
      {Text("a|b|c"), Text("|"), -1, {}},
      {Text("a,b"), Text(","), std::nullopt, {Text("a"), Text("b")}},
      {Text("|"), Text("|"), std::nullopt, {Text()}},
      {Text("a\r\nb\r\n\r\nc"),
       Text("\r\n"),
       std::nullopt,
       {Text("a"), Text("b"), Text(), Text("c")}},
      {Text("ab"), Text("abc"), std::nullopt, {Text("ab")}},
      {G("张三----李四"), Text("----"), std::nullopt, {G("张三"), G("李四")}},
      // 0x81 0x7C is one character whose second byte is "|".
      {Text("\x81\x7C|x"), Text("|"), std::nullopt, {Text("\x81\x7C"), Text("x")}},
      {Text("a\x81\x7C\x81\x7C"), Text("|"), std::nullopt, {Text("a\x81\x7C\x81\x7C")}},
      {Text("\x95\x30\x95\x30\x94\x39\xAF\x38"),
       Text("\x95\x30\x94\x39"),
       std::nullopt,
       {Text("\x95\x30\x95\x30\x94\x39\xAF\x38")}},
      // "\xD0\xCE" spans the boundary of 中 (D6 D0) and 文 (CE C4): never found there.
      {G("中文"), Text("\xD0\xCE"), std::nullopt, {G("中文")}},
      // A lead byte at the very end stands alone, so a delimiter right before it is found.
      {Text("a|\xD6"), Text("|"), std::nullopt, {Text("a"), Text("\xD6")}},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    TextArray got = c.max ? SplitText(c.text, c.delimiter, c.max) : SplitText(c.text, c.delimiter);
    EXPECT_EQ(got, c.want) << "case " << i;
  }
  EXPECT_EQ(SplitText(Text("x,y")), (TextArray{Text("x"), Text("y")}));
}

TEST(ReplaceSubtext, FollowsItsRules) {
  struct Case {
    Text text, find, replacement;
    int start;
    std::optional<int> count;
    bool case_sensitive;
    Text want;
  } cases[] = {
      {Text("abc"), Text(), Text("x"), 1, std::nullopt, true, Text("abc")},
      {Text("abc"), Text("b"), Text("x"), 4, std::nullopt, true, Text("abc")},
      {Text(), Text("b"), Text("x"), 1, std::nullopt, true, Text()},
      {Text("aaa"), Text("a"), Text("aa"), 1, std::nullopt, true, Text("aaaaaa")},
      {Text("aXbx"), Text("x"), Text("-"), 1, std::nullopt, false, Text("a-b-")},
      {Text("aXbx"), Text("x"), Text("-"), 1, std::nullopt, true, Text("aXb-")},
      {Text("xxxx"), Text("x"), Text("y"), 1, 2, true, Text("yyxx")},
      {Text("xxxx"), Text("x"), Text("y"), 1, 0, true, Text("xxxx")},
      {Text("xxxx"), Text("x"), Text("y"), 1, -1, true, Text("yyyy")},
      {Text("xxxx"), Text("x"), Text("y"), 3, std::nullopt, true, Text("xxyy")},
      {Text("xxxx"), Text("x"), Text("y"), -7, std::nullopt, true, Text("yyyy")},
      {Text("abc"), Text("b"), Text(), 1, std::nullopt, true, Text("ac")},
      {G("甲----乙"), Text("----"), Text("|"), 1, std::nullopt, false, G("甲|乙")},
      // Only A-Z fold: the full-width letter stays unmatched.
      {G("ＡA"), Text("a"), Text("b"), 1, std::nullopt, false, G("Ａb")},
      {G("中文"), Text("\xD0\xCE"), Text("!"), 1, std::nullopt, true, G("中文")},
      {Text("\x81|\x81|"), Text("|"), Text("/"), 1, std::nullopt, true, Text("\x81|\x81|")},
      {Text("ab|\xD6"), Text("|"), Text("/"), 1, std::nullopt, true, Text("ab/\xD6")},
      // 🛠🌀 (95 30 95 30 94 39 AF 38) holds 🛟 (95 30 94 39) only across its two characters.
      {Text("\x95\x30\x95\x30\x94\x39\xAF\x38"), Text("\x95\x30\x94\x39"), Text("!"), 1,
       std::nullopt, true, Text("\x95\x30\x95\x30\x94\x39\xAF\x38")},
      {Text("\x95\x30\x95\x30\x95\x30!"), Text("\x95\x30"), Text("?"), 1, std::nullopt, true,
       Text("\x95\x30\x95\x30?!")},  // a half alone is a character
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    EXPECT_EQ(ReplaceSubtext(c.text, c.find, c.replacement, c.start, c.count, c.case_sensitive),
              c.want)
        << "case " << i;
  }
}

TEST(BatchReplace, AppliesPairsInOrderOverEarlierResults) {
  const ReplacePair pairs[] = {{Text("a"), Text("b")},
                               {Text("b"), Text("c")},
                               {Text(), Text("zzz")},
                               {G("，"), Text(",")},
                               {Text("X"), Text("y")}};
  EXPECT_EQ(BatchReplace(G("ab，Xx"), std::nullopt, 0, false, pairs), Text("cc,yy"));
  EXPECT_EQ(BatchReplace(G("ab，Xx"), std::nullopt, 1, true, pairs), Text("cc,yx"));
  EXPECT_EQ(BatchReplace(Text("aaa"), 1, 1, true, std::span(pairs, 1)), Text("baa"));
  EXPECT_EQ(BatchReplace(Text("aaa"), std::nullopt, 2, true, std::span(pairs, 1)), Text("abb"));
  EXPECT_EQ(BatchReplace(Text("aaa"), std::nullopt, 1, true, {}), Text("aaa"));
}

TEST(CompareText, UnsignedBytesAndPrefixes) {
  struct Case {
    Text a, b;
    int want;
  } cases[] = {
      {Text(), Text(), 0},          {Text("a"), Text("a"), 0},  {Text("a"), Text("b"), -1},
      {Text("b"), Text("a"), 1},    {Text("ab"), Text("a"), 1}, {Text("a"), Text("ab"), -1},
      {Text("\xD6"), Text("a"), 1}, {Text(), Text("a"), -1},
  };
  for (const auto& c : cases) EXPECT_EQ(CompareText(c.a, c.b), c.want);
  EXPECT_EQ(ConcatTexts({Text("a"), Text(), G("中")}), G("a中"));
}

TEST(ToText, EveryValueKind) {
  struct Case {
    Value value;
    Text want;
  } cases[] = {
      {std::int32_t{-42}, Text("-42")},
      {std::int32_t{0}, Text("0")},
      {std::int64_t{-9000000000}, Text("-9000000000")},
      {std::uint8_t{200}, Text("200")},
      {std::int16_t{-5}, Text("-5")},
      {1.0, Text("1")},
      {0.1 + 0.2, Text("0.3")},
      {1.0 / 3, Text("0.3333333333333")},
      {1234567890123456.0, Text("1.234567890123e+15")},
      {1e-5, Text("1e-05")},
      {-2.5, Text("-2.5")},
      {1.0f / 3, Text("0.333333")},
      {1234567.0f, Text("1.23457e+06")},
      {true, G("真")},
      {false, G("假")},
      {MakeTime(2015, 3, 4, 12, 30, 45), G("2015年3月4日12时30分45秒")},
      {MakeTime(2015, 3, 4), G("2015年3月4日")},
      {G("中文"), G("中文")},
      {Bytes(std::string("ab\0cd", 5)), Text("ab")},
      {Bytes(std::string("abc")), Text("abc")},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(ToText(cases[i].value), cases[i].want) << "case " << i;
  }
}

TEST(ToInteger, ReadsLikeAtoiAfterHalfWidthFolding) {
  struct Case {
    Value value;
    std::int32_t want;
  } cases[] = {
      {Text("  -12ab"), -12},
      {Text(), 0},
      {Text("abc"), 0},
      {Text("+7"), 7},
      {Text("\t\n 5"), 5},
      {Text("- 5"), 0},
      {G("３"), 3},
      {G("１２"), 12},
      {G("－４５"), -45},
      {G("　７"), 7},  // ideographic space
      {G("12３"), 123},
      // Overflow as glibc's atoi: the saturated 64-bit value cut to 32 bits.
      {Text("2147483648"), std::numeric_limits<std::int32_t>::min()},
      {Text("99999999999999999999"), -1},
      {std::int64_t{0x100000005}, 5},
      {std::uint8_t{255}, 255},
      {std::int16_t{-3}, -3},
      {2.9, 2},
      {-2.9, -2},
      {1.5f, 1},
      {std::nan(""), 0},
      {1e300, std::numeric_limits<std::int32_t>::max()},
      {true, 1},
      {false, 0},
      {MakeTime(2015, 1, 1), 0},
      {Bytes(std::string("12")), 0},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(ToInteger(cases[i].value), cases[i].want) << "case " << i;
  }
  // The clamped reading wraps nothing.
  EXPECT_EQ(ToClampedInteger(Text("4294967297")), std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(ToClampedInteger(Text("-4294967295")), std::numeric_limits<std::int32_t>::min());
  EXPECT_EQ(ToClampedInteger(G(" －４５x")), -45);
}

TEST(ReadNumberList, TakesEverySeparatorAndRefusesAnyOtherPiece) {
  constexpr int kMax = std::numeric_limits<std::int32_t>::max();
  struct Case {
    Text typed;
    std::optional<std::vector<std::int32_t>> numbers;
    Text refused;
  } cases[] = {
      {G("3,1"), std::vector{3, 1}, Text()},
      {G("3，1、2|4｜5;6；7 8\t9　10"), std::vector{3, 1, 2, 4, 5, 6, 7, 8, 9, 10}, Text()},
      {G(",3,,1,"), std::vector{3, 1}, Text()},
      {G("  ３ ， 0１"), std::vector{3, 1}, Text()},
      {G("2|2"), std::vector{2, 2}, Text()},
      {G("4294967297"), std::vector{kMax}, Text()},
      {G("3,a"), std::nullopt, G("a")},
      {G("1.5"), std::nullopt, G("1.5")},
      {G("+4"), std::nullopt, G("+4")},
      {G("-1"), std::nullopt, G("-1")},
      {G("2,0"), std::nullopt, G("0")},
      {G("2,00"), std::nullopt, G("00")},
      {G("3x 1"), std::nullopt, G("3x")},
      {G("3,中"), std::nullopt, G("中")},
      {G("3\r\n"), std::nullopt, G("3\r\n")},
      // No number at all.
      {G(""), std::nullopt, Text()},
      {G(" ，、;"), std::nullopt, Text()},
      // "\x81|" is one character, not a separator after a lead byte.
      {Text("1,\x81|"), std::nullopt, Text("\x81|")},
  };
  for (const Case& c : cases) {
    Text refused("unchanged");
    EXPECT_EQ(ReadNumberList(c.typed, &refused), c.numbers) << ToUtf8(c.typed);
    EXPECT_EQ(refused, c.numbers ? Text("unchanged") : c.refused) << ToUtf8(c.typed);
  }
}

TEST(ToNumber, ReadsLikeAtofWithADotWhateverTheLocale) {
  struct Case {
    Value value;
    double want;
  } cases[] = {
      {Text("2.5"), 2.5},
      {Text(" -2.5e2x"), -250.0},
      {Text("1e"), 1.0},
      {Text("1e+"), 1.0},
      {Text(".5"), 0.5},
      {Text("5."), 5.0},
      {Text("."), 0.0},
      {Text("0x10"), 0.0},
      {Text("inf"), 0.0},
      {G("２．５"), 2.5},
      {Text(), 0.0},
      {std::int32_t{-3}, -3.0},
      {std::int64_t{1} << 40, 1099511627776.0},
      {std::uint8_t{7}, 7.0},
      {0.25f, 0.25},
      {true, 1.0},
      {Bytes(std::string("1")), 0.0},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(ToNumber(cases[i].value), cases[i].want) << "case " << i;
  }
}

TEST(FoldToHalfWidth, MapsOnlyTheListedCharacters) {
  EXPECT_EQ(FoldToHalfWidth(G("ＡＢ１！～")), Text("AB1!~"));
  EXPECT_EQ(FoldToHalfWidth(Text("\xA1\xA1\xA1\xAB\xA1\xEE\xA1\xEF")), Text(" ~**"));
  EXPECT_EQ(FoldToHalfWidth(G("中文a")), G("中文a"));
  // Stepping by character: the A3 here is a second byte, not a lead byte.
  EXPECT_EQ(FoldToHalfWidth(Text("\xB0\xA3\xB1")), Text("\xB0\xA3\xB1"));
}

TEST(ToBytes, LittleEndianRepresentations) {
  struct Case {
    Value value;
    std::string want;
  } cases[] = {
      {Text("ab"), "ab"},
      {Text(), ""},
      {std::int32_t{0x01020304}, std::string("\x04\x03\x02\x01", 4)},
      {std::int16_t{-2}, std::string("\xFE\xFF", 2)},
      {std::uint8_t{9}, std::string("\x09", 1)},
      {std::int64_t{1}, std::string("\x01\0\0\0\0\0\0\0", 8)},
      {true, std::string("\x01\0\0\0", 4)},
      {1.0, std::string("\0\0\0\0\0\0\xF0\x3F", 8)},
      {1.0f, std::string("\0\0\x80\x3F", 4)},
      {DateTime(1.0), std::string("\0\0\0\0\0\0\xF0\x3F", 8)},
      {Bytes(std::string("a\0b", 3)), std::string("a\0b", 3)},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(ToBytes(cases[i].value), Bytes(cases[i].want)) << "case " << i;
  }
  EXPECT_EQ(ZeroBytes(3), Bytes(std::string(3, '\0')));
  EXPECT_EQ(ZeroBytes(0), Bytes());
  EXPECT_EQ(ZeroBytes(-1), Bytes());
}

TEST(Floor, SnapsNearlyWholeNumbers) {
  struct Case {
    double x;
    std::int32_t want;
  } cases[] = {
      {2.5, 2},
      {-2.5, -3},
      {3.0, 3},
      {2.9999999999999, 3},
      {-2.9999999999999, -3},
      {-3.0000000000001, -3},
      {0.0, 0},
      {-0.5, -1},
      {2.9999, 2},
  };
  for (const auto& c : cases) EXPECT_EQ(Floor(c.x), c.want) << c.x;
}

TEST(Remainder, ChainsFurtherDivisors) {
  EXPECT_DOUBLE_EQ(Remainder(7, 3), 1);
  EXPECT_DOUBLE_EQ(Remainder(-7, 3), -1);
  EXPECT_DOUBLE_EQ(Remainder(5.5, 2), 1.5);
  EXPECT_DOUBLE_EQ(Remainder(100, 30, {7}), 3);
}

TEST(RemainderDeathTest, ByZeroEndsTheProgramWithItsMessage) {
  EXPECT_DEATH(Remainder(1, 0), "不能求余数于零");
  EXPECT_DEATH(Remainder(10, 3, {0}), "不能求余数于零");
}

}  // namespace
}  // namespace lanzhou
