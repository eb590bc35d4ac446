// How a page names its result file, saves it and tells the user how the save went, the same
// for every page.
#ifndef LANZHOU_PAGES_SAVE_RESULT_H_
#define LANZHOU_PAGES_SAVE_RESULT_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>

#include "text/text.h"
#include "ui/save_folder.h"
#include "ui/units.h"

namespace lanzhou {

// A page's result file: the folder it goes to and its path there.
struct ResultFile {
  SaveFolder folder;
  Text path;      // after `SaveResultFile`, the name the file got
  int error = 0;  // why `SaveResultFile` failed (an errno)
};

// `<folder>/<name_prefix><time>.txt` in the folder `units.ChooseSaveFolder()` gives, `<time>`
// being `TimeToText` of the page's clock:
//   ChooseResultFile(units, FromUtf8("分割后_")).path
//     == <run directory>/分割后_2015年3月4日12时30分45秒.txt
ResultFile ChooseResultFile(Units& units, const Text& name_prefix);

// Saves `parts` as a new file: at `file.path`, or, when a file has that name (a save in the
// same second, from this window or another), at the first free name with "_2", "_3" … before
// the extension, taken atomically (`WriteToNewFile`). Nothing is ever replaced. `file.path`
// becomes the name written; on failure `file.error` says why and no file is left.
//   分割后_2015年3月4日12时30分45秒.txt exists -> 分割后_2015年3月4日12时30分45秒_2.txt
bool SaveResultFile(ResultFile& file, std::initializer_list<Bytes> parts,
                    const std::function<void(std::size_t done, std::size_t total)>& step);

// A count as a person reads it, the thousands grouped, between two UTF-8 texts:
//   CountedText("已保存 ", 9812, " 行") == "已保存 9,812 行"; 1234567 -> "1,234,567"; 0 -> "0"
Text CountedText(const char* before, std::uint64_t count, const char* after);

// What a failed save tells the user: "保存失败：" + path and, in brackets, why: 没有写入权限
// (EACCES, EPERM), 磁盘为只读 (EROFS), 磁盘空间已满 (ENOSPC, EDQUOT), 文件超过大小上限 (EFBIG),
// 文件夹不存在 (ENOENT, ENOTDIR), 同名的文件夹已存在 (EISDIR), 文件名太长 (ENAMETOOLONG),
// 内存不足 (ENOMEM), 文件已被其他程序移走或替换 (`name_moved`), else 系统错误 and the number.
//   SaveFailureText("/d/合并数据.txt", ENOSPC) == "保存失败：/d/合并数据.txt（磁盘空间已满）"
Text SaveFailureText(const Text& path, int error, bool name_moved = false);

// Tells the user how writing `file` went; the message promises a saved file, so it comes only
// when `written`: `saved` in the run directory, elsewhere the folder, then `counts` and the
// file's path, with 打开文件夹 (`ShowSaved`). A failed write shows `SaveFailureText`.
void ReportSave(Units& units, const ResultFile& file, bool written, const Text& saved,
                const Text& counts = Text());

// Says that the user's 取消 stopped the page's work: "已取消"; nothing was written.
void ReportCancelled(Units& units);

// True, after telling the user, when `input` holds nothing to work on (nothing but blanks and
// line ends): the page then does nothing and writes nothing.
bool RefuseEmptyInput(Units& units, const Text& input);

// Says why a page did nothing and wrote nothing (an empty input, nothing found), as a warning.
void ReportNothingDone(Units& units, const Text& why);

}  // namespace lanzhou

#endif  // LANZHOU_PAGES_SAVE_RESULT_H_
