// Every page that names its result by the time keeps every result, and tells what it saved,
// how much, and where; a page with nothing to do says so and saves nothing.
#include "pages/save_result.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "pages/clean.h"
#include "pages/dedupe.h"
#include "pages/extract.h"
#include "pages/find.h"
#include "pages/merge.h"
#include "pages/reorder.h"
#include "pages/wrap.h"
#include "tests/support/fake_units.h"
#include "tests/support/temp_directory.h"
#include "tests/support/utf8_text.h"
#include "text/clock.h"
#include "text/encoding.h"

namespace lanzhou {
namespace {

using Message = ScriptedDialogs::Message;

TEST(CountedText, GroupsTheThousands) {
  const std::pair<std::uint64_t, const char*> kCases[] = {
      {0, "已保存 0 行"},        {999, "已保存 999 行"},        {1000, "已保存 1,000 行"},
      {9812, "已保存 9,812 行"}, {123456, "已保存 123,456 行"}, {1234567, "已保存 1,234,567 行"},
  };
  for (const auto& [count, text] : kCases) {
    EXPECT_EQ(CountedText("已保存 ", count, " 行"), U(text)) << count;
  }
}

// A page run with `input` in its box (or grid), saving a file named `prefix` and the time.
struct TimedPage {
  const char* prefix;
  std::function<void(FakeUnits&, const std::string& input)> run;
  const char* first_line;  // the page's own success message
  std::function<std::string(const std::string& input)> counts;
};

std::vector<TimedPage> TimedPages() {
  const char* done = "处理完毕，已保存在软件所在目录下";
  return {
      {"折行后_",
       [](FakeUnits& units, const std::string& input) {
         units.SetEditText(Unit::被折行_编辑框, Text(input));
         units.SetEditText(Unit::字数_编辑框, Text("3"));
         OnWrapClicked(units);
       },
       done, [](const std::string&) { return "已保存 2 行"; }},
      {"清洗后_",
       [](FakeUnits& units, const std::string& input) {
         units.SetEditText(Unit::清洗_编辑框, Text(input + "\r\n\r\nx"));
         units.SetTicked(Unit::选择框_空行, true);
         OnCleanClicked(units);
       },
       done, [](const std::string&) { return "已保存 2 行，去掉空行 1 行"; }},
      {"提取后_",
       [](FakeUnits& units, const std::string& input) {
         units.SetEditText(Unit::编辑框_提取资料, Text(input + "@qq.com"));
         units.SetTicked(Unit::选择框_邮箱, true);
         OnFindClicked(units);
       },
       done, [](const std::string&) { return "找到 1 项"; }},
      {"过滤后_",
       [](FakeUnits& units, const std::string& input) {
         units.SetEditText(Unit::编辑框_提取资料, Text(input + " keep\r\nkeep\r\ndrop"));
         units.SetEditText(Unit::编辑框_关键词, Text("keep"));
         OnKeepClicked(units);
       },
       done, [](const std::string&) { return "保留 2 行，去掉 1 行"; }},
      {"处理后_",
       [](FakeUnits& units, const std::string& input) {
         GridData& grid = units.Grid(Unit::超级列表框1);
         grid = GridData();
         LoadDelimitedBytes(input + "|b", Text("|"), grid);
         units.SetEditText(Unit::编辑框_列, Text("2,1"));
         units.dialogs().QueueText(Text("|"));
         OnExportClicked(units);
       },
       "导出数据成功！！！", [](const std::string&) { return "已保存 1 行"; }},
      {"分割后_",
       [](FakeUnits& units, const std::string& input) {
         units.SetEditText(Unit::编辑框4, Text(input + "----x"));
         units.SetEditText(Unit::列1, Text("1"));
         OnExtractClicked(units);
       },
       done, [](const std::string&) { return "已保存 1 行"; }},
  };
}

// Two saves in the same second (the clock stands still) keep both results: the second takes
// the name with "_2", and each message names its own file.
TEST(SaveResultFile, TwoSavesInOneSecondKeepBothResults) {
  const std::string time = ToUtf8(TimeToText(FakeUnits(Text()).clock().Now()));
  for (const TimedPage& page : TimedPages()) {
    SCOPED_TRACE(page.prefix);
    TempDirectory dir;
    FakeUnits units(dir.text());
    page.run(units, "first");
    page.run(units, "second");
    const std::string first = std::string(page.prefix) + time + ".txt";
    const std::string second = std::string(page.prefix) + time + "_2.txt";
    const auto files = dir.Files();
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0].first, first);
    EXPECT_EQ(files[1].first, second);
    EXPECT_NE(files[0].second.find("fir"), std::string::npos) << files[0].second;
    EXPECT_NE(files[1].second.find("sec"), std::string::npos) << files[1].second;
    std::vector<Message> expected;
    for (const std::string& name : {first, second}) {
      const std::string counts = page.counts ? page.counts(name) + "\n" : "";
      expected.push_back({U(std::string(page.first_line) + "\n" + counts + (dir / name)),
                          message_flags::kOpenFolder, U("信息：")});
    }
    EXPECT_EQ(units.dialogs().messages, expected);
  }
}

