#include "pages/dedupe.h"

#include "run/ordered_pipeline.h"

namespace lanzhou {

bool WriteDistinctLines(std::string_view text, const DistinctPiecesOptions& options,
                        const std::function<bool(std::string_view)>& write, std::string& error,
                        DistinctPiecesStats* stats) {
  return WriteDistinctPieces(text, "\r\n", options, write, error, stats);
}

Text DistinctLines(const Text& text, const Text& separator,
                   const std::function<void(std::uint64_t, std::uint64_t)>& progress) {
  DistinctPiecesOptions options;
  options.threads = DefaultThreadCount();
  options.progress = progress;
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
  const Text input = units.EditText(Unit::编辑框2);
  Text result;
  if (!units.RunLongWork([&](WorkProgress& progress) {
        result = DistinctLines(input, Text("\r\n"), [&](std::uint64_t done, std::uint64_t total) {
          progress.Step(done, total);
        });
      })) {
    return;
  }
  units.SetEditText(Unit::编辑框3, result);
}

}  // namespace lanzhou
