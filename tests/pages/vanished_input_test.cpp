// A file that disappears between the drop (or the file dialog) and the read, or that announces
// UTF-8 and is not, is named in "无法打开文件：…"; the grid keeps what it had.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "pages/merge.h"
#include "pages/reorder.h"
#include "tests/reliability/hostile_files.h"
#include "tests/support/fake_units.h"
#include "text/encoding.h"

namespace lanzhou {
namespace {

using namespace reliability;

struct Handing {
  const char* name;
  // Hands `path` to the page the way the window would.
  std::function<void(FakeUnits&, const Text& path)> hand;
};

TEST(VanishedInput, IsNamedInAMessageAndLoadsNothing) {
  const std::vector<Handing> handings = {
      {"dropped on the reorder grid",
       [](FakeUnits& units, const Text& path) {
         units.dialogs().QueueText(Text("|"));
         OnImportDropped(units, path);
       }},
      {"dropped as a list (path and CR LF)",
       [](FakeUnits& units, const Text& path) {
         units.dialogs().QueueText(Text("|"));
         OnImportDropped(units, path + Text("\r\n"));
       }},
      {"picked in the file dialog",
       [](FakeUnits& units, const Text& path) {
         units.dialogs().QueueText(Text("|"));
         units.dialogs().QueueFile(path);
         OnImportClicked(units);
       }},
  };
  // The file is gone, or announces UTF-8 with a byte-order mark and then is not UTF-8.
  const std::vector<std::pair<bool, std::string>> kinds = {{true, ""},
                                                           {false, "（第 6 字节起不是 UTF-8）"}};
  for (const Handing& handing : handings) {
    for (const auto& [vanished, reason] : kinds) {
      SCOPED_TRACE(std::string(handing.name) + (vanished ? ", vanished" : ", bad UTF-8"));
      TempDirectory dir;
      ImportDelimiter() = Text();
      FakeUnits units(Text(dir.path().string()));
      LoadDelimitedBytes("kept|row", Text("|"), units.Grid(Unit::超级列表框1));
      // The name is valid and was listed a moment ago; now it is gone.
      const std::string name = "列表.txt";
      Spill(dir / name,
            "\xEF\xBB\xBF"
            "a|b\xE4\r\n");
      if (vanished) fs::remove(dir / name);

      const Text path = FromUtf8(dir / name);
      handing.hand(units, path);
      ImportDelimiter() = Text();

      ASSERT_EQ(units.dialogs().messages.size(), 1u);
      EXPECT_EQ(units.dialogs().messages[0],
                (ScriptedDialogs::Message{FromUtf8("无法打开文件：") + path + FromUtf8(reason),
                                          message_flags::kIconError, FromUtf8("信息：")}));
      EXPECT_EQ(units.Grid(Unit::超级列表框1).ItemCount(), 1);
      EXPECT_EQ(units.Caption(Unit::标签_行数), FromUtf8("当前列表共: 1 行"));
    }
  }
}

TEST(VanishedInput, DroppedOnAMergeListIsNamedAndTheOtherFilesStillLoad) {
  for (const Unit grid : {Unit::超级列表框A, Unit::超级列表框b}) {
    TempDirectory dir;
    FakeUnits units(Text(dir.path().string()));
    units.Grid(grid).InsertColumn(-1, Text("id"), 40);
    units.Grid(grid).InsertColumn(-1, Text("text"), 240);
    Spill(dir / "gone.txt", "x\r\n");
    fs::remove(dir / "gone.txt");
    Spill(dir / "kept.txt", "a\r\nb\r\n");
    const Text gone = FromUtf8(dir / "gone.txt");
    const Text kept = FromUtf8(dir / "kept.txt");

    const Text paths = gone + Text("\r\n") + kept + Text("\r\n");
    if (grid == Unit::超级列表框A) {
      OnListADropped(units, paths);
    } else {
      OnListBDropped(units, paths);
    }

    ASSERT_EQ(units.dialogs().messages.size(), 1u);
    EXPECT_EQ(units.dialogs().messages[0],
              (ScriptedDialogs::Message{FromUtf8("无法打开文件：") + gone,
                                        message_flags::kIconError, FromUtf8("信息：")}));
    const GridData& rows = units.Grid(grid);
    ASSERT_EQ(rows.ItemCount(), 2);
    EXPECT_EQ(rows.GetCellText(0, 1), Text("a"));
    EXPECT_EQ(rows.GetCellText(1, 1), Text("b"));
  }
}

}  // namespace
}  // namespace lanzhou
