#include "io/file_writer.h"

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>

#include "io/process_start.h"
#include "io/system_calls.h"
#include "io/temp_file.h"

namespace lanzhou {
namespace {

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Takes an append back, under its lock: cuts the file to `from`, the length it had when the
// lock was taken, which removes exactly our own bytes; a file the append created is emptied
// and then removed while `path` still names it (emptied first, so that nothing of ours
// survives should the name have moved meanwhile). Only async-signal-safe calls: the handler
// of a signal that ends the program takes an append back with it too. False when the cut
// failed (our bytes stay).
bool CutBackAppend(int fd, const char* path, off_t from, bool created) {
  const bool cut = Sys().ftruncate(fd, created ? 0 : from) == 0;
  struct stat held {
  }, named{};
  if (created && ::fstat(fd, &held) == 0 && ::stat(path, &named) == 0 && SameFile(held, named)) {
    ::unlink(path);
  }
  return cut;
}

// A signal that ends the program (Ctrl-C, kill, a closed terminal, a write past the file size
// limit) while a temporary file exists or an append is under way must not leave the file
// behind or half the lines appended: the handler removes the one or cuts the other back, then
// lets the signal end the program as it would have. The process writes one output at a time,
// and only the thread that writes it takes it back: had another thread cut the file back, a
// write still under way on the writer could land after the cut.
namespace guard {

enum Action : int { kNone = 0, kRemoveTemporary = 1, kCutBack = 2 };
volatile sig_atomic_t action = kNone;
char path[PATH_MAX];
int append_fd = -1;
off_t append_size = 0;
bool append_created = false;
volatile pid_t writer = 0;       // the thread that set the action
volatile sig_atomic_t held = 0;  // a committing output holds the signals until the exit
// A write past the file size limit is not among them: SIGXFSZ is ignored (`Open`), so that
// the write fails with EFBIG and the output is taken back as after any failed write.
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

void Undo() {
  switch (action) {
    case kRemoveTemporary:
      ::unlink(path);
      break;
    case kCutBack:
      (void)CutBackAppend(append_fd, path, append_size, append_created);
      break;
  }
  action = kNone;
}

// When another thread writes the output under way, hands it `sig` to handle.
bool HandToWriter(int sig) {
  if (action == kNone || writer == ::gettid()) return false;
  ::tgkill(::getpid(), writer, sig);
  return true;
}

extern "C" void OnSignal(int sig) {
  // Another thread got it while the writer commits with the signals blocked: the result is
  // whole, and the program exits as its commit says.
  if (held) return;
  if (HandToWriter(sig)) return;
  Undo();
  ::signal(sig, SIG_DFL);
  ::raise(sig);
}

void Install() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  for (int sig : kSignals) {
    struct sigaction old {};
    // A signal ignored by whoever started us (nohup) stays ignored.
    if (::sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
    struct sigaction handler {};
    handler.sa_handler = OnSignal;
    sigemptyset(&handler.sa_mask);
    ::sigaction(sig, &handler, nullptr);
  }
}

void Set(Action what, const std::string& name, int fd = -1, off_t size = 0, bool created = false) {
  if (name.size() >= sizeof path) return;
  Install();
  action = kNone;
  std::memcpy(path, name.c_str(), name.size() + 1);
  append_fd = fd;
  append_size = size;
  append_created = created;
  writer = ::gettid();
  action = what;
}

void Clear() { action = kNone; }

// Blocks the signals in this thread, for the rest of the program.
void Hold() {
  Install();
  held = 1;
  sigset_t signals;
  sigemptyset(&signals);
  for (int sig : kSignals) sigaddset(&signals, sig);
  ::pthread_sigmask(SIG_BLOCK, &signals, nullptr);
}

}  // namespace guard

std::string DirectoryOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// The descriptor a path names, as the shell's redirections pass them on: /dev/stdout,
// /dev/stderr, /dev/stdin, /dev/fd/N and /proc/self/fd/N (or /proc/<our pid>/fd/N); -1 for
// any other path.
int NamedDescriptor(std::string_view path) {
  if (path == "/dev/stdin") return STDIN_FILENO;
  if (path == "/dev/stdout") return STDOUT_FILENO;
  if (path == "/dev/stderr") return STDERR_FILENO;
  const std::string own = "/proc/" + std::to_string(::getpid()) + "/fd/";
  for (std::string_view prefix :
       {std::string_view("/dev/fd/"), std::string_view("/proc/self/fd/"), std::string_view(own)}) {
    if (!path.starts_with(prefix)) continue;
    const std::string_view digits = path.substr(prefix.size());
    int fd = -1;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), fd);
    if (ec == std::errc() && end == digits.data() + digits.size() && !digits.empty()) return fd;
  }
  return -1;
}

