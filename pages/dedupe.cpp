#include "pages/dedupe.h"

#include <string_view>
#include <unordered_set>

#include "services/text_primitives.h"

namespace lanzhou {

Text DistinctLines(const Text& text, const Text& separator) {
  const TextArray pieces = SplitText(text, separator);
  // Views into `pieces`, which outlives the set.
  std::unordered_set<std::string_view> seen;
  seen.reserve(pieces.size());
  Text result;
  result.mutable_bytes().reserve(text.size());
  for (const Text& piece : pieces) {
    if (!seen.insert(piece.view()).second) continue;
    if (seen.size() > 1) result += separator;  // not the first distinct piece
    result += piece;
  }
  return result;
}

int FindTextInArray(const TextArray& array, const Text& text) {
  for (std::size_t i = 0; i < array.size(); ++i) {
    if (array[i] == text) return static_cast<int>(i) + 1;
  }
  return -1;
}

void OnDedupeClicked(Units& units) {
  units.SetEditText(Unit::编辑框3, DistinctLines(units.EditText(Unit::编辑框2)));
}

}  // namespace lanzhou
