#include "pages/reorder.h"

namespace lanzhou {

Text& ImportDelimiter() {
  static Text delimiter;
  return delimiter;
}
void OnImportClicked(Units&) {}
void OnImportDropped(Units&, const Text&) {}
void OnExportClicked(Units&) {}
void OnClearClicked(Units&) {}

}  // namespace lanzhou
