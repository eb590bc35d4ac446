#include "pages/extract.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "tests/support/fake_units.h"
#include "tests/support/temp_directory.h"
#include "tests/support/utf8_text.h"
#include "text/encoding.h"
#include "text/text_primitives.h"

namespace lanzhou {
namespace {

const char kSavedFile[] = "分割后_2015年3月4日12时30分45秒.txt";

TEST(ConvertDashSeparators, ScansLeftToRightWithoutRescanning) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {"a----b----c", "a|b|c"},
      {"-----", "|-"},
      {"--------", "||"},
      {"---", "---"},
      {"a---|b", "a---|b"},
      {"", ""},
      {"|----|", "|||"},
      // A dash that is the second byte of a character never starts a separator.
      {"\x81-----", "\x81-|"},
  };
  for (const Case& c : cases) {
    const Text once = ConvertDashSeparators(Text(c.in));
    EXPECT_EQ(once, Text(c.out)) << c.in;
    EXPECT_EQ(ConvertDashSeparators(once), once) << c.in;
  }
}

TEST(ExtractFields, SelectsNumberedFieldsOfEveryRecord) {
  struct Case {
    Text records, numbers, out;
  } cases[] = {
      {Text("a----b----c"), Text("2"), Text("b")},
      {Text("x|y|z"), Text("3|1"), Text("z|x")},
      {Text("x|y|z"), Text("1|1"), Text("x|x")},
      {Text("a|b\r\nc|d\r\ne|f"), Text("2"), Text("b\r\nd\r\nf")},
      {U("张三----13800001234----北京"), Text("3|1"), U("北京|张三")},
      // Five dashes: "|" and one dash.
      {Text("a-----b"), Text("2"), Text("-b")},
      // Empty fields keep their place; a trailing "|" adds no field.
      {Text("|b|"), Text("1|2"), Text("|b")},
      {Text("|b|"), Text("3"), Text("")},
      {Text("a||c"), Text("3|2|1"), Text("c||a")},
      // A "|" that is the second byte of a GBK character separates nothing.
      {Text("\x81|a|b"), Text("1"), Text("\x81|a")},
      {Text("\x81|a|b"), Text("2"), Text("b")},
      // Lines end only at CR LF.
      {Text("a|b\nc|d"), Text("2"), Text("b\nc")},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ExtractFields(c.records, c.numbers), c.out)
        << c.records.bytes() << " / " << c.numbers.bytes();
  }
}

TEST(ExtractFields, OneOutputLinePerRecord) {
  struct Case {
    const char* records;
    const char* numbers;
    const char* out;
  } cases[] = {
      {"", "1", ""},
      {"\r\n", "1", ""},
      {"x|y", "5", ""},
      {"x|y\r\nq\r\nr|s|t", "2|3", "y\r\n\r\ns|t"},
      {"x|y\r\n\r\nq", "2", "y\r\n\r\n"},
      // A trailing line end adds no record; two in a row make an empty one.
      {"a|b\r\nc|d\r\n", "2", "b\r\nd"},
      {"a|b\r\n\r\nc|d\r\n", "1", "a\r\n\r\nc"},
      {"\r\n\r\na", "1", "\r\n\r\na"},
      // No field numbers: every record gives an empty line.
      {"a\r\nb\r\nc", "", "\r\n\r\n"},
      {"a|b", "", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ExtractFields(Text(c.records), Text(c.numbers)), Text(c.out))
        << c.records << " / " << c.numbers;
  }
}

TEST(ExtractFields, ReadsTheFieldListAsTheNumberRuleDoes) {
  const Text records("a|b|c|d\r\nx");
  struct Case {
    Text numbers, out;
  } cases[] = {
      {U("２"), Text("b\r\n")},
      {U("　3"), Text("c\r\n")},
      {U("１|４"), Text("a|d\r\nx")},
      {U("3、1"), Text("c|a\r\nx")},
      {Text("3;1 2"), Text("c|a|b\r\nx")},
      {Text("||2||"), Text("b\r\n")},
      {U("１２"), Text("\r\n")},
      // Beyond int is beyond the last field, never wrapped to field 1 or 3.
      {Text("4294967297|4294967299|2"), Text("b\r\n")},
      // A refused list names no field.
      {Text("2x|3"), Text("\r\n")},
      {Text("+4"), Text("\r\n")},
      {Text("0|2"), Text("\r\n")},
      {Text(""), Text("\r\n")},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ExtractFields(records, c.numbers), c.out) << ToUtf8(c.numbers);
  }
}

