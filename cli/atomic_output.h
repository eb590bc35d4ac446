// Writing lanzhou-cli's results so that no reader ever sees a half-written file.
#ifndef LANZHOU_CLI_ATOMIC_OUTPUT_H_
#define LANZHOU_CLI_ATOMIC_OUTPUT_H_

#include <string>
#include <string_view>

namespace lanzhou::cli {

// Where a result goes: standard output, a file replaced as a whole, or a file appended to.
// The result is written in pieces and then committed; until then no file shows a part of it
// (standard output takes the pieces as they come).
//
//   kReplace: the pieces go to a temporary file in the directory of `path`, renamed over
//     `path` on commit: readers see the old file or the whole new one. A symbolic link is
//     followed (the file it names is replaced, the link stays); a replaced file keeps its
//     permission bits (and its owner, when we run as root), a new one gets 0666 less the
//     umask. A device (-o /dev/stdout) is written in place.
//   kAppend: the pieces are appended to `path` (created when missing); should a write fail,
//     the file is cut back to its length before `Open`.
//
// A failed call sets `error` to one line naming the file and takes everything back: the
// temporary file is removed, an append is cut back. So does a signal that ends the program
// (SIGINT, SIGTERM, SIGHUP, SIGXFSZ) before the commit, and an `Output` destroyed without
// a commit.
class Output {
 public:
  enum class Mode { kReplace, kAppend };
  // An empty `path` is standard output.
  Output(std::string path, Mode mode);
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;
  ~Output();

  bool Open(std::string& error);
  bool Write(std::string_view data, std::string& error);
  bool Commit(std::string& error);

 private:
  bool Fail(int err, std::string& error);
  void Abort();

  std::string path_;
  Mode mode_;
  int fd_ = -1;
  std::string target_;          // kReplace: the file to replace, links resolved
  std::string temp_;            // kReplace: the temporary file, until it is renamed
  long long append_from_ = -1;  // kAppend to a regular file: its length before
  bool committed_ = false;
  bool cut_back_failed_ = false;
};

}  // namespace lanzhou::cli

#endif  // LANZHOU_CLI_ATOMIC_OUTPUT_H_
