// Field extraction: one output line per record, the chosen field of each record, and the
// dash conversion applied twice changes nothing more.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>

#include "fuzz/fuzz_check.h"
#include "pages/extract.h"
#include "text/text_primitives.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace lanzhou;
  FuzzedDataProvider in(data, size);
  const Text numbers(in.ConsumeRandomLengthString(12));
  const Text records(in.ConsumeRemainingBytesAsString());
  const Text out = ExtractFields(records, numbers);
  const std::string detail = "numbers \"" + fuzz::Escaped(numbers.view()) + "\" records \"" +
                             fuzz::Escaped(records.view()) + "\" output \"" +
                             fuzz::Escaped(out.view()) + "\"";

  const Text converted = ConvertDashSeparators(records);
  FUZZ_CHECK(ConvertDashSeparators(converted) == converted, detail);
  FUZZ_CHECK(ExtractFields(converted, numbers) == out, detail);

  const TextArray split = SplitText(converted, Text("\r\n"));
  if (split.empty()) {
    FUZZ_CHECK(out.empty(), detail);
    return 0;
  }
  // As many lines as records: a sentinel byte keeps a last empty line countable.
  const std::size_t lines = SplitText(out + Text("X"), Text("\r\n")).size();
  FUZZ_CHECK(lines == split.size(), detail + " lines " + std::to_string(lines) + " records " +
                                        std::to_string(split.size()));

  // One field number: each line is that field of its record, or empty.
  if (const auto list = ReadNumberList(numbers); list && list->size() == 1) {
    const std::size_t k = static_cast<std::size_t>(list->front());
    std::string expected;
    for (std::size_t r = 0; r < split.size(); ++r) {
      if (r > 0) expected += "\r\n";
      const TextArray fields = SplitText(split[r], Text("|"));
      if (k <= fields.size()) expected += fields[k - 1].view();
    }
    FUZZ_CHECK(out.bytes() == expected, detail + " expected \"" + fuzz::Escaped(expected) + "\"");
  }
  return 0;
}