TEST(ExtractFields, CountsLinesLackingAFieldAndFieldsNoLineHas) {
  struct Case {
    const char* records;
    const char* numbers;
    ExtractCounts counts;
    std::vector<int> no_line_has;
    bool shifted;
  } cases[] = {
      {"a|b|c\r\nx|y", "3|1", {2, 1, 3}, {}, true},
      {"a|b|c\r\nx|y", "3|3", {2, 1, 3}, {}, false},
      {"a|b|c\r\nx|y", "9|1|9", {2, 2, 3}, {9}, true},
      {"a|b|c\r\nx|y", "2", {2, 0, 2}, {}, false},
      {"a|b|c|d|e\r\nx", "2|3", {2, 1, 3}, {}, true},
      // An empty line has no field; a trailing CR LF adds no line; "----" separates.
      {"a|b\r\n\r\nc----d\r\n", "2|1", {3, 1, 2}, {}, true},
      {"a|b|", "3", {1, 1, 2}, {3}, false},
      {"", "1|2", {0, 0, 0}, {}, false},
  };
  for (const Case& c : cases) {
    ExtractCounts counts;
    WriteExtractedFields(
        c.records, Text(c.numbers), 1, [](std::string_view) { return true; }, {}, {}, &counts);
    EXPECT_EQ(counts.lines, c.counts.lines) << c.records << " / " << c.numbers;
    EXPECT_EQ(counts.lacking, c.counts.lacking) << c.records << " / " << c.numbers;
    EXPECT_EQ(counts.most_fields, c.counts.most_fields) << c.records << " / " << c.numbers;
    EXPECT_EQ(FieldsNoLineHas(Text(c.numbers), counts), c.no_line_has) << c.numbers;
    EXPECT_EQ(ShiftsFieldsLeft(Text(c.numbers), counts), c.shifted) << c.numbers;
  }
}

// The extraction spelled out with the primitives: convert, split records, split fields.
Text ExtractWithPrimitives(const Text& records, const Text& field_numbers) {
  const std::vector<int> numbers = ReadNumberList(field_numbers).value_or(std::vector<int>());
  Text out;
  for (const Text& record : SplitText(ConvertDashSeparators(records), Text("\r\n"))) {
    const TextArray fields = SplitText(record, Text("|"));
    Text row;
    for (const int k : numbers) {
      if (k > static_cast<int>(fields.size())) continue;
      row = ConcatTexts({row, fields[k - 1], Text("|")});
    }
    out = ConcatTexts({out, LeftText(row, TextLength(row) - 1), Text("\r\n")});
  }
  return LeftText(out, TextLength(out) - 2);
}

TEST(ExtractFields, AgreesWithThePrimitivesOnAwkwardBytes) {
  // Dashes, bars, lone CR and LF, and lead bytes that swallow whatever follows them.
  const char alphabet[] = {'-', '-', '-', '|', '|', '\r', '\n', 'a', '\x81', '\xD5'};
  const char* const numbers[] = {"1", "2", "3|1", "0|2", "", "2|2|4", "4;2"};
  std::mt19937 random(7);
  for (int n = 0; n < 3000; ++n) {
    std::string bytes(random() % 24, ' ');
    for (char& b : bytes) b = alphabet[random() % sizeof alphabet];
    const Text records(bytes);
    const Text field_numbers(numbers[n % std::size(numbers)]);
    ASSERT_EQ(ExtractFields(records, field_numbers), ExtractWithPrimitives(records, field_numbers))
        << testing::PrintToString(bytes) << " / " << field_numbers.bytes();
  }
  // Many records made of dashes of every run length beside bars and dates: a record whose
  // last asked field ends early is skipped to its end, and the separators found beyond it
  // stay found for the records after.
  const char* const tokens[] = {"a", "-", "---", "----", "-----", "|", "2023-12-05", "\r\n"};
  for (int n = 0; n < 1500; ++n) {
    std::string bytes;
    for (int t = static_cast<int>(random() % 40); t > 0; --t) bytes += tokens[random() % 8];
    const Text records(bytes);
    const Text field_numbers(numbers[n % std::size(numbers)]);
    ASSERT_EQ(ExtractFields(records, field_numbers), ExtractWithPrimitives(records, field_numbers))
        << testing::PrintToString(bytes) << " / " << field_numbers.bytes();
  }
  // Records packed with separators, only some of whose fields are kept.
  const Text packed(std::string(200000, '|') + "z|y\r\n" + std::string(9000, '-') + "q\r\n|");
  for (const char* n : {"1", "200001|1", "2|200002", "3000000"}) {
    EXPECT_EQ(ExtractFields(packed, Text(n)), ExtractWithPrimitives(packed, Text(n))) << n;
  }
  // A record longer than the piece it ends, whose end is not searched for: the CR LF before
  // it begins just before, at and just after a megabyte into the piece.
  for (const std::size_t first : {(1u << 20) - 2, (1u << 20) - 1, 1u << 20}) {
    std::string bytes(first, 'x');
    for (std::size_t i = 1; i + 4 < first; i += 97) bytes.replace(i, 4, i % 3 ? "|b\r\n" : "----");
    const Text records(bytes + "\r\n1|" + std::string(3 << 19, 'y') + "|2----3\r\nz|w\r\n");
    for (const char* n : {"1", "4|3"}) {
      ASSERT_EQ(ExtractFields(records, Text(n)), ExtractWithPrimitives(records, Text(n)))
          << first << " / " << n;
    }
  }
}

