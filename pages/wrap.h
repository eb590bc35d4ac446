// The line-wrapping page.
#ifndef LANZHOU_PAGES_WRAP_H_
#define LANZHOU_PAGES_WRAP_H_

#include "services/units.h"

namespace lanzhou {

// 按钮2 clicked.
void OnWrapClicked(Units& units);

}  // namespace lanzhou

#endif  // LANZHOU_PAGES_WRAP_H_
