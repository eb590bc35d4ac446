// A temporary file of the distinct-pieces run that no directory lists (made unnamed, or
// unlinked at once, it goes with its descriptor however the program ends), with buffered
// appends; failures come as one line ("no space left for temporary files in '/tmp'").
//   file.Create(dir, 1 << 20, error) && file.Append(data, n, error) && file.Flush(error);
//   file.ReadAt(0, out, n, error) == n
#ifndef LANZHOU_RUN_SPILL_FILE_H_
#define LANZHOU_RUN_SPILL_FILE_H_

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "io/system_calls.h"
#include "io/temp_file.h"

namespace lanzhou::pieces {

class SpillFile {
 public:
  SpillFile() = default;
  SpillFile(const SpillFile&) = delete;
  SpillFile& operator=(const SpillFile&) = delete;
  ~SpillFile() { Close(); }

  bool Create(const std::string& dir, std::size_t buffer_bytes, std::string& error) {
    dir_ = dir;
    buffer_limit_ = buffer_bytes;
    int err = 0;
    fd_ = OpenUnnamedFile(dir, err);
    if (fd_ < 0) {
      error = TemporaryFileFailure("make", dir, err);
      return false;
    }
    return true;
  }
  bool Append(const void* data, std::size_t n, std::string& error) {
    if (buffer_.size() + n > buffer_limit_ && !Flush(error)) return false;
    if (n > buffer_limit_) return WriteOut(static_cast<const char*>(data), n, error);
    buffer_.append(static_cast<const char*>(data), n);
    return true;
  }
  bool Flush(std::string& error) {
    const bool ok = WriteOut(buffer_.data(), buffer_.size(), error);
    buffer_.clear();
    return ok;
  }
  // Reads up to `n` bytes at `offset` of what was flushed; the count read, or -1.
  long long ReadAt(std::uint64_t offset, char* out, std::size_t n, std::string& error) const {
    int err = 0;
    const long long got = ReadAll(fd_, out, n, err, static_cast<off_t>(offset));
    if (got < 0) error = TemporaryFileFailure("read", dir_, err);
    return got;
  }
  std::uint64_t size() const { return written_ + buffer_.size(); }
  void Close() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
    std::string().swap(buffer_);
  }

 private:
  bool WriteOut(const char* data, std::size_t n, std::string& error) {
    // Only this writes, so the descriptor's position is the end of what was written.
    int err = 0;
    if (!WriteAll(fd_, std::string_view(data, n), err)) {
      error = TemporaryFileFailure("write", dir_, err);
      return false;
    }
    written_ += n;
    return true;
  }

  int fd_ = -1;
  std::string dir_;
  std::string buffer_;
  std::size_t buffer_limit_ = 0;
  std::uint64_t written_ = 0;
};

}  // namespace lanzhou::pieces

#endif  // LANZHOU_RUN_SPILL_FILE_H_
