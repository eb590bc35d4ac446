// The field-extraction page: records pasted one per line, fields separated by "|" (or by
// "----"), the chosen fields of every record saved to a new file in the save folder.
#ifndef LANZHOU_PAGES_EXTRACT_H_
#define LANZHOU_PAGES_EXTRACT_H_

#include <functional>
#include <string_view>
#include <vector>

#include "text/text.h"
#include "ui/units.h"

namespace lanzhou {

// Turns every "----" into "|", scanning left to right by character without rescanning:
// "a----b" -> "a|b", "-----" -> "|-". Applying it twice changes nothing more.
Text ConvertDashSeparators(const Text& records);

// The chosen fields of every record, one output line per record.
//
// `records` is the text as the records box holds it: records separated by CR LF, fields by
// "|"; every "----" counts as "|" (as if `ConvertDashSeparators` had run first). `field_numbers`
// is the text of the field-number box, read with `ReadNumberList` ("3|1", "3，1", "３ 1"); a
// list it refuses names no field. For every record, each number in order contributes its
// field followed by "|" and the final "|" is dropped; a number beyond the record's last field
// contributes nothing to that record, so its later fields move left.
//
//   ExtractFields("x|y|z\r\na----b", "3|1") == "z|x\r\na"   (the second record has no field 3)
//   ExtractFields("x|y\r\n\r\nq", "2")      == "y\r\n\r\n"
//
// The output has exactly one line per record (records as `SplitText` on CR LF gives them: a
// trailing CR LF adds no record, two in a row make an empty one), lines joined by CR LF, and
// no line end after the last line. Empty records, or a refused number list, give empty lines.
// Separators are found only at character boundaries (text/gbk_chars.h), so a "|" that
// is the second byte of a GBK character never splits a field. A large text is worked on all
// of the machine's cores (`WriteExtractedFields`); the work grows with the text's length
// whatever its records hold.
Text ExtractFields(const Text& records, const Text& field_numbers);

// What an extraction met, for its message: `lines` records, `lacking` of them without some
// field asked for, and the most fields a record had (counted no further than the highest
// number asked for).
//   "a|b|c\r\nx|y" with "3|1": lines 2, lacking 1, most_fields 3
struct ExtractCounts {
  std::size_t lines = 0;
  std::size_t lacking = 0;
  std::size_t most_fields = 0;
};

// The fields of `field_numbers` (each once, in the order asked) that no record had; none
// when there was no record.
//   with the counts above: FieldsNoLineHas("9|3|9", counts) == {9}
std::vector<int> FieldsNoLineHas(const Text& field_numbers, const ExtractCounts& counts);

// Whether some record's fields moved left: more than one field was asked for and some record
// lacked one.   ShiftsFieldsLeft("3|1", counts) == true; ShiftsFieldsLeft("3|3", counts) == false
bool ShiftsFieldsLeft(const Text& field_numbers, const ExtractCounts& counts);

// The streaming form for large texts: the bytes of `ExtractFields(records, field_numbers)`
// handed to `write` in order, a piece of records at a time, the pieces worked on `threads`
// threads; `progress(done, total)` hears how many bytes of `records` are done, and
// `scanned(end)` that a record longer than 64 MB was looked through up to `end` to find its
// end (`RunOverLines`); `counts`, when given, gets what the records held added to it. Stops
// and returns false when `write` does.
bool WriteExtractedFields(std::string_view records, const Text& field_numbers, int threads,
                          const std::function<bool(std::string_view)>& write,
                          const std::function<void(std::size_t, std::size_t)>& progress = {},
                          const std::function<void(std::size_t)>& scanned = {},
                          ExtractCounts* counts = nullptr);

// 按钮3 clicked: converts "----" in 编辑框4 (and leaves the converted text there), extracts
// the fields numbered in 列1 and saves them as 分割后_<time>.txt in the save folder
// (`ReportSave`), saying how many lines were saved, which fields no line had and how many
// lines' fields moved left. A list `ReadNumberList` refuses gets the hint "请输入要提取的项，如
// 3|1"; when no line has any field asked for, nothing is saved or changed and the message says
// so ("没有一行有第9项，未保存").
void OnExtractClicked(Units& units);

}  // namespace lanzhou

#endif  // LANZHOU_PAGES_EXTRACT_H_
