#include "run/distinct_pieces.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <queue>
#include <utility>
#include <vector>

#include "io/input_file.h"
#include "io/system_calls.h"
#include "io/temp_file.h"
#include "run/ordered_pipeline.h"
#include "text/gbk_chars.h"
#include "text/lines.h"

namespace lanzhou {
namespace {

constexpr std::size_t kNone = std::string_view::npos;
constexpr std::size_t kMiB = std::size_t{1} << 20;
// A text mapped from a file and larger than this hands its pages back as the work moves on;
// a smaller one keeps them, as reading them again would cost more than they weigh.
constexpr std::size_t kReleaseAbove = 64 * kMiB;
constexpr std::uint64_t kLargestText = std::uint64_t{1} << 40;

// A table slot and a cut piece both pack a 40-bit offset with 24 more bits: the low 24 bits
// of the piece's hash in a slot (the partitions take the high bits), its length in a piece.
constexpr int kLowBits = 24;
constexpr std::uint64_t kLowMask = (std::uint64_t{1} << kLowBits) - 1;
constexpr std::uint64_t kLongPiece = kLowMask;  // the length of a piece this long or longer

// Long pieces are read a step at a time, and a large mapped text hands each step's pages back
// once it is read (`Releaser`): a single line the size of the input then never brings all of
// its pages in at once.
constexpr std::size_t kStep = 4 * kMiB;
// Hands back the pages of a part of the text, or does nothing (a text in memory, or a small
// mapped one). Called on any thread.
using Releaser = std::function<void(std::string_view part)>;
void Released(const Releaser* release, std::string_view part) {
  if (release != nullptr && *release) (*release)(part);
}

// A piece longer than a step is hashed a step at a time and the steps' hashes combined: the
// same bytes always give the same hash, whichever way they are read.
[[gnu::noinline]] std::uint64_t HashInSteps(std::string_view piece, const Releaser* release) {
  std::uint64_t hash = piece.size();
  for (std::size_t at = 0; at < piece.size(); at += kStep) {
    const std::string_view step = piece.substr(at, kStep);
    hash = (hash ^ std::hash<std::string_view>{}(step)) * 0x9E3779B97F4A7C15u;
    Released(release, step);
  }
  return hash ^ (hash >> 29);
}
inline std::uint64_t HashOf(std::string_view piece, const Releaser* release = nullptr) {
  return piece.size() <= kStep ? std::hash<std::string_view>{}(piece) : HashInSteps(piece, release);
}

// Whether the `length` bytes at `a` and at `b` of `text` are equal, compared a step at a time.
[[gnu::noinline]] bool EqualInSteps(std::string_view text, std::size_t a, std::size_t b,
                                    std::size_t length, const Releaser* release) {
  for (std::size_t at = 0; at < length; at += kStep) {
    const std::size_t n = std::min(kStep, length - at);
    if (std::memcmp(text.data() + a + at, text.data() + b + at, n) != 0) return false;
    Released(release, text.substr(a + at, n));
    Released(release, text.substr(b + at, n));
  }
  return true;
}
inline bool Equal(std::string_view text, std::size_t a, std::size_t b, std::size_t length,
                  const Releaser* release) {
  return length <= kStep ? std::memcmp(text.data() + a, text.data() + b, length) == 0
                         : EqualInSteps(text, a, b, length, release);
}

// Pieces as splitting on the separator where it starts a character gives them.
class Splitter {
 public:
  Splitter(std::string_view text, std::string_view separator, const Releaser* release)
      : text_(text), sep_(separator), release_(release) {}

  std::size_t FindSeparator(std::size_t known, std::size_t from) const {
    return lanzhou::FindSeparator(text_, sep_, known, from);
  }
  // The same for a search that may go far: when pages can go back, a step at a time.
  std::size_t FindSeparatorFar(std::size_t known, std::size_t from) const {
    return release_ == nullptr ? FindSeparator(known, from) : FindSeparatorInSteps(known, from);
  }
  // The end of the piece that starts at `start`.
  std::size_t EndOf(std::size_t start) const {
    const std::size_t q = FindSeparatorFar(start, start);
    return q == kNone ? text_.size() : q;
  }

  // The start of the first piece that begins at or after `at`, stepping from `known` (a piece
  // start <= at); the end of the text when none does.
  std::size_t PieceStartFrom(std::size_t known, std::size_t at) const {
    if (release_ == nullptr) return PieceEndAfter(text_, sep_, known, at - known);
    std::size_t released = at;
    return PieceEndAfter(text_, sep_, known, at - known, [&](std::size_t end) {
      Released(release_, text_.substr(released, end - released));
      released = end;
    });
  }

