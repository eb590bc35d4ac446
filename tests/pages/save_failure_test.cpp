// A page whose result cannot be saved says so, naming the file and why, and leaves no half file:
// no temporary file, an earlier file of the same name unchanged, and 合并数据.txt as it was
// before the merge.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "pages/extract.h"
#include "pages/merge.h"
#include "pages/reorder.h"
#include "pages/wrap.h"
#include "tests/reliability/hostile_files.h"
#include "tests/support/fake_units.h"
#include "tests/support/utf8_text.h"
#include "text/clock.h"
#include "text/encoding.h"

namespace lanzhou {
namespace {

using namespace reliability;

// A page that saves, with enough data to overflow the small filesystems below. `done` checks
// what the page still changed in the window although its file could not be saved.
struct SavingPage {
  const char* name;
  const char* prefix;  // the output file name without the time, or the whole merge file name
  bool appends;
  std::function<void(FakeUnits&)> run;
  std::function<void(FakeUnits&)> done = [](FakeUnits&) {};
};

std::vector<SavingPage> SavingPages() {
  std::string records, converted;
  for (int i = 0; i < 3000; ++i) {
    records += "field" + std::to_string(i) + "----second\r\n";
    converted += "field" + std::to_string(i) + "|second\r\n";
  }
  return {
      {"extract", "分割后_", false,
       [records](FakeUnits& units) {
         units.SetEditText(Unit::编辑框4, Text(records));
         units.SetEditText(Unit::列1, Text("1|2"));
         OnExtractClicked(units);
       },
       [converted](FakeUnits& units) {
         EXPECT_EQ(units.EditText(Unit::编辑框4), Text(converted));
       }},
      {"wrap", "折行后_", false,
       [records](FakeUnits& units) {
         units.SetEditText(Unit::被折行_编辑框, Text(records));
         units.SetEditText(Unit::字数_编辑框, Text("10"));
         OnWrapClicked(units);
       },
       [records](FakeUnits& units) {
         EXPECT_EQ(units.EditText(Unit::替换后_编辑框),
                   WrapText(CleanForWrap(Text(records), false), 10));
       }},
      {"export", "处理后_", false,
       [converted](FakeUnits& units) {
         LoadDelimitedBytes(converted, Text("|"), units.Grid(Unit::超级列表框1));
         units.SetEditText(Unit::编辑框_列, Text("2,1"));
         units.dialogs().QueueText(Text("|"));
         OnExportClicked(units);
       }},
      {"merge", "合并数据.txt", true,
       [](FakeUnits& units) {
         for (Unit grid : {Unit::超级列表框A, Unit::超级列表框b}) {
           GridData& g = units.Grid(grid);
           g.InsertColumn(-1, Text("id"), 40);
           g.InsertColumn(-1, Text("line"), 240);
           for (int i = 0; i < 3000; ++i)
             g.AppendRow({Text("n"), Text("line" + std::to_string(i))});
         }
         OnMergeClicked(units);
       }},
  };
}

// One way the save fails. `prepare` returns the run directory to use, or nullopt when this
// process cannot build the place (then the case is skipped). `old_content` is put at the
// output path first where the place allows a file there.
struct Place {
  const char* name;
  std::function<std::optional<fs::path>(const TempDirectory&, const std::string& output_name,
                                        std::vector<std::unique_ptr<TmpfsMount>>&)>
      prepare;
  bool earlier_file;
  std::optional<rlim_t> size_limit;
  const char* why;  // as the message gives it; for root where it differs, `why_as_root`
  const char* why_as_root = nullptr;
  bool appends_only = false;  // a new file takes the next free name instead
};

const std::string kEarlier = "earlier\r\n";

std::vector<Place> Places() {
  return {
      {"the output name is a directory",
       [](const TempDirectory& dir, const std::string& output, auto&) -> std::optional<fs::path> {
         fs::create_directory(dir.path() / output);
         return dir.path();
       },
       false, std::nullopt, "同名的文件夹已存在", nullptr, true},
      {"the run directory is gone",
       [](const TempDirectory& dir, const std::string&, auto&) -> std::optional<fs::path> {
         return dir.path() / "gone";
       },
       false, std::nullopt, "文件夹不存在"},
      {"the run directory refuses writing",
       [](const TempDirectory& dir, const std::string& output,
          auto& mounts) -> std::optional<fs::path> {
         const fs::path where = dir.path() / "ro";
         if (::geteuid() != 0) {
           fs::create_directory(where);
           Spill(where / output, kEarlier);
           fs::permissions(where, fs::perms::owner_read | fs::perms::owner_exec);
           ::chmod((where / output).c_str(), 0444);
           return where;
         }
         mounts.push_back(std::make_unique<TmpfsMount>(where, "size=64k"));
         if (!mounts.back()->ok()) return std::nullopt;
         Spill(where / output, kEarlier);
         if (!mounts.back()->SetReadOnly(true)) return std::nullopt;
         return where;
       },
       true, std::nullopt, "没有写入权限", "磁盘为只读"},
      {"the filesystem is full",
       [](const TempDirectory& dir, const std::string& output,
          auto& mounts) -> std::optional<fs::path> {
         const fs::path where = dir.path() / "full";
         mounts.push_back(std::make_unique<TmpfsMount>(where, "size=16k"));
         if (!mounts.back()->ok()) return std::nullopt;
         Spill(where / output, kEarlier);
         return where;
       },
       true, std::nullopt, "磁盘空间已满"},
      {"a write fails half way (file size limit)",
       [](const TempDirectory& dir, const std::string& output, auto&) -> std::optional<fs::path> {
         Spill(dir.path() / output, kEarlier);
         return dir.path();
       },
       true, rlim_t{16 * 1024}, "文件超过大小上限"},
      // A new file takes the next free name beside the link; an append refuses to follow it.
      {"the output name is another user's link in a shared sticky folder",
       [](const TempDirectory& dir, const std::string& output, auto&) -> std::optional<fs::path> {
         if (::geteuid() != 0) return std::nullopt;  // only root makes links of another user
         const fs::path where = dir.path() / "shared";
         fs::create_directory(where);
         fs::permissions(where, fs::perms::all | fs::perms::sticky_bit);
         Spill(dir.path() / "target.txt", kEarlier);
         fs::create_symlink(dir.path() / "target.txt", where / output);
         if (::lchown((where / output).c_str(), 4321, 4321) != 0) return std::nullopt;
         return where;
       },
       true, std::nullopt, "没有写入权限", nullptr, true},
  };
}

TEST(SaveFailure, IsReportedAndLeavesNoHalfFile) {
  for (const SavingPage& page : SavingPages()) {
    for (const Place& place : Places()) {
      if (place.appends_only && !page.appends) continue;
      SCOPED_TRACE(std::string(page.name) + ": " + place.name);
      TempDirectory dir;
      const Text time = TimeToText(FakeUnits(Text()).clock().Now());
      const std::string output = page.appends ? page.prefix : page.prefix + ToUtf8(time) + ".txt";
      std::vector<std::unique_ptr<TmpfsMount>> mounts;
      const std::optional<fs::path> run_directory = place.prepare(dir, output, mounts);
      if (!run_directory) {
        std::printf("skipped \"%s\": this process cannot build the place\n", place.name);
        continue;
      }
      const fs::path path = *run_directory / output;
      AgeFile(path);
      const FileState before = StateOf(path);
      const bool was_directory = fs::is_directory(path);
      const std::vector<std::string> names = Names(*run_directory);

      FakeUnits units(Text(run_directory->string()));
      {
        std::optional<FileSizeLimit> limit;
        if (place.size_limit) limit.emplace(*place.size_limit);
        page.run(units);
      }

      ASSERT_EQ(units.dialogs().messages.size(), 1u);
      EXPECT_EQ(units.dialogs().messages[0],
                (ScriptedDialogs::Message{
                    U("保存失败：") + FromUtf8(path.string()) + U("（") +
                        U(::geteuid() == 0 && place.why_as_root ? place.why_as_root : place.why) +
                        U("）"),
                    message_flags::kIconError, U("信息：")}));
      page.done(units);
      EXPECT_EQ(Names(*run_directory), names) << "a file was left behind";
      EXPECT_EQ(fs::is_directory(path), was_directory);
      if (!place.earlier_file) continue;
      // A replaced file is untouched; an append is taken back whole.
      if (page.appends) {
        EXPECT_EQ(Slurp(path), kEarlier);
      } else {
        EXPECT_EQ(StateOf(path), before);
      }
    }
  }
}

// A save the user cancels, at its first step, during or at the end of the work, leaves no
// file, an earlier one as it was, the page's boxes as they were, and says 已取消.
TEST(SaveCancelled, LeavesNoFileAndChangesNothing) {
  for (const SavingPage& page : SavingPages()) {
    for (const int step : {1, 2, 3}) {
      SCOPED_TRACE(std::string(page.name) + " " + std::to_string(step));
      TempDirectory dir;
      const Text time = TimeToText(FakeUnits(Text()).clock().Now());
      const std::string output = page.appends ? page.prefix : page.prefix + ToUtf8(time) + ".txt";
      Spill(dir.path() / output, kEarlier);
      FakeUnits units(Text(dir.path().string()));
      units.cancel_at_step = step;
      page.run(units);
      EXPECT_EQ(Names(dir.path()), std::vector<std::string>{output});
      EXPECT_EQ(Slurp(dir.path() / output), kEarlier);
      // The merge says it in its status label, the other pages in a message.
      const std::vector<ScriptedDialogs::Message> said =
          page.appends ? std::vector<ScriptedDialogs::Message>{}
                       : std::vector<ScriptedDialogs::Message>{
                             {U("已取消"), message_flags::kIconInformation, U("信息：")}};
      EXPECT_EQ(units.dialogs().messages, said);
      EXPECT_EQ(units.EditText(Unit::替换后_编辑框), Text());
      EXPECT_EQ(units.EditText(Unit::编辑框4).view().find('|'), std::string_view::npos);
    }
  }
}

}  // namespace
}  // namespace lanzhou
