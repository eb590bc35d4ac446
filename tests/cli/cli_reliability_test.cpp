// lanzhou-cli never changes its input files; on a real full or read-only filesystem an -o
// result is refused whole; concurrent merges, inputs that change or never end, outputs that
// name descriptors or files of other users, and kills leave nobody's data lost or taken.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/cli/cli_runner.h"
#include "tests/reliability/hostile_files.h"
#include "tests/support/sanitizers.h"

namespace lanzhou::cli_test {
namespace {

using reliability::AgeFile;
using reliability::FileState;
using reliability::StateOf;
using reliability::TmpfsMount;

// Replaces every '@' in `arg` by `dir`.
std::string At(std::string arg, const std::string& dir) {
  for (std::size_t at = arg.find('@'); at != std::string::npos; at = arg.find('@', at)) {
    arg.replace(at, 1, dir);
    at += dir.size();
  }
  return arg;
}

// Writes `block` into the named pipe `path` `times` times, or until no one reads it.
void FeedPipe(const std::string& path, const std::string& block, std::size_t times) {
  const int fd = open(path.c_str(), O_WRONLY);
  for (std::size_t i = 0; fd >= 0 && i < times; ++i) {
    std::string_view rest = block;
    while (!rest.empty()) {
      const ssize_t n = write(fd, rest.data(), rest.size());
      if (n <= 0) {
        close(fd);
        return;
      }
      rest.remove_prefix(static_cast<std::size_t>(n));
    }
  }
  if (fd >= 0) close(fd);
}

// What `run` returns, run with $TMPDIR set to `dir` (the child programs it starts inherit it).
template <typename Run>
auto WithTemporaryDirectory(const std::string& dir, Run run) {
  const char* saved = getenv("TMPDIR");
  const std::optional<std::string> kept = saved ? std::optional<std::string>(saved) : std::nullopt;
  setenv("TMPDIR", dir.c_str(), 1);
  auto result = run();
  if (kept) {
    setenv("TMPDIR", kept->c_str(), 1);
  } else {
    unsetenv("TMPDIR");
  }
  return result;
}

TEST(CliInputs, EveryCommandLeavesItsInputFilesUntouched) {
  const std::vector<std::vector<std::string>> commands = {
      {"extract", "-f", "2|1", "@/a.txt"},
      {"dedupe", "@/a.txt"},
      {"wrap", "-w", "5", "-p", "@/a.txt"},
      {"reorder", "-d", "|", "-c", "2,1", "@/a.txt", "@/b.txt"},
      {"merge", "@/a.txt", "@/b.txt"},
      {"merge", "--datum", "d", "@/b.txt"},
  };
  const std::string a = "x|1\r\n\xBC\xD7|\xD2\xD2\r\nx|1\r\n";  // GBK
  const std::string b =
      "\xEF\xBB\xBF"
      "\xE4\xB8\x99|q\ny|z\n";  // UTF-8 with a mark
  for (const auto& command : commands) {
    for (const bool to_file : {false, true}) {
      SCOPED_TRACE(command[0] + (to_file ? " -o" : " to standard output"));
      TempDirectory dir;
      const std::string root = dir.path().string();
      dir.WriteForCli("a.txt", a);
      dir.WriteForCli("b.txt", b);
      chmod((dir / "b.txt").c_str(), 0444);
      std::vector<FileState> before;
      for (const char* name : {"a.txt", "b.txt"}) {
        AgeFile((dir / name));
        before.push_back(StateOf((dir / name)));
      }
      CliCall call;
      for (const std::string& arg : command) call.args.push_back(At(arg, root));
      if (to_file) {
        call.args.push_back("-o");
        call.args.push_back((dir / "out.txt"));
      }
      const CliResult cli = RunCli(call);
      EXPECT_EQ(cli.status, 0) << cli.err;
      EXPECT_EQ(StateOf((dir / "a.txt")), before[0]);
      EXPECT_EQ(StateOf((dir / "b.txt")), before[1]);
      EXPECT_EQ(Listing(dir.path()), to_file
                                         ? (std::vector<std::string>{"a.txt", "b.txt", "out.txt"})
                                         : (std::vector<std::string>{"a.txt", "b.txt"}));
    }
  }
}

TEST(CliOutput, FullAndReadOnlyFilesystemsRefuseTheResultWhole) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs a small tmpfs, which only root may mount";
  std::string many;
  for (int i = 0; i < 4000; ++i) many += "line" + std::to_string(i) + "\r\n";
  struct Case {
    const char* name;
    std::string options;  // tmpfs options
    bool read_only;
    const char* reason;
  };
  const std::vector<Case> cases = {
      {"full", "size=16k", false, "No space left on device"},
      {"read-only", "size=64k", true, "Read-only file system"},
  };
  for (const Case& c : cases) {
    for (const char* command : {"dedupe", "merge"}) {
      SCOPED_TRACE(std::string(c.name) + " " + command);
      TempDirectory dir;
      const std::string in = dir.WriteForCli("in.txt", many);
      TmpfsMount mount(dir.path() / "mnt", c.options);
      if (!mount.ok()) GTEST_SKIP() << "this process may not mount a filesystem";
      const std::string out = (dir.path() / "mnt" / "out.txt").string();
      reliability::Spill(out, "earlier\r\n");
      if (c.read_only) {
        ASSERT_TRUE(mount.SetReadOnly(true));
      }

      CliCall call;
      if (std::string(command) == "merge") {
        call.args = {"merge", in, "--datum", "d", "-o", out};
      } else {
        call.args = {"dedupe", in, "-o", out};
      }
      const CliResult cli = RunCli(call);
      EXPECT_EQ(cli.status, 2);
      EXPECT_EQ(cli.err, "lanzhou-cli: " + std::string(command) + ": cannot write '" + out +
                             "': " + c.reason + "\n");
      EXPECT_EQ(ReadFile(out), "earlier\r\n");
      EXPECT_EQ(Listing(dir.path() / "mnt"), std::vector<std::string>{"out.txt"});
    }
  }
}

}  // namespace
}  // namespace lanzhou::cli_test

