// Results replace a file as a whole: a failure of any kind leaves the earlier file as it was
// and no temporary file behind.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

#include <cerrno>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "io/file_writer.h"
#include "io/files.h"
#include "io/system_calls.h"
#include "tests/reliability/hostile_files.h"
#include "text/encoding.h"

namespace lanzhou {
namespace {

using namespace reliability;

const std::string kOld = "the earlier file, whole\r\n";

// Replaces `path` by `parts`; 0 when done, else the errno of the step that failed.
int Replace(const std::string& path, std::initializer_list<std::string_view> parts) {
  OutputFile out(path, OutputFile::Mode::kReplace);
  bool ok = out.Open();
  for (std::string_view part : parts) ok = ok && out.Write(part);
  return ok && out.Commit() ? 0 : out.error();
}

TEST(WriteToFile, ReplacesTheWholeFileAndLeavesNothingElse) {
  TempDirectory dir;
  Spill(dir / "out.txt", std::string(5000, 'o'));
  ASSERT_TRUE(WriteToFile(FromUtf8(dir / "out.txt"),
                          {Bytes(std::string("new ")), Bytes(), Bytes(std::string("text"))}));
  EXPECT_EQ(Slurp(dir / "out.txt"), "new text");
  EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"out.txt"});
}

TEST(WriteToFile, AReaderOfTheOldFileKeepsReadingIt) {
  // Renaming over the file, not truncating it: whoever had it open still sees it whole.
  TempDirectory dir;
  Spill(dir / "out.txt", kOld);
  const int reader = ::open((dir / "out.txt").c_str(), O_RDONLY);
  ASSERT_GE(reader, 0);
  ASSERT_TRUE(WriteToFile(FromUtf8(dir / "out.txt"), {Bytes(std::string("new"))}));
  std::string seen(100, '\0');
  seen.resize(static_cast<std::size_t>(::read(reader, seen.data(), seen.size())));
  ::close(reader);
  EXPECT_EQ(seen, kOld);
  EXPECT_EQ(Slurp(dir / "out.txt"), "new");
}

TEST(WriteToFile, KeepsPermissionsOwnerAndSymbolicLinks) {
  TempDirectory dir;
  Spill(dir / "target.txt", kOld);
  ::chmod((dir / "target.txt").c_str(), 0640);
  fs::create_symlink("target.txt", dir / "link.txt");
  ASSERT_TRUE(WriteToFile(FromUtf8(dir / "link.txt"), {Bytes(std::string("through the link"))}));
  EXPECT_TRUE(fs::is_symlink(dir / "link.txt"));
  EXPECT_EQ(Slurp(dir / "target.txt"), "through the link");
  EXPECT_EQ(StateOf(dir / "target.txt").mode & 07777, 0640u);
  EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"link.txt", "target.txt"}));

  if (::geteuid() == 0) {
    // Root may give the new file the old one's owner, and does.
    ASSERT_EQ(::chown((dir / "target.txt").c_str(), 4321, 4321), 0);
    ASSERT_TRUE(WriteToFile(FromUtf8(dir / "target.txt"), {Bytes(std::string("owned"))}));
    struct stat st {};
    ::stat((dir / "target.txt").c_str(), &st);
    EXPECT_EQ(st.st_uid, 4321u);
    EXPECT_EQ(st.st_gid, 4321u);
  }

  const mode_t mask = ::umask(022);
  ASSERT_TRUE(WriteToFile(FromUtf8(dir / "new.txt"), {}));
  ::umask(mask);
  EXPECT_EQ(StateOf(dir / "new.txt").mode & 07777, 0644u);
  EXPECT_EQ(Slurp(dir / "new.txt"), "");
}

TEST(WriteToFile, DevicesAreWrittenInPlace) {
  EXPECT_EQ(Replace("/dev/null", {"discarded"}), 0);
  EXPECT_EQ(Replace("/dev/full", {"no room"}), ENOSPC);
}

// One way of failing: `prepare` makes the place and returns the path to write, or "" when
// this process cannot build the place (the case is then skipped).
struct Failure {
  const char* name;
  std::function<std::string(const TempDirectory&, std::vector<std::unique_ptr<TmpfsMount>>&)>
      prepare;
  std::vector<int> errors;  // the errno values that describe it
  bool old_file = true;     // whether an earlier file stands at the path
};

