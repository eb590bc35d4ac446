#include "services/file_writer.h"

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "services/system_calls.h"

namespace lanzhou {
namespace {

// A signal that ends the program (Ctrl-C, kill, a closed terminal, a write past the file size
// limit) while a temporary file exists or an append is under way must not leave the file
// behind or half the lines appended: the handler removes the one or cuts the other back, then
// lets the signal end the program as it would have. The process writes one output at a time.
namespace guard {

enum Action : int { kNone = 0, kRemoveTemporary = 1, kCutBack = 2 };
volatile sig_atomic_t action = kNone;
char temporary[PATH_MAX];
int append_fd = -1;
off_t append_size = 0;
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGXFSZ};

void Undo() {
  if (action == kRemoveTemporary) ::unlink(temporary);
  if (action == kCutBack) (void)!Sys().ftruncate(append_fd, append_size);
  action = kNone;
}

extern "C" void OnSignal(int sig) {
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

void RemoveOnSignal(const std::string& path) {
  if (path.size() >= sizeof temporary) return;
  Install();
  std::memcpy(temporary, path.c_str(), path.size() + 1);
  action = kRemoveTemporary;
}

void CutBackOnSignal(int fd, off_t size) {
  Install();
  append_fd = fd;
  append_size = size;
  action = kCutBack;
}

void Clear() { action = kNone; }

}  // namespace guard

bool WriteAll(int fd, std::string_view data, int& err) {
  while (!data.empty()) {
    // Linux moves at most about 2 GiB per call; smaller steps keep partial writes simple.
    const std::size_t step =
        data.size() < (std::size_t{1} << 30) ? data.size() : std::size_t{1} << 30;
    const ssize_t n = Sys().write(fd, data.data(), step);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      err = n < 0 ? errno : EIO;
      return false;
    }
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// The file a symbolic link finally names, so that replacing keeps the link. Paths that do
// not resolve (a new file, a dangling link) are used as given.
std::string ResolveLink(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
  char resolved[PATH_MAX];
  if (::realpath(path.c_str(), resolved) == nullptr) return path;
  return resolved;
}

mode_t NewFileMode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

// Creates a new file named `directory` + ".<base>.XXXXXX" (random letters); its name goes to
// `name`. -1 with errno set on failure.
int CreateTemporary(const std::string& directory, const std::string& base, std::string& name) {
  static unsigned long counter = 0;
  constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  for (int attempt = 0; attempt < 100; ++attempt) {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    unsigned long seed = static_cast<unsigned long>(now.tv_nsec) * 2654435761UL ^
                         static_cast<unsigned long>(::getpid()) << 16 ^ ++counter * 40503UL;
    name = directory + "." + base + ".";
    for (int i = 0; i < 6; ++i, seed /= 62) name += kLetters[seed % 62];
    const int fd = Sys().open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

// Makes a rename in `directory` durable; a failure here loses nothing that was promised.
void SyncDirectory(const std::string& directory) {
  const int fd = Sys().open(directory.empty() ? "." : directory.c_str(),
                            O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
  if (fd < 0) return;
  (void)Sys().fsync(fd);
  ::close(fd);
}

std::string DirectoryOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
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
  if (path_.empty()) return Fail(ENOENT);
  return mode_ == Mode::kAppend ? OpenAppend() : OpenReplacement();
}

bool OutputFile::OpenAppend() {
  fd_ = Sys().open(path_.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
  struct stat st {};
  if (fd_ < 0 || ::fstat(fd_, &st) != 0) return Fail(errno);
  // A device or a pipe has nothing to take back.
  if (S_ISREG(st.st_mode)) {
    append_from_ = st.st_size;
    guard::CutBackOnSignal(fd_, st.st_size);
  }
  return true;
}

bool OutputFile::OpenReplacement() {
  target_ = ResolveLink(path_);
  struct stat existing {};
  const bool exists = ::stat(target_.c_str(), &existing) == 0;
  if (exists && S_ISDIR(existing.st_mode)) return Fail(EISDIR);
  if (exists && !S_ISREG(existing.st_mode)) {
    // A device or a pipe is written in place; there is nothing to replace.
    fd_ = Sys().open(target_.c_str(), O_WRONLY | O_CLOEXEC, 0);
    return fd_ >= 0 || Fail(errno);
  }
  const std::string directory = DirectoryOf(target_);
  fd_ = CreateTemporary(directory, target_.substr(directory.size()), temporary_);
  if (fd_ < 0) {
    temporary_.clear();
    return Fail(errno);
  }
  guard::RemoveOnSignal(temporary_);
  // The new file takes the old one's owner where we may give it (as root); otherwise it is
  // ours, as any file we write.
  if (exists) (void)!::fchown(fd_, existing.st_uid, existing.st_gid);
  const mode_t mode = exists ? (existing.st_mode & 07777) : NewFileMode();
  return ::fchmod(fd_, mode) == 0 || Fail(errno);
}

bool OutputFile::Write(std::string_view data) {
  int err = 0;
  return WriteAll(fd_, data, err) || Fail(err);
}

bool OutputFile::Commit() {
  if (!own_fd_) {
    committed_ = true;
    return true;
  }
  // The data must be on the disk before the name points at it, or a crash could leave an
  // empty file where the old one stood.
  if (!temporary_.empty() && Sys().fsync(fd_) != 0) return Fail(errno);
  const int closed = ::close(fd_);
  fd_ = -1;
  if (closed != 0) return Fail(errno);
  if (!temporary_.empty()) {
    if (Sys().rename(temporary_.c_str(), target_.c_str()) != 0) return Fail(errno);
    temporary_.clear();
    SyncDirectory(DirectoryOf(target_));
  }
  committed_ = true;
  guard::Clear();
  return true;
}

bool OutputFile::Fail(int err) {
  error_ = err != 0 ? err : EIO;
  Abandon();
  return false;
}

void OutputFile::Abandon() {
  if (!own_fd_) return;
  if (append_from_ >= 0 && fd_ >= 0 && Sys().ftruncate(fd_, append_from_) != 0) {
    cut_back_failed_ = true;
  }
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temporary_.empty()) ::unlink(temporary_.c_str());
  temporary_.clear();
  append_from_ = -1;
  guard::Clear();
}

void AbandonOutputInSignalHandler() { guard::Undo(); }

}  // namespace lanzhou
