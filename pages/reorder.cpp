#include "pages/reorder.h"

#include <algorithm>
#include <functional>
#include <limits>
#include <new>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "io/files.h"
#include "pages/save_result.h"
#include "run/ordered_pipeline.h"
#include "text/encoding.h"
#include "text/gbk_chars.h"
#include "text/lines.h"
#include "text/text_primitives.h"
#include "ui/dialogs.h"
#include "ui/dropped_text.h"

namespace lanzhou {
namespace {

constexpr Unit kGrid = Unit::超级列表框1;

// The most columns an import makes: a grid row costs many times the bytes of its cells, so a
// line packed with more delimiters than a grid can show would multiply the memory.
constexpr std::size_t kMostImportedColumns = 1 << 16;

// The first `max_fields` members of `line` as `SplitText` gives them, as views into `line`.
void SplitFields(std::string_view line, std::string_view delimiter,
                 std::vector<std::string_view>& fields, std::size_t max_fields) {
  fields.clear();
  if (max_fields == 0) return;
  ForEachMember(line, delimiter, [&](std::string_view field) {
    fields.push_back(field);
    return fields.size() < max_fields;
  });
}

// Whether `line` ends with `delimiter` where a character starts.
bool EndsWithDelimiter(std::string_view line, std::string_view delimiter) {
  return !delimiter.empty() && line.ends_with(delimiter) &&
         IsCharStart(line, 0, line.size() - delimiter.size());
}

// Hands `scanned` the part of `line` before `end` once a long stretch of it is done with.
class LineScanned {
 public:
  LineScanned(std::string_view line, const std::function<void(std::string_view)>* scanned)
      : line_(line), scanned_(scanned) {}
  void Reached(std::size_t end) {
    if (scanned_ != nullptr && end - heard_ >= kLongLineBytes) {
      (*scanned_)(line_.substr(heard_, end - heard_));
      heard_ = end;
    }
  }
  // Read up to the end of `part`, a view into the line.
  void Reached(std::string_view part) {
    if (scanned_ != nullptr)
      Reached(static_cast<std::size_t>(part.data() - line_.data()) + part.size());
  }

 private:
  std::string_view line_;
  const std::function<void(std::string_view)>* scanned_;
  std::size_t heard_ = 0;
};

// A line's `LineScanned`: only a long line is worth handing back as it goes.
LineScanned HeardOf(std::string_view line, const std::function<void(std::string_view)>& scanned) {
  return LineScanned(line, scanned && line.size() > kLongLineBytes ? &scanned : nullptr);
}

// How many members `SplitText(line, delimiter)` gives, counted up to `cap`; `scanned` hears
// of the line's parts as they are done with.
std::size_t CountFields(std::string_view line, std::string_view delimiter, std::size_t cap,
                        LineScanned scanned = LineScanned({}, nullptr)) {
  std::size_t count = 0;  // members before `at`
  std::size_t at = 0;     // a character start after a delimiter, or where ASCII ended
  if (delimiter.size() == 1 && !line.empty()) {
    // In ASCII every byte is a character: a one-byte delimiter is counted in one pass (a line
    // packed with delimiters would otherwise cost a search for each), as far as the text is
    // ASCII, a step at a time.
    ScanInSteps(
        line.size(),
        [&](std::size_t from, std::size_t end) {
          const std::string_view step = line.substr(from, end - from);
          if (count >= cap || !IsAscii(step)) return false;
          count += static_cast<std::size_t>(std::count(step.begin(), step.end(), delimiter[0]));
          at = end;
          return true;
        },
        [&](std::size_t end) { scanned.Reached(end); });
    if (at == line.size()) return std::min(cap, count + (line.back() == delimiter[0] ? 0 : 1));
  }
  if (count < cap) {
    ForEachMember(line.substr(at), delimiter, [&](std::string_view member) {
      scanned.Reached(member);
      return ++count < cap;
    });
  }
  return std::min(count, cap);
}

// Where an exported line goes: into `out`, or, for a long line of the default order, to
// `write` a part at a time, `out` keeping only what waits.
class ExportOut {
 public:
  using Write = std::function<bool(std::string_view)>;
  ExportOut(std::string& out, const Write* write) : out_(out), write_(write) {}

  std::string& out() { return out_; }
  void StartLine() { start_ = out_.size(); }
  std::size_t start() const { return start_; }
  bool ok() const { return ok_; }

  void Add(std::string_view bytes) {
    if (!ok_) return;
    out_ += bytes;
    if (write_ != nullptr && out_.size() - start_ >= kLongLineBytes) WriteWaiting();
  }
  // Bytes at the end of the line that `DropEndingDelimiter` may still take back.
  void Keep(std::size_t bytes) { keep_ = bytes; }