namespace lanzhou::cli_test {
namespace {

using namespace std::chrono_literals;

std::string ManyLines(int count) {
  std::string lines;
  for (int i = 0; i < count; ++i) lines += "line" + std::to_string(i) + "\r\n";
  return lines;
}

// Polls `done` for up to 20 seconds.
template <typename Done>
bool WaitUntil(Done done) {
  for (int i = 0; i < 20000; ++i) {
    if (done()) return true;
    std::this_thread::sleep_for(1ms);
  }
  return false;
}

std::uintmax_t SizeOf(const std::string& path) {
  std::error_code error;
  const std::uintmax_t size = fs::file_size(path, error);
  return error ? 0 : size;
}

// A thread of process `pid` other than its main thread, or 0.
pid_t AWorkerThread(pid_t pid) {
  for (const auto& task : fs::directory_iterator("/proc/" + std::to_string(pid) + "/task")) {
    const pid_t tid = std::stoi(task.path().filename().string());
    if (tid != pid) return tid;
  }
  return 0;
}

// Two merges into one file: the second waits for the first, and the first, stopped half-way,
// takes back its own lines only, or removes the file it created. Should the first finish
// before it is stopped, the round runs again with twice the lines. The signal goes to the
// process, or to a worker thread, which must leave the cut to the thread that writes.
TEST(CliMerge, ASecondMergeWaitsAndAStoppedFirstTakesBackOnlyItsOwnLines) {
  for (const auto& [existing, to_worker] :
       {std::pair{true, false}, std::pair{false, false}, std::pair{true, true}}) {
    SCOPED_TRACE(existing ? "into an existing file" : "into a new file");
    SCOPED_TRACE(to_worker ? "signal to a worker thread" : "signal to the process");
    for (int lines = 1500000;; lines *= 2) {
      ASSERT_LE(lines, 12000000) << "the first merge always finished before it was stopped";
      TempDirectory dir;
      const std::string big = dir.WriteForCli("big.txt", ManyLines(lines));
      const std::string y = dir.WriteForCli("y.txt", "y\n");
      const std::string out = (dir / "s.txt");
      const std::string earlier = existing ? "earlier\r\n" : "";
      if (existing) dir.WriteForCli("s.txt", earlier);
      // Each "lineN\r\n" becomes "lineN||lineN|\r\n".
      const std::uintmax_t whole = earlier.size() + 2 * SizeOf(big) + lines;
      RunningCli first(CliCall{.args = {"merge", big, big, "-o", out, "--threads", "3"}});
      ASSERT_TRUE(WaitUntil([&] { return SizeOf(out) > earlier.size(); }));
      kill(first.pid(), SIGSTOP);  // it holds the lock, half-way through
      if (!first.Running() || SizeOf(out) >= whole) {
        kill(first.pid(), SIGCONT);
        first.Finish();
        continue;
      }
      RunningCli second(CliCall{.args = {"merge", y, "--datum", "Y", "-o", out}});
      std::this_thread::sleep_for(300ms);
      EXPECT_TRUE(second.Running()) << "the second merge did not wait";
      const pid_t worker = to_worker ? AWorkerThread(first.pid()) : 0;
      ASSERT_TRUE(!to_worker || worker != 0);
      if (to_worker) {
        tgkill(first.pid(), worker, SIGTERM);
      } else {
        kill(first.pid(), SIGTERM);
      }
      kill(first.pid(), SIGCONT);
      EXPECT_EQ(first.Finish().signal, SIGTERM);
      const CliResult done = second.Finish();
      EXPECT_EQ(done.status, 0) << done.err;
      EXPECT_EQ(ReadFile(out), earlier + "y||Y\r\n");
      break;
    }
  }
}

// Whether process `pid` waits for a file lock: the kernel lists such a request behind "->".
bool WaitsForALock(pid_t pid) {
  std::ifstream locks("/proc/locks");
  const std::string owner = " " + std::to_string(pid) + " ";
  for (std::string line; std::getline(locks, line);) {
    if (line.find("->") != std::string::npos && line.find(owner) != std::string::npos) {
      return true;
    }
  }
  return false;
}

// A list that changes while it is merged (shrinks, grows, or is rewritten in place with its
// size and modification time kept): exit 2 naming it, nothing appended. The merge waits for
// the lock meanwhile, and another writer appends a line then: that line stays, for the cut
// back goes to the length the file had when the merge got the lock, not when it asked.
TEST(CliMerge, AListThatChangesMidWayLeavesTheOutputAsItWas) {
  enum class Change { kShrink, kGrow, kRewriteKeepingTimes };
  for (const Change change : {Change::kShrink, Change::kGrow, Change::kRewriteKeepingTimes}) {
    SCOPED_TRACE(static_cast<int>(change));
    TempDirectory dir;
    const std::string list = dir.WriteForCli("list.txt", ManyLines(1500000));
    const std::string out = dir.WriteForCli("out.txt", "earlier\r\n");
    // Holding the output's lock keeps the merge from finishing before the list changes: it
    // has read and checked its lists and waits to append when the list changes under it.
    const int held = open(out.c_str(), O_RDWR | O_APPEND | O_CLOEXEC);
    ASSERT_EQ(flock(held, LOCK_EX), 0);
    RunningCli merge(CliCall{.args = {"merge", list, list, "-o", out}});
    ASSERT_TRUE(WaitUntil([&] { return WaitsForALock(merge.pid()); }));
    switch (change) {
      case Change::kShrink:
        fs::resize_file(list, 100);
        break;
      case Change::kGrow:
        std::ofstream(list, std::ios::binary | std::ios::app) << "more\r\n";
        break;
      case Change::kRewriteKeepingTimes: {
        struct stat st {};
        ASSERT_EQ(stat(list.c_str(), &st), 0);
        const int fd = open(list.c_str(), O_WRONLY);
        ASSERT_EQ(pwrite(fd, "LINE", 4, 0), 4);
        const timespec times[2] = {st.st_atim, st.st_mtim};
        ASSERT_EQ(futimens(fd, times), 0);
        close(fd);
        break;
      }
    }
    ASSERT_EQ(write(held, "other\r\n", 7), 7);
    close(held);
    const CliResult cli = merge.Finish();
    EXPECT_EQ(cli.status, 2);
    EXPECT_EQ(cli.err, "lanzhou-cli: merge: '" + list + "' changed while it was read\n");
    EXPECT_EQ(ReadFile(out), "earlier\r\nother\r\n");
  }
}

// -o names what the shell would: a descriptor stays that descriptor (an append stays an
// append, the file behind it keeps its inode), and "-" is standard output.
TEST(CliOutput, PathsNamingADescriptorWriteToIt) {
  for (const char* target : {"/dev/stdout", "/dev/fd/1", "/proc/self/fd/1", "-", "/dev/stderr"}) {
    SCOPED_TRACE(target);
    TempDirectory dir;
    const std::string in = dir.WriteForCli("in.txt", "x|a\r\nx|b\r\n");
    const std::string log = dir.WriteForCli("log.txt", "keep\n");
    struct stat before {};
    stat(log.c_str(), &before);
    const bool to_stderr = std::string(target) == "/dev/stderr";
    CliCall call{.args = {"extract", "-f", "2", in, "-o", target},
                 .stdout_to = log,
                 .stdout_appends = true,
                 .cwd = dir.path().string()};
    const CliResult cli = RunCli(call);
    EXPECT_EQ(cli.status, 0) << cli.err;
    EXPECT_EQ(ReadFile(log), to_stderr ? "keep\n" : "keep\na\r\nb");
    if (to_stderr) {
      EXPECT_EQ(cli.err, "a\r\nb");
    }
    struct stat st {};
    stat(log.c_str(), &st);
    EXPECT_EQ(st.st_ino, before.st_ino);
    EXPECT_EQ(Listing(dir.path()), (std::vector<std::string>{"in.txt", "log.txt"}));
  }
}

// As an ordinary user in a world-writable directory, -o refuses what the shell's `>` refuses
// and keeps the owner and mode of what it replaces. Another user's file that we may write is
// refused too unless --take-ownership says to replace it by a file of ours: rewritten in place,
// a failure, a kill or a file size limit would leave it half old and half new.
TEST(CliOutput, AnOrdinaryUserNeitherTakesNorReplacesFilesItMayNotWrite) {
  if (!CanRunAsNobody()) GTEST_SKIP() << "needs root to create files of two users";
  struct Case {
    const char* name;
    uid_t owner;
    mode_t mode;
    bool written;
    std::string reason;
  } cases[] = {
      {"another user's file", 0, 0644, false, "Permission denied"},
      {"a read-only file of our own", kNobody, 0444, false, "Permission denied"},
      {"another user's file we may write", 0, 0666, false,
       "it belongs to another user, and rewriting it in place could leave it half old and half "
       "new; --take-ownership replaces it by a file of yours"},
      {"our own file", kNobody, 0640, true, ""},
  };
  TempDirectory dir;
  fs::permissions(dir.path(), fs::perms::all | fs::perms::sticky_bit);
  const std::string in = dir.WriteForCli("in.txt", "x|new\r\n");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string out = dir.WriteForCli("out.txt", "old\r\n");
    ASSERT_EQ(chown(out.c_str(), c.owner, c.owner), 0);
    ASSERT_EQ(chmod(out.c_str(), c.mode), 0);
    CliCall call;
    call.args = {"extract", "-f", "2", in, "-o", out};
    call.as_nobody = true;
    const CliResult cli = RunCli(call);
    if (cli.status == 127) GTEST_SKIP() << "user nobody cannot run the program here";
    EXPECT_EQ(cli.status, c.written ? 0 : 2) << cli.err;
    EXPECT_EQ(
        cli.err,
        c.written ? "" : "lanzhou-cli: extract: cannot write '" + out + "': " + c.reason + "\n");
    EXPECT_EQ(ReadFile(out), c.written ? "new" : "old\r\n");
    struct stat st {};
    stat(out.c_str(), &st);
    EXPECT_EQ(st.st_uid, c.owner);
    EXPECT_EQ(st.st_mode & 07777, c.mode);
    EXPECT_EQ(Listing(dir.path()), (std::vector<std::string>{"in.txt", "out.txt"}));
    fs::remove(out);
  }
}

// Another user's file that is also the input, in a folder we may write: refused whole, or
// with --take-ownership replaced by a file of ours made from the input as it was.
TEST(CliOutput, AnotherUsersFileAsInputAndOutputIsReadAsItWas) {
  if (!CanRunAsNobody()) GTEST_SKIP() << "needs root to create files of two users";
  for (const bool take : {false, true}) {
    SCOPED_TRACE(take ? "--take-ownership" : "refused");
    TempDirectory dir;
    fs::permissions(dir.path(), fs::perms::all);
    std::string lines;
    for (int i = 0; i < 300000; ++i) lines += "x|" + std::to_string(i) + "\r\n";
    const std::string a = dir.WriteForCli("a.txt", lines);
    ASSERT_EQ(chmod(a.c_str(), 0666), 0);
    CliCall call;
    call.args = {"extract", "-f", "2", a, "-o", a};
    call.as_nobody = true;
    if (take) call.args.push_back("--take-ownership");
    const CliResult cli = RunCli(call);
    if (cli.status == 127) GTEST_SKIP() << "user nobody cannot run the program here";
    EXPECT_EQ(cli.status, take ? 0 : 2) << cli.err;
    std::string fields;
    for (int i = 0; i < 300000; ++i) fields += (i ? "\r\n" : "") + std::to_string(i);
    EXPECT_EQ(ReadFile(a), take ? fields : lines);
    struct stat st {};
    stat(a.c_str(), &st);
    EXPECT_EQ(st.st_uid, take ? kNobody : 0u);
    EXPECT_EQ(Listing(dir.path()), std::vector<std::string>{"a.txt"});
  }
}

// -o names that cannot be written are refused naming them, quoted so that no byte of the
// name reaches the terminal as a control: a link loop is no file to replace.
TEST(CliOutput, UnwritableNamesAreRefusedNamedAndLeftAlone) {
  TempDirectory dir;
  const std::string in = dir.WriteForCli("in.txt", "x|a\r\n");
  fs::create_symlink("l2", dir.path() / "l1");
  fs::create_symlink("l1", dir.path() / "l2");
  const std::string loop = dir / "l1";
  const std::string escape = dir / "x\x1b[31m/out.txt";
  const std::pair<std::string, std::string> cases[] = {
      {loop, "'" + loop + "': Too many levels of symbolic links"},
      {escape, "'" + (dir / "x") + "'$'\\033''[31m/out.txt': No such file or directory"},
  };
  for (const auto& [out, message] : cases) {
    for (const char* command : {"extract", "merge"}) {
      SCOPED_TRACE(std::string(command) + " " + out);
      const CliResult cli = std::string(command) == "merge"
                                ? RunCli({command, in, "--datum", "d", "-o", out})
                                : RunCli({command, in, "-o", out});
      EXPECT_EQ(cli.status, 2);
      EXPECT_EQ(cli.err,
                "lanzhou-cli: " + std::string(command) + ": cannot write " + message + "\n");
      EXPECT_EQ(Listing(dir.path()), (std::vector<std::string>{"in.txt", "l1", "l2"}));
      EXPECT_EQ(fs::read_symlink(loop), "l2");
    }
  }
}

// Run as root, -o a name in a shared sticky folder that another user made a link to a file
// of root's (or to a new name in a folder only root may enter): refused, naming the link and
// its owner, and nothing written, for a replacement and a merge's append alike.
TEST(CliOutput, ALinkPlantedByAnotherUserInASharedFolderIsRefused) {
  if (!CanRunAsNobody()) GTEST_SKIP() << "needs root to make links of another user";
  TempDirectory dir;
  const std::string in = dir.WriteForCli("in.txt", "x1\nx1\n");
  const std::string target = dir.WriteForCli("root.txt", "root's\r\n");
  fs::create_directory(dir.path() / "private");
  fs::permissions(dir.path() / "private", fs::perms::owner_all);
  const fs::path shared = dir.path() / "shared";
  fs::create_directory(shared);
  fs::permissions(shared, fs::perms::all | fs::perms::sticky_bit);
  for (const std::string& to : {target, dir / "private/new.txt"}) {
    const std::string link = shared / "report.txt";
    fs::create_symlink(to, link);
    ASSERT_EQ(lchown(link.c_str(), kNobody, kNobody), 0);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"dedupe", in, "-o", link},
          std::vector<std::string>{"merge", in, "--datum", "d", "-o", link}}) {
      SCOPED_TRACE(args[0] + " to " + to);
      const CliResult cli = RunCli(args);
      EXPECT_EQ(cli.status, 2);
      EXPECT_EQ(cli.err, "lanzhou-cli: " + args[0] + ": cannot write '" + link +
                             "': the symbolic link '" + link +
                             "' belongs to user 'nobody' (65534), in a folder that everyone may "
                             "write; it is not followed\n");
      EXPECT_EQ(ReadFile(target), "root's\r\n");
      EXPECT_EQ(Listing(dir.path() / "private"), std::vector<std::string>{});
      EXPECT_EQ(Listing(shared), std::vector<std::string>{"report.txt"});
    }
    fs::remove(link);
  }
}

