#include "io/input_file.h"

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <new>
#include <vector>

#include "io/file_writer.h"
#include "io/process_start.h"
#include "io/system_calls.h"
#include "io/temp_file.h"
#include "text/lines.h"

namespace lanzhou {
namespace {

constexpr std::size_t kFirstPiece = 1 << 20;
constexpr std::size_t kLargestPiece = 64 << 20;

// Reads up to `size` bytes into `data`; sets `eof` when the end was reached, or with
// `stop_at_zero` just after a zero byte. UTF-16, whose text is full of zero bytes, is read to
// its end: `first` (`data` is where the input starts) clears `stop_at_zero` when the input
// starts with a UTF-16 byte-order mark.
bool ReadPiece(int fd, char* data, std::size_t size, bool& stop_at_zero, bool first,
               std::size_t& used, bool& eof, int& err) {
  bool zero = false;
  const long long n = ReadAll(fd, data, size, err, std::nullopt, [&](std::string_view brought) {
    if (first && brought.data() == data &&
        EncodingByMark(brought, InputEncoding::kAuto) != InputEncoding::kAuto) {
      stop_at_zero = false;
    }
    return zero = stop_at_zero && brought.find('\0') != std::string_view::npos;
  });
  if (n < 0) return false;
  used = static_cast<std::size_t>(n);
  eof = used < size;
  if (zero) {
    // Only the bytes up to the first zero byte count; the last read brought it.
    const char* zero_at = static_cast<const char*>(std::memchr(data, '\0', used));
    used = static_cast<std::size_t>(zero_at - data) + 1;
    eof = true;
  }
  return true;
}

// Reads to the end of `fd` into `bytes`. With the size known (`expected`, a regular file) the
// bytes go straight into a buffer of that size, plus one byte so that the end shows without
// a second buffer. Otherwise (a pipe, or a file that grew) the rest is collected in pieces of
// growing size, whose unused ends are never touched, and joined once: the memory in use
// stays near the size of the data instead of the double that a doubling buffer costs.
bool ReadAllFrom(int fd, std::size_t expected, std::string& bytes, int& err,
                 const ReadLimits& limits) {
  bytes.clear();
  bool eof = false;
  bool stop_at_zero = limits.stop_at_zero;
  if (expected > 0) {
    if (expected > limits.max_bytes && !limits.stop_at_zero) {
      err = EFBIG;
      return false;
    }
    bytes.resize(std::min(expected, limits.max_bytes) + 1);
    std::size_t used = 0;
    if (!ReadPiece(fd, bytes.data(), bytes.size(), stop_at_zero, true, used, eof, err)) {
      return false;
    }
    bytes.resize(used);
    if (eof) return true;
  }
  struct Piece {
    std::unique_ptr<char[]> data;
    std::size_t used;
  };
  std::vector<Piece> pieces;
  std::size_t total = bytes.size();
  for (std::size_t size = kFirstPiece; !eof; size = std::min(size * 2, kLargestPiece)) {
    if (total > limits.max_bytes) {
      err = EFBIG;
      return false;
    }
    Piece piece{std::unique_ptr<char[]>(new char[size]), 0};
    if (!ReadPiece(fd, piece.data.get(), size, stop_at_zero, total == 0, piece.used, eof, err)) {
      return false;
    }
    total += piece.used;
    pieces.push_back(std::move(piece));
  }
  if (total > limits.max_bytes) {
    err = EFBIG;
    return false;
  }
  bytes.reserve(total);
  for (Piece& piece : pieces) {
    bytes.append(piece.data.get(), piece.used);
    piece.data.reset();
  }
  return true;
}

// A mapped file that shrinks under us raises SIGBUS on the next access to a lost page. The
// handler finds the mapping that faulted, takes back the output under way and ends the
// program with that input's message, prepared beforehand so that the handler only writes.
struct Mapping {
  const char* start;
  std::size_t size;  // 0: the slot is free
  char message[PATH_MAX + 256];
  std::size_t message_size;
};
Mapping mappings[16];
// The mapping whose fault a worker thread handed to the thread writing the output.
volatile sig_atomic_t handed_over = -1;

[[noreturn]] void EndForLostInput(const Mapping& m) {
  AbandonOutputInSignalHandler();
  (void)!::write(STDERR_FILENO, m.message, m.message_size);
  ::_exit(2);
}

extern "C" void OnBusError(int sig, siginfo_t* info, void*) {
  if (info->si_code == SI_TKILL && handed_over >= 0) EndForLostInput(mappings[handed_over]);
  const char* at = static_cast<const char*>(info->si_addr);
  for (const Mapping& m : mappings) {
    if (m.size != 0 && at >= m.start && at < m.start + m.size) {
      handed_over = static_cast<sig_atomic_t>(&m - mappings);
      if (HandOutputSignalToItsWriter(sig)) {
        for (;;) ::pause();  // the writer ends the program
      }
      EndForLostInput(m);
    }
  }
  ::signal(sig, SIG_DFL);  // not ours: the fault recurs and ends the program as it would
}

// A free slot for a mapping of `size` bytes at `start`, or nullptr when all are taken.
Mapping* Register(const char* start, std::size_t size, std::string_view message) {
  static bool installed = false;
  if (!installed) {
    installed = true;
    struct sigaction action {};
    action.sa_sigaction = OnBusError;
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGBUS, &action, nullptr);
  }
  for (Mapping& m : mappings) {
    if (m.size != 0) continue;
    m.message_size = std::min(message.size(), sizeof m.message);
    if (m.message_size != 0) std::memcpy(m.message, message.data(), m.message_size);
    m.start = start;
    m.size = size;
    return &m;
  }
  return nullptr;
}

void Unregister(const char* start) {
  for (Mapping& m : mappings) {
    if (m.size != 0 && m.start == start) m.size = 0;
  }
}

bool SameTime(const timespec& a, const timespec& b) {
  return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// Reads the open file `fd` to its end. Running out of memory is a failure like any other.
bool ReadOpenFile(int fd, std::string& bytes, int& err, const ReadLimits& limits) {
  struct stat st {};
  std::size_t hint = 0;
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
    hint = static_cast<std::size_t>(st.st_size);
  }
  try {
    return ReadAllFrom(fd, hint, bytes, err, limits);
  } catch (const std::bad_alloc&) {
    std::string().swap(bytes);
    err = ENOMEM;
    return false;
  }
}

// A pipe's default 64 KB makes its reader wait on the writer 16 times per megabyte; with the
// most an unprivileged process may ask, a piped input is read in about half the time. A
// refusal (a lower limit, not a pipe) leaves it as it was.
void WidenPipe(int fd) {
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISFIFO(st.st_mode)) ::fcntl(fd, F_SETPIPE_SZ, 1 << 20);
}