 private:
  // Writes what waits up to and with its last ASCII byte before the last `keep_` bytes: a
  // character starts after it, so the rest of the line is judged from there as from its start.
  void WriteWaiting() {
    const std::size_t from = std::max(searched_, start_);
    if (out_.size() - from <= keep_) return;
    const std::size_t end = out_.size() - keep_;
    const std::size_t cut = end - LeadRunBefore(out_, from, end);
    if (cut == from) {
      searched_ = out_.size() - keep_;  // no ASCII byte there: looked at again never
      return;
    }
    ok_ = ok_ && (*write_)(std::string_view(out_).substr(0, cut));
    out_.erase(0, cut);
    start_ = 0;
    searched_ = 0;
  }

  std::string& out_;
  const Write* write_;
  std::size_t start_ = 0;     // of the line in `out_`
  std::size_t searched_ = 0;  // the line has no ASCII byte between `start_` and this
  std::size_t keep_ = 0;
  bool ok_ = true;
};

// Drops the delimiter that ends the line begun at `start` of `out`, once, when it starts a
// character there.
void DropEndingDelimiter(std::size_t start, std::string_view delimiter, std::string& out) {
  const std::string_view line = std::string_view(out).substr(start);
  // A GBK second byte may equal the delimiter ("億" is 83 7C): only a delimiter that starts
  // on a character boundary is one.
  if (EndsWithDelimiter(line, delimiter)) out.resize(out.size() - delimiter.size());
}

// Appends one exported line (without its line end) to `out`: for each 1-based column number
// of `order`, the cell `cells[number - 1]` ("" when there is no such cell), followed, unless
// it is the last one, by `delimiter` when `column_count >= number`. Then a delimiter that
// ends the line and starts a character there is dropped once.
void AppendExportLine(std::span<const std::string_view> cells, int column_count,
                      std::span<const int> order, std::string_view delimiter, std::string& out) {
  const std::size_t start = out.size();
  for (std::size_t k = 0; k < order.size(); ++k) {
    const int number = order[k];
    // Compared as numbers, never as number - 1, so INT_MIN cannot overflow.
    if (number >= 1 && static_cast<std::size_t>(number) <= cells.size()) {
      out += cells[static_cast<std::size_t>(number) - 1];
    }
    if (k + 1 < order.size() && column_count >= number) out += delimiter;
  }
  DropEndingDelimiter(start, delimiter, out);
}

// The exported line of `line` for the order 1, 2, …, `column_count`, as `AppendExportLine`
// makes it, streamed field by field: no list of fields, however many the line has. False
// when the out's `write` is.
bool AppendEveryColumnLine(std::string_view line, std::string_view delimiter, int column_count,
                           std::string_view out_delimiter, ExportOut& out,
                           LineScanned scanned = LineScanned({}, nullptr)) {
  out.StartLine();
  out.Keep(out_delimiter.size());
  const std::size_t columns = static_cast<std::size_t>(std::max(column_count, 0));
  std::size_t k = 0;  // cells written
  // Bytes of the line, a step at a time: each step's pages may go back once it is out.
  auto add_from_line = [&](std::string_view part) {
    for (std::size_t at = 0; at < part.size(); at += kLongLineBytes) {
      const std::string_view step = part.substr(at, kLongLineBytes);
      out.Add(step);
      scanned.Reached(step);
    }
  };
  if (delimiter == out_delimiter && !delimiter.empty() &&
      (k = CountFields(line, delimiter, columns + 1, scanned)) <= columns) {
    // The cells joined by the line's own delimiter are the line, less the delimiter that
    // ends it (which ends the last cell and begins none).
    add_from_line(
        EndsWithDelimiter(line, delimiter) ? line.substr(0, line.size() - delimiter.size()) : line);
  } else {
    k = 0;
    ForEachMember(line, delimiter, [&](std::string_view field) {
      if (k == columns) return false;
      if (k++ > 0) out.Add(out_delimiter);
      add_from_line(field);
      return true;
    });
  }
  // The delimiters after the cells the line lacks.
  for (; k < columns; ++k) {
    if (k > 0) out.Add(out_delimiter);
  }
  DropEndingDelimiter(out.start(), out_delimiter, out.out());
  return out.ok();
}

// The one export loop, whatever holds the rows: `next_row(cells, wanted)` puts the first
// `wanted` cells of the next row into `cells` (fewer when the row has fewer) and returns
// false after the last row. Each row becomes one line and CR LF.
template <typename NextRow>
void AppendExport(NextRow&& next_row, int column_count, const Text& order,
                  const Text& out_delimiter, std::string& out) {
  const std::vector<int> numbers = ParseColumnOrder(order);
  // Only the cells the order names are looked at, and a row has no more than the columns.
  const std::size_t wanted = static_cast<std::size_t>(std::min(HighestColumn(order), column_count));
  std::vector<std::string_view> cells;
  while (next_row(cells, wanted)) {
    AppendExportLine(cells, column_count, numbers, out_delimiter.view(), out);
    out += "\r\n";
  }
}

// The delimiter prompt both import paths start with; false when no delimiter is in force.
bool AskImportDelimiter(Units& units) {
  InputBox(units.dialogs(), FromUtf8("请输入导入的分隔符!"), Text(), Text("|"), &ImportDelimiter(),
           1);
  return !ImportDelimiter().empty();
}

Text RowCountCaption(std::size_t rows) {
  return FromUtf8("当前列表共: ") + ToText(static_cast<std::int64_t>(rows)) + FromUtf8(" 行");
}

void RefreshRowCount(Units& units) {
  units.SetCaption(Unit::标签_行数, RowCountCaption(units.Grid(kGrid).ItemCount()));
}

// One file into the grid, then the column widths and the row count, as after every load.
// False when the user cancelled: the grid and its row count are then as they were.
bool ImportFile(Units& units, const Text& path) {
  GridData& grid = units.Grid(kGrid);
  const std::size_t before = static_cast<std::size_t>(grid.ItemCount());
  // Loaded into a grid of its own while the window goes on showing this one; its columns
  // start as this one's, so new columns are numbered on from them.
  GridData loaded;
  for (const GridColumn& column : grid.columns()) {
    loaded.InsertColumn(-1, column.caption, column.width);
  }
  Text problem;
  bool read = false;
  const bool finished = units.RunLongWork(
      [&](WorkProgress& progress) {
        // A file too large for the memory keeps the rows that fitted and says so.
        try {
          read = LoadDelimitedFile(
              path, ImportDelimiter(), loaded, [&](std::size_t rows) { progress.Step(rows); },
              &problem);
        } catch (const TooManyColumns& e) {
          problem = FromUtf8("第") + ToText(static_cast<std::int64_t>(e.line)) +
                    FromUtf8("行的列数超过表格最多能显示的") +
                    ToText(static_cast<std::int64_t>(kMostImportedColumns)) + FromUtf8("列：") +
                    path;
        } catch (const std::bad_alloc&) {
          problem = FromUtf8("内存不足：") + path;
        } catch (const WorkCancelled&) {
          loaded = GridData();  // freed here, not on the window's thread
          throw;
        }
      },
      // The row count grows in 标签_行数 while a long file loads.
      {Unit::标签_行数, [before](std::uint64_t rows, std::uint64_t) {
         return RowCountCaption(before + static_cast<std::size_t>(rows));
       }});
  if (!finished) {
    RefreshRowCount(units);
    return false;
  }
  grid.TakeRowsFrom(loaded);
  units.LockRedraw(kGrid);
  units.AutoFitColumns(kGrid);
  units.UnlockRedraw(kGrid);
  RefreshRowCount(units);
  if (!read) {
    ShowMessage(units.dialogs(), problem, message_flags::kIconError);
  }
  return true;
}

}  // namespace

Text& ImportDelimiter() {
  static Text delimiter;
  return delimiter;
}

void LoadDelimitedBytes(std::string_view file_bytes, const Text& delimiter, GridData& grid,
                        const std::function<void(std::size_t)>& row_added, InputEncoding how) {
  const std::string decoded = DecodeInput(file_bytes, how);
  std::string_view rest = TextBeforeEndMark(decoded);
  std::string_view line;
  std::vector<std::string_view> fields;
  std::size_t rows = 0;
  while (NextFileLine(rest, line)) {
    SplitFields(line, delimiter.view(), fields, kMostImportedColumns + 1);
    // A line that would make more columns than a grid can show is refused before its cells
    // are made: each would cost many times its bytes.
    if (fields.size() > kMostImportedColumns) throw TooManyColumns(rows + 1);
    while (grid.ColumnCount() < static_cast<int>(fields.size())) {
      grid.InsertColumn(-1, ToText(grid.ColumnCount() + 1), 50);
    }
    std::vector<Text> cells;
    cells.reserve(fields.size());
    for (std::string_view field : fields) cells.emplace_back(field);
    grid.AppendRow(std::move(cells));
    if (row_added) row_added(++rows);
  }
}

bool LoadDelimitedFile(const Text& path, const Text& delimiter, GridData& grid,
                       const std::function<void(std::size_t)>& row_added, Text* problem,
                       InputEncoding how) {
  // Opened for reading only: a read-only input imports, and no input is ever changed.
  const std::optional<Bytes> bytes = ReadTextFile(path, problem);
  if (!bytes) return false;
  LoadDelimitedBytes(bytes->view(), delimiter, grid, row_added, how);
  return true;
}

std::vector<int> ParseColumnOrder(const Text& order) {
  // A number beyond int names no column, as one beyond the last column does.
  return ReadNumberList(order).value_or(std::vector<int>());
}

Text OrderProblem(const Text& order, int column_count) {
  const std::vector<int> numbers = ParseColumnOrder(order);
  if (numbers.empty()) return FromUtf8("请输入要排序的列号，如 3,1");
  if (std::ranges::none_of(numbers, [&](int n) { return n <= column_count; })) {
    return FromUtf8("请输入1到") + ToText(column_count) + FromUtf8("之间的列号");
  }
  return Text();
}

int HighestColumn(const Text& order) {
  int highest = 0;
  for (int number : ParseColumnOrder(order)) highest = std::max(highest, number);
  return highest;
}

Text AllColumnsOrder(int column_count) {
  std::string order;
  for (int i = 1; i <= column_count; ++i) {
    if (i > 1) order += ',';
    order += std::to_string(i);
  }
  return Text(std::move(order));
}

Bytes ExportColumns(const GridData& grid, const Text& order, const Text& out_delimiter,
                    const std::function<void(int rows)>& rows_done) {
  std::string out;
  int row = 0;
  auto next_row = [&](std::vector<std::string_view>& cells, std::size_t wanted) {
    if (rows_done && row % 4096 == 0) rows_done(row);
    if (row == grid.ItemCount()) return false;
    cells.resize(wanted);
    for (std::size_t c = 0; c < wanted; ++c) cells[c] = grid.CellView(row, static_cast<int>(c));
    ++row;
    return true;
  };
  AppendExport(next_row, grid.ColumnCount(), order, out_delimiter, out);
  return Bytes(std::move(out));
}

namespace {

// The lines of one of the texts the count and the export read, as `NextFileLine` takes them
// off a file's readable text. In a piece `DelimitedPieces` cut, every line end but the last
// lies in the piece's first megabyte (`NextLineEndInPiece`): the end of a long last line is
// found without reading through it.
class DelimitedLines {
 public:
  DelimitedLines() = default;
  DelimitedLines(std::string_view text, DelimitedParts parts)
      : piece_(parts == DelimitedParts::kPieces),
        text_(text),
        rest_(piece_ ? text : TextBeforeEndMark(text)) {}

