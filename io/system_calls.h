// The system calls through which the file code (io/) and the save folder read and write, in one
// replaceable table so that tests can make any one of them fail (fault injection).
#ifndef LANZHOU_IO_SYSTEM_CALLS_H_
#define LANZHOU_IO_SYSTEM_CALLS_H_

#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>
#include <functional>
#include <optional>
#include <string_view>

namespace lanzhou {

// Every call has the signature and the errno contract of the libc function of its name;
// `open` always receives a mode (ignored without O_CREAT or O_TMPFILE).
struct SystemCalls {
  int (*open)(const char* path, int flags, mode_t mode);
  ssize_t (*read)(int fd, void* data, std::size_t size);
  ssize_t (*write)(int fd, const void* data, std::size_t size);
  ssize_t (*pwrite)(int fd, const void* data, std::size_t size, off_t offset);
  int (*fsync)(int fd);
  int (*rename)(const char* from, const char* to);
  int (*linkat)(int from_dir, const char* from, int to_dir, const char* to, int flags);
  int (*ftruncate)(int fd, off_t length);
  int (*flock)(int fd, int operation);
  void* (*mmap)(void* address, std::size_t length, int protection, int flags, int fd, off_t offset);
  ssize_t (*pread)(int fd, void* data, std::size_t size, off_t offset);
  int (*unlink)(const char* path);
  int (*close)(int fd);
  int (*stat)(const char* path, struct stat* status);
  int (*faccessat)(int dir, const char* path, int mode, int flags);
  int (*mkdir)(const char* path, mode_t mode);
};

// Writes all of `data` at the descriptor's position with `Sys().write`, or from `offset` on
// with `Sys().pwrite` (the position stays), again after EINTR and after a partial write; on
// failure `err` is the errno (EIO for a write of nothing).
//   WriteAll(fd, "abc", err);     // at the position, which moves on by 3
//   WriteAll(fd, "abc", err, 10); // bytes 10 to 12 of the file
bool WriteAll(int fd, std::string_view data, int& err, std::optional<off_t> offset = std::nullopt);

// Reads into `data` with `Sys().read` at the descriptor's position, or from `offset` on with
// `Sys().pread`, again after EINTR and after a short read, until `size` bytes are in, the end
// is reached, or `enough` (when given) says so of the bytes one call brought. The count
// read, or -1 with `err` the errno.
//   ReadAll(fd, buffer, 4096, err);                           // a whole block, or to the end
//   ReadAll(fd, buffer, 4096, err, std::nullopt, has_zero);  // stops after a zero byte
long long ReadAll(int fd, char* data, std::size_t size, int& err,
                  std::optional<off_t> offset = std::nullopt,
                  const std::function<bool(std::string_view)>& enough = nullptr);

// The table in use: the real calls unless a test has put others in.
const SystemCalls& Sys();

// The libc functions themselves, for a test table that fails some calls and passes the rest.
const SystemCalls& RealSystemCalls();

// Puts `calls` in use until the object is destroyed (tests only; not thread-safe).
//   ScopedSystemCalls faults(table_that_fails_the_third_write);
class ScopedSystemCalls {
 public:
  explicit ScopedSystemCalls(const SystemCalls& calls);
  ~ScopedSystemCalls();
  ScopedSystemCalls(const ScopedSystemCalls&) = delete;
  ScopedSystemCalls& operator=(const ScopedSystemCalls&) = delete;

 private:
  const SystemCalls* saved_;
};

}  // namespace lanzhou

#endif  // LANZHOU_IO_SYSTEM_CALLS_H_
