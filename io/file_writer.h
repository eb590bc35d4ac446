// Writing result files so that nobody is left with half of one, and nothing that belongs to
// someone else is lost or taken: a file is replaced as a whole or not at all, an append is
// made under a lock and taken back whole when it fails, and a path that names a descriptor
// or a device is written in place. The pages and lanzhou-cli write every result through here.
#ifndef LANZHOU_IO_FILE_WRITER_H_
#define LANZHOU_IO_FILE_WRITER_H_

#include <sys/stat.h>

#include <functional>
#include <string>
#include <string_view>

namespace lanzhou {

// One result on its way to a file: opened, written in pieces, then committed.
//
// What the path names decides how it is written:
//   - a descriptor (/dev/stdout, /dev/stderr, /dev/fd/N, /proc/self/fd/N): that descriptor,
//     already open, is written as it is, as shell redirection would (a `>>` stays an append);
//   - a character device, a FIFO or a socket: written in place;
//   - a symbolic link: the file it finally names (a dangling link: that file is created; a
//     loop, or a chain longer than the system follows, fails with ELOOP, the link untouched).
//     A link in a sticky folder that everyone may write (/tmp) is followed only when it is
//     ours or the folder owner's, as the kernel's link protection has it, whether or not the
//     host turned that on: another user's link there fails with EACCES and `problem()`
//     kLinkOfAnother (`refused_link()`, `refused_link_owner()`), nothing written;
//   - a regular file or a new name: replaced or appended to, as the mode says.
//
//   kReplace: the pieces go to an unnamed temporary file in the target's directory
//     (O_TMPFILE; where the file system lacks it or /proc is missing, a hidden file named
//     ".NAME.lanzhou-PID-XXXXXX"), which is flushed to the disk and only then put in place of
//     the target by a rename (an unnamed file gets that name just before); the directory is
//     synced. Until the commit no reader sees a part. A signal that can be caught removes
//     the named file; SIGKILL can leave it, and the next replacement in that directory
//     removes the temporary files of writers (by the PID in the name) that no longer run.
//     A target the user may not write (access(W_OK), as the shell judges) is refused with
//     EACCES (or EROFS). A replaced file keeps its permission bits and, where we may give it
//     away (root), its owner. Another user's file that we may write is refused with EPERM
//     and `problem()` kOwnedByAnother unless `set_take_ownership(true)`: the new file could
//     only be ours, and rewriting the old one in place could leave it half old and half new.
//     A new file gets 0666 less the umask.
//   kCreate: as kReplace, but nothing is replaced: the commit links the finished file in under
//     the path, or, when a file has that name already or takes it meanwhile (another window,
//     another process), under the first free `NumberedName(path, n)`, n = 2, 3, …; the link
//     fails when the name exists, so two writers never take the same name
//     (`committed_number()` says which one this file got).
//   kAppend: the pieces are appended to the target (created when missing) under an exclusive
//     advisory lock (flock) held from `Open` to the commit, so that merges into one file
//     follow one another whole; `on_wait` is called when another holder makes us wait. A
//     file that does not end in LF (a writer killed mid-line left half a line) first gets
//     CR LF, so that our lines start whole (`ended_partial_line()`). Should anything fail, the
//     file is cut back to the length it had when the lock was taken, which removes exactly
//     our own bytes, and a file this append created is removed. The commit fails with
//     `problem()` kNameMoved when the path no longer names the file we appended to (removed,
//     renamed, or replaced by another program meanwhile).
//
// A failure sets `error()` to the errno of the step that failed (EISDIR for a directory) and
// takes everything back. So does a signal that ends the program (SIGINT, SIGTERM, SIGHUP)
// before the commit, and an `OutputFile` destroyed without a commit. SIGXFSZ is ignored from
// the first `Open` on, so that a write past the file size limit fails (EFBIG) like any other.
//
//   OutputFile out("/tmp/result.txt", OutputFile::Mode::kReplace);
//   bool ok = out.Open() && out.Write("a\r\n") && out.Write("b") && out.Commit();
class OutputFile {
 public:
  enum class Mode { kReplace, kCreate, kAppend };
  // Why a step failed, where the errno alone does not say it.
  enum class Problem { kNone, kOwnedByAnother, kNameMoved, kLinkOfAnother };

  // `native_path` is a UTF-8 path; an empty one fails to open with ENOENT.
  OutputFile(std::string native_path, Mode mode);
  // An open descriptor (standard output), written in place and left open.
  explicit OutputFile(int descriptor);
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  ~OutputFile();

