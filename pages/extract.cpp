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

// The field numbers that can address a field; 0 and below address none, so they are dropped
// here once instead of being tested for every record.
std::vector<int> ReadFieldNumbers(const Text& field_numbers) {
  // Beyond int reads INT_MAX: beyond every record's last field.
  std::vector<int> numbers = ReadNumberList(field_numbers, '|');
  std::erase_if(numbers, [](int k) { return k < 1; });
  return numbers;
}

// Appends to `out` the fields `numbers` names of every record in `s`, a piece of records
// that `RunOverLines` cut.
void AppendExtractedFields(std::string_view s, const std::vector<int>& numbers, std::string& out) {
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
        for (std::size_t j = 0; j < kSeparators.size(); ++j) next[j] = find(j, field_start);
        continue;
      }
    }
    field_start = q + kSeparators[k].size();
    next[k] = find(k, field_start);
  }
  if (field_start < s.size() || field_count > 0) end_record(s.size());
}

}  // namespace

Text ConvertDashSeparators(const Text& records) {
  const std::array<ReplacePair, 1> pairs{{{Text("----"), Text("|")}}};
  return BatchReplace(records, std::nullopt, 1, false, pairs);
}

bool NamesAnyField(const Text& field_numbers) { return !ReadFieldNumbers(field_numbers).empty(); }

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
                          const std::function<void(std::size_t)>& scanned) {
  // Pieces end right after a record's CR LF, so each holds whole records, and the records'
  // results join across pieces as within one.
  const std::vector<int> numbers = ReadFieldNumbers(field_numbers);
  JoinedLines joined;
  return RunOverLines<std::string>(
      records, "\r\n", threads,
      [&](std::string_view piece, std::string& out) {
        out.assign("\r\n");
        AppendExtractedFields(piece, numbers, out);
      },
      [&](TextPiece& piece, std::string& out) {
        if (progress) progress(piece.end, records.size());
        return joined.Write(out, write);
      },
      scanned);
}

void OnExtractClicked(Units& units) {
  // An order that names no field would save a file of empty lines: refused, as the wrap
  // page refuses a width below 1, before anything changes.
  if (!NamesAnyField(units.EditText(Unit::列1))) {
    ShowMessage(units.dialogs(), FromUtf8("请输入要提取的项，如 3|1"), message_flags::kIconWarning);
    return;
  }
  const Text input = units.EditText(Unit::编辑框4);
  if (RefuseEmptyInput(units, input)) return;
  const Text numbers = units.EditText(Unit::列1);
  ResultFile file = ChooseResultFile(units, FromUtf8("分割后_"));
  Text converted;
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
            [&](std::size_t done, std::size_t total) { progress.Step(done, total); });
        written = SaveResultFile(
            file, {Bytes(std::move(result))},
            [&](std::size_t done, std::size_t total) { progress.Step(done, total); });
      })) {
    ReportCancelled(units);
    return;
  }
  units.ReplaceEditText(Unit::编辑框4, converted);
  ReportSave(units, file, written, FromUtf8("处理完毕，已保存在软件所在目录下"));
}

}  // namespace lanzhou
