// Every page handler leaves the files it reads exactly as they were: content, modification
// time and permissions. The inputs lie in the run directory itself, where results are written.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>
#include <string>
#include <vector>

#include "pages/dedupe.h"
#include "pages/extract.h"
#include "pages/merge.h"
#include "pages/reorder.h"
#include "pages/wrap.h"
#include "tests/reliability/hostile_files.h"
#include "tests/support/fake_units.h"
#include "tests/support/utf8_text.h"
#include "text/encoding.h"

namespace lanzhou {
namespace {

using namespace reliability;

struct Scenario {
  const char* name;
  // Runs the handlers on `inputs` (paths as the window hands them over).
  std::function<void(FakeUnits&, const std::vector<Text>& inputs)> run;
};

TEST(PageHandlers, LeaveTheirInputFilesUntouched) {
  const std::vector<Scenario> scenarios = {
      {"import through the file dialog",
       [](FakeUnits& units, const std::vector<Text>& inputs) {
         for (const Text& path : inputs) {
           units.dialogs().QueueText(Text("|"));
           units.dialogs().QueueFile(path);
           OnImportClicked(units);
         }
         EXPECT_EQ(units.Grid(Unit::超级列表框1).ItemCount(), 7);
       }},
      {"import by dropping all files at once, export, clear",
       [](FakeUnits& units, const std::vector<Text>& inputs) {
         Text dropped;
         for (const Text& path : inputs) dropped += path + Text("\r\n");
         units.dialogs().QueueText(Text("|"));
         OnImportDropped(units, dropped);
         units.SetEditText(Unit::编辑框_列, Text("2,1"));
         units.dialogs().QueueText(Text(","));
         OnExportClicked(units);
         OnClearClicked(units);
       }},
      {"merge lists dropped on A and B, both modes",
       [](FakeUnits& units, const std::vector<Text>& inputs) {
         for (std::size_t i = 0; i < inputs.size(); ++i) {
           units.dialogs().QueueMessageAnswer(message_result::kNo);  // keep earlier rows
           OnListADropped(units, inputs[i]);
           units.dialogs().QueueMessageAnswer(message_result::kNo);
           OnListBDropped(units, inputs[inputs.size() - 1 - i]);
         }
         OnMergeClicked(units);
         units.SetTicked(Unit::选择框1, true);
         units.SetEditText(Unit::编辑框1, U("共用"));
         OnMergeClicked(units);
         EXPECT_EQ(units.Caption(Unit::标签2), U("处理OK！"));
       }},
      {"text pages saving beside the inputs",
       [](FakeUnits& units, const std::vector<Text>&) {
         units.SetEditText(Unit::编辑框4, U("a----b----c\r\n甲|乙"));
         units.SetEditText(Unit::列1, Text("2"));
         OnExtractClicked(units);
         units.SetEditText(Unit::被折行_编辑框, U("我们说“好”。\r\nab cdefghij"));
         units.SetEditText(Unit::字数_编辑框, Text("6"));
         OnWrapClicked(units);
         units.SetEditText(Unit::编辑框2, Text("a\r\nb\r\na"));
         OnDedupeClicked(units);
         EXPECT_EQ(units.dialogs().messages.size(), 2u);
       }},
  };
  const std::vector<std::pair<std::string, std::string>> files = {
      {"gbk.txt", U("甲|乙|丙\r\n丁|戊\r\n").bytes()},
      {"utf8.txt",
       "\xEF\xBB\xBF"
       "甲|乙\n丙|丁\n"},
      {"stops.txt",
       "a|b\r\nc\x1A"
       "d|e\r\n\x1A tail"},
      {"readonly.txt", "x|y\r\n"},
      {"empty.txt", ""},
  };

  for (const Scenario& scenario : scenarios) {
    SCOPED_TRACE(scenario.name);
    TempDirectory dir;
    std::vector<Text> inputs;
    for (const auto& [name, bytes] : files) {
      Spill(dir / name, bytes);
      inputs.push_back(Text(dir / name));
    }
    ::chmod((dir / "readonly.txt").c_str(), 0444);
    // An earlier result with another time in its name must survive too.
    const std::string earlier = "分割后_2015年1月1日.txt";
    Spill(dir / earlier, "earlier result");
    std::vector<FileState> before;
    for (const auto& [name, bytes] : files) {
      AgeFile(dir / name);
      before.push_back(StateOf(dir / name));
    }
    AgeFile(dir / earlier);
    const FileState earlier_before = StateOf(dir / earlier);

    ImportDelimiter() = Text();
    FakeUnits units(Text(dir.path().string()));
    units.Grid(Unit::超级列表框A).InsertColumn(-1, Text("id"), 40);
    units.Grid(Unit::超级列表框A).InsertColumn(-1, U("邮箱账号"), 240);
    units.Grid(Unit::超级列表框b).InsertColumn(-1, Text("id"), 40);
    units.Grid(Unit::超级列表框b).InsertColumn(-1, U("姓名"), 240);
    scenario.run(units, inputs);
    ImportDelimiter() = Text();

    for (std::size_t i = 0; i < files.size(); ++i) {
      EXPECT_EQ(StateOf(dir / files[i].first), before[i]) << files[i].first;
    }
    EXPECT_EQ(StateOf(dir / earlier), earlier_before);
    for (const std::string& name : Names(dir.path())) {
      EXPECT_NE(name[0], '.') << "a temporary file was left: " << name;
    }
    for (const ScriptedDialogs::Message& message : units.dialogs().messages) {
      EXPECT_FALSE(message.text.view().starts_with(U("保存失败：").view())) << ToUtf8(message.text);
      EXPECT_FALSE(message.text.view().starts_with(U("无法打开文件：").view()))
          << ToUtf8(message.text);
    }
  }
}

}  // namespace
}  // namespace lanzhou