// Whether a link owned by `owner` in `directory` may be followed, by the rule the kernel
// applies where it protects links (fs.protected_symlinks): in a sticky folder that everyone
// may write (/tmp), only a link of ours or of the folder's owner. Anyone may plant a link
// there, and one of another user would lead our write to a file of their choosing. Applied
// here whatever the host's setting, for the links are followed here, not by the kernel.
bool MayFollowLink(const std::string& directory, uid_t owner) {
  if (owner == ::geteuid()) return true;
  struct stat folder {};
  if (::stat(directory.empty() ? "." : directory.c_str(), &folder) != 0) return false;
  const bool shared = (folder.st_mode & S_ISVTX) != 0 && (folder.st_mode & S_IWOTH) != 0;
  return !shared || owner == folder.st_uid;
}

// Where a chain of symbolic links leads.
struct FollowedPath {
  std::string path;  // the file the chain finally names
  int error = 0;     // ELOOP, or EACCES for a link that `MayFollowLink` refuses
  std::string link;  // EACCES: that link
  uid_t owner = 0;   // and its owner
};

// The file a chain of symbolic links finally names, also when it does not exist yet (a
// dangling link: that name is created). A path that is no link comes back as it is, and so
// does one that names a descriptor (/dev/stdout is a link to the file behind it). ELOOP for a
// loop or a chain longer than the system follows: there is no file to write, and the link
// must not be replaced by one. EACCES for a link of another user in a shared sticky folder.
FollowedPath FollowLinks(std::string path) {
  for (int hops = 0; hops <= 40; ++hops) {
    struct stat st {};
    if (NamedDescriptor(path) >= 0) return {path, 0, {}, 0};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return {path, 0, {}, 0};
    if (!MayFollowLink(DirectoryOf(path), st.st_uid)) {
      return {path, EACCES, path, st.st_uid};
    }
    char target[PATH_MAX];
    const ssize_t n = ::readlink(path.c_str(), target, sizeof target - 1);
    if (n < 0) return {path, 0, {}, 0};
    const std::string next(target, static_cast<std::size_t>(n));
    path = next.starts_with('/') ? next : DirectoryOf(path) + next;
  }
  return {path, ELOOP, {}, 0};
}

mode_t NewFileMode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

// Makes a rename in `directory` durable; a failure here loses nothing that was promised.
void SyncDirectory(const std::string& directory) {
  const int fd = Sys().open(directory.empty() ? "." : directory.c_str(),
                            O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
  if (fd < 0) return;
  (void)Sys().fsync(fd);
  ::close(fd);
}

// Connects to the stream socket at `path`; -1 with errno set.
int ConnectSocket(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) {
    errno = ENAMETOOLONG;
    return -1;
  }
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    const int err = errno;
    ::close(fd);
    errno = err;
    return -1;
  }
  return fd;
}

}  // namespace

OutputFile::OutputFile(std::string native_path, Mode mode)
    : path_(std::move(native_path)), mode_(mode) {}

OutputFile::OutputFile(int descriptor) : fd_(descriptor), own_fd_(false) {}

OutputFile::~OutputFile() {
  if (!committed_) Abandon();
}

