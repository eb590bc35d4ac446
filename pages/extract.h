// The field-extraction page.
#ifndef LANZHOU_PAGES_EXTRACT_H_
#define LANZHOU_PAGES_EXTRACT_H_

#include "services/units.h"

namespace lanzhou {

// 按钮3 clicked.
void OnExtractClicked(Units& units);

}  // namespace lanzhou

#endif  // LANZHOU_PAGES_EXTRACT_H_
