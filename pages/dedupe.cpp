#include "pages/dedupe.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "pages/save_result.h"
#include "run/ordered_pipeline.h"
#include "text/encoding.h"
#include "text/lines.h"
#include "text/normalize.h"
#include "text/text_primitives.h"
#include "ui/dialogs.h"

namespace lanzhou {

bool WriteDistinctLines(std::string_view text, const DistinctPiecesOptions& options,
                        const std::function<bool(std::string_view)>& write, std::string& error,
                        DistinctPiecesStats* stats) {
  return WriteDistinctPieces(text, "\r\n", options, write, error, stats);
}

Text DistinctLines(const Text& text, const Text& separator,
                   const std::function<void(std::uint64_t, std::uint64_t)>& progress) {
  DistinctPiecesOptions options;
  options.threads = DefaultThreadCount();
  options.progress = progress;
  Text result;
  std::string unused;  // without a memory limit nothing can fail
  WriteDistinctPieces(
      text.view(), separator.view(), options,
      [&](std::string_view part) {
        result += part;
        return true;
      },
      unused);
  return result;
}

namespace {

constexpr std::string_view kLineEnd = "\r\n";

// The pieces of `text` as the distinct lines split it (`ForEachMember` at CR LF).
template <typename Each>
void ForEachLine(std::string_view text, Each&& each) {
  ForEachMember(text, kLineEnd, [&](std::string_view line) {
    each(line);
    return true;
  });
}

Folds ComparedFolds(const DedupeIgnore& ignore) {
  return {.width = ignore.width,
          .punctuation = ignore.width,
          .trim = ignore.blanks,
          .squeeze = ignore.blanks,
          .lower = ignore.case_};
}

// A line and where its compared form lies in the piece's forms: in the text itself when the
// folds leave the line as it is.
struct ComparedLine {
  static constexpr std::size_t kInPlace = std::string_view::npos;
  std::string_view line;
  std::size_t form_start;  // kInPlace: the form is `line`
  std::size_t form_size;
  std::uint64_t hash;
};

struct ComparedPiece {
  std::vector<ComparedLine> lines;
  std::string forms;
  std::string converted;
  std::string kept;  // the lines the piece adds to the result

  std::string_view FormOf(const ComparedLine& line) const {
    return line.form_start == ComparedLine::kInPlace
               ? line.line
               : std::string_view(forms).substr(line.form_start, line.form_size);
  }
};

// The lines of `piece` (whole lines) with their compared forms.
void CompareForms(std::string_view piece, const DedupeIgnore& ignore, ComparedPiece& out) {
  out.lines.clear();
  out.forms.clear();
  const Folds folds = ComparedFolds(ignore);
  // A line that no fold changes is compared as it stands in the text; the others are folded
  // into `forms`, which a line never outgrows.
  std::size_t forms_end = 0;
  auto add = [&](std::string_view line, std::string_view folded) {
    if (folded.data() == line.data() && FoldsLeaveAsIs(line, folds)) {
      out.lines.push_back({line, ComparedLine::kInPlace, line.size(), 0});
      return;
    }
    if (out.forms.size() < forms_end + folded.size()) {
      out.forms.resize(std::max(2 * out.forms.size(), forms_end + folded.size()));
    }
    char* const start = out.forms.data() + forms_end;
    const auto size = static_cast<std::size_t>(NormalizeLineInto(folded, folds, start) - start);
    out.lines.push_back({line, forms_end, size, 0});
    forms_end += size;
  };
  if (ignore.script == nullptr) {
    out.forms.resize(piece.size());
    ForEachLine(piece, [&](std::string_view line) { add(line, line); });
  } else {
    // One conversion for the piece: OpenCC keeps every CR and LF, so its lines are the
    // piece's lines converted.
    out.converted.clear();
    ignore.script->Append(piece, out.converted);
    out.forms.resize(out.converted.size());
    std::vector<std::string_view> converted;
    ForEachLine(out.converted, [&](std::string_view line) { converted.push_back(line); });
    std::size_t k = 0;
    ForEachLine(piece, [&](std::string_view line) {
      if (k < converted.size()) {
        add(line, converted[k++]);
      } else {
        add(line, line);
      }
    });
    if (converted.size() != out.lines.size()) {  // never expected; line by line then
      out.lines.clear();
      forms_end = 0;
      std::string one;
      ForEachLine(piece, [&](std::string_view line) {
        one.clear();
        ignore.script->Append(line, one);
        add(line, one);
      });
    }
  }
  for (ComparedLine& line : out.lines) line.hash = std::hash<std::string_view>{}(out.FormOf(line));
}

// The compared forms seen so far: open addressing over slots of a form and its hash, linear
// probing, at most three quarters full. A form that lies in the text is kept as a view of it
// (the text outlives the table); the others are copied into blocks that never move.
class SeenForms {
 public:
  // False when `form` was seen before; otherwise it is kept. `lasting`: `form` lies in the
  // text.
  bool Insert(std::string_view form, std::uint64_t hash, bool lasting) {
    if (4 * (count_ + 1) > 3 * slots_.size()) Grow();
    const std::uint64_t key = KeyOf(hash);
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = key & mask;; i = (i + 1) & mask) {
      Slot& slot = slots_[i];
      if (slot.key == 0) {
        slot = {key, lasting ? form : Keep(form)};
        ++count_;
        return true;
      }
      if (slot.key == key && slot.form == form) return false;
    }
  }
  // Brings the slot a form of `hash` starts looking at into the cache.
  void Prefetch(std::uint64_t hash) const {
    if (!slots_.empty()) __builtin_prefetch(&slots_[KeyOf(hash) & (slots_.size() - 1)]);
  }

