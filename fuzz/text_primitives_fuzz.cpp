// Splitting, replacing, the five-pair replacement, number reading and half-width folding on
// arbitrary bytes, checked against each other.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_check.h"
#include "text/gbk_chars.h"
#include "text/text_primitives.h"

namespace lanzhou {
namespace {

using fuzz::Escaped;

std::string Join(const TextArray& members, std::string_view separator) {
  std::string out;
  for (std::size_t i = 0; i < members.size(); ++i) {
    if (i > 0) out += separator;
    out += members[i].view();
  }
  return out;
}

// Full-width forms of ASCII 0x21..0x7E, as GBK lays them out (A3A1..A3FE).
Text FullWidth(std::string_view ascii) {
  std::string out;
  for (char c : ascii) {
    out += '\xA3';
    out += static_cast<char>(static_cast<unsigned char>(c) + 0x80);
  }
  return Text(out);
}

void CheckSplit(const Text& text, const Text& delimiter, const Text& replacement, int limit) {
  const TextArray members = SplitText(text, delimiter);
  const std::string detail =
      "text \"" + Escaped(text.view()) + "\" delimiter \"" + Escaped(delimiter.view()) + "\"";
  if (text.empty()) {
    FUZZ_CHECK(members.empty(), detail);
    return;
  }
  if (delimiter.empty()) {
    FUZZ_CHECK(members.size() == 1 && members[0] == text, detail);
    return;
  }
  // The members with the delimiter between them give the text back, less one delimiter at
  // its very end (a trailing delimiter adds no member).
  const std::string joined = Join(members, delimiter.view());
  const bool trailing = joined + delimiter.bytes() == text.bytes();
  FUZZ_CHECK(joined == text.bytes() || trailing, detail + " joined \"" + Escaped(joined) + "\"");

  // Replacing every delimiter finds exactly the places splitting found. A delimiter that ends
  // in a lone lead byte is no whole character, and the two need not agree on where it cuts.
  if (!EndsWithLoneLeadByte(delimiter.view())) {
    const Text replaced = ReplaceSubtext(text, delimiter, replacement);
    std::string expected = Join(members, replacement.view());
    if (trailing) expected += replacement.view();
    FUZZ_CHECK(replaced.bytes() == expected, detail + " replaced \"" + Escaped(replaced.view()) +
                                                 "\" expected \"" + Escaped(expected) + "\"");
  }

  // A limit keeps the first members and drops the rest.
  const TextArray limited = SplitText(text, delimiter, limit);
  const std::size_t keep = limit < 0 ? 0 : std::min<std::size_t>(limit, members.size());
  FUZZ_CHECK(limited.size() == keep, detail + " limit " + std::to_string(limit));
  for (std::size_t i = 0; i < keep; ++i) FUZZ_CHECK(limited[i] == members[i], detail);
}

void CheckReplace(const Text& text, const Text& find, const Text& replacement, int start,
                  int count) {
  const std::string detail = "text \"" + Escaped(text.view()) + "\" find \"" +
                             Escaped(find.view()) + "\" start " + std::to_string(start);
  // Replacing a text by itself changes nothing.
  FUZZ_CHECK(ReplaceSubtext(text, find, find, start, count, true) == text, detail);

  // Bytes before the start are copied untouched and matching begins right at the start.
  const Text result = ReplaceSubtext(text, find, replacement, start, count, false);
  const int s = std::max(start, 1);
  if (s - 1 < TextLength(text) && !find.empty() && count != 0) {
    const Text expected =
        LeftText(text, s - 1) +
        ReplaceSubtext(MidText(text, s, TextLength(text)), find, replacement, 1, count, false);
    FUZZ_CHECK(result == expected, detail + " got \"" + Escaped(result.view()) + "\"");
  } else {
    FUZZ_CHECK(result == text, detail);
  }

  // Case-insensitive matching only differs when the find text holds a letter.
  bool has_letter = false;
  for (char c : find.view()) has_letter |= (c | 0x20) >= 'a' && (c | 0x20) <= 'z';
  if (!has_letter) {
    FUZZ_CHECK(result == ReplaceSubtext(text, find, replacement, start, count, true), detail);
  }
}

void CheckNumbers(std::int32_t n, double d, const Text& text) {
  const Text decimal = ToText(n);
  FUZZ_CHECK(ToInteger(decimal) == n, Escaped(decimal.view()));
  FUZZ_CHECK(ToInteger(Text("  ") + FullWidth(decimal.view()) + Text("x")) == n,
             Escaped(decimal.view()));
  FUZZ_CHECK(ToNumber(decimal) == static_cast<double>(n), Escaped(decimal.view()));

  if (std::isfinite(d)) {
    const double back = ToNumber(ToText(d));
    FUZZ_CHECK(back == d || std::fabs(back - d) <= std::fabs(d) * 1e-12, Escaped(ToText(d).view()));
  }

  // Whatever the bytes, reading a number ends; folding first changes nothing.
  const std::int32_t i = ToInteger(text);
  FUZZ_CHECK(i == ToInteger(FoldToHalfWidth(text)), Escaped(text.view()));
  const double x = ToNumber(text);
  const double y = ToNumber(FoldToHalfWidth(text));
  FUZZ_CHECK(x == y || (std::isnan(x) && std::isnan(y)), Escaped(text.view()));
}

void CheckFolding(const Text& text) {
  const Text folded = FoldToHalfWidth(text);
  FUZZ_CHECK(folded.size() <= text.size(), Escaped(text.view()));
  FUZZ_CHECK(FoldToHalfWidth(folded) == folded, Escaped(text.view()));
  bool ascii = true;
  for (char c : text.view()) ascii &= static_cast<unsigned char>(c) < 0x80;
  if (ascii) FUZZ_CHECK(folded == text, Escaped(text.view()));
}

}  // namespace
}  // namespace lanzhou

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace lanzhou;
  FuzzedDataProvider in(data, size);
  const Text delimiter(in.ConsumeRandomLengthString(6));
  const Text replacement(in.ConsumeRandomLengthString(6));
  const int start = in.ConsumeIntegralInRange<int>(-2, 40);
  const int count = in.ConsumeIntegralInRange<int>(-1, 4);
  const int limit = in.ConsumeIntegralInRange<int>(-1, 6);
  std::vector<ReplacePair> pairs(in.ConsumeIntegralInRange<int>(0, 5));
  for (ReplacePair& pair : pairs) {
    pair.find = Text(in.ConsumeRandomLengthString(4));
    pair.replacement = Text(in.ConsumeRandomLengthString(4));
  }
  const std::int32_t n = in.ConsumeIntegral<std::int32_t>();
  const double d = in.ConsumeFloatingPoint<double>();
  const Text text(in.ConsumeRemainingBytesAsString());

  CheckSplit(text, delimiter, replacement, limit);
  CheckReplace(text, delimiter, replacement, start, count);

  // The five pairs are the single replacements one after the other.
  Text expected = text;
  for (const ReplacePair& pair : pairs) {
    expected = ReplaceSubtext(expected, pair.find, pair.replacement, std::max(start, 1),
                              std::nullopt, false);
  }
  FUZZ_CHECK(BatchReplace(text, std::nullopt, start == 0 ? 0 : std::max(start, 1), false, pairs) ==
                 expected,
             fuzz::Escaped(text.view()));

  CheckNumbers(n, d, text);
  CheckFolding(text);
  return 0;
}