// A merge finds the half line a killed writer left: its own lines start on a new line, it
// says so, and the half line stays for the user to see.
TEST(CliMerge, AMergeAfterHalfALineStartsOnANewLine) {
  TempDirectory dir;
  const std::string a = dir.WriteForCli("a.txt", "x1\nx2\n");
  const std::string out = dir.WriteForCli("out.txt", "earlier\r\nbig1.4S1||x");
  const CliResult cli = RunCli({"merge", a, "--datum", "d", "-o", out});
  EXPECT_EQ(cli.status, 0);
  EXPECT_EQ(cli.err, "lanzhou-cli: merge: warning: '" + out +
                         "' ended in an unfinished line (an earlier writer was stopped); the "
                         "merged lines start on a new line\n");
  EXPECT_EQ(ReadFile(out), "earlier\r\nbig1.4S1||x\r\nx1||d\r\nx2||d\r\n");
}

// Even SIGKILL, which nothing can catch, leaves no temporary file: the new file has no name
// until it is complete.
TEST(CliOutput, AKilledReplaceLeavesNoTemporaryFile) {
  TempDirectory dir;
  const std::string lines = ManyLines(1500000);
  const std::string in = dir.WriteForCli("in.txt", lines);
  const std::string out = dir.WriteForCli("out.txt", "old\r\n");
  for (const auto delay : {1ms, 10ms, 50ms, 150ms}) {
    RunningCli cli(CliCall{.args = {"extract", in, "-o", out}});
    std::this_thread::sleep_for(delay);
    kill(cli.pid(), SIGKILL);
    cli.Finish();
    EXPECT_EQ(Listing(dir.path()), (std::vector<std::string>{"in.txt", "out.txt"}));
    const std::string kept = ReadFile(out);
    EXPECT_TRUE(kept == "old\r\n" || kept.size() == lines.size() - 2) << kept.size();
  }
}

