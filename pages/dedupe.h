// The duplicate-removal page: the lines of 编辑框2 reduced to their distinct values, in the
// order of their first occurrence, shown in 编辑框3.
#ifndef LANZHOU_PAGES_DEDUPE_H_
#define LANZHOU_PAGES_DEDUPE_H_

#include <functional>
#include <string>
#include <string_view>

#include "run/distinct_pieces.h"
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

// 按钮1 clicked: 编辑框3 receives the distinct lines of 编辑框2; nothing else changes. Runs as
// `Units::RunLongWork`; a cancel changes nothing.
void OnDedupeClicked(Units& units);

}  // namespace lanzhou

#endif  // LANZHOU_PAGES_DEDUPE_H_
