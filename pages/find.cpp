#include "pages/find.h"

#include <algorithm>
#include <string>
#include <unordered_set>
#include <vector>

#include "io/files.h"
#include "pages/save_result.h"
#include "run/ordered_pipeline.h"
#include "text/encoding.h"
#include "text/lines.h"
#include "text/text_primitives.h"
#include "ui/dialogs.h"
#include "ui/long_work.h"

namespace lanzhou {
namespace {

struct Piece {
  std::size_t start = 0;
  std::size_t end = 0;
  std::size_t first_line = 1;  // the number of the piece's first line
};

// A piece's found items: every item preceded by CR LF (and its line number), and where each
// item's own text lies, for `distinct`.
struct Found {
  std::string bytes;
  struct Range {
    std::size_t record;  // where "\r\n" starts
    std::size_t item;    // where the item starts
  };
  std::vector<Range> ranges;
};

// A line longer than this is cut into pieces where `Finders::CutAfter` allows, so that the
// work and memory of a piece stay bounded whatever the shape of the text.
constexpr std::size_t kLongLine = kLongLineBytes;

// Pieces of whole lines of `text` one after another, with their first line numbers; a long
// line is cut where the finders allow.
class PieceCutter {
 public:
  PieceCutter(std::string_view text, bool count_lines, const Finders& finders)
      : text_(text), count_lines_(count_lines), finders_(&finders) {}
  bool Next(Piece& piece) {
    if (at_ >= text_.size()) return false;
    piece.start = at_;
    // The line end is looked for no further than a long line's length: finding it at the end
    // of a huge line would bring all of it in.
    const std::size_t window = std::min(text_.size(), at_ + kLongLine);
    piece.end = PieceEndAfter(text_.substr(0, window), "\n", at_, kTextPieceBytes);
    if (piece.end == window && window < text_.size() && text_[window - 1] != '\n') {
      const std::size_t cut = finders_->CutAfter(text_.substr(at_), kTextPieceBytes);
      piece.end = cut != std::string_view::npos ? at_ + cut
                                                : PieceEndAfter(text_, "\n", at_, kTextPieceBytes);
    }
    piece.first_line = line_;
    if (count_lines_) {
      line_ += static_cast<std::size_t>(
          std::count(text_.begin() + static_cast<std::ptrdiff_t>(piece.start),
                     text_.begin() + static_cast<std::ptrdiff_t>(piece.end), '\n'));
    }
    at_ = piece.end;
    return true;
  }

