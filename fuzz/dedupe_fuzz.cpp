// Duplicate removal against a hash-set model: first occurrences in input order, joined by
// the separator; applying it again changes nothing.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>
#include <unordered_set>

#include "fuzz/fuzz_check.h"
#include "pages/dedupe.h"
#include "text/text_primitives.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace lanzhou;
  FuzzedDataProvider in(data, size);
  // Mostly the page's CR LF; sometimes any short separator.
  const Text separator =
      in.ConsumeIntegralInRange(0, 3) == 0 ? Text(in.ConsumeRandomLengthString(3)) : Text("\r\n");
  const Text text(in.ConsumeRemainingBytesAsString());
  const Text out = DistinctLines(text, separator);
  const std::string detail = "separator \"" + fuzz::Escaped(separator.view()) + "\" input \"" +
                             fuzz::Escaped(text.view()) + "\" output \"" +
                             fuzz::Escaped(out.view()) + "\"";
  if (separator.empty()) {
    FUZZ_CHECK(out == text, detail);
    return 0;
  }

  std::unordered_set<std::string> seen;
  TextArray first;
  for (const Text& piece : SplitText(text, separator)) {
    if (seen.insert(piece.bytes()).second) first.push_back(piece);
  }
  std::string expected;
  for (std::size_t i = 0; i < first.size(); ++i) {
    if (i > 0) expected += separator.view();
    expected += first[i].view();
  }
  FUZZ_CHECK(out.bytes() == expected, detail + " expected \"" + fuzz::Escaped(expected) + "\"");

  // Idempotent. The one exception is inherent to splitting: when the one empty line that is
  // kept ends up last, the result ends with the separator, and read again that final
  // separator adds no line.
  const bool empty_line_last = first.size() > 1 && first.back().empty();
  if (!empty_line_last) FUZZ_CHECK(DistinctLines(out, separator) == out, detail);
  return 0;
}
