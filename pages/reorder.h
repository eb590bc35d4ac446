// The column-reorder page: a delimited text file is loaded into the grid 超级列表框1, one row
// per line and one column per field, and saved again with its columns in the order the user
// types. The loading and saving operations are plain functions over `GridData`, shared with
// the command-line companion; the handlers below wire them to the page's units.
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

// Appends the lines of an input file's bytes to `grid`, one row per line, one cell per field.
//
// The bytes are first decoded as every input file is (`DecodeInput`, as `how` says or, with
// kAuto, as the encoding detector decides: UTF-8 becomes GB18030, GBK is taken unchanged). Lines
// are then cut as `ReadLine` cuts them: LF ends a line where it starts a character
// (text/gbk_chars.h), one CR before it is dropped, and a zero byte or 0x1A ends the load (the
// lines before it are kept). A last line without LF counts; a file ending in LF gives no extra
// empty line.
//
// Each line is split with `SplitText(line, delimiter)`: one trailing delimiter adds no field
// and an empty line gives an empty row. A line of more than 65536 fields, whose row would
// cost many times its bytes, throws `TooManyColumns` (the rows before it stay). When a line has
// more fields than the grid has columns, columns captioned "<count + 1>" (decimal) and 50 pixels
// wide are appended first. Rows are only appended; earlier rows and columns stay. Cells beyond a
// line's fields read "".
//
//   grid empty, bytes "a|b|c\r\nd|e\r\n", delimiter "|"
//     -> columns "1" "2" "3"; rows (a, b, c) and (d, e, "")
//
// An empty delimiter leaves every line whole in column 0. Linear in the size of the input.
// `row_added(n)`, when given, hears of every row as the n-th loaded (for progress).
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

// Reads the file at `path` for reading only and loads it as `LoadDelimitedBytes`. Returns
// false, leaving the grid unchanged and `problem` (when given) set as `ReadTextFile`
// (ui/dropped_text.h) sets it, when the file cannot be used or is not text.
bool LoadDelimitedFile(const Text& path, const Text& delimiter, GridData& grid,
                       const std::function<void(std::size_t)>& row_added = {},
                       Text* problem = nullptr, InputEncoding how = InputEncoding::kAuto);

// The column order typed by the user: "3,1" (or "3，1", "3、1", "3 1") read with
// `ReadNumberList` (so "３" reads 3 and "4294967297" names no column instead of column 1). An
// order it refuses ("x", "1.5", "0") gives no member.
std::vector<int> ParseColumnOrder(const Text& order);

// What is wrong with `order` for a grid of `column_count` columns, as the page says it, or
// the empty text when it names a column: an order `ReadNumberList` refuses gets the page's
// hint "请输入要排序的列号，如 3,1"; one whose every number is beyond the last column gets
// "请输入1到<column_count>之间的列号". Numbers beyond the last column beside one that names a
// column are fine: they give empty fields.
//   OrderProblem("3,1", 3) == "";  OrderProblem("abc", 3) == the hint;
//   OrderProblem("5,4", 3) == "请输入1到3之间的列号"
Text OrderProblem(const Text& order, int column_count);

// The highest column number of `order` as `ParseColumnOrder` reads it, 0 when none is above
// 0: an export only asks whether the grid reaches each number, so counting columns can stop
// there.   HighestColumn("3,1,x") == 3
int HighestColumn(const Text& order);

// The order that names every one of `column_count` columns in turn, as 编辑框_列 shows it
// after an import.   AllColumnsOrder(3) == "1,2,3"; AllColumnsOrder(0) == ""
Text AllColumnsOrder(int column_count);

// The bytes of the export file: for every row of `grid`, in order, one line and CR LF. For
// each number of `ParseColumnOrder(order)` the line has the row's cell in that 1-based column
// ("" when there is none), followed, unless it is the last number, by `out_delimiter` when
// the grid has at least that many columns (so a number of 0 or below names no column but is
// still followed by the delimiter). Then a delimiter that ends the line is dropped once, if
// it starts a character there (text/gbk_chars.h). No header, no byte-order mark. An
// empty order gives one empty line per row; an empty grid gives empty Bytes. Linear in the
// size of the result.
//
//   rows (a, b, c), (d, e, f); order "3,1"; delimiter "|"  ->  "c|a\r\nf|d\r\n"
//   on the row (a, b, c): order 1,9 -> "a"   order 9,1 -> "a"   order 0,1 -> "|a"
//   on the row ("億") ("億" is 83 7C, its second byte no delimiter): order 1 -> "億"
// `rows_done(n)`, when given, hears every 4096 rows how many are done (for progress).
Bytes ExportColumns(const GridData& grid, const Text& order, const Text& out_delimiter,
                    const std::function<void(int rows)>& rows_done = {});

