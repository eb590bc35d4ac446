#include "pages/wrap.h"

namespace lanzhou {

void OnWrapClicked(Units&) {}

}  // namespace lanzhou
