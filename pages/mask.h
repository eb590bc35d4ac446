// Masking of personal data (脱敏) before a list is passed on: mobile numbers, resident ID
// numbers, e-mail addresses, bank-card numbers and the names of one field.
#ifndef LANZHOU_PAGES_MASK_H_
#define LANZHOU_PAGES_MASK_H_

#include <cstddef>
#include <functional>
#include <string_view>

#include "text/text.h"
#include "ui/units.h"

namespace lanzhou {

struct MaskChoice {
  bool phone = false;
  bool id = false;
  bool email = false;
  bool bank = false;
  int name_field = 0;            // the field (from 1) that holds a name; 0 for none
  Text name_delimiter = Text();  // between the fields; empty: the whole line is the name
  Text mask = Text("*");         // one character
};

// What was masked, by kind.
struct MaskCounts {
  std::size_t phone = 0;
  std::size_t id = 0;
  std::size_t email = 0;
  std::size_t bank = 0;
  std::size_t name = 0;
};

// `text` with every item of the chosen kinds masked and every other byte as it was, line ends
// included. The items are those the finders find (text/finders.h), the ID numbers valid or
// not (a mistyped number is still someone's, the old 15-digit form too), the cards those that
// pass the Luhn check. An item keeps its length in characters and what is not its digits
// (+86, blanks, hyphens):
//   phone 138****8000 (first 3 and last 4 digits kept), ID 110105********002X (first 6 and
//   last 4), card 622202*********0128 (first 6 and last 4), e-mail z****@qq.com (the first
//   character of the name and the domain);
//   a name 张* (two characters), 张*丰 (three or more: the first and the last), 欧阳** (a
//   compound surname of the table in mask.cpp is kept whole).
// A character masked becomes one `choice.mask`, a full-width form (１, ａ …) the full-width
// form of an ASCII mask (＊). `counts`, when given, hears what was masked.
//   MaskText("电话 １３８００１３８０００\r\n", {.phone = true}) == "电话
//   １３８＊＊＊＊８０００\r\n"
Text MaskText(std::string_view text, const MaskChoice& choice, MaskCounts* counts = nullptr);

// The same bytes handed to `write` a piece of lines at a time, worked on up to `threads`
// threads; `progress(done, total)` hears the bytes done. False when `write` is.
bool WriteMaskedText(std::string_view text, const MaskChoice& choice, int threads,
                     const std::function<bool(std::string_view)>& write, MaskCounts& counts,
                     const std::function<void(std::size_t, std::size_t)>& progress = {});

// The counts as a user reads them, GB18030, kinds not chosen left out:
//   "手机号 2 个，身份证号 1 个，邮箱 0 个"
Text MaskCountsText(const MaskChoice& choice, const MaskCounts& counts);

// 按钮_脱敏 clicked (数据清洗 page): the phone numbers, ID numbers, e-mail addresses and bank
// cards of 清洗_编辑框 masked into 清洗后_编辑框 and saved as 脱敏后_<time>.txt (`ReportSave`,
// the counts by kind on its second line). An empty input or a cancel changes nothing.
void OnMaskClicked(Units& units);

}  // namespace lanzhou

#endif  // LANZHOU_PAGES_MASK_H_
