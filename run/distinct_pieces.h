// The first occurrence of every distinct piece of a text of any size, in input order: in
// memory over hash tables split by hash into cache-sized parts, and, when memory runs short,
// over temporary files split the same way.
#ifndef LANZHOU_RUN_DISTINCT_PIECES_H_
#define LANZHOU_RUN_DISTINCT_PIECES_H_

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace lanzhou {

struct DistinctPiecesOptions {
  // Threads for cutting and hashing the pieces and for the parts of the table.
  int threads = 1;
  // The most memory the run may hold, in bytes; 0 means no limit. It counts the tables,
  // buffers and, for a text that is a file mapping, the pages of the text it reads. Beyond
  // the limit the pieces go to temporary files. Kept to within a few megabytes: a piece of a
  // megabyte or more is never copied, only read from the text a few megabytes at a time.
  std::uint64_t memory_limit = 0;
  // Where temporary files go; empty: $TMPDIR, else /tmp. They are unlinked as soon as they
  // are created, so nothing is left behind however the run ends.
  std::string temp_directory;
  // The text is a read-only mapping of a file, so pages already read may be handed back to
  // the system (the file gives them again when needed).
  bool text_is_file_mapping = false;
  // Told, on the calling thread, how much of the work is done (any unit, done <= total).
  std::function<void(std::uint64_t done, std::uint64_t total)> progress;
};

// What a run did, for tests and benchmarks.
struct DistinctPiecesStats {
  std::uint64_t pieces = 0;
  bool used_temporary_files = false;
};

// Writes the distinct pieces of `text` split on `separator`, in the order of their first
// occurrence, joined by `separator`, with no separator after the last: the bytes go to
// `write` a part at a time, and joined they are the whole result.
//
// Pieces are those of splitting on `separator` where it starts a character
// (text/gbk_chars.h): one at the very end adds no piece, one at the start or two in a
// row make an empty piece. Pieces are equal when their bytes are. An empty separator makes
// the whole text the one piece.
//
//   "b\r\na\r\nb\r\nc\r\na", "\r\n"  ->  "b\r\na\r\nc"
//   "a\r\n\r\nb\r\n\r\n", "\r\n"     ->  "a\r\n\r\nb"
//
// The output is the same byte for byte for every thread count and memory limit. Returns false
// when `write` does (leaving `error` as it is) or when a temporary file cannot be made or
// written; `error` then says so in one line ("no space left for temporary files in '/tmp'").
// Texts of 1 TiB and more are refused the same way.
bool WriteDistinctPieces(std::string_view text, std::string_view separator,
                         const DistinctPiecesOptions& options,
                         const std::function<bool(std::string_view)>& write, std::string& error,
                         DistinctPiecesStats* stats = nullptr);

}  // namespace lanzhou

#endif  // LANZHOU_RUN_DISTINCT_PIECES_H_