// Inputs that never end: reading stops at the first zero byte, which every command ignores
// the rest after; an endless input without one runs out of memory with a message.
TEST(CliInputs, EndlessInputsEndWithAResultOrAMessage) {
  const std::vector<std::pair<std::vector<std::string>, int>> commands = {
      {{"extract", "/dev/zero"}, 0},
      {{"dedupe", "/dev/zero"}, 0},
      {{"wrap", "-w", "3", "/dev/zero"}, 0},
      {{"reorder", "-d", "|", "/dev/zero"}, 0},
      {{"merge", "/dev/zero", "--datum", "d"}, 1},  // list A is empty
  };
  for (const auto& [args, status] : commands) {
    SCOPED_TRACE(args[0]);
    const CliResult cli = RunCli(args);
    EXPECT_EQ(cli.status, status) << cli.err;
    EXPECT_EQ(cli.out, "");
  }
  // An endless pipe without a zero byte fills the temporary disk it is copied to: a full
  // disk (a real small one, or a file size limit) ends the command, and leaves nothing.
  signal(SIGPIPE, SIG_IGN);
  for (const bool real_disk : {true, false}) {
    SCOPED_TRACE(real_disk ? "tmpfs" : "RLIMIT_FSIZE");
    TempDirectory dir;
    const std::string temp = (dir / "temp");
    std::optional<TmpfsMount> mount;
    if (real_disk) {
      mount.emplace(temp, "size=4m");
      if (!mount->ok()) continue;  // this process may not mount
    } else {
      ASSERT_TRUE(std::filesystem::create_directory(temp));
    }
    const std::string pipe = (dir / "endless");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    std::thread writer([&pipe] { FeedPipe(pipe, std::string(1 << 20, 'a'), SIZE_MAX); });
    CliCall call;
    call.args = {"dedupe", pipe};
    if (!real_disk) call.file_size_limit = rlim_t{8} << 20;
    const CliResult cli = WithTemporaryDirectory(temp, [&] { return RunCli(call); });
    close(open(pipe.c_str(), O_RDONLY | O_NONBLOCK));  // frees a writer never read from
    writer.join();
    EXPECT_EQ(cli.status, 2);
    EXPECT_EQ(cli.err, "lanzhou-cli: dedupe: cannot read '" + pipe +
                           "': no space left for temporary files in '" + temp + "'\n");
    EXPECT_TRUE(Listing(temp).empty());
  }
}