bool OutputFile::Open() {
  if (!own_fd_) return true;
  IgnoreFileSizeSignal();
  if (path_.empty()) return Fail(ENOENT);
  // A new file goes beside the name asked for: a link there is a name that is taken.
  if (mode_ == Mode::kCreate) {
    target_ = path_;
  } else {
    FollowedPath followed = FollowLinks(path_);
    if (followed.error == EACCES) {
      problem_ = Problem::kLinkOfAnother;
      refused_link_ = std::move(followed.link);
      refused_link_owner_ = followed.owner;
    }
    if (followed.error != 0) return Fail(followed.error);
    target_ = std::move(followed.path);
  }
  if (const int named = NamedDescriptor(target_); named >= 0) {
    const int flags = ::fcntl(named, F_GETFL);
    if (flags < 0) return Fail(errno);
    if ((flags & O_ACCMODE) == O_RDONLY) return Fail(EBADF);
    fd_ = named;
    own_fd_ = false;
    return true;
  }
  struct stat existing {};
  const bool exists = ::stat(target_.c_str(), &existing) == 0;
  // Only a name that does not exist yet is new: any other failure (a loop further up the
  // path, a folder we may not search) is the answer.
  if (!exists && errno != ENOENT) return Fail(errno);
  if (exists && S_ISDIR(existing.st_mode)) return Fail(EISDIR);
  if (exists && S_ISSOCK(existing.st_mode)) {
    fd_ = ConnectSocket(target_);
    return fd_ >= 0 || Fail(errno);
  }
  // A device or a FIFO is written in place; there is nothing to replace or take back.
  if (exists && !S_ISREG(existing.st_mode)) return OpenInPlace(target_, O_WRONLY);
  if (mode_ == Mode::kAppend) return OpenAppend();
  RemoveTemporariesOfDeadWriters(DirectoryOf(target_));
  // A name that is taken is not replaced; the commit looks for a free one.
  if (!exists || mode_ == Mode::kCreate) return OpenReplacement(nullptr);
  // As the shell judges `>`: with the effective user's rights, which for root pass anyway.
  if (::faccessat(AT_FDCWD, target_.c_str(), W_OK, AT_EACCESS) != 0) return Fail(errno);
  if (existing.st_uid != ::geteuid() && ::geteuid() != 0 && !take_ownership_) {
    // The new file would be ours, and rewriting the old one in place could leave it half old
    // and half new after a failure or a kill: refused unless the caller lets us take it.
    problem_ = Problem::kOwnedByAnother;
    return Fail(EPERM);
  }
  return OpenReplacement(&existing);
}

bool OutputFile::OpenInPlace(const std::string& path, int flags) {
  fd_ = Sys().open(path.c_str(), flags | O_CLOEXEC, 0);
  return fd_ >= 0 || Fail(errno);
}

bool OutputFile::OpenReplacement(const struct stat* replaced) {
  const std::string directory = DirectoryOf(target_);
  // An unnamed file needs /proc to be linked in later without privileges.
  if (::access("/proc/self/fd", X_OK) == 0) {
    fd_ = Sys().open(directory.empty() ? "." : directory.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC,
                     0600);
    unnamed_ = fd_ >= 0;
  }
  if (fd_ < 0) {
    fd_ = MakeTemporaryName(
        directory, target_.substr(directory.size()), temporary_, [](const std::string& name) {
          return Sys().open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        });
    if (fd_ < 0) {
      const int err = errno;
      temporary_.clear();
      return Fail(err);
    }
    guard::Set(guard::kRemoveTemporary, temporary_);
  }
  // The owner first: giving the file away may clear set-user-ID bits that the mode restores.
  if (replaced != nullptr) (void)!::fchown(fd_, replaced->st_uid, replaced->st_gid);
  const mode_t mode = replaced != nullptr ? replaced->st_mode & 07777 : NewFileMode();
  return ::fchmod(fd_, mode) == 0 || Fail(errno);
}

