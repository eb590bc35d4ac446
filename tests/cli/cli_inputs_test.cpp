// Inputs that are not regular files (pipes) are read to their end, and give what the same
// bytes in a file give.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "tests/cli/cli_runner.h"

namespace lanzhou::cli_test {
namespace {

// More than one read's worth, so that the pieces of a pipe are joined.
std::string ManyLines() {
  std::string text;
  for (int i = 0; i < 300000; ++i) {
    text += "a" + std::to_string(i % 1000) + "|\xD6\xD0\xCE\xC4|" + std::to_string(i) + "\r\n";
  }
  return text;
}

// Writes `text` into the pipe `path`, giving up quietly when its reader goes away.
void WriteAll(const std::string& path, const std::string& text) {
  int fd = open(path.c_str(), O_WRONLY);
  std::string_view rest = text;
  while (fd >= 0 && !rest.empty()) {
    ssize_t n = write(fd, rest.data(), rest.size());
    if (n <= 0) break;
    rest.remove_prefix(static_cast<std::size_t>(n));
  }
  if (fd >= 0) close(fd);
}

TEST(CliInputs, NamedPipesGiveWhatFilesGive) {
  signal(SIGPIPE, SIG_IGN);  // a writer whose reader is gone gets EPIPE instead
  const std::string text = ManyLines();
  const std::vector<std::vector<std::string>> commands = {
      {"dedupe", "@0"},
      {"extract", "-f", "3|1", "@0"},
      {"reorder", "-d", "|", "-c", "2,1", "@0"},
      {"merge", "@0", "@1"},
  };
  for (const auto& command : commands) {
    SCOPED_TRACE(command[0]);
    TempDirectory dir;
    std::vector<std::string> from_files, from_pipes;
    for (const std::string& arg : command) {
      if (arg[0] != '@') {
        from_files.push_back(arg);
        from_pipes.push_back(arg);
        continue;
      }
      from_files.push_back(dir.WriteForCli("file" + arg.substr(1), text));
      const std::string pipe = dir / ("pipe" + arg.substr(1));
      ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
      from_pipes.push_back(pipe);
    }
    // Each pipe gets its writer; opening blocks until the program opens the other end.
    std::vector<std::string> pipes;
    std::vector<std::thread> writers;
    for (const std::string& arg : from_pipes) {
      if (arg.find("/pipe") == std::string::npos) continue;
      pipes.push_back(arg);
      writers.emplace_back([arg, &text] { WriteAll(arg, text); });
    }
    CliResult piped = RunCli(from_pipes);
    // A pipe the program did not open would keep its writer waiting: open and close its
    // reading end, which lets the writer fail and end.
    for (const std::string& pipe : pipes) close(open(pipe.c_str(), O_RDONLY | O_NONBLOCK));
    for (std::thread& writer : writers) writer.join();
    CliResult filed = RunCli(from_files);
    EXPECT_EQ(piped.status, 0) << piped.err;
    EXPECT_EQ(filed.status, 0) << filed.err;
    EXPECT_FALSE(filed.out.empty());
    EXPECT_TRUE(piped.out == filed.out) << piped.out.size() << " vs " << filed.out.size();
  }
}

// Started with standard input, output or error closed (`cmd 0<&-`): no file the program opens
// takes their place. A closed standard input is an error, never an empty input, and the -o
// file stays as it was; a closed standard error loses the messages and nothing else.
TEST(CliInputs, ClosedStandardDescriptorsAreNoInputAndNoPlaceForFiles) {
  struct Case {
    std::vector<int> closed;
    std::vector<std::string> args;  // "@" stands for the temporary directory
    int status;
    std::string err;  // likewise
    std::string out_file;
  };
  const Case cases[] = {
      {{0}, {"dedupe", "-o", "@/out.txt"}, 2, "dedupe: standard input is closed", "old\r\n"},
      {{0}, {"dedupe", "-", "-o", "@/out.txt"}, 2, "dedupe: standard input is closed", "old\r\n"},
      {{0},
       {"filter", "--keep", "-k", "-", "@/a.txt", "-o", "@/out.txt"},
       2,
       "filter: standard input is closed",
       "old\r\n"},
      {{0},
       {"merge", "@/a.txt", "-", "-o", "@/out.txt"},
       2,
       "merge: standard input is closed",
       "old\r\n"},
      {{0, 1, 2}, {"extract", "@/a.txt", "-o", "@/out.txt"}, 0, "", "x1\r\nx2"},
  };
  for (const Case& c : cases) {
    TempDirectory dir;
    const std::string root = dir.path().string();
    auto expand = [&root](std::string s) {
      for (std::size_t at = s.find('@'); at != std::string::npos; at = s.find('@', at)) {
        s.replace(at, 1, root);
        at += root.size();
      }
      return s;
    };
    dir.WriteForCli("a.txt", "x1\nx2\n");
    dir.WriteForCli("b.txt", "y1\n");
    const std::string out = dir.WriteForCli("out.txt", "old\r\n");
    CliCall call;
    for (const std::string& arg : c.args) call.args.push_back(expand(arg));
    call.closed = c.closed;
    SCOPED_TRACE(call.args[0] + " without descriptor " + std::to_string(c.closed.back()));
    const CliResult cli = RunCli(call);
    EXPECT_EQ(cli.status, c.status);
    EXPECT_EQ(cli.err, c.err.empty() ? "" : "lanzhou-cli: " + expand(c.err) + "\n");
    EXPECT_EQ(ReadFile(out), c.out_file);
    EXPECT_EQ(Listing(dir.path()), (std::vector<std::string>{"a.txt", "b.txt", "out.txt"}));
  }
  // A piped standard input is copied to a temporary file, which must not become standard
  // error: the warning that the lists differ in length would be written into it.
  TempDirectory dir;
  const std::string b = dir.WriteForCli("b.txt", "y1\n");
  const std::string out = dir.WriteForCli("out.txt", "old\r\n");
  const std::string merge =
      "printf 'x1\\nx2\\n' | " LANZHOU_CLI_PATH " merge - " + b + " -o " + out + " 2>&-";
  EXPECT_EQ(std::system(merge.c_str()), 0);
  EXPECT_EQ(ReadFile(out), "old\r\nx1||y1|\r\n");
}

}  // namespace
}  // namespace lanzhou::cli_test
