#include "pages/extract.h"

namespace lanzhou {

void OnExtractClicked(Units&) {}

}  // namespace lanzhou
