// The duplicate-removal page.
#ifndef LANZHOU_PAGES_DEDUPE_H_
#define LANZHOU_PAGES_DEDUPE_H_

#include "services/units.h"

namespace lanzhou {

// 按钮1 clicked.
void OnDedupeClicked(Units& units);

}  // namespace lanzhou

#endif  // LANZHOU_PAGES_DEDUPE_H_