  // Whether the piece that starts at `a` is `piece`.
  bool PieceEquals(std::size_t a, std::string_view piece) const {
    const std::size_t len = piece.size();
    if (a + len > text_.size() ||
        !Equal(text_, a, static_cast<std::size_t>(piece.data() - text_.data()), len, release_)) {
      return false;
    }
    // No separator starts a character inside the equal bytes (none does in `piece`); only one
    // that reaches past them can end the piece at `a` earlier.
    const std::size_t from = len + 1 >= sep_.size() ? a + len + 1 - sep_.size() : a;
    const std::size_t q = FindSeparator(a, from);
    return (q == kNone ? text_.size() : q) == a + len;
  }

  // Calls each(start, length) for the pieces in [begin, end), both piece starts (or the end).
  template <typename Each>
  void ForEachPiece(std::size_t begin, std::size_t end, Each&& each) const {
    // Only a part longer than a step can hold a piece that long.
    const bool far = end - begin > kStep;
    for (std::size_t start = begin; start < end;) {
      const std::size_t q = far ? FindSeparatorFar(start, start) : FindSeparator(start, start);
      each(start, (q == kNone ? text_.size() : q) - start);
      if (q == kNone) break;
      start = q + sep_.size();
    }
  }

 private:
  [[gnu::noinline]] std::size_t FindSeparatorInSteps(std::size_t known, std::size_t from) const {
    for (std::size_t at = from;;) {
      const std::size_t end = std::min(text_.size(), at + kStep);
      // A separator that begins in this step may end in the next.
      const std::size_t stop = std::min(text_.size(), end + sep_.size() - 1);
      const std::size_t q = lanzhou::FindSeparator(text_.substr(0, stop), sep_, known, at);
      if (q != kNone || end == text_.size()) return q;
      Released(release_, text_.substr(at, end - at));
      at = end;
    }
  }

  std::string_view text_;
  std::string_view sep_;
  const Releaser* release_;  // null when nothing is handed back: searched in one go
};

// Open addressing over 8-byte slots of (reference + 1) << 24 | the hash's low 24 bits; 0 is
// empty. The home slot comes from those 24 bits alone, so the table grows without the pieces
// being read again. Linear probing, at most three quarters full.
class SlotTable {
 public:
  // Inserts `ref` for a piece of `hash` unless `same(other_ref)` finds the piece there; true
  // when inserted.
  template <typename Same>
  bool Insert(std::uint64_t hash, std::uint64_t ref, Same&& same) {
    if (4 * (count_ + 1) > 3 * slots_.size()) Grow();
    const std::uint64_t low = hash & kLowMask;
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = Home(low);; i = (i + 1) & mask) {
      const std::uint64_t slot = slots_[i];
      if (slot == 0) {
        slots_[i] = ((ref + 1) << kLowBits) | low;
        ++count_;
        return true;
      }
      if ((slot & kLowMask) == low && same((slot >> kLowBits) - 1)) return false;
    }
  }
  void Prefetch(std::uint64_t hash) const {
    if (!slots_.empty()) __builtin_prefetch(&slots_[Home(hash & kLowMask)]);
  }
  template <typename Each>
  void ForEachRef(Each&& each) const {
    for (std::uint64_t slot : slots_) {
      if (slot != 0) each((slot >> kLowBits) - 1);
    }
  }
  std::size_t bytes() const { return slots_.size() * sizeof(std::uint64_t); }
  void Clear() {
    std::vector<std::uint64_t>().swap(slots_);
    count_ = 0;
  }

 private:
  std::size_t Home(std::uint64_t low) const { return (low * slots_.size()) >> kLowBits; }
  void Grow() {
    std::vector<std::uint64_t> old(slots_.empty() ? 64 : slots_.size() * 2);
    old.swap(slots_);
    const std::size_t mask = slots_.size() - 1;
    for (std::uint64_t slot : old) {
      if (slot == 0) continue;
      std::size_t i = Home(slot & kLowMask);
      while (slots_[i] != 0) i = (i + 1) & mask;
      slots_[i] = slot;
    }
  }