 private:
  struct Slot {
    std::uint64_t key = 0;  // the hash, never 0; 0 is an empty slot
    std::string_view form;
  };

  static std::uint64_t KeyOf(std::uint64_t hash) { return hash == 0 ? 1 : hash; }

  void Grow() {
    std::vector<Slot> old(slots_.empty() ? 1024 : 2 * slots_.size());
    old.swap(slots_);
    const std::size_t mask = slots_.size() - 1;
    for (const Slot& slot : old) {
      if (slot.key == 0) continue;
      std::size_t i = slot.key & mask;
      while (slots_[i].key != 0) i = (i + 1) & mask;
      slots_[i] = slot;
    }
  }

  std::string_view Keep(std::string_view form) {
    constexpr std::size_t kBlock = 1 << 20;
    if (blocks_.empty() || blocks_.back().capacity() - blocks_.back().size() < form.size()) {
      blocks_.emplace_back();
      blocks_.back().reserve(std::max(kBlock, form.size()));
    }
    std::string& block = blocks_.back();
    const std::size_t at = block.size();
    block += form;
    return std::string_view(block).substr(at, form.size());
  }

  std::vector<Slot> slots_;
  std::size_t count_ = 0;
  std::vector<std::string> blocks_;
};

}  // namespace

std::string ComparedForm(std::string_view line, const DedupeIgnore& ignore) {
  std::string converted;
  if (ignore.script != nullptr) {
    ignore.script->Append(line, converted);
    line = converted;
  }
  std::string form;
  AppendNormalizedLine(line, ComparedFolds(ignore), form);
  return form;
}

bool WriteDistinctLinesIgnoring(std::string_view text, const DedupeIgnore& ignore, int threads,
                                const std::function<bool(std::string_view)>& write,
                                const std::function<void(std::uint64_t, std::uint64_t)>& progress) {
  // Pieces of whole lines get their compared forms on every thread; the forms are looked up
  // in order on this one.
  SeenForms seen;
  JoinedLines joined;
  return RunOverLines<ComparedPiece>(
      text, kLineEnd, threads,
      [&](std::string_view piece, ComparedPiece& result) { CompareForms(piece, ignore, result); },
      [&](TextPiece& piece, ComparedPiece& result) {
        result.kept.clear();
        // The table is far larger than the cache: each line's slot is asked for a few lines
        // ahead.
        constexpr std::size_t kAhead = 8;
        const std::vector<ComparedLine>& lines = result.lines;
        for (std::size_t k = 0; k < lines.size(); ++k) {
          if (k + kAhead < lines.size()) seen.Prefetch(lines[k + kAhead].hash);
          const ComparedLine& line = lines[k];
          if (!seen.Insert(result.FormOf(line), line.hash,
                           line.form_start == ComparedLine::kInPlace)) {
            continue;
          }
          result.kept += kLineEnd;
          result.kept += line.line;
        }
        if (progress) progress(piece.end, text.size());
        return joined.Write(result.kept, write);
      });
}

Text DistinctLinesIgnoring(const Text& text, const DedupeIgnore& ignore,
                           const std::function<void(std::uint64_t, std::uint64_t)>& progress) {
  if (!ignore.Any()) return DistinctLines(text, Text("\r\n"), progress);
  Text result;
  WriteDistinctLinesIgnoring(text.view(), ignore, DefaultThreadCount(),
                             [&](std::string_view part) {
                               result += part;
                               return true;
                             },
                             {});
  return result;
}

void OnDedupeClicked(Units& units) {
  DedupeIgnore ignore{.width = units.IsTicked(Unit::选择框_忽略全半角),
                      .blanks = units.IsTicked(Unit::选择框_忽略空白),
                      .case_ = units.IsTicked(Unit::选择框_忽略大小写)};
  ScriptFold t2s;
  if (units.IsTicked(Unit::选择框_忽略繁简)) {
    std::string error;
    if (!t2s.Open("t2s", error)) {
      ShowMessage(units.dialogs(), FromUtf8("无法加载繁简转换词典：") + FromUtf8(error),
                  message_flags::kIconError);
      return;
    }
    ignore.script = &t2s;
  }
  const Text input = units.EditText(Unit::编辑框2);
  if (RefuseEmptyInput(units, input)) return;
  Text result;
  Text counts;
  if (!units.RunLongWork([&](WorkProgress& progress) {
        result = DistinctLinesIgnoring(input, ignore, [&](std::uint64_t done, std::uint64_t total) {
          progress.Step(done, total);
        });
        const std::size_t kept = CountLines(result.view());
        counts = CountedText("以下为去重结果：保留 ", kept, " 行") +
                 CountedText("，去掉重复 ", CountLines(input.view()) - kept, " 行");
      })) {
    ReportCancelled(units);
    return;
  }
  units.SetEditText(Unit::编辑框3, result);
  // The page saves no file: its counts show above the result.
  units.SetCaption(Unit::标签6, counts);
}

}  // namespace lanzhou
