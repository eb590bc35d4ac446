// The duplicate-removal page: the lines of 编辑框2 reduced to their distinct values, in the
// order of their first occurrence, shown in 编辑框3.
#ifndef LANZHOU_PAGES_DEDUPE_H_
#define LANZHOU_PAGES_DEDUPE_H_

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "run/distinct_pieces.h"
#include "text/script_fold.h"
#include "text/text.h"
#include "ui/units.h"

namespace lanzhou {

// The distinct pieces of `text` split on `separator`, in the order of their first
// occurrence, joined by `separator`, with no separator after the last piece.
//
//   DistinctLines("b\r\na\r\nb\r\nc\r\na") == "b\r\na\r\nc"
//   DistinctLines("a\r\n\r\nb\r\n\r\nc")   == "a\r\n\r\nb\r\nc"   (one empty line stays)
//   DistinctLines("a\r\nb\r\n")           == "a\r\nb"           (never ends with a separator)
//   DistinctLines("\r\n")                 == ""                 (one empty line alone)
//
// Pieces are as `SplitText` gives them: a separator at the very end adds no piece, one at the
// start or two in a row make an empty piece, and a separator is found only at character
// boundaries. Lines are equal only when their bytes are: case, spaces and full-width forms
// count. A lone LF or CR separates nothing. An empty separator returns `text` unchanged.
// Time and memory grow linearly with the text (the lines are hashed on all cores).
// `progress(done, total)` hears how far it is, on the calling thread.
Text DistinctLines(const Text& text, const Text& separator = Text("\r\n"),
                   const std::function<void(std::uint64_t, std::uint64_t)>& progress = {});

// The streaming form for the command line: the bytes of `DistinctLines(text)` (lines
// separated by CR LF) handed to `write` a part at a time, within the threads and memory limit
// of `options` (see `WriteDistinctPieces`, which says when it fails).
bool WriteDistinctLines(std::string_view text, const DistinctPiecesOptions& options,
                        const std::function<bool(std::string_view)>& write, std::string& error,
                        DistinctPiecesStats* stats = nullptr);

// What the comparison of lines may ignore (the page's 比较时忽略 boxes, lanzhou-cli dedupe
// --ignore). With any of them two lines are the same when their compared forms are equal,
// and the first of them is kept as it is.
struct DedupeIgnore {
  bool width = false;   // full-width forms and U+3000 as ASCII, punctuation included
  bool blanks = false;  // blanks trimmed at both ends, runs of them as one space
  bool case_ = false;   // ASCII letters as lower case
  // Traditional as Simplified: OpenCC's t2s (text/script_fold.h), open; none when null.
  const ScriptFold* script = nullptr;

  bool Any() const { return width || blanks || case_ || script != nullptr; }
};

// The form a line is compared by: `line` script-folded, then normalised.
//   ComparedForm(" Ｚｈａｎｇ　三 ", {.width = true, .blanks = true, .case_ = true}) == "zhang 三"
std::string ComparedForm(std::string_view line, const DedupeIgnore& ignore);

// `WriteDistinctLines` comparing lines by their compared forms: the first line of each
// form, unchanged, in input order, joined by CR LF with none after the last; lines as
// `DistinctLines` splits them. The compared forms of the distinct lines are held in memory.
// Without anything to ignore, it is `DistinctLines`.
//   DistinctLinesIgnoring("ａ\r\nA \r\nb", {.width = true, .blanks = true, .case_ = true})
//     == "ａ\r\nb"
Text DistinctLinesIgnoring(const Text& text, const DedupeIgnore& ignore,
                           const std::function<void(std::uint64_t, std::uint64_t)>& progress = {});
bool WriteDistinctLinesIgnoring(std::string_view text, const DedupeIgnore& ignore, int threads,
                                const std::function<bool(std::string_view)>& write,
                                const std::function<void(std::uint64_t, std::uint64_t)>& progress);

// 按钮1 clicked: 编辑框3 receives the distinct lines of 编辑框2, compared ignoring what the
// 比较时忽略 boxes tick; nothing else changes. Runs as `Units::RunLongWork`; a cancel changes
// nothing.
void OnDedupeClicked(Units& units);

}  // namespace lanzhou

#endif  // LANZHOU_PAGES_DEDUPE_H_
