// Writing result files so that nobody is left with half of one: a file is replaced as a whole
// or not at all, and an append is taken back whole when it fails. The pages and lanzhou-cli
// write every result through here.
#ifndef LANZHOU_SERVICES_FILE_WRITER_H_
#define LANZHOU_SERVICES_FILE_WRITER_H_

#include <string>
#include <string_view>

namespace lanzhou {

// One result on its way to a file: opened, written in pieces, then committed. Until the
// commit no reader sees a part of a replacement.
//
//   kReplace: the pieces go to a temporary file in the directory of the target, which is
//     flushed to the disk and renamed over the target on commit; the rename is then made
//     durable by syncing the directory. A symbolic link is followed (the file it names is
//     replaced, the link stays). A replaced file keeps its permission bits (and its owner
//     where the process may give it, as root); a new one gets 0666 less the umask. A target
//     that exists and is no regular file (a device, a pipe) is written in place.
//   kAppend: the pieces are appended to the target (created when missing). Should anything
//     fail, the file is cut back to the length it had when it was opened.
//
// A failure sets `error()` to the errno of the step that failed (EISDIR for a directory) and
// takes everything back: the temporary file is removed, an append is cut back. So does a
// signal that ends the program (SIGINT, SIGTERM, SIGHUP, SIGXFSZ) before the commit, and an
// `OutputFile` destroyed without a commit.
//
//   OutputFile out("/tmp/result.txt", OutputFile::Mode::kReplace);
//   bool ok = out.Open() && out.Write("a\r\n") && out.Write("b") && out.Commit();
class OutputFile {
 public:
  enum class Mode { kReplace, kAppend };

  // `native_path` is a UTF-8 path; an empty one fails to open with ENOENT.
  OutputFile(std::string native_path, Mode mode);
  // An open descriptor (standard output), written in place and left open.
  explicit OutputFile(int descriptor);
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  ~OutputFile();

  bool Open();
  bool Write(std::string_view data);
  bool Commit();

  int error() const { return error_; }
  // True when a failed append could not be cut back (the appended bytes stay).
  bool cut_back_failed() const { return cut_back_failed_; }

 private:
  bool OpenReplacement();
  bool OpenAppend();
  bool Fail(int err);
  void Abandon();

  std::string path_;
  Mode mode_ = Mode::kReplace;
  int fd_ = -1;
  bool own_fd_ = true;          // false for a descriptor handed in
  std::string target_;          // kReplace: the file to replace, links resolved
  std::string temporary_;       // kReplace: the temporary file, until it is renamed
  long long append_from_ = -1;  // kAppend to a regular file: its length before
  bool committed_ = false;
  bool cut_back_failed_ = false;
  int error_ = 0;
};

// Takes back what the output being written has done so far: removes its temporary file or
// cuts its append back. Only async-signal-safe calls; for handlers of signals that end the
// program (a mapped input that shrank raises SIGBUS).
void AbandonOutputInSignalHandler();

}  // namespace lanzhou

#endif  // LANZHOU_SERVICES_FILE_WRITER_H_
