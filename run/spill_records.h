// The records of the distinct-pieces run's partition files, and their reader: a piece's
// offset and length, then its bytes, or for a piece of a megabyte or more only its hash.
//   AppendRecord(file, start, piece, HashOf(piece), error);
//   RecordReader reader(file, 4096);  while (reader.Next(head, bytes, error)) ...
#ifndef LANZHOU_RUN_SPILL_RECORDS_H_
#define LANZHOU_RUN_SPILL_RECORDS_H_

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "run/piece_steps.h"
#include "run/spill_file.h"

namespace lanzhou::pieces {

// A partition record: the piece's offset in the text and its length, then its bytes; for a
// piece of a megabyte or more, its length with kByReference set, then its hash: such a piece
// is read from the text itself when it must be compared or written, never copied whole.
struct RecordHead {
  std::uint64_t start;
  std::uint64_t length;
};
constexpr std::uint64_t kByReference = std::uint64_t{1} << 63;
constexpr std::size_t kReferencedPiece = kMiB;

// How many bytes follow a record's head.
inline std::size_t BytesOf(const RecordHead& head) {
  return (head.length & kByReference) != 0 ? sizeof(std::uint64_t)
                                           : static_cast<std::size_t>(head.length);
}

// `piece` is the text's, at `start`; `hash` its HashOf.
inline bool AppendRecord(SpillFile& file, std::uint64_t start, std::string_view piece,
                         std::uint64_t hash, std::string& error) {
  if (piece.size() >= kReferencedPiece) {
    const RecordHead head{start, piece.size() | kByReference};
    return file.Append(&head, sizeof head, error) && file.Append(&hash, sizeof hash, error);
  }
  const RecordHead head{start, piece.size()};
  return file.Append(&head, sizeof head, error) && file.Append(piece.data(), piece.size(), error);
}

// The hash of the piece a record holds (`bytes` as the record stands).
inline std::uint64_t HashOfRecord(const RecordHead& head, std::string_view bytes) {
  if ((head.length & kByReference) == 0) return HashOf(bytes);
  std::uint64_t hash;
  std::memcpy(&hash, bytes.data(), sizeof hash);
  return hash;
}

// Whether the records `a` and `b` (bytes as they stand) hold equal pieces of `text`, given
// equal hashes.
inline bool RecordsEqual(const RecordHead& a, std::string_view a_bytes, const RecordHead& b,
                         std::string_view b_bytes, std::string_view text, const Releaser* release) {
  if (a.length != b.length) return false;
  if ((a.length & kByReference) == 0) return a_bytes == b_bytes;
  return Equal(text, a.start, b.start, a.length & ~kByReference, release);
}

// Reads a file of records front to back through a buffer that grows only for a record
// longer than it.
class RecordReader {
 public:
  RecordReader(const SpillFile& file, std::size_t buffer_bytes)
      : file_(file), buffer_(std::max(buffer_bytes, sizeof(RecordHead))) {}

  // The next record, or false at the end (`error` set when reading failed).
  bool Next(RecordHead& head, std::string_view& piece, std::string& error) {
    if (!Have(sizeof head, error)) return false;
    std::memcpy(&head, buffer_.data() + pos_, sizeof head);
    const std::size_t bytes = BytesOf(head);
    if (!Have(sizeof head + bytes, error)) {
      if (error.empty()) error = "a temporary file was cut short";
      return false;
    }
    piece = std::string_view(buffer_.data() + pos_ + sizeof head, bytes);
    pos_ += sizeof head + bytes;
    return true;
  }

 private:
  // Makes `n` bytes from pos_ available in the buffer; false at the end of the file.
  bool Have(std::size_t n, std::string& error) {
    if (end_ - pos_ >= n) return true;
    std::memmove(buffer_.data(), buffer_.data() + pos_, end_ - pos_);
    end_ -= pos_;
    pos_ = 0;
    if (buffer_.size() < n) buffer_.resize(n);
    const long long got =
        file_.ReadAt(offset_, buffer_.data() + end_, buffer_.size() - end_, error);
    if (got < 0) return false;
    offset_ += static_cast<std::uint64_t>(got);
    end_ += static_cast<std::size_t>(got);
    return end_ >= n;
  }

  const SpillFile& file_;
  std::vector<char> buffer_;
  std::size_t pos_ = 0;
  std::size_t end_ = 0;
  std::uint64_t offset_ = 0;
};

}  // namespace lanzhou::pieces

#endif  // LANZHOU_RUN_SPILL_RECORDS_H_
