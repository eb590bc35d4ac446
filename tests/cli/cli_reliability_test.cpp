// lanzhou-cli never changes its input files, and on a real full or read-only filesystem an
// -o result is refused whole: the earlier file stays, no temporary file is left, and an
// append keeps whole lines.
#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/cli/cli_runner.h"
#include "tests/reliability/hostile_files.h"

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
      TempDir dir;
      const std::string root = dir.path().string();
      dir.Write("a.txt", a);
      dir.Write("b.txt", b);
      chmod(dir.Path("b.txt").c_str(), 0444);
      std::vector<FileState> before;
      for (const char* name : {"a.txt", "b.txt"}) {
        AgeFile(dir.Path(name));
        before.push_back(StateOf(dir.Path(name)));
      }
      CliCall call;
      for (const std::string& arg : command) call.args.push_back(At(arg, root));
      if (to_file) {
        call.args.push_back("-o");
        call.args.push_back(dir.Path("out.txt"));
      }
      const CliResult cli = RunCli(call);
      EXPECT_EQ(cli.status, 0) << cli.err;
      EXPECT_EQ(StateOf(dir.Path("a.txt")), before[0]);
      EXPECT_EQ(StateOf(dir.Path("b.txt")), before[1]);
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
      TempDir dir;
      const std::string in = dir.Write("in.txt", many);
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
