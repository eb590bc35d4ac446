#include "pages/extract.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <vector>

#include "io/files.h"
#include "pages/save_result.h"
#include "run/ordered_pipeline.h"
#include "text/encoding.h"
#include "text/gbk_chars.h"
#include "text/lines.h"
#include "text/text_primitives.h"
#include "ui/dialogs.h"

namespace lanzhou {
namespace {

// A refused list names no field.
std::vector<int> ReadFieldNumbers(const Text& field_numbers) {
  return ReadNumberList(field_numbers).value_or(std::vector<int>());
}

// Appends to `out` the fields `numbers` names of every record in `s`, a piece of records
// that `RunOverLines` cut, and counts its records in `counts`.
void AppendExtractedFields(std::string_view s, const std::vector<int>& numbers, std::string& out,
                           ExtractCounts& counts) {
  // One pass over the records that splits them as converting "----" and then splitting on
  // CR LF and on "|" would: every separator is looked for at character boundaries only, and
  // replacing four ASCII bytes by one keeps those boundaries where they were.
  out.reserve(out.size() + s.size() / 4);
  // Only the fields up to the highest number asked for are kept: a record packed with
  // separators costs no more than its bytes.
  const std::size_t highest =
      numbers.empty() ? 0
                      : static_cast<std::size_t>(*std::max_element(numbers.begin(), numbers.end()));
  std::vector<std::string_view> fields;
  std::size_t field_count = 0;  // of the record so far, kept or not
  std::size_t field_start = 0;
  bool first_record = true;
  auto end_field = [&](std::size_t end) {
    if (field_count++ < highest) fields.push_back(s.substr(field_start, end - field_start));
  };
  auto end_record = [&](std::size_t end) {
    if (field_start < end) end_field(end);  // a separator at the very end adds no field
    if (!first_record) out += std::string_view("\r\n");
    first_record = false;
    ++counts.lines;
    // Fields are counted up to the highest number asked for, so a record that has fewer
    // lacks one of them.
    if (fields.size() < highest) ++counts.lacking;
    counts.most_fields = std::max(counts.most_fields, fields.size());
    bool first_field = true;
    for (int k : numbers) {
      if (k > static_cast<int>(fields.size())) continue;
      if (!first_field) out += std::string_view("|");
      first_field = false;
      out += fields[k - 1];
    }
    fields.clear();
    field_count = 0;
  };
  // Each kind of separator is looked for on its own, the nearest taken first. None begins
  // with a byte another contains, so the one found next of each kind stays valid.
  // A record's end is found without reading through a long last record, whose fields after
  // the last one asked for are then never read.
  static constexpr std::array<std::string_view, 3> kSeparators = {"|", "----", "\r\n"};
  auto find = [s](std::size_t k, std::size_t from) {
    return k == 2 ? NextLineEndInPiece(s, kSeparators[k], from, from)
                  : FindSeparator(s, kSeparators[k], from, from);
  };
  std::array<std::size_t, 3> next{};
  for (std::size_t k = 0; k < kSeparators.size(); ++k) next[k] = find(k, 0);
  while (true) {
    const std::size_t k =
        static_cast<std::size_t>(std::min_element(next.begin(), next.end()) - next.begin());
    const std::size_t q = next[k];
    if (q == std::string_view::npos) break;
    if (k == 2) {
      end_record(q);
    } else {
      end_field(q);
      if (field_count >= highest) {
        // No later field of this record is asked for: on to its end, past the separators
        // between (a line packed with them costs one search).
        if (next[2] == std::string_view::npos) {
          end_record(s.size());
          return;
        }
        end_record(next[2]);
        field_start = next[2] + 2;
        // Only a separator found before the new record is looked for again: one found
        // beyond it (or none to the end) is still the next, and searching again from every
        // record to a far one, or to the end, would make the work grow with the square of
        // the text.
        for (std::size_t j = 0; j < kSeparators.size(); ++j) {
          if (next[j] < field_start) next[j] = find(j, field_start);
        }
        continue;
      }
    }
    field_start = q + kSeparators[k].size();
    next[k] = find(k, field_start);
  }
  if (field_start < s.size() || field_count > 0) end_record(s.size());
}

// How many different fields a valid list names.
std::size_t DistinctFields(const Text& field_numbers) {
  std::vector<int> numbers = ReadFieldNumbers(field_numbers);
  std::ranges::sort(numbers);
  return static_cast<std::size_t>(std::ranges::unique(numbers).begin() - numbers.begin());
}

}  // namespace

Text ConvertDashSeparators(const Text& records) {
  const std::array<ReplacePair, 1> pairs{{{Text("----"), Text("|")}}};
  return BatchReplace(records, std::nullopt, 1, false, pairs);
}

Text ExtractFields(const Text& records, const Text& field_numbers) {
  Text out;
  WriteExtractedFields(records.view(), field_numbers, DefaultThreadCount(),
                       [&out](std::string_view part) {
                         out += part;
                         return true;
                       });
  return out;
}

bool WriteExtractedFields(std::string_view records, const Text& field_numbers, int threads,
                          const std::function<bool(std::string_view)>& write,
                          const std::function<void(std::size_t, std::size_t)>& progress,
                          const std::function<void(std::size_t)>& scanned, ExtractCounts* counts) {
  // Pieces end right after a record's CR LF, so each holds whole records, and the records'
  // results join across pieces as within one.
  const std::vector<int> numbers = ReadFieldNumbers(field_numbers);
  struct Piece {
    std::string out;
    ExtractCounts counts;
  };
  JoinedLines joined;
  return RunOverLines<Piece>(
      records, "\r\n", threads,
      [&](std::string_view piece, Piece& result) {
        result.out.assign("\r\n");
        result.counts = {};
        AppendExtractedFields(piece, numbers, result.out, result.counts);
      },
      [&](TextPiece& piece, Piece& result) {
        if (progress) progress(piece.end, records.size());
        if (counts) {
          counts->lines += result.counts.lines;
          counts->lacking += result.counts.lacking;
          counts->most_fields = std::max(counts->most_fields, result.counts.most_fields);
        }
        return joined.Write(result.out, write);
      },
      scanned);
}

std::vector<int> FieldsNoLineHas(const Text& field_numbers, const ExtractCounts& counts) {
  std::vector<int> missing;
  if (counts.lines == 0) return missing;
  for (int k : ReadFieldNumbers(field_numbers)) {
    if (static_cast<std::size_t>(k) > counts.most_fields &&
        std::ranges::find(missing, k) == missing.end()) {
      missing.push_back(k);
    }
  }
  return missing;
}

bool ShiftsFieldsLeft(const Text& field_numbers, const ExtractCounts& counts) {
  return counts.lacking > 0 && DistinctFields(field_numbers) > 1;
}

namespace {

// "第9项" or "第9、12项".
Text FieldsText(const std::vector<int>& fields) {
  Text out = FromUtf8("第");
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) out += FromUtf8("、");
    out += ToText(fields[i]);
  }
  return out + FromUtf8("项");
}

}  // namespace

