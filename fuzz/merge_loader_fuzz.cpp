// The merge page's list loader on arbitrary files, and the joins that feed 合并数据.txt:
// whole lines only, each one join of a line of A with a line of B or with the datum.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_check.h"
#include "pages/merge.h"
#include "services/encoding.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace lanzhou;
  FuzzedDataProvider in(data, size);
  std::string datum = in.ConsumeRandomLengthString(8);
  std::erase(datum, '\n');
  const std::size_t split_at = in.ConsumeIntegral<std::uint16_t>();
  const std::string file = in.ConsumeRemainingBytesAsString();
  const std::string detail = "file \"" + fuzz::Escaped(file) + "\"";

  const TextArray lines = SplitListLines(file);
  // The lines joined by LF give the decoded text before its first zero byte, with CR LF
  // read as LF and one final line end dropped.
  const std::string decoded = DecodeInput(std::string_view(file).substr(0, file.find('\0')));
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

  // Lists A and B from the two halves; every appended line is whole and ends in CR LF.
  const std::size_t cut = lines.empty() ? 0 : split_at % (lines.size() + 1);
  const std::span<const Text> a(lines.data(), cut);
  const std::span<const Text> b(lines.data() + cut, lines.size() - cut);
  std::string out = "earlier\r\n";
  AppendJoinedPairs(a, b, out);
  const std::size_t pairs = std::min(a.size(), b.size());
  FUZZ_CHECK(static_cast<std::size_t>(std::count(out.begin(), out.end(), '\n')) == pairs + 1,
             detail);
  std::size_t at = 9;
  for (std::size_t i = 0; i < pairs; ++i) {
    const std::string line = a[i].bytes() + "||" + b[i].bytes() + "|\r\n";
    FUZZ_CHECK(out.compare(at, line.size(), line) == 0, detail + " pair " + std::to_string(i));
    FUZZ_CHECK(JoinPair(a[i].view(), b[i].view()).bytes() + "\r\n" == line, detail);
    at += line.size();
  }
  FUZZ_CHECK(at == out.size(), detail);

  out.clear();
  AppendJoinedWithDatum(a, datum, out);
  FUZZ_CHECK(static_cast<std::size_t>(std::count(out.begin(), out.end(), '\n')) == a.size(),
             detail);
  at = 0;
  for (const Text& line : a) {
    const std::string expected_line = JoinWithDatum(line.view(), datum).bytes() + "\r\n";
    FUZZ_CHECK(expected_line == line.bytes() + "||" + datum + "\r\n", detail);
    FUZZ_CHECK(out.compare(at, expected_line.size(), expected_line) == 0, detail);
    at += expected_line.size();
  }
  FUZZ_CHECK(at == out.size(), detail);
  return 0;
}
