#include "io/system_calls.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace lanzhou {
namespace {

int OpenCall(const char* path, int flags, mode_t mode) { return ::open(path, flags, mode); }

const SystemCalls kReal = {
    OpenCall, ::read, ::write, ::pwrite, ::fsync, ::rename, ::linkat,    ::ftruncate,
    ::flock,  ::mmap, ::pread, ::unlink, ::close, ::stat,   ::faccessat, ::mkdir,
};

const SystemCalls* current = &kReal;

}  // namespace

const SystemCalls& Sys() { return *current; }

const SystemCalls& RealSystemCalls() { return kReal; }

ScopedSystemCalls::ScopedSystemCalls(const SystemCalls& calls) : saved_(current) {
  current = &calls;
}

ScopedSystemCalls::~ScopedSystemCalls() { current = saved_; }

bool WriteAll(int fd, std::string_view data, int& err, std::optional<off_t> offset) {
  while (!data.empty()) {
    // Linux moves at most about 2 GiB per call; smaller steps keep partial writes simple.
    const std::size_t step = std::min(data.size(), std::size_t{1} << 30);
    const ssize_t n =
        offset ? Sys().pwrite(fd, data.data(), step, *offset) : Sys().write(fd, data.data(), step);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      err = n < 0 ? errno : EIO;
      return false;
    }
    data.remove_prefix(static_cast<std::size_t>(n));
    if (offset) *offset += n;
  }
  return true;
}

long long ReadAll(int fd, char* data, std::size_t size, int& err, std::optional<off_t> offset,
                  const std::function<bool(std::string_view)>& enough) {
  std::size_t got = 0;
  while (got < size) {
    const ssize_t n = offset ? Sys().pread(fd, data + got, size - got, *offset + got)
                             : Sys().read(fd, data + got, size - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      err = errno;
      return -1;
    }
    if (n == 0) break;
    const std::string_view brought(data + got, static_cast<std::size_t>(n));
    got += static_cast<std::size_t>(n);
    if (enough && enough(brought)) break;
  }
  return static_cast<long long>(got);
}

}  // namespace lanzhou
