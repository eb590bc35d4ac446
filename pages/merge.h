// The A/B merge page: lists A and B loaded by drop, joined into 合并数据.txt.
#ifndef LANZHOU_PAGES_MERGE_H_
#define LANZHOU_PAGES_MERGE_H_

#include "services/units.h"

namespace lanzhou {

// 按钮_处理 clicked.
void OnMergeClicked(Units& units);
// 拖放对象A / 拖放对象b FilesDropped.
void OnListADropped(Units& units, const Text& paths);
void OnListBDropped(Units& units, const Text& paths);

}  // namespace lanzhou

#endif  // LANZHOU_PAGES_MERGE_H_
