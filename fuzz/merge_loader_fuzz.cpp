// The merge page's list loader on arbitrary files, and the joins that feed 合并数据.txt:
// whole lines only, each one join of a line of A with a line of B or with the datum.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_check.h"
#include "pages/merge.h"
#include "text/encoding.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace lanzhou;
  FuzzedDataProvider in(data, size);
  std::string datum = in.ConsumeRandomLengthString(8);
  std::erase(datum, '\n');
  const std::size_t split_at = in.ConsumeIntegral<std::uint16_t>();
  const std::string file = in.ConsumeRemainingBytesAsString();
  const std::string detail = "file \"" + fuzz::Escaped(file) + "\"";

  const TextArray lines = SplitListLines(file);
  // The lines joined by LF give the decoded text before its first zero byte (zero code unit
  // for UTF-16), with CR LF read as LF and one final line end dropped.
  const std::string decoded = DecodeInput(InputTextBeforeZero(file, InputEncoding::kAuto));
  std::string expected;
  for (std::size_t i = 0; i < decoded.size(); ++i) {
    if (decoded.compare(i, 2, "\r\n") != 0) expected += decoded[i];  // the CR of CR LF goes
  }
  if (expected.ends_with('\n')) expected.pop_back();
  std::string joined;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) joined += '\n';
    FUZZ_CHECK(lines[i].view().find('\n') == std::string_view::npos, detail);
    joined += lines[i].view();
  }
  FUZZ_CHECK(joined == expected, detail + " joined \"" + fuzz::Escaped(joined) + "\"");

  // Lists A and B from the two halves, as decoded list texts; every appended line is whole,
  // ends in CR LF and is one join of a line of A with a line of B or with the datum.
  const std::size_t cut = lines.empty() ? 0 : split_at % (lines.size() + 1);
  std::string a_text, b_text;
  for (std::size_t i = 0; i < lines.size(); ++i)
    (i < cut ? a_text : b_text) += lines[i].bytes() + "\r\n";
  const std::size_t pairs = std::min(cut, lines.size() - cut);
  std::string out = "earlier\r\n";
  AppendJoinedListPairs(a_text, b_text, out);
  std::string expected_out = "earlier\r\n";
  for (std::size_t i = 0; i < pairs; ++i) {
    expected_out += lines[i].bytes() + "||" + lines[cut + i].bytes() + "|\r\n";
  }
  FUZZ_CHECK(out == expected_out, detail + " pairs \"" + fuzz::Escaped(out) + "\"");

  out.clear();
  AppendJoinedListWithDatum(a_text, datum, out);
  expected_out.clear();
  for (std::size_t i = 0; i < cut; ++i) expected_out += lines[i].bytes() + "||" + datum + "\r\n";
  FUZZ_CHECK(out == expected_out, detail + " datum \"" + fuzz::Escaped(out) + "\"");
  return 0;
}
