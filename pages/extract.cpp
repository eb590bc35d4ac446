#include "pages/extract.h"

#include <array>
#include <vector>

#include "services/clock.h"
#include "services/dialogs.h"
#include "services/encoding.h"
#include "services/files.h"
#include "services/text_primitives.h"

namespace lanzhou {
namespace {

// The field numbers that can address a field; 0 and below address none, so they are dropped
// here once instead of being tested for every record.
std::vector<int> ReadFieldNumbers(const Text& field_numbers) {
  std::vector<int> numbers;
  for (const Text& piece : SplitText(field_numbers, Text("|"))) {
    const int k = ToInteger(piece);
    if (k >= 1) numbers.push_back(k);
  }
  return numbers;
}

}  // namespace

Text ConvertDashSeparators(const Text& records) {
  const std::array<ReplacePair, 1> pairs{{{Text("----"), Text("|")}}};
  return BatchReplace(records, std::nullopt, 1, false, pairs);
}

Text ExtractFields(const Text& records, const Text& field_numbers) {
  const std::vector<int> numbers = ReadFieldNumbers(field_numbers);
  const TextArray lines = SplitText(ConvertDashSeparators(records), Text("\r\n"));
  const Text bar("|");
  Text out;
  out.mutable_bytes().reserve(records.size());
  bool first_line = true;
  for (const Text& line : lines) {
    if (!first_line) out += std::string_view("\r\n");
    first_line = false;
    if (numbers.empty()) continue;
    const TextArray fields = SplitText(line, bar);
    bool first_field = true;
    for (int k : numbers) {
      if (k > static_cast<int>(fields.size())) continue;
      if (!first_field) out += std::string_view("|");
      first_field = false;
      out += fields[k - 1];
    }
  }
  return out;
}

void OnExtractClicked(Units& units) {
  units.SetEditText(Unit::编辑框4, ConvertDashSeparators(units.EditText(Unit::编辑框4)));
  const Text result = ExtractFields(units.EditText(Unit::编辑框4), units.EditText(Unit::列1));

  const Text path = units.RunDirectory() + Text("/") + FromUtf8("分割后_") +
                    TimeToText(units.clock().Now()) + Text(".txt");
  // The message promises a saved file, so it waits for the write to succeed.
  if (WriteToFile(path, {ToBytes(result)})) {
    ShowMessage(units.dialogs(), FromUtf8("处理完毕，已保存在软件所在目录下"));
  } else {
    ShowMessage(units.dialogs(), FromUtf8("保存失败：") + path, message_flags::kIconError);
  }
}

}  // namespace lanzhou