// Opens `path` for reading ("-": standard input, which stays open); -1 with `err` set (EBADF:
// standard input was closed when the program started, and /dev/null stands in for it).
int OpenInput(const std::string& path, int& err) {
  if (path == "-" && StandardInputClosed()) {
    err = EBADF;
    return -1;
  }
  const int fd = path == "-" ? STDIN_FILENO : Sys().open(path.c_str(), O_RDONLY | O_CLOEXEC, 0);
  if (fd < 0) {
    err = errno;
    return fd;
  }
  WidenPipe(fd);
  return fd;
}

void CloseInput(int fd) {
  if (fd != STDIN_FILENO) ::close(fd);
}

// Text changed into a temporary file is changed this much at a time.
constexpr std::size_t kPastePiece = std::size_t{8} << 20;

void Scanned(const std::function<void(std::size_t)>& scanned, std::size_t end) {
  if (scanned) scanned(end);
}

// Whether every byte is below 0x80, a step at a time so that progress is reported.
bool AllAscii(std::string_view text, const std::function<void(std::size_t)>& scanned) {
  return ScanInSteps(
      text.size(),
      [text](std::size_t at, std::size_t end) { return IsAscii(text.substr(at, end - at)); },
      scanned);
}

// How many LF are not preceded by CR.
std::size_t CountLoneLf(std::string_view text, const std::function<void(std::size_t)>& scanned) {
  std::size_t lone = 0;
  const char* data = text.data();
  ScanInSteps(
      text.size(),
      [&](std::size_t at, std::size_t end) {
        for (const char* p = static_cast<const char*>(std::memchr(data + at, '\n', end - at));
             p != nullptr;
             p = static_cast<const char*>(std::memchr(p + 1, '\n', data + end - p - 1))) {
          if (p == data || p[-1] != '\r') ++lone;
        }
        return true;
      },
      scanned);
  return lone;
}

// `text` with each of its `lone` LF not preceded by CR made CR LF.
std::string LoneLfToCrLf(std::string_view text, std::size_t lone) {
  const char* data = text.data();
  std::string out;
  out.reserve(text.size() + lone);
  std::size_t start = 0;
  for (;;) {
    const void* hit = std::memchr(data + start, '\n', text.size() - start);
    if (hit == nullptr) break;
    const std::size_t at = static_cast<std::size_t>(static_cast<const char*>(hit) - data);
    out.append(data + start, at - start);
    if (at == 0 || data[at - 1] != '\r') out.push_back('\r');
    out.push_back('\n');
    start = at + 1;
  }
  out.append(data + start, text.size() - start);
  return out;
}

