// The column-reorder page: a delimited file loads into 超级列表框1, a row per line and a
// column per field, and is saved with its columns in the order the user types.
#ifndef LANZHOU_PAGES_REORDER_H_
#define LANZHOU_PAGES_REORDER_H_

#include <functional>
#include <limits>
#include <new>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "text/encoding.h"
#include "text/text.h"
#include "ui/grid_data.h"
#include "ui/units.h"

namespace lanzhou {

// The program-wide import delimiter, empty at start-up and kept for the run. Only a confirmed
// delimiter prompt changes it.
Text& ImportDelimiter();

// Appends the lines of an input file's bytes to `grid`, a row per line, a cell per field
// (`SplitText`: a trailing delimiter adds no field; an empty delimiter keeps the line whole).
// The bytes are decoded as every input is (`DecodeInput`, `how`) and cut as `ReadLine` cuts
// them: a zero byte or 0x1A ends the load. A line with more fields than the grid has columns
// first appends columns captioned "<count + 1>", 50 pixels wide. A line of more than 65536
// fields, whose row would cost many times its bytes, throws `TooManyColumns` (the rows before it
// stay). `row_added(n)` hears of the n-th row loaded.
//
//   grid empty, bytes "a|b|c\r\nd|e\r\n", delimiter "|"
//     -> columns "1" "2" "3"; rows (a, b, c) and (d, e, "")

// A line with more fields than a grid takes. A kind of std::bad_alloc, since its row would cost
// many times its bytes: a caller that guards only against running out of memory stops too.
struct TooManyColumns : std::bad_alloc {
  explicit TooManyColumns(std::size_t line_number) : line(line_number) {}
  const char* what() const noexcept override { return "more fields than a grid takes"; }
  std::size_t line;  // 1-based, in the bytes loaded
};

void LoadDelimitedBytes(std::string_view file_bytes, const Text& delimiter, GridData& grid,
                        const std::function<void(std::size_t)>& row_added = {},
                        InputEncoding how = InputEncoding::kAuto);

// Loads the file at `path` as `LoadDelimitedBytes`; false, the grid unchanged and `problem`
// set as `ReadTextFile` (ui/dropped_text.h) sets it, when the file cannot be used or is not text.
bool LoadDelimitedFile(const Text& path, const Text& delimiter, GridData& grid,
                       const std::function<void(std::size_t)>& row_added = {},
                       Text* problem = nullptr, InputEncoding how = InputEncoding::kAuto);

// The column order typed by the user: "3,1" (or "3，1", "3、1", "3 1") read with
// `ReadNumberList` (so "３" reads 3 and "4294967297" names no column instead of column 1). An
// order it refuses ("x", "1.5", "0") gives no member.
std::vector<int> ParseColumnOrder(const Text& order);

// What is wrong with `order` for a grid of `column_count` columns, as the page says it, or
// "" when it names a column (numbers beyond the last beside it give empty fields); an order
// `ReadNumberList` refuses gets the page's hint.
//   OrderProblem("3,1", 3) == "";  OrderProblem("abc", 3) == "请输入要排序的列号，如 3,1";
//   OrderProblem("5,4", 3) == "请输入1到3之间的列号"
Text OrderProblem(const Text& order, int column_count);

// The highest column number of `order` as `ParseColumnOrder` reads it, 0 when none is above
// 0: an export only asks whether the grid reaches each number, so counting columns can stop
// there.   HighestColumn("3,1,x") == 3
int HighestColumn(const Text& order);

// The order that names every one of `column_count` columns in turn, as 编辑框_列 shows it
// after an import.   AllColumnsOrder(3) == "1,2,3"; AllColumnsOrder(0) == ""
Text AllColumnsOrder(int column_count);

// The bytes of the export file: a line and CR LF per row. For each number of the order, the
// row's cell in that 1-based column ("" when there is none), followed, unless it is the last
// number, by `out_delimiter` when the grid has that many columns (so 0 names no column yet
// is followed by one); then a delimiter that ends the line, at a character start, is dropped
// once. `rows_done(n)` hears every 4096 rows.
//
//   rows (a, b, c), (d, e, f); order "3,1"; delimiter "|"  ->  "c|a\r\nf|d\r\n"
//   on the row (a, b, c): order 1,9 -> "a"   order 9,1 -> "a"   order 0,1 -> "|a"
//   on the row ("億") ("億" is 83 7C, its second byte no delimiter): order 1 -> "億"
Bytes ExportColumns(const GridData& grid, const Text& order, const Text& out_delimiter,
                    const std::function<void(int rows)>& rows_done = {});

// The streaming form of loading decoded files (as `DecodeInput` gives them) into an empty
// grid and exporting it: the same bytes, without holding a cell. With `kPieces` the texts are
// pieces `DelimitedPieces` cut: what follows an end mark is already gone.
enum class DelimitedParts { kFiles, kPieces };

// The columns that grid would have: the most fields of any line (0 for none), or `at_most` as
// soon as a line has that many (an export only asks whether the grid reaches each number of
// its order). `scanned` hears of each part of a long line done with, so that the pages of a
// mapped text can go back meanwhile.
//   files "a|b\n", "c|d|e\n"; delimiter "|"  ->  3 (with at_most 2: 2)
int DelimitedColumnCount(std::span<const std::string_view> decoded_files,
                         std::string_view delimiter, int at_most = std::numeric_limits<int>::max(),
                         DelimitedParts parts = DelimitedParts::kFiles,
                         const std::function<void(std::string_view)>& scanned = nullptr);

// Appends the export to `out`; without an `order`, that of `AllColumnsOrder(column_count)`.
// `column_count` is `DelimitedColumnCount` of the same files, `at_most` at least the order's
// highest number. Memory beyond `out` is one line's field positions.
//
//   files "a|b|c\r\n", "d|e"; delimiter "|"; column_count 3; order "3,1"; out delimiter "|"
//     -> "c|a\r\n|d\r\n"
//
// With `write`, and without an `order`, a line longer than `kLongLineBytes` goes to `write` a
// part at a time as it is made, so that `out` holds no more than a few megabytes. False when
// `write` is.
bool AppendDelimitedExport(std::span<const std::string_view> decoded_files,
                           std::string_view delimiter, int column_count,
                           const std::optional<Text>& order, const Text& out_delimiter,
                           std::string& out, DelimitedParts parts = DelimitedParts::kFiles,
                           const std::function<bool(std::string_view)>& write = nullptr,
                           const std::function<void(std::string_view)>& scanned = nullptr);

// The same files cut for working on in parallel: pieces of whole lines of about a megabyte
// (`kTextPieceBytes`) of the part of every file that loads; the two functions above give over
// the pieces what they give over the files. `scanned` hears of each part done with.
//
//   files "a|b\nc\x1Ad\n", "e\n"  ->  "a|b\nc", "e\n"
std::vector<std::string_view> DelimitedPieces(
    std::span<const std::string_view> decoded_files,
    const std::function<void(std::string_view)>& scanned = nullptr);

// 按钮_导入 clicked: asks for the delimiter and a file, loads it into 超级列表框1 and rewrites
// 编辑框_列 as 1,2,…,n. A cancelled load leaves the grid and 标签_行数 as they were.
void OnImportClicked(Units& units);
// 拖放对象1 FilesDropped: asks for the delimiter once and loads each dropped file in turn
// (`paths` is one path, or several each followed by CR LF). 编辑框_列 is left alone.
void OnImportDropped(Units& units, const Text& paths);
// 按钮_导出 clicked: with rows and an order that names a column (else `OrderProblem`'s
// message), asks for the output delimiter and saves 处理后_<time>.txt; a cancel leaves no file.
void OnExportClicked(Units& units);
// 按钮_清空 clicked: removes every row and every column of 超级列表框1 and empties 标签_行数.
void OnClearClicked(Units& units);

}  // namespace lanzhou

#endif  // LANZHOU_PAGES_REORDER_H_
