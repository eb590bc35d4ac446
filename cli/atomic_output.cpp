#include "cli/atomic_output.h"

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace lanzhou::cli {
namespace {

// A signal that ends the program (Ctrl-C, kill, a closed terminal) while a temporary file exists or
// an append is under way must not leave the temporary file behind or half the lines appended: the
// handler removes the one or cuts the other back, then lets the signal end the program as it
// would have. Only async-signal-safe calls happen in the handler.
namespace interrupt {

enum Mode : int { kNone = 0, kRemoveTemporary = 1, kCutBack = 2 };
volatile sig_atomic_t mode = kNone;
char temporary[PATH_MAX];
int append_fd = -1;
off_t append_size = 0;
// SIGXFSZ: a write beyond the file size limit (ulimit -f) ends the program the same way.
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGXFSZ};

extern "C" void OnSignal(int sig) {
  if (mode == kRemoveTemporary) unlink(temporary);
  if (mode == kCutBack) (void)!ftruncate(append_fd, append_size);
  signal(sig, SIG_DFL);
  raise(sig);
}

void Install() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  for (int sig : kSignals) {
    struct sigaction old {};
    // A signal ignored by whoever started us (nohup) stays ignored.
    if (sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    sigaction(sig, &action, nullptr);
  }
}

void GuardTemporary(const std::string& path) {
  if (path.size() >= sizeof temporary) return;
  Install();
  std::memcpy(temporary, path.c_str(), path.size() + 1);
  mode = kRemoveTemporary;
}

void GuardAppend(int fd, off_t size) {
  Install();
  append_fd = fd;
  append_size = size;
  mode = kCutBack;
}

void Clear() { mode = kNone; }

}  // namespace interrupt

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

bool WriteAll(int fd, std::string_view data, int& err) {
  while (!data.empty()) {
    // Linux moves at most about 2 GiB per call; smaller steps keep partial writes simple.
    std::size_t step = data.size() < (std::size_t{1} << 30) ? data.size() : std::size_t{1} << 30;
    ssize_t n = write(fd, data.data(), step);
    if (n < 0) {
      if (errno == EINTR) continue;
      err = errno;
      return false;
    }
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// The file a symbolic link finally names, so that replacing keeps the link. Paths that do
// not resolve (a new file, a dangling link) are used as given.
std::string ResolveTarget(const std::string& path) {
  struct stat st {};
  if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
  char resolved[PATH_MAX];
  if (realpath(path.c_str(), resolved) == nullptr) return path;
  return resolved;
}

mode_t NewFileMode() {
  mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

std::string Failure(const std::string& path, int err) {
  return (path.empty() ? std::string("cannot write standard output")
                       : "cannot write " + Quoted(path)) +
         ": " + std::strerror(err);
}

}  // namespace

Output::Output(std::string path, Mode mode) : path_(std::move(path)), mode_(mode) {}

Output::~Output() {
  if (!committed_) Abort();
}

bool Output::Open(std::string& error) {
  if (path_.empty()) {
    fd_ = STDOUT_FILENO;
    return true;
  }
  if (mode_ == Mode::kAppend) {
    fd_ = open(path_.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    struct stat st {};
    if (fd_ < 0 || fstat(fd_, &st) != 0) return Fail(errno, error);
    // A device or a pipe has nothing to take back.
    if (S_ISREG(st.st_mode)) {
      append_from_ = st.st_size;
      interrupt::GuardAppend(fd_, st.st_size);
    }
    return true;
  }
  target_ = ResolveTarget(path_);
  struct stat existing {};
  const bool exists = stat(target_.c_str(), &existing) == 0;
  if (exists && S_ISDIR(existing.st_mode)) return Fail(EISDIR, error);
  if (exists && !S_ISREG(existing.st_mode)) {
    // A device or a pipe (-o /dev/stdout) is written in place; there is nothing to replace.
    fd_ = open(target_.c_str(), O_WRONLY | O_CLOEXEC);
    return fd_ >= 0 || Fail(errno, error);
  }
  const std::string::size_type slash = target_.rfind('/');
  const std::string dir = slash == std::string::npos ? "" : target_.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? target_ : target_.substr(slash + 1);
  std::string temp = dir + "." + base + ".XXXXXX";
  fd_ = mkostemp(temp.data(), O_CLOEXEC);
  if (fd_ < 0) return Fail(errno, error);
  temp_ = std::move(temp);
  interrupt::GuardTemporary(temp_);
  if (exists) {
    // The new file takes the old one's owner where we may give it (as root); otherwise it
    // is ours, as any file we write.
    (void)!fchown(fd_, existing.st_uid, existing.st_gid);
  }
  const mode_t mode = exists ? (existing.st_mode & 07777) : NewFileMode();
  return fchmod(fd_, mode) == 0 || Fail(errno, error);
}

bool Output::Write(std::string_view data, std::string& error) {
  int err = 0;
  return WriteAll(fd_, data, err) || Fail(err, error);
}

bool Output::Commit(std::string& error) {
  if (path_.empty()) {
    committed_ = true;
    return true;
  }
  // The data must be on the disk before the name points at it, or a crash could leave an
  // empty file where the old one stood.
  if (!temp_.empty() && fsync(fd_) != 0) return Fail(errno, error);
  if (close(fd_) != 0) {
    fd_ = -1;
    return Fail(errno, error);
  }
  fd_ = -1;
  if (!temp_.empty() && rename(temp_.c_str(), target_.c_str()) != 0) return Fail(errno, error);
  committed_ = true;
  interrupt::Clear();
  return true;
}

bool Output::Fail(int err, std::string& error) {
  error = Failure(path_, err);
  Abort();
  if (cut_back_failed_) error += "; the lines appended so far could not be taken back";
  return false;
}

void Output::Abort() {
  if (path_.empty()) return;
  if (append_from_ >= 0 && fd_ >= 0 && ftruncate(fd_, append_from_) != 0) {
    cut_back_failed_ = true;
  }
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
  if (!temp_.empty()) unlink(temp_.c_str());
  temp_.clear();
  append_from_ = -1;
  interrupt::Clear();
}

}  // namespace lanzhou::cli