TEST(OnExtractClicked, ConvertsTheBoxSavesTheFieldsAndSaysWhatHappened) {
  struct Case {
    std::string box, numbers;
    std::optional<std::string> saved;  // none: no file
    std::string box_after, message;
    int flags;
  } cases[] = {
      {"张三----138----北京\r\n李四|139\r\nx-----y\r\n", "2", "138\r\n139\r\n-y",
       "张三|138|北京\r\n李四|139\r\nx|-y\r\n", "已保存 3 行", 0},
      // Fields moved left are counted when more than one field was asked for.
      {"a|b|c\r\nx|y\r\nq", "3、1", "c|a\r\nx\r\nq", "a|b|c\r\nx|y\r\nq",
       "已保存 3 行\n2 行缺少所选的项，这些行的其余项已左移", 0},
      {"a|b|c\r\nq", "3|3", "c|c\r\n", "a|b|c\r\nq", "已保存 2 行", 0},
      {"a|b|c\r\nx", "9|2|9", "b\r\n", "a|b|c\r\nx",
       "已保存 2 行\n没有一行有第9项\n2 行缺少所选的项，这些行的其余项已左移", 0},
      // No line has any field asked for: nothing saved, the box unchanged.
      {"a----b|c\r\nd", "9", std::nullopt, "a----b|c\r\nd", "没有一行有第9项，未保存",
       message_flags::kIconWarning},
      {"a|b", "4 9", std::nullopt, "a|b", "没有一行有第4、9项，未保存",
       message_flags::kIconWarning},
      {"", "1", std::nullopt, "", "没有要处理的资料，请先输入或拖入资料",
       message_flags::kIconWarning},
      // A list that is not wholly numbers from 1 is refused before anything changes.
      {"a|b", "2,x", std::nullopt, "a|b", "请输入要提取的项，如 3|1", message_flags::kIconWarning},
      {"a|b", "1.5", std::nullopt, "a|b", "请输入要提取的项，如 3|1", message_flags::kIconWarning},
      {"a|b", "0", std::nullopt, "a|b", "请输入要提取的项，如 3|1", message_flags::kIconWarning},
      {"a|b", " ，", std::nullopt, "a|b", "请输入要提取的项，如 3|1", message_flags::kIconWarning},
  };
  for (const Case& c : cases) {
    TempDirectory dir;
    FakeUnits units(dir.text());
    units.SetEditText(Unit::编辑框4, U(c.box));
    units.SetEditText(Unit::列1, U(c.numbers));

    OnExtractClicked(units);

    EXPECT_EQ(units.EditText(Unit::编辑框4), U(c.box_after)) << c.box << " / " << c.numbers;
    if (c.saved) {
      ASSERT_EQ(dir.Files().size(), 1u) << c.box << " / " << c.numbers;
      EXPECT_EQ(dir.Files()[0].first, kSavedFile);
      EXPECT_EQ(dir.Files()[0].second, FromUtf8(*c.saved).bytes()) << c.box << " / " << c.numbers;
    } else {
      EXPECT_TRUE(dir.Files().empty()) << c.box << " / " << c.numbers;
    }
    const Text message = c.flags == 0 ? U("处理完毕，已保存在软件所在目录下\n") + U(c.message) +
                                            Text("\n") + dir.text() + Text("/") + U(kSavedFile)
                                      : U(c.message);
    const std::vector<ScriptedDialogs::Message> expected{
        {message, c.flags == 0 ? message_flags::kOpenFolder : c.flags, U("信息：")}};
    EXPECT_EQ(units.dialogs().messages, expected) << c.box << " / " << c.numbers;
  }
}

TEST(OnExtractClicked, EmptyInputIsToldAndWritesNothing) {
  TempDirectory dir;
  FakeUnits units(dir.text());
  units.SetEditText(Unit::编辑框4, Text("\r\n"));
  units.SetEditText(Unit::列1, Text("1"));

  OnExtractClicked(units);

  EXPECT_TRUE(dir.Files().empty());
  EXPECT_EQ(units.dialogs().messages,
            (std::vector<ScriptedDialogs::Message>{{U("没有要处理的资料，请先输入或拖入资料"),
                                                    message_flags::kIconWarning, U("信息：")}}));
}

TEST(OnExtractClicked, SecondPressInTheSameSecondKeepsBothResults) {
  TempDirectory dir;
  FakeUnits units(dir.text());
  units.SetEditText(Unit::编辑框4, Text("a|b"));
  units.SetEditText(Unit::列1, Text("2"));
  OnExtractClicked(units);
  units.SetEditText(Unit::列1, Text("1"));
  OnExtractClicked(units);

  const std::string second = "分割后_2015年3月4日12时30分45秒_2.txt";
  EXPECT_EQ(dir.Files(),
            (std::vector<std::pair<std::string, std::string>>{{kSavedFile, "b"}, {second, "a"}}));
  EXPECT_EQ(units.dialogs().messages.size(), 2u);
}

}  // namespace
}  // namespace lanzhou