 private:
  std::string_view text_;
  bool count_lines_;
  const Finders* finders_;
  std::size_t at_ = 0;
  std::size_t line_ = 1;
};

Text WholeText(const std::function<bool(const std::function<bool(std::string_view)>&)>& run) {
  Text out;
  run([&out](std::string_view part) {
    out += part;
    return true;
  });
  return out;
}

// What a result comes to: its counts for the message, or why nothing is saved.
struct Summary {
  Text counts;
  Text nothing_done;
};

// Runs `produce` (the page's result, with progress) off the window's thread and shows the
// result in the result box. A result that `summarize` finds empty is told and not saved; any
// other is saved as <prefix><time>.txt in the results folder with its counts and place; a
// failed write names the file. A cancel changes nothing.
void ProduceAndSave(
    Units& units, const char* prefix,
    const std::function<Text(const std::function<void(std::size_t, std::size_t)>&)>& produce,
    const std::function<Summary(const Text&)>& summarize) {
  ResultFile file = ChooseResultFile(units, FromUtf8(prefix));
  Text result;
  Summary summary;
  bool written = false;
  if (!units.RunLongWork([&](WorkProgress& progress) {
        const auto step = [&](std::size_t done, std::size_t total) { progress.Step(done, total); };
        result = produce(step);
        summary = summarize(result);
        if (summary.nothing_done.empty()) written = SaveResultFile(file, {ToBytes(result)}, step);
      })) {
    ReportCancelled(units);
    return;
  }
  units.SetEditText(Unit::编辑框_提取结果, result);
  if (!summary.nothing_done.empty()) {
    ReportNothingDone(units, summary.nothing_done);
    return;
  }
  ReportSave(units, file, written, FromUtf8("处理完毕，已保存在软件所在目录下"), summary.counts);
}

void OnFilterClicked(Units& units, bool keep) {
  const Text keywords = units.EditText(Unit::编辑框_关键词);
  const KeywordOptions options{.whole_line = units.IsTicked(Unit::选择框_整行匹配),
                               .ignore_case = units.IsTicked(Unit::选择框_不分大小写)};
  std::string_view rest = keywords.view();
  std::string_view line;
  bool any = false;
  while (!any && NextLine(rest, line)) any = !line.empty();
  if (!any) {
    ShowMessage(units.dialogs(), FromUtf8("请输入关键词，一行一个"), message_flags::kIconWarning);
    return;
  }
  const Text input = units.EditText(Unit::编辑框_提取资料);
  if (RefuseEmptyInput(units, input)) return;
  ProduceAndSave(
      units, "过滤后_",
      [&](const auto& step) {
        const KeywordFilter filter(keywords.view(), options);
        return WholeText([&](const auto& write) {
          return WriteFilteredLines(input.view(), filter, keep, DefaultThreadCount(), write, step);
        });
      },
      [&](const Text& result) {
        const std::size_t lines = CountLines(input.view());
        const std::size_t kept = CountLines(result.view());
        if ((keep ? kept : lines - kept) == 0) {
          return Summary{{}, FromUtf8("没有含关键词的行，未保存文件")};
        }
        return Summary{
            CountedText("保留 ", kept, " 行") + CountedText("，去掉 ", lines - kept, " 行"), {}};
      });
}

}  // namespace

bool WriteFoundItems(std::string_view text, const Finders& finders, FoundItemsForm form,
                     int threads, const std::function<bool(std::string_view)>& write,
                     const std::function<void(std::size_t, std::size_t)>& progress) {
  PieceCutter cutter(text, form.with_line, finders);
  JoinedLines joined;
  std::unordered_set<std::string> seen;
  std::string kept;
  return RunInOrder<Piece, Found>(
      ThreadsFor(text.size(), threads), [&](Piece& piece) { return cutter.Next(piece); },
      [&](const Piece& piece, Found& found) {
        found.bytes.clear();
        found.ranges.clear();
        std::string_view rest = text.substr(piece.start, piece.end - piece.start);
        std::string_view line;
        for (std::size_t number = piece.first_line; NextLine(rest, line); ++number) {
          finders.FindInLine(line, [&](const FoundItem& item) {
            const std::size_t record = found.bytes.size();
            found.bytes += "\r\n";
            if (form.with_line) found.bytes += std::to_string(number) + ":";
            if (form.distinct) found.ranges.push_back({record, found.bytes.size()});
            found.bytes += item.item;
          });
        }
      },
      [&](Piece& piece, Found& found) {
        if (progress) progress(piece.end, text.size());
        if (!form.distinct) return joined.Write(found.bytes, write);
        kept.clear();
        for (std::size_t k = 0; k < found.ranges.size(); ++k) {
          const std::size_t end =
              k + 1 < found.ranges.size() ? found.ranges[k + 1].record : found.bytes.size();
          const std::string_view bytes(found.bytes);
          const std::string_view item =
              bytes.substr(found.ranges[k].item, end - found.ranges[k].item);
          if (seen.emplace(item).second) {
            kept.append(bytes.substr(found.ranges[k].record, end - found.ranges[k].record));
          }
        }
        return joined.Write(kept, write);
      });
}

Text FindItems(const Text& text, const Finders& finders, FoundItemsForm form) {
  return WholeText([&](const auto& write) {
    return WriteFoundItems(text.view(), finders, form, DefaultThreadCount(), write);
  });
}

bool WriteFilteredLines(std::string_view text, const KeywordFilter& filter, bool keep, int threads,
                        const std::function<bool(std::string_view)>& write,
                        const std::function<void(std::size_t, std::size_t)>& progress,
                        const std::function<void(std::size_t)>& scanned) {
  // A piece's kept lines, each after a CR LF; or a piece that is one long line, which is
  // matched and, when kept, written from the text here, in steps that `scanned` hears of.
  struct Filtered {
    std::string bytes;
    std::string_view long_line;
  };
  JoinedLines joined;
  return RunOverLines<Filtered>(
      text, "\n", threads,
      [&](std::string_view lines, Filtered& out) {
        out.bytes.clear();
        out.long_line = LongLineOfPiece(lines, kLongLine);
        if (!out.long_line.empty()) return;
        out.bytes.assign("\r\n");
        if (filter.AppendFilteredLines(lines, keep, out.bytes) == 0) out.bytes.clear();
      },
      [&](TextPiece& piece, Filtered& out) {
        if (!out.long_line.empty()) {
          const std::function<void(std::size_t)> read_to = ScannedFrom(scanned, piece.start);
          if (filter.LineMatches(out.long_line, read_to) == keep &&
              !(joined.Write("\r\n", write) && WriteInSteps(out.long_line, write, read_to))) {
            return false;
          }
        }
        if (progress) progress(piece.end, text.size());
        return out.long_line.empty() ? joined.Write(out.bytes, write) : true;
      },
      scanned);
}

Text FilterLines(const Text& text, const KeywordFilter& filter, bool keep) {
  return WholeText([&](const auto& write) {
    return WriteFilteredLines(text.view(), filter, keep, DefaultThreadCount(), write);
  });
}

void OnFindClicked(Units& units) {
  FinderChoice choice{.phone = units.IsTicked(Unit::选择框_手机号),
                      .email = units.IsTicked(Unit::选择框_邮箱),
                      .qq = units.IsTicked(Unit::选择框_QQ号),
                      .id = units.IsTicked(Unit::选择框_身份证号),
                      .old_id = units.IsTicked(Unit::选择框_旧身份证),
                      .url = units.IsTicked(Unit::选择框_网址),
                      .custom = units.EditText(Unit::编辑框_自定义)};
  if (PatternMatchesSingleBytes(choice.custom)) {
    ShowMessage(units.dialogs(),
                FromUtf8("自定义规则有误：\\C 匹配单个字节，会落在汉字中间，请不要使用"),
                message_flags::kIconWarning);
    return;
  }
  std::string error;
  const Finders finders(choice, &error);
  if (!error.empty()) {
    ShowMessage(units.dialogs(), FromUtf8("自定义规则有误：") + CustomRuleProblem(choice.custom),
                message_flags::kIconWarning);
    return;
  }
  // The old 15-digit numbers widen the ID finder; alone they would be ignored without a word.
  if (choice.old_id && !choice.id) {
    ShowMessage(units.dialogs(), FromUtf8("勾选“含15位旧号”时，请同时勾选“身份证号”"),
                message_flags::kIconWarning);
    return;
  }
  if (!finders.Any()) {
    ShowMessage(units.dialogs(), FromUtf8("请勾选要提取的信息，或填写自定义规则"),
                message_flags::kIconWarning);
    return;
  }
  const Text input = units.EditText(Unit::编辑框_提取资料);
  if (RefuseEmptyInput(units, input)) return;
  const FoundItemsForm form{.distinct = units.IsTicked(Unit::选择框_结果去重)};
  ProduceAndSave(
      units, "提取后_",
      [&](const auto& step) {
        return WholeText([&](const auto& write) {
          return WriteFoundItems(input.view(), finders, form, DefaultThreadCount(), write, step);
        });
      },
      [](const Text& result) {
        const std::size_t found = CountLines(result.view());
        if (found == 0) return Summary{{}, FromUtf8("没有找到要提取的信息，未保存文件")};
        return Summary{CountedText("找到 ", found, " 项"), {}};
      });
}

void OnKeepClicked(Units& units) { OnFilterClicked(units, true); }
void OnDropClicked(Units& units) { OnFilterClicked(units, false); }

}  // namespace lanzhou
