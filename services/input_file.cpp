#include "services/input_file.h"

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

#include "services/file_writer.h"
#include "services/system_calls.h"

namespace lanzhou {
namespace {

constexpr std::size_t kFirstPiece = 1 << 20;
constexpr std::size_t kLargestPiece = 64 << 20;

// Reads up to `size` bytes into `data`; sets `eof` when the end was reached.
bool ReadPiece(int fd, char* data, std::size_t size, std::size_t& used, bool& eof, int& err) {
  used = 0;
  eof = false;
  while (used < size) {
    const ssize_t n = Sys().read(fd, data + used, size - used);
    if (n < 0) {
      if (errno == EINTR) continue;
      err = errno;
      return false;
    }
    if (n == 0) {
      eof = true;
      break;
    }
    used += static_cast<std::size_t>(n);
  }
  return true;
}

// Reads to the end of `fd` into `bytes`. With the size known (`expected`, a regular file) the
// bytes go straight into a buffer of that size, plus one byte so that the end shows without
// a second buffer. Otherwise (a pipe, or a file that grew) the rest is collected in pieces of
// growing size, whose unused ends are never touched, and joined once: the memory in use
// stays near the size of the data instead of the double that a doubling buffer costs.
bool ReadAllFrom(int fd, std::size_t expected, std::string& bytes, int& err) {
  bytes.clear();
  bool eof = false;
  if (expected > 0) {
    bytes.resize(expected + 1);
    std::size_t used = 0;
    if (!ReadPiece(fd, bytes.data(), bytes.size(), used, eof, err)) return false;
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
    Piece piece{std::unique_ptr<char[]>(new char[size]), 0};
    if (!ReadPiece(fd, piece.data.get(), size, piece.used, eof, err)) return false;
    total += piece.used;
    pieces.push_back(std::move(piece));
  }
  bytes.reserve(total);
  for (Piece& piece : pieces) {
    bytes.append(piece.data.get(), piece.used);
    piece.data.reset();
  }
  return true;
}

// A mapped file that shrinks under us raises SIGBUS on the next access to a lost page. The
// message is prepared before the mapping is read, so the handler only writes and exits.
char bus_message[PATH_MAX + 256];
std::size_t bus_message_size = 0;

extern "C" void OnBusError(int) {
  AbandonOutputInSignalHandler();
  (void)!::write(STDERR_FILENO, bus_message, bus_message_size);
  ::_exit(2);
}

void PrepareBusMessage(std::string_view message) {
  bus_message_size = std::min(message.size(), sizeof bus_message);
  std::memcpy(bus_message, message.data(), bus_message_size);
  static bool installed = false;
  if (!installed) {
    installed = true;
    struct sigaction action {};
    action.sa_handler = OnBusError;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGBUS, &action, nullptr);
  }
}

// Reads the open file `fd` to its end.
bool ReadOpenFile(int fd, std::string& bytes, int& err) {
  struct stat st {};
  std::size_t hint = 0;
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
    hint = static_cast<std::size_t>(st.st_size);
  }
  return ReadAllFrom(fd, hint, bytes, err);
}

// Opens `path` for reading ("-": standard input, which stays open); -1 with `err` set.
int OpenInput(const std::string& path, int& err) {
  if (path == "-") return STDIN_FILENO;
  const int fd = Sys().open(path.c_str(), O_RDONLY | O_CLOEXEC, 0);
  if (fd < 0) err = errno;
  return fd;
}

void CloseInput(int fd) {
  if (fd != STDIN_FILENO) ::close(fd);
}

// Every LF not preceded by CR becomes CR LF; a text without lone LF is returned unchanged,
// without a copy.
std::string LoneLfToCrLf(std::string text) {
  std::size_t lone = 0;
  const char* data = text.data();
  for (const char* p = static_cast<const char*>(std::memchr(data, '\n', text.size())); p != nullptr;
       p = static_cast<const char*>(std::memchr(p + 1, '\n', text.size() - (p + 1 - data)))) {
    if (p == data || p[-1] != '\r') ++lone;
  }
  if (lone == 0) return text;
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

}  // namespace

bool ReadInput(const std::string& native_path, std::string& bytes, int& error) {
  const int fd = OpenInput(native_path, error);
  if (fd < 0) return false;
  const bool ok = ReadOpenFile(fd, bytes, error);
  CloseInput(fd);
  return ok;
}

bool MappedInput::Open(const std::string& native_path, std::string_view changed_message,
                       int& error) {
  Close();
  // One open only: a named pipe cannot be opened a second time for the same data.
  const int fd = OpenInput(native_path, error);
  if (fd < 0) return false;
  struct stat st {};
  // Files that report no size (/proc) or are not regular are read instead.
  if (fd != STDIN_FILENO && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
    void* map = Sys().mmap(nullptr, static_cast<std::size_t>(st.st_size), PROT_READ,
                           MAP_PRIVATE | MAP_POPULATE, fd, 0);
    if (map != MAP_FAILED) {
      CloseInput(fd);
      PrepareBusMessage(changed_message);
      map_ = static_cast<const char*>(map);
      map_size_ = static_cast<std::size_t>(st.st_size);
      return true;
    }
  }
  const bool ok = ReadOpenFile(fd, owned_, error);
  CloseInput(fd);
  return ok;
}

void MappedInput::Close() {
  if (map_) ::munmap(const_cast<char*>(map_), map_size_);
  map_ = nullptr;
  map_size_ = 0;
  std::string().swap(owned_);
}

Text PastedText(std::string bytes, InputEncoding how, DetectedEncoding* detected) {
  if (const void* zero = std::memchr(bytes.data(), '\0', bytes.size())) {
    bytes.resize(static_cast<std::size_t>(static_cast<const char*>(zero) - bytes.data()));
  }
  std::string storage;
  DetectedEncoding found = DetectedEncoding::kGbk;
  DecodeInputView(bytes, storage, how, &found);
  if (detected) *detected = found;
  if (found == DetectedEncoding::kUtf8) {
    std::string().swap(bytes);  // the raw copy is no longer needed
    return Text(LoneLfToCrLf(std::move(storage)));
  }
  // GBK is taken unchanged: the bytes are the text, without a copy.
  return Text(LoneLfToCrLf(std::move(bytes)));
}

}  // namespace lanzhou