bool OutputFile::OpenAppend() {
  for (int attempt = 0; attempt < 100; ++attempt) {
    created_ = false;
    readable_ = true;
    fd_ = Sys().open(target_.c_str(), O_RDWR | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd_ >= 0) {
      created_ = true;
    } else if (errno == EEXIST) {
      fd_ = Sys().open(target_.c_str(), O_RDWR | O_APPEND | O_CLOEXEC, 0);
      if (fd_ < 0 && errno == EACCES) {
        // A file we may append to but not read: its last byte stays unseen.
        readable_ = false;
        fd_ = Sys().open(target_.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC, 0);
      }
      if (fd_ < 0 && errno == ENOENT) continue;  // removed in between: try again
    }
    if (fd_ < 0) return Fail(errno);
    if (!Lock()) return false;
    // While we waited, the file may have been removed (a failed merge that created it) or
    // replaced: then start again with the file that has the name now. Its length counts only
    // from here, under the lock: what another writer appended while we waited is not ours.
    struct stat held {
    }, named{};
    if (::fstat(fd_, &held) != 0) return Fail(errno);
    if (::stat(target_.c_str(), &named) == 0 && SameFile(held, named)) {
      append_from_ = held.st_size;
      // Another merge appended to the file we created before we got the lock: it is no
      // longer ours alone to remove.
      created_ = created_ && held.st_size == 0;
      guard::Set(guard::kCutBack, target_, fd_, held.st_size, created_);
      return StartOnALine();
    }
    ::close(fd_);
    fd_ = -1;
  }
  return Fail(EAGAIN);
}

bool OutputFile::Lock() {
  if (Sys().flock(fd_, LOCK_EX | LOCK_NB) == 0) return true;
  if (errno != EWOULDBLOCK) return Fail(errno);
  if (on_wait_) on_wait_();
  on_wait_ = nullptr;
  if (while_waiting_) {
    int locked = -1;
    do {
      while_waiting_();
      const timespec pause{0, 50'000'000};
      ::nanosleep(&pause, nullptr);
      locked = Sys().flock(fd_, LOCK_EX | LOCK_NB);
    } while (locked != 0 && (errno == EWOULDBLOCK || errno == EINTR));
    return locked == 0 || Fail(errno);
  }
  while (Sys().flock(fd_, LOCK_EX) != 0) {
    if (errno != EINTR) return Fail(errno);
  }
  return true;
}

bool OutputFile::StartOnALine() {
  if (append_from_ == 0 || !readable_) return true;
  char last = '\n';
  int err = 0;
  const long long n = ReadAll(fd_, &last, 1, err, append_from_ - 1);
  if (n != 1) return Fail(n < 0 ? err : EIO);
  if (last == '\n') return true;
  // A writer killed mid-line (SIGKILL cannot be caught) left half a line: ours start after
  // a line end of our own, which a failure takes back with the rest; the half line stays for
  // the user to see.
  ended_partial_line_ = true;
  return Write("\r\n");
}

bool OutputFile::Write(std::string_view data) {
  int err = 0;
  return WriteAll(fd_, data, err) || Fail(err);
}

bool OutputFile::LinkIn() {
  char proc[64];
  std::snprintf(proc, sizeof proc, "/proc/self/fd/%d", fd_);
  auto link = [&proc](const std::string& name) {
    return Sys().linkat(AT_FDCWD, proc, AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW);
  };
  // A new name is linked straight in; an existing file is replaced by a rename, which needs
  // the new file to have a name of its own first.
  if (link(target_) == 0) return true;
  if (errno != EEXIST) return Fail(errno);
  const std::string directory = DirectoryOf(target_);
  if (MakeTemporaryName(directory, target_.substr(directory.size()), temporary_, link) < 0) {
    const int err = errno;
    temporary_.clear();
    return Fail(err);
  }
  guard::Set(guard::kRemoveTemporary, temporary_);
  return true;
}

bool OutputFile::LinkUnderFreeName() {
  // A link never replaces a file, so whichever writer links a name first keeps it, and the
  // others go on to the next number.
  constexpr int kMostNumbers = 100000;
  char proc[64];
  std::snprintf(proc, sizeof proc, "/proc/self/fd/%d", fd_);
  for (int n = 1; n <= kMostNumbers; ++n) {
    const std::string name = NumberedName(target_, n);
    const int linked = unnamed_
                           ? Sys().linkat(AT_FDCWD, proc, AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW)
                           : Sys().linkat(AT_FDCWD, temporary_.c_str(), AT_FDCWD, name.c_str(), 0);
    if (linked == 0) {
      committed_number_ = n;
      if (!temporary_.empty()) {
        Sys().unlink(temporary_.c_str());
        temporary_.clear();
      }
      return true;
    }
    if (errno != EEXIST) return Fail(errno);
  }
  return Fail(EEXIST);
}