  std::vector<std::uint64_t> slots_;
  std::size_t count_ = 0;
};

// One cut piece: its hash, and its start << 24 | its length (kLongPiece when that long).
struct Cut {
  std::uint64_t hash;
  std::uint64_t packed;
};
struct GroupedCut {
  Cut cut;
  std::uint32_t index;  // in the window, in input order
};

// ---- temporary files ----

// A file that no directory lists: made unnamed, or unlinked at once, so that it goes with
// its descriptor however the program ends. Appends are buffered.
class TempFile {
 public:
  TempFile() = default;
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  ~TempFile() { Close(); }

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
std::size_t BytesOf(const RecordHead& head) {
  return (head.length & kByReference) != 0 ? sizeof(std::uint64_t)
                                           : static_cast<std::size_t>(head.length);
}

// `piece` is the text's, at `start`; `hash` its HashOf.
bool AppendRecord(TempFile& file, std::uint64_t start, std::string_view piece, std::uint64_t hash,
                  std::string& error) {
  if (piece.size() >= kReferencedPiece) {
    const RecordHead head{start, piece.size() | kByReference};
    return file.Append(&head, sizeof head, error) && file.Append(&hash, sizeof hash, error);
  }
  const RecordHead head{start, piece.size()};
  return file.Append(&head, sizeof head, error) && file.Append(piece.data(), piece.size(), error);
}

// The hash of the piece a record holds (`bytes` as the record stands).
std::uint64_t HashOfRecord(const RecordHead& head, std::string_view bytes) {
  if ((head.length & kByReference) == 0) return HashOf(bytes);
  std::uint64_t hash;
  std::memcpy(&hash, bytes.data(), sizeof hash);
  return hash;
}

// Whether the records `a` and `b` (bytes as they stand) hold equal pieces of `text`, given
// equal hashes.
bool RecordsEqual(const RecordHead& a, std::string_view a_bytes, const RecordHead& b,
                  std::string_view b_bytes, std::string_view text, const Releaser* release) {
  if (a.length != b.length) return false;
  if ((a.length & kByReference) == 0) return a_bytes == b_bytes;
  return Equal(text, a.start, b.start, a.length & ~kByReference, release);
}

// Reads a file of records front to back through a buffer that grows only for a record
// longer than it.
class RecordReader {
 public:
  RecordReader(const TempFile& file, std::size_t buffer_bytes)
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

  const TempFile& file_;
  std::vector<char> buffer_;
  std::size_t pos_ = 0;
  std::size_t end_ = 0;
  std::uint64_t offset_ = 0;
};

// A sorted run of kept pieces (start, length) in the file of kept pieces.
struct KeptRun {
  std::uint64_t offset;
  std::uint64_t count;
};

// ---- the output ----

// The kept pieces, each preceded by the separator, which the first of all drops, written a
// megabyte at a time.
class JoinedOutput {
 public:
  JoinedOutput(std::string_view separator, const std::function<bool(std::string_view)>& write)
      : sep_(separator), write_(write) {}

  // Bytes of joined pieces, each preceded by the separator.
  bool Emit(std::string_view joined) {
    if (joined.empty()) return true;
    if (!any_written_) {
      joined.remove_prefix(sep_.size());
      any_written_ = true;
    }
    if (output_.size() + joined.size() > kMiB && !Flush()) return false;
    if (joined.size() >= kMiB) return write_(joined);
    output_ += joined;
    return true;
  }
  bool Flush() {
    if (output_.empty()) return true;
    const bool ok = write_(output_);
    output_.clear();
    return ok;
  }

 private:
  const std::string_view sep_;
  const std::function<bool(std::string_view)>& write_;
  bool any_written_ = false;
  std::string output_;
};

// ---- beyond memory: partition files ----
//
// Every piece from some point on, with every distinct piece met before it, goes as a record
// into one of several partition files by its hash. A partition then needs only its own
// distinct pieces in memory: read front to back, a piece is the first of its kind when its
// bytes were not met before in that partition, and it is kept when it starts at or after
// that point. A partition whose distinct pieces outgrow the memory is split again by further
// bits of the hash. Each partition gives a sorted run of kept (start, length) in one file;
// merging the runs gives the kept pieces in input order.
class PartitionFiles {
 public:
  // `level0_bits` bits of the hash choose the first partition files.
  PartitionFiles(std::string_view text, const Releaser* release, std::uint64_t budget,
                 std::string temp_dir, int level0_bits, std::string& error)
      : text_(text),
        release_(release),
        budget_(budget),
        temp_dir_(std::move(temp_dir)),
        level0_bits_(level0_bits),
        error_(error) {}

  // Makes the first partition files and the file of kept pieces.
  bool Create(std::vector<std::unique_ptr<TempFile>>& files) {
    return MakeFiles(files, std::size_t{1} << level0_bits_) &&
           kept_.Create(temp_dir_, kMiB, error_);
  }

  // Which partition file of a level a piece with `hash` goes to.
  std::size_t SplitIndex(std::uint64_t hash, int level) const {
    if (level == 0) return level0_bits_ == 0 ? 0 : hash >> (64 - level0_bits_);
    return (hash >> SplitShift(level, level0_bits_)) & ((1u << kSplitBits) - 1);
  }