// A pipe of more than the memory a command may hold is copied to a temporary file and read
// as a file is: every command gives what it gives for the same bytes in a file, and the
// copy is gone afterwards.
TEST(CliInputs, APipeLargerThanTheMemoryLimitReadsAsTheFile) {
  signal(SIGPIPE, SIG_IGN);
  TempDirectory dir;
  std::string records;
  for (int i = 0; records.size() < (3 << 20); ++i) {
    records += "k" + std::to_string(i % 5000) + "|\xD6\xD0" + std::to_string(i % 7919) + "\n";
  }
  const std::string file = dir.WriteForCli("records.txt", records);
  const std::string temp = (dir / "temp");
  ASSERT_TRUE(std::filesystem::create_directory(temp));
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"dedupe", "--memory", "1M", "@"},
        {"extract", "-f", "2|1", "@"},
        {"wrap", "-w", "7", "@"},
        {"reorder", "-d", "|", "-c", "2,1", "@"}}) {
    SCOPED_TRACE(args[0]);
    CliCall from_file;
    from_file.args = args;
    from_file.args.back() = file;
    const CliResult expected = RunCli(from_file);
    ASSERT_EQ(expected.status, 0) << expected.err;
    const std::string pipe = (dir / "pipe");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    std::thread writer([&] { FeedPipe(pipe, records, 1); });
    CliCall from_pipe;
    from_pipe.args = args;
    from_pipe.args.back() = pipe;
    const CliResult cli = WithTemporaryDirectory(temp, [&] { return RunCli(from_pipe); });
    writer.join();
    unlink(pipe.c_str());
    EXPECT_EQ(cli.status, 0) << cli.err;
    EXPECT_TRUE(cli.out == expected.out) << cli.out.size() << " bytes, not " << expected.out.size();
    EXPECT_TRUE(Listing(temp).empty());
  }
}

