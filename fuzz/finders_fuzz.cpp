// The finders on random lines, with random rules and patterns: every item lies in its line
// and starts and ends on whole characters (a four-byte sequence whole), items come in the
// order of their starts, and a pattern's item is the line's own bytes between them.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "text/finders.h"
#include "text/gbk_chars.h"

namespace lanzhou {
namespace {

using fuzz::Escaped;

void Check(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const auto rules = in.ConsumeIntegral<std::uint8_t>();
  const FinderChoice choice{
      .phone = (rules & 1) != 0,
      .email = (rules & 2) != 0,
      .qq = (rules & 4) != 0,
      .id = (rules & 8) != 0,
      .old_id = (rules & 16) != 0,
      .upgrade_old_id = (rules & 16) != 0 && (rules & 1) != 0,
      .invalid_id = (rules & 128) != 0,
      .bank = (rules & 128) != 0,
      .url = (rules & 32) != 0,
      .custom = (rules & 64) != 0 ? Text(in.ConsumeRandomLengthString(16)) : Text()};
  const std::string line = in.ConsumeRemainingBytesAsString();
  const Finders finders(choice);
  std::vector<FoundItem> items;
  finders.FindInLine(line, items);
  std::size_t last_begin = 0;
  for (const FoundItem& item : items) {
    const std::string detail = "pattern \"" + Escaped(choice.custom.view()) + "\" line \"" +
                               Escaped(line) + "\" item " + std::to_string(item.begin) + "-" +
                               std::to_string(item.end);
    FUZZ_CHECK(item.begin <= item.end && item.end <= line.size(), detail);
    FUZZ_CHECK(item.begin >= last_begin, detail);
    last_begin = item.begin;
    FUZZ_CHECK(IsWholeCharStart(line, 0, item.begin), detail);
    FUZZ_CHECK(IsWholeCharStart(line, item.begin, item.end), detail);
    if (item.kind == FoundKind::kCustom) {
      FUZZ_CHECK(item.item == line.substr(item.begin, item.end - item.begin), detail);
    }
  }
}

}  // namespace
}  // namespace lanzhou

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  lanzhou::Check(data, size);
  return 0;
}
