#include "pages/clean.h"

#include <string>

#include "io/files.h"
#include "pages/save_result.h"
#include "run/ordered_pipeline.h"
#include "text/encoding.h"
#include "text/lines.h"
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
                      const std::function<void(std::size_t, std::size_t)>& progress) {
  // Pieces end after an LF, so each holds whole lines; every cleaned line is followed by CR
  // LF.
  struct Result {
    std::string lines;
    std::string converted;
  };
  JoinedLines joined;
  return RunOverLines<Result>(
      text, "\n", threads,
      [&](std::string_view piece, Result& result) {
        AppendCleanedPiece(piece, cleaning, result.converted, result.lines);
      },
      [&](TextPiece& piece, Result& result) {
        if (progress) progress(piece.end, text.size());
        return joined.WriteEnded(result.lines, write);
      });
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