// Copies what is left of `fd` (up to just after a zero byte with `stop_at_zero`) into a new
// unnamed file in the temporary directory, a piece at a time. Its descriptor, with `size`
// set, or -1 with `err` set and `spool_failed` telling a failure of the temporary file from
// one of reading `fd`.
int Spool(int fd, bool stop_at_zero, std::size_t& size, int& err, bool& spool_failed) {
  spool_failed = true;
  const int spool = OpenUnnamedFile(TemporaryDirectory(), err);
  if (spool < 0) return -1;
  std::unique_ptr<char[]> buffer(new (std::nothrow) char[kFirstPiece]);
  if (buffer == nullptr) {
    ::close(spool);
    err = ENOMEM;
    spool_failed = false;
    return -1;
  }
  size = 0;
  for (bool eof = false; !eof;) {
    std::size_t used = 0;
    if (!ReadPiece(fd, buffer.get(), kFirstPiece, stop_at_zero, size == 0, used, eof, err)) {
      spool_failed = false;
      break;
    }
    if (!WriteAll(spool, std::string_view(buffer.get(), used), err)) break;
    size += used;
    if (eof) return spool;
  }
  ::close(spool);
  return -1;
}

}  // namespace

bool ReadInput(const std::string& native_path, std::string& bytes, int& error,
               const ReadLimits& limits) {
  const int fd = OpenInput(native_path, error);
  if (fd < 0) return false;
  const bool ok = ReadOpenFile(fd, bytes, error, limits);
  CloseInput(fd);
  return ok;
}

bool MappedInput::Open(const std::string& native_path, std::string_view changed_message, int& error,
                       const ReadLimits& limits) {
  Close();
  // One open only: a named pipe cannot be opened a second time for the same data.
  const int fd = OpenInput(native_path, error);
  if (fd < 0) return false;
  spool_failed_ = false;
  struct stat st {};
  // Files that report no size (/proc) or are not regular are read instead.
  if (fd != STDIN_FILENO && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
    // A mapping takes the page cache, not memory of ours: `max_bytes` does not apply.
    if (Map(fd, static_cast<std::size_t>(st.st_size), changed_message, limits)) {
      mapped_stat_ = st;
      return true;
    }
    const bool ok = ReadOpenFile(fd, owned_, error, limits);
    CloseInput(fd);
    return ok;
  }
  // Standard input, a pipe, a device: copied into a file of ours and mapped, so that its
  // size costs disk, not memory, and it is read as a file is.
  std::size_t size = 0;
  const int spool = Spool(fd, limits.stop_at_zero, size, error, spool_failed_);
  CloseInput(fd);
  if (spool < 0) return false;
  if (size == 0) {
    ::close(spool);
    return true;
  }
  // A large copy is read as it is used, so that its pages can be handed back behind the work.
  ReadLimits map_limits = limits;
  map_limits.populate = limits.populate && size <= kLargestPiece;
  if (!Map(spool, size, changed_message, map_limits)) {
    error = errno;
    ::close(spool);
    return false;
  }
  struct stat spooled {};
  if (::fstat(spool, &spooled) == 0) mapped_stat_ = spooled;
  return true;
}

bool MappedInput::Map(int fd, std::size_t size, std::string_view changed_message,
                      const ReadLimits& limits) {
  void* map = Sys().mmap(nullptr, size, PROT_READ,
                         MAP_PRIVATE | (limits.populate ? MAP_POPULATE : 0), fd, 0);
  if (map == MAP_FAILED) return false;
  if (Register(static_cast<const char*>(map), size, changed_message) == nullptr) {
    ::munmap(map, size);
    errno = EMFILE;
    return false;
  }
  map_ = static_cast<const char*>(map);
  map_size_ = size;
  fd_ = fd;
  return true;
}

bool MappedInput::Unchanged() const {
  if (map_ == nullptr) return true;
  struct stat st {};
  const struct stat& was = mapped_stat_;
  return ::fstat(fd_, &st) == 0 && st.st_size == was.st_size && st.st_dev == was.st_dev &&
         st.st_ino == was.st_ino && SameTime(st.st_mtim, was.st_mtim) &&
         SameTime(st.st_ctim, was.st_ctim);
}

void MappedInput::Close() {
  if (map_) {
    Unregister(map_);
    ::munmap(const_cast<char*>(map_), map_size_);
    ::close(fd_);
  }
  map_ = nullptr;
  map_size_ = 0;
  fd_ = -1;
  std::string().swap(owned_);
}

