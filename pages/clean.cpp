#include "pages/clean.h"

#include <algorithm>
#include <string>

#include "io/files.h"
#include "pages/save_result.h"
#include "run/ordered_pipeline.h"
#include "text/encoding.h"
#include "text/gbk_chars.h"
#include "text/lines.h"
#include "text/normalize.h"
#include "text/text_primitives.h"
#include "ui/dialogs.h"

namespace lanzhou {
namespace {

// Appends the cleaned lines of `piece` (whole lines), each followed by CR LF.
void AppendCleanedPiece(std::string_view piece, const Cleaning& cleaning, std::string& converted,
                        std::string& out) {
  out.clear();
  if (cleaning.script != nullptr && cleaning.script->is_open()) {
    converted.clear();
    cleaning.script->Append(piece, converted);
    piece = converted;
  }
  AppendNormalizedLines(piece, cleaning.folds, out);
}

// Where a long line can be cut so that the folds give, side by side, what they give for the
// whole line: between two printable ASCII characters, where no character, no run of blanks
// and no trimmed end lies across the cut. The first such place at or after `from` (`known`
// <= from a character start), or line.size().
std::size_t FoldCutAt(std::string_view line, std::size_t known, std::size_t from) {
  auto printable = [](char c) { return c > 0x20 && c < 0x7F; };
  for (std::size_t p = std::max<std::size_t>(from, known + 1); p < line.size(); ++p) {
    if (printable(line[p]) && printable(line[p - 1]) && IsCharStart(line, known, p - 1)) return p;
  }
  return line.size();
}

}  // namespace

Text CleanText(std::string_view text, const Cleaning& cleaning) {
  Text out;
  WriteCleanedText(text, cleaning, DefaultThreadCount(), [&out](std::string_view part) {
    out += part;
    return true;
  });
  return out;
}

bool WriteCleanedText(std::string_view text, const Cleaning& cleaning, int threads,
                      const std::function<bool(std::string_view)>& write,
                      const std::function<void(std::size_t, std::size_t)>& progress,
                      const std::function<void(std::size_t)>& scanned) {
  // Pieces end after an LF, so each holds whole lines; every cleaned line is followed by CR
  // LF. A piece that is one long line is folded where the pieces are taken, a part at a time
  // (the script fold, which reads words, takes it whole).
  struct Result {
    std::string lines;
    std::string converted;
    std::string_view long_line;
  };
  const bool by_parts = cleaning.script == nullptr || !cleaning.script->is_open();
  JoinedLines joined;
  // Folds `line` a part of about kLongLineBytes at a time; false when `write` is.
  auto write_long_line = [&](std::size_t line_start, std::string_view line, std::string& folded) {
    bool started = false;
    for (std::size_t at = 0; at < line.size();) {
      const std::size_t end = FoldCutAt(line, at, std::min(line.size(), at + kLongLineBytes));
      const std::string_view part = line.substr(at, end - at);
      folded.resize(part.size());
      folded.resize(static_cast<std::size_t>(
          NormalizeLineInto(part, cleaning.folds, folded.data()) - folded.data()));
      // Only a line that is one part can fold to nothing: every cut has a character beside it.
      if (!started && end == line.size() && folded.empty() && cleaning.folds.drop_empty) break;
      if (!started && !joined.WriteEnded("\r\n", write)) return false;
      started = true;
      if (!write(folded)) return false;
      if (scanned) scanned(line_start + end);
      at = end;
    }
    return true;
  };
  return RunOverLines<Result>(
      text, "\n", threads,
      [&](std::string_view piece, Result& result) {
        result.long_line = by_parts ? LongLineOfPiece(piece, kLongLineBytes) : std::string_view();
        if (result.long_line.empty()) {
          AppendCleanedPiece(piece, cleaning, result.converted, result.lines);
        }
      },
      [&](TextPiece& piece, Result& result) {
        if (!result.long_line.empty() &&
            !write_long_line(piece.start, result.long_line, result.lines)) {
          return false;
        }
        if (progress) progress(piece.end, text.size());
        return result.long_line.empty() ? joined.WriteEnded(result.lines, write) : true;
      },
      scanned);
}

void OnCleanClicked(Units& units) {
  Cleaning cleaning;
  cleaning.folds = {
      .width = units.IsTicked(Unit::选择框_全角),
      .punctuation = units.IsTicked(Unit::选择框_标点),
      .trim = units.IsTicked(Unit::选择框_首尾),
      .squeeze = units.IsTicked(Unit::选择框_空白),
      .lower = units.IsTicked(Unit::选择框_小写),
      .drop_empty = units.IsTicked(Unit::选择框_空行),
  };
  ScriptFold script;
  const char* config = units.IsTicked(Unit::单选框_繁转简)   ? "t2s"
                       : units.IsTicked(Unit::单选框_简转繁) ? "s2t"
                                                             : nullptr;
  if (config != nullptr) {
    std::string error;
    if (!script.Open(config, error)) {
      ShowMessage(units.dialogs(), FromUtf8("无法加载繁简转换词典：") + FromUtf8(error),
                  message_flags::kIconError);
      return;
    }
    cleaning.script = &script;
  }
  const Text input = units.EditText(Unit::清洗_编辑框);
  const ResultFile file = ChooseResultFile(units, FromUtf8("清洗后_"));
  std::string result;
  bool written = false;
  // The result box changes only once the work has run to its end, so a cancel changes nothing.
  if (!units.RunLongWork([&](WorkProgress& progress) {
        const auto step = [&](std::size_t done, std::size_t total) { progress.Step(done, total); };
        WriteCleanedText(
            input.view(), cleaning, DefaultThreadCount(),
            [&](std::string_view part) {
              result += part;
              return true;
            },
            step);
        written = WriteToFile(file.path, {Bytes(result)}, step);
      })) {
    return;
  }
  units.SetEditText(Unit::清洗后_编辑框, Text(std::move(result)));
  ReportSave(units, file, written, FromUtf8("处理完毕，已保存在软件所在目录下"));
}

}  // namespace lanzhou
