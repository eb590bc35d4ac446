#include "pages/dedupe.h"

namespace lanzhou {

void OnDedupeClicked(Units&) {}

}  // namespace lanzhou