// Threads the system will not start (here: 1024 thread stacks in 512 MB of address space)
// leave the work to fewer, and the same bytes come out; or, should the threads that did start
// leave too little memory, the command says so (exit 2). Never an abort.
TEST(CliRun, ThreadsThatCannotStartAreDoneWithout) {
  if (kSanitized) GTEST_SKIP() << "a sanitized program cannot run under an address-space limit";
  TempDirectory dir;
  const std::string big =
      dir.WriteForCli("big.txt", ManyLines(600000));  // past the threads' threshold
  const std::vector<std::vector<std::string>> commands = {
      {"extract", "-f", "1", big},
      {"dedupe", big},
      {"reorder", "-d", "e", "-c", "2,1", big},
      {"merge", big, big},
      {"wrap", "-w", "10", big},
  };
  for (std::vector<std::string> args : commands) {
    SCOPED_TRACE(args[0]);
    args.insert(args.end(), {"--threads", "1"});
    const CliResult serial = RunCli(args);
    ASSERT_EQ(serial.status, 0) << serial.err;
    args.back() = "1024";
    CliCall call;
    call.args = args;
    call.memory_limit = rlim_t{512} << 20;
    const CliResult limited = RunCli(call);
    EXPECT_EQ(limited.signal, 0);
    if (limited.status == 0) {
      EXPECT_TRUE(limited.out == serial.out);
    } else {
      EXPECT_EQ(limited.status, 2);
      // One line that names the command: what ran out depends on when the threads did.
      EXPECT_TRUE(limited.err.starts_with("lanzhou-cli: " + args[0] + ": ") &&
                  limited.err.find('\n') == limited.err.size() - 1)
          << limited.err;
    }
  }
}