  // Called (once) before an append waits for the lock another process holds.
  void set_on_wait(std::function<void()> on_wait) { on_wait_ = std::move(on_wait); }
  // Instead of blocking while another process holds the lock, an append tries again every
  // 50 ms and calls `while_waiting` before each try, so that a window can show why it waits
  // and keep repainting. An exception it throws (a cancel) ends the wait and leaves things as
  // a failure before the lock does.
  void set_while_waiting(std::function<void()> while_waiting) {
    while_waiting_ = std::move(while_waiting);
  }

  // kReplace: another user's file that we may write is replaced by a file of ours.
  void set_take_ownership(bool take) { take_ownership_ = take; }
  // For a program that exits after the commit: from the start of `Commit` (every byte is
  // written) to the end of the program, SIGINT, SIGTERM and SIGHUP wait blocked. A program
  // that a signal ends has then taken its output back, and one that exits has the output the
  // commit reports, never a kill reported over a result that stays.
  void set_hold_signals_on_commit(bool hold) { hold_signals_ = hold; }

  bool Open();
  bool Write(std::string_view data);
  bool Commit();
  // Takes back what was written so far, as a failure does.
  void Abandon();

  int error() const { return error_; }
  // kCreate, after the commit: 1 when the path itself was free, else the `n` of the
  // `NumberedName` the file got.
  int committed_number() const { return committed_number_; }
  Problem problem() const { return problem_; }
  // kAppend: the file ended in half a line, and ours start after a CR LF of their own.
  bool ended_partial_line() const { return ended_partial_line_; }
  // True when a failed append could not be cut back (the appended bytes stay).
  bool cut_back_failed() const { return cut_back_failed_; }
  // kLinkOfAnother: the link that was not followed (a path as given or reached), its owner.
  const std::string& refused_link() const { return refused_link_; }
  uid_t refused_link_owner() const { return refused_link_owner_; }

 private:
  // The new file beside the target, with the owner and mode of the file it replaces, if any.
  bool OpenReplacement(const struct stat* replaced);
  bool OpenAppend();
  bool Lock();
  bool StartOnALine();
  bool StillNamed();
  bool OpenInPlace(const std::string& path, int flags);
  bool LinkIn();
  bool LinkUnderFreeName();
  bool Fail(int err);

  std::string path_;
  Mode mode_ = Mode::kReplace;
  int fd_ = -1;
  bool own_fd_ = true;     // false for a descriptor handed in or named
  std::string target_;     // kReplace: the file to replace, links resolved
  std::string temporary_;  // kReplace: the named temporary file, until it is renamed
  bool unnamed_ = false;   // kReplace: fd_ is an O_TMPFILE file, linked in on commit
  bool take_ownership_ = false;
  bool hold_signals_ = false;
  long long append_from_ = -1;  // kAppend to a regular file: its length when locked
  bool created_ = false;        // kAppend: the file did not exist before
  bool readable_ = true;        // kAppend: fd_ may be read (its last byte seen)
  bool ended_partial_line_ = false;
  Problem problem_ = Problem::kNone;
  bool committed_ = false;
  bool cut_back_failed_ = false;
  std::string refused_link_;
  uid_t refused_link_owner_ = 0;
  int error_ = 0;
  int committed_number_ = 1;
  std::function<void()> on_wait_;
  std::function<void()> while_waiting_;
};

// `path` with "_<n>" before the extension of its last component, for n >= 2; `path` itself
// for n < 2. Byte-wise, so a GB18030 path works as well as a UTF-8 one ("." and "/" are never
// part of a two- or four-byte character).
//   NumberedName("/d/分割后_2015年3月4日12时30分45秒.txt", 2) ==
//   "/d/分割后_2015年3月4日12时30分45秒_2.txt" NumberedName("/d.x/result", 3) == "/d.x/result_3"
std::string NumberedName(std::string_view path, int n);

// Takes back what the output being written has done so far: removes its temporary file or
// cuts its append back. Only async-signal-safe calls; for handlers of signals that end the
// program (a mapped input that shrank raises SIGBUS).
void AbandonOutputInSignalHandler();

// In a signal handler: when the output under way is written by another thread, sends that
// thread `sig` and returns true, for only the writer may take it back (a write of its own
// could otherwise land after the cut). False when this thread may call
// `AbandonOutputInSignalHandler` itself.
bool HandOutputSignalToItsWriter(int sig);

}  // namespace lanzhou

#endif  // LANZHOU_IO_FILE_WRITER_H_
