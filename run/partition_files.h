// The distinct-pieces run beyond memory: pieces go as records into partition files by hash,
// each partition keeps the first of each kind, and the kept runs merge into input order.
//   PartitionFiles parts(text, release, budget, dir, 3, error);  parts.Create(files);
//   AppendRecord(*files[parts.SplitIndex(hash, 0)], ...) for every piece, then
//   parts.FirstOfEach(*file, 0, from) for every file;  parts.WriteKept(text, sep, out, passed);
#ifndef LANZHOU_RUN_PARTITION_FILES_H_
#define LANZHOU_RUN_PARTITION_FILES_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "run/joined_output.h"
#include "run/piece_steps.h"
#include "run/slot_table.h"
#include "run/spill_file.h"
#include "run/spill_records.h"

namespace lanzhou::pieces {

// A sorted run of kept pieces (start, length) in the file of kept pieces.
struct KeptRun {
  std::uint64_t offset;
  std::uint64_t count;
};

// A partition needs only its own distinct pieces in memory, and one that outgrows it is split
// again by further bits of the hash.
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
  bool Create(std::vector<std::unique_ptr<SpillFile>>& files) {
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
  bool FirstOfEach(const SpillFile& file, int level, std::uint64_t keep_from);

  // Merges the runs into input order and hands each kept piece of `text` to `out`;
  // `passed(start)` hears where each starts.
  bool WriteKept(std::string_view text, std::string_view sep, JoinedOutput& out,
                 const std::function<void(std::size_t)>& passed);

 private:
  static int SplitShift(int level, int level0_bits) {
    return level == 0 ? 64 - level0_bits : 64 - 8 - 4 * level;
  }
  static constexpr int kSplitBits = 4;
  static constexpr int kDeepestLevel = 6;  // 8 + 4 * 6 bits, all above the table's 24

  bool MakeFiles(std::vector<std::unique_ptr<SpillFile>>& files, std::size_t count);

  // A record as it stands, into another file.
  bool CopyRecord(SpillFile& file, const RecordHead& head, std::string_view bytes) {
    return file.Append(&head, sizeof head, error_) &&
           file.Append(bytes.data(), bytes.size(), error_);
  }

  // Sends the distinct records met so far, then the rest of the partition from `head` on, into
  // partitions split by the next bits of the hash, and takes each of those in turn.
  bool SplitFurther(RecordReader& reader, const std::string& seen, RecordHead head,
                    std::string_view piece, int level, std::uint64_t keep_from);

  const std::string_view text_;
  const Releaser* release_;
  const std::uint64_t budget_;
  const std::string temp_dir_;
  const int level0_bits_;
  std::string& error_;
  SpillFile kept_;
  std::vector<KeptRun> runs_;
};

}  // namespace lanzhou::pieces

#endif  // LANZHOU_RUN_PARTITION_FILES_H_
