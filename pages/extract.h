// The field-extraction page: records pasted one per line, fields separated by "|" (or by
// "----"), the chosen fields of every record saved to a new file in the save folder.
#ifndef LANZHOU_PAGES_EXTRACT_H_
#define LANZHOU_PAGES_EXTRACT_H_

#include <functional>
#include <string_view>

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
// is the text of the field-number box: 1-based numbers separated by "|" (or "｜"), read with
// `ReadNumberList` (leading blanks skipped, full-width digits accepted, reading stops at the
// first non-digit). For every record, each number in order contributes its field followed by
// "|" and the final "|" is dropped; a number beyond the record's last field (one beyond the
// int range too: it is never wrapped), or below 1 (0, a negative number, no number at all),
// contributes nothing to that record.
//
//   ExtractFields("x|y|z\r\na----b", "3|1") == "z|x\r\na"   (the second record has no field 3)
//   ExtractFields("x|y\r\n\r\nq", "2")      == "y\r\n\r\n"
//
// The output has exactly one line per record (records as `SplitText` on CR LF gives them: a
// trailing CR LF adds no record, two in a row make an empty one), lines joined by CR LF, and
// no line end after the last line. Empty records, or an empty number list, give empty lines.
// Separators are found only at character boundaries (text/gbk_chars.h), so a "|" that
// is the second byte of a GBK character never splits a field. A large text is worked on all
// of the machine's cores (`WriteExtractedFields`).
Text ExtractFields(const Text& records, const Text& field_numbers);

// Whether `field_numbers` names any field: some number in it, read as `ExtractFields` reads
// it, is 1 or more. A list that names none gives nothing but empty lines, so the page and
// lanzhou-cli refuse it before anything changes.
//   NamesAnyField("3|1") == true; NamesAnyField("0|x") == false; NamesAnyField("") == false
bool NamesAnyField(const Text& field_numbers);

// The streaming form for large texts: the bytes of `ExtractFields(records, field_numbers)`
// handed to `write` in order, a piece of records at a time, the pieces worked on `threads`
// threads; `progress(done, total)` hears how many bytes of `records` are done, and
// `scanned(end)` that a record longer than 64 MB was looked through up to `end` to find its
// end (`RunOverLines`). Stops and returns false when `write` does.
bool WriteExtractedFields(std::string_view records, const Text& field_numbers, int threads,
                          const std::function<bool(std::string_view)>& write,
                          const std::function<void(std::size_t, std::size_t)>& progress = {},
                          const std::function<void(std::size_t)>& scanned = {});

// 按钮3 clicked: converts "----" in 编辑框4 (and leaves the converted text there), extracts
// the fields numbered in 列1 and saves them as 分割后_<time>.txt in the save folder
// (`SaveResult`).
void OnExtractClicked(Units& units);

}  // namespace lanzhou

#endif  // LANZHOU_PAGES_EXTRACT_H_
