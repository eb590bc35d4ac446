// Where lanzhou-cli's results go: -o replaced whole or not at all, merge appended whole or not
// at all, and errors naming the file with exit status 2.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "io/temp_file.h"
#include "tests/cli/cli_runner.h"

namespace lanzhou::cli_test {
namespace {

mode_t ModeOf(const std::string& path) {
  struct stat st {};
  stat(path.c_str(), &st);
  return st.st_mode & 07777;
}

mode_t CurrentUmask() {
  mode_t mask = umask(0);
  umask(mask);
  return mask;
}

TEST(OutputFile, ReplacesTheFileWholeAndKeepsItsPermissions) {
  TempDirectory dir;
  const std::string in = dir.WriteForCli("in.txt", "b\r\na\r\nb\r\n");
  const std::string out = dir.WriteForCli("out.txt", "an older and much longer content\r\n");
  chmod(out.c_str(), 0640);
  // As root the replaced file also keeps its owner.
  const bool root = geteuid() == 0;
  if (root) {
    EXPECT_EQ(chown(out.c_str(), 4321, 4322), 0);
  }
  CliResult cli = RunCli({"dedupe", in, "-o", out});
  EXPECT_EQ(cli.status, 0) << cli.err;
  EXPECT_EQ(cli.out, "");
  EXPECT_EQ(ReadFile(out), "b\r\na");
  EXPECT_EQ(ModeOf(out), 0640u);
  if (root) {
    struct stat st {};
    stat(out.c_str(), &st);
    EXPECT_EQ(st.st_uid, 4321u);
    EXPECT_EQ(st.st_gid, 4322u);
  }
  EXPECT_EQ(Listing(dir.path()), (std::vector<std::string>{"in.txt", "out.txt"}));

  const std::string fresh = (dir / "fresh.txt");
  EXPECT_EQ(RunCli({"dedupe", in, "-o", fresh}).status, 0);
  EXPECT_EQ(ModeOf(fresh), 0666u & ~CurrentUmask());
}

TEST(OutputFile, TheInputItselfMayBeTheOutput) {
  TempDirectory dir;
  const std::string file = dir.WriteForCli("list.txt", "a\r\nb\r\na\r\n");
  EXPECT_EQ(RunCli({"dedupe", file, "-o", file}).status, 0);
  EXPECT_EQ(ReadFile(file), "a\r\nb");
}

TEST(OutputFile, ALinkStaysALinkToTheNewContent) {
  TempDirectory dir;
  const std::string in = dir.WriteForCli("in.txt", "x|y\r\n");
  const std::string target = dir.WriteForCli("target.txt", "old");
  const std::string link = (dir / "link.txt");
  fs::create_symlink(target, link);
  EXPECT_EQ(RunCli({"extract", "-f", "2", in, "-o", link}).status, 0);
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(ReadFile(target), "y");
}

TEST(OutputFile, AFailedWriteLeavesTheOldFileAndNoTemporaryFile) {
  TempDirectory dir;
  const std::string in = dir.WriteForCli("in.txt", std::string(100000, 'a'));
  const std::string out = dir.WriteForCli("out.txt", "old");
  CliCall call;
  call.args = {"wrap", "-w", "10", in, "-o", out};
  call.file_size_limit = 50000;  // the temporary file cannot grow that far
  CliResult cli = RunCli(call);
  EXPECT_EQ(cli.status, 2);
  EXPECT_EQ(cli.err, "lanzhou-cli: wrap: cannot write '" + out + "': File too large\n");
  EXPECT_EQ(ReadFile(out), "old");
  EXPECT_EQ(Listing(dir.path()), (std::vector<std::string>{"in.txt", "out.txt"}));
}

TEST(MergeOutput, AppendsToTheFileAsThePageDoes) {
  TempDirectory dir;
  const std::string a = dir.WriteForCli("a.txt", "x1\r\nx2\r\n");
  const std::string b = dir.WriteForCli("b.txt", "y1\ny2\n");
  const std::string out = dir.WriteForCli("merged.txt", "earlier\r\n");
  for (int run = 0; run < 2; ++run) EXPECT_EQ(RunCli({"merge", a, b, "-o", out}).status, 0);
  EXPECT_EQ(ReadFile(out), "earlier\r\nx1||y1|\r\nx2||y2|\r\nx1||y1|\r\nx2||y2|\r\n");

  // Nothing to join: no file is created.
  const std::string empty_b = dir.WriteForCli("empty.txt", "");
  const std::string none = (dir / "none.txt");
  CliResult cli = RunCli({"merge", a, empty_b, "-o", none});
  EXPECT_EQ(cli.status, 0);
  EXPECT_EQ(cli.err,
            "lanzhou-cli: merge: warning: list A has 2 lines and list B 0; only the first 0 are "
            "joined\n");
  EXPECT_FALSE(fs::exists(none));
}

// Into an existing file the append is cut back; a file the merge created is removed.
TEST(MergeOutput, AFailedAppendIsTakenBackWhole) {
  for (const bool existing : {true, false}) {
    TempDirectory dir;
    std::string many;
    for (int i = 0; i < 20000; ++i) many += "line" + std::to_string(i) + "\r\n";
    const std::string a = dir.WriteForCli("a.txt", many);
    const std::string out = (dir / "merged.txt");
    if (existing) dir.WriteForCli("merged.txt", "earlier\r\n");
    CliCall call;
    call.args = {"merge", a, "--datum", "d", "-o", out};
    call.file_size_limit = 100000;  // room for part of the lines only
    CliResult cli = RunCli(call);
    EXPECT_EQ(cli.status, 2);
    EXPECT_EQ(cli.err, "lanzhou-cli: merge: cannot write '" + out + "': File too large\n");
    EXPECT_EQ(Listing(dir.path()), existing ? (std::vector<std::string>{"a.txt", "merged.txt"})
                                            : (std::vector<std::string>{"a.txt"}));
    if (existing) {
      EXPECT_EQ(ReadFile(out), "earlier\r\n");
    }
  }
}

// A file size limit (ulimit -f) with SIGXFSZ as the shell leaves it: SIGXFSZ is ignored from
// the start, so a write past the limit is an ordinary write error that takes the partial
// output back (no temporary file, no part of an append), never a signal that ends the
// program. Also where an input larger than the memory a command may hold goes to temporary
// files first: LF line ends changed a piece at a time, lines too many for --memory spilled.
TEST(OutputFile, AFileSizeLimitIsAWriteErrorThatTakesThePartialOutputBack) {
  TempDirectory dir;
  std::string many;
  for (int i = 0; i < 20000; ++i) many += "line" + std::to_string(i) + "\r\n";
  const std::string in = dir.WriteForCli("in.txt", many);
  std::string lf;
  for (int i = 0; i < 40000; ++i) lf += "line" + std::to_string(i) + "\n";
  const std::string in_lf = dir.WriteForCli("lf.txt", lf);
  // Beyond the 64 MB that any command reads in at once.
  std::string large_lf;
  large_lf.reserve((65 << 20) + lf.size());
  while (large_lf.size() <= (65 << 20)) large_lf += lf;
  const std::string large = dir.WriteForCli("large.txt", large_lf);
  large_lf = std::string();
  const std::string out = dir.WriteForCli("out.txt", "old\r\n");
  const std::string cannot_write = "cannot write '" + out + "': File too large";
  const std::string no_temporary_space =
      "no space left for temporary files in '" + TemporaryDirectory() + "'";
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"dedupe", in, "-o", out}, cannot_write},
      {{"merge", in, "--datum", "d", "-o", out}, cannot_write},
      {{"dedupe", "--memory", "64K", in, "-o", out}, no_temporary_space},
      {{"dedupe", "--memory", "64K", in_lf, "-o", out},
       "cannot read '" + in_lf + "': " + no_temporary_space},
      {{"extract", large, "-o", out}, "cannot read '" + large + "': " + no_temporary_space},
  };
  for (const auto& [args, message] : cases) {
    SCOPED_TRACE(args[0] + " " + args[args.size() - 3]);
    CliCall call;
    call.args = args;
    call.file_size_limit = 100000;
    call.ignore_sigxfsz = false;
    CliResult cli = RunCli(call);
    EXPECT_EQ(cli.signal, 0);
    EXPECT_EQ(cli.status, 2);
    EXPECT_EQ(cli.err, "lanzhou-cli: " + args[0] + ": " + message + "\n");
    const std::string kept = ReadFile(out);
    EXPECT_TRUE(kept == "old\r\n") << kept.size() << " bytes";
    EXPECT_EQ(Listing(dir.path()),
              (std::vector<std::string>{"in.txt", "large.txt", "lf.txt", "out.txt"}));
  }
}

