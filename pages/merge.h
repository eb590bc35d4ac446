// The A/B merge page: lists A and B loaded by drop, file dialog or paste, joined line by line (or
// every line of A with one fixed datum) and appended to 合并数据.txt in the program's directory.
//
// The pure operations below are shared with the command-line companion; the handlers read
// and write the window only through `Units`.
#ifndef LANZHOU_PAGES_MERGE_H_
#define LANZHOU_PAGES_MERGE_H_

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "text/encoding.h"
#include "ui/units.h"

namespace lanzhou {

// The lines of a list file, one per grid row, from the file's raw bytes.
//
// Only the bytes before the first zero byte count. They are decoded as every input file is
// (`DecodeInput`, as `how` says or, with kAuto, as the encoding detector decides: UTF-8 is
// converted to GB18030, GBK/GB18030 kept unchanged), then cut into lines as
// text/lines.h cuts them: at every LF, one CR right before an LF dropped with it. A final
// line end gives no empty last line, an empty file no line at all, and an empty line inside
// the file an empty line. A line is never split further ("|" stays inside it).
//
//   SplitListLines("x1\r\n\r\nx2")  -> {"x1", "", "x2"}
//   SplitListLines("a\nb\n")        -> {"a", "b"}
//   SplitListLines("a\r\r\nb\0c")   -> {"a\r", "b"}
//
// Linear in the size of the file.
TextArray SplitListLines(std::string_view file_bytes, InputEncoding how = InputEncoding::kAuto);

// The same rule in steps, for callers that keep the file's bytes and want no copy of every
// line. `DecodeListText` gives the text `SplitListLines` cuts: the bytes before the first
// zero byte, decoded as `DecodeInput` does (`how` and `detected` as there). GBK/GB18030 comes
// back as a view of `file_bytes`; converted UTF-8 is put into `storage`. Its lines are then
// counted, taken and cut with text/lines.h.
//
//   std::string storage;
//   DecodeListText("a\nb\0c", storage)   -> "a\nb"
//
// Linear in the size of the text. The search for the zero byte tells `scanned(end)` as it
// goes, as `TextBeforeZero` does, so that the pages of a large mapped file can go back.
std::string_view DecodeListText(std::string_view file_bytes, std::string& storage,
                                InputEncoding how = InputEncoding::kAuto,
                                DetectedEncoding* detected = nullptr,
                                const std::function<void(std::size_t)>& scanned = nullptr);

// The lines 合并数据.txt receives from one merge of decoded list texts (`DecodeListText`),
// each followed by CR LF, appended to `out`. Pair mode joins line i of A, its (always empty)
// second column, line i of B and its second column by "|": four fields, the second and
// fourth empty; only the first min(lines of A, lines of B) pairs are joined. Fixed-datum mode
// joins every line of A, its empty second column and the datum, used as it is (it may be
// empty or hold "|"). Bytes are copied unchanged: a GBK character whose second byte is 0x7C
// keeps it, so a reader that splits a joined line on "|" must step by character. The page's
// button joins its grid rows with the same rule.
//
//   AppendJoinedListPairs("x1\nx2\nx3\n", "y1\r\ny2", out)   out += "x1||y1|\r\nx2||y2|\r\n"
//   AppendJoinedListWithDatum("x1\nx2", "d", out)             out += "x1||d\r\nx2||d\r\n"
//   AppendJoinedListWithDatum("x", "", out)                  out += "x||\r\n"
//
// Linear in the size of the output.
void AppendJoinedListPairs(std::string_view a_decoded, std::string_view b_decoded,
                           std::string& out);
void AppendJoinedListWithDatum(std::string_view a_decoded, std::string_view datum,
                               std::string& out);

// The streaming form of `AppendJoinedListWithDatum` for a large list: the same bytes handed
// to `write` in order, a piece of lines at a time, the pieces joined on `threads` threads.
// `progress(done, total)` hears how many bytes of `a_decoded` are done; `scanned(end)` that
// those before `end` were read through, 64 MB at a time, while a line of many megabytes was
// looked through for its end or written from `a_decoded` itself (a later pass starts again
// lower down), so that the pages of a mapped list can go back. False when `write` is.
bool WriteJoinedListWithDatum(std::string_view a_decoded, std::string_view datum, int threads,
                              const std::function<bool(std::string_view)>& write,
                              const std::function<void(std::size_t, std::size_t)>& progress = {},
                              const std::function<void(std::size_t)>& scanned = {});

// The file every merge appends to: run_directory + "/合并数据.txt".
Text MergeOutputPath(const Text& run_directory);

// 按钮_处理 clicked: joins 超级列表框A with 超级列表框b (or, with 选择框1 ticked, with the text
// of 编辑框1) and appends the lines to `MergeOutputPath`, created when missing and never
// truncated. 标签2 shows n/r progress while it runs and "处理OK！" at the end.
// The whole append holds an exclusive advisory lock (flock) on the file, as lanzhou-cli merge
// does, so merges into one file (two windows, a script) follow one another whole; a merge
// waits while another holds it. A file that cannot be opened or written stops the merge with
// "保存失败：" + path (flags 16), and exactly the bytes this merge appended are taken back
// (the file is cut to its length when the lock was taken; a file it created is removed).
// A file that ends in half a line (an earlier writer was stopped mid-line) gets CR LF before
// this merge's lines, and a warning says so after the merge.
void OnMergeClicked(Units& units);
// 拖放对象A / 拖放对象b FilesDropped: `paths` is one path, or several each followed by CR LF.
// Asks "是否删除已有的数据？" first when the grid has rows, then appends one row per line of
// every file in order: caption (row number) in column 0, the whole line in column 1.
void OnListADropped(Units& units, const Text& paths);
void OnListBDropped(Units& units, const Text& paths);
// 按钮_导入A / 按钮_导入b clicked: the file picked in 通用对话框1 (as 导入资料 asks for one)
// loads as if it had been dropped on the list.
void OnImportAClicked(Units& units);
void OnImportBClicked(Units& units);
// Text pasted on 超级列表框A / 超级列表框b: after the same question as a drop, one row per line
// of `text` (GB18030, lines ended as text/lines.h reads them); nothing for an empty text.
//   OnListAPasted(units, "x1\r\nx2\n")  -> rows {"1", "x1"}, {"2", "x2"}
void OnListAPasted(Units& units, const Text& text);
void OnListBPasted(Units& units, const Text& text);

}  // namespace lanzhou

#endif  // LANZHOU_PAGES_MERGE_H_