  // Reads a partition's records in order and appends its run of the first of each kind that
  // start at or after `keep_from` (those before were decided earlier); splits the partition
  // further when its distinct pieces outgrow the budget.
  bool FirstOfEach(const TempFile& file, int level, std::uint64_t keep_from) {
    const std::uint64_t budget = budget_ / 2;
    RecordReader reader(file, std::clamp<std::uint64_t>(budget_ / 16, 4096, kMiB));
    SlotTable table;
    std::string seen;      // the distinct records met, as they stood in the file
    seen.reserve(budget);  // address space only: pages come as they are filled
    KeptRun run{kept_.size(), 0};
    RecordHead head{};
    std::string_view piece;
    bool ok = true;
    while (ok && reader.Next(head, piece, error_)) {
      const std::uint64_t hash = HashOfRecord(head, piece);
      if (level < kDeepestLevel && seen.size() + piece.size() + 2 * table.bytes() > budget &&
          !seen.empty()) {
        runs_.push_back(run);
        // What starts before `head` is decided, and so is all before `keep_from`: the pieces
        // written before the limit was reached come first, in no order, and may start after
        // `head` without being new.
        return SplitFurther(reader, seen, head, piece, level, std::max(keep_from, head.start));
      }
      const std::size_t ref = seen.size();
      const bool first = table.Insert(hash, ref, [&](std::uint64_t other) {
        RecordHead seen_head;
        std::memcpy(&seen_head, seen.data() + other, sizeof seen_head);
        const std::string_view seen_bytes(seen.data() + other + sizeof seen_head,
                                          BytesOf(seen_head));
        return RecordsEqual(seen_head, seen_bytes, head, piece, text_, release_);
      });
      if (!first) continue;
      seen.append(reinterpret_cast<const char*>(&head), sizeof head);
      seen.append(piece);
      if (head.start >= keep_from) {
        const std::uint64_t entry[2] = {head.start, head.length & ~kByReference};
        ok = kept_.Append(entry, sizeof entry, error_);
        ++run.count;
      }
    }
    if (!ok || !error_.empty()) return false;
    runs_.push_back(run);
    return true;
  }

  // Merges the runs into input order and hands each kept piece of `text` to `out`;
  // `passed(start)` hears where each starts.
  bool WriteKept(std::string_view text, std::string_view sep, JoinedOutput& out,
                 const std::function<void(std::size_t)>& passed) {
    if (!kept_.Flush(error_)) return false;
    struct Cursor {
      std::vector<std::uint64_t> buffer;  // (start, length) pairs
      std::size_t pos = 0;
      std::uint64_t next_offset = 0;
      std::uint64_t remaining = 0;
    };
    std::vector<Cursor> cursors(runs_.size());
    const std::size_t entries = std::clamp<std::uint64_t>(
        budget_ / (4 * 16 * std::max<std::size_t>(runs_.size(), 1)), 256, 1 << 16);
    auto refill = [&](Cursor& c) {
      const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(c.remaining, entries));
      c.buffer.resize(2 * n);
      c.pos = 0;
      const long long got =
          kept_.ReadAt(c.next_offset, reinterpret_cast<char*>(c.buffer.data()), 16 * n, error_);
      if (got != static_cast<long long>(16 * n)) {
        if (error_.empty()) error_ = "a temporary file was cut short";
        return false;
      }
      c.next_offset += 16 * n;
      c.remaining -= n;
      return true;
    };
    using Head = std::pair<std::uint64_t, std::size_t>;  // start, cursor
    std::priority_queue<Head, std::vector<Head>, std::greater<Head>> heads;
    for (std::size_t i = 0; i < runs_.size(); ++i) {
      cursors[i].next_offset = runs_[i].offset;
      cursors[i].remaining = runs_[i].count;
      if (runs_[i].count == 0) continue;
      if (!refill(cursors[i])) return false;
      heads.push({cursors[i].buffer[0], i});
    }
    std::string joined;
    while (!heads.empty()) {
      const std::size_t i = heads.top().second;
      heads.pop();
      Cursor& c = cursors[i];
      const auto start = static_cast<std::size_t>(c.buffer[c.pos]);
      const auto length = static_cast<std::size_t>(c.buffer[c.pos + 1]);
      joined.clear();
      joined += sep;
      if (length < kReferencedPiece) {
        joined += text.substr(start, length);
        if (!out.Emit(joined)) return false;
      } else {
        // Written from the text a step at a time, its pages handed back behind.
        if (!out.Emit(joined)) return false;
        for (std::size_t at = 0; at < length; at += kStep) {
          if (!out.Emit(text.substr(start + at, std::min(kStep, length - at)))) return false;
          passed(start + at);
        }
      }
      c.pos += 2;
      if (c.pos == c.buffer.size() && c.remaining > 0 && !refill(c)) return false;
      if (c.pos < c.buffer.size()) heads.push({c.buffer[c.pos], i});
      passed(start);
    }
    return true;
  }

