#include "ui/save_folder.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "io/system_calls.h"
#include "tests/support/scripted_dialogs.h"
#include "tests/support/temp_directory.h"
#include "tests/support/utf8_text.h"
#include "text/encoding.h"

namespace lanzhou {
namespace {

bool Writable(const Text&) { return true; }
bool ReadOnly(const Text&) { return false; }

// An installed layout below `dir`: usr/bin beside usr/share/applications/<the menu entry>.
Text InstalledBin(const TempDirectory& dir) {
  const std::filesystem::path share = dir.path() / "usr/share/applications";
  std::filesystem::create_directories(share);
  std::filesystem::create_directories(dir.path() / "usr/bin");
  std::ofstream(share / (std::string(kDesktopEntryId) + ".desktop")) << "[Desktop Entry]\n";
  return dir.text() + Text("/usr/bin");
}

TEST(RunOrUserFolder, KeepsOnlyAWritableDirectoryOfItsOwnElseTheUserFolderMadeOnFirstUse) {
  struct Case {
    const char* name;
    bool installed;  // run from usr/bin of an installed layout, else from a build tree
    RunOrUserFolder::DirectoryCheck writable;
    const char* user_folder;  // below the temporary directory
    bool run_directory_chosen;
    bool user_folder_exists_after;
  } cases[] = {
      {"a writable build tree is kept", false, Writable, "Documents/岚舟", true, false},
      {"a read-only one gives the user folder, parents made", false, ReadOnly, "Documents/岚舟",
       false, true},
      {"an installed program run by root writes nothing beside itself", true, Writable,
       "Documents/岚舟", false, true},
      {"nor run by a user", true, ReadOnly, "Documents/岚舟", false, true},
      {"an existing user folder is used as it is", false, ReadOnly, "existing", false, true},
      {"a user folder that cannot be made is still named", false, ReadOnly, "file/岚舟", false,
       false},
  };
  for (const Case& c : cases) {
    TempDirectory dir;
    dir.Write("file", "");
    std::filesystem::create_directory(dir.path() / "existing");
    std::filesystem::create_directory(dir.path() / "build");
    const Text run = c.installed ? InstalledBin(dir) : dir.text() + Text("/build");
    const Text user = dir.text() + Text("/") + U(c.user_folder);
    RunOrUserFolder folders(run, user, c.writable);

    const SaveFolder chosen = folders.Choose();

    const SaveFolder expected =
        c.run_directory_chosen ? SaveFolder{run, true} : SaveFolder{user, false};
    EXPECT_EQ(chosen, expected) << c.name;
    EXPECT_EQ(std::filesystem::is_directory(ToUtf8(user)), c.user_folder_exists_after) << c.name;
  }
}

TEST(IsInstallationDirectory, SystemFoldersAndInstalledLayoutsAtAnyPrefix) {
  TempDirectory dir;
  const Text installed = InstalledBin(dir);
  std::filesystem::create_directories(dir.path() / "portable/bin");
  std::filesystem::create_directory_symlink("/usr/bin", dir.path() / "link");
  const std::pair<Text, bool> cases[] = {
      {Text("/usr/bin"), true},
      {Text("/usr/local/bin"), true},
      {Text("/bin"), true},
      {Text("/opt/lanzhou"), true},
      {Text("/"), true},
      {Text(""), true},
      {installed, true},
      {dir.text() + Text("/link"), true},  // a link into /usr
      {Text("/binary"), false},
      {dir.text(), false},
      {dir.text() + Text("/portable/bin"), false},  // a bin/ with no menu entry beside it
  };
  for (const auto& [directory, expected] : cases) {
    EXPECT_EQ(IsInstallationDirectory(directory), expected) << directory.view();
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

// The checks and the making of the user folder go through the system-call table, so that a
// failing call reaches the window's saves as it reaches the file code's.
TEST(RunOrUserFolder, FailingSystemCallsGiveTheUserFolderUnmade) {
  const struct {
    const char* name;
    SystemCalls calls;
  } cases[] = {
      {"stat",
       [] {
         SystemCalls calls = RealSystemCalls();
         calls.stat = [](const char*, struct stat*) { return errno = EIO, -1; };
         return calls;
       }()},
      {"faccessat",
       [] {
         SystemCalls calls = RealSystemCalls();
         calls.faccessat = [](int, const char*, int, int) { return errno = EACCES, -1; };
         return calls;
       }()},
  };
  for (const auto& c : cases) {
    TempDirectory dir;
    const Text user = dir.text() + Text("/Documents/x");
    SystemCalls calls = c.calls;
    calls.mkdir = [](const char*, mode_t) { return errno = EROFS, -1; };
    ScopedSystemCalls faults(calls);
    EXPECT_FALSE(IsWritableDirectory(dir.text())) << c.name;
    EXPECT_EQ(RunOrUserFolder(dir.text(), user).Choose(), (SaveFolder{user, false})) << c.name;
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "Documents")) << c.name;
  }
}

TEST(ShowSaved, NamesTheFileAndItsCountsAndOpensTheFolderOnRequest) {
  struct Case {
    SaveFolder folder;
    const char* in_run_directory;
    const char* counts;
    int answer;
    const char* shown;
  } cases[] = {
      {{Text("/home/a/app"), true},
       "导出数据成功！！！",
       "已保存 9,812 行",
       0,
       "导出数据成功！！！\n已保存 9,812 行\n/home/a/app/r.txt"},
      {{Text("/home/a/app"), true},
       "处理OK！",
       "",
       message_result::kOpenFolder,
       "处理OK！\n/home/a/app/r.txt"},
      {{U("/home/a/文档/岚舟"), false},
       "导出数据成功！！！",
       "找到 2,031 项",
       0,
       "处理完毕，已保存在 /home/a/文档/岚舟\n找到 2,031 项\n/home/a/文档/岚舟/r.txt"},
      {{U("/home/a/文档/岚舟"), false},
       "",
       "",
       message_result::kOpenFolder,
       "处理完毕，已保存在 /home/a/文档/岚舟\n/home/a/文档/岚舟/r.txt"},
  };
  for (const Case& c : cases) {
    ScriptedDialogs dialogs;
    dialogs.QueueMessageAnswer(c.answer);
    ShowSaved(dialogs, c.folder, U(c.in_run_directory), U(c.counts),
              c.folder.path + Text("/r.txt"));
    const std::vector<ScriptedDialogs::Message> expected = {
        {U(c.shown), message_flags::kOpenFolder, U("信息：")}};
    EXPECT_EQ(dialogs.messages, expected) << c.shown;
    EXPECT_EQ(dialogs.opened_urls, c.answer == message_result::kOpenFolder
                                       ? std::vector<Text>{c.folder.path}
                                       : std::vector<Text>{})
        << c.shown;
  }
}

}  // namespace
}  // namespace lanzhou
