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
#include "run/joined_output.h"
#include "run/ordered_pipeline.h"
#include "run/partition_files.h"
#include "run/piece_steps.h"
#include "run/slot_table.h"
#include "run/spill_file.h"
#include "text/gbk_chars.h"
#include "text/lines.h"

namespace lanzhou {
namespace pieces {
namespace {

constexpr std::size_t kNone = std::string_view::npos;
// A text mapped from a file and larger than this hands its pages back as the work moves on;
// a smaller one keeps them, as reading them again would cost more than they weigh.
constexpr std::size_t kReleaseAbove = 64 * kMiB;
constexpr std::uint64_t kLargestText = std::uint64_t{1} << 40;
constexpr std::uint64_t kLongPiece = kLowMask;  // the length of a piece this long or longer

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

// One cut piece: its hash, and its start << 24 | its length (kLongPiece when that long).
struct Cut {
  std::uint64_t hash;
  std::uint64_t packed;
};
struct GroupedCut {
  Cut cut;
  std::uint32_t index;  // in the window, in input order
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
    std::vector<std::unique_ptr<SpillFile>> files;
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
}  // namespace pieces

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
  if (text.size() >= pieces::kLargestText) {
    error = "the input is too large (1 TiB or more)";
    return false;
  }
  return pieces::Engine(text, separator, options, write, error).Run(out);
}

}  // namespace lanzhou