// A stray lead byte (no GBK character) right before a line end stands alone: the line still
// ends there, in every command.
TEST(CliInputs, AStrayLeadByteNeverTakesALineEndWithIt) {
  TempDirectory dir;
  const std::string file = dir.WriteForCli("stray.txt", "x|a\xD6\r\ny|b\r\ny|b\r\n");
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"dedupe", file}, "x|a\xD6\r\ny|b"},
      {{"extract", "-f", "2", file}, "a\xD6\r\nb\r\nb"},
      // Every CR LF is taken out before wrapping; 0xD6 then takes the "y" after it.
      {{"wrap", "-w", "3", file}, "x|a\r\n\xD6y\r\n|by\r\n|b"},
      {{"reorder", "-d", "|", "-c", "2,1", file}, "a\xD6|x\r\nb|y\r\nb|y\r\n"},
      {{"merge", file, "--datum", "d"}, "x|a\xD6||d\r\ny|b||d\r\ny|b||d\r\n"},
  };
  for (const auto& [args, out] : cases) {
    SCOPED_TRACE(args[0]);
    const CliResult cli = RunCli(args);
    EXPECT_EQ(cli.status, 0) << cli.err;
    EXPECT_EQ(cli.out, out);
  }
}

// A UTF-8 byte-order mark followed by bytes that are not UTF-8 is refused, naming the byte,
// unless the input is declared GBK.
TEST(CliInputs, AByteOrderMarkBeforeInvalidUtf8IsAnError) {
  TempDirectory dir;
  const std::string file = dir.WriteForCli("bom.txt",
                                           "\xEF\xBB\xBF"
                                           "A|b\r\nA\xE4\xB8");
  for (const std::vector<std::string>& args : {std::vector<std::string>{"dedupe", file},
                                               {"extract", "-f", "2", file},
                                               {"reorder", "-d", "|", file},
                                               {"merge", file, "--datum", "d"}}) {
    SCOPED_TRACE(args[0]);
    const CliResult cli = RunCli(args);
    EXPECT_EQ(cli.status, 2);
    EXPECT_EQ(cli.out, "");
    EXPECT_EQ(cli.err,
              "lanzhou-cli: " + args[0] + ": cannot read '" + file +
                  "': it starts with a UTF-8 byte-order mark but is not UTF-8 at byte 9\n");
  }
  EXPECT_EQ(RunCli({"dedupe", "--input-encoding", "gbk", file}).status, 0);
}

}  // namespace
}  // namespace lanzhou::cli_test