bool OutputFile::Commit() {
  if (!own_fd_) {
    committed_ = true;
    return true;
  }
  // Every byte is written: a signal that would end the program now waits for its exit, so
  // that the program either reports a kill and has taken the output back or reports success.
  if (hold_signals_) guard::Hold();
  if (append_from_ >= 0 && !StillNamed()) return false;
  // The data must be on the disk before the name points at it, or a crash could leave an
  // empty file where the old one stood.
  const bool replacing = unnamed_ || !temporary_.empty();
  if (replacing && Sys().fsync(fd_) != 0) return Fail(errno);
  if (mode_ == Mode::kCreate ? !LinkUnderFreeName() : unnamed_ && !LinkIn()) return false;
  // The guard's cut-back names the descriptor by its number, which the close frees for the
  // next file any thread opens: it goes first. A named temporary file it removes by its name,
  // up to the rename.
  if (temporary_.empty()) guard::Clear();
  // Closing also releases an append's lock, after the last byte is in.
  const int closed = Sys().close(fd_);
  fd_ = -1;
  if (closed != 0) return Fail(errno);
  if (!temporary_.empty()) {
    if (Sys().rename(temporary_.c_str(), target_.c_str()) != 0) return Fail(errno);
    temporary_.clear();
    guard::Clear();
  }
  if (replacing) SyncDirectory(DirectoryOf(target_));
  committed_ = true;
  return true;
}

bool OutputFile::StillNamed() {
  // Another program may have removed or renamed the file, or put another in its place,
  // while we appended: our lines would then not be where the name leads.
  struct stat held {
  }, named{};
  if (::fstat(fd_, &held) != 0) return Fail(errno);
  if (::stat(target_.c_str(), &named) == 0 && SameFile(held, named)) return true;
  problem_ = Problem::kNameMoved;
  return Fail(ENOENT);
}

bool OutputFile::Fail(int err) {
  error_ = err != 0 ? err : EIO;
  Abandon();
  return false;
}

void OutputFile::Abandon() {
  if (!own_fd_) return;
  if (fd_ >= 0 && created_ && append_from_ < 0) {
    // Failed before the lock was ours: the empty file we created goes, unless another merge
    // holds it by now.
    struct stat held {
    }, named{};
    if (Sys().flock(fd_, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd_, &held) == 0 && held.st_size == 0 &&
        ::stat(target_.c_str(), &named) == 0 && SameFile(held, named)) {
      ::unlink(target_.c_str());
    }
  }
  if (fd_ >= 0 && append_from_ >= 0 &&
      !CutBackAppend(fd_, target_.c_str(), append_from_, created_)) {
    // Still under the lock: the bytes past `append_from_` are ours alone.
    cut_back_failed_ = true;
  }
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temporary_.empty()) ::unlink(temporary_.c_str());
  temporary_.clear();
  append_from_ = -1;
  guard::Clear();
}

std::string NumberedName(std::string_view path, int n) {
  if (n < 2) return std::string(path);
  const std::size_t slash = path.rfind('/');
  const std::size_t name = slash == std::string_view::npos ? 0 : slash + 1;
  std::size_t dot = path.rfind('.');
  // A leading dot starts a hidden name, not an extension.
  if (dot == std::string_view::npos || dot <= name) dot = path.size();
  return std::string(path.substr(0, dot)) + "_" + std::to_string(n) + std::string(path.substr(dot));
}

void AbandonOutputInSignalHandler() { guard::Undo(); }

bool HandOutputSignalToItsWriter(int sig) { return guard::HandToWriter(sig); }

}  // namespace lanzhou