 private:
  static int SplitShift(int level, int level0_bits) {
    return level == 0 ? 64 - level0_bits : 64 - 8 - 4 * level;
  }
  static constexpr int kSplitBits = 4;
  static constexpr int kDeepestLevel = 6;  // 8 + 4 * 6 bits, all above the table's 24

  bool MakeFiles(std::vector<std::unique_ptr<TempFile>>& files, std::size_t count) {
    const std::size_t buffer = std::clamp<std::uint64_t>(budget_ / (4 * count), 4096, kMiB);
    files.clear();
    for (std::size_t i = 0; i < count; ++i) {
      files.push_back(std::make_unique<TempFile>());
      if (!files.back()->Create(temp_dir_, buffer, error_)) return false;
    }
    return true;
  }

  // A record as it stands, into another file.
  bool CopyRecord(TempFile& file, const RecordHead& head, std::string_view bytes) {
    return file.Append(&head, sizeof head, error_) &&
           file.Append(bytes.data(), bytes.size(), error_);
  }

  // Sends the distinct records met so far, then the rest of the partition from `head` on, into
  // partitions split by the next bits of the hash, and takes each of those in turn.
  bool SplitFurther(RecordReader& reader, const std::string& seen, RecordHead head,
                    std::string_view piece, int level, std::uint64_t keep_from) {
    std::vector<std::unique_ptr<TempFile>> files;
    if (!MakeFiles(files, std::size_t{1} << kSplitBits)) return false;
    for (std::size_t at = 0; at < seen.size();) {
      RecordHead h;
      std::memcpy(&h, seen.data() + at, sizeof h);
      const std::string_view p(seen.data() + at + sizeof h, BytesOf(h));
      if (!CopyRecord(*files[SplitIndex(HashOfRecord(h, p), level + 1)], h, p)) return false;
      at += sizeof h + p.size();
    }
    do {
      if (!CopyRecord(*files[SplitIndex(HashOfRecord(head, piece), level + 1)], head, piece)) {
        return false;
      }
    } while (reader.Next(head, piece, error_));
    if (!error_.empty()) return false;
    for (auto& file : files) {
      if (!file->Flush(error_)) return false;
    }
    for (auto& file : files) {
      if (!FirstOfEach(*file, level + 1, keep_from)) return false;
      file.reset();
    }
    return true;
  }

  const std::string_view text_;
  const Releaser* release_;
  const std::uint64_t budget_;
  const std::string temp_dir_;
  const int level0_bits_;
  std::string& error_;
  TempFile kept_;
  std::vector<KeptRun> runs_;
};

// ---- the run ----

class Engine {
 public:
  Engine(std::string_view text, std::string_view separator, const DistinctPiecesOptions& options,
         const std::function<bool(std::string_view)>& write, std::string& error)
      // Empty for a small mapped text, whose pages stay.
      : release_(options.text_is_file_mapping && text.size() > kReleaseAbove
                     ? Releaser([](std::string_view part) { ReleasePages(part); })
                     : Releaser()),
        split_(text, separator, release_ ? &release_ : nullptr),
        text_(text),
        sep_(separator),
        options_(options),
        output_(separator, write),
        error_(error),
        threads_(std::max(1, ThreadsFor(text.size(), options.threads))) {}

  bool Run(DistinctPiecesStats& stats) {
    error_.clear();
    std::size_t pos = 0;
    bool in_memory = options_.memory_limit == 0 || !TooBigForMemory();
    while (in_memory && pos < text_.size()) {
      const std::size_t end = CutWindow(pos, WindowBytes());
      CutPieces(pos, end);
      if (tables_.empty()) ChoosePartitions(end - pos);
      InsertWindow();
      if (!WriteWindow()) return false;
      // The window's pages go back: only the first of each kind is read again, when a later
      // piece is compared with it.
      if (text_.size() > kReleaseAbove) Release(pos, end);
      pos = end;
      Progress(pos, text_.size());
      if (options_.memory_limit != 0 && pos < text_.size() && OverMemoryLimit()) in_memory = false;
    }
    stats.pieces = pieces_;
    if (pos < text_.size()) {
      stats.used_temporary_files = true;
      if (!Spill(pos)) return false;
      stats.pieces = pieces_;
    }
    return output_.Flush();
  }

