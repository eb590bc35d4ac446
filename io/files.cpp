#include "io/files.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "io/file_writer.h"
#include "io/input_file.h"
#include "io/system_calls.h"
#include "text/clock.h"
#include "text/encoding.h"
#include "text/lines.h"

namespace lanzhou {
namespace {

int OpenPath(const Text& path, int flags) {
  std::string native = ToUtf8(path);
  int fd;
  do {
    fd = ::open(native.c_str(), flags | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

// Bumped by every write to a disk file, so that no read cache outlives a change made through
// another file number of this process.
std::atomic<unsigned long> disk_writes{0};

// The storage behind a file number: a disk file or a memory file.
class Storage {
 public:
  virtual ~Storage() = default;
  // Up to `n` bytes at `offset`; fewer at the end, -1 on an error.
  virtual long long ReadAt(long long offset, char* out, std::size_t n) = 0;
  virtual bool WriteAt(long long offset, std::string_view data) = 0;
  // -1 when the length cannot be known.
  virtual long long Length() = 0;
};

class DiskStorage : public Storage {
 public:
  explicit DiskStorage(int fd) : fd_(fd) {}
  ~DiskStorage() override { ::close(fd_); }

  long long ReadAt(long long offset, char* out, std::size_t n) override {
    // Line reading asks for small pieces one after another, so whole chunks are kept.
    if (cache_generation_ != disk_writes.load(std::memory_order_relaxed) ||
        offset < cache_offset_ || offset >= cache_offset_ + static_cast<long long>(cache_.size())) {
      if (!Fill(offset)) return -1;
    }
    std::size_t from = static_cast<std::size_t>(offset - cache_offset_);
    std::size_t take = std::min(n, cache_.size() - from);
    std::copy_n(cache_.data() + from, take, out);
    return static_cast<long long>(take);
  }

  bool WriteAt(long long offset, std::string_view data) override {
    disk_writes.fetch_add(1, std::memory_order_relaxed);
    int err;
    return WriteAll(fd_, data, err, static_cast<off_t>(offset));
  }

  long long Length() override {
    struct stat st;
    if (::fstat(fd_, &st) != 0) return -1;
    return st.st_size;
  }

 private:
  static constexpr std::size_t kChunk = 64 * 1024;

  bool Fill(long long offset) {
    cache_generation_ = disk_writes.load(std::memory_order_relaxed);
    cache_.resize(kChunk);
    int err = 0;
    const long long n = ReadAll(fd_, cache_.data(), kChunk, err, static_cast<off_t>(offset));
    if (n < 0) {
      cache_.clear();
      return false;
    }
    cache_.resize(static_cast<std::size_t>(n));
    cache_offset_ = offset;
    return true;
  }

  int fd_;
  std::string cache_;
  long long cache_offset_ = 0;
  unsigned long cache_generation_ = 0;
};

class MemoryStorage : public Storage {
 public:
  long long ReadAt(long long offset, char* out, std::size_t n) override {
    if (offset >= static_cast<long long>(data_.size())) return 0;
    std::size_t from = static_cast<std::size_t>(offset);
    std::size_t take = std::min(n, data_.size() - from);
    std::copy_n(data_.data() + from, take, out);
    return static_cast<long long>(take);
  }

  bool WriteAt(long long offset, std::string_view data) override {
    std::size_t from = static_cast<std::size_t>(offset);
    std::size_t end = from + data.size();
    if (end > data_.size()) {
      if (end > data_.capacity()) {
        // Whole steps of 1024 bytes, and at least doubling so that appending stays linear.
        std::size_t want = std::max(end, data_.capacity() * 2);
        data_.reserve((want + kStep - 1) / kStep * kStep);
      }
      data_.resize(end);
    }
    std::copy(data.begin(), data.end(), data_.begin() + static_cast<std::ptrdiff_t>(from));
    return true;
  }

  long long Length() override { return static_cast<long long>(data_.size()); }

 private:
  static constexpr std::size_t kStep = 1024;
  std::string data_;
};

struct OpenEntry {
  std::unique_ptr<Storage> storage;
  long long position = 0;
};

// The table of open file numbers. The program has one interface thread, but the lock keeps
// the table sound should a tool ever use it from two.
class FileTable {
 public:
  static FileTable& Get() {
    static FileTable* table = new FileTable;  // never destroyed: usable until exit
    return *table;
  }

  FileNumber Add(std::unique_ptr<Storage> storage) {
    std::lock_guard lock(mutex_);
    do {
      next_ = next_ == INT32_MAX ? 1 : next_ + 1;
    } while (entries_.count(next_) != 0);
    entries_[next_] = OpenEntry{std::move(storage), 0};
    return next_;
  }

  void Remove(FileNumber file) {
    std::unique_ptr<Storage> closing;
    {
      std::lock_guard lock(mutex_);
      auto it = entries_.find(file);
      if (it == entries_.end()) return;
      closing = std::move(it->second.storage);
      entries_.erase(it);
    }
  }

  // Runs `action` on the entry of `file`, or returns `failure` when it is not open.
  template <typename R, typename Action>
  R With(FileNumber file, R failure, Action action) {
    std::lock_guard lock(mutex_);
    auto it = entries_.find(file);
    if (it == entries_.end()) return failure;
    return action(it->second);
  }

 private:
  std::mutex mutex_;
  std::map<FileNumber, OpenEntry> entries_;
  FileNumber next_ = 0;
};

// A byte-at-a-time view of a file from a position, read in blocks of 512 bytes.
// A value as WriteLine and WriteText write it; nullopt for the kinds they skip.
std::optional<Text> WritableText(const Value& value) {
  if (std::holds_alternative<Bytes>(value)) return std::nullopt;
  return ToText(value);
}

bool WriteValues(FileNumber file, std::initializer_list<Value> values, bool line_ends) {
  std::string out;
  for (const Value& v : values) {
    std::optional<Text> text = WritableText(v);
    if (!text) continue;
    out += text->view();
    if (line_ends) out += "\r\n";
  }
  return FileTable::Get().With(file, false, [&](OpenEntry& e) {
    if (!e.storage->WriteAt(e.position, out)) return false;  // the position stays
    e.position += static_cast<long long>(out.size());
    return true;
  });
}

}  // namespace

Text RunDirectory() {
  static const Text directory = [] {
    std::string path(PATH_MAX, '\0');
    ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size());
    path.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    std::size_t slash = path.rfind('/');
    path.resize(slash == std::string::npos ? 0 : slash);  // "/prog" gives "", as a root does
    return FromUtf8(path);
  }();
  return directory;
}

bool WriteToFile(const Text& path, std::initializer_list<Bytes> parts) {
  return WriteToFile(path, parts, {});
}

namespace {

// The parts into `out` a megabyte at a time, telling `step` before each, then the commit.
bool WriteParts(OutputFile& out, std::initializer_list<Bytes> parts,
                const std::function<void(std::size_t written, std::size_t total)>& step) {
  disk_writes.fetch_add(1, std::memory_order_relaxed);
  if (!out.Open()) return false;
  constexpr std::size_t kStepBytes = std::size_t{1} << 20;
  std::size_t total = 0;
  for (const Bytes& part : parts) total += part.size();
  std::size_t written = 0;
  for (const Bytes& part : parts) {
    for (std::string_view rest = part.view(); !rest.empty();) {
      if (step) step(written, total);
      const std::string_view piece = rest.substr(0, step ? kStepBytes : rest.size());
      if (!out.Write(piece)) return false;
      written += piece.size();
      rest.remove_prefix(piece.size());
    }
  }
  if (step) step(written, total);
  return out.Commit();
}

}  // namespace

bool WriteToFile(const Text& path, std::initializer_list<Bytes> parts,
                 const std::function<void(std::size_t written, std::size_t total)>& step) {
  if (path.empty()) return false;
  OutputFile out(ToUtf8(path), OutputFile::Mode::kReplace);
  return WriteParts(out, parts, step);
}

std::optional<Text> WriteToNewFile(
    const Text& path, std::initializer_list<Bytes> parts,
    const std::function<void(std::size_t written, std::size_t total)>& step, int* error) {
  OutputFile out(ToUtf8(path), OutputFile::Mode::kCreate);
  const bool written = !path.empty() && WriteParts(out, parts, step);
  if (error != nullptr) *error = written ? 0 : path.empty() ? ENOENT : out.error();
  if (!written) return std::nullopt;
  return Text(NumberedName(path.view(), out.committed_number()));
}

std::optional<Bytes> ReadReadableFile(const Text& path, Text* problem) {
  const auto fail = [&](const char* what, std::string_view detail = {}) {
    if (problem != nullptr) *problem = FromUtf8(what) + path + FromUtf8(detail);
    return std::nullopt;
  };
  if (path.empty()) return fail("无法打开文件：");
  // "-" is a file here, not standard input.
  std::string native = ToUtf8(path);
  if (native == "-") native = "./-";
  std::string data;
  int error = 0;
  if (!ReadInput(native, data, error))
    return fail(error == ENOMEM ? "内存不足：" : "无法打开文件：");
  if (const std::optional<std::size_t> bad = InvalidRequiredUtf8(data, InputEncoding::kAuto)) {
    return fail("无法打开文件：", "（第 " + std::to_string(*bad) + " 字节起不是 UTF-8）");
  }
  return Bytes(std::move(data));
}

Bytes ReadWholeFile(const Text& path) { return ReadReadableFile(path).value_or(Bytes()); }

FileNumber OpenFile(const Text& path, OpenMode open_mode, int share) {
  // Share modes are checked but only advisory: Linux has no mandatory sharing.
  const int mode = static_cast<int>(open_mode);
  if (path.empty() || mode < 1 || mode > 6 || share < 1 || share > 4) return 0;
  static constexpr int kFlags[] = {
      O_RDONLY,                      // 1 read, must exist
      O_WRONLY,                      // 2 write, must exist
      O_RDWR,                        // 3 read and write, must exist
      O_WRONLY | O_CREAT | O_TRUNC,  // 4 write, created or truncated
      O_WRONLY | O_CREAT,            // 5 write, created when missing
      O_RDWR | O_CREAT,              // 6 read and write, created when missing
  };
  int fd = OpenPath(path, kFlags[mode - 1]);
  if (fd < 0) return 0;
  struct stat st;
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    ::close(fd);
    return 0;
  }
  return FileTable::Get().Add(std::make_unique<DiskStorage>(fd));
}

FileNumber OpenMemoryFile() { return FileTable::Get().Add(std::make_unique<MemoryStorage>()); }

void CloseFile(FileNumber file) { FileTable::Get().Remove(file); }

bool SeekToEnd(FileNumber file) {
  return FileTable::Get().With(file, false, [](OpenEntry& e) {
    long long length = e.storage->Length();
    if (length < 0) return false;
    e.position = length;
    return true;
  });
}

bool SeekToStart(FileNumber file) {
  return FileTable::Get().With(file, false, [](OpenEntry& e) {
    e.position = 0;
    return true;
  });
}

Text ReadLine(FileNumber file) {
  return FileTable::Get().With(file, Text(), [](OpenEntry& e) {
    // Read in 512-byte blocks until the bytes hold the line's end (an LF, a zero byte or a
    // 0x1A that starts a character) or the file ends; then the line is cut as the import cuts.
    std::string bytes;
    char block[512];
    for (long long n; (n = e.storage->ReadAt(e.position + static_cast<long long>(bytes.size()),
                                             block, sizeof block)) > 0;) {
      const std::string_view got(block, static_cast<std::size_t>(n));
      bytes += got;
      if (got.find_first_of(std::string_view("\n\0\x1A", 3)) == std::string_view::npos) continue;
      const std::string_view text = TextBeforeEndMark(bytes);
      if (text.size() < bytes.size() || text.find('\n') != std::string_view::npos) break;
    }
    std::string_view rest = TextBeforeEndMark(bytes);
    const std::size_t readable = rest.size();
    std::string_view line;
    NextFileLine(rest, line);
    e.position += static_cast<long long>(readable - rest.size());  // a stop byte stays unread
    return Text(line);
  });
}

bool WriteLine(FileNumber file, std::initializer_list<Value> values) {
  return WriteValues(file, values, true);
}

bool WriteText(FileNumber file, std::initializer_list<Value> values) {
  return WriteValues(file, values, false);
}

Text ReadText(FileNumber file, std::optional<int> count) {
  if (count && *count < 1) return Text();
  return FileTable::Get().With(file, Text(), [&](OpenEntry& e) {
    long long want = count ? *count : e.storage->Length();
    std::string text;
    char buffer[4096];
    long long at = e.position;
    while (want > 0) {
      long long n = e.storage->ReadAt(
          at, buffer, static_cast<std::size_t>(std::min<long long>(want, sizeof buffer)));
      if (n <= 0) break;
      std::string_view piece(buffer, static_cast<std::size_t>(n));
      std::size_t stop = piece.find_first_of(std::string_view("\0\x1A", 2));
      if (stop != std::string_view::npos) {
        text.append(piece.substr(0, stop));
        at += static_cast<long long>(stop);  // the stop byte stays unread
        e.position = at;
        return Text(std::move(text));
      }
      text.append(piece);
      at += n;
      want -= n;
    }
    e.position = at;
    return Text(std::move(text));
  });
}

bool IsEndOfFile(FileNumber file, bool stop_at_zero) {
  return FileTable::Get().With(file, true, [&](OpenEntry& e) {
    // Reading the byte at the position answers both questions, mostly from the read cache.
    char b;
    long long n = e.storage->ReadAt(e.position, &b, 1);
    if (n == 0) return true;
    if (n == 1) return stop_at_zero && (b == 0 || b == 0x1A);
    // Not readable (opened for writing only): compare with the length; with the zero-byte
    // stop it counts as ended, so reading loops stop.
    long long length = e.storage->Length();
    return (length >= 0 && e.position >= length) || stop_at_zero;
  });
}

}  // namespace lanzhou
