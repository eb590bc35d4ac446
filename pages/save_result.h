// How a page names its result file and tells the user how the save went, the same for every
// page.
#ifndef LANZHOU_PAGES_SAVE_RESULT_H_
#define LANZHOU_PAGES_SAVE_RESULT_H_

#include "text/text.h"
#include "ui/save_folder.h"
#include "ui/units.h"

namespace lanzhou {

// A page's result file: the folder it goes to and its path there.
struct ResultFile {
  SaveFolder folder;
  Text path;
};

// `<folder>/<name_prefix><time>.txt` in the folder `units.ChooseSaveFolder()` gives, `<time>`
// being `TimeToText` of the page's clock:
//   ChooseResultFile(units, FromUtf8("分割后_")).path
//     == <run directory>/分割后_2015年3月4日12时30分45秒.txt
ResultFile ChooseResultFile(Units& units, const Text& name_prefix);

// Tells the user how writing `file` went; the message promises a saved file, so it comes only
// when `written`: `saved` in the run directory, elsewhere the folder (`ShowSaved`). A failed
// write shows "保存失败：" and the path.
// A page that counts what it saved gives `summary` instead, said the same wherever the file
// went: `summary`, then "保存在 " and the folder.
void ReportSave(Units& units, const ResultFile& file, bool written, const Text& saved,
                const Text& summary = Text());

}  // namespace lanzhou

#endif  // LANZHOU_PAGES_SAVE_RESULT_H_