  bool Next(std::string_view& line) {
    if (!piece_) return NextFileLine(rest_, line);
    if (rest_.empty()) return false;
    const std::size_t from = text_.size() - rest_.size();
    const std::size_t lf = NextLineEndInPiece(text_, "\n", from, from);
    if (lf == std::string_view::npos) {
      line = LastFileLine(rest_);
      rest_ = {};
      return true;
    }
    line = TakeLineEndingAt(rest_, lf - from);
    return true;
  }

 private:
  bool piece_ = false;
  std::string_view text_;
  std::string_view rest_;
};

}  // namespace

int DelimitedColumnCount(std::span<const std::string_view> decoded_files,
                         std::string_view delimiter, int at_most, DelimitedParts parts,
                         const std::function<void(std::string_view)>& scanned) {
  const std::size_t cap = static_cast<std::size_t>(std::max(at_most, 0));
  std::size_t most = 0;
  for (std::string_view text : decoded_files) {
    DelimitedLines lines(text, parts);
    std::string_view line;
    while (most < cap && lines.Next(line)) {
      most = std::max(most, CountFields(line, delimiter, cap, HeardOf(line, scanned)));
    }
  }
  return static_cast<int>(std::min(most, cap));
}

bool AppendDelimitedExport(std::span<const std::string_view> decoded_files,
                           std::string_view delimiter, int column_count,
                           const std::optional<Text>& order, const Text& out_delimiter,
                           std::string& out, DelimitedParts parts,
                           const std::function<bool(std::string_view)>& write,
                           const std::function<void(std::string_view)>& scanned) {
  // Room for as much as the input: mostly enough, and pages never written are never used.
  std::size_t input_size = 0;
  for (std::string_view text : decoded_files) input_size += text.size();
  if (!write) out.reserve(out.size() + input_size);
  std::size_t file = 0;
  DelimitedLines lines;
  auto next_row = [&](std::vector<std::string_view>& cells, std::size_t wanted) {
    std::string_view line;
    while (!lines.Next(line)) {
      if (file == decoded_files.size()) return false;
      lines = DelimitedLines(decoded_files[file++], parts);
    }
    SplitFields(line, delimiter, cells, wanted);
    return true;
  };
  if (order) {
    AppendExport(next_row, column_count, *order, out_delimiter, out);
    return true;
  }
  ExportOut each_out(out, write ? &write : nullptr);
  std::string_view line;
  for (std::string_view text : decoded_files) {
    for (DelimitedLines each(text, parts); each.Next(line);) {
      if (!AppendEveryColumnLine(line, delimiter, column_count, out_delimiter.view(), each_out,
                                 HeardOf(line, scanned))) {
        return false;
      }
      out += "\r\n";
    }
  }
  return true;
}

std::vector<std::string_view> DelimitedPieces(
    std::span<const std::string_view> decoded_files,
    const std::function<void(std::string_view)>& scanned) {
  std::vector<std::string_view> pieces;
  for (std::string_view text : decoded_files) {
    std::size_t heard = 0;
    text = TextBeforeEndMark(text, [&](std::size_t end) {  // what loads
      if (scanned) scanned(text.substr(heard, end - heard));
      heard = end;
    });
    for (std::size_t start = 0; start < text.size();) {
      const std::size_t end =
          PieceEndAfter(text, "\n", start, kTextPieceBytes, [&](std::size_t looked) {
            if (scanned) scanned(text.substr(start, looked - start));
          });
      pieces.push_back(text.substr(start, end - start));
      // Looking for the piece's end may bring in pages all through it.
      if (scanned) scanned(pieces.back());
      start = end;
    }
  }
  return pieces;
}

void OnImportClicked(Units& units) {
  if (!AskImportDelimiter(units)) return;
  CommonDialog& dialog = units.FileDialog(Unit::通用对话框1);
  if (!AskFileToOpen(units.dialogs(), dialog)) return;
  if (!ImportFile(units, dialog.file_name)) return;

  units.SetEditText(Unit::编辑框_列, AllColumnsOrder(units.Grid(kGrid).ColumnCount()));
}

void OnImportDropped(Units& units, const Text& paths) {
  if (!AskImportDelimiter(units)) return;
  for (const Text& path : DroppedPaths(paths)) {
    if (!ImportFile(units, path)) return;  // a cancel ends the whole drop
  }
}

void OnExportClicked(Units& units) {
  const GridData& grid = units.Grid(kGrid);
  if (grid.ItemCount() == 0) {
    ReportNothingDone(units, FromUtf8("请先导入资料！"));
    return;
  }
  // An order that names no column of the grid would save a file of empty lines: refused
  // before anything is asked.
  if (const Text problem = OrderProblem(units.EditText(Unit::编辑框_列), grid.ColumnCount());
      !problem.empty()) {
    ShowMessage(units.dialogs(), problem, message_flags::kIconWarning);
    return;
  }
  // A cancelled prompt leaves the delimiter empty and the export goes on without one.
  Text delimiter;
  InputBox(units.dialogs(), FromUtf8("请输入导出的分隔符!"), Text(), Text("|"), &delimiter, 1);
  const Text order = units.EditText(Unit::编辑框_列);
  ResultFile file = ChooseResultFile(units, FromUtf8("处理后_"));
  bool written = false;
  // The grid only changes in handlers, and none runs beside this one.
  if (!units.RunLongWork([&](WorkProgress& progress) {
        const Bytes content = ExportColumns(grid, order, delimiter, [&](int rows) {
          progress.Step(static_cast<std::uint64_t>(rows),
                        static_cast<std::uint64_t>(grid.ItemCount()));
        });
        written = SaveResultFile(file, {content}, [&](std::size_t done, std::size_t total) {
          progress.Step(done, total);
        });
      })) {
    ReportCancelled(units);
    return;
  }
  ReportSave(units, file, written, FromUtf8("导出数据成功！！！"),
             CountedText("已保存 ", static_cast<std::uint64_t>(grid.ItemCount()), " 行"));
}

void OnClearClicked(Units& units) {
  GridData& grid = units.Grid(kGrid);
  grid.DeleteAllItems();
  for (int n = grid.ColumnCount(); n > 0; --n) grid.DeleteColumn(0);
  units.SetCaption(Unit::标签_行数, Text());  // no count for no list, as at start
}

}  // namespace lanzhou