 private:
  // ---- pieces, a window at a time ----

  // A 32nd of the input: the window's cuts weigh about half its text in lines of records, and
  // they come on top of the tables that must hold every kind of line.
  std::size_t WindowBytes() const {
    std::size_t bytes = std::clamp<std::size_t>(text_.size() / 32, 4 * kMiB, 128 * kMiB);
    if (options_.memory_limit != 0) {
      bytes =
          std::min<std::size_t>(bytes, std::max<std::size_t>(options_.memory_limit / 8, 1 << 16));
    }
    return bytes;
  }

  std::size_t CutWindow(std::size_t begin, std::size_t bytes) const {
    return split_.PieceStartFrom(begin, begin + bytes);
  }

  // Cuts [begin, end) into parts of about a megabyte and each part into hashed pieces, the
  // parts on all threads. window_parts_[k] holds part k's pieces and part_first_[k] the index
  // of its first piece in the window.
  void CutPieces(std::size_t begin, std::size_t end) {
    part_bounds_.clear();
    const std::size_t step = std::max<std::size_t>((end - begin) / (8 * threads_), 1 << 16);
    const std::size_t part_bytes = std::min<std::size_t>(step, kMiB);
    for (std::size_t at = begin; at < end;) {
      const std::size_t next = std::min(end, split_.PieceStartFrom(at, at + part_bytes));
      part_bounds_.push_back({at, next});
      at = next;
    }
    if (window_parts_.size() < part_bounds_.size()) window_parts_.resize(part_bounds_.size());
    ParallelFor(threads_, part_bounds_.size(), [&](std::size_t k) {
      std::vector<Cut>& cuts = window_parts_[k];
      cuts.clear();
      split_.ForEachPiece(part_bounds_[k].first, part_bounds_[k].second,
                          [&](std::size_t start, std::size_t length) {
                            cuts.push_back({HashOf(text_.substr(start, length), &release_),
                                            (std::uint64_t{start} << kLowBits) |
                                                std::min<std::uint64_t>(length, kLongPiece)});
                          });
    });
    part_first_.resize(part_bounds_.size() + 1);
    part_first_[0] = 0;
    for (std::size_t k = 0; k < part_bounds_.size(); ++k) {
      part_first_[k + 1] = part_first_[k] + window_parts_[k].size();
    }
    pieces_ += part_first_.back();
  }

  std::size_t LengthOf(const Cut& cut) const {
    const std::uint64_t length = cut.packed & kLowMask;
    const std::size_t start = cut.packed >> kLowBits;
    return length == kLongPiece ? split_.EndOf(start) - start : length;
  }
  std::string_view PieceOf(const Cut& cut) const {
    return text_.substr(cut.packed >> kLowBits, LengthOf(cut));
  }

  // ---- in memory ----

  // Enough partitions that each table stays near half a megabyte (a core's cache holds it
  // while its pieces go in), judged from the pieces of the first window.
  void ChoosePartitions(std::size_t first_window_bytes) {
    const double per_byte = static_cast<double>(part_first_.back()) /
                            static_cast<double>(std::max<std::size_t>(first_window_bytes, 1));
    const double pieces = per_byte * static_cast<double>(text_.size());
    const double table_bytes = pieces * 14;  // 8-byte slots, half to three quarters full
    partition_bits_ = 0;
    while (partition_bits_ < 12 && table_bytes / (1 << partition_bits_) > 512 * 1024) {
      ++partition_bits_;
    }
    if ((1 << partition_bits_) < 4 * threads_ && threads_ > 1) {
      while ((1 << partition_bits_) < 4 * threads_) ++partition_bits_;
    }
    tables_.resize(std::size_t{1} << partition_bits_);
  }

  std::size_t PartitionOf(std::uint64_t hash) const {
    return partition_bits_ == 0 ? 0 : static_cast<std::size_t>(hash >> (64 - partition_bits_));
  }

