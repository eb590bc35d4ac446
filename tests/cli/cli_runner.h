// Runs the built lanzhou-cli as a child process, and a temporary directory for its files.
#ifndef LANZHOU_TESTS_CLI_CLI_RUNNER_H_
#define LANZHOU_TESTS_CLI_CLI_RUNNER_H_

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "tests/temp_directory.h"

namespace lanzhou::cli_test {

namespace fs = std::filesystem;

// The shared temporary directory, with the file paths as the command line takes them.
class TempDir : public TempDirectory {
 public:
  // Writes `bytes` to `name` and returns the file's path.
  std::string Write(const std::string& name, std::string_view bytes) const {
    TempDirectory::Write(name, bytes);
    return Path(name);
  }
  std::string Path(const std::string& name) const { return (path() / name).string(); }
};

inline std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The names in `dir`, sorted.
inline std::vector<std::string> Listing(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

struct CliResult {
  int status = -1;  // the exit status; -1 when the program did not exit normally
  int signal = 0;   // the signal that ended it, if one did
  std::string out;
  std::string err;
};

struct CliCall {
  std::vector<std::string> args;
  std::string input;                      // standard input
  std::optional<std::string> stdout_to;   // a path standard output goes to instead ("/dev/full")
  std::optional<rlim_t> file_size_limit;  // RLIMIT_FSIZE for the child
  bool ignore_sigxfsz = true;             // writes beyond the limit fail instead of killing
  std::optional<std::string> cwd;         // the child's working directory
};

// Runs lanzhou-cli with `call.args` (the program name is added) and waits for it.
inline CliResult RunCli(const CliCall& call) {
  TempDir io;
  const std::string in_path = io.Write("stdin", call.input);
  const std::string out_path = call.stdout_to.value_or(io.Path("stdout"));
  const std::string err_path = io.Path("stderr");

  std::vector<std::string> argv_strings = {LANZHOU_CLI_PATH};
  argv_strings.insert(argv_strings.end(), call.args.begin(), call.args.end());
  std::vector<char*> argv;
  for (auto& s : argv_strings) argv.push_back(s.data());
  argv.push_back(nullptr);

  pid_t pid = fork();
  if (pid == 0) {
    int in = open(in_path.c_str(), O_RDONLY);
    int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0 || err < 0) _exit(127);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    for (int fd : {in, out, err}) {
      if (fd > 2) close(fd);
    }
    if (call.cwd && chdir(call.cwd->c_str()) != 0) _exit(127);
    if (call.file_size_limit) {
      // An ignored signal stays ignored across exec: writes then fail with EFBIG.
      signal(SIGXFSZ, call.ignore_sigxfsz ? SIG_IGN : SIG_DFL);
      rlimit limit{*call.file_size_limit, *call.file_size_limit};
      setrlimit(RLIMIT_FSIZE, &limit);
    }
    execv(argv[0], argv.data());
    _exit(127);
  }
  CliResult result;
  int wstatus = 0;
  if (pid > 0 && waitpid(pid, &wstatus, 0) == pid) {
    if (WIFEXITED(wstatus)) result.status = WEXITSTATUS(wstatus);
    if (WIFSIGNALED(wstatus)) result.signal = WTERMSIG(wstatus);
  }
  if (!call.stdout_to) result.out = ReadFile(out_path);
  result.err = ReadFile(err_path);
  return result;
}

inline CliResult RunCli(std::vector<std::string> args, std::string input = "") {
  CliCall call;
  call.args = std::move(args);
  call.input = std::move(input);
  return RunCli(call);
}

}  // namespace lanzhou::cli_test

#endif  // LANZHOU_TESTS_CLI_CLI_RUNNER_H_