TEST(WriteToFile, EveryFailureKeepsTheEarlierFileAndLeavesNoTemporaryFile) {
  const std::string big(256 * 1024, 'n');
  const std::vector<Failure> failures = {
      {"path is a directory",
       [](const TempDirectory& dir, auto&) {
         fs::create_directory(dir / "out.txt");
         Spill(dir / "out.txt/inside", kOld);
         return dir / "out.txt";
       },
       {EISDIR},
       false},
      {"missing directory",
       [](const TempDirectory& dir, auto&) { return dir / "missing/out.txt"; },
       {ENOENT},
       false},
      {"read-only directory",
       [](const TempDirectory& dir, auto& mounts) -> std::string {
         const fs::path where = dir.path() / "ro";
         if (::geteuid() != 0) {
           fs::create_directory(where);
           Spill(where / "out.txt", kOld);
           fs::permissions(where, fs::perms::owner_read | fs::perms::owner_exec);
           return (where / "out.txt").string();
         }
         mounts.push_back(std::make_unique<TmpfsMount>(where, "size=64k"));
         if (!mounts.back()->ok()) return "";
         Spill(where / "out.txt", kOld);
         if (!mounts.back()->SetReadOnly(true)) return "";
         return (where / "out.txt").string();
       },
       {EROFS, EACCES}},
      {"full filesystem",
       [](const TempDirectory& dir, auto& mounts) -> std::string {
         const fs::path where = dir.path() / "full";
         mounts.push_back(std::make_unique<TmpfsMount>(where, "size=64k"));
         if (!mounts.back()->ok()) return "";
         Spill(where / "out.txt", kOld);
         return (where / "out.txt").string();
       },
       {ENOSPC}},
      {"file size limit",
       [](const TempDirectory& dir, auto&) {
         Spill(dir / "out.txt", kOld);
         return dir / "out.txt";
       },
       {EFBIG}},
  };
  for (const Failure& failure : failures) {
    SCOPED_TRACE(failure.name);
    TempDirectory dir;
    std::vector<std::unique_ptr<TmpfsMount>> mounts;
    const std::string path = failure.prepare(dir, mounts);
    if (path.empty()) {
      std::printf("skipped \"%s\": this process may not mount a filesystem\n", failure.name);
      continue;
    }
    const fs::path folder = fs::path(path).parent_path();
    AgeFile(path);
    const FileState before = StateOf(path);
    const std::vector<std::string> names = Names(folder);

    int error = 0;
    {
      std::optional<FileSizeLimit> limit;
      if (std::string(failure.name) == "file size limit") limit.emplace(64 * 1024);
      error = Replace(path, {big, "tail"});
      EXPECT_FALSE(WriteToFile(FromUtf8(path), {Bytes(big)}));
    }
    EXPECT_NE(std::find(failure.errors.begin(), failure.errors.end(), error), failure.errors.end())
        << std::strerror(error);
    EXPECT_EQ(Names(folder), names);
    if (failure.old_file) {
      EXPECT_EQ(StateOf(path), before);
    }
  }
}

}  // namespace
}  // namespace lanzhou

