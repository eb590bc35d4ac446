// The information page (信息提取): phone numbers, e-mail addresses, QQ numbers, ID numbers,
// links and a user's pattern pulled out of free text (text/finders.h), and lines kept or
// dropped by a keyword list (text/keyword_filter.h). Results are shown and saved to a new
// file in the results folder.
#ifndef LANZHOU_PAGES_FIND_H_
#define LANZHOU_PAGES_FIND_H_

#include <functional>
#include <string_view>

#include "text/finders.h"
#include "text/keyword_filter.h"
#include "text/text.h"
#include "ui/units.h"

namespace lanzhou {

struct FoundItemsForm {
  bool distinct = false;   // keep the first of equal items only
  bool with_line = false;  // "<line number>:" before each item, lines counted from 1
};

// The items `finders` find in `text`, line by line (text/lines.h) and in each line in the
// order they start, one item per output line, lines joined by CR LF with none after the last:
//   FindItems("a 13800138000\r\nb zs@qq.com", {phone, email}, {}) == "13800138000\r\nzs@qq.com"
//   with_line: "1:13800138000\r\n2:zs@qq.com"
Text FindItems(const Text& text, const Finders& finders, FoundItemsForm form);

// The streaming form for large texts: the bytes of `FindItems` handed to `write` in order,
// the text worked a piece of lines at a time on `threads` threads; `progress(done, total)`
// hears how many bytes are done. Stops and returns false when `write` does.
bool WriteFoundItems(std::string_view text, const Finders& finders, FoundItemsForm form,
                     int threads, const std::function<bool(std::string_view)>& write,
                     const std::function<void(std::size_t, std::size_t)>& progress = {});

// The lines of `text` that hold a keyword (`keep`) or hold none (otherwise), without their
// line ends, joined by CR LF with none after the last.
//   FilterLines("北京人\r\n上海人", filter of "北京", true) == "北京人"
Text FilterLines(const Text& text, const KeywordFilter& filter, bool keep);

// The streaming form of `FilterLines`, as `WriteFoundItems`; `scanned(end)` hears that the
// bytes of `text` before `end` were read through, as a line longer than a piece is looked
// through for its end, matched and written, 64 MB at a time (a second pass starts again from
// lower down), so that the pages of a mapped text can go back.
bool WriteFilteredLines(std::string_view text, const KeywordFilter& filter, bool keep, int threads,
                        const std::function<bool(std::string_view)>& write,
                        const std::function<void(std::size_t, std::size_t)>& progress = {},
                        const std::function<void(std::size_t)>& scanned = {});

// 按钮_提取 clicked: the ticked finders and the pattern of 编辑框_自定义 run over
// 编辑框_提取资料; the items go to 编辑框_提取结果 and are saved as 提取后_<time>.txt.
// Nothing ticked and no pattern, or a pattern that does not compile, is refused with a
// message before anything changes.
void OnFindClicked(Units& units);

// 按钮_保留 / 按钮_删除 clicked: the lines of 编辑框_提取资料 that hold a keyword of
// 编辑框_关键词 (one per line; 整行匹配 and 忽略大小写 as ticked) are kept / dropped; the
// result goes to 编辑框_提取结果 and is saved as 过滤后_<time>.txt. No keyword is refused
// with a message.
void OnKeepClicked(Units& units);
void OnDropClicked(Units& units);

}  // namespace lanzhou

#endif  // LANZHOU_PAGES_FIND_H_
