// Runs the built lanzhou-cli as a child process, and a temporary directory for its files.
#ifndef LANZHOU_TESTS_CLI_CLI_RUNNER_H_
#define LANZHOU_TESTS_CLI_CLI_RUNNER_H_

#include <fcntl.h>
#include <grp.h>
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

#include "tests/support/temp_directory.h"

namespace lanzhou::cli_test {

namespace fs = std::filesystem;

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
  std::vector<std::string> args{};
  std::string input{};                      // standard input
  std::optional<std::string> stdout_to{};   // a path standard output goes to instead ("/dev/full")
  bool stdout_appends = false;              // stdout_to opened as `>>` does, not as `>`
  std::optional<rlim_t> file_size_limit{};  // RLIMIT_FSIZE for the child
  std::optional<rlim_t> memory_limit{};     // RLIMIT_AS for the child
  bool ignore_sigxfsz = true;               // writes beyond the limit fail instead of killing
  std::optional<std::string> cwd{};         // the child's working directory
  bool as_nobody = false;                   // run as user and group 65534 when we are root
  std::vector<int> closed{};                // standard descriptors the child starts without
};

// The user `as_nobody` runs as, and whether this process can switch to it.
constexpr uid_t kNobody = 65534;
inline bool CanRunAsNobody() { return geteuid() == 0; }

// lanzhou-cli running as a child process, started with `call.args` (the program name is
// added); `Finish` waits for it.
class RunningCli {
 public:
  explicit RunningCli(const CliCall& call)
      : out_path_(call.stdout_to.value_or(io_ / "stdout")),
        err_path_(io_ / "stderr"),
        read_out_(!call.stdout_to) {
    const std::string in_path = io_.WriteForCli("stdin", call.input);
    std::vector<std::string> argv_strings = {LANZHOU_CLI_PATH};
    argv_strings.insert(argv_strings.end(), call.args.begin(), call.args.end());
    std::vector<char*> argv;
    for (auto& s : argv_strings) argv.push_back(s.data());
    argv.push_back(nullptr);

    pid_ = fork();
    if (pid_ != 0) return;
    const int out_flags = O_WRONLY | O_CREAT | (call.stdout_appends ? O_APPEND : O_TRUNC);
    int in = open(in_path.c_str(), O_RDONLY);
    int out = open(out_path_.c_str(), out_flags, 0644);
    int err = open(err_path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0 || err < 0) _exit(127);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    for (int fd : {in, out, err}) {
      if (fd > 2) close(fd);
    }
    for (int fd : call.closed) close(fd);
    if (call.cwd && chdir(call.cwd->c_str()) != 0) _exit(127);
    if (call.file_size_limit) {
      // An ignored signal stays ignored across exec: writes then fail with EFBIG.
      signal(SIGXFSZ, call.ignore_sigxfsz ? SIG_IGN : SIG_DFL);
      rlimit limit{*call.file_size_limit, *call.file_size_limit};
      setrlimit(RLIMIT_FSIZE, &limit);
    }
    if (call.memory_limit) {
      rlimit limit{*call.memory_limit, *call.memory_limit};
      setrlimit(RLIMIT_AS, &limit);
    }
    if (call.as_nobody &&
        (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0)) {
      _exit(127);
    }
    execv(argv[0], argv.data());
    _exit(127);
  }
  RunningCli(const RunningCli&) = delete;
  RunningCli& operator=(const RunningCli&) = delete;
  ~RunningCli() {
    if (pid_ > 0 && !finished_) {
      kill(pid_, SIGKILL);
      Finish();
    }
  }

  pid_t pid() const { return pid_; }
  // True while the program has not ended (it is not reaped).
  bool Running() const {
    siginfo_t info{};
    return waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
           info.si_pid == 0;
  }

  CliResult Finish() {
    CliResult result;
    int wstatus = 0;
    if (pid_ > 0 && waitpid(pid_, &wstatus, 0) == pid_) {
      if (WIFEXITED(wstatus)) result.status = WEXITSTATUS(wstatus);
      if (WIFSIGNALED(wstatus)) result.signal = WTERMSIG(wstatus);
    }
    finished_ = true;
    if (read_out_) result.out = ReadFile(out_path_);
    result.err = ReadFile(err_path_);
    return result;
  }

 private:
  TempDirectory io_;
  std::string out_path_;
  std::string err_path_;
  bool read_out_;
  pid_t pid_ = -1;
  bool finished_ = false;
};

// Runs lanzhou-cli with `call.args` and waits for it.
inline CliResult RunCli(const CliCall& call) { return RunningCli(call).Finish(); }

inline CliResult RunCli(std::vector<std::string> args, std::string input = "") {
  CliCall call;
  call.args = std::move(args);
  call.input = std::move(input);
  return RunCli(call);
}

}  // namespace lanzhou::cli_test

#endif  // LANZHOU_TESTS_CLI_CLI_RUNNER_H_