namespace lanzhou {
namespace {

using namespace reliability;

// Appends `parts`; 0 when done, else the errno of the step that failed.
int Append(const std::string& path, std::initializer_list<std::string_view> parts,
           bool* ended_partial_line = nullptr) {
  OutputFile out(path, OutputFile::Mode::kAppend);
  bool ok = out.Open();
  for (std::string_view part : parts) ok = ok && out.Write(part);
  ok = ok && out.Commit();
  if (ended_partial_line) *ended_partial_line = out.ended_partial_line();
  return ok ? 0 : out.error();
}

// A link that leads nowhere a file could be: a loop, or a chain longer than the system
// follows. It is refused and left as it is, never replaced by a file.
TEST(OutputFile, SymbolicLinkLoopsAndTooLongChainsAreRefusedAndLeftAlone) {
  const std::vector<std::pair<const char*, std::function<void(const TempDirectory&)>>> cases = {
      {"two links naming each other",
       [](const TempDirectory& dir) {
         fs::create_symlink("l2", dir / "l1");
         fs::create_symlink("l1", dir / "l2");
       }},
      {"a link naming itself",
       [](const TempDirectory& dir) { fs::create_symlink("l1", dir / "l1"); }},
      {"a chain of 50 links",
       [](const TempDirectory& dir) {
         for (int i = 1; i < 50; ++i) {
           fs::create_symlink("c" + std::to_string(i + 1),
                              i == 1 ? dir / "l1" : dir / ("c" + std::to_string(i)));
         }
         fs::create_symlink("target", dir / "c50");
       }},
  };
  for (const auto& [name, make] : cases) {
    for (const OutputFile::Mode mode : {OutputFile::Mode::kReplace, OutputFile::Mode::kAppend}) {
      SCOPED_TRACE(name);
      TempDirectory dir;
      make(dir);
      const std::vector<std::string> names = Names(dir.path());
      const fs::path link = fs::read_symlink(dir / "l1");
      OutputFile out(dir / "l1", mode);
      EXPECT_FALSE(out.Open() && out.Write("new") && out.Commit());
      EXPECT_EQ(out.error(), ELOOP);
      EXPECT_EQ(Names(dir.path()), names);
      EXPECT_TRUE(fs::is_symlink(dir / "l1"));
      EXPECT_EQ(fs::read_symlink(dir / "l1"), link);
    }
  }
}

// The id of a process that has ended.
pid_t EndedProcess() {
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ::waitpid(child, nullptr, 0);
  return child;
}

TEST(OutputFile, TemporaryFilesOfEndedWritersAreRemovedAndLiveOnesKept) {
  TempDirectory dir;
  const std::string ended = std::to_string(EndedProcess());
  Spill(dir / "out.txt", kOld);
  const std::vector<std::string> kept = {
      ".out.txt.lanzhou-1-abcDE9",             // process 1 runs
      ".out.txt.lanzhou-" + ended + "-abcde",  // not a name we make
      "out.txt.lanzhou-" + ended + "-abcdef",  // not hidden
      ".out.txt.lanzhou-" + ended + "-abcdef.bak",
  };
  for (const std::string& name : kept) Spill(dir / name, "someone's");
  Spill(dir / (".out.txt.lanzhou-" + ended + "-abcdef"), "left by a kill");
  Spill(dir / (".other.txt.lanzhou-" + ended + "-Zz0Zz0"), "left by a kill");
  ASSERT_EQ(Replace(dir / "out.txt", {"new"}), 0);
  std::vector<std::string> expected = kept;
  expected.push_back("out.txt");
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(Names(dir.path()), expected);
}

// Stands for SIGKILL at one system call of the writer: the process ends right there.
int KilledAtRename(const char*, const char*) { return ::raise(SIGKILL); }
ssize_t KilledAtWrite(int, const void*, std::size_t) { return ::raise(SIGKILL); }
int NoUnnamedFiles(const char* path, int flags, mode_t mode) {
  if ((flags & O_TMPFILE) == O_TMPFILE) return errno = EOPNOTSUPP, -1;
  return RealSystemCalls().open(path, flags, mode);
}

// SIGKILL where a replacement has a name: after the unnamed file was named and before the
// rename, or anywhere while a named file is written (no O_TMPFILE). The old file stays, the
// name carries the writer's id, and the next replacement in the folder removes it.
TEST(OutputFile, ANameLeftByAKilledWriterIsRemovedByTheNextReplacement) {
  SystemCalls delayed_rename = RealSystemCalls();
  delayed_rename.rename = KilledAtRename;
  SystemCalls named_write = RealSystemCalls();
  named_write.open = NoUnnamedFiles;
  named_write.write = KilledAtWrite;
  for (const auto& [name, calls] : {std::pair{"killed before the rename", delayed_rename},
                                    std::pair{"killed writing a named file", named_write}}) {
    SCOPED_TRACE(name);
    TempDirectory dir;
    Spill(dir / "out.txt", kOld);
    const pid_t writer = ::fork();
    if (writer == 0) {
      ScopedSystemCalls killed(calls);
      Replace(dir / "out.txt", {"new"});
      ::_exit(0);
    }
    int status = 0;
    ::waitpid(writer, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    const std::vector<std::string> left = Names(dir.path());
    ASSERT_EQ(left.size(), 2u);
    EXPECT_TRUE(left[0].starts_with(".out.txt.lanzhou-" + std::to_string(writer) + "-")) << left[0];
    EXPECT_EQ(Slurp(dir / "out.txt"), kOld);
    ASSERT_EQ(Replace(dir / "out.txt", {"newer"}), 0);
    EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"out.txt"});
    EXPECT_EQ(Slurp(dir / "out.txt"), "newer");
  }
}

ssize_t FailingWrite(int, const void*, std::size_t) { return errno = ENOSPC, -1; }

TEST(NumberedName, GoesBeforeTheExtensionOfTheLastName) {
  const struct {
    std::string_view path;
    int n;
    std::string_view expected;
  } kCases[] = {
      {"/d/分割后_2015年3月4日12时30分45秒.txt", 2, "/d/分割后_2015年3月4日12时30分45秒_2.txt"},
      {"/d/a.txt", 1, "/d/a.txt"},
      {"/d/a.b.txt", 12, "/d/a.b_12.txt"},
      {"/d.x/result", 3, "/d.x/result_3"},
      {"/d/.hidden", 2, "/d/.hidden_2"},
      {"plain", 2, "plain_2"},
  };
  for (const auto& c : kCases) EXPECT_EQ(NumberedName(c.path, c.n), c.expected) << c.path;
}

// Two writers that finish at once with the same name both keep their result, whether the new
// file is unnamed until its commit or named from the start; a file already there stays.
TEST(OutputFile, ACreatedFileNeverReplacesOneAndTakesTheNextFreeName) {
  SystemCalls named = RealSystemCalls();
  named.open = NoUnnamedFiles;
  for (const auto& [how, calls] :
       {std::pair{"unnamed", RealSystemCalls()}, std::pair{"named", named}}) {
    SCOPED_TRACE(how);
    ScopedSystemCalls in_use(calls);
    TempDirectory dir;
    Spill(dir / "r.txt", kOld);
    Spill(dir / "r_3.txt", kOld);
    OutputFile first(dir / "r.txt", OutputFile::Mode::kCreate);
    OutputFile second(dir / "r.txt", OutputFile::Mode::kCreate);
    ASSERT_TRUE(first.Open() && second.Open());
    ASSERT_TRUE(first.Write("first") && second.Write("second"));
    ASSERT_TRUE(second.Commit() && first.Commit());
    EXPECT_EQ(second.committed_number(), 2);
    EXPECT_EQ(first.committed_number(), 4);
    EXPECT_EQ(Names(dir.path()),
              (std::vector<std::string>{"r.txt", "r_2.txt", "r_3.txt", "r_4.txt"}));
    EXPECT_EQ(Slurp(dir / "r.txt"), kOld);
    EXPECT_EQ(Slurp(dir / "r_2.txt"), "second");
    EXPECT_EQ(Slurp(dir / "r_3.txt"), kOld);
    EXPECT_EQ(Slurp(dir / "r_4.txt"), "first");
    ASSERT_EQ(WriteToNewFile(FromUtf8(dir / "new.txt"), {Bytes(std::string("x"))}),
              FromUtf8(dir / "new.txt"));
  }
}

// An append finds the file as a killed writer left it: ours start on a line of their own, and
// a failure takes back our line end too.
TEST(OutputFile, AnAppendStartsOnANewLineAfterHalfALine) {
  struct Case {
    std::string before;
    std::string after;
    bool partial;
  };
  const Case cases[] = {
      {"", "ours\r\n", false},
      {"whole\r\n", "whole\r\nours\r\n", false},
      {"whole\n", "whole\nours\r\n", false},
      {"whole\r\nhal", "whole\r\nhal\r\nours\r\n", true},
      {"whole\r\nhalf\r", "whole\r\nhalf\r\r\nours\r\n", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.before);
    TempDirectory dir;
    if (!c.before.empty()) Spill(dir / "m.txt", c.before);
    bool partial = false;
    ASSERT_EQ(Append(dir / "m.txt", {"ours\r\n"}, &partial), 0);
    EXPECT_EQ(Slurp(dir / "m.txt"), c.after);
    EXPECT_EQ(partial, c.partial);
    if (c.before.empty()) continue;
    Spill(dir / "m.txt", c.before);
    SystemCalls full = RealSystemCalls();
    full.write = FailingWrite;
    {
      ScopedSystemCalls faults(full);
      EXPECT_EQ(Append(dir / "m.txt", {"ours\r\n"}), ENOSPC);
    }
    EXPECT_EQ(Slurp(dir / "m.txt"), c.before);
  }
}

// What another program does to the appended file's name at our first write.
std::function<void()> meanwhile;
ssize_t WriteAfterMeanwhile(int fd, const void* data, std::size_t size) {
  if (meanwhile) std::exchange(meanwhile, nullptr)();
  return RealSystemCalls().write(fd, data, size);
}

// The name no longer leads to the file we appended to: the merge fails rather than report
// lines that are not there, and takes them back from the file it appended to.
TEST(OutputFile, AnAppendWhoseFileLosesItsNameMeanwhileFails) {
  struct Case {
    const char* name;
    std::function<void(const TempDirectory&)> act;
    std::string at_name;  // what the name holds after
  };
  const Case cases[] = {
      {"replaced by a rename",
       [](const TempDirectory& dir) {
         Spill(dir / "other.txt", "replacement\r\n");
         fs::rename(dir / "other.txt", dir / "m.txt");
       },
       "replacement\r\n"},
      {"removed", [](const TempDirectory& dir) { fs::remove(dir / "m.txt"); }, ""},
      {"renamed away",
       [](const TempDirectory& dir) { fs::rename(dir / "m.txt", dir / "moved.txt"); }, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDirectory dir;
    Spill(dir / "m.txt", kOld);
    SystemCalls calls = RealSystemCalls();
    calls.write = WriteAfterMeanwhile;
    meanwhile = [&] { c.act(dir); };
    OutputFile out(dir / "m.txt", OutputFile::Mode::kAppend);
    {
      ScopedSystemCalls faults(calls);
      EXPECT_FALSE(out.Open() && out.Write("ours\r\n") && out.Commit());
    }
    EXPECT_EQ(out.problem(), OutputFile::Problem::kNameMoved);
    EXPECT_EQ(fs::exists(dir / "m.txt") ? Slurp(dir / "m.txt") : "", c.at_name);
    if (fs::exists(dir / "moved.txt")) {
      EXPECT_EQ(Slurp(dir / "moved.txt"), kOld);
    }
  }
}

// What the faked close of a commit does after the real one: another file of the program takes
// the freed number, and SIGTERM arrives.
std::string reusing_file;
int CloseThenReuseAndTerminate(int fd) {
  const int closed = ::close(fd);
  const int other = ::open(reusing_file.c_str(), O_RDWR);
  if (other >= 0 && other != fd) {
    ::dup2(other, fd);
    ::close(other);
  }
  ::raise(SIGTERM);
  return closed;
}
ssize_t WriteThenTerminate(int fd, const void* data, std::size_t size) {
  const ssize_t n = RealSystemCalls().write(fd, data, size);
  ::raise(SIGTERM);
  return n;
}

// SIGTERM at the end of an append, in a program of its own: a kill before the last byte is in
// takes the lines back; one during the commit of a program that holds the signals waits for
// its exit (the lines stay, and the program says so); and the cut-back of a kill never lands
// on the file that took the closed descriptor's number.
TEST(OutputFile, ASignalAtTheEndOfAnAppendLeavesItWholeOrNone) {
  struct Case {
    const char* name;
    bool hold;
    SystemCalls calls;
    int exit_status;  // -1: ended by SIGTERM
    std::string after;
  };
  SystemCalls at_write = RealSystemCalls(), at_close = RealSystemCalls();
  at_write.write = WriteThenTerminate;
  at_close.close = CloseThenReuseAndTerminate;
  const Case cases[] = {
      {"kill while writing", true, at_write, -1, kOld},
      {"kill after the close, signals not held", false, at_close, -1, kOld + "ours\r\n"},
      {"kill after the close, signals held", true, at_close, 0, kOld + "ours\r\n"},
  };
  const std::string other_bytes = "the file that took the number, much longer than the other\n";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDirectory dir;
    Spill(dir / "m.txt", kOld);
    Spill(dir / "other.txt", other_bytes);
    reusing_file = dir / "other.txt";
    const pid_t child = ::fork();
    if (child == 0) {
      OutputFile out(dir / "m.txt", OutputFile::Mode::kAppend);
      out.set_hold_signals_on_commit(c.hold);
      bool ok = out.Open();
      ScopedSystemCalls faults(c.calls);
      ok = ok && out.Write("ours\r\n") && out.Commit();
      ::_exit(ok ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    const bool terminated = WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM;
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : terminated ? -1 : -2, c.exit_status);
    EXPECT_EQ(Slurp(dir / "m.txt"), c.after);
    EXPECT_EQ(Slurp(dir / "other.txt"), other_bytes);
  }
}

// In a sticky folder that everyone may write, a link is followed only when it is ours or the
// folder owner's; another user's is refused, named with its owner, and nothing is written,
// to an append as to a replacement, wherever in a chain it stands.
TEST(OutputFile, ALinkOfAnotherUserInASharedStickyFolderIsNotFollowed) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to make links of another user";
  constexpr uid_t kOther = 4321;
  struct Case {
    const char* name;
    mode_t folder_mode;
    uid_t folder_owner;
    uid_t link_owner;
    bool chained;  // out.txt is our link to the link in the folder
    bool followed;
  };
  const Case cases[] = {
      {"another user's link", 01777, 0, kOther, false, false},
      {"another user's link behind ours", 01777, 0, kOther, true, false},
      {"our own link", 01777, kOther, 0, false, true},
      {"the folder owner's link", 01777, kOther, kOther, false, true},
      {"a folder that is not sticky", 0777, 0, kOther, false, true},
      {"a sticky folder only its owner writes", 01755, 0, kOther, false, true},
  };
  for (const OutputFile::Mode mode : {OutputFile::Mode::kReplace, OutputFile::Mode::kAppend}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.name) + (mode == OutputFile::Mode::kAppend ? ", append" : ""));
      TempDirectory dir;
      Spill(dir / "target.txt", kOld);
      const fs::path shared = dir / "shared";
      fs::create_directory(shared);
      ASSERT_EQ(::chmod(shared.c_str(), c.folder_mode), 0);
      ASSERT_EQ(::chown(shared.c_str(), c.folder_owner, c.folder_owner), 0);
      fs::create_symlink(dir / "target.txt", shared / "report.txt");
      ASSERT_EQ(::lchown((shared / "report.txt").c_str(), c.link_owner, c.link_owner), 0);
      fs::path path = shared / "report.txt";
      if (c.chained) {
        fs::create_symlink(path, dir / "out.txt");
        path = dir / "out.txt";
      }
      OutputFile out(path, mode);
      const bool done = out.Open() && out.Write("ours\r\n") && out.Commit();
      EXPECT_EQ(done, c.followed);
      if (c.followed) {
        EXPECT_EQ(Slurp(dir / "target.txt"),
                  mode == OutputFile::Mode::kAppend ? kOld + "ours\r\n" : "ours\r\n");
        continue;
      }
      EXPECT_EQ(out.error(), EACCES);
      EXPECT_EQ(out.problem(), OutputFile::Problem::kLinkOfAnother);
      EXPECT_EQ(out.refused_link(), (shared / "report.txt").string());
      EXPECT_EQ(out.refused_link_owner(), kOther);
      EXPECT_EQ(Slurp(dir / "target.txt"), kOld);
      EXPECT_TRUE(fs::is_symlink(shared / "report.txt"));
      EXPECT_EQ(Names(shared), std::vector<std::string>{"report.txt"});
    }
  }
}

}  // namespace
}  // namespace lanzhou