  // Groups the window's pieces by partition (input order kept within each) and inserts each
  // partition's pieces into its table, the partitions spread over the threads. keep_[i] says
  // whether piece i of the window is the first of its kind.
  void InsertWindow() {
    const std::size_t partitions = tables_.size();
    const std::size_t parts = part_bounds_.size();
    counts_.assign(parts * partitions, 0);
    ParallelFor(threads_, parts, [&](std::size_t k) {
      std::uint32_t* count = &counts_[k * partitions];
      for (const Cut& cut : window_parts_[k]) ++count[PartitionOf(cut.hash)];
    });
    // counts_ becomes each part's first place in each partition's group.
    partition_first_.assign(partitions + 1, 0);
    std::size_t at = 0;
    for (std::size_t p = 0; p < partitions; ++p) {
      partition_first_[p] = at;
      for (std::size_t k = 0; k < parts; ++k) {
        const std::uint32_t n = counts_[k * partitions + p];
        counts_[k * partitions + p] = static_cast<std::uint32_t>(at);
        at += n;
      }
    }
    partition_first_[partitions] = at;
    grouped_.resize(at);
    keep_.assign(at, 0);
    ParallelFor(threads_, parts, [&](std::size_t k) {
      std::uint32_t* place = &counts_[k * partitions];
      auto index = static_cast<std::uint32_t>(part_first_[k]);
      for (const Cut& cut : window_parts_[k])
        grouped_[place[PartitionOf(cut.hash)]++] = {cut, index++};
    });
    const std::size_t chunks = std::min(partitions, static_cast<std::size_t>(8 * threads_));
    ParallelFor(threads_, chunks, [&](std::size_t c) {
      for (std::size_t p = c * partitions / chunks; p < (c + 1) * partitions / chunks; ++p) {
        InsertPartition(p);
      }
    });
  }

  void InsertPartition(std::size_t p) {
    SlotTable& table = tables_[p];
    const std::size_t begin = partition_first_[p];
    const std::size_t end = partition_first_[p + 1];
    constexpr std::size_t kAhead = 8;
    for (std::size_t i = begin; i < end; ++i) {
      if (i + kAhead < end) table.Prefetch(grouped_[i + kAhead].cut.hash);
      const GroupedCut& g = grouped_[i];
      const std::string_view piece = PieceOf(g.cut);
      keep_[g.index] = table.Insert(g.cut.hash, g.cut.packed >> kLowBits, [&](std::uint64_t ref) {
        return split_.PieceEquals(static_cast<std::size_t>(ref), piece);
      });
    }
  }

  // Writes the window's kept pieces in order, joined on all threads a part at a time. A
  // piece of a megabyte or more is written from the text itself, never copied: a single line
  // the size of the input then costs no second copy of it.
  struct JoinedPart {
    std::string joined;
    // Where in `joined` each long piece goes, and the piece.
    std::vector<std::pair<std::size_t, std::string_view>> long_pieces;
  };
  bool WriteWindow() {
    return RunInOrderOver<JoinedPart>(
        threads_, part_bounds_.size(),
        [&](const std::size_t& part, JoinedPart& out) {
          out.joined.clear();
          out.long_pieces.clear();
          const std::vector<Cut>& cuts = window_parts_[part];
          for (std::size_t j = 0; j < cuts.size(); ++j) {
            if (!keep_[part_first_[part] + j]) continue;
            out.joined += sep_;
            const std::string_view piece = PieceOf(cuts[j]);
            if (piece.size() >= kMiB) {
              out.long_pieces.emplace_back(out.joined.size(), piece);
            } else {
              out.joined += piece;
            }
          }
        },
        [&](std::size_t&, JoinedPart& out) {
          const std::string_view joined = out.joined;
          std::size_t at = 0;
          for (const auto& [offset, piece] : out.long_pieces) {
            if (!output_.Emit(joined.substr(at, offset - at)) || !output_.Emit(piece)) return false;
            at = offset;
          }
          return output_.Emit(joined.substr(at));
        });
  }

  std::size_t WindowArrayBytes() const {
    std::size_t bytes = grouped_.capacity() * sizeof(GroupedCut) + keep_.capacity() +
                        counts_.capacity() * sizeof(std::uint32_t);
    for (const std::vector<Cut>& cuts : window_parts_) bytes += cuts.capacity() * sizeof(Cut);
    return bytes;
  }
  std::size_t TableBytes() const {
    std::size_t bytes = 0;
    for (const SlotTable& table : tables_) bytes += table.bytes();
    return bytes;
  }
  std::uint64_t TextResident() const { return options_.text_is_file_mapping ? text_.size() : 0; }

  // Whether the text and a window's arrays alone would not leave room for the tables.
  bool TooBigForMemory() const {
    return TextResident() + 2 * WindowBytes() + (1 << 16) > options_.memory_limit;
  }
  // Whether the tables could not double once more within the limit.
  bool OverMemoryLimit() const {
    return TextResident() + WindowArrayBytes() + 2 * TableBytes() > options_.memory_limit;
  }

  void Progress(std::uint64_t done, std::uint64_t total) {
    if (options_.progress) options_.progress(done, total);
  }

  // Hands the pages of [begin, end) of a mapped text back to the system.
  void Release(std::size_t begin, std::size_t end) {
    if (options_.text_is_file_mapping && end > begin)
      ReleasePages(text_.substr(begin, end - begin));
  }

