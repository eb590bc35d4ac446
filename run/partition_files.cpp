#include "run/partition_files.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <queue>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace lanzhou::pieces {

bool PartitionFiles::FirstOfEach(const SpillFile& file, int level, std::uint64_t keep_from) {
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
      const std::string_view seen_bytes(seen.data() + other + sizeof seen_head, BytesOf(seen_head));
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

bool PartitionFiles::WriteKept(std::string_view text, std::string_view sep, JoinedOutput& out,
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

bool PartitionFiles::MakeFiles(std::vector<std::unique_ptr<SpillFile>>& files, std::size_t count) {
  const std::size_t buffer = std::clamp<std::uint64_t>(budget_ / (4 * count), 4096, kMiB);
  files.clear();
  for (std::size_t i = 0; i < count; ++i) {
    files.push_back(std::make_unique<SpillFile>());
    if (!files.back()->Create(temp_dir_, buffer, error_)) return false;
  }
  return true;
}

bool PartitionFiles::SplitFurther(RecordReader& reader, const std::string& seen, RecordHead head,
                                  std::string_view piece, int level, std::uint64_t keep_from) {
  std::vector<std::unique_ptr<SpillFile>> files;
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

}  // namespace lanzhou::pieces
