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

// An interrupt (Ctrl-C, kill, a closed terminal) while a temporary file exists or an append
// is under way must not leave the temporary file behind or half the lines appended: the
// handler removes the one or cuts the other back, then lets the signal end the program as it
// would have. Only async-signal-safe calls happen in the handler.
namespace interrupt {

enum Mode : int { kNone = 0, kRemoveTemporary = 1, kCutBack = 2 };
volatile sig_atomic_t mode = kNone;
char temporary[PATH_MAX];
int append_fd = -1;
off_t append_size = 0;
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

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

}  // namespace

bool ReplaceFile(const std::string& path, std::string_view data, std::string& error) {
  std::string target = ResolveTarget(path);
  struct stat existing {};
  bool exists = stat(target.c_str(), &existing) == 0;
  if (exists && S_ISDIR(existing.st_mode)) {
    error = "cannot write " + Quoted(path) + ": " + std::strerror(EISDIR);
    return false;
  }
  if (exists && !S_ISREG(existing.st_mode)) {
    // A device or a pipe (-o /dev/stdout) is written in place; there is nothing to replace.
    int fd = open(target.c_str(), O_WRONLY | O_CLOEXEC);
    int err = errno;
    bool ok = fd >= 0 && WriteAll(fd, data, err);
    if (fd >= 0 && close(fd) != 0 && ok) {
      err = errno;
      ok = false;
    }
    if (!ok) error = "cannot write " + Quoted(path) + ": " + std::strerror(err);
    return ok;
  }
  std::string::size_type slash = target.rfind('/');
  std::string dir = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
  std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
  std::string temp = dir + "." + base + ".XXXXXX";

  int fd = mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) {
    error = "cannot write " + Quoted(path) + ": " + std::strerror(errno);
    return false;
  }
  interrupt::GuardTemporary(temp);
  mode_t mode = exists ? (existing.st_mode & 07777) : NewFileMode();
  int err = 0;
  bool ok = fchmod(fd, mode) == 0 || (err = errno, false);
  ok = ok && WriteAll(fd, data, err);
  if (close(fd) != 0 && ok) {
    err = errno;
    ok = false;
  }
  if (ok && rename(temp.c_str(), target.c_str()) != 0) {
    err = errno;
    ok = false;
  }
  if (!ok) unlink(temp.c_str());
  interrupt::Clear();
  if (!ok) error = "cannot write " + Quoted(path) + ": " + std::strerror(err);
  return ok;
}

bool AppendToFile(const std::string& path, std::string_view data, std::string& error) {
  int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) {
    error = "cannot write " + Quoted(path) + ": " + std::strerror(errno);
    return false;
  }
  struct stat st {};
  int err = 0;
  bool ok = fstat(fd, &st) == 0 || (err = errno, false);
  if (ok && S_ISREG(st.st_mode)) interrupt::GuardAppend(fd, st.st_size);
  if (ok && !WriteAll(fd, data, err)) {
    ok = false;
    // Take back what did get written, so the file holds only whole runs. A device or a
    // pipe has nothing to take back.
    if (S_ISREG(st.st_mode) && ftruncate(fd, st.st_size) != 0) {
      error = "cannot write " + Quoted(path) + ": " + std::strerror(err) +
              "; the lines written so far could not be removed: " + std::strerror(errno);
      interrupt::Clear();
      close(fd);
      return false;
    }
  }
  interrupt::Clear();
  if (close(fd) != 0 && ok) {
    err = errno;
    ok = false;
  }
  if (!ok) error = "cannot write " + Quoted(path) + ": " + std::strerror(err);
  return ok;
}

bool WriteStandardOutput(std::string_view data, std::string& error) {
  int err = 0;
  if (!WriteAll(STDOUT_FILENO, data, err)) {
    error = std::string("cannot write standard output: ") + std::strerror(err);
    return false;
  }
  return true;
}

}  // namespace lanzhou::cli