// The streaming form of loading decoded files into an empty grid and exporting it: the same
// bytes as `LoadDelimitedBytes` of each file in turn into a new `GridData`, then
// `ExportColumns`, without holding a cell. `decoded_files` are the files' texts already
// decoded (as `DecodeInput` gives them); lines, fields and the end of a file's load follow
// `LoadDelimitedBytes`.
//
// `DelimitedColumnCount` is the number of columns that grid would have: the most fields of
// any line of any file (0 when there is no field). Reading stops as soon as a line has
// `at_most` fields, and then `at_most` is returned: an export only asks whether the grid
// reaches each number of its order, so the order's highest number is all it needs.
//
//   files "a|b\n", "c|d|e\n"; delimiter "|"  ->  3 (with at_most 2: 2)
//
// With `DelimitedParts::kPieces`, `decoded_files` are pieces `DelimitedPieces` cut instead:
// what follows an end mark is already gone, and the end of a piece's long last line is known
// without reading the line through.
enum class DelimitedParts { kFiles, kPieces };
//
// `scanned`, when given, hears of each part of a long line done with (a few megabytes at a
// time), so that the pages of a mapped text can go back meanwhile.
int DelimitedColumnCount(std::span<const std::string_view> decoded_files,
                         std::string_view delimiter, int at_most = std::numeric_limits<int>::max(),
                         DelimitedParts parts = DelimitedParts::kFiles,
                         const std::function<void(std::string_view)>& scanned = nullptr);

// Appends the export to `out`; without an `order`, that of `AllColumnsOrder(column_count)`,
// streamed so that a line of any number of fields costs no memory but its output. `column_count`
// must be `DelimitedColumnCount` of the same files and delimiter, with `at_most` at least the
// highest number of `order` (passed in so a caller that needs it too counts only once). Two passes
// over the text in all; memory beyond `out` is one line's field positions.
//
//   files "a|b|c\r\n", "d|e"; delimiter "|"; column_count 3; order "3,1"; out delimiter "|"
//     -> "c|a\r\n|d\r\n"
//
// With `write`, and without an `order`, a line longer than `kLongLineBytes`
// (run/ordered_pipeline.h) goes to `write` a part at a time as it is made, with what came
// before it in `out`, so that `out` holds no more than a few megabytes; `scanned` hears of its
// parts done with as for `DelimitedColumnCount`. False when `write` is.
bool AppendDelimitedExport(std::span<const std::string_view> decoded_files,
                           std::string_view delimiter, int column_count,
                           const std::optional<Text>& order, const Text& out_delimiter,
                           std::string& out, DelimitedParts parts = DelimitedParts::kFiles,
                           const std::function<bool(std::string_view)>& write = nullptr,
                           const std::function<void(std::string_view)>& scanned = nullptr);

// The same files cut for working on in parallel: pieces of whole lines, about a megabyte
// each (`kTextPieceBytes`, run/ordered_pipeline.h), of the part of every file that loads (up
// to the first zero byte, and up to the first 0x1A that starts a character).
// `DelimitedColumnCount` and `AppendDelimitedExport` over the pieces
// (`DelimitedParts::kPieces`), one after another, give what they give over the files.
//
// The search for the end marks, then the cutting, hand `scanned` each part of a file they are
// done with (see `TextBeforeEndMark`; a line longer than 64 MB a step at a time), so that the
// pages of a large mapped file can go back meanwhile.
//
//   files "a|b\nc\x1Ad\n", "e\n"  ->  "a|b\nc", "e\n"
std::vector<std::string_view> DelimitedPieces(
    std::span<const std::string_view> decoded_files,
    const std::function<void(std::string_view)>& scanned = nullptr);

// 按钮_导入 clicked: asks for the delimiter, lets the user pick a file, loads it into
// 超级列表框1 and rewrites 编辑框_列 as 1,2,…,n for the grid's n columns.
// A long load runs as `Units::RunLongWork`, its row count growing in 标签_行数; when the user
// cancels it the grid and 标签_行数 stay as they were.
void OnImportClicked(Units& units);
// 拖放对象1 FilesDropped: asks for the delimiter once and loads each dropped file in turn
// (`paths` is one path, or several each followed by CR LF). 编辑框_列 is left alone.
void OnImportDropped(Units& units, const Text& paths);
// 按钮_导出 clicked: with rows in the grid and an order in 编辑框_列 that names one of its
// columns (`OrderProblem`, else only that message), asks for the output delimiter
// ("请输入导出的分隔符!") and saves the columns in that order as 处理后_<time>.txt in the save
// folder. A cancel (`Units::RunLongWork`) leaves no file.
void OnExportClicked(Units& units);
// 按钮_清空 clicked: removes every row and every column of 超级列表框1 and empties 标签_行数.
void OnClearClicked(Units& units);

}  // namespace lanzhou

#endif  // LANZHOU_PAGES_REORDER_H_
