// The column-reorder page: delimited import into the grid, export in column order, clear.
#ifndef LANZHOU_PAGES_REORDER_H_
#define LANZHOU_PAGES_REORDER_H_

#include "services/units.h"

namespace lanzhou {

// The program-wide import delimiter, empty at start-up and kept for the run.
Text& ImportDelimiter();

// 按钮_导入 clicked: import by file dialog.
void OnImportClicked(Units& units);
// 拖放对象1 FilesDropped: import by drop.
void OnImportDropped(Units& units, const Text& paths);
// 按钮_导出 clicked: export in column order.
void OnExportClicked(Units& units);
// 按钮_清空 clicked: clear the grid.
void OnClearClicked(Units& units);

}  // namespace lanzhou

#endif  // LANZHOU_PAGES_REORDER_H_
