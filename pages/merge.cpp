#include "pages/merge.h"

namespace lanzhou {

void OnMergeClicked(Units&) {}
void OnListADropped(Units&, const Text&) {}
void OnListBDropped(Units&, const Text&) {}

}  // namespace lanzhou
