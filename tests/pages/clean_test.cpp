#include "pages/clean.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>
#include <vector>

#include "pages/dedupe.h"
#include "tests/support/fake_units.h"
#include "tests/support/temp_directory.h"
#include "text/encoding.h"
#include "text/lines.h"
#include "text/normalize.h"
#include "text/text_primitives.h"

namespace lanzhou {
namespace {

std::string G(const char* utf8) { return FromUtf8(utf8).bytes(); }

ScriptFold Loaded(const char* config) {
  ScriptFold fold;
  std::string error;
  EXPECT_TRUE(fold.Open(config, error)) << error;
  return fold;
}

// Lines typed by many hands: full- and half-width, blanks, case, both scripts, empty lines.
std::string MixedLines(std::size_t count, unsigned seed) {
  static const char* const kParts[] = {"张三", "張三", "电话", "電話", "１３８", "138",
                                       "Ab",   "ａＢ", "ab",   " ",    "　",     "\t",
                                       "，",   ",",    "发",   "髮",   "發"};
  std::vector<std::string> parts;
  for (const char* part : kParts) parts.push_back(G(part));
  std::mt19937 rng(seed);
  std::string text;
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t n = rng() % 4;
    for (std::size_t k = 0; k < n; ++k) text += parts[rng() % parts.size()];
    text += rng() % 3 == 0 ? "\n" : "\r\n";
  }
  return text;
}

TEST(CleanText, CleansEveryLineAndJoinsThemWithCrLf) {
  const ScriptFold t2s = Loaded("t2s"), s2t = Loaded("s2t");
  struct Case {
    std::string text;
    Cleaning cleaning;
    std::string expected;
  } cases[] = {
      {G("Ａ \r\n\r\nｂ"), {.folds = {.width = true, .trim = true, .drop_empty = true}}, "A\r\nb"},
      {G("Ａ \n\nｂ\n"), {.folds = {.width = true}}, G("A \r\n\r\nb")},
      {"\r\n\r\n", {.folds = {.drop_empty = true}}, ""},
      {"\n", {}, ""},
      {"", {}, ""},
      {G("電話　１\n头发"), {.folds = {.width = true}, .script = &t2s}, G("电话 1\r\n头发")},
      {G("电话\n头发"), {.folds = {}, .script = &s2t}, G("電話\r\n頭髮")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(ToUtf8(c.text));
    EXPECT_EQ(CleanText(c.text, c.cleaning).bytes(), c.expected);
  }
}

// Pieces on many threads (past 4 MB, where threads start) give what the lines cleaned one by
// one give.
TEST(WriteCleanedText, EveryThreadCountGivesTheLineByLineResult) {
  const std::string text = MixedLines(1000000, 3);
  ASSERT_GT(text.size(), 4u << 20);
  const Cleaning cleaning{
      .folds = {.width = true, .trim = true, .squeeze = true, .lower = true, .drop_empty = true}};
  std::string expected;
  std::string_view rest = text, line;
  while (NextLine(rest, line)) {
    const std::string form = NormalizeLine(line, cleaning.folds).bytes();
    if (form.empty()) continue;
    if (!expected.empty()) expected += "\r\n";
    expected += form;
  }
  for (const int threads : {1, 2, 5}) {
    std::string out;
    std::size_t last_done = 0;
    ASSERT_TRUE(WriteCleanedText(
        text, cleaning, threads,
        [&](std::string_view part) {
          out += part;
          return true;
        },
        [&](std::size_t done, std::size_t total) {
          EXPECT_GE(done, last_done);
          EXPECT_EQ(total, text.size());
          last_done = done;
        }));
    EXPECT_EQ(out, expected) << threads;
    EXPECT_EQ(last_done, text.size());
  }
  // Lines longer than a piece are folded a part at a time, cut only between two printable
  // ASCII characters: blanks, full-width forms and "\x81A" (one character) about every cut,
  // a four-byte blank whose last byte is a digit right before one, a line with no place to
  // cut, and one of blanks alone.
  std::string unit = G("Ａb　 c|ＡＢ  \tx中Ｘ|") +
                     "\x81"
                     "Ay " +
                     G("　");
  std::string mixed;
  while (mixed.size() < (9 << 20)) mixed += unit;
  std::string chinese;
  while (chinese.size() < (5 << 20)) chinese += G("中　文");
  std::string blanks;
  while (blanks.size() < (5 << 20)) blanks += G(" 　");
  std::string trap;  // a part's search starts in the NBSP (81 30 84 36) before "y"
  while (trap.size() < (9 << 20)) trap += "\x81\x30\x84\x36yb|";
  const std::string long_lines =
      " " + mixed + "\r\nx\n" + chinese + "\n" + blanks + "\n" + trap + "\n" + mixed;
  for (const Folds& folds :
       {Folds{.width = true, .trim = true, .squeeze = true, .lower = true, .drop_empty = true},
        Folds{.trim = true}, Folds{.squeeze = true, .drop_empty = true},
        Folds{.width = true, .punctuation = true}}) {
    std::string want;
    AppendNormalizedLines(long_lines, folds, want);
    if (want.ends_with("\r\n")) want.resize(want.size() - 2);
    std::string out;
    ASSERT_TRUE(WriteCleanedText(long_lines, {.folds = folds}, 2, [&](std::string_view part) {
      out += part;
      return true;
    }));
    EXPECT_TRUE(out == want) << folds.trim << folds.squeeze << folds.drop_empty;
  }
  // With the script fold too, cut after blanks (the phrases of 头发 and 发展 lie beside every
  // cut); a line that is not all GB18030 is kept as it is.
  const ScriptFold s2t = Loaded("s2t");
  std::string phrases(14, 'x');  // 4 MB into the line falls between 头 and 发
  while (phrases.size() < (17 << 18)) phrases += G("头发 Ａb　 c|发展\t中文  ");
  const std::string script_lines =
      phrases + "\n" + phrases.substr(0, 3 << 20) + "\x81 " + phrases.substr(3 << 20);
  std::string converted;
  s2t.Append(script_lines, converted);
  for (const Folds& folds : {Folds{.width = true, .trim = true, .squeeze = true}}) {
    std::string want;
    AppendNormalizedLines(converted, folds, want);
    if (want.ends_with("\r\n")) want.resize(want.size() - 2);
    std::string out;
    ASSERT_TRUE(WriteCleanedText(script_lines, {.folds = folds, .script = &s2t}, 2,
                                 [&](std::string_view part) {
                                   out += part;
                                   return true;
                                 }));
    EXPECT_TRUE(out == want) << folds.squeeze;
  }
}

// Dedupe by the compared form against a reference: fold each line, keep the first of each.
// The forms of lines no fold changes are kept as views of the text, the others as copies:
// a text of many pieces on two threads mixes both across pieces.
TEST(DistinctLinesIgnoring, KeepsTheFirstOriginalLineOfEachComparedForm) {
  const ScriptFold t2s = Loaded("t2s");
  auto reference = [](const std::string& text, const DedupeIgnore& ignore) {
    std::set<std::string> seen;
    std::string expected;
    bool first = true;
    ForEachMember(text, "\r\n", [&](std::string_view line) {
      std::string form =
          NormalizeLine(ignore.script ? ignore.script->Convert(line) : std::string(line),
                        {.width = ignore.width,
                         .punctuation = ignore.width,
                         .trim = ignore.blanks,
                         .squeeze = ignore.blanks,
                         .lower = ignore.case_})
              .bytes();
      if (seen.insert(form).second) {
        if (!first) expected += "\r\n";
        first = false;
        expected += line;
      }
      return true;
    });
    return expected;
  };
  auto two_threads = [](const std::string& text, const DedupeIgnore& ignore) {
    std::string two;
    WriteDistinctLinesIgnoring(text, ignore, 2,
                               [&](std::string_view part) {
                                 two += part;
                                 return true;
                               },
                               {});
    return two;
  };
  const std::string text = MixedLines(5000, 11);
  const DedupeIgnore ignores[] = {
      {.width = true},
      {.blanks = true},
      {.case_ = true},
      {.script = &t2s},
      {.width = true, .blanks = true, .case_ = true, .script = &t2s},
  };
  for (const DedupeIgnore& ignore : ignores) {
    const std::string expected = reference(text, ignore);
    EXPECT_EQ(DistinctLinesIgnoring(Text(text), ignore).bytes(), expected);
    EXPECT_EQ(two_threads(text, ignore), expected);
  }
  const std::string large = MixedLines(1000000, 12);
  ASSERT_GT(large.size(), 4u << 20);
  const DedupeIgnore all{.width = true, .blanks = true, .case_ = true};
  EXPECT_EQ(two_threads(large, all), reference(large, all));
  // Nothing ignored is the plain dedupe.
  EXPECT_EQ(DistinctLinesIgnoring(Text(text), {}), DistinctLines(Text(text)));
}

TEST(OnCleanClicked, ShowsAndSavesTheCleanedLines) {
  TempDirectory dir;
  FakeUnits units(dir.text());
  units.SetEditText(Unit::清洗_编辑框, FromUtf8("  電話  \r\n\r\nＡＢ"));
  units.SetTicked(Unit::选择框_首尾, true);
  units.SetTicked(Unit::选择框_空行, true);
  units.SetTicked(Unit::单选框_繁转简, true);
  OnCleanClicked(units);
  EXPECT_EQ(units.EditText(Unit::清洗后_编辑框), FromUtf8("电话\r\nＡＢ"));
  EXPECT_EQ(dir.Files(), (std::vector<std::pair<std::string, std::string>>{
                             {"清洗后_2015年3月4日12时30分45秒.txt", G("电话\r\nＡＢ")}}));
  const std::vector<ScriptedDialogs::Message> expected{
      {FromUtf8("处理完毕，已保存在软件所在目录下\n已保存 2 行，去掉空行 1 行\n") + dir.text() +
           FromUtf8("/清洗后_2015年3月4日12时30分45秒.txt"),
       message_flags::kOpenFolder, FromUtf8("信息：")}};
  EXPECT_EQ(units.dialogs().messages, expected);
}

}  // namespace
}  // namespace lanzhou