struct FileErrorCase {
  const char* name;
  std::vector<std::string> args;  // "@" stands for the temporary directory
  std::string message;            // likewise
  const char* stdout_to = nullptr;
};

const FileErrorCase kFileErrors[] = {
    {"MissingInput",
     {"dedupe", "@/missing.txt"},
     "dedupe: cannot read '@/missing.txt': No such file or directory"},
    {"DirectoryAsInput", {"extract", "@"}, "extract: cannot read '@': Is a directory"},
    {"MissingSecondReorderFile",
     {"reorder", "-d", "|", "@/in.txt", "@/gone.txt", "-o", "@/o.txt"},
     "reorder: cannot read '@/gone.txt': No such file or directory"},
    {"MissingListB",
     {"merge", "@/in.txt", "@/gone.txt"},
     "merge: cannot read '@/gone.txt': No such file or directory"},
    {"OutputInAMissingDirectory",
     {"dedupe", "@/in.txt", "-o", "@/no/out.txt"},
     "dedupe: cannot write '@/no/out.txt': No such file or directory"},
    {"OutputIsADirectory",
     {"wrap", "-w", "3", "@/in.txt", "-o", "@"},
     "wrap: cannot write '@': Is a directory"},
    {"OutputDeviceFull",
     {"dedupe", "@/in.txt", "-o", "/dev/full"},
     "dedupe: cannot write '/dev/full': No space left on device"},
    {"MergeOutputDeviceFull",
     {"merge", "@/in.txt", "--datum", "d", "-o", "/dev/full"},
     "merge: cannot write '/dev/full': No space left on device"},
    {"ConfigurationNameToQuote",
     {"normalize", "--config", "\x1b]0;x\a", "@/in.txt"},
     "normalize: cannot load the OpenCC configuration ''$'\\033'']0;x'$'\\a': \\033]0;x\\a.json "
     "not found or not accessible."},
    {"StandardOutputFull",
     {"extract", "@/in.txt"},
     "extract: cannot write standard output: No space left on device",
     "/dev/full"},
};

std::string Expand(std::string s, const std::string& dir) {
  for (std::size_t at = s.find('@'); at != std::string::npos; at = s.find('@', at + dir.size())) {
    s.replace(at, 1, dir);
  }
  return s;
}

TEST(FileErrors, ExitTwoNamingTheFileAndWriteNothing) {
  for (const FileErrorCase& c : kFileErrors) {
    SCOPED_TRACE(c.name);
    TempDirectory dir;
    const std::string root = dir.path().string();
    dir.WriteForCli("in.txt", "a|b\r\na|b\r\n");
    CliCall call;
    for (const std::string& arg : c.args) call.args.push_back(Expand(arg, root));
    if (c.stdout_to) call.stdout_to = c.stdout_to;
    CliResult cli = RunCli(call);
    EXPECT_EQ(cli.status, 2);
    EXPECT_EQ(cli.out, "");
    EXPECT_EQ(cli.err, "lanzhou-cli: " + Expand(c.message, root) + "\n");
    EXPECT_EQ(Listing(dir.path()), std::vector<std::string>{"in.txt"});
  }
}

}  // namespace
}  // namespace lanzhou::cli_test