void OnExtractClicked(Units& units) {
  // A list that is not wholly numbers from 1 would save something the user did not ask for:
  // refused, as the wrap page refuses a width below 1, before anything changes.
  if (!ReadNumberList(units.EditText(Unit::列1))) {
    ShowMessage(units.dialogs(), FromUtf8("请输入要提取的项，如 3|1"), message_flags::kIconWarning);
    return;
  }
  const Text input = units.EditText(Unit::编辑框4);
  if (RefuseEmptyInput(units, input)) return;
  const Text numbers = units.EditText(Unit::列1);
  ResultFile file = ChooseResultFile(units, FromUtf8("分割后_"));
  Text converted;
  ExtractCounts counts;
  std::vector<int> missing;
  bool nothing_found = false;
  bool written = false;
  // The box changes only once the file is written, so a cancel changes nothing.
  if (!units.RunLongWork([&](WorkProgress& progress) {
        // A piece of records at a time, so that a cancel is heard soon: no "----" reaches
        // across a CR LF, and a piece starts on a character.
        for (std::size_t at = 0; at < input.size();) {
          const std::size_t end = PieceEndAfter(input.view(), "\r\n", at, kTextPieceBytes);
          converted += ConvertDashSeparators(Text(input.view().substr(at, end - at)));
          at = end;
          progress.Step(at, input.size());
        }
        std::string result;
        WriteExtractedFields(
            converted.view(), numbers, DefaultThreadCount(),
            [&](std::string_view part) {
              result += part;
              return true;
            },
            [&](std::size_t done, std::size_t total) { progress.Step(done, total); }, {}, &counts);
        missing = FieldsNoLineHas(numbers, counts);
        // No line has any field asked for: every line would be empty, nothing to save.
        nothing_found = counts.lines > 0 && missing.size() == DistinctFields(numbers);
        if (nothing_found) return;
        written = SaveResultFile(
            file, {Bytes(std::move(result))},
            [&](std::size_t done, std::size_t total) { progress.Step(done, total); });
      })) {
    ReportCancelled(units);
    return;
  }
  if (nothing_found) {
    ShowMessage(units.dialogs(),
                FromUtf8("没有一行有") + FieldsText(missing) + FromUtf8("，未保存"),
                message_flags::kIconWarning);
    return;
  }
  units.ReplaceEditText(Unit::编辑框4, converted);
  Text summary = CountedText("已保存 ", counts.lines, " 行");
  if (!missing.empty()) summary += FromUtf8("\n没有一行有") + FieldsText(missing);
  if (ShiftsFieldsLeft(numbers, counts)) {
    summary +=
        Text("\n") + CountedText("", counts.lacking, " 行缺少所选的项，这些行的其余项已左移");
  }
  ReportSave(units, file, written, FromUtf8("处理完毕，已保存在软件所在目录下"), summary);
}

}  // namespace lanzhou
