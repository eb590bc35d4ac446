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

// Where a long line can be cut for the script fold: just after a blank (space or tab).
// OpenCC's dictionaries separate keys from values and values from one another by blanks, so
// no phrase holds one and none lies across the cut. The first such place at or after `from`,
// or line.size().
std::size_t ScriptCutAt(std::string_view line, std::size_t from) {
  for (std::size_t p = std::max<std::size_t>(from, 1); p < line.size(); ++p) {
    if (line[p - 1] == ' ' || line[p - 1] == '\t') return p;
  }
  return line.size();
}

// Folds one long line given a run of its bytes at a time, each folded part cut where
// `FoldCutAt` allows, so that the parts give what the whole line gives. The line's CR LF
// before it goes out with its first part; a line that folds to nothing is dropped when the
// folds say so.
class LongLineFolder {
 public:
  LongLineFolder(const Folds& folds, JoinedLines& joined,
                 const std::function<bool(std::string_view)>& write)
      : folds_(folds), joined_(joined), write_(write) {}

  // `bytes` continue the line, and end it when `last`; `read_to(end)` hears after each part
  // folded straight from `bytes` that those before `end` are done with. False when `write` is.
  bool Add(std::string_view bytes, bool last,
           const std::function<void(std::size_t)>& read_to = nullptr) {
    const bool pending = !waiting_.empty();
    if (pending) waiting_ += bytes;
    const std::string_view text = pending ? std::string_view(waiting_) : bytes;
    std::size_t at = 0;
    while (at < text.size()) {
      const std::size_t end = FoldCutAt(text, at, std::min(text.size(), at + kLongLineBytes));
      if (end == text.size() && !last) break;  // what follows may still fold with it
      if (!Fold(text.substr(at, end - at), at == 0 && end == text.size())) return false;
      if (!pending && read_to) read_to(end);
      at = end;
    }
    if (pending) {
      waiting_.erase(0, at);
    } else {
      waiting_.assign(text.substr(at));
    }
    return true;
  }

 private:
  bool Fold(std::string_view part, bool whole) {
    folded_.resize(part.size());
    folded_.resize(
        static_cast<std::size_t>(NormalizeLineInto(part, folds_, folded_.data()) - folded_.data()));
    // Only a line folded in one part can fold to nothing: every cut has a character beside it.
    if (!started_ && whole && folded_.empty() && folds_.drop_empty) return true;
    if (!started_ && !joined_.WriteEnded("\r\n", write_)) return false;
    started_ = true;
    return write_(folded_);
  }

  const Folds& folds_;
  JoinedLines& joined_;
  const std::function<bool(std::string_view)>& write_;
  std::string waiting_;
  std::string folded_;
  bool started_ = false;
};

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
  // LF. A piece that is one long line is folded where the pieces are taken, a part at a time.
  struct Result {
    std::string lines;
    std::string converted;
    std::string_view long_line;
  };
  const ScriptFold* script =
      cleaning.script != nullptr && cleaning.script->is_open() ? cleaning.script : nullptr;
  JoinedLines joined;
  // Folds `line` a part at a time; false when `write` is.
  auto write_long_line = [&](std::size_t line_start, std::string_view line,
                             std::string& converted) {
    LongLineFolder folder(cleaning.folds, joined, write);
    const std::function<void(std::size_t)> read_to = ScannedFrom(scanned, line_start);
    // The line cut for the script fold: `each(part, last)` on each part in turn, until it
    // returns false (and then false).
    auto each_script_part = [&](const auto& each) {
      for (std::size_t at = 0; at < line.size();) {
        const std::size_t end = ScriptCutAt(line, std::min(line.size(), at + kLongLineBytes));
        if (!each(line.substr(at, end - at), end == line.size())) return false;
        read_to(end);
        at = end;
      }
      return true;
    };
    // The script fold converts a line only when all of it is GB18030: looked at first, a
    // part at a time, and the parts then converted one by one.
    const bool converts = script != nullptr && each_script_part([&](std::string_view part, bool) {
                            return script->ConvertsWhole(part);
                          });
    if (!converts) return folder.Add(line, true, read_to);
    return each_script_part([&](std::string_view part, bool last) {
      converted.clear();
      script->Append(part, converted);
      return folder.Add(converted, last);
    });
  };
  return RunOverLines<Result>(
      text, "\n", threads,
      [&](std::string_view piece, Result& result) {
        result.long_line = LongLineOfPiece(piece, kLongLineBytes);
        if (result.long_line.empty()) {
          AppendCleanedPiece(piece, cleaning, result.converted, result.lines);
        }
      },
      [&](TextPiece& piece, Result& result) {
        if (!result.long_line.empty() &&
            !write_long_line(piece.start, result.long_line, result.converted)) {
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
  if (config == nullptr && !cleaning.folds.Any()) {
    ReportNothingDone(units, FromUtf8("请至少勾选一项清洗方式"));
    return;
  }
  const Text input = units.EditText(Unit::清洗_编辑框);
  if (RefuseEmptyInput(units, input)) return;
  if (config != nullptr) {
    std::string error;
    if (!script.Open(config, error)) {
      ShowMessage(units.dialogs(), FromUtf8("无法加载繁简转换词典：") + FromUtf8(error),
                  message_flags::kIconError);
      return;
    }
    cleaning.script = &script;
  }
  ResultFile file = ChooseResultFile(units, FromUtf8("清洗后_"));
  std::string result;
  bool written = false;
  Text counts;
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
        written = SaveResultFile(file, {Bytes(result)}, step);
        const std::size_t kept = CountLines(result);
        const std::size_t before = CountLines(input.view());
        counts = CountedText("已保存 ", kept, " 行");
        if (before > kept) counts += CountedText("，去掉空行 ", before - kept, " 行");
      })) {
    ReportCancelled(units);
    return;
  }
  units.SetEditText(Unit::清洗后_编辑框, Text(std::move(result)));
  ReportSave(units, file, written, FromUtf8("处理完毕，已保存在软件所在目录下"), counts);
}

}  // namespace lanzhou
