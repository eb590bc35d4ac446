#include "pages/dedupe.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "tests/support/fake_units.h"
#include "text/encoding.h"
#include "text/text_primitives.h"

namespace lanzhou {
namespace {

TEST(DistinctLines, KeepsFirstOccurrencesInInputOrder) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"", ""},
      {"\r\n", ""},
      {"\r\n\r\n", ""},
      {"a", "a"},
      {"a\r\nb\r\na", "a\r\nb"},
      {"a\r\nb\r\n", "a\r\nb"},
      {"a\r\na\r\na\r\n", "a"},
      {"b\r\na\r\nb\r\nc\r\na", "b\r\na\r\nc"},
      {"a\r\n\r\nb\r\n\r\nc", "a\r\n\r\nb\r\nc"},
      {"\r\na", "\r\na"},
      {"\r\na\r\n\r\na", "\r\na"},
      // Bytes decide: case, trailing blanks and tabs count.
      {"abc\r\nABC\r\nabc \r\nabc\r\nabc\t", "abc\r\nABC\r\nabc \r\nabc\t"},
      // Only CR LF separates.
      {"a\nb\na", "a\nb\na"},
      {"a\rb\r\na\rb\r\na", "a\rb\r\na"},
      // A line that is a prefix of another is still its own value.
      {"ab\r\na\r\nab\r\na", "ab\r\na"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DistinctLines(Text(c.in)), Text(c.out)) << testing::PrintToString(c.in);
  }
}

TEST(DistinctLines, ComparesGbkBytesExactly) {
  const Text in = FromUtf8("张三\r\nＡ\r\nA\r\n张三\r\n张三 \r\n李四\r\nＡ");
  EXPECT_EQ(DistinctLines(in), FromUtf8("张三\r\nＡ\r\nA\r\n张三 \r\n李四"));
  // A lead byte never takes the CR of a line end with it: the first line is "\x81".
  EXPECT_EQ(DistinctLines(Text("\x81\r\nx\r\nx\r\n\x81")), Text("\x81\r\nx"));
}

TEST(DistinctLines, OtherSeparators) {
  EXPECT_EQ(DistinctLines(Text("a|b|a||c|"), Text("|")), Text("a|b||c"));
  EXPECT_EQ(DistinctLines(Text("a|a"), Text("")), Text("a|a"));
}

// Duplicate removal spelled out with the primitives and a linear search of the seen lines.
Text DistinctWithPrimitives(const Text& text, const Text& separator) {
  TextArray seen;
  Text result;
  for (const Text& piece : SplitText(text, separator)) {
    if (std::find(seen.begin(), seen.end(), piece) != seen.end()) continue;
    seen.push_back(piece);
    result = ConcatTexts({result, piece, separator});
  }
  return LeftText(result, TextLength(result) - TextLength(separator));
}

TEST(DistinctLines, AgreesWithTheLinearSearchOnAwkwardBytes) {
  const char alphabet[] = {'\r', '\n', '\r', '\n', 'a', 'b', '\x81', '|'};
  const char* const separators[] = {"\r\n", "|", "\n"};
  std::mt19937 random(11);
  for (int n = 0; n < 3000; ++n) {
    std::string bytes(random() % 20, ' ');
    for (char& b : bytes) b = alphabet[random() % sizeof alphabet];
    const Text separator(separators[n % 3]);
    ASSERT_EQ(DistinctLines(Text(bytes), separator), DistinctWithPrimitives(Text(bytes), separator))
        << testing::PrintToString(bytes) << " / " << testing::PrintToString(separator.bytes());
  }
}

TEST(DistinctLines, ManyShortLinesOutgrowTheFirstTable) {
  // Distinct lines far shorter than the table's first guess assumes (a sixteenth of the text),
  // so it grows while the first round is read; every line met again in the second round must
  // be found where the growth put it.
  constexpr int kLines = 100000;
  std::string input, expected;
  for (int round = 0; round < 2; ++round) {
    for (int i = 0; i < kLines; ++i) {
      const std::string line = std::to_string((i * 7919 + round) % kLines);
      input += line + "\r\n";
      if (round == 0) expected += (i == 0 ? "" : "\r\n") + line;
    }
  }
  EXPECT_EQ(DistinctLines(Text(input)), Text(expected));
}

TEST(OnDedupeClicked, WritesOnlyTheResultBox) {
  FakeUnits units(Text("/nonexistent"));
  const Text input = FromUtf8("乙\r\n甲\r\n乙\r\n丙\r\n");
  units.SetEditText(Unit::编辑框2, input);
  units.SetEditText(Unit::编辑框3, Text("old result"));

  for (int press = 0; press < 2; ++press) {
    OnDedupeClicked(units);
    EXPECT_EQ(units.EditText(Unit::编辑框3), FromUtf8("乙\r\n甲\r\n丙"));
    EXPECT_EQ(units.EditText(Unit::编辑框2), input);
    EXPECT_EQ(units.Caption(Unit::标签6), FromUtf8("以下为去重结果：保留 3 行，去掉重复 1 行"));
  }
  EXPECT_TRUE(units.dialogs().messages.empty());
}

TEST(OnDedupeClicked, EmptyInputIsToldAndChangesNothing) {
  FakeUnits units(Text("/nonexistent"));
  units.SetEditText(Unit::编辑框3, Text("old result"));
  OnDedupeClicked(units);
  EXPECT_EQ(units.EditText(Unit::编辑框3), Text("old result"));
  EXPECT_EQ(
      units.dialogs().messages,
      (std::vector<ScriptedDialogs::Message>{{FromUtf8("没有要处理的资料，请先输入或拖入资料"),
                                              message_flags::kIconWarning, FromUtf8("信息：")}}));
}

}  // namespace
}  // namespace lanzhou