// What each page says when there is nothing for it to do; no file is written then.
TEST(ReportNothingDone, IsToldPlainlyAndWritesNothing) {
  const char* kEmpty = "没有要处理的资料，请先输入或拖入资料";
  const struct {
    const char* name;
    std::function<void(FakeUnits&)> run;
    const char* said;
  } kCases[] = {
      {"wrap, empty input",
       [](FakeUnits& units) {
         units.SetEditText(Unit::被折行_编辑框, Text("\r\n \r\n"));
         units.SetEditText(Unit::字数_编辑框, Text("3"));
         OnWrapClicked(units);
       },
       kEmpty},
      {"clean, empty input",
       [](FakeUnits& units) {
         units.SetTicked(Unit::选择框_首尾, true);
         OnCleanClicked(units);
       },
       kEmpty},
      {"clean, nothing ticked",
       [](FakeUnits& units) {
         units.SetEditText(Unit::清洗_编辑框, Text("a"));
         units.SetTicked(Unit::单选框_不转换, true);
         OnCleanClicked(units);
       },
       "请至少勾选一项清洗方式"},
      {"find, empty input",
       [](FakeUnits& units) {
         units.SetTicked(Unit::选择框_邮箱, true);
         OnFindClicked(units);
       },
       kEmpty},
      {"find, no match",
       [](FakeUnits& units) {
         units.SetEditText(Unit::编辑框_提取资料, Text("no address here"));
         units.SetTicked(Unit::选择框_邮箱, true);
         OnFindClicked(units);
       },
       "没有找到要提取的信息，未保存文件"},
      {"keep, no line with a keyword",
       [](FakeUnits& units) {
         units.SetEditText(Unit::编辑框_提取资料, Text("a\r\nb"));
         units.SetEditText(Unit::编辑框_关键词, Text("z"));
         OnKeepClicked(units);
       },
       "没有含关键词的行，未保存文件"},
      {"drop, no line with a keyword",
       [](FakeUnits& units) {
         units.SetEditText(Unit::编辑框_提取资料, Text("a\r\nb"));
         units.SetEditText(Unit::编辑框_关键词, Text("z"));
         OnDropClicked(units);
       },
       "没有含关键词的行，未保存文件"},
      {"dedupe, empty input", [](FakeUnits& units) { OnDedupeClicked(units); }, kEmpty},
      {"export, empty grid",
       [](FakeUnits& units) {
         units.SetEditText(Unit::编辑框_列, Text("1"));
         OnExportClicked(units);
       },
       "请先导入资料！"},
      {"merge, shared datum empty",
       [](FakeUnits& units) {
         GridData& a = units.Grid(Unit::超级列表框A);
         a.InsertColumn(-1, Text("n"), 40);
         a.InsertColumn(-1, Text("line"), 240);
         a.AppendRow({Text("1"), Text("a@qq.com")});
         units.SetTicked(Unit::选择框1, true);
         OnMergeClicked(units);
       },
       "共用数据为空，请先填写共用数据"},
  };
  for (const auto& c : kCases) {
    TempDirectory dir;
    FakeUnits units(dir.text());
    c.run(units);
    EXPECT_TRUE(dir.Files().empty()) << c.name;
    EXPECT_EQ(units.dialogs().messages,
              (std::vector<Message>{{U(c.said), message_flags::kIconWarning, U("信息：")}}))
        << c.name;
    EXPECT_NE(units.Caption(Unit::标签2), U("处理OK！")) << c.name;
  }
}

}  // namespace
}  // namespace lanzhou
