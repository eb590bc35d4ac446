#include "ui/save_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "text/encoding.h"
#include "tests/support/scripted_dialogs.h"
#include "tests/temp_directory.h"

namespace lanzhou {
namespace {

Text U(const char* utf8) { return FromUtf8(utf8); }

bool Writable(const Text&) { return true; }
bool ReadOnly(const Text&) { return false; }

TEST(RunOrUserFolder, FallsBackToTheUserFolderMadeOnFirstUse) {
  struct Case {
    const char* name;
    RunOrUserFolder::WritableCheck check;
    const char* user_folder;  // below the temporary directory
    bool run_directory_chosen;
    bool user_folder_exists_after;
  } cases[] = {
      {"a writable run directory is kept", Writable, "Documents/岚舟", true, false},
      {"a read-only one gives the user folder, parents made", ReadOnly, "Documents/岚舟", false,
       true},
      {"an existing user folder is used as it is", ReadOnly, "existing", false, true},
      {"a user folder that cannot be made is still named", ReadOnly, "file/岚舟", false, false},
  };
  for (const Case& c : cases) {
    TempDirectory dir;
    dir.Write("file", "");
    std::filesystem::create_directory(dir.path() / "existing");
    const Text run = dir.text() + Text("/run");
    const Text user = dir.text() + Text("/") + U(c.user_folder);
    RunOrUserFolder folders(run, user, c.check);

    const SaveFolder chosen = folders.Choose();

    const SaveFolder expected =
        c.run_directory_chosen ? SaveFolder{run, true} : SaveFolder{user, false};
    EXPECT_EQ(chosen, expected) << c.name;
    EXPECT_EQ(std::filesystem::is_directory(ToUtf8(user)), c.user_folder_exists_after) << c.name;
  }
}

TEST(IsWritableDirectory, OnlyAnExistingDirectoryThisProcessMayWrite) {
  TempDirectory dir;
  const Text file = dir.Write("file", "x");
  EXPECT_TRUE(IsWritableDirectory(dir.text()));
  EXPECT_FALSE(IsWritableDirectory(file));
  EXPECT_FALSE(IsWritableDirectory(dir.text() + Text("/missing")));
  EXPECT_FALSE(IsWritableDirectory(Text()));
}

TEST(ShowSaved, NamesTheFolderOnlyWhenItIsNotTheRunDirectory) {
  struct Case {
    SaveFolder folder;
    const char* in_run_directory;
    std::vector<const char*> shown;
  } cases[] = {
      {{Text("/opt/app"), true}, "导出数据成功！！！", {"导出数据成功！！！"}},
      {{Text("/opt/app"), true}, "", {}},
      {{U("/home/a/文档/岚舟"), false},
       "导出数据成功！！！",
       {"处理完毕，已保存在 /home/a/文档/岚舟"}},
      {{U("/home/a/文档/岚舟"), false}, "", {"处理完毕，已保存在 /home/a/文档/岚舟"}},
  };
  for (const Case& c : cases) {
    ScriptedDialogs dialogs;
    ShowSaved(dialogs, c.folder, U(c.in_run_directory));
    std::vector<ScriptedDialogs::Message> expected;
    for (const char* text : c.shown) expected.push_back({U(text), 0, U("信息：")});
    EXPECT_EQ(dialogs.messages, expected) << c.in_run_directory;
  }
}

}  // namespace
}  // namespace lanzhou
