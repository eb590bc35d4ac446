#include "pages/merge.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <new>
#include <optional>
#include <utility>
#include <vector>

#include "io/file_writer.h"
#include "io/files.h"
#include "pages/save_result.h"
#include "run/ordered_pipeline.h"
#include "text/encoding.h"
#include "text/lines.h"
#include "text/text_primitives.h"
#include "ui/dialogs.h"
#include "ui/dropped_text.h"

namespace lanzhou {
namespace {

// The two ways a merge joins: line i of A with line i of B, or every line of A with a datum.
enum class JoinMode { kPair, kDatum };

// The one joined line, CR LF included: line a of list A and its (always empty) second column,
// then in pair mode line b of list B and its second column, in fixed-datum mode the datum as
// it is, all joined by "|". So "x||y|" (four fields) or "x||d" (three fields).
void AppendJoinedLine(std::string_view a, std::string_view second, JoinMode mode,
                      std::string& out) {
  out.append(a);
  out.append("||");
  out.append(second);
  out.append(mode == JoinMode::kPair ? std::string_view("|\r\n") : std::string_view("\r\n"));
}

// Joined lines are collected and written in chunks of about this size: one write per chunk
// instead of one open, seek, write and close per line.
constexpr size_t kChunkBytes = 1 << 20;

// 合并数据.txt while one merge runs: opened once (created when missing), the joined lines
// collected and appended a chunk at a time. A failure takes back everything this merge
// appended (`OutputFile`), so the file never ends in half a line.
class MergeFile {
 public:
  explicit MergeFile(const Text& path) : out_(ToUtf8(path), OutputFile::Mode::kAppend) {}

  // Until another program that appends to the file is done with it, `while_waiting` is
  // called every 50 ms.
  bool Open(std::function<void()> while_waiting) {
    out_.set_while_waiting(std::move(while_waiting));
    return out_.Open();
  }

  std::string& buffer() { return buffer_; }

  // Writes the collected lines once there are enough of them.
  bool FlushIfFull() { return buffer_.size() < kChunkBytes || Flush(); }

  // Writes what is left and closes the file.
  bool Close() { return Flush() && out_.Commit(); }

  // The file ended in half a line (an earlier writer was stopped mid-line), and this merge's
  // lines start on a new line of their own.
  bool ended_partial_line() const { return out_.ended_partial_line(); }
  // Why the merge could not be saved.
  Text Failure(const Text& path) const {
    return SaveFailureText(path, out_.error(), out_.problem() == OutputFile::Problem::kNameMoved);
  }

 private:
  bool Flush() {
    const bool ok = out_.Write(buffer_);
    buffer_.clear();
    return ok;
  }