bool MappedInput::OpenPasted(std::string_view bytes, InputEncoding how, DetectedEncoding* detected,
                             std::string_view& text, int& error,
                             const std::function<void(std::size_t)>& scanned, LineEnds line_ends) {
  Close();
  bytes = InputTextBeforeZero(bytes, how, scanned);
  DetectedEncoding found = DetectedEncoding::kGbk;
  // UTF-16 and Big5 are rare enough to be converted whole, in memory, and then written out
  // as GB18030 is.
  std::string whole;
  // Converted from UTF-8 a piece at a time; `unchecked`: as the detector read the start, to be
  // read as GBK after all should a later piece not be UTF-8. The conversion is the check, so
  // no pass of its own reads a large input for the detection.
  bool utf8 = false;
  bool unchecked = false;
  const InputEncoding marked = EncodingByMark(bytes, how);
  if (marked != InputEncoding::kAuto && marked != InputEncoding::kGbk &&
      marked != InputEncoding::kUtf8) {
    bytes = DecodeInputView(bytes, whole, marked, &found);
  } else if (how == InputEncoding::kUtf8) {
    utf8 = true;
  } else if (how == InputEncoding::kAuto && !AllAscii(bytes, scanned)) {
    utf8 = StartReadsAsUtf8(bytes, unchecked);
  }
  const bool crlf = line_ends == LineEnds::kCrLf;
  for (;;) {
    if (utf8) found = DetectedEncoding::kUtf8;
    if (detected) *detected = found;
    if (!utf8 && whole.empty() && (!crlf || CountLoneLf(bytes, scanned) == 0)) {
      text = bytes;
      return true;
    }
    spool_failed_ = true;
    const int fd = OpenUnnamedFile(TemporaryDirectory(), error);
    if (fd < 0) return false;
    std::string decoded;
    std::size_t size = 0;
    bool not_utf8 = false;
    // Pieces end just after an LF, which is never part of a character in either encoding, so
    // each converts as it would within the whole.
    for (std::size_t start = 0; start < bytes.size();) {
      const std::size_t end = PieceEndAfter(bytes, "\n", start, kPastePiece);
      std::string_view piece = bytes.substr(start, end - start);
      if (utf8) {
        // Decoded with the LF before it, so that a byte-order mark counts only at the very
        // start.
        const std::size_t from = start == 0 ? 0 : start - 1;
        const std::string_view part = bytes.substr(from, end - from);
        if (unchecked) {
          const DecodedInput d = DecodeInputText(part, decoded, InputEncoding::kUtf8);
          if (d.invalid_utf8_at) {
            not_utf8 = true;
            break;
          }
          piece = d.text.substr(start - from);
        } else {
          piece =
              DecodeInputView(part, decoded, InputEncoding::kUtf8, nullptr).substr(start - from);
        }
      }
      const std::string changed = crlf ? LoneLfToCrLf(piece, 0) : std::string();
      if (crlf) piece = changed;
      if (!WriteAll(fd, piece, error)) {
        ::close(fd);
        return false;
      }
      size += piece.size();
      if (whole.empty()) Scanned(scanned, end);  // offsets into the input's own bytes
      start = end;
    }
    if (not_utf8) {  // GBK after all: its text is written again as GBK, if it needs changing
      ::close(fd);
      utf8 = false;
      found = DetectedEncoding::kGbk;
      continue;
    }
    spool_failed_ = false;
    if (size == 0) {  // nothing to map: UTF-8 whose text is empty (a byte-order mark alone)
      ::close(fd);
      text = {};
      return true;
    }
    if (!Map(fd, size, {}, ReadLimits{.populate = false})) {
      error = errno;
      ::close(fd);
      return false;
    }
    text = view();
    return true;
  }
}

void ReleasePages(std::string_view bytes) {
  const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
  const auto first = reinterpret_cast<std::uintptr_t>(bytes.data());
  const std::uintptr_t from = (first + page - 1) / page * page;
  const std::uintptr_t to = (first + bytes.size()) / page * page;
  if (to > from) ::madvise(reinterpret_cast<void*>(from), to - from, MADV_DONTNEED);
}

std::string_view PastedView(std::string_view bytes, std::string& storage, InputEncoding how,
                            DetectedEncoding* detected,
                            const std::function<void(std::size_t)>& scanned) {
  bytes = InputTextBeforeZero(bytes, how, scanned);
  std::string decoded;
  DetectedEncoding found = DetectedEncoding::kGbk;
  // ASCII reads the same in every encoding: only the report of the encoding could differ,
  // and it changes no byte written. This also spares a large file the encoding's scan.
  const std::string_view text = how == InputEncoding::kAuto && AllAscii(bytes, scanned)
                                    ? bytes
                                    : DecodeInputView(bytes, decoded, how, &found);
  if (detected) *detected = found;
  const bool in_place = text.empty() || text.data() == bytes.data();
  const std::size_t lone = CountLoneLf(text, in_place ? scanned : nullptr);
  if (lone > 0) {
    storage = LoneLfToCrLf(text, lone);
    return storage;
  }
  if (in_place) return text;
  storage = std::string(text);
  return storage;
}

}  // namespace lanzhou
