#include "pages/dedupe.h"

#include "run/ordered_pipeline.h"

namespace lanzhou {

bool WriteDistinctLines(std::string_view text, const DistinctPiecesOptions& options,
                        const std::function<bool(std::string_view)>& write, std::string& error,
                        DistinctPiecesStats* stats) {
  return WriteDistinctPieces(text, "\r\n", options, write, error, stats);
}

Text DistinctLines(const Text& text, const Text& separator) {
  DistinctPiecesOptions options;
  options.threads = DefaultThreadCount();
  Text result;
  std::string unused;  // without a memory limit nothing can fail
  WriteDistinctPieces(
      text.view(), separator.view(), options,
      [&](std::string_view part) {
        result += part;
        return true;
      },
      unused);
  return result;
}

void OnDedupeClicked(Units& units) {
  units.SetEditText(Unit::编辑框3, DistinctLines(units.EditText(Unit::编辑框2)));
}

}  // namespace lanzhou
