// The clean-up page 数据清洗: the lines of 清洗_编辑框 with the ticked folds applied
// (text/normalize.h) and, if chosen, converted between Simplified and Traditional
// (text/script_fold.h), shown in 清洗后_编辑框 and saved as 清洗后_<time>.txt.
#ifndef LANZHOU_PAGES_CLEAN_H_
#define LANZHOU_PAGES_CLEAN_H_

#include <cstddef>
#include <functional>
#include <string_view>

#include "text/normalize.h"
#include "text/script_fold.h"
#include "text/text.h"
#include "ui/units.h"

namespace lanzhou {

struct Cleaning {
  Folds folds;
  // Applied to each line before the folds; none when null or not open.
  const ScriptFold* script = nullptr;
};

// The lines of `text` (lines as text/lines.h finds them) cleaned, joined by CR LF, with no line
// end after the last:
//   CleanText("Ａ \r\n\r\nｂ", {.folds = {.width = true, .trim = true, .drop_empty = true}})
//     == "A\r\nb"
Text CleanText(std::string_view text, const Cleaning& cleaning);

// The same bytes handed to `write` a part at a time, the pieces of the text cleaned on up to
// `threads` threads; false when `write` is. `progress` is told the bytes done; `scanned(end)`
// that the bytes before `end` were read through while a line of many megabytes was looked
// through for its end or folded a part at a time, so that the pages of a mapped text can go
// back.
bool WriteCleanedText(std::string_view text, const Cleaning& cleaning, int threads,
                      const std::function<bool(std::string_view)>& write,
                      const std::function<void(std::size_t, std::size_t)>& progress = {},
                      const std::function<void(std::size_t)>& scanned = {});

// 按钮_清洗 clicked: 清洗后_编辑框 receives the cleaned lines of 清洗_编辑框, which are saved.
// Runs as `Units::RunLongWork`; a cancel changes nothing.
void OnCleanClicked(Units& units);

}  // namespace lanzhou

#endif  // LANZHOU_PAGES_CLEAN_H_
