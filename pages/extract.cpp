#include "pages/extract.h"

#include <array>
#include <string_view>
#include <vector>

#include "services/clock.h"
#include "services/dialogs.h"
#include "services/encoding.h"
#include "services/files.h"
#include "services/gbk_chars.h"
#include "services/ordered_pipeline.h"
#include "services/text_primitives.h"

namespace lanzhou {
namespace {

// The field numbers that can address a field; 0 and below address none, so they are dropped
// here once instead of being tested for every record.
std::vector<int> ReadFieldNumbers(const Text& field_numbers) {
  std::vector<int> numbers;
  for (const Text& piece : SplitText(field_numbers, Text("|"))) {
    const int k = ToClampedInteger(piece);  // beyond int: beyond every record's last field
    if (k >= 1) numbers.push_back(k);
  }
  return numbers;
}

}  // namespace

Text ConvertDashSeparators(const Text& records) {
  const std::array<ReplacePair, 1> pairs{{{Text("----"), Text("|")}}};
  return BatchReplace(records, std::nullopt, 1, false, pairs);
}

bool NamesAnyField(const Text& field_numbers) { return !ReadFieldNumbers(field_numbers).empty(); }

Text ExtractFields(const Text& records, const Text& field_numbers) {
  const std::vector<int> numbers = ReadFieldNumbers(field_numbers);
  // One pass over the records that splits them as converting "----" and then splitting on
  // CR LF and on "|" would: every separator is looked for at character boundaries only, and
  // replacing four ASCII bytes by one keeps those boundaries where they were.
  const std::string_view s = records.view();
  Text out;
  out.mutable_bytes().reserve(s.size() / 4);
  std::vector<std::string_view> fields;
  std::size_t field_start = 0;
  bool first_record = true;
  auto end_field = [&](std::size_t end) {
    fields.push_back(s.substr(field_start, end - field_start));
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
  };
  std::size_t p = 0;
  while (p < s.size()) {
    const auto b = static_cast<unsigned char>(s[p]);
    if (b == '|') {
      end_field(p);
      field_start = p + 1;
      p += 1;
    } else if (b == '-' && s.compare(p, 4, "----") == 0) {
      end_field(p);
      field_start = p + 4;
      p += 4;
    } else if (b == '\r' && p + 1 < s.size() && s[p + 1] == '\n') {
      end_record(p);
      field_start = p + 2;
      p += 2;
    } else {
      p = NextCharStart(s, p);
    }
  }
  if (field_start < s.size() || !fields.empty()) end_record(s.size());
  return out;
}

bool WriteExtractedFields(std::string_view records, const Text& field_numbers, int threads,
                          const std::function<bool(std::string_view)>& write,
                          const std::function<void(std::size_t, std::size_t)>& progress) {
  // Pieces end right after a record's CR LF, so each holds whole records and their results
  // join with CR LF as the records' results do.
  constexpr std::size_t kPieceBytes = 1 << 20;
  struct Piece {
    std::size_t start = 0;
    std::size_t end = 0;
  };
  std::size_t at = 0;
  bool first = true;
  return RunInOrder<Piece, std::string>(
      ThreadsFor(records.size(), threads),
      [&](Piece& piece) {
        piece = {at, PieceEndAfter(records, "\r\n", at, kPieceBytes)};
        at = piece.end;
        return piece.start < records.size();
      },
      [&](const Piece& piece, std::string& out) {
        out = std::move(
            ExtractFields(Text(records.substr(piece.start, piece.end - piece.start)), field_numbers)
                .mutable_bytes());
      },
      [&](Piece& piece, std::string& out) {
        if (!first && !write("\r\n")) return false;
        first = false;
        if (progress) progress(piece.end, records.size());
        return out.empty() || write(out);
      });
}

void OnExtractClicked(Units& units) {
  // An order that names no field would save a file of empty lines: refused, as the wrap
  // page refuses a width below 1, before anything changes.
  if (!NamesAnyField(units.EditText(Unit::列1))) {
    ShowMessage(units.dialogs(), FromUtf8("请输入要提取的项，如 3|1"), message_flags::kIconWarning);
    return;
  }
  units.SetEditText(Unit::编辑框4, ConvertDashSeparators(units.EditText(Unit::编辑框4)));
  Text result;
  WriteExtractedFields(units.EditText(Unit::编辑框4).view(), units.EditText(Unit::列1),
                       DefaultThreadCount(), [&](std::string_view part) {
                         result += part;
                         return true;
                       });

  const SaveFolder folder = units.ChooseSaveFolder();
  const Text path = folder.path + Text("/") + FromUtf8("分割后_") +
                    TimeToText(units.clock().Now()) + Text(".txt");
  // The message promises a saved file, so it waits for the write to succeed.
  if (WriteToFile(path, {ToBytes(result)})) {
    ShowSaved(units.dialogs(), folder, FromUtf8("处理完毕，已保存在软件所在目录下"));
  } else {
    ShowMessage(units.dialogs(), FromUtf8("保存失败：") + path, message_flags::kIconError);
  }
}

}  // namespace lanzhou