  OutputFile out_;
  std::string buffer_;
};

bool IsYes(int answer) { return answer == message_result::kYes; }

// A list that has rows is emptied first when the user says so.
void AskToClearList(Units& units, GridData& grid) {
  if (grid.ItemCount() > 0 &&
      IsYes(ShowMessage(units.dialogs(), FromUtf8("是否删除已有的数据？"),
                        message_flags::kYesNo | message_flags::kIconQuestion))) {
    grid.DeleteAllItems();
  }
}

// One row per line after the rows there are: its number in column 0, the line in column 1.
void AppendListRows(GridData& grid, TextArray lines) {
  for (Text& line : lines) {
    std::vector<Text> cells;
    cells.reserve(2);
    cells.push_back(ToText(grid.ItemCount() + 1));
    cells.push_back(std::move(line));
    grid.AppendRow(std::move(cells));
  }
}

void LoadList(Units& units, Unit grid_unit, const Text& paths) {
  GridData& grid = units.Grid(grid_unit);
  // Every file is read and judged before the user is asked to give up the list: a drop of
  // nothing but junk or unreadable files leaves the list as it was, unasked.
  std::vector<std::pair<Text, Bytes>> files;
  for (const Text& path : DroppedPaths(paths)) {
    Text problem;
    std::optional<Bytes> bytes = ReadTextFile(path, &problem);
    if (!bytes) {
      ShowMessage(units.dialogs(), problem, message_flags::kIconError);
      continue;
    }
    files.emplace_back(path, std::move(*bytes));
  }
  if (files.empty()) return;
  AskToClearList(units, grid);
  for (const auto& [path, bytes] : files) {
    // A file too large for the memory keeps the rows that fitted and says so.
    try {
      AppendListRows(grid, SplitListLines(bytes.view()));
    } catch (const std::bad_alloc&) {
      ShowMessage(units.dialogs(), FromUtf8("内存不足：") + path, message_flags::kIconError);
    }
  }
}

}  // namespace

std::string_view DecodeListText(std::string_view file_bytes, std::string& storage,
                                InputEncoding how, DetectedEncoding* detected,
                                const std::function<void(std::size_t)>& scanned) {
  return DecodeInputView(InputTextBeforeZero(file_bytes, how, scanned), storage, how, detected);
}

TextArray SplitListLines(std::string_view file_bytes, InputEncoding how) {
  std::string storage;
  const std::string_view decoded = DecodeListText(file_bytes, storage, how);
  TextArray lines;
  lines.reserve(CountLines(decoded));
  std::string_view rest = decoded;
  for (std::string_view line; NextLine(rest, line);) lines.emplace_back(line);
  return lines;
}

void AppendJoinedListPairs(std::string_view a_decoded, std::string_view b_decoded,
                           std::string& out) {
  const size_t n = std::min(CountLines(a_decoded), CountLines(b_decoded));
  // At most both texts whole plus the five separator bytes of every line.
  out.reserve(out.size() + a_decoded.size() + b_decoded.size() + 5 * n);
  std::string_view la, lb;
  for (size_t i = 0; i < n && NextLine(a_decoded, la) && NextLine(b_decoded, lb); ++i) {
    AppendJoinedLine(la, lb, JoinMode::kPair, out);
  }
}

void AppendJoinedListWithDatum(std::string_view a_decoded, std::string_view datum,
                               std::string& out) {
  out.reserve(out.size() + a_decoded.size() + (datum.size() + 4) * CountLines(a_decoded));
  for (std::string_view line; NextLine(a_decoded, line);) {
    AppendJoinedLine(line, datum, JoinMode::kDatum, out);
  }
}

bool WriteJoinedListWithDatum(std::string_view a_decoded, std::string_view datum, int threads,
                              const std::function<bool(std::string_view)>& write,
                              const std::function<void(std::size_t, std::size_t)>& progress,
                              const std::function<void(std::size_t)>& scanned) {
  // A piece's joined lines; or, for a piece that is one long line, what follows that line in
  // its joined line (the line comes first, as it is), the line written from the list.
  struct Joined {
    std::string bytes;
    std::string_view long_line;
  };
  return RunOverLines<Joined>(
      a_decoded, "\n", threads,
      [&](std::string_view lines, Joined& out) {
        out.bytes.clear();
        out.long_line = LongLineOfPiece(lines, kLongLineBytes);
        if (out.long_line.empty()) {
          AppendJoinedListWithDatum(lines, datum, out.bytes);
        } else {
          AppendJoinedLine({}, datum, JoinMode::kDatum, out.bytes);
        }
      },
      [&](TextPiece& piece, Joined& out) {
        const std::function<void(std::size_t)> read_to = ScannedFrom(scanned, piece.start);
        if (!out.long_line.empty() && !WriteInSteps(out.long_line, write, read_to)) return false;
        if (progress) progress(piece.end, a_decoded.size());
        return write(out.bytes);
      },
      scanned);
}

Text MergeOutputPath(const Text& run_directory) {
  return run_directory + FromUtf8("/合并数据.txt");
}

void OnMergeClicked(Units& units) {
  const GridData& a = units.Grid(Unit::超级列表框A);
  const GridData& b = units.Grid(Unit::超级列表框b);
  const int na = a.ItemCount();
  if (na == 0) {
    units.SetCaption(Unit::标签2, FromUtf8("请先导入资料！"));
    return;
  }
  const bool fixed_datum = units.IsTicked(Unit::选择框1);
  int n = na;
  Text datum;
  if (fixed_datum) {
    datum = units.EditText(Unit::编辑框1);
    // Lines of A with nothing joined to them would be appended as "a@qq.com||".
    if (datum.empty()) {
      ReportNothingDone(units, FromUtf8("共用数据为空，请先填写共用数据"));
      return;
    }
  } else {
    const int nb = b.ItemCount();
    if (na != nb &&
        !IsYes(ShowMessage(units.dialogs(),
                           FromUtf8("检测到您导入的A数据数量与B数据资料数量不一致，是否继续合并？"),
                           message_flags::kYesNo | message_flags::kIconQuestion))) {
      return;
    }
    n = std::min(na, nb);
  }

  if (n == 0) {
    ReportNothingDone(units, FromUtf8("B 没有资料，没有可合并的行"));
    return;
  }
  const SaveFolder folder = units.ChooseSaveFolder();
  const Text path = MergeOutputPath(folder.path);
  bool ok = false;
  Text failure;
  bool partial_line = false;  // the file ended in half a line
  std::atomic<bool> waiting{false};
  // The grids only change in handlers, and none runs beside this one.
  const bool finished = units.RunLongWork(
      [&](WorkProgress& progress) {
        MergeFile out(path);
        // Waiting for another program's lock can be cancelled too; the lines then wait
        // nowhere, and a cancel later takes back what was appended (`OutputFile`).
        ok = out.Open([&] {
          waiting = true;
          progress.Step(0, static_cast<std::uint64_t>(n));
        });
        waiting = false;
        // Cells are read row by row and copied at once.
        for (int r = 0; ok && r < n; ++r) {
          if (fixed_datum) {
            AppendJoinedLine(a.CellView(r, 1), datum.view(), JoinMode::kDatum, out.buffer());
          } else {
            AppendJoinedLine(a.CellView(r, 1), b.CellView(r, 1), JoinMode::kPair, out.buffer());
          }
          ok = out.FlushIfFull();
          progress.Step(static_cast<std::uint64_t>(r) + 1, static_cast<std::uint64_t>(n));
        }
        ok = ok && out.Close();
        if (!ok) failure = out.Failure(path);
        partial_line = out.ended_partial_line();
      },
      // "n/r" in 标签2 as the rows go.
      {Unit::标签2, [&waiting, total = ToText(n) + "/"](std::uint64_t r, std::uint64_t) {
         return waiting ? FromUtf8("等待其他程序写完合并数据.txt……")
                        : total + ToText(static_cast<int>(r));
       }});
  if (!finished) {
    units.SetCaption(Unit::标签2, FromUtf8("已取消"));
    return;
  }
  if (!ok) {
    ShowMessage(units.dialogs(), failure, message_flags::kIconError);
    return;
  }
  if (partial_line) {
    ShowMessage(units.dialogs(),
                FromUtf8("合并数据.txt 的最后一行不完整（之前的写入被中断），本次合并的数据"
                         "从新的一行开始。"),
                message_flags::kIconWarning);
  }
  units.SetCaption(Unit::标签2, FromUtf8("处理OK！"));
  ShowSaved(units.dialogs(), folder, FromUtf8("处理OK！"),
            CountedText("已合并 ", static_cast<std::uint64_t>(n), " 行"), path);
}

void OnListADropped(Units& units, const Text& paths) { LoadList(units, Unit::超级列表框A, paths); }

void OnListBDropped(Units& units, const Text& paths) { LoadList(units, Unit::超级列表框b, paths); }

namespace {

void ImportList(Units& units, Unit grid) {
  CommonDialog& dialog = units.FileDialog(Unit::通用对话框1);
  if (AskFileToOpen(units.dialogs(), dialog)) LoadList(units, grid, dialog.file_name);
}

void PasteList(Units& units, Unit grid_unit, const Text& text) {
  if (text.empty()) return;
  GridData& grid = units.Grid(grid_unit);
  AskToClearList(units, grid);
  TextArray lines;
  std::string_view rest = text.view();
  for (std::string_view line; NextLine(rest, line);) lines.emplace_back(line);
  AppendListRows(grid, std::move(lines));
}

}  // namespace

void OnImportAClicked(Units& units) { ImportList(units, Unit::超级列表框A); }

void OnImportBClicked(Units& units) { ImportList(units, Unit::超级列表框b); }

void OnListAPasted(Units& units, const Text& text) { PasteList(units, Unit::超级列表框A, text); }

void OnListBPasted(Units& units, const Text& text) { PasteList(units, Unit::超级列表框b, text); }

}  // namespace lanzhou