  // ---- beyond memory ----

  std::uint64_t Budget() const { return std::max<std::uint64_t>(options_.memory_limit, 16 << 10); }

  // Sends every piece from `from` on, with every distinct piece met before it, into partition
  // files, and writes the kept pieces from there on in input order.
  bool Spill(std::size_t from) {
    // Enough partitions that each one's distinct pieces fit in half the budget.
    const double records =
        static_cast<double>(text_.size() - from) * 1.5 + static_cast<double>(TableBytes()) * 4.0;
    int level0_bits = 1;
    while (level0_bits < 8 && records / (1 << level0_bits) > static_cast<double>(Budget() / 2)) {
      ++level0_bits;
    }
    PartitionFiles partitions(text_, &release_, Budget(),
                              TemporaryDirectory(options_.temp_directory), level0_bits, error_);
    std::vector<std::unique_ptr<TempFile>> files;
    if (!partitions.Create(files)) return false;

    // Every distinct piece met so far, so that none of its later copies is kept.
    const std::uint64_t total = 3 * text_.size() - 2 * from;
    for (SlotTable& table : tables_) {
      bool ok = true;
      table.ForEachRef([&](std::uint64_t ref) {
        const auto start = static_cast<std::size_t>(ref);
        const std::string_view piece = text_.substr(start, split_.EndOf(start) - start);
        const std::uint64_t hash = HashOf(piece, &release_);
        ok = ok && AppendRecord(*files[partitions.SplitIndex(hash, 0)], start, piece, hash, error_);
      });
      table.Clear();
      if (!ok) return false;
    }
    tables_.clear();
    std::vector<GroupedCut>().swap(grouped_);
    Release(0, from);

    for (std::size_t pos = from; pos < text_.size();) {
      const std::size_t end = CutWindow(pos, WindowBytes());
      CutPieces(pos, end);
      for (std::size_t k = 0; k < part_bounds_.size(); ++k) {
        for (const Cut& cut : window_parts_[k]) {
          const std::size_t start = cut.packed >> kLowBits;
          if (!AppendRecord(*files[partitions.SplitIndex(cut.hash, 0)], start, PieceOf(cut),
                            cut.hash, error_)) {
            return false;
          }
        }
      }
      Release(pos, end);
      pos = end;
      Progress(pos, total);
    }
    window_parts_.clear();
    for (auto& file : files) {
      if (!file->Flush(error_)) return false;
    }

    const std::uint64_t share = (text_.size() - from) / files.size();
    for (std::size_t i = 0; i < files.size(); ++i) {
      if (!partitions.FirstOfEach(*files[i], 0, from)) return false;
      files[i].reset();
      Progress(text_.size() + (i + 1) * share, total);
    }
    std::size_t released = from;
    return partitions.WriteKept(text_, sep_, output_, [&](std::size_t start) {
      if (start - released > 64 * kMiB) {
        Release(released, start);
        released = start;
        Progress(2 * text_.size() - from + start - from, total);
      }
    });
  }

  const Releaser release_;
  const Splitter split_;
  const std::string_view text_;
  const std::string_view sep_;
  const DistinctPiecesOptions& options_;
  JoinedOutput output_;
  std::string& error_;
  const int threads_;

  std::uint64_t pieces_ = 0;
  // The window being worked on.
  std::vector<std::pair<std::size_t, std::size_t>> part_bounds_;
  std::vector<std::vector<Cut>> window_parts_;
  std::vector<std::size_t> part_first_;
  std::vector<std::uint32_t> counts_;
  std::vector<std::size_t> partition_first_;
  std::vector<GroupedCut> grouped_;
  std::vector<unsigned char> keep_;
  // In memory: one table per partition.
  int partition_bits_ = 0;
  std::vector<SlotTable> tables_;
};

}  // namespace

bool WriteDistinctPieces(std::string_view text, std::string_view separator,
                         const DistinctPiecesOptions& options,
                         const std::function<bool(std::string_view)>& write, std::string& error,
                         DistinctPiecesStats* stats) {
  DistinctPiecesStats ignored;
  DistinctPiecesStats& out = stats != nullptr ? *stats : ignored;
  out = DistinctPiecesStats();
  if (separator.empty()) {
    out.pieces = text.empty() ? 0 : 1;
    return text.empty() || write(text);
  }
  if (text.size() >= kLargestText) {
    error = "the input is too large (1 TiB or more)";
    return false;
  }
  return Engine(text, separator, options, write, error).Run(out);
}

}  // namespace lanzhou
